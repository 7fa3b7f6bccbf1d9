#pragma once

// Owners of kernel handles, so every path closes what it opened.

#include <windows.h>

#include <utility>

namespace platform::win32 {

template <typename T, T Invalid, BOOL(WINAPI* Close)(T)>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(T handle) : handle_(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, Invalid)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other)
      reset(std::exchange(other.handle_, Invalid));
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  T get() const { return handle_; }
  explicit operator bool() const { return handle_ != Invalid && handle_ != nullptr; }
  void reset(T handle = Invalid) {
    if (*this)
      Close(handle_);
    handle_ = handle;
  }

 private:
  T handle_ = Invalid;
};

// CreateFile and FindFirstFile fail with INVALID_HANDLE_VALUE, the others with null.
using KernelHandle = UniqueHandle<HANDLE, nullptr, &CloseHandle>;
using FileHandle = UniqueHandle<HANDLE, INVALID_HANDLE_VALUE, &CloseHandle>;
using FindHandle = UniqueHandle<HANDLE, INVALID_HANDLE_VALUE, &FindClose>;

}  // namespace platform::win32
