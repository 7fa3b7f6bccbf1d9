#include "ui/win32/edit_box.h"

namespace ui::win32 {

bool EditBox::create(HWND parent, HINSTANCE instance) {
  const ControlRow& s = row();
  // Without ES_AUTOHSCROLL a multi-line box wraps at its width.
  DWORD style = WS_TABSTOP | ES_LEFT;
  style |= s.multiLine ? ES_MULTILINE : ES_AUTOHSCROLL;
  if (s.readOnly)
    style |= ES_READONLY;
  if (s.border)
    style |= WS_BORDER;
  return createWindow(parent, instance, "EDIT", style, 0);
}

HBRUSH EditBox::colours(HDC dc) {
  const Colorref background = row().background == kNoColour ? 0xFFFFFF : row().background;
  if (!background_)
    background_.reset(CreateSolidBrush(background));
  SetTextColor(dc, row().caption);
  SetBkColor(dc, background);
  return background_.get();
}

}  // namespace ui::win32
