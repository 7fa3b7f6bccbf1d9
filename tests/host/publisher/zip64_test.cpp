// Packages past the classic ZIP limits: pack writes ZIP64 records where an
// archive needs them and mends its name flags through them; verify and the
// launcher's own unpacking read them, as they read other tools' archives.

#include <zip.h>

#include <cstdio>

#include "publisher/compression_choice.h"
#include "publisher/raw_name_flags.h"
#include "tests/host/publisher/publisher_fixture.h"
#include "update/package/apply_package.h"
#include "update/package/unzip_archive.h"

namespace {

using namespace testing_support;

const std::string kPage = "https://example.com/launcher/version.html";
const std::string kZip64Locator("PK\x06\x07", 4);
const std::string kZip64End("PK\x06\x06", 4);

// Python's zipfile reads the archive whole: each entry's data against its
// CRC and each local header's name and flags against its central record.
// Prints the number of entries, then how many are flagged UTF-8.
std::string pythonReadsBack(const fs::path& archive) {
  const fs::path script = archive.string() + ".check.py";
  writeBytes(script,
             "import sys, zipfile\n"
             "z = zipfile.ZipFile(sys.argv[1])\n"
             "assert z.testzip() is None\n"
             "print(len(z.infolist()), sum(1 for i in z.infolist() if i.flag_bits & 0x800))\n");
  const std::string command = "/usr/bin/python3 " + shellQuoted(script.string()) + " " +
                              shellQuoted(archive.string()) + " 2>&1";
  std::string said;
  if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe))
      said += buffer;
    EXPECT_EQ(::pclose(pipe), 0) << said;
  }
  return said;
}

class Zip64PackTest : public PublisherTest {
 protected:
  void SetUp() override {
    PublisherTest::SetUp();
    publicKey = keygen("secret.key");
    writeBytes(game() / "launcher.exe", standInLauncher(1, kPage, publicKey));
  }

  // Tens of thousands of files are made and removed in memory where the
  // machine has a memory file system: ten times faster than on its disk.
  fs::path scratchRoot() const override {
    return fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
  }

  fs::path game() const { return dir() / "game"; }
  std::string package() const { return (dir() / "out" / "update-5.1.zip").string(); }

  int pack() {
    return run({"pack", "--from", game().string(), "--launcher", "launcher.exe", "--version", "5.1",
                "--url", "https://example.com/launcher/update-5.1.zip", "--secret",
                path("secret.key"), "--out", (dir() / "out").string()});
  }

  // File `i` of smallFiles(): a thousand to a folder, `prefix` starting
  // every folder's and file's name.
  static fs::path smallFile(int i, const std::string& prefix) {
    char folder[16];
    char file[16];
    std::snprintf(folder, sizeof folder, "%02d", i / 1000);
    std::snprintf(file, sizeof file, "%05d.txt", i);
    return fs::path(prefix + folder) / (prefix + file);
  }

  // `count` files of a few bytes, each holding its number.
  void smallFiles(int count, const std::string& prefix) {
    for (int i = 0; i < count; ++i) {
      const fs::path file = game() / smallFile(i, prefix);
      if (i % 1000 == 0)
        fs::create_directories(file.parent_path());
      std::FILE* out = std::fopen(file.c_str(), "wb");
      ASSERT_NE(out, nullptr);
      std::fprintf(out, "%d", i);
      std::fclose(out);
    }
  }

  std::string publicKey;
};

struct CountRow {
  const char* what;
  int files;
  std::string prefix;          // UTF-8, as Linux names the release's files
  std::string unpackedPrefix;  // code page 936, as the package and the player's folder name it
  bool zip64;
};

class Zip64ByCount : public Zip64PackTest, public ::testing::WithParamInterface<CountRow> {};

