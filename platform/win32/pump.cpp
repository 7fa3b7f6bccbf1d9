#include "platform/win32/win32_services.h"

namespace platform::win32 {
namespace {

MessageFilter g_filter = nullptr;

class Win32Pump final : public Pump {
 public:
  void delay(int milliseconds) override {
    const ULONGLONG deadline = GetTickCount64() + (milliseconds > 0 ? milliseconds : 0);
    for (;;) {
      MSG message;
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
          // Leave the quit for the main loop, which ends the program.
          PostQuitMessage(static_cast<int>(message.wParam));
          return;
        }
        dispatchMessage(message);
      }
      const ULONGLONG now = GetTickCount64();
      if (now >= deadline)
        return;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    }
  }
};

}  // namespace

void setMessageFilter(MessageFilter filter) {
  g_filter = filter;
}

void dispatchMessage(MSG& message) {
  if (g_filter != nullptr && g_filter(message))
    return;
  TranslateMessage(&message);
  DispatchMessageA(&message);
}

Pump& pump() {
  static Win32Pump instance;
  return instance;
}

}  // namespace platform::win32
