#pragma once

// A one-colour picture, for the host tests and the Windows-side tests alike.

#include <cstddef>
#include <cstdint>

#include "ui/image.h"

namespace testing_support {

inline ui::Image solidImage(int width, int height, std::uint32_t argb) {
  ui::Image image;
  image.width = width;
  image.height = height;
  image.pixels.assign(static_cast<std::size_t>(width) * height, argb);
  return image;
}

}  // namespace testing_support
