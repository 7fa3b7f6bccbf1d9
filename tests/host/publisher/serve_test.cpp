// tavoro-publish serve: the rehearsal's web server, read by the launcher's
// own HTTP client, and what it never serves.

#include <thread>

#include "publisher/file_server.h"
#include "tests/host/publisher/publisher_fixture.h"
#include "update/http/http.h"

namespace {

using namespace testing_support;

TEST(FileRequests, OnlyPlainPathsBelowTheFolderByGetOrHead) {
  const struct {
    std::string head;
    int status;
    std::string path;
  } cases[] = {
      {"GET /version.html HTTP/1.1\r\nHost: x\r\n\r\n", 0, "version.html"},
      {"HEAD /a/b.zip?x=1#y HTTP/1.0\r\n\r\n", 0, "a/b.zip"},
      {"GET /%B8%FC.zip HTTP/1.1\r\n\r\n", 0, "\xB8\xFC.zip"},  // the launcher's escapes
      {"GET /update-5.%30%39.zip HTTP/1.1\r\n\r\n", 0, "update-5.09.zip"},
      {"GET /%z1 HTTP/1.1\r\n\r\n", 404, ""},
      {"GET /my%20file.zip HTTP/1.1\r\n\r\n", 0, "my file.zip"},
      {"GET / HTTP/1.1\r\n\r\n", 404, ""},  // no listing
      {"GET /sub/ HTTP/1.1\r\n\r\n", 404, ""},
      {"GET /../secret.key HTTP/1.1\r\n\r\n", 404, ""},
      {"GET /%2e%2e/secret.key HTTP/1.1\r\n\r\n", 404, ""},
      {"GET /a/./b HTTP/1.1\r\n\r\n", 404, ""},
      {"GET /a//b HTTP/1.1\r\n\r\n", 404, ""},
      {"GET /..%5csecret.key HTTP/1.1\r\n\r\n", 404, ""},
      {"GET /C:/secret.key HTTP/1.1\r\n\r\n", 404, ""},
      {"GET /a%00.zip HTTP/1.1\r\n\r\n", 404, ""},
      {"GET /%zz HTTP/1.1\r\n\r\n", 404, ""},
      {"GET http://host/x HTTP/1.1\r\n\r\n", 404, ""},
      {"POST /version.html HTTP/1.1\r\n\r\n", 405, ""},
      {"PUT /version.html HTTP/1.1\r\n\r\n", 405, ""},
      {"GET /version.html\r\n\r\n", 400, ""},
      {"GET /version.html SPDY/3\r\n\r\n", 400, ""},
  };
  for (const auto& c : cases) {
    const publisher::FileRequest request = publisher::parseFileRequest(c.head);
    EXPECT_EQ(request.status, c.status) << c.head;
    if (c.status == 0)
      EXPECT_EQ(request.path, c.path) << c.head;
  }
}

class ServeTest : public PublisherTest {
 protected:
  // The raw answer to a raw request.
  std::string exchange(int port, const std::string& request) {
    std::unique_ptr<platform::Connection> connection =
        host_.sockets.connect("127.0.0.1", port, 2000, 2000);
    if (!connection || !connection->sendAll(request))
      return "";
    std::string answer;
    char buffer[4096];
    for (long got = 0; (got = connection->receive(buffer, sizeof(buffer))) > 0;)
      answer.append(buffer, static_cast<std::size_t>(got));
    return answer;
  }
};

TEST_F(ServeTest, ServesTheFolderToTheLaunchersClientAndNothingElse) {
  const std::string page = "<p>" + utf8(u8"最新版本=") + "5.1</p>";
  writeBytes(dir() / "upload/version.html", page);
  writeBytes(dir() / "upload/sub/update-5.1.zip", std::string(200000, 'z'));
  writeBytes(dir() / "secret.key", "secret");
  std::unique_ptr<publisher::Listener> listener = host_.servers.listen("127.0.0.1", 0);
  ASSERT_NE(listener, nullptr);
  const int port = listener->port();
  std::ostringstream log;
  publisher::Tools tools = host_.tools(log, log);
  std::thread server([&] { publisher::serveFolder(tools, *listener, path("upload")); });

  const std::string base = "http://127.0.0.1:" + std::to_string(port);
  EXPECT_EQ(update::pageText(host_.http, host_.codec, base + "/version.html"),
            "<p>" + std::string("最新版本=") + "5.1</p>");
  const base::Bytes package = update::webRequest(host_.http, base + "/sub/update-5.1.zip");
  EXPECT_EQ(std::string(package.begin(), package.end()), std::string(200000, 'z'));
  const struct {
    std::string request;
    std::string answer;  // its start
  } cases[] = {
      {"HEAD /version.html HTTP/1.1\r\n\r\n",
       "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(page.size()) +
           "\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\n\r\n"},
      {"GET /sub HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found\r\n"},
      {"GET / HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found\r\n"},
      {"GET /../secret.key HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found\r\n"},
      {"GET /missing.zip HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found\r\n"},
      {"DELETE /version.html HTTP/1.1\r\n\r\n", "HTTP/1.1 405 Method Not Allowed\r\n"},
      // A head longer than any request of a launcher's gets no answer.
      {"GET /version.html HTTP/1.1\r\nX: " + std::string(9000, 'x') + "\r\n\r\n", ""},
  };
  for (const auto& c : cases) {
    const std::string answer = exchange(port, c.request);
    EXPECT_TRUE(answer.starts_with(c.answer)) << c.request << answer;
    if (c.answer.empty())
      EXPECT_EQ(answer, "") << c.request;
    if (c.request.starts_with("HEAD"))
      EXPECT_EQ(answer, c.answer);
  }
  listener->stop();
  server.join();
  EXPECT_TRUE(fs::exists(dir() / "upload/version.html"));
  EXPECT_NE(log.str().find("GET /sub/update-5.1.zip HTTP/1.1 -> 200, 200000 bytes\n"),
            std::string::npos)
      << log.str();
  EXPECT_NE(log.str().find("GET /../secret.key HTTP/1.1 -> 404\n"), std::string::npos);

  // The command's refusals; a port in use is one.
  std::unique_ptr<publisher::Listener> taken = host_.servers.listen("127.0.0.1", 0);
  const std::string takenPort = std::to_string(taken->port());
  const struct {
    std::vector<std::string> words;
    std::string says;
  } refusals[] = {
      {{"serve", "--dir", path("upload"), "--port", "99999"}, "--port must be a number from 1"},
      {{"serve", "--dir", path("upload"), "--port", "0"}, "--port must be a number from 1"},
      {{"serve", "--dir", path("nowhere"), "--port", "8080"}, "nowhere: not found (--dir)"},
      {{"serve", "--dir", path("upload"), "--port", takenPort},
       "cannot listen on 127.0.0.1:" + takenPort},
      {{"serve", "--dir", path("upload"), "--port", "8080", "--bind", "localhost"},
       "cannot listen on localhost:8080"},
      {{"serve", "--dir", path("upload"), "--port", "1", "--bind", "localhost"},
       "cannot listen on localhost:1"},
  };
  for (const auto& c : refusals) {
    EXPECT_EQ(run(c.words), 1) << c.says;
    EXPECT_NE(err().find(c.says), std::string::npos) << err();
  }
}

}  // namespace
