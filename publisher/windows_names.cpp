#include "publisher/windows_names.h"

#include <array>

#include "base/cp936.h"
#include "publisher/messages.h"

namespace publisher {
namespace {

// The case pairs of code page 936 beyond ASCII, as runs of two-byte
// characters: the upper-case run starts at `upper`, its lower-case
// partners at `lower`, `count` of each, lead byte `lead`.
struct CaseRun {
  unsigned char lead;
  unsigned char upper;
  unsigned char lower;
  unsigned char count;
};
constexpr std::array<CaseRun, 4> kCaseRuns = {{
    {0xA2, 0xF1, 0xA1, 10},  // Roman numerals Ⅰ-Ⅹ and ⅰ-ⅹ (Ⅺ, Ⅻ have no partner here)
    {0xA3, 0xC1, 0xE1, 26},  // full-width Ａ-Ｚ and ａ-ｚ
    {0xA6, 0xA1, 0xC1, 24},  // Greek Α-Ω and α-ω
    {0xA7, 0xA1, 0xD1, 33},  // Cyrillic А-Я (with Ё) and а-я (with ё)
}};

// The lower-case trail byte of a two-byte upper-case letter; the trail
// byte itself otherwise.
unsigned char foldedTrail(unsigned char lead, unsigned char trail) {
  for (const CaseRun& run : kCaseRuns) {
    if (lead == run.lead && trail >= run.upper && trail < run.upper + run.count)
      return static_cast<unsigned char>(run.lower + (trail - run.upper));
  }
  return trail;
}

bool endsInDotOrSpace(std::string_view name) {
  return !name.empty() && (name.back() == '.' || name.back() == ' ');
}

}  // namespace

std::string windowsFoldedName(std::string_view cp936) {
  if (!cp936.empty() && cp936.back() == '/')
    cp936.remove_suffix(1);
  std::string folded;
  base::forEachCharacter<base::fileNameCharacterWidth>(
      cp936, [&](std::size_t i, std::size_t width) {
        if (width == 1) {
          folded += base::lowerAsciiLetter(cp936[i]);
        } else {
          const auto lead = static_cast<unsigned char>(cp936[i]);
          folded += cp936[i];
          folded += static_cast<char>(foldedTrail(lead, static_cast<unsigned char>(cp936[i + 1])));
        }
      });
  return folded;
}

std::optional<Refusal> windowsNameProblem(std::string_view cp936, const std::string& shown) {
  if (!cp936.empty() && cp936.back() == '/')
    cp936.remove_suffix(1);
  // Every code page 936 character is one UTF-16 unit, as Windows counts; a
  // "." or " " is never the second byte of one, so a name's last byte is
  // its last character.
  std::size_t characters = 0;
  bool dotOrSpace = endsInDotOrSpace(cp936);
  base::forEachCharacter<base::fileNameCharacterWidth>(
      cp936, [&](std::size_t i, std::size_t width) {
        ++characters;
        if (width == 1 && cp936[i] == '/')
          dotOrSpace = dotOrSpace || endsInDotOrSpace(cp936.substr(0, i));
      });
  if (dotOrSpace)
    return Refusal(Message::kNameEndsInDotOrSpace, {shown});
  if (characters > kMaxEntryPathCharacters)
    return Refusal(Message::kPathTooLong,
                   {shown, std::to_string(characters), std::to_string(kMaxEntryPathCharacters)});
  return std::nullopt;
}

}  // namespace publisher
