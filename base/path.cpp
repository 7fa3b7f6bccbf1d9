#include "base/path.h"

#include "base/cp936.h"
#include "base/text.h"

namespace base {

std::string joinPath(std::string_view directory, std::string_view name) {
  std::string path(directory);
  path += '\\';
  path += name;
  return path;
}

std::string_view lastPathComponent(std::string_view path) {
  std::size_t start = 0;
  forEachCharacter<fileNameCharacterWidth>(path, [&](std::size_t i, std::size_t width) {
    const char c = path[i];
    const bool separator = width == 1 && (isPathSeparator(c) || c == ':');
    if (separator && i + 1 < path.size() && !isPathSeparator(path[i + 1]))
      start = i + 1;
  });
  return path.substr(start);
}

bool isFullFilePath(std::string_view path) {
  if (path.empty())
    return false;
  const char drive = path[0];
  if (!((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z')))
    return false;
  if (!containsText(path, ":\\") && !containsText(path, ":/"))
    return false;
  // A folder ends in a separator; a name ending in a two-byte character
  // whose second byte is 0x5C does not.
  const std::string_view name = lastPathComponent(path);
  bool endsInSeparator = false;
  forEachCharacter<fileNameCharacterWidth>(name, [&](std::size_t i, std::size_t width) {
    endsInSeparator = width == 1 && isPathSeparator(name[i]);
  });
  return !name.empty() && !endsInSeparator;
}

std::string withoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && isPathSeparator(path.back()))
    path.pop_back();
  return path;
}

std::string numberedFileName(std::string_view path, int number) {
  std::size_t nameStart = 0;
  std::size_t lastDot = std::string_view::npos;
  forEachCharacter(path, [&](std::size_t i, std::size_t width) {
    if (width == 2)
      return;
    if (isPathSeparator(path[i])) {
      nameStart = i + 1;
      lastDot = std::string_view::npos;
    } else if (path[i] == '.') {
      lastDot = i;
    }
  });
  const std::size_t insertAt =
      lastDot != std::string_view::npos && lastDot >= nameStart ? lastDot : path.size();
  std::string numbered(path.substr(0, insertAt));
  numbered += "(" + std::to_string(number) + ")";
  numbered += path.substr(insertAt);
  return numbered;
}

}  // namespace base
