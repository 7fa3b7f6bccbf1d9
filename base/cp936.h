#pragma once

// Stepping through code page 936 text. A byte of 0x80 or above starts a
// two-byte character, whose second byte may look like any ASCII byte ("\",
// "/", "." among them) without being one. Only ASCII A-Z and a-z have a
// letter case here.

#include <cstddef>
#include <string>
#include <string_view>

namespace base {

// The rule the text operations step by: page and INI texts are compared by
// it.
constexpr bool startsTwoByteCharacter(char c) {
  return static_cast<unsigned char>(c) >= 0x80;
}

// The lead bytes code page 936 really has: 0x80 and 0xFF stand alone. File
// names are checked by this, so that no byte hides behind a lead byte that
// is none.
constexpr bool isLeadByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x81 && byte <= 0xFE;
}

using LeadByteRule = bool (*)(char);

// Width of the character starting at `i`: a lead byte at the very end
// stands alone.
template <LeadByteRule StartsTwo = startsTwoByteCharacter>
constexpr std::size_t characterWidth(std::string_view text, std::size_t i) {
  return StartsTwo(text[i]) && i + 1 < text.size() ? 2 : 1;
}

// Calls `visit(position, width)` for every character, first to last.
template <LeadByteRule StartsTwo = startsTwoByteCharacter, typename Visit>
constexpr void forEachCharacter(std::string_view text, Visit&& visit) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t width = characterWidth<StartsTwo>(text, i);
    visit(i, width);
    i += width;
  }
}

constexpr char lowerAsciiLetter(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char upperAsciiLetter(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Byte by byte with ASCII letters folded, as header names and profile
// names are compared.
constexpr bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lowerAsciiLetter(a[i]) != lowerAsciiLetter(b[i]))
      return false;
  }
  return true;
}

// The text with ASCII letters folded; two-byte characters stay as they are.
std::string lowerAscii(std::string_view text);
std::string upperAscii(std::string_view text);

}  // namespace base
