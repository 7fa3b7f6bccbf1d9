#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <atomic>
#include <memory>

#include "platform/win32/late_bound_dll.h"
#include "platform/win32/win32_services.h"

namespace platform::win32 {
namespace {

// Winsock, bound at the first connection: only the download uses it.
struct Winsock {
  LateBoundDll dll{"ws2_32.dll"};
  TAVORO_LATE_BOUND(dll, WSAStartup);
  TAVORO_LATE_BOUND(dll, WSAGetLastError);
  TAVORO_LATE_BOUND(dll, getaddrinfo);
  TAVORO_LATE_BOUND(dll, freeaddrinfo);
  TAVORO_LATE_BOUND(dll, socket);
  TAVORO_LATE_BOUND(dll, setsockopt);
  TAVORO_LATE_BOUND(dll, ioctlsocket);
  TAVORO_LATE_BOUND(dll, connect);
  TAVORO_LATE_BOUND(dll, select);
  TAVORO_LATE_BOUND(dll, send);
  TAVORO_LATE_BOUND(dll, recv);
  TAVORO_LATE_BOUND(dll, shutdown);
  TAVORO_LATE_BOUND(dll, closesocket);

  bool complete() const {
    return WSAStartup && WSAGetLastError && getaddrinfo && freeaddrinfo && socket && setsockopt &&
           ioctlsocket && connect && select && send && recv && shutdown && closesocket;
  }
};

// Null when Winsock cannot be bound or started: no connection is then made,
// as when WSAStartup fails. Bound and started once for the process, never
// stopped or unloaded: connections may still close while the process ends.
const Winsock* winsock() {
  return bindOnce<Winsock>([](const Winsock& api) {
    WSADATA data;
    return api.WSAStartup(MAKEWORD(2, 2), &data) == 0;
  });
}

// FD_ISSET, without the import it would add.
bool inSet(SOCKET s, const fd_set& set) {
  for (u_int i = 0; i < set.fd_count; ++i) {
    if (set.fd_array[i] == s)
      return true;
  }
  return false;
}

// How often a receive that waits for data looks whether it was aborted.
constexpr int kAbortCheckMs = 50;

class WinsockConnection final : public Connection {
 public:
  WinsockConnection(const Winsock& api, SOCKET s, int ioTimeoutMs)
      : api_(api), socket_(s), ioTimeoutMs_(ioTimeoutMs) {}
  ~WinsockConnection() override { api_.closesocket(socket_); }

  bool sendAll(std::string_view data) override {
    while (!data.empty()) {
      if (aborted_)
        return false;
      const int chunk = static_cast<int>(std::min<std::size_t>(data.size(), 1 << 20));
      const int sent = api_.send(socket_, data.data(), chunk, 0);
      if (sent <= 0)
        return false;
      data.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
  }

  long receive(void* buffer, std::size_t size) override {
    if (!readable())
      return -1;
    const int chunk = static_cast<int>(std::min<std::size_t>(size, 1 << 20));
    const int got = api_.recv(socket_, static_cast<char*>(buffer), chunk, 0);
    if (aborted_)
      return -1;
    return got < 0 ? -1 : got;
  }

  void abort() override {
    aborted_ = true;
    api_.shutdown(socket_, SD_BOTH);
  }

 private:
  // Waits for data (or the peer's close) in short slices: a shutdown from
  // another thread does not wake a recv that blocks already (seen under
  // Wine), but the next slice sees the abort. False after an abort or
  // `ioTimeoutMs_` of silence; a socket error is left to recv to report.
  bool readable() {
    for (int waited = 0; waited < ioTimeoutMs_; waited += kAbortCheckMs) {
      if (aborted_)
        return false;
      fd_set set;
      FD_ZERO(&set);
      FD_SET(socket_, &set);
      timeval slice{0, kAbortCheckMs * 1000};
      if (api_.select(0, &set, nullptr, nullptr, &slice) != 0)
        return !aborted_;
    }
    return false;
  }

  const Winsock& api_;
  SOCKET socket_;
  const int ioTimeoutMs_;
  std::atomic<bool> aborted_{false};
};

bool connectWithin(const Winsock& api, SOCKET s, const sockaddr* address, int length,
                   int timeoutMs) {
  u_long nonBlocking = 1;
  api.ioctlsocket(s, FIONBIO, &nonBlocking);
  bool connected = api.connect(s, address, length) == 0;
  if (!connected && api.WSAGetLastError() == WSAEWOULDBLOCK) {
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    connected = api.select(0, nullptr, &writable, &failed, &limit) == 1 && inSet(s, writable);
  }
  u_long blocking = 0;
  api.ioctlsocket(s, FIONBIO, &blocking);
  return connected;
}

class WinsockSockets final : public Sockets {
 public:
  std::unique_ptr<Connection> connect(const std::string& host, int port, int connectTimeoutMs,
                                      int ioTimeoutMs) override {
    const Winsock* const api = winsock();
    if (api == nullptr)
      return nullptr;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    if (api->getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
      return nullptr;
    }
    std::unique_ptr<Connection> connection;
    for (addrinfo* a = found; a != nullptr && !connection; a = a->ai_next) {
      SOCKET s = api->socket(a->ai_family, a->ai_socktype, a->ai_protocol);
      if (s == INVALID_SOCKET)
        continue;
      const DWORD limit = static_cast<DWORD>(ioTimeoutMs);
      api->setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit),
                      sizeof(limit));
      api->setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limit),
                      sizeof(limit));
      if (connectWithin(*api, s, a->ai_addr, static_cast<int>(a->ai_addrlen), connectTimeoutMs)) {
        connection = std::make_unique<WinsockConnection>(*api, s, ioTimeoutMs);
      } else {
        api->closesocket(s);
      }
    }
    api->freeaddrinfo(found);
    return connection;
  }
};

}  // namespace

Sockets& sockets() {
  static WinsockSockets instance;
  return instance;
}

}  // namespace platform::win32
