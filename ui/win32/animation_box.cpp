#include "ui/win32/animation_box.h"

#include "ui/win32/backdrop.h"
#include "ui/win32/drawing.h"

namespace ui::win32 {
namespace {

constexpr Colorref kWhite = 0xFFFFFF;

Image fitted(const Image& picture, int width, int height) {
  return stretchTo(compositeOver(picture, kWhite), width, height);
}

}  // namespace

AnimationBox::AnimationBox(const ControlRow& row, EventSink& events)
    : CustomControl(row, events, kAnimationBoxClass, WS_TABSTOP) {
  scene_.width = row.width;
  scene_.height = row.height;
}

void AnimationBox::changed() const {
  // Invalidating is safe from any thread; the window's thread repaints.
  if (HWND w = window())
    invalidateWithOverlays(w);
}

Image AnimationBox::frame() const {
  const std::lock_guard lock(mutex_);
  return composeScene(scene_);
}

void AnimationBox::setPicture(const base::Bytes& picture) {
  // Decoding takes longest; it needs no lock.
  Image decoded = decodePicture(picture);
  {
    const std::lock_guard lock(mutex_);
    background_ = std::move(decoded);
    scene_.background = fitted(background_, scene_.width, scene_.height);
  }
  changed();
}

int AnimationBox::width() const {
  const std::lock_guard lock(mutex_);
  return scene_.width;
}

int AnimationBox::height() const {
  const std::lock_guard lock(mutex_);
  return scene_.height;
}

int AnimationBox::createLayer(int x, int y, int width, int height, bool visible) {
  int id = 0;
  {
    const std::lock_guard lock(mutex_);
    id = scene_.addLayer(x, y, width, height, visible);
  }
  changed();
  return id;
}

void AnimationBox::setLayerTransparency(int layer, int percent) {
  {
    const std::lock_guard lock(mutex_);
    AnimationLayer* found = scene_.findLayer(layer);
    if (found == nullptr)
      return;
    found->transparencyPercent = percent;
  }
  changed();
}

void AnimationBox::setLayerPicture(int layer, const base::Bytes& picture) {
  const Image decoded = decodePicture(picture);
  {
    const std::lock_guard lock(mutex_);
    AnimationLayer* found = scene_.findLayer(layer);
    if (found == nullptr)
      return;
    found->picture = fitted(decoded, found->width, found->height);
  }
  changed();
}

base::Bytes AnimationBox::captureArea(int x, int y, int width, int height) const {
  const Image area = crop(frame(), x, y, width, height);
  return area.empty() ? base::Bytes{} : encodeBmp(area);
}

LRESULT AnimationBox::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SIZE) {
    {
      const std::lock_guard lock(mutex_);
      scene_.width = LOWORD(lParam);
      scene_.height = HIWORD(lParam);
      scene_.background = fitted(background_, scene_.width, scene_.height);
    }
    changed();
  }
  return CustomControl::handle(message, wParam, lParam);
}

void AnimationBox::paint(HDC dc) {
  const Image shown = frame();
  if (shown.empty())
    return;
  drawImage(dc, shown, 0, 0);
}

}  // namespace ui::win32
