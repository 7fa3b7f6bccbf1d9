#include <cctype>

#include "platform/host/host_services.h"

namespace platform::host {

std::string hostPath(const std::string& windowsPath) {
  // A drive letter names the host's root, as Wine's drive Z: does.
  const bool drive = windowsPath.size() >= 3 &&
                     std::isalpha(static_cast<unsigned char>(windowsPath[0])) &&
                     windowsPath[1] == ':' && (windowsPath[2] == '\\' || windowsPath[2] == '/');
  std::string path = drive ? windowsPath.substr(2) : windowsPath;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (static_cast<unsigned char>(path[i]) >= 0x80) {
      ++i;  // the second byte of a two-byte character is never a separator
    } else if (path[i] == '\\') {
      path[i] = '/';
    }
  }
  return path;
}

}  // namespace platform::host
