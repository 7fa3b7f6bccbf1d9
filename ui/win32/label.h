#pragma once

// Label: its background colour filled, the caption drawn over it.

#include "ui/win32/control.h"

namespace ui::win32 {

inline constexpr char kLabelClass[] = "TavoroLabel";

class Label final : public CustomControl {
 public:
  using CustomControl::CustomControl;

  bool create(HWND parent, HINSTANCE instance) override;

 protected:
  void paint(HDC dc) override;
};

}  // namespace ui::win32
