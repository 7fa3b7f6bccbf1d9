#include "update/download/room.h"

#include <algorithm>
#include <limits>

namespace update {
namespace {

constexpr std::int64_t kMaximum = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMegabyte = std::int64_t{1} << 20;
constexpr std::int64_t kGigabyte = std::int64_t{1} << 30;

std::int64_t saturatingSum(std::int64_t a, std::int64_t b) {
  return a > kMaximum - b ? kMaximum : a + b;
}

std::int64_t divided(std::int64_t bytes, std::int64_t unit, bool roundUp) {
  return bytes / unit + (roundUp && bytes % unit != 0 ? 1 : 0);
}

}  // namespace

std::int64_t roomNeeded(std::int64_t packageBytes, std::int64_t keptBytes,
                        std::int64_t unpackedBytes) {
  const std::int64_t toCome =
      std::max<std::int64_t>(packageBytes - std::max<std::int64_t>(keptBytes, 0), 0);
  return saturatingSum(saturatingSum(toCome, std::max<std::int64_t>(unpackedBytes, 0)),
                       kRoomMargin);
}

std::string roomFigure(std::int64_t bytes, bool roundUp) {
  bytes = std::max<std::int64_t>(bytes, 0);
  if (bytes < kGigabyte)
    return std::to_string(divided(bytes, kMegabyte, roundUp)) + " MB";
  // Tenths of a GB: what rounds up to a whole GB shows as "2.0 GB".
  const std::int64_t tenths =
      bytes / kGigabyte * 10 + divided(bytes % kGigabyte * 10, kGigabyte, roundUp);
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " GB";
}

}  // namespace update
