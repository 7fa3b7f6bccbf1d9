#include "update/package/free_names.h"

#include <algorithm>
#include <charconv>

#include "base/cp936.h"
#include "base/file_name.h"
#include "base/path.h"

namespace update {

std::string freeNameTry(std::string_view plain, int number) {
  return number == 0 ? std::string(plain) : base::numberedFileName(plain, number);
}

bool isFreeNameOf(std::string_view name, std::string_view target, std::string_view suffix) {
  const std::string plain = std::string(target) + std::string(suffix);
  if (name == plain)
    return true;
  if (name.size() <= target.size())
    return false;
  // A numbered try is the target, "(number)" and the suffix: the number is
  // read from there, and the whole name must be that try to the byte.
  const std::string_view rest = name.substr(target.size() + 1);
  int number = 0;
  std::from_chars(rest.data(), rest.data() + rest.size(), number);
  return number > 0 && number < kFreeNameTries && name == freeNameTry(plain, number);
}

bool isStagedName(std::string_view name) {
  const std::string_view suffix = kStagingSuffix;
  if (name.size() <= suffix.size() || name.substr(name.size() - suffix.size()) != suffix)
    return false;
  return base::isJoinedFilePath(name.substr(0, name.size() - suffix.size()));
}

std::string foldedName(std::string_view name) {
  std::string folded = base::lowerAscii(std::string(name));
  std::replace(folded.begin(), folded.end(), '/', '\\');
  return folded;
}

}  // namespace update
