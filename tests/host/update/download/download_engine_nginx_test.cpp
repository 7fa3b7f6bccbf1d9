// The download engine against a real web server: nginx on loopback serving
// ordinary files, as the update package would be served, over http and
// https (certificates of the tests' own authority, trusted by the engine).

#include <thread>

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
    // /relayed: the loopback server's chunked body, as nginx relays it.
    ASSERT_TRUE(nginx->start(
        "    location = /moved { return 302 /files/pkg.zip; }\n"
        "    location = /to-secure { return 302 https://localhost:@SECURE_PORT@/files/pkg.zip; }\n"
        "    location = /to-plain { return 302 http://localhost:@PORT@/files/pkg.zip; }\n"
        "    location = /relayed { proxy_pass http://127.0.0.1:" +
        std::to_string(server.port()) + "/chunked; proxy_http_version 1.1; }\n"))
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

TEST_F(NginxDownloadTest, HttpsFileIsFetchedWhole) {
  const std::string bytes = serve("files/pkg.zip", 3 * 1024 * 1024 + 17);
  runToEnd(nginx->secureUrl("/files/pkg.zip"));
  expectEnded(static_cast<std::int32_t>(bytes.size()));
  EXPECT_EQ(recorder.events().front().value, static_cast<std::int32_t>(bytes.size()));
  EXPECT_EQ(readLocal(), bytes);
}

TEST_F(NginxDownloadTest, HttpsChunkedBodyIsFetchedWhole) {
  const std::string bytes = patternBytes(50000);
  server.on("/chunked", {sendBytes("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                   "61a8\r\n" +
                                   bytes.substr(0, 25000) +
                                   "\r\n"
                                   "61a8\r\n" +
                                   bytes.substr(25000) + "\r\n0\r\n\r\n")});
  runToEnd(nginx->secureUrl("/relayed"));
  expectEnded(50000);
  EXPECT_EQ(readLocal(), bytes);
}

// Redirects the engine follows to the file: the server's own, and from
// http to https.
class FollowedRedirectTest : public NginxDownloadTest,
                             public ::testing::WithParamInterface<const char*> {};

TEST_P(FollowedRedirectTest, EndsWithTheFile) {
  const std::string bytes = serve("files/pkg.zip", 70000);
  runToEnd(nginx->url(GetParam()));
  expectEnded(70000);
  EXPECT_EQ(readLocal(), bytes);
}

INSTANTIATE_TEST_SUITE_P(Nginx, FollowedRedirectTest, ::testing::Values("/moved", "/to-secure"),
                         [](const auto& info) {
                           return std::string(info.index == 0 ? "FromTheServer"
                                                              : "FromHttpToHttps");
                         });

TEST_F(NginxDownloadTest, RedirectFromHttpsToHttpIsRefused) {
  serve("files/pkg.zip", 70000);
  runToEnd(nginx->secureUrl("/to-plain"));
  EXPECT_EQ(recorder.codes(), (std::vector<std::int32_t>{4}));
  EXPECT_FALSE(std::filesystem::exists(localFile()));
}

// A task stopped midway keeps its part and note; the next task for the same
// place continues it by nginx's own ranges, unless the file or the tag
// changed in between.
struct RestartRow {
  const char* name;
  bool changeFile;
  std::string secondTag;
  bool continues;
};

void PrintTo(const RestartRow& row, std::ostream* out) {
  *out << row.name;
}

class NginxRestartTest : public NginxDownloadTest,
                         public ::testing::WithParamInterface<RestartRow> {};

