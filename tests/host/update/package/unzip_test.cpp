#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <stdexcept>

#include "base/file_name.h"
#include "base/path.h"
#include "tests/host/test_support.h"
#include "tests/host/unzip_test_archives.h"
#include "update/package/apply_package.h"
#include "update/package/staged_apply.h"
#include "update/package/unzip.h"

namespace {

using namespace testing_support;
using Progress = std::vector<int>;

// GBK bytes of 说明 and 中文; 0x81 0x5C is one character whose second byte
// is a backslash.
const std::string kShuoMing = "\xCB\xB5\xC3\xF7";
const std::string kZhongWen = "\xD6\xD0\xCE\xC4";
const std::string kTrailBackslash = "\x81\x5C";

std::string mixedBytes(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  unsigned state = seed;
  for (std::size_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    // Alternating runs of noise and text-like repetition.
    bytes[i] = ((i / 4096) % 2 == 0) ? static_cast<char>(state >> 16) : "abcabd "[i % 7];
  }
  return bytes;
}

std::size_t openDescriptorCount() {
  std::size_t count = 0;
  DIR* listing = opendir("/proc/self/fd");
  while (readdir(listing) != nullptr)
    ++count;
  closedir(listing);
  return count;
}

class UnzipTest : public LauncherTest {
 protected:
  fs::path game() const { return runDir() / "game"; }
  fs::path archives() const { return runDir() / "archives"; }
  fs::path source() const { return runDir() / "source"; }

  void SetUp() override {
    LauncherTest::SetUp();
    fs::create_directories(archives());
    fs::create_directories(source());
  }

  // The launcher passes its folder with a trailing backslash.
  Progress unpack(const fs::path& archive, const fs::path& destination) {
    Progress reports;
    update::applyPackageNow(os.files, os.namedEvents, os.codec, archive.string(),
                            destination.string() + "\\",
                            [&](int percent) { reports.push_back(percent); });
    return reports;
  }
  Progress unpack(const fs::path& archive) { return unpack(archive, game()); }

