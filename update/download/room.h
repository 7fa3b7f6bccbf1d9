#pragma once

// Room on the disk for an update: what it needs, whether a disk has it,
// and a write that met a full disk.

#include <cstdint>
#include <string>

namespace update {

// Besides the package and its unpacked files: the journal, the notes and
// records, and what the system and other programs write meanwhile.
inline constexpr std::int64_t kRoomMargin = std::int64_t{16} << 20;

// The Windows codes of a write that met a full disk.
inline constexpr std::uint32_t kErrorDiskFull = 112;       // ERROR_DISK_FULL
inline constexpr std::uint32_t kErrorHandleDiskFull = 39;  // ERROR_HANDLE_DISK_FULL

constexpr bool isDiskFullError(std::uint32_t code) {
  return code == kErrorDiskFull || code == kErrorHandleDiskFull;
}

// Bytes an update needs on the game folder's disk: the package's bytes
// still to come (`packageBytes` less the `keptBytes` a partial file holds
// already), its unpacked files (`unpackedBytes`, negative while not known:
// the staged apply writes each beside its target and only renames the old
// ones), and kRoomMargin. Never more than the largest int64_t.
std::int64_t roomNeeded(std::int64_t packageBytes, std::int64_t keptBytes,
                        std::int64_t unpackedBytes);

// True only when the disk is known to be short: free space the system
// could not tell (negative) never stops an update.
constexpr bool lacksRoom(std::int64_t needed, std::int64_t available) {
  return available >= 0 && available < needed;
}

// A size as the player reads it: whole MB below 1 GB, else GB to one
// decimal (1 MB = 2^20 bytes); rounded up, so a need is never understated,
// or down, so free space is never overstated.
std::string roomFigure(std::int64_t bytes, bool roundUp);

}  // namespace update
