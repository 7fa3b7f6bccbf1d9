#include <vector>

#include "handles.h"
#include "platform/win32/win32_services.h"
#include "platform/window_modes.h"

namespace platform::win32 {
namespace {

// The process handle of the created process, or an empty one.
KernelHandle createProcess(const std::string& commandLine, int windowMode) {
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
    return KernelHandle();
  }
  KernelHandle threadHandle(created.hThread);
  return KernelHandle(created.hProcess);
}

class Win32ChildProcess final : public ChildProcess {
 public:
  explicit Win32ChildProcess(KernelHandle process) : process_(std::move(process)) {}
  std::int64_t exitCode() override {
    DWORD code = 0;
    // STILL_ACTIVE is also a code a program may end with: the wait decides.
    if (WaitForSingleObject(process_.get(), 0) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process_.get(), &code)) {
      return -1;
    }
    return code;
  }

 private:
  KernelHandle process_;
};

class Win32Processes final : public Processes {
 public:
  bool runCommandLine(const std::string& commandLine, bool wait, int windowMode) override {
    KernelHandle process = createProcess(commandLine, windowMode);
    if (!process)
      return false;
    if (wait) {
      WaitForSingleObject(process.get(), INFINITE);
    } else {
      WaitForInputIdle(process.get(), 1000);
    }
    return true;
  }

  std::unique_ptr<ChildProcess> start(const std::string& commandLine, int windowMode) override {
    KernelHandle process = createProcess(commandLine, windowMode);
    if (!process)
      return nullptr;
    return std::make_unique<Win32ChildProcess>(std::move(process));
  }
};

}  // namespace

Processes& processes() {
  static Win32Processes instance;
  return instance;
}

}  // namespace platform::win32
