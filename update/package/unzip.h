#pragma once

// Unpacking the downloaded update package (a ZIP archive) into a folder:
// every entry is staged beside its target first, and only when all are
// staged do they replace the old files, all at once (update/package/staged_apply).

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "platform/files.h"
#include "platform/text_codec.h"
#include "update/package/apply_journal.h"
#include "update/package/unzip_archive.h"

namespace update {

using UnpackProgress = std::function<void(int percent)>;

enum class StageResult {
  kStaged,
  // The archive is missing, unreadable or empty.
  kNoEntries,
  // An entry is damaged (its data fails its check) or must not be written
  // (a name outside the folder, a link, two entries for one file).
  kDamaged,
  // An entry could not be written (no space, no right to write).
  kNotWritten,
};

// What staging failed on: the entry's target, relative to the run
// directory, and the system's code when the system refused.
struct StageFailure {
  std::string file;
  std::uint32_t systemError = 0;
  // False when something staged could not be removed again (another
  // program holds it): the journal must stay for a later start.
  bool undone = true;
};

// Names whose steps come last, in this order: the new launcher is in place
// before the running launcher's own file moves, so that a kill between
// two steps leaves a launcher at one of the two names.
struct StepOrder {
  std::string newLauncher;
  std::string ownFile;
};

// A package of which only some entries are to be unpacked, their parts
// fetched and gathered in one file (pieced_source.h).
struct PartialArchive {
  std::vector<ArchivePiece> pieces;
  std::uint64_t packageSize = 0;
  // The stored names of the entries to stage; the others are left alone.
  std::set<std::string> names;
};

// Writes every entry of the archive at `archivePath` to a staging name
// beside its target below `runDirectory`, recording each in `journal`,
// then chooses backup names and lists the steps of the apply. Reports
// i * 100 / n after entry i of n. Unless all is staged, nothing it staged
// or created is left. `progress` may throw: nothing is left open then, and
// the journal names what was staged.
StageResult stageArchive(platform::Files& files, platform::TextCodec& codec,
                         const std::string& archivePath, const std::string& runDirectory,
                         JournalWriter& journal, const UnpackProgress& progress,
                         const StepOrder& order = {}, StageFailure* failure = nullptr,
                         const PartialArchive* partial = nullptr);

// The archive at `archivePath`: the whole package, or the parts `partial`
// names when it is given.
std::optional<ZipArchive> openArchive(const std::string& archivePath,
                                      const PartialArchive* partial);

struct EntryInfo;

// The entry's name as the launcher writes it: a UTF-8 name converted
// exactly to code page 936, none when the code page cannot hold it; any
// other name as stored.
std::optional<std::string> writtenEntryName(platform::TextCodec& codec, const EntryInfo& info);

// The archive's files unpacked, in bytes (ZipArchive::unpackedSize);
// nothing when it is no archive or does not tell.
std::optional<std::uint64_t> unpackedSizeOf(const std::string& archivePath);

// Creates the folder and any missing parents.
void createFolderChain(platform::Files& files, const std::string& folder);

}  // namespace update
