#include "ui/win32/label.h"

#include "ui/win32/drawing.h"
#include "ui/win32/gdi.h"

namespace ui::win32 {

bool Label::create(HWND parent, HINSTANCE instance) {
  return createWindow(parent, instance, kLabelClass, 0);
}

void Label::paint(HDC dc) {
  RECT client{};
  GetClientRect(window(), &client);
  MemorySurface surface(dc, client.right, client.bottom);
  if (!surface.valid())
    return;
  const Colorref background = row().background == kNoColour ? 0xFFFFFF : row().background;
  fillColour(surface.dc(), client, background);
  drawCaption(surface.dc(), client, windowText(window()), font(), row().caption, row().align,
              row().wordWrap);
  surface.blitTo(dc, 0, 0);
}

}  // namespace ui::win32
