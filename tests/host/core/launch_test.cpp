#include <filesystem>

#include "base/file_name.h"
#include "core/launch.h"
#include "core/messages.h"
#include "test_support.h"
#include "ui/control_names.h"

namespace {

using platform::host::ProgramEnded;
using testing_support::LauncherTest;
using LaunchTest = LauncherTest;

// Refused at once: nothing listens on port 1 of the loopback.
const std::string kNoVersionPage = "http://127.0.0.1:1/version.html";

TEST_F(LaunchTest, StartsTheConfiguredGameByItsQuotedPathInANormalWindow) {
  writeConfig("[url]\nurl2=\\Bin\\My Game.exe\n");
  writeFile("Bin/My Game.exe", "MZ");
  app::startGameAndCheckVersion(*launcher, kNoVersionPage);
  EXPECT_EQ(controls.text(ui::name::kStagingField), "\\Bin\\My Game.exe");
  EXPECT_EQ(os.pump.delays, std::vector<int>{500});
  ASSERT_EQ(os.processes.calls.size(), 1u);
  EXPECT_EQ(os.processes.calls[0].commandLine,
            "\"" + os.process.directory + "\\Bin\\My Game.exe\"");
  EXPECT_FALSE(os.processes.calls[0].wait);
  EXPECT_EQ(os.processes.calls[0].windowMode, 2);
  EXPECT_TRUE(os.messageBoxes.calls.empty());
}

TEST_F(LaunchTest, PathsAreJoinedWithoutASeparatorAndEmptyMeansTheRunDirectory) {
  writeConfig("[url]\nurl2=Ride.exe\n");
  const std::string sibling = runDir().string() + "Ride.exe";
  { std::ofstream(sibling) << "MZ"; }
  app::startGameAndCheckVersion(*launcher, kNoVersionPage);
  std::filesystem::remove(sibling);
  ASSERT_EQ(os.processes.calls.size(), 1u);
  EXPECT_EQ(os.processes.calls[0].commandLine, "\"" + os.process.directory + "Ride.exe\"");

  writeConfig("[url]\nurl1=no game named\n");
  os.processes.result = false;  // a folder is no program: the start fails silently
  app::startGameAndCheckVersion(*launcher, kNoVersionPage);
  ASSERT_EQ(os.processes.calls.size(), 2u);
  EXPECT_EQ(os.processes.calls[1].commandLine, "\"" + os.process.directory + "\"");
  EXPECT_TRUE(os.messageBoxes.calls.empty());
}

TEST_F(LaunchTest, AMissingGameShowsTheMessageAndEndsTheProgram) {
  writeConfig("[url]\nurl2=\\Bin\\Gone.exe\n");
  EXPECT_THROW(app::startGameAndCheckVersion(*launcher, kNoVersionPage), ProgramEnded);
  ASSERT_EQ(os.messageBoxes.calls.size(), 1u);
  EXPECT_EQ(os.messageBoxes.calls[0].title, "提示");
  EXPECT_EQ(os.messageBoxes.calls[0].flags, 0x10030u);
  EXPECT_TRUE(os.processes.calls.empty());
  EXPECT_TRUE(exitCleanupHasRun());
  EXPECT_EQ(os.process.exitCodes, std::vector<int>{0});
}

// Esc or the system closing the window during the start button's wait ends
// the program there: no game, no version check afterwards.
TEST_F(LaunchTest, ClosingTheWindowDuringTheWaitEndsTheProgramThere) {
  writeConfig("[url]\nurl2=\\Game.exe\n");
  writeFile("Game.exe", "MZ");
  os.pump.duringDelay = [&] { launcher->raise(ui::kWindow, ui::Event::CloseRequested, {}); };
  EXPECT_THROW(app::startGameAndCheckVersion(*launcher, kNoVersionPage), ProgramEnded);
  EXPECT_TRUE(os.processes.calls.empty());
  EXPECT_TRUE(exitCleanupHasRun());
  EXPECT_TRUE(window.closed());
  EXPECT_EQ(os.process.exitCodes, std::vector<int>{0});
}

// A second click during the first one's wait does nothing: one game, one
// check. The configuration is read again after the wait.
TEST_F(LaunchTest, TheConfigurationIsReadAgainAfterTheDelayAndASecondClickDoesNothing) {
  writeConfig("[url]\nurl2=\\Old.exe\n");
  writeFile("Old.exe", "MZ");
  writeFile("New.exe", "MZ");
  int nested = 0;
  os.pump.duringDelay = [&] {
    writeConfig("[url]\nurl2=\\New.exe\n");
    if (nested++ == 0)
      launcher->raise(ui::name::kStartButton, ui::Event::Clicked, {});  // a second click
  };
  app::startGameAndCheckVersion(*launcher, kNoVersionPage);
  ASSERT_EQ(os.processes.calls.size(), 1u);
  // The existence test used the staged value; the command line the file as it is now.
  EXPECT_EQ(os.processes.calls[0].commandLine, "\"" + os.process.directory + "\\New.exe\"");
  EXPECT_EQ(os.pump.delays, std::vector<int>{500}) << "the second click waited for nothing";

  // Once the check is over, the next click starts the game again.
  os.pump.duringDelay = nullptr;
  app::startGameAndCheckVersion(*launcher, kNoVersionPage);
  EXPECT_EQ(os.processes.calls.size(), 2u);
}

TEST_F(LaunchTest, ShortcutIsNamedAfterTheGameAndPointsAtTheLauncher) {
  controls.setText(ui::name::kGameName, "\xD0\xC7\xBA\xA3VR");
  core::createDesktopShortcut(controls, os.shell, os.process);
  controls.setText(ui::name::kGameName, "");
  core::createDesktopShortcut(controls, os.shell, os.process);
  ASSERT_EQ(os.shell.shortcuts.size(), 2u);
  EXPECT_EQ(os.shell.shortcuts[0].first, os.shell.desktop + "\\\xD0\xC7\xBA\xA3VR -塔沃VR游戏.lnk");
  EXPECT_EQ(os.shell.shortcuts[0].second, os.process.directory + "\\launcher.exe");
  EXPECT_EQ(os.shell.shortcuts[1].first, os.shell.desktop + "\\ -塔沃VR游戏.lnk");
  EXPECT_TRUE(os.messageBoxes.calls.empty());
}

TEST_F(LaunchTest, AGameNameThatIsNoFileNameMakesNoShortcutAnywhere) {
  for (const char* name : {"..\\..\\Startup\\x", "a/b", "C:evil", "what?", "a|b"}) {
    controls.setText(ui::name::kGameName, name);
    core::createDesktopShortcut(controls, os.shell, os.process);
  }
  // Without a desktop folder the shortcut would land in the root of the drive.
  os.shell.desktop.clear();
  controls.setText(ui::name::kGameName, "Ride");
  core::createDesktopShortcut(controls, os.shell, os.process);
  EXPECT_TRUE(os.shell.shortcuts.empty());
  // A two-byte character whose second byte is 0x5C is a plain name.
  EXPECT_TRUE(base::isPlainFileName("\xC2\x5C"));
  EXPECT_FALSE(base::isPlainFileName(".."));
  EXPECT_FALSE(base::isPlainFileName("./x"));
  EXPECT_FALSE(base::isPlainFileName("\xFF\xD9:x")) << "0xD9 starts no character before a colon";
}

}  // namespace
