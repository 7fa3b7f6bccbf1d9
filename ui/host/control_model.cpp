#include "ui/host/control_model.h"

#include <cassert>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace ui {

ControlModel::ControlModel() : windowThread_(std::this_thread::get_id()) {
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
// So is one whose window is not made yet.
ControlState* ControlModel::find(std::string_view name) {
  auto it = controls_.find(name);
  if (it == controls_.end())
    throw std::out_of_range("no control named " + std::string(name));
  if (firstFrameOnly_ && createdAfterFirstFrame(*it->second.row))
    throw std::logic_error("control " + std::string(name) + " is made after the first frame");
  return &it->second;
}

void ControlModel::setFirstFrameOnly(bool firstFrameOnly) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  firstFrameOnly_ = firstFrameOnly;
}

const ControlState* ControlModel::find(std::string_view name) const {
  return const_cast<ControlModel*>(this)->find(name);
}

std::unique_lock<std::recursive_mutex> ControlModel::windowThreadLock() const {
  assert(std::this_thread::get_id() == windowThread_ &&
         "a window-thread operation on another thread");
  return std::unique_lock<std::recursive_mutex>(mutex_);
}

template <typename Field>
Field ControlModel::read(std::string_view name, Field ControlState::*field) const {
  const auto lock = windowThreadLock();
  return find(name)->*field;
}

template <typename Field, typename Value>
void ControlModel::write(std::string_view name, Field ControlState::*field, Value value) {
  const auto lock = windowThreadLock();
  ControlState* state = find(name);
  state->*field = value;
  ++state->writes;
}

const ControlState& ControlModel::state(std::string_view name) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return *find(name);
}

std::string ControlModel::text(std::string_view name) const {
  return read(name, &ControlState::text);
}

void ControlModel::setText(std::string_view name, std::string_view text) {
  write(name, &ControlState::text, text);
}

void ControlModel::setVisible(std::string_view name, bool visible) {
  write(name, &ControlState::visible, visible);
}

bool ControlModel::isVisible(std::string_view name) const {
  return read(name, &ControlState::visible);
}

void ControlModel::setEnabled(std::string_view name, bool enabled) {
  write(name, &ControlState::enabled, enabled);
}

bool ControlModel::isEnabled(std::string_view name) const {
  return read(name, &ControlState::enabled);
}

void ControlModel::setCaptionColour(std::string_view name, Colorref colour) {
  write(name, &ControlState::caption, colour);
}

Colorref ControlModel::captionColour(std::string_view name) const {
  return read(name, &ControlState::caption);
}

void ControlModel::setPicture(std::string_view name, const base::Bytes& picture) {
  const auto lock = windowThreadLock();
  ControlState* control = find(name);
  Image decoded = decodePicture(picture);
  if (control->row->kind == Kind::AnimationBox) {
    control->scene.background = std::move(decoded);
  } else {
    control->picture = std::move(decoded);
  }
}

void ControlModel::setBoxPicture(std::string_view box, const base::Bytes& picture) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  find(box)->scene.background = decodePicture(picture);
}

int ControlModel::boxWidth(std::string_view box) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return find(box)->width;
}

int ControlModel::boxHeight(std::string_view box) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return find(box)->height;
}

int ControlModel::width(std::string_view name) const {
  return read(name, &ControlState::width);
}

int ControlModel::height(std::string_view name) const {
  return read(name, &ControlState::height);
}

void ControlModel::setWidth(std::string_view name, int width) {
  const auto lock = windowThreadLock();
  ControlState* control = find(name);
  control->width = width;
  control->scene.width = width;
}

void ControlModel::setHeight(std::string_view name, int height) {
  const auto lock = windowThreadLock();
  ControlState* control = find(name);
  control->height = height;
  control->scene.height = height;
}

void ControlModel::setPosition(std::string_view name, int position) {
  const auto lock = windowThreadLock();
  const int max = find(name)->row->rangeMax;
  find(name)->position = position < 0 ? 0 : (position > max ? max : position);
}

int ControlModel::position(std::string_view name) const {
  return read(name, &ControlState::position);
}

int ControlModel::createLayer(std::string_view box, std::string_view templateObject, int x, int y,
                              bool visible) {
  const auto lock = windowThreadLock();
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

base::Bytes ControlModel::captureArea(std::string_view box, int x, int y, int width, int height) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return encodeBmp(crop(composeScene(find(box)->scene), x, y, width, height));
}

void ControlModel::setLayerPicture(std::string_view box, int layer, const base::Bytes& picture) {
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

std::optional<Notice> ControlModel::takeNotice() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (notices_.empty())
    return std::nullopt;
  Notice notice = std::move(notices_.front());
  notices_.pop_front();
  return notice;
}

std::size_t ControlModel::pendingNotices() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return notices_.size();
}

}  // namespace ui
