#pragma once

// Unpacking the downloaded update package (a ZIP archive) into a folder:
// every entry is staged beside its target first, and only when all are
// staged do they replace the old files, all at once (update/package/staged_apply).

#include <functional>
#include <string>

#include "platform/files.h"
#include "platform/text_codec.h"
#include "update/package/apply_journal.h"

namespace update {

using UnpackProgress = std::function<void(int percent)>;

enum class StageResult {
  kStaged,
  // The archive is missing, unreadable or empty.
  kNoEntries,
  // An entry cannot or must not be written.
  kStopped,
};

// Writes every entry of the archive at `archivePath` to a staging name
// beside its target below `runDirectory`, recording each in `journal`,
// then chooses backup names and lists the steps of the apply. Reports
// i * 100 / n after entry i of n. Unless all is staged, nothing it staged
// or created is left. `progress` may throw: nothing is left open then, and
// the journal names what was staged.
StageResult stageArchive(platform::Files& files, platform::TextCodec& codec,
                         const std::string& archivePath, const std::string& runDirectory,
                         JournalWriter& journal, const UnpackProgress& progress);

// Stages, then applies at once, with a journal in `destinationDir` (a
// folder path ending in "\", created when missing). Reports as stageArchive,
// then 100 at the end, also when nothing was applied; a single 0 when the
// archive is missing, unreadable or empty.
void unpackArchive(platform::Files& files, platform::TextCodec& codec,
                   const std::string& archivePath, const std::string& destinationDir,
                   const UnpackProgress& progress);

}  // namespace update
