#pragma once

// A PNG larger than the picture budget, decoded one row at a time and
// reduced while it is read: each output pixel averages a square of
// `factor` x `factor` source pixels, the smallest whole factor that brings
// the picture within the budget. Memory stays at one source row, one row
// of sums and the reduced picture, whatever the source's size.

#include <cstdint>

#include "base/bytes.h"
#include "ui/image.h"

namespace ui {

// Beyond this many source pixels a PNG is refused: reading it would hold
// the window for too long.
inline constexpr std::uint64_t kMaxReducedPngPixels = 16384ull * 16384ull;

// Empty for anything but a readable, non-interlaced PNG of at most
// kMaxReducedPngPixels (an interlaced file cannot be read row by row).
Image decodeReducedPng(const base::Bytes& bytes, std::uint64_t budgetPixels);

}  // namespace ui
