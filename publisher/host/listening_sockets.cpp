#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>

#include "publisher/host/host_tools.h"

namespace publisher::host {
namespace {

// A non-blocking socket, waited on with poll() until each call's deadline.
class PolledConnection final : public ClientConnection {
 public:
  explicit PolledConnection(int fd) : fd_(fd) {}
  ~PolledConnection() override { ::close(fd_); }

  // Once abort() shut the socket down, it reads as closed and takes no
  // more: both fail.
  long receive(void* buffer, std::size_t size, Deadline deadline) override {
    for (;;) {
      const ssize_t got = ::recv(fd_, buffer, size, 0);
      if (got >= 0)
        return aborted_ ? -1 : static_cast<long>(got);
      if (!retries(POLLIN, deadline))
        return -1;
    }
  }

  bool sendAll(std::string_view data, Deadline deadline) override {
    while (!data.empty()) {
      const ssize_t sent = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
      if (sent > 0)
        data.remove_prefix(static_cast<std::size_t>(sent));
      else if (sent == 0 || !retries(POLLOUT, deadline))
        return false;
    }
    return true;
  }

  void abort() override {
    aborted_ = true;
    // Wakes a poll() waiting on the socket.
    ::shutdown(fd_, SHUT_RDWR);
  }

 private:
  // After a call that failed: true when it may be tried again, once the
  // socket is ready for `events` before the deadline.
  bool retries(short events, Deadline deadline) {
    if (errno == EINTR)
      return true;
    if (errno != EAGAIN && errno != EWOULDBLOCK)
      return false;
    for (;;) {
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
              .count();
      if (left <= 0 || aborted_)
        return false;
      pollfd waiting{fd_, events, 0};
      const int ready = ::poll(&waiting, 1, static_cast<int>(std::min<long long>(left, INT_MAX)));
      if (ready > 0)
        return true;
      if (ready < 0 && errno != EINTR)
        return false;
    }
  }

  int fd_;
  std::atomic<bool> aborted_{false};
};

class BsdListener final : public Listener {
 public:
  BsdListener(int fd, int port) : fd_(fd), port_(port) {
    if (::pipe(wake_) != 0)
      wake_[0] = wake_[1] = -1;
  }
  ~BsdListener() override {
    ::close(fd_);
    for (const int end : wake_) {
      if (end >= 0)
        ::close(end);
    }
  }
  int port() const override { return port_; }

  std::unique_ptr<ClientConnection> accept() override {
    for (;;) {
      pollfd waiting[2] = {{fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
      if (stopped_ || ::poll(waiting, wake_[0] >= 0 ? 2 : 1, -1) < 0) {
        if (!stopped_ && errno == EINTR)
          continue;
        return nullptr;
      }
      if (stopped_)
        return nullptr;
      const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0)
        continue;
      return std::make_unique<PolledConnection>(fd);
    }
  }
  void stop() override {
    stopped_ = true;
    if (wake_[1] >= 0) [[maybe_unused]]
      const ssize_t written = ::write(wake_[1], "x", 1);
  }

 private:
  int fd_;
  int port_;
  int wake_[2] = {-1, -1};
  std::atomic<bool> stopped_{false};
};

}  // namespace

std::unique_ptr<Listener> BsdServerSockets::listen(const std::string& address, int port) {
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(static_cast<std::uint16_t>(port));
  if (::inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1) {
    errno = EADDRNOTAVAIL;
    return nullptr;
  }
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return nullptr;
  const int yes = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
  socklen_t length = sizeof(local);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0 || ::listen(fd, 8) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return nullptr;
  }
  return std::make_unique<BsdListener>(fd, ntohs(local.sin_port));
}

}  // namespace publisher::host
