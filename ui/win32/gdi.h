#pragma once

// Owning wrappers for the handles the window code creates, so that every
// early return and every destroyed control gives its GDI objects back.

#include <windows.h>

#include "platform/win32/handles.h"

namespace ui::win32 {

// A GDI object (HFONT, HBRUSH, HBITMAP, HRGN, ...) is released with DeleteObject.
template <typename Object>
using GdiObject = platform::win32::UniqueHandle<platform::win32::ClosedBy<Object, &DeleteObject>>;
using Font = GdiObject<HFONT>;
using Brush = GdiObject<HBRUSH>;
using Bitmap = GdiObject<HBITMAP>;
using Region = GdiObject<HRGN>;
// A DC of CreateCompatibleDC is deleted, not released.
using MemoryDc = platform::win32::UniqueHandle<platform::win32::ClosedBy<HDC, &DeleteDC>>;

// Selects an object into a DC for the lifetime of the guard.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  ~Selection() {
    if (previous_ != nullptr && previous_ != HGDI_ERROR)
      SelectObject(dc_, previous_);
  }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// BeginPaint / EndPaint.
class PaintScope {
 public:
  explicit PaintScope(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  ~PaintScope() { EndPaint(window_, &paint_); }

  HDC dc() const { return dc_; }
  const RECT& dirty() const { return paint_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_ = nullptr;
};

}  // namespace ui::win32
