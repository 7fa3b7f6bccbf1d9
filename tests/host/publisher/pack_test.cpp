// tavoro-publish pack, verify and keygen, run as a publisher would, their
// results read back with the launcher's own code.

#include <sys/stat.h>
#include <utime.h>

#include <zip.h>

#include <ctime>

#include <functional>
#include <map>

#include "publisher/compression_choice.h"
#include "publisher/entry_list_check.h"
#include "publisher/new_launcher.h"
#include "publisher/refusal.h"
#include "publisher/release_ledger.h"
#include "publisher/tree_check.h"
#include "tests/host/loopback_server.h"
#include "tests/host/publisher/publisher_fixture.h"
#include "update/package/apply_package.h"
#include "update/package/entry_list.h"
#include "update/package/release_signature.h"
#include "update/package/unzip.h"
#include "update/package/unzip_archive.h"
#include "update/version.h"

namespace {

using namespace testing_support;

struct CentralRecord {
  std::string name;  // raw bytes
  std::uint16_t centralFlags;
  std::uint16_t localFlags;
  std::uint32_t dosTime;  // date in the high half, time in the low
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
                       static_cast<std::uint16_t>(le(zip, local + 6, 2)), le(zip, at + 12, 4)});
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

// Bytes no compressor shrinks, always the same for a seed.
std::string randomBytes(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 23);
  }
  return bytes;
}

const std::string kPage = "https://example.com/launcher/version.html";

class PackTest : public PublisherTest {
 protected:
  void SetUp() override {
    PublisherTest::SetUp();
    publicKey = keygen("secret.key");
    writeBytes(launcherFile(), standInLauncher(1, kPage, publicKey));
    // CB B5: valid UTF-8 by chance, which libzip would flag as UTF-8.
    writeBytes(game() / utf8(u8"说.txt"), "one character");
    writeBytes(game() / utf8(u8"数据/说明.txt"), mixedBytes(300 * 1024));
    fs::create_directories(game() / "empty");
  }

  fs::path game() const { return dir() / "game"; }
  fs::path launcherFile() const { return game() / utf8(u8"启动器.exe"); }
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
  // An entry keeps its file's time (DOS time, local, two-second steps).
  std::tm noon{};
  noon.tm_year = 2024 - 1900, noon.tm_mon = 5, noon.tm_mday = 1, noon.tm_hour = 12;
  noon.tm_isdst = -1;
  const ::utimbuf times{std::mktime(&noon), std::mktime(&noon)};
  ASSERT_EQ(::utime((game() / utf8(u8"说.txt")).c_str(), &times), 0);
  ASSERT_EQ(run(packCall()), 0) << err();
  EXPECT_EQ(tree(outDir()), (std::set<std::string>{"update-5.1.zip", "version.html"}));

  const std::vector<CentralRecord> records = centralRecords(readBytes(package()));
  std::set<std::string> names;
  for (const CentralRecord& record : records) {
    names.insert(record.name);
    EXPECT_EQ(record.centralFlags & 0x800, 0) << record.name;
    EXPECT_EQ(record.localFlags & 0x800, 0) << record.name;
  }
  EXPECT_EQ(names, (std::set<std::string>{"empty/", "启动器.exe", "说.txt", "数据/",
                                          "数据/说明.txt", "tavoro-update.entries"}));
  const auto said = std::find_if(records.begin(), records.end(),
                                 [](const CentralRecord& r) { return r.name == "说.txt"; });
  ASSERT_NE(said, records.end());
  EXPECT_EQ(said->dosTime, ((2024u - 1980) << 9 | 6 << 5 | 1) << 16 | 12u << 11);

  const fs::path unpacked = dir() / "player";
  std::vector<int> progress;
  update::applyPackageNow(host_.files, events_, host_.codec, package(), unpacked.string() + "\\",
                          [&](int percent) { progress.push_back(percent); });
  EXPECT_EQ(progress.back(), 100);
  // The packed launcher carries the release's version; the publisher's
  // own file is left as it was.
  const std::string source = standInLauncher(1, kPage, publicKey);
  EXPECT_EQ(readBytes(launcherFile()), source);
  const std::string packed = readBytes(unpacked / "启动器.exe");
  EXPECT_EQ(packed, standInLauncher(1, kPage, publicKey, "5.1"));
  EXPECT_EQ(readBytes(unpacked / "说.txt"), "one character");
  EXPECT_EQ(readBytes(unpacked / "数据" / "说明.txt"), mixedBytes(300 * 1024));
  EXPECT_TRUE(fs::is_directory(unpacked / "empty"));
  // The package's list of its entries is for fetching, never unpacked.
  EXPECT_FALSE(fs::exists(unpacked / "tavoro-update.entries"));

  const std::string html = readBytes(page());
  const auto fields =
      update::versionFieldsOf(host_.codec.utf8ToAnsi(base::Bytes(html.begin(), html.end())));
  EXPECT_EQ(fields[update::kLatestVersion], "5.1");
  EXPECT_EQ(fields[update::kProgramTitle], "启动器.exe");
  EXPECT_EQ(fields[update::kDescription], "新功能");
  EXPECT_EQ(fields[update::kNote1], "fixes & more");
  EXPECT_EQ(fields[update::kNote2], "");
  EXPECT_EQ(fields[update::kUpdateAddress], "https://example.com/launcher/update-5.1.zip");
  EXPECT_EQ(fields[update::kPackageSize], std::to_string(fs::file_size(package())));
  // The room check's hint: every file's bytes as they unpack.
  EXPECT_EQ(fields[update::kUnpackedSize],
            std::to_string(packed.size() + std::string("one character").size() + 300 * 1024));
  // Signed in both forms: the page of the new launcher, and the earlier
  // form that launchers already shipped check.
  const auto size = static_cast<std::int64_t>(fs::file_size(package()));
  const auto digest = update::digestOfFile(host_.files, package());
  EXPECT_EQ(update::checkArrivedPackage({publicKey, kPage}, fields, size, digest),
            update::PackageVerdict::kSigned);
  EXPECT_EQ(update::checkArrivedPackage({publicKey, "", update::ReleaseForm::kWithoutPage}, fields,
                                        size, digest),
            update::PackageVerdict::kSigned);
  EXPECT_EQ(update::checkArrivedPackage({publicKey, kPage + "x"}, fields, size, digest),
            update::PackageVerdict::kWrongSignature);

