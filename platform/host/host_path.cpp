#include <cctype>

#include "base/cp936.h"
#include "platform/host/host_services.h"

namespace platform::host {

std::string hostPath(const std::string& windowsPath) {
  // A drive letter names the host's root, as Wine's drive Z: does.
  const bool drive = windowsPath.size() >= 3 &&
                     std::isalpha(static_cast<unsigned char>(windowsPath[0])) &&
                     windowsPath[1] == ':' && (windowsPath[2] == '\\' || windowsPath[2] == '/');
  std::string path = drive ? windowsPath.substr(2) : windowsPath;
  // The second byte of a two-byte character is never a separator.
  base::forEachCharacter<base::fileNameCharacterWidth>(path,
                                                       [&path](std::size_t i, std::size_t width) {
                                                         if (width == 1 && path[i] == '\\')
                                                           path[i] = '/';
                                                       });
  return path;
}

}  // namespace platform::host
