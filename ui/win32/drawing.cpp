#include "ui/win32/drawing.h"

#include <string>

#include "platform/win32/wide_text.h"

namespace ui::win32 {
namespace {

RECT clientArea(HWND window) {
  RECT area{};
  GetClientRect(window, &area);
  return area;
}

}  // namespace

BufferedPaint::BufferedPaint(HWND window, HDC target)
    : target_(target),
      area_(clientArea(window)),
      dc_(CreateCompatibleDC(target)),
      bitmap_(CreateCompatibleBitmap(target, area_.right > 0 ? area_.right : 1,
                                     area_.bottom > 0 ? area_.bottom : 1)),
      selection_(dc_.get(), bitmap_.get()) {}

BufferedPaint::~BufferedPaint() {
  if (*this)
    BitBlt(target_, 0, 0, area_.right, area_.bottom, dc_.get(), 0, 0, SRCCOPY);
}

void drawImage(HDC dc, const Image& image, int x, int y) {
  if (image.empty())
    return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = image.width;
  info.bmiHeader.biHeight = -image.height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  StretchDIBits(dc, x, y, image.width, image.height, 0, 0, image.width, image.height,
                image.pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

void fillColour(HDC dc, const RECT& area, Colorref colour) {
  const Brush brush(CreateSolidBrush(colour));
  if (brush)
    FillRect(dc, &area, brush.get());
}

void drawText(HDC dc, const RECT& area, std::string_view text, HFONT font, Colorref colour,
              UINT format) {
  if (font == nullptr)
    font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  const Selection selected(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour);
  RECT box = area;
  const std::wstring wide = platform::win32::widen(text);
  DrawTextW(dc, wide.data(), static_cast<int>(wide.size()), &box, format);
}

void drawCaption(HDC dc, const RECT& area, std::string_view text, HFONT font, Colorref colour,
                 Align align, bool wordWrap) {
  UINT format = DT_NOPREFIX | DT_TOP;
  switch (align) {
    case Align::Left:
      format |= DT_LEFT;
      break;
    case Align::Centre:
      format |= DT_CENTER;
      break;
    case Align::Right:
      format |= DT_RIGHT;
      break;
  }
  format |= wordWrap ? DT_WORDBREAK : DT_SINGLELINE;
  drawText(dc, area, text, font, colour, format);
}

std::string windowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0)
    return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return platform::win32::narrow(text);
}

}  // namespace ui::win32
