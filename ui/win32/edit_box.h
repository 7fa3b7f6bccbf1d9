#pragma once

// Edit box: the system EDIT control, coloured through WM_CTLCOLOR* of its
// parent, which asks colours().

#include "ui/win32/control.h"
#include "ui/win32/gdi.h"

namespace ui::win32 {

class EditBox final : public StandardControl {
 public:
  using StandardControl::StandardControl;

  bool create(HWND parent, HINSTANCE instance) override;
  HBRUSH colours(HDC dc) override;

 private:
  Brush background_;
};

}  // namespace ui::win32
