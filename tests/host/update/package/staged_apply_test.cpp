#include <map>
#include <set>

#include "tests/host/test_support.h"
#include "tests/host/unzip_test_archives.h"
#include "update/package/apply_journal.h"
#include "update/package/apply_package.h"
#include "update/package/staged_apply.h"
#include "update/package/unzip.h"

namespace {

using namespace testing_support;
using Tree = std::map<std::string, std::string>;

struct Killed {};

// The game folder before the update, and the package: two files replaced
// (one read-only), one added in a new folder, one left alone.
const Tree kOldFolder = {{"launcher.exe", "old launcher"},
                         {"Data/a.pak", "old a"},
                         {"Data/keep.txt", "not in the package"}};
const std::vector<std::pair<std::string, std::string>> kPackage = {
    {"launcher.exe", "new launcher, longer"},
    {"Data/a.pak", "new a, of another size"},
    {"Levels/one/level.pak", "new level"}};

Tree newFolder() {
  Tree tree = kOldFolder;
  for (const auto& [name, bytes] : kPackage)
    tree[name] = bytes;
  return tree;
}

class StagedApplyTest : public LauncherTest {
 protected:
  fs::path game() const { return runDir() / "game"; }
  std::string gameDir() const { return game().string(); }
  fs::path archive() const { return runDir() / "p.zip"; }

  void SetUp() override {
    LauncherTest::SetUp();
    zipWithPython(archive(), kPackage);
  }

  void resetFolder() {
    fs::remove_all(game());
    for (const auto& [name, bytes] : kOldFolder)
      writeBytes(game() / name, bytes);
    fs::permissions(game() / "Data/a.pak", fs::perms::owner_read);
  }

  // Every file below the game folder with its bytes.
  Tree files() const { return filesBelow(game()); }

  bool hasFolder(const char* name) const { return fs::is_directory(game() / name); }

  void unpack() {
    update::applyPackageNow(os.files, os.namedEvents, os.codec, archive().string(),
                            gameDir() + "\\", [](int) {});
  }

  update::Recovery recover() {
    return update::recoverInterruptedUpdate(os.files, os.namedEvents, gameDir());
  }

  // Makes the n-th change to a name (1-based) fail or end the process.
  void onChange(int n, bool kill) {
    changes_ = 0;
    os.files.beforeChange = [this, n, kill](const std::string&) {
      if (++changes_ != n)
        return true;
      if (kill)
        throw Killed{};
      return false;
    };
  }
  void noHook() { os.files.beforeChange = nullptr; }

  // The changes a whole unpack makes, counted on an undisturbed run.
  int changesOfAnUnpack() {
    resetFolder();
    onChange(0, false);
    unpack();
    noHook();
    EXPECT_EQ(files(), newFolder());
    return changes_;
  }

  void expectAllOldOrAllNew(const std::string& when) {
    const Tree now = files();
    EXPECT_TRUE(now == kOldFolder || now == newFolder()) << when;
    if (now == kOldFolder) {
      EXPECT_FALSE(hasFolder("Levels")) << when << ": a folder the update made stayed";
    }
  }

