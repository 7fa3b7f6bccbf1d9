#include <vector>

#include "handles.h"
#include "platform/win32/win32_services.h"
#include "platform/window_modes.h"

namespace platform::win32 {
namespace {

class Win32Processes final : public Processes {
 public:
  bool runCommandLine(const std::string& commandLine, bool wait, int windowMode) override {
    // CreateProcessA may write into the command line, so it gets a copy.
    std::vector<char> command(commandLine.begin(), commandLine.end());
    command.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showCommandForMode(windowMode));
    PROCESS_INFORMATION created{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &created)) {
      return false;
    }
    KernelHandle processHandle(created.hProcess);
    KernelHandle threadHandle(created.hThread);
    if (wait) {
      WaitForSingleObject(processHandle.get(), INFINITE);
    } else {
      WaitForInputIdle(processHandle.get(), 1000);
    }
    return true;
  }
};

}  // namespace

Processes& processes() {
  static Win32Processes instance;
  return instance;
}

}  // namespace platform::win32
