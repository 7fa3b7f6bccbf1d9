#include "publisher/zip_records.h"

#include "publisher/little_endian.h"

namespace publisher {
namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint16_t kZip64ExtraId = 0x0001;
constexpr std::uint64_t kStands32 = 0xFFFFFFFF;

std::uint64_t number(const std::vector<std::uint8_t>& bytes, std::size_t offset,
                     std::size_t count) {
  return littleEndian(&bytes[offset], count);
}

// The data of the central record's ZIP64 extra field: its start and size
// within `directory`; null when there is none.
struct Span {
  std::size_t start = 0;
  std::size_t size = 0;
};
std::optional<Span> zip64Extra(const std::vector<std::uint8_t>& directory, std::size_t record) {
  const std::size_t nameSize = number(directory, record + 28, 2);
  std::size_t field = record + kCentralRecordSize + nameSize;
  const std::size_t end = field + number(directory, record + 30, 2);
  while (end - field >= 4) {
    const std::size_t size = number(directory, field + 2, 2);
    if (end - field - 4 < size)
      return std::nullopt;
    if (number(directory, field, 2) == kZip64ExtraId)
      return Span{field + 4, size};
    field += 4 + size;
  }
  return std::nullopt;
}

}  // namespace

std::optional<CentralDirectory> classicEnd(const std::vector<std::uint8_t>& record) {
  if (record.size() < kEndRecordSize || number(record, 0, 4) != kEndSignature)
    return std::nullopt;
  return CentralDirectory{number(record, 10, 2), number(record, 12, 4), number(record, 16, 4)};
}

std::optional<std::uint64_t> zip64EndOffset(const std::vector<std::uint8_t>& locator) {
  if (locator.size() < kZip64LocatorSize || number(locator, 0, 4) != kZip64LocatorSignature)
    return std::nullopt;
  return number(locator, 8, 8);
}

std::optional<CentralDirectory> zip64End(const std::vector<std::uint8_t>& record) {
  if (record.size() < kZip64EndRecordSize || number(record, 0, 4) != kZip64EndSignature)
    return std::nullopt;
  return CentralDirectory{number(record, 32, 8), number(record, 40, 8), number(record, 48, 8)};
}

std::optional<CentralDirectory> findCentralDirectory(std::uint64_t size,
                                                     const ArchiveReader& read) {
  if (size < kEndRecordSize)
    return std::nullopt;
  std::uint64_t directoryEnd = size - kEndRecordSize;
  std::optional<CentralDirectory> directory = classicEnd(read(directoryEnd, kEndRecordSize));
  if (!directory)
    return std::nullopt;
  if (directoryEnd >= kZip64LocatorSize) {
    const std::uint64_t locatorAt = directoryEnd - kZip64LocatorSize;
    const std::optional<std::uint64_t> zip64At = zip64EndOffset(read(locatorAt, kZip64LocatorSize));
    if (zip64At) {
      if (*zip64At > locatorAt || locatorAt - *zip64At < kZip64EndRecordSize)
        return std::nullopt;
      directory = zip64End(read(*zip64At, kZip64EndRecordSize));
      if (!directory)
        return std::nullopt;
      directoryEnd = *zip64At;
    }
  }
  if (directory->offset > directoryEnd || directoryEnd - directory->offset < directory->size ||
      static_cast<std::size_t>(directory->size) != directory->size)
    return std::nullopt;
  return directory;
}

std::optional<std::size_t> centralRecordSize(const std::vector<std::uint8_t>& directory,
                                             std::size_t record) {
  if (record > directory.size() || directory.size() - record < kCentralRecordSize ||
      number(directory, record, 4) != kCentralSignature)
    return std::nullopt;
  const std::size_t size = kCentralRecordSize + number(directory, record + 28, 2) +
                           number(directory, record + 30, 2) + number(directory, record + 32, 2);
  if (size > directory.size() - record)
    return std::nullopt;
  return size;
}

std::optional<std::uint64_t> localHeaderOffset(const std::vector<std::uint8_t>& directory,
                                               std::size_t record) {
  const std::uint64_t classic = number(directory, record + 42, 4);
  if (classic != kStands32)
    return classic;
  const std::optional<Span> extra = zip64Extra(directory, record);
  // Without the field, 0xFFFFFFFF is the offset itself.
  if (!extra)
    return classic;
  // The field holds, in this order, only the values whose classic field
  // is 0xFFFFFFFF: uncompressed size, compressed size, offset.
  std::size_t skip = 0;
  if (number(directory, record + 24, 4) == kStands32)
    skip += 8;
  if (number(directory, record + 20, 4) == kStands32)
    skip += 8;
  if (extra->size < skip + 8)
    return std::nullopt;
  return number(directory, extra->start + skip, 8);
}

}  // namespace publisher
