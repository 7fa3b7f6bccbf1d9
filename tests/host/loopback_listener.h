#pragma once

// A listening TCP socket on a free loopback port, for the tests' servers.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace testing_support {

struct LoopbackListener {
  int socket = -1;
  int port = 0;
};

inline LoopbackListener listenOnLoopback() {
  LoopbackListener listener;
  listener.socket = ::socket(AF_INET, SOCK_STREAM, 0);
  int yes = 1;
  setsockopt(listener.socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(listener.socket, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  socklen_t length = sizeof(address);
  getsockname(listener.socket, reinterpret_cast<sockaddr*>(&address), &length);
  listener.port = ntohs(address.sin_port);
  listen(listener.socket, 8);
  return listener;
}

}  // namespace testing_support
