#pragma once

// A real HTTP server on a free loopback port for the client's tests. Each
// path has a script of steps (send bytes, hold until released, stall, drip
// slowly, reset the connection), so it serves plain responses as well as the
// faults of real networks, and it records every request as it arrived.
// Connections are served one after another on one thread.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

struct ServerStep {
  enum class Kind { kSend, kWaitForRelease, kStall, kDrip, kReset };
  Kind kind = Kind::kSend;
  std::string bytes;
};

inline ServerStep sendBytes(std::string bytes) {
  return {ServerStep::Kind::kSend, std::move(bytes)};
}
// Holds the rest of the script until the test calls release().
inline ServerStep waitForRelease() {
  return {ServerStep::Kind::kWaitForRelease, {}};
}
// Sends nothing more until the client goes away or the server ends.
inline ServerStep stall() {
  return {ServerStep::Kind::kStall, {}};
}
// Sends these bytes a few at a time with pauses, until the client goes away.
inline ServerStep drip(std::string bytes) {
  return {ServerStep::Kind::kDrip, std::move(bytes)};
}
// Ends the connection with a reset instead of an orderly close.
inline ServerStep resetConnection() {
  return {ServerStep::Kind::kReset, {}};
}

inline std::string okHead(std::size_t contentLength) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(contentLength) + "\r\n\r\n";
}

class LoopbackServer {
 public:
  LoopbackServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    socklen_t length = sizeof(address);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    listen(listener_, 8);
    thread_ = std::thread([this] { serve(); });
  }

  ~LoopbackServer() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ending_ = true;
    }
    changed_.notify_all();
    shutdown(listener_, SHUT_RDWR);
    thread_.join();
    close(listener_);
  }

  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int port() const { return port_; }
  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }
  std::string url(const std::string& path) const { return base() + path; }

  void on(const std::string& path, std::vector<ServerStep> script) {
    onTurns(path, {std::move(script)});
  }
  // One script per request to the path, in turn; the last one for all later.
  void onTurns(const std::string& path, std::vector<std::vector<ServerStep>> scripts) {
    std::lock_guard<std::mutex> lock(mutex_);
    scripts_[path] = {std::move(scripts), 0};
  }
  // The whole response (status line, headers, blank line, body) for a path.
  void respond(const std::string& path, std::string response) {
    on(path, {sendBytes(std::move(response))});
  }

  void release() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      released_ = true;
    }
    changed_.notify_all();
  }

  // Every request as it arrived: request line, headers, blank line, body.
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
      const std::string request = readRequest(client);
      const std::size_t space = request.find(' ');
      const std::string path = request.substr(space + 1, request.find(' ', space + 1) - space - 1);
      std::vector<ServerStep> script;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
        auto found = scripts_.find(path);
        if (found != scripts_.end()) {
          Turns& turns = found->second;
          script = turns.scripts[std::min(turns.next, turns.scripts.size() - 1)];
          ++turns.next;
        } else
          script = {sendBytes("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found")};
      }
      if (play(client, script)) {
        linger abrupt{1, 0};
        setsockopt(client, SOL_SOCKET, SO_LINGER, &abrupt, sizeof(abrupt));
      }
      close(client);
    }
  }

  // True when the connection is to end with a reset.
  bool play(int client, const std::vector<ServerStep>& script) {
    for (const ServerStep& step : script) {
      switch (step.kind) {
        case ServerStep::Kind::kSend:
          if (!sendAll(client, step.bytes))
            return false;
          break;
        case ServerStep::Kind::kWaitForRelease: {
          std::unique_lock<std::mutex> lock(mutex_);
          changed_.wait_for(lock, kLongestWait, [this] { return released_ || ending_; });
          break;
        }
        case ServerStep::Kind::kStall:
          waitForClientOrEnd(client, kLongestWait);
          return false;
        case ServerStep::Kind::kDrip:
          for (std::size_t at = 0; at < step.bytes.size(); at += 16) {
            if (!sendAll(client, step.bytes.substr(at, 16)) ||
                waitForClientOrEnd(client, std::chrono::milliseconds(20))) {
              return false;
            }
          }
          break;
        case ServerStep::Kind::kReset:
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

  // The head and, when it gives a Content-Length, the body.
  static std::string readRequest(int client) {
    std::string data;
    char buffer[4096];
    std::size_t need = std::string::npos;
    while (need == std::string::npos || data.size() < need) {
      const ssize_t got = recv(client, buffer, sizeof(buffer), 0);
      if (got <= 0)
        break;
      data.append(buffer, static_cast<std::size_t>(got));
      const std::size_t end = data.find("\r\n\r\n");
      if (end != std::string::npos && need == std::string::npos) {
        std::size_t length = 0;
        const std::size_t at = data.find("Content-Length: ");
        if (at != std::string::npos && at < end)
          length = std::stoul(data.substr(at + 16));
        need = end + 4 + length;
      }
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
  struct Turns {
    std::vector<std::vector<ServerStep>> scripts;
    std::size_t next = 0;
  };
  std::map<std::string, Turns> scripts_;
  std::vector<std::string> requests_;
};

}  // namespace testing_support