  int changes_ = 0;
};

// A step refused by the system at any point: the folder is as before, or,
// when only the clean-up after a whole apply was refused, all new.
TEST_F(StagedApplyTest, ARefusedChangeAtAnyStepLeavesAllOldOrAllNew) {
  const int total = changesOfAnUnpack();
  ASSERT_GE(total, 6) << "two backups, three placings, two backups removed, the journal";
  for (int n = 1; n <= total; ++n) {
    resetFolder();
    onChange(n, false);
    unpack();
    noHook();
    Tree now = files();
    // A backup that could not be removed is the one thing left over.
    for (auto it = now.begin(); it != now.end();)
      it = it->first.find(".backup") != std::string::npos ? now.erase(it) : std::next(it);
    now.erase(update::kJournalFileName);
    EXPECT_TRUE(now == kOldFolder || now == newFolder()) << "change " << n << " refused";
  }
}

// A kill at any change, and another at any change of the recovery that
// follows: the start after that leaves all old or all new, and no journal.
TEST_F(StagedApplyTest, AKillAtAnyStepThenAtAnyStepOfTheRecoveryEndsAllOldOrAllNew) {
  const int total = changesOfAnUnpack();
  int recoveriesKilled = 0;
  for (int n = 1; n <= total; ++n) {
    resetFolder();
    onChange(n, true);
    EXPECT_THROW(unpack(), Killed);
    noHook();
    ASSERT_TRUE(fs::exists(game() / update::kJournalFileName)) << "kill " << n;
    const fs::path afterKill = runDir() / "after-kill";
    fs::remove_all(afterKill);
    fs::copy(game(), afterKill, fs::copy_options::recursive);

    for (int m = 1;; ++m) {
      // The folder as the kill left it, for each kill of the recovery.
      fs::remove_all(game());
      fs::copy(afterKill, game(), fs::copy_options::recursive);
      onChange(m, true);
      bool recovered = false;
      try {
        recover();
        recovered = true;
      } catch (const Killed&) {
        ++recoveriesKilled;
      }
      noHook();
      if (!recovered) {
        EXPECT_NE(recover(), update::Recovery::kLeftAlone) << "kill " << n << ", then " << m;
      }
      EXPECT_FALSE(fs::exists(game() / update::kJournalFileName)) << "kill " << n << ", " << m;
      expectAllOldOrAllNew("kill " + std::to_string(n) + ", then " + std::to_string(m));
      if (recovered)
        break;
    }
  }
  EXPECT_GT(recoveriesKilled, total) << "recoveries were killed at more than one change each";
}

// A kill once every file is staged: whatever the apply had done, the next
// start finishes it. A kill while staging, a staged file lost meanwhile, or
// an undo already begun: it is taken back.
TEST_F(StagedApplyTest, RecoveryFinishesWhenEveryStagedFileIsThereAndUndoesOtherwise) {
  const int total = changesOfAnUnpack();
  for (int n = 1; n <= total; ++n) {
    resetFolder();
    onChange(n, true);
    EXPECT_THROW(unpack(), Killed);
    noHook();
    EXPECT_EQ(recover(), update::Recovery::kFinished) << "kill " << n;
    EXPECT_EQ(files(), newFolder()) << "kill " << n;
  }

  resetFolder();
  int reports = 0;
  EXPECT_THROW(update::applyPackageNow(os.files, os.namedEvents, os.codec, archive().string(),
                                       gameDir() + "\\",
                                       [&reports](int) {
                                         if (++reports == 3)
                                           throw Killed{};
                                       }),
               Killed);
  EXPECT_EQ(recover(), update::Recovery::kUndone);
  EXPECT_EQ(files(), kOldFolder);
  EXPECT_FALSE(hasFolder("Levels"));

  // Killed before the second file's backup; then its staged file is lost.
  resetFolder();
  onChange(3, true);
  EXPECT_THROW(unpack(), Killed);
  noHook();
  ASSERT_TRUE(fs::remove(game() / "Data/a.pak.unpacking"));
  EXPECT_EQ(recover(), update::Recovery::kUndone);
  EXPECT_EQ(files(), kOldFolder);

  // The journal says undo: an apply that failed and was killed amid its undo.
  resetFolder();
  onChange(5, true);
  EXPECT_THROW(unpack(), Killed);
  noHook();
  const std::string journal = (game() / update::kJournalFileName).string();
  writeBytes(journal, readBytes(journal) + "undo\n");
  EXPECT_EQ(recover(), update::Recovery::kUndone);
  EXPECT_EQ(files(), kOldFolder);
}

// An apply refused at any of its steps undoes itself; a kill at any change
// of that undo still ends all old at the next start.
TEST_F(StagedApplyTest, AnUndoKilledAtAnyChangeEndsAllOldAtTheNextStart) {
  changesOfAnUnpack();
  int undoKills = 0;
  // Two backups and three placings: the apply's changes.
  for (int refused = 1; refused <= 5; ++refused) {
    for (int kill = refused + 1;; ++kill) {
      resetFolder();
      changes_ = 0;
      os.files.beforeChange = [this, refused, kill](const std::string&) {
        ++changes_;
        if (changes_ == kill)
          throw Killed{};
        return changes_ != refused;
      };
      bool killed = false;
      try {
        unpack();
      } catch (const Killed&) {
        killed = true;
      }
      noHook();
      if (!killed) {
        EXPECT_EQ(files(), kOldFolder) << "refused at " << refused;
        break;
      }
      ++undoKills;
      EXPECT_EQ(recover(), update::Recovery::kUndone) << refused << ", killed at " << kill;
      EXPECT_EQ(files(), kOldFolder) << refused << ", killed at " << kill;
      EXPECT_FALSE(hasFolder("Levels")) << refused << ", killed at " << kill;
    }
  }
  EXPECT_GE(undoKills, 15);
}

// A step refused amid the apply while the game holds a file the apply had
// already placed: all else goes back, and the journal stays with its undo
// for each later start to retry until the folder is all old.
TEST_F(StagedApplyTest, AnUndoThatCannotPutAFileBackKeepsTheJournalUntilAStartCompletesIt) {
  // The apply's changes: launcher.exe to its backup (1) and into place (2),
  // Data/a.pak likewise (3, 4), the level into place (5).
  const std::pair<int, std::string> rows[] = {
      {3, "launcher.exe"}, {4, "launcher.exe"}, {5, "launcher.exe"}, {5, "Data/a.pak"}};
  for (const auto& [refused, held] : rows) {
    const std::string row = "refused at " + std::to_string(refused) + ", " + held + " held";
    resetFolder();
    std::unique_ptr<update::JournalWriter> journal =
        update::JournalWriter::create(os.files, gameDir());
    ASSERT_TRUE(journal);
    ASSERT_EQ(update::stageArchive(os.files, os.codec, archive().string(), gameDir(), *journal,
                                   [](int) {}),
              update::StageResult::kStaged);
    std::shared_ptr<void> hold;
    changes_ = 0;
    os.files.beforeChange = [&, refused = refused, held = held](const std::string&) {
      if (++changes_ != refused)
        return true;
      hold = platform::host::LocalFiles::holdWithoutSharing((game() / held).string());
      return false;
    };
    EXPECT_EQ(update::applyStaged(os.files, gameDir(), *journal, update::InUseRetry{}),
              update::ApplyResult::kUndoIncomplete)
        << row;
    noHook();
    // What a caller does with an undo left incomplete: the journal stays.
    journal.reset();

    Tree halfOld = kOldFolder;
    halfOld[held + ".backup"] = kOldFolder.at(held);
    halfOld[held] = newFolder().at(held);
    for (int start = 1; start <= 2; ++start) {
      Tree now = files();
      const std::optional<update::ApplyPlan> plan =
          update::parseJournal(now[update::kJournalFileName]);
      ASSERT_TRUE(plan) << row;
      EXPECT_EQ(plan->decision, update::ApplyDecision::kUndo) << row;
      now.erase(update::kJournalFileName);
      EXPECT_EQ(now, halfOld) << row << ", start " << start;
      EXPECT_FALSE(hasFolder("Levels")) << row;
      if (start == 1) {
        EXPECT_EQ(recover(), update::Recovery::kLeftAlone) << row << ": the game holds it still";
      }
    }
    hold.reset();
    EXPECT_EQ(recover(), update::Recovery::kUndone) << row;
    EXPECT_EQ(files(), kOldFolder) << row;
  }
}

// Taking back a whole apply (the new launcher crashed) or a staging that
// stopped: a file that stays held, in place or staged, makes the undo say
// so, and the same undo once the file is free completes it.
TEST_F(StagedApplyTest, AnUndoSaysWhetherEveryFileWentBack) {
  struct Row {
    bool applied;
    std::string held;
    std::string bytes;
  };
  const Row rows[] = {
      {true, "Levels/one/level.pak", "new level"},
      {false, "Data/a.pak.unpacking", "new a, of another size"},
  };
  for (const Row& row : rows) {
    resetFolder();
    const std::unique_ptr<update::JournalWriter> journal =
        update::JournalWriter::create(os.files, gameDir());
    ASSERT_TRUE(journal);
    ASSERT_EQ(update::stageArchive(os.files, os.codec, archive().string(), gameDir(), *journal,
                                   [](int) {}),
              update::StageResult::kStaged);
    if (row.applied) {
      ASSERT_EQ(update::applyStaged(os.files, gameDir(), *journal, update::InUseRetry{}),
                update::ApplyResult::kApplied);
    }
    Tree heldBack = kOldFolder;
    heldBack[row.held] = row.bytes;
    heldBack[update::kJournalFileName] = readBytes(game() / update::kJournalFileName);
    {
      const auto hold =
          platform::host::LocalFiles::holdWithoutSharing((game() / row.held).string());
      EXPECT_FALSE(update::undoPlan(os.files, gameDir(), journal->plan())) << row.held;
      EXPECT_EQ(files(), heldBack) << row.held;
    }
    EXPECT_TRUE(update::undoPlan(os.files, gameDir(), journal->plan())) << row.held;
    heldBack.erase(row.held);
    EXPECT_EQ(files(), heldBack) << row.held;
    EXPECT_FALSE(hasFolder("Levels")) << row.held;
  }
}

// The next start's undo (decided there: a staged file was lost) and its
// removal of the backups leave the journal as long as a file stays held.
TEST_F(StagedApplyTest, ARecoveryThatMeetsAHeldFileKeepsTheJournalForTheNextStart) {
  const fs::path journal = game() / update::kJournalFileName;
  // Killed before Data/a.pak's backup, launcher.exe in place; then the
  // staged Data/a.pak is lost and the game opens the new launcher.exe.
  resetFolder();
  onChange(3, true);
  EXPECT_THROW(unpack(), Killed);
  noHook();
  ASSERT_TRUE(fs::remove(game() / "Data/a.pak.unpacking"));
  {
    const auto hold =
        platform::host::LocalFiles::holdWithoutSharing((game() / "launcher.exe").string());
    EXPECT_EQ(recover(), update::Recovery::kLeftAlone);
    EXPECT_EQ(readBytes(game() / "launcher.exe"), newFolder().at("launcher.exe"));
    EXPECT_EQ(readBytes(game() / "launcher.exe.backup"), kOldFolder.at("launcher.exe"));
    EXPECT_FALSE(fs::exists(game() / "Levels/one/level.pak.unpacking"));
    const std::optional<update::ApplyPlan> plan = update::parseJournal(readBytes(journal));
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->decision, update::ApplyDecision::kUndo);
    EXPECT_EQ(recover(), update::Recovery::kLeftAlone);
  }
  EXPECT_EQ(recover(), update::Recovery::kUndone);
  EXPECT_EQ(files(), kOldFolder);

