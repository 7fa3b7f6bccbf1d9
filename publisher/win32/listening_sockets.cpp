#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <atomic>
#include <chrono>

#include "publisher/win32/win32_tools.h"

namespace publisher::win32 {
namespace {

// Started once for the process and never stopped, as the tool ends with it.
bool winsockStarted() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

// Waits are cut into slices this long, so that an abort is seen soon even
// where shutting the socket down does not end a waiting select().
constexpr long kWaitSliceMs = 200;

// A non-blocking socket, waited on with select() until each call's deadline.
class AcceptedConnection final : public ClientConnection {
 public:
  explicit AcceptedConnection(SOCKET socket) : socket_(socket) {
    u_long nonBlocking = 1;
    ioctlsocket(socket_, FIONBIO, &nonBlocking);
  }
  ~AcceptedConnection() override { closesocket(socket_); }

  bool sendAll(std::string_view data, Deadline deadline) override {
    while (!data.empty()) {
      if (aborted_)
        return false;
      const int chunk = static_cast<int>(std::min<std::size_t>(data.size(), 1 << 20));
      const int sent = send(socket_, data.data(), chunk, 0);
      if (sent > 0)
        data.remove_prefix(static_cast<std::size_t>(sent));
      else if (sent == 0 || !retries(true, deadline))
        return false;
    }
    return !aborted_;
  }
  long receive(void* buffer, std::size_t size, Deadline deadline) override {
    for (;;) {
      if (aborted_)
        return -1;
      const int got = recv(socket_, static_cast<char*>(buffer),
                           static_cast<int>(std::min<std::size_t>(size, 1 << 20)), 0);
      if (got >= 0)
        return aborted_ ? -1 : got;
      if (!retries(false, deadline))
        return -1;
    }
  }
  void abort() override {
    aborted_ = true;
    shutdown(socket_, SD_BOTH);
  }

 private:
  // After a call that failed: true when it may be tried again, once the
  // socket can be written (or read) before the deadline.
  bool retries(bool writing, Deadline deadline) {
    if (WSAGetLastError() != WSAEWOULDBLOCK)
      return false;
    for (;;) {
      const long long left =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
              .count();
      if (left <= 0 || aborted_)
        return false;
      const long slice = static_cast<long>(std::min<long long>(left, kWaitSliceMs));
      fd_set ready;
      FD_ZERO(&ready);
      FD_SET(socket_, &ready);
      timeval wait{slice / 1000, (slice % 1000) * 1000};
      const int found =
          select(0, writing ? nullptr : &ready, writing ? &ready : nullptr, nullptr, &wait);
      if (found > 0)
        return true;
      if (found < 0)
        return false;
    }
  }

  SOCKET socket_;
  std::atomic<bool> aborted_{false};
};

class WinsockListener final : public Listener {
 public:
  WinsockListener(SOCKET socket, int port) : socket_(socket), port_(port) {}
  ~WinsockListener() override { closesocket(socket_); }
  int port() const override { return port_; }

  std::unique_ptr<ClientConnection> accept() override {
    for (;;) {
      if (stopped_)
        return nullptr;
      // Wakes every half second to see whether stop() was called.
      fd_set ready;
      FD_ZERO(&ready);
      FD_SET(socket_, &ready);
      timeval wait{0, 500 * 1000};
      const int found = select(0, &ready, nullptr, nullptr, &wait);
      if (found < 0)
        return nullptr;
      if (found == 0 || stopped_)
        continue;
      const SOCKET accepted = ::accept(socket_, nullptr, nullptr);
      if (accepted == INVALID_SOCKET)
        continue;
      return std::make_unique<AcceptedConnection>(accepted);
    }
  }
  void stop() override { stopped_ = true; }

 private:
  SOCKET socket_;
  int port_;
  std::atomic<bool> stopped_{false};
};

}  // namespace

std::unique_ptr<Listener> WinsockServerSockets::listen(const std::string& address, int port) {
  if (!winsockStarted())
    return nullptr;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(static_cast<u_short>(port));
  if (inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1) {
    SetLastError(WSAEADDRNOTAVAIL);
    return nullptr;
  }
  const SOCKET listening = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listening == INVALID_SOCKET)
    return nullptr;
  // Another program on the port is an error, never shared.
  const BOOL exclusive = TRUE;
  setsockopt(listening, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
             sizeof(exclusive));
  int length = sizeof(local);
  if (bind(listening, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0 ||
      ::listen(listening, 8) != 0 ||
      getsockname(listening, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    const int error = WSAGetLastError();
    closesocket(listening);
    SetLastError(static_cast<DWORD>(error));
    return nullptr;
  }
  return std::make_unique<WinsockListener>(listening, ntohs(local.sin_port));
}

}  // namespace publisher::win32
