#include "update/numbered_file_name.h"

namespace update {

std::string numberedFileName(std::string_view path, int number) {
  std::size_t nameStart = 0;
  std::size_t lastDot = std::string_view::npos;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const char c = path[i];
    if (static_cast<unsigned char>(c) >= 0x80) {
      ++i;
    } else if (c == '\\' || c == '/') {
      nameStart = i + 1;
      lastDot = std::string_view::npos;
    } else if (c == '.') {
      lastDot = i;
    }
  }
  const std::size_t insertAt =
      lastDot != std::string_view::npos && lastDot >= nameStart ? lastDot : path.size();
  std::string numbered(path.substr(0, insertAt));
  numbered += "(" + std::to_string(number) + ")";
  numbered += path.substr(insertAt);
  return numbered;
}

}  // namespace update
