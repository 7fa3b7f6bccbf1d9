// Room on the disk for an update: the need and the verdict, the figures a
// player reads, the codes of a full disk, and the host disk's own figure.

#include "update/download/room.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

#include "platform/host/host_services.h"

namespace {

constexpr std::int64_t kMiB = std::int64_t{1} << 20;
constexpr std::int64_t kGiB = std::int64_t{1} << 30;
constexpr std::int64_t kLargest = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMargin = update::kRoomMargin;

TEST(RoomTest, TheMarginIsSixteenMebibytes) {
  EXPECT_EQ(kMargin, 16 * kMiB);
}

TEST(RoomTest, NeedAndVerdict) {
  struct Row {
    const char* name;
    std::int64_t package, kept, unpacked;
    std::int64_t needed;
    std::int64_t available;
    bool lacking;
  };
  const Row rows[] = {
      {"120 MiB release on a 96 MiB disk", 120 * kMiB, 0, -1, 136 * kMiB, 96 * kMiB, true},
      {"the margin exactly", 100, 0, -1, 100 + kMargin, 100 + kMargin, false},
      {"one byte short of the margin", 100, 0, -1, 100 + kMargin, 99 + kMargin, true},
      {"nothing to fetch still needs the margin", 0, 0, -1, kMargin, kMargin - 1, true},
      {"unpacked size known", 100, 0, 50, 150 + kMargin, 150 + kMargin, false},
      {"unpacked size makes it short", 100, 0, 50, 150 + kMargin, 149 + kMargin, true},
      {"unpacked size of nothing", 100, 0, 0, 100 + kMargin, 100 + kMargin, false},
      {"kept bytes need no room again", 100, 40, 50, 110 + kMargin, 110 + kMargin, false},
      {"kept bytes, one byte short", 100, 40, 50, 110 + kMargin, 109 + kMargin, true},
      {"all kept", 100, 100, -1, kMargin, kMargin, false},
      {"more kept than the package", 100, 150, -1, kMargin, kMargin, false},
      {"kept bytes below zero count as none", 100, -5, -1, 100 + kMargin, 99 + kMargin, true},
      {"free space unknown never refuses", 4 * kGiB, 0, 8 * kGiB, 12 * kGiB + kMargin, -1, false},
      {"a full disk", 1, 0, -1, 1 + kMargin, 0, true},
      {"sizes past the largest number", kLargest, 0, kLargest, kLargest, kLargest, false},
      {"a largest unpacked size", 10, 0, kLargest - 5, kLargest, kLargest - 1, true},
  };
  for (const Row& row : rows) {
    const std::int64_t needed = update::roomNeeded(row.package, row.kept, row.unpacked);
    EXPECT_EQ(needed, row.needed) << row.name;
    EXPECT_EQ(update::lacksRoom(needed, row.available), row.lacking) << row.name;
  }
}

TEST(RoomTest, FiguresRoundTheNeedUpAndTheFreeSpaceDown) {
  struct Row {
    std::int64_t bytes;
    const char* up;
    const char* down;
  };
  const Row rows[] = {
      {0, "0 MB", "0 MB"},
      {1, "1 MB", "0 MB"},
      {kMiB, "1 MB", "1 MB"},
      {kMiB + 1, "2 MB", "1 MB"},
      {136 * kMiB, "136 MB", "136 MB"},
      {kGiB - 1, "1024 MB", "1023 MB"},
      {kGiB, "1.0 GB", "1.0 GB"},
      {kGiB + 1, "1.1 GB", "1.0 GB"},
      {kGiB + kGiB / 2, "1.5 GB", "1.5 GB"},
      {4400 * kMiB, "4.3 GB", "4.2 GB"},
      {10 * kGiB - 1, "10.0 GB", "9.9 GB"},
      {-3, "0 MB", "0 MB"},
      {kLargest, "8589934592.0 GB", "8589934591.9 GB"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(update::roomFigure(row.bytes, true), row.up) << row.bytes;
    EXPECT_EQ(update::roomFigure(row.bytes, false), row.down) << row.bytes;
  }
}

TEST(RoomTest, OnlyTheTwoDiskFullCodesMeanAFullDisk) {
  for (std::uint32_t code : {112u, 39u})
    EXPECT_TRUE(update::isDiskFullError(code)) << code;
  for (std::uint32_t code : {0u, 5u, 32u, 38u, 40u, 111u, 113u, 183u})
    EXPECT_FALSE(update::isDiskFullError(code)) << code;
}

TEST(RoomTest, TheHostDiskTellsItsFreeSpaceUnlessATestSetsAFigure) {
  platform::host::LocalFiles files;
  const auto folder = std::filesystem::temp_directory_path();
  const std::int64_t told = files.availableSpace(folder.string());
  const auto space = std::filesystem::space(folder);
  // Other programs write meanwhile: the same figure within 64 MiB.
  EXPECT_NEAR(static_cast<double>(told), static_cast<double>(space.available), 64.0 * kMiB);
  EXPECT_EQ(files.availableSpace((folder / "no-such-folder-of-tavoro").string()), -1);
  files.spaceFigure = 1234;
  EXPECT_EQ(files.availableSpace(folder.string()), 1234);
  files.spaceFigure = -1;
  EXPECT_EQ(files.availableSpace(folder.string()), -1);
}

}  // namespace
