// Pictures from the game folder (the slideshow, the buttons) in any bytes:
// a decoded picture has all its pixels, and the control's pixel operations
// work on it. The memory limits of the runs stand for a 32-bit process.

#include "fuzz/harness.h"
#include "ui/image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ui::Image image = ui::decodePicture(base::Bytes(data, data + size));
  if (image.empty()) {
    fuzz::require(image.pixels.empty(), "an undecodable picture holds no pixels");
    return 0;
  }
  fuzz::require(image.pixels.size() == static_cast<std::size_t>(image.width) * image.height,
                "a picture has every pixel");
  const ui::Image opaque = ui::compositeOver(image, 0x00FFFFFF);
  fuzz::require(opaque.pixels.size() == image.pixels.size(), "blending keeps every pixel");
  const ui::Image thumbnail = ui::stretchTo(opaque, 7, 5);
  fuzz::require(thumbnail.pixels.size() == 35, "a stretched picture has the size asked");
  ui::encodeBmp(thumbnail);
  return 0;
}
