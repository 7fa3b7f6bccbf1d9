// tavoro-publish stamp on a stand-in launcher: a minimal PE file holding the
// settings block where a built launcher holds it in its data. The real exe
// is stamped and run under Wine (tests/win32/test_publish_tool.py).

#include <cstring>

#include "publisher/little_endian.h"
#include "tests/host/publisher/publisher_fixture.h"
#include "update/package/package_signature.h"

namespace {

using namespace testing_support;

const std::string kNewKey = "3ohqBwVff128zHRTwyyaRTqGMwyGulkdayzQn+1abjs=";

class StampTest : public PublisherTest {
 protected:
  int stamp(const std::string& input, const std::string& page, const std::string& key = "",
            const std::optional<std::string>& version = std::nullopt) {
    writeBytes(path("in.exe"), input);
    std::vector<std::string> words = {"stamp",  "--in", path("in.exe"), "--out", path("out.exe"),
                                      "--page", page};
    if (!key.empty())
      words.insert(words.end(), {"--public-key", key});
    if (version)
      words.insert(words.end(), {"--version", *version});
    return run(words);
  }
};

TEST(LittleEndian, ReadsTheLowByteFirstAndOnlyTheBytesAsked) {
  const std::uint8_t bytes[] = {0x50, 0x4B, 0x03, 0x04, 0xFF, 0xFF, 0xFF, 0xFF, 0x99};
  const struct {
    std::size_t at, count;
    std::uint64_t value;
  } rows[] = {
      {0, 4, 0x04034B50},  // a ZIP local header's signature
      {0, 2, 0x4B50},      // the bytes after `count` do not count
      {2, 1, 0x03},
      {4, 4, 0xFFFFFFFF},          // high bytes are not signs
      {1, 8, 0x99FFFFFFFF04034B},  // all eight
      {0, 0, 0},
  };
  for (const auto& row : rows)
    EXPECT_EQ(publisher::littleEndian(bytes + row.at, row.count), row.value)
        << row.at << "+" << row.count;
}

TEST_F(StampTest, WritesTheAddressAndKeyZeroPaddedAndNothingElse) {
  const std::string longest = "https://" + std::string(502, 'p') + "/";  // 511 bytes
  ASSERT_EQ(stamp(standInLauncher(1), longest, kNewKey), 0) << err();
  const std::string input = standInLauncher(1);
  const std::string output = readBytes(path("out.exe"));
  ASSERT_EQ(output.size(), input.size());
  const update::SettingsBlock block = blockOf(output);
  EXPECT_EQ(std::string(block.versionPageUrl, sizeof(block.versionPageUrl)),
            longest + std::string(1, '\0'));
  EXPECT_EQ(std::string(block.publicKey, sizeof(block.publicKey)),
            kNewKey + std::string(sizeof(block.publicKey) - kNewKey.size(), '\0'));
  EXPECT_EQ(output.substr(0, kBlockAt), input.substr(0, kBlockAt));
  EXPECT_EQ(output.substr(kBlockAt + sizeof(block)), input.substr(kBlockAt + sizeof(block)));

  // Without a key the copy keeps the one it had; a shorter address leaves
  // no trace of the longer one.
  ASSERT_EQ(stamp(output, "http://new.example/v.html"), 0) << err();
  const update::SettingsBlock restamped = blockOf(readBytes(path("out.exe")));
  EXPECT_EQ(std::string(restamped.versionPageUrl, sizeof(restamped.versionPageUrl)),
            "http://new.example/v.html" + std::string(512 - 25, '\0'));
  EXPECT_EQ(std::string(restamped.publicKey), kNewKey);
  EXPECT_EQ(tree(dir()), (std::set<std::string>{"in.exe", "out.exe"}));
}

TEST_F(StampTest, WritesTheVersionZeroPaddedOrKeepsTheOneThere) {
  const std::string longest = "5." + std::string(29, '9');  // 31 bytes
  ASSERT_EQ(stamp(standInLauncher(1, kOldPage, kOldKey, "5.0.1234"), kOldPage, "", longest), 0)
      << err();
  const std::string stamped = readBytes(path("out.exe"));
  EXPECT_EQ(std::string(blockOf(stamped).localVersion, update::kLocalVersionSize),
            longest + std::string(1, '\0'));
  EXPECT_NE(out().find("  version: " + longest +
                       "\nreplaced in the copy:\n  version: 5.0.1234 -> " + longest + "\n"),
            std::string::npos)
      << out();

  // A shorter one leaves no trace of the longer; without --version the
  // copy keeps the one it has.
  ASSERT_EQ(stamp(stamped, kOldPage, "", "6.0"), 0) << err();
  const std::string shorter = readBytes(path("out.exe"));
  EXPECT_EQ(std::string(blockOf(shorter).localVersion, update::kLocalVersionSize),
            "6.0" + std::string(update::kLocalVersionSize - 3, '\0'));
  ASSERT_EQ(stamp(shorter, "http://new.example/v.html"), 0) << err();
  EXPECT_EQ(std::string(blockOf(readBytes(path("out.exe"))).localVersion), "6.0");
}

TEST_F(StampTest, RefusesNonLaunchersAndWhatTheBlockCannotHold) {
  struct Case {
    std::string name;
    std::string input;
    std::string page;
    std::string key;
    std::string says;
  };
  const std::string ok = "http://new.example/v.html";
  const std::vector<Case> cases = {
      {"no PE file",
       "\x7F"
       "ELF" +
           standInLauncher(1).substr(4),
       ok, "", "not a Windows program"},
      {"no block", standInLauncher(0), ok, "", "it carries no update settings"},
      {"two blocks", standInLauncher(2), ok, "", "it carries its update settings twice"},
      {"unterminated address", standInLauncher(1, std::string(600, 'a')), ok, "", "damaged"},
      {"address of 512 bytes", standInLauncher(1), "http://" + std::string(505, 'p'), "",
       "at most 511 fit"},
      {"no web address", standInLauncher(1), "file:///C:/v.html", "", "http:// or https://"},
      {"malformed key", standInLauncher(1), ok, kNewKey.substr(4), "is no public key of this tool"},
      {"cut short after the block", standInLauncher(1).substr(0, 0x7FF), ok, "",
       "the file is cut short: it has 2047 bytes, its program's sections reach to byte 2048"},
      {"a second section past the end",
       [] {
         std::string program = standInLauncher(1);
         program.replace(0x86, 2, std::string("\x02\0", 2));
         program.replace(0x98 + 40 + 16, 8, std::string("\0\x08\0\0\0\x01\0\0", 8));
         return program;
       }(),
       ok, "", "its program's sections reach to byte 2304"},
      {"a section's size in all four bytes",
       [] {
         std::string program = standInLauncher(1);
         program.replace(0x98 + 16, 4, std::string("\0\x07\0\x01", 4));  // 0x1000700
         return program;
       }(),
       ok, "", "its program's sections reach to byte 16779264"},
      {"a section's place in all four bytes",
       [] {
         std::string program = standInLauncher(1);
         program.replace(0x98 + 20, 4, std::string("\0\x01\0\x01", 4));  // 0x1000100
         return program;
       }(),
       ok, "", "its program's sections reach to byte 16779264"},
      {"a PE header's place in all four bytes",
       [] {
         std::string program = standInLauncher(1);
         program.replace(0x3C, 4, std::string("\x80\0\0\x01", 4));  // 0x1000080: past the end
         return program;
       }(),
       ok, "", "not a Windows program"},
      {"a space in the host", standInLauncher(1), "http://new example/v.html", "",
       "is none the launcher can fetch"},
      {"port 99999", standInLauncher(1), "http://new.example:99999/v.html", "",
       "is none the launcher can fetch"},
      {"no host", standInLauncher(1), "http:///v.html", "", "is none the launcher can fetch"},
      {"no path", standInLauncher(1), "http://new.example", "", "is none the launcher can fetch"},
      {"a key of zero bytes", standInLauncher(1), ok, update::toBase64(update::PublicKey{}),
       "can never verify a signature"},
      {"unterminated version", standInLauncher(1, kOldPage, kOldKey, std::string(32, '5')), ok, "",
       "damaged"},
      {"a launcher without a version setting",
       standInLauncher(1, kOldPage, kOldKey, "", TAVORO_SETTINGS_BLOCK_TAG_WITHOUT_VERSION), ok, "",
       "an earlier release"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(stamp(c.input, c.page, c.key), 1) << c.name;
    EXPECT_NE(err().find(c.says), std::string::npos) << c.name << ": " << err();
    EXPECT_EQ(tree(dir()), std::set<std::string>{"in.exe"}) << c.name;
  }
  const struct {
    std::string version;
    std::string says;
  } versions[] = {
      {std::string(32, '5'), "the version has 32 bytes; at most 31 fit"},
      {"", "the version is empty"},
      {"5.1<", "--version holds \"<\""},
      {utf8(u8"5.1 最新版本=9"), "--version holds the marker"},
      {utf8(u8"5.😀"), "--version holds a character that code page 936 cannot hold"},
  };
  for (const auto& c : versions) {
    EXPECT_EQ(stamp(standInLauncher(1), ok, "", c.version), 1) << c.version;
    EXPECT_NE(err().find(c.says), std::string::npos) << c.version << ": " << err();
    EXPECT_EQ(tree(dir()), std::set<std::string>{"in.exe"}) << c.version;
  }
}

// What a publisher looks up: the settings a launcher carries, and the
// public half of a secret key file.
TEST_F(StampTest, ShowSaysWhatALauncherCarriesAndPubkeyTheKeysPublicHalf) {
  const struct {
    std::string name;
    std::string file;
    int status;
    std::string says;  // on the output, or on the error stream when refused
  } cases[] = {
      {"a stamped launcher", standInLauncher(1, "http://new.example/v.html", kNewKey, "6.0"), 0,
       "  version page: http://new.example/v.html\n  public key: " + kNewKey +
           "\n  version: 6.0\n"},
      {"control characters in what it carries",
       standInLauncher(1, "http://x.example/\x1B[2J", "\x1B]0;k", "5.\x07"), 0,
       "  version page: http://x.example/?[2J\n  public key: ?]0;k\n  version: 5.?\n"},
      {"an unstamped launcher", standInLauncher(1, TAVORO_EXAMPLE_VERSION_PAGE_URL, ""), 0,
       "(the example page, which asks nobody: not stamped yet)\n  public key: none (updates are "
       "taken unsigned)\n  version: 5.0\n"},
      {"another program", standInLauncher(0), 1, "in.exe is no launcher: it carries no update settings"},
      {"no program", "just text", 1, "in.exe is no launcher: not a Windows program"},
      {"a launcher cut short", standInLauncher(1).substr(0, 0x600), 1,
       "in.exe: the file is cut short"},
      {"an empty file", "", 1, "in.exe: the file is empty"},
  };
  for (const auto& c : cases) {
    writeBytes(path("in.exe"), c.file);
    EXPECT_EQ(run({"show", path("in.exe")}), c.status) << c.name;
    EXPECT_NE((c.status == 0 ? out() : err()).find(c.says), std::string::npos)
        << c.name << ": " << out() << err();
    EXPECT_EQ((out() + err()).find_first_of("\x1B\x07"), std::string::npos) << c.name;
  }
  EXPECT_EQ(run({"show", path("nowhere.exe")}), 1);
  EXPECT_NE(err().find("cannot read " + path("nowhere.exe") + ": not found"), std::string::npos);
  EXPECT_EQ(run({"show"}), 2);
  EXPECT_NE(err().find("FILE is required\nusage: tavoro-publish show FILE\n"), std::string::npos)
      << err();

  const std::string key = keygen("publisher.key");
  ASSERT_EQ(run({"pubkey", "--secret", path("publisher.key")}), 0) << err();
  EXPECT_EQ(out(), key + "\n");
  std::string damaged = readBytes(path("publisher.key"));
  damaged[70] = damaged[70] == 'A' ? 'B' : 'A';  // in the public half
  writeBytes(path("damaged.key"), damaged);
  EXPECT_EQ(run({"pubkey", "--secret", path("damaged.key")}), 1);
  EXPECT_NE(err().find("damaged.key is damaged"), std::string::npos) << err();
  EXPECT_EQ(run({"pubkey", "--secret", path("publisher.kye")}), 1);
  EXPECT_NE(err().find("publisher.kye: not found (--secret)"), std::string::npos) << err();
}

}  // namespace
