#pragma once

// One owner for every kind of Win32 handle, so every path closes what it
// opened. A kind's traits name its handle type, the value that means "no
// handle" and how a handle is closed; a handle that is a structure rather
// than a pointer (SSPI's) also needs `isLive`, saying when it is one.

#include <windows.h>

#include <utility>

namespace platform::win32 {

template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept
      : handle_(std::exchange(other.handle_, Traits::invalid())) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other)
      reset(std::exchange(other.handle_, Traits::invalid()));
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  Handle get() const { return handle_; }
  // Null is never a live handle, whatever value the kind fails with.
  explicit operator bool() const {
    if constexpr (requires { Traits::isLive(handle_); })
      return Traits::isLive(handle_);
    else
      return handle_ != Traits::invalid() && handle_ != nullptr;
  }
  // Gives up ownership to a call that takes it over (SetWindowRgn does).
  Handle release() { return std::exchange(handle_, Traits::invalid()); }
  void reset(Handle handle = Traits::invalid()) {
    if (*this)
      Traits::close(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = Traits::invalid();
};

// The traits of a kind whose handles one function closes and that fails
// with null, or with `kInvalid` as a number (INVALID_HANDLE_VALUE is -1).
template <typename HandleType, auto kClose, LONG_PTR kInvalid = 0>
struct ClosedBy {
  using Handle = HandleType;
  static Handle invalid() { return reinterpret_cast<Handle>(kInvalid); }
  static void close(Handle h) { kClose(h); }
};

using KernelHandle = UniqueHandle<ClosedBy<HANDLE, &CloseHandle>>;
// CreateFile and FindFirstFile fail with INVALID_HANDLE_VALUE instead of null.
using FileHandle = UniqueHandle<ClosedBy<HANDLE, &CloseHandle, -1>>;
using FindHandle = UniqueHandle<ClosedBy<HANDLE, &FindClose, -1>>;

}  // namespace platform::win32