  // Every path below `dir`, relative, links not followed.
  static std::set<std::string> tree(const fs::path& dir) {
    std::set<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
      paths.insert(fs::relative(entry.path(), dir).string());
    return paths;
  }
};

TEST_F(UnzipTest, InfoZipArchiveWithGbkNamesAndFoldersReportsEachEntry) {
  const std::string nested = "dir/sub/" + kShuoMing + ".txt";
  const std::string binary = mixedBytes(700 * 1024, 1);  // several copy buffers
  writeBytes(source() / nested, "nested text");
  writeBytes(source() / (kTrailBackslash + ".bin"), binary);
  zipWithInfoZip(source(), archives() / "p.zip",
                 {"dir/", "dir/sub/", nested, kTrailBackslash + ".bin"});

  EXPECT_EQ(unpack(archives() / "p.zip"), (Progress{0, 25, 50, 75, 100}));
  EXPECT_EQ(readBytes(game() / nested), "nested text");
  EXPECT_EQ(readBytes(game() / (kTrailBackslash + ".bin")), binary);
  EXPECT_EQ(tree(game()),
            (std::set<std::string>{"dir", "dir/sub", nested, kTrailBackslash + ".bin"}));
}

TEST_F(UnzipTest, PythonUtf8FlaggedNamesArriveAsGbk) {
  zipWithPython(archives() / "p.zip",
                {{"\xE4\xB8\xAD\xE6\x96\x87/\xE8\xAF\xB4\xE6\x98\x8E.txt", "utf8"},
                 {"readme.txt", "plain"},
                 {"z.txt", ""}});

  EXPECT_EQ(unpack(archives() / "p.zip"), (Progress{0, 33, 66, 100}));
  EXPECT_EQ(readBytes(game() / kZhongWen / (kShuoMing + ".txt")), "utf8");
  EXPECT_EQ(readBytes(game() / "readme.txt"), "plain");
  EXPECT_TRUE(fs::is_regular_file(game() / "z.txt"));
  EXPECT_EQ(fs::file_size(game() / "z.txt"), 0u);
}

// A UTF-8 name code page 936 cannot hold would be written under another
// name: the package is refused before anything is written. The euro sign
// is one of 936's own characters.
TEST_F(UnzipTest, Utf8NamesCodePage936LacksWriteNothing) {
  zipWithPython(archives() / "euro.zip", {{"\xE2\x82\xAC.txt", "euro"}});
  EXPECT_EQ(unpack(archives() / "euro.zip"), (Progress{0, 100}));
  EXPECT_EQ(readBytes(game() / "\x80.txt"), "euro");
  fs::remove(game() / "\x80.txt");

  writeBytes(game() / "readme.txt", "old");
  for (const char* name : {"\xED\x95\x9C.txt", "data/\xC3\x80.pak", "\xF0\x9F\x98\x80"}) {
    zipWithPython(archives() / "p.zip", {{"readme.txt", "new"}, {name, "x"}});
    EXPECT_EQ(unpack(archives() / "p.zip"), (Progress{100})) << name;
    EXPECT_EQ(tree(game()), std::set<std::string>{"readme.txt"}) << name;
    EXPECT_EQ(readBytes(game() / "readme.txt"), "old") << name;
  }
}

TEST_F(UnzipTest, SevenZipArchiveUnpacksEveryFile) {
  const std::string big = mixedBytes(1 << 20, 7);
  writeBytes(source() / "launcher.exe", big);
  writeBytes(source() / "data/levels/one.cfg", "level=1");
  writeBytes(source() / "data/empty.txt", "");
  zipWith7z(source(), archives() / "p.zip", {"launcher.exe", "data"});

  const Progress reports = unpack(archives() / "p.zip");
  ASSERT_GE(reports.size(), 4u);
  Progress expected;
  const int entries = static_cast<int>(reports.size()) - 1;
  for (int i = 0; i < entries; ++i)
    expected.push_back(i * 100 / entries);
  expected.push_back(100);
  EXPECT_EQ(reports, expected);
  EXPECT_EQ(readBytes(game() / "launcher.exe"), big);
  EXPECT_EQ(readBytes(game() / "data/levels/one.cfg"), "level=1");
  EXPECT_TRUE(fs::is_regular_file(game() / "data/empty.txt"));
}

TEST_F(UnzipTest, ReplacesReadOnlyFileAndCreatesMissingDestination) {
  const fs::path destination = runDir() / "new" / "deeper";
  writeBytes(destination / "config.ini", "a much longer old content than the new one");
  fs::permissions(destination / "config.ini", fs::perms::owner_read | fs::perms::group_read);
  zipWithPython(archives() / "p.zip", {{"config.ini", "new"}});
  EXPECT_EQ(unpack(archives() / "p.zip", destination), (Progress{0, 100}));
  EXPECT_EQ(readBytes(destination / "config.ini"), "new");
  EXPECT_EQ(tree(destination), (std::set<std::string>{"config.ini"}));

  fs::remove_all(runDir() / "new");
  EXPECT_EQ(unpack(archives() / "p.zip", destination), (Progress{0, 100}));
  EXPECT_EQ(readBytes(destination / "config.ini"), "new");
}

// The host's files keep the Windows rules the update meets: what other
// tests rely on when they put a read-only or a held file in the way.
TEST_F(UnzipTest, HostFilesKeepTheWindowsRules) {
  platform::host::LocalFiles& files = os.files;
  const std::string path = (game() / "rule.txt").string();
  const std::string other = (game() / "other.txt").string();
  writeBytes(game() / "rule.txt", "kept");
  writeBytes(game() / "other.txt", "other");

  // Each refusal with the code Windows gives for it.
  ASSERT_TRUE(files.setAttributes(path, 0x1));  // read-only
  EXPECT_FALSE(files.remove(path));
  EXPECT_EQ(files.lastError(), 5u) << "access denied";
  EXPECT_FALSE(files.replace(other, path));
  EXPECT_EQ(files.lastError(), 5u);
  EXPECT_EQ(files.create(path), nullptr);
  ASSERT_TRUE(files.setAttributes(path, platform::kNormalFileAttributes));
  EXPECT_NE(files.create(path), nullptr) << "writable again";
  writeBytes(game() / "rule.txt", "kept");

  {
    const auto hold = platform::host::LocalFiles::holdWithoutSharing(path);
    EXPECT_FALSE(files.remove(path));
    EXPECT_EQ(files.lastError(), 32u) << "a sharing violation";
    EXPECT_FALSE(files.replace(other, path));
    EXPECT_EQ(files.lastError(), 32u);
    EXPECT_FALSE(files.move(path, (game() / "moved.txt").string()));
    EXPECT_EQ(files.lastError(), 32u);
    EXPECT_EQ(files.create(path), nullptr);
    EXPECT_EQ(readBytes(game() / "rule.txt"), "kept");
  }
  EXPECT_FALSE(files.move(other, path)) << "a move never replaces";
  EXPECT_EQ(files.lastError(), 183u) << "already exists";
  EXPECT_TRUE(files.replace(other, path)) << "the hold has gone";
  EXPECT_EQ(readBytes(game() / "rule.txt"), "other");
  EXPECT_TRUE(files.remove(path));
  EXPECT_FALSE(files.remove(path));
  EXPECT_EQ(files.lastError(), 2u) << "not found";
}

TEST_F(UnzipTest, UnreadableArchivesReportOnlyZero) {
  writeBytes(archives() / "garbage.zip", mixedBytes(5000, 3));
  zipWithPython(archives() / "empty.zip", {});
  writeBytes(archives() / "zero.zip", "");
  writeBytes(source() / "a.txt", mixedBytes(100000, 4));
  writeBytes(source() / "b.txt", "b");
  zipWithInfoZip(source(), archives() / "whole.zip", {"a.txt", "b.txt"});
  const std::string whole = readBytes(archives() / "whole.zip");
  writeBytes(archives() / "truncated.zip", whole.substr(0, whole.size() * 6 / 10));

  for (const char* name :
       {"missing.zip", "garbage.zip", "empty.zip", "zero.zip", "truncated.zip"}) {
    EXPECT_EQ(unpack(archives() / name), (Progress{0})) << name;
    EXPECT_TRUE(tree(game()).empty()) << name;
  }
}

// One entry that cannot go into place and nothing of the package does: the
// folder is as it was, staged files and created folders gone.
TEST_F(UnzipTest, AnEntryThatCannotBePlacedLeavesTheFolderAsItWas) {
  zipWithPython(archives() / "p.zip",
                {{"a.txt", "file"}, {"a.txt/b.txt", "under a file"}, {"c.txt", "late"}});
  EXPECT_EQ(unpack(archives() / "p.zip"), (Progress{0, 33, 66, 100}));
  EXPECT_EQ(tree(game()), std::set<std::string>{});

  // A folder where the file goes. A folder that was there before, empty,
  // stays: only folders the update made go.
  fs::create_directories(game() / "d.txt" / "kept");
  fs::create_directories(game() / "Saves");
  zipWithPython(archives() / "q.zip",
                {{"new/e.txt", "e"}, {"Saves/s.txt", "s"}, {"d.txt", "file"}});
  EXPECT_EQ(unpack(archives() / "q.zip"), (Progress{0, 33, 66, 100}));
  EXPECT_EQ(tree(game()), (std::set<std::string>{"d.txt", "d.txt/kept", "Saves"}));

  // A file the running game holds without sharing: everything stays old,
  // also the entries before it.
  writeBytes(game() / "e.txt", "old e");
  writeBytes(game() / "held.pak", "the game's own");
  const auto hold = platform::host::LocalFiles::holdWithoutSharing((game() / "held.pak").string());
  zipWithPython(archives() / "r.zip", {{"e.txt", "e"}, {"held.pak", "new"}, {"f.txt", "f"}});
  EXPECT_EQ(unpack(archives() / "r.zip"), (Progress{0, 33, 66, 100}));
  EXPECT_EQ(readBytes(game() / "held.pak"), "the game's own");
  EXPECT_EQ(readBytes(game() / "e.txt"), "old e");
  EXPECT_EQ(tree(game()),
            (std::set<std::string>{"d.txt", "d.txt/kept", "Saves", "e.txt", "held.pak"}));
}

// The staging name is the plain one or one of the numbered ones up to 99:
// with all of them taken by a player's files, nothing is written.
TEST_F(UnzipTest, EveryStagingNameTakenWritesNothing) {
  const std::string plain = (game() / "a.txt.unpacking").string();
  writeBytes(plain, "taken");
  for (int number = 1; number <= 99; ++number)
    writeBytes(base::numberedFileName(plain, number), "taken");
  zipWithPython(archives() / "p.zip", {{"a.txt", "new"}});
  EXPECT_EQ(unpack(archives() / "p.zip"), (Progress{100}));
  EXPECT_FALSE(fs::exists(game() / "a.txt"));
  EXPECT_EQ(tree(game()).size(), 100u);

  fs::remove(base::numberedFileName(plain, 99));
  EXPECT_EQ(unpack(archives() / "p.zip"), (Progress{0, 100}));
  EXPECT_EQ(readBytes(game() / "a.txt"), "new");
}

// Two entries for one file (letter case aside): which one would win is
// no release's intent, so none is written.
TEST_F(UnzipTest, TwoEntriesForOneFileWriteNothing) {
  writeBytes(game() / "Data" / "a.pak", "old");
  zipWithPython(archives() / "p.zip", {{"Data/a.pak", "one"}, {"data\\A.PAK", "two"}});
  EXPECT_EQ(unpack(archives() / "p.zip"), (Progress{100}));
  EXPECT_EQ(readBytes(game() / "Data" / "a.pak"), "old");
  EXPECT_EQ(tree(game()), (std::set<std::string>{"Data", "Data/a.pak"}));
}

// A damaged entry must leave the file it would replace intact, leave no
// partial file behind, write none of the entries before it, and stop the
// unpack with a final 100.
class DamagedEntryTest : public UnzipTest {
 protected:
  static constexpr const char* kVictimContent = "the good file that must survive";

