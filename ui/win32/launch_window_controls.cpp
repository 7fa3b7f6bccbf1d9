// The control operations of the Launch window, by control name. Unknown
// names and kinds without the operation do nothing and read as empty.

#include <functional>
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

// Of the window's thread, as the controls' windows are.
template <typename Operation, typename... Args>
void LaunchWindow::tell(std::string_view name, Operation operation, const Args&... args) const {
  assertWindowThread();
  if (Control* control = find(name))
    std::invoke(operation, *control, args...);
}

template <typename Value, typename Operation, typename... Args>
Value LaunchWindow::ask(std::string_view name, Value none, Operation operation,
                        const Args&... args) const {
  assertWindowThread();
  Control* control = find(name);
  return control != nullptr ? std::invoke(operation, *control, args...) : none;
}

// Any thread: the slideshow works the animation box from its own.
template <typename Operation, typename... Args>
void LaunchWindow::tellBox(std::string_view box, Operation operation, const Args&... args) const {
  if (AnimationBox* target = findAnimationBox(box))
    std::invoke(operation, *target, args...);
}

template <typename Value, typename Operation, typename... Args>
Value LaunchWindow::askBox(std::string_view box, Value none, Operation operation,
                           const Args&... args) const {
  AnimationBox* target = findAnimationBox(box);
  return target != nullptr ? std::invoke(operation, *target, args...) : none;
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
  tell(name, &Control::setEnabled, enabled);
}

bool LaunchWindow::isEnabled(std::string_view name) const {
  return ask(name, false, &Control::isEnabled);
}

void LaunchWindow::setCaptionColour(std::string_view name, Colorref colour) {
  tell(name, &Control::setCaptionColour, colour);
}

Colorref LaunchWindow::captionColour(std::string_view name) const {
  return ask(name, kNoColour, &Control::captionColour);
}

void LaunchWindow::setPicture(std::string_view name, const base::Bytes& picture) {
  tell(name, &Control::setPicture, picture);
}

void LaunchWindow::setBoxPicture(std::string_view box, const base::Bytes& picture) {
  tellBox(box, &AnimationBox::setPicture, picture);
}

int LaunchWindow::boxWidth(std::string_view box) const {
  return askBox(box, 0, &AnimationBox::width);
}

int LaunchWindow::boxHeight(std::string_view box) const {
  return askBox(box, 0, &AnimationBox::height);
}

int LaunchWindow::width(std::string_view name) const {
  return ask(name, 0, &Control::width);
}

int LaunchWindow::height(std::string_view name) const {
  return ask(name, 0, &Control::height);
}

void LaunchWindow::setWidth(std::string_view name, int width) {
  tell(name, &Control::setWidth, width);
}

void LaunchWindow::setHeight(std::string_view name, int height) {
  tell(name, &Control::setHeight, height);
}

void LaunchWindow::setPosition(std::string_view name, int position) {
  tell(name, &Control::setPosition, position);
}

int LaunchWindow::position(std::string_view name) const {
  return ask(name, 0, &Control::position);
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
  tellBox(box, &AnimationBox::setLayerTransparency, layer, percent);
}

base::Bytes LaunchWindow::captureArea(std::string_view box, int x, int y, int width, int height) {
  return askBox(box, base::Bytes{}, &AnimationBox::captureArea, x, y, width, height);
}

void LaunchWindow::setLayerPicture(std::string_view box, int layer, const base::Bytes& picture) {
  tellBox(box, &AnimationBox::setLayerPicture, layer, picture);
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
