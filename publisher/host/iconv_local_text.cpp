#include <iconv.h>

#include <cerrno>
#include <memory>
#include <type_traits>

#include "base/cp936.h"
#include "publisher/host/host_tools.h"

namespace publisher::host {
namespace {

struct IconvCloser {
  void operator()(std::remove_pointer_t<iconv_t>* converter) const { iconv_close(converter); }
};
using Converter = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

// Converts the whole text; with `lossy`, a character that cannot be
// converted comes out as "?", otherwise it fails the conversion.
std::optional<std::string> convert(const char* to, const char* from, std::string_view text,
                                   bool lossy) {
  const Converter converter(iconv_open(to, from));
  if (converter.get() == reinterpret_cast<iconv_t>(-1))
    return std::nullopt;
  std::string input(text);
  char* in = input.data();
  std::size_t inLeft = input.size();
  std::string out;
  char buffer[1024];
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof(buffer);
    const std::size_t done = iconv(converter.get(), &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, sizeof(buffer) - outLeft);
    if (done != static_cast<std::size_t>(-1) || errno == E2BIG)
      continue;
    if (!lossy)
      return std::nullopt;
    out += '?';
    // Code page 936 input: one character, one or two bytes.
    const std::size_t skip = std::min(inLeft, base::fileNameCharacterWidth({in, inLeft}, 0));
    in += skip;
    inLeft -= skip;
  }
  return out;
}

}  // namespace

std::optional<std::string> IconvLocalText::toCp936(std::string_view local) {
  return convert("GBK", "UTF-8", local, false);
}

std::string IconvLocalText::cp936ToUtf8(std::string_view cp936) {
  return convert("UTF-8", "GBK", cp936, true).value_or(std::string());
}

}  // namespace publisher::host
