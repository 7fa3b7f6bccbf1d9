// The control operations of the Launch window, by control name. Unknown
// names and kinds without the operation do nothing and read as empty.

#include <utility>

#include "ui/win32/animation_box.h"
#include "ui/win32/launch_window.h"
#include "ui/win32/region.h"

namespace ui::win32 {
namespace {

bool hasText(Kind kind) {
  return kind == Kind::Label || kind == Kind::TransparentLabel || kind == Kind::EditBox ||
         kind == Kind::ColourButton;
}

}  // namespace

Control* LaunchWindow::find(std::string_view name) const {
  const auto found = byName_.find(name);
  return found != byName_.end() ? found->second : nullptr;
}

AnimationBox* LaunchWindow::findAnimationBox(std::string_view name) const {
  Control* control = find(name);
  if (control == nullptr || control->row().kind != Kind::AnimationBox)
    return nullptr;
  return static_cast<AnimationBox*>(control);
}

HWND LaunchWindow::controlWindow(std::string_view name) const {
  Control* control = find(name);
  return control != nullptr ? control->window() : nullptr;
}

std::string LaunchWindow::text(std::string_view name) const {
  assertWindowThread();
  Control* control = find(name);
  if (control == nullptr || !hasText(control->row().kind))
    return {};
  return control->text();
}

void LaunchWindow::setText(std::string_view name, std::string_view text) {
  assertWindowThread();
  Control* control = find(name);
  if (control != nullptr && hasText(control->row().kind))
    control->setText(text);
}

void LaunchWindow::setVisible(std::string_view name, bool visible) {
  assertWindowThread();
  if (HWND child = controlWindow(name))
    ShowWindow(child, visible ? SW_SHOWNA : SW_HIDE);
}

bool LaunchWindow::isVisible(std::string_view name) const {
  assertWindowThread();
  // The control's own flag: the window itself may not be shown yet.
  HWND child = controlWindow(name);
  return child != nullptr && (GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE) != 0;
}

void LaunchWindow::setEnabled(std::string_view name, bool enabled) {
  assertWindowThread();
  if (Control* control = find(name))
    control->setEnabled(enabled);
}

bool LaunchWindow::isEnabled(std::string_view name) const {
  assertWindowThread();
  Control* control = find(name);
  return control != nullptr && control->isEnabled();
}

void LaunchWindow::setCaptionColour(std::string_view name, Colorref colour) {
  assertWindowThread();
  if (Control* control = find(name))
    control->setCaptionColour(colour);
}

Colorref LaunchWindow::captionColour(std::string_view name) const {
  assertWindowThread();
  Control* control = find(name);
  return control != nullptr ? control->captionColour() : kNoColour;
}

void LaunchWindow::setPicture(std::string_view name, const base::Bytes& picture) {
  assertWindowThread();
  if (Control* control = find(name))
    control->setPicture(picture);
}

void LaunchWindow::setBoxPicture(std::string_view box, const base::Bytes& picture) {
  if (AnimationBox* target = findAnimationBox(box))
    target->setPicture(picture);
}

int LaunchWindow::boxWidth(std::string_view box) const {
  AnimationBox* target = findAnimationBox(box);
  return target != nullptr ? target->width() : 0;
}

int LaunchWindow::boxHeight(std::string_view box) const {
  AnimationBox* target = findAnimationBox(box);
  return target != nullptr ? target->height() : 0;
}

int LaunchWindow::width(std::string_view name) const {
  assertWindowThread();
  Control* control = find(name);
  return control != nullptr ? control->width() : 0;
}

int LaunchWindow::height(std::string_view name) const {
  assertWindowThread();
  Control* control = find(name);
  return control != nullptr ? control->height() : 0;
}

void LaunchWindow::setWidth(std::string_view name, int width) {
  assertWindowThread();
  if (Control* control = find(name))
    control->setWidth(width);
}

void LaunchWindow::setHeight(std::string_view name, int height) {
  assertWindowThread();
  if (Control* control = find(name))
    control->setHeight(height);
}

void LaunchWindow::setPosition(std::string_view name, int position) {
  assertWindowThread();
  if (Control* control = find(name))
    control->setPosition(position);
}

int LaunchWindow::position(std::string_view name) const {
  assertWindowThread();
  Control* control = find(name);
  return control != nullptr ? control->position() : 0;
}

int LaunchWindow::createLayer(std::string_view box, std::string_view templateObject, int x, int y,
                              bool visible) {
  assertWindowThread();
  AnimationBox* target = findAnimationBox(box);
  Control* layerTemplate = find(templateObject);
  if (target == nullptr || layerTemplate == nullptr ||
      layerTemplate->row().kind != Kind::AnimationObject) {
    return 0;
  }
  return target->createLayer(x, y, layerTemplate->width(), layerTemplate->height(), visible);
}

void LaunchWindow::setLayerTransparency(std::string_view box, int layer, int percent) {
  if (AnimationBox* target = findAnimationBox(box))
    target->setLayerTransparency(layer, percent);
}

base::Bytes LaunchWindow::captureArea(std::string_view box, int x, int y, int width, int height) {
  AnimationBox* target = findAnimationBox(box);
  return target != nullptr ? target->captureArea(x, y, width, height) : base::Bytes{};
}

void LaunchWindow::setLayerPicture(std::string_view box, int layer, const base::Bytes& picture) {
  if (AnimationBox* target = findAnimationBox(box))
    target->setLayerPicture(layer, picture);
}

void LaunchWindow::postNotice(std::string_view name, int first, int second) {
  if (HWND child = controlWindow(name)) {
    PostMessageA(child, kNoticeMessage, static_cast<WPARAM>(first), static_cast<LPARAM>(second));
  }
}

base::Bytes LaunchWindow::windowBackgroundPicture() const {
  assertWindowThread();
  return backgroundBytes_;
}

void LaunchWindow::shapeWindowFromPicture(const base::Bytes& picture, Colorref transparent) {
  assertWindowThread();
  if (window_ == nullptr)
    return;
  if (shown_) {
    cutShapeFromPicture(picture, transparent);
  } else {
    pendingShape_ = PendingShape{picture, transparent};
  }
}

void LaunchWindow::cutShapeFromPicture(const base::Bytes& picture, Colorref transparent) {
  // Decoded into 32-bit pixels, where a colour reads back as written: the
  // transparent colour needs no mapping before the comparison.
  // The start-up shapes the window after its own background, decoded already.
  Image decoded = picture == backgroundBytes_ ? Image{} : decodePicture(picture);
  const Image& image = picture == backgroundBytes_ ? backgroundDecoded_ : decoded;
  if (image.empty())
    return;
  if (Region shape = regionFromRuns(opaqueRuns(image, transparent, 0, 0)))
    setWindowShape(window_, std::move(shape));
}

void LaunchWindow::roundWindowCorners(int ellipseWidth, int ellipseHeight) {
  assertWindowThread();
  if (window_ == nullptr)
    return;
  pendingShape_.reset();
  RECT bounds{};
  GetWindowRect(window_, &bounds);
  // Should the region not be made, the window becomes a plain rectangle.
  setWindowShape(
      window_, Region(CreateRoundRectRgn(0, 0, bounds.right - bounds.left,
                                         bounds.bottom - bounds.top, ellipseWidth, ellipseHeight)));
}

void LaunchWindow::minimiseWindow() {
  assertWindowThread();
  if (window_ != nullptr)
    CloseWindow(window_);
}

void LaunchWindow::closeWindow() {
  assertWindowThread();
  if (window_ != nullptr)
    DestroyWindow(window_);
}

}  // namespace ui::win32
