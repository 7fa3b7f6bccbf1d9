// The download engine's protocol pieces on their own: addresses and
// redirect targets, response heads, chunked coding, numbered file names.

#include <gtest/gtest.h>

#include "base/path.h"
#include "update/http/chunked_decoder.h"
#include "update/http/http_address.h"
#include "update/http/http_response.h"

namespace update {
namespace {

TEST(HttpAddressTest, SplitsHostPortAndTarget) {
  const auto plain = parseHttpAddress("http://dl.example.cn/path/pkg.zip?v=2");
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->host, "dl.example.cn");
  EXPECT_EQ(plain->port, 80);
  EXPECT_EQ(plain->target, "/path/pkg.zip?v=2");
  EXPECT_EQ(hostAndPort(*plain), "dl.example.cn");

  const auto ported = parseHttpAddress("HTTP://10.0.0.1:8080/");
  ASSERT_TRUE(ported);
  EXPECT_EQ(ported->port, 8080);
  EXPECT_EQ(ported->target, "/");
  EXPECT_EQ(hostAndPort(*ported), "10.0.0.1:8080");
  EXPECT_FALSE(plain->secure || ported->secure);

  // https: port 443 unless named, and 443 is the one left out of Host.
  const auto secure = parseHttpAddress("HTTPS://dl.example.cn/pkg.zip");
  ASSERT_TRUE(secure);
  EXPECT_TRUE(secure->secure);
  EXPECT_EQ(secure->port, 443);
  EXPECT_EQ(hostAndPort(*secure), "dl.example.cn");
  const auto securePorted = parseHttpAddress("https://dl.example.cn:80/pkg.zip");
  ASSERT_TRUE(securePorted);
  EXPECT_EQ(hostAndPort(*securePorted), "dl.example.cn:80");

  // The port's range, at both ends.
  ASSERT_TRUE(parseHttpAddress("http://h:65535/"));
  EXPECT_EQ(parseHttpAddress("http://h:65535/")->port, 65535);
  EXPECT_EQ(parseHttpAddress("http://h:1/")->port, 1);
  EXPECT_FALSE(parseHttpAddress("http://h:65536/"));
  EXPECT_FALSE(parseHttpAddress("http://h:0/"));
}

TEST(HttpAddressTest, ResolvesEveryFormOfLocation) {
  const HttpAddress base = *parseHttpAddress("http://a.cn:81/dir/sub/file.zip");
  const HttpAddress secureBase = *parseHttpAddress("https://a.cn/dir/file.zip");
  struct Case {
    const HttpAddress& from;
    const char* location;
    bool secure;
    const char* host;
    int port;
    const char* target;
  };
  for (const Case& c : {Case{base, "http://b.cn/x.zip", false, "b.cn", 80, "/x.zip"},
                        Case{base, "//c.cn:82/y.zip", false, "c.cn", 82, "/y.zip"},
                        Case{base, "/top.zip", false, "a.cn", 81, "/top.zip"},
                        Case{base, "other.zip", false, "a.cn", 81, "/dir/sub/other.zip"},
                        Case{base, "../up.zip", false, "a.cn", 81, "/dir/sub/../up.zip"},
                        Case{base, "HTTPS://b.cn/x.zip", true, "b.cn", 443, "/x.zip"},
                        Case{secureBase, "//c.cn/y.zip", true, "c.cn", 443, "/y.zip"},
                        Case{secureBase, "next.zip", true, "a.cn", 443, "/dir/next.zip"}}) {
    SCOPED_TRACE(c.location);
    const auto next = resolveLocation(c.from, c.location);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->secure, c.secure);
    EXPECT_EQ(next->host, c.host);
    EXPECT_EQ(next->port, c.port);
    EXPECT_EQ(next->target, c.target);
  }
  for (const char* refused : {"ftp://b.cn/x", "", "/x\r\nSet: 1"})
    EXPECT_FALSE(resolveLocation(base, refused)) << refused;
  // Once encrypted, never back to plain http.
  EXPECT_FALSE(resolveLocation(secureBase, "http://a.cn/dir/file.zip"));
}

TEST(ResponseHeadTest, FindsTheEndOfTheHeadWithEitherLineEnd) {
  EXPECT_EQ(responseHeadLength("HTTP/1.1 200 OK\r\nA: b\r\n\r\nbody"), 25u);
  EXPECT_EQ(responseHeadLength("HTTP/1.0 200 OK\nA: b\n\nbody"), 22u);
  EXPECT_EQ(responseHeadLength("HTTP/1.1 200 OK\r\nA: b\r\n"), std::string::npos);
}

