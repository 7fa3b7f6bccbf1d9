#pragma once

// Text from outside (a page, a program's bytes) as it may go to a terminal:
// control characters could move the cursor, recolour or rewrite what the
// publisher reads, so each comes out as "?".

#include <string>
#include <string_view>

namespace publisher {

inline std::string printable(std::string_view text) {
  std::string shown(text);
  for (char& c : shown) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F)
      c = '?';
  }
  return shown;
}

}  // namespace publisher
