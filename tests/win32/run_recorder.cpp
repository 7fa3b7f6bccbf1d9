// Started by the process tests: writes the command line it was given to
// "<its own path>.ran", so that a test sees which copy ran and with what.
// GUI subsystem, as a game is.

#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char path[MAX_PATH] = "";
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return 1;
  std::FILE* file = std::fopen((std::string(path) + ".ran").c_str(), "wb");
  if (file == nullptr)
    return 1;
  std::fputs(GetCommandLineA(), file);
  std::fclose(file);
  return 0;
}
