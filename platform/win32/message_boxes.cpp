#include "platform/win32/wide_text.h"
#include "platform/win32/win32_services.h"

namespace platform::win32 {
namespace {

class Win32MessageBoxes final : public MessageBoxes {
 public:
  int show(const std::string& text, unsigned flags, const std::string& title) override {
    // Task-modal without owner: the whole thread's windows wait for the answer.
    return MessageBoxW(nullptr, widen(text).c_str(), widen(title).c_str(), flags | MB_TASKMODAL);
  }
};

}  // namespace

MessageBoxes& messageBoxes() {
  static Win32MessageBoxes instance;
  return instance;
}

}  // namespace platform::win32
