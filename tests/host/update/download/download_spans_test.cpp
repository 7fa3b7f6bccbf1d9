// The engine fetching only some parts of a package, one range each.

#include "download_engine_fixture.h"

namespace testing_support {
namespace {

std::string partHead(std::uint64_t first, std::uint64_t last, std::uint64_t total,
                     const std::string& etag = "\"e1\"") {
  return "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(first) + "-" +
         std::to_string(last) + "/" + std::to_string(total) +
         "\r\nContent-Length: " + std::to_string(last - first + 1) + "\r\nETag: " + etag +
         "\r\n\r\n";
}

struct Silent : update::DownloadObserver {
  void totalSizeKnown(std::int64_t total) override { totals.push_back(total); }
  void blockWritten(std::int32_t, std::int64_t received) override { last = received; }
  std::vector<std::int64_t> totals;
  std::int64_t last = 0;
};

class SpanDownloadTest : public DownloadEngineTest {
 protected:
  update::DownloadResult run(std::vector<update::ByteSpan> spans) {
    update::DownloadSettings settings;
    settings.address = update::parseHttpAddress(server.url("/pkg.zip")).value();
    settings.localPath = runDir().string() + "\\pkg.zip.entries";
    settings.connectTimeoutMs = 2000;
    settings.receiveTimeoutMs = 2000;
    settings.retryPausesMs = {1, 2, 4, 8, 16};
    settings.spans = std::move(spans);
    update::DownloadStop stop;
    return update::runDownload(settings, os.sockets, os.tls, os.files, stop, observer);
  }
  Silent observer;
  const std::string package = patternBytes(1000);
};

TEST_F(SpanDownloadTest, EachPartByOneRangeIntoOneFile) {
  server.onTurns("/pkg.zip", {{sendBytes(partHead(100, 199, 1000) + package.substr(100, 100))},
                              {sendBytes(partHead(900, 909, 1000) + package.substr(900, 10))}});
  EXPECT_EQ(run({{100, 100}, {900, 10}}), update::DownloadResult::kComplete);
  EXPECT_EQ(readLocal("pkg.zip.entries"), package.substr(100, 100) + package.substr(900, 10));
  EXPECT_EQ(observer.totals, (std::vector<std::int64_t>{110}));
  EXPECT_EQ(observer.last, 110);
  const std::vector<std::string> requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[0].find("\r\nRange: bytes=100-199\r\n"), std::string::npos) << requests[0];
  EXPECT_EQ(requests[0].find("If-Range"), std::string::npos) << requests[0];
  // Later parts must come from the same file as the first.
  EXPECT_NE(requests[1].find("\r\nRange: bytes=900-909\r\nIf-Range: \"e1\"\r\n"), std::string::npos)
      << requests[1];
}

TEST_F(SpanDownloadTest, ABreakAsksForTheRestOfItsPart) {
  server.onTurns("/pkg.zip", {{sendBytes(partHead(100, 199, 1000) + package.substr(100, 40)),
                               resetConnection()},
                              {sendBytes(partHead(140, 199, 1000) + package.substr(140, 60))}});
  EXPECT_EQ(run({{100, 100}}), update::DownloadResult::kComplete);
  EXPECT_EQ(readLocal("pkg.zip.entries"), package.substr(100, 100));
  const std::vector<std::string> requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[1].find("\r\nRange: bytes=140-199\r\nIf-Range: \"e1\"\r\n"), std::string::npos)
      << requests[1];
}

TEST_F(SpanDownloadTest, BreaksBeyondTheRetriesEndItAndLeaveNothing) {
  // Each answer the rest asked for, cut short again.
  std::vector<std::vector<ServerStep>> turns;
  for (const auto& [first, sent] : std::vector<std::pair<std::uint64_t, std::uint64_t>>{
           {100, 40}, {140, 40}, {180, 10}, {190, 5}, {195, 2}, {197, 1}})
    turns.push_back(
        {sendBytes(partHead(first, 199, 1000) + package.substr(first, sent)), resetConnection()});
  server.onTurns("/pkg.zip", turns);
  EXPECT_EQ(run({{100, 100}}), update::DownloadResult::kFailed);
  // The first request and one after each of the five pauses.
  EXPECT_EQ(server.requests().size(), 6u);
  EXPECT_FALSE(std::filesystem::exists(localFile("pkg.zip.entries")));
}

TEST_F(SpanDownloadTest, AnAnswerThatIsNotThePartEndsItAndLeavesNothing) {
  const struct {
    const char* what;
    std::string answer;
  } rows[] = {
      {"the whole file", okHead(1000) + package},
      {"another part", partHead(101, 200, 1000) + package.substr(101, 100)},
      {"another version", partHead(900, 909, 1000, "\"e2\"") + package.substr(900, 10)},
  };
  for (const auto& row : rows) {
    server.onTurns("/pkg.zip", {{sendBytes(partHead(100, 199, 1000) + package.substr(100, 100))},
                                {sendBytes(row.answer)}});
    const update::DownloadResult result =
        row.what == std::string("another part") ? run({{101, 100}}) : run({{100, 100}, {900, 10}});
    EXPECT_EQ(result, update::DownloadResult::kRangesRefused) << row.what;
    EXPECT_FALSE(std::filesystem::exists(localFile("pkg.zip.entries"))) << row.what;
  }
  server.respond("/pkg.zip", "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
  EXPECT_EQ(run({{100, 100}}), update::DownloadResult::kFailed);
  EXPECT_FALSE(std::filesystem::exists(localFile("pkg.zip.entries")));
}

}  // namespace
}  // namespace testing_support
