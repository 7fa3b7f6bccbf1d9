#include "platform/zip_file.h"

#include "platform/host/host_services.h"

namespace platform {

zip_source_t* zipFileSource(const std::string& path, zip_error_t* error) {
  return zip_source_file_create(host::hostPath(path).c_str(), 0, -1, error);
}

}  // namespace platform
