// The ZIP records pack's name mending reads: known answers built byte by
// byte, the edge rows where a classic field holds its largest value.

#include "publisher/zip_records.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <vector>

namespace {

using publisher::CentralDirectory;
using Bytes = std::vector<std::uint8_t>;

void put(Bytes& bytes, std::size_t at, int width, std::uint64_t value) {
  for (int i = 0; i < width; ++i)
    bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

Bytes classicEndRecord(std::uint64_t entries, std::uint64_t size, std::uint64_t offset) {
  Bytes record(publisher::kEndRecordSize, 0);
  put(record, 0, 4, 0x06054b50);
  put(record, 8, 2, entries);
  put(record, 10, 2, entries);
  put(record, 12, 4, size);
  put(record, 16, 4, offset);
  return record;
}

TEST(ZipRecords, ClassicEndValuesStandAsWritten) {
  struct Row {
    std::uint64_t entries, size, offset;
  };
  // Without a locator, a field at its largest value is that value: libzip
  // writes exactly 65,535 entries, or a directory at 0xFFFFFFFF, so.
  for (const Row& row : {Row{3, 0x9A, 0x1234}, Row{0xFFFF, 0x10, 0x20},
                         Row{1, 0xFFFFFFFF, 0xFFFFFFFF}, Row{0, 0, 0}}) {
    const std::optional<CentralDirectory> end =
        publisher::classicEnd(classicEndRecord(row.entries, row.size, row.offset));
    ASSERT_TRUE(end);
    EXPECT_EQ(end->entries, row.entries);
    EXPECT_EQ(end->size, row.size);
    EXPECT_EQ(end->offset, row.offset);
  }
  // The comment's length follows the offset and is none of it.
  Bytes commented = classicEndRecord(1, 2, 0x8877'6655);
  put(commented, 20, 2, 0x0102);
  ASSERT_TRUE(publisher::classicEnd(commented));
  EXPECT_EQ(publisher::classicEnd(commented)->offset, 0x8877'6655u);
  EXPECT_EQ(publisher::classicEnd(commented)->size, 2u);
  Bytes other = classicEndRecord(1, 2, 3);
  other[2] = 0x06;  // the ZIP64 end record's signature
  EXPECT_FALSE(publisher::classicEnd(other));
  Bytes cut = classicEndRecord(1, 2, 3);
  cut.pop_back();
  EXPECT_FALSE(publisher::classicEnd(cut));
}

TEST(ZipRecords, LocatorGivesTheZip64EndRecordsPlace) {
  Bytes locator(publisher::kZip64LocatorSize, 0);
  put(locator, 0, 4, 0x07064b50);
  put(locator, 4, 4, 0);
  put(locator, 8, 8, 0x1'2345'6789ull);
  put(locator, 16, 4, 1);
  EXPECT_EQ(publisher::zip64EndOffset(locator), 0x1'2345'6789ull);
  put(locator, 8, 8, 0xFFFFFFFFull);
  EXPECT_EQ(publisher::zip64EndOffset(locator), 0xFFFFFFFFull);
  // A classic archive: the bytes before its end record are its directory's.
  Bytes central(publisher::kZip64LocatorSize, 0);
  put(central, 0, 4, 0x02014b50);
  EXPECT_FALSE(publisher::zip64EndOffset(central));
  EXPECT_FALSE(publisher::zip64EndOffset(Bytes(locator.begin(), locator.end() - 1)));
}

TEST(ZipRecords, Zip64EndRecordGivesTheWholeArchivesCounts) {
  Bytes record(publisher::kZip64EndRecordSize, 0);
  put(record, 0, 4, 0x06064b50);
  put(record, 4, 8, publisher::kZip64EndRecordSize - 12);
  put(record, 24, 8, 0x11111);  // this disk's entries: the same in one piece, told apart here
  put(record, 32, 8, 0x11170);  // 70,000 entries
  put(record, 40, 8, 0x2'0000'0001ull);
  put(record, 48, 8, 0x1'0000'0000ull);  // the directory starts at exactly 4 GiB
  const std::optional<CentralDirectory> end = publisher::zip64End(record);
  ASSERT_TRUE(end);
  EXPECT_EQ(end->entries, 70000u);
  EXPECT_EQ(end->size, 0x2'0000'0001ull);
  EXPECT_EQ(end->offset, 0x1'0000'0000ull);
  // Every one of the eight bytes counts.
  put(record, 32, 8, 0x0102'0304'0506'0708ull);
  put(record, 40, 8, 0x1112'1314'1516'1718ull);
  put(record, 48, 8, 0x2122'2324'2526'2728ull);
  ASSERT_TRUE(publisher::zip64End(record));
  EXPECT_EQ(publisher::zip64End(record)->entries, 0x0102'0304'0506'0708ull);
  EXPECT_EQ(publisher::zip64End(record)->size, 0x1112'1314'1516'1718ull);
  EXPECT_EQ(publisher::zip64End(record)->offset, 0x2122'2324'2526'2728ull);
  record[0] = 0x51;
  EXPECT_FALSE(publisher::zip64End(record));
  record[0] = 0x50;
  record.pop_back();
  EXPECT_FALSE(publisher::zip64End(record));
}

// One central record: sizes and offset in their classic fields, then a
// name and the extra fields given (id, data).
struct Extra {
  std::uint16_t id;
  Bytes data;
};
Bytes centralRecord(std::uint64_t compressed, std::uint64_t uncompressed, std::uint64_t offset,
                    const std::vector<Extra>& extras, std::size_t commentSize = 0) {
  Bytes record(publisher::kCentralRecordSize, 0);
  put(record, 0, 4, 0x02014b50);
  put(record, 20, 4, compressed);
  put(record, 24, 4, uncompressed);
  put(record, 28, 2, 5);
  put(record, 42, 4, offset);
  for (char c : std::string("a.txt"))
    record.push_back(static_cast<std::uint8_t>(c));
  std::size_t extraSize = 0;
  for (const Extra& extra : extras) {
    Bytes head(4, 0);
    put(head, 0, 2, extra.id);
    put(head, 2, 2, extra.data.size());
    record.insert(record.end(), head.begin(), head.end());
    record.insert(record.end(), extra.data.begin(), extra.data.end());
    extraSize += 4 + extra.data.size();
  }
  put(record, 30, 2, extraSize);
  put(record, 32, 2, commentSize);
  record.resize(record.size() + commentSize, 'c');
  return record;
}

Bytes sixtyFourBits(std::initializer_list<std::uint64_t> values) {
  Bytes data;
  for (std::uint64_t value : values) {
    Bytes one(8, 0);
    put(one, 0, 8, value);
    data.insert(data.end(), one.begin(), one.end());
  }
  return data;
}

TEST(ZipRecords, LocalHeaderOffsetComesFromWhereTheRecordPutsIt) {
  constexpr std::uint64_t kMax = 0xFFFFFFFF;
  const Extra timestamp{0x5455, Bytes(5, 1)};
  struct Row {
    const char* what;
    Bytes record;
    std::optional<std::uint64_t> offset;
  };
  const Row rows[] = {
      {"classic", centralRecord(10, 20, 0x1234, {}), 0x1234},
      {"classic beside a ZIP64 field for the sizes",
       centralRecord(kMax, kMax, 0x1234, {{0x0001, sixtyFourBits({7, 8})}}), 0x1234},
      {"only the offset in ZIP64",
       centralRecord(10, 20, kMax, {{0x0001, sixtyFourBits({0x1'0000'0010ull})}}),
       0x1'0000'0010ull},
      {"the uncompressed size first",
       centralRecord(10, kMax, kMax,
                     {{0x0001, sixtyFourBits({5'000'000'000ull, 0x2'0000'0000ull})}}),
       0x2'0000'0000ull},
      {"the compressed size first",
       centralRecord(kMax, 20, kMax,
                     {{0x0001, sixtyFourBits({5'000'000'000ull, 0x3'0000'0000ull})}}),
       0x3'0000'0000ull},
      {"both sizes first",
       centralRecord(kMax, kMax, kMax, {{0x0001, sixtyFourBits({1, 2, 0x4'0000'0000ull})}}),
       0x4'0000'0000ull},
      {"after an extra field longer than 255 bytes",
       centralRecord(10, 20, kMax,
                     {{0x9901, Bytes(300, 7)}, {0x0001, sixtyFourBits({0x7'0000'0000ull})}}),
       0x7'0000'0000ull},
      {"after another extra field",
       centralRecord(10, 20, kMax, {timestamp, {0x0001, sixtyFourBits({0x5'0000'0000ull})}}),
       0x5'0000'0000ull},
      {"the disk number after it is no matter",
       centralRecord(10, 20, kMax, {{0x0001, sixtyFourBits({0x6'0000'0000ull, 0})}}),
       0x6'0000'0000ull},
      {"exactly 0xFFFFFFFF without a ZIP64 field", centralRecord(10, 20, kMax, {timestamp}), kMax},
      {"ZIP64 field without the offset",
       centralRecord(kMax, kMax, kMax, {{0x0001, sixtyFourBits({1, 2})}}), std::nullopt},
      {"ZIP64 field cut inside the offset", centralRecord(10, 20, kMax, {{0x0001, Bytes(7, 0)}}),
       std::nullopt},
  };
  // Three bytes left after the last whole extra field are no field, though
  // they start like a ZIP64 one; what follows them (the comment) is not read.
  Bytes stray = centralRecord(10, 20, kMax, {timestamp}, 9);
  const std::size_t extraEnd = publisher::kCentralRecordSize + 5 + 9;
  stray.insert(stray.begin() + extraEnd, {0x01, 0x00, 0x08});
  put(stray, 30, 2, 9 + 3);
  // A ZIP64 field that claims one byte more than the extra fields hold is
  // no field: the byte after them (the comment's) is never read as its.
  Bytes overlong = centralRecord(10, 20, kMax, {{0x0001, sixtyFourBits({0x8'0000'0000ull})}}, 4);
  put(overlong, 30, 2, 4 + 7);
  put(overlong, 32, 2, 4 + 1);
  std::vector<Row> all(std::begin(rows), std::end(rows));
  all.push_back({"three stray bytes after the extra fields", stray, kMax});
  all.push_back({"a ZIP64 field one byte longer than its room", overlong, kMax});
  for (const Row& row : all) {
    EXPECT_EQ(publisher::centralRecordSize(row.record, 0), row.record.size()) << row.what;
    EXPECT_EQ(publisher::localHeaderOffset(row.record, 0), row.offset) << row.what;
  }
}

TEST(ZipRecords, CentralRecordSizeCountsNameExtraAndCommentWithinTheDirectory) {
  Bytes two = centralRecord(1, 1, 0, {{0x5455, Bytes(5, 0)}}, 3);
  const std::size_t first = two.size();
  EXPECT_EQ(first, publisher::kCentralRecordSize + 5 + 9 + 3);
  const Bytes second = centralRecord(1, 1, 0, {});
  two.insert(two.end(), second.begin(), second.end());
  EXPECT_EQ(publisher::centralRecordSize(two, 0), first);
  EXPECT_EQ(publisher::centralRecordSize(two, first), second.size());
  EXPECT_FALSE(publisher::centralRecordSize(two, first + 1));  // no signature there
  EXPECT_FALSE(publisher::centralRecordSize(two, two.size()));
  EXPECT_FALSE(publisher::centralRecordSize(two, two.size() + 1));
  // A name longer than 255 bytes: both bytes of its length count.
  Bytes longName = centralRecord(1, 1, 0, {});
  longName.insert(longName.begin() + publisher::kCentralRecordSize, 295, 'n');
  put(longName, 28, 2, 300);
  EXPECT_EQ(publisher::centralRecordSize(longName, 0), publisher::kCentralRecordSize + 300);
  // A record whose name runs past the directory's end.
  two.pop_back();
  EXPECT_FALSE(publisher::centralRecordSize(two, first));
  // Shorter than a record's fixed part.
  EXPECT_FALSE(publisher::centralRecordSize(Bytes(second.begin(), second.begin() + 45), 0));
}

Bytes zip64EndRecord(std::uint64_t entries, std::uint64_t size, std::uint64_t offset) {
  Bytes record(publisher::kZip64EndRecordSize, 0);
  put(record, 0, 4, 0x06064b50);
  put(record, 24, 8, entries);
  put(record, 32, 8, entries);
  put(record, 40, 8, size);
  put(record, 48, 8, offset);
  return record;
}
Bytes locatorAt(std::uint64_t offset) {
  Bytes locator(publisher::kZip64LocatorSize, 0);
  put(locator, 0, 4, 0x07064b50);
  put(locator, 8, 8, offset);
  return locator;
}
Bytes joined(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::optional<CentralDirectory> findIn(const Bytes& archive) {
  return publisher::findCentralDirectory(
      archive.size(), [&archive](std::uint64_t offset, std::size_t count) {
        if (offset > archive.size() || archive.size() - offset < count)
          throw std::out_of_range("read past the archive's end");
        return Bytes(archive.begin() + offset, archive.begin() + offset + count);
      });
}

TEST(ZipRecords, CentralDirectoryIsWhereTheEndRecordsPlaceIt) {
  const Bytes before(10, 'x');
  const Bytes directory(50, 'd');
  const Bytes classic = classicEndRecord(2, 50, 10);
  const std::uint64_t zip64At = 60;
  const std::uint64_t locatorPlace = zip64At + publisher::kZip64EndRecordSize;
  const Bytes full = classicEndRecord(0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF);
  Bytes badZip64 = zip64EndRecord(70000, 50, 10);
  badZip64[3] = 0x07;
  struct Row {
    const char* what;
    Bytes archive;
    std::optional<std::uint64_t> entries;  // with size 50 at offset 10 when found
  };
  const Row rows[] = {
      {"classic", joined({before, directory, classic}), 2},
      {"classic, the directory one byte longer than its room",
       joined({before, directory, classicEndRecord(2, 51, 10)}), std::nullopt},
      {"classic, the directory past the end record",
       joined({before, directory, classicEndRecord(2, 0, 61)}), std::nullopt},
      {"ZIP64",
       joined({before, directory, zip64EndRecord(70000, 50, 10), locatorAt(zip64At), full}), 70000},
      {"ZIP64, the directory one byte longer than its room",
       joined({before, directory, zip64EndRecord(70000, 51, 10), locatorAt(zip64At), full}),
       std::nullopt},
      {"ZIP64, the locator pointing past itself",
       joined(
           {before, directory, zip64EndRecord(70000, 50, 10), locatorAt(locatorPlace + 1), full}),
       std::nullopt},
      {"ZIP64, the record running into the locator",
       joined({before, directory, zip64EndRecord(70000, 50, 10), locatorAt(zip64At + 1), full}),
       std::nullopt},
      {"ZIP64, no ZIP64 end record where the locator points",
       joined({before, directory, badZip64, locatorAt(zip64At), full}), std::nullopt},
      // The classic record's own values would fit, but a locator names a
      // record that is not there: the archive is damaged.
      {"ZIP64, no ZIP64 end record, the classic values fitting",
       joined({before, directory, badZip64, locatorAt(zip64At), classicEndRecord(2, 50, 10)}),
       std::nullopt},
      {"no end record", joined({before, directory, Bytes(22, 0)}), std::nullopt},
      {"shorter than an end record", Bytes(classic.begin(), classic.end() - 1), std::nullopt},
  };
  for (const Row& row : rows) {
    const std::optional<CentralDirectory> found = findIn(row.archive);
    ASSERT_EQ(found.has_value(), row.entries.has_value()) << row.what;
    if (found) {
      EXPECT_EQ(found->entries, *row.entries) << row.what;
      EXPECT_EQ(found->size, 50u) << row.what;
      EXPECT_EQ(found->offset, 10u) << row.what;
    }
  }
  // An empty archive is its end record alone: no locator to look for.
  const std::optional<CentralDirectory> empty = findIn(classicEndRecord(0, 0, 0));
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->entries, 0u);
}

}  // namespace
