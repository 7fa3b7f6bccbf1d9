#include "base/cp936.h"
#include "publisher/host/host_tools.h"

namespace publisher::host {
namespace {

// Code page 936 input: one character, one or two bytes.
std::size_t cp936Width(std::string_view rest) {
  return base::fileNameCharacterWidth(rest, 0);
}

}  // namespace

std::optional<std::string> IconvLocalText::toCp936(std::string_view local) {
  return platform::host::convertWithIconv("GBK", "UTF-8", local, nullptr);
}

std::string IconvLocalText::cp936ToUtf8(std::string_view cp936) {
  return platform::host::convertWithIconv("UTF-8", "GBK", cp936, &cp936Width)
      .value_or(std::string());
}

}  // namespace publisher::host
