#pragma once

// Waiting while the window's messages go on.

#include <cstdint>
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
  // A steady clock in milliseconds, for waits that count by the clock and
  // not by their turns (a turn may come back at once).
  virtual std::int64_t nowMs() = 0;
};

}  // namespace platform
