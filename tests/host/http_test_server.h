#pragma once

// A real HTTP server on loopback for the client's tests: answers each
// request with the response scripted for its path and records what came.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "loopback_listener.h"

namespace testing_support {

class HttpTestServer {
 public:
  HttpTestServer() {
    const LoopbackListener listener = listenOnLoopback();
    listener_ = listener.socket;
    port_ = listener.port;
    thread_ = std::thread([this] { serve(); });
  }

  ~HttpTestServer() {
    shutdown(listener_, SHUT_RDWR);
    close(listener_);
    thread_.join();
  }

  int port() const { return port_; }
  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }

  // The whole response (status line, headers, blank line, body) for a path.
  void respond(const std::string& path, const std::string& response) {
    std::lock_guard<std::mutex> lock(mutex_);
    responses_[path] = response;
  }

  // Every request as it arrived: request line, headers, blank line, body.
  std::vector<std::string> requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

 private:
  void serve() {
    for (;;) {
      const int client = accept(listener_, nullptr, nullptr);
      if (client < 0)
        return;
      std::string request = readRequest(client);
      const std::size_t space = request.find(' ');
      const std::string path = request.substr(space + 1, request.find(' ', space + 1) - space - 1);
      std::string response;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
        auto it = responses_.find(path);
        response = it != responses_.end()
                       ? it->second
                       : "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found";
      }
      send(client, response.data(), response.size(), MSG_NOSIGNAL);
      close(client);
    }
  }

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
  std::map<std::string, std::string> responses_;
  std::vector<std::string> requests_;
};

}  // namespace testing_support
