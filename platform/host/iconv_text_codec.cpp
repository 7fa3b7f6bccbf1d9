#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <type_traits>

#include "platform/host/host_services.h"

namespace platform::host {
namespace {

struct IconvCloser {
  void operator()(std::remove_pointer_t<iconv_t>* converter) const { iconv_close(converter); }
};
using Converter = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

// A UTF-8 character's length from its lead byte; 1 for a stray byte.
std::size_t utf8Width(std::string_view rest) {
  const auto lead = static_cast<unsigned char>(rest.front());
  return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

}  // namespace

std::optional<std::string> convertWithIconv(const char* to, const char* from, std::string_view text,
                                            SkipWidth skipWidth) {
  const Converter converter(iconv_open(to, from));
  if (converter.get() == reinterpret_cast<iconv_t>(-1))
    return std::nullopt;
  std::string input(text);
  char* in = input.data();
  std::size_t inLeft = input.size();
  std::string out;
  char buffer[4096];
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof(buffer);
    const std::size_t done = iconv(converter.get(), &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, sizeof(buffer) - outLeft);
    if (done != static_cast<std::size_t>(-1) || errno == E2BIG)
      continue;
    if (skipWidth == nullptr)
      return std::nullopt;
    // An invalid or unrepresentable character: skip it whole, show "?".
    out.push_back('?');
    const std::size_t skip = std::min(inLeft, skipWidth({in, inLeft}));
    in += skip;
    inLeft -= skip;
  }
  return out;
}

std::string IconvTextCodec::utf8ToAnsi(const base::Bytes& utf8) {
  const std::string_view text(reinterpret_cast<const char*>(utf8.data()), utf8.size());
  return convertWithIconv("GBK", "UTF-8", text, &utf8Width).value_or(std::string());
}

}  // namespace platform::host
