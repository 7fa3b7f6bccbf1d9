// The tool speaks English, or Chinese to a Chinese user: every message has
// both texts, with the same values in them.

#include <cstdlib>
#include <regex>
#include <set>

#include "publisher/messages.h"
#include "tests/host/publisher/publisher_fixture.h"

namespace {

using namespace testing_support;
using publisher::Message;

std::set<std::string> placeholders(const std::string& text) {
  std::set<std::string> found;
  const std::regex placeholder("\\{[1-9]\\}");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), placeholder);
       it != std::sregex_iterator(); ++it)
    found.insert(it->str());
  return found;
}

bool isHelp(Message message) {
  return message >= Message::kHelpKeygen && message <= Message::kHelpServe;
}

TEST(Messages, EveryMessageHasBothTextsWithTheSameValues) {
  for (int i = 0; i < static_cast<int>(Message::kCount); ++i) {
    const publisher::MessageTexts& texts = publisher::textsOf(Message(i));
    ASSERT_NE(texts.chinese, nullptr) << i;
    ASSERT_NE(texts.english, nullptr) << i;
    const std::string chinese = texts.chinese;
    const std::string english = texts.english;
    EXPECT_FALSE(chinese.empty()) << "message " << i << " lacks its Chinese text";
    // A command's help in English is the command's own description.
    EXPECT_EQ(english.empty(), isHelp(Message(i))) << i;
    if (!english.empty())
      EXPECT_EQ(placeholders(chinese), placeholders(english)) << i << ": " << english;
    EXPECT_TRUE(std::any_of(chinese.begin(), chinese.end(),
                            [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
        << i << " is not translated";
    // Not the English again with values only: "{1}: {2}" says nothing of its own.
    if (!english.empty())
      EXPECT_NE(std::regex_replace(chinese, std::regex("\\{[1-9]\\}"), ""),
                std::regex_replace(english, std::regex("\\{[1-9]\\}"), ""))
          << i << ": " << english;
    // No build-system or programmer's words in what a publisher reads.
    for (const char* word : {"CMake", "stderr", "TAVORO_", "base64", "as text", "byte by byte",
                             "Ed25519", "settings block"}) {
      EXPECT_EQ(english.find(word), std::string::npos) << i << ": " << word;
      EXPECT_EQ(chinese.find(word), std::string::npos) << i << ": " << word;
    }
  }
}

TEST(Messages, TheUsersLanguageIsChineseOnlyForChinese) {
  EXPECT_EQ(publisher::languageOfLocale("zh_CN.UTF-8"), publisher::Language::kChinese);
  EXPECT_EQ(publisher::languageOfLocale("zh_TW"), publisher::Language::kChinese);
  EXPECT_EQ(publisher::languageOfLocale("zh"), publisher::Language::kChinese);
  EXPECT_EQ(publisher::languageOfLocale("en_US.UTF-8"), publisher::Language::kEnglish);
  EXPECT_EQ(publisher::languageOfLocale("C"), publisher::Language::kEnglish);
  EXPECT_EQ(publisher::languageOfLocale("C.UTF-8"), publisher::Language::kEnglish);
  EXPECT_EQ(publisher::languageOfLocale(""), publisher::Language::kEnglish);
  EXPECT_EQ(publisher::languageOfLangId(0x0804), publisher::Language::kChinese);  // zh-CN
  EXPECT_EQ(publisher::languageOfLangId(0x0404), publisher::Language::kChinese);  // zh-TW
  EXPECT_EQ(publisher::languageOfLangId(0x7C04), publisher::Language::kChinese);
  EXPECT_EQ(publisher::languageOfLangId(0x0409), publisher::Language::kEnglish);  // en-US
  EXPECT_EQ(publisher::languageOfLangId(0x0411), publisher::Language::kEnglish);  // ja-JP
  EXPECT_EQ(publisher::languageOfLangId(0x0C04 & 0xFC00), publisher::Language::kEnglish);
}

// A Chinese user, for the length of a test.
class ChineseTest : public PublisherTest {
 protected:
  void SetUp() override {
    PublisherTest::SetUp();
    const char* before = std::getenv("LC_ALL");
    saved_ = before ? std::optional<std::string>(before) : std::nullopt;
    setenv("LC_ALL", "zh_CN.UTF-8", 1);
  }
  void TearDown() override {
    if (saved_)
      setenv("LC_ALL", saved_->c_str(), 1);
    else
      unsetenv("LC_ALL");
    PublisherTest::TearDown();
  }

 private:
  std::optional<std::string> saved_;
};

TEST_F(ChineseTest, HelpAndRefusalsAreInChinese) {
  // Every command --help lists has its Chinese help, and it is shown.
  unsetenv("LC_ALL");
  setenv("LC_ALL", "C", 1);
  ASSERT_EQ(run({"--help"}), 0);
  const std::string english = out();
  setenv("LC_ALL", "zh_CN.UTF-8", 1);
  ASSERT_EQ(run({"--help"}), 0);
  const std::regex usage("\n  tavoro-publish (\\w+)");
  int commands = 0;
  std::set<Message> helps;
  for (auto it = std::sregex_iterator(english.begin(), english.end(), usage);
       it != std::sregex_iterator(); ++it, ++commands) {
    const Message help = publisher::chineseHelpOf((*it)[1].str());
    ASSERT_NE(help, Message::kCount) << (*it)[1].str() << " lacks its Chinese help";
    helps.insert(help);
    const std::string start =
        host_.text.cp936ToLocal(std::string(publisher::textsOf(help).chinese).substr(0, 24));
    EXPECT_NE(out().find(start), std::string::npos) << (*it)[1].str();
  }
  EXPECT_EQ(commands, 7);
  EXPECT_EQ(helps.size(), 7u) << "each command has a Chinese help of its own";
  EXPECT_NE(out().find(utf8(u8"退出码：0 完成")), std::string::npos) << out();
  EXPECT_NE(out().find(utf8(u8"在端口 N 上用 http 提供")), std::string::npos) << out();
  EXPECT_NE(out().find(utf8(u8"最多同时回答 16 个连接；请求 30 秒内")), std::string::npos) << out();
  EXPECT_NE(out().find(utf8(u8"超过 30 秒没有送出")), std::string::npos) << out();
  EXPECT_EQ(out().find("Exit status"), std::string::npos);

  EXPECT_EQ(run({"frobnicate"}), 2);
  EXPECT_NE(err().find(utf8(u8"tavoro-publish: 没有命令\"frobnicate\"\n用法：tavoro-publish {")),
            std::string::npos)
      << err();

  const std::string key = keygen("studio.key");
  writeBytes(dir() / "in.exe", standInLauncher(1, "http://game.example/v.html", key, "5.0"));
  EXPECT_EQ(run({"stamp", "--in", path("in.exe"), "--out", path("out.exe"), "--page",
                 " http://game.example/v.html"}),
            1);
  EXPECT_EQ(err(), utf8(u8"tavoro-publish stamp: --page \" http://game.example/v.html\" "
                        u8"的开头或结尾有空格，空格会成为地址的一部分：请去掉它\n"));

  // The version advice, Chinese from end to end.
  writeBytes(dir() / "game" / "L.exe", readBytes(dir() / "in.exe"));
  EXPECT_EQ(
      run({"pack", "--from", path("game"), "--launcher", "L.exe", "--version", "5.0", "--url",
           "http://game.example/u.zip", "--secret", path("studio.key"), "--out", path("upload")}),
      1);
  EXPECT_EQ(err(),
            "tavoro-publish pack: --version 5.0 " + utf8(u8"没有排在 5.0（") + path("game") +
                "/L.exe" +
                utf8(u8"的版本）之后，玩家不会收到这个发布。可以用的版本：5.1、6.0 或 5.0.1\n"));
}

// Each kind of refusal, a wrong call among them, in Chinese: the whole
// line, so that a refusal inside another is said in Chinese too.
TEST_F(ChineseTest, RefusalsOfEveryCommandAreSaidInChinese) {
  const std::string key = keygen("studio.key");
  writeBytes(dir() / "in.exe", standInLauncher(1, "http://game.example/v.html", key, "5.0"));
  writeBytes(dir() / "other.exe", "MZ not a program");
  struct Row {
    std::vector<std::string> call;
    int status;
    std::string says;
  };
  const std::vector<Row> rows = {
      {{"keygen"},
       2,
       utf8(u8"keygen: 缺少 --secret FILE\n用法：tavoro-publish keygen --secret FILE\n")},
      {{"pack", "--note"}, 2, utf8(u8"pack: --note 后面要给一个值\n")},
      {{"keygen", "--secret", "a", "--secret", "b"}, 2, utf8(u8"keygen: --secret 只能给一次\n")},
      {{"show", "a", "b"}, 2, utf8(u8"show: 多余的参数\"b\"\n")},
      {{"pack", "--list=yes"}, 2, utf8(u8"pack: --list 后面不带值\n")},
      {{"pack", "--frob"}, 2, utf8(u8"pack: 没有选项 --frob\n")},
      {{"pack", "--from", "d", "--launcher", "L", "--version", "1", "--url",  "u", "--secret",
        "s",    "--out",  "o", "--note",     "1", "--note",    "2", "--note", "3", "--note",
        "4",    "--note", "5", "--note",     "6", "--note",    "7"},
       2,
       utf8(u8"pack: --note 最多只能给 6 次\n")},
      {{"keygen", "--secret", path("studio.key")},
       1,
       utf8(u8"keygen: ") + path("studio.key") +
           utf8(u8" 已经存在；keygen 从不覆盖私钥。请换一个新的文件名\n")},
      {{"show", path("missing.exe")},
       1,
       utf8(u8"show: 无法读取 ") + path("missing.exe") + utf8(u8"：找不到\n")},
      {{"show", path("other.exe")},
       1,
       utf8(u8"show: ") + path("other.exe") +
           utf8(u8" 不是启动器：不是 Windows 程序。请给出发布包里的 launcher.exe，"
                u8"或 stamp 写出的副本\n")},
      {{"pubkey", "--secret", path("in.exe")},
       1,
       utf8(u8"pubkey: ") + path("in.exe") +
           utf8(u8" 不是 keygen 生成的私钥文件：请给出 keygen 写出的文件\n")},
      {{"stamp", "--in", path("in.exe"), "--out", path("o.exe"), "--page", "http://g.example/v",
        "--public-key", "xyz"},
       1,
       utf8(u8"stamp: --public-key xyz 不是本工具的公钥：请给出 keygen 或 pubkey 打印的那一行\n")},
      {{"stamp", "--in", path("in.exe"), "--out", path("in.exe") + "/sub/o.exe", "--page",
        "http://g.example/v"},
       1,
       utf8(u8"stamp: 无法创建文件夹 ") + path("in.exe") + utf8(u8"/sub：") + path("in.exe") +
           utf8(u8" 是一个文件。请把它移走，或者换一个文件夹\n")},
      {{"serve", "--dir", path("in.exe"), "--port", "8080"},
       1,
       utf8(u8"serve: --dir ") + path("in.exe") + utf8(u8" 是文件，不是文件夹：请给一个文件夹\n")},
      {{"serve", "--dir", path("game"), "--port", "65536"},
       1,
       utf8(u8"serve: --port 必须是 1 到 65535 之间的数字\n")},
      {{"verify", "--page", "http://127.0.0.1:1/v.html", "--ledger", path("no-ledger")},
       1,
       utf8(u8"verify: 发布记录里还没有任何发布：请给出 --launcher FILE（玩家手上的启动器）、"
            u8"--public-key KEY 或 --ledger DIR\n")},
      {{"verify", "--page", path("in.exe"), "--public-key", key},
       1,
       utf8(u8"verify: 上传之前请用 --package FILE 检查本地的包；或者把 --page 给成版本页的网址，"
            u8"检查玩家下载到的内容\n")},
      {{"verify", "--page", path("v.html"), "--launcher", path("other.exe")},
       1,
       "verify: --launcher " + path("other.exe") +
           utf8(u8"：不是 Windows 程序。请给出发布包里的 launcher.exe，或 stamp 写出的副本\n")},
  };
  fs::create_directories(dir() / "game");
  for (const Row& row : rows) {
    std::vector<std::string> call = row.call;
    EXPECT_EQ(run(call), row.status) << call.front() << ": " << err();
    // A wrong call is followed by the command's usage.
    const std::string said = row.status == 2 ? err().substr(0, row.says.size() + 15) : err();
    EXPECT_EQ(said, "tavoro-publish " + row.says) << call.front();
  }

  // What a launcher carries, named in Chinese; its values as they are.
  ASSERT_EQ(run({"show", path("in.exe")}), 0) << err();
  EXPECT_EQ(out(), path("in.exe") + utf8(u8":\n  版本页: http://game.example/v.html\n  公钥: ") +
                       key + utf8(u8"\n  版本: 5.0\n"));
}

// The Chinese text without its values, options and file names: what
// English would be left if a word of it was not moved.
std::string leftoverEnglish(std::string said, const std::vector<std::string>& values) {
  for (const std::string& value : values) {
    for (std::size_t at = said.find(value); at != std::string::npos; at = said.find(value))
      said.erase(at, value.size());
  }
  said = std::regex_replace(
      said, std::regex("--[a-z]+|tavoro-publish pack|Windows|[\\w.-]+\\.(zip|ini)"), "");
  std::smatch word;
  return std::regex_search(said, word, std::regex("[A-Za-z]{2,}")) ? word.str() : "";
}

// What stops a studio's pack, in both languages: the whole line, its values
// in it, and no English word left in the Chinese.
TEST_F(ChineseTest, PackRefusalsNameTheirValuesInEitherLanguage) {
  const std::string key = keygen("studio.key");
  const std::string launcher = standInLauncher(1, "http://game.example/v.html", key, "5.0");
  const auto pack = [&](const std::string& version, const std::string& url,
                        const std::string& out) {
    return run({"pack", "--from", path("game"), "--launcher", "L.exe", "--version", version,
                "--url", url, "--secret", path("studio.key"), "--out", path(out), "--ledger",
                path("ledger")});
  };
  writeBytes(dir() / "game" / "L.exe", launcher);
  ASSERT_EQ(pack("5.1", "http://game.example/u.zip", "up1"), 0) << err();
  // The first release is recorded: what follows is checked against it.
  EXPECT_NE(out().find(utf8(u8"已把 1 个文件（")), std::string::npos) << out();
  EXPECT_NE(out().find(utf8(u8"已写出 ") + path("up1") + "/version.html" +
                       utf8(u8"：版本 5.1，签名对应的公钥是 ") + key),
            std::string::npos)
      << out();
  writeBytes(dir() / "game" / "L.exe", readBytes(dir() / "ledger" / "launcher-1" / "L.exe"));

  const std::string links = path("game/a-link");
  const std::string keyCopy = path("game/backup.key");
  const struct {
    const char* name;
    std::function<void()> prepare;
    std::string version, url;
    std::vector<std::string> values;
    std::string english, chinese;  // the refusal after "tavoro-publish pack: "
  } rows[] = {
      {"an address reused",
       [] {},
       "5.2",
       "http://game.example/u.zip",
       {"http://game.example/u.zip", "5.1", "5.2"},
       "the package address http://game.example/u.zip was used by release 5.1: players who "
       "check between the two uploads would download the new package against the old page and "
       "refuse it. Give the package a new name, such as update-5.2.zip",
       utf8(u8"包的地址 http://game.example/u.zip 已被发布 5.1 用过：在两次上传之间检查更新的"
            u8"玩家会按旧的版本页下载到新包，并拒绝它。请给包起一个新名字，例如 update-5.2.zip")},
      {"a symbolic link",
       [&] { fs::create_symlink(path("studio.key"), links); },
       "5.2",
       "http://game.example/u2.zip",
       {links},
       links + ": symbolic links are not packed (one could pull in any file, such as the secret "
               "key); put the files themselves in the folder",
       links + utf8(u8"：符号链接不会被打包（它可能带进任何文件，比如私钥）；请把文件本身放进"
                    u8"文件夹")},
      {"a secret key",
       [&] { writeBytes(keyCopy, readBytes(path("studio.key"))); },
       "5.2",
       "http://game.example/u2.zip",
       {keyCopy},
       keyCopy + " is or holds a secret key: published, it would let anyone sign updates your "
                 "players' launchers run. Keep keys out of the folder to pack",
       keyCopy + utf8(u8" 是私钥或含有私钥：一旦发布，任何人都能签名让玩家的启动器运行的更新。"
                      u8"请把私钥放在要打包的文件夹之外")},
      {"two names Windows takes for one",
       [&] {
         writeBytes(dir() / "game" / "A.txt", "a"), writeBytes(dir() / "game" / "a.txt", "b");
       },
       "5.2",
       "http://game.example/u2.zip",
       {path("game/A.txt"), path("game/a.txt")},
       path("game/A.txt") + " and " + path("game/a.txt") +
           " differ only in letter case; on Windows one would overwrite the other. Rename one",
       path("game/A.txt") + utf8(u8" 和 ") + path("game/a.txt") +
           utf8(u8" 只有大小写不同，在 Windows 上一个会覆盖另一个。请给其中一个改名")},
      {"a name the launcher keeps",
       [&] { writeBytes(dir() / "game" / "Tavoro-Update.Journal", "j"); },
       "5.2",
       "http://game.example/u2.zip",
       {path("game/Tavoro-Update.Journal")},
       path("game/Tavoro-Update.Journal") +
           ": the launcher keeps its update journal under this name; a release may not hold it. "
           "Rename it",
       path("game/Tavoro-Update.Journal") +
           utf8(u8"：启动器用这个名字保存更新日志，发布里不能有它。请给它改名")},
      {"the package named as the page",
       [] {},
       "5.2",
       "http://game.example/Version.html",
       {"version.html", "5.2"},
       "--url must not end with version.html, the version page's own name: name the package "
       "update-5.2.zip",
       utf8(u8"--url 不能以版本页自己的名字 version.html 结尾：请把更新包命名为 update-5.2.zip")},
      {"no such launcher",
       [&] { fs::rename(dir() / "game" / "L.exe", dir() / "game" / "M.exe"); },
       "5.2",
       "http://game.example/u2.zip",
       {"L.exe"},
       "no file L.exe at the top of the folder to pack: put the new launcher there, or give its "
       "name in --launcher",
       utf8(u8"要打包的文件夹最上层没有文件 L.exe：请把新启动器放在那里，或者在 --launcher 中给出"
            u8"它的名字")},
  };
  for (const auto& row : rows) {
    row.prepare();
    for (const bool chinese : {false, true}) {
      setenv("LC_ALL", chinese ? "zh_CN.UTF-8" : "C", 1);
      EXPECT_EQ(pack(row.version, row.url, "up2"), 1) << row.name;
      EXPECT_EQ(err(), "tavoro-publish pack: " + (chinese ? row.chinese : row.english) + "\n")
          << row.name;
      for (const std::string& value : row.values)
        EXPECT_NE(err().find(value), std::string::npos) << row.name << ": " << value;
      if (chinese)
        EXPECT_EQ(leftoverEnglish(err(), row.values), "") << row.name << ": " << err();
      EXPECT_TRUE(!fs::exists(dir() / "up2") || fs::is_empty(dir() / "up2")) << row.name;
    }
    for (const char* extra : {"a-link", "backup.key", "A.txt", "a.txt", "Tavoro-Update.Journal"})
      fs::remove(dir() / "game" / extra);
  }
}

TEST(Messages, ValuesGoWhereTheirNumbersStand) {
  // The wrong-key message: six values, each once, in the Chinese order.
  publisher::host::HostTools host;
  std::ostringstream sink;
  publisher::Tools tools = host.tools(sink, sink);
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(publisher::say(tools, Message::kKeyFileNote, {"5.9", "D:\\k.key"}),
            " (release 5.9 was signed with D:\\k.key)");
  EXPECT_EQ(publisher::say(tools, Message::kVersionsThatWould, {"6.0"}),
            ". Versions that would be: 6.0");
  // Fewer values than the text has places: the place stays as written.
  EXPECT_EQ(publisher::say(tools, Message::kKeyFileNote, {"5.9"}),
            " (release 5.9 was signed with {2})");
  setenv("LC_ALL", "zh_CN.UTF-8", 1);
  EXPECT_EQ(publisher::say(tools, Message::kNotAfterLastPacked, {"5.09", "5.9"}),
            utf8(u8"--version 5.09 没有排在上一次打包的发布 5.9 之后"));
  EXPECT_EQ(publisher::say(tools, Message::kKeyFileNote, {"{2}", "b"}),
            utf8(u8"（发布 {2} 用 b 签名）"))
      << "a value is never read for places";
  unsetenv("LC_ALL");
}

}  // namespace
