#pragma once

// The "http://" addresses the download engine can fetch, and how a
// redirect's Location turns into the next one.

#include <optional>
#include <string>
#include <string_view>

namespace update {

struct HttpAddress {
  std::string host;
  int port = 80;
  // What goes on the request line: "/" onwards, fragment dropped, spaces and
  // bytes of 0x80 and above percent-encoded.
  std::string target;
};

// Null unless the address starts with "http://" (any letter case), names a
// host, optionally ":port" (1 to 65535), and has a "/" after it. Control
// characters anywhere make it unusable: they would end the request line.
std::optional<HttpAddress> parseHttpAddress(std::string_view address);

// The address a Location value names, seen from `base`: absolute http,
// scheme-relative, absolute path or a path relative to base's directory.
// Null for other schemes (https cannot be fetched) and unusable values.
std::optional<HttpAddress> resolveLocation(const HttpAddress& base, std::string_view location);

// "host" on the default port, else "host:port".
std::string hostAndPort(const HttpAddress& address);

// The whole GET request, ending in the blank line.
std::string getRequest(const HttpAddress& address, std::string_view userAgent);

}  // namespace update
