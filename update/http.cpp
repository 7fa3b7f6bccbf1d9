#include "update/http.h"

#include "core/program.h"
#include "update/http_request.h"
#include "update/text.h"

namespace update {

core::Bytes webRequest(std::string_view url, const WebRequestOptions& options) {
  const std::string noText;
  const std::string& headersIn = options.headers ? *options.headers : noText;
  const std::string& cookiesIn = options.cookies ? *options.cookies : noText;

  platform::HttpExchange exchange;
  exchange.agent = userAgentFor(headersIn);
  exchange.proxy = options.proxy;
  exchange.host = urlHost(url);
  exchange.port = urlPort(url);
  exchange.verb = options.method == 1 ? "POST" : "GET";
  exchange.path = urlPath(url);
  exchange.flags = requestFlags(url, options.noRedirect);
  exchange.headers = completeHeaders(headersIn, url, cookiesIn);
  core::Bytes bodyBytes = options.bodyBytes ? *options.bodyBytes : core::Bytes{};
  if (options.method != 0) {
    if (bodyBytes.empty())
      bodyBytes.assign(options.bodyText.begin(), options.bodyText.end());
    exchange.body = bodyBytes;
  }

  platform::HttpOutcome outcome = core::context().os.http->perform(exchange);
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

std::string pageText(std::string_view url, const WebRequestOptions& options) {
  const core::Bytes body = webRequest(url, options);
  if (body.empty())
    return {};
  std::string text = core::context().os.codec->utf8ToAnsi(body);
  if (const std::size_t zero = text.find('\0'); zero != std::string::npos)
    text.resize(zero);
  return text;
}

}  // namespace update
