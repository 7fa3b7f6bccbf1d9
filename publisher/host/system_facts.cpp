#include <sys/statvfs.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "publisher/host/host_tools.h"

namespace publisher::host {

SystemError systemErrorOf(int errnoValue) {
  SystemError error;
  error.text = std::strerror(errnoValue);
  switch (errnoValue) {
    case ENOENT:
    case ENOTDIR:
      error.kind = SystemError::Kind::kNotFound;
      break;
    case EACCES:
    case EPERM:
    case EROFS:
      error.kind = SystemError::Kind::kAccessDenied;
      break;
    case ETXTBSY:
    case EBUSY:
      error.kind = SystemError::Kind::kInUse;
      break;
    case ENOSPC:
    case EDQUOT:
      error.kind = SystemError::Kind::kNoSpace;
      break;
    default:
      break;
  }
  return error;
}

SystemError HostSystemFacts::last() {
  return systemErrorOf(errno);
}

std::optional<std::uint64_t> HostSystemFacts::freeBytes(const std::string& folder) {
  struct statvfs info {};
  if (::statvfs(platform::host::hostPath(folder).c_str(), &info) != 0)
    return std::nullopt;
  return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

std::string HostSystemFacts::temporaryFolder() {
  const char* folder = std::getenv("TMPDIR");
  return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

}  // namespace publisher::host
