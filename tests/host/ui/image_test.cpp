#include <gtest/gtest.h>
#include <malloc.h>
#include <png.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "picture_support.h"
#include "ui/animation_scene.h"
#include "ui/control_names.h"
#include "ui/host/control_model.h"
#include "ui/image.h"
#include "ui/picture_prefetch.h"
#include "ui/png_reduction.h"

namespace {

using base::Bytes;
using ui::Image;

Image solid(int w, int h, std::uint32_t argb) {
  return testing_support::solidImage(w, h, argb);
}

Bytes readSourceFile(const std::string& relative) {
  std::ifstream file(std::string(TAVORO_SOURCE_DIR) + "/" + relative, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(file)), {});
}

using testing_support::encodeJpeg;

int channelOf(std::uint32_t pixel, int shift) {
  return (pixel >> shift) & 0xFF;
}

void expectNear(std::uint32_t pixel, std::uint32_t want, int tolerance) {
  for (int shift : {0, 8, 16}) {
    EXPECT_NEAR(channelOf(pixel, shift), channelOf(want, shift), tolerance)
        << std::hex << pixel << " vs " << want;
  }
}

TEST(DecodePicture, ReadsTheLaunchersOwnPngsAndJpegs) {
  const Image background = ui::decodePicture(readSourceFile("ui/images/background.png"));
  ASSERT_EQ(background.width, 600);
  ASSERT_EQ(background.height, 370);
  expectNear(background.at(300, 100), 0xFFFFFDFD, 3);

  const Image start = ui::decodePicture(readSourceFile("ui/images/start_normal.png"));
  ASSERT_EQ(start.width, 140);
  ASSERT_EQ(start.height, 40);
  EXPECT_EQ(start.at(0, 0) >> 24, 0u) << "rounded corner is transparent";

  const Image red = ui::decodePicture(encodeJpeg(solid(64, 32, 0xFFFF0000)));
  ASSERT_EQ(red.width, 64);
  ASSERT_EQ(red.height, 32);
  expectNear(red.at(10, 10), 0xFFFF0000, 8);
  EXPECT_EQ(red.at(10, 10) >> 24, 0xFFu);
}

TEST(DecodePicture, BadBytesGiveAnEmptyImageNeverACrash) {
  EXPECT_TRUE(ui::decodePicture({}).empty());
  EXPECT_TRUE(ui::decodePicture({'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'}).empty());

  Bytes png = readSourceFile("ui/images/banner.png");
  png.resize(png.size() / 2);
  EXPECT_TRUE(ui::decodePicture(png).empty());

  Bytes jpeg = encodeJpeg(solid(200, 100, 0xFF00FF00));
  jpeg.resize(jpeg.size() / 2);
  EXPECT_TRUE(ui::decodePicture(jpeg).empty()) << "truncated JPEG";
  EXPECT_TRUE(ui::decodePicture(Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0, 0}).empty());

  // A BMP header that promises far more pixels than the file holds.
  Bytes bmp = ui::encodeBmp(solid(4, 4, 0xFF123456));
  bmp[18] = 0xFF;
  bmp[19] = 0x3F;
  EXPECT_TRUE(ui::decodePicture(bmp).empty());
}

Bytes encodePng(const Image& image) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = image.width;
  png.height = image.height;
  png.format = PNG_FORMAT_BGRA;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&png, nullptr, &size, 0, image.pixels.data(), 0, nullptr);
  Bytes out(size);
  png_image_write_to_memory(&png, out.data(), &size, 0, image.pixels.data(), 0, nullptr);
  out.resize(size);
  return out;
}

