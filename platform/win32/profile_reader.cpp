#include <vector>

#include "platform/win32/win32_services.h"

namespace platform::win32 {
namespace {

class Win32ProfileReader final : public ProfileReader {
 public:
  std::string read(const std::string& path, const std::string& section, const std::string& key,
                   std::size_t capacity) override {
    if (capacity == 0)
      return {};
    std::vector<char> buffer(capacity, '\0');
    const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(),
                                                  static_cast<DWORD>(capacity), path.c_str());
    return std::string(buffer.data(), std::min<std::size_t>(length, capacity - 1));
  }
};

}  // namespace

ProfileReader& profileReader() {
  static Win32ProfileReader instance;
  return instance;
}

}  // namespace platform::win32
