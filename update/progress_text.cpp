#include "update/progress_text.h"

#include <cmath>
#include <cstdio>

#include "base/cp936.h"

namespace update {

std::string megabytes(std::int64_t bytes) {
  const double scaled = static_cast<double>(bytes) / 1024000.0 * 100.0;
  const double rounded =
      scaled >= 0 ? std::floor(scaled + 1e-12 + 0.5) : -std::floor(-scaled + 1e-12 + 0.5);
  char text[64];
  std::snprintf(text, sizeof(text), "%.13g", rounded / 100.0);
  return text;
}

std::int32_t percentOf(std::int64_t received, std::int64_t total) {
  if (total == 0)
    return 0;
  return static_cast<std::int32_t>(
      std::trunc(static_cast<double>(received) / static_cast<double>(total) * 100.0));
}

std::string speedCaption(std::int64_t bytesThisTick) {
  // Floor, also for a count that is not positive.
  const auto kilobytes = static_cast<std::int64_t>(std::floor(bytesThisTick / 1024.0));
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