// A few hundred bytes of picture must not cost a gigabyte: big JPEGs are
// decoded smaller, other pictures beyond the budget not at all.
TEST(DecodePicture, PicturesBeyondTheBudgetAreScaledOrRefused) {
  const Image wide = ui::decodePicture(encodeJpeg(solid(4096, 2048, 0xFF0000FF)));
  EXPECT_EQ(wide.width, 2048);
  EXPECT_EQ(wide.height, 1024);
  expectNear(wide.at(100, 100), 0xFF0000FF, 8);

  const Image fits = ui::decodePicture(encodeJpeg(solid(2048, 2048, 0xFF00FF00)));
  EXPECT_EQ(fits.width, 2048) << "within the budget: full size";

  EXPECT_EQ(ui::decodePicture(encodePng(solid(2048, 2048, 0xFF123456))).width, 2048);
  const Image halved = ui::decodePicture(encodePng(solid(2049, 2048, 0xFF123456)));
  EXPECT_EQ(halved.width, 1025) << "one column past the budget: reduced by two, rounded up";
  EXPECT_EQ(halved.height, 1024);
  EXPECT_EQ(halved.at(1024, 1023), 0xFF123456u);

  // A small file whose header declares 16384 x 16384.
  Bytes huge = encodeJpeg(solid(16, 16, 0xFF808080));
  for (std::size_t at = 2; at + 8 < huge.size(); ++at) {
    if (huge[at] == 0xFF && huge[at + 1] == 0xC0) {  // start of frame
      huge[at + 5] = 0x40, huge[at + 6] = 0x00, huge[at + 7] = 0x40, huge[at + 8] = 0x00;
      break;
    }
  }
  const Image declared = ui::decodePicture(huge);
  EXPECT_LE(std::uint64_t(declared.width) * declared.height, ui::kPictureBudgetPixels);
}

