#pragma once

// A registered window class, unregistered when the owner goes.

#include <windows.h>

#include <string>
#include <string_view>

namespace ui::win32 {

class WindowClass {
 public:
  WindowClass() = default;
  // Registers `description` under `name` (ASCII or code page 936). When a
  // class of that name exists already in this process (a second window of
  // the same kind), it is used as it is and left registered.
  WindowClass(WNDCLASSEXW description, std::string_view name);
  WindowClass(WindowClass&& other) noexcept;
  WindowClass& operator=(WindowClass&& other) noexcept;
  WindowClass(const WindowClass&) = delete;
  WindowClass& operator=(const WindowClass&) = delete;
  ~WindowClass();

  bool usable() const { return usable_; }

 private:
  void unregister();
  std::wstring name_;
  HINSTANCE instance_ = nullptr;
  bool owned_ = false;
  bool usable_ = false;
};

}  // namespace ui::win32
