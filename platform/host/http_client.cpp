#include "platform/host/http_client.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/host/host_services.h"
#include "update/chunked_decoder.h"
#include "update/http_response.h"
#include "update/text.h"

namespace platform::host {
namespace {

constexpr int kMaxRedirects = 10;
constexpr std::uint32_t kNoAutoRedirect = 0x00200000;
constexpr std::uint32_t kSecure = 0x00800000;

// Everything the peer sends until it closes (or fails).
std::string readToEnd(Connection& connection) {
  std::string data;
  char buffer[4096];
  for (long got; (got = connection.receive(buffer, sizeof(buffer))) > 0;) {
    data.append(buffer, static_cast<std::size_t>(got));
  }
  return data;
}

// The body after the head, taken out of its framing.
std::string bodyOf(std::string_view rest, const std::optional<update::ResponseHead>& head) {
  if (head && head->chunked) {
    std::string body;
    update::ChunkedDecoder decoder;
    decoder.feed(rest, body);  // cut short or broken: keep what came
    return body;
  }
  if (head && head->contentLength) {
    return std::string(rest.substr(0, std::min<std::size_t>(*head->contentLength, rest.size())));
  }
  return std::string(rest);
}

struct Exchanged {
  bool sent = false;
  std::string headers;  // status line and header lines, ending in an empty line
  std::string body;
  int status = 0;
  std::string location;
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
  BsdSockets sockets;
  std::unique_ptr<Connection> connection =
      sockets.connect(connectHost, connectPort, timeoutMs, timeoutMs);
  if (!connection)
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
  if (!connection->sendAll(request))
    return result;
  const std::string response = readToEnd(*connection);
  const std::size_t headLength = update::responseHeadLength(response);
  if (headLength == std::string::npos)
    return result;
  const std::optional<update::ResponseHead> head =
      update::parseResponseHead(std::string_view(response).substr(0, headLength));
  result.sent = true;
  result.headers = response.substr(0, headLength);
  result.body = bodyOf(std::string_view(response).substr(headLength), head);
  if (head) {
    result.status = head->status;
    result.location = head->location;
  }
  return result;
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
    const std::string& location = got.location;
    const bool redirect = update::isRedirectStatus(got.status) && !location.empty();
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
