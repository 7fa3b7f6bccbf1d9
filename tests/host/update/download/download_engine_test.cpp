// The download engine against a loopback server that injects the faults of
// real networks: how bodies are framed, cut short, redirected or refused.

#include "update/download/download_engine.h"
#include "download_engine_fixture.h"

namespace testing_support {
namespace {

TEST_F(DownloadEngineTest, BodyWithLengthIsSavedWithTotalFirstAndEndLast) {
  const std::string body = patternBytes(50000);
  // Bytes after the declared length are not part of the package.
  server.on("/pkg.zip", {sendBytes(okHead(body.size()) + body + "extra")});
  runToEnd(server.url("/pkg.zip"));

  expectEnded(50000);
  EXPECT_EQ(readLocal(), body);
  const auto events = recorder.events();
  EXPECT_EQ(events.front().code, 3);
  EXPECT_EQ(events.front().value, 50000);
  EXPECT_EQ(recorder.blockTotal(), 50000);
  std::int64_t taken = 0;
  for (const auto& event : events) {
    if (event.code != 16)
      continue;
    EXPECT_GT(event.value, 0);
    EXPECT_LE(event.value, 20480);
    taken += event.sinceLastQuery;
  }
  EXPECT_EQ(taken, 50000) << "bytes since last query must add up to the body";
}

TEST_F(DownloadEngineTest, PercentShows99For999Of1000Bytes) {
  const std::string body = patternBytes(1000);
  // The last byte waits until the engine has counted the first 999.
  server.on("/pkg.zip",
            {sendBytes(okHead(1000) + body.substr(0, 999)), waitForRelease(), sendBytes("x")});
  recorder.on16 = [this](std::int32_t received) {
    if (received == 999)
      server.release();
  };
  runToEnd(server.url("/pkg.zip"));

  expectEnded(1000);
  bool saw99 = false;
  for (const auto& event : recorder.events()) {
    if (event.code != 16)
      continue;
    EXPECT_EQ(event.percent, update::percentOf(event.bytesReceived, 1000));
    if (event.bytesReceived == 999) {
      EXPECT_EQ(event.percent, 99);
      saw99 = true;
    }
    if (event.bytesReceived < 1000) {
      EXPECT_LT(event.percent, 100);
    }
  }
  EXPECT_TRUE(saw99);
}

TEST_F(DownloadEngineTest, ChunkedBodyAfterAnInterimHeadIsDecodedAndHasNoTotal) {
  const std::string part1 = patternBytes(3000);
  const std::string part2 = patternBytes(25000);
  server.on("/pkg.zip",
            {sendBytes("HTTP/1.1 100 Continue\r\n\r\n"),
             sendBytes("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"),
             sendBytes("bb8;name=value\r\n" + part1 + "\r\n"),
             sendBytes("61A8\r\n" + part2 + "\r\n"), sendBytes("0\r\nX-Checksum: none\r\n\r\n")});
  runToEnd(server.url("/pkg.zip"));

  expectEnded(28000);
  EXPECT_EQ(recorder.count(3), 0);
  EXPECT_EQ(readLocal(), part1 + part2);
}

TEST_F(DownloadEngineTest, BodyEndedByCloseIsSavedWithoutTotal) {
  const std::string body = patternBytes(30000);
  server.on("/pkg.zip", {sendBytes("HTTP/1.0 200 OK\r\n\r\n" + body)});
  runToEnd(server.url("/pkg.zip"));

  expectEnded(30000);
  EXPECT_EQ(recorder.count(3), 0);
  EXPECT_EQ(readLocal(), body);
}

// A listener given with the task hears it instead of the parameters' routine.
TEST_F(DownloadEngineTest, AListenerGivenWithTheTaskTakesThePlaceOfTheRoutine) {
  struct Listener final : update::DownloadObserver {
    std::atomic<std::int64_t> ended{-1};
    void taskEnded(std::int64_t received) override { ended = received; }
  };
  auto listener = std::make_shared<Listener>();
  server.on("/pkg.zip", {sendBytes(okHead(5) + "hello")});
  ASSERT_TRUE(object.startTask(parametersFor(server.url("/pkg.zip")), listener));
  for (int i = 0; i < 5000 && listener->ended < 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(listener->ended, 5);
  EXPECT_EQ(recorder.count(4), 0);
  EXPECT_EQ(readLocal(), "hello");
}

// A task's bound (a signed package's size): a body that declares more is
// refused unread, one that brings more stops at the bound, and a transfer
// ended so keeps nothing to continue, since its rest would not fit either.
struct BoundRow {
  const char* name;
  std::int64_t bound;
  std::string answer;
  std::string expected;  // the file; empty: none
  bool unread = false;   // refused before a block is written
};

void PrintTo(const BoundRow& row, std::ostream* out) {
  *out << row.name;
}

class BoundedDownloadTest : public DownloadEngineTest,
                            public ::testing::WithParamInterface<BoundRow> {};

TEST_P(BoundedDownloadTest, NoFileGrowsPastTheTasksBound) {
  const BoundRow& row = GetParam();
  server.respond("/pkg.zip", row.answer);
  auto parameters = parametersFor(server.url("/pkg.zip"));
  parameters.maxBytes = row.bound;
  parameters.keepPartial = true;
  runToEnd(parameters);
  EXPECT_EQ(std::filesystem::exists(localFile()), !row.expected.empty());
  if (!row.expected.empty())
    EXPECT_EQ(readLocal(), row.expected);
  EXPECT_FALSE(std::filesystem::exists(localFile("pkg.zip.tmp.resume")));
  std::int32_t most = 0;
  for (const auto& event : recorder.events())
    most = std::max(most, event.bytesReceived);
  if (row.bound > 0)
    EXPECT_LE(most, row.bound) << "written past the bound";
  if (row.unread)
    EXPECT_EQ(recorder.count(16), 0) << "a body declared too long is not read";
  EXPECT_EQ(server.requests().size(), 1u) << "asked again for what cannot fit";
}

const std::string kBoundBody = patternBytes(50000);
const std::string kWithoutLength = "HTTP/1.0 200 OK\r\n\r\n";

INSTANTIATE_TEST_SUITE_P(
    Loopback, BoundedDownloadTest,
    ::testing::Values(
        BoundRow{"DeclaredExactlyTheBound", 50000, okHead(50000) + kBoundBody, kBoundBody},
        BoundRow{"DeclaredOneByteMore", 49999, okHead(50000) + kBoundBody, "", true},
        BoundRow{"DeclaredAndResumableOneByteMore", 49999,
                 "HTTP/1.1 200 OK\r\nContent-Length: 50000\r\nETag: \"v1\"\r\n\r\n" + kBoundBody,
                 "", true},
        BoundRow{"NoLengthWithinTheBound", 50001, kWithoutLength + kBoundBody, kBoundBody},
        BoundRow{"NoLengthExactlyTheBound", 50000, kWithoutLength + kBoundBody, kBoundBody},
        BoundRow{"NoLengthOneByteMore", 49999, kWithoutLength + kBoundBody, ""},
        BoundRow{"NoLengthEndless", 50000, kWithoutLength + patternBytes(400000), ""},
        BoundRow{"ChunkedPastTheBound", 30000,
                 "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nC350\r\n" + kBoundBody +
                     "\r\n0\r\n\r\n",
                 ""},
        BoundRow{"NoBoundTheDeclaredLength", 0, okHead(50000) + kBoundBody + "extra", kBoundBody}),
    [](const auto& info) { return std::string(info.param.name); });

// Without a bound or a length, a body stops at 16 GiB; a declared length
// bounds a body of any size itself.
TEST(DownloadBound, ABodyWithoutLengthStopsAt16GiB) {
  EXPECT_EQ(update::byteLimitOf(update::DownloadSettings{}, false), std::int64_t{17179869184});
  EXPECT_EQ(update::byteLimitOf(update::DownloadSettings{}, true),
            std::numeric_limits<std::int64_t>::max());
  update::DownloadSettings bounded;
  bounded.maxBytes = 1;
  EXPECT_EQ(update::byteLimitOf(bounded, false), 1);
  EXPECT_EQ(update::byteLimitOf(bounded, true), 1);
}

// A game's full package may pass 16 GiB: without a task bound, its
// declared length is taken, and the body is written.
TEST_F(DownloadEngineTest, ADeclaredLengthPast16GiBIsFetched) {
  server.on("/pkg.zip",
            {sendBytes(okHead(std::int64_t{20} << 30) + patternBytes(50000)), resetConnection()});
  runToEnd(server.url("/pkg.zip"));
  EXPECT_EQ(recorder.events().front().value, std::numeric_limits<std::int32_t>::max())
      << "the routine's total is held at its largest value";
  EXPECT_GT(recorder.count(16), 0);
  EXPECT_FALSE(std::filesystem::exists(localFile()));
}

TEST_F(DownloadEngineTest, EmptyBodyGivesAnEmptyFile) {
  server.on("/pkg.zip", {sendBytes(okHead(0) + "extra")});
  runToEnd(server.url("/pkg.zip"));

  expectEnded(0);
  EXPECT_EQ(recorder.codes(), (std::vector<std::int32_t>{3, 4}));
  EXPECT_TRUE(std::filesystem::exists(localFile()));
  EXPECT_EQ(readLocal(), "");
}

// A cut-short body must not pass for the package: the launcher cannot tell
// success from failure, so the partial file is removed.
TEST_F(DownloadEngineTest, BodyCutShortFailsAndLeavesNoFile) {
  server.on("/short", {sendBytes(okHead(1000) + patternBytes(400))});
  runToEnd(server.url("/short"));
  expectEnded(400);
  EXPECT_FALSE(std::filesystem::exists(localFile()));
}

TEST_F(DownloadEngineTest, ConnectionResetMidBodyFailsAndLeavesNoFile) {
  server.on("/reset", {sendBytes(okHead(50000) + patternBytes(5000)), resetConnection()});
  runToEnd(server.url("/reset"));
  EXPECT_EQ(recorder.count(4), 1);
  expectEnded(recorder.events().back().value);
  EXPECT_LT(recorder.events().back().value, 50000);
  EXPECT_FALSE(std::filesystem::exists(localFile()));
}

TEST_F(DownloadEngineTest, ChunkedBodyClosedBeforeLastChunkFails) {
  server.on("/pkg.zip", {sendBytes("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                   "10\r\n0123456789abcdef\r\n")});
  runToEnd(server.url("/pkg.zip"));
  expectEnded(16);
  EXPECT_FALSE(std::filesystem::exists(localFile()));
}

TEST_F(DownloadEngineTest, ErrorStatusesWriteNothing) {
  server.on("/missing",
            {sendBytes("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found")});
  server.on("/broken", {sendBytes("HTTP/1.1 500 Oops\r\nContent-Length: 4\r\n\r\noops")});
  for (const char* path : {"/missing", "/broken"}) {
    SCOPED_TRACE(path);
    DownloadRecorder fresh;
    ASSERT_TRUE(object.startTask(parametersFor(server.url(path))));
    ASSERT_TRUE(fresh.waitForEnd());
    ASSERT_TRUE(waitUntilDetached(object));
    EXPECT_EQ(fresh.codes(), (std::vector<std::int32_t>{4}));
    EXPECT_EQ(fresh.events().back().value, 0);
    EXPECT_FALSE(std::filesystem::exists(localFile()));
  }
}

TEST_F(DownloadEngineTest, StalledServerEndsTaskAfterReceiveLimit) {
  server.on("/stall", {sendBytes(okHead(1000) + patternBytes(100)), stall()});
  auto parameters = parametersFor(server.url("/stall"));
  parameters.receiveTimeoutMs = 300;
  parameters.connectTimeoutMs = 5000;
  const auto started = std::chrono::steady_clock::now();
  runToEnd(parameters);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(2500));
  expectEnded(100);
  EXPECT_FALSE(std::filesystem::exists(localFile()));
}

TEST_F(DownloadEngineTest, StallBeforeTheHeadEndsTaskToo) {
  server.on("/stall", {sendBytes("HTTP/1.1 200 OK\r\n"), stall()});
  auto parameters = parametersFor(server.url("/stall"));
  parameters.receiveTimeoutMs = 300;
  runToEnd(parameters);
  EXPECT_EQ(recorder.codes(), (std::vector<std::int32_t>{4}));
}

TEST_F(DownloadEngineTest, UnreachableServerEndsTaskWithNothing) {
  int closedPort = 0;
  {
    LoopbackServer gone;
    closedPort = gone.port();
  }
  runToEnd("http://127.0.0.1:" + std::to_string(closedPort) + "/pkg.zip");
  EXPECT_EQ(recorder.codes(), (std::vector<std::int32_t>{4}));
  expectEnded(0);
}

TEST_F(DownloadEngineTest, SpeedLimitKeepsBlocksSmallAndBodyWhole) {
  const std::string body = patternBytes(2500);
  server.on("/pkg.zip", {sendBytes(okHead(body.size()) + body)});
  auto parameters = parametersFor(server.url("/pkg.zip"));
  parameters.speedLimit = 2000;
  const auto started = std::chrono::steady_clock::now();
  runToEnd(parameters);
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1000));
  expectEnded(2500);
  EXPECT_EQ(readLocal(), body);
  for (const auto& event : recorder.events()) {
    if (event.code == 16) {
      EXPECT_LE(event.value, 2000);
    }
  }
}

TEST_F(DownloadEngineTest, RequestNamesPathHostAgentAndClose) {
  server.on("/dir/a%20b%C4%E3.zip?x=1", {sendBytes(okHead(2) + "ok")});
  runToEnd(server.url("/dir/a b\xC4\xE3.zip?x=1#part"));
  EXPECT_EQ(readLocal(), "ok");
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  const std::string& request = requests[0];
  EXPECT_EQ(request.rfind("GET /dir/a%20b%C4%E3.zip?x=1 HTTP/1.1\r\n", 0), 0u) << request;
  EXPECT_NE(request.find("\r\nHost: 127.0.0.1:" + std::to_string(server.port()) + "\r\n"),
            std::string::npos);
  EXPECT_NE(request.find("\r\nUser-Agent: "), std::string::npos);
  EXPECT_NE(request.find("\r\nConnection: close\r\n"), std::string::npos);
}

}  // namespace
}  // namespace testing_support
