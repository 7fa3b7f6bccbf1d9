#include "publisher/native_files.h"

namespace publisher {

// msvcrt and libstdc++ open ANSI paths as they are.
std::string nativePath(const std::string& path) {
  return path;
}

// libzip's own file source takes UTF-8 paths on Windows; this one takes
// the ANSI code page's.
zip_source_t* zipFileSource(const std::string& path, zip_error_t* error) {
  return zip_source_win32a_create(path.c_str(), 0, -1, error);
}

}  // namespace publisher
