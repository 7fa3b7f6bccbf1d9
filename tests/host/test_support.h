#pragma once

// A launcher in a box: a temporary run directory, the host services, the
// in-memory controls and a fresh program-wide state for each test.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <memory>

#include "app/host/host_platform.h"
#include "app/launcher.h"
#include "ui/host/control_model.h"
#include "ui/host/window_model.h"

namespace testing_support {

// A file of the tests' certificate authority (tests/tls/make-test-authority.sh),
// made in the build tree.
inline std::string testAuthority(const std::string& file) {
  return std::string(TAVORO_TEST_AUTHORITY_DIR) + "/" + file;
}

class LauncherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    runDir_ = std::filesystem::temp_directory_path() /
              ("tavoro-test-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(runDir_);
    std::filesystem::create_directories(runDir_ / "tavoro");
    os.process.directory = runDir_.string();
    launcher = std::make_unique<app::Launcher>(os.services(), controls, window);
  }

  void TearDown() override {
    // Stops what runs in the background (slideshow, download) before the
    // controls and services it uses go away.
    launcher.reset();
    std::filesystem::remove_all(runDir_);
  }

  // Writes the Game configuration file with exactly these bytes.
  void writeConfig(const std::string& bytes) { writeFile("tavoro/tavoroConfig.ini", bytes); }

  void writeFile(const std::string& relative, const std::string& bytes) {
    const auto path = runDir_ / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }

  const std::filesystem::path& runDir() const { return runDir_; }

  core::Context& ctx() { return launcher->context(); }
  app::ProgramState& state() { return launcher->state(); }
  update::UpdateState& updateState() { return launcher->state().update; }
  bool exitCleanupHasRun() { return launcher->exitCleanup().hasRun(); }

  // Trusting the tests' authority alone.
  app::host::HostPlatform os{testAuthority("ca.pem")};
  ui::ControlModel controls;
  ui::WindowModel window;
  // Made afresh for each test, after the services and controls it uses.
  std::unique_ptr<app::Launcher> launcher;

 private:
  std::filesystem::path runDir_;
};

}  // namespace testing_support
