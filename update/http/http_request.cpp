#include "update/http/http_request.h"

#include "base/text.h"
#include "update/http/web_text.h"

namespace update {

std::string userAgentFor(std::string_view headers) {
  if (!base::containsText(headers, "User-Agent:", true))
    return kDefaultUserAgent;
  std::string agent = base::trimSpaces(base::textBetween(headers, "User-Agent:", "\r\n"));
  // Without a CRLF after it, the line runs to the end of the text.
  if (agent.empty())
    agent = base::valueAfterColon(headers);
  return agent;
}

std::uint32_t requestFlags(std::string_view url, bool noRedirect) {
  std::uint32_t flags = kFlagReload | kFlagNeedFile | kFlagNoCookies;
  if (noRedirect)
    flags |= kFlagNoAutoRedirect;
  if (base::lowerAscii(url.substr(0, 5)) == "https") {
    flags |= kFlagSecure;
  } else {
    flags |= kFlagIgnoreRedirectToHttps;
  }
  return flags;
}

std::string completeHeaders(std::string_view headers, std::string_view url,
                            std::string_view cookies) {
  std::string out(headers);
  // Presence tests respect letter case, as the headers were written.
  if (!base::containsText(out, "Referer:")) {
    out += (out.empty() ? "Referer: " : "\r\nReferer: ") + std::string(url);
  }
  if (!base::containsText(out, "Accept:"))
    out += "\r\nAccept: */*";
  if (!base::containsText(out, "Accept-Language:"))
    out += "\r\nAccept-Language: zh-cn";
  if (!base::containsText(out, "Content-Type:")) {
    out += "\r\nContent-Type: application/x-www-form-urlencoded";
  }
  if (!cookies.empty())
    out += "\r\nCookie: " + std::string(cookies);
  return out;
}

void scanResponseHeaders(std::string_view rawHeaders, std::string& location,
                         std::string& returnedCookies) {
  returnedCookies.clear();
  bool found = false;
  for (const std::string& line : base::splitText(rawHeaders, "\r\n")) {
    if (base::containsText(line, "Location:")) {
      location = base::valueAfterColon(line);
      found = true;
    }
    if (base::containsText(line, "Set-Cookie")) {
      returnedCookies += base::trimSpaces(base::textBetween(line, "Set-Cookie:", ";")) + "; ";
    }
  }
  if (returnedCookies.size() >= 2)
    returnedCookies.resize(returnedCookies.size() - 2);
  if (!found && location.empty())
    location = std::string(rawHeaders);
}

std::string headerBufferText(std::string_view block, bool queried) {
  if (!queried || block.size() + 1 > kRawHeaderBufferSize) {
    return std::string(kRawHeaderBufferSize, ' ');
  }
  return std::string(block);
}

}  // namespace update
