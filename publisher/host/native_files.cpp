#include "publisher/native_files.h"

#include "platform/host/host_services.h"

namespace publisher {

std::string nativePath(const std::string& path) {
  return platform::host::hostPath(path);
}

zip_source_t* zipFileSource(const std::string& path, zip_error_t* error) {
  return zip_source_file_create(nativePath(path).c_str(), 0, -1, error);
}

}  // namespace publisher
