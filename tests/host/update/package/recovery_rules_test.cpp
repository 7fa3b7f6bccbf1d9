// The rules a recovery keeps to, as known answers: the names the apply
// takes beside a target, what a journal may name, and what may be done with
// one step given what the folder holds of it.

#include <gtest/gtest.h>

#include <string>

#include "update/package/apply_journal.h"
#include "update/package/free_names.h"
#include "update/package/step_files.h"

namespace {

using update::kBackupSuffix;
using update::kStagingSuffix;

TEST(FreeNamesTest, EveryTryTheApplyTakesIsOfItsTargetAndNothingElseIs) {
  // "\xca\xfd\xbe\xdd" is a two-byte name, "\x95\x5c" ends in the byte of "\".
  for (const std::string target :
       {"a.txt", "README", "Data\\x.pak", "\xca\xfd\xbe\xdd\\\x95\x5c"}) {
    for (const char* suffix : {kStagingSuffix, kBackupSuffix}) {
      for (int number = 0; number < update::kFreeNameTries; ++number) {
        EXPECT_TRUE(
            update::isFreeNameOf(update::freeNameTry(target + suffix, number), target, suffix))
            << target << suffix << " try " << number;
      }
      EXPECT_FALSE(update::isFreeNameOf(update::freeNameTry(target + suffix, 100), target, suffix))
          << target << suffix << ": past the last try";
    }
  }
  struct Row {
    const char* name;
    const char* target;
    const char* suffix;
    bool ofTarget;
  };
  const Row rows[] = {
      {"a.txt.unpacking", "a.txt", kStagingSuffix, true},
      {"a.txt(1).unpacking", "a.txt", kStagingSuffix, true},
      {"a.txt(99).backup", "a.txt", kBackupSuffix, true},
      {"a.txt(0).unpacking", "a.txt", kStagingSuffix, false},
      {"a.txt(01).unpacking", "a.txt", kStagingSuffix, false},
      {"a.txt(-1).unpacking", "a.txt", kStagingSuffix, false},
      {"a.txt(+1).unpacking", "a.txt", kStagingSuffix, false},
      {"a.txt(1)x.unpacking", "a.txt", kStagingSuffix, false},
      {"a.txt(1.unpacking", "a.txt", kStagingSuffix, false},
      {"a.txt(", "a.txt", kStagingSuffix, false},
      {"a.txt(1).unpacking.unpacking", "a.txt", kStagingSuffix, false},
      {"a.txt.backup", "a.txt", kStagingSuffix, false},
      {"a.txt.unpacking", "a.txt", kBackupSuffix, false},
      {"b.txt.unpacking", "a.txt", kStagingSuffix, false},
      {"A.TXT.unpacking", "a.txt", kStagingSuffix, false},
      {"a.txt.UNPACKING", "a.txt", kStagingSuffix, false},
      {"a.txt", "a.txt", kStagingSuffix, false},
      {"a.tx", "a.txt", kStagingSuffix, false},
      {"", "a.txt", kStagingSuffix, false},
      {"x\\a.txt.unpacking", "a.txt", kStagingSuffix, false},
      {"a.txt.unpacking", "x\\a.txt", kStagingSuffix, false},
      {"a(1).txt.unpacking", "a.txt", kStagingSuffix, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(update::isFreeNameOf(row.name, row.target, row.suffix), row.ofTarget)
        << row.name << " for " << row.target;
  }
}

TEST(FreeNamesTest, AStagedNameEndsInTheStagingSuffixAfterAFileName) {
  const std::pair<const char*, bool> rows[] = {
      {"x.unpacking", true},           {"x(3).unpacking", true},     {"Data\\x.unpacking", true},
      {"x.unpacking.unpacking", true}, {".unpacking", false},        {"unpacking", false},
      {"Data\\.unpacking", false},     {"Data\\..unpacking", false}, {"x.unpacking.backup", false},
      {"x.Unpacking", false},          {"x.unpacking ", false},      {"..\\.unpacking", false},
  };
  for (const auto& [name, staged] : rows)
    EXPECT_EQ(update::isStagedName(name), staged) << name;
}

// A journal whose names the apply would not have written is none: each row
// one step, or two, and the staged records the apply writes with them.
TEST(ApplyJournalTest, NamesThatTheApplyWouldNotWriteMakeItNoJournal) {
  struct Row {
    const char* what;
    std::vector<update::ApplyStep> steps;
    std::vector<std::string> extraStaged;
    bool usable;
  };
  const Row rows[] = {
      {"a new file", {{"t.unpacking", "t", "", 1}}, {}, true},
      {"numbered names", {{"t(2).unpacking", "t", "t(5).backup", 1}}, {}, true},
      {"in a folder", {{"d\\t.unpacking", "d\\t", "d\\t.backup", 1}}, {}, true},
      {"two steps", {{"t.unpacking", "t", "t.backup", 1}, {"u.unpacking", "u", "", 2}}, {}, true},
      {"a staged record of no step", {{"t.unpacking", "t", "", 1}}, {"v(4).unpacking"}, true},
      {"the staged name of another target", {{"u.unpacking", "t", "", 1}}, {}, false},
      {"the target as its staged name", {{"t", "t", "", 1}}, {}, false},
      {"a staged name in another folder", {{"d\\t.unpacking", "e\\t", "", 1}}, {}, false},
      {"the backup of another target", {{"t.unpacking", "t", "u.backup", 1}}, {}, false},
      {"a staging name as backup", {{"t.unpacking", "t", "t(1).unpacking", 1}}, {}, false},
      {"the target as its backup", {{"t.unpacking", "t", "t", 1}}, {}, false},
      {"a backup past the tries", {{"t.unpacking", "t", "t(100).backup", 1}}, {}, false},
      {"a name with \".\"", {{".\\t.unpacking", ".\\t", "", 1}}, {}, false},
      {"a name with \"/\"", {{"d/t.unpacking", "d/t", "", 1}}, {}, false},
      {"a name with two separators", {{"d\\\\t.unpacking", "d\\\\t", "", 1}}, {}, false},
      {"a stream of the target", {{"t:s.unpacking", "t:s", "", 1}}, {}, false},
      {"two steps for one target",
       {{"t.unpacking", "t", "t.backup", 1}, {"t(1).unpacking", "t", "", 2}},
       {},
       false},
      {"one target in two letter cases",
       {{"t.unpacking", "t", "", 1},
        {"T(1).unpacking", "T(1)", "", 2},
        {"T.unpacking", "T", "", 1}},
       {},
       false},
      {"a backup that is another step's target",
       {{"t.unpacking", "t", "t.backup", 1}, {"t.backup.unpacking", "t.backup", "", 2}},
       {},
       false},
      {"a staged record that is a step's target",
       {{"t.unpacking.unpacking", "t.unpacking", "", 1}},
       {"t.unpacking"},
       false},
      {"a staged record that is no staged name",
       {{"t.unpacking", "t", "", 1}},
       {"save.sav"},
       false},
  };
  for (const Row& row : rows) {
    update::ApplyPlan plan;
    for (const update::ApplyStep& step : row.steps)
      plan.stagedFiles.push_back(step.staged);
    for (const std::string& name : row.extraStaged)
      plan.stagedFiles.push_back(name);
    plan.steps = row.steps;
    plan.complete = true;
    EXPECT_EQ(update::parseJournal(update::journalText(plan)).has_value(), row.usable) << row.what;
  }
}

// Each state a step's names can be found in, with what the step may still
// do, what its undo does and what becomes of its backup once kept.
TEST(StepFilesTest, WhatIsDoneWithAStepFollowsWhatTheFolderHoldsOfIt) {
  const update::ApplyStep replaced{"t.unpacking", "t", "t.backup", 5};
  const update::ApplyStep added{"t.unpacking", "t", "", 5};
  using update::BackupEnd;
  using update::StepUndo;
  struct Row {
    const char* what;
    const update::ApplyStep& step;
    update::StepFiles files;  // staged, target, staged size, backup
    bool placed;
    bool blocked;
    StepUndo undo;
    BackupEnd backup;
  };
  const Row rows[] = {
      {"replaced: staged",
       replaced,
       {true, true, false, false},
       false,
       false,
       StepUndo::kNothing,
       BackupEnd::kNothing},
      {"replaced: the old file aside",
       replaced,
       {true, false, false, true},
       false,
       false,
       StepUndo::kRestoreBackup,
       BackupEnd::kRestore},
      {"replaced: placed",
       replaced,
       {false, true, true, true},
       true,
       false,
       StepUndo::kRestoreBackup,
       BackupEnd::kRemove},
      {"replaced: placed, then changed",
       replaced,
       {false, true, false, true},
       false,
       false,
       StepUndo::kRestoreBackup,
       BackupEnd::kRemove},
      {"replaced: kept",
       replaced,
       {false, true, true, false},
       true,
       false,
       StepUndo::kNothing,
       BackupEnd::kNothing},
      {"replaced: staged file lost with the old one aside",
       replaced,
       {false, false, false, true},
       false,
       false,
       StepUndo::kRestoreBackup,
       BackupEnd::kRestore},
      {"replaced: a file beside a taken backup name",
       replaced,
       {true, true, true, true},
       false,
       true,
       StepUndo::kNothing,
       BackupEnd::kRemove},
      {"replaced: nothing left",
       replaced,
       {false, false, false, false},
       false,
       false,
       StepUndo::kNothing,
       BackupEnd::kNothing},
      {"added: staged",
       added,
       {true, false, false, false},
       false,
       false,
       StepUndo::kNothing,
       BackupEnd::kNothing},
      {"added: placed",
       added,
       {false, true, true, false},
       true,
       false,
       StepUndo::kRemoveTarget,
       BackupEnd::kNothing},
      {"added: a file of another size",
       added,
       {false, true, false, false},
       false,
       false,
       StepUndo::kNothing,
       BackupEnd::kNothing},
      {"added: a file beside the staged one",
       added,
       {true, true, true, false},
       false,
       true,
       StepUndo::kNothing,
       BackupEnd::kNothing},
      {"added: a file of another size beside it",
       added,
       {true, true, false, false},
       false,
       true,
       StepUndo::kNothing,
       BackupEnd::kNothing},
      {"added: nothing left",
       added,
       {false, false, false, false},
       false,
       false,
       StepUndo::kNothing,
       BackupEnd::kNothing},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(update::isPlaced(row.files), row.placed) << row.what;
    EXPECT_EQ(update::isBlocked(row.step, row.files), row.blocked) << row.what;
    EXPECT_EQ(update::undoOf(row.step, row.files), row.undo) << row.what;
    EXPECT_EQ(update::backupEndOf(row.step, row.files), row.backup) << row.what;
  }
}

}  // namespace
