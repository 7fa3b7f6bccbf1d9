#pragma once

// A package of which only some parts are on the disk, gathered one after
// another in one file: libzip reads it as the whole package, each offset
// taken from the part that holds it. Bytes no part holds read as zeros
// (libzip looks for the end record in the last 64 KiB, whatever was
// fetched): an entry read from them fails its CRC and its digest, so it
// can never pass for one that was fetched.

#include <zip.h>

#include <cstdint>
#include <vector>

namespace update {

struct ArchivePiece {
  std::uint64_t packageOffset = 0;
  std::uint64_t length = 0;
  std::uint64_t fileOffset = 0;
};

// Where `packageOffset` lies in the file, and how many bytes from there
// belong to the same part; when no part holds it, `held` is false and
// `available` counts the bytes up to the next part that starts after it
// (or to the end of 64 bits).
struct PieceHit {
  bool held = false;
  std::uint64_t fileOffset = 0;
  std::uint64_t available = 0;
};
PieceHit findPiece(const std::vector<ArchivePiece>& pieces, std::uint64_t packageOffset);

// Takes `file` (a seekable source on the gathered file) over; null, `file`
// freed, when it cannot be made. `packageSize` is the whole package's.
zip_source_t* piecedSource(zip_source_t* file, std::vector<ArchivePiece> pieces,
                           std::uint64_t packageSize, zip_error_t* error);

}  // namespace update
