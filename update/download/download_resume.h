#pragma once

// The decisions of a download that goes on after a break: what a later
// request asks for, and whether its answer continues the bytes already
// kept, replaces them, or cannot be used.

#include <cstdint>
#include <string>
#include <string_view>

#include "update/http/http_address.h"
#include "update/http/http_response.h"

namespace update {

// What the local file holds of which body.
struct ResumePoint {
  std::int64_t kept = 0;   // bytes of the body already in the file
  std::int64_t total = 0;  // the whole body's length
  std::string validator;   // If-Range value; empty: the body cannot be continued
};

// The value an If-Range may carry for this answer: its ETag when strong,
// else its Last-Modified; empty when it has neither (a weak ETag cannot
// promise equal bytes).
std::string ifRangeValidator(const ResponseHead& head);

// True when a later request may ask for the rest only.
bool canContinue(const ResumePoint& point);

// The plain request, plus "Range: bytes=kept-" and the If-Range line when
// the point can be continued; else the plain request alone.
std::string resumeRequest(const HttpAddress& address, std::string_view userAgent,
                          const ResumePoint& point);

// The plain request for bytes `first` to `last` of the resource, with an
// If-Range line when `validator` is not empty.
std::string rangeRequest(const HttpAddress& address, std::string_view userAgent,
                         std::uint64_t first, std::uint64_t last, const std::string& validator);

// True when the answer is exactly bytes `first` to `last` (status 206, one
// range, its length as declared) and, where it names one of the kind of
// `validator`, of the same version of the file.
bool answersRange(const ResponseHead& head, std::uint64_t first, std::uint64_t last,
                  const std::string& validator);

enum class ResumedAnswer {
  kContinue,   // exactly the rest of the same body: append it
  kStartOver,  // the whole body anew: replace what is kept
  kFail,       // nothing that fits: the transfer has failed
};

// The answer to a request made for `point` (with or without a range).
ResumedAnswer judgeResumedAnswer(const ResponseHead& head, const ResumePoint& point);

}  // namespace update