  // Killed once every file was in place, at the first backup's removal; a
  // program holds the other backup.
  resetFolder();
  onChange(6, true);
  EXPECT_THROW(unpack(), Killed);
  noHook();
  {
    const auto hold =
        platform::host::LocalFiles::holdWithoutSharing((game() / "Data/a.pak.backup").string());
    EXPECT_EQ(recover(), update::Recovery::kLeftAlone);
    EXPECT_FALSE(fs::exists(game() / "launcher.exe.backup"));
    EXPECT_TRUE(fs::exists(journal));
  }
  EXPECT_EQ(recover(), update::Recovery::kFinished);
  EXPECT_EQ(files(), newFolder());
}

// A journal that cannot be read as ours goes out of the way, never lost:
// left where it is, it would block every later update.
TEST_F(StagedApplyTest, AnUnreadableJournalIsSetAsideAndALaterUpdateCanBegin) {
  const std::string header = "tavoro-update-journal/1\n";
  const fs::path journal = game() / update::kJournalFileName;
  const fs::path setAside = game() / "tavoro-update.journal.unreadable";
  const std::pair<const char*, std::string> rows[] = {
      {"empty", ""},
      {"cut inside its header", header.substr(0, 11)},
      {"a damaged record", header + "staged 9:x.u\n"},
      {"garbage", std::string("\x00\xff\x7f\n\x01 9:\n", 9)},
      {"a player's notes", "a player's notes\n"},
      {"a later format", "tavoro-update-journal/2\nfinish\n"},
  };
  for (const auto& [what, bytes] : rows) {
    resetFolder();
    writeBytes(journal, bytes);
    EXPECT_EQ(recover(), update::Recovery::kSetAside) << what;
    EXPECT_FALSE(fs::exists(journal)) << what;
    EXPECT_EQ(readBytes(setAside), bytes) << what;
    Tree rest = files();
    rest.erase(setAside.filename().string());
    EXPECT_EQ(rest, kOldFolder) << what;
    EXPECT_EQ(recover(), update::Recovery::kNoJournal) << what;
    EXPECT_TRUE(update::JournalWriter::create(os.files, gameDir())) << what;
  }
}

