#include "publisher/raw_name_flags.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "publisher/archive_bytes.h"
#include "publisher/little_endian.h"
#include "publisher/messages.h"
#include "publisher/refusal.h"
#include "publisher/zip_records.h"
#include "update/package/unzip_archive.h"

namespace publisher {
namespace {

constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::size_t kLocalFlags = 6;
constexpr std::size_t kCentralFlags = 8;
constexpr std::uint16_t kUtf8Flag = 1 << 11;

bool anyNameReadAsUtf8(const std::string& archivePath) {
  const std::optional<update::ZipArchive> archive = update::ZipArchive::open(archivePath);
  if (!archive)
    throw Refusal(Message::kCannotReadBack, {archivePath});
  for (std::uint64_t i = 0; i < archive->entryCount(); ++i) {
    const std::optional<update::EntryInfo> entry = archive->entry(i);
    if (!entry)
      throw Refusal(Message::kCannotReadBack, {archivePath});
    // Flagged or not, a plain ASCII name reads the same.
    const bool ascii = std::all_of(entry->name.begin(), entry->name.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (entry->nameIsUtf8 && !ascii)
      return true;
  }
  return false;
}

void clearFlag(std::vector<std::uint8_t>& record, std::size_t at) {
  record[at + 1] = static_cast<std::uint8_t>(record[at + 1] & ~(kUtf8Flag >> 8));
}

void clearUtf8Flags(const std::string& archivePath) {
  ArchiveBytes archive(archivePath);
  const std::optional<CentralDirectory> found = findCentralDirectory(
      archive.size(),
      [&archive](std::uint64_t offset, std::size_t count) { return archive.read(offset, count); });
  if (!found)
    throw Refusal(Message::kPackageReadsBackWrong, {});
  std::vector<std::uint8_t> directory =
      archive.read(found->offset, static_cast<std::size_t>(found->size));
  std::size_t at = 0;
  for (std::uint64_t i = 0; i < found->entries; ++i) {
    const std::optional<std::size_t> recordSize = centralRecordSize(directory, at);
    if (!recordSize)
      throw Refusal(Message::kPackageReadsBackWrong, {});
    if (littleEndian(&directory[at + kCentralFlags], 2) & kUtf8Flag) {
      clearFlag(directory, at + kCentralFlags);
      const std::optional<std::uint64_t> localOffset = localHeaderOffset(directory, at);
      if (!localOffset)
        throw Refusal(Message::kPackageReadsBackWrong, {});
      std::vector<std::uint8_t> local = archive.read(*localOffset, kLocalFlags + 2);
      if (littleEndian(&local[0], 4) != kLocalSignature)
        throw Refusal(Message::kPackageReadsBackWrong, {});
      clearFlag(local, kLocalFlags);
      archive.write(*localOffset + kLocalFlags, &local[kLocalFlags], 2);
    }
    at += *recordSize;
  }
  archive.write(found->offset, directory.data(), directory.size());
  archive.close();
}

}  // namespace

void keepNamesRaw(const std::string& archivePath) {
  if (!anyNameReadAsUtf8(archivePath))
    return;
  clearUtf8Flags(archivePath);
  if (anyNameReadAsUtf8(archivePath))
    throw Refusal(Message::kNamesNotKept, {archivePath});
}

}  // namespace publisher
