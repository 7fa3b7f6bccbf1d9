#pragma once

// The parts of web addresses and cookie texts, by the code page 936 text
// rules of base/text.h.

#include <string>
#include <string_view>

namespace update {

// The host of an address, lower-cased; without a scheme http:// is assumed.
std::string urlHost(std::string_view url, bool lastTwoLabels = false, bool keepPort = false);
int urlPort(std::string_view url);
// From the first "/" after the host to the end, query included; "/" when none.
std::string urlPath(std::string_view url);

// The text before the first "=", trimmed (the whole cookie without "=").
std::string cookieName(std::string_view cookie);

// Removes spaces from both, puts the returned cookies first, then the old
// ones the response did not set again, drops "=deleted" ones; writes the
// result into `cookies` and returns it.
std::string mergeCookies(std::string& cookies, std::string& returnedCookies);

}  // namespace update
