#include "platform/host/http_client.h"

#include <iconv.h>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "update/text.h"

namespace platform::host {
namespace {

constexpr int kMaxRedirects = 10;
constexpr std::uint32_t kNoAutoRedirect = 0x00200000;
constexpr std::uint32_t kSecure = 0x00800000;

class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  ~Socket() {
    if (fd_ >= 0)
      close(fd_);
  }
  int fd() const { return fd_; }

 private:
  int fd_;
};

int connectTo(const std::string& host, int port, int timeoutMs) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
    return -1;
  int fd = -1;
  for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
    fd = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (fd < 0)
      continue;
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
    if (connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
      close(fd);
      fd = -1;
    }
  }
  freeaddrinfo(found);
  return fd;
}

bool sendAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t sent = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (sent <= 0)
      return false;
    data.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

// Reads until the connection closes (or fails), appending to `into`.
void readToEnd(int fd, std::string& into) {
  char buffer[4096];
  for (;;) {
    const ssize_t got = recv(fd, buffer, sizeof(buffer), 0);
    if (got <= 0)
      return;
    into.append(buffer, static_cast<std::size_t>(got));
  }
}

std::string headerValue(std::string_view block, std::string_view name) {
  for (const std::string& line : update::splitText(block, "\r\n")) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos)
      continue;
    if (update::lowerAscii(line.substr(0, colon)) == update::lowerAscii(name)) {
      return update::trimSpaces(line.substr(colon + 1));
    }
  }
  return {};
}

// The body after the header block, decoded from chunks when it came so.
std::string bodyOf(std::string_view rest, std::string_view headers) {
  if (update::lowerAscii(headerValue(headers, "Transfer-Encoding")) == "chunked") {
    std::string body;
    while (!rest.empty()) {
      const std::size_t lineEnd = rest.find("\r\n");
      if (lineEnd == std::string_view::npos)
        break;
      const unsigned long size =
          std::strtoul(std::string(rest.substr(0, lineEnd)).c_str(), nullptr, 16);
      rest.remove_prefix(lineEnd + 2);
      if (size == 0 || size > rest.size()) {
        if (size != 0)
          body.append(rest);  // cut short: keep what came
        break;
      }
      body.append(rest.substr(0, size));
      rest.remove_prefix(std::min<std::size_t>(rest.size(), size + 2));
    }
    return body;
  }
  const std::string length = headerValue(headers, "Content-Length");
  if (!length.empty()) {
    const unsigned long size = std::strtoul(length.c_str(), nullptr, 10);
    return std::string(rest.substr(0, std::min<std::size_t>(size, rest.size())));
  }
  return std::string(rest);
}

struct Exchanged {
  bool sent = false;
  std::string headers;  // status line and header lines, ending in an empty line
  std::string body;
};

Exchanged exchangeOnce(const HttpExchange& x, const std::string& host, int port,
                       const std::string& path, int timeoutMs) {
  Exchanged result;
  std::string connectHost = host;
  int connectPort = port;
  std::string target = path;
  if (!x.proxy.empty()) {
    // A proxy is asked for the absolute address.
    connectHost = update::urlHost(x.proxy);
    connectPort = update::urlPort(x.proxy);
    target = "http://" + host + ":" + std::to_string(port) + path;
  }
  Socket socket(connectTo(connectHost, connectPort, timeoutMs));
  if (socket.fd() < 0)
    return result;
  std::string request = x.verb + " " + target + " HTTP/1.1\r\nHost: " + host;
  if (port != 80)
    request += ":" + std::to_string(port);
  request += "\r\nUser-Agent: " + x.agent + "\r\n";
  if (!x.headers.empty())
    request += x.headers + "\r\n";
  if (!x.body.empty() || x.verb == "POST") {
    request += "Content-Length: " + std::to_string(x.body.size()) + "\r\n";
  }
  request += "Cache-Control: no-cache\r\nConnection: close\r\n\r\n";
  request.append(x.body.begin(), x.body.end());
  if (!sendAll(socket.fd(), request))
    return result;
  std::string response;
  readToEnd(socket.fd(), response);
  const std::size_t end = response.find("\r\n\r\n");
  if (end == std::string::npos)
    return result;
  result.sent = true;
  result.headers = response.substr(0, end + 4);
  result.body = bodyOf(std::string_view(response).substr(end + 4), result.headers);
  return result;
}

int statusOf(std::string_view headers) {
  const std::size_t space = headers.find(' ');
  return space == std::string_view::npos
             ? 0
             : std::atoi(std::string(headers.substr(space + 1, 3)).c_str());
}

}  // namespace

HttpOutcome SocketHttpTransport::perform(const HttpExchange& x) {
  HttpOutcome outcome;
  outcome.opened = true;
  // No TLS here: a secure request fails as a send would.
  if (x.flags & kSecure)
    return outcome;
  std::string host = x.host;
  int port = x.port;
  std::string path = x.path;
  for (int hop = 0; hop <= kMaxRedirects; ++hop) {
    Exchanged got = exchangeOnce(x, host, port, path, timeoutMs);
    if (!got.sent)
      return outcome;
    const int status = statusOf(got.headers);
    const std::string location = headerValue(got.headers, "Location");
    const bool redirect = status >= 300 && status < 400 && !location.empty();
    if (redirect && !(x.flags & kNoAutoRedirect) && hop < kMaxRedirects) {
      if (location.front() == '/') {
        path = location;
      } else if (update::lowerAscii(location.substr(0, 7)) == "http://") {
        host = update::urlHost(location);
        port = update::urlPort(location);
        path = update::urlPath(location);
      } else {
        return outcome;  // https or something unreadable: nothing more to fetch
      }
      continue;
    }
    outcome.body.assign(got.body.begin(), got.body.end());
    outcome.headersRead = true;
    outcome.rawHeaders = std::move(got.headers);
    return outcome;
  }
  return outcome;
}

std::string IconvTextCodec::utf8ToAnsi(const core::Bytes& utf8) {
  iconv_t convert = iconv_open("GBK", "UTF-8");
  if (convert == reinterpret_cast<iconv_t>(-1))
    return {};
  std::string out;
  std::string input(utf8.begin(), utf8.end());
  char* in = input.data();
  std::size_t inLeft = input.size();
  char buffer[4096];
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof(buffer);
    const std::size_t done = iconv(convert, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, sizeof(buffer) - outLeft);
    if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
      // An invalid or unrepresentable character: skip it whole, show "?".
      out.push_back('?');
      std::size_t skip = 1;
      const auto lead = static_cast<unsigned char>(*in);
      if (lead >= 0xF0)
        skip = 4;
      else if (lead >= 0xE0)
        skip = 3;
      else if (lead >= 0xC0)
        skip = 2;
      skip = std::min(skip, inLeft);
      in += skip;
      inLeft -= skip;
    }
  }
  iconv_close(convert);
  return out;
}

}  // namespace platform::host
