#pragma once

// An HTTP/1.1 client over BSD sockets standing in for the Windows HTTP
// stack: plain http only, redirects followed unless told not to, bodies by
// Content-Length, chunked or closed connection.

#include "platform/services.h"

namespace platform::host {

class SocketHttpTransport final : public HttpTransport {
 public:
  HttpOutcome perform(const HttpExchange& exchange) override;
  // How long one connection may stay silent before it counts as failed.
  int timeoutMs = 20000;
};

// UTF-8 to code page 936 with iconv; unrepresentable characters become "?".
class IconvTextCodec final : public TextCodec {
 public:
  std::string utf8ToAnsi(const core::Bytes& utf8) override;
};

}  // namespace platform::host
