#pragma once

// TCP connections.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// One TCP connection. abort() may be called from another thread and makes a
// blocked send or receive return at once.
class Connection {
 public:
  virtual ~Connection() = default;
  virtual bool sendAll(std::string_view data) = 0;
  // Bytes read into `buffer`; 0 when the peer closed, -1 on error or time-out.
  virtual long receive(void* buffer, std::size_t size) = 0;
  virtual void abort() = 0;
};

class Sockets {
 public:
  virtual ~Sockets() = default;
  // Null when the host cannot be resolved or reached within `connectTimeoutMs`;
  // sends and receives give up after `ioTimeoutMs` of silence.
  virtual std::unique_ptr<Connection> connect(const std::string& host, int port,
                                              int connectTimeoutMs, int ioTimeoutMs) = 0;
};

}  // namespace platform
