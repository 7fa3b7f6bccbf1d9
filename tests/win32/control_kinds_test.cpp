// The control kinds as they paint and answer the mouse on the real API:
// picture buttons' shapes, faces and clicks, see-through labels, the
// animation box's blending and captures, pictures that cannot be decoded,
// and the window's tiled background.

#include <cstdlib>
#include <cstring>

#include "tests/win32/launch_window_fixture.h"
#include "ui/control_names.h"
#include "ui/win32/gdi.h"

namespace {

using test::LaunchWindowTest;
using test::pump;
using test::renderWindow;
using test::rgb;
using ui::Event;

constexpr std::uint32_t kStartOrange = 0xF6AA16;
constexpr std::uint32_t kStartPressedOrange = 0xF67516;
// The start button's 140x40 faces sit centred in 152x48.
constexpr int kFaceLeft = 6;
constexpr int kFaceTop = 4;

LPARAM at(int x, int y) {
  return MAKELPARAM(x, y);
}

class ButtonTest : public LaunchWindowTest {
 protected:
  void click(HWND button, int x, int y) {
    SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, at(x, y));
    SendMessageA(button, WM_LBUTTONUP, 0, at(x, y));
    pump();
  }
  std::size_t clicks(const char* control) const { return eventsOf(control, Event::Clicked).size(); }
};

TEST_F(ButtonTest, StartButtonShapeLeavesOutItsWhitePixels) {
  HWND start = child(ui::name::kStartButton);
  ui::win32::Region shape(CreateRectRgn(0, 0, 0, 0));
  ASSERT_NE(GetWindowRgn(start, shape.get()), ERROR);
  // Outside the face, in the face's transparent corner, and its middle
  // orange part left of the caption.
  EXPECT_FALSE(PtInRegion(shape.get(), 0, 0));
  EXPECT_FALSE(PtInRegion(shape.get(), 151, 47));
  EXPECT_FALSE(PtInRegion(shape.get(), kFaceLeft, kFaceTop));
  EXPECT_FALSE(PtInRegion(shape.get(), kFaceLeft + 139, kFaceTop + 39));
  EXPECT_TRUE(PtInRegion(shape.get(), kFaceLeft + 10, kFaceTop + 20));
  EXPECT_TRUE(PtInRegion(shape.get(), kFaceLeft + 3, kFaceTop + 3));

  // Without a transparent colour the close button stays a rectangle.
  ui::win32::Region closeShape(CreateRectRgn(0, 0, 0, 0));
  EXPECT_EQ(GetWindowRgn(child(ui::name::kClose), closeShape.get()), ERROR);
  // The minimise button keeps only its minus sign of the normal face.
  ui::win32::Region minimiseShape(CreateRectRgn(0, 0, 0, 0));
  ASSERT_NE(GetWindowRgn(child(ui::name::kMinimise), minimiseShape.get()), ERROR);
  EXPECT_TRUE(PtInRegion(minimiseShape.get(), 10, 9));
  EXPECT_FALSE(PtInRegion(minimiseShape.get(), 10, 3));
}

