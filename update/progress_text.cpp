#include "update/progress_text.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "base/values.h"

namespace update {
namespace {

// Bytes in a hundredth of a megabyte (a megabyte being 1024000 bytes).
constexpr std::uint64_t kBytesPerHundredth = 10240;

// In integers: a double divides a count of a few hundred megabytes already
// inexactly, and its halves would then round down.
std::uint64_t roundedHundredths(std::uint64_t magnitude) {
  return magnitude / kBytesPerHundredth +
         (magnitude % kBytesPerHundredth >= kBytesPerHundredth / 2 ? 1 : 0);
}

}  // namespace

std::string megabytes(std::int64_t bytes) {
  // The magnitude of the smallest count too, which has no positive twin.
  const std::uint64_t magnitude =
      bytes < 0 ? 0 - static_cast<std::uint64_t>(bytes) : static_cast<std::uint64_t>(bytes);
  // Hundredths below 10^13 are printed back exactly from a double.
  const double value = static_cast<double>(roundedHundredths(magnitude)) / 100.0;
  char text[64];
  std::snprintf(text, sizeof(text), "%.13g", bytes < 0 ? -value : value);
  return text;
}

std::int32_t percentOf(std::int64_t received, std::int64_t total) {
  if (total <= 0)
    return 0;
  // received * 100 / total without a double's rounding (29 of 100 would
  // show 28) and without overflow: whole totals first (held where their
  // hundredfold fits; beyond, the percent is the largest anyway), then the
  // rest, whose hundredfold fits while the total is below 2^56.
  const std::int64_t whole =
      std::min<std::int64_t>(received / total, std::numeric_limits<std::int32_t>::max());
  const std::int64_t rest = received % total;
  const std::int64_t restPercent =
      total <= std::numeric_limits<std::int64_t>::max() / 100
          ? rest * 100 / total
          : static_cast<std::int64_t>(static_cast<double>(rest) / static_cast<double>(total) * 100);
  return base::clampToInt32(whole * 100 + restPercent);
}

std::string speedCaption(std::int64_t bytesThisTick) {
  // Floor, also for a count that is not positive.
  const std::int64_t kilobytes = bytesThisTick / 1024 - (bytesThisTick % 1024 < 0 ? 1 : 0);
  return "下载速度：" + std::to_string(kilobytes) + " KB\\s";
}

std::string receivedCaption(std::int64_t received) {
  return "已下载：" + megabytes(received) + "MB";
}

std::string sizeCaption(std::int64_t total) {
  return "更新大小：" + megabytes(total) + "MB";
}

std::string percentCaption(std::int32_t percent) {
  return "已下载：" + std::to_string(percent) + "%";
}

}  // namespace update
