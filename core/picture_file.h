#pragma once

// Reading the game's own pictures (the logo, the slideshow) within a budget.

#include <cstdint>
#include <string>

#include "base/bytes.h"
#include "platform/files.h"

namespace core {

// A picture file beyond this size is not read (a photo the size of the
// slideshow box takes a few hundred kilobytes).
inline constexpr std::int64_t kMaxPictureFileBytes = 32 * 1024 * 1024;

// The file's bytes; empty when it cannot be read or is beyond the budget,
// which shows as no picture.
base::Bytes readPictureFile(platform::Files& files, const std::string& path);

}  // namespace core
