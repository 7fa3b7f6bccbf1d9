#include "app/event_bindings.h"
#include "core/program.h"
#include "test_support.h"
#include "ui/control_names.h"
#include "update/download/download_object.h"

namespace {

using platform::host::ProgramEnded;
using testing_support::LauncherTest;

TEST(ProgramState, StartsWithTheInitialValuesOfTheTables) {
  app::host::HostPlatform os;
  const app::ProgramState program(os.services());
  const update::UpdateState& state = program.update;
  for (const std::string& field : state.versionFields)
    EXPECT_EQ(field, "");
  ASSERT_NE(state.taskParameters, nullptr);
  const update::DownloadTaskParameters& p = *state.taskParameters;
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
  EXPECT_EQ(p.unusedInteger13, 1024);
  EXPECT_EQ(p.statusText, nullptr);
  EXPECT_EQ(p.progress, nullptr);
  EXPECT_EQ(p.unusedText16, "");
  EXPECT_EQ(p.unusedInteger17, 1);
  EXPECT_EQ(p.acceptedFileTypes, ".exe|.rar|.zip|.gif|.jpg|.mp3|.rm");
  EXPECT_EQ(p.unusedText19, "");
  EXPECT_EQ(p.unusedText20, "");
  ASSERT_NE(state.downloadObject, nullptr);
  EXPECT_FALSE(state.downloadObject->hasTask());
  EXPECT_EQ(state.progress->totalSize, 0);
  EXPECT_EQ(state.progress->percent, 0);
  EXPECT_EQ(program.slideshow.overlay, 0);
  EXPECT_TRUE(program.slideshow.pictures.empty());
}

using ExitTest = LauncherTest;

TEST_F(ExitTest, CleanupReleasesEverythingAndRunsOnlyOnce) {
  update::UpdateState& state = updateState();
  state.versionFields[update::kUpdateAddress] = "http://example.invalid/pkg.zip";
  state.names.package = "C:\\Games\\Demo\\pkg.zip";
  this->state().slideshow.pictures.push_back({1, 2, 3});
  EXPECT_TRUE(launcher->exitCleanup().run());
  EXPECT_TRUE(exitCleanupHasRun());
  EXPECT_EQ(state.versionFields[update::kUpdateAddress], "");
  EXPECT_EQ(state.names.package, "");
  EXPECT_EQ(state.taskParameters, nullptr);
  EXPECT_EQ(state.downloadObject, nullptr);
  EXPECT_TRUE(this->state().slideshow.pictures.empty());
  EXPECT_FALSE(launcher->exitCleanup().run());
}

TEST_F(ExitTest, EndTheProgramCleansUpClosesTheWindowAndExitsWithZero) {
  EXPECT_THROW(core::endProgram(ctx().ending()), ProgramEnded);
  EXPECT_TRUE(exitCleanupHasRun());
  EXPECT_TRUE(window.closed());
  ASSERT_EQ(os.process.exitCodes.size(), 1u);
  EXPECT_EQ(os.process.exitCodes[0], 0);
  // A later end (the window's own close) does not clean up twice.
  EXPECT_FALSE(launcher->exitCleanup().run());
}

TEST_F(ExitTest, AnEndWithoutWindowOrCleanUpStillExitsWithZero) {
  EXPECT_THROW(core::endProgram({os.process}), ProgramEnded);
  EXPECT_FALSE(exitCleanupHasRun());
  EXPECT_FALSE(window.closed());
  EXPECT_EQ(os.process.exitCodes, std::vector<int>{0});
}

TEST_F(ExitTest, CloseButtonEndsTheProgramAndMinimiseKeepsItRunning) {
  app::Handler minimise = app::findHandler(ui::name::kMinimise, ui::Event::Clicked);
  app::Handler close = app::findHandler(ui::name::kClose, ui::Event::Clicked);
  ASSERT_NE(minimise, nullptr);
  ASSERT_NE(close, nullptr);
  minimise(*launcher, {});
  EXPECT_EQ(window.minimiseCount(), 1);
  EXPECT_FALSE(exitCleanupHasRun());
  EXPECT_THROW(close(*launcher, {}), ProgramEnded);
  EXPECT_EQ(os.process.exitCodes, std::vector<int>{0});
}

TEST_F(ExitTest, EveryBindingNamesARealControl) {
  for (const app::EventBinding& binding : app::eventBindings()) {
    EXPECT_NE(binding.handler, nullptr);
    if (std::string(binding.control).empty())
      continue;
    EXPECT_NO_THROW(controls.state(binding.control)) << binding.control;
  }
}

}  // namespace
