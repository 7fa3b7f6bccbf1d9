#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "core/picture_file.h"
#include "core/slideshow.h"
#include "picture_support.h"
#include "test_support.h"
#include "ui/control_names.h"
#include "ui/image.h"

namespace {

using testing_support::LauncherTest;

std::string solidJpeg(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  const base::Bytes jpeg = testing_support::encodeJpeg(
      testing_support::solidImage(48, 27, 0xFF000000u | (r << 16) | (g << 8) | b));
  return std::string(jpeg.begin(), jpeg.end());
}

// The colour a viewer would see in the middle of the slideshow box.
std::uint32_t shownColour(ui::ControlModel& controls) {
  const ui::Image shot =
      ui::decodePicture(controls.captureArea(ui::name::kSlideshow, 0, 0, 402, 224));
  return shot.empty() ? 0 : shot.at(201, 112) & 0xFFFFFF;
}

bool near(std::uint32_t a, std::uint32_t b) {
  for (int shift : {0, 8, 16}) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (d > 12 || d < -12)
      return false;
  }
  return true;
}

class SlideshowTest : public LauncherTest {
 protected:
  void SetUp() override {
    LauncherTest::SetUp();
    controls.setWidth(ui::name::kSlideTemplate, 402);
    controls.setHeight(ui::name::kSlideTemplate, 224);
    state().slideshow.overlay =
        controls.createLayer(ui::name::kSlideshow, ui::name::kSlideTemplate, 0, 0, true);
  }

  // Runs the slideshow with instant waits, recording what a viewer sees at
  // each hold and during each fade, until `cycles` holds have passed.
  void run(int cycles) {
    int holds = 0;
    core::runSlideshow({os.files, os.process, controls, state().slideshow}, [&](int ms) {
      waits.push_back(ms);
      if (ms == 30) {
        fadeSteps.push_back(
            controls.state(ui::name::kSlideshow).scene.layers[0].transparencyPercent);
        if (fadeSteps.size() % 10 == 5)
          midFade.push_back(shownColour(controls));
        return true;
      }
      held.push_back(shownColour(controls));
      return ++holds < cycles;
    });
  }

  std::vector<int> waits;
  std::vector<int> fadeSteps;
  std::vector<std::uint32_t> held;
  std::vector<std::uint32_t> midFade;
};

