#include "ui/win32/transparent_label.h"

#include <windowsx.h>

#include "ui/win32/drawing.h"

namespace ui::win32 {

void TransparentLabel::setCaptionColour(Colorref colour) {
  colour_ = colour;
  if (window() == nullptr)
    return;
  // The link handlers change the colour around a blocking shell call; the
  // new colour must show before that call, not after it.
  InvalidateRect(window(), nullptr, FALSE);
  UpdateWindow(window());
}

LRESULT TransparentLabel::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONDOWN) {
    dispatch(Event::LeftButtonDown,
             {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), static_cast<int>(wParam)});
    return 0;
  }
  return CustomControl::handle(message, wParam, lParam);
}

void TransparentLabel::paint(HDC dc) {
  const BufferedPaint buffer(window(), dc);
  if (!buffer)
    return;
  paintBeneath(window(), buffer.dc());
  drawCaption(buffer.dc(), buffer.area(), windowText(window()), font(), colour_, row().align,
              row().wordWrap);
}

}  // namespace ui::win32
