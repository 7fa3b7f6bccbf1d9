#include "platform/c_file.h"

#include "platform/host/host_services.h"

namespace platform {

std::FILE* openCFile(const std::string& path, const char* mode) {
  return std::fopen(host::hostPath(path).c_str(), mode);
}

}  // namespace platform