TEST_P(NginxRestartTest, EndsWithTheServedFile) {
  const RestartRow& row = GetParam();
  constexpr std::size_t kSize = 2 * 1024 * 1024;
  std::string bytes = serve("files/pkg.zip", kSize);
  auto parameters = parametersFor(nginx->url("/files/pkg.zip"));
  parameters.keepPartial = true;
  parameters.resumeTag = "1 a";
  parameters.speedLimit = 4 * 1024 * 1024;  // time to stop it halfway
  recorder.on16 = [this](std::int32_t received) {
    if (received >= static_cast<std::int32_t>(kSize / 2))
      object.stopTask();
  };
  runToEnd(parameters);
  const auto kept = static_cast<std::int64_t>(std::filesystem::file_size(localFile()));
  ASSERT_GE(kept, static_cast<std::int64_t>(kSize / 2));
  ASSERT_LT(kept, static_cast<std::int64_t>(kSize));
  ASSERT_TRUE(std::filesystem::exists(localFile("pkg.zip.tmp.resume")));
  EXPECT_EQ(readLocal(), bytes.substr(0, static_cast<std::size_t>(kept)));

  if (row.changeFile) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // a new Last-Modified too
    bytes = patternBytes(kSize + 1).substr(1);
    std::ofstream(nginx->www() / "files/pkg.zip", std::ios::binary) << bytes;
  }
  DownloadRecorder second;
  parameters.speedLimit = 0;
  parameters.resumeTag = row.secondTag;
  ASSERT_TRUE(object.startTask(parameters));
  ASSERT_TRUE(second.waitForEnd());
  ASSERT_TRUE(waitUntilDetached(object));
  EXPECT_EQ(readLocal(), bytes) << "never stitched";
  EXPECT_FALSE(std::filesystem::exists(localFile("pkg.zip.tmp.resume")));
  const std::int64_t rest = static_cast<std::int64_t>(kSize) - kept;
  EXPECT_EQ(second.blockTotal(), row.continues ? rest : static_cast<std::int64_t>(kSize));
  const auto events = second.events();
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events.front().code, 3);
  EXPECT_EQ(events.front().value, static_cast<std::int32_t>(kSize));
  // Progress counts from the kept bytes when they are continued.
  EXPECT_EQ(events[1].bytesReceived - events[1].value, row.continues ? kept : 0);
}

INSTANTIATE_TEST_SUITE_P(Nginx, NginxRestartTest,
                         ::testing::Values(RestartRow{"SameFileContinues", false, "1 a", true},
                                           RestartRow{"ChangedFileStartsOver", true, "1 a", false},
                                           RestartRow{"OtherTagStartsOver", false, "1 b", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Servers the engine must not trust end the task as a failed transfer:
// event 4 alone, no file.
struct Untrusted {
  const char* name;
  std::string (*address)(const NginxServer& nginx);
};

void PrintTo(const Untrusted& untrusted, std::ostream* out) {
  *out << untrusted.name;
}

// The file from the https server that shows the certificate of `site`.
template <NginxServer::Site site>
std::string fromSite(const NginxServer& nginx) {
  return nginx.secureUrl("/files/pkg.zip", site);
}

class UntrustedServerTest : public NginxDownloadTest,
                            public ::testing::WithParamInterface<Untrusted> {};

TEST_P(UntrustedServerTest, EndsTheTaskWithoutAFile) {
  serve("files/pkg.zip", 70000);
  runToEnd(GetParam().address(*nginx));
  EXPECT_EQ(recorder.codes(), (std::vector<std::int32_t>{4}));
  expectEnded(0);
  EXPECT_FALSE(std::filesystem::exists(localFile()));
}

INSTANTIATE_TEST_SUITE_P(
    Https, UntrustedServerTest,
    ::testing::Values(Untrusted{"WrongHostName", fromSite<NginxServer::kOtherHost>},
                      Untrusted{"AddressInsteadOfTheName",
                                [](const NginxServer& n) {
                                  return "https://127.0.0.1:" + std::to_string(n.securePort()) +
                                         "/files/pkg.zip";
                                }},
                      Untrusted{"Expired", fromSite<NginxServer::kExpired>},
                      Untrusted{"UnknownAuthority", fromSite<NginxServer::kStranger>},
                      Untrusted{"PlainHttpOnTheTlsPort",
                                [](const NginxServer& n) {
                                  return "https://localhost:" + std::to_string(n.port()) +
                                         "/files/pkg.zip";
                                }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace testing_support
