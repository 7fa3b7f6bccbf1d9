#pragma once

// Label: its background colour filled, the caption drawn over it.

#include "ui/win32/control.h"

namespace ui::win32 {

inline constexpr char kLabelClass[] = "TavoroLabel";

class Label final : public CustomControl {
 public:
  Label(const ControlRow& row, EventSink& events) : CustomControl(row, events, kLabelClass) {}

 protected:
  void paint(HDC dc) override;
};

}  // namespace ui::win32
