#pragma once

// Small values that travel between the window, its handlers and the
// platform layer.

#include <cstdint>
#include <limits>

namespace base {

// 0x00BBGGRR, as Windows stores colours.
using Colorref = std::uint32_t;

// The integers an event carries (a notice's two, a click's position, a
// percentage).
struct EventArgs {
  int first = 0;
  int second = 0;
  int third = 0;
};

// Sizes and counts reported as 32-bit integers stop at the largest one
// rather than wrapping negative.
constexpr std::int32_t clampToInt32(std::int64_t value) {
  return value > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                          : static_cast<std::int32_t>(value);
}

}  // namespace base
