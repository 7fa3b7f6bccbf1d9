#pragma once

// What an animation box shows: a background picture stretched to the box and
// layers over it, each with its own transparency. Portable, so the window
// and the tests compose pictures the same way.

#include <vector>

#include "ui/image.h"

namespace ui {

struct AnimationLayer {
  int id = 0;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool visible = true;
  // 0 shows the layer opaque, 100 hides it.
  int transparencyPercent = 0;
  // Stretched to the layer; an empty picture shows nothing.
  Image picture;
};

struct AnimationScene {
  int width = 0;
  int height = 0;
  Image background;
  std::vector<AnimationLayer> layers;

  AnimationLayer* findLayer(int id);
  // Adds a layer and returns its id (1 for the first).
  int addLayer(int x, int y, int width, int height, bool visible);
};

// The weight of the background under a layer of that transparency:
// percent times 255 over 100, the percent limited to 0..100.
int backgroundWeight(int transparencyPercent);

// The whole box: white where no background picture is, then the visible layers.
Image composeScene(const AnimationScene& scene);

// The part of `image` inside the rectangle, clipped to the image.
Image crop(const Image& image, int x, int y, int width, int height);

}  // namespace ui
