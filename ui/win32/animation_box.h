#pragma once

// Animation box: a background picture stretched to the box and layers made
// from animation objects. The slideshow works it from its own thread, so
// its scene is guarded by a mutex and other threads only invalidate the
// window; nothing here sends a message while holding the lock.

#include <mutex>

#include "ui/animation_scene.h"
#include "ui/win32/control.h"

namespace ui::win32 {

inline constexpr char kAnimationBoxClass[] = "TavoroAnimationBox";

class AnimationBox final : public CustomControl {
 public:
  AnimationBox(const ControlRow& row, EventSink& events);

  // The background picture.
  void setPicture(const base::Bytes& picture) override;
  int width() const override;
  int height() const override;

  int createLayer(int x, int y, int width, int height, bool visible);
  void setLayerTransparency(int layer, int percent);
  void setLayerPicture(int layer, const base::Bytes& picture);
  // The box's content in that rectangle, clipped to the box, as a 32-bit
  // BMP file; empty when nothing of the box is inside.
  base::Bytes captureArea(int x, int y, int width, int height) const;

 protected:
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;
  void paint(HDC dc) override;

 private:
  void changed() const;
  Image frame() const;

  mutable std::mutex mutex_;
  // Pictures in the scene are kept stretched to their place, so composing
  // a frame under the lock is a blend and no scaling.
  AnimationScene scene_;
  Image background_;  // as decoded, for when the box is resized
};

}  // namespace ui::win32
