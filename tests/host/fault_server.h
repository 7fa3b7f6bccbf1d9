#pragma once

// A loopback HTTP server that misbehaves on purpose: each path has a script
// of steps (send bytes, hold until released, stall, drip slowly, reset the
// connection) so a client can be tested against the faults of real
// networks. Connections are served one after another on one thread.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "loopback_listener.h"

namespace testing_support {

struct FaultStep {
  enum class Kind { kSend, kWaitForRelease, kStall, kDrip, kReset };
  Kind kind = Kind::kSend;
  std::string bytes;
};

inline FaultStep sendBytes(std::string bytes) {
  return {FaultStep::Kind::kSend, std::move(bytes)};
}
// Holds the rest of the script until the test calls release().
inline FaultStep waitForRelease() {
  return {FaultStep::Kind::kWaitForRelease, {}};
}
// Sends nothing more until the client goes away or the server ends.
inline FaultStep stall() {
  return {FaultStep::Kind::kStall, {}};
}
// Sends these bytes a few at a time with pauses, until the client goes away.
inline FaultStep drip(std::string bytes) {
  return {FaultStep::Kind::kDrip, std::move(bytes)};
}
// Ends the connection with a reset instead of an orderly close.
inline FaultStep resetConnection() {
  return {FaultStep::Kind::kReset, {}};
}

inline std::string okHead(std::size_t contentLength) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(contentLength) + "\r\n\r\n";
}

class FaultServer {
 public:
  FaultServer() {
    const LoopbackListener listener = listenOnLoopback();
    listener_ = listener.socket;
    port_ = listener.port;
    thread_ = std::thread([this] { serve(); });
  }

  ~FaultServer() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ending_ = true;
    }
    changed_.notify_all();
    shutdown(listener_, SHUT_RDWR);
    thread_.join();
    close(listener_);
  }

  FaultServer(const FaultServer&) = delete;
  FaultServer& operator=(const FaultServer&) = delete;

  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  int port() const { return port_; }

  void on(const std::string& path, std::vector<FaultStep> script) {
    std::lock_guard<std::mutex> lock(mutex_);
    scripts_[path] = std::move(script);
  }

  void release() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      released_ = true;
    }
    changed_.notify_all();
  }

  // Every request head as it arrived.
  std::vector<std::string> requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

 private:
  // No step waits longer than this, so a broken test ends instead of hanging.
  static constexpr std::chrono::seconds kLongestWait{10};

  void serve() {
    for (;;) {
      const int client = accept(listener_, nullptr, nullptr);
      if (client < 0)
        return;
      const std::string request = readHead(client);
      const std::size_t space = request.find(' ');
      const std::string path = request.substr(space + 1, request.find(' ', space + 1) - space - 1);
      std::vector<FaultStep> script;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
        auto found = scripts_.find(path);
        if (found != scripts_.end())
          script = found->second;
        else
          script = {sendBytes("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found")};
      }
      const bool reset = play(client, script);
      if (reset) {
        linger abrupt{1, 0};
        setsockopt(client, SOL_SOCKET, SO_LINGER, &abrupt, sizeof(abrupt));
      }
      close(client);
    }
  }

  // True when the connection is to end with a reset.
  bool play(int client, const std::vector<FaultStep>& script) {
    for (const FaultStep& step : script) {
      switch (step.kind) {
        case FaultStep::Kind::kSend:
          if (!sendAll(client, step.bytes))
            return false;
          break;
        case FaultStep::Kind::kWaitForRelease: {
          std::unique_lock<std::mutex> lock(mutex_);
          changed_.wait_for(lock, kLongestWait, [this] { return released_ || ending_; });
          break;
        }
        case FaultStep::Kind::kStall:
          waitForClientOrEnd(client, kLongestWait);
          return false;
        case FaultStep::Kind::kDrip:
          for (std::size_t at = 0; at < step.bytes.size(); at += 16) {
            if (!sendAll(client, step.bytes.substr(at, 16)) ||
                waitForClientOrEnd(client, std::chrono::milliseconds(20))) {
              return false;
            }
          }
          break;
        case FaultStep::Kind::kReset:
          return true;
      }
    }
    return false;
  }

  // True when the client closed or the server is ending within `limit`.
  template <typename Duration>
  bool waitForClientOrEnd(int client, Duration limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (ending_)
          return true;
      }
      pollfd waiting{client, POLLIN, 0};
      if (poll(&waiting, 1, 10) == 1) {
        char byte;
        if (recv(client, &byte, 1, MSG_DONTWAIT) <= 0)
          return true;
      }
    }
    return false;
  }

  static bool sendAll(int client, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = send(client, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0)
        return false;
      sent += static_cast<std::size_t>(n);
    }
    return true;
  }

  static std::string readHead(int client) {
    std::string data;
    char buffer[1024];
    while (data.find("\r\n\r\n") == std::string::npos && data.size() < 65536) {
      const ssize_t got = recv(client, buffer, sizeof(buffer), 0);
      if (got <= 0)
        break;
      data.append(buffer, static_cast<std::size_t>(got));
    }
    return data;
  }

  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool ending_ = false;
  bool released_ = false;
  std::map<std::string, std::vector<FaultStep>> scripts_;
  std::vector<std::string> requests_;
};

}  // namespace testing_support
