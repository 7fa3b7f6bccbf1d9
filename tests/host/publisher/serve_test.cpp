// tavoro-publish serve: the rehearsal's web server, read by the launcher's
// own HTTP client, and what it never serves.

#include <sys/stat.h>

#include <chrono>
#include <fstream>
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
      // Names Windows does not keep as a file's: a device, a wildcard.
      {"GET /CON HTTP/1.1\r\n\r\n", 404, ""},
      {"GET /sub/nul.txt HTTP/1.1\r\n\r\n", 404, ""},
      {"GET /aux/version.html HTTP/1.1\r\n\r\n", 404, ""},
      {"GET /update-*.zip HTTP/1.1\r\n\r\n", 404, ""},
      {"GET /update-5.%3F.zip HTTP/1.1\r\n\r\n", 404, ""},
      {"GET /console.zip HTTP/1.1\r\n\r\n", 0, "console.zip"},
  };
  for (const auto& c : cases) {
    const publisher::FileRequest request = publisher::parseFileRequest(c.head);
    EXPECT_EQ(request.status, c.status) << c.head;
    if (c.status == 0)
      EXPECT_EQ(request.path, c.path) << c.head;
  }
}

// One range of the file, as a resumed download asks; anything else gets
// the whole file.
TEST(FileRequests, ASingleRangeIsServedAsAskedAndOthersWhole) {
  const struct {
    std::string range;  // the header's value; empty: none
    std::string ifRange;
    int status;
    std::uint64_t from;
    std::uint64_t count;
  } rows[] = {
      {"", "", 200, 0, 1000},
      {"bytes=0-", "", 206, 0, 1000},
      {"bytes=100-199", "", 206, 100, 100},
      {"bytes=999-999", "", 206, 999, 1},
      {"bytes=900-5000", "", 206, 900, 100},
      {"bytes=-10", "", 206, 990, 10},
      {"bytes=-5000", "", 206, 0, 1000},
      {"bytes=1000-", "", 416, 0, 0},
      {"bytes=-0", "", 416, 0, 0},
      {"bytes=5-3", "", 200, 0, 1000},      // malformed: ignored
      {"bytes=0-1,5-6", "", 200, 0, 1000},  // more than one: the whole file
      {"items=0-1", "", 200, 0, 1000},
      {"bytes=-", "", 200, 0, 1000},
      {"bytes=a-1", "", 200, 0, 1000},
      {"bytes=1000000000000000000-", "", 200, 0, 1000},  // past what is read: ignored
      {"bytes=100000000000000000-", "", 416, 0, 0},
      {"bytes=10-", "\"1000-7\"", 206, 10, 990},
      {"bytes=10-", "Thu, 01 Jan 1970 00:00:07 GMT", 206, 10, 990},
      {"bytes=10-", "\"999-7\"", 200, 0, 1000},
  };
  for (const auto& row : rows) {
    std::string head = "GET /f.zip HTTP/1.1\r\nHost: x\r\n";
    if (!row.range.empty())
      head += "Range: " + row.range + "\r\n";
    if (!row.ifRange.empty())
      head += "If-Range: " + row.ifRange + "\r\n";
    const publisher::FileRequest request = publisher::parseFileRequest(head + "\r\n");
    const publisher::ServedPart part =
        publisher::servedPart(request, 1000, "\"1000-7\"", publisher::httpDate(7));
    EXPECT_EQ(part.status, row.status) << row.range << " " << row.ifRange;
    EXPECT_EQ(part.from, row.from) << row.range;
    EXPECT_EQ(part.count, row.count) << row.range;
  }
  EXPECT_EQ(
      publisher::servedPart(
          publisher::parseFileRequest("GET /e HTTP/1.1\r\nRange: bytes=-1\r\n\r\n"), 0, "", "")
          .status,
      416);
}

TEST(FileRequests, DatesAreHttpDatesInUtc) {
  EXPECT_EQ(publisher::httpDate(0), "Thu, 01 Jan 1970 00:00:00 GMT");
  EXPECT_EQ(publisher::httpDate(951782400), "Tue, 29 Feb 2000 00:00:00 GMT");
  EXPECT_EQ(publisher::httpDate(1796767627), "Tue, 08 Dec 2026 22:07:07 GMT");
  EXPECT_EQ(publisher::httpDate(4133980799), "Fri, 31 Dec 2100 23:59:59 GMT");
  EXPECT_EQ(publisher::httpDate(-1), "Wed, 31 Dec 1969 23:59:59 GMT");
}

class ServeTest : public PublisherTest {
 protected:
  ~ServeTest() override {
    if (server_.joinable())
      stop();
  }

