#include "publisher/win32/win32_tools.h"

namespace publisher::win32 {
namespace {

std::string messageOf(DWORD code) {
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text(buffer != nullptr ? buffer : "", length);
  LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.'))
    text.pop_back();
  return text.empty() ? "error " + std::to_string(code) : text;
}

}  // namespace

SystemError Win32SystemFacts::last() {
  const DWORD code = GetLastError();
  SystemError error;
  error.text = messageOf(code);
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
      error.kind = SystemError::Kind::kNotFound;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      error.kind = SystemError::Kind::kAccessDenied;
      break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      error.kind = SystemError::Kind::kInUse;
      break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      error.kind = SystemError::Kind::kNoSpace;
      break;
    default:
      break;
  }
  return error;
}

std::optional<std::uint64_t> Win32SystemFacts::freeBytes(const std::string& folder) {
  ULARGE_INTEGER available{};
  if (!GetDiskFreeSpaceExA(folder.c_str(), &available, nullptr, nullptr))
    return std::nullopt;
  return available.QuadPart;
}

std::string Win32SystemFacts::temporaryFolder() {
  char folder[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(sizeof(folder), folder);
  return length > 0 && length < sizeof(folder) ? std::string(folder, length) : ".";
}

}  // namespace publisher::win32
