#include "update/socket_http_transport.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>

#include "base/cp936.h"
#include "update/chunked_decoder.h"
#include "update/http_address.h"
#include "update/http_response.h"
#include "update/open_connection.h"
#include "update/web_text.h"

namespace update {
namespace {

constexpr int kMaxRedirects = 10;
constexpr std::uint32_t kNoAutoRedirect = 0x00200000;
constexpr std::uint32_t kSecure = 0x00800000;

// Everything the peer sends until it closes (or fails).
std::string readToEnd(platform::Connection& connection) {
  std::string data;
  char buffer[4096];
  for (long got; (got = connection.receive(buffer, sizeof(buffer))) > 0;) {
    data.append(buffer, static_cast<std::size_t>(got));
  }
  return data;
}

// The body after the head, taken out of its framing.
std::string bodyOf(std::string_view rest, const std::optional<ResponseHead>& head) {
  if (head && head->chunked) {
    std::string body;
    ChunkedDecoder decoder;
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

// Where one exchange goes; the target is the caller's path as it stands.
Exchanged exchangeOnce(platform::Sockets& sockets, platform::Tls& tls,
                       const platform::HttpExchange& x, const HttpAddress& place, int timeoutMs) {
  Exchanged result;
  std::string connectHost = place.host;
  int connectPort = place.port;
  std::string target = place.target;
  if (!x.proxy.empty()) {
    // A proxy is asked for the absolute address.
    connectHost = urlHost(x.proxy);
    connectPort = urlPort(x.proxy);
    target = "http://" + place.host + ":" + std::to_string(place.port) + place.target;
  }
  std::unique_ptr<platform::Connection> connection =
      openConnection(sockets, tls, connectHost, connectPort, place.secure, timeoutMs, timeoutMs);
  if (!connection)
    return result;
  std::string request = x.verb + " " + target + " HTTP/1.1\r\nHost: " + hostAndPort(place);
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
  std::string_view rest = response;
  std::size_t headLength = 0;
  std::optional<ResponseHead> head;
  for (;;) {
    headLength = responseHeadLength(rest);
    if (headLength == std::string::npos)
      return result;
    head = parseResponseHead(rest.substr(0, headLength));
    if (!head || !isInterimStatus(head->status))
      break;
    rest.remove_prefix(headLength);  // the real head follows
  }
  result.sent = true;
  result.headers = std::string(rest.substr(0, headLength));
  result.body = bodyOf(rest.substr(headLength), head);
  if (head) {
    result.status = head->status;
    result.location = head->location;
  }
  return result;
}

}  // namespace

platform::HttpOutcome SocketHttpTransport::perform(const platform::HttpExchange& x) {
  platform::HttpOutcome outcome;
  outcome.opened = true;
  HttpAddress place{(x.flags & kSecure) != 0, x.host, x.port, x.path};
  // No tunnel through a proxy: a secure request there fails as a send would.
  if (place.secure && !x.proxy.empty())
    return outcome;
  for (int hop = 0; hop <= kMaxRedirects; ++hop) {
    Exchanged got = exchangeOnce(sockets_, tls_, x, place, timeoutMs);
    if (!got.sent)
      return outcome;
    const std::string& location = got.location;
    const bool redirect = isRedirectStatus(got.status) && !location.empty();
    if (redirect && !(x.flags & kNoAutoRedirect) && hop < kMaxRedirects) {
      const std::string scheme = base::lowerAscii(location.substr(0, 8));
      const bool toSecure = scheme == "https://";
      if (location.front() == '/') {
        place.target = location;
      } else if ((toSecure && x.proxy.empty()) ||
                 (scheme.substr(0, 7) == "http://" && !place.secure)) {
        place = HttpAddress{toSecure, urlHost(location), urlPort(location), urlPath(location)};
      } else {
        return outcome;  // https to http, or something unreadable: nothing more to fetch
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

}  // namespace update
