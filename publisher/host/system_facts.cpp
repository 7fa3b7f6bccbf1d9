#include <sys/statvfs.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "publisher/host/host_tools.h"
#include "publisher/messages.h"
#include "publisher/system_error.h"

// errno, statvfs for the free space, TMPDIR or /tmp for temporary files.

namespace publisher {
namespace host {

SystemError systemErrorOf(int errnoValue) {
  using Kind = SystemError::Kind;
  return systemError(errnoValue, std::strerror(errnoValue),
                     {{Kind::kNotFound, {ENOENT, ENOTDIR}},
                      {Kind::kAccessDenied, {EACCES, EPERM, EROFS}},
                      {Kind::kInUse, {ETXTBSY, EBUSY}},
                      {Kind::kNoSpace, {ENOSPC, EDQUOT}}});
}

}  // namespace host

SystemError NativeSystemFacts::last() {
  return host::systemErrorOf(errno);
}

std::optional<std::uint64_t> NativeSystemFacts::freeBytes(const std::string& folder) {
  struct statvfs info {};
  if (::statvfs(platform::host::hostPath(folder).c_str(), &info) != 0)
    return std::nullopt;
  return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

Language NativeSystemFacts::userLanguage() {
  // The locale's order of precedence for messages.
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0')
      return languageOfLocale(value);
  }
  return Language::kEnglish;
}

char NativeSystemFacts::pathSeparator() {
  return '/';
}

std::string NativeSystemFacts::temporaryFolder() {
  const char* folder = std::getenv("TMPDIR");
  return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

}  // namespace publisher
