#pragma once

// The "http://" and "https://" addresses the download engine can fetch, and
// how a redirect's Location turns into the next one.

#include <optional>
#include <string>
#include <string_view>

namespace update {

struct HttpAddress {
  bool secure = false;  // https: TLS to the host
  std::string host;
  int port = 80;
  // What goes on the request line: "/" onwards, fragment dropped, spaces and
  // bytes of 0x80 and above percent-encoded.
  std::string target;
};

// Null unless the address starts with "http://" or "https://" (any letter
// case), names a host, optionally ":port" (1 to 65535; else 80 or 443), and
// has a "/" after it. Control characters anywhere make it unusable: they
// would end the request line.
std::optional<HttpAddress> parseHttpAddress(std::string_view address);

// The address a Location value names, seen from `base`: absolute http or
// https, scheme-relative (base's scheme), absolute path or a path relative
// to base's directory. Null for other schemes, for plain http seen from
// https (what was asked for encrypted stays encrypted) and unusable values.
std::optional<HttpAddress> resolveLocation(const HttpAddress& base, std::string_view location);

// "host" on the scheme's default port, else "host:port".
std::string hostAndPort(const HttpAddress& address);

// The whole GET request, ending in the blank line.
std::string getRequest(const HttpAddress& address, std::string_view userAgent);

}  // namespace update
