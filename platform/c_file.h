#pragma once

// A C library stream on a file named as every path here is named (code page
// 936, Windows separators), for libraries that read through stdio.

#include <cstdio>
#include <string>

namespace platform {

// Null when the file cannot be opened; the caller closes the stream.
std::FILE* openCFile(const std::string& path, const char* mode);

}  // namespace platform
