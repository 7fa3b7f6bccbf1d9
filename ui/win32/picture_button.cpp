#include "ui/win32/picture_button.h"

#include <utility>

#include "ui/win32/drawing.h"
#include "ui/win32/region.h"

namespace ui::win32 {
namespace {

// Transparent PNG pixels become the window's background colour.
constexpr Colorref kWindowBackground = 0xFFFFFF;

std::size_t slot(ButtonFace face) {
  return static_cast<std::size_t>(face);
}

}  // namespace

void PictureButton::loadTablePictures(const DecodedPictureSource& pictures) {
  const ButtonImages& names = row().images;
  const char* bySlot[4] = {};
  bySlot[slot(ButtonFace::Normal)] = names.normal;
  bySlot[slot(ButtonFace::Hover)] = names.hover;
  bySlot[slot(ButtonFace::Pressed)] = names.pressed;
  bySlot[slot(ButtonFace::Disabled)] = names.disabled;
  for (std::size_t i = 0; i < faces_.size(); ++i) {
    Face& face = faces_[i];
    face = Face{};
    if (bySlot[i] == nullptr)
      continue;
    const Image decoded = pictures(bySlot[i]);
    if (decoded.empty())
      continue;
    face.image = compositeOver(decoded, kWindowBackground);
    if (row().transparentColour != kNoColour) {
      const POINT origin = imageOrigin(face.image);
      face.shape = opaqueRuns(face.image, row().transparentColour, origin.x, origin.y);
    }
  }
  shapedBy_ = nullptr;
  updateShape();
  if (window() != nullptr)
    InvalidateRect(window(), nullptr, FALSE);
}

void PictureButton::setEnabled(bool enabled) {
  if (window() == nullptr)
    return;
  input_.setEnabled(window(), enabled);
  updateShape();
  InvalidateRect(window(), nullptr, FALSE);
}

const PictureButton::Face& PictureButton::shownFace() const {
  const Face& wanted = faces_[slot(input_.face(window()))];
  return wanted.image.empty() ? faces_[slot(ButtonFace::Normal)] : wanted;
}

POINT PictureButton::imageOrigin(const Image& image) const {
  // Centred in the button (the start button's 140x40 faces in 152x48).
  return POINT{(row().width - image.width) / 2, (row().height - image.height) / 2};
}

void PictureButton::updateShape() {
  const Face& face = shownFace();
  if (window() == nullptr || &face == shapedBy_)
    return;
  shapedBy_ = &face;
  if (row().transparentColour == kNoColour || face.image.empty()) {
    SetWindowRgn(window(), nullptr, TRUE);
    return;
  }
  if (Region shape = regionFromRuns(face.shape))
    setWindowShape(window(), std::move(shape));
}

LRESULT PictureButton::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_MOUSEMOVE:
    case WM_MOUSELEAVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED: {
      const ButtonInput::Outcome outcome = input_.handle(window(), message, lParam);
      if (outcome != ButtonInput::Outcome::None) {
        updateShape();
        InvalidateRect(window(), nullptr, FALSE);
      }
      if (outcome == ButtonInput::Outcome::Clicked && IsWindowEnabled(window())) {
        dispatch(Event::Clicked);
      }
      return 0;
    }
    default:
      return CustomControl::handle(message, wParam, lParam);
  }
}

void PictureButton::paint(HDC dc) {
  const BufferedPaint buffer(window(), dc);
  if (!buffer)
    return;
  fillColour(buffer.dc(), buffer.area(), kWindowBackground);
  const Face& face = shownFace();
  const POINT origin = imageOrigin(face.image);
  drawImage(buffer.dc(), face.image, origin.x, origin.y);
}

}  // namespace ui::win32