// The set-aside name is one no file has: the first free of the plain name
// and its numbered ones; with none free, the journal stays where it is.
// Nor is anything that cannot be read whole set aside: it may be a journal
// the system refused to show.
TEST_F(StagedApplyTest, ASetAsideJournalTakesTheFirstFreeNameAndNoOtherFilesPlace) {
  resetFolder();
  const fs::path journal = game() / update::kJournalFileName;
  writeBytes(game() / "tavoro-update.journal.unreadable", "earlier");
  fs::create_directory(game() / "tavoro-update.journal(1).unreadable");
  writeBytes(journal, "damaged");
  EXPECT_EQ(recover(), update::Recovery::kSetAside);
  EXPECT_EQ(readBytes(game() / "tavoro-update.journal(2).unreadable"), "damaged");
  EXPECT_EQ(readBytes(game() / "tavoro-update.journal.unreadable"), "earlier");
  EXPECT_TRUE(fs::is_empty(game() / "tavoro-update.journal(1).unreadable"));

  for (int number = 3; number <= 99; ++number)
    writeBytes(game() / ("tavoro-update.journal(" + std::to_string(number) + ").unreadable"), "");
  writeBytes(journal, "damaged too");
  EXPECT_EQ(recover(), update::Recovery::kLeftAlone) << "every name up to (99) is taken";
  EXPECT_EQ(readBytes(journal), "damaged too");
  EXPECT_FALSE(fs::exists(game() / "tavoro-update.journal(100).unreadable"));
  fs::remove(game() / "tavoro-update.journal(99).unreadable");
  EXPECT_EQ(recover(), update::Recovery::kSetAside);
  EXPECT_EQ(readBytes(game() / "tavoro-update.journal(99).unreadable"), "damaged too");

  resetFolder();
  fs::create_directory(journal);
  EXPECT_EQ(recover(), update::Recovery::kLeftAlone) << "a folder of the journal's name";
  EXPECT_TRUE(fs::is_directory(journal));
  EXPECT_FALSE(fs::exists(game() / "tavoro-update.journal.unreadable"));
}

