#include "base/cp936.h"

namespace base {
namespace {

template <char (*Fold)(char)>
std::string folded(std::string_view text) {
  std::string out(text);
  forEachCharacter(text, [&out](std::size_t i, std::size_t width) {
    if (width == 1)
      out[i] = Fold(out[i]);
  });
  return out;
}

}  // namespace

std::string lowerAscii(std::string_view text) {
  return folded<lowerAsciiLetter>(text);
}

std::string upperAscii(std::string_view text) {
  return folded<upperAsciiLetter>(text);
}

}  // namespace base
