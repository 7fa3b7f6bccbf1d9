#pragma once

// Read access to a ZIP archive through libzip, every handle owned.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "update/package/pieced_source.h"

struct zip;
struct zip_file;

namespace update {

struct ArchiveCloser {
  void operator()(zip* archive) const;
};
struct EntryCloser {
  void operator()(zip_file* entry) const;
};

struct EntryInfo {
  // The stored bytes: UTF-8 when `nameIsUtf8`, else code page 936.
  std::string name;
  bool nameIsUtf8 = false;
  bool isSymbolicLink = false;
};

// One entry's data, inflated and checked against its CRC and its declared
// size.
class EntryReader {
 public:
  EntryReader(zip_file* entry, std::uint64_t declaredSize)
      : entry_(entry), declaredSize_(declaredSize) {}
  // Bytes read into `buffer`; 0 at the end of intact data; -1 when the data
  // is damaged (CRC mismatch, cut short, longer than declared) or cannot be
  // read. Never hands out a byte beyond the declared size.
  long read(void* buffer, std::size_t size);
  // Bytes handed out so far.
  std::uint64_t bytesRead() const { return delivered_; }

 private:
  std::unique_ptr<zip_file, EntryCloser> entry_;
  std::uint64_t declaredSize_;
  std::uint64_t delivered_ = 0;
};

class ZipArchive {
 public:
  // Nothing when the file is missing or is no ZIP archive.
  static std::optional<ZipArchive> open(const std::string& path);
  // The package of `packageSize` bytes of which `path` gathers the parts
  // `pieces` name (pieced_source.h).
  static std::optional<ZipArchive> openPieces(const std::string& path,
                                              std::vector<ArchivePiece> pieces,
                                              std::uint64_t packageSize);

  std::uint64_t entryCount() const;
  // Nothing when the entry's directory record cannot be read.
  std::optional<EntryInfo> entry(std::uint64_t index) const;
  // Every entry's size added up, as the central directory declares it:
  // what unpacking writes. Nothing when an entry's record cannot be read,
  // or the sum passes the largest int64_t.
  std::optional<std::uint64_t> unpackedSize() const;
  // Nothing when the entry cannot be read (encrypted, unknown method, ...).
  std::optional<EntryReader> openEntry(std::uint64_t index) const;

 private:
  explicit ZipArchive(zip* archive) : archive_(archive) {}
  std::unique_ptr<zip, ArchiveCloser> archive_;
};

}  // namespace update