TEST_F(SlideshowTest, CyclesThroughThePicturesInFolderOrderAndWraps) {
  writeFile("tavoro/a.jpg", solidJpeg(255, 0, 0));
  writeFile("tavoro/b.jpg", solidJpeg(0, 0, 255));
  writeFile("tavoro/c.jpg", solidJpeg(0, 200, 0));
  writeFile("tavoro/notes.txt", "not a picture");
  run(4);
  const auto order = os.files.findFiles(os.process.directory + "\\tavoro\\", "*.jpg");
  ASSERT_EQ(order.size(), 3u);
  std::map<std::string, std::uint32_t> colourOf = {
      {"a.jpg", 0xFF0000}, {"b.jpg", 0x0000FF}, {"c.jpg", 0x00C800}};
  ASSERT_EQ(held.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(near(held[i], colourOf[order[i % 3]])) << i << ": " << std::hex << held[i];
  }
  // Each cycle: ten fade steps of 30 ms with 10..100 percent, then the hold.
  ASSERT_EQ(waits.size(), 44u);
  EXPECT_EQ(std::vector<int>(waits.begin(), waits.begin() + 11),
            (std::vector<int>{30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 5000}));
  EXPECT_EQ(std::vector<int>(fadeSteps.begin(), fadeSteps.begin() + 10),
            (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
  // In the second cycle the captured first picture fades over the second.
  const std::uint32_t first = colourOf[order[0]], second = colourOf[order[1]];
  ASSERT_GE(midFade.size(), 2u);
  EXPECT_FALSE(near(midFade[1], first));
  EXPECT_FALSE(near(midFade[1], second));
  // The pictures stay in memory as their file bytes.
  EXPECT_EQ(state().slideshow.pictures.size(), 3u);
}

TEST_F(SlideshowTest, UpperCaseNamesAreFoundAndOnePictureStaysSteady) {
  writeFile("tavoro/PIC.JPG", solidJpeg(255, 255, 0));
  run(3);
  ASSERT_EQ(held.size(), 3u);
  for (std::uint32_t colour : held)
    EXPECT_TRUE(near(colour, 0xFFFF00)) << std::hex << colour;
  for (std::size_t i = 10; i < midFade.size(); ++i)
    EXPECT_TRUE(near(midFade[i], 0xFFFF00));
}

TEST_F(SlideshowTest, NoPictureShowsNothingAndBadFilesShowAnEmptyBox) {
  std::filesystem::create_directory(runDir() / "tavoro" / "folder.jpg");
  run(3);
  EXPECT_TRUE(waits.empty());
  EXPECT_TRUE(controls.state(ui::name::kSlideshow).scene.background.empty());

  writeFile("tavoro/bad.jpg", "this is no JPEG at all");
  std::filesystem::create_symlink(runDir() / "nowhere", runDir() / "tavoro" / "gone.jpg");
  writeFile("tavoro/cut.jpg", solidJpeg(9, 9, 9).substr(0, 200));
  run(4);
  EXPECT_EQ(state().slideshow.pictures.size(), 3u);
  ASSERT_EQ(held.size(), 4u);
  for (std::uint32_t colour : held)
    EXPECT_EQ(colour, 0xFFFFFFu) << std::hex << colour;
}

TEST_F(SlideshowTest, APictureFileBeyondTheBudgetIsNotRead) {
  writeFile("tavoro/huge.jpg", solidJpeg(9, 9, 9));
  std::filesystem::resize_file(runDir() / "tavoro" / "huge.jpg", core::kMaxPictureFileBytes + 1);
  run(1);
  ASSERT_EQ(state().slideshow.pictures.size(), 1u);
  EXPECT_TRUE(state().slideshow.pictures[0].empty());
}

TEST_F(SlideshowTest, TheThreadStopsDuringAFadeAndTheExitCleanupWaitsForIt) {
  writeFile("tavoro/a.jpg", solidJpeg(255, 0, 0));
  launcher->slideshow().start();
  // Wait until the first picture is up, then end the program at once.
  for (int i = 0; i < 500 && !near(shownColour(controls), 0xFF0000); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_TRUE(launcher->slideshow().running());
  EXPECT_TRUE(launcher->exitCleanup().run());
  EXPECT_FALSE(launcher->slideshow().running()) << "stopped before the pictures went";
  EXPECT_TRUE(state().slideshow.pictures.empty());
  launcher->slideshow().stop();  // a second stop is harmless
}

TEST_F(SlideshowTest, TheThreadFadesThePictureFullyInAndAStopCutsTheHoldShort) {
  writeFile("tavoro/a.jpg", solidJpeg(255, 0, 0));
  // A previous picture under the overlay: the new one shows only once faded in.
  controls.setLayerPicture(ui::name::kSlideshow, state().slideshow.overlay,
                           ui::encodeBmp(testing_support::solidImage(402, 224, 0xFF0000FF)));
  launcher->slideshow().start();
  for (int i = 0; i < 1500 && !near(shownColour(controls), 0xFF0000); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ASSERT_TRUE(near(shownColour(controls), 0xFF0000)) << "all ten fade steps ran";
  // The five-second hold begins once the last 30 ms step is over.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto before = std::chrono::steady_clock::now();
  launcher->slideshow().stop();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(2500))
      << "the stop wakes the hold instead of sitting it out";
  EXPECT_EQ(controls.state(ui::name::kSlideshow).scene.layers[0].transparencyPercent, 100);
}

}  // namespace
