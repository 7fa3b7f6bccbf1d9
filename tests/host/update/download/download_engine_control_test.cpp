// The download object's slot rules: what startTask refuses, how a running
// task is stopped, what the existing-file question decides, and redirects.

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "download_engine_fixture.h"

namespace testing_support {
namespace {

using std::chrono::steady_clock;

TEST_F(DownloadEngineTest, UnusableParametersAreRefusedWithoutEvents) {
  const std::string good = server.url("/pkg.zip");
  for (const std::string& address :
       {std::string(), std::string("ftp://127.0.0.1/pkg.zip"), std::string("https://host"),
        std::string("http://host"), std::string("http:///pkg.zip"),
        std::string("http://host:0/pkg.zip"), std::string("http://host:99999/pkg.zip"),
        std::string("http://host:8x/pkg.zip"), std::string("http://ho st/pkg.zip"),
        std::string("http://host/pkg.zip\r\nX-Injected: 1"), std::string("/pkg.zip")}) {
    EXPECT_FALSE(object.startTask(parametersFor(address))) << address;
  }
  auto upload = parametersFor(good);
  upload.modeWord = 8192;
  EXPECT_FALSE(object.startTask(upload));
  auto noFile = parametersFor(good);
  noFile.localFilePath.clear();
  EXPECT_FALSE(object.startTask(noFile));

  EXPECT_FALSE(object.hasTask());
  EXPECT_TRUE(recorder.events().empty());
  EXPECT_TRUE(server.requests().empty());
}

TEST_F(DownloadEngineTest, SchemeIsMatchedWithoutRegardToCase) {
  server.on("/pkg.zip", {sendBytes(okHead(2) + "ok")});
  runToEnd("HtTp://127.0.0.1:" + std::to_string(server.port()) + "/pkg.zip");
  EXPECT_EQ(readLocal(), "ok");
}

// A slow drip keeps the task running for as long as a test needs it.
class RunningTaskTest : public DownloadEngineTest {
 protected:
  void startDripping() {
    server.on("/slow", {sendBytes(okHead(100000)), drip(patternBytes(100000))});
    server.on("/never", {});
    ASSERT_TRUE(object.startTask(parametersFor(server.url("/slow"))));
    // Wait (bounded) for the first block, so the stop hits a running body.
    for (int i = 0; i < 5000 && recorder.count(16) == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_GT(recorder.count(16), 0);
  }
};

TEST_F(RunningTaskTest, StopMidTransferReturnsWithinStopWaitAndEndsOnce) {
  startDripping();
  const auto before = steady_clock::now();
  object.stopTask();
  const auto took = steady_clock::now() - before;

  EXPECT_LT(took, std::chrono::milliseconds(1000)) << "stopTask exceeded the stop wait";
  // Joined: the worker reported the end itself, and nothing can follow it.
  expectEnded(recorder.events().back().value);
  EXPECT_LT(recorder.events().back().value, 100000);
  EXPECT_FALSE(std::filesystem::exists(localFile()));
  object.stopTask();
  EXPECT_EQ(recorder.count(4), 1);
}

TEST_F(RunningTaskTest, SecondStartWhileAttachedIsRefused) {
  startDripping();
  EXPECT_FALSE(object.startTask(parametersFor(server.url("/never"))));
  EXPECT_TRUE(object.hasTask());
  EXPECT_GT(object.bytesReceived(), 0);
  object.stopTask();
  EXPECT_EQ(recorder.count(4), 1);
  EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(RunningTaskTest, DestroyingTheObjectStopsItsTask) {
  {
    update::DownloadObject doomed{os.sockets, os.tls, os.files};
    server.on("/slow", {sendBytes(okHead(100000)), drip(patternBytes(100000))});
    ASSERT_TRUE(doomed.startTask(parametersFor(server.url("/slow"))));
    for (int i = 0; i < 5000 && recorder.count(16) == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(recorder.count(4), 1);
  EXPECT_EQ(recorder.events().back().code, 4);
}

// A server that accepts and never answers holds the TLS handshake: a stop
// ends it within the stop wait, and so does the receive limit.
TEST_F(DownloadEngineTest, StopAndReceiveLimitEndAStalledHandshake) {
  const std::string silent = "https://localhost:" + std::to_string(server.port()) + "/pkg.zip";
  ASSERT_TRUE(object.startTask(parametersFor(silent)));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto before = steady_clock::now();
  object.stopTask();
  EXPECT_LT(steady_clock::now() - before, std::chrono::milliseconds(1000))
      << "stopTask exceeded the stop wait";
  expectEnded(0);

  DownloadRecorder second;
  auto limited = parametersFor(silent);
  limited.receiveTimeoutMs = 300;
  const auto started = steady_clock::now();
  ASSERT_TRUE(object.startTask(limited));
  ASSERT_TRUE(second.waitForEnd());
  EXPECT_LT(steady_clock::now() - started, std::chrono::milliseconds(1500));
  EXPECT_EQ(second.codes(), (std::vector<std::int32_t>{4}));
  EXPECT_FALSE(std::filesystem::exists(localFile()));
}

// Holds a report inside the routine until the test lets it go.
class Latch {
 public:
  // Called from the routine: blocks (bounded) until release().
  void hold() {
    std::unique_lock<std::mutex> lock(mutex_);
    entered_ = true;
    changed_.notify_all();
    changed_.wait_for(lock, std::chrono::seconds(10), [this] { return released_; });
  }
  bool waitUntilHeld() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [this] { return entered_; });
  }
  void release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool entered_ = false;
  bool released_ = false;
};

// A routine that never returns must not hold the caller past the stop wait.
TEST_F(RunningTaskTest, WorkerStuckInTheRoutineIsLeftAfterTheStopWait) {
  // The worker left behind outlives the test's own services: it gets
  // services that outlive it, as the launcher's do.
  static auto* lasting = new app::host::HostPlatform;
  update::DownloadObject object{lasting->sockets, lasting->tls, lasting->files};
  Latch latch;
  recorder.on16 = [&](std::int32_t) { latch.hold(); };
  server.on("/slow", {sendBytes(okHead(100000)), drip(patternBytes(100000))});
  auto parameters = parametersFor(server.url("/slow"));
  parameters.stopWaitMs = 100;
  ASSERT_TRUE(object.startTask(parameters));
  ASSERT_TRUE(latch.waitUntilHeld());

  object.stopTask();
  const auto events = recorder.events();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().code, 4);
  EXPECT_EQ(events.back().thread, std::this_thread::get_id()) << "the end comes from stopTask";
  EXPECT_FALSE(object.hasTask());
  EXPECT_EQ(object.bytesReceived(), 0);

  latch.release();
  // The left worker removes its partial file and ends without reporting.
  for (int i = 0; i < 5000 && std::filesystem::exists(localFile()); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_FALSE(std::filesystem::exists(localFile()));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  // Only the report that was already inside the routine completes late.
  EXPECT_EQ(recorder.count(4), 1);
  EXPECT_EQ(recorder.events().size(), events.size() + 1);
  EXPECT_EQ(recorder.events().back().code, 16);
}

// The exit clean-up stops again what a handler stopped: a worker still
// inside its own end report after the first stop wait is left once.
TEST_F(RunningTaskTest, StoppingAgainWhileTheEndReportIsStuckIsHarmless) {
  Latch latch;
  recorder.on4 = [&] { latch.hold(); };
  server.on("/pkg.zip", {sendBytes(okHead(2) + "ok")});
  auto parameters = parametersFor(server.url("/pkg.zip"));
  parameters.stopWaitMs = 100;
  ASSERT_TRUE(object.startTask(parameters));
  ASSERT_TRUE(latch.waitUntilHeld());

  EXPECT_NO_THROW(object.stopTask());
  EXPECT_NO_THROW(object.stopTask());
  EXPECT_FALSE(object.hasTask());
  latch.release();
  EXPECT_TRUE(recorder.waitForEnd());
  EXPECT_EQ(recorder.count(4), 1);
}

TEST_F(DownloadEngineTest, StopWithoutTaskDoesNothing) {
  object.stopTask();
  object.stopTask();
  EXPECT_FALSE(object.hasTask());
  EXPECT_TRUE(recorder.events().empty());
  EXPECT_EQ(object.bytesSinceLastQuery(), 0);
}

TEST_F(DownloadEngineTest, ObjectTakesANewTaskAfterTheLastEnded) {
  server.on("/one", {sendBytes(okHead(3) + "one")});
  server.on("/two", {sendBytes(okHead(3) + "two")});
  runToEnd(server.url("/one"));
  std::filesystem::remove(localFile());
  DownloadRecorder second;
  ASSERT_TRUE(object.startTask(parametersFor(server.url("/two"))));
  ASSERT_TRUE(second.waitForEnd());
  ASSERT_TRUE(waitUntilDetached(object));
  EXPECT_EQ(readLocal(), "two");
}

class ExistingFileTest : public DownloadEngineTest {
 protected:
  void SetUp() override {
    DownloadEngineTest::SetUp();
    writeFile("pkg.zip.tmp", "old package");
    server.on("/pkg.zip", {sendBytes(okHead(body.size()) + body)});
  }
  const std::string body = patternBytes(5000);
};

TEST_F(ExistingFileTest, GiveUpLeavesTheOldFileUntouched) {
  recorder.answerTo18 = 1;
  runToEnd(server.url("/pkg.zip"));
  EXPECT_EQ(recorder.codes(), (std::vector<std::int32_t>{3, 18, 4}));
  const auto question = recorder.events()[1];
  EXPECT_EQ(question.value, 11);  // size of the old file
  EXPECT_EQ(question.secondValue, 5000);
  expectEnded(0);
  EXPECT_EQ(readLocal(), "old package");
}

TEST_F(ExistingFileTest, EngineChoosesTheNextFreeNumberedName) {
  writeFile("pkg.zip(1).tmp", "taken too");
  recorder.answerTo18 = 0;
  runToEnd(server.url("/pkg.zip"));
  expectEnded(5000);
  EXPECT_EQ(readLocal("pkg.zip(2).tmp"), body);
  EXPECT_EQ(readLocal("pkg.zip(1).tmp"), "taken too");
  EXPECT_EQ(readLocal(), "old package");
}

TEST_F(ExistingFileTest, NameChosenByTheRoutineIsCheckedAgain) {
  recorder.answerTo18 = 2;
  recorder.on18 = [this] { std::filesystem::rename(localFile(), localFile("kept.tmp")); };
  runToEnd(server.url("/pkg.zip"));
  expectEnded(5000);
  EXPECT_EQ(readLocal(), body);
  EXPECT_EQ(readLocal("kept.tmp"), "old package");
}

TEST_F(ExistingFileTest, NameStillTakenAfterAnswer2GivesUp) {
  recorder.answerTo18 = 2;
  runToEnd(server.url("/pkg.zip"));
  expectEnded(0);
  EXPECT_EQ(readLocal(), "old package");
}

TEST_F(DownloadEngineTest, RedirectsAreFollowedToTheFile) {
  server.on("/old", {sendBytes("HTTP/1.1 302 Found\r\nLocation: " + server.url("/files/new") +
                               "\r\nContent-Length: 5\r\n\r\nmoved")});
  server.on("/files/new", {sendBytes("HTTP/1.1 301 Moved\r\nLocation: pkg.bin\r\n\r\n")});
  server.on("/files/pkg.bin", {sendBytes(okHead(4) + "data")});
  runToEnd(server.url("/old"));
  expectEnded(4);
  EXPECT_EQ(readLocal(), "data");
  EXPECT_EQ(recorder.codes(), (std::vector<std::int32_t>{3, 16, 4}));
  ASSERT_EQ(server.requests().size(), 3u);
  EXPECT_EQ(server.requests()[2].rfind("GET /files/pkg.bin ", 0), 0u);
}

TEST_F(DownloadEngineTest, FiveRedirectsAreFollowedButNotSix) {
  const int statuses[] = {301, 302, 303, 307, 308, 307};
  for (int i = 0; i < 6; ++i) {
    server.on("/r" + std::to_string(i),
              {sendBytes("HTTP/1.1 " + std::to_string(statuses[i]) + " Again\r\nLocation: /r" +
                         std::to_string(i + 1) + "\r\n\r\n")});
  }
  server.on("/r5", {sendBytes(okHead(2) + "ok")});
  runToEnd(server.url("/r0"));
  EXPECT_EQ(readLocal(), "ok");

  std::filesystem::remove(localFile());
  server.on("/r5", {sendBytes("HTTP/1.1 307 Again\r\nLocation: /r6\r\n\r\n")});
  server.on("/r6", {sendBytes(okHead(2) + "ok")});
  DownloadRecorder second;
  ASSERT_TRUE(object.startTask(parametersFor(server.url("/r0"))));
  ASSERT_TRUE(second.waitForEnd());
  ASSERT_TRUE(waitUntilDetached(object));
  EXPECT_EQ(second.codes(), (std::vector<std::int32_t>{4}));
  EXPECT_FALSE(std::filesystem::exists(localFile()));
}

TEST_F(DownloadEngineTest, RedirectLoopEndsTheTask) {
  server.on("/a", {sendBytes("HTTP/1.1 302 Found\r\nLocation: /b\r\n\r\n")});
  server.on("/b", {sendBytes("HTTP/1.1 302 Found\r\nLocation: /a\r\n\r\n")});
  runToEnd(server.url("/a"));
  EXPECT_EQ(recorder.codes(), (std::vector<std::int32_t>{4}));
  EXPECT_EQ(server.requests().size(), 2u);
}

// Followed, to a port where nothing listens (https itself: the nginx tests).
TEST_F(DownloadEngineTest, RedirectToAnUnreachableHttpsAddressEndsTheTask) {
  server.on("/a", {sendBytes("HTTP/1.1 302 Found\r\nLocation: https://127.0.0.1:1/x\r\n\r\n")});
  runToEnd(server.url("/a"));
  EXPECT_EQ(recorder.codes(), (std::vector<std::int32_t>{4}));
  EXPECT_FALSE(std::filesystem::exists(localFile()));
}

}  // namespace
}  // namespace testing_support
