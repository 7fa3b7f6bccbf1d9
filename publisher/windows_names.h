#pragma once

// Package entry names as Windows will hold them in the game folder: which
// names it takes for one, and which it cannot keep as written.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "publisher/refusal.h"

namespace publisher {

// Windows' own path limit (MAX_PATH, 260 with the terminating zero) less
// what the game folder's path may take on a player's machine.
inline constexpr std::size_t kMaxEntryPathCharacters = 160;

// The code page 936 name with every letter folded as Windows folds it when
// it compares names: letters that differ only in case (ASCII, full-width
// Latin, Greek, Cyrillic, Roman numerals: every case pair code page 936
// holds both halves of) come out the same. A folder's trailing "/" goes.
std::string windowsFoldedName(std::string_view cp936);

// Why Windows would not keep the entry `cp936` ("/" between folders), shown
// as `shown`, as written: a name ending in a dot or space (Windows drops
// it), or a path longer than it takes; none when it would. (No file system
// here holds a single name longer than Windows takes.)
std::optional<Refusal> windowsNameProblem(std::string_view cp936, const std::string& shown);

}  // namespace publisher
