#include "update/http/http.h"

#include <atomic>
#include <memory>
#include <thread>

#include "update/http/http_address.h"
#include "update/http/http_request.h"
#include "update/http/web_text.h"

namespace update {

base::Bytes webRequest(platform::HttpTransport& http, std::string_view url,
                       const WebRequestOptions& options) {
  const std::string noText;
  const std::string& headersIn = options.headers ? *options.headers : noText;
  const std::string& cookiesIn = options.cookies ? *options.cookies : noText;

  // An address without a usable host or port fails as an unreachable one.
  const std::optional<HttpAddress> place = parseLooseAddress(url);
  if (!place)
    return {};
  platform::HttpExchange exchange;
  exchange.agent = userAgentFor(headersIn);
  exchange.proxy = options.proxy;
  exchange.host = place->host;
  exchange.port = place->port;
  exchange.verb = options.method == 1 ? "POST" : "GET";
  exchange.path = place->target;
  exchange.flags = requestFlags(url, options.noRedirect);
  exchange.headers = completeHeaders(headersIn, url, cookiesIn);
  base::Bytes bodyBytes = options.bodyBytes ? *options.bodyBytes : base::Bytes{};
  if (options.method != 0) {
    if (bodyBytes.empty())
      bodyBytes.assign(options.bodyText.begin(), options.bodyText.end());
    exchange.body = bodyBytes;
  }

  platform::HttpOutcome outcome = http.perform(exchange);
  if (!outcome.opened)
    return {};

  if (options.headers)
    *options.headers = exchange.headers;
  if (options.method != 0 && options.bodyBytes)
    *options.bodyBytes = bodyBytes;

  const std::string rawHeaders = headerBufferText(outcome.rawHeaders, outcome.headersRead);
  if (options.responseHeaders)
    *options.responseHeaders = rawHeaders;
  std::string location = options.location ? *options.location : std::string();
  std::string returned;
  scanResponseHeaders(rawHeaders, location, returned);
  if (options.location)
    *options.location = location;
  std::string cookies = cookiesIn;
  mergeCookies(cookies, returned);
  if (options.returnedCookies)
    *options.returnedCookies = returned;
  if (options.cookies)
    *options.cookies = cookies;
  return std::move(outcome.body);
}

std::string pageText(platform::HttpTransport& http, platform::TextCodec& codec,
                     std::string_view url, const WebRequestOptions& options) {
  return pageTextOf(codec, webRequest(http, url, options));
}

std::string pageTextWhileWaiting(platform::HttpTransport& http, platform::TextCodec& codec,
                                 platform::Pump& pump, const std::string& url) {
  struct Fetch {
    std::atomic<bool> done{false};
    std::string text;
  };
  const auto fetch = std::make_shared<Fetch>();
  // Not joined: a program that ends meanwhile does not wait for a server.
  std::thread([fetch, &http, &codec, url] {
    fetch->text = pageText(http, codec, url);
    fetch->done = true;
  }).detach();
  if (!pump.waitUntil([&fetch] { return fetch->done.load(); }))
    return {};
  return std::move(fetch->text);
}

std::string pageTextOf(platform::TextCodec& codec, const base::Bytes& utf8) {
  if (utf8.empty())
    return {};
  std::string text = codec.utf8ToAnsi(utf8);
  if (const std::size_t zero = text.find('\0'); zero != std::string::npos)
    text.resize(zero);
  return text;
}

}  // namespace update