  void makeArchive(bool deflated) {
    zipWithPython(
        archives() / "p.zip",
        {{"first.txt", "first"}, {"victim.txt", mixedBytes(200000, 9)}, {"after.txt", "after"}},
        deflated);
    writeBytes(game() / "victim.txt", kVictimContent);
    bytes = readBytes(archives() / "p.zip");
    victim = locateEntry(bytes, "victim.txt");
    ASSERT_GT(victim.compressedSize, 100u);
  }

  void expectVictimSurvives() {
    writeBytes(archives() / "p.zip", bytes);
    EXPECT_EQ(unpack(archives() / "p.zip"), (Progress{0, 100}));
    EXPECT_EQ(readBytes(game() / "victim.txt"), kVictimContent);
    EXPECT_EQ(tree(game()), (std::set<std::string>{"victim.txt"}));
  }

  // Writes a size field of the victim into its local and its central
  // header alike, so the two agree and only the data contradicts them.
  enum class SizeField { Compressed, Uncompressed };
  void declareSize(SizeField field, std::uint32_t size) {
    const bool compressed = field == SizeField::Compressed;
    writeLittle(bytes, victim.localHeader + (compressed ? 18 : 22), 4, size);
    writeLittle(bytes, victim.centralHeader + (compressed ? 20 : 24), 4, size);
  }

