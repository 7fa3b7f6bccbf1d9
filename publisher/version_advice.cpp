#include "publisher/version_advice.h"

#include "update/settings_block.h"
#include "update/version_page.h"

namespace publisher {
namespace {

// The decimal number `digits` plus one, without its leading zeros.
std::string plusOne(std::string_view digits) {
  std::string number(digits.substr(std::min(digits.find_first_not_of('0'), digits.size())));
  for (auto digit = number.rbegin(); digit != number.rend(); ++digit) {
    if (*digit != '9') {
      ++*digit;
      return number;
    }
    *digit = '0';
  }
  return "1" + number;
}

}  // namespace

std::vector<std::string> suggestedVersions(
    std::string_view latest, const std::function<bool(const std::string&)>& accepted) {
  std::vector<std::string> candidates;
  if (update::isNumberedVersion(latest)) {
    const std::size_t lastDot = latest.rfind('.');
    if (lastDot != std::string_view::npos)
      candidates.push_back(std::string(latest.substr(0, lastDot + 1)) +
                           plusOne(latest.substr(lastDot + 1)));
    const std::size_t firstDot = std::min(latest.find('.'), latest.size());
    candidates.push_back(plusOne(latest.substr(0, firstDot)) + ".0");
  }
  candidates.push_back(std::string(latest) + ".1");
  std::vector<std::string> suggested;
  for (const std::string& candidate : candidates) {
    if (candidate.size() < update::kLocalVersionSize && accepted(candidate))
      suggested.push_back(candidate);
  }
  return suggested;
}

std::string listOfVersions(const std::vector<std::string>& versions, std::string_view comma,
                           std::string_view orWord) {
  std::string list;
  for (std::size_t i = 0; i < versions.size(); ++i) {
    if (i != 0)
      list += i + 1 == versions.size() ? orWord : comma;
    list += versions[i];
  }
  return list;
}

}  // namespace publisher
