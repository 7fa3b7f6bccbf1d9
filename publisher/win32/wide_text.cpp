#include "publisher/win32/win32_tools.h"

#include "platform/win32/wide_text.h"

namespace publisher::win32 {
namespace {

constexpr UINT kCodePage936 = 936;

std::optional<std::string> fromWide(UINT codePage, std::wstring_view wide, bool exact) {
  if (wide.empty())
    return std::string();
  // UTF-8 holds every character and takes neither option.
  const bool utf8 = codePage == CP_UTF8;
  const DWORD flags = exact && !utf8 ? WC_NO_BEST_FIT_CHARS : 0;
  BOOL usedDefault = FALSE;
  BOOL* reportDefault = utf8 ? nullptr : &usedDefault;
  const int units = static_cast<int>(wide.size());
  const int size =
      WideCharToMultiByte(codePage, flags, wide.data(), units, nullptr, 0, nullptr, reportDefault);
  if (size <= 0)
    return std::nullopt;
  std::string text(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(codePage, flags, wide.data(), units, text.data(), size, nullptr,
                      reportDefault);
  if (exact && usedDefault)
    return std::nullopt;
  return text;
}

}  // namespace

std::wstring toWide(UINT codePage, std::string_view text) {
  return platform::win32::wideFrom(codePage, text);
}

std::optional<std::string> exactlyIn(UINT codePage, std::wstring_view wide) {
  return fromWide(codePage, wide, true);
}

std::string approximatelyIn(UINT codePage, std::wstring_view wide) {
  return fromWide(codePage, wide, false).value_or(std::string());
}

std::optional<std::string> AnsiLocalText::toCp936(std::string_view local) {
  return exactlyIn(kCodePage936, toWide(CP_ACP, local));
}

std::string AnsiLocalText::cp936ToUtf8(std::string_view cp936) {
  return approximatelyIn(CP_UTF8, toWide(kCodePage936, cp936));
}

std::string AnsiLocalText::cp936ToLocal(std::string_view cp936) {
  return approximatelyIn(CP_ACP, toWide(kCodePage936, cp936));
}

}  // namespace publisher::win32