  std::string bytes;
  StoredEntry victim{};
};

TEST_F(DamagedEntryTest, FlippedByteInStoredDataFailsCrc) {
  makeArchive(false);
  bytes[victim.dataStart + victim.compressedSize / 2] ^= 0x01;
  expectVictimSurvives();
}

TEST_F(DamagedEntryTest, FlippedByteInDeflatedData) {
  makeArchive(true);
  bytes[victim.dataStart + victim.compressedSize / 2] ^= 0x40;
  expectVictimSurvives();
}

TEST_F(DamagedEntryTest, DeflatedDataCutShort) {
  makeArchive(true);
  declareSize(SizeField::Compressed, victim.compressedSize / 2);
  expectVictimSurvives();
}

TEST_F(DamagedEntryTest, StoredDataCutShort) {
  makeArchive(false);
  declareSize(SizeField::Compressed, victim.compressedSize / 2);
  expectVictimSurvives();
}

TEST_F(DamagedEntryTest, StoredDataShorterThanItsDeclaredSize) {
  makeArchive(false);
  declareSize(SizeField::Uncompressed, victim.compressedSize + 10);
  expectVictimSurvives();
}

// A few hundred bytes of package must not become megabytes on the disk:
// writing stops at the declared size, whatever the data inflates to.
TEST_F(DamagedEntryTest, DeflatedDataLongerThanItsDeclaredSize) {
  makeArchive(true);
  writeLittle(bytes, victim.localHeader + 22, 4, 10);
  writeLittle(bytes, victim.centralHeader + 24, 4, 10);
  expectVictimSurvives();
  EXPECT_LT(os.files.bytesWritten(), 100) << "written beyond the declared size";
}

// The unpacker's temporary file takes a name no file has: neither an entry
// written before it nor a player's file is replaced or removed, and no
// temporary file stays.
TEST_F(UnzipTest, FilesNamedLikeTheTemporaryFileSurvive) {
  zipWithPython(archives() / "p.zip", {{"x.unpacking", "entry written first"},
                                       {"x", "entry written second"},
                                       {"save.dat", "new save"}});
  writeBytes(game() / "save.dat.unpacking", "the player's own file");
  EXPECT_EQ(unpack(archives() / "p.zip").back(), 100);
  EXPECT_EQ(readBytes(game() / "x.unpacking"), "entry written first");
  EXPECT_EQ(readBytes(game() / "x"), "entry written second");
  EXPECT_EQ(readBytes(game() / "save.dat"), "new save");
  EXPECT_EQ(readBytes(game() / "save.dat.unpacking"), "the player's own file");
  EXPECT_EQ(tree(game()),
            (std::set<std::string>{"x.unpacking", "x", "save.dat", "save.dat.unpacking"}));
}

// Names that reach outside the destination: the unpack stops there and
// nothing appears anywhere but in the destination. The working directory is
// moved into the test folder so that relative escapes ("C:/x" on the host)
// would show up in the listing too.
class ZipSlipTest : public UnzipTest, public ::testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override {
    UnzipTest::SetUp();
    fs::create_directories(runDir() / "cwd");
    previousDir_ = fs::current_path();
    fs::current_path(runDir() / "cwd");
  }
  void TearDown() override {
    fs::current_path(previousDir_);
    UnzipTest::TearDown();
  }

