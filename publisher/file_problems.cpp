#include "publisher/file_problems.h"

#include <vector>

#include "base/cp936.h"
#include "publisher/refusal.h"

namespace publisher {
namespace {

// More folders than this above a path means a loop, not a real tree.
constexpr int kMaxDepth = 256;

bool isSeparator(char c) {
  return c == '/' || c == '\\';
}

// The position of the last separator, skipping the second bytes of two-byte
// characters (a "\" there is no separator in code page 936); npos if none.
std::size_t lastSeparator(std::string_view path) {
  std::size_t last = std::string_view::npos;
  base::forEachCharacter<base::fileNameCharacterWidth>(path, [&](std::size_t i, std::size_t width) {
    if (width == 1 && isSeparator(path[i]))
      last = i;
  });
  return last;
}

}  // namespace

std::optional<Message> causeOf(const SystemError& error) {
  switch (error.kind) {
    case SystemError::Kind::kNotFound:
      return Message::kCauseNotFound;
    case SystemError::Kind::kAccessDenied:
      return Message::kCauseAccessDenied;
    case SystemError::Kind::kInUse:
      return Message::kCauseInUse;
    case SystemError::Kind::kNoSpace:
      return Message::kCauseNoSpace;
    case SystemError::Kind::kOther:
      break;
  }
  if (error.text.empty())
    return Message::kCauseNoReason;
  return std::nullopt;
}

std::string causeWords(Tools& tools, const SystemError& error) {
  const std::optional<Message> cause = causeOf(error);
  return cause ? say(tools, *cause) : error.text;
}

std::string readFailure(Tools& tools, const std::string& path) {
  const SystemError error = tools.system.last();
  std::string cause;
  if (!tools.files.exists(path))
    cause = say(tools, Message::kCauseNotFound);
  else if (tools.files.isDirectory(path))
    cause = say(tools, Message::kCauseFolderNotFile);
  else if (tools.files.size(path) == 0)
    cause = say(tools, Message::kCauseEmptyFile);
  else
    cause = causeWords(tools, error);
  return say(tools, Message::kCannotRead, {path, cause});
}

std::string writeFailure(Tools& tools, Message action, const std::string& path) {
  const SystemError error = tools.system.last();
  const std::string parent = parentPath(path);
  std::string cause;
  if (!tools.files.exists(parent)) {
    cause = say(tools, Message::kCauseNoFolder, {parent});
  } else if (!tools.files.isDirectory(parent)) {
    cause = say(tools, Message::kCauseParentIsFile, {parent});
  } else if (action != Message::kActCreateFolder && tools.files.isDirectory(path)) {
    cause = say(tools, Message::kCauseIsFolder);
  } else if (error.kind == SystemError::Kind::kNoSpace || tools.system.freeBytes(parent) == 0) {
    cause = say(tools, Message::kCauseNoSpace);
  } else {
    cause = causeWords(tools, error);
  }
  return say(tools, Message::kCannotWrite, {say(tools, action), path, cause});
}

std::string joinPath(Tools& tools, const std::string& folder, const std::string& name) {
  const char separator = tools.system.pathSeparator();
  std::string path = folder;
  if (!path.empty() && !isSeparator(path.back()))
    path += separator;
  for (const char c : name)
    path += c == '/' ? separator : c;
  return path;
}

std::string parentPath(const std::string& path) {
  std::string_view trimmed = path;
  while (trimmed.size() > 1 && isSeparator(trimmed.back()))
    trimmed.remove_suffix(1);
  const std::size_t at = lastSeparator(trimmed);
  if (at == std::string_view::npos) {
    // "C:name" lies in drive C's current folder.
    if (trimmed.size() > 2 && trimmed[1] == ':')
      return std::string(trimmed.substr(0, 2));
    return ".";
  }
  std::string parent(trimmed.substr(0, at));
  // The root keeps its separator: "/", "C:\".
  if (parent.empty() || (parent.size() == 2 && parent[1] == ':'))
    parent += trimmed[at];
  return parent;
}

bool liesInside(platform::Files& files, const std::string& path, const std::string& folder) {
  std::string current = path;
  for (int depth = 0; depth < kMaxDepth; ++depth) {
    if (files.sameFile(current, folder))
      return true;
    // Above an existing folder its ".." leads, as the file system has it
    // (through links too); above a name not there yet, or a file, its spelling.
    std::string parent = files.isDirectory(current) ? current + "/.." : parentPath(current);
    if (files.isDirectory(current) && files.sameFile(parent, current))
      return false;  // the root
    if (parent == current)
      return false;
    current = std::move(parent);
  }
  return false;
}

void createFolders(Tools& tools, const std::string& folder) {
  std::vector<std::string> missing;
  for (std::string at = folder; !tools.files.isDirectory(at) && missing.size() < kMaxDepth;
       at = parentPath(at)) {
    if (tools.files.exists(at))
      throw Refusal(Message::kFolderBlockedByFile, {folder, at});
    missing.push_back(at);
    if (parentPath(at) == at)
      break;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (!tools.files.createDirectory(*it))
      throw Refusal(writeFailure(tools, Message::kActCreateFolder, *it));
  }
}

}  // namespace publisher
