#pragma once

// What must hold of a folder before it becomes an update package.

#include <string_view>
#include <vector>

#include "publisher/tools.h"

namespace publisher {

// Throws Refusal for a tree the launcher could not unpack as it stands: a
// name Windows refuses or that would land outside the game folder, two
// names that differ only in letter case (one would overwrite the other),
// or no file `launcher` (code page 936; `shownLauncher` in local text) at
// the top to start afterwards.
void checkPackageTree(const std::vector<TreeEntry>& entries, std::string_view launcher,
                      std::string_view shownLauncher);

}  // namespace publisher
