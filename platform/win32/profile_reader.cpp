#include "platform/profile_file.h"
#include "platform/win32/win32_services.h"

namespace platform::win32 {

// Not the system's profile functions: they read an ANSI file in the
// system's code page, and the file is code page 936 (or UTF-8) everywhere.
ProfileReader& profileReader() {
  static FileProfileReader instance(files(), textCodec());
  return instance;
}

}  // namespace platform::win32
