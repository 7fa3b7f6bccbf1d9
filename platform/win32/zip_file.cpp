#include "platform/zip_file.h"

#include "platform/win32/wide_text.h"

namespace platform {

// libzip's plain file source takes UTF-8 paths on Windows; this one takes
// UTF-16, converted from code page 936 as every path is, and seeks with
// SetFilePointerEx.
zip_source_t* zipFileSource(const std::string& path, zip_error_t* error) {
  return zip_source_win32w_create(platform::win32::widen(path).c_str(), 0, -1, error);
}

}  // namespace platform
