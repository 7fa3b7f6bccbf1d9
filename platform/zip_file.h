#pragma once

// libzip's source on a file named as every path here is named (code page
// 936, Windows separators): for reading an archive and for writing a new
// one. Offsets are 64 bits on both systems, so archives past 4 GiB work
// (the C library's fseeko in a 32-bit Windows program stops at 2 GiB).

#include <zip.h>

#include <string>

namespace platform {

// Null, with `error` set, when it cannot be made; the file is opened only
// when libzip opens the source.
zip_source_t* zipFileSource(const std::string& path, zip_error_t* error);

}  // namespace platform
