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
  // another file; where it names the kind of validator that was kept, it
  // must be the kept one. An ETag is a quoted text, a date is not.
  const bool keptTag = point.validator.front() == '"';
  const std::string& named = keptTag ? head.etag : head.lastModified;
  if (!named.empty() && named != point.validator)
    return ResumedAnswer::kFail;
  return ResumedAnswer::kContinue;
}

}  // namespace update
