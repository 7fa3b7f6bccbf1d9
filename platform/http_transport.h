#pragma once

// HTTP exchanges through the platform's own HTTP stack.

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/bytes.h"

namespace platform {

// What one exchange takes in at most. A version page is a few kilobytes;
// a response past either limit is no page of ours and reads as none (no
// body, no headers), so that a server cannot make the reader hold more.
inline constexpr std::size_t kMaxHttpBodyBytes = 1024 * 1024;
inline constexpr std::size_t kMaxHttpHeaderBytes = 64 * 1024;

// One HTTP exchange as the platform's HTTP stack performs it: it connects,
// sends, follows redirects unless told not to, and reads the whole body
// within the limits above.
struct HttpExchange {
  std::string agent;
  std::string proxy;  // empty: a direct connection
  std::string host;   // lower-cased, without port
  int port = 80;
  std::string verb;
  std::string path;
  std::string headers;  // CRLF-separated, no CRLF after the last line
  base::Bytes body;
  std::uint32_t flags = 0;  // reload, no cookies, no redirect, secure, ...
};

struct HttpOutcome {
  // False when no request could be opened at all; nothing else is set then.
  bool opened = false;
  base::Bytes body;
  // The raw response header block, CRLF line ends, when it could be read.
  bool headersRead = false;
  std::string rawHeaders;
};

class HttpTransport {
 public:
  virtual ~HttpTransport() = default;
  virtual HttpOutcome perform(const HttpExchange& exchange) = 0;
};

}  // namespace platform
