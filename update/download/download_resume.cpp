#include "update/download/download_resume.h"

namespace update {

std::string ifRangeValidator(const ResponseHead& head) {
  if (!head.etag.empty() && head.etag.rfind("W/", 0) != 0)
    return head.etag;
  return head.lastModified;
}

bool canContinue(const ResumePoint& point) {
  return !point.validator.empty() && point.kept > 0 && point.kept < point.total;
}

std::string resumeRequest(const HttpAddress& address, std::string_view userAgent,
                          const ResumePoint& point) {
  std::string request = getRequest(address, userAgent);
  if (!canContinue(point))
    return request;
  // Before the blank line that ends the head.
  request.insert(request.size() - 2, "Range: bytes=" + std::to_string(point.kept) +
                                         "-\r\nIf-Range: " + point.validator + "\r\n");
  return request;
}

std::string rangeRequest(const HttpAddress& address, std::string_view userAgent,
                         std::uint64_t first, std::uint64_t last, const std::string& validator) {
  std::string request = getRequest(address, userAgent);
  std::string lines = "Range: bytes=" + std::to_string(first) + "-" + std::to_string(last) + "\r\n";
  if (!validator.empty())
    lines += "If-Range: " + validator + "\r\n";
  request.insert(request.size() - 2, lines);
  return request;
}

namespace {

// Where the answer names a validator of the kind kept, it must be the kept
// one. An ETag is a quoted text, a date is not.
bool sameVersion(const ResponseHead& head, const std::string& validator) {
  if (validator.empty())
    return true;
  const std::string& named = validator.front() == '"' ? head.etag : head.lastModified;
  return named.empty() || named == validator;
}

}  // namespace

bool answersRange(const ResponseHead& head, std::uint64_t first, std::uint64_t last,
                  const std::string& validator) {
  if (head.status != 206 || !head.contentRange || head.chunked)
    return false;
  const ContentRange& range = *head.contentRange;
  if (range.first < 0 || static_cast<std::uint64_t>(range.first) != first ||
      static_cast<std::uint64_t>(range.last) != last)
    return false;
  if (!head.contentLength || static_cast<std::uint64_t>(*head.contentLength) != last - first + 1)
    return false;
  return sameVersion(head, validator);
}

ResumedAnswer judgeResumedAnswer(const ResponseHead& head, const ResumePoint& point) {
  if (head.status == 200)
    return ResumedAnswer::kStartOver;
  if (head.status != 206 || !canContinue(point) || !head.contentRange)
    return ResumedAnswer::kFail;
  const ContentRange& range = *head.contentRange;
  if (range.first != point.kept || range.total != point.total || range.last != point.total - 1)
    return ResumedAnswer::kFail;
  if (head.contentLength && *head.contentLength != range.last - range.first + 1)
    return ResumedAnswer::kFail;
  // A server that honours Range but not If-Range would hand over the rest of
  // another file.
  return sameVersion(head, point.validator) ? ResumedAnswer::kContinue : ResumedAnswer::kFail;
}

}  // namespace update
