#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/host/host_services.h"

namespace platform::host {
namespace {

class BsdConnection final : public Connection {
 public:
  explicit BsdConnection(int fd) : fd_(fd) {}
  ~BsdConnection() override { ::close(fd_); }

  bool sendAll(std::string_view data) override {
    while (!data.empty()) {
      if (aborted_)
        return false;
      const ssize_t sent = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
      if (sent <= 0)
        return false;
      data.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
  }

  long receive(void* buffer, std::size_t size) override {
    if (aborted_)
      return -1;
    const ssize_t got = ::recv(fd_, buffer, size, 0);
    if (aborted_)
      return -1;
    return got < 0 ? -1 : static_cast<long>(got);
  }

  void abort() override {
    aborted_ = true;
    ::shutdown(fd_, SHUT_RDWR);
  }

 private:
  int fd_;
  std::atomic<bool> aborted_{false};
};

// Connects without blocking longer than the time-out.
bool connectWithin(int fd, const sockaddr* address, socklen_t length, int timeoutMs) {
  const int flags = fcntl(fd, F_GETFL, 0);
  fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  int result = ::connect(fd, address, length);
  if (result != 0 && errno == EINPROGRESS) {
    pollfd waiting{fd, POLLOUT, 0};
    result = poll(&waiting, 1, timeoutMs) == 1 ? 0 : -1;
    int error = 0;
    socklen_t size = sizeof(error);
    if (result == 0 && (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0)) {
      result = -1;
    }
  }
  fcntl(fd, F_SETFL, flags);
  return result == 0;
}

}  // namespace

std::unique_ptr<Connection> connectionOverSocket(int fd) {
  return std::make_unique<BsdConnection>(fd);
}

std::unique_ptr<Connection> BsdSockets::connect(const std::string& host, int port,
                                                int connectTimeoutMs, int ioTimeoutMs) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
    return nullptr;
  std::unique_ptr<Connection> connection;
  for (addrinfo* a = found; a != nullptr && !connection; a = a->ai_next) {
    const int fd = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (fd < 0)
      continue;
    timeval limit{ioTimeoutMs / 1000, (ioTimeoutMs % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
    if (connectWithin(fd, a->ai_addr, a->ai_addrlen, connectTimeoutMs)) {
      connection = std::make_unique<BsdConnection>(fd);
    } else {
      ::close(fd);
    }
  }
  freeaddrinfo(found);
  return connection;
}

}  // namespace platform::host
