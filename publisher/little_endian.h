#pragma once

// Numbers as ZIP archives and Windows programs store them: the least
// significant byte first.

#include <cstddef>
#include <cstdint>

namespace publisher {

// The `count`-byte number (at most 8 bytes) that starts at `bytes`.
inline std::uint64_t littleEndian(const std::uint8_t* bytes, std::size_t count) {
  std::uint64_t value = 0;
  for (std::size_t i = count; i > 0; --i)
    value = (value << 8) | bytes[i - 1];
  return value;
}

}  // namespace publisher