  EXPECT_EQ(verify(page(), package(), publicKey), 0) << err();
  EXPECT_EQ(out().rfind("OK: ", 0), 0u) << out();
  EXPECT_EQ(err().rfind("note: without --launcher the version page", 0), 0u) << err();
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
      {"--secret", path("game/empty"), 1, "empty: is a folder, not a file (--secret)"},
      {"--secret", path("game/empty/publisher.kye"), 1,
       "cannot read " + path("game/empty/publisher.kye") + ": not found (--secret)"},
      {"--secret", launcherFile().string(), 1, "is no secret key file"},
      {"--from", path("nowhere"), 1, "cannot read " + path("nowhere") + ": not found (--from)"},
      {"--from", launcherFile().string(), 1, "is a file, not a folder"},
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

// Nothing of what pack refuses may reach the players or overwrite another
// output; each refusal names the file and the cause, and writes nothing.
TEST_F(PackTest, RefusesWhatWouldLeakOrBeLostNamingItAndWritingNothing) {
  const std::string key = readBytes(path("secret.key"));
  const std::string deep = std::string(50, 'd') + "/" + std::string(50, 'e') + "/";
  struct Case {
    std::string name;
    std::function<void()> prepare;     // on the game folder
    std::vector<std::string> options;  // replaced or added
    std::string says;
  };
  // Two files whose names differ only in letter case.
  const auto casePair = [&](const char8_t* upper, const char8_t* lower) {
    return [&, upper, lower] {
      writeBytes(game() / utf8(upper), "x");
      writeBytes(game() / utf8(lower), "y");
    };
  };
  const std::vector<Case> cases = {
      {"a key among the files",
       [&] {
         writeBytes(game() / utf8(u8"数据/publisher.key"), key);
         writeBytes(game() / "empty/copy.txt",
                    "\xEF\xBB\xBF  " + key.substr(0, 40) + "\r\n" + key.substr(40, 48) + "\r\n");
       },
       {},
       utf8(u8"empty/copy.txt, ") + path(utf8(u8"game/数据/publisher.key")) +
           " are or hold secret keys: published"},
      {"the secret inside --from",
       [&] { writeBytes(game() / "empty/x.key", key); },
       {"--secret", path("game/empty/x.key")},
       "--secret " + path("game/empty/x.key") + " lies inside --from"},
      {"--out inside --from", [] {}, {"--out", path("game/empty/./upload")}, "lies inside --from"},
      {"--out as --from spelt otherwise",
       [] {},
       {"--out", path("game/empty/..")},
       "lies inside --from"},
      {"links, never followed",
       [&] {
         fs::create_symlink(path("secret.key"), game() / "key-link.txt");
         fs::create_directory_symlink(dir(), game() / "empty/up");
       },
       {},
       path("game/empty/up") + ", " + path("game/key-link.txt") +
           ": symbolic links are not packed"},
      {"a package the page would overwrite",
       [] {},
       {"--url", "https://example.com/launcher/Version.HTML"},
       "must not end with version.html"},
      {"a package name Windows cuts",
       [] {},
       {"--url", "https://example.com/launcher/u.zip."},
       "--url must end with the package's file name"},
      {"a trailing dot",
       [&] { writeBytes(game() / utf8(u8"数据/说明."), "x"); },
       {},
       utf8(u8"说明.: the name ends in a dot or a space")},
      {"a control character in a name",
       [&] { writeBytes(game() / "red\x1B[31m.txt", "x"); },
       {},
       "red?[31m.txt: Windows does not allow this name"},
      {"a folder ending in a space",
       [&] { writeBytes(game() / "dir /x.txt", "x"); },
       {},
       "dir : the name ends in a dot or a space"},
      {"Greek letters of one case pair",
       casePair(u8"数据/Ω.txt", u8"数据/ω.txt"),
       {},
       "differ only in letter case"},
      {"full-width letters of one case pair",
       casePair(u8"Ａ.txt", u8"ａ.txt"),
       {},
       "differ only in letter case"},
      {"Cyrillic letters of one case pair",
       casePair(u8"Ё", u8"ё"),
       {},
       "differ only in letter case"},
      {"a folder beside a file of its name",
       [&] { writeBytes(game() / "EMPTY", "x"); },
       {},
       "a folder and a file of one name"},
      {"a path longer than Windows takes",
       [&] { writeBytes(game() / (deep + std::string(59, 'f')), "x"); },
       {},
       "the path has 161 characters; at most 160"},
      {"--out below a file",
       [] {},
       {"--out", path("secret.key/upload")},
       "cannot create the folder " + path("secret.key/upload") + ": " + path("secret.key") +
           " is a file"},
  };
  for (const Case& c : cases) {
    fs::remove_all(game());
    SetUp();
    c.prepare();
    const std::set<std::string> before = tree(dir());
    std::vector<std::string> words = packCall();
    for (std::size_t i = 0; i < c.options.size(); i += 2)
      *(std::find(words.begin(), words.end(), c.options[i]) + 1) = c.options[i + 1];
    EXPECT_EQ(run(words), 1) << c.name;
    EXPECT_NE(err().find(c.says), std::string::npos) << c.name << ": " << err();
    EXPECT_EQ(tree(dir()), before) << c.name;
  }
}

// A file of the release at a name the launcher keeps for its own would be
// where the update puts its journal, its download or a backup.
TEST_F(PackTest, RefusesTheLaunchersOwnNamesInAnyLetterCaseAtAnyDepth) {
  const std::string journal = "the launcher keeps its update journal under this name";
  const std::string unreadable =
      "the launcher sets an update journal it cannot read aside under this name";
  const std::string fresh =
      "the launcher writes its update journal or package record afresh under this name";
  const std::string partial =
      "the launcher downloads the package under this name until it is whole";
  const std::string note = "the launcher notes where a broken-off download stopped under this name";
  const std::string staging = "the launcher unpacks each file under its name with .unpacking first";
  const std::string backup =
      "the launcher keeps each file it replaces under its name with .backup until the update is "
      "whole";
  const struct {
    std::string name;
    std::string why;
  } refused[] = {
      {"tavoro-update.journal", journal},
      {"tavoro-update.journal.unreadable", unreadable},
      {"tavoro-update.journal(7).unreadable", unreadable},
      {"tavoro-update.kept",
       "the launcher keeps its record of a package it could not apply yet under this name"},
      {"tavoro-update.journal.new", fresh},
      {"tavoro-update.kept.new", fresh},
      {"update-5.1.zip",
       "the launcher downloads the package (the last part of --url) under this name"},
      {"update-5.1.zip.tmp", partial},
      {"update-5.1.zip(99).tmp", partial},
      {"update-5.1.zip.tmp.resume", note},
      {"update-5.1.zip(3).tmp.resume", note},
      {"a.pak.unpacking", staging},
      {"a.pak(12).unpacking", staging},
      {"readme.backup", backup},
      {utf8(u8"说明(1).backup"), backup},
  };
  const std::function<std::string(std::string)> letterCases[] = {
      [](std::string name) { return name; },
      [](std::string name) {
        for (char& c : name)
          c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return name;
      },
      [](std::string name) {
        for (std::size_t i = 0; i < name.size(); i += 2)
          name[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[i])));
        return name;
      },
  };
  for (const auto& row : refused) {
    for (const auto& inCase : letterCases) {
      for (const std::string& folder : {std::string(), std::string("empty/"), utf8(u8"数据/")}) {
        const fs::path file = game() / (folder + inCase(row.name));
        writeBytes(file, "x");
        EXPECT_EQ(run(packCall()), 1) << file;
        const std::string said = "tavoro-publish pack: " + file.string() + ": " + row.why +
                                 "; a release may not hold it. Rename it";
        EXPECT_EQ(err().substr(0, said.size()), said);
        EXPECT_FALSE(fs::exists(outDir())) << file;
        fs::remove(file);
      }
    }
  }
  // A folder of such a name stands where the launcher's file would.
  fs::create_directories(game() / "Tavoro-Update.Journal");
  EXPECT_EQ(run(packCall()), 1);
  EXPECT_NE(err().find("Tavoro-Update.Journal: the launcher keeps its update journal"),
            std::string::npos)
      << err();
  fs::remove(game() / "Tavoro-Update.Journal");
  // The package's name as Windows folds it: full-width letters too.
  writeBytes(game() / utf8(u8"数据/ＵＰＤＡＴＥ.zip"), "x");
  std::vector<std::string> fullWidth = packCall();
  *(std::find(fullWidth.begin(), fullWidth.end(), "--url") + 1) =
      utf8(u8"https://example.com/launcher/ｕｐｄａｔｅ.zip");
  EXPECT_EQ(run(fullWidth), 1);
  EXPECT_NE(err().find(utf8(u8"ＵＰＤＡＴＥ.zip: the launcher downloads the package")),
            std::string::npos)
      << err();
  fs::remove(game() / utf8(u8"数据/ＵＰＤＡＴＥ.zip"));

  // Near misses pack, at the top and below it.
  const std::string nearMisses[] = {"tavoro-update.journal.txt",
                                    "tavoro-update(1).journal",
                                    "tavoro-update.kept.old",
                                    "x.backup.txt",
                                    "backup",
                                    "unpacking.dat",
                                    "a.backupx",
                                    "update-5.1.zip.old",
                                    "update-5.1.zip.resume",
                                    "update-5.1(1).zip.tmp",
                                    "update-5.1.zip(100).tmp",
                                    "update-5.2.zip"};
  for (const std::string& name : nearMisses) {
    writeBytes(game() / name, "x");
    writeBytes(game() / "empty" / name, "x");
  }
  EXPECT_EQ(run(packCall()), 0) << err();
  EXPECT_NE(out().find("packed " + std::to_string(3 + 2 * std::size(nearMisses)) + " files"),
            std::string::npos)
      << out();
}

