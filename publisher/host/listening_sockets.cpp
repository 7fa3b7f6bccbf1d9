#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/host/host_services.h"
#include "publisher/host/host_tools.h"

namespace publisher::host {
namespace {

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

  std::unique_ptr<platform::Connection> accept(int ioTimeoutMs) override {
    for (;;) {
      pollfd waiting[2] = {{fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
      if (stopped_ || ::poll(waiting, wake_[0] >= 0 ? 2 : 1, -1) < 0) {
        if (!stopped_ && errno == EINTR)
          continue;
        return nullptr;
      }
      if (stopped_)
        return nullptr;
      const int fd = ::accept(fd_, nullptr, nullptr);
      if (fd < 0)
        continue;
      timeval timeout{ioTimeoutMs / 1000, (ioTimeoutMs % 1000) * 1000};
      ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
      ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
      return platform::host::connectionOverSocket(fd);
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
