#pragma once

// The launcher's texts (code page 936) as the W functions take them, and
// back. Always 936, never the system's code page: that may be any other.

#include <optional>
#include <string>
#include <string_view>

namespace platform::win32 {

constexpr unsigned kTextCodePage = 936;

// Text in `codePage` as UTF-16; what is not valid there becomes the
// code page's default character.
std::wstring wideFrom(unsigned codePage, std::string_view text);

// Code page 936 text in UTF-16.
inline std::wstring widen(std::string_view cp936) {
  return wideFrom(kTextCodePage, cp936);
}

// UTF-16 in code page 936, with WideCharToMultiByte's `flags`; what 936
// lacks becomes "?".
std::string narrow(std::wstring_view wide, unsigned long flags = 0);

// `bytes` in `codePage` as code page 936, every character kept: none when
// a byte sequence is not valid there or a character has no 936 form.
std::optional<std::string> exactly936(unsigned codePage, std::string_view bytes);

}  // namespace platform::win32