// What Windows keeps apart pack keeps apart; it lists what it packed, and
// makes the folders above --out.
// More files than a classic ZIP archive counts are packed; a tree whose
// names would not fit in the launcher's update journal is refused before
// anything is written, naming how many entries it holds.
TEST(PackageTree, ManyFilesPassUnlessTheJournalCouldNotListThem) {
  const auto tree = [](std::size_t files, std::size_t nameLength) {
    std::vector<publisher::TreeEntry> entries;
    entries.push_back({.entryName = "launcher.exe", .shownName = "launcher.exe", .size = 1});
    entries.push_back({.entryName = "Data/", .shownName = "Data/", .isFolder = true});
    for (std::size_t i = 0; i < files; ++i) {
      std::string name = "Data/" + std::to_string(i) + "-";
      name.resize(nameLength, 'n');
      entries.push_back({.entryName = name, .shownName = name, .size = 1 << 20});
    }
    return entries;
  };
  EXPECT_NO_THROW(
      publisher::checkPackageTree(tree(70000, 24), "launcher.exe", "launcher.exe", "pkg.zip"));
  // Some 4 KB of journal a file: 16 000 files pass, 17 000 do not.
  EXPECT_NO_THROW(publisher::checkJournalRoom(tree(16000, 1000)));
  try {
    publisher::checkJournalRoom(tree(17000, 1000));
    ADD_FAILURE() << "a journal of some 70 MB was taken";
  } catch (const publisher::Refusal& refusal) {
    EXPECT_NE(std::string(refusal.what()).find("17002 files and folders"), std::string::npos)
        << refusal.what();
    EXPECT_NE(std::string(refusal.what()).find("64 MiB"), std::string::npos) << refusal.what();
  }
}

TEST_F(PackTest, PacksLookAlikesWindowsKeepsApartAndListsWhatItPacked) {
  writeBytes(game() / utf8(u8"数据/Α.txt"), "Greek");  // not Latin A
  writeBytes(game() / utf8(u8"数据/A.txt"), "Latin");
  writeBytes(game() / utf8(u8"Ａ.txt"), "full-width");  // not ASCII A
  writeBytes(game() / utf8(u8"Ⅺ.txt"), "eleven");       // its lower case is not in code page 936
  writeBytes(game() / "a.txt", "ascii");
  writeBytes(game() / ("empty/" + std::string(50, 'd') + "/" + std::string(50, 'e') + "/" +
                       std::string(52, 'f')),
             "160 characters");
  std::vector<std::string> words = packCall();
  *(std::find(words.begin(), words.end(), "--out") + 1) = path("new/folders/out");
  words.push_back("--list");
  ASSERT_EQ(run(words), 0) << err();
  EXPECT_NE(out().find("packed 9 files, 309306 bytes (0.3 MiB) into " +
                       path("new/folders/out/update-5.1.zip")),
            std::string::npos)
      << out();
  EXPECT_NE(out().find("  " + path(utf8(u8"game/数据/Α.txt")) + "  (5 bytes)\n"), std::string::npos)
      << out();
  EXPECT_NE(out().find("  " + path("game/empty") + "\n"), std::string::npos) << out();
  EXPECT_TRUE(fs::exists(dir() / "new/folders/out/version.html"));
}

