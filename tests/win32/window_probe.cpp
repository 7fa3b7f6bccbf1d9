// Started by the process tests, told what to do by its environment (it
// gets no arguments): creates a top-level window of the class
// TAVORO_PROBE_CLASS, hidden, and shows it after TAVORO_PROBE_SHOW_AFTER_MS
// milliseconds ("never": it stays hidden). TAVORO_PROBE_CHILD_CLASS adds a
// visible child window of that class. Ends when its window is closed, or
// after a minute, so that a failed test leaves nothing running.

#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

constexpr UINT_PTR kShowTimer = 1;
constexpr UINT_PTR kGiveUpTimer = 2;

std::string variable(const char* name) {
  char value[256] = "";
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length > 0 && length < sizeof value ? value : "";
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    KillTimer(window, wParam);
    if (wParam == kShowTimer)
      ShowWindow(window, SW_SHOWNOACTIVATE);
    else
      DestroyWindow(window);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

bool registerClass(HINSTANCE instance, const std::string& name) {
  WNDCLASSA description{};
  description.lpfnWndProc = &windowProc;
  description.hInstance = instance;
  description.lpszClassName = name.c_str();
  return RegisterClassA(&description) != 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  const std::string windowClass = variable("TAVORO_PROBE_CLASS");
  const std::string childClass = variable("TAVORO_PROBE_CHILD_CLASS");
  const std::string showAfter = variable("TAVORO_PROBE_SHOW_AFTER_MS");
  if (windowClass.empty() || !registerClass(instance, windowClass))
    return 2;
  HWND window = CreateWindowExA(0, windowClass.c_str(), "probe", WS_OVERLAPPEDWINDOW, 10, 10, 200,
                                120, nullptr, nullptr, instance, nullptr);
  if (window == nullptr)
    return 3;
  if (!childClass.empty()) {
    if (!registerClass(instance, childClass) ||
        CreateWindowExA(0, childClass.c_str(), "", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, window,
                        nullptr, instance, nullptr) == nullptr) {
      return 4;
    }
  }
  if (showAfter != "never")
    SetTimer(window, kShowTimer, std::strtoul(showAfter.c_str(), nullptr, 10), nullptr);
  SetTimer(window, kGiveUpTimer, 60000, nullptr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
