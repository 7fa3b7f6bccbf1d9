#pragma once

// The game's settings file in a release: the launcher reads it as GBK (code
// page 936) through the system's profile functions, so a file saved as
// UTF-8 or UTF-16 shows players garbled names.

#include <string>
#include <string_view>
#include <vector>

#include "publisher/tools.h"

namespace publisher {

// How the settings file's bytes are saved, as the launcher would read them.
enum class ConfigEncoding { kGbk, kUtf8WithMark, kUtf16, kUtf8, kOther };

// GBK text (plain ASCII included) is kGbk.
ConfigEncoding gameConfigEncoding(std::string_view content);

// Throws Refusal when `entries` hold tavoro/tavoroConfig.ini (letter case
// ignored) whose bytes the launcher would misread, saying how to save it.
void checkGameConfig(const std::vector<TreeEntry>& entries, Tools& tools);

}  // namespace publisher