// The new launcher must let its players take the next update too.
TEST_F(PackTest, RefusesANewLauncherItsPlayersCouldNotUpdateFrom) {
  const std::string otherKey = keygen("other.key");
  writeBytes(game() / "0-sorts-first.exe", standInLauncher(1, kPage, publicKey));
  const struct {
    std::string name;
    std::string launcher;
    std::string version;  // --version
    std::string says;
  } cases[] = {
      {"no key", standInLauncher(1, kPage, ""), "5.1", "carries no public key, not " + publicKey},
      {"another key", standInLauncher(1, kPage, otherKey), "5.1",
       "which carries the public key " + otherKey + "; --secret "},
      {"the example page", standInLauncher(1, TAVORO_EXAMPLE_VERSION_PAGE_URL, publicKey), "5.1",
       "still reads the example version page"},
      {"the same version", standInLauncher(1, kPage, publicKey, "5.1"), "5.1",
       "--version 5.1 does not sort after 5.1, the version of " + launcherFile().string() +
           ", so its players would not be offered this release"},
      {"an older version", standInLauncher(1, kPage, publicKey, "5.1"), "5.0.9",
       "does not sort after"},
      {"ten after nine, to a launcher comparing as text",
       standInLauncher(1, kPage, publicKey, "5.9", TAVORO_SETTINGS_BLOCK_TAG_WITH_ONE_KEY), "5.10",
       "would not be offered this release. Versions that would be: 6.0 or 5.9.1"},
      {"nine again, as ten ones", standInLauncher(1, kPage, publicKey, "5.9"), "5.09",
       "Versions that would be: 5.10, 6.0 or 5.9.1"},
      {"an earlier kind",
       standInLauncher(1, kPage, publicKey, "", TAVORO_SETTINGS_BLOCK_TAG_WITHOUT_VERSION), "5.1",
       "an earlier release"},
      {"two blocks", standInLauncher(2, kPage, publicKey), "5.1", "its update settings twice"},
      {"a version the block cannot hold", standInLauncher(1, kPage, publicKey),
       "5." + std::string(30, '1'), "the version has 32 bytes; at most 31 fit"},
  };
  for (const auto& c : cases) {
    writeBytes(launcherFile(), c.launcher);
    std::vector<std::string> words = packCall();
    *(std::find(words.begin(), words.end(), "--version") + 1) = c.version;
    EXPECT_EQ(run(words), 1) << c.name;
    EXPECT_NE(err().find(c.says), std::string::npos) << c.name << ": " << err();
    EXPECT_EQ(tree(outDir()), std::set<std::string>{}) << c.name;
    EXPECT_EQ(readBytes(launcherFile()), c.launcher) << c.name;
  }

  // Another program (an installer, say) goes in as it is, with a warning;
  // but not signed by a key file whose public half is not the secret's own.
  writeBytes(launcherFile(), "MZ installer");
  std::optional<update::SecretKey> damaged = update::parseSecretKey(readBytes(path("secret.key")));
  ASSERT_TRUE(damaged);
  (*damaged)[40] ^= 1;
  writeBytes(path("damaged.key"), update::toBase64(*damaged) + "\n");
  std::vector<std::string> damagedCall = packCall();
  *(std::find(damagedCall.begin(), damagedCall.end(), "--secret") + 1) = path("damaged.key");
  EXPECT_EQ(run(damagedCall), 1);
  EXPECT_NE(err().find("damaged.key is damaged"), std::string::npos) << err();
  EXPECT_EQ(tree(outDir()), std::set<std::string>{});
  ASSERT_EQ(run(packCall()), 0) << err();
  EXPECT_NE(err().find("is no launcher of this kind: unless it replaces the launcher, players "
                       "will be offered this release again"),
            std::string::npos)
      << err();
  const fs::path unpacked = dir() / "player";
  update::applyPackageNow(host_.files, events_, host_.codec, package(), unpacked.string() + "\\",
                          [](int) {});
  EXPECT_EQ(readBytes(unpacked / "启动器.exe"), "MZ installer");
}

// The release is signed for the page players read: --page, else the page
// the new launcher reads, else version.html beside the package.
TEST_F(PackTest, SignsForThePageTheReleaseIsPublishedAt) {
  const std::string besidePackage = "https://example.com/launcher/version.html";
  const std::string elsewhere = "http://mirror.example.net/game-b/version.html";
  const struct {
    std::string name;
    std::string launcher;
    std::vector<std::string> more;  // after pack's usual words
    int status;
    std::string signedFor;
    std::string says;  // on the error stream; empty: nothing
  } cases[] = {
      {"the new launcher's page", standInLauncher(1, elsewhere, publicKey), {}, 0, elsewhere, ""},
      {"--page over the new launcher's",
       standInLauncher(1, elsewhere, publicKey),
       {"--page", kPage},
       0,
       kPage,
       "warning: the new launcher reads its version page at " + elsewhere +
           ": after this release its players look for updates there, not at " + kPage},
      {"the same page given twice",
       standInLauncher(1, kPage, publicKey),
       {"--page", kPage},
       0,
       kPage,
       ""},
      {"another program: beside the package",
       "MZ installer",
       {},
       0,
       besidePackage,
       "note: the release is signed for the version page " + besidePackage +
           " beside the package; give --page when players read another"},
      {"another program with --page",
       "MZ installer",
       {"--page", elsewhere},
       0,
       elsewhere,
       "is no launcher of this kind"},
      {"--page no launcher can read",
       "MZ installer",
       {"--page", "http://exa mple.com/v.html"},
       1,
       "",
       "--page is no version page address a launcher can read"},
      {"--page without a path",
       "MZ installer",
       {"--page", "https://example.com"},
       1,
       "",
       "--page is no version page address"},
  };
  for (const auto& c : cases) {
    fs::remove_all(outDir());
    fs::remove_all(dir() / publisher::kDefaultLedgerFolder);
    writeBytes(launcherFile(), c.launcher);
    std::vector<std::string> words = packCall();
    words.insert(words.end(), c.more.begin(), c.more.end());
    EXPECT_EQ(run(words), c.status) << c.name << ": " << err();
    if (c.says.empty())
      EXPECT_EQ(err(), "") << c.name;
    else
      EXPECT_NE(err().find(c.says), std::string::npos) << c.name << ": " << err();
    if (c.status != 0) {
      EXPECT_EQ(tree(outDir()), std::set<std::string>{}) << c.name;
      continue;
    }
    const std::string html = readBytes(page());
    const auto fields =
        update::versionFieldsOf(host_.codec.utf8ToAnsi(base::Bytes(html.begin(), html.end())));
    EXPECT_EQ(update::checkAnnouncedRelease({publicKey, c.signedFor}, fields),
              update::PackageVerdict::kSigned)
        << c.name;
    const std::string other = c.signedFor == kPage ? elsewhere : kPage;
    EXPECT_EQ(update::checkAnnouncedRelease({publicKey, other}, fields),
              update::PackageVerdict::kWrongSignature)
        << c.name;
    EXPECT_NE(out().find("and the version page " + c.signedFor + "\n"), std::string::npos)
        << c.name << ": " << out();
  }
  // One page only: two would leave players guessing which was signed.
  std::vector<std::string> twice = packCall();
  twice.insert(twice.end(), {"--page", kPage, "--page", elsewhere});
  EXPECT_EQ(run(twice), 2) << err();
}

