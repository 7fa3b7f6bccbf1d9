#pragma once

// The one place of the web address rules: the "http://" and "https://"
// addresses the download engine can fetch, the looser ones the launcher's
// small HTTP client takes, how a redirect's Location turns into the next
// address, and what the publisher's tool accepts as a web address.

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

// An address as the small HTTP client takes it: the scheme may be missing
// (http), and so may the path ("/"); the target is the path as written,
// query and fragment included, for the HTTP stack to encode. Null when the
// host is missing or not a host name, the port is not 1 to 65535, or a
// control character stands anywhere.
std::optional<HttpAddress> parseLooseAddress(std::string_view address);

// Starts with "http://" or "https://", letter case ignored, and has more.
bool isWebAddress(std::string_view address);

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
