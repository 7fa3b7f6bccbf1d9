#include "publisher/web_address.h"

#include "base/cp936.h"

namespace publisher {
namespace {

bool startsWithScheme(std::string_view address, std::string_view scheme) {
  return address.size() > scheme.size() &&
         base::equalsIgnoringAsciiCase(address.substr(0, scheme.size()), scheme);
}

}  // namespace

bool isWebAddress(std::string_view address) {
  return startsWithScheme(address, "http://") || startsWithScheme(address, "https://");
}

}  // namespace publisher
