#pragma once

// What the program does, step by step, for whoever listens: the start-up's
// steps, every change to a file name and the update's decisions. The
// shipped launcher has no listener and writes nothing; test builds write
// the trace to a file.

#include <string>

namespace platform {

class Trace {
 public:
  virtual ~Trace() = default;
  // A point reached; `step` is a literal, kept as given (the start-up's
  // steps are timed, so marking allocates nothing).
  virtual void mark(const char* step) = 0;
  // One line about a decision or a change: its topic ("update", "change")
  // and what it says.
  virtual void note(const char* topic, const std::string& text) = 0;
};

}  // namespace platform
