#pragma once

// Where a finished package's central directory is and where each entry's
// local header starts, read from the records as written (APPNOTE 4.3.12,
// 4.3.14 to 4.3.16, 4.5.3): the classic ones, and the ZIP64 ones that
// libzip adds past 4 GiB or 65,535 entries. Only what mending the name
// flags needs; every read is checked against the bytes given.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace publisher {

inline constexpr std::size_t kEndRecordSize = 22;       // without a comment
inline constexpr std::size_t kZip64LocatorSize = 20;    // right before the end record
inline constexpr std::size_t kZip64EndRecordSize = 56;  // without extensible data
inline constexpr std::size_t kCentralRecordSize = 46;   // before name, extra and comment

struct CentralDirectory {
  std::uint64_t entries = 0;
  std::uint64_t size = 0;
  std::uint64_t offset = 0;
};

// The classic end record (its kEndRecordSize bytes); null when they are
// none. Its values count as they stand: an archive of exactly 65,535
// entries, or whose directory starts at 0xFFFFFFFF, needs no ZIP64 record.
std::optional<CentralDirectory> classicEnd(const std::vector<std::uint8_t>& record);

// Where the ZIP64 end record starts, from the kZip64LocatorSize bytes before
// the classic end record; null when they are no locator (a classic archive).
std::optional<std::uint64_t> zip64EndOffset(const std::vector<std::uint8_t>& locator);

// The ZIP64 end record (at least kZip64EndRecordSize bytes); null when they
// are none. Once the locator is there, its values stand for the classic ones.
std::optional<CentralDirectory> zip64End(const std::vector<std::uint8_t>& record);

// `count` bytes of the archive from `offset`, all of them (or it throws).
using ArchiveReader =
    std::function<std::vector<std::uint8_t>(std::uint64_t offset, std::size_t count)>;

// The central directory of an archive of `size` bytes as its end records
// place it: the ZIP64 ones where their locator stands right before the
// classic end record (libzip's layout: directory, ZIP64 end record,
// locator, end record, no comment), else the classic one. Null when they
// are none, or place the directory outside the archive or beyond what
// this system can hold in memory.
std::optional<CentralDirectory> findCentralDirectory(std::uint64_t size, const ArchiveReader& read);

// The size of the central directory record that starts at `record` in
// `directory` (name, extra field and comment included); null when it is
// none or runs past the end.
std::optional<std::size_t> centralRecordSize(const std::vector<std::uint8_t>& directory,
                                             std::size_t record);

// Where the local header of that record (its size checked) starts: its classic
// offset, or, when that is 0xFFFFFFFF and a ZIP64 extra field is there, the
// field's value for it, after the sizes that are also 0xFFFFFFFF. Null when
// the extra field is cut short.
std::optional<std::uint64_t> localHeaderOffset(const std::vector<std::uint8_t>& directory,
                                               std::size_t record);

}  // namespace publisher