// A PNG of `width` x `height`, its left `split` columns opaque red, the rest
// opaque blue (as RGB, or as a palette of the two), written a row at a time
// so that the test never holds it.
Bytes streamedPng(int width, int height, int split, bool palette = false, bool interlaced = false) {
  struct Sink {
    static void write(png_structp png, png_bytep data, png_size_t length) {
      auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
      out->insert(out->end(), data, data + length);
    }
    static void flush(png_structp) {}
  };
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, Sink::write, Sink::flush);
  png_set_IHDR(png, info, width, height, 8, palette ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB,
               interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_color colours[] = {{0xFF, 0, 0}, {0, 0, 0xFF}};
  if (palette)
    png_set_PLTE(png, info, colours, 2);
  png_write_info(png, info);
  std::vector<png_byte> row(static_cast<std::size_t>(width) * (palette ? 1 : 3));
  for (int x = 0; x < width; ++x) {
    if (palette)
      row[x] = x < split ? 0 : 1;
    else
      row[x * 3 + (x < split ? 0 : 2)] = 0xFF;
  }
  const int passes = interlaced ? png_set_interlace_handling(png) : 1;
  for (int y = 0; y < height * passes; ++y)
    png_write_row(png, row.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

// A refused JPEG gives libjpeg's memory back: the slideshow may meet the
// same bad file again and again in a 32-bit process.
TEST(DecodePicture, RefusedJpegsKeepNoMemory) {
  Bytes declared = encodeJpeg(solid(16, 16, 0xFF808080));
  for (std::size_t at = 2; at + 8 < declared.size(); ++at) {
    if (declared[at] == 0xFF && declared[at + 1] == 0xC0) {  // start of frame: 65500 x 4200
      declared[at + 5] = 0x10, declared[at + 6] = 0x68, declared[at + 7] = 0xFF,
                    declared[at + 8] = 0xDC;
      break;
    }
  }
  const Bytes cut{0xFF, 0xD8, 0xFF, 0xE0, 0, 0};
  ASSERT_TRUE(ui::decodePicture(declared).empty());
  ASSERT_TRUE(ui::decodePicture(cut).empty());
  const auto held = [] { return static_cast<long long>(mallinfo2().uordblks); };
  for (const Bytes* bad : std::initializer_list<const Bytes*>{&declared, &cut}) {
    const long long before = held();
    for (int i = 0; i < 200; ++i)
      ui::decodePicture(*bad);
    EXPECT_LT(held() - before, 64 * 1024) << (bad == &cut ? "cut short" : "too large");
  }
}

// "PNG, any size": a large one is reduced by a whole factor while it is
// read, each pixel the mean of its square, transparent ones lending no
// colour.
TEST(DecodePicture, APngBeyondTheBudgetIsReducedRowByRow) {
  // 25 megapixels: a half is still too large, a third fits.
  const Image big = ui::decodePicture(streamedPng(6144, 4096, 3000));
  ASSERT_EQ(big.width, 2048);
  EXPECT_EQ(big.height, 1366);
  EXPECT_EQ(big.at(0, 0), 0xFFFF0000u);
  EXPECT_EQ(big.at(999, 1365), 0xFFFF0000u) << "columns 2997-2999";
  EXPECT_EQ(big.at(1000, 700), 0xFF0000FFu) << "columns 3000-3002";
  EXPECT_EQ(big.at(2047, 0), 0xFF0000FFu);

  // Known answers with a budget of two pixels: the first pair averaged,
  // the last pixel alone in its square.
  Image three = solid(3, 1, 0);
  three.pixels = {0xFFFF0000, 0x000000FF, 0xFF00FF00};
  const Image reduced = ui::decodeReducedPng(encodePng(three), 2);
  ASSERT_EQ(reduced.width, 2);
  ASSERT_EQ(reduced.height, 1);
  EXPECT_EQ(reduced.at(0, 0), 0x80FF0000u) << "red at half alpha, rounded up";
  EXPECT_EQ(reduced.at(1, 0), 0xFF00FF00u);
  Image five = solid(1, 5, 0xFF6080A0);
  five.pixels[0] = 0xFF204060;
  const Image column = ui::decodeReducedPng(encodePng(five), 2);
  EXPECT_EQ(column.width, 1);
  ASSERT_EQ(column.height, 2) << "five rows by threes";
  EXPECT_EQ(column.at(0, 0), 0xFF4B6B8Bu) << "the mean of rows 0-2, rounded";
  EXPECT_EQ(column.at(0, 1), 0xFF6080A0u) << "rows 3-4";

  // A palette picture is read as its colours.
  const Image indexed = ui::decodePicture(streamedPng(4100, 2048, 2050, true));
  ASSERT_EQ(indexed.width, 2050);
  EXPECT_EQ(indexed.at(1024, 5), 0xFFFF0000u);
  EXPECT_EQ(indexed.at(1025, 1000), 0xFF0000FFu);

  const Bytes whole = streamedPng(4096, 4096, 10);
  EXPECT_TRUE(ui::decodePicture(Bytes(whole.begin(), whole.begin() + whole.size() / 2)).empty())
      << "cut short";
  EXPECT_TRUE(ui::decodeReducedPng(whole, 0).empty());
  // A budget of one pixel: the mean of all three, transparent blue lending
  // no colour.
  EXPECT_EQ(ui::decodeReducedPng(encodePng(three), 1).pixels,
            (std::vector<std::uint32_t>{0xAA808000u}));
  // A square wholly transparent is no colour at all.
  EXPECT_EQ(ui::decodeReducedPng(encodePng(solid(2, 1, 0x00FFFFFF)), 1).pixels,
            (std::vector<std::uint32_t>{0u}));
  // An interlaced file cannot be read row by row: refused, whatever its size.
  const Bytes interlaced = streamedPng(8, 8, 4, false, true);
  EXPECT_EQ(ui::decodePicture(interlaced).at(7, 7), 0xFF0000FFu) << "small: read whole";
  EXPECT_TRUE(ui::decodeReducedPng(interlaced, 64).empty());
  EXPECT_TRUE(ui::decodeReducedPng(interlaced, 4).empty());
}

TEST(EncodeBmp, RoundTripsAndIsA32BitBottomUpFile) {
  Image image = solid(3, 2, 0xFF000000);
  image.pixels[0] = 0xFFFF0000;  // top-left red
  image.pixels[5] = 0xFF0000FF;  // bottom-right blue
  const Bytes bmp = ui::encodeBmp(image);
  ASSERT_EQ(bmp.size(), 54u + 3 * 2 * 4);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[28], 32);
  // Bottom-up: the file's first pixel row is the image's last.
  EXPECT_EQ(bmp[54 + 2 * 4 + 0], 0xFF);  // blue byte of the bottom-right pixel
  const Image back = ui::decodePicture(bmp);
  EXPECT_EQ(back.width, 3);
  EXPECT_EQ(back.height, 2);
  EXPECT_EQ(back.pixels, image.pixels);
}

// The header other programs read: file size, pixel offset, 40-byte info
// header, one plane, 32 bits, BI_RGB, the pixel bytes, 72 dpi.
TEST(EncodeBmp, HeaderFieldsAreKnownAnswers) {
  const Bytes bmp = ui::encodeBmp(solid(3, 2, 0xFF000000));
  auto field = [&bmp](std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
      value = value << 8 | bmp[at + i];
    return value;
  };
  const std::pair<std::size_t, std::uint32_t> fields[] = {
      {2, 54 + 24}, {6, 0},  {10, 54}, {14, 40},   {18, 3},    {22, 2}, {26, 1},
      {28, 32},     {30, 0}, {34, 24}, {38, 2835}, {42, 2835}, {46, 0}, {50, 0}};
  for (const auto& [at, value] : fields)
    EXPECT_EQ(field(at, at == 26 || at == 28 ? 2 : 4), value) << at;
  EXPECT_TRUE(ui::encodeBmp(Image{}).empty());
}

// 24-bit rows padded to four bytes, top-down files, and 32-bit BI_BITFIELDS
// files read as the pixels they hold; other compressions and depths are
// refused.
TEST(DecodePicture, BmpDepthsOrdersAndCompressions) {
  Bytes bgr24 = ui::encodeBmp(solid(1, 2, 0xFF000000));
  bgr24.resize(54);
  bgr24[28] = 24;
  // Bottom-up: the bottom row first, each of 3 bytes and one of padding.
  for (std::uint8_t b : {0x01, 0x02, 0x03, 0x00, 0x11, 0x12, 0x13, 0x00})
    bgr24.push_back(b);
  Image got = ui::decodePicture(bgr24);
  ASSERT_EQ(got.height, 2);
  EXPECT_EQ(got.at(0, 0), 0xFF131211u);
  EXPECT_EQ(got.at(0, 1), 0xFF030201u);

  Bytes topDown = bgr24;
  for (int i = 22; i < 26; ++i)
    topDown[i] = 0xFF;  // height -1 ...
  topDown[22] = 0xFE;   // ... -2
  got = ui::decodePicture(topDown);
  ASSERT_EQ(got.height, 2);
  EXPECT_EQ(got.at(0, 0), 0xFF030201u);

  Image picture = solid(2, 2, 0xFF102030);
  picture.pixels[3] = 0xFF405060;
  Bytes fields = ui::encodeBmp(picture);
  fields[30] = 3;  // BI_BITFIELDS
  EXPECT_EQ(ui::decodePicture(fields).pixels, picture.pixels);

  const std::pair<std::size_t, std::uint8_t> refused[] = {{30, 1},  {30, 2}, {30, 4},
                                                          {28, 16}, {28, 8}, {14, 39}};
  for (const auto& [at, value] : refused) {
    Bytes bad = ui::encodeBmp(picture);
    bad[at] = value;
    EXPECT_TRUE(ui::decodePicture(bad).empty()) << at << "=" << int(value);
  }
  Bytes bitfields24 = bgr24;
  bitfields24[30] = 3;  // BI_BITFIELDS is for 32-bit files only
  EXPECT_TRUE(ui::decodePicture(bitfields24).empty());
}

TEST(PicturePrefetch, DecodesEachNamedPictureOnceOffTheCallersThread) {
  const Bytes red = ui::encodeBmp(solid(3, 2, 0xFFFF0000));
  std::mutex mutex;
  std::vector<std::string> asked;
  std::set<std::thread::id> threads;
  ui::PicturePrefetch prefetch(
      [&](const char* name) {
        const std::lock_guard<std::mutex> lock(mutex);
        asked.push_back(name);
        threads.insert(std::this_thread::get_id());
        const std::string wanted = name;
        return wanted == "RED" ? red : wanted == "BAD" ? Bytes{'B', 'M', 1, 2} : Bytes{};
      },
      {"RED", "BAD", "RED", "MISSING"});

  const Image& got = prefetch.image("RED");
  EXPECT_EQ(got.width, 3);
  EXPECT_EQ(got.height, 2);
  EXPECT_EQ(got.at(2, 1), 0xFFFF0000u);
  EXPECT_TRUE(prefetch.image("BAD").empty());
  EXPECT_TRUE(prefetch.image("MISSING").empty());
  EXPECT_TRUE(prefetch.image("NEVER_NAMED").empty());
  EXPECT_EQ(asked, (std::vector<std::string>{"RED", "BAD", "MISSING"}));
  EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);
}

