// The hand-over to the new launcher and its undo, the package the game
// holds, and a close during the hand-over: a downloaded package in the
// folder, the recording fakes for processes, markers and the window.

#include <functional>
#include <map>
#include <stdexcept>

#include "core/startup.h"
#include "test_support.h"
#include "ui/control_names.h"
#include "ui/control_table.h"
#include "unzip_test_archives.h"
#include "update/handoff.h"
#include "update/kept_package.h"
#include "update/package/apply_journal.h"
#include "update/package/apply_package.h"
#include "update/package/package_signature.h"
#include "update/package/release_signature.h"
#include "update/package/unzip.h"
#include "update/succession.h"
#include "update/update_flow.h"

namespace {

using platform::host::ProgramEnded;
using testing_support::LauncherTest;
using Tree = std::map<std::string, std::string>;
namespace fs = std::filesystem;

constexpr char kAddress[] = "http://example.invalid/dl/pkg.zip";
constexpr int kNeverSignals = -1;

const Tree kOld = {{"launcher.exe", "MZ old launcher"}, {"Data/a.pak", "old a"}};
const Tree kNew = {{"launcher.exe", "MZ old launcher"},
                   {"Data/a.pak", "new a, longer"},
                   {"Data/level.pak", "new level"},
                   {"NewLauncher.exe", "MZ new launcher"}};

class HandOverTest : public LauncherTest {
 protected:
  void SetUp() override {
    LauncherTest::SetUp();
    os.process.directory = "Z:" + runDir().string();
    writeConfig("[http]\r\ndiy=http://example.invalid/help\r\n");
    for (const auto& [name, bytes] : kOld)
      writeFile(name, bytes);
    // The new launcher's window shows, or it ends, after that many waits.
    os.pump.duringDelay = [this] {
      if (os.processes.calls.empty())
        return;
      ++polls;
      if (onPoll)
        onPoll(polls);
    };
    os.processes.childShowsWindow = [this](const std::string& windowClass) {
      return signalAtPoll != kNeverSignals && polls >= signalAtPoll &&
             windowClass == ui::launchWindowProperties().className;
    };
    os.processes.childExitCode = [this] { return polls >= exitAtPoll ? exitCode : -1; };
  }

  void downloaded(const std::vector<std::pair<std::string, std::string>>& entries) {
    // Made aside (the maker leaves its script beside the archive).
    testing_support::zipWithPython(runDir() / "tavoro" / "made.zip", entries);
    fs::rename(runDir() / "tavoro" / "made.zip", runDir() / "pkg.zip.tmp");
    update::UpdateState& state = updateState();
    state.versionFields[update::kLatestVersion] = "5.1";
    state.versionFields[update::kProgramTitle] = "NewLauncher.exe";
    state.versionFields[update::kUpdateAddress] = kAddress;
    state.names = {kAddress, os.process.directory + "\\pkg.zip",
                   os.process.directory + "\\pkg.zip.tmp", "NewLauncher.exe"};
    state.progress->percent = 100;
    state.progress->arrivedWhole = true;
    state.phase = update::UpdatePhase::kDownloading;
    controls.setEnabled(ui::name::kStartButton, false);
  }

  void downloadedNewRelease() {
    downloaded({{"NewLauncher.exe", "MZ new launcher"},
                {"Data/a.pak", "new a, longer"},
                {"Data/level.pak", "new level"}});
  }

  // True when the old launcher ended, handing over.
  bool complete() {
    try {
      launcher->updateFlow().onNotice(update::DownloadNotice::kEnded);
    } catch (const ProgramEnded&) {
      return true;
    }
    return false;
  }

  Tree files() const {
    Tree tree;
    for (const auto& entry : fs::recursive_directory_iterator(runDir())) {
      const std::string name = fs::relative(entry.path(), runDir()).string();
      if (entry.is_regular_file() && name.rfind("tavoro/", 0) != 0)
        tree[name] = testing_support::readBytes(entry.path());
    }
    return tree;
  }

  std::vector<std::string> boxTexts() const {
    std::vector<std::string> texts;
    for (const auto& call : os.messageBoxes.calls)
      texts.push_back(call.text);
    return texts;
  }

  std::string selfRemoval(const std::string& name) const {
    return "cmd.exe /c del \"" + os.process.directory + "\\" + name + "\"";
  }

