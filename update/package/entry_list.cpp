#include "update/package/entry_list.h"

#include <charconv>
#include <limits>

#include "update/package/length_prefixed.h"

namespace update {
namespace {

constexpr std::string_view kHeader = "tavoro-entries/1\n";
constexpr std::size_t kHexDigits = 16;
constexpr std::size_t kMaxNameBytes = 4096;

std::string hex(std::uint64_t value) {
  std::string text(kHexDigits, '0');
  for (std::size_t i = kHexDigits; i-- > 0; value >>= 4)
    text[i] = "0123456789abcdef"[value & 0xF];
  return text;
}

bool fitsAfter(std::uint64_t offset, std::uint64_t length) {
  return length <= std::numeric_limits<std::uint64_t>::max() - offset;
}

std::optional<ListedEntry> readEntry(LengthPrefixedReader& line) {
  ListedEntry entry;
  const std::optional<std::uint64_t> offset = line.hexNumber(kHexDigits);
  if (!offset || !line.skip(' '))
    return std::nullopt;
  const std::optional<std::uint64_t> span = line.hexNumber(kHexDigits);
  if (!span || *span == 0 || !fitsAfter(*offset, *span) || !line.skip(' '))
    return std::nullopt;
  const std::optional<std::uint64_t> size = line.hexNumber(kHexDigits);
  if (!size || !line.skip(' '))
    return std::nullopt;
  const std::optional<PackageDigest> digest = parsePackageDigest(line.word());
  if (!digest || !line.skip(' '))
    return std::nullopt;
  std::optional<std::string> name = line.text();
  if (!name || name->empty() || !line.skip('\n'))
    return std::nullopt;
  entry.name = std::move(*name);
  entry.offset = *offset;
  entry.span = *span;
  entry.size = *size;
  entry.digest = *digest;
  return entry;
}

}  // namespace

std::string composeEntryList(const std::vector<ListedEntry>& entries) {
  std::string text(kHeader);
  for (const ListedEntry& entry : entries) {
    text += hex(entry.offset) + ' ' + hex(entry.span) + ' ' + hex(entry.size) + ' ' +
            toBase64(entry.digest) + ' ' + lengthPrefixed(entry.name) + '\n';
  }
  return text;
}

std::optional<std::vector<ListedEntry>> parseEntryList(std::string_view text) {
  if (text.size() > kMaxEntryListBytes || text.substr(0, kHeader.size()) != kHeader)
    return std::nullopt;
  LengthPrefixedReader line(text.substr(kHeader.size()), kMaxNameBytes);
  std::vector<ListedEntry> entries;
  while (!line.atEnd()) {
    std::optional<ListedEntry> entry = readEntry(line);
    if (!entry)
      return std::nullopt;
    entries.push_back(std::move(*entry));
  }
  return entries;
}

std::string entryListPlaceText(const EntryListPlace& place) {
  return std::to_string(place.offset) + " " + std::to_string(place.length) + " " +
         toBase64(place.digest);
}

std::optional<EntryListPlace> parseEntryListPlace(std::string_view text) {
  EntryListPlace place;
  const char* const end = text.data() + text.size();
  auto [afterOffset, offsetError] = std::from_chars(text.data(), end, place.offset);
  if (offsetError != std::errc() || afterOffset == end || *afterOffset != ' ')
    return std::nullopt;
  auto [afterLength, lengthError] = std::from_chars(afterOffset + 1, end, place.length);
  if (lengthError != std::errc() || afterLength == end || *afterLength != ' ')
    return std::nullopt;
  if (place.length == 0 || place.length > kMaxEntryListBytes ||
      !fitsAfter(place.offset, place.length))
    return std::nullopt;
  const std::string_view digest(afterLength + 1, static_cast<std::size_t>(end - afterLength - 1));
  // The page's value is taken as written: no blank may hide in it.
  if (digest.find_first_of(" \t\r\n") != std::string_view::npos)
    return std::nullopt;
  const std::optional<PackageDigest> parsed = parsePackageDigest(digest);
  if (!parsed)
    return std::nullopt;
  place.digest = *parsed;
  return place;
}

PackageDigest digestOfBytes(std::string_view bytes) {
  PackageHasher hasher;
  hasher.add(bytes.data(), bytes.size());
  return hasher.finish();
}

}  // namespace update
