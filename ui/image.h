#pragma once

// Pictures in memory: decoding the PNG, JPEG and BMP bytes the launcher
// meets, and the few pixel operations its controls need.

#include <cstdint>
#include <vector>

#include "base/bytes.h"
#include "ui/controls.h"

namespace ui {

// Top-down rows of 0xAARRGGBB pixels (in memory B, G, R, A: a 32-bit DIB).
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;

  bool empty() const { return width <= 0 || height <= 0; }
  std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// The most pixels one decoded picture may have (16 MiB of pixels): more
// than any place of the window shows. A JPEG beyond it is decoded at a
// half, a quarter or an eighth of its size (its own DCT scaling) to fit; a
// PNG beyond it is reduced by a whole factor while it is read row by row
// (png_reduction.h); a BMP beyond it, or a JPEG that does not fit even at
// an eighth, is refused.
inline constexpr std::uint64_t kPictureBudgetPixels = 2048u * 2048u;
// What the JPEG decoder may hold besides the pixels (a progressive file
// keeps its coefficients for the whole picture).
inline constexpr long kJpegWorkingMemoryBytes = 64L * 1024 * 1024;

// PNG, JPEG or BMP, told apart by their signatures. Anything else,
// truncated or corrupt data, a picture beyond the budget and running out of
// memory give an empty image.
Image decodePicture(const base::Bytes& bytes);

// Each pixel blended over an opaque colour; the result is opaque.
Image compositeOver(const Image& image, Colorref background);

// Scaled to the given size (bilinear); empty in, empty out.
Image stretchTo(const Image& image, int width, int height);

// A 32-bit bottom-up BMP file of the image.
base::Bytes encodeBmp(const Image& image);

// 0xAARRGGBB from a COLORREF (0x00BBGGRR), opaque.
constexpr std::uint32_t argbFromColorref(Colorref c) {
  return 0xFF000000u | ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

}  // namespace ui
