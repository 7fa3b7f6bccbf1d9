#include "update/http_request.h"

#include "update/text.h"

namespace update {

std::string userAgentFor(std::string_view headers) {
  if (!containsText(headers, "User-Agent:", true))
    return kDefaultUserAgent;
  std::string agent = trimSpaces(textBetween(headers, "User-Agent:", "\r\n"));
  // Without a CRLF after it, the line runs to the end of the text.
  if (agent.empty())
    agent = valueAfterColon(headers);
  return agent;
}

std::uint32_t requestFlags(std::string_view url, bool noRedirect) {
  std::uint32_t flags = kFlagReload | kFlagNeedFile | kFlagNoCookies;
  if (noRedirect)
    flags |= kFlagNoAutoRedirect;
  if (lowerAscii(url.substr(0, 5)) == "https") {
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
  if (!containsText(out, "Referer:")) {
    out += (out.empty() ? "Referer: " : "\r\nReferer: ") + std::string(url);
  }
  if (!containsText(out, "Accept:"))
    out += "\r\nAccept: */*";
  if (!containsText(out, "Accept-Language:"))
    out += "\r\nAccept-Language: zh-cn";
  if (!containsText(out, "Content-Type:")) {
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
  for (const std::string& line : splitText(rawHeaders, "\r\n")) {
    if (containsText(line, "Location:")) {
      location = valueAfterColon(line);
      found = true;
    }
    if (containsText(line, "Set-Cookie")) {
      returnedCookies += trimSpaces(textBetween(line, "Set-Cookie:", ";")) + "; ";
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
