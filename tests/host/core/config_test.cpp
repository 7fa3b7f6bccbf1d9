#include <string>

#include "core/config.h"
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

}  // namespace
