// What a first-time publisher trips over: a key file saved by Notepad, the
// key's text pasted into a note, a blank after an address, a settings file
// saved as UTF-8, an output folder not made yet.

#include "publisher/game_config_check.h"
#include "tests/host/publisher/publisher_fixture.h"
#include "update/package/package_signature.h"

namespace {

using namespace testing_support;

TEST(GameConfig, OnlyGbkTextIsTaken) {
  using publisher::ConfigEncoding;
  const struct {
    std::string content;
    ConfigEncoding encoding;
  } rows[] = {
      {"", ConfigEncoding::kGbk},
      {"[name]\r\nname1=Star\r\n", ConfigEncoding::kGbk},
      {"[name]\r\nname1=\xD0\xC7\xBA\xA3\r\n", ConfigEncoding::kGbk},  // 星海 in GBK
      {"name1=\xA1\xA1", ConfigEncoding::kGbk},                        // the ideographic space
      {"\xEF\xBB\xBF[name]\r\n", ConfigEncoding::kUtf8WithMark},
      {std::string("\xFF\xFE[\0n\0", 6), ConfigEncoding::kUtf16},
      {std::string("\xFE\xFF\0[", 4), ConfigEncoding::kUtf16},
      {"name1=\xE6\x98\x9F\xE6\xB5\xB7", ConfigEncoding::kUtf8},  // 星海 in UTF-8
      {"name1=\xC3\xA9", ConfigEncoding::kUtf8},
      {"name1=\xF0\x9F\x8E\xAE", ConfigEncoding::kUtf8},
      {"name1=\xD0", ConfigEncoding::kOther},      // a lead byte at the end
      {"name1=\xD0\x0A", ConfigEncoding::kOther},  // no trail byte
      {"name1=\x80\x40", ConfigEncoding::kOther},
      {"name1=\xFF\x40", ConfigEncoding::kOther},
      {"name1=\xD0\x7F", ConfigEncoding::kOther},
      {"name1=\xC0\xAF", ConfigEncoding::kGbk},  // an overlong "/", no UTF-8
      {"name1=\xF5\x80", ConfigEncoding::kGbk},
  };
  for (const auto& row : rows)
    EXPECT_EQ(publisher::gameConfigEncoding(row.content), row.encoding) << row.content;
}

class TrapsTest : public PublisherTest {
 protected:
  void SetUp() override {
    PublisherTest::SetUp();
    publicKey = keygen("studio.key");
    writeBytes(dir() / "game" / "Launcher.exe", standInLauncher(1, kPage, publicKey, "5.0"));
  }

  std::vector<std::string> packCall(const std::string& secret = "studio.key") {
    return {"pack",        "--from",       (dir() / "game").string(),
            "--launcher",  "Launcher.exe", "--version",
            "5.1",         "--url",        "http://game.example/update-5.1.zip",
            "--secret",    path(secret),   "--out",
            path("upload")};
  }

  const std::string kPage = "http://game.example/version.html";
  std::string publicKey;
};

TEST_F(TrapsTest, WhatWouldReachPlayersWrongIsRefusedSayingWhatToDo) {
  const std::string key = readBytes(path("studio.key"));
  const std::string keyText = key.substr(0, key.find('\n'));
  const struct {
    const char* name;
    std::function<void()> prepare;
    std::vector<std::string> more;  // after pack's usual words
    std::string says;
  } rows[] = {
      {"the key's text in a note",
       [&] { writeBytes(dir() / "game" / "notes.txt", "backup: " + keyText + " (do not lose)"); },
       {},
       "notes.txt is or holds a secret key"},
      {"a settings file saved as UTF-8",
       [&] { writeBytes(dir() / "game" / "Tavoro" / "TAVOROCONFIG.INI", "name1=\xE6\x98\x9F"); },
       {},
       "TAVOROCONFIG.INI is saved as UTF-8: the launcher reads it as GBK"},
      {"a blank after the package address",
       [] {},
       {"--url", "http://game.example/update-5.1.zip "},
       "--url \"http://game.example/update-5.1.zip \" has a blank at its start or end"},
      {"a tab before the page address",
       [] {},
       {"--page", "\thttp://game.example/version.html"},
       "has a blank at its start or end"},
  };
  for (const auto& row : rows) {
    fs::remove_all(dir() / "game" / "notes.txt");
    fs::remove_all(dir() / "game" / "Tavoro");
    row.prepare();
    std::vector<std::string> words = packCall();
    for (std::size_t i = 0; i < row.more.size(); i += 2) {
      const auto at = std::find(words.begin(), words.end(), row.more[i]);
      if (at == words.end())
        words.insert(words.end(), {row.more[i], row.more[i + 1]});
      else
        *(at + 1) = row.more[i + 1];
    }
    EXPECT_EQ(run(words), 1) << row.name;
    EXPECT_NE(err().find(row.says), std::string::npos) << row.name << ": " << err();
    EXPECT_FALSE(fs::exists(dir() / "upload" / "version.html")) << row.name;
  }
  // A part of the key is no key; GBK settings go in.
  fs::remove_all(dir() / "game" / "Tavoro");
  writeBytes(dir() / "game" / "notes.txt", keyText.substr(0, 40));
  writeBytes(dir() / "game" / "tavoro" / "tavoroConfig.ini", "name1=\xD0\xC7\xBA\xA3\r\n");
  EXPECT_EQ(run(packCall()), 0) << err();
}

TEST_F(TrapsTest, AKeyFileSavedByNotepadIsReadAndFoldersAreMade) {
  const std::string key = readBytes(path("studio.key"));
  writeBytes(path("notepad.key"), "\xEF\xBB\xBF" + key.substr(0, key.size() - 1) + "\r\n");
  writeBytes(dir() / "one" / "Launcher.exe", standInLauncher(1, kPage, publicKey, "5.0"));
  std::vector<std::string> words = packCall("notepad.key");
  words[2] = path("one");
  ASSERT_EQ(run(words), 0) << err();
  EXPECT_NE(out().find("packed 1 file, "), std::string::npos) << out();
  EXPECT_NE(out().find("signed for the public key " + publicKey), std::string::npos) << out();
  // A byte order mark alone, or before something else, is still no key.
  writeBytes(path("bom.key"), "\xEF\xBB\xBF");
  EXPECT_EQ(run(packCall("bom.key")), 1);
  EXPECT_NE(err().find("is no secret key file made by keygen"), std::string::npos) << err();

  ASSERT_EQ(run({"stamp", "--in", (dir() / "one" / "Launcher.exe").string(), "--out",
                 path("new/folders/Launcher.exe"), "--page", kPage}),
            0)
      << err();
  EXPECT_TRUE(fs::exists(path("new/folders/Launcher.exe")));
  EXPECT_EQ(run({"stamp", "--in", (dir() / "one" / "Launcher.exe").string(), "--out",
                 path("spaced.exe"), "--page", kPage + " "}),
            1);
  EXPECT_NE(err().find("has a blank at its start or end, which would become part of the address"),
            std::string::npos)
      << err();
  EXPECT_FALSE(fs::exists(path("spaced.exe")));
}

}  // namespace
