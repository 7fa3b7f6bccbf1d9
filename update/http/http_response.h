#pragma once

// What a response's head says about the body that follows: status, how the
// body is framed, and where a redirect points.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace update {

// A head longer than this is not a web server's answer; it ends the task
// rather than growing a buffer without bound.
inline constexpr std::size_t kMaxResponseHeadBytes = 64 * 1024;

// "Content-Range: bytes first-last/total" of a partial answer.
struct ContentRange {
  std::int64_t first = 0;
  std::int64_t last = 0;
  std::int64_t total = 0;
};

struct ResponseHead {
  int status = 0;
  // Set when Content-Length frames the body and chunked coding does not.
  std::optional<std::int64_t> contentLength;
  bool chunked = false;
  std::string location;
  // The validators a later range request names in If-Range.
  std::string etag;
  std::string lastModified;
  // Null when absent or not of the form above (a "*" total among them).
  std::optional<ContentRange> contentRange;
};

// The value of the first field `name` (any letter case) after the first
// line of a request's or a response's head, blanks around it removed; null
// when the head has none.
std::optional<std::string_view> headerValue(std::string_view head, std::string_view name);

// Up to 18 decimal digits and nothing else: no sign, no blank, no overflow.
std::optional<std::int64_t> parseLength(std::string_view digits);

// "bytes first-last/total" with first <= last < total; null otherwise.
std::optional<ContentRange> parseContentRange(std::string_view value);

// The length of the head in `data` up to and including the blank line that
// ends it (CRLF or bare LF line ends); npos while it is incomplete.
std::size_t responseHeadLength(std::string_view data);

// Null when the status line is not "HTTP/x.y nnn ..." or the framing
// headers contradict each other (unequal Content-Lengths, a bad number).
std::optional<ResponseHead> parseResponseHead(std::string_view head);

bool isRedirectStatus(int status);
// 1xx: an interim head; the real one follows.
bool isInterimStatus(int status);
bool isSuccessStatus(int status);
// Statuses that carry no body whatever the headers say.
bool hasNoBody(int status);

}  // namespace update