// The marker of a launcher at work keeps every other start off its journal,
// whether it reads as one yet or not.
TEST_F(StagedApplyTest, AJournalOfALauncherAtWorkIsLeftAlone) {
  resetFolder();
  const fs::path journal = game() / update::kJournalFileName;
  {
    update::ApplyLock other(os.namedEvents, gameDir());
    ASSERT_TRUE(other.held());
    writeBytes(journal, "tavoro-upd");
    EXPECT_EQ(recover(), update::Recovery::kLeftAlone);
    EXPECT_EQ(readBytes(journal), "tavoro-upd");
  }
  EXPECT_EQ(recover(), update::Recovery::kSetAside);
  EXPECT_EQ(readBytes(game() / "tavoro-update.journal.unreadable"), "tavoro-upd");

  resetFolder();
  EXPECT_EQ(recover(), update::Recovery::kNoJournal);
  onChange(4, true);
  EXPECT_THROW(unpack(), Killed);
  noHook();
  {
    update::ApplyLock other(os.namedEvents, gameDir());
    ASSERT_TRUE(other.held());
    EXPECT_FALSE(update::ApplyLock(os.namedEvents, gameDir()).held());
    EXPECT_EQ(recover(), update::Recovery::kLeftAlone);
    EXPECT_TRUE(fs::exists(journal));
  }
  EXPECT_EQ(recover(), update::Recovery::kFinished);
  EXPECT_EQ(files(), newFolder());
}

// A power cut while the package is staged must leave a journal that reads:
// its header is on the disk before the first staged file exists.
TEST_F(StagedApplyTest, TheJournalReadsFromTheMomentItIsCreated) {
  resetFolder();
  const std::unique_ptr<update::JournalWriter> journal =
      update::JournalWriter::create(os.files, gameDir());
  ASSERT_TRUE(journal);
  const std::optional<update::ApplyPlan> onDisk =
      update::parseJournal(readBytes(game() / update::kJournalFileName));
  ASSERT_TRUE(onDisk) << "the header is not on the disk yet";
  EXPECT_TRUE(onDisk->stagedFiles.empty());
  EXPECT_FALSE(onDisk->complete);
  EXPECT_FALSE(update::JournalWriter::create(os.files, gameDir())) << "a second journal";
}