TEST(PixelOperations, CompositeAndStretch) {
  const Image halfRed = solid(1, 1, 0x80FF0000);
  expectNear(ui::compositeOver(halfRed, 0xFFFFFF).at(0, 0), 0xFFFF7F7F, 1);
  expectNear(ui::compositeOver(solid(1, 1, 0x00123456), 0x0000FF).at(0, 0), 0xFFFF0000, 0);
  expectNear(ui::compositeOver(solid(1, 1, 0xFF123456), 0x0000FF).at(0, 0), 0xFF123456, 0);
  expectNear(ui::compositeOver(solid(1, 1, 0x01123456), 0x0000FF).at(0, 0), 0xFFFE0000, 0);

  Image twoColours = solid(2, 1, 0xFF0000FF);
  twoColours.pixels[1] = 0xFFFF0000;
  const Image wide = ui::stretchTo(twoColours, 40, 10);
  ASSERT_EQ(wide.width, 40);
  ASSERT_EQ(wide.height, 10);
  expectNear(wide.at(0, 5), 0xFF0000FF, 0);
  expectNear(wide.at(39, 5), 0xFFFF0000, 0);
  EXPECT_TRUE(ui::stretchTo(Image{}, 10, 10).empty());
  const Image shrunk = ui::stretchTo(solid(1920, 1080, 0xFF336699), 402, 224);
  expectNear(shrunk.at(200, 100), 0xFF336699, 0);
}

