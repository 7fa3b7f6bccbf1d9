#include "ui/control_model.h"

#include <mutex>
#include <stdexcept>

namespace ui {

ControlModel::ControlModel() {
  for (const ControlRow& row : controlTable()) {
    ControlState state;
    state.row = &row;
    state.text = row.text;
    state.visible = row.visible;
    state.enabled = row.enabled;
    state.caption = row.caption;
    state.width = row.width;
    state.height = row.height;
    if (row.kind == Kind::AnimationBox) {
      state.scene.width = row.width;
      state.scene.height = row.height;
    }
    controls_.emplace(row.name, std::move(state));
  }
}

// A name outside the table is a fault in the caller; tests must hear of it.
ControlState* ControlModel::find(std::string_view name) {
  auto it = controls_.find(name);
  if (it == controls_.end())
    throw std::out_of_range("no control named " + std::string(name));
  return &it->second;
}

const ControlState* ControlModel::find(std::string_view name) const {
  return const_cast<ControlModel*>(this)->find(name);
}

const ControlState& ControlModel::state(std::string_view name) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return *find(name);
}

std::string ControlModel::text(std::string_view name) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return find(name)->text;
}

void ControlModel::setText(std::string_view name, std::string_view text) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  find(name)->text = text;
}

void ControlModel::setVisible(std::string_view name, bool visible) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  find(name)->visible = visible;
}

bool ControlModel::isVisible(std::string_view name) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return find(name)->visible;
}

void ControlModel::setEnabled(std::string_view name, bool enabled) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  find(name)->enabled = enabled;
}

bool ControlModel::isEnabled(std::string_view name) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return find(name)->enabled;
}

void ControlModel::setCaptionColour(std::string_view name, Colorref colour) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  find(name)->caption = colour;
}

Colorref ControlModel::captionColour(std::string_view name) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return find(name)->caption;
}

void ControlModel::setPicture(std::string_view name, const core::Bytes& picture) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  ControlState* control = find(name);
  Image decoded = decodePicture(picture);
  if (control->row->kind == Kind::AnimationBox) {
    control->scene.background = std::move(decoded);
  } else {
    control->picture = std::move(decoded);
  }
}

int ControlModel::width(std::string_view name) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return find(name)->width;
}

int ControlModel::height(std::string_view name) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return find(name)->height;
}

void ControlModel::setWidth(std::string_view name, int width) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  ControlState* control = find(name);
  control->width = width;
  control->scene.width = width;
}

void ControlModel::setHeight(std::string_view name, int height) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  ControlState* control = find(name);
  control->height = height;
  control->scene.height = height;
}

void ControlModel::setPosition(std::string_view name, int position) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const int max = find(name)->row->rangeMax;
  find(name)->position = position < 0 ? 0 : (position > max ? max : position);
}

int ControlModel::position(std::string_view name) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return find(name)->position;
}

int ControlModel::createLayer(std::string_view box, std::string_view templateObject, int x, int y,
                              bool visible) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const ControlState* source = find(templateObject);
  ControlState* target = find(box);
  const int id = target->scene.addLayer(x, y, source->width, source->height, visible);
  target->scene.findLayer(id)->picture = source->picture;
  return id;
}

void ControlModel::setLayerTransparency(std::string_view box, int layer, int percent) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (AnimationLayer* found = find(box)->scene.findLayer(layer)) {
    found->transparencyPercent = percent;
  }
}

core::Bytes ControlModel::captureArea(std::string_view box, int x, int y, int width, int height) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return encodeBmp(crop(composeScene(find(box)->scene), x, y, width, height));
}

void ControlModel::setLayerPicture(std::string_view box, int layer, const core::Bytes& picture) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (AnimationLayer* found = find(box)->scene.findLayer(layer)) {
    found->picture = decodePicture(picture);
  }
}

void ControlModel::postNotice(std::string_view name, int first, int second) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  find(name);
  notices_.push_back(Notice{std::string(name), first, second});
}

core::Bytes ControlModel::windowBackgroundPicture() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return background_;
}

void ControlModel::minimiseWindow() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  ++minimiseCount_;
}

void ControlModel::closeWindow() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  closed_ = true;
}

void ControlModel::shapeWindowFromPicture(const core::Bytes& picture, Colorref) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!decodePicture(picture).empty())
    shapeCalls_.push_back("picture");
}

void ControlModel::roundWindowCorners(int ellipseWidth, int ellipseHeight) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  shapeCalls_.push_back("round " + std::to_string(ellipseWidth) + "x" +
                        std::to_string(ellipseHeight));
}

}  // namespace ui
