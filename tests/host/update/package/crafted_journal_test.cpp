// Journals no launcher wrote (edited by hand, or damaged): the recovery sets
// aside what the apply could not have written, touching nothing, and of
// what it could have written touches only the files its steps made. Each
// row says what must be on the disk afterwards.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/host/host_services.h"
#include "tests/host/test_support.h"
#include "tests/host/unzip_test_archives.h"
#include "update/package/apply_journal.h"
#include "update/package/staged_apply.h"

namespace {

using namespace testing_support;
using Tree = std::map<std::string, std::string>;
using update::ApplyDecision;
using update::Recovery;

// The game folder: the running launcher, a player's save and a game file.
const Tree kBefore = {
    {"launcher.exe", "old launcher"}, {"save/slot1.sav", "slot one"}, {"Data/a.pak", "old a"}};

Tree with(Tree tree, const Tree& changes) {
  for (const auto& [name, bytes] : changes)
    tree[name] = bytes;
  return tree;
}

// A complete journal of these steps, each staged name recorded.
update::ApplyPlan planOf(std::vector<update::ApplyStep> steps, ApplyDecision decision) {
  update::ApplyPlan plan;
  for (const update::ApplyStep& step : steps)
    plan.stagedFiles.push_back(step.staged);
  plan.steps = std::move(steps);
  plan.complete = true;
  plan.decision = decision;
  return plan;
}

update::ApplyPlan stagedOnly(std::vector<std::string> names) {
  update::ApplyPlan plan;
  plan.stagedFiles = std::move(names);
  return plan;
}

// One crafted start: the folder as kBefore with `extra` and without
// `gone`, the plan as its journal, recovered by a launcher running as `own`.
struct Start {
  const char* what;
  update::ApplyPlan plan;
  Tree extra;
  std::vector<std::string> gone;
  Recovery recovery;
  // Every file of the folder afterwards, the journal aside.
  Tree after;
};

const ApplyDecision kNone = ApplyDecision::kNone;
const ApplyDecision kUndo = ApplyDecision::kUndo;
const ApplyDecision kFinish = ApplyDecision::kFinish;
const Tree kCrafted = {{"save/slot1.sav.unpacking", "crafted"}};

class CraftedJournalTest : public LauncherTest {
 protected:
  fs::path game() const { return runDir() / "game"; }
  fs::path journal() const { return game() / update::kJournalFileName; }
  fs::path setAside() const { return game() / update::kUnreadableJournalFileName; }
  // Beside the game folder: what a name leading outside it would reach.
  fs::path outside() const { return runDir() / "outside.unpacking"; }

  void resetFolder() {
    fs::remove_all(game());
    for (const auto& [name, bytes] : kBefore)
      writeBytes(game() / name, bytes);
    writeBytes(outside(), "beside the game");
  }

  // Every file of the game folder but the journal, set aside or not.
  Tree files() const {
    Tree tree = filesBelow(game());
    tree.erase(update::kJournalFileName);
    tree.erase(update::kUnreadableJournalFileName);
    return tree;
  }

  Recovery recover(const std::string& own) {
    return update::recoverInterruptedUpdate(os.files, os.namedEvents, game().string(), own);
  }

  // The folder made as the row says, recovered, and checked.
  void start(const Start& row, const std::string& own = "launcher.exe",
             const std::function<void()>& prepare = {}) {
    SCOPED_TRACE(row.what);
    resetFolder();
    for (const auto& [name, bytes] : row.extra)
      writeBytes(game() / name, bytes);
    for (const std::string& name : row.gone)
      fs::remove(game() / name);
    if (prepare)
      prepare();
    const std::string text = update::journalText(row.plan);
    writeBytes(journal(), text);

    changed.clear();
    os.files.beforeChange = [this](const std::string& path) {
      changed.push_back(fs::relative(platform::host::hostPath(path), game()).string());
      return true;
    };
    EXPECT_EQ(recover(own), row.recovery);
    os.files.beforeChange = nullptr;
    EXPECT_EQ(files(), row.after);
    EXPECT_EQ(readBytes(outside()), "beside the game");
    EXPECT_EQ(fs::exists(journal()), row.recovery == Recovery::kLeftAlone);
    if (row.recovery == Recovery::kSetAside) {
      EXPECT_EQ(readBytes(setAside()), text);
    } else {
      EXPECT_FALSE(fs::exists(setAside()));
    }
  }

