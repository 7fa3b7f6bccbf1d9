#include "ui/win32/picture_box.h"

#include "ui/win32/backdrop.h"
#include "ui/win32/drawing.h"

namespace ui::win32 {
namespace {

Colorref backgroundOf(const ControlRow& row) {
  return row.background == kNoColour ? 0xFFFFFF : row.background;
}

}  // namespace

void PictureBox::loadTablePictures(const DecodedPictureSource& pictures) {
  if (row().picture != nullptr)
    showPicture(pictures(row().picture));
}

void PictureBox::setPicture(const base::Bytes& picture) {
  showPicture(decodePicture(picture));
}

void PictureBox::showPicture(const Image& decoded) {
  picture_ = decoded.empty() ? Image{} : compositeOver(decoded, backgroundOf(row()));
  fit();
  invalidateWithOverlays(window());
}

void PictureBox::fit() {
  if (row().fit == Fit::Stretch && !picture_.empty()) {
    shown_ = stretchTo(picture_, width(), height());
  } else {
    shown_ = picture_;
  }
}

LRESULT PictureBox::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SIZE && row().fit == Fit::Stretch) {
    fit();
    invalidateWithOverlays(window());
  }
  return CustomControl::handle(message, wParam, lParam);
}

void PictureBox::paint(HDC dc) {
  const BufferedPaint buffer(window(), dc);
  if (!buffer)
    return;
  fillColour(buffer.dc(), buffer.area(), backgroundOf(row()));
  drawImage(buffer.dc(), shown_, 0, 0);
}

}  // namespace ui::win32
