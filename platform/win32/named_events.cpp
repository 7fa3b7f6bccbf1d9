#include <map>

#include "handles.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_services.h"

namespace platform::win32 {
namespace {

class Win32NamedEvents final : public NamedEvents {
 public:
  Marker createMarker(const std::string& name) override {
    KernelHandle event(CreateEventW(nullptr, FALSE, FALSE, widen(name).c_str()));
    if (!event)
      return Marker::kFailed;
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    // Only the marker's existence counts; it lives as long as the process
    // or until it is released.
    held_.emplace(name, std::move(event));
    return existed ? Marker::kAlreadyExisted : Marker::kCreated;
  }

  void releaseMarker(const std::string& name) override { held_.erase(name); }

  bool markerExists(const std::string& name) override {
    return static_cast<bool>(KernelHandle(OpenEventW(SYNCHRONIZE, FALSE, widen(name).c_str())));
  }

 private:
  std::multimap<std::string, KernelHandle> held_;
};

}  // namespace

NamedEvents& namedEvents() {
  // Never destroyed: the markers must outlive every other clean-up.
  static auto* instance = new Win32NamedEvents;
  return *instance;
}

}  // namespace platform::win32
