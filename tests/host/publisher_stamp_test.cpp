// tavoro-publish stamp on a stand-in launcher: a minimal PE file holding the
// settings block where a built launcher holds it in its data. The real exe
// is stamped and run under Wine (tests/win32/test_publish_tool.py).

#include <cstring>

#include "tests/host/publisher_fixture.h"
#include "update/settings_block.h"

namespace {

using namespace testing_support;

constexpr std::size_t kBlockAt = 0x100;
constexpr std::size_t kBlockStride = 0x300;
const std::string kOldPage = "http://old.example/version.html";
const std::string kOldKey = "/3Uu/eadxb7ty+bGFBrKLpZHeU45wenT8ZlfHQkxQPk=";
const std::string kNewKey = "3ohqBwVff128zHRTwyyaRTqGMwyGulkdayzQn+1abjs=";

std::string standInLauncher(int blocks, const std::string& page = kOldPage) {
  std::string bytes(0x800, '\xAB');
  bytes.replace(0, 2, "MZ");
  bytes.replace(0x3C, 4, std::string("\x80\0\0\0", 4));
  bytes.replace(0x80, 4, std::string("PE\0\0", 4));
  for (int i = 0; i < blocks; ++i) {
    update::SettingsBlock block{};
    std::memcpy(block.tag, TAVORO_SETTINGS_BLOCK_TAG, sizeof(TAVORO_SETTINGS_BLOCK_TAG));
    std::memcpy(block.versionPageUrl, page.data(),
                std::min(page.size(), sizeof(block.versionPageUrl)));
    std::memcpy(block.publicKey, kOldKey.data(), kOldKey.size());
    bytes.replace(kBlockAt + i * kBlockStride, sizeof(block),
                  std::string(reinterpret_cast<const char*>(&block), sizeof(block)));
  }
  return bytes;
}

// The block as the launcher's data holds it.
update::SettingsBlock blockOf(const std::string& bytes) {
  update::SettingsBlock block;
  std::memcpy(&block, bytes.data() + kBlockAt, sizeof(block));
  return block;
}

class StampTest : public PublisherTest {
 protected:
  int stamp(const std::string& input, const std::string& page, const std::string& key = "") {
    writeBytes(path("in.exe"), input);
    std::vector<std::string> words = {"stamp",  "--in", path("in.exe"), "--out", path("out.exe"),
                                      "--page", page};
    if (!key.empty())
      words.insert(words.end(), {"--public-key", key});
    return run(words);
  }
};

TEST_F(StampTest, WritesTheAddressAndKeyZeroPaddedAndNothingElse) {
  const std::string longest = "https://" + std::string(503, 'p');  // 511 bytes
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
      {"no block", standInLauncher(0), ok, "", "no update settings block"},
      {"two blocks", standInLauncher(2), ok, "", "more than one update settings block"},
      {"unterminated address", standInLauncher(1, std::string(600, 'a')), ok, "", "damaged"},
      {"address of 512 bytes", standInLauncher(1), "http://" + std::string(505, 'p'), "",
       "at most 511 fit"},
      {"no web address", standInLauncher(1), "file:///C:/v.html", "", "http:// or https://"},
      {"malformed key", standInLauncher(1), ok, kNewKey.substr(4), "no Ed25519 public key"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(stamp(c.input, c.page, c.key), 1) << c.name;
    EXPECT_NE(err().find(c.says), std::string::npos) << c.name << ": " << err();
    EXPECT_EQ(tree(dir()), std::set<std::string>{"in.exe"}) << c.name;
  }
}

}  // namespace
