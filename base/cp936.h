#pragma once

// Stepping through code page 936 text by one of two rules: the text rule
// (page and INI texts), and what the code page really decodes (file names
// and paths). Either way the second byte of a two-byte character may look
// like an ASCII byte ("\", "/", "." among them) without being one. Only
// ASCII A-Z and a-z have a letter case here.

#include <cstddef>
#include <string>
#include <string_view>

namespace base {

// The rule the text operations step by: page and INI texts are compared by
// it.
constexpr bool startsTwoByteCharacter(char c) {
  return static_cast<unsigned char>(c) >= 0x80;
}

// Width of the character starting at `i` by the text rule: a lead byte at
// the very end stands alone.
constexpr std::size_t characterWidth(std::string_view text, std::size_t i) {
  return startsTwoByteCharacter(text[i]) && i + 1 < text.size() ? 2 : 1;
}

// The two-byte characters code page 936 really has: a lead byte 0x81-0xFE
// followed by a trail byte 0x40-0xFE other than 0x7F. File names and paths
// are stepped by this, so that no byte that Windows reads on its own (a
// colon, a backslash) hides behind a lead byte that starts no character.
constexpr bool isLeadByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x81 && byte <= 0xFE;
}
constexpr bool isTrailByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x40 && byte <= 0xFE && byte != 0x7F;
}
constexpr std::size_t fileNameCharacterWidth(std::string_view text, std::size_t i) {
  return i + 1 < text.size() && isLeadByte(text[i]) && isTrailByte(text[i + 1]) ? 2 : 1;
}

using CharacterWidth = std::size_t (*)(std::string_view text, std::size_t i);

// Calls `visit(position, width)` for every character, first to last.
template <CharacterWidth Width = characterWidth, typename Visit>
constexpr void forEachCharacter(std::string_view text, Visit&& visit) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t width = Width(text, i);
    visit(i, width);
    i += width;
  }
}

constexpr char lowerAsciiLetter(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The value of one hexadecimal digit, -1 for any other character.
constexpr int hexDigitValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
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
