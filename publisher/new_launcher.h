#pragma once

// The new launcher of a release as it goes into the package: a launcher of
// this kind carries the release's version, so that its players are not
// offered the same release again, and it is checked for what would keep
// them from ever taking another update.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/bytes.h"
#include "publisher/tools.h"
#include "update/package/package_signature.h"

namespace publisher {

// The entry's file, whole; throws Refusal when it cannot be read whole.
base::Bytes readWhole(const TreeEntry& entry);

// The file `launcher` (code page 936, letter case ignored) at the top of
// `entries`; null when there is none.
const TreeEntry* topFile(const std::vector<TreeEntry>& entries, std::string_view launcher);

// Finds `launcher` (code page 936) at the top of `entries` and, when it
// carries the update settings, has the package take a copy stamped with
// `version`; the file itself is never changed. Throws Refusal when that
// launcher has another public key than `signingKey`, still reads the
// example version page, or carries a version that `version` does not sort
// after. Any other program: a warning on tools.err, and it goes in as it is.
// Returns the version page address a launcher reads (code page 936); none
// for any other program.
std::optional<std::string> prepareNewLauncher(std::vector<TreeEntry>& entries,
                                              std::string_view launcher, const std::string& version,
                                              const update::PublicKey& signingKey, Tools& tools);

}  // namespace publisher
