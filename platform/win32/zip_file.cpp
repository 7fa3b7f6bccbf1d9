#include "platform/zip_file.h"

namespace platform {

// libzip's plain file source takes UTF-8 paths on Windows; this one takes
// the ANSI code page's, and seeks with SetFilePointerEx.
zip_source_t* zipFileSource(const std::string& path, zip_error_t* error) {
  return zip_source_win32a_create(path.c_str(), 0, -1, error);
}

}  // namespace platform