  // Every name is checked before anything is written.
  void expectNothingWritten(const fs::path& archive) {
    const std::set<std::string> before = tree(runDir());
    EXPECT_EQ(unpack(archive), (Progress{100}));
    std::set<std::string> expected = before;
    expected.insert("game");
    EXPECT_EQ(tree(runDir()), expected);
  }

 private:
  fs::path previousDir_;
};

TEST_P(ZipSlipTest, EscapingNameStopsTheUnpack) {
  const std::string name = GetParam();
  zipWithPython(archives() / "p.zip",
                {{"before.txt", "before"}, {name, "evil"}, {"after.txt", "after"}});
  expectNothingWritten(archives() / "p.zip");
  EXPECT_FALSE(fs::exists("/abs.txt"));
  EXPECT_FALSE(fs::exists("/server/share/x"));
  EXPECT_FALSE(fs::exists(fs::temp_directory_path() / "evil.txt"));
}

INSTANTIATE_TEST_SUITE_P(Names, ZipSlipTest,
                         ::testing::Values("../evil.txt", "a/../../evil", "..\\evil",
                                           "sub\\..\\..\\evil.txt", "/abs.txt", "\\abs.txt",
                                           "C:\\x.txt", "C:/x", "c:x", "\\\\server\\share\\x",
                                           "//server/share/x", "a/.../evil", "../"));

TEST_F(ZipSlipTest, SymbolicLinkEntryStopsTheUnpack) {
  writeBytes(source() / "before.txt", "before");
  writeBytes(source() / "after.txt", "after");
  fs::create_symlink("../../outside", source() / "link");
  zipWithInfoZip(source(), archives() / "p.zip", {"before.txt", "link", "after.txt"}, "-y");
  expectNothingWritten(archives() / "p.zip");
}

