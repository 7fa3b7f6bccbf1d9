#pragma once

// The launcher's own small HTTP client: one synchronous request with
// browser-like headers and a caller-kept cookie text.

#include <string>
#include <string_view>

#include "base/bytes.h"
#include "platform/http_transport.h"
#include "platform/pump.h"
#include "platform/text_codec.h"

namespace update {

// The optional parameters of a web request; null pointers are absent ones.
struct WebRequestOptions {
  int method = 0;  // 0 GET without body; 1 POST; any non-zero sends the body
  std::string bodyText;
  std::string* cookies = nullptr;          // in/out
  std::string* returnedCookies = nullptr;  // out
  std::string* headers = nullptr;          // in/out: extra lines, then those sent
  std::string* location = nullptr;         // in/out
  bool noRedirect = false;
  base::Bytes* bodyBytes = nullptr;  // in/out, wins over bodyText
  std::string proxy;
  std::string* responseHeaders = nullptr;  // out
};

// The response body; empty when no request could be opened (and then no
// output parameter is touched). The HTTP status is not looked at.
base::Bytes webRequest(platform::HttpTransport& http, std::string_view url,
                       const WebRequestOptions& options = {});

// UTF-8 bytes of a page as code page 936 text, up to the first zero byte.
std::string pageTextOf(platform::TextCodec& codec, const base::Bytes& utf8);

// The body decoded as UTF-8 into code page 936 text, up to its first zero byte.
std::string pageText(platform::HttpTransport& http, platform::TextCodec& codec,
                     std::string_view url, const WebRequestOptions& options = {});

// The same, read on a thread of its own while `pump` handles the window's
// messages, so that a slow page never freezes the window. Empty when the
// program is asked to quit first. `http` and `codec` must outlive the
// program's end, as the platform's do.
std::string pageTextWhileWaiting(platform::HttpTransport& http, platform::TextCodec& codec,
                                 platform::Pump& pump, const std::string& url);

}  // namespace update
