#pragma once

// The controls that are no window: the animation object (a template for
// animation box layers), the timer (run by the Launch window) and the ZIP
// object (a named record).

#include <atomic>

#include "ui/win32/control.h"

namespace ui::win32 {

class Record : public Control {
 public:
  using Control::Control;
  bool create(HWND, HINSTANCE) override { return true; }
};

class AnimationObject final : public Record {
 public:
  AnimationObject(const ControlRow& row, EventSink& events)
      : Record(row, events), width_(row.width), height_(row.height) {}

  // The size of the layers made from it from now on. Atomic: the slideshow
  // thread may make a layer while the window's thread sizes the template.
  int width() const override { return width_; }
  int height() const override { return height_; }
  void setWidth(int width) override {
    if (width >= 0)
      width_ = width;
  }
  void setHeight(int height) override {
    if (height >= 0)
      height_ = height;
  }

 private:
  std::atomic<int> width_;
  std::atomic<int> height_;
};

}  // namespace ui::win32