TEST(ResponseHeadTest, ReadsStatusFramingAndLocation) {
  const auto head =
      parseResponseHead("HTTP/1.1 302 Found\r\ncontent-length:  42 \r\nLOCATION: /next\r\n\r\n");
  ASSERT_TRUE(head);
  EXPECT_EQ(head->status, 302);
  EXPECT_EQ(head->contentLength, 42);
  EXPECT_EQ(head->location, "/next");
  EXPECT_FALSE(head->chunked);

  // Chunked coding overrides any length; other codings run to the close.
  const auto chunked = parseResponseHead(
      "HTTP/1.1 200 OK\r\nContent-Length: 10\r\nTransfer-Encoding: gzip, Chunked\r\n\r\n");
  ASSERT_TRUE(chunked);
  EXPECT_TRUE(chunked->chunked);
  EXPECT_FALSE(chunked->contentLength);
  const auto gzip =
      parseResponseHead("HTTP/1.1 200 OK\r\nContent-Length: 10\r\nTransfer-Encoding: gzip\r\n\r\n");
  ASSERT_TRUE(gzip);
  EXPECT_FALSE(gzip->chunked);
  EXPECT_FALSE(gzip->contentLength);

  const auto noContent = parseResponseHead("HTTP/1.1 204 No Content\r\nContent-Length: 5\r\n\r\n");
  ASSERT_TRUE(noContent);
  EXPECT_EQ(noContent->contentLength, 0);
  const auto notModified =
      parseResponseHead("HTTP/1.1 304 Not Modified\r\nTransfer-Encoding: chunked\r\n\r\n");
  ASSERT_TRUE(notModified);
  EXPECT_FALSE(notModified->chunked) << "no body, whatever the headers say";
  EXPECT_EQ(notModified->contentLength, 0);

  // 2xx is success, to its last code.
  EXPECT_TRUE(isSuccessStatus(200));
  EXPECT_TRUE(isSuccessStatus(299));
  EXPECT_FALSE(isSuccessStatus(199));
  EXPECT_FALSE(isSuccessStatus(300));
}

TEST(ResponseHeadTest, HeaderValueIsTheFirstFieldOfItsNameAfterTheFirstLine) {
  const std::string_view head =
      "GET /range: bytes=9-9 HTTP/1.1\r\nHost: a\r\nrange:  bytes=0-4 \r\n"
      "Range: bytes=5-9\r\nX-Empty:\r\n\r\n";
  EXPECT_EQ(headerValue(head, "Range"), "bytes=0-4");
  EXPECT_EQ(headerValue(head, "HOST"), "a");
  EXPECT_EQ(headerValue(head, "X-Empty"), "");
  EXPECT_EQ(headerValue(head, "If-Range"), std::nullopt);
  EXPECT_EQ(headerValue("Range: bytes=0-1", "Range"), std::nullopt);  // a first line only
}

TEST(ResponseHeadTest, RefusesMalformedHeads) {
  for (const char* head : {"HTTP/1.1 2x0 OK\r\n\r\n", "ICY 200 OK\r\n\r\n",
                           "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n",
                           "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n",
                           "HTTP/1.1 200 OK\r\nContent-Length: 9999999999999999999\r\n\r\n",
                           "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n"}) {
    EXPECT_FALSE(parseResponseHead(head)) << head;
  }
}

std::string decodeInPieces(std::string_view coded, std::size_t pieceSize, bool* finished) {
  ChunkedDecoder decoder;
  std::string payload;
  for (std::size_t at = 0; at < coded.size(); at += pieceSize) {
    if (!decoder.feed(coded.substr(at, pieceSize), payload))
      return "<broken>";
  }
  *finished = decoder.finished();
  return payload;
}

TEST(ChunkedDecoderTest, DecodesWhereverTheInputIsSplit) {
  const std::string coded =
      "5;ext=1\r\nhello\r\nA\r\n, chunked!\r\n0\r\nTrailer: yes\r\n\r\nignored";
  for (std::size_t piece = 1; piece <= coded.size(); ++piece) {
    bool finished = false;
    EXPECT_EQ(decodeInPieces(coded, piece, &finished), "hello, chunked!") << piece;
    EXPECT_TRUE(finished) << piece;
  }
}

TEST(ChunkedDecoderTest, UnfinishedUntilTheLastChunkAndItsBlankLine) {
  bool finished = true;
  EXPECT_EQ(decodeInPieces("3\r\nabc\r\n0\r\n", 4, &finished), "abc");
  EXPECT_FALSE(finished);
}

TEST(ChunkedDecoderTest, RefusesBrokenFraming) {
  for (const char* coded :
       {"xyz\r\n", "3\r\nabcX\r\n", "\r\n", "\n", ";x\r\n", "1000000000000000\r\n"}) {
    ChunkedDecoder decoder;
    std::string payload;
    EXPECT_FALSE(decoder.feed(coded, payload)) << coded;
  }
}

TEST(NumberedFileNameTest, NumberGoesBeforeTheLastExtension) {
  EXPECT_EQ(base::numberedFileName("C:\\run\\pkg.zip.tmp", 1), "C:\\run\\pkg.zip(1).tmp");
  EXPECT_EQ(base::numberedFileName("C:\\run\\.tmp", 2), "C:\\run\\(2).tmp");
  EXPECT_EQ(base::numberedFileName("C:\\run.d\\pkg", 3), "C:\\run.d\\pkg(3)");
  EXPECT_EQ(base::numberedFileName("/tmp/x/pkg.zip", 99), "/tmp/x/pkg(99).zip");
}

TEST(NumberedFileNameTest, TwoByteCharactersAreNotSeparators) {
  // 0x5C as the second byte of a two-byte character is not a backslash.
  const std::string dir = "C:\\\xB1\x5C";  // a folder named by one two-byte character
  EXPECT_EQ(base::numberedFileName(dir + ".zip", 1), dir + "(1).zip");
  EXPECT_EQ(base::numberedFileName(dir + "\\a\xB1\x2E", 1), dir + "\\a\xB1\x2E(1)");
}

}  // namespace
}  // namespace update
