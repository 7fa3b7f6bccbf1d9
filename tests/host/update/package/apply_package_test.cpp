// The one apply path and what it reports: each outcome with the file it
// failed on and the system's code, the order of the steps, and the end of
// an apply that awaited confirmation.

#include <map>

#include "base/path.h"
#include "tests/host/test_support.h"
#include "tests/host/unzip_test_archives.h"
#include "update/package/apply_package.h"

namespace {

using namespace testing_support;
using Tree = std::map<std::string, std::string>;
using update::ApplyOutcomeKind;

const Tree kOld = {{"launcher.exe", "old launcher"}, {"Data/a.pak", "old a"}};

class ApplyPackageTest : public LauncherTest {
 protected:
  fs::path game() const { return runDir() / "game"; }
  fs::path archive() const { return runDir() / "p.zip"; }

  void SetUp() override {
    LauncherTest::SetUp();
    for (const auto& [name, bytes] : kOld)
      writeBytes(game() / name, bytes);
  }

  update::PackageApplied apply(const std::vector<std::pair<std::string, std::string>>& entries,
                               update::StepOrder order = {}) {
    zipWithPython(archive(), entries);
    return update::applyPackage(os.files, os.namedEvents, os.codec,
                                {archive().string(), game().string(), std::move(order),
                                 update::inUseRetryWith(os.pump), nullptr});
  }

