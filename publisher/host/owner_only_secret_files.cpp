#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "publisher/host/host_tools.h"

namespace publisher {
namespace {

bool writeAll(int descriptor, std::string_view content) {
  while (!content.empty()) {
    const ssize_t written = ::write(descriptor, content.data(), content.size());
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0)
      return false;
    content.remove_prefix(static_cast<std::size_t>(written));
  }
  return ::fsync(descriptor) == 0;
}

}  // namespace

// Mode 0600; a hard link puts it in place, which fails where a file exists.
SecretFiles::Outcome OwnerOnlySecretFiles::writeNew(const std::string& path,
                                                    std::string_view content) {
  // mkstemp creates the file new, readable and writable by its owner only.
  std::string staging = path + ".XXXXXX";
  const int descriptor = ::mkstemp(staging.data());
  if (descriptor < 0)
    return Outcome::kFailed;
  const bool written = writeAll(descriptor, content);
  const bool closed = ::close(descriptor) == 0;
  Outcome outcome = Outcome::kFailed;
  if (written && closed) {
    if (::link(staging.c_str(), path.c_str()) == 0)
      outcome = Outcome::kWritten;
    else if (errno == EEXIST)
      outcome = Outcome::kExists;
  }
  ::unlink(staging.c_str());
  return outcome;
}

}  // namespace publisher
