// The launcher's own names in the game folder, as the publisher's tool
// refuses them in a release.

#include <gtest/gtest.h>

#include "base/path.h"
#include "update/download.h"
#include "update/download/resume_note.h"
#include "update/record_names.h"

namespace {

using update::RecordNameKind;
using Kind = std::optional<RecordNameKind>;

TEST(LauncherRecordName, EachOfTheLaunchersNamesInAnyCaseAndNothingElse) {
  const struct {
    std::string name;
    std::string package;
    Kind kind;
  } rows[] = {
      {"tavoro-update.journal", "u.zip", RecordNameKind::kJournal},
      {"Tavoro-Update.JOURNAL", "", RecordNameKind::kJournal},
      {"tavoro-update.journal.unreadable", "", RecordNameKind::kUnreadableJournal},
      {"TAVORO-UPDATE.JOURNAL(99).UNREADABLE", "", RecordNameKind::kUnreadableJournal},
      {"tavoro-update.kept", "", RecordNameKind::kKeptPackage},
      {"tavoro-update.journal.new", "", RecordNameKind::kFreshRecord},
      {"tavoro-update.KEPT.new", "", RecordNameKind::kFreshRecord},
      {"u.zip", "U.ZIP", RecordNameKind::kPackage},
      {"u.zip.tmp", "u.zip", RecordNameKind::kPartialPackage},
      {"U.zip(1).TMP", "u.zip", RecordNameKind::kPartialPackage},
      {"u.zip.tmp.resume", "u.zip", RecordNameKind::kResumeNote},
      {"u.zip(42).tmp.Resume", "u.zip", RecordNameKind::kResumeNote},
      {"pkg.tmp", "pkg", RecordNameKind::kPartialPackage},  // no dot in the package's name
      {"pkg(5).tmp", "pkg", RecordNameKind::kPartialPackage},
      {"Tavoro-Update.Entries", "", RecordNameKind::kEntryList},
      {"tavoro-update.entries.tmp", "", std::nullopt},
      {"U.ZIP.entries", "u.zip", RecordNameKind::kFetchedEntries},
      {"u.zip.entries", "", std::nullopt},
      {"u.zip.tmp.entries", "u.zip", std::nullopt},
      {"a.pak.unpacking", "", RecordNameKind::kStaging},
      {"A.PAK(12).UNPACKING", "", RecordNameKind::kStaging},
      {"说明.txt.backup", "", RecordNameKind::kBackup},
      {".backup", "", RecordNameKind::kBackup},
      {"x.Backup", "x.backup", RecordNameKind::kBackup},  // a backup name before the package's
      // A two-byte character's second byte is no letter: "\xB0\x41" and
      // "\xB0\x61" are two characters, not one in two cases.
      {"\xB0\x41.zip", "\xB0\x41.ZIP", RecordNameKind::kPackage},
      {"\xB0\x61.zip", "\xB0\x41.zip", std::nullopt},
      {"\xB0\x61.zip.tmp", "\xB0\x41.zip", std::nullopt},
      // Near misses.
      {"tavoro-update.journal.txt", "u.zip", std::nullopt},
      {"tavoro-update.journals", "u.zip", std::nullopt},
      {"tavoro-update(1).journal", "u.zip", std::nullopt},  // the journal is never numbered
      {"tavoro-update.journal(1)", "u.zip", std::nullopt},
      {"tavoro-update.kept.old", "u.zip", std::nullopt},
      {"x.backup.txt", "u.zip", std::nullopt},
      {"backup", "u.zip", std::nullopt},
      {"unpacking.dat", "u.zip", std::nullopt},
      {"a.backupx", "u.zip", std::nullopt},
      {"u.zip.old", "u.zip", std::nullopt},
      {"old-u.zip", "u.zip", std::nullopt},
      {"u.tmp", "u.zip", std::nullopt},
      {"u.zip.resume", "u.zip", std::nullopt},  // a note beside the package itself: none
      {"u(1).zip.tmp", "u.zip", std::nullopt},  // the number goes before the last dot
      {"u.zip(0).tmp", "u.zip", std::nullopt},
      {"u.zip(100).tmp", "u.zip", std::nullopt},  // past the last number tried
      {"u.zip(01).tmp", "u.zip", std::nullopt},
      {"u.zip().tmp", "u.zip", std::nullopt},
      {"u.zip(x).tmp", "u.zip", std::nullopt},
      {"u.zip(1)(1).tmp", "u.zip", std::nullopt},
      {"u.zip(1).tmp", "", std::nullopt},  // no package: none of its names
      {".tmp", "", std::nullopt},
      {"", "", std::nullopt},
  };
  for (const auto& row : rows)
    EXPECT_EQ(update::launcherRecordName(row.name, row.package), row.kind)
        << row.name << " of " << row.package;
}

// Every name the launcher's own code makes, numbered as it numbers them.
TEST(LauncherRecordName, TheNamesTheLauncherMakesWhenTheFirstIsTaken) {
  const std::string folder = "C:\\game\\";
  const std::string path = update::temporaryPackagePath("C:\\game", "http://h/p/update-5.1.zip");
  ASSERT_TRUE(path.starts_with(folder)) << path;
  const std::string partial = path.substr(folder.size());
  ASSERT_EQ(partial, "update-5.1.zip.tmp");
  const struct {
    std::string plain;
    RecordNameKind kind;
  } made[] = {
      {partial, RecordNameKind::kPartialPackage},
      {update::resumeNotePath(partial), RecordNameKind::kResumeNote},
      {update::kUnreadableJournalFileName, RecordNameKind::kUnreadableJournal},
      {std::string("data.pak") + update::kStagingSuffix, RecordNameKind::kStaging},
      {std::string("data.pak") + update::kBackupSuffix, RecordNameKind::kBackup},
  };
  for (const auto& m : made) {
    EXPECT_EQ(update::launcherRecordName(m.plain, "update-5.1.zip"), m.kind) << m.plain;
    for (int number = 1; number <= update::kMaxNumberedNames; ++number) {
      const std::string numbered =
          m.kind == RecordNameKind::kResumeNote
              ? update::resumeNotePath(base::numberedFileName(partial, number))
              : base::numberedFileName(m.plain, number);
      ASSERT_EQ(update::launcherRecordName(numbered, "update-5.1.zip"), m.kind) << numbered;
    }
  }
}

}  // namespace
