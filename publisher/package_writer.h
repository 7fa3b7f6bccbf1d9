#pragma once

// The update package: a ZIP archive written with libzip, names stored as
// given (code page 936) without the UTF-8 flag, so that launchers already
// in the field read them right, and files deflated unless they are packed
// already (publisher/compression_choice.h). ZIP64 records are written only
// where an archive needs them (past 4 GiB or 65,535 entries), as libzip
// does once it knows every file's size.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "publisher/tools.h"

namespace publisher {

struct PackTotals {
  std::size_t files = 0;
  std::uint64_t bytes = 0;
};
PackTotals totalsOf(const std::vector<TreeEntry>& entries);

using PackProgress = std::function<void(const PackTotals& done, const PackTotals& total)>;

// Writes `entries` in order into a new archive at `archivePath`, replacing
// what is there; files are read as they are compressed, one open at a time.
// `lastName`, when not empty, is one more entry after them, holding
// `lastBytes` stored as they are. Throws Refusal naming a file that cannot
// be read whole or that changes size meanwhile.
void writePackage(const std::string& archivePath, const std::vector<TreeEntry>& entries,
                  const PackProgress& progress, const std::string& lastName = {},
                  const std::string& lastBytes = {});

}  // namespace publisher
