#include "update/http/http_response.h"

#include <cctype>

#include "base/cp936.h"

namespace update {
namespace {

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

std::optional<int> parseStatusLine(std::string_view line) {
  // "HTTP/1.1 200 OK"
  if (line.size() < 12 || line.substr(0, 5) != "HTTP/" || line[8] != ' ')
    return std::nullopt;
  int status = 0;
  for (std::size_t i = 9; i < 12; ++i) {
    if (line[i] < '0' || line[i] > '9')
      return std::nullopt;
    status = status * 10 + (line[i] - '0');
  }
  if (line.size() > 12 && line[12] != ' ')
    return std::nullopt;
  return status;
}

// Chunked only counts when it is the last coding applied.
bool endsWithChunked(std::string_view codings) {
  const std::size_t comma = codings.rfind(',');
  const std::string_view last =
      trim(comma == std::string_view::npos ? codings : codings.substr(comma + 1));
  return base::equalsIgnoringAsciiCase(last, "chunked");
}

}  // namespace

std::optional<std::int64_t> parseLength(std::string_view digits) {
  // 18 digits cannot overflow 64 bits.
  if (digits.empty() || digits.size() > 18)
    return std::nullopt;
  std::int64_t value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9')
      return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::optional<std::string_view> headerValue(std::string_view head, std::string_view name) {
  for (std::size_t lineEnd = head.find('\n'); lineEnd != std::string_view::npos;) {
    const std::size_t lineStart = lineEnd + 1;
    lineEnd = head.find('\n', lineStart);
    const std::string_view line = head.substr(lineStart, lineEnd - lineStart);
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos &&
        base::equalsIgnoringAsciiCase(trim(line.substr(0, colon)), name))
      return trim(line.substr(colon + 1));
  }
  return std::nullopt;
}

std::optional<ContentRange> parseContentRange(std::string_view value) {
  constexpr std::string_view kUnit = "bytes ";
  if (value.size() <= kUnit.size() ||
      !base::equalsIgnoringAsciiCase(value.substr(0, kUnit.size()), kUnit))
    return std::nullopt;
  value.remove_prefix(kUnit.size());
  const std::size_t dash = value.find('-');
  const std::size_t slash = value.find('/');
  if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash)
    return std::nullopt;
  const auto first = parseLength(value.substr(0, dash));
  const auto last = parseLength(value.substr(dash + 1, slash - dash - 1));
  const auto total = parseLength(value.substr(slash + 1));
  if (!first || !last || !total || *first > *last || *last >= *total)
    return std::nullopt;
  return ContentRange{*first, *last, *total};
}

std::size_t responseHeadLength(std::string_view data) {
  for (std::size_t at = data.find('\n'); at != std::string_view::npos;
       at = data.find('\n', at + 1)) {
    if (at + 1 < data.size() && data[at + 1] == '\n')
      return at + 2;
    if (at + 2 < data.size() && data[at + 1] == '\r' && data[at + 2] == '\n')
      return at + 3;
  }
  return std::string_view::npos;
}

std::optional<ResponseHead> parseResponseHead(std::string_view head) {
  std::size_t lineEnd = head.find('\n');
  const auto status = parseStatusLine(trim(head.substr(0, lineEnd)));
  if (!status)
    return std::nullopt;
  ResponseHead parsed;
  parsed.status = *status;
  std::optional<std::int64_t> length;
  bool transferCoded = false;
  while (lineEnd != std::string_view::npos) {
    const std::size_t lineStart = lineEnd + 1;
    lineEnd = head.find('\n', lineStart);
    const std::string_view line = head.substr(lineStart, lineEnd - lineStart);
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos)
      continue;
    const std::string_view name = trim(line.substr(0, colon));
    const std::string_view value = trim(line.substr(colon + 1));
    if (base::equalsIgnoringAsciiCase(name, "Content-Length")) {
      const auto parsedLength = parseLength(value);
      if (!parsedLength || (length && *length != *parsedLength))
        return std::nullopt;
      length = parsedLength;
    } else if (base::equalsIgnoringAsciiCase(name, "Transfer-Encoding")) {
      transferCoded = true;
      parsed.chunked = endsWithChunked(value);
    } else if (base::equalsIgnoringAsciiCase(name, "Location")) {
      parsed.location = std::string(value);
    } else if (base::equalsIgnoringAsciiCase(name, "ETag")) {
      parsed.etag = std::string(value);
    } else if (base::equalsIgnoringAsciiCase(name, "Last-Modified")) {
      parsed.lastModified = std::string(value);
    } else if (base::equalsIgnoringAsciiCase(name, "Content-Range")) {
      parsed.contentRange = parseContentRange(value);
    }
  }
  // Any transfer coding overrides Content-Length; without chunked last the
  // body runs to the close.
  if (!transferCoded)
    parsed.contentLength = length;
  if (hasNoBody(parsed.status)) {
    parsed.chunked = false;
    parsed.contentLength = 0;
  }
  return parsed;
}

bool isInterimStatus(int status) {
  return status >= 100 && status <= 199;
}

bool isRedirectStatus(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool isSuccessStatus(int status) {
  return status >= 200 && status <= 299;
}

bool hasNoBody(int status) {
  return (status >= 100 && status <= 199) || status == 204 || status == 304;
}

}  // namespace update
