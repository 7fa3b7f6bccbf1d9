#include "platform/win32/win32_services.h"

namespace platform::win32 {
namespace {

MessageFilter g_filter = nullptr;

// How often waitUntil asks again when no message comes.
constexpr DWORD kDonePollMs = 10;

// Handles what is queued; false when a quit came, which is left for the
// main loop, which ends the program.
bool handleQueuedMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    dispatchMessage(message);
  }
  return true;
}

class Win32Pump final : public Pump {
 public:
  void delay(int milliseconds) override {
    const ULONGLONG deadline = GetTickCount64() + (milliseconds > 0 ? milliseconds : 0);
    while (handleQueuedMessages()) {
      const ULONGLONG now = GetTickCount64();
      if (now >= deadline)
        return;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    }
  }

  std::int64_t nowMs() override { return static_cast<std::int64_t>(GetTickCount64()); }

  bool waitUntil(const std::function<bool()>& done) override {
    while (handleQueuedMessages()) {
      if (done())
        return true;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, kDonePollMs, QS_ALLINPUT);
    }
    return false;
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
  DispatchMessageW(&message);
}

Pump& pump() {
  static Win32Pump instance;
  return instance;
}

}  // namespace platform::win32
