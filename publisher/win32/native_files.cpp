#include "publisher/native_files.h"

namespace publisher {

// msvcrt and libstdc++ open ANSI paths as they are.
std::string nativePath(const std::string& path) {
  return path;
}

}  // namespace publisher