  // Serves `folder` on a thread until stop().
  void start(const std::string& folder, const publisher::ServeLimits& limits = {}) {
    listener_ = host_.servers.listen("127.0.0.1", 0);
    ASSERT_NE(listener_, nullptr);
    tools_ = std::make_unique<publisher::Tools>(host_.tools(log_, log_));
    server_ = std::thread(
        [this, folder, limits] { publisher::serveFolder(*tools_, *listener_, folder, limits); });
  }
  void stop() {
    listener_->stop();
    server_.join();
  }
  int port() const { return listener_->port(); }
  // What the server printed; read once it stopped.
  std::string log() const { return log_.str(); }

  std::unique_ptr<platform::Connection> client(int ioTimeoutMs = 5000) {
    return host_.sockets.connect("127.0.0.1", port(), 2000, ioTimeoutMs);
  }
  // Everything the server sends until it closes, or until `withinMs` ran out.
  static std::string rest(platform::Connection& connection, int withinMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(withinMs);
    std::string answer;
    char buffer[65536];
    while (std::chrono::steady_clock::now() < end) {
      const long got = connection.receive(buffer, sizeof(buffer));
      if (got == 0)
        break;
      if (got > 0)
        answer.append(buffer, static_cast<std::size_t>(got));
    }
    return answer;
  }

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

