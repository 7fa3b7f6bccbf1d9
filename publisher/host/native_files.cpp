#include "publisher/native_files.h"

#include "platform/host/host_services.h"

namespace publisher {

std::string nativePath(const std::string& path) {
  return platform::host::hostPath(path);
}

}  // namespace publisher
