#include "update/http/open_connection.h"

namespace update {

std::unique_ptr<platform::Connection> openConnection(platform::Sockets& sockets, platform::Tls& tls,
                                                     const std::string& host, int port, bool secure,
                                                     int connectTimeoutMs, int ioTimeoutMs) {
  std::unique_ptr<platform::Connection> plain =
      sockets.connect(host, port, connectTimeoutMs, ioTimeoutMs);
  if (!plain || !secure)
    return plain;
  return tls.secure(std::move(plain), host);
}

}  // namespace update
