#pragma once

// One line of progress on the error stream, rewritten in place with "\r":
// shown only for work that takes longer than a second, a few times a
// second, and ended with a line break when the work is done.

#include <chrono>
#include <cstddef>
#include <ostream>
#include <string>

namespace publisher {

class ProgressLine {
 public:
  explicit ProgressLine(std::ostream& err);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // True when a new text should be shown now; cheap to ask often.
  bool due();
  void show(const std::string& text);
  // The last text, when the line has been shown at all, and the line break.
  void finish(const std::string& text);

 private:
  using Clock = std::chrono::steady_clock;
  std::ostream& err_;
  Clock::time_point start_ = Clock::now();
  Clock::time_point lastShown_;
  bool shown_ = false;
  bool finished_ = false;
  std::size_t width_ = 0;
};

}  // namespace publisher
