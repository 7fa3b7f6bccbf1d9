#pragma once

// What the logic does to the Launch window as a whole rather than to one of
// its controls: its background, its shape, minimising and closing it. Of
// the window's thread, as the operations of ui::Controls are.

#include "base/bytes.h"
#include "base/values.h"

namespace ui {

class WindowOps {
 public:
  virtual ~WindowOps() = default;

  // The bytes of the window's own background picture.
  virtual base::Bytes windowBackgroundPicture() const = 0;
  // Shapes the window after a picture at its natural size: every pixel whose
  // colour is not exactly `transparent` stays. Undecodable bytes leave the
  // shape as it was.
  virtual void shapeWindowFromPicture(const base::Bytes& picture, base::Colorref transparent) = 0;
  // Replaces the window's shape by its rectangle with corners cut by
  // ellipses of that size.
  virtual void roundWindowCorners(int ellipseWidth, int ellipseHeight) = 0;
  // Minimises the Launch window; it stays on the taskbar.
  virtual void minimiseWindow() = 0;
  // Destroys the Launch window (the program is ending).
  virtual void closeWindow() = 0;
};

}  // namespace ui
