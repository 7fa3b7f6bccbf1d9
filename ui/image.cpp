#include "ui/image.h"

#include "ui/png_reduction.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

namespace ui {
namespace {

bool startsWith(const base::Bytes& bytes, std::initializer_list<std::uint8_t> signature) {
  return bytes.size() >= signature.size() &&
         std::equal(signature.begin(), signature.end(), bytes.begin());
}

bool withinBudget(std::uint64_t width, std::uint64_t height) {
  return width > 0 && height > 0 && width * height <= kPictureBudgetPixels;
}

Image decodePng(const base::Bytes& bytes) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size()))
    return {};
  // A picture beyond the budget is reduced while it is read, never held
  // whole: a hostile header could ask for gigabytes.
  if (!withinBudget(png.width, png.height)) {
    png_image_free(&png);
    return decodeReducedPng(bytes, kPictureBudgetPixels);
  }
  png.format = PNG_FORMAT_BGRA;
  Image image;
  image.width = static_cast<int>(png.width);
  image.height = static_cast<int>(png.height);
  try {
    image.pixels.resize(static_cast<std::size_t>(png.width) * png.height);
  } catch (const std::bad_alloc&) {
    png_image_free(&png);
    return {};
  }
  if (!png_image_finish_read(&png, nullptr, image.pixels.data(), 0, nullptr)) {
    png_image_free(&png);
    return {};
  }
  return image;
}

// libjpeg reports fatal errors through error_exit, which must not return.
struct JpegErrorTrap {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  bool truncated;
};

void jpegFail(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegErrorTrap*>(info->err)->jump, 1);
}

// libjpeg pads a truncated file with grey and only warns; such a file is
// undecodable here.
void jpegNoteWarning(j_common_ptr info, int level) {
  auto* trap = reinterpret_cast<JpegErrorTrap*>(info->err);
  if (level < 0 && trap->manager.msg_code == JWRN_JPEG_EOF)
    trap->truncated = true;
}

Image decodeJpeg(const base::Bytes& bytes) {
  jpeg_decompress_struct info{};
  JpegErrorTrap trap{};
  info.err = jpeg_std_error(&trap.manager);
  trap.manager.error_exit = jpegFail;
  trap.manager.emit_message = jpegNoteWarning;
  // Only objects with trivial destructors live between setjmp and longjmp.
  Image* result = new Image;
  if (setjmp(trap.jump) != 0) {
    jpeg_destroy_decompress(&info);
    delete result;
    return {};
  }
  jpeg_create_decompress(&info);
  info.mem->max_memory_to_use = kJpegWorkingMemoryBytes;
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_EXT_BGRA;
  // A header may declare far more than any box shows: decode at a smaller
  // scale, which costs libjpeg less work as well as less memory.
  info.scale_num = 1;
  for (info.scale_denom = 1; info.scale_denom < 8; info.scale_denom *= 2) {
    jpeg_calc_output_dimensions(&info);
    if (withinBudget(info.output_width, info.output_height))
      break;
  }
  jpeg_start_decompress(&info);
  if (!withinBudget(info.output_width, info.output_height)) {
    jpeg_destroy_decompress(&info);
    delete result;
    return {};
  }
  result->width = static_cast<int>(info.output_width);
  result->height = static_cast<int>(info.output_height);
  try {
    result->pixels.resize(static_cast<std::size_t>(info.output_width) * info.output_height);
  } catch (const std::bad_alloc&) {
    jpeg_destroy_decompress(&info);
    delete result;
    return {};
  }
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = reinterpret_cast<JSAMPROW>(
        result->pixels.data() + static_cast<std::size_t>(info.output_scanline) * info.output_width);
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  Image image = std::move(*result);
  delete result;
  if (trap.truncated)
    return {};
  return image;
}

std::uint32_t readLe(const base::Bytes& bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i)
    value = (value << 8) | bytes[at + i];
  return value;
}

// Uncompressed 24- and 32-bit BMP files, as captures and common tools write them.
Image decodeBmp(const base::Bytes& bytes) {
  constexpr std::size_t kFileHeader = 14;
  if (bytes.size() < kFileHeader + 40)
    return {};
  const std::uint32_t dataOffset = readLe(bytes, 10, 4);
  const std::uint32_t headerSize = readLe(bytes, 14, 4);
  const auto width = static_cast<std::int32_t>(readLe(bytes, 18, 4));
  const auto signedHeight = static_cast<std::int32_t>(readLe(bytes, 22, 4));
  const std::uint32_t bitCount = readLe(bytes, 28, 2);
  const std::uint32_t compression = readLe(bytes, 30, 4);
  if (headerSize < 40 || signedHeight == INT32_MIN ||
      !withinBudget(width > 0 ? width : 0, signedHeight < 0 ? -signedHeight : signedHeight)) {
    return {};
  }
  // BI_RGB, or BI_BITFIELDS with the usual masks of a 32-bit DIB.
  if (!(compression == 0 || (compression == 3 && bitCount == 32)))
    return {};
  if (bitCount != 24 && bitCount != 32)
    return {};
  const bool bottomUp = signedHeight > 0;
  const int height = bottomUp ? signedHeight : -signedHeight;
  const std::size_t stride = ((static_cast<std::size_t>(width) * bitCount + 31) / 32) * 4;
  if (dataOffset > bytes.size() || (bytes.size() - dataOffset) / stride < std::size_t(height)) {
    return {};
  }
  Image image;
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    const std::size_t row = dataOffset + stride * (bottomUp ? height - 1 - y : y);
    for (int x = 0; x < width; ++x) {
      const std::size_t at = row + static_cast<std::size_t>(x) * (bitCount / 8);
      // The alpha byte of a 32-bit DIB is unused; captures are opaque.
      const std::uint32_t bgr = readLe(bytes, at, 3);
      image.pixels[static_cast<std::size_t>(y) * width + x] = 0xFF000000u | bgr;
    }
  }
  return image;
}

