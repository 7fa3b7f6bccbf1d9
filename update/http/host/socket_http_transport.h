#pragma once

// An HTTP/1.1 client over the platform's sockets and TLS, with the download
// engine's response parsing, standing in for the Windows HTTP stack where
// there is none: http and https (not through a proxy), redirects followed
// unless told not to (never from https to http), bodies by Content-Length,
// chunked or closed connection.

#include "platform/http_transport.h"
#include "platform/sockets.h"
#include "platform/tls.h"

namespace update {

class SocketHttpTransport final : public platform::HttpTransport {
 public:
  SocketHttpTransport(platform::Sockets& sockets, platform::Tls& tls)
      : sockets_(sockets), tls_(tls) {}
  platform::HttpOutcome perform(const platform::HttpExchange& exchange) override;
  // How long one connection may stay silent before it counts as failed.
  int timeoutMs = 20000;

 private:
  platform::Sockets& sockets_;
  platform::Tls& tls_;
};

}  // namespace update
