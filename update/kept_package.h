#pragma once

// A verified package that could not be applied because the game held its
// files: kept with what the page said of it, so that the next start of the
// launcher checks it again and applies it before the game runs.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "update/record_names.h"
#include "update/update_state.h"

namespace update {

inline constexpr std::string_view kKeptRecordHeader = "tavoro-kept-update/1\n";
// The longest value the record's reader takes; a page value is far shorter.
inline constexpr std::size_t kMaxKeptValueBytes = 64 * 1024;
// The longest record there can be: its header, every value at its longest
// with its length ("65536:") and line end, and the size (an int64_t, 20
// characters at most) with its line end. Some 768 KiB, where a real record
// is a few hundred bytes: a longer file is no record of ours, and is never
// read past this.
inline constexpr std::size_t kMaxKeptRecordBytes =
    kKeptRecordHeader.size() + kVersionFieldCount * (6 + kMaxKeptValueBytes + 1) + 20 + 1;

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
