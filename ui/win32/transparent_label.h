#pragma once

// Transparent label: only its caption, drawn over whatever lies beneath it
// (its parent's background and the sibling controls below it). A press of
// the left button on it is its LeftButtonDown event.

#include "ui/win32/backdrop.h"
#include "ui/win32/control.h"

namespace ui::win32 {

class TransparentLabel final : public CustomControl {
 public:
  TransparentLabel(const ControlRow& row, EventSink& events)
      : CustomControl(row, events, kTransparentLabelClass) {}

  void setCaptionColour(Colorref colour) override;
  Colorref captionColour() const override { return colour_; }

 protected:
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;
  void paint(HDC dc) override;

 private:
  Colorref colour_ = row().caption;
};

}  // namespace ui::win32
