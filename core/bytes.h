#pragma once

#include <cstdint>
#include <vector>

namespace core {

// Whole file contents, pictures and HTTP bodies.
using Bytes = std::vector<std::uint8_t>;

}  // namespace core