// The end of the program amid the unpack stands for a kill: what is left
// is a staged file the journal names, and the next start removes it.
TEST_F(UnzipTest, HandlerThatEndsTheProgramLeavesNothingOpenOrHalfWritten) {
  writeBytes(source() / "a.bin", mixedBytes(300000, 5));
  writeBytes(source() / "b.bin", mixedBytes(300000, 6));
  zipWithInfoZip(source(), archives() / "p.zip", {"a.bin", "b.bin"});
  const std::size_t descriptorsBefore = openDescriptorCount();

  int calls = 0;
  EXPECT_THROW(update::applyPackageNow(os.files, os.namedEvents, os.codec,
                                       (archives() / "p.zip").string(), game().string() + "\\",
                                       [&](int) {
                                         ++calls;
                                         throw platform::host::ProgramEnded{0};
                                       }),
               platform::host::ProgramEnded);

  EXPECT_EQ(calls, 1);
  EXPECT_EQ(openDescriptorCount(), descriptorsBefore);
  EXPECT_EQ(tree(game()), (std::set<std::string>{"a.bin.unpacking", "tavoro-update.journal"}));
  EXPECT_EQ(update::recoverInterruptedUpdate(os.files, os.namedEvents, game().string()),
            update::Recovery::kUndone);
  EXPECT_EQ(tree(game()), std::set<std::string>{});
}

// The final report may delete the package and end the program; Windows
// cannot delete a package that is still open.
TEST_F(UnzipTest, ArchiveIsClosedBeforeTheFinalReport) {
  zipWithPython(archives() / "p.zip", {{"a.txt", "a"}, {"b.txt", "b"}});
  zipWithPython(archives() / "stops.zip", {{"a.txt", "a"}, {"../b.txt", "b"}});
  zipWithPython(archives() / "empty.zip", {});
  for (const char* name : {"p.zip", "stops.zip", "empty.zip"}) {
    const std::size_t descriptorsBefore = openDescriptorCount();
    std::size_t descriptorsAtLastReport = 0;
    update::applyPackageNow(os.files, os.namedEvents, os.codec, (archives() / name).string(),
                            game().string() + "\\",
                            [&](int) { descriptorsAtLastReport = openDescriptorCount(); });
    EXPECT_EQ(descriptorsAtLastReport, descriptorsBefore) << name;
  }
}

// The name rules on their own, including the ones no archiver above makes.
TEST(UnzipNames, SplitsAtBothSeparatorsButNotInsideTwoByteCharacters) {
  auto path = base::parseEntryPath("a/b\\c.txt");
  ASSERT_TRUE(path);
  EXPECT_EQ(path->folders, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(path->fileName, "c.txt");

  path = base::parseEntryPath(kShuoMing + "/" + kTrailBackslash + "x\\" + kTrailBackslash);
  ASSERT_TRUE(path);
  EXPECT_EQ(path->folders, (std::vector<std::string>{kShuoMing, kTrailBackslash + "x"}));
  EXPECT_EQ(path->fileName, kTrailBackslash);

  path = base::parseEntryPath("./dir//sub/");
  ASSERT_TRUE(path);
  EXPECT_EQ(path->folders, (std::vector<std::string>{"dir", "sub"}));
  EXPECT_EQ(path->fileName, "");
}

TEST(UnzipNames, RefusesNamesWindowsWouldNotWriteWhereTheySay) {
  // 0x80 and 0xFF are single characters in code page 936, never the first
  // byte of two: they hide neither a ":" nor a separator.
  for (const char* name :
       {"", "...", "a/. ./b", "CON", "con.txt", "a/NUL/b", "com1.log", "a:b", "file.txt:stream",
        "x?.txt", "tab\tname", "pipe|", "lpt9", "CON .txt", "nul.tar.gz", "ok.txt\xFF:zone",
        "ok.txt\x80:zone", "a\xFF\\..\\..\\x"}) {
    EXPECT_FALSE(base::parseEntryPath(name)) << name;
  }
  for (const char* name : {"CONSOLE.txt", "nul2", "a.b.c", ".hidden", "com10"})
    EXPECT_TRUE(base::parseEntryPath(name)) << name;
}

}  // namespace
