#pragma once

// The figures of the download panel as text, exact for any 64-bit count.

#include <cstdint>
#include <string>
#include <string_view>

namespace update {

// x / 1024000 to two decimals, halves away from zero, shortest text:
// 0 → "0", 1536000 → "1.5", 5120000 → "5".
std::string megabytes(std::int64_t bytes);

// Received of total in whole percent, truncated; 0 while the total is
// unknown. A server that sends more than it announced gives more than 100.
std::int32_t percentOf(std::int64_t received, std::int64_t total);

std::string speedCaption(std::int64_t bytesThisTick);
std::string receivedCaption(std::int64_t received);
std::string sizeCaption(std::int64_t total);
std::string percentCaption(std::int32_t percent);

}  // namespace update
