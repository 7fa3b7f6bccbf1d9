#include "ui/win32/button_input.h"

#include <windowsx.h>

#include "ui/win32/gdi.h"

namespace ui::win32 {
namespace {

bool pointerInside(HWND button, LPARAM lParam) {
  const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  RECT client{};
  GetClientRect(button, &client);
  if (!PtInRect(&client, p))
    return false;
  // A shaped button counts only its own pixels.
  const Region shape(CreateRectRgn(0, 0, 0, 0));
  if (!shape || GetWindowRgn(button, shape.get()) == ERROR)
    return true;
  return PtInRegion(shape.get(), p.x, p.y) != 0;
}

}  // namespace

ButtonInput::Outcome ButtonInput::handle(HWND button, UINT message, LPARAM lParam) {
  const ButtonFace before = face(button);
  bool clicked = false;
  switch (message) {
    case WM_MOUSEMOVE:
      if (held_) {
        inside_ = pointerInside(button, lParam);
      } else if (!hover_) {
        hover_ = true;
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, button, 0};
        TrackMouseEvent(&track);
      }
      break;
    case WM_MOUSELEAVE:
      hover_ = false;
      break;
    case WM_LBUTTONDOWN:
      held_ = true;
      inside_ = true;
      SetCapture(button);
      break;
    case WM_LBUTTONUP:
      if (held_) {
        clicked = pointerInside(button, lParam);
        held_ = false;
        inside_ = false;
        // The pointer may have left while the capture kept its messages.
        hover_ = clicked;
        ReleaseCapture();
      }
      break;
    case WM_CAPTURECHANGED:
      held_ = false;
      inside_ = false;
      break;
    default:
      break;
  }
  if (clicked)
    return Outcome::Clicked;
  return face(button) != before ? Outcome::Changed : Outcome::None;
}

void ButtonInput::setEnabled(HWND button, bool enabled) {
  if (!enabled) {
    const bool hadCapture = held_;
    held_ = false;
    inside_ = false;
    hover_ = false;
    if (hadCapture && GetCapture() == button)
      ReleaseCapture();
  }
  EnableWindow(button, enabled ? TRUE : FALSE);
}

ButtonFace ButtonInput::face(HWND button) const {
  if (!IsWindowEnabled(button))
    return ButtonFace::Disabled;
  if (held_ && inside_)
    return ButtonFace::Pressed;
  if (hover_)
    return ButtonFace::Hover;
  return ButtonFace::Normal;
}

}  // namespace ui::win32