// Past 65,535 entries libzip writes the ZIP64 end records; at exactly
// 65,535 it keeps the classic one, its count field full. "说" (CB B5) is
// valid UTF-8 by chance: every such name is flagged by libzip and mended.
TEST_P(Zip64ByCount, PackedVerifiedAndUnpackedByTheLaunchersCode) {
  const CountRow& row = GetParam();
  const int folders = (row.files + 999) / 1000;
  // The launcher, the folders, the files and the package's list of them.
  const int entries = 1 + folders + row.files + 1;
  smallFiles(row.files, row.prefix);
  ASSERT_EQ(pack(), 0) << err();
  // A pack of this size lasts long enough to show its progress, which
  // ends on every file.
  const std::string files = std::to_string(row.files + 1);
  EXPECT_NE(err().find("packing: " + files + " of " + files + " files"), std::string::npos)
      << err();

  const std::string bytes = readBytes(package());
  EXPECT_EQ(bytes.compare(bytes.size() - 42, 4, kZip64Locator) == 0, row.zip64);
  // The classic count is full from 65,535 entries on.
  EXPECT_EQ(readLittle(bytes, bytes.size() - 22 + 10, 2), std::min(entries, 0xFFFF));
  EXPECT_EQ(pythonReadsBack(package()), std::to_string(entries) + " 0\n");
  EXPECT_EQ(run({"verify", "--page", (dir() / "out" / "version.html").string(), "--package",
                 package(), "--public-key", publicKey}),
            0)
      << err();

  const fs::path player = dir() / "player";
  const update::ApplyOutcome outcome = update::applyPackageNow(host_.files, events_, host_.codec,
                                                               package(), player.string(), nullptr);
  ASSERT_EQ(outcome.kind, update::ApplyOutcomeKind::kApplied) << outcome.file;
  std::size_t unpacked = 0;
  for (const auto& entry : fs::recursive_directory_iterator(player))
    unpacked += entry.is_regular_file() ? 1 : 0;
  EXPECT_EQ(unpacked, static_cast<std::size_t>(row.files) + 1);
  for (int i : {0, 999, 1000, row.files - 1})
    EXPECT_EQ(readBytes(player / smallFile(i, row.unpackedPrefix)), std::to_string(i));

  // Info-ZIP's zip writes its own ZIP64 records for the same folder.
  const fs::path infoZip = dir() / "info-zip.zip";
  runShell("cd " + shellQuoted(game().string()) + " && LC_ALL=C zip -q -r -X " +
           shellQuoted(infoZip.string()) + " .");
  const std::optional<update::ZipArchive> other = update::ZipArchive::open(infoZip.string());
  ASSERT_TRUE(other);
  // It has no list of its entries.
  EXPECT_EQ(other->entryCount(), static_cast<std::uint64_t>(entries - 1));
  const std::string lastName = smallFile(row.files - 1, row.prefix).generic_string();
  std::uint64_t index = 0;
  while (index < other->entryCount() && other->entry(index)->name != lastName)
    ++index;
  std::optional<update::EntryReader> last = other->openEntry(index);
  ASSERT_TRUE(last) << lastName;
  char data[16] = {};
  EXPECT_EQ(last->read(data, sizeof data), static_cast<long>(std::to_string(row.files - 1).size()));
  EXPECT_EQ(std::string(data), std::to_string(row.files - 1));
}

INSTANTIATE_TEST_SUITE_P(
    Entries, Zip64ByCount,
    ::testing::Values(CountRow{"Ascii", 70000, "f", "f", true},
                      CountRow{"FlaggedByChance", 70000, utf8(u8"说"), "说", true},
                      CountRow{"ExactlyTheClassicLimit", 65535 - 1 - 66 - 1, utf8(u8"说"), "说",
                               false}),
    [](const ::testing::TestParamInfo<CountRow>& info) { return std::string(info.param.what); });

}  // namespace

// Python's zipfile appends an archive after 4.5 GiB of other bytes (a hole
// in the file here), as behind a self-extracting stub: every local header
// lies past 4 GiB, so its central record carries the offset, and only the
// offset, in a ZIP64 extra field, and the end records are ZIP64 ones.
// "说" (CB B5) is valid UTF-8, so Python flags it; mended, the launcher
// reads it as code page 936.
TEST_F(Zip64PackTest, NameFlagsAreMendedInRecordsPast4GiB) {
  const fs::path archive = dir() / "far.zip";
  const fs::path script = dir() / "far.py";
  writeBytes(script,
             "import sys, zipfile\n"
             "with open(sys.argv[1], 'wb') as f:\n"
             "    f.truncate(4608 << 20)\n"
             "z = zipfile.ZipFile(sys.argv[1], 'a', zipfile.ZIP_DEFLATED, allowZip64=True)\n"
             "z.writestr('plain.txt', b'plain')\n"
             "z.writestr(b'\\xcb\\xb5.txt'.decode(), b'one character')\n"
             "z.writestr(b'd/\\xcb\\xb5\\xcb\\xb5.bin'.decode(), bytes(range(256)) * 1000)\n"
             "z.close()\n");
  runShell("/usr/bin/python3 " + shellQuoted(script.string()) + " " +
           shellQuoted(archive.string()));
  EXPECT_EQ(pythonReadsBack(archive), "3 2\n");

  publisher::keepNamesRaw(archive.string());
  EXPECT_EQ(pythonReadsBack(archive), "3 0\n");
  const std::string said = "\xCB\xB5.txt";
  const std::string big = "d/\xCB\xB5\xCB\xB5.bin";
  const std::optional<update::ZipArchive> zip = update::ZipArchive::open(archive.string());
  ASSERT_TRUE(zip);
  ASSERT_EQ(zip->entryCount(), 3u);
  EXPECT_FALSE(zip->entry(1)->nameIsUtf8);
  EXPECT_FALSE(zip->entry(2)->nameIsUtf8);
  EXPECT_EQ(zip->entry(1)->name, said);
  EXPECT_EQ(zip->entry(2)->name, big);

  const fs::path player = dir() / "player";
  ASSERT_EQ(update::applyPackageNow(host_.files, events_, host_.codec, archive.string(),
                                    player.string(), nullptr)
                .kind,
            update::ApplyOutcomeKind::kApplied);
  std::string pattern;
  for (int i = 0; i < 1000; ++i)
    for (int b = 0; b < 256; ++b)
      pattern += static_cast<char>(b);
  EXPECT_EQ(filesBelow(player), (std::map<std::string, std::string>{
                                    {"plain.txt", "plain"},
                                    {said, "one character"},
                                    {big, pattern},
                                }));
}
