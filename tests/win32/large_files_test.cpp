// Sizes and offsets past 4 GiB in the 32-bit launcher, on the real API:
// files, the resume note, the journal and the kept record, and a ZIP64
// archive whose entries lie past 4 GiB, read and unpacked. The files are
// sparse: a hole of 4.5 GiB costs no disk.

#include <gtest/gtest.h>
#include <windows.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/win32_services.h"
#include "tests/win32/scratch_folder.h"
#include "update/download/resume_note.h"
#include "update/kept_package.h"
#include "update/package/apply_journal.h"
#include "update/package/apply_package.h"
#include "update/package/unzip_archive.h"

namespace {

constexpr std::uint64_t kHole = 4608ull << 20;  // 4.5 GiB

// Writes `bytes` at `offset` of the file, making it as needed; the bytes
// skipped are a hole.
void writeAt(const std::string& path, std::uint64_t offset, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  DWORD written = 0;
  EXPECT_TRUE(SetFilePointerEx(file, at, nullptr, FILE_BEGIN));
  EXPECT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  EXPECT_EQ(written, bytes.size());
  CloseHandle(file);
}

std::string little(std::uint64_t value, int width) {
  std::string bytes;
  for (int i = 0; i < width; ++i)
    bytes += static_cast<char>(value >> (8 * i));
  return bytes;
}

// A ZIP64 archive of stored entries that starts at `base` of its file (the
// bytes before it are no entry's, as a self-extractor's stub): each central
// record gives its local header's offset in a ZIP64 extra field, and the
// end records are ZIP64 ones (APPNOTE 4.3.7, 4.3.12, 4.3.14 to 4.3.16).
std::string zip64Archive(std::uint64_t base,
                         const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string locals;
  std::string central;
  for (const auto& [name, data] : entries) {
    const auto crc =
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
    const std::uint64_t offset = base + locals.size();
    const std::string common = little(20, 2) + little(0, 2) + little(0, 2) + little(0, 4) +
                               little(crc, 4) + little(data.size(), 4) + little(data.size(), 4) +
                               little(name.size(), 2);
    locals += little(0x04034b50, 4) + common + little(0, 2) + name + data;
    central += little(0x02014b50, 4) + little(45, 2) + common + little(12, 2) + little(0, 2) +
               little(0, 2) + little(0, 2) + little(0, 4) + little(0xFFFFFFFF, 4) + name +
               little(0x0001, 2) + little(8, 2) + little(offset, 8);
  }
  const std::uint64_t directoryAt = base + locals.size();
  const std::uint64_t zip64EndAt = directoryAt + central.size();
  const std::string zip64End = little(0x06064b50, 4) + little(44, 8) + little(45, 2) +
                               little(45, 2) + little(0, 4) + little(0, 4) +
                               little(entries.size(), 8) + little(entries.size(), 8) +
                               little(central.size(), 8) + little(directoryAt, 8);
  const std::string locator =
      little(0x07064b50, 4) + little(0, 4) + little(zip64EndAt, 8) + little(1, 4);
  const std::string end = little(0x06054b50, 4) + little(0, 4) + little(0xFFFF, 2) +
                          little(0xFFFF, 2) + little(0xFFFFFFFF, 4) + little(0xFFFFFFFF, 4) +
                          little(0, 2);
  return locals + central + zip64End + locator + end;
}

class LargeFiles : public ::testing::Test {
 protected:
  test::ScratchFolder folder_{"tavoro-large-files"};
  platform::Files& files_ = platform::win32::files();
  std::string path(const char* name) const { return folder_.path() + "\\" + name; }
};

TEST_F(LargeFiles, SizeAndAppendGoPast4GiB) {
  const std::string big = path("big.pak");
  writeAt(big, kHole, "tail");
  EXPECT_EQ(files_.size(big), static_cast<std::int64_t>(kHole + 4));
  {
    auto out = files_.openForAppend(big);
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(out->write("more", 4));
    EXPECT_TRUE(out->close());
  }
  EXPECT_EQ(files_.size(big), static_cast<std::int64_t>(kHole + 8));
}

TEST_F(LargeFiles, RecordsKeepSizesPast4GiB) {
  const std::int64_t size = 6'442'450'944 + 7;  // 6 GiB and a little
  const update::ResumeNote note{"http://h/p.zip", "\"etag\"", size, "tag"};
  ASSERT_TRUE(update::writeResumeNote(files_, path("p.zip.tmp"), note));
  const std::optional<update::ResumeNote> readNote =
      update::readResumeNote(files_, path("p.zip.tmp"));
  ASSERT_TRUE(readNote);
  EXPECT_EQ(readNote->size, size);

  update::KeptPackage kept;
  kept.size = size;
  ASSERT_TRUE(update::keepPackage(files_, folder_.path(), kept));
  const std::optional<update::KeptPackage> readKept =
      update::readKeptPackage(files_, folder_.path());
  ASSERT_TRUE(readKept);
  EXPECT_EQ(readKept->size, size);

  update::ApplyPlan plan;
  plan.stagedFiles = {"a.pak.unpacking"};
  plan.steps = {{"a.pak.unpacking", "a.pak", "", size}};
  plan.complete = true;
  const std::optional<update::ApplyPlan> readPlan = update::parseJournal(update::journalText(plan));
  ASSERT_TRUE(readPlan);
  ASSERT_EQ(readPlan->steps.size(), 1u);
  EXPECT_EQ(readPlan->steps[0].size, size);
}

TEST_F(LargeFiles, ZipArchiveReadsAndUnpacksEntriesPast4GiB) {
  const std::string archive = path("far.zip");
  const std::string pattern(300 * 1024, 'p');
  writeAt(archive, kHole,
          zip64Archive(kHole, {{"a.txt", "first"}, {"Data/b.pak", pattern}, {"c.txt", ""}}));
  const std::optional<update::ZipArchive> zip = update::ZipArchive::open(archive);
  ASSERT_TRUE(zip);
  ASSERT_EQ(zip->entryCount(), 3u);
  EXPECT_EQ(zip->entry(1)->name, "Data/b.pak");
  std::optional<update::EntryReader> reader = zip->openEntry(0);
  ASSERT_TRUE(reader);
  char data[16] = {};
  EXPECT_EQ(reader->read(data, sizeof data), 5);
  EXPECT_EQ(std::string(data), "first");
  EXPECT_EQ(reader->read(data, sizeof data), 0);

  const std::string player = path("player");
  const update::ApplyOutcome outcome =
      update::applyPackageNow(files_, platform::win32::namedEvents(), platform::win32::textCodec(),
                              archive, player, nullptr);
  ASSERT_EQ(outcome.kind, update::ApplyOutcomeKind::kApplied) << outcome.file;
  EXPECT_EQ(files_.size(player + "\\a.txt"), 5);
  EXPECT_EQ(files_.size(player + "\\Data\\b.pak"), static_cast<std::int64_t>(pattern.size()));
  EXPECT_EQ(files_.size(player + "\\c.txt"), 0);
}

}  // namespace
