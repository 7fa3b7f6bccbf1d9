#include <objbase.h>
#include <objidl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <memory>

#include "platform/win32/late_bound_dll.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_services.h"

namespace platform::win32 {
namespace {

// The shell and COM, bound at the first link, shortcut or package opened:
// the window shows without them. Never unloaded, as they would stay
// loaded had the loader bound them.
struct ShellApi {
  LateBoundDll ole32{"ole32.dll"};
  TAVORO_LATE_BOUND(ole32, CoInitializeEx);
  TAVORO_LATE_BOUND(ole32, CoCreateInstance);
  LateBoundDll shell32{"shell32.dll"};
  TAVORO_LATE_BOUND(shell32, ShellExecuteW);
  TAVORO_LATE_BOUND(shell32, SHGetSpecialFolderPathW);

  bool complete() const {
    return CoInitializeEx && CoCreateInstance && ShellExecuteW && SHGetSpecialFolderPathW;
  }
};

// Null without the shell: links then open nothing and shortcuts fail, as
// when the calls themselves fail. COM is started on each thread that uses
// the shell, before its first call, as the shell expects; it stays started
// for the thread's life.
const ShellApi* shellApi() {
  const ShellApi* bound = bindOnce<ShellApi>();
  if (bound == nullptr)
    return nullptr;
  thread_local const bool comStarted =
      SUCCEEDED(bound->CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  (void)comStarted;
  return bound;
}

// Releases a COM interface when it goes out of scope.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() {
    if (ptr_ != nullptr)
      ptr_->Release();
  }
  T* operator->() const { return ptr_; }
  T** out() { return &ptr_; }
  void** outVoid() { return reinterpret_cast<void**>(&ptr_); }

 private:
  T* ptr_ = nullptr;
};

class Win32Shell final : public Shell {
 public:
  void open(const std::string& target) override {
    if (const ShellApi* api = shellApi())
      api->ShellExecuteW(nullptr, L"open", widen(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  }

  std::string desktopDirectory() override {
    const ShellApi* api = shellApi();
    wchar_t path[MAX_PATH] = {};
    if (api == nullptr ||
        !api->SHGetSpecialFolderPathW(nullptr, path, CSIDL_DESKTOPDIRECTORY, FALSE))
      return {};
    return narrow(path);
  }

  bool createShortcut(const std::string& linkPath, const std::string& targetPath) override {
    const ShellApi* api = shellApi();
    ComPtr<IShellLinkW> link;
    if (api == nullptr ||
        FAILED(api->CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IShellLinkW, link.outVoid()))) {
      return false;
    }
    link->SetPath(widen(targetPath).c_str());
    link->SetShowCmd(SW_SHOW);
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.outVoid())))
      return false;
    const std::wstring widePath = widen(linkPath);
    return !widePath.empty() && SUCCEEDED(file->Save(widePath.c_str(), TRUE));
  }

  std::string shortcutTarget(const std::string& linkPath) override {
    const ShellApi* api = shellApi();
    ComPtr<IShellLinkW> link;
    if (api == nullptr ||
        FAILED(api->CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IShellLinkW, link.outVoid()))) {
      return {};
    }
    ComPtr<IPersistFile> file;
    const std::wstring widePath = widen(linkPath);
    if (widePath.empty() || FAILED(link->QueryInterface(IID_IPersistFile, file.outVoid())) ||
        FAILED(file->Load(widePath.c_str(), STGM_READ))) {
      return {};
    }
    wchar_t target[MAX_PATH] = L"";
    // S_FALSE: a link without a path (to a shell object).
    if (link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH) != S_OK)
      return {};
    return narrow(target);
  }
};

}  // namespace

Shell& shell() {
  static Win32Shell instance;
  return instance;
}

}  // namespace platform::win32
