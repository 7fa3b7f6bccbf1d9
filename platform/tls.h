#pragma once

// TLS over a connection.

#include <memory>
#include <string>

#include "platform/sockets.h"

namespace platform {

// Encrypts connections with TLS. The server's certificate must chain to a
// trusted authority, be within its validity and name the host; the check is
// the system's, as its own HTTP stack makes it.
class Tls {
 public:
  virtual ~Tls() = default;
  // `plain`, connected to `host`, as an encrypted connection to it; null
  // when the platform has no TLS. Nothing is exchanged yet: the handshake
  // and the certificate check run within the first sendAll or receive,
  // under the time limits of `plain`, and when they fail that call and
  // every later one fail. abort() aborts `plain`, mid-handshake too.
  virtual std::unique_ptr<Connection> secure(std::unique_ptr<Connection> plain,
                                             const std::string& host) = 0;
};

}  // namespace platform
