#include "core/state.h"
#include "core/program.h"
#include "test_support.h"
#include "ui/control_names.h"
#include "ui/event_bindings.h"

namespace {

using platform::host::ProgramEnded;
using testing_support::LauncherTest;

TEST(ProgramState, StartsWithTheInitialValuesOfTheTables) {
  const core::ProgramState& state = core::createProgramState();
  for (const std::string& field : state.versionFields)
    EXPECT_EQ(field, "");
  ASSERT_NE(state.taskParameters, nullptr);
  const core::DownloadTaskParameters& p = *state.taskParameters;
  EXPECT_EQ(p.modeWord, 1);
  EXPECT_EQ(p.sourceAddress, "");
  EXPECT_EQ(p.localFilePath, "");
  EXPECT_EQ(p.userName, "anonymous");
  EXPECT_EQ(p.password.size(), 17u);
  const auto at = p.password.find('@');
  ASSERT_NE(at, std::string::npos);
  EXPECT_GT(at, 0u);
  EXPECT_NE(p.password.find('.', at), std::string::npos);
  EXPECT_EQ(p.connections, 1);
  EXPECT_EQ(p.speedLimit, 0);
  EXPECT_EQ(p.connectTimeoutMs, 20000);
  EXPECT_EQ(p.sendTimeoutMs, 20000);
  EXPECT_EQ(p.receiveTimeoutMs, 20000);
  EXPECT_EQ(p.stopWaitMs, 1000);
  EXPECT_EQ(p.blockSize, 20480);
  EXPECT_EQ(p.integerSetting13, 1024);
  EXPECT_EQ(p.statusText, nullptr);
  EXPECT_EQ(p.progress, nullptr);
  EXPECT_EQ(p.textSetting16, "");
  EXPECT_EQ(p.integerSetting17, 1);
  EXPECT_EQ(p.acceptedFileTypes, ".exe|.rar|.zip|.gif|.jpg|.mp3|.rm");
  EXPECT_EQ(p.textSetting19, "");
  EXPECT_EQ(p.textSetting20, "");
  ASSERT_NE(state.downloadObject, nullptr);
  EXPECT_FALSE(state.downloadObject->hasTask());
  EXPECT_EQ(state.downloadTotalSize, 0);
  EXPECT_EQ(state.downloadPercent, 0);
  EXPECT_EQ(state.slideshowOverlay, 0);
  EXPECT_TRUE(state.slideshowPictures.empty());
}

using ExitTest = LauncherTest;

TEST_F(ExitTest, CleanupReleasesEverythingAndRunsOnlyOnce) {
  core::ProgramState& state = core::programState();
  state.versionFields[core::kUpdateAddress] = "http://example.invalid/pkg.zip";
  state.slideshowPictures.push_back({1, 2, 3});
  EXPECT_TRUE(core::runExitCleanup());
  EXPECT_TRUE(core::exitCleanupHasRun());
  EXPECT_EQ(state.versionFields[core::kUpdateAddress], "");
  EXPECT_EQ(state.taskParameters, nullptr);
  EXPECT_EQ(state.downloadObject, nullptr);
  EXPECT_TRUE(state.slideshowPictures.empty());
  EXPECT_FALSE(core::runExitCleanup());
}

TEST_F(ExitTest, EndTheProgramCleansUpClosesTheWindowAndExitsWithZero) {
  EXPECT_THROW(core::endProgram(), ProgramEnded);
  EXPECT_TRUE(core::exitCleanupHasRun());
  EXPECT_TRUE(controls.closed());
  ASSERT_EQ(os.process.exitCodes.size(), 1u);
  EXPECT_EQ(os.process.exitCodes[0], 0);
  // A later end (the window's own close) does not clean up twice.
  EXPECT_FALSE(core::runExitCleanup());
}

TEST_F(ExitTest, CloseButtonEndsTheProgramAndMinimiseKeepsItRunning) {
  ui::Handler minimise = ui::findHandler(ui::name::kMinimise, ui::Event::Clicked);
  ui::Handler close = ui::findHandler(ui::name::kClose, ui::Event::Clicked);
  ASSERT_NE(minimise, nullptr);
  ASSERT_NE(close, nullptr);
  minimise({});
  EXPECT_EQ(controls.minimiseCount(), 1);
  EXPECT_FALSE(core::exitCleanupHasRun());
  EXPECT_THROW(close({}), ProgramEnded);
  EXPECT_EQ(os.process.exitCodes, std::vector<int>{0});
}

TEST_F(ExitTest, EveryBindingNamesARealControl) {
  for (const ui::EventBinding& binding : ui::eventBindings()) {
    EXPECT_NE(binding.handler, nullptr);
    if (std::string(binding.control).empty())
      continue;
    EXPECT_NO_THROW(controls.state(binding.control)) << binding.control;
  }
}

}  // namespace