  // Every name the last start asked to change, relative to the folder.
  std::vector<std::string> changed;
};

// Names the apply would not write: set aside, nothing touched.
TEST_F(CraftedJournalTest, AJournalOfNamesTheApplyWouldNotWriteIsSetAsideAndNothingTouched) {
  const Start rows[] = {
      {"the launcher as the staged file of another target",
       planOf({{"launcher.exe", "Data\\a.pak", "Data\\a.pak.backup", 12}}, kFinish),
       {},
       {},
       Recovery::kSetAside,
       kBefore},
      {"the staged file of another target over a player's file",
       planOf({{"Data\\b.pak.unpacking", "save\\slot1.sav", "", 7}}, kFinish),
       {{"Data/b.pak.unpacking", "crafted"}},
       {},
       Recovery::kSetAside,
       with(kBefore, {{"Data/b.pak.unpacking", "crafted"}})},
      {"a player's file as a backup",
       planOf({{"Data\\a.pak.unpacking", "Data\\a.pak", "save\\slot1.sav", 5}}, kFinish),
       {},
       {},
       Recovery::kSetAside,
       kBefore},
      {"the launcher as a backup",
       planOf({{"x.unpacking", "x", "launcher.exe", 0}}, kUndo),
       {{"x", ""}},
       {},
       Recovery::kSetAside,
       with(kBefore, {{"x", ""}})},
      {"a backup numbered past the tries",
       planOf({{"Data\\a.pak.unpacking", "Data\\a.pak", "Data\\a.pak(100).backup", 5}}, kUndo),
       {{"Data/a.pak(100).backup", "older a"}},
       {},
       Recovery::kSetAside,
       with(kBefore, {{"Data/a.pak(100).backup", "older a"}})},
      {"a staged name as a backup",
       planOf({{"Data\\a.pak.unpacking", "Data\\a.pak", "Data\\a.pak(1).unpacking", 5}}, kUndo),
       {{"Data/a.pak(1).unpacking", "older a"}},
       {},
       Recovery::kSetAside,
       with(kBefore, {{"Data/a.pak(1).unpacking", "older a"}})},
      {"a name leading out of the folder",
       stagedOnly({"..\\outside.unpacking"}),
       {},
       {},
       Recovery::kSetAside,
       kBefore},
      {"a drive", stagedOnly({"C:\\outside.unpacking"}), {}, {}, Recovery::kSetAside, kBefore},
      {"a rooted name", stagedOnly({"\\outside.unpacking"}), {}, {}, Recovery::kSetAside, kBefore},
      {"a stream of the launcher",
       stagedOnly({"launcher.exe:s.unpacking"}),
       {},
       {},
       Recovery::kSetAside,
       kBefore},
      {"the launcher by a name the apply does not write",
       planOf({{".\\launcher.exe.unpacking", ".\\launcher.exe", "", 12}}, kUndo),
       {},
       {},
       Recovery::kSetAside,
       kBefore},
      {"a player's file as a staged file",
       stagedOnly({"save\\slot1.sav"}),
       {},
       {},
       Recovery::kSetAside,
       kBefore},
      {"two steps for one file",
       planOf({{"Data\\a.pak.unpacking", "Data\\a.pak", "Data\\a.pak.backup", 7},
               {"Data\\a.pak(1).unpacking", "Data\\a.pak", "", 5}},
              kUndo),
       {},
       {},
       Recovery::kSetAside,
       kBefore},
      {"a player's file of a staged name, also a target",
       [] {
         update::ApplyPlan plan = planOf(
             {{"save\\slot1.sav.unpacking.unpacking", "save\\slot1.sav.unpacking", "", 3}}, kUndo);
         plan.stagedFiles.push_back("save\\slot1.sav.unpacking");
         return plan;
       }(),
       {{"save/slot1.sav.unpacking", "mine"}},
       {},
       Recovery::kSetAside,
       with(kBefore, {{"save/slot1.sav.unpacking", "mine"}})},
  };
  for (const Start& row : rows) {
    start(row);
    EXPECT_EQ(changed, std::vector<std::string>{update::kJournalFileName})
        << row.what << ": only the journal moves";
  }
}

// Names the apply could write, over a player's file: a file a step did not
// make is neither removed nor overwritten; what the apply writes goes on.
TEST_F(CraftedJournalTest, APlayersFileIsNeverTakenForOneTheUpdateMade) {
  const Tree olderSlot = {{"save/slot1.sav.backup", "older slot"}};
  const update::ApplyStep added{"save\\slot1.sav.unpacking", "save\\slot1.sav", "", 7};
  const update::ApplyStep replaced{"save\\slot1.sav.unpacking", "save\\slot1.sav",
                                   "save\\slot1.sav.backup", 7};
  const Start rows[] = {
      {"as one the update added, of another size",
       planOf({{"save\\slot1.sav.unpacking", "save\\slot1.sav", "", 99}}, kUndo),
       {},
       {},
       Recovery::kUndone,
       kBefore},
      {"where the update would add one, undecided",
       planOf({added}, kNone),
       kCrafted,
       {},
       Recovery::kUndone,
       kBefore},
      {"where the update would add one, undone",
       planOf({added}, kUndo),
       kCrafted,
       {},
       Recovery::kUndone,
       kBefore},
      {"where the update would add one, finished",
       planOf({added}, kFinish),
       kCrafted,
       {},
       Recovery::kLeftAlone,
       with(kBefore, kCrafted)},
      {"beside a taken backup name, undecided",
       planOf({replaced}, kNone),
       with(kCrafted, olderSlot),
       {},
       Recovery::kUndone,
       with(kBefore, olderSlot)},
      {"beside a taken backup name, undone",
       planOf({replaced}, kUndo),
       with(kCrafted, olderSlot),
       {},
       Recovery::kUndone,
       with(kBefore, olderSlot)},
      {"beside a taken backup name, finished",
       planOf({replaced}, kFinish),
       with(kCrafted, olderSlot),
       {},
       Recovery::kLeftAlone,
       with(kBefore, with(kCrafted, olderSlot))},
      {"a file the update added, undone",
       planOf({{"Levels\\new.pak.unpacking", "Levels\\new.pak", "", 3}}, kUndo),
       {{"Levels/new.pak", "new"}},
       {},
       Recovery::kUndone,
       kBefore},
      {"numbered names, undone",
       planOf({{"Data\\a.pak(2).unpacking", "Data\\a.pak", "Data\\a.pak(3).backup", 5}}, kUndo),
       {{"Data/a.pak(3).backup", "older a"}},
       {},
       Recovery::kUndone,
       with(kBefore, {{"Data/a.pak", "older a"}})},
  };
  for (const Start& row : rows) {
    start(row);
    if (row.recovery == Recovery::kLeftAlone)
      EXPECT_TRUE(changed.empty()) << row.what << ": no name was asked to change";
  }
}

// The running launcher's file: never removed, nor moved but for its staged
// replacement; its backup only ever goes back onto it.
TEST_F(CraftedJournalTest, TheRunningLaunchersFileStaysUnlessItsReplacementIsThere) {
  const update::ApplyStep replaced{"launcher.exe.unpacking", "launcher.exe", "launcher.exe.backup",
                                   12};
  const Tree older = {{"launcher.exe.backup", "older launch"}};
  start({"as a file the update added",
         planOf({{"launcher.exe.unpacking", "launcher.exe", "", 12}}, kUndo),
         {},
         {},
         Recovery::kLeftAlone,
         kBefore});
  start({"under another of its names, as a file the update added",
         planOf({{"game.exe.unpacking", "game.exe", "", 12}}, kUndo),
         {},
         {},
         Recovery::kLeftAlone,
         with(kBefore, {{"game.exe", "old launcher"}})},
        "launcher.exe",
        [this] { fs::create_hard_link(game() / "launcher.exe", game() / "game.exe"); });
  start({"gone, its backup there, finished",
         planOf({{"launcher.exe.unpacking", "launcher.exe", "launcher.exe.backup", 20}}, kFinish),
         {{"launcher.exe.backup", "old launcher"}},
         {"launcher.exe"},
         Recovery::kFinished,
         kBefore});
  start({"its replacement staged, finished",
         planOf({replaced}, kFinish),
         {{"launcher.exe.unpacking", "new launcher"}},
         {},
         Recovery::kFinished,
         with(kBefore, {{"launcher.exe", "new launcher"}})});
  start({"running from a backup's name, undone",
         planOf({replaced}, kUndo),
         older,
         {},
         Recovery::kLeftAlone,
         with(kBefore, older)},
        "launcher.exe.backup");
  start({"running from a backup's name, finished",
         planOf({replaced}, kFinish),
         older,
         {},
         Recovery::kLeftAlone,
         with(kBefore, older)},
        "launcher.exe.backup");
}

}  // namespace
