#include "update/http/http.h"

#include <algorithm>
#include "loopback_server.h"
#include "nginx_fixture.h"
#include "test_support.h"

namespace {

using testing_support::LauncherTest;
using testing_support::LoopbackServer;
using testing_support::NginxServer;
using update::WebRequestOptions;

std::string ok(const std::string& body, const std::string& extra = "") {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + extra +
         "\r\n" + body;
}

std::string text(const base::Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

class HttpTest : public LauncherTest {
 protected:
  LoopbackServer server;
};

TEST_F(HttpTest, AGetSendsTheBrowserLikeHeadersAndReturnsTheBody) {
  server.respond("/Path/Page.html?Q=1", ok("hello"));
  const std::string url =
      "http://127.0.0.1:" + std::to_string(server.port()) + "/Path/Page.html?Q=1";
  std::string headers;
  std::string responseHeaders;
  WebRequestOptions options;
  options.headers = &headers;
  options.responseHeaders = &responseHeaders;
  EXPECT_EQ(text(update::webRequest(os.http, url, options)), "hello");

  ASSERT_EQ(server.requests().size(), 1u);
  const std::string request = server.requests()[0];
  EXPECT_EQ(request.substr(0, request.find("\r\n")), "GET /Path/Page.html?Q=1 HTTP/1.1");
  EXPECT_NE(request.find("\r\nReferer: " + url + "\r\n"), std::string::npos);
  EXPECT_NE(request.find("\r\nAccept: */*\r\n"), std::string::npos);
  EXPECT_NE(request.find("\r\nAccept-Language: zh-cn\r\n"), std::string::npos);
  EXPECT_NE(request.find("Content-Type: application/x-www-form-urlencoded"), std::string::npos);
  EXPECT_NE(request.find("User-Agent: Mozilla/4.0 (compatible; MSIE 9.0;"), std::string::npos);
  EXPECT_EQ(headers, "Referer: " + url +
                         "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
                         "Content-Type: application/x-www-form-urlencoded");
  EXPECT_EQ(responseHeaders.substr(0, 15), "HTTP/1.1 200 OK");
}

TEST_F(HttpTest, CookiesLocationAndTheRawBlockComeBack) {
  server.respond("/c", ok("x",
                          "Set-Cookie: b=3; path=/\r\nSet-Cookie: c=deleted; path=/\r\n"
                          "Content-Location: /alt\r\n"));
  std::string cookies = "a=1; b=2";
  std::string returned = "junk";
  std::string location;
  WebRequestOptions options;
  options.cookies = &cookies;
  options.returnedCookies = &returned;
  options.location = &location;
  update::webRequest(os.http, server.base() + "/c", options);
  EXPECT_EQ(cookies, "b=3; a=1");
  EXPECT_EQ(returned, "b=3;c=deleted");
  EXPECT_EQ(location, "/alt");
  EXPECT_NE(server.requests()[0].find("urlencoded\r\nCookie: a=1; b=2\r\n"), std::string::npos);
}

TEST_F(HttpTest, RedirectsAreFollowedUnlessRefused) {
  server.respond("/old", "HTTP/1.1 302 Found\r\nLocation: /new\r\nContent-Length: 5\r\n\r\nmoved");
  server.respond("/new", ok("arrived"));
  std::string location;
  WebRequestOptions follow;
  follow.location = &location;
  EXPECT_EQ(text(update::webRequest(os.http, server.base() + "/old", follow)), "arrived");
  EXPECT_EQ(location.substr(0, 15), "HTTP/1.1 200 OK") << "no Location: the block itself";
  // A Location relative to the page's folder, as the system's stack reads it.
  server.respond("/dir/old", "HTTP/1.1 301 Moved\r\nLocation: next?a=1\r\n\r\n");
  server.respond("/dir/next?a=1", ok("beside"));
  EXPECT_EQ(text(update::webRequest(os.http, server.base() + "/dir/old")), "beside");

  std::string stay;
  WebRequestOptions refuse;
  refuse.noRedirect = true;
  refuse.location = &stay;
  EXPECT_EQ(text(update::webRequest(os.http, server.base() + "/old", refuse)), "moved");
  EXPECT_EQ(stay, "/new");
}

TEST_F(HttpTest, AProxyIsAskedForTheAbsoluteAddress) {
  server.respond("http://page.example.invalid:8080/p", ok("via proxy"));
  WebRequestOptions options;
  options.proxy = "127.0.0.1:" + std::to_string(server.port());
  EXPECT_EQ(text(update::webRequest(os.http, "http://page.example.invalid:8080/p", options)),
            "via proxy");
  // A proxy whose port is out of range is not asked at all.
  options.proxy = "127.0.0.1:" + std::to_string(server.port() + 65536);
  EXPECT_EQ(text(update::webRequest(os.http, "http://page.example.invalid:8080/p", options)), "");
  EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(HttpTest, APostSendsTheBodyTextAndStoresItsBytes) {
  server.respond("/form", ok("done"));
  base::Bytes bodyBytes;
  WebRequestOptions options;
  options.method = 1;
  options.bodyText = "a=1&b=2";
  options.bodyBytes = &bodyBytes;
  EXPECT_EQ(text(update::webRequest(os.http, server.base() + "/form", options)), "done");
  EXPECT_EQ(text(bodyBytes), "a=1&b=2");
  const std::string request = server.requests()[0];
  EXPECT_EQ(request.substr(0, 11), "POST /form ");
  EXPECT_EQ(request.substr(request.size() - 7), "a=1&b=2");
}

TEST_F(HttpTest, ChunkedAndCloseDelimitedBodiesAndErrorPages) {
  server.respond(
      "/chunked",
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n2\r\nde\r\n0\r\n\r\n");
  server.respond("/closed", "HTTP/1.1 200 OK\r\n\r\nuntil close");
  server.respond("/longer", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc and more");
  EXPECT_EQ(text(update::webRequest(os.http, server.base() + "/chunked")), "abcde");
  EXPECT_EQ(text(update::webRequest(os.http, server.base() + "/closed")), "until close");
  EXPECT_EQ(text(update::webRequest(os.http, server.base() + "/longer")), "abc");
  // An interim head is followed by the real one.
  server.respond("/continued",
                 "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello");
  EXPECT_EQ(text(update::webRequest(os.http, server.base() + "/continued")), "hello");
  EXPECT_EQ(text(update::webRequest(os.http, server.base() + "/missing")), "not found");
}

TEST_F(HttpTest, AnOversizedHeaderBlockLeavesTheSpaces) {
  server.respond("/big", ok("b", "X-Fill: " + std::string(5100, 'f') +
                                     "\r\nLocation: /x\r\n"
                                     "Set-Cookie: z=1\r\n"));
  std::string responseHeaders;
  std::string location;
  std::string returned;
  WebRequestOptions options;
  options.responseHeaders = &responseHeaders;
  options.location = &location;
  options.returnedCookies = &returned;
  EXPECT_EQ(text(update::webRequest(os.http, server.base() + "/big", options)), "b");
  EXPECT_EQ(responseHeaders, std::string(5000, ' '));
  EXPECT_EQ(location, std::string(5000, ' '));
  EXPECT_EQ(returned, "");
}

TEST_F(HttpTest, AnUnreachableServerGivesAnEmptyBodyAndTheSpaces) {
  // Nothing listens on port 1 of the loopback.
  const std::string refused = "http://127.0.0.1:1/";
  std::string cookies = "a = 1; b=deleted";
  std::string responseHeaders;
  WebRequestOptions options;
  options.cookies = &cookies;
  options.responseHeaders = &responseHeaders;
  EXPECT_TRUE(update::webRequest(os.http, refused, options).empty());
  EXPECT_EQ(responseHeaders, std::string(5000, ' '));
  EXPECT_EQ(cookies, "a=1");
}

// A server cannot make the reader hold more than a page: past the body's
// or the head's limit the response reads as none.
TEST_F(HttpTest, AResponseIsReadUpToItsLimitsAndNotAByteMore) {
  // The limits as the README gives them: 1 MiB of body, 64 KiB of head.
  const std::size_t body = 1024 * 1024;
  const std::size_t head = 64 * 1024;
  const auto chunked = [](std::size_t size) {
    std::string framed = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (std::size_t left = size; left > 0;) {
      const std::size_t piece = std::min<std::size_t>(left, 4000);
      char sizeLine[16];
      std::snprintf(sizeLine, sizeof(sizeLine), "%zx\r\n", piece);
      framed += sizeLine + std::string(piece, 'c') + "\r\n";
      left -= piece;
    }
    return framed + "0\r\n\r\n";
  };
  // Chunks of one byte, each with a long extension, `framed` bytes in all.
  const auto framingOnly = [](std::size_t framed) {
    const std::string piece = "1;" + std::string(1000, 'e') + "\r\nx\r\n";
    std::string out = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    while (out.size() < framed)
      out += piece;
    return out + "0\r\n\r\n";
  };
  const auto xCount = [](const std::string& response) {
    return static_cast<std::size_t>(std::count(response.begin(), response.end(), 'x'));
  };
  // A head of `size` bytes in all, its blank line included.
  const auto headOf = [](std::size_t size) {
    const std::string start = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nX-Fill: ";
    return start + std::string(size - start.size() - 4, 'h') + "\r\n\r\nok";
  };
  const struct {
    const char* what;
    std::string response;
    std::size_t bodySize;  // 0: read as none
  } rows[] = {
      {"a framed body at the limit", ok(std::string(body, 'b')), body},
      {"one byte past it", ok(std::string(body + 1, 'b')), 0},
      {"a body to the close at the limit", "HTTP/1.1 200 OK\r\n\r\n" + std::string(body, 'b'),
       body},
      {"one byte past it", "HTTP/1.1 200 OK\r\n\r\n" + std::string(body + 1, 'b'), 0},
      {"a chunked body at the limit", chunked(body), body},
      {"one byte past it", chunked(body + 1), 0},
      {"a small body in endless framing", framingOnly(3 * body), 0},
      {"broken framing, then anything",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
       "3\r\nabc\r\nzz" +
           std::string(3 * body, 'j'),
       3},
      {"a small body in framing at its limit", framingOnly(2 * body + 32 * 1024),
       xCount(framingOnly(2 * body + 32 * 1024))},
      {"one byte past, the head filling whole receives",
       "HTTP/1.1 200 OK\r\nX-Fill: " + std::string(4096 - 29, 'h') + "\r\n\r\n" +
           std::string(body + 1, 'b'),
       0},
      {"an endless body", "HTTP/1.1 200 OK\r\n\r\n" + std::string(8 * body, 'e'), 0},
      {"a head at the limit", headOf(head), 2},
      {"one byte past it", headOf(head + 1), 0},
      {"an endless header line", "HTTP/1.1 200 OK\r\nX-Fill: " + std::string(8 * body, 'h'), 0},
  };
  for (const auto& row : rows) {
    server.respond("/page", row.response);
    std::string responseHeaders;
    WebRequestOptions options;
    options.responseHeaders = &responseHeaders;
    const base::Bytes got = update::webRequest(os.http, server.base() + "/page", options);
    EXPECT_EQ(got.size(), row.bodySize) << row.what;
    if (row.bodySize == 0) {
      EXPECT_EQ(responseHeaders, std::string(5000, ' ')) << row.what << ": no head either";
    }
  }
}

// The window's messages go on while the page is still arriving: here the
// server sends the rest only once the waiting side has run.
TEST_F(HttpTest, APageIsReadWhileTheWindowGoesOn) {
  const std::string body = "\xE6\x9C\x80\xE6\x96\xB0\xE7\x89\x88\xE6\x9C\xAC=5.1<";  // 最新版本=
  server.on("/slow",
            {testing_support::sendBytes(ok(body).substr(0, 40)), testing_support::waitForRelease(),
             testing_support::sendBytes(ok(body).substr(40))});
  int handled = 0;
  os.pump.duringWait = [&] {
    ++handled;
    server.release();
  };
  EXPECT_EQ(update::pageTextWhileWaiting(os.http, os.codec, os.pump, server.base() + "/slow"),
            "最新版本=5.1<");
  EXPECT_EQ(os.pump.waits, 1);
  EXPECT_GE(handled, 1);
  EXPECT_TRUE(os.pump.delays.empty());
}

TEST_F(HttpTest, PageTextIsCodePage936UpToTheFirstZero) {
  server.respond("/page", ok("\xE6\x9C\x80\xE6\x96\xB0\xE7\x89\x88\xE6\x9C\xAC=5.1<"));  // 最新版本
  server.respond("/zero", ok(std::string("ab\0cd", 5)));
  server.respond("/emoji", ok("x\xF0\x9F\x98\x80y"));
  EXPECT_EQ(update::pageText(os.http, os.codec, server.base() + "/page"), "最新版本=5.1<");
  EXPECT_EQ(update::pageText(os.http, os.codec, server.base() + "/zero"), "ab");
  EXPECT_EQ(update::pageText(os.http, os.codec, server.base() + "/emoji"), "x?y");
  EXPECT_EQ(update::pageText(os.http, os.codec, "http://127.0.0.1:1/"), "");
}

// The version page over https, as the host's stand-in for the system's HTTP
// stack fetches it: straight, after a redirect from http, never back to
// plain http, and not at all from a server it cannot trust.
TEST_F(HttpTest, PagesOverHttpsOnlyFromTrustedServers) {
  if (NginxServer::binary().empty())
    GTEST_SKIP() << "nginx is not installed (scripts/setup.sh installs it)";
  NginxServer nginx(runDir() / "nginx");
  ASSERT_TRUE(nginx.start(
      "    location = /to-secure { return 302 https://localhost:@SECURE_PORT@/page.html; }\n"
      "    location = /to-plain { return 302 http://localhost:@PORT@/page.html; }\n"));
  std::ofstream(nginx.www() / "page.html") << "\xE6\x9C\x80\xE6\x96\xB0=5.2<";  // 最新

  EXPECT_EQ(update::pageText(os.http, os.codec, nginx.secureUrl("/page.html")), "最新=5.2<");
  EXPECT_EQ(update::pageText(os.http, os.codec, nginx.url("/to-secure")), "最新=5.2<");
  EXPECT_EQ(update::pageText(os.http, os.codec, nginx.secureUrl("/to-plain")), "");
  EXPECT_EQ(
      update::pageText(os.http, os.codec, nginx.secureUrl("/page.html", NginxServer::kStranger)),
      "");
}

}  // namespace
