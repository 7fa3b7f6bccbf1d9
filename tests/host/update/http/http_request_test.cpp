#include <gtest/gtest.h>

#include "update/http/http_request.h"

namespace {

using namespace update;

TEST(RequestDecisions, AgentFlagsAndDefaultHeaders) {
  EXPECT_EQ(userAgentFor(""), kDefaultUserAgent);
  EXPECT_EQ(userAgentFor("Accept: x\r\nuser-agent:  Probe/1 \r\nX: y"), "Probe/1");
  EXPECT_EQ(userAgentFor("USER-AGENT: Tail/2"), "Tail/2");

  EXPECT_EQ(requestFlags("http://h/", false), 0x80084010u);
  EXPECT_EQ(requestFlags("HTTPS://h/", false), 0x80880010u);
  EXPECT_EQ(requestFlags("h/", true), 0x80284010u);

  EXPECT_EQ(completeHeaders("", "http://Host/P", ""),
            "Referer: http://Host/P\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
            "Content-Type: application/x-www-form-urlencoded");
  // Presence tests respect letter case: "accept:" is not "Accept:".
  EXPECT_EQ(completeHeaders("accept: a\r\nReferer: r\r\nContent-Type: t", "u", "a=1"),
            "accept: a\r\nReferer: r\r\nContent-Type: t\r\nAccept: */*\r\n"
            "Accept-Language: zh-cn\r\nCookie: a=1");
  // Headers the caller gave are not added again.
  EXPECT_EQ(completeHeaders("Accept: x\r\nAccept-Language: en", "u", ""),
            "Accept: x\r\nAccept-Language: en\r\nReferer: u\r\n"
            "Content-Type: application/x-www-form-urlencoded");
  EXPECT_EQ(completeHeaders("Cookie: old", "u", "new=1").substr(0, 11), "Cookie: old");
  EXPECT_NE(completeHeaders("Cookie: old", "u", "new=1").find("\r\nCookie: new=1"),
            std::string::npos);
}

TEST(ResponseHeaders, LocationAndCookiesFromTheLines) {
  const std::string block =
      "HTTP/1.1 302 Found\r\nContent-Location: /alt\r\nSet-Cookie: a=1; path=/\r\n"
      "Location: http://h/next\r\nSet-Cookie:broken\r\nSet-Cookie: c=deleted; x\r\n\r\n";
  std::string location = "kept";
  std::string cookies = "stale";
  scanResponseHeaders(block, location, cookies);
  EXPECT_EQ(location, "http://h/next");
  EXPECT_EQ(cookies, "a=1; ; c=deleted");

  std::string empty;
  std::string none;
  scanResponseHeaders("HTTP/1.1 200 OK\r\n\r\n", empty, none);
  EXPECT_EQ(empty, "HTTP/1.1 200 OK\r\n\r\n");
  EXPECT_EQ(none, "");
  std::string earlier = "http://earlier/";
  scanResponseHeaders("HTTP/1.1 200 OK\r\n\r\n", earlier, none);
  EXPECT_EQ(earlier, "http://earlier/");
  // Only Content-Location: any line holding "Location:" counts.
  std::string content;
  scanResponseHeaders("HTTP/1.1 200 OK\r\nContent-Location: /c\r\n", content, none);
  EXPECT_EQ(content, "/c");
}

TEST(ResponseHeaders, ABlockThatDoesNotFitLeavesTheSpaces) {
  EXPECT_EQ(headerBufferText("HTTP/1.1 200 OK\r\n\r\n", true), "HTTP/1.1 200 OK\r\n\r\n");
  EXPECT_EQ(headerBufferText(std::string(4999, 'x'), true), std::string(4999, 'x'));
  EXPECT_EQ(headerBufferText(std::string(5000, 'x'), true), std::string(5000, ' '));
  EXPECT_EQ(headerBufferText("", false), std::string(5000, ' '));
}

}  // namespace