std::uint8_t channel(std::uint32_t pixel, int shift) {
  return (pixel >> shift) & 0xFFu;
}

}  // namespace

Image decodePicture(const base::Bytes& bytes) {
  // In a 32-bit process even a picture within the budget may find no room;
  // it is then no picture, like an unreadable one.
  try {
    if (startsWith(bytes, {0x89, 'P', 'N', 'G'}))
      return decodePng(bytes);
    if (startsWith(bytes, {0xFF, 0xD8, 0xFF}))
      return decodeJpeg(bytes);
    if (startsWith(bytes, {'B', 'M'}))
      return decodeBmp(bytes);
  } catch (const std::bad_alloc&) {
  }
  return {};
}

Image compositeOver(const Image& image, Colorref background) {
  const std::uint32_t under = argbFromColorref(background);
  Image out = image;
  for (std::uint32_t& pixel : out.pixels) {
    const std::uint32_t alpha = pixel >> 24;
    // Most pixels of the launcher's pictures are wholly one or the other.
    if (alpha == 0xFF)
      continue;
    if (alpha == 0) {
      pixel = under;
      continue;
    }
    std::uint32_t mixed = 0xFF000000u;
    for (int shift : {0, 8, 16}) {
      const std::uint32_t top = channel(pixel, shift);
      const std::uint32_t bottom = channel(under, shift);
      mixed |= ((top * alpha + bottom * (255 - alpha) + 127) / 255) << shift;
    }
    pixel = mixed;
  }
  return out;
}

Image stretchTo(const Image& image, int width, int height) {
  if (image.empty() || width <= 0 || height <= 0)
    return {};
  if (width == image.width && height == image.height)
    return image;
  Image out;
  out.width = width;
  out.height = height;
  out.pixels.resize(static_cast<std::size_t>(width) * height);
  // Sample at pixel centres, in 16.16 fixed point.
  const std::int64_t stepX = (static_cast<std::int64_t>(image.width) << 16) / width;
  const std::int64_t stepY = (static_cast<std::int64_t>(image.height) << 16) / height;
  for (int y = 0; y < height; ++y) {
    std::int64_t sy = std::max<std::int64_t>(0, (y * stepY) + stepY / 2 - 0x8000);
    const int y0 = std::min<int>(static_cast<int>(sy >> 16), image.height - 1);
    const int y1 = std::min(y0 + 1, image.height - 1);
    const std::uint32_t fy = static_cast<std::uint32_t>(sy & 0xFFFF) >> 8;
    for (int x = 0; x < width; ++x) {
      std::int64_t sx = std::max<std::int64_t>(0, (x * stepX) + stepX / 2 - 0x8000);
      const int x0 = std::min<int>(static_cast<int>(sx >> 16), image.width - 1);
      const int x1 = std::min(x0 + 1, image.width - 1);
      const std::uint32_t fx = static_cast<std::uint32_t>(sx & 0xFFFF) >> 8;
      const std::uint32_t p00 = image.at(x0, y0), p10 = image.at(x1, y0);
      const std::uint32_t p01 = image.at(x0, y1), p11 = image.at(x1, y1);
      std::uint32_t mixed = 0;
      for (int shift : {0, 8, 16, 24}) {
        const std::uint32_t top = channel(p00, shift) * (256 - fx) + channel(p10, shift) * fx;
        const std::uint32_t bottom = channel(p01, shift) * (256 - fx) + channel(p11, shift) * fx;
        const std::uint32_t value = (top * (256 - fy) + bottom * fy + 32768) >> 16;
        mixed |= std::min<std::uint32_t>(value, 255) << shift;
      }
      out.pixels[static_cast<std::size_t>(y) * width + x] = mixed;
    }
  }
  return out;
}

base::Bytes encodeBmp(const Image& image) {
  if (image.empty())
    return {};
  const std::uint32_t pixelBytes = static_cast<std::uint32_t>(image.pixels.size() * 4);
  const std::uint32_t offset = 14 + 40;
  base::Bytes out;
  out.reserve(offset + pixelBytes);
  auto put = [&out](std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
      out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  };
  out.push_back('B');
  out.push_back('M');
  put(offset + pixelBytes, 4);
  put(0, 4);
  put(offset, 4);
  put(40, 4);
  put(static_cast<std::uint32_t>(image.width), 4);
  put(static_cast<std::uint32_t>(image.height), 4);  // bottom-up
  put(1, 2);
  put(32, 2);
  put(0, 4);  // BI_RGB
  put(pixelBytes, 4);
  put(2835, 4);  // 72 dpi
  put(2835, 4);
  put(0, 4);
  put(0, 4);
  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; ++x)
      put(image.at(x, y), 4);
  }
  return out;
}

}  // namespace ui
