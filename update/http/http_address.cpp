#include "update/http/http_address.h"

#include <algorithm>
#include <cctype>

#include "base/text.h"

namespace update {
namespace {

constexpr std::string_view kScheme = "http://";
constexpr std::string_view kSecureScheme = "https://";
constexpr int kDefaultPort = 80;
constexpr int kDefaultSecurePort = 443;

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size())
    return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
      return false;
  }
  return true;
}

bool hasControlCharacter(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F)
      return true;
  }
  return false;
}

bool isHostCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

std::optional<int> parsePort(std::string_view digits) {
  if (digits.empty() || digits.size() > 5)
    return std::nullopt;
  int port = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9')
      return std::nullopt;
    port = port * 10 + (c - '0');
  }
  if (port < 1 || port > 65535)
    return std::nullopt;
  return port;
}

// Keeps the request line one token: the server sees the same bytes a
// browser would send for a code page 936 path.
std::string encodeTarget(std::string_view path) {
  std::string target;
  target.reserve(path.size());
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '#')
      break;
    if (byte >= 0x80 || c == ' ') {
      base::appendPercentEscape(target, byte);
    } else {
      target += c;
    }
  }
  return target;
}

// "host" or "host:port" with the scheme's default port; the target is left
// to the caller.
std::optional<HttpAddress> parseAuthority(std::string_view authority, bool secure) {
  HttpAddress parsed;
  parsed.secure = secure;
  parsed.port = secure ? kDefaultSecurePort : kDefaultPort;
  const std::size_t colon = authority.find(':');
  if (colon != std::string_view::npos) {
    const auto port = parsePort(authority.substr(colon + 1));
    if (!port)
      return std::nullopt;
    parsed.port = *port;
    authority = authority.substr(0, colon);
  }
  if (authority.empty())
    return std::nullopt;
  for (const char c : authority) {
    if (!isHostCharacter(c))
      return std::nullopt;
  }
  parsed.host = std::string(authority);
  return parsed;
}

}  // namespace

std::optional<HttpAddress> parseHttpAddress(std::string_view address) {
  const bool secure = startsWithIgnoringCase(address, kSecureScheme);
  if ((!secure && !startsWithIgnoringCase(address, kScheme)) || hasControlCharacter(address))
    return std::nullopt;
  const std::string_view rest = address.substr((secure ? kSecureScheme : kScheme).size());
  const std::size_t slash = rest.find('/');
  if (slash == std::string_view::npos)
    return std::nullopt;
  auto parsed = parseAuthority(rest.substr(0, slash), secure);
  if (parsed)
    parsed->target = encodeTarget(rest.substr(slash));
  return parsed;
}

std::optional<HttpAddress> parseLooseAddress(std::string_view address) {
  if (hasControlCharacter(address))
    return std::nullopt;
  const bool secure = startsWithIgnoringCase(address, kSecureScheme);
  if (secure)
    address.remove_prefix(kSecureScheme.size());
  else if (startsWithIgnoringCase(address, kScheme))
    address.remove_prefix(kScheme.size());
  const std::size_t slash = std::min(address.find('/'), address.size());
  auto parsed = parseAuthority(address.substr(0, slash), secure);
  if (!parsed)
    return std::nullopt;
  for (char& c : parsed->host)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  parsed->target = slash < address.size() ? std::string(address.substr(slash)) : "/";
  return parsed;
}

bool isWebAddress(std::string_view address) {
  return (startsWithIgnoringCase(address, kScheme) && address.size() > kScheme.size()) ||
         (startsWithIgnoringCase(address, kSecureScheme) && address.size() > kSecureScheme.size());
}

std::optional<HttpAddress> resolveLocation(const HttpAddress& base, std::string_view location) {
  if (location.empty() || hasControlCharacter(location))
    return std::nullopt;
  if (startsWithIgnoringCase(location, kScheme) ||
      startsWithIgnoringCase(location, kSecureScheme)) {
    auto next = parseHttpAddress(location);
    if (next && base.secure && !next->secure)
      return std::nullopt;
    return next;
  }
  if (location.substr(0, 2) == "//")
    return parseHttpAddress(std::string(base.secure ? "https:" : "http:") + std::string(location));
  // Any other "scheme:" before the first "/" is one we cannot fetch.
  const std::size_t colon = location.find(':');
  if (colon != std::string_view::npos && colon < location.find('/'))
    return std::nullopt;
  HttpAddress next = base;
  if (location.front() == '/') {
    next.target = encodeTarget(location);
  } else {
    const std::string directory = base.target.substr(0, base.target.rfind('/') + 1);
    next.target = directory + encodeTarget(location);
  }
  return next;
}

std::string hostAndPort(const HttpAddress& address) {
  if (address.port == (address.secure ? kDefaultSecurePort : kDefaultPort))
    return address.host;
  return address.host + ":" + std::to_string(address.port);
}

std::string getRequest(const HttpAddress& address, std::string_view userAgent) {
  std::string request = "GET " + address.target + " HTTP/1.1\r\n";
  request += "Host: " + hostAndPort(address) + "\r\n";
  request += "User-Agent: " + std::string(userAgent) + "\r\n";
  request += "Accept: */*\r\n";
  request += "Connection: close\r\n\r\n";
  return request;
}

}  // namespace update
