#include "publisher/entry_list_writer.h"

#include <zlib.h>

#include <array>
#include <optional>

#include "publisher/archive_bytes.h"
#include "publisher/little_endian.h"
#include "publisher/messages.h"
#include "publisher/refusal.h"
#include "publisher/zip_records.h"
#include "update/package/unzip_archive.h"

namespace publisher {
namespace {

constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kLocalFlags = 6;
constexpr std::size_t kLocalMethod = 8;
constexpr std::size_t kLocalCrc = 14;
constexpr std::size_t kLocalNameLength = 26;
constexpr std::size_t kLocalExtraLength = 28;
constexpr std::size_t kCentralCrc = 16;
constexpr std::size_t kCentralNameLength = 28;
constexpr std::uint16_t kDataDescriptorFlag = 1 << 3;

struct Record {
  std::string name;
  std::uint64_t localOffset = 0;
  std::size_t centralAt = 0;  // within the directory
};

std::vector<Record> recordsOf(const std::vector<std::uint8_t>& directory, std::uint64_t count) {
  std::vector<Record> records;
  std::size_t at = 0;
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::optional<std::size_t> size = centralRecordSize(directory, at);
    const std::optional<std::uint64_t> offset =
        size ? localHeaderOffset(directory, at) : std::nullopt;
    if (!offset)
      throw Refusal(Message::kPackageReadsBackWrong, {});
    const auto nameLength =
        static_cast<std::size_t>(littleEndian(&directory[at + kCentralNameLength], 2));
    const auto* name = reinterpret_cast<const char*>(&directory[at + kCentralRecordSize]);
    // libzip writes the entries in order, each right after the one before.
    if (!records.empty() && *offset <= records.back().localOffset)
      throw Refusal(Message::kPackageReadsBackWrong, {});
    records.push_back({std::string(name, nameLength), *offset, at});
    at += *size;
  }
  return records;
}

update::PackageDigest contentDigest(const update::ZipArchive& archive, std::uint64_t index,
                                    std::uint64_t& size) {
  std::optional<update::EntryReader> reader = archive.openEntry(index);
  if (!reader)
    throw Refusal(Message::kPackageReadsBackWrong, {});
  update::PackageHasher hasher;
  std::vector<char> block(256 * 1024);
  for (;;) {
    const long got = reader->read(block.data(), block.size());
    if (got < 0)
      throw Refusal(Message::kPackageReadsBackWrong, {});
    if (got == 0)
      break;
    hasher.add(block.data(), static_cast<std::size_t>(got));
  }
  size = reader->bytesRead();
  return hasher.finish();
}

void putLittleEndian32(std::array<std::uint8_t, 4>& bytes, std::uint32_t value) {
  for (std::uint8_t& byte : bytes) {
    byte = static_cast<std::uint8_t>(value & 0xFF);
    value >>= 8;
  }
}

struct Layout {
  CentralDirectory directory;
  std::vector<Record> records;
};

Layout layoutOf(ArchiveBytes& bytes) {
  const std::optional<CentralDirectory> found = findCentralDirectory(
      bytes.size(),
      [&bytes](std::uint64_t offset, std::size_t count) { return bytes.read(offset, count); });
  if (!found)
    throw Refusal(Message::kPackageReadsBackWrong, {});
  const std::vector<std::uint8_t> directory =
      bytes.read(found->offset, static_cast<std::size_t>(found->size));
  std::vector<Record> records = recordsOf(directory, found->entries);
  if (records.empty() || records.back().name != update::kEntryListFileName)
    throw Refusal(Message::kPackageReadsBackWrong, {});
  return {*found, std::move(records)};
}

}  // namespace

std::vector<update::ListedEntry> listedEntriesOf(const std::string& archivePath) {
  std::vector<Record> records;
  {
    ArchiveBytes bytes(archivePath);
    records = layoutOf(bytes).records;
  }
  const std::optional<update::ZipArchive> archive = update::ZipArchive::open(archivePath);
  if (!archive || archive->entryCount() != records.size())
    throw Refusal(Message::kCannotReadBack, {archivePath});
  std::vector<update::ListedEntry> listed;
  for (std::size_t i = 0; i + 1 < records.size(); ++i) {
    update::ListedEntry entry;
    entry.name = records[i].name;
    entry.offset = records[i].localOffset;
    entry.span = records[i + 1].localOffset - records[i].localOffset;
    entry.digest = contentDigest(*archive, i, entry.size);
    listed.push_back(std::move(entry));
  }
  return listed;
}

std::string entryListPlaceholder(const std::vector<TreeEntry>& entries) {
  std::vector<update::ListedEntry> listed;
  listed.reserve(entries.size());
  for (const TreeEntry& entry : entries)
    listed.push_back({entry.entryName, 0, 1, entry.isFolder ? 0 : entry.size, {}});
  return update::composeEntryList(listed);
}

update::EntryListPlace completeEntryList(const std::string& archivePath) {
  const std::string text = update::composeEntryList(listedEntriesOf(archivePath));
  ArchiveBytes bytes(archivePath);
  const Layout layout = layoutOf(bytes);
  const CentralDirectory* found = &layout.directory;
  const Record& list = layout.records.back();
  const std::vector<std::uint8_t> local = bytes.read(list.localOffset, kLocalHeaderSize);
  if (littleEndian(&local[0], 4) != kLocalSignature ||
      (littleEndian(&local[kLocalFlags], 2) & kDataDescriptorFlag) != 0 ||
      littleEndian(&local[kLocalMethod], 2) != 0)
    throw Refusal(Message::kPackageReadsBackWrong, {});
  const std::uint64_t dataOffset = list.localOffset + kLocalHeaderSize +
                                   littleEndian(&local[kLocalNameLength], 2) +
                                   littleEndian(&local[kLocalExtraLength], 2);
  if (dataOffset > found->offset)
    throw Refusal(Message::kPackageReadsBackWrong, {});
  const auto placeholderLength = static_cast<std::size_t>(found->offset - dataOffset);

  // Stored, and the last entry before the directory: its data runs to it.
  if (text.size() != placeholderLength)
    throw Refusal(Message::kPackageReadsBackWrong, {});
  bytes.write(dataOffset, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  std::array<std::uint8_t, 4> crc{};
  putLittleEndian32(crc,
                    static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(text.data()),
                                                     static_cast<uInt>(text.size()))));
  bytes.write(list.localOffset + kLocalCrc, crc.data(), crc.size());
  bytes.write(found->offset + list.centralAt + kCentralCrc, crc.data(), crc.size());
  bytes.close();
  return {dataOffset, text.size(), update::digestOfBytes(text)};
}

}  // namespace publisher