  int polls = 0;
  int signalAtPoll = kNeverSignals;
  int exitAtPoll = 1 << 30;
  std::int64_t exitCode = 0;
  std::function<void(int)> onPoll;
};

// What the new launcher does decides: its window shows, it ends with code
// 0, or it stays silent for 15 s: the hand-over completes. It ends with any
// other code first, or cannot start: the old files are back.
TEST_F(HandOverTest, TheNewLaunchersFirstSignDecidesTheHandOver) {
  struct Row {
    const char* what;
    int signalAt;
    int exitAt;
    std::int64_t code;
    bool handedOver;
    std::size_t waits;
  };
  const Row rows[] = {
      {"window shown", 3, 1 << 30, 0, true, 3},
      {"window shown, then a crash", 2, 3, 3, true, 2},
      {"ends with 0 (an installer)", kNeverSignals, 2, 0, true, 2},
      {"ends with 1 before its window", kNeverSignals, 2, 1, false, 2},
      {"crashes at once", kNeverSignals, 0, 0xC0000005, false, 0},
      {"silent for 15 s", kNeverSignals, 1 << 30, 0, true, 150},
      {"crashes after a while", kNeverSignals, 5, 0xC0000005, false, 5},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(runDir() / "Data");
    for (const auto& [name, bytes] : kOld)
      writeFile(name, bytes);
    fs::remove(runDir() / "NewLauncher.exe");
    os.processes.calls.clear();
    os.pump.delays.clear();
    os.messageBoxes.calls.clear();
    polls = 0;
    signalAtPoll = row.signalAt;
    exitAtPoll = row.exitAt;
    exitCode = row.code;
    os.namedEvents.names.clear();
    // A marker of the new launcher's name proves nothing: any program may
    // make one.
    os.namedEvents.names.insert(core::shownSignalName(os.process.directory, "NewLauncher.exe"));
    // A hand-over ends the program: each row is a launcher of its own.
    launcher.reset();
    launcher = std::make_unique<app::Launcher>(os.services(), controls, window);
    downloadedNewRelease();

    EXPECT_EQ(complete(), row.handedOver);
    ASSERT_FALSE(os.processes.calls.empty());
    EXPECT_EQ(os.processes.calls[0].commandLine, os.process.directory + "\\NewLauncher.exe");
    EXPECT_EQ(std::count(os.pump.delays.begin(), os.pump.delays.end(), update::kHandOverPollMs),
              static_cast<long>(row.waits));
    EXPECT_FALSE(fs::exists(runDir() / "pkg.zip"));
    EXPECT_FALSE(fs::exists(runDir() / update::kJournalFileName));
    if (row.handedOver) {
      EXPECT_EQ(files(), kNew);
      EXPECT_EQ(os.processes.calls.back().commandLine, selfRemoval("launcher.exe"));
      EXPECT_TRUE(boxTexts().empty());
    } else {
      EXPECT_EQ(files(), kOld);
      EXPECT_FALSE(fs::exists(runDir() / "Data/level.pak"));
      EXPECT_EQ(os.processes.calls.size(), 1u) << "nothing removes the old launcher";
      EXPECT_EQ(boxTexts(), std::vector<std::string>{update::kNewLauncherFailed});
      EXPECT_TRUE(controls.isEnabled(ui::name::kStartButton));
    }
  }
}

// The new launcher shares the instance name (bh1): the old one lets go of
// it for the start and takes it back when the update is taken back.
TEST_F(HandOverTest, TheSharedInstanceMarkerIsFreeWhileTheNewLauncherStarts) {
  writeConfig("[http]\r\ndiy=x\r\n[url]\r\nbh1=Arcade\r\n");
  os.namedEvents.names.insert("Arcade");
  bool freeAtStart = false;
  onPoll = [this, &freeAtStart](int poll) {
    if (poll == 1)
      freeAtStart = os.namedEvents.names.count("Arcade") == 0;
  };
  exitAtPoll = 2;
  exitCode = 2;
  downloadedNewRelease();
  EXPECT_FALSE(complete());
  EXPECT_TRUE(freeAtStart);
  EXPECT_EQ(os.namedEvents.names.count("Arcade"), 1u) << "held again after the undo";
  EXPECT_EQ(files(), kOld);

  // Handed over: the new launcher has the name, the old one does not take it.
  launcher.reset();
  launcher = std::make_unique<app::Launcher>(os.services(), controls, window);
  polls = 0;
  exitAtPoll = 1 << 30;
  signalAtPoll = 1;
  os.processes.calls.clear();
  downloadedNewRelease();
  EXPECT_TRUE(complete());
  EXPECT_EQ(os.namedEvents.names.count("Arcade"), 0u);
}

// Once the new launcher runs, Esc or Alt+F4 waits for the outcome: the
// undo completes, then the program ends.
TEST_F(HandOverTest, ACloseDuringTheWaitEndsTheProgramOnlyAfterTheUndo) {
  bool closedEarly = false;
  onPoll = [this, &closedEarly](int poll) {
    if (poll == 1)
      launcher->raise(ui::kWindow, ui::Event::CloseRequested, {});
    closedEarly = closedEarly || window.closed() || !os.process.exitCodes.empty();
  };
  // The new launcher fails after 5 s, and every turn of the wait comes back
  // at once: the wait counts by the clock, not by its turns.
  os.pump.stepMs = 1;
  exitAtPoll = 5000;
  exitCode = 1;
  downloadedNewRelease();
  EXPECT_TRUE(complete()) << "ended by the close";
  EXPECT_FALSE(closedEarly) << "the window stayed for the outcome";
  EXPECT_EQ(os.process.exitCodes, std::vector<int>{0});
  EXPECT_EQ(polls, 5000) << "the wait went on after the close";
  EXPECT_EQ(files(), kOld);
  EXPECT_EQ(boxTexts(), std::vector<std::string>{update::kNewLauncherFailed});
  EXPECT_TRUE(window.closed());
}

// A new launcher that says nothing is waited for 15 s by the clock however
// quickly the window's messages come back.
TEST_F(HandOverTest, TheWaitForTheNewLauncherCountsByTheClock) {
  os.pump.stepMs = 10;
  downloadedNewRelease();
  EXPECT_TRUE(complete());
  EXPECT_EQ(std::count(os.pump.delays.begin(), os.pump.delays.end(), update::kHandOverPollMs),
            update::kHandOverWaitMs / 10);
  EXPECT_EQ(files(), kNew);
}

// The natural release: the new launcher keeps this launcher's name. The
// old one cannot let go of its name while it runs, so the new one starts
// from its staged file, the old one ends, and the new one moves its file
// onto the name in one step: at every moment a launcher holds the name.
// Nothing is asked, and nothing stays behind.
TEST_F(HandOverTest, ALauncherThatKeepsItsNameIsHandedOverLikeAnyOther) {
  // 星海启动器.exe, as the package stores it and as the folder names it.
  const std::string chineseUtf8 = reinterpret_cast<const char*>(u8"星海启动器.exe");
  for (const auto& [own, stored] :
       {std::pair<std::string, std::string>{"launcher.exe", "launcher.exe"},
        {"星海启动器.exe", chineseUtf8}}) {
    SCOPED_TRACE(stored);
    launcher.reset();
    fs::remove_all(runDir() / "Data");
    fs::remove(runDir() / "launcher.exe");
    for (const auto& [name, bytes] : kOld)
      writeFile(name == "launcher.exe" ? own : name, bytes);
    os.process.executable = own;
    launcher = std::make_unique<app::Launcher>(os.services(), controls, window);
    os.processes.calls.clear();
    os.processes.started.clear();
    os.messageBoxes.calls.clear();
    os.process.exitCodes.clear();
    polls = 0;
    signalAtPoll = 1;
    downloaded({{stored, "MZ new launcher"}, {"Data/a.pak", "new a, longer"}});
    updateState().versionFields[update::kProgramTitle] = own;
    updateState().names.newLauncher = own;

    EXPECT_TRUE(complete()) << "handed over";
    const std::string staged = own + ".unpacking";
    EXPECT_EQ(os.processes.started, std::vector<std::string>{os.process.directory + "\\" + staged});
    EXPECT_EQ(os.processes.calls.size(), 1u) << "the old launcher's file is not deleted";
    EXPECT_TRUE(boxTexts().empty());
    EXPECT_EQ(os.process.exitCodes, std::vector<int>{0});
    Tree meanwhile = {{own, "MZ old launcher"},
                      {staged, "MZ new launcher"},
                      {"Data/a.pak", "new a, longer"},
                      {"Data/a.pak.backup", "old a"},
                      {update::kJournalFileName, files()[update::kJournalFileName]}};
    EXPECT_EQ(files(), meanwhile);

    // The old launcher has ended; the new one, from its staged file, shows
    // its window.
    launcher.reset();
    os.process.executable = staged;
    launcher = std::make_unique<app::Launcher>(os.services(), controls, window);
    launcher->raise(ui::kWindow, ui::Event::Created, {});
    EXPECT_TRUE(fs::exists(runDir() / update::kJournalFileName)) << "left to the successor";
    launcher->raise(ui::kWindow, ui::Event::Shown, {});
    EXPECT_EQ(os.process.executable, own) << "it knows its new name";
    EXPECT_EQ(files(), (Tree{{own, "MZ new launcher"}, {"Data/a.pak", "new a, longer"}}));
    EXPECT_TRUE(os.namedEvents.markerExists(core::instanceName({os.profile, os.process})))
        << "a second copy started by the name is refused";
    EXPECT_FALSE(
        os.namedEvents.markerExists(core::derivedInstanceName(os.process.directory, staged)))
        << "the next successor, started from the same staged name, is no second copy";
    fs::remove(runDir() / own);
  }
}

// The old launcher's file stays a running program's for a moment after its
// end: the successor asks again, by the clock, until it can take the name.
TEST_F(HandOverTest, ASuccessorWaitsForTheOldLaunchersFileToBeLetGo) {
  signalAtPoll = 1;
  downloaded({{"launcher.exe", "MZ new launcher"}, {"Data/a.pak", "new a, longer"}});
  updateState().versionFields[update::kProgramTitle] = "launcher.exe";
  updateState().names.newLauncher = "launcher.exe";
  ASSERT_TRUE(complete());
  EXPECT_NE(std::find(os.trace.notes.begin(), os.trace.notes.end(),
                      "update: successor started: launcher.exe.unpacking"),
            os.trace.notes.end());
  launcher.reset();

  // The old launcher ends 10 s on, and its file is let go 6 s after that:
  // each wait counts from its own start.
  std::optional<update::ApplyLock> oldLauncher;
  oldLauncher.emplace(os.namedEvents, os.process.directory);
  auto hold = platform::host::LocalFiles::holdWithoutSharing((runDir() / "launcher.exe").string());
  os.process.executable = "launcher.exe.unpacking";
  launcher = std::make_unique<app::Launcher>(os.services(), controls, window);
  os.pump.delays.clear();
  os.pump.duringDelay = [this, &hold, &oldLauncher] {
    if (os.pump.delays.size() == 100)
      oldLauncher.reset();
    if (os.pump.delays.size() == 160)
      hold.reset();
  };
  launcher->raise(ui::kWindow, ui::Event::Shown, {});
  EXPECT_EQ(os.pump.delays.size(), 160u);
  EXPECT_EQ(os.process.executable, "launcher.exe");
  EXPECT_EQ(files(), (Tree{{"launcher.exe", "MZ new launcher"}, {"Data/a.pak", "new a, longer"}}));
}

// A successor whose old launcher does not end in time leaves everything
// for a later start; the old launcher started first undoes the update, as
// the new one never took the name.
TEST_F(HandOverTest, ASuccessionNotCompletedEndsAllOldAtTheOldLaunchersNextStart) {
  polls = 0;
  signalAtPoll = 1;
  downloaded({{"launcher.exe", "MZ new launcher"}, {"Data/a.pak", "new a, longer"}});
  updateState().versionFields[update::kProgramTitle] = "launcher.exe";
  updateState().names.newLauncher = "launcher.exe";
  ASSERT_TRUE(complete());
  // The old launcher's lock is still held: it has not ended.
  launcher.reset();
  std::optional<update::ApplyLock> stillRunning;
  stillRunning.emplace(os.namedEvents, os.process.directory);
  EXPECT_TRUE(stillRunning->held());

  os.process.executable = "launcher.exe.unpacking";
  launcher = std::make_unique<app::Launcher>(os.services(), controls, window);
  os.pump.delays.clear();
  launcher->raise(ui::kWindow, ui::Event::Shown, {});
  EXPECT_EQ(std::count(os.pump.delays.begin(), os.pump.delays.end(), update::kSuccessionPollMs),
            update::kSuccessionWaitMs / update::kSuccessionPollMs)
      << "waited 15 s by the clock";
  EXPECT_EQ(os.process.executable, "launcher.exe.unpacking");
  EXPECT_EQ(files()["launcher.exe"], "MZ old launcher");
  EXPECT_EQ(os.trace.notes.back(), "update: succession left for a later start");

  // Both ended; the player starts the launcher at its name: all old.
  launcher.reset();
  stillRunning.reset();
  os.process.executable = "launcher.exe";
  launcher = std::make_unique<app::Launcher>(os.services(), controls, window);
  launcher->raise(ui::kWindow, ui::Event::Created, {});
  EXPECT_EQ(files(), kOld);
}

// After a hand-over to another name, the desktop shortcut this launcher's
// button made leads to the new launcher; a shortcut of the game's name
// that leads elsewhere is not this launcher's and stays.
TEST_F(HandOverTest, TheLaunchersDesktopShortcutFollowsARename) {
  writeConfig("[http]\r\ndiy=x\r\n[name]\r\nname1=星海\r\n");
  const std::string link = os.shell.desktop + "\\星海 -塔沃VR游戏.lnk";
  const std::string own = os.process.directory + "\\launcher.exe";
  const std::string newLauncher = os.process.directory + "\\NewLauncher.exe";
  for (const auto& [before, after] : {std::pair<std::string, std::string>{own, newLauncher},
                                      {"C:\\Other\\launcher.exe", "C:\\Other\\launcher.exe"}}) {
    SCOPED_TRACE(before);
    launcher.reset();
    for (const auto& [name, bytes] : kOld)
      writeFile(name, bytes);
    fs::remove(runDir() / "NewLauncher.exe");
    fs::remove_all(runDir() / "Data");
    for (const auto& [name, bytes] : kOld)
      writeFile(name, bytes);
    launcher = std::make_unique<app::Launcher>(os.services(), controls, window);
    os.shell.links = {{link, before}};
    polls = 0;
    signalAtPoll = 1;
    downloadedNewRelease();
    EXPECT_TRUE(complete());
    EXPECT_EQ(os.shell.links[link], after);
  }
}

// A close while the apply waits for a file the game holds: the wait goes
// on, everything stays old, the player learns why, then the program ends.
TEST_F(HandOverTest, ACloseDuringTheWaitForAHeldFileEndsAllOld) {
  downloadedNewRelease();
  const auto hold =
      platform::host::LocalFiles::holdWithoutSharing((runDir() / "Data/a.pak").string());
  bool closedEarly = false;
  os.pump.duringDelay = [this, &closedEarly] {
    if (os.pump.delays.size() == 1)
      launcher->raise(ui::kWindow, ui::Event::CloseRequested, {});
    closedEarly = closedEarly || window.closed() || !os.process.exitCodes.empty();
  };
  EXPECT_TRUE(complete()) << "ended once the outcome was known";
  EXPECT_FALSE(closedEarly);
  EXPECT_EQ(std::count(os.pump.delays.begin(), os.pump.delays.end(), 250), 20)
      << "the game was given its time to close";
  Tree left = files();
  left.erase("pkg.zip");
  left.erase(update::kKeptPackageFileName);
  EXPECT_EQ(left, kOld);
  EXPECT_EQ(boxTexts(), std::vector<std::string>{update::kUpdateDeferred});
  EXPECT_EQ(os.process.exitCodes, std::vector<int>{0});
  // Why, for whoever reads a test build's trace.
  EXPECT_NE(std::find(os.trace.notes.begin(), os.trace.notes.end(),
                      "update: apply in use Data\\a.pak error 32"),
            os.trace.notes.end());
  EXPECT_NE(std::find(os.trace.notes.begin(), os.trace.notes.end(),
                      "update: close asked for while applying: after the outcome"),
            os.trace.notes.end());
}

// A package that replaces the running launcher's own file: the old image is
// at the backup name, and that is what the interpreter deletes.
TEST_F(HandOverTest, SelfRemovalDeletesTheOldImageNotTheFileThePackageBrought) {
  signalAtPoll = 1;
  downloaded({{"NewLauncher.exe", "MZ new launcher"}, {"launcher.exe", "MZ launcher, renewed"}});
  EXPECT_TRUE(complete());
  EXPECT_EQ(os.processes.calls.back().commandLine, selfRemoval("launcher.exe.backup"));
  EXPECT_EQ(testing_support::readBytes(runDir() / "launcher.exe"), "MZ launcher, renewed");
}

// The running game holds a file of the package: nothing changes, the
// package is kept, and the next start (the game ended) applies it.
TEST_F(HandOverTest, AFileTheGameHoldsDefersTheWholeUpdateToTheNextStart) {
  downloadedNewRelease();
  {
    const auto hold =
        platform::host::LocalFiles::holdWithoutSharing((runDir() / "Data/a.pak").string());
    EXPECT_FALSE(complete());
  }
  EXPECT_EQ(files()["pkg.zip"].substr(0, 2), "PK");
  Tree withPackage = files();
  withPackage.erase("pkg.zip");
  withPackage.erase(update::kKeptPackageFileName);
  EXPECT_EQ(withPackage, kOld);
  EXPECT_EQ(boxTexts(), std::vector<std::string>{update::kUpdateDeferred});
  EXPECT_TRUE(controls.isEnabled(ui::name::kStartButton));
  EXPECT_GE(os.pump.delays.size(), 10u) << "the game was given time to close";
  EXPECT_TRUE(os.processes.calls.empty());

  // The next start: a fresh state; its window shows.
  launcher.reset();
  launcher = std::make_unique<app::Launcher>(os.services(), controls, window);
  controls.setText(ui::name::kUpdateNotes, "11111111111");
  signalAtPoll = 1;
  bool startWorkedMeanwhile = true;
  onPoll = [this, &startWorkedMeanwhile](int) {
    startWorkedMeanwhile = controls.isEnabled(ui::name::kStartButton);
  };
  EXPECT_THROW(launcher->updateFlow().onWindowShown(), ProgramEnded);
  EXPECT_FALSE(startWorkedMeanwhile) << "the start button rests while the kept update goes in";
  EXPECT_EQ(controls.text(ui::name::kUpdateNotes).substr(22, 15), "NewLauncher.exe")
      << "the panel shows the kept release's notes, not what the field held";
  EXPECT_EQ(files(), kNew);
  EXPECT_TRUE(controls.isVisible(ui::name::kProgressBar));
  EXPECT_EQ(os.processes.calls[0].commandLine, os.process.directory + "\\NewLauncher.exe");
}

// What is kept is checked again: a package changed since, or a release
// this launcher has passed, is not applied, and the record goes; a file of
// the record's name that is no record of ours stays as it is.
TEST_F(HandOverTest, AKeptPackageThatNoLongerChecksIsForgotten) {
  struct Row {
    const char* what;
    std::function<void()> change;
    bool recordStays;
  };
  const Row rows[] = {
      {"the package grew", [this] { writeFile("pkg.zip", files()["pkg.zip"] + "x"); }, false},
      {"the package is gone", [this] { fs::remove(runDir() / "pkg.zip"); }, false},
      {"this launcher is newer", [this] { updateState().localVersion = "5.1"; }, false},
      {"the record is damaged",
       [this] { writeFile(update::kKeptPackageFileName, "tavoro-kept-update/1\n9:x\n"); }, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    updateState().localVersion = "5.0";
    downloadedNewRelease();
    {
      const auto hold =
          platform::host::LocalFiles::holdWithoutSharing((runDir() / "Data/a.pak").string());
      EXPECT_FALSE(complete());
    }
    ASSERT_TRUE(fs::exists(runDir() / update::kKeptPackageFileName));
    row.change();
    os.processes.calls.clear();
    launcher->updateFlow().onWindowShown();
    EXPECT_TRUE(os.processes.calls.empty());
    EXPECT_EQ(fs::exists(runDir() / update::kKeptPackageFileName), row.recordStays);
    EXPECT_EQ(testing_support::readBytes(runDir() / "Data/a.pak"), "old a");
    fs::remove(runDir() / "pkg.zip");
    fs::remove(runDir() / update::kKeptPackageFileName);
  }
}

}  // namespace

namespace {

// A start ends an update that a kill interrupted, right after the
// single-instance guard: a second copy, which the guard ends, leaves it to
// the copy that runs. Its window shown, a launcher gives its sign.
TEST_F(HandOverTest, TheStartEndsAnInterruptedUpdateAfterTheGuardAndTheWindowGivesItsSign) {
  testing_support::zipWithPython(
      runDir() / "tavoro" / "made.zip",
      {{"Data/a.pak", "new a, longer"}, {"Data/level.pak", "new level"}});
  int changes = 0;
  os.files.beforeChange = [&changes](const std::string&) {
    if (++changes == 2)
      throw std::runtime_error("killed amid the apply");
    return true;
  };
  EXPECT_THROW(update::applyPackageNow(os.files, os.namedEvents, os.codec,
                                       (runDir() / "tavoro" / "made.zip").string(),
                                       os.process.directory + "\\", [](int) {}),
               std::runtime_error);
  os.files.beforeChange = nullptr;
  ASSERT_TRUE(fs::exists(runDir() / update::kJournalFileName));

  os.namedEvents.names.insert(core::instanceName({os.profile, os.process}));
  EXPECT_THROW(launcher->raise(ui::kWindow, ui::Event::Created, {}), ProgramEnded);
  EXPECT_TRUE(fs::exists(runDir() / update::kJournalFileName)) << "the second copy touched it";

  os.namedEvents.names.clear();
  launcher.reset();
  launcher = std::make_unique<app::Launcher>(os.services(), controls, window);
  launcher->raise(ui::kWindow, ui::Event::Created, {});
  EXPECT_FALSE(fs::exists(runDir() / update::kJournalFileName));
  EXPECT_EQ(testing_support::readBytes(runDir() / "Data/a.pak"), "new a, longer");
  EXPECT_EQ(testing_support::readBytes(runDir() / "Data/level.pak"), "new level");

  launcher->raise(ui::kWindow, ui::Event::Shown, {});
  EXPECT_TRUE(os.namedEvents.markerExists(
      core::shownSignalName(os.process.directory, os.process.executableName())));
}

}  // namespace

namespace {

// With a key, the kept package is checked against its signed release once
// more: a record relabelled since, or another file under the package's
// name, is not applied.
TEST_F(HandOverTest, WithAKeyAKeptPackageMustStillBeTheSignedRelease) {
  update::PublicKey publicKey{};
  update::SecretKey secretKey{};
  crypto_sign_keypair(publicKey.data(), secretKey.data());
  testing_support::zipWithPython(runDir() / "tavoro" / "made.zip",
                                 {{"NewLauncher.exe", "MZ new launcher"}, {"Data/a.pak", "new a"}});
  const std::string bytes = testing_support::readBytes(runDir() / "tavoro" / "made.zip");
  update::PackageHasher hasher;
  hasher.add(bytes.data(), bytes.size());
  const update::Release release{updateState().pageAddress,
                                "5.1",
                                "NewLauncher.exe",
                                "pkg.zip",
                                bytes.size(),
                                hasher.finish()};
  update::KeptPackage kept;
  kept.versionFields[update::kLatestVersion] = release.version;
  kept.versionFields[update::kProgramTitle] = release.launcherName;
  kept.versionFields[update::kUpdateAddress] = kAddress;
  kept.versionFields[update::kPackageSize] = std::to_string(bytes.size());
  kept.versionFields[update::kPackageDigest] = update::toBase64(release.packageDigest);
  kept.versionFields[update::kSignatureWithPage] =
      update::toBase64(update::signRelease(release, update::kLauncherReleaseForm, secretKey));
  kept.size = static_cast<std::int64_t>(bytes.size());

  std::string otherBytes = bytes;
  otherBytes[otherBytes.size() / 2] ^= 0x01;
  struct Row {
    const char* what;
    std::string version;
    std::string package;
    bool applied;
  };
  const Row rows[] = {
      {"a relabelled version", "9.9", bytes, false},
      {"another file of the same size", "5.1", otherBytes, false},
      {"the signed release", "5.1", bytes, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    launcher.reset();
    launcher = std::make_unique<app::Launcher>(os.services(), controls, window);
    updateState().publicKey = update::toBase64(publicKey);
    update::KeptPackage record = kept;
    record.versionFields[update::kLatestVersion] = row.version;
    ASSERT_TRUE(update::keepPackage(os.files, os.process.directory, record));
    testing_support::writeBytes(runDir() / "pkg.zip", row.package);
    os.processes.calls.clear();
    polls = 0;
    signalAtPoll = 1;
    bool handedOver = false;
    try {
      launcher->updateFlow().onWindowShown();
    } catch (const ProgramEnded&) {
      handedOver = true;
    }
    EXPECT_EQ(handedOver, row.applied);
    EXPECT_EQ(testing_support::readBytes(runDir() / "Data/a.pak"), row.applied ? "new a" : "old a");
    EXPECT_FALSE(fs::exists(runDir() / update::kKeptPackageFileName));
  }
}

}  // namespace
