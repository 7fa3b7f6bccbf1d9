#include "update/http/host/socket_http_transport.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>

#include "base/cp936.h"
#include "update/http/chunked_decoder.h"
#include "update/http/http_address.h"
#include "update/http/http_response.h"
#include "update/http/open_connection.h"

namespace update {
namespace {

constexpr int kMaxRedirects = 10;
constexpr std::uint32_t kNoAutoRedirect = 0x00200000;
constexpr std::uint32_t kSecure = 0x00800000;

// Chunk framing may add to the body's bytes; beyond this much it is no
// page of ours whatever it carries.
constexpr std::size_t kMaxFramedBodyBytes = 2 * platform::kMaxHttpBodyBytes + 64 * 1024;

struct Response {
  std::string head;  // status line and header lines, ending in an empty line
  std::optional<ResponseHead> parsed;
  std::string body;  // taken out of its framing
};

enum class Reading { kComplete, kCutShort, kTooLarge };

class ResponseReader {
 public:
  explicit ResponseReader(platform::Connection& connection) : connection_(connection) {}

  // The head, interim heads passed over; all of them count to the limit.
  Reading readHead(Response& response) {
    for (;;) {
      const std::size_t length = responseHeadLength(pending_);
      if (length != std::string::npos) {
        response.head = pending_.substr(0, length);
        response.parsed = parseResponseHead(response.head);
        pending_.erase(0, length);
        headBytes_ += length;
        if (headBytes_ > platform::kMaxHttpHeaderBytes)
          return Reading::kTooLarge;
        if (!response.parsed || !isInterimStatus(response.parsed->status))
          return Reading::kComplete;
        continue;
      }
      if (headBytes_ + pending_.size() > platform::kMaxHttpHeaderBytes)
        return Reading::kTooLarge;
      if (!receiveMore())
        return Reading::kCutShort;
    }
  }

  // The body as its head frames it, up to the close at most; what was cut
  // short is kept as it came.
  Reading readBody(Response& response) {
    const std::optional<ResponseHead>& head = response.parsed;
    if (head && head->chunked)
      return readChunked(response.body);
    if (head && head->contentLength) {
      const auto length = static_cast<std::uint64_t>(*head->contentLength);
      if (length > platform::kMaxHttpBodyBytes)
        return Reading::kTooLarge;
      while (pending_.size() < length && receiveMore()) {
      }
      response.body = pending_.substr(0, std::min<std::size_t>(length, pending_.size()));
      return Reading::kComplete;
    }
    while (pending_.size() <= platform::kMaxHttpBodyBytes && receiveMore()) {
    }
    if (pending_.size() > platform::kMaxHttpBodyBytes)
      return Reading::kTooLarge;
    response.body = std::move(pending_);
    return Reading::kComplete;
  }

 private:
  Reading readChunked(std::string& body) {
    ChunkedDecoder decoder;
    std::size_t framed = 0;
    for (;;) {
      framed += pending_.size();
      const bool intact = decoder.feed(pending_, body);
      pending_.clear();
      if (body.size() > platform::kMaxHttpBodyBytes || framed > kMaxFramedBodyBytes)
        return Reading::kTooLarge;
      // Broken framing or the end: keep what came.
      if (!intact || decoder.finished() || !receiveMore())
        return Reading::kComplete;
    }
  }

  bool receiveMore() {
    char buffer[4096];
    const long got = connection_.receive(buffer, sizeof(buffer));
    if (got <= 0)
      return false;
    pending_.append(buffer, static_cast<std::size_t>(got));
    return true;
  }

  platform::Connection& connection_;
  std::string pending_;
  std::size_t headBytes_ = 0;
};

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
    const std::optional<HttpAddress> proxy = parseLooseAddress(x.proxy);
    if (!proxy)
      return result;
    connectHost = proxy->host;
    connectPort = proxy->port;
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
  // A response cut short before its head, or past a limit, reads as none.
  ResponseReader reader(*connection);
  Response response;
  if (reader.readHead(response) != Reading::kComplete ||
      reader.readBody(response) == Reading::kTooLarge)
    return result;
  result.sent = true;
  result.headers = std::move(response.head);
  result.body = std::move(response.body);
  const std::optional<ResponseHead>& head = response.parsed;
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
      // https to http, https through a proxy, or something unreadable:
      // nothing more to fetch.
      const std::optional<HttpAddress> next = resolveLocation(place, location);
      if (!next || (next->secure && !x.proxy.empty()))
        return outcome;
      place = *next;
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
