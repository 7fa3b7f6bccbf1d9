#include "ui/win32/control.h"

#include "platform/win32/common_controls.h"
#include "platform/win32/wide_text.h"
#include "ui/win32/drawing.h"
#include "ui/win32/gdi.h"

namespace ui::win32 {
namespace {

std::wstring wideText(const ControlRow& row) {
  return platform::win32::widen(row.text != nullptr ? row.text : "");
}

}  // namespace

std::string Control::text() const {
  return window_ != nullptr ? windowText(window_) : "";
}

void Control::setText(std::string_view text) {
  if (window_ == nullptr)
    return;
  SetWindowTextW(window_, platform::win32::widen(text).c_str());
}

void Control::setEnabled(bool enabled) {
  if (window_ != nullptr)
    EnableWindow(window_, enabled ? TRUE : FALSE);
}

bool Control::isEnabled() const {
  return window_ != nullptr && IsWindowEnabled(window_) != 0;
}

int Control::width() const {
  RECT r{};
  if (window_ == nullptr || !GetWindowRect(window_, &r))
    return row_.width;
  return r.right - r.left;
}

int Control::height() const {
  RECT r{};
  if (window_ == nullptr || !GetWindowRect(window_, &r))
    return row_.height;
  return r.bottom - r.top;
}

void Control::setWidth(int width) {
  if (window_ == nullptr || width < 0)
    return;
  SetWindowPos(window_, nullptr, 0, 0, width, height(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Control::setHeight(int height) {
  if (window_ == nullptr || height < 0)
    return;
  SetWindowPos(window_, nullptr, 0, 0, width(), height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

DWORD Control::childStyle() const {
  // Siblings overlap (the download panel over the notes box over the
  // slideshow), so each child clips the ones above it.
  return WS_CHILD | WS_CLIPSIBLINGS | (row_.enabled ? 0 : WS_DISABLED);
}

// --- CustomControl -------------------------------------------------------

CustomControl::~CustomControl() {
  if (HWND w = window()) {
    SetWindowLongPtrW(w, GWLP_USERDATA, 0);
    DestroyWindow(w);
  }
}

bool CustomControl::create(HWND parent, HINSTANCE instance) {
  const ControlRow& s = row();
  HWND w = CreateWindowExW(0, platform::win32::widen(windowClass_).c_str(), wideText(s).c_str(),
                           childStyle() | extraStyle_, s.left, s.top, s.width, s.height, parent,
                           nullptr, instance, this);
  return w != nullptr;
}

LRESULT CustomControl::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND w = window();
  switch (message) {
    case kNoticeMessage:
      dispatch(Event::Feedback, {static_cast<int>(wParam), static_cast<int>(lParam), 0});
      return 0;
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(lParam) != 0)
        InvalidateRect(w, nullptr, FALSE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_ERASEBKGND:
      return 1;  // paint() covers every pixel, off screen first
    case WM_PAINT: {
      const PaintScope scope(w);
      paint(scope.dc());
      return 0;
    }
    case WM_PRINTCLIENT:
      paint(reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_SETTEXT: {
      const LRESULT result = DefWindowProcW(w, message, wParam, lParam);
      InvalidateRect(w, nullptr, FALSE);
      return result;
    }
    default:
      return DefWindowProcW(w, message, wParam, lParam);
  }
}

LRESULT CALLBACK CustomControl::windowProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* self = static_cast<CustomControl*>(create->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->setWindow(window);
  }
  auto* self = reinterpret_cast<CustomControl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr)
    return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->setWindow(nullptr);
    return DefWindowProcW(window, message, wParam, lParam);
  }
  return self->handle(message, wParam, lParam);
}

// --- StandardControl -----------------------------------------------------

// A window exists only once the common controls were bound.
StandardControl::~StandardControl() {
  if (HWND w = window()) {
    platform::win32::commonControls()->RemoveWindowSubclass(w, &StandardControl::subclassProc, 0);
    DestroyWindow(w);
  }
}

bool StandardControl::createWindow(HWND parent, HINSTANCE instance, const char* className,
                                   DWORD extraStyle, DWORD extendedStyle) {
  const platform::win32::CommonControls* common = platform::win32::commonControls();
  if (common == nullptr)
    return false;
  const ControlRow& s = row();
  HWND w = CreateWindowExW(extendedStyle, platform::win32::widen(className).c_str(),
                           wideText(s).c_str(), childStyle() | extraStyle, s.left, s.top, s.width,
                           s.height, parent, nullptr, instance, nullptr);
  if (w == nullptr)
    return false;
  setWindow(w);
  common->SetWindowSubclass(w, &StandardControl::subclassProc, 0,
                            reinterpret_cast<DWORD_PTR>(this));
  return true;
}

LRESULT CALLBACK StandardControl::subclassProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam, UINT_PTR, DWORD_PTR selfData) {
  auto* self = reinterpret_cast<StandardControl*>(selfData);
  const platform::win32::CommonControls* common = platform::win32::commonControls();
  switch (message) {
    case kNoticeMessage:
      self->dispatch(Event::Feedback, {static_cast<int>(wParam), static_cast<int>(lParam), 0});
      return 0;
    case WM_NCDESTROY:
      common->RemoveWindowSubclass(window, &StandardControl::subclassProc, 0);
      self->setWindow(nullptr);
      break;
    default:
      break;
  }
  return common->DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace ui::win32