TEST_F(ButtonTest, FaceFollowsThePressAndFallsBackToNormal) {
  HWND start = child(ui::name::kStartButton);
  const int x = kFaceLeft + 10;
  const int y = kFaceTop + 20;
  EXPECT_EQ(renderWindow(start).at(x, y), rgb(kStartOrange));

  // No pointer-over face: hovering shows the normal one.
  SendMessageA(start, WM_MOUSEMOVE, 0, at(x, y));
  EXPECT_EQ(renderWindow(start).at(x, y), rgb(kStartOrange));

  SendMessageA(start, WM_LBUTTONDOWN, MK_LBUTTON, at(x, y));
  EXPECT_EQ(GetCapture(), start);
  EXPECT_EQ(renderWindow(start).at(x, y), rgb(kStartPressedOrange));
  // Dragged off the button while held: not pressed any more.
  SendMessageA(start, WM_MOUSEMOVE, MK_LBUTTON, at(-20, y));
  EXPECT_EQ(renderWindow(start).at(x, y), rgb(kStartOrange));
  SendMessageA(start, WM_LBUTTONUP, 0, at(-20, y));
  EXPECT_NE(GetCapture(), start);
  pump();
  EXPECT_EQ(clicks(ui::name::kStartButton), 0u);  // released elsewhere

  // The close button has a pointer-over face of its own.
  HWND close = child(ui::name::kClose);
  const ui::Image before = renderWindow(close);
  SendMessageA(close, WM_MOUSEMOVE, 0, at(10, 10));
  EXPECT_NE(renderWindow(close).pixels, before.pixels);
  SendMessageA(close, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(renderWindow(close).pixels, before.pixels);
}

TEST_F(ButtonTest, PressAndReleaseOverTheButtonClicksIt) {
  HWND start = child(ui::name::kStartButton);
  click(start, kFaceLeft + 10, kFaceTop + 20);
  EXPECT_EQ(clicks(ui::name::kStartButton), 1u);
  // On a left-out pixel the press is not the button's.
  click(start, 1, 1);
  EXPECT_EQ(clicks(ui::name::kStartButton), 1u);

  click(child(ui::name::kClose), 10, 10);
  click(child(ui::name::kMinimise), 10, 9);
  click(child(ui::name::kShortcutButton), 50, 16);
  EXPECT_EQ(clicks(ui::name::kClose), 1u);
  EXPECT_EQ(clicks(ui::name::kMinimise), 1u);
  EXPECT_EQ(clicks(ui::name::kShortcutButton), 1u);
}

TEST_F(ButtonTest, DisabledStartButtonIgnoresClicksAndShowsItsNormalFace) {
  HWND start = child(ui::name::kStartButton);
  EXPECT_TRUE(window_.isEnabled(ui::name::kStartButton));
  window_.setEnabled(ui::name::kStartButton, false);
  EXPECT_FALSE(window_.isEnabled(ui::name::kStartButton));
  EXPECT_FALSE(IsWindowEnabled(start));
  click(start, kFaceLeft + 10, kFaceTop + 20);
  EXPECT_EQ(clicks(ui::name::kStartButton), 0u);
  // No disabled face: the normal one, and its shape.
  EXPECT_EQ(renderWindow(start).at(kFaceLeft + 10, kFaceTop + 20), rgb(kStartOrange));
  ui::win32::Region shape(CreateRectRgn(0, 0, 0, 0));
  ASSERT_NE(GetWindowRgn(start, shape.get()), ERROR);
  EXPECT_FALSE(PtInRegion(shape.get(), kFaceLeft, kFaceTop));
}

TEST_F(ButtonTest, ColourButtonFacesByStateAndItsCaption) {
  HWND shortcut = child(ui::name::kShortcutButton);
  EXPECT_EQ(window_.text(ui::name::kShortcutButton), "生成快捷方式");
  // Corners hold no caption: the face colour (0xFF8800 as COLORREF).
  EXPECT_EQ(renderWindow(shortcut).at(1, 1), rgb(0x0088FF));
  SendMessageA(shortcut, WM_MOUSEMOVE, 0, at(5, 5));
  EXPECT_EQ(renderWindow(shortcut).at(1, 1), rgb(0x0060C0));
  SendMessageA(shortcut, WM_MOUSELEAVE, 0, 0);
  SendMessageA(shortcut, WM_LBUTTONDOWN, MK_LBUTTON, at(5, 5));
  EXPECT_EQ(renderWindow(shortcut).at(1, 1), rgb(0x0060C0));
  SendMessageA(shortcut, WM_LBUTTONUP, 0, at(5, 5));

  // The caption is drawn on the face, whitest where its strokes are.
  const ui::Image face = renderWindow(shortcut);
  std::size_t caption = 0;
  std::size_t white = 0;
  for (std::uint32_t p : face.pixels) {
    caption += p != rgb(0x0088FF);
    white += p == rgb(0xFFFFFF);
  }
  EXPECT_GT(caption, 50u);
  EXPECT_GT(white, 0u);
}

// A row of pixels of `image` that the label's caption leaves alone, compared
// with the same place in what lies beneath.
void expectSameColumn(const ui::Image& label, int labelX, const ui::Image& beneath, int beneathX,
                      int beneathTop) {
  for (int y = 0; y < label.height; ++y) {
    ASSERT_EQ(label.at(labelX, y), beneath.at(beneathX, beneathTop + y)) << "row " << y;
  }
}

TEST_F(LaunchWindowTest, LinkLabelsShowTheBannerBeneathTheirWhiteCaptions) {
  const ui::Image banner = renderWindow(child(ui::name::kBanner));
  const ui::Image home = renderWindow(child(ui::name::kLinkHome));
  ASSERT_EQ(home.width, 73);
  ASSERT_EQ(home.height, 56);
  // The outer columns carry no caption: exactly the banner at 159, 12.
  expectSameColumn(home, 0, banner, 159, 12);
  expectSameColumn(home, 72, banner, 159 + 72, 12);
  std::size_t white = 0;
  for (std::uint32_t p : home.pixels)
    white += p == rgb(0xFFFFFF);
  EXPECT_GT(white, 10u);  // the caption

  window_.setCaptionColour(ui::name::kLinkHome, 0x0000FF);
  EXPECT_EQ(window_.captionColour(ui::name::kLinkHome), 0x0000FFu);
  const ui::Image red = renderWindow(child(ui::name::kLinkHome));
  std::size_t redPixels = 0;
  for (std::uint32_t p : red.pixels)
    redPixels += p == rgb(0xFF0000);
  EXPECT_GT(redPixels, 10u);
}

TEST_F(LaunchWindowTest, PercentageLabelStaysOverTheProgressBar) {
  window_.show();
  window_.setVisible(ui::name::kProgressBar, true);
  window_.setVisible(ui::name::kPercentLabel, true);
  window_.setPosition(ui::name::kProgressBar, 100);
  pump();
  const ui::Image bar = renderWindow(child(ui::name::kProgressBar));
  const ui::Image label = renderWindow(child(ui::name::kPercentLabel));
  // Label 342,238 over bar 193,235; its right end has no caption.
  expectSameColumn(label, 110, bar, 342 - 193 + 110, 238 - 235);

  // When the bar moves the label above it repaints from the new bar.
  window_.setPosition(ui::name::kProgressBar, 0);
  const ui::Image emptyBar = renderWindow(child(ui::name::kProgressBar));
  ASSERT_NE(emptyBar.at(342 - 193 + 110, 8), bar.at(342 - 193 + 110, 8));
  RECT dirty{};
  EXPECT_TRUE(GetUpdateRect(child(ui::name::kPercentLabel), &dirty, FALSE));
  const ui::Image relabelled = renderWindow(child(ui::name::kPercentLabel));
  expectSameColumn(relabelled, 110, emptyBar, 342 - 193 + 110, 238 - 235);
}

TEST_F(LaunchWindowTest, WindowBackgroundIsTiledFromTheTopLeft) {
  const ui::Image shown = renderWindow(window_.handle());
  const ui::Image picture =
      ui::compositeOver(ui::decodePicture(test::pictureFromFile("BACKGROUND")), 0xFFFFFF);
  ASSERT_EQ(picture.height, 370);
  for (int x : {0, 100, 596}) {
    EXPECT_EQ(shown.at(x, 5), picture.at(x, 5));
    // Rows 370..372 repeat the picture's top rows.
    EXPECT_EQ(shown.at(x, 370), picture.at(x, 0));
    EXPECT_EQ(shown.at(x, 372), picture.at(x, 2));
  }
}

TEST_F(LaunchWindowTest, PictureBoxesShowTheirPicturesAndDropUndecodableOnes) {
  // The banner at its natural size from the top-left corner.
  const ui::Image banner =
      ui::compositeOver(ui::decodePicture(test::pictureFromFile("BANNER")), 0xFFFFFF);
  const ui::Image shownBanner = renderWindow(child(ui::name::kBanner));
  EXPECT_EQ(shownBanner.at(300, 30), banner.at(300, 30));
  EXPECT_EQ(shownBanner.at(607, 30), rgb(0xFFFFFF));  // right of the 601 columns

  // The logo is stretched over the whole box.
  HWND logo = child(ui::name::kLogo);
  window_.setPicture(ui::name::kLogo, ui::encodeBmp(test::solidImage(4, 4, rgb(0x00FF00))));
  const ui::Image green = renderWindow(logo);
  EXPECT_EQ(green.at(0, 0), rgb(0x00FF00));
  EXPECT_EQ(green.at(111, 105), rgb(0x00FF00));

  window_.setPicture(ui::name::kLogo, {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'});
  const ui::Image cleared = renderWindow(logo);
  EXPECT_EQ(cleared.at(0, 0), rgb(0xFFFFFF));
  EXPECT_EQ(cleared.at(56, 53), rgb(0xFFFFFF));
  const base::Bytes whole = test::pictureFromFile("BANNER");
  ASSERT_GT(whole.size(), 100u);
  const base::Bytes truncated(whole.begin(), whole.begin() + 100);
  window_.setPicture(ui::name::kBanner, truncated);
  EXPECT_EQ(renderWindow(child(ui::name::kBanner)).at(300, 30), rgb(0xFFFFFF));
}

class AnimationBoxTest : public LaunchWindowTest {
 protected:
  void SetUp() override {
    LaunchWindowTest::SetUp();
    window_.setHeight(ui::name::kSlideTemplate, window_.height(ui::name::kSlideshow));
    window_.setWidth(ui::name::kSlideTemplate, window_.width(ui::name::kSlideshow));
    window_.setPicture(ui::name::kSlideshow, ui::encodeBmp(test::solidImage(8, 8, kBlue)));
    layer_ = window_.createLayer(ui::name::kSlideshow, ui::name::kSlideTemplate, 0, 0, true);
    window_.setLayerPicture(ui::name::kSlideshow, layer_,
                            ui::encodeBmp(test::solidImage(8, 8, kRed)));
  }

  std::uint32_t capturedPixel(int x, int y) {
    const ui::Image shot = ui::decodePicture(window_.captureArea(ui::name::kSlideshow, x, y, 1, 1));
    return shot.empty() ? 0 : shot.at(0, 0);
  }

  static constexpr std::uint32_t kBlue = rgb(0x0000FF);
  static constexpr std::uint32_t kRed = rgb(0xFF0000);
  int layer_ = 0;
};

TEST_F(AnimationBoxTest, LayersBlendWithTheBackgroundByTheirTransparency) {
  EXPECT_EQ(layer_, 1);
  EXPECT_EQ(capturedPixel(200, 100), kRed);
  window_.setLayerTransparency(ui::name::kSlideshow, layer_, 50);
  // Background weight 50 * 255 / 100 = 127: red 128, blue 127.
  EXPECT_EQ(capturedPixel(200, 100), rgb(0x80007F));
  window_.setLayerTransparency(ui::name::kSlideshow, layer_, 100);
  EXPECT_EQ(capturedPixel(200, 100), kBlue);
  window_.setLayerTransparency(ui::name::kSlideshow, layer_, 0);
  EXPECT_EQ(capturedPixel(401, 223), kRed);

  // What the box paints is what it captures.
  window_.setLayerTransparency(ui::name::kSlideshow, layer_, 30);
  EXPECT_EQ(renderWindow(child(ui::name::kSlideshow)).at(10, 10), capturedPixel(10, 10));
}

TEST_F(AnimationBoxTest, LayersTakeTheTemplatesSizeAndPlace) {
  window_.setWidth(ui::name::kSlideTemplate, 10);
  window_.setHeight(ui::name::kSlideTemplate, 5);
  const int small =
      window_.createLayer(ui::name::kSlideshow, ui::name::kSlideTemplate, 20, 30, true);
  EXPECT_EQ(small, 2);
  window_.setLayerPicture(ui::name::kSlideshow, small,
                          ui::encodeBmp(test::solidImage(1, 1, rgb(0x00FF00))));
  window_.setLayerTransparency(ui::name::kSlideshow, layer_, 100);
  EXPECT_EQ(capturedPixel(20, 30), rgb(0x00FF00));
  EXPECT_EQ(capturedPixel(29, 34), rgb(0x00FF00));
  EXPECT_EQ(capturedPixel(30, 34), kBlue);
  EXPECT_EQ(capturedPixel(29, 35), kBlue);

  // Hidden layers and layers without a picture show nothing.
  const int hidden =
      window_.createLayer(ui::name::kSlideshow, ui::name::kSlideTemplate, 0, 0, false);
  window_.setLayerPicture(ui::name::kSlideshow, hidden,
                          ui::encodeBmp(test::solidImage(1, 1, rgb(0xFFFF00))));
  window_.createLayer(ui::name::kSlideshow, ui::name::kSlideTemplate, 0, 0, true);
  EXPECT_EQ(capturedPixel(2, 2), kBlue);
}

TEST_F(AnimationBoxTest, CaptureIsA32BitBmpOfTheAskedAreaClippedToTheBox) {
  const base::Bytes bmp = window_.captureArea(ui::name::kSlideshow, 0, 0, 402, 224);
  ASSERT_GT(bmp.size(), 54u);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  BITMAPINFOHEADER header{};
  std::memcpy(&header, bmp.data() + sizeof(BITMAPFILEHEADER), sizeof header);
  EXPECT_EQ(header.biWidth, 402);
  EXPECT_EQ(std::abs(header.biHeight), 224);
  EXPECT_EQ(header.biBitCount, 32);

  // A capture becomes the layer's picture, as the slideshow does it.
  window_.setPicture(ui::name::kSlideshow, ui::encodeBmp(test::solidImage(2, 2, kBlue)));
  window_.setLayerPicture(ui::name::kSlideshow, layer_, bmp);
  EXPECT_EQ(capturedPixel(100, 100), kRed);

  const ui::Image clipped =
      ui::decodePicture(window_.captureArea(ui::name::kSlideshow, 390, 200, 50, 50));
  EXPECT_EQ(clipped.width, 12);
  EXPECT_EQ(clipped.height, 24);
  EXPECT_TRUE(window_.captureArea(ui::name::kSlideshow, 500, 0, 10, 10).empty());
}

TEST_F(AnimationBoxTest, UndecodablePicturesLeaveTheBoxEmpty) {
  window_.setLayerPicture(ui::name::kSlideshow, layer_, {0x42, 0x4D, 0x00});
  EXPECT_EQ(capturedPixel(5, 5), kBlue);
  window_.setPicture(ui::name::kSlideshow, {});
  EXPECT_EQ(capturedPixel(5, 5), rgb(0xFFFFFF));
  EXPECT_EQ(renderWindow(child(ui::name::kSlideshow)).at(5, 5), rgb(0xFFFFFF));
}

DWORD WINAPI fadeFromAnotherThread(void* window) {
  auto* launchWindow = static_cast<ui::win32::LaunchWindow*>(window);
  for (int step = 1; step <= 10; ++step) {
    launchWindow->setLayerTransparency(ui::name::kSlideshow, 1, step * 10);
    launchWindow->captureArea(ui::name::kSlideshow, 0, 0, 402, 224);
  }
  return 0;
}

TEST_F(AnimationBoxTest, SlideshowThreadCanWorkTheBoxWhileTheWindowPaints) {
  window_.show();
  HANDLE thread = CreateThread(nullptr, 0, &fadeFromAnotherThread, &window_, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  // Paint while the other thread works; it never waits for this thread.
  while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
    pump();
  }
  CloseHandle(thread);
  pump();
  EXPECT_EQ(capturedPixel(5, 5), kBlue);
  EXPECT_EQ(renderWindow(child(ui::name::kSlideshow)).at(5, 5), kBlue);
}

}  // namespace
