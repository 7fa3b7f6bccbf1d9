#include "update/http/web_text.h"

#include <cstdlib>

#include "base/text.h"

namespace update {

using base::containsText;
using base::findText;
using base::lowerAscii;
using base::removeAllSpaces;
using base::splitText;
using base::textBetween;
using base::trimSpaces;

std::string urlHost(std::string_view url, bool lastTwoLabels, bool keepPort) {
  std::string lowered = lowerAscii(url);
  if (lowered.empty() || lowered.back() != '/')
    lowered.push_back('/');
  std::string host;
  if (lowered.rfind("https://", 0) == 0) {
    host = textBetween(lowered, "https://", "/");
  } else {
    if (!containsText(lowered, "http://"))
      lowered.insert(0, "http://");
    host = textBetween(lowered, "http://", "/");
  }
  if (lastTwoLabels) {
    const std::vector<std::string> labels = splitText(host, ".");
    if (labels.size() >= 2)
      host = labels[labels.size() - 2] + "." + labels.back();
  }
  if (!keepPort) {
    const int colon = findText(host, ":");
    if (colon != -1)
      host.resize(colon - 1);
  }
  return host;
}

int urlPort(std::string_view url) {
  const std::string host = urlHost(url, false, true);
  const std::size_t colon = host.rfind(':');
  if (colon != std::string::npos)
    return std::atoi(host.c_str() + colon + 1);
  return lowerAscii(url.substr(0, 5)) == "https" ? 443 : 80;
}

std::string urlPath(std::string_view url) {
  const std::string host = urlHost(url);
  const int hostAt = findText(url, host, 1, true);
  const int slash = findText(url, "/", hostAt);
  if (slash == -1)
    return "/";
  return std::string(url.substr(slash - 1));
}

std::string cookieName(std::string_view cookie) {
  const int equals = findText(cookie, "=");
  return trimSpaces(equals == -1 ? cookie : cookie.substr(0, equals - 1));
}

std::string mergeCookies(std::string& cookies, std::string& returnedCookies) {
  cookies = removeAllSpaces(cookies);
  returnedCookies = removeAllSpaces(returnedCookies);
  std::vector<std::string> merged = splitText(returnedCookies, ";");
  for (const std::string& old : splitText(cookies, ";")) {
    const std::string name = cookieName(old);
    bool setAgain = false;
    for (const std::string& entry : merged)
      setAgain = setAgain || cookieName(entry) == name;
    if (!setAgain)
      merged.push_back(old);
  }
  cookies.clear();
  for (const std::string& entry : merged) {
    const bool deleted = entry.size() >= 8 && entry.compare(entry.size() - 8, 8, "=deleted") == 0;
    if (!deleted)
      cookies += entry + "; ";
  }
  if (cookies.size() >= 2)
    cookies.resize(cookies.size() - 2);
  return cookies;
}

}  // namespace update
