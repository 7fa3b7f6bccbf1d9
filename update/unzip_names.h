#pragma once

// Where an entry of an update package may be written: its stored name as
// folders and a file name, or nothing when the name must not be written.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace update {

struct EntryPath {
  std::vector<std::string> folders;
  // Empty for a folder entry (a name ending in "/" or "\").
  std::string fileName;
};

// Splits a code page 936 entry name at "/" and "\" (the second byte of a
// two-byte character is never a separator). Nothing when the name could land
// outside the destination (absolute, drive letter, UNC, ".." components) or
// is no valid Windows name (device names, ":", wildcards, control bytes).
std::optional<EntryPath> parseEntryPath(std::string_view ansiName);

}  // namespace update
