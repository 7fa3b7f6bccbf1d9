#pragma once

// An HTTP/1.1 client over the platform's sockets, with the download engine's
// response parsing, standing in for the Windows HTTP stack where there is
// none: plain http only, redirects followed unless told not to, bodies by
// Content-Length, chunked or closed connection.

#include "platform/services.h"

namespace update {

class SocketHttpTransport final : public platform::HttpTransport {
 public:
  explicit SocketHttpTransport(platform::Sockets& sockets) : sockets_(sockets) {}
  platform::HttpOutcome perform(const platform::HttpExchange& exchange) override;
  // How long one connection may stay silent before it counts as failed.
  int timeoutMs = 20000;

 private:
  platform::Sockets& sockets_;
};

}  // namespace update
