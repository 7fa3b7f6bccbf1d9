#pragma once

// The connection a request travels on: TCP to the host's port, encrypted
// for that host when the address is https. The same for the download
// engine and the host's HTTP stack, so neither knows which TLS it has.

#include <memory>
#include <string>

#include "platform/sockets.h"
#include "platform/tls.h"

namespace update {

// Null when the host cannot be reached or the platform has no TLS; a failed
// handshake shows in the first send or receive.
std::unique_ptr<platform::Connection> openConnection(platform::Sockets& sockets, platform::Tls& tls,
                                                     const std::string& host, int port, bool secure,
                                                     int connectTimeoutMs, int ioTimeoutMs);

}  // namespace update
