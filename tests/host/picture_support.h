#pragma once

// Pictures made by the tests themselves: solid images and their JPEG bytes.

#include <jpeglib.h>

#include <cstdint>
#include <cstdlib>

#include "base/bytes.h"
#include "tests/solid_image.h"
#include "ui/image.h"

namespace testing_support {

inline base::Bytes encodeJpeg(const ui::Image& image, int quality = 95) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = image.width;
  info.image_height = image.height;
  info.input_components = 4;
  info.in_color_space = JCS_EXT_BGRA;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    auto* row = reinterpret_cast<JSAMPROW>(
        const_cast<std::uint32_t*>(image.pixels.data() + info.next_scanline * image.width));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  base::Bytes out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

}  // namespace testing_support
