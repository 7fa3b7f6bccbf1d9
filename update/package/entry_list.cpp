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

// Reads the parts of a line off the front of the rest of the list.
class LineReader {
 public:
  explicit LineReader(std::string_view rest) : rest_(rest) {}

  std::optional<std::uint64_t> hexNumber() {
    if (rest_.size() < kHexDigits)
      return std::nullopt;
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < kHexDigits; ++i) {
      const char c = rest_[i];
      const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
      if (digit < 0)
        return std::nullopt;
      value = value << 4 | static_cast<std::uint64_t>(digit);
    }
    rest_.remove_prefix(kHexDigits);
    return value;
  }

  // Up to the next space, which base64 never holds.
  std::string_view word() {
    const std::size_t end = rest_.find(' ');
    const std::string_view word = rest_.substr(0, end);
    rest_.remove_prefix(word.size());
    return word;
  }

  std::optional<std::string> name() {
    LengthPrefixedReader reader(rest_, kMaxNameBytes);
    const std::size_t before = rest_.size();
    std::optional<std::string> name = reader.text();
    if (!name || name->empty())
      return std::nullopt;
    rest_.remove_prefix(before - remainingAfter(*name));
    return name;
  }

  bool skip(char expected) {
    if (rest_.empty() || rest_.front() != expected)
      return false;
    rest_.remove_prefix(1);
    return true;
  }

  bool atEnd() const { return rest_.empty(); }

 private:
  // What stays of the rest once "<length>:<name>" is read.
  std::size_t remainingAfter(const std::string& name) const {
    return rest_.size() - std::to_string(name.size()).size() - 1 - name.size();
  }

  std::string_view rest_;
};

std::optional<ListedEntry> readEntry(LineReader& line) {
  ListedEntry entry;
  const std::optional<std::uint64_t> offset = line.hexNumber();
  if (!offset || !line.skip(' '))
    return std::nullopt;
  const std::optional<std::uint64_t> span = line.hexNumber();
  if (!span || *span == 0 || !fitsAfter(*offset, *span) || !line.skip(' '))
    return std::nullopt;
  const std::optional<std::uint64_t> size = line.hexNumber();
  if (!size || !line.skip(' '))
    return std::nullopt;
  const std::optional<PackageDigest> digest = parsePackageDigest(line.word());
  if (!digest || !line.skip(' '))
    return std::nullopt;
  std::optional<std::string> name = line.name();
  if (!name || !line.skip('\n'))
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
  LineReader line(text.substr(kHeader.size()));
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
