#include <sys/statvfs.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "publisher/host/host_tools.h"
#include "publisher/system_error.h"

namespace publisher::host {

SystemError systemErrorOf(int errnoValue) {
  using Kind = SystemError::Kind;
  return systemError(errnoValue, std::strerror(errnoValue),
                     {{Kind::kNotFound, {ENOENT, ENOTDIR}},
                      {Kind::kAccessDenied, {EACCES, EPERM, EROFS}},
                      {Kind::kInUse, {ETXTBSY, EBUSY}},
                      {Kind::kNoSpace, {ENOSPC, EDQUOT}}});
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
