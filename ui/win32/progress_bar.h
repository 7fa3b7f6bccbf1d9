#pragma once

// Progress bar: the common control, range 0 to the table's maximum.

#include "ui/win32/control.h"

namespace ui::win32 {

class ProgressBar final : public StandardControl {
 public:
  using StandardControl::StandardControl;

  bool create(HWND parent, HINSTANCE instance) override;
  void setPosition(int position) override;
  int position() const override;
};

}  // namespace ui::win32