  Tree files() const { return filesBelow(game()); }
};

TEST_F(ApplyPackageTest, EachOutcomeNamesTheFileAndTheSystemsCode) {
  {
    SCOPED_TRACE("a file the game holds");
    const auto hold =
        platform::host::LocalFiles::holdWithoutSharing((game() / "Data/a.pak").string());
    const update::PackageApplied applied = apply({{"b.txt", "b"}, {"Data/a.pak", "new a"}});
    EXPECT_EQ(applied.outcome.kind, ApplyOutcomeKind::kInUse);
    EXPECT_EQ(applied.outcome.file, "Data\\a.pak");
    EXPECT_EQ(applied.outcome.systemError, 32u) << "a sharing violation";
    EXPECT_EQ(applied.pending, nullptr);
    EXPECT_EQ(files(), kOld);
    EXPECT_EQ(std::count(os.pump.delays.begin(), os.pump.delays.end(), 250), 20)
        << "asked for 5 s, every 250 ms";
  }
  {
    SCOPED_TRACE("a name leading outside");
    const update::PackageApplied applied = apply({{"b.txt", "b"}, {"../evil.txt", "x"}});
    EXPECT_EQ(applied.outcome.kind, ApplyOutcomeKind::kDamaged);
    EXPECT_EQ(applied.outcome.file, "../evil.txt");
    EXPECT_EQ(applied.outcome.systemError, 0u);
    EXPECT_EQ(files(), kOld);
    EXPECT_FALSE(fs::exists(runDir() / "evil.txt"));
  }
  {
    SCOPED_TRACE("a UTF-8 name code page 936 cannot hold (À)");
    const update::PackageApplied applied = apply({{"b.txt", "b"}, {"data/\xC3\x80.pak", "x"}});
    EXPECT_EQ(applied.outcome.kind, ApplyOutcomeKind::kDamaged);
    EXPECT_EQ(applied.outcome.file, "data/?.pak") << "named as the player can read it";
    EXPECT_EQ(files(), kOld);
  }
  {
    SCOPED_TRACE("every backup name taken");
    writeBytes(game() / "a.txt.backup", "the player's");
    for (int number = 1; number < 100; ++number)
      writeBytes(game() / base::numberedFileName("a.txt.backup", number), "the player's");
    writeBytes(game() / "a.txt", "old");
    const update::PackageApplied applied = apply({{"a.txt", "new"}});
    EXPECT_EQ(applied.outcome.kind, ApplyOutcomeKind::kNotWritten);
    EXPECT_EQ(applied.outcome.file, "a.txt");
    EXPECT_EQ(applied.outcome.systemError, 0u) << "no system call refused";
    EXPECT_EQ(readBytes(game() / "a.txt"), "old");
    for (const auto& entry : fs::directory_iterator(game())) {
      if (entry.path().filename().string().rfind("a.txt", 0) == 0)
        fs::remove(entry.path());
    }
  }
  {
    SCOPED_TRACE("a folder where a file goes");
    fs::create_directories(game() / "Data" / "c.pak");
    const update::PackageApplied applied = apply({{"Data/c.pak", "c"}});
    EXPECT_EQ(applied.outcome.kind, ApplyOutcomeKind::kNotWritten);
    EXPECT_EQ(applied.outcome.file, "Data\\c.pak");
    fs::remove(game() / "Data" / "c.pak");
    EXPECT_EQ(files(), kOld);
  }
  {
    SCOPED_TRACE("no archive, or none at all");
    writeBytes(archive(), "not a zip");
    update::PackageApplied applied = update::applyPackage(
        os.files, os.namedEvents, os.codec, {archive().string(), game().string(), {}, {}, nullptr});
    EXPECT_EQ(applied.outcome.kind, ApplyOutcomeKind::kUnreadable);
    fs::remove(archive());
    applied = update::applyPackage(os.files, os.namedEvents, os.codec,
                                   {archive().string(), game().string(), {}, {}, nullptr});
    EXPECT_EQ(applied.outcome.kind, ApplyOutcomeKind::kUnreadable);
    EXPECT_FALSE(fs::exists(game() / update::kJournalFileName));
  }
  {
    SCOPED_TRACE("a journal of an earlier update");
    writeBytes(game() / update::kJournalFileName, "someone's");
    const update::PackageApplied applied = apply({{"b.txt", "b"}});
    EXPECT_EQ(applied.outcome.kind, ApplyOutcomeKind::kBusy);
    EXPECT_EQ(applied.outcome.file, update::kJournalFileName);
    EXPECT_EQ(applied.outcome.systemError, 183u) << "the name is taken";
    EXPECT_EQ(readBytes(game() / update::kJournalFileName), "someone's");
    fs::remove(game() / update::kJournalFileName);
  }
  {
    SCOPED_TRACE("another launcher at work in the folder");
    const update::ApplyLock other(os.namedEvents, game().string());
    ASSERT_TRUE(other.held());
    const update::PackageApplied applied = apply({{"b.txt", "b"}});
    EXPECT_EQ(applied.outcome.kind, ApplyOutcomeKind::kBusy);
    EXPECT_EQ(applied.outcome.systemError, 0u);
    EXPECT_FALSE(fs::exists(game() / update::kJournalFileName));
  }
  EXPECT_EQ(files(), kOld);
}

// Another program fills the disk while the package is staged, at any
// point: the journal, an entry's data, the last bytes. All is undone, and
// the outcome says why with the system's "disk full".
TEST_F(ApplyPackageTest, ADiskThatFillsWhileStagingLeavesTheFolderAsBefore) {
  const std::vector<std::pair<std::string, std::string>> entries = {
      {"Data/a.pak", std::string(3000, 'a')}, {"Data/new/b.pak", std::string(5000, 'b')}};
  for (const std::int64_t room : {0, 40, 400, 2000, 3500, 7999}) {
    SCOPED_TRACE("room for " + std::to_string(room) + " bytes");
    os.files.fillDiskAfter(room);
    const update::PackageApplied applied = apply(entries);
    os.files.fillDiskAfter(std::int64_t{1} << 40);
    EXPECT_TRUE(applied.outcome.kind == ApplyOutcomeKind::kNotWritten ||
                applied.outcome.kind == ApplyOutcomeKind::kBusy);
    EXPECT_EQ(applied.outcome.systemError, 112u);
    EXPECT_EQ(applied.pending, nullptr);
    EXPECT_EQ(files(), kOld);
    EXPECT_FALSE(fs::exists(game() / "Data/new"));
  }
  os.files.fillDiskAfter(20000);
  EXPECT_EQ(apply(entries).outcome.kind, ApplyOutcomeKind::kApplied);
}

TEST_F(ApplyPackageTest, TheUnpackedSizeIsTheSumOfTheEntriesSizes) {
  zipWithPython(archive(), {{"a.txt", std::string(70000, 'a')}, {"b/", ""}, {"b/c.txt", "c"}});
  EXPECT_EQ(update::unpackedSizeOf(archive().string()), std::optional<std::uint64_t>(70001));
  zipWithPython(archive(), {{"empty.txt", ""}});
  EXPECT_EQ(update::unpackedSizeOf(archive().string()), std::optional<std::uint64_t>(0));
  writeBytes(archive(), "not a zip");
  EXPECT_EQ(update::unpackedSizeOf(archive().string()), std::nullopt);
  EXPECT_EQ(update::unpackedSizeOf((runDir() / "none.zip").string()), std::nullopt);
}

// Every other file first, then the new launcher, then the running
// launcher's own file: a kill between two steps leaves a launcher at one of
// the two names.
TEST_F(ApplyPackageTest, TheNewLauncherGoesBeforeTheRunningOnesOwnFileWhichGoesLast) {
  update::PackageApplied applied =
      apply({{"launcher.exe", "new launcher"}, {"z.txt", "z"}, {"New.exe", "new"}, {"a.txt", "a"}},
            {"NEW.EXE", "Launcher.exe"});
  ASSERT_EQ(applied.outcome.kind, ApplyOutcomeKind::kApplied);
  std::vector<std::string> targets;
  for (const update::ApplyStep& step : applied.pending->journal->plan().steps)
    targets.push_back(step.target);
  EXPECT_EQ(targets, (std::vector<std::string>{"z.txt", "a.txt", "New.exe", "launcher.exe"}));

  // Finished, keeping the running launcher's old file for its own end.
  update::endApply(os.files, game().string(), *applied.pending, update::ApplyDecision::kFinish,
                   "launcher.exe.backup");
  EXPECT_FALSE(fs::exists(game() / update::kJournalFileName));
  EXPECT_EQ(readBytes(game() / "launcher.exe.backup"), "old launcher");
  EXPECT_EQ(readBytes(game() / "launcher.exe"), "new launcher");
  EXPECT_FALSE(applied.pending->lock) << "the folder is free for the next update";
}

TEST_F(ApplyPackageTest, AnApplyAwaitingConfirmationEndsAllNewOrAllOld) {
  for (const auto decision : {update::ApplyDecision::kUndo, update::ApplyDecision::kFinish}) {
    SCOPED_TRACE(decision == update::ApplyDecision::kUndo ? "undo" : "finish");
    fs::remove_all(game());
    for (const auto& [name, bytes] : kOld)
      writeBytes(game() / name, bytes);
    update::PackageApplied applied = apply({{"Data/a.pak", "new a"}, {"Data/b/c.pak", "c"}});
    ASSERT_EQ(applied.outcome.kind, ApplyOutcomeKind::kApplied);
    EXPECT_TRUE(fs::exists(game() / update::kJournalFileName)) << "kept until the outcome";
    EXPECT_EQ(readBytes(game() / "Data/a.pak"), "new a");
    update::endApply(os.files, game().string(), *applied.pending, decision);
    const Tree expected =
        decision == update::ApplyDecision::kUndo
            ? kOld
            : Tree{
                  {"launcher.exe", "old launcher"}, {"Data/a.pak", "new a"}, {"Data/b/c.pak", "c"}};
    EXPECT_EQ(files(), expected);
    EXPECT_EQ(fs::exists(game() / "Data/b"), decision == update::ApplyDecision::kFinish);
  }
}

TEST_F(ApplyPackageTest, ApplyingAtOnceReportsItsProgressAndCreatesTheFolder) {
  zipWithPython(archive(), {{"a.txt", "a"}, {"b.txt", "b"}, {"c.txt", "c"}});
  std::vector<int> reports;
  const fs::path fresh = runDir() / "fresh" / "game";
  const update::ApplyOutcome outcome = update::applyPackageNow(
      os.files, os.namedEvents, os.codec, archive().string(), fresh.string() + "\\",
      [&](int percent) { reports.push_back(percent); });
  EXPECT_EQ(outcome.kind, ApplyOutcomeKind::kApplied);
  EXPECT_EQ(reports, (std::vector<int>{0, 33, 66, 100}));
  EXPECT_EQ(readBytes(fresh / "b.txt"), "b");
  EXPECT_FALSE(fs::exists(fresh / update::kJournalFileName));

  reports.clear();
  writeBytes(archive(), "PK but not really");
  EXPECT_EQ(
      update::applyPackageNow(os.files, os.namedEvents, os.codec, archive().string(),
                              fresh.string(), [&](int percent) { reports.push_back(percent); })
          .kind,
      ApplyOutcomeKind::kUnreadable);
  EXPECT_EQ(reports, std::vector<int>{0});
}

}  // namespace

namespace {

// A marker another launcher takes between the look and the taking: the
// lock is not held, and the handle it opened does not keep that launcher's
// marker alive after its end.
TEST(ApplyLockTest, AMarkerTakenInBetweenIsNotHeldOrKeptAlive) {
  struct Racing final : platform::NamedEvents {
    Marker createMarker(const std::string&) override { return Marker::kAlreadyExisted; }
    void releaseMarker(const std::string& name) override { released.push_back(name); }
    bool markerExists(const std::string&) override { return false; }
    std::vector<std::string> released;
  } events;
  {
    const update::ApplyLock lock(events, "C:\\Games\\Demo");
    EXPECT_FALSE(lock.held());
    ASSERT_EQ(events.released.size(), 1u) << "let go of at once";
  }
  EXPECT_EQ(events.released.size(), 1u) << "and not again at the end";
}

}  // namespace
