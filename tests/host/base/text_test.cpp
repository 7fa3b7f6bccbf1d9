#include <gtest/gtest.h>

#include "base/path.h"
#include "base/text.h"
#include "platform/host/host_services.h"
#include "update/http/http_address.h"
#include "update/http/web_text.h"

namespace {

using namespace update;

TEST(FindText, StepsOverTwoByteCharactersAndFoldsOnlyAscii) {
  struct Case {
    std::string text, needle;
    int from;
    bool ignoreCase;
    int expected;
  };
  const Case cases[] = {
      {"abcabc", "c", 1, false, 3},
      {"abcabc", "c", 4, false, 6},
      {"abcabc", "c", 0, false, 3},
      {"ABC", "b", 1, true, 2},
      {"ABC", "b", 1, false, -1},
      // 乙 is D2 D2; 0x5C is the second byte of 螺-like characters: no "\" there.
      {"\xC2\x5C", "\\", 1, false, -1},
      {"\xC2\x5Cx\\", "\\", 1, false, 4},
      // A two-byte character matches whole: the same lead byte is not enough.
      {"\xB0\xA2", "\xB0\xA1", 1, false, -1},
      // "A" (0x41) as the second byte of a two-byte character is no letter.
      {"\x81\x41", "a", 1, true, -1},
      {"\x81\x41"
       "a",
       "A", 1, true, 3},
      // Two-byte characters in the needle compare exactly.
      {"更新说明1=x<更新说明=y<", "更新说明=", 1, true, 13},
      {"", "x", 1, false, -1},
      {"abc", "", 1, false, 1},
      // An empty needle is found even at the very end.
      {"abc", "", 4, false, 4},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(base::findText(c.text, c.needle, c.from, c.ignoreCase), c.expected)
        << c.text << " / " << c.needle;
  }
}

TEST(SpacesAndCase, OnlyAsciiSpaceAndIdeographicSpaceAreTrimmed) {
  EXPECT_EQ(base::trimSpaces("  a b  "), "a b");
  EXPECT_EQ(base::trimSpaces("\xA1\xA1 x \xA1\xA1"), "x");
  EXPECT_EQ(base::trimSpaces("\tx\r\n"), "\tx\r\n");
  // B0 A1 A1 A1: a character, then an ideographic space.
  EXPECT_EQ(base::trimSpaces("\xB0\xA1\xA1\xA1"), "\xB0\xA1");
  // A1 A1 inside "\xB0\xA1\xA1\xB0" is not a space character.
  EXPECT_EQ(base::removeAllSpaces("a b\xA1\xA1"
                                  "c\xB0\xA1\xA1\xB0"),
            "abc\xB0\xA1\xA1\xB0");
  EXPECT_EQ(base::lowerAscii("HeLLo\x81\x41Z"), "hello\x81\x41z");
}

TEST(SplitText, EmptyInnerPiecesCountAnEmptyTailDoesNot) {
  EXPECT_EQ(base::splitText("a;;b;", ";"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(base::splitText("a;b", ";"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(base::splitText(";a", ";"), (std::vector<std::string>{"", "a"}));
  EXPECT_TRUE(base::splitText("", ";").empty());
  EXPECT_EQ(base::splitText("x\r\ny\r\n", "\r\n"), (std::vector<std::string>{"x", "y"}));
}

TEST(TextBetween, MarkersQuotesPositionsAndCase) {
  const std::string page = "<p>最新版本=5.1</p><P>程序标题=New.exe<br>";
  EXPECT_EQ(base::textBetween(page, "最新版本=", "<"), "5.1");
  EXPECT_EQ(base::textBetween(page, "<p>程序标题=", "<"), "New.exe");
  EXPECT_EQ(base::textBetween(page, "<p>程序标题=", "<", 0, true), "");
  EXPECT_EQ(base::textBetween(page, "missing=", "<"), "");
  EXPECT_EQ(base::textBetween("a=1", "a=", "<"), "");
  EXPECT_EQ(base::textBetween("x=<", "x=", "<"), "");
  EXPECT_EQ(base::textBetween("k= v \r\n<", "k=", "<"), " v \r\n");
  EXPECT_EQ(base::textBetween("name=\"value\" ", "name=#引号", "#引号"), "value");
  EXPECT_EQ(base::textBetween("a=1;a=2;", "a=", ";", 4), "2");
  EXPECT_EQ(base::textBetween("更新说明1=one<更新说明=desc<", "更新说明=", "<"), "desc");
}

TEST(Urls, PercentEscapeIsTwoUpperCaseDigitsOfTheByte) {
  const std::pair<unsigned char, const char*> rows[] = {
      {0x00, "%00"}, {0x0A, "%0A"}, {0x20, "%20"}, {0x80, "%80"}, {0xCB, "%CB"}, {0xFF, "%FF"}};
  for (const auto& [byte, escaped] : rows) {
    std::string out = "/";
    base::appendPercentEscape(out, byte);
    EXPECT_EQ(out, std::string("/") + escaped) << int(byte);
  }
}

TEST(Urls, LooseAddressHostPortAndPath) {
  struct Case {
    std::string url, host;
    int port;
    std::string path;
    bool secure;
  };
  const Case cases[] = {
      {"http://Example.COM:8080/Path/File.TXT?Q=1", "example.com", 8080, "/Path/File.TXT?Q=1",
       false},
      {"example.com/a", "example.com", 80, "/a", false},
      {"https://Secure.example.com", "secure.example.com", 443, "/", true},
      {"HTTPS://x.example.com:4443/p", "x.example.com", 4443, "/p", true},
      {"http://127.0.0.1:18080", "127.0.0.1", 18080, "/", false},
      {"http://host/", "host", 80, "/", false},
      {"http://h:1/", "h", 1, "/", false},
      {"http://h:65535/a b#f", "h", 65535, "/a b#f", false},
  };
  for (const Case& c : cases) {
    const auto address = update::parseLooseAddress(c.url);
    ASSERT_TRUE(address) << c.url;
    EXPECT_EQ(address->host, c.host) << c.url;
    EXPECT_EQ(address->port, c.port) << c.url;
    EXPECT_EQ(address->target, c.path) << c.url;
    EXPECT_EQ(address->secure, c.secure) << c.url;
  }
  // A port out of range or not a number once went to port 0 or a wrapped
  // one; such an address is no address.
  for (const char* bad : {"http://h:0/", "http://h:65536/", "http://h:99999/", "http://h:8o/",
                          "http://h:/", "http://:80/", "http:///x", "", "http://a b/",
                          "http://h/\r\nX: y", "http://u@h/", "ftp://h/"}) {
    EXPECT_FALSE(update::parseLooseAddress(bad)) << bad;
  }
  // What the publisher's tool takes for a web address: a scheme and more.
  EXPECT_TRUE(update::isWebAddress("HTTPS://x"));
  EXPECT_TRUE(update::isWebAddress("http://x"));
  EXPECT_FALSE(update::isWebAddress("http://"));
  EXPECT_FALSE(update::isWebAddress("HTTPS://"));
  EXPECT_FALSE(update::isWebAddress("https:/x"));
  EXPECT_FALSE(update::isWebAddress("ftp://x"));
  EXPECT_EQ(base::valueAfterColon("Location:  http://x/y  "), "http://x/y");
  EXPECT_EQ(base::valueAfterColon("no colon"), "");
}

TEST(Cookies, ResponseFirstThenOldOnesDeletedDropped) {
  std::string cookies = "a=1; b=2";
  std::string returned = "b=3;c=deleted";
  EXPECT_EQ(mergeCookies(cookies, returned), "b=3; a=1");
  EXPECT_EQ(cookies, "b=3; a=1");
  EXPECT_EQ(returned, "b=3;c=deleted");

  std::string twice = "x=1; x=2; y = 3";
  std::string none;
  EXPECT_EQ(mergeCookies(twice, none), "x=1; y=3");
  // Names compare with their letter case: SID is not sid.
  std::string upper = "SID=1";
  std::string lower = "sid=2";
  EXPECT_EQ(mergeCookies(upper, lower), "sid=2; SID=1");
  std::string empty;
  std::string empty2;
  EXPECT_EQ(mergeCookies(empty, empty2), "");
  EXPECT_EQ(cookieName(" sid = 9 "), "sid");
  EXPECT_EQ(cookieName("flag"), "flag");
}

}  // namespace

// The host's UTF-8 reading agrees with Windows' (MultiByteToWideChar, then
// code page 936 with "?" for what it cannot hold): every ill-formed part is
// one "?", and never takes the bytes after it. (Beyond these rows the two
// may count "?"s differently: a character outside the BMP, a surrogate or
// an overlong form; none of them holds a marker.)
TEST(HostCodec, IllFormedUtf8TakesOnlyItsOwnBytesAsWindowsDoes) {
  const std::pair<std::string, std::string> cases[] = {
      {"\xE6<p>", "?<p>"},                // a stray lead byte before markup
      {"\xE6\xE6\x9C\x80", "?\xD7\xEE"},  // ... before a character: 最 stays
      {"\xE6\x9C<", "?<"},                // a character cut short
      {"\xC0\xAF", "??"},                 // overlong: two parts
      {"\x80\xBF", "??"},                 // stray continuation bytes
      {"a\xE6", "a?"},                    // cut short at the end
      {"\xE4\xBF<", "?<"},                // cut short after the highest second byte
      {"\xC2\xBFx", "?x"},                // well-formed U+00BF, not in code page 936
      {"\xF1\x80\x80<", "?<"},            // a four-byte character cut short
      {"\xE6\x9C\x80", "\xD7\xEE"},       // 最, well-formed
  };
  platform::host::IconvTextCodec codec;
  for (const auto& [utf8, cp936] : cases)
    EXPECT_EQ(codec.utf8ToAnsi(base::Bytes(utf8.begin(), utf8.end())), cp936) << utf8;
}

// A folder named with separators at its end, as a player may type it: they
// go, but a root of one separator stays a root.
TEST(Paths, TrailingSeparatorsGoALoneOneStays) {
  const std::pair<std::string, std::string> rows[] = {
      {"C:\\Games\\Ride\\", "C:\\Games\\Ride"},
      {"C:\\Games\\Ride\\/\\", "C:\\Games\\Ride"},
      {"a\\", "a"},
      {"\\\\", "\\"},
      {"\\", "\\"},
      {"/", "/"},
      {"", ""},
      {"ab", "ab"},
  };
  for (const auto& [path, expected] : rows)
    EXPECT_EQ(base::withoutTrailingSeparators(path), expected) << path;
}

// A file name converts exactly or not at all: a "?" or a near character
// would name another file than the package means.
TEST(HostCodec, NamesConvertExactlyOrNotAtAll) {
  const std::pair<std::string, std::optional<std::string>> rows[] = {
      {"", ""},
      {"readme.txt", "readme.txt"},
      {"\xE8\xAF\xB4\xE6\x98\x8E.txt", "\xCB\xB5\xC3\xF7.txt"},  // 说明.txt
      {"\xE6\x9C\x80/\xE4\xB8\xAD", "\xD7\xEE/\xD6\xD0"},        // 最/中
      {"\xE2\x82\xAC.txt", "\x80.txt"},                          // the euro sign: one byte
      {"\xED\x95\x9C", std::nullopt},                            // 한, no Korean in 936
      {"\xC3\x80.txt", std::nullopt},                            // À, only near to A
      {"\xF0\x9F\x98\x80", std::nullopt},                        // outside the BMP
      {"a\xE6", std::nullopt},                                   // a lone lead byte at the end
      {"\xE6<", std::nullopt},                                   // ... before ASCII
      {"\xC0\xAF", std::nullopt},                                // an overlong "/"
  };
  platform::host::IconvTextCodec codec;
  for (const auto& [utf8, cp936] : rows)
    EXPECT_EQ(codec.utf8NameToAnsi(base::Bytes(utf8.begin(), utf8.end())), cp936) << utf8;
}
