#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <atomic>

#include "platform/win32/win32_services.h"

namespace platform::win32 {
namespace {

// Winsock is started once for the process and never stopped: connections
// may still close while the process ends.
bool winsockReady() {
  static const bool ready = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return ready;
}

class WinsockConnection final : public Connection {
 public:
  explicit WinsockConnection(SOCKET s) : socket_(s) {}
  ~WinsockConnection() override { closesocket(socket_); }

  bool sendAll(std::string_view data) override {
    while (!data.empty()) {
      if (aborted_)
        return false;
      const int chunk = static_cast<int>(std::min<std::size_t>(data.size(), 1 << 20));
      const int sent = send(socket_, data.data(), chunk, 0);
      if (sent <= 0)
        return false;
      data.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
  }

  long receive(void* buffer, std::size_t size) override {
    if (aborted_)
      return -1;
    const int chunk = static_cast<int>(std::min<std::size_t>(size, 1 << 20));
    const int got = recv(socket_, static_cast<char*>(buffer), chunk, 0);
    if (aborted_)
      return -1;
    return got < 0 ? -1 : got;
  }

  void abort() override {
    aborted_ = true;
    shutdown(socket_, SD_BOTH);
  }

 private:
  SOCKET socket_;
  std::atomic<bool> aborted_{false};
};

bool connectWithin(SOCKET s, const sockaddr* address, int length, int timeoutMs) {
  u_long nonBlocking = 1;
  ioctlsocket(s, FIONBIO, &nonBlocking);
  bool connected = connect(s, address, length) == 0;
  if (!connected && WSAGetLastError() == WSAEWOULDBLOCK) {
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    connected = select(0, nullptr, &writable, &failed, &limit) == 1 && FD_ISSET(s, &writable);
  }
  u_long blocking = 0;
  ioctlsocket(s, FIONBIO, &blocking);
  return connected;
}

class WinsockSockets final : public Sockets {
 public:
  std::unique_ptr<Connection> connect(const std::string& host, int port, int connectTimeoutMs,
                                      int ioTimeoutMs) override {
    if (!winsockReady())
      return nullptr;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
      return nullptr;
    }
    std::unique_ptr<Connection> connection;
    for (addrinfo* a = found; a != nullptr && !connection; a = a->ai_next) {
      SOCKET s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
      if (s == INVALID_SOCKET)
        continue;
      const DWORD limit = static_cast<DWORD>(ioTimeoutMs);
      setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof(limit));
      setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limit), sizeof(limit));
      if (connectWithin(s, a->ai_addr, static_cast<int>(a->ai_addrlen), connectTimeoutMs)) {
        connection = std::make_unique<WinsockConnection>(s);
      } else {
        closesocket(s);
      }
    }
    freeaddrinfo(found);
    return connection;
  }
};

}  // namespace

Sockets& sockets() {
  static WinsockSockets instance;
  return instance;
}

}  // namespace platform::win32
