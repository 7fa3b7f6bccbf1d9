#include <string>

#include "core/config.h"
#include "platform/profile_file.h"
#include "test_support.h"

namespace {

using testing_support::LauncherTest;

// What a key of a section reads as.
struct Read {
  const char* section;
  const char* key;
  std::string value;
};

class ConfigTest : public LauncherTest {
 protected:
  void expectReads(std::initializer_list<Read> reads) {
    for (const Read& read : reads)
      EXPECT_EQ(core::readConfigValue(ctx().os, read.section, read.key), read.value)
          << "[" << read.section << "] " << read.key;
  }
};

TEST_F(ConfigTest, NamesMatchWithoutRegardToCaseAndValuesLoseBlanksAndOneQuotePair) {
  writeConfig(
      "[HTTP]\r\n"
      "HOME = http://example.invalid/home  \r\n"
      "video=\"http://example.invalid/v\"\r\n"
      "bbs='  quoted blanks stay  '\r\n"
      "software=\"\"twice\"\"\r\n"
      "resource=\"unbalanced\r\n");
  expectReads({{"http", "Home", "http://example.invalid/home"},
               {"http", "video", "http://example.invalid/v"},
               {"http", "bbs", "  quoted blanks stay  "},
               {"http", "software", "\"twice\""},
               {"http", "resource", "\"unbalanced"}});
}

TEST_F(ConfigTest, FirstOccurrenceOfSectionAndKeyWins) {
  writeConfig(
      "[name]\nname1=first\nname1=second\n"
      "[url]\nurl2=\\Bin\\Game.exe\n"
      "[NAME]\nname1=third\nname2=only in the second section\n");
  expectReads(
      {{"name", "name1", "first"}, {"name", "name2", ""}, {"url", "url2", "\\Bin\\Game.exe"}});
}

TEST_F(ConfigTest, MissingFileSectionOrKeyReadsEmpty) {
  EXPECT_EQ(core::readConfigValue(ctx().os, "url", "bh1"), "");
  writeConfig("[name]\nname1=Ride\n");
  expectReads({{"url", "bh1", ""}, {"name", "name9", ""}, {"name", "name1", "Ride"}});
}

TEST_F(ConfigTest, BlankNamesGiveEmptyWithoutReadingTheFile) {
  writeConfig("[url]\nurl1=devices\n");
  const int before = os.profile.readCount();
  EXPECT_EQ(core::readConfigValue(ctx().os, "", "url1"), "");
  EXPECT_EQ(core::readConfigValue(ctx().os, "url", " \t\r\n"), "");
  EXPECT_EQ(core::readProfileValue(os.profile, " \x01", "url", "url1"), "");
  EXPECT_EQ(os.profile.readCount(), before);
  // Leading control characters and blanks are skipped, then the name is used.
  EXPECT_EQ(core::readConfigValue(ctx().os, "\t url", "\x1f url1"), "devices");
  EXPECT_EQ(os.profile.readCount(), before + 1);
}

TEST_F(ConfigTest, LongValueIsCutTo10239Bytes) {
  const std::string huge(20000, 'x');
  writeConfig("[url]\nurl2=" + huge + "\nurl1=after\n");
  const std::string value = core::readConfigValue(ctx().os, "url", "url2");
  EXPECT_EQ(value.size(), 10239u);
  EXPECT_EQ(value, huge.substr(0, 10239));
  EXPECT_EQ(core::readConfigValue(ctx().os, "url", "url1"), "after");
  writeConfig("[url]\nurl2=" + std::string(10239, 'y') + "\n");
  EXPECT_EQ(core::readConfigValue(ctx().os, "url", "url2").size(), 10239u);
}

TEST_F(ConfigTest, ChineseValuesAreReturnedAsTheFileBytes) {
  // 星海 in code page 936, and a trail byte of 0x5C ("\") inside 螺.
  const std::string name = "\xD0\xC7\xBA\xA3\xC2\x5C";
  writeConfig("[name]\r\nname1=" + name + "\r\nname2=\xBC\xF2\xCC\xE5\r\n");
  EXPECT_EQ(core::readConfigValue(ctx().os, "name", "name1"), name);
  EXPECT_EQ(core::readConfigValue(ctx().os, "name", "name2"), "\xBC\xF2\xCC\xE5");
}

// UTF-16 bytes of `text` in either byte order.
std::string utf16(std::u16string_view text, bool bigEndian) {
  std::string bytes;
  for (const char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

// A publisher may save the file as UTF-8 with a byte order mark: it reads
// as its code page 936 twin. Without the mark the bytes are 936 as they
// are, even where they would be valid UTF-8.
TEST_F(ConfigTest, FilesWithAByteOrderMarkReadAsTheirGbkTwin) {
  const std::string gbk =
      "[name]\r\nname1=\xD0\xC7\xBA\xA3VR\r\nname2=\xBC\xF2\xCC\xE5\xD6\xD0\xCE\xC4\r\n"
      "[url]\r\nurl2=\\Bin\\\xD3\xCE\xCF\xB7.exe\r\n";
  const std::string utf8 =
      "[name]\r\nname1=\xE6\x98\x9F\xE6\xB5\xB7VR\r\n"
      "name2=\xE7\xAE\x80\xE4\xBD\x93\xE4\xB8\xAD\xE6\x96\x87\r\n"
      "[url]\r\nurl2=\\Bin\\\xE6\xB8\xB8\xE6\x88\x8F.exe\r\n";
  const Read twins[] = {{"name", "name1", "\xD0\xC7\xBA\xA3VR"},
                        {"NAME", "name2", "\xBC\xF2\xCC\xE5\xD6\xD0\xCE\xC4"},
                        {"url", "url2", "\\Bin\\\xD3\xCE\xCF\xB7.exe"}};
  for (const std::string& file : {gbk, "\xEF\xBB\xBF" + utf8}) {
    writeConfig(file);
    for (const Read& read : twins)
      EXPECT_EQ(core::readConfigValue(ctx().os, read.section, read.key), read.value) << read.key;
  }

  const std::pair<std::string, std::string> rows[] = {
      // UTF-8 without the mark: the bytes as they are.
      {"[name]\nname1=\xE6\x98\x9F\n", "\xE6\x98\x9F"},
      // The mark only counts at the very start.
      {"\n\xEF\xBB\xBF[name]\nname1=x\n", ""},
      {"[name]\nname1=\xEF\xBB\xBFx\n", "\xEF\xBB\xBFx"},
      // What code page 936 lacks shows as "?"; the euro sign is its 0x80.
      {"\xEF\xBB\xBF[name]\nname1=\xC3\x80 5\xE2\x82\xAC\n", "? 5\x80"},
      {"\xEF\xBB\xBF", ""},
      {"\xEF\xBB[name]\nname1=x\n", ""},
      // UTF-16 after its mark, either byte order; an odd last byte is none.
      {"\xFF\xFE" + utf16(u"[name]\nname1=\u5854\u6C83\u00E9=", false),
       "\xCB\xFE\xCE\xD6\xA8\xA6="},
      {"\xFE\xFF" + utf16(u"[name]\nname1=\u5854\u6C83=", true) + "\x01", "\xCB\xFE\xCE\xD6="},
      // Characters of two bytes in UTF-8 (§, °, Ж), and the first and last
      // of each width, which 936 lacks: one "?" each.
      {"\xFF\xFE" + utf16(u"[name]\nname1=\u00A7\u00B0\u0416", false), "\xA1\xEC\xA1\xE3\xA7\xA8"},
      {"\xFF\xFE" + utf16(u"[name]\nname1=\u0080\u07FF\u0800\U00010000", false), "????"},
      // ... a pair of surrogates (an emoji) is one "?", also at the very
      // end; a lone one is one "?" too.
      {"\xFF\xFE" + utf16(u"[name]\nname1=\U0001F600x", false), "?x"},
      {"\xFF\xFE" + utf16(u"[name]\nname1=x\U0001F600", false), "x?"},
      {"\xFF\xFE" + utf16(u"[name]\nname1=", false) + std::string("\x3D\xD8", 2) +
           utf16(u"x", false),
       "?x"},
      {"\xFF\xFE" + utf16(u"[name]\nname1=", false) + std::string("\x00\xDC\x00\xDC", 4) +
           utf16(u"x", false),
       "??x"},
  };
  for (const auto& [file, value] : rows) {
    writeConfig(file);
    EXPECT_EQ(core::readConfigValue(ctx().os, "name", "name1"), value) << file;
  }
}

// The rules on the text itself, where the file gives no other way in: the
// capacity counts the terminating zero, and a line that is only a key or
// only the start of a section header still counts as one.
TEST(ProfileValue, EdgesOfCapacityQuotesAndLines) {
  struct Row {
    std::string text;
    std::size_t capacity;
    std::string value;
  };
  const Row rows[] = {
      {"[name]\nname1=abc\n", 0, ""},
      {"[name]\nname1=abc\n", 1, ""},
      {"[name]\nname1=abc\n", 3, "ab"},
      {"[name]\nname1=abc\n", 4, "abc"},
      {"[name]\nname1=\"\"\n", 16, ""},
      {"[name]\nname1=\"\n", 16, "\""},
      {"[name]\nname1='x\"\n", 16, "'x\""},
      {"[name]\nname1\nname1=second\n", 16, ""},
      {"[name\nname1=open\n", 16, "open"},
      {"[ name ]\n name1 \t= \t x y \t\n", 16, "x y"},
      {";[name]\nname1=x\n[name]\n;name1=y\nname1=z", 16, "z"},
      {"[other]\nname1=no\n\r\n[name]\r\nname1=yes", 16, "yes"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(platform::profileValue(row.text, "name", "name1", row.capacity), row.value)
        << row.text << " / " << row.capacity;
}

TEST_F(ConfigTest, EveryReadSeesTheFileAsItIsNow) {
  writeConfig("[url]\nurl2=\\Old.exe\n");
  EXPECT_EQ(core::readConfigValue(ctx().os, "url", "url2"), "\\Old.exe");
  writeConfig("[url]\nurl2=\\New.exe\n");
  EXPECT_EQ(core::readConfigValue(ctx().os, "url", "url2"), "\\New.exe");
}

TEST_F(ConfigTest, BinaryGarbageAndEmptyFilesReadEmpty) {
  writeConfig("");
  EXPECT_EQ(core::readConfigValue(ctx().os, "name", "name1"), "");
  std::string garbage;
  for (int i = 0; i < 4096; ++i)
    garbage.push_back(static_cast<char>((i * 7919) & 0xFF));
  writeConfig(garbage);
  EXPECT_NO_THROW(core::readConfigValue(ctx().os, "name", "name1"));
  writeConfig(std::string("[name]\nname1=a\0b\n", 16));
  // Texts end at their first zero byte.
  EXPECT_EQ(core::readConfigValue(ctx().os, "name", "name1"), "a");
}

TEST(HostPath, BackslashesBecomeSlashesButNotInsideTwoByteCharacters) {
  EXPECT_EQ(platform::host::hostPath("/tmp/run\\tavoro\\x.ini"), "/tmp/run/tavoro/x.ini");
  EXPECT_EQ(platform::host::hostPath("/tmp/\xC2\x5C\\a"), "/tmp/\xC2\x5C/a");
  EXPECT_EQ(platform::host::hostPath("Z:\\tmp\\a"), "/tmp/a");
  EXPECT_EQ(platform::host::hostPath("c:/tmp"), "/tmp");
}

// Whatever a reader gives beyond the capacity, or after a zero byte, is not
// part of the value: one that breaks its promise still cannot overrun a
// caller's buffer.
TEST(ProfileValue, AReadersExcessIsCutToTheCapacity) {
  struct Lenient final : platform::ProfileReader {
    std::string value;
    std::string read(const std::string&, const std::string&, const std::string&,
                     std::size_t) override {
      return value;
    }
  };
  const std::size_t last = core::kConfigValueCapacity - 1;
  const std::pair<std::string, std::string> rows[] = {
      {std::string(last, 'x'), std::string(last, 'x')},
      {std::string(last + 1, 'x'), std::string(last, 'x')},
      {std::string(last + 2, 'x'), std::string(last, 'x')},
      {std::string("ab\0cd", 5), "ab"},
      {std::string(last, 'x') + '\0', std::string(last, 'x')},
  };
  Lenient reader;
  for (const auto& [given, value] : rows) {
    reader.value = given;
    EXPECT_EQ(core::readProfileValue(reader, "C:\\g.ini", "url", "url1"), value) << given.size();
  }
}

}  // namespace
