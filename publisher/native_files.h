#pragma once

// The two places where the tool hands a path to a library rather than to
// the platform's Files: libzip writing the package, and the mending of its
// name flags. Paths are the tool's own (code page 936, the ANSI code page on
// Windows); each system turns them into what its C library opens.

#include <zip.h>

#include <string>

namespace publisher {

// The path as this system's C library and streams open it.
std::string nativePath(const std::string& path);

// A libzip source for writing the file at `path`; null, with `error` set,
// when it cannot be made.
zip_source_t* zipFileSource(const std::string& path, zip_error_t* error);

}  // namespace publisher
