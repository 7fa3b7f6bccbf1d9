// The download engine against a real web server: nginx on loopback serving
// ordinary files, as the update package would be served.

#include "download_engine_fixture.h"
#include "nginx_fixture.h"

namespace testing_support {
namespace {

class NginxDownloadTest : public DownloadEngineTest {
 protected:
  void SetUp() override {
    DownloadEngineTest::SetUp();
    if (NginxServer::binary().empty())
      GTEST_SKIP() << "nginx is not installed (scripts/setup.sh installs it)";
    nginx = std::make_unique<NginxServer>(runDir() / "nginx");
    ASSERT_TRUE(nginx->start("    location = /moved { return 302 /files/pkg.zip; }\n"))
        << "nginx did not start; see " << (runDir() / "nginx" / "error.log");
  }

  void TearDown() override {
    object.stopTask();
    nginx.reset();
    DownloadEngineTest::TearDown();
  }

  std::string serve(const std::string& name, std::size_t size) {
    const std::string bytes = patternBytes(size);
    std::filesystem::create_directories((nginx->www() / name).parent_path());
    std::ofstream(nginx->www() / name, std::ios::binary) << bytes;
    return bytes;
  }

  std::unique_ptr<NginxServer> nginx;
};

TEST_F(NginxDownloadTest, FileIsFetchedWholeWithEventsInOrder) {
  const std::string bytes = serve("files/pkg.zip", 3 * 1024 * 1024 + 17);
  runToEnd(nginx->url("/files/pkg.zip"));

  expectEnded(static_cast<std::int32_t>(bytes.size()));
  EXPECT_EQ(readLocal(), bytes);
  const auto events = recorder.events();
  EXPECT_EQ(events.front().code, 3);
  EXPECT_EQ(events.front().value, static_cast<std::int32_t>(bytes.size()));
  EXPECT_EQ(recorder.blockTotal(), static_cast<std::int64_t>(bytes.size()));
  EXPECT_EQ(events[events.size() - 2].percent, 100);
}

TEST_F(NginxDownloadTest, PercentNeverReaches100BeforeTheLastByte) {
  serve("small.bin", 1000);
  auto parameters = parametersFor(nginx->url("/small.bin"));
  parameters.blockSize = 999;
  runToEnd(parameters);

  expectEnded(1000);
  std::vector<std::int32_t> percents;
  for (const auto& event : recorder.events()) {
    if (event.code != 16)
      continue;
    // Truncated: 999 of 1000 bytes show 99.
    EXPECT_EQ(event.percent, event.bytesReceived / 10);
    percents.push_back(event.percent);
  }
  ASSERT_FALSE(percents.empty());
  EXPECT_EQ(percents.back(), 100);
}

TEST_F(NginxDownloadTest, RedirectFromTheServerIsFollowed) {
  const std::string bytes = serve("files/pkg.zip", 70000);
  runToEnd(nginx->url("/moved"));
  expectEnded(70000);
  EXPECT_EQ(readLocal(), bytes);
}

TEST_F(NginxDownloadTest, MissingFileWritesNothing) {
  runToEnd(nginx->url("/files/none.zip"));
  EXPECT_EQ(recorder.codes(), (std::vector<std::int32_t>{4}));
  expectEnded(0);
  EXPECT_FALSE(std::filesystem::exists(localFile()));
}

TEST_F(NginxDownloadTest, ExistingFileAndGiveUpKeepTheOldFile) {
  serve("files/pkg.zip", 5000);
  writeFile("pkg.zip.tmp", "earlier run");
  recorder.answerTo18 = 1;
  runToEnd(nginx->url("/files/pkg.zip"));
  EXPECT_EQ(recorder.codes(), (std::vector<std::int32_t>{3, 18, 4}));
  expectEnded(0);
  EXPECT_EQ(readLocal(), "earlier run");
}

TEST_F(NginxDownloadTest, EmptyFileReportsTotalZero) {
  serve("empty.zip", 0);
  runToEnd(nginx->url("/empty.zip"));
  EXPECT_EQ(recorder.codes(), (std::vector<std::int32_t>{3, 4}));
  EXPECT_EQ(recorder.events().front().value, 0);
  EXPECT_TRUE(std::filesystem::exists(localFile()));
}

}  // namespace
}  // namespace testing_support
