#pragma once

// Picture box: a background colour and a picture, shown in its natural size
// from the top-left corner or stretched to fill the box.

#include "ui/image.h"
#include "ui/win32/control.h"

namespace ui::win32 {

inline constexpr char kPictureBoxClass[] = "TavoroPictureBox";

class PictureBox final : public CustomControl {
 public:
  // Its link labels are painted on top, so it must not paint over them.
  PictureBox(const ControlRow& row, EventSink& events)
      : CustomControl(row, events, kPictureBoxClass, WS_CLIPCHILDREN) {}

  void loadTablePictures(const DecodedPictureSource& pictures) override;
  void setPicture(const base::Bytes& picture) override;
  // The picture as shown, after compositing and fitting; for tests.
  const Image& shownPicture() const { return shown_; }

 protected:
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;
  void paint(HDC dc) override;

 private:
  void showPicture(const Image& decoded);
  void fit();
  Image picture_;  // decoded, over the background colour
  Image shown_;    // what paint() draws at (0, 0)
};

}  // namespace ui::win32
