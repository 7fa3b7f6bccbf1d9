#pragma once

// A launcher in a box with one download object, a fault-injecting server
// and a recorder for the engine's reports.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "download_recorder.h"
#include "loopback_server.h"
#include "test_support.h"

namespace testing_support {

// Bytes that differ from block to block, so a misplaced block shows.
inline std::string patternBytes(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
  return bytes;
}

class DownloadEngineTest : public LauncherTest {
 protected:
  void TearDown() override {
    object.stopTask();
    LauncherTest::TearDown();
  }

  // A task as the launcher starts it, with time limits short enough for tests.
  update::DownloadTaskParameters parametersFor(const std::string& address) {
    update::DownloadTaskParameters parameters;
    parameters.modeWord = update::kModeDownload;
    parameters.sourceAddress = address;
    parameters.localFilePath = runDir().string() + "\\pkg.zip.tmp";
    parameters.connections = 1;
    parameters.connectTimeoutMs = 2000;
    parameters.receiveTimeoutMs = 2000;
    parameters.progress = &DownloadRecorder::routine;
    // As many tries as the launcher makes, without its seconds of pauses.
    parameters.retryPausesMs = {1, 2, 4, 8, 16};
    return parameters;
  }

  // Starts the task and waits (bounded) until it has ended and detached.
  void runToEnd(const update::DownloadTaskParameters& parameters) {
    ASSERT_TRUE(object.startTask(parameters));
    ASSERT_TRUE(recorder.waitForEnd());
    ASSERT_TRUE(waitUntilDetached(object));
  }
  void runToEnd(const std::string& address) { runToEnd(parametersFor(address)); }

  std::filesystem::path localFile(const std::string& name = "pkg.zip.tmp") const {
    return runDir() / name;
  }

  std::string readLocal(const std::string& name = "pkg.zip.tmp") const {
    std::ifstream in(localFile(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // What every task shows once it has ended: event 4 exactly once and last,
  // with the byte count; total size before any block; a detached object.
  void expectEnded(std::int32_t bytes) {
    const auto events = recorder.events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(recorder.count(4), 1);
    EXPECT_EQ(events.back().code, 4);
    EXPECT_EQ(events.back().value, bytes);
    bool sawBlock = false;
    for (const auto& event : events) {
      sawBlock = sawBlock || event.code == 16;
      if (event.code == 3) {
        EXPECT_FALSE(sawBlock) << "total size reported after a block";
      }
      EXPECT_NE(event.thread, std::this_thread::get_id()) << "reported on the caller's thread";
      if (event.code != 18) {
        EXPECT_EQ(event.secondValue, 0) << "only event 18 has a second value; event " << event.code;
      }
    }
    EXPECT_LE(recorder.count(3), 1);
    EXPECT_FALSE(object.hasTask());
    EXPECT_EQ(object.bytesReceived(), 0);
    EXPECT_EQ(object.bytesSinceLastQuery(), 0);
  }

  LoopbackServer server;
  DownloadRecorder recorder;
  update::DownloadObject object{os.sockets, os.tls, os.files};
};

}  // namespace testing_support
