#pragma once

#include <cstdint>
#include <vector>

namespace base {

// Whole file contents, pictures and HTTP bodies.
using Bytes = std::vector<std::uint8_t>;

}  // namespace base