// The running launcher's own file is replaced last and the new launcher
// just before it, so a stop midway never leaves a launcher that cannot
// start; the rest keep the package's order. Names match in any case.
TEST_F(StagedApplyTest, TheNewLauncherAndThenThisOneAreReplacedLast) {
  zipWithPython(archive(), {{"Own.exe", "own"},
                            {"b.txt", "b"},
                            {"New.exe", "new"},
                            {"Data/c.txt", "c"},
                            {"a.txt", "a"}});
  resetFolder();
  const std::unique_ptr<update::JournalWriter> journal =
      update::JournalWriter::create(os.files, gameDir());
  ASSERT_TRUE(journal);
  ASSERT_EQ(update::stageArchive(os.files, os.codec, archive().string(), gameDir(), *journal,
                                 [](int) {}, update::StepOrder{"NEW.EXE", "own.exe"}),
            update::StageResult::kStaged);
  const std::optional<update::ApplyPlan> plan =
      update::parseJournal(readBytes(game() / update::kJournalFileName));
  ASSERT_TRUE(plan);
  std::vector<std::string> targets;
  for (const update::ApplyStep& step : plan->steps)
    targets.push_back(step.target);
  EXPECT_EQ(targets,
            (std::vector<std::string>{"b.txt", "Data\\c.txt", "a.txt", "New.exe", "Own.exe"}));
}

// The records as written read back as the same plan; anything that could
// make a recovery touch a file outside the folder makes it no journal.
TEST(ApplyJournalTest, ReadsBackWhatItWritesAndRefusesWhatCouldLeadOutside) {
  update::ApplyPlan plan;
  plan.stagedFiles = {"a b.txt.unpacking", "Data\\x.unpacking"};
  plan.createdFolders = {"Data"};
  plan.steps = {{"a b.txt.unpacking", "a b.txt", "a b.txt.backup", 12},
                {"Data\\x.unpacking", "Data\\x", "", 0}};
  plan.complete = true;
  plan.decision = update::ApplyDecision::kUndo;
  const std::string text = update::journalText(plan);
  const std::optional<update::ApplyPlan> read = update::parseJournal(text);
  ASSERT_TRUE(read);
  EXPECT_EQ(update::journalText(*read), text);
  EXPECT_EQ(read->steps[0].backup, "a b.txt.backup");
  EXPECT_EQ(read->steps[0].size, 12);
  EXPECT_EQ(read->steps[1].backup, "");
  EXPECT_EQ(read->decision, update::ApplyDecision::kUndo);

  // A last line cut short by a kill is as if never written.
  const std::optional<update::ApplyPlan> cut =
      update::parseJournal(text.substr(0, text.size() - 1));
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->decision, update::ApplyDecision::kNone);
  EXPECT_TRUE(cut->complete);

  const std::string header = "tavoro-update-journal/1\n";
  struct Row {
    const char* what;
    std::string text;
    bool usable;
  };
  const Row rows[] = {
      {"header only", header, true},
      {"another header", "tavoro-update-journal/2\n", false},
      {"a parent folder", header + "staged 14:..\\x.unpacking\n", false},
      {"a drive", header + "staged 14:C:\\x.unpacking\n", false},
      {"a rooted name", header + "folder 3:\\xy\n", false},
      {"a length past the line", header + "staged 19:x.unpacking\n", false},
      {"text after the name", header + "staged 11:x.unpacking more\n", false},
      {"a backup outside", header + "step 11:t.unpacking 1:t 11:..\\t.backup 4\napply\n", false},
      {"no size", header + "step 11:t.unpacking 1:t 0:\napply\n", false},
      {"a decision before the steps are complete", header + "undo\n", false},
      {"two decisions", header + "apply\nfinish\nundo\n", false},
      {"staging after the steps", header + "apply\nstaged 11:x.unpacking\n", false},
      {"an unknown record", header + "remove 11:x.unpacking\n", false},
      {"a staged record", header + "staged 11:x.unpacking\n", true},
      {"a step without backup", header + "step 11:t.unpacking 1:t 0: 4\napply\nfinish\n", true},
  };
  for (const Row& row : rows)
    EXPECT_EQ(update::parseJournal(row.text).has_value(), row.usable) << row.what;
}

}  // namespace
