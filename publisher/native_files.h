#pragma once

// Where the tool hands a path to a C++ stream rather than to the platform's
// Files: the mending of the package's name flags. Paths are the tool's own
// (code page 936, the ANSI code page on Windows); each system turns them
// into what its streams open.

#include <string>

namespace publisher {

// The path as this system's C library and streams open it.
std::string nativePath(const std::string& path);

}  // namespace publisher
