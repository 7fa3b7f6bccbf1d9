#include <iconv.h>

#include <algorithm>
#include <cerrno>

#include "platform/host/host_services.h"

namespace platform::host {

std::string IconvTextCodec::utf8ToAnsi(const base::Bytes& utf8) {
  iconv_t convert = iconv_open("GBK", "UTF-8");
  if (convert == reinterpret_cast<iconv_t>(-1))
    return {};
  std::string out;
  std::string input(utf8.begin(), utf8.end());
  char* in = input.data();
  std::size_t inLeft = input.size();
  char buffer[4096];
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof(buffer);
    const std::size_t done = iconv(convert, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, sizeof(buffer) - outLeft);
    if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
      // An invalid or unrepresentable character: skip it whole, show "?".
      out.push_back('?');
      std::size_t skip = 1;
      const auto lead = static_cast<unsigned char>(*in);
      if (lead >= 0xF0)
        skip = 4;
      else if (lead >= 0xE0)
        skip = 3;
      else if (lead >= 0xC0)
        skip = 2;
      skip = std::min(skip, inLeft);
      in += skip;
      inLeft -= skip;
    }
  }
  iconv_close(convert);
  return out;
}

}  // namespace platform::host