TEST_F(PackTest, VerifySaysWhyALauncherWouldRefuse) {
  ASSERT_EQ(run(packCall()), 0) << err();
  const std::string good = readBytes(package());
  const std::string html = readBytes(page());
  const std::string otherKey = keygen("other.key");
  const std::string marker = utf8(u8"更新签名=");
  // The page with one field's value replaced.
  const auto relabelled = [&](const char8_t* fieldMarker, const std::string& value) {
    const std::string field = utf8(fieldMarker);
    const std::size_t start = html.find(field) + field.size();
    return [&, start, value] {
      writeBytes(page(), html.substr(0, start) + value + html.substr(html.find('<', start)));
    };
  };
  // The page with the size and digest of whatever package() holds now.
  const auto fitPage = [&] {
    const std::string bytes = readBytes(package());
    const std::string digest = update::toBase64(*update::digestOfFile(host_.files, package()));
    std::string relabelled = html;
    const auto put = [&](const std::string& marker, const std::string& value) {
      const std::size_t start = relabelled.find(marker) + marker.size();
      relabelled.replace(start, relabelled.find('<', start) - start, value);
    };
    put(utf8(u8"更新包大小="), std::to_string(bytes.size()));
    put(utf8(u8"更新包摘要="), digest);
    writeBytes(page(), relabelled);
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
       publicKey, 1, utf8(u8"更新包摘要= is not the digest of")},
      {"cut short", [&] { writeBytes(package(), good.substr(0, good.size() - 10)); }, publicKey, 1,
       utf8(u8"更新包大小= says ") + std::to_string(good.size()) + " bytes, but"},
      {"another key", [] {}, otherKey, 1, "does not match the page"},
      {"a higher version", relabelled(u8"最新版本=", "9.9"), publicKey, 1,
       utf8(u8"最新版本= says 9.9, but 启动器.exe in the package carries 5.1")},
      {"a game file as the launcher", relabelled(u8"程序标题=", "Bin\\Game.exe"), publicKey, 1,
       utf8(u8"程序标题= names Bin\\Game.exe, which")},
      {"a game file as the package",
       relabelled(u8"更新地址=", "https://example.com/launcher/GameAssembly.dll"), publicKey, 1,
       utf8(u8"(更新地址=) ends with GameAssembly.dll")},
      {"the notes changed", relabelled(u8"更新说明=", "anything"), publicKey, 0, ""},
      {"no package address", relabelled(u8"更新地址=", ""), publicKey, 1,
       utf8(u8"the page names no package (更新地址=), and the signature does not match")},
      {"malformed size", relabelled(u8"更新包大小=", "12 345"), publicKey, 1,
       utf8(u8"the page's package size (更新包大小=) is no number of bytes: upload")},
      {"malformed digest", relabelled(u8"更新包摘要=", "ZGlnZXN0"), publicKey, 1,
       utf8(u8"the page's package digest (更新包摘要=) is no digest of this tool")},
      {"malformed signature", relabelled(u8"更新签名=", "c2lnbmF0dXJl"), publicKey, 1,
       utf8(u8"the page's signature (更新签名=) is no signature of this tool")},
      {"no signature",
       [&] {
         writeBytes(page(), std::string(html).replace(html.find(marker), marker.size(), "x="));
       },
       publicKey, 1, "has no signature"},
      {"missing package", [&] { fs::remove(package()); }, publicKey, 1, "cannot read"},
      {"no ZIP archive, the page relabelled to fit it",
       [&] {
         writeBytes(package(), "no archive at all");
         fitPage();
       },
       publicKey, 1, "does not match the page"},
      // Names flagged UTF-8 are read as the launcher reads them: "é" has a
      // character in code page 936, so only the signature is wrong; "ß" has
      // none, and the launcher refuses the whole package.
      {"a UTF-8 name code page 936 holds",
       [&] {
         zipWithPython(package(), {{utf8(u8"启动器.exe"), "MZ"}, {utf8(u8"café.txt"), "x"}});
         fitPage();
       },
       publicKey, 1, "does not match the page"},
      {"a UTF-8 name code page 936 lacks",
       [&] {
         zipWithPython(package(), {{utf8(u8"启动器.exe"), "MZ"}, {utf8(u8"straße.txt"), "x"}});
         fitPage();
       },
       publicKey, 1, "holds the name stra?e.txt, which code page 936"},
      {"malformed key", [] {}, publicKey.substr(4), 1, "is no public key of this tool"},
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
  // A page not found is named as an upload still to do, whatever its body.
  EXPECT_EQ(verify(server.url("/missing.html"), package(), publicKey), 1);
  EXPECT_NE(err().find("answers HTTP/1.1 404 Not Found: the version page was not uploaded there. "
                       "Upload version.html to that address, then verify again"),
            std::string::npos)
      << err();
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

// verify --page URL fetches the page and then the package at its address
// as a launcher does, and checks both against the launcher players have.
TEST_F(PackTest, VerifyChecksThePackagePlayersDownloadAgainstTheShippedLauncher) {
  LoopbackServer server;
  const std::string pageUrl = server.url("/launcher/version.html");
  const std::string packageUrl = server.url("/launcher/update-5.1.zip");
  const auto packRelease = [&](const std::string& version, const std::string& url,
                               const std::vector<std::string>& more = {}) {
    writeBytes(launcherFile(), standInLauncher(1, pageUrl, publicKey, "5.0"));
    fs::remove_all(outDir());
    fs::remove_all(dir() / publisher::kDefaultLedgerFolder);
    std::vector<std::string> words = packCall();
    *(std::find(words.begin(), words.end(), "--url") + 1) = url;
    *(std::find(words.begin(), words.end(), "--version") + 1) = version;
    words.insert(words.end(), more.begin(), more.end());
    EXPECT_EQ(run(words), 0) << err();
  };
  packRelease("5.2", server.url("/launcher/update-5.2.zip"));
  const std::string later = readBytes(path("out/update-5.2.zip"));
  // The same release packed for another game's page, with the same key.
  packRelease("5.1", packageUrl, {"--page", "http://127.0.0.1:1/game-b/version.html"});
  const std::string otherGameHtml = readBytes(page());
  const std::string otherGamePackage = readBytes(package());
  packRelease("5.1", packageUrl);
  const std::string good = readBytes(package());
  const std::string html = readBytes(page());
  // A page of the earlier tool: no signature that names the page.
  const std::string earlierMarker = utf8(u8"更新签名2=");
  const std::string earlierHtml =
      std::string(html).replace(html.find(earlierMarker), earlierMarker.size(), "x=");
  const std::string esc = "\x1B]0;owned\x07";
  const std::string version = utf8(u8"最新版本=");
  const std::size_t versionAt = html.find(version) + version.size();

  struct Case {
    std::string name;
    std::string page;
    std::vector<ServerStep> package;
    std::string shipped;  // the launcher players have
    std::string says;     // on the output when 0, else on the error stream
  };
  const std::string shipped = standInLauncher(1, pageUrl, publicKey, "5.0");
  const std::string shippedEarlier =
      standInLauncher(1, pageUrl, publicKey, "5.0", TAVORO_SETTINGS_BLOCK_TAG_WITHOUT_PAGE_SIGNED);
  const std::vector<Case> cases = {
      {"another game's release at this page",
       otherGameHtml,
       {sendBytes(okHead(otherGamePackage.size()) + otherGamePackage)},
       shipped,
       utf8(u8"the signature (更新签名2=) names another version page than ") + pageUrl},
      {"another game's release, a launcher of the earlier form",
       otherGameHtml,
       {sendBytes(okHead(otherGamePackage.size()) + otherGamePackage)},
       shippedEarlier,
       "OK: the package at " + packageUrl},
      {"a page of the earlier tool",
       earlierHtml,
       {sendBytes(okHead(good.size()) + good)},
       shipped,
       utf8(u8"the page has no signature (更新签名2=), which names the version page: pack the "
            u8"release again")},
      {"a page of the earlier tool, a launcher of the earlier form",
       earlierHtml,
       {sendBytes(okHead(good.size()) + good)},
       shippedEarlier,
       "OK: the package at " + packageUrl},
      {"a page of this tool, a launcher of the earlier form",
       html,
       {sendBytes(okHead(good.size()) + good)},
       shippedEarlier,
       "OK: the package at " + packageUrl},
      {"what players get",
       html,
       {sendBytes(okHead(good.size()) + good)},
       shipped,
       "OK: the package at " + packageUrl +
           " is signed for this key; the page announces version 5.1, which players of " +
           path("shipped.exe") + " (version 5.0) are offered: they get version 5.1 now\n"},
      {"no package on the server",
       html,
       {sendBytes("HTTP/1.1 404 Not Found\r\n\r\n")},
       shipped,
       "cannot download the package " + packageUrl +
           ": the server answers HTTP/1.1 404 Not Found: the package was not uploaded there. "
           "Upload it to that address, then verify again"},
      {"a server that refuses the package",
       html,
       {sendBytes("HTTP/1.1 403 Forbidden\r\n\r\n")},
       shipped,
       "cannot download the package " + packageUrl +
           ": the server answers HTTP/1.1 403 Forbidden: check the package's address on the page "
           "and the upload\n"},
      {"a 404 of another status line",
       html,
       {sendBytes("HTTP/1.1 4040 Odd\r\n\r\n")},
       shipped,
       "the server answers HTTP/1.1 4040 Odd: check"},
      {"a package cut short on the server",
       html,
       {sendBytes(okHead(good.size() - 100) + good.substr(0, good.size() - 100))},
       shipped,
       utf8(u8"更新包大小= says ") + std::to_string(good.size()) + " bytes, but the package at " +
           packageUrl + " has " + std::to_string(good.size() - 100) +
           ": it was changed or cut short"},
      {"a transfer cut short",
       html,
       {sendBytes(okHead(good.size()) + good.substr(0, 1000)), resetConnection()},
       shipped,
       "cannot download the package " + packageUrl + ": the transfer broke off before its end"},
      {"another release's package",
       html,
       {sendBytes(okHead(later.size()) + later)},
       shipped,
       "or is another release's package"},
      {"a longer package",
       html,
       {sendBytes(okHead(good.size() + 5000) + good + std::string(5000, 'x'))},
       shipped,
       "bytes, but the package at " + packageUrl + " is longer"},
      {"players have this release already",
       html,
       {sendBytes(okHead(good.size()) + good)},
       standInLauncher(1, pageUrl, publicKey, "5.1"),
       utf8(u8"最新版本= says 5.1, which does not sort after the version ") + path("shipped.exe") +
           " carries (5.1)"},
      {"players read another page",
       html,
       {sendBytes(okHead(good.size()) + good)},
       standInLauncher(1, "http://elsewhere.example/v.html", publicKey, "5.0"),
       path("shipped.exe") + " reads its version page at http://elsewhere.example/v.html, not at"},
      {"players have another key",
       html,
       {sendBytes(okHead(good.size()) + good)},
       standInLauncher(1, pageUrl, keygen("other.key"), "5.0"),
       "does not match the page"},
      {"control characters on the page",
       html.substr(0, versionAt) + esc + html.substr(html.find('<', versionAt)),
       {sendBytes(okHead(good.size()) + good)},
       shipped,
       utf8(u8"最新版本= says ?]0;owned?, which does not sort after")},
  };
  for (const Case& c : cases) {
    server.respond("/launcher/version.html", okHead(c.page.size()) + c.page);
    server.on("/launcher/update-5.1.zip", c.package);
    writeBytes(path("shipped.exe"), c.shipped);
    const int status = run({"verify", "--page", pageUrl, "--launcher", path("shipped.exe")});
    EXPECT_EQ(status, c.says.starts_with("OK") ? 0 : 1) << c.name << ": " << err();
    EXPECT_NE((status == 0 ? out() : err()).find(c.says), std::string::npos)
        << c.name << ": " << out() << err();
    EXPECT_EQ(err().find('\x1B'), std::string::npos) << c.name;
  }
  // No temporary package stays behind.
  for (const auto& entry : fs::directory_iterator(fs::temp_directory_path()))
    EXPECT_FALSE(entry.path().filename().string().starts_with("tavoro-verify")) << entry.path();

  // A page larger than a launcher reads counts as none.
  const std::string huge = html + std::string(platform::kMaxHttpBodyBytes, ' ');
  server.respond("/launcher/version.html", okHead(huge.size()) + huge);
  EXPECT_EQ(run({"verify", "--page", pageUrl, "--public-key", publicKey}), 1);
  EXPECT_NE(err().find("a page over 1 MiB or headers over 64 KiB"), std::string::npos) << err();
  // Without a key to check for, or a package to check, nothing is said OK.
  EXPECT_EQ(run({"verify", "--page", pageUrl}), 1);
  EXPECT_NE(err().find("give --launcher FILE"), std::string::npos) << err();
  EXPECT_EQ(run({"verify", "--page", page(), "--public-key", publicKey}), 1);
  EXPECT_NE(err().find("give --package FILE"), std::string::npos) << err();
  EXPECT_EQ(run({"verify", "--page", pageUrl, "--public-key", keygen("third.key"), "--launcher",
                 path("shipped.exe")}),
            1);
  EXPECT_NE(err().find("is not the key " + path("shipped.exe") + " carries"), std::string::npos)
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
  // A folder that is not there is made, as for every file the tool writes.
  EXPECT_EQ(run({"keygen", "--secret", path("keys/offline/new.key")}), 0) << err();
  EXPECT_TRUE(update::parseSecretKey(readBytes(path("keys/offline/new.key"))));
  // One that cannot be made is named as the cause, and nothing is written.
  EXPECT_EQ(run({"keygen", "--secret", path("secret.key/new.key")}), 1);
  EXPECT_NE(err().find("cannot create the folder " + path("secret.key") + ": "), std::string::npos)
      << err();
  EXPECT_EQ(tree(dir()), (std::set<std::string>{"secret.key", "game", utf8(u8"game/启动器.exe"),
                                                utf8(u8"game/说.txt"), utf8(u8"game/数据"),
                                                utf8(u8"game/数据/说明.txt"), "game/empty", "keys",
                                                "keys/offline", "keys/offline/new.key"}));
}

// The new launcher is read whole before it is stamped; a file that cannot
// be, or that is not the size it was listed with, is never packed.
TEST_F(PackTest, ANewLauncherThatCannotBeReadWholeIsRefused) {
  const update::PublicKey key = *update::parsePublicKey(publicKey);
  const std::string launcher = standInLauncher(1, kPage, update::toBase64(key));
  const auto entryReading = [&](std::string bytes, std::uint64_t listedSize) {
    publisher::TreeEntry entry;
    entry.entryName = "new.exe";
    entry.shownName = "new.exe";
    entry.size = listedSize;
    entry.open = [bytes]() -> std::unique_ptr<platform::InputFile> {
      if (bytes.empty())
        return nullptr;
      const fs::path copy = fs::temp_directory_path() / "tavoro-new-launcher.exe";
      writeBytes(copy, bytes);
      platform::host::LocalFiles files;
      auto file = files.openForReading(copy.string());
      fs::remove(copy);
      return file;
    };
    return std::vector<publisher::TreeEntry>{entry};
  };
  publisher::Tools tools = host_.tools(std::cout, std::cerr);
  for (auto entries : {entryReading(launcher, launcher.size() + 1),
                       entryReading(launcher, launcher.size() - 1), entryReading("", 10)}) {
    EXPECT_THROW(publisher::prepareNewLauncher(entries, "new.exe", "5.1", key, tools),
                 publisher::Refusal);
  }
  auto whole = entryReading(launcher, launcher.size());
  EXPECT_THROW(publisher::prepareNewLauncher(whole, "other.exe", "5.1", key, tools),
               publisher::Refusal);
  publisher::prepareNewLauncher(whole, "new.exe", "5.1", key, tools);
  // Read back in pieces, as libzip reads it.
  std::string packed(launcher.size(), '\0');
  const std::unique_ptr<platform::InputFile> copy = whole[0].open();
  EXPECT_EQ(copy->read(packed.data(), 1000), 1000);
  EXPECT_EQ(copy->read(packed.data() + 1000, packed.size()),
            static_cast<long>(launcher.size()) - 1000);
  EXPECT_EQ(copy->read(packed.data(), 1), 0);
  EXPECT_EQ(packed, standInLauncher(1, kPage, update::toBase64(key), "5.1"));
}

// Stored when deflating the file's start saves less than 1/32 of it:
// random bytes (a texture, a video) are stored, text and repeats deflated.
TEST(CompressionChoice, DeflatesWhatShrinksAndStoresTheRest) {
  const std::string random = randomBytes(publisher::kCompressionSampleBytes, 1);
  // Random with a run of zeros in every KiB: 64 of them save about 1/20,
  // 16 about 1/100, on either side of the line.
  std::string runsOf64 = random;
  std::string runsOf16 = random;
  for (std::size_t i = 0; i < random.size(); i += 1024) {
    runsOf64.replace(i, 64, 64, '\0');
    runsOf16.replace(i, 16, 16, '\0');
  }
  struct Row {
    const char* what;
    std::string sample;
    bool deflated;
  };
  const Row rows[] = {
      {"random", random, false},
      {"random, 16 zeros a KiB", runsOf16, false},
      {"random, 64 zeros a KiB", runsOf64, true},
      {"zeros", std::string(publisher::kCompressionSampleBytes, '\0'), true},
      {"text", mixedBytes(publisher::kCompressionSampleBytes), true},
      {"one byte", "x", false},
      {"nothing", "", true},
  };
  for (const Row& row : rows)
    EXPECT_EQ(publisher::worthDeflating(row.sample.data(), row.sample.size()), row.deflated)
        << row.what;
}

TEST_F(PackTest, PackedDataIsStoredAndSmallOrShrinkingFilesDeflated) {
  const std::string random = randomBytes(3 * publisher::kCompressionSampleBytes, 3);
  // Deflated whole, even where the start is random: small files unlooked
  // at, and files whose start shrinks.
  const std::string smallRandom = random.substr(0, publisher::kAlwaysDeflatedBytes);
  const std::string startsAsText = mixedBytes(publisher::kCompressionSampleBytes) + random;
  writeBytes(game() / "video.bin", random);
  writeBytes(game() / "small.bin", smallRandom);
  writeBytes(game() / "text-then-random.bin", startsAsText);
  ASSERT_EQ(run(packCall()), 0) << err();

  zip_t* archive = zip_open(package().c_str(), ZIP_RDONLY, nullptr);
  ASSERT_NE(archive, nullptr);
  const std::map<std::string, std::uint16_t> expected = {
      {"video.bin", ZIP_CM_STORE},
      {"small.bin", ZIP_CM_DEFLATE},
      {"text-then-random.bin", ZIP_CM_DEFLATE},
      {"说.txt", ZIP_CM_DEFLATE},
  };
  for (const auto& [name, method] : expected) {
    zip_stat_t stat;
    ASSERT_EQ(zip_stat(archive, name.c_str(), ZIP_FL_ENC_RAW, &stat), 0) << name;
    EXPECT_EQ(stat.comp_method, method) << name;
  }
  zip_discard(archive);
  const fs::path unpacked = dir() / "player";
  EXPECT_EQ(update::applyPackageNow(host_.files, events_, host_.codec, package(), unpacked.string(),
                                    nullptr)
                .kind,
            update::ApplyOutcomeKind::kApplied);
  EXPECT_EQ(readBytes(unpacked / "video.bin"), random);
  EXPECT_EQ(readBytes(unpacked / "small.bin"), smallRandom);
  EXPECT_EQ(readBytes(unpacked / "text-then-random.bin"), startsAsText);
}

// The package lists its entries where the signed page says: each span
// starts at its local header and runs to the next one, each digest is of
// the content the launcher unpacks, and the list is the last entry, stored.
TEST_F(PackTest, EntryListPlacesEveryEntryAndIsSigned) {
  ASSERT_EQ(run(packCall()), 0) << err();
  const std::string bytes = readBytes(package());
  const std::string html = readBytes(page());
  const auto fields =
      update::versionFieldsOf(host_.codec.utf8ToAnsi(base::Bytes(html.begin(), html.end())));
  const std::optional<update::EntryListPlace> place =
      update::parseEntryListPlace(fields[update::kEntryList]);
  ASSERT_TRUE(place) << fields[update::kEntryList];
  const std::string text = bytes.substr(place->offset, place->length);
  EXPECT_EQ(update::digestOfBytes(text), place->digest);
  const std::optional<std::vector<update::ListedEntry>> listed = update::parseEntryList(text);
  ASSERT_TRUE(listed);
  const std::vector<CentralRecord> records = centralRecords(bytes);
  ASSERT_EQ(listed->size() + 1, records.size());
  ASSERT_EQ(records.back().name, "tavoro-update.entries");
  // Stored: the list's bytes are its data, right before the directory.
  const std::size_t directory = le(bytes, bytes.size() - 22 + 16, 4);
  EXPECT_EQ(place->offset + place->length, directory);
  const std::map<std::string, std::string> contents = {
      {"empty/", ""},
      {"启动器.exe", standInLauncher(1, kPage, publicKey, "5.1")},
      {"说.txt", "one character"},
      {"数据/", ""},
      {"数据/说明.txt", mixedBytes(300 * 1024)}};
  for (std::size_t i = 0; i < listed->size(); ++i) {
    const update::ListedEntry& entry = (*listed)[i];
    EXPECT_EQ(entry.name, records[i].name);
    EXPECT_EQ(le(bytes, entry.offset, 4), 0x04034b50u) << entry.name;
    // Up to the next local header, the list's own after the last.
    EXPECT_EQ(le(bytes, entry.offset + entry.span, 4), 0x04034b50u) << entry.name;
    if (i + 1 < listed->size())
      EXPECT_EQ(entry.offset + entry.span, (*listed)[i + 1].offset) << entry.name;
    ASSERT_EQ(contents.count(entry.name), 1u) << entry.name;
    EXPECT_EQ(entry.size, contents.at(entry.name).size()) << entry.name;
    EXPECT_EQ(entry.digest, update::digestOfBytes(contents.at(entry.name))) << entry.name;
  }
  // The CRC of the list as filled in, in both records: any reader takes it.
  update::VersionFields relabelled = fields;
  EXPECT_EQ(verify(page(), package(), publicKey), 0) << err();
  const std::optional<update::ZipArchive> archive = update::ZipArchive::open(package());
  ASSERT_TRUE(archive);
  std::optional<update::EntryReader> reader = archive->openEntry(records.size() - 1);
  ASSERT_TRUE(reader);
  std::string read(text.size() + 1, '\0');
  EXPECT_EQ(reader->read(read.data(), read.size()), static_cast<long>(text.size()));
  EXPECT_EQ(reader->read(read.data(), read.size()), 0) << "the CRC fits";
  // The third form signs the list's place; the earlier two still check.
  const std::string key = publicKey;
  for (const auto form : {update::ReleaseForm::kWithoutPage, update::ReleaseForm::kWithPage,
                          update::ReleaseForm::kWithEntries})
    EXPECT_EQ(update::checkAnnouncedRelease({key, kPage, form}, fields),
              update::PackageVerdict::kSigned);
  relabelled[update::kEntryList] =
      update::entryListPlaceText({place->offset + 1, place->length, place->digest});
  EXPECT_EQ(
      update::checkAnnouncedRelease({key, kPage, update::ReleaseForm::kWithEntries}, relabelled),
      update::PackageVerdict::kWrongSignature);
}

// A list whose own digest fits but whose rows are not the package's as it
// is: one entry's size, or its place, told otherwise.
TEST_F(PackTest, AListThatDoesNotNameTheEntriesAsTheyAreIsAProblem) {
  ASSERT_EQ(run(packCall()), 0) << err();
  const std::string html = readBytes(page());
  auto fields =
      update::versionFieldsOf(host_.codec.utf8ToAnsi(base::Bytes(html.begin(), html.end())));
  const auto place = update::parseEntryListPlace(fields[update::kEntryList]);
  ASSERT_TRUE(place);
  const std::string original = readBytes(package());
  std::ostringstream said;
  publisher::Tools tools = host_.tools(said, said);
  EXPECT_EQ(publisher::entryListProblem(fields, package(), tools), "");
  const std::string text = original.substr(place->offset, place->length);
  const auto listed = update::parseEntryList(text);
  ASSERT_TRUE(listed && !listed->empty());
  // The first row's three hex numbers: its offset, span and size.
  const std::size_t row = text.find('\n') + 1;
  for (const std::size_t field : {std::size_t{0}, std::size_t{17}, std::size_t{34}}) {
    std::string changed = text;
    char& digit = changed[row + field + 15];
    digit = digit == '0' ? '1' : '0';
    std::string bytes = original;
    bytes.replace(place->offset, place->length, changed);
    writeBytes(package(), bytes);
    fields[update::kEntryList] =
        update::entryListPlaceText({place->offset, place->length, update::digestOfBytes(changed)});
    EXPECT_NE(publisher::entryListProblem(fields, package(), tools), "") << field;
  }
  writeBytes(package(), original);
}

// verify reads the list the page places; with --folder it names what a
// folder at an earlier release fetches.
TEST_F(PackTest, VerifyChecksTheEntryListAndTellsWhatAFolderFetches) {
  ASSERT_EQ(run(packCall()), 0) << err();
  const fs::path player = dir() / "player";
  writeBytes(player / utf8(u8"说.txt"), "one character");
  writeBytes(player / utf8(u8"数据/说明.txt"), mixedBytes(300 * 1024 - 1) + "!");
  fs::create_directories(player / "empty");
  ASSERT_EQ(run({"verify", "--page", page(), "--package", package(), "--public-key", publicKey,
                 "--folder", player.string()}),
            0)
      << err();
  // The launcher (not there) and the changed text; not the unchanged file,
  // nor the folders that are there.
  const std::string said = out();
  EXPECT_NE(said.find(utf8(u8"启动器.exe")), std::string::npos) << said;
  EXPECT_NE(said.find(utf8(u8"数据/说明.txt  (307200 bytes)")), std::string::npos) << said;
  EXPECT_EQ(said.find(utf8(u8"说.txt  (")), std::string::npos) << said;
  EXPECT_NE(said.find("fetches 2 of 5 entries"), std::string::npos) << said;
  // The list, the two entries (the list lies between them and the
  // directory) and the directory.
  EXPECT_NE(said.find(" in 4 requests"), std::string::npos) << said;

  // A folder at this release fetches the list alone, in one request.
  writeBytes(player / utf8(u8"数据/说明.txt"), mixedBytes(300 * 1024));
  writeBytes(player / utf8(u8"启动器.exe"), standInLauncher(1, kPage, publicKey, "5.1"));
  ASSERT_EQ(run({"verify", "--page", page(), "--package", package(), "--public-key", publicKey,
                 "--folder", player.string()}),
            0)
      << err();
  const std::string html = readBytes(page());
  const auto fields =
      update::versionFieldsOf(host_.codec.utf8ToAnsi(base::Bytes(html.begin(), html.end())));
  const auto place = update::parseEntryListPlace(fields[update::kEntryList]);
  ASSERT_TRUE(place);
  EXPECT_NE(out().find("fetches 0 of 5 entries: " + std::to_string(place->length) + " bytes"),
            std::string::npos)
      << out();
  EXPECT_NE(out().find(" in 1 request"), std::string::npos) << out();

  // A page that places the list elsewhere, or names no list: a launcher
  // of this version fetches the whole package then.
  const std::size_t at = html.find(utf8(u8"更新清单=")) + utf8(u8"更新清单=").size();
  std::string moved = html;
  moved.insert(at, "1");
  writeBytes(dir() / "moved.html", moved);
  EXPECT_EQ(verify((dir() / "moved.html").string(), package(), publicKey), 1);
  EXPECT_NE(err().find(utf8(u8"更新清单=")), std::string::npos) << err();
  const std::string movedSaid = err();
  // A value that is no place at all is told as such, not as a moved list.
  std::string garbled = html;
  garbled.insert(at, "x");
  writeBytes(dir() / "garbled.html", garbled);
  EXPECT_EQ(verify((dir() / "garbled.html").string(), package(), publicKey), 1);
  EXPECT_NE(err().find(utf8(u8"更新清单=")), std::string::npos) << err();
  EXPECT_NE(err(), movedSaid);
  std::string none = html;
  none.erase(at, html.find('<', at) - at);
  writeBytes(dir() / "none.html", none);
  EXPECT_EQ(verify((dir() / "none.html").string(), package(), publicKey), 0) << err();
  EXPECT_EQ(run({"verify", "--page", (dir() / "none.html").string(), "--package", package(),
                 "--public-key", publicKey, "--folder", player.string()}),
            1);
}

// A package without ZIP64's needs keeps the classic records alone, as
// launchers and servers in the field know them.
TEST_F(PackTest, SmallPackageKeepsTheClassicLayout) {
  ASSERT_EQ(run(packCall()), 0) << err();
  const std::string bytes = readBytes(package());
  EXPECT_EQ(bytes.find(std::string("PK\x06\x06", 4)), std::string::npos);
  EXPECT_EQ(bytes.find(std::string("PK\x06\x07", 4)), std::string::npos);
  // The files and folders, and the package's list of them.
  EXPECT_EQ(centralRecords(bytes).size(), 6u);
}

}  // namespace
