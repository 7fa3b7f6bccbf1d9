#include "platform/c_file.h"

namespace platform {

// The C library's fopen takes the path in the ANSI code page, as it is.
std::FILE* openCFile(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

}  // namespace platform
