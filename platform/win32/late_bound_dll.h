#pragma once

// A system DLL bound on first use instead of by the loader at start-up:
// the services that only a click needs (the version check, the download,
// the shortcut, the links) then cost nothing before the window shows. Its
// functions are looked up by name; a DLL or function that cannot be found
// reads as null, and the service then fails as it does when its call fails.

#include <windows.h>

#include <memory>

#include "platform/win32/handles.h"

namespace platform::win32 {

using ModuleHandle = UniqueHandle<ClosedBy<HMODULE, &FreeLibrary>>;

class LateBoundDll {
 public:
  // The usual search of LoadLibrary, as the loader's own for an import, so
  // that common controls 6 still come through the manifest.
  explicit LateBoundDll(const char* name) : module_(LoadLibraryA(name)) {}

  bool loaded() const { return static_cast<bool>(module_); }
  HMODULE module() const { return module_.get(); }

  // The exported function `name` as F (declare it as decltype(&::Function)),
  // or null.
  template <typename F>
  F function(const char* name) const {
    if (!module_)
      return nullptr;
    // Through void*: FARPROC and F differ in their parameters.
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_.get(), name)));
  }

 private:
  ModuleHandle module_;
};

// The function table `Api` (LateBoundDll members and TAVORO_LATE_BOUND
// functions, with `bool complete() const`), bound once for the process and
// then started by `start` if given; null when a function is missing or the
// start fails. Never unloaded: handles and windows of the DLL may still be
// closed while the process ends.
template <typename Api>
const Api* bindOnce(bool (*start)(const Api& api) = nullptr) {
  static const Api* const bound = [start]() -> const Api* {
    auto api = std::make_unique<Api>();
    return api->complete() && (start == nullptr || start(*api)) ? api.release() : nullptr;
  }();
  return bound;
}

// Binds the function `name` of `dll` under its own name and type.
#define TAVORO_LATE_BOUND(dll, name) \
  decltype(&::name) name = (dll).function<decltype(&::name)>(#name)

}  // namespace platform::win32
