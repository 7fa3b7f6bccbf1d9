// tavoro-publish pack, verify and keygen, run as a publisher would, their
// results read back with the launcher's own code.

#include <sys/stat.h>

#include <functional>
#include <map>

#include "tests/host/loopback_server.h"
#include "tests/host/publisher_fixture.h"
#include "update/package_signature.h"
#include "update/unzip.h"
#include "update/version.h"

namespace {

using namespace testing_support;

struct CentralRecord {
  std::string name;  // raw bytes
  std::uint16_t centralFlags;
  std::uint16_t localFlags;
};

std::uint32_t le(const std::string& bytes, std::size_t at, int count) {
  std::uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i)
    value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// The archive's central directory as stored (no comment, no ZIP64).
std::vector<CentralRecord> centralRecords(const std::string& zip) {
  const std::size_t end = zip.size() - 22;
  EXPECT_EQ(le(zip, end, 4), 0x06054b50u);
  std::vector<CentralRecord> records;
  std::size_t at = le(zip, end + 16, 4);
  for (std::uint32_t i = 0; i < le(zip, end + 10, 2); ++i) {
    EXPECT_EQ(le(zip, at, 4), 0x02014b50u);
    const std::size_t nameLength = le(zip, at + 28, 2);
    const std::size_t local = le(zip, at + 42, 4);
    records.push_back({zip.substr(at + 46, nameLength),
                       static_cast<std::uint16_t>(le(zip, at + 8, 2)),
                       static_cast<std::uint16_t>(le(zip, local + 6, 2))});
    at += 46 + nameLength + le(zip, at + 30, 2) + le(zip, at + 32, 2);
  }
  return records;
}

std::string mixedBytes(std::size_t size) {
  std::string bytes(size, '\0');
  unsigned state = 7;
  for (std::size_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    bytes[i] = (i / 4096) % 2 ? static_cast<char>(state >> 16) : "publish "[i % 8];
  }
  return bytes;
}

class PackTest : public PublisherTest {
 protected:
  void SetUp() override {
    PublisherTest::SetUp();
    writeBytes(game() / utf8(u8"启动器.exe"), "MZ new launcher");
    // CB B5: valid UTF-8 by chance, which libzip would flag as UTF-8.
    writeBytes(game() / utf8(u8"说.txt"), "one character");
    writeBytes(game() / utf8(u8"数据/说明.txt"), mixedBytes(300 * 1024));
    fs::create_directories(game() / "empty");
    publicKey = keygen("secret.key");
  }

  fs::path game() const { return dir() / "game"; }
  fs::path outDir() const { return dir() / "out"; }

  std::vector<std::string> packCall() const {
    return {"pack",
            "--from",
            game().string(),
            "--launcher",
            utf8(u8"启动器.exe"),
            "--version",
            "5.1",
            "--url",
            "https://example.com/launcher/update-5.1.zip",
            "--secret",
            path("secret.key"),
            "--out",
            outDir().string(),
            "--note",
            utf8(u8"新功能"),
            "--note",
            "fixes & more"};
  }

  int verify(const std::string& page, const std::string& package, const std::string& key) {
    return run({"verify", "--page", page, "--package", package, "--public-key", key});
  }

  std::string package() const { return (outDir() / "update-5.1.zip").string(); }
  std::string page() const { return (outDir() / "version.html").string(); }

