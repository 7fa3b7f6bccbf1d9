#include "ui/win32/fonts.h"

#include <cwchar>

#include "platform/win32/wide_text.h"

namespace ui::win32 {

HFONT FontCache::fontFor(const FontStyle& row) {
  if (row.height == 0)
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  const std::string face = row.face != nullptr ? row.face : "";
  Key key{face, row.height, row.weight};
  if (auto found = fonts_.find(key); found != fonts_.end())
    return found->second.get();

  LOGFONTW logFont{};
  logFont.lfHeight = -row.height;
  logFont.lfWeight = row.weight;
  logFont.lfCharSet = GB2312_CHARSET;
  logFont.lfOutPrecision = OUT_DEFAULT_PRECIS;
  logFont.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  logFont.lfQuality = DEFAULT_QUALITY;
  logFont.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  // Longer names would not fit LOGFONT; they are cut rather than overrun.
  const std::wstring wideFace = platform::win32::widen(face).substr(0, LF_FACESIZE - 1);
  std::wcsncpy(logFont.lfFaceName, wideFace.c_str(), LF_FACESIZE - 1);
  Font font(CreateFontIndirectW(&logFont));
  HFONT handle = font.get();
  if (handle == nullptr)
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  fonts_.emplace(std::move(key), std::move(font));
  return handle;
}

}  // namespace ui::win32
