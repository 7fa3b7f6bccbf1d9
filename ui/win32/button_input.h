#pragma once

// The mouse side of the launcher's buttons: pointer over it, left button
// held on it, and a click as press and release over the button.

#include <windows.h>

namespace ui::win32 {

enum class ButtonFace { Normal, Hover, Pressed, Disabled };

class ButtonInput {
 public:
  enum class Outcome { None, Changed, Clicked };
  // Feeds one mouse message of `button`; Clicked when it completed a click.
  Outcome handle(HWND button, UINT message, LPARAM lParam);

  ButtonFace face(HWND button) const;
  // Enables or disables the button; a disabled button forgets pointer and
  // press and lets go of the capture.
  void setEnabled(HWND button, bool enabled);

 private:
  bool hover_ = false;
  bool held_ = false;    // left button went down on the button, capture on
  bool inside_ = false;  // while held: the pointer is over the button
};

}  // namespace ui::win32
