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