TEST(AnimationScene, TransparencyWeighsTheBackgroundByPercentOf255) {
  EXPECT_EQ(ui::backgroundWeight(0), 0);
  EXPECT_EQ(ui::backgroundWeight(10), 25);
  EXPECT_EQ(ui::backgroundWeight(50), 127);
  EXPECT_EQ(ui::backgroundWeight(100), 255);
  EXPECT_EQ(ui::backgroundWeight(250), 255);
  EXPECT_EQ(ui::backgroundWeight(-5), 0);

  ui::AnimationScene scene;
  scene.width = 20;
  scene.height = 10;
  scene.background = solid(5, 5, 0xFF0000FF);
  const int id = scene.addLayer(0, 0, 20, 10, true);
  scene.findLayer(id)->picture = solid(2, 2, 0xFFFF0000);
  expectNear(ui::composeScene(scene).at(5, 5), 0xFFFF0000, 0);
  scene.findLayer(id)->transparencyPercent = 100;
  expectNear(ui::composeScene(scene).at(5, 5), 0xFF0000FF, 0);
  scene.findLayer(id)->transparencyPercent = 50;
  expectNear(ui::composeScene(scene).at(5, 5), 0xFF800080, 1);
  scene.findLayer(id)->visible = false;
  expectNear(ui::composeScene(scene).at(5, 5), 0xFF0000FF, 0);
}

TEST(ControlModelAnimationBox, LayerCaptureAndHandOver) {
  ui::ControlModel model;
  model.setHeight(ui::name::kSlideTemplate, model.height(ui::name::kSlideshow));
  model.setWidth(ui::name::kSlideTemplate, model.width(ui::name::kSlideshow));
  const int layer = model.createLayer(ui::name::kSlideshow, ui::name::kSlideTemplate, 0, 0, true);
  EXPECT_EQ(layer, 1);
  model.setPicture(ui::name::kSlideshow, encodeJpeg(solid(64, 36, 0xFF00C000)));
  // The template has no picture: the background shows through.
  Image shot = ui::decodePicture(model.captureArea(ui::name::kSlideshow, 0, 0, 402, 224));
  ASSERT_EQ(shot.width, 402);
  ASSERT_EQ(shot.height, 224);
  expectNear(shot.at(200, 100), 0xFF00C000, 10);

  model.setLayerPicture(ui::name::kSlideshow, layer, ui::encodeBmp(solid(8, 8, 0xFFFF0000)));
  shot = ui::decodePicture(model.captureArea(ui::name::kSlideshow, 0, 0, 402, 224));
  expectNear(shot.at(200, 100), 0xFFFF0000, 0);

  // Capture is clipped to the box.
  shot = ui::decodePicture(model.captureArea(ui::name::kSlideshow, 400, 220, 50, 50));
  EXPECT_EQ(shot.width, 2);
  EXPECT_EQ(shot.height, 4);

  // Undecodable bytes leave the background empty (white), not the old picture.
  model.setLayerTransparency(ui::name::kSlideshow, layer, 100);
  model.setPicture(ui::name::kSlideshow, Bytes{1, 2, 3});
  shot = ui::decodePicture(model.captureArea(ui::name::kSlideshow, 0, 0, 10, 10));
  expectNear(shot.at(5, 5), 0xFFFFFFFF, 0);
}

}  // namespace
