#pragma once

// The names the launcher gives its own files in the game folder during an
// update: the journal, the record of a kept package (each also while
// written afresh), the package, its
// partial download and that download's note, and the staging and backup
// names beside each file of a package. Every room of update/ takes them
// from here, and the publisher's tool refuses a release holding one: such
// a file would stand where the update puts its own.

#include <optional>
#include <string_view>

namespace update {

inline constexpr char kJournalFileName[] = "tavoro-update.journal";
// Where a journal that cannot be read goes, or the first free of its
// numbered names.
inline constexpr char kUnreadableJournalFileName[] = "tavoro-update.journal.unreadable";
inline constexpr char kKeptPackageFileName[] = "tavoro-update.kept";
// After a record's name (the journal's, the kept package's) while it is
// written afresh, before it moves over the old one.
inline constexpr char kFreshRecordSuffix[] = ".new";
// After the package's own name while it downloads, and after that the note
// a broken-off download leaves for the next run.
inline constexpr char kPartialPackageSuffix[] = ".tmp";
inline constexpr char kResumeNoteSuffix[] = ".resume";
// The package's own list of its entries, an entry of the package that is
// never unpacked; and after the package's name, the file that gathers the
// entries fetched by ranges when only some are needed.
inline constexpr char kEntryListFileName[] = "tavoro-update.entries";
inline constexpr char kFetchedEntriesSuffix[] = ".entries";
// After a file's name: its new data before the apply, its old data until
// the update is known to be whole.
inline constexpr char kStagingSuffix[] = ".unpacking";
inline constexpr char kBackupSuffix[] = ".backup";
// A name that is taken is tried again numbered, "(1)" to "(99)" before its
// last dot: "a(1).pak.backup" is not, "a.pak(1).backup" is.
inline constexpr int kMaxNumberedNames = 99;

enum class RecordNameKind {
  kJournal,
  kUnreadableJournal,
  kKeptPackage,
  kFreshRecord,     // the journal's or the kept package's name + ".new"
  kPackage,         // the package's own file name, the last part of its address
  kPartialPackage,  // the package's name + ".tmp", or a numbered form of it
  kResumeNote,      // the partial package's name + ".resume"
  kEntryList,       // the package's list of its entries
  kFetchedEntries,  // the package's name + ".entries"
  kStaging,         // any name ending in ".unpacking"
  kBackup,          // any name ending in ".backup"
};

// Which of the launcher's own names in the game folder `fileName` (one
// name, code page 936, no folder) is, ASCII letters in any case, as
// Windows compares them; nothing when it is none of them. `packageName` is
// the package's file name (empty: none).
std::optional<RecordNameKind> launcherRecordName(std::string_view fileName,
                                                 std::string_view packageName);

}  // namespace update
