#pragma once

// The parts of cookie texts, by the code page 936 text rules of base/text.h.

#include <string>
#include <string_view>

namespace update {

// The text before the first "=", trimmed (the whole cookie without "=").
std::string cookieName(std::string_view cookie);

// Removes spaces from both, puts the returned cookies first, then the old
// ones the response did not set again, drops "=deleted" ones; writes the
// result into `cookies` and returns it.
std::string mergeCookies(std::string& cookies, std::string& returnedCookies);

}  // namespace update
