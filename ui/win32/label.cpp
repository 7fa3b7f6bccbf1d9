#include "ui/win32/label.h"

#include "ui/win32/drawing.h"

namespace ui::win32 {

void Label::paint(HDC dc) {
  const BufferedPaint buffer(window(), dc);
  if (!buffer)
    return;
  const Colorref background = row().background == kNoColour ? 0xFFFFFF : row().background;
  fillColour(buffer.dc(), buffer.area(), background);
  drawCaption(buffer.dc(), buffer.area(), windowText(window()), font(), row().caption, row().align,
              row().wordWrap);
}

}  // namespace ui::win32
