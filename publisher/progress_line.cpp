#include "publisher/progress_line.h"

namespace publisher {
namespace {

constexpr auto kQuietTime = std::chrono::seconds(1);
constexpr auto kInterval = std::chrono::milliseconds(200);

}  // namespace

ProgressLine::ProgressLine(std::ostream& err) : err_(err) {}

ProgressLine::~ProgressLine() {
  // A message that follows must start on a line of its own.
  if (shown_ && !finished_)
    err_ << "\n" << std::flush;
}

bool ProgressLine::due() {
  const Clock::time_point now = Clock::now();
  return now - start_ >= kQuietTime && (!shown_ || now - lastShown_ >= kInterval);
}

void ProgressLine::show(const std::string& text) {
  // Blanks over the rest of a longer text shown before.
  err_ << "\r" << text << std::string(width_ > text.size() ? width_ - text.size() : 0, ' ')
       << std::flush;
  width_ = text.size();
  lastShown_ = Clock::now();
  shown_ = true;
}

void ProgressLine::finish(const std::string& text) {
  if (!shown_)
    return;
  show(text);
  err_ << "\n" << std::flush;
  finished_ = true;
}

}  // namespace publisher
