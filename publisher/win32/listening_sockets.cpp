#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>

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

class AcceptedConnection final : public platform::Connection {
 public:
  explicit AcceptedConnection(SOCKET socket) : socket_(socket) {}
  ~AcceptedConnection() override { closesocket(socket_); }

  bool sendAll(std::string_view data) override {
    while (!data.empty()) {
      const int sent = send(socket_, data.data(), static_cast<int>(data.size()), 0);
      if (aborted_ || sent <= 0)
        return false;
      data.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
  }
  long receive(void* buffer, std::size_t size) override {
    const int got = recv(socket_, static_cast<char*>(buffer), static_cast<int>(size), 0);
    return aborted_ || got < 0 ? -1 : got;
  }
  void abort() override {
    aborted_ = true;
    shutdown(socket_, SD_BOTH);
  }

 private:
  SOCKET socket_;
  std::atomic<bool> aborted_{false};
};

class WinsockListener final : public Listener {
 public:
  WinsockListener(SOCKET socket, int port) : socket_(socket), port_(port) {}
  ~WinsockListener() override { closesocket(socket_); }
  int port() const override { return port_; }

  std::unique_ptr<platform::Connection> accept(int ioTimeoutMs) override {
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
      const DWORD timeout = static_cast<DWORD>(ioTimeoutMs);
      setsockopt(accepted, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
                 sizeof(timeout));
      setsockopt(accepted, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout),
                 sizeof(timeout));
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
