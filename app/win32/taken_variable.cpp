#include "app/win32/taken_variable.h"

#include <windows.h>

namespace app::win32 {

std::string takeEnvironmentVariable(const char* name) {
  char value[MAX_PATH] = "";
  const DWORD length = GetEnvironmentVariableA(name, value, MAX_PATH);
  SetEnvironmentVariableA(name, nullptr);
  return length > 0 && length < MAX_PATH ? std::string(value, length) : std::string();
}

}  // namespace app::win32
