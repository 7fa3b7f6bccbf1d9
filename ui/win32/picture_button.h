#pragma once

// Picture button: one of four face images by state, centred in the button,
// optionally shaped to the shown image minus its transparent colour.

#include <array>
#include <vector>

#include "ui/image.h"
#include "ui/win32/button_input.h"
#include "ui/win32/control.h"

namespace ui::win32 {

inline constexpr char kPictureButtonClass[] = "TavoroPictureButton";

class PictureButton final : public CustomControl {
 public:
  PictureButton(const ControlRow& row, EventSink& events)
      : CustomControl(row, events, kPictureButtonClass) {}

  void loadTablePictures(const DecodedPictureSource& pictures) override;
  void setEnabled(bool enabled) override;

 protected:
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;
  void paint(HDC dc) override;

 private:
  struct Face {
    Image image;              // over white, as the window's background
    std::vector<RECT> shape;  // kept pixels, in button coordinates
  };
  const Face& shownFace() const;
  POINT imageOrigin(const Image& image) const;
  // Sets the window's region to the shown face, when it changed.
  void updateShape();

  ButtonInput input_;
  std::array<Face, 4> faces_;  // by ButtonFace
  const Face* shapedBy_ = nullptr;
};

}  // namespace ui::win32
