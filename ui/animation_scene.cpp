#include "ui/animation_scene.h"

#include <algorithm>

namespace ui {

AnimationLayer* AnimationScene::findLayer(int id) {
  for (AnimationLayer& layer : layers) {
    if (layer.id == id)
      return &layer;
  }
  return nullptr;
}

int AnimationScene::addLayer(int x, int y, int w, int h, bool visible) {
  const int id = layers.empty() ? 1 : layers.back().id + 1;
  layers.push_back(AnimationLayer{.id = id,
                                  .x = x,
                                  .y = y,
                                  .width = w,
                                  .height = h,
                                  .visible = visible,
                                  .transparencyPercent = 0,
                                  .picture = {}});
  return id;
}

int backgroundWeight(int transparencyPercent) {
  return std::clamp(transparencyPercent, 0, 100) * 255 / 100;
}

namespace {

std::uint32_t mix(std::uint32_t over, std::uint32_t under, std::uint32_t underWeight) {
  std::uint32_t out = 0xFF000000u;
  for (int shift : {0, 8, 16}) {
    const std::uint32_t a = (over >> shift) & 0xFFu;
    const std::uint32_t b = (under >> shift) & 0xFFu;
    out |= ((a * (255 - underWeight) + b * underWeight + 127) / 255) << shift;
  }
  return out;
}

}  // namespace

Image composeScene(const AnimationScene& scene) {
  if (scene.width <= 0 || scene.height <= 0)
    return {};
  Image out = stretchTo(compositeOver(scene.background, 0xFFFFFF), scene.width, scene.height);
  if (out.empty()) {
    out.width = scene.width;
    out.height = scene.height;
    out.pixels.assign(static_cast<std::size_t>(scene.width) * scene.height, 0xFFFFFFFFu);
  }
  for (const AnimationLayer& layer : scene.layers) {
    if (!layer.visible || layer.picture.empty() || layer.width <= 0 || layer.height <= 0)
      continue;
    const std::uint32_t weight =
        static_cast<std::uint32_t>(backgroundWeight(layer.transparencyPercent));
    if (weight >= 255)
      continue;
    const Image picture =
        stretchTo(compositeOver(layer.picture, 0xFFFFFF), layer.width, layer.height);
    const int x0 = std::max(0, layer.x), y0 = std::max(0, layer.y);
    const int x1 = std::min(scene.width, layer.x + layer.width);
    const int y1 = std::min(scene.height, layer.y + layer.height);
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        std::uint32_t& pixel = out.pixels[static_cast<std::size_t>(y) * out.width + x];
        pixel = mix(picture.at(x - layer.x, y - layer.y), pixel, weight);
      }
    }
  }
  return out;
}

Image crop(const Image& image, int x, int y, int width, int height) {
  const int x0 = std::max(0, x), y0 = std::max(0, y);
  const int x1 = std::min(image.width, x + std::max(0, width));
  const int y1 = std::min(image.height, y + std::max(0, height));
  if (x1 <= x0 || y1 <= y0)
    return {};
  Image out;
  out.width = x1 - x0;
  out.height = y1 - y0;
  out.pixels.reserve(static_cast<std::size_t>(out.width) * out.height);
  for (int row = y0; row < y1; ++row) {
    const auto begin = image.pixels.begin() + static_cast<std::ptrdiff_t>(row) * image.width;
    out.pixels.insert(out.pixels.end(), begin + x0, begin + x1);
  }
  return out;
}

}  // namespace ui
