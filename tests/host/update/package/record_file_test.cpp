// The update's record files read with a bound: what is read whole, what is
// too long, and that nothing past the bound is held; the kept package's
// record at its longest and one byte past it.

#include <string>

#include "platform/host/host_services.h"
#include "tests/host/test_support.h"
#include "tests/host/unzip_test_archives.h"
#include "update/kept_package.h"
#include "update/package/apply_journal.h"
#include "update/package/length_prefixed.h"
#include "update/package/record_file.h"

namespace {

using namespace testing_support;
using update::RecordRead;

class RecordFileTest : public LauncherTest {
 protected:
  std::string path(const char* name) const { return (runDir() / name).string(); }
};

TEST_F(RecordFileTest, AFileIsReadWholeUpToItsBoundAndNoFurther) {
  struct Row {
    const char* what;
    std::string bytes;
    std::size_t bound;
    RecordRead status;
  };
  const std::string kilobyte(1024, 'k');
  const Row rows[] = {
      {"empty", "", 16, RecordRead::kRead},
      {"empty, with no room at all", "", 0, RecordRead::kRead},
      {"one byte with no room", "x", 0, RecordRead::kTooLong},
      {"a byte short of the bound", std::string(15, 'a'), 16, RecordRead::kRead},
      {"at the bound", std::string(16, 'a'), 16, RecordRead::kRead},
      {"a byte past the bound", std::string(17, 'a'), 16, RecordRead::kTooLong},
      // Past the first read's buffer, so that it has to grow.
      {"ten kilobytes at the bound", std::string(10 * 1024, 'b'), 10 * 1024, RecordRead::kRead},
      {"ten kilobytes, one byte past", std::string(10 * 1024 + 1, 'b'), 10 * 1024,
       RecordRead::kTooLong},
      {"every byte value", std::string("\x00\xff\r\n\x1a", 5), 5, RecordRead::kRead},
  };
  for (const Row& row : rows) {
    writeFile("record", row.bytes);
    const update::RecordBytes read = update::readRecordFile(os.files, path("record"), row.bound);
    EXPECT_EQ(read.status, row.status) << row.what;
    const std::string got(read.bytes.begin(), read.bytes.end());
    EXPECT_EQ(got, row.status == RecordRead::kRead ? row.bytes : "") << row.what;
    EXPECT_LE(read.bytes.capacity(), row.bound) << row.what << ": more held than the bound";
  }
}

TEST_F(RecordFileTest, WhatCannotBeReadWholeIsUnreadableAndAnEndlessFileStops) {
  EXPECT_EQ(update::readRecordFile(os.files, path("missing"), 64).status, RecordRead::kUnreadable);
  std::filesystem::create_directory(runDir() / "folder");
  EXPECT_EQ(update::readRecordFile(os.files, path("folder"), 64).status, RecordRead::kUnreadable);
  // A device that never ends: the read stops one byte past the bound.
  const update::RecordBytes endless = update::readRecordFile(os.files, "/dev/zero", 100 * 1000);
  EXPECT_EQ(endless.status, RecordRead::kTooLong);
  EXPECT_TRUE(endless.bytes.empty());
}

// The kept record: a value longer than the reader takes is no record, and
// so is a file longer than the longest record there can be, however its
// values read; the file stays where it is either way.
class KeptRecordTest : public LauncherTest {
 protected:
  // A record with `value` in every field, its size (7) written in
  // `sizeDigits` digits: leading zeros read as the number.
  static std::string record(const std::string& value, std::size_t sizeDigits) {
    std::string text = "tavoro-kept-update/1\n";
    for (int field = 0; field < update::kVersionFieldCount; ++field)
      text += std::to_string(value.size()) + ":" + value + "\n";
    return text + std::string(sizeDigits - 1, '0') + "7\n";
  }
};

TEST_F(KeptRecordTest, TheLongestRecordReadsAndOneBytePastItIsNone) {
  const std::string longest(update::kMaxKeptValueBytes, 'v');
  struct Row {
    const char* what;
    std::string text;
    bool read;
  };
  const Row rows[] = {
      {"short", record("1.2", 1), true},
      {"every value at its longest", record(longest, 20), true},
      {"one byte past the longest", record(longest, 21), false},
  };
  ASSERT_EQ(rows[1].text.size(), update::kMaxKeptRecordBytes);
  ASSERT_EQ(rows[2].text.size(), update::kMaxKeptRecordBytes + 1);
  const std::string name = update::kKeptPackageFileName;
  for (const Row& row : rows) {
    writeFile(name, row.text);
    const std::optional<update::KeptPackage> kept =
        update::readKeptPackage(os.files, runDir().string());
    EXPECT_EQ(kept.has_value(), row.read) << row.what;
    if (kept) {
      EXPECT_EQ(kept->size, 7) << row.what;
      EXPECT_EQ(kept->versionFields[update::kPackageSignature].size(),
                row.text.size() > 1000 ? update::kMaxKeptValueBytes : 3)
          << row.what;
    }
    EXPECT_EQ(readBytes(runDir() / name), row.text) << row.what << ": the file stays as it was";
  }
}

TEST_F(KeptRecordTest, WhatIsKeptReadsBack) {
  update::KeptPackage kept;
  for (int field = 0; field < update::kVersionFieldCount; ++field)
    kept.versionFields[field] = "value " + std::to_string(field) + "\nwith a line end";
  kept.size = 123456789012;
  ASSERT_TRUE(update::keepPackage(os.files, runDir().string(), kept));
  const std::optional<update::KeptPackage> read =
      update::readKeptPackage(os.files, runDir().string());
  ASSERT_TRUE(read);
  EXPECT_EQ(read->versionFields, kept.versionFields);
  EXPECT_EQ(read->size, kept.size);
  // A record an earlier launcher kept, before the entry list's fields,
  // still reads: those fields are empty.
  std::string earlier(update::kKeptRecordHeader);
  for (int field = 0; field <= update::kUnpackedSize; ++field)
    earlier +=
        std::to_string(kept.versionFields[field].size()) + ":" + kept.versionFields[field] + "\n";
  writeBytes(runDir() / update::kKeptPackageFileName, earlier + "77\n");
  const std::optional<update::KeptPackage> older =
      update::readKeptPackage(os.files, runDir().string());
  ASSERT_TRUE(older);
  EXPECT_EQ(older->size, 77);
  EXPECT_EQ(older->versionFields[update::kUnpackedSize], kept.versionFields[update::kUnpackedSize]);
  EXPECT_EQ(older->versionFields[update::kEntryList], "");
  EXPECT_EQ(older->versionFields[update::kSignatureWithEntries], "");
}

// Sizes in records are 64 bits wherever the launcher runs: a 6 GiB file
// reads back, a number past what a file's size can be does not.
TEST(LengthPrefixedReader, FileSizesReadUpToTheLargestAFileCanHave) {
  struct Row {
    const char* text;
    std::optional<std::uint64_t> number;
    std::optional<std::int64_t> fileSize;
  };
  const Row rows[] = {
      {"0", 0, 0},
      {"4294967295", 4294967295u, 4294967295},
      {"4294967296", 4294967296u, 4294967296},
      {"6442450951", 6442450951u, 6442450951},
      {"9223372036854775807", 9223372036854775807u, 9223372036854775807},
      {"9223372036854775808", 9223372036854775808u, std::nullopt},
      {"18446744073709551615", 18446744073709551615u, std::nullopt},
      {"18446744073709551616", std::nullopt, std::nullopt},
      {"-1", std::nullopt, std::nullopt},
      {"", std::nullopt, std::nullopt},
  };
  for (const Row& row : rows) {
    update::LengthPrefixedReader forNumber(row.text, 16);
    EXPECT_EQ(forNumber.number(), row.number) << row.text;
    update::LengthPrefixedReader forSize(row.text, 16);
    EXPECT_EQ(forSize.fileSize(), row.fileSize) << row.text;
  }
  update::ApplyPlan plan;
  plan.stagedFiles = {"a.pak.unpacking"};
  plan.steps = {{"a.pak.unpacking", "a.pak", "", 6442450951}};
  plan.complete = true;
  const std::optional<update::ApplyPlan> read = update::parseJournal(update::journalText(plan));
  ASSERT_TRUE(read);
  EXPECT_EQ(read->steps.at(0).size, 6442450951);
  std::string tooLarge = update::journalText(plan);
  tooLarge.replace(tooLarge.rfind("6442450951"), 10, "9223372036854775808");
  EXPECT_FALSE(update::parseJournal(tooLarge));
}

}  // namespace
