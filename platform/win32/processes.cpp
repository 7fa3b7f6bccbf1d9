#include "handles.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_services.h"
#include "platform/window_modes.h"

namespace platform::win32 {
namespace {

struct Created {
  KernelHandle process;  // empty when none was created
  DWORD id = 0;
};

// With `program`, that file is what runs, whatever the command line says.
Created createProcess(const std::string* program, const std::string& commandLine, int windowMode) {
  // CreateProcessW may write into the command line, so it gets a copy.
  std::wstring command = widen(commandLine);
  const std::wstring file = program != nullptr ? widen(*program) : std::wstring();
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showCommandForMode(windowMode));
  PROCESS_INFORMATION created{};
  if (!CreateProcessW(program != nullptr ? file.c_str() : nullptr, command.data(), nullptr, nullptr,
                      FALSE, 0, nullptr, nullptr, &startup, &created)) {
    return {};
  }
  KernelHandle threadHandle(created.hThread);
  return {KernelHandle(created.hProcess), created.dwProcessId};
}

struct WindowSearch {
  DWORD process;
  std::wstring windowClass;
  bool found;
};

BOOL CALLBACK visitWindow(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t name[256] = L"";
  if (owner == search.process && IsWindowVisible(window) && GetClassNameW(window, name, 256) > 0 &&
      search.windowClass == name) {
    search.found = true;
    return FALSE;
  }
  return TRUE;
}

class Win32ChildProcess final : public ChildProcess {
 public:
  Win32ChildProcess(KernelHandle process, DWORD id) : process_(std::move(process)), id_(id) {}
  std::int64_t exitCode() override {
    DWORD code = 0;
    // STILL_ACTIVE is also a code a program may end with: the wait decides.
    if (WaitForSingleObject(process_.get(), 0) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process_.get(), &code)) {
      return -1;
    }
    return code;
  }

  bool showsWindowOfClass(const std::string& windowClass) override {
    WindowSearch search{id_, widen(windowClass), false};
    EnumWindows(&visitWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

 private:
  KernelHandle process_;
  DWORD id_;
};

class Win32Processes final : public Processes {
 public:
  bool runCommandLine(const std::string& commandLine, bool wait, int windowMode) override {
    KernelHandle process = createProcess(nullptr, commandLine, windowMode).process;
    if (!process)
      return false;
    if (wait) {
      WaitForSingleObject(process.get(), INFINITE);
    } else {
      WaitForInputIdle(process.get(), 1000);
    }
    return true;
  }

  std::unique_ptr<ChildProcess> start(const std::string& program, int windowMode) override {
    // The quoted path is the program's first argument, as a shell gives it.
    Created created = createProcess(&program, "\"" + program + "\"", windowMode);
    if (!created.process)
      return nullptr;
    return std::make_unique<Win32ChildProcess>(std::move(created.process), created.id);
  }
};

}  // namespace

Processes& processes() {
  static Win32Processes instance;
  return instance;
}

}  // namespace platform::win32
