#pragma once

// Names that are safe to create below a folder: the entries of an update
// package, a shortcut on the desktop.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace base {

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

// The entry's name below its folder as the launcher writes it: its parts
// joined by "\".
std::string joinedEntryPath(const EntryPath& path);

// True when `name` names a file below a folder (parseEntryPath) and is
// written as joinedEntryPath writes it: no "." parts, no "/", no separator
// twice. "./x" or "a//b" name files too, but never as the launcher names
// them.
bool isJoinedFilePath(std::string_view name);

// True when `name` can stand as one file name in a folder: no path
// separators, no characters Windows refuses, not "." or "..".
bool isPlainFileName(std::string_view name);

}  // namespace base
