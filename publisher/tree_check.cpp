#include "publisher/tree_check.h"

#include <algorithm>
#include <map>

#include "base/cp936.h"
#include "base/file_name.h"
#include "publisher/refusal.h"

namespace publisher {

void checkPackageTree(const std::vector<TreeEntry>& entries, std::string_view launcher,
                      std::string_view shownLauncher) {
  std::map<std::string, const TreeEntry*> byFoldedName;
  for (const TreeEntry& entry : entries) {
    if (!base::parseEntryPath(entry.entryName))
      throw Refusal(entry.shownName + ": Windows does not allow this name");
    const auto [other, fresh] = byFoldedName.emplace(base::lowerAscii(entry.entryName), &entry);
    if (!fresh)
      throw Refusal(other->second->shownName + " and " + entry.shownName +
                    " differ only in letter case; on Windows one would overwrite the other");
  }
  const bool found = std::any_of(entries.begin(), entries.end(), [&](const TreeEntry& entry) {
    return !entry.isFolder && base::equalsIgnoringAsciiCase(entry.entryName, launcher);
  });
  if (!found)
    throw Refusal("no file " + std::string(shownLauncher) + " at the top of the folder to pack");
}

}  // namespace publisher
