#include "publisher/messages.h"
#include "publisher/system_error.h"
#include "publisher/win32/win32_tools.h"

// GetLastError, GetDiskFreeSpaceEx for the free space, GetTempPath.

namespace publisher {
namespace {

// The system's message for `code`, as it gives it.
std::string messageOf(DWORD code) {
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text(buffer != nullptr ? buffer : "", length);
  LocalFree(buffer);
  return text;
}

}  // namespace

SystemError NativeSystemFacts::last() {
  const DWORD code = GetLastError();
  using Kind = SystemError::Kind;
  return systemError(
      code, messageOf(code),
      {{Kind::kNotFound,
        {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_INVALID_DRIVE, ERROR_BAD_NETPATH}},
       {Kind::kAccessDenied, {ERROR_ACCESS_DENIED, ERROR_WRITE_PROTECT}},
       {Kind::kInUse, {ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION}},
       {Kind::kNoSpace, {ERROR_DISK_FULL, ERROR_HANDLE_DISK_FULL}}});
}

std::optional<std::uint64_t> NativeSystemFacts::freeBytes(const std::string& folder) {
  ULARGE_INTEGER available{};
  if (!GetDiskFreeSpaceExA(folder.c_str(), &available, nullptr, nullptr))
    return std::nullopt;
  return available.QuadPart;
}

Language NativeSystemFacts::userLanguage() {
  return languageOfLangId(GetUserDefaultUILanguage());
}

char NativeSystemFacts::pathSeparator() {
  return '\\';
}

std::string NativeSystemFacts::temporaryFolder() {
  char folder[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(sizeof(folder), folder);
  return length > 0 && length < sizeof(folder) ? std::string(folder, length) : ".";
}

}  // namespace publisher
