#include <vector>

#include "handles.h"
#include "platform/win32/win32_services.h"

namespace platform::win32 {
namespace {

constexpr DWORD kEventAllAccess = 0x1F0003;

class Win32NamedEvents final : public NamedEvents {
 public:
  bool exists(const std::string& name) override {
    KernelHandle event(OpenEventA(kEventAllAccess, FALSE, name.c_str()));
    return static_cast<bool>(event);
  }

  bool create(const std::string& name) override {
    KernelHandle event(CreateEventA(nullptr, FALSE, FALSE, name.c_str()));
    if (!event)
      return false;
    // Only the marker's existence counts; it lives as long as the process.
    held_.push_back(std::move(event));
    return true;
  }

 private:
  std::vector<KernelHandle> held_;
};

}  // namespace

NamedEvents& namedEvents() {
  // Never destroyed: the markers must outlive every other clean-up.
  static auto* instance = new Win32NamedEvents;
  return *instance;
}

}  // namespace platform::win32
