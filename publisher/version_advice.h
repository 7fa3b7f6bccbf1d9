#pragma once

// Which versions to suggest when one is refused or would not reach every
// player: only versions that pass the same checks, so that the advice never
// names one that is refused in turn.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace publisher {

// After `latest`: its last number plus one ("5.9" -> "5.10"), its first
// number plus one with the rest zero ("6.0"), and one part more ("5.9.1"),
// which launchers comparing as text also take; other text gets ".1". Of
// these, those `accepted` takes and a launcher can hold, in that order.
std::vector<std::string> suggestedVersions(std::string_view latest,
                                           const std::function<bool(const std::string&)>& accepted);

// "5.10, 6.0 or 5.9.1" with the words given; "" when there is none.
std::string listOfVersions(const std::vector<std::string>& versions, std::string_view comma = ", ",
                           std::string_view orWord = " or ");

}  // namespace publisher
