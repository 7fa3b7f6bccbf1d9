#include "ui/win32/colour_button.h"

#include "ui/win32/drawing.h"

namespace ui::win32 {

void ColourButton::setEnabled(bool enabled) {
  if (window() == nullptr)
    return;
  input_.setEnabled(window(), enabled);
  InvalidateRect(window(), nullptr, FALSE);
}

Colorref ColourButton::faceColour() const {
  const ControlRow& s = row();
  if (spaceHeld_)
    return s.facePressed;
  switch (input_.face(window())) {
    case ButtonFace::Pressed:
      return s.facePressed;
    case ButtonFace::Hover:
      return s.faceHover;
    default:
      return s.face;
  }
}

void ColourButton::paint(HDC dc) {
  const BufferedPaint buffer(window(), dc);
  if (!buffer)
    return;
  const RECT& client = buffer.area();
  fillColour(buffer.dc(), client, faceColour());
  drawText(buffer.dc(), client, windowText(window()), font(), row().caption,
           DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  if (GetFocus() == window()) {
    RECT focus = client;
    InflateRect(&focus, -3, -3);
    DrawFocusRect(buffer.dc(), &focus);
  }
}

LRESULT ColourButton::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND w = window();
  switch (message) {
    case WM_LBUTTONDOWN:
      SetFocus(w);
      [[fallthrough]];
    case WM_MOUSEMOVE:
    case WM_MOUSELEAVE:
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED: {
      const ButtonInput::Outcome outcome = input_.handle(w, message, lParam);
      if (outcome != ButtonInput::Outcome::None)
        InvalidateRect(w, nullptr, FALSE);
      if (outcome == ButtonInput::Outcome::Clicked)
        dispatch(Event::Clicked);
      return 0;
    }
    case WM_GETDLGCODE:
      return DLGC_BUTTON;
    case WM_KEYDOWN:
      if (wParam == VK_SPACE && !spaceHeld_) {
        spaceHeld_ = true;
        InvalidateRect(w, nullptr, FALSE);
      }
      return 0;
    case WM_KEYUP:
      if (wParam == VK_SPACE && spaceHeld_) {
        spaceHeld_ = false;
        InvalidateRect(w, nullptr, FALSE);
        dispatch(Event::Clicked);
      }
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      spaceHeld_ = false;
      InvalidateRect(w, nullptr, FALSE);
      return 0;
    default:
      return CustomControl::handle(message, wParam, lParam);
  }
}

}  // namespace ui::win32
