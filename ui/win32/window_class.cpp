#include "ui/win32/window_class.h"

#include <utility>

#include "platform/win32/wide_text.h"

namespace ui::win32 {

WindowClass::WindowClass(WNDCLASSEXW description, std::string_view name)
    : name_(platform::win32::widen(name)), instance_(description.hInstance) {
  description.lpszClassName = name_.c_str();
  if (RegisterClassExW(&description) != 0) {
    owned_ = true;
    usable_ = true;
  } else {
    usable_ = GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }
}

WindowClass::WindowClass(WindowClass&& other) noexcept
    : name_(std::move(other.name_)),
      instance_(other.instance_),
      owned_(std::exchange(other.owned_, false)),
      usable_(std::exchange(other.usable_, false)) {}

WindowClass& WindowClass::operator=(WindowClass&& other) noexcept {
  if (this != &other) {
    unregister();
    name_ = std::move(other.name_);
    instance_ = other.instance_;
    owned_ = std::exchange(other.owned_, false);
    usable_ = std::exchange(other.usable_, false);
  }
  return *this;
}

WindowClass::~WindowClass() {
  unregister();
}

void WindowClass::unregister() {
  if (owned_)
    UnregisterClassW(name_.c_str(), instance_);
  owned_ = false;
  usable_ = false;
}

}  // namespace ui::win32
