#pragma once

// verify's look at the package's list of its entries: that the list the
// page places is in the package and names its entries as they are, and
// which entries a game folder at an earlier release would fetch.

#include <string>

#include "publisher/tools.h"
#include "update/version_page.h"

namespace publisher {

// Empty when the page names no list, or the list fits the package at
// `package`; else why not, naming the page's field.
std::string entryListProblem(const update::VersionFields& fields, const std::string& package,
                             Tools& tools);

// What a launcher in `folder` would fetch of the package: one line per
// entry, then the bytes and requests.
std::string folderFetches(const update::VersionFields& fields, const std::string& package,
                          const std::string& folder, Tools& tools);

}  // namespace publisher
