#pragma once

// A verified package that could not be applied because the game held its
// files: kept with what the page said of it, so that the next start of the
// launcher checks it again and applies it before the game runs.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/files.h"
#include "update/record_names.h"
#include "update/update_state.h"

namespace update {

struct KeptPackage {
  std::array<std::string, kVersionFieldCount> versionFields;
  // The package's size when it was kept: what a launcher without a key
  // checks it against.
  std::int64_t size = 0;
};

bool keepPackage(platform::Files& files, const std::string& runDirectory, const KeptPackage& kept);
// Nothing when there is no record, or it is no record of ours.
std::optional<KeptPackage> readKeptPackage(platform::Files& files, const std::string& runDirectory);
void forgetKeptPackage(platform::Files& files, const std::string& runDirectory);

}  // namespace update
