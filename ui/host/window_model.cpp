#include "ui/host/window_model.h"

#include <cassert>

#include "ui/image.h"

namespace ui {

void WindowModel::assertWindowThread() const {
  assert(std::this_thread::get_id() == windowThread_ &&
         "a window-thread operation on another thread");
}

base::Bytes WindowModel::windowBackgroundPicture() const {
  assertWindowThread();
  return background_;
}

void WindowModel::minimiseWindow() {
  assertWindowThread();
  ++minimiseCount_;
}

void WindowModel::closeWindow() {
  assertWindowThread();
  closed_ = true;
}

void WindowModel::shapeWindowFromPicture(const base::Bytes& picture, base::Colorref) {
  assertWindowThread();
  if (!decodePicture(picture).empty())
    shapeCalls_.push_back("picture");
}

void WindowModel::roundWindowCorners(int ellipseWidth, int ellipseHeight) {
  assertWindowThread();
  shapeCalls_.push_back("round " + std::to_string(ellipseWidth) + "x" +
                        std::to_string(ellipseHeight));
}

}  // namespace ui
