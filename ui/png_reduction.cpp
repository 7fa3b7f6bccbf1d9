#include "ui/png_reduction.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <new>
#include <vector>

namespace ui {
namespace {

struct MemoryReader {
  const base::Bytes* bytes;
  std::size_t at;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (reader->bytes->size() - reader->at < length)
    png_error(png, "cut short");
  std::memcpy(out, reader->bytes->data() + reader->at, length);
  reader->at += length;
}

// A damaged picture is no picture; nothing to tell anyone.
[[noreturn]] void failQuietly(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}
void ignoreWarning(png_structp, png_const_charp) {}

std::uint64_t reducedSize(std::uint64_t size, std::uint64_t factor) {
  return (size + factor - 1) / factor;
}

// Per output pixel of the band being read: blue, green and red weighted by
// alpha (so that transparent pixels lend no colour), alpha, and the count.
class BandSums {
 public:
  BandSums(std::size_t sourceWidth, std::size_t factor)
      : factor_(factor), sums_(reducedSize(sourceWidth, factor) * 5) {}

  void add(const png_byte* bgra, std::size_t width) {
    for (std::size_t x = 0; x < width; ++x, bgra += 4) {
      std::uint64_t* sum = &sums_[x / factor_ * 5];
      const std::uint64_t alpha = bgra[3];
      sum[0] += bgra[0] * alpha;
      sum[1] += bgra[1] * alpha;
      sum[2] += bgra[2] * alpha;
      sum[3] += alpha;
      sum[4] += 1;
    }
  }

  // Writes the band's averages and starts the next band.
  void emit(std::uint32_t* out) {
    for (std::size_t i = 0; i < sums_.size(); i += 5, ++out) {
      const std::uint64_t alpha = sums_[i + 3];
      if (alpha == 0) {
        *out = 0;
      } else {
        const auto channel = [&](int c) { return (sums_[i + c] + alpha / 2) / alpha; };
        const std::uint64_t meanAlpha = (alpha + sums_[i + 4] / 2) / sums_[i + 4];
        *out = static_cast<std::uint32_t>(meanAlpha << 24 | channel(2) << 16 | channel(1) << 8 |
                                          channel(0));
      }
    }
    std::fill(sums_.begin(), sums_.end(), 0);
  }

 private:
  std::size_t factor_;
  std::vector<std::uint64_t> sums_;
};

// What lives across libpng's longjmp: owned through one pointer, so that
// no object with a destructor is skipped.
struct Reduction {
  Image image;
  std::vector<png_byte> row;
  BandSums* sums = nullptr;
  ~Reduction() { delete sums; }
};

void setUpTransforms(png_structp png, png_infop info) {
  png_set_expand(png);  // palette and small grey to 8 bits, tRNS to alpha
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_bgr(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_read_update_info(png, info);
}

}  // namespace

Image decodeReducedPng(const base::Bytes& bytes, std::uint64_t budgetPixels) {
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, failQuietly, ignoreWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return {};
  }
  auto* work = new (std::nothrow) Reduction;
  MemoryReader reader{&bytes, 0};
  if (work == nullptr || setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_read_struct(&png, &info, nullptr);
    delete work;
    return {};
  }
  png_set_read_fn(png, &reader, readFromMemory);
  png_read_info(png, info);
  const std::uint64_t width = png_get_image_width(png, info);
  const std::uint64_t height = png_get_image_height(png, info);
  const bool readable = png_get_interlace_type(png, info) == PNG_INTERLACE_NONE &&
                        width * height <= kMaxReducedPngPixels && budgetPixels > 0;
  std::uint64_t factor = 1;
  while (readable && reducedSize(width, factor) * reducedSize(height, factor) > budgetPixels)
    ++factor;
  bool allocated = false;
  if (readable) {
    setUpTransforms(png, info);
    try {
      work->row.resize(png_get_rowbytes(png, info));
      work->sums = new BandSums(width, factor);
      work->image.width = static_cast<int>(reducedSize(width, factor));
      work->image.height = static_cast<int>(reducedSize(height, factor));
      work->image.pixels.resize(static_cast<std::size_t>(work->image.width) * work->image.height);
      allocated = work->row.size() == width * 4;
    } catch (const std::bad_alloc&) {
    }
  }
  if (allocated) {
    for (std::uint64_t y = 0; y < height; ++y) {
      png_read_row(png, work->row.data(), nullptr);
      work->sums->add(work->row.data(), width);
      if ((y + 1) % factor == 0 || y + 1 == height)
        work->sums->emit(&work->image.pixels[y / factor * work->image.width]);
    }
  }
  png_destroy_read_struct(&png, &info, nullptr);
  Image image = allocated ? std::move(work->image) : Image{};
  delete work;
  return image;
}

}  // namespace ui
