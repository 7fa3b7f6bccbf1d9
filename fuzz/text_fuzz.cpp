// The code page 936 text operations on any bytes: finds land on a character
// start and match, a split joins back into the text, trimming and case
// folding settle after one pass.

#include <algorithm>

#include "base/text.h"
#include "fuzz/harness.h"

namespace {

bool startsCharacter(std::string_view text, std::size_t position) {
  bool starts = position == text.size();
  base::forEachCharacter(text,
                         [&](std::size_t i, std::size_t) { starts = starts || i == position; });
  return starts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string needle = input.ConsumeRandomLengthString(16);
  const std::string ending = input.ConsumeRandomLengthString(8);
  const int from = input.ConsumeIntegralInRange(-1, 64);
  const bool ignoreCase = input.ConsumeBool();
  const std::string text = input.ConsumeRemainingBytesAsString();

  const int at = base::findText(text, needle, from, ignoreCase);
  if (at != -1) {
    const std::size_t start = static_cast<std::size_t>(at - 1);
    fuzz::require(at >= std::max(from, 1) && start + needle.size() <= text.size(),
                  "a find lies in the text, at or after where the search began");
    fuzz::require(startsCharacter(text, start), "a find starts where a character starts");
    const std::string found = text.substr(start, needle.size());
    fuzz::require(
        ignoreCase ? base::lowerAscii(found) == base::lowerAscii(needle) : found == needle,
        "a find matches the needle");
  }

  const std::vector<std::string> pieces = base::splitText(text, needle);
  std::string joined;
  for (std::size_t i = 0; i < pieces.size(); ++i)
    joined += (i == 0 ? "" : needle) + pieces[i];
  fuzz::require(joined == text || joined + needle == text,
                "the pieces of a split join back into the text");

  const std::string trimmed = base::trimSpaces(text);
  fuzz::require(base::trimSpaces(trimmed) == trimmed, "trimming twice changes nothing more");
  fuzz::require(base::lowerAscii(base::upperAscii(text)) == base::lowerAscii(text),
                "folding to upper then lower case is folding to lower case");

  const std::string between = base::textBetween(text, needle, ending, from, !ignoreCase);
  fuzz::require(text.find(between) != std::string::npos, "the text between markers is in the text");
  // No promise to check beyond what the sanitizers watch.
  base::valueAfterColon(text);
  base::removeAllSpaces(text);
  return 0;
}
