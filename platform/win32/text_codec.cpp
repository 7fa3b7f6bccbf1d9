#include "platform/win32/wide_text.h"
#include "platform/win32/win32_services.h"

namespace platform::win32 {
namespace {

std::string_view bytesOf(const base::Bytes& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

class Win32TextCodec final : public TextCodec {
 public:
  std::string utf8ToAnsi(const base::Bytes& utf8) override {
    return narrow(wideFrom(CP_UTF8, bytesOf(utf8)), WC_COMPOSITECHECK);
  }

  std::optional<std::string> utf8NameToAnsi(const base::Bytes& utf8) override {
    return exactly936(CP_UTF8, bytesOf(utf8));
  }
};

}  // namespace

TextCodec& textCodec() {
  static Win32TextCodec instance;
  return instance;
}

}  // namespace platform::win32
