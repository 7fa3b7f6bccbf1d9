#pragma once

// The Launch window's own operations kept in memory: what was done to the
// window as a whole, for tests to see.

#include <string>
#include <thread>
#include <vector>

#include "ui/window_ops.h"

namespace ui {

class WindowModel final : public WindowOps {
 public:
  // The window's thread is taken to be the one that makes the model.
  WindowModel() : windowThread_(std::this_thread::get_id()) {}

  base::Bytes windowBackgroundPicture() const override;
  void shapeWindowFromPicture(const base::Bytes& picture, base::Colorref transparent) override;
  void roundWindowCorners(int ellipseWidth, int ellipseHeight) override;
  void minimiseWindow() override;
  void closeWindow() override;

  // For tests.
  void setWindowBackgroundPicture(base::Bytes picture) { background_ = std::move(picture); }
  int minimiseCount() const { return minimiseCount_; }
  // The shape steps in order: "picture" (a decodable one), "round WxH".
  const std::vector<std::string>& shapeCalls() const { return shapeCalls_; }
  bool closed() const { return closed_; }

 private:
  // Every operation belongs to the window's thread.
  void assertWindowThread() const;

  const std::thread::id windowThread_;
  base::Bytes background_;
  int minimiseCount_ = 0;
  std::vector<std::string> shapeCalls_;
  bool closed_ = false;
};

}  // namespace ui
