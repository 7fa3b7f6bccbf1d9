#pragma once

// Windows paths in code page 936: separators are "\" and "/", never the
// second byte of a two-byte character.

#include <string>
#include <string_view>

namespace base {

constexpr bool isPathSeparator(char c) {
  return c == '\\' || c == '/';
}

// `directory` and `name` joined by one "\": every path of the launcher is the
// run directory followed by a relative part.
std::string joinPath(std::string_view directory, std::string_view name);

// The last component of a path as the shell finds it: after the last "\",
// "/" or ":" that is followed by more than a separator.
std::string_view lastPathComponent(std::string_view path);

// True when `path` starts with a drive letter, holds ":\" (or ":/") and
// names a file rather than a folder.
bool isFullFilePath(std::string_view path);

// `path` with "(n)" before the extension of its last component, or at its
// end when that component has no ".". It steps by the text rule, as the
// name it changes was made by it.
std::string numberedFileName(std::string_view path, int number);

// The path without the separators it ends in; a lone separator stays.
std::string withoutTrailingSeparators(std::string path);

}  // namespace base
