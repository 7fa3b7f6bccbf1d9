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

// The bytes one refused character takes, as Windows' UTF-8 decoder takes
// them: a well-formed character (which code page 936 cannot hold) whole;
// of an ill-formed sequence only its longest valid beginning, each such
// part one U+FFFD, so that a stray lead byte never takes the bytes after it.
std::size_t utf8Width(std::string_view rest) {
  const auto lead = static_cast<unsigned char>(rest.front());
  std::size_t length = 1;
  unsigned char low = 0x80;  // the second byte's range; later ones are 80-BF
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
    high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing past U+10FFFF
  }
  std::size_t taken = 1;
  for (; taken < length && taken < rest.size(); ++taken) {
    const auto next = static_cast<unsigned char>(rest[taken]);
    if (next < (taken == 1 ? low : 0x80) || next > (taken == 1 ? high : 0xBF))
      break;
  }
  return taken;
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

std::optional<std::string> IconvTextCodec::utf8NameToAnsi(const base::Bytes& utf8) {
  const std::string_view text(reinterpret_cast<const char*>(utf8.data()), utf8.size());
  return convertWithIconv("GBK", "UTF-8", text, nullptr);
}

}  // namespace platform::host