  std::ostringstream log_;
  std::unique_ptr<publisher::Listener> listener_;
  std::unique_ptr<publisher::Tools> tools_;
  std::thread server_;
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
  struct stat pageStat {};
  ASSERT_EQ(::stat(path("upload/version.html").c_str(), &pageStat), 0);
  const std::string etag =
      "\"" + std::to_string(page.size()) + "-" + std::to_string(pageStat.st_mtime) + "\"";
  const std::string validators = "ETag: " + etag +
                                 "\r\nLast-Modified: " + publisher::httpDate(pageStat.st_mtime) +
                                 "\r\nAccept-Ranges: bytes\r\n";
  const struct {
    std::string request;
    std::string answer;  // its start
  } cases[] = {
      {"HEAD /version.html HTTP/1.1\r\n\r\n",
       "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(page.size()) +
           "\r\nContent-Type: text/html; charset=utf-8\r\n" + validators +
           "Connection: close\r\n\r\n"},
      // A download resumed: the rest of the same file.
      {"GET /version.html HTTP/1.1\r\nrange:  bytes=3-\r\nIf-Range: " + etag + "\r\n\r\n",
       "HTTP/1.1 206 Partial Content\r\nContent-Length: " + std::to_string(page.size() - 3) +
           "\r\nContent-Type: text/html; charset=utf-8\r\n" + validators +
           "Content-Range: bytes 3-" + std::to_string(page.size() - 1) + "/" +
           std::to_string(page.size()) + "\r\nConnection: close\r\n\r\n" + page.substr(3)},
      // One byte to skip before the range: a read of a single byte goes on.
      {"GET /version.html HTTP/1.1\r\nRange: bytes=1-\r\n\r\n",
       "HTTP/1.1 206 Partial Content\r\nContent-Length: " + std::to_string(page.size() - 1) +
           "\r\nContent-Type: text/html; charset=utf-8\r\n" + validators +
           "Content-Range: bytes 1-" + std::to_string(page.size() - 1) + "/" +
           std::to_string(page.size()) + "\r\nConnection: close\r\n\r\n" + page.substr(1)},
      // The file changed since: all of it.
      {"GET /version.html HTTP/1.1\r\nRange: bytes=3-\r\nIf-Range: \"1-2\"\r\n\r\n",
       "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(page.size()) + "\r\n"},
      {"GET /version.html HTTP/1.1\r\nRange: bytes=9999-\r\n\r\n",
       "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Length: 0\r\nContent-Type: "
       "text/plain\r\nContent-Range: bytes */" +
           std::to_string(page.size()) + "\r\n"},
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
  EXPECT_NE(log.str().find("GET /version.html HTTP/1.1 -> 206, " + std::to_string(page.size() - 3) +
                           " bytes\n"),
            std::string::npos)
      << log.str();

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

// pack packs no link, and serve follows none: not one that leads out of
// the folder, nor one that leads back into it, at any part of the path.
TEST_F(ServeTest, FollowsNoLinkWhereverItPointsAtAnyPartOfThePath) {
  writeBytes(dir() / "upload/version.html", "page");
  writeBytes(dir() / "upload/sub/update-5.1.zip", "zip");
  writeBytes(dir() / "upload/one.txt", "1");
  writeBytes(dir() / "upload/empty.txt", "");
  writeBytes(dir() / "secret.key", "secret");
  fs::create_symlink(dir() / "secret.key", dir() / "upload/out.key");
  fs::create_directory_symlink(dir(), dir() / "upload/outside");
  fs::create_symlink("version.html", dir() / "upload/again.html");
  fs::create_directory_symlink("sub", dir() / "upload/again");
  fs::create_directory_symlink("../..", dir() / "upload/sub/up");
  fs::create_symlink(dir() / "nowhere", dir() / "upload/dangling.zip");
  ASSERT_EQ(::mkfifo((dir() / "upload/pipe.zip").c_str(), 0600), 0);
  start(path("upload"));
  const struct {
    std::string path;
    std::string answer;
  } cases[] = {
      {"/version.html", "HTTP/1.1 200 OK\r\n"},
      {"/sub/update-5.1.zip", "HTTP/1.1 200 OK\r\n"},
      {"/out.key", "HTTP/1.1 404 Not Found\r\n"},
      {"/outside/secret.key", "HTTP/1.1 404 Not Found\r\n"},
      {"/again.html", "HTTP/1.1 404 Not Found\r\n"},
      {"/again/update-5.1.zip", "HTTP/1.1 404 Not Found\r\n"},
      {"/sub/up/secret.key", "HTTP/1.1 404 Not Found\r\n"},
      {"/sub/up/upload/version.html", "HTTP/1.1 404 Not Found\r\n"},
      {"/dangling.zip", "HTTP/1.1 404 Not Found\r\n"},
      {"/pipe.zip", "HTTP/1.1 404 Not Found\r\n"},  // no file: never opened
      {"/version.html/x", "HTTP/1.1 404 Not Found\r\n"},
      {"/sub", "HTTP/1.1 404 Not Found\r\n"},
  };
  for (const auto& c : cases) {
    const std::string answer = exchange(port(), "GET " + c.path + " HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(answer.starts_with(c.answer)) << c.path << ": " << answer;
    EXPECT_EQ(answer.find("secret"), std::string::npos) << c.path;
  }
  EXPECT_TRUE(exchange(port(), "GET /one.txt HTTP/1.1\r\n\r\n").ends_with("\r\n\r\n1"));
  EXPECT_TRUE(exchange(port(), "GET /empty.txt HTTP/1.1\r\n\r\n")
                  .starts_with("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n"));
  stop();
  const std::string linked = " -> 404 (a symbolic link: never served, as pack packs none)\n";
  for (const std::string request : {"/out.key", "/outside/secret.key", "/again.html",
                                    "/again/update-5.1.zip", "/sub/up/secret.key", "/dangling.zip"})
    EXPECT_NE(log().find("GET " + request + " HTTP/1.1" + linked), std::string::npos) << log();
  EXPECT_NE(log().find("GET /pipe.zip HTTP/1.1 -> 404\n"), std::string::npos) << log();
}

// Each client has a thread of its own: one that trickles its request holds
// up no other, and is still answered once it is done.
TEST_F(ServeTest, ATricklingClientHoldsUpNoOther) {
  const std::size_t bigSize = 64 << 20;
  writeBytes(dir() / "upload/version.html", "page");
  writeBytes(dir() / "upload/big.bin", std::string(bigSize, 'b'));
  start(path("upload"), {std::chrono::seconds(60), std::chrono::seconds(60), 4});
  std::unique_ptr<platform::Connection> trickler = client();
  ASSERT_TRUE(trickler && trickler->sendAll("GET /version.html HT"));
  EXPECT_TRUE(
      exchange(port(), "GET /version.html HTTP/1.1\r\n\r\n").starts_with("HTTP/1.1 200 OK\r\n"));
  // All of a file larger than the sockets' buffers, however often they fill.
  const std::string whole = exchange(port(), "GET /big.bin HTTP/1.1\r\n\r\n");
  EXPECT_EQ(whole.size() - whole.find("\r\n\r\n") - 4, bigSize);
  ASSERT_TRUE(trickler->sendAll("TP/1.1\r\n\r\n"));
  const std::string answer = rest(*trickler);
  EXPECT_TRUE(answer.starts_with("HTTP/1.1 200 OK\r\n")) << answer;
  EXPECT_TRUE(answer.ends_with("\r\n\r\npage")) << answer;
  stop();
}

// The size of the program's address space, from the kernel's own count.
std::uint64_t addressSpaceKib() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmSize:"))
      return std::stoull(line.substr(7));
  }
  return 0;
}

// A thread per client is let go of once its client is answered: many
// clients one after the other leave the server no larger (a thread kept
// keeps its stack, megabytes each).
TEST_F(ServeTest, ClientsAnsweredLeaveNoThreadBehind) {
  writeBytes(dir() / "upload/version.html", "page");
  start(path("upload"), {std::chrono::seconds(60), std::chrono::seconds(60), 4});
  ASSERT_TRUE(exchange(port(), "GET /version.html HTTP/1.1\r\n\r\n").starts_with("HTTP/1.1 200"));
  const std::uint64_t before = addressSpaceKib();
  for (int i = 0; i < 64; ++i)
    ASSERT_TRUE(exchange(port(), "GET /version.html HTTP/1.1\r\n\r\n").starts_with("HTTP/1.1 200"));
  EXPECT_LT(addressSpaceKib(), before + 100 * 1024) << "kilobytes before: " << before;
  stop();
}

// A server that stops leaves no client waiting on it for its time limit.
TEST_F(ServeTest, StoppingCutsOffTheClientsStillBeingAnswered) {
  writeBytes(dir() / "upload/version.html", "page");
  start(path("upload"), {std::chrono::seconds(60), std::chrono::seconds(60), 4});
  std::unique_ptr<platform::Connection> trickler = client();
  ASSERT_TRUE(trickler && trickler->sendAll("GET /version.html HT"));
  // Answered after the trickler was taken on.
  EXPECT_TRUE(
      exchange(port(), "GET /version.html HTTP/1.1\r\n\r\n").starts_with("HTTP/1.1 200 OK\r\n"));
  const auto stopping = std::chrono::steady_clock::now();
  stop();
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::seconds(30))
      << "waited for the trickler's time limit";
  EXPECT_EQ(rest(*trickler), "");
}

// More clients than the server takes at once wait their turn, in order.
TEST_F(ServeTest, ClientsBeyondTheMostWaitForAPlace) {
  writeBytes(dir() / "upload/version.html", "page");
  start(path("upload"), {std::chrono::seconds(60), std::chrono::seconds(60), 1});
  std::unique_ptr<platform::Connection> first = client();
  ASSERT_TRUE(first && first->sendAll("GET /version.html HT"));
  std::unique_ptr<platform::Connection> second = client(300);
  ASSERT_TRUE(second && second->sendAll("GET /version.html HTTP/1.1\r\n\r\n"));
  char byte;
  EXPECT_EQ(second->receive(&byte, 1), -1) << "answered beside the first";
  ASSERT_TRUE(first->sendAll("TP/1.1\r\n\r\n"));
  EXPECT_TRUE(rest(*first).starts_with("HTTP/1.1 200 OK\r\n"));
  EXPECT_TRUE(rest(*second).starts_with("HTTP/1.1 200 OK\r\n"));
  stop();
}

// A client that trickles its request, or reads its answer more slowly
// than the limits allow, is cut off; the others go on being answered.
TEST_F(ServeTest, TheTimeLimitsCutOffATricklerAndASlowReader) {
  const std::size_t bigSize = 64 << 20;
  writeBytes(dir() / "upload/version.html", "page");
  writeBytes(dir() / "upload/big.bin", std::string(bigSize, 'b'));
  start(path("upload"), {std::chrono::milliseconds(200), std::chrono::milliseconds(200), 4});

  std::unique_ptr<platform::Connection> trickler = client();
  ASSERT_NE(trickler, nullptr);
  const std::string request = "GET /version.html HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  std::size_t sent = 0;
  for (; sent < request.size() && trickler->sendAll(request.substr(sent, 1)); ++sent)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_LT(sent, request.size()) << "the whole request went through";
  EXPECT_EQ(rest(*trickler), "");

  std::unique_ptr<platform::Connection> reader = client();
  ASSERT_TRUE(reader && reader->sendAll("GET /big.bin HTTP/1.1\r\n\r\n"));
  // Not read for ten times the limit: the server's buffers fill, and it
  // gives up on the block it could not send.
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_TRUE(exchange(port(), request).starts_with("HTTP/1.1 200 OK\r\n"));
  const std::string received = rest(*reader);
  EXPECT_TRUE(
      received.starts_with("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(bigSize)));
  EXPECT_LT(received.size(), bigSize);
  stop();
  // Bytes sent of big.bin, one client after the other as they ended.
  std::vector<std::uint64_t> bigSent;
  const std::string big = "GET /big.bin HTTP/1.1 -> 200, ";
  for (std::size_t line = log().find(big); line != std::string::npos;
       line = log().find(big, line + 1))
    bigSent.push_back(std::stoull(log().substr(line + big.size())));
  ASSERT_EQ(bigSent.size(), 1u) << log();
  EXPECT_LT(bigSent[0], bigSize) << log();
  EXPECT_EQ(log().find("GET /version.html HTTP/1.1 -> 200"),
            log().rfind("GET /version.html HTTP/1.1 -> 200"))
      << "the trickler got an answer: " << log();
}

}  // namespace
