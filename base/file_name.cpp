#include "base/file_name.h"

#include <algorithm>
#include <array>

#include "base/cp936.h"
#include "base/path.h"

namespace base {
namespace {

// CON, NUL, COM1, ... open devices instead of files, extension or not.
bool isDeviceName(std::string_view component) {
  std::string_view stem = component.substr(0, component.find('.'));
  while (!stem.empty() && stem.back() == ' ')
    stem.remove_suffix(1);
  static constexpr std::array<std::string_view, 24> kDevices = {
      "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3",   "COM4",
      "COM5", "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2",   "LPT3",
      "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9", "CONIN$", "CONOUT$"};
  const std::string upper = upperAscii(stem);
  return std::find(kDevices.begin(), kDevices.end(), upper) != kDevices.end();
}

// Windows reads "..." or ". ." as ".." once trailing dots and spaces go.
bool isOnlyDotsAndSpaces(std::string_view component) {
  return component.find_first_not_of(". ") == std::string_view::npos;
}

// Single-byte characters Windows refuses in names; ":" also stands for
// drive letters and alternate data streams.
bool hasForbiddenByte(std::string_view component) {
  bool forbidden = false;
  forEachCharacter<fileNameCharacterWidth>(component, [&](std::size_t i, std::size_t width) {
    const char c = component[i];
    forbidden = forbidden ||
                (width == 1 && (static_cast<unsigned char>(c) < 0x20 ||
                                std::string_view(":*?\"<>|").find(c) != std::string_view::npos));
  });
  return forbidden;
}

std::vector<std::string> splitComponents(std::string_view name) {
  std::vector<std::string> components(1);
  forEachCharacter<fileNameCharacterWidth>(name, [&](std::size_t i, std::size_t width) {
    if (width == 1 && isPathSeparator(name[i]))
      components.emplace_back();
    else
      components.back().append(name.substr(i, width));
  });
  return components;
}

}  // namespace

std::optional<EntryPath> parseEntryPath(std::string_view ansiName) {
  // A leading separator is a root or a UNC share, never a relative name.
  if (ansiName.empty() || isPathSeparator(ansiName.front()))
    return std::nullopt;
  std::vector<std::string> components = splitComponents(ansiName);
  EntryPath path;
  path.fileName = std::move(components.back());
  components.pop_back();
  for (std::string& component : components) {
    if (component.empty() || component == ".")
      continue;
    if (isOnlyDotsAndSpaces(component) || hasForbiddenByte(component) || isDeviceName(component))
      return std::nullopt;
    path.folders.push_back(std::move(component));
  }
  const std::string& file = path.fileName;
  if (file == ".") {
    path.fileName.clear();
  } else if (!file.empty() &&
             (isOnlyDotsAndSpaces(file) || hasForbiddenByte(file) || isDeviceName(file))) {
    return std::nullopt;
  }
  return path;
}

std::string joinedEntryPath(const EntryPath& path) {
  std::string name;
  for (const std::string& folder : path.folders)
    name += folder + '\\';
  return name + path.fileName;
}

bool isJoinedFilePath(std::string_view name) {
  const std::optional<EntryPath> path = parseEntryPath(name);
  return path && !path->fileName.empty() && joinedEntryPath(*path) == name;
}

bool isPlainFileName(std::string_view name) {
  // "./x" parses to a bare file name too, but it is a path.
  bool separator = false;
  forEachCharacter<fileNameCharacterWidth>(name, [&](std::size_t i, std::size_t width) {
    separator = separator || (width == 1 && isPathSeparator(name[i]));
  });
  const std::optional<EntryPath> path = parseEntryPath(name);
  return !separator && path && path->folders.empty() && !path->fileName.empty();
}

}  // namespace base
