#pragma once

// The names the apply gives the files it puts beside a target: the staged
// file (the package's bytes before they take the target's place) and the
// backup (the old file until the update is known to be whole). Each is the
// target's name with its suffix, or a numbered one where that is taken.

#include <string>
#include <string_view>

#include "update/record_names.h"

namespace update {

// The plain name and the numbered ones "(1)" to "(99)".
inline constexpr int kFreeNameTries = kMaxNumberedNames + 1;

// The try `number` of a free name for `plain`: the name itself, then
// "(number)" before its extension.
std::string freeNameTry(std::string_view plain, int number);

// True when `name` is one of the tries for `target` + `suffix`, byte for
// byte as freeNameTry writes it.
bool isFreeNameOf(std::string_view name, std::string_view target, std::string_view suffix);

// True when `name` could be a staged name of some target: it ends in the
// staging suffix after a file's name as base::isJoinedFilePath takes it.
bool isStagedName(std::string_view name);

// The name as Windows compares names: ASCII letter case and the separator
// used set aside.
std::string foldedName(std::string_view name);

}  // namespace update
