#pragma once

// The addresses the tool writes into pages and launchers.

#include <string_view>

namespace publisher {

// Starts with "http://" or "https://", letter case ignored, and has more.
bool isWebAddress(std::string_view address);

}  // namespace publisher