  std::string publicKey;
};

TEST_F(PackTest, PackageKeepsGbkNamesUnflaggedUnpacksAndVerifies) {
  ASSERT_EQ(run(packCall()), 0) << err();
  EXPECT_EQ(tree(outDir()), (std::set<std::string>{"update-5.1.zip", "version.html"}));

  const std::vector<CentralRecord> records = centralRecords(readBytes(package()));
  std::set<std::string> names;
  for (const CentralRecord& record : records) {
    names.insert(record.name);
    EXPECT_EQ(record.centralFlags & 0x800, 0) << record.name;
    EXPECT_EQ(record.localFlags & 0x800, 0) << record.name;
  }
  EXPECT_EQ(names,
            (std::set<std::string>{"empty/", "启动器.exe", "说.txt", "数据/", "数据/说明.txt"}));

  const fs::path unpacked = dir() / "player";
  std::vector<int> progress;
  update::unpackArchive(host_.files, host_.codec, package(), unpacked.string() + "\\",
                        [&](int percent) { progress.push_back(percent); });
  EXPECT_EQ(progress.back(), 100);
  EXPECT_EQ(readBytes(unpacked / "启动器.exe"), "MZ new launcher");
  EXPECT_EQ(readBytes(unpacked / "说.txt"), "one character");
  EXPECT_EQ(readBytes(unpacked / "数据" / "说明.txt"), mixedBytes(300 * 1024));
  EXPECT_TRUE(fs::is_directory(unpacked / "empty"));

  const std::string html = readBytes(page());
  const auto fields =
      update::versionFieldsOf(host_.codec.utf8ToAnsi(base::Bytes(html.begin(), html.end())));
  EXPECT_EQ(fields[update::kLatestVersion], "5.1");
  EXPECT_EQ(fields[update::kProgramTitle], "启动器.exe");
  EXPECT_EQ(fields[update::kDescription], "新功能");
  EXPECT_EQ(fields[update::kNote1], "fixes & more");
  EXPECT_EQ(fields[update::kNote2], "");
  EXPECT_EQ(fields[update::kUpdateAddress], "https://example.com/launcher/update-5.1.zip");
  EXPECT_EQ(update::verifyPackageFile(host_.files, package(), publicKey,
                                      fields[update::kPackageSignature]),
            update::PackageVerdict::kSigned);

  EXPECT_EQ(verify(page(), package(), publicKey), 0) << err();
  EXPECT_EQ(out().rfind("OK: ", 0), 0u) << out();
  EXPECT_EQ(err(), "");
}

TEST_F(PackTest, NameCodePage936CannotHoldIsRefusedAndNothingIsLeft) {
  writeBytes(game() / utf8(u8"数据/😀.txt"), "emoji");
  EXPECT_EQ(run(packCall()), 1);
  EXPECT_NE(err().find(utf8(u8"😀.txt: the name has a character that code page 936 cannot hold")),
            std::string::npos)
      << err();
  EXPECT_EQ(tree(outDir()), std::set<std::string>{});
}

TEST_F(PackTest, RefusesWhatTheLauncherWouldMisreadLeavingNothing) {
  struct Case {
    std::string option;
    std::string value;  // replaces the option's value, or is added
    int status;
    std::string says;
  };
  const std::vector<Case> cases = {
      {"--note", "a <b> note", 1, "--note 3 holds \"<\""},
      {"--note", utf8(u8"see 更新地址=http://elsewhere/x.zip"), 1, "--note 3 holds the marker"},
      {"--url", "ftp://example.com/u.zip", 1, "--url must start with http:// or https://"},
      {"--url", "http://example.com/dir/", 1, "--url must end with the package's file name"},
      {"--url", "http://example.com", 1, "--url is no address the launcher can download"},
      {"--launcher", "missing.exe", 1, "no file missing.exe at the top"},
      {"--launcher", utf8(u8"数据/说明.txt"), 1, "--launcher must name a file"},
      {"--version", "5.1<", 1, "--version holds \"<\""},
      {"--secret", path("game/empty"), 1, "is no secret key file"},
      {"--from", path("nowhere"), 1, "is not a folder"},
      {"--bogus", "x", 2, "unknown option --bogus"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> words = packCall();
    const auto at = std::find(words.begin(), words.end(), c.option);
    if (c.option == "--note" || at == words.end())
      words.insert(words.end(), {c.option, c.value});
    else
      *(at + 1) = c.value;
    EXPECT_EQ(run(words), c.status) << c.value;
    EXPECT_NE(err().find(c.says), std::string::npos) << err();
    EXPECT_EQ(tree(outDir()), std::set<std::string>{}) << c.value;
  }
  std::vector<std::string> sevenNotes = packCall();
  for (int i = 0; i < 5; ++i)
    sevenNotes.insert(sevenNotes.end(), {"--note", "n"});
  EXPECT_EQ(run(sevenNotes), 2);
  EXPECT_NE(err().find("--note may be given at most 6 times\nusage: tavoro-publish pack "),
            std::string::npos)
      << err();
}

TEST_F(PackTest, VerifySaysWhyALauncherWouldRefuse) {
  ASSERT_EQ(run(packCall()), 0) << err();
  const std::string good = readBytes(package());
  const std::string html = readBytes(page());
  const std::string otherKey = keygen("other.key");
  const std::string marker = utf8(u8"更新签名=");
  const auto withSignature = [&](const std::string& value) {
    const std::size_t start = html.find(marker) + marker.size();
    return html.substr(0, start) + value + html.substr(html.find('<', start));
  };
  struct Case {
    std::string name;
    std::function<void()> prepare;
    std::string key;
    int status;
    std::string says;
  };
  const std::vector<Case> cases = {
      {"good", [] {}, publicKey, 0, ""},
      {"one byte changed",
       [&] {
         writeBytes(package(), good.substr(0, 1000) + char(good[1000] ^ 1) + good.substr(1001));
       },
       publicKey, 1, "does not match"},
      {"cut short", [&] { writeBytes(package(), good.substr(0, good.size() - 10)); }, publicKey, 1,
       "does not match"},
      {"another key", [] {}, otherKey, 1, "does not match"},
      {"malformed signature", [&] { writeBytes(page(), withSignature("c2lnbmF0dXJl")); }, publicKey,
       1, "is no signature"},
      {"no signature",
       [&] {
         writeBytes(page(), std::string(html).replace(html.find(marker), marker.size(), "x="));
       },
       publicKey, 1, "has no signature"},
      {"missing package", [&] { fs::remove(package()); }, publicKey, 1, "cannot read"},
      {"malformed key", [] {}, publicKey.substr(4), 1, "no Ed25519 public key"},
  };
  for (const Case& c : cases) {
    writeBytes(package(), good);
    writeBytes(page(), html);
    c.prepare();
    EXPECT_EQ(verify(page(), package(), c.key), c.status) << c.name << ": " << err();
    EXPECT_NE(err().find(c.says), std::string::npos) << c.name << ": " << err();
  }

  // The page as the launcher fetches it.
  writeBytes(package(), good);
  LoopbackServer server;
  server.respond("/version.html", okHead(html.size()) + html);
  EXPECT_EQ(verify(server.url("/version.html"), package(), publicKey), 0) << err();
  // Whatever body comes back is read, as the launcher reads it.
  EXPECT_EQ(verify(server.url("/missing.html"), package(), publicKey), 1);
  EXPECT_NE(err().find("has no signature"), std::string::npos) << err();
  EXPECT_EQ(verify("http://127.0.0.1:1/version.html", package(), publicKey), 1);
  EXPECT_NE(err().find("cannot fetch"), std::string::npos) << err();

  // Good, but not under the name the page announces: a warning only.
  fs::copy_file(package(), path("renamed.zip"));
  EXPECT_EQ(verify(page(), path("renamed.zip"), publicKey), 0) << err();
  EXPECT_NE(err().find(utf8(u8"warning: the page's package address (更新地址=) ends with "
                            u8"update-5.1.zip, not with the name of ")),
            std::string::npos)
      << err();
}

TEST_F(PackTest, KeygenWritesAnOwnerOnlyKeyAndNeverReplacesOne) {
  const std::string secret = readBytes(path("secret.key"));
  const std::optional<update::SecretKey> key = update::parseSecretKey(secret);
  ASSERT_TRUE(key);
  update::PublicKey derived{};
  crypto_sign_ed25519_sk_to_pk(derived.data(), key->data());
  EXPECT_EQ(update::toBase64(derived), publicKey);
  struct stat info {};
  ASSERT_EQ(::stat(path("secret.key").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  EXPECT_EQ(run({"keygen", "--secret", path("secret.key")}), 1);
  EXPECT_NE(err().find("exists; keygen never replaces a secret key"), std::string::npos) << err();
  EXPECT_EQ(out(), "");
  EXPECT_EQ(readBytes(path("secret.key")), secret);
  EXPECT_EQ(tree(dir()), (std::set<std::string>{"secret.key", "game", utf8(u8"game/启动器.exe"),
                                                utf8(u8"game/说.txt"), utf8(u8"game/数据"),
                                                utf8(u8"game/数据/说明.txt"), "game/empty"}));
}

}  // namespace
