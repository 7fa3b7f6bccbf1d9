#include "update/package/unzip_archive.h"

#include <zip.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/zip_file.h"

namespace update {
namespace {

constexpr std::uint32_t kUnixFileTypeMask = 0170000;
constexpr std::uint32_t kUnixSymbolicLink = 0120000;

}  // namespace

void ArchiveCloser::operator()(zip* archive) const {
  zip_discard(archive);
}

void EntryCloser::operator()(zip_file* entry) const {
  zip_fclose(entry);
}

long EntryReader::read(void* buffer, std::size_t size) {
  // libzip checks the CRC once the data is read to its end, but inflates
  // whatever the data holds: a small entry could fill the disk. One byte
  // past the declared size is asked for only to tell that there is more.
  if (size == 0)
    return 0;
  const std::uint64_t left = declaredSize_ - delivered_;
  const std::size_t asked = static_cast<std::size_t>(std::min<std::uint64_t>(size, left + 1));
  const zip_int64_t got = zip_fread(entry_.get(), buffer, asked);
  if (got < 0 || static_cast<std::uint64_t>(got) > left)
    return -1;
  if (got == 0 && delivered_ != declaredSize_)
    return -1;
  delivered_ += static_cast<std::uint64_t>(got);
  return static_cast<long>(got);
}

std::optional<ZipArchive> ZipArchive::open(const std::string& path) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = platform::zipFileSource(path, &error);
  zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
  zip_error_fini(&error);
  if (archive == nullptr) {
    zip_source_free(source);
    return std::nullopt;
  }
  return ZipArchive(archive);
}

std::optional<ZipArchive> ZipArchive::openPieces(const std::string& path,
                                                 std::vector<ArchivePiece> pieces,
                                                 std::uint64_t packageSize) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* file = platform::zipFileSource(path, &error);
  zip_source_t* source =
      file ? piecedSource(file, std::move(pieces), packageSize, &error) : nullptr;
  zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
  zip_error_fini(&error);
  if (archive == nullptr) {
    zip_source_free(source);
    return std::nullopt;
  }
  return ZipArchive(archive);
}

std::uint64_t ZipArchive::entryCount() const {
  const zip_int64_t count = zip_get_num_entries(archive_.get(), 0);
  return count < 0 ? 0 : static_cast<std::uint64_t>(count);
}

std::optional<EntryInfo> ZipArchive::entry(std::uint64_t index) const {
  const char* raw = zip_get_name(archive_.get(), index, ZIP_FL_ENC_RAW);
  // Strict decoding converts every name without the UTF-8 flag from CP437,
  // so a name it leaves untouched is flagged UTF-8 (or plain ASCII).
  const char* strict = zip_get_name(archive_.get(), index, ZIP_FL_ENC_STRICT);
  if (raw == nullptr || strict == nullptr)
    return std::nullopt;
  EntryInfo info;
  info.name = raw;
  info.nameIsUtf8 = std::strcmp(raw, strict) == 0;
  zip_uint8_t system = 0;
  zip_uint32_t attributes = 0;
  if (zip_file_get_external_attributes(archive_.get(), index, 0, &system, &attributes) != 0)
    return std::nullopt;
  info.isSymbolicLink =
      system == ZIP_OPSYS_UNIX && ((attributes >> 16) & kUnixFileTypeMask) == kUnixSymbolicLink;
  return info;
}

std::optional<std::uint64_t> ZipArchive::unpackedSize() const {
  constexpr std::uint64_t kLargest = std::numeric_limits<std::int64_t>::max();
  std::uint64_t total = 0;
  for (std::uint64_t index = 0; index < entryCount(); ++index) {
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive_.get(), index, 0, &stat) != 0 || (stat.valid & ZIP_STAT_SIZE) == 0 ||
        stat.size > kLargest - total)
      return std::nullopt;
    total += stat.size;
  }
  return total;
}

std::optional<EntryReader> ZipArchive::openEntry(std::uint64_t index) const {
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat_index(archive_.get(), index, 0, &stat) != 0 || (stat.valid & ZIP_STAT_SIZE) == 0)
    return std::nullopt;
  zip_file_t* entry = zip_fopen_index(archive_.get(), index, 0);
  if (entry == nullptr)
    return std::nullopt;
  return EntryReader(entry, stat.size);
}

}  // namespace update
