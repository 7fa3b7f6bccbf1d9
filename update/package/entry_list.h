#pragma once

// The package's list of its own entries, which lets a launcher fetch only
// the entries its folder lacks: for every file entry its stored name, its
// size unpacked, the BLAKE2b-512 digest of its content and where its bytes
// lie in the package (the local header's offset and the span from there
// through its data). The list is itself a stored entry of the package, the
// last one, never unpacked into the game folder; the release's signature
// binds its place and digest (release_signature.h).
//
// Its bytes (names in code page 936 as stored, numbers as 16 lower-case hex
// digits so that the list's length is known before the package is written):
//
//   tavoro-entries/1
//   <offset> <span> <size> <digest, base64 with padding> <name length>:<name>
//   ...

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "update/package/package_signature.h"
#include "update/record_names.h"

namespace update {

// The most a launcher reads: some 150 bytes an entry, so room for 200,000
// entries, as many as the journal can list.
inline constexpr std::uint64_t kMaxEntryListBytes = 32u << 20;

struct ListedEntry {
  std::string name;
  std::uint64_t offset = 0;
  std::uint64_t span = 0;
  std::uint64_t size = 0;
  PackageDigest digest{};

  bool operator==(const ListedEntry& other) const {
    return name == other.name && offset == other.offset && span == other.span &&
           size == other.size && digest == other.digest;
  }
};

std::string composeEntryList(const std::vector<ListedEntry>& entries);

// Nothing when the bytes are no list: another header, a malformed line, a
// span of 0 or one that runs past 64 bits, or more than kMaxEntryListBytes.
std::optional<std::vector<ListedEntry>> parseEntryList(std::string_view text);

// Where the list lies in the package and its digest, as the page names it
// ("<offset> <length> <digest>") and the signature binds it.
struct EntryListPlace {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
  PackageDigest digest{};

  bool operator==(const EntryListPlace& other) const {
    return offset == other.offset && length == other.length && digest == other.digest;
  }
};

std::string entryListPlaceText(const EntryListPlace& place);
// Nothing unless it is exactly that form, with a length of 1 to
// kMaxEntryListBytes that fits 64 bits after the offset.
std::optional<EntryListPlace> parseEntryListPlace(std::string_view text);

PackageDigest digestOfBytes(std::string_view bytes);

}  // namespace update
