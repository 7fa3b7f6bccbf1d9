#include "platform/win32/wide_text.h"

#include <windows.h>

namespace platform::win32 {
namespace {

std::wstring toWide(UINT codePage, DWORD flags, std::string_view text) {
  if (text.empty() || text.size() > 0x7FFFFFFF)
    return {};
  const int bytes = static_cast<int>(text.size());
  const int units = MultiByteToWideChar(codePage, flags, text.data(), bytes, nullptr, 0);
  if (units <= 0)
    return {};
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(codePage, flags, text.data(), bytes, wide.data(), units);
  return wide;
}

// Null `usedDefault`: any character 936 lacks becomes "?".
std::string toCp936(std::wstring_view wide, DWORD flags, BOOL* usedDefault) {
  if (wide.empty())
    return {};
  const int units = static_cast<int>(wide.size());
  const int size = WideCharToMultiByte(kTextCodePage, flags, wide.data(), units, nullptr, 0,
                                       nullptr, usedDefault);
  if (size <= 0)
    return {};
  std::string text(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(kTextCodePage, flags, wide.data(), units, text.data(), size, nullptr,
                      usedDefault);
  return text;
}

}  // namespace

std::wstring wideFrom(unsigned codePage, std::string_view text) {
  return toWide(codePage, 0, text);
}

std::string narrow(std::wstring_view wide, unsigned long flags) {
  return toCp936(wide, flags, nullptr);
}

std::optional<std::string> exactly936(unsigned codePage, std::string_view bytes) {
  if (bytes.empty())
    return std::string();
  const std::wstring wide = toWide(codePage, MB_ERR_INVALID_CHARS, bytes);
  if (wide.empty())
    return std::nullopt;
  // No best fit either: a near character would name another file.
  BOOL usedDefault = FALSE;
  std::string text = toCp936(wide, WC_NO_BEST_FIT_CHARS, &usedDefault);
  if (usedDefault || text.empty())
    return std::nullopt;
  return text;
}

}  // namespace platform::win32
