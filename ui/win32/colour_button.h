#pragma once

// Colour button: a face colour per state and a caption; it takes part in
// the Tab order and is pressed with the mouse or the space bar.

#include "ui/win32/button_input.h"
#include "ui/win32/control.h"

namespace ui::win32 {

inline constexpr char kColourButtonClass[] = "TavoroColourButton";

class ColourButton final : public CustomControl {
 public:
  ColourButton(const ControlRow& row, EventSink& events)
      : CustomControl(row, events, kColourButtonClass, WS_TABSTOP) {}

  void setEnabled(bool enabled) override;

 protected:
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;
  void paint(HDC dc) override;

 private:
  Colorref faceColour() const;
  ButtonInput input_;
  bool spaceHeld_ = false;
};

}  // namespace ui::win32
