#include <string_view>
#include <vector>

#include "base/path.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_services.h"

namespace platform::win32 {
namespace {

// The executable's full path, however long.
std::string modulePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0)
      return {};
    if (length < buffer.size())
      return narrow(std::wstring_view(buffer.data(), length));
    buffer.resize(buffer.size() * 2);
  }
}

class Win32Process final : public Process {
 public:
  std::string runDirectory() override {
    const std::string path = modulePath();
    // Knows two-byte characters whose second byte is '\', as the shell does.
    const std::string_view name = base::lastPathComponent(path);
    std::size_t cut = static_cast<std::size_t>(name.data() - path.data());
    if (cut > 0 && path[cut - 1] == '\\')
      --cut;
    return path.substr(0, cut);
  }

  std::string executableName() override {
    if (!renamed_.empty())
      return renamed_;
    const std::string path = modulePath();
    return std::string(base::lastPathComponent(path));
  }

  void renamed(const std::string& executable) override { renamed_ = executable; }

  [[noreturn]] void exit(int code) override { ExitProcess(static_cast<UINT>(code)); }

 private:
  std::string renamed_;
};

}  // namespace

Process& process() {
  static Win32Process instance;
  return instance;
}

}  // namespace platform::win32
