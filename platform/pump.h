#pragma once

// Waiting while the window's messages go on.

#include <functional>

namespace platform {

class Pump {
 public:
  virtual ~Pump() = default;
  // Returns after `milliseconds`, processing window messages meanwhile.
  virtual void delay(int milliseconds) = 0;
  // Processes window messages until `done` holds (asked each time messages
  // have been handled, and at least every few milliseconds); false when the
  // program is asked to quit first.
  virtual bool waitUntil(const std::function<bool()>& done) = 0;
};

}  // namespace platform
