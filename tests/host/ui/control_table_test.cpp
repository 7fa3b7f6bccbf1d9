#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

#include "ui/control_names.h"
#include "ui/control_table.h"
#include "ui/host/control_model.h"
#include "ui/host/window_model.h"

namespace {

using ui::Kind;

TEST(ControlTable, HoldsThirtySevenUniquelyNamedControls) {
  std::set<std::string> names;
  for (const ui::ControlRow& c : ui::controlTable())
    names.insert(c.name);
  EXPECT_EQ(ui::controlTable().size(), 37u);
  EXPECT_EQ(names.size(), 37u);
  for (const ui::ControlRow& c : ui::controlTable()) {
    if (c.parent != nullptr) {
      EXPECT_NE(ui::findControl(c.parent), nullptr) << c.name;
    }
  }
}

TEST(ControlTable, LinkLabelsSitInTheBannerAtTheirWindowPlaces) {
  const ui::Point home = ui::windowPosition(*ui::findControl(ui::name::kLinkHome));
  const ui::Point community = ui::windowPosition(*ui::findControl(ui::name::kLinkCommunity));
  EXPECT_EQ(home.x, 156);
  EXPECT_EQ(home.y, 0);
  EXPECT_EQ(community.x, 454);
  EXPECT_EQ(community.y, 0);
  int links = 0;
  for (const ui::ControlRow& c : ui::controlTable()) {
    if (c.parent != nullptr) {
      ++links;
      EXPECT_STREQ(c.parent, ui::name::kBanner);
      EXPECT_EQ(c.kind, Kind::TransparentLabel);
    }
  }
  EXPECT_EQ(links, 5);
}

TEST(ControlTable, TwelveNamedFieldsLieOutsideTheWindowAndAreNeverSeen) {
  int outside = 0;
  for (const ui::ControlRow& c : ui::controlTable()) {
    if (c.kind == Kind::Timer || c.kind == Kind::ZipObject || c.kind == Kind::AnimationObject) {
      continue;
    }
    if (c.left >= ui::launchWindowProperties().width) {
      ++outside;
      EXPECT_TRUE(c.kind == Kind::EditBox || c.kind == Kind::Label) << c.name;
    } else {
      EXPECT_LT(c.left + std::min(c.width, 1), ui::launchWindowProperties().width) << c.name;
    }
  }
  EXPECT_EQ(outside, 12);
}

TEST(ControlTable, OnlyTheUpdatePanelAndTheTemplateStartHidden) {
  const std::set<std::string> expected = {
      ui::name::kSlideTemplate, ui::name::kUpdateNotes, ui::name::kProgressBar,
      ui::name::kPercentLabel,  ui::name::kSpeedLabel,  ui::name::kSizeLabel,
      ui::name::kReceivedLabel, ui::name::kStatsTimer,  ui::name::kUnzipper};
  std::set<std::string> hidden;
  for (const ui::ControlRow& c : ui::controlTable()) {
    if (!c.visible)
      hidden.insert(c.name);
  }
  EXPECT_EQ(hidden, expected);
}

TEST(ControlTable, OnlyTheNamedFieldsAndTheHiddenPanelWaitForTheFirstFrame) {
  const std::set<std::string> expected = {ui::name::kStagingField,
                                          ui::name::kUpdateDescription,
                                          ui::name::kUpdateNote1,
                                          ui::name::kUpdateNote2,
                                          ui::name::kUpdateNote3,
                                          ui::name::kUpdateNote4,
                                          ui::name::kUpdateNote5,
                                          ui::name::kUpdateTitle,
                                          ui::name::kLocalVersionCaption,
                                          ui::name::kLocalVersion,
                                          ui::name::kLatestVersionCaption,
                                          ui::name::kPublishedVersion,
                                          ui::name::kUpdateNotes,
                                          ui::name::kProgressBar,
                                          ui::name::kPercentLabel,
                                          ui::name::kSpeedLabel,
                                          ui::name::kSizeLabel,
                                          ui::name::kReceivedLabel};
  std::set<std::string> late;
  for (const ui::ControlRow& c : ui::controlTable()) {
    if (ui::createdAfterFirstFrame(c))
      late.insert(c.name);
  }
  EXPECT_EQ(late, expected);

  // The model holds them back as the window does before it is first shown.
  ui::ControlModel controls;
  controls.setFirstFrameOnly(true);
  EXPECT_THROW(controls.text(ui::name::kUpdateTitle), std::logic_error);
  EXPECT_THROW(controls.setVisible(ui::name::kProgressBar, true), std::logic_error);
  EXPECT_NO_THROW(controls.setText(ui::name::kGameName, "x"));
  EXPECT_NO_THROW(controls.setHeight(ui::name::kSlideTemplate, 4));
  controls.setFirstFrameOnly(false);
  EXPECT_EQ(controls.text(ui::name::kUpdateTitle), "");
}

TEST(ControlTable, TheWindowsPicturesAreItsBackgroundAndTheTablesEachOnce) {
  const std::vector<const char*> names = ui::windowPictureNames();
  const std::set<std::string> unique(names.begin(), names.end());
  EXPECT_EQ(unique.size(), names.size());
  EXPECT_EQ(unique, (std::set<std::string>{"BACKGROUND", "BANNER", "MIN_NORMAL", "MIN_HOVER",
                                           "CLOSE_NORMAL", "CLOSE_HOVER", "START_NORMAL",
                                           "START_PRESSED"}));
}

TEST(ControlTable, StackingListsEveryChildOfTheWindowOnce) {
  std::set<std::string> stacked;
  for (const char* name : ui::stackingOrder()) {
    EXPECT_TRUE(stacked.insert(name).second) << name;
    const ui::ControlRow* c = ui::findControl(name);
    ASSERT_NE(c, nullptr) << name;
    EXPECT_EQ(c->parent, nullptr) << name;
  }
  for (const ui::ControlRow& c : ui::controlTable()) {
    const bool windowChild =
        c.parent == nullptr && c.kind != Kind::Timer && c.kind != Kind::ZipObject;
    EXPECT_EQ(stacked.count(c.name) == 1, windowChild) << c.name;
  }
  // The percentage stays readable over the bar; the panel lies over the notes.
  auto rank = [](const char* name) {
    const auto order = ui::stackingOrder();
    return std::find_if(order.begin(), order.end(),
                        [&](const char* n) { return std::string(n) == name; }) -
           order.begin();
  };
  EXPECT_LT(rank(ui::name::kPercentLabel), rank(ui::name::kProgressBar));
  EXPECT_LT(rank(ui::name::kProgressBar), rank(ui::name::kUpdateNotes));
  EXPECT_LT(rank(ui::name::kUpdateNotes), rank(ui::name::kSlideshow));
  EXPECT_LT(rank(ui::name::kClose), rank(ui::name::kBanner));
  EXPECT_LT(rank(ui::name::kMinimise), rank(ui::name::kBanner));
}

TEST(ControlTable, FontsAndColoursAreTheTablesOwn) {
  const ui::ControlRow& name = *ui::findControl(ui::name::kGameName);
  EXPECT_STREQ(name.font.face, "微软雅黑");
  EXPECT_EQ(name.font.height, 16);
  EXPECT_EQ(name.font.weight, ui::kBold);
  const ui::ControlRow& help = *ui::findControl(ui::name::kLinkHelp);
  EXPECT_STREQ(help.font.face, "宋体");
  EXPECT_EQ(help.font.height, 14);
  EXPECT_EQ(help.caption, 0x808080u);
  const ui::ControlRow& shortcut = *ui::findControl(ui::name::kShortcutButton);
  EXPECT_EQ(shortcut.face, 0xFF8800u);
  EXPECT_EQ(shortcut.faceHover, 0xC06000u);
  EXPECT_EQ(shortcut.facePressed, 0xC06000u);
  const ui::ControlRow& start = *ui::findControl(ui::name::kStartButton);
  EXPECT_EQ(start.transparentColour, 0xFFFFFFu);
  EXPECT_EQ(start.images.hover, nullptr);
  EXPECT_EQ(start.images.disabled, nullptr);
  EXPECT_EQ(ui::findControl(ui::name::kClose)->transparentColour, ui::kNoColour);
  EXPECT_EQ(ui::findControl(ui::name::kStatsTimer)->periodMs, 800);
  EXPECT_STREQ(ui::launchWindowProperties().title, "塔沃VR游戏启动器");
  EXPECT_STREQ(ui::launchWindowProperties().className, "塔沃VR游戏启动窗口");
}

// Every place and size as the layout fixes them: one digit off moves a
// control over its neighbour or into view.
TEST(ControlTable, PlacesAndSizesAreTheLayoutsOwn) {
  namespace n = ui::name;
  struct Row {
    const char* name;
    int left, top, width, height, fontHeight, fontWeight;
  };
  constexpr int kR = ui::kRegular;
  constexpr int kB = ui::kBold;
  const Row rows[] = {
      {n::kBanner, -3, -12, 608, 112, 0, kR},
      {n::kLinkHome, 159, 12, 73, 56, 16, kR},
      {n::kLinkVideo, 226, 12, 73, 56, 16, kR},
      {n::kLinkGames, 299, 12, 73, 56, 16, kR},
      {n::kLinkSoftware, 380, 12, 73, 56, 16, kR},
      {n::kLinkCommunity, 457, 12, 73, 56, 16, kR},
      {n::kMinimise, 544, 6, 20, 20, 0, kR},
      {n::kClose, 570, 6, 20, 20, 0, kR},
      {n::kLogo, 32, 108, 112, 106, 0, kR},
      {n::kGameName, 8, 221, 160, 32, 16, kB},
      {n::kGameLanguage, 12, 266, 168, 17, 12, kR},
      {n::kGameDevices, 12, 288, 168, 17, 12, kR},
      {n::kShortcutButton, 32, 318, 112, 32, 12, kR},
      {n::kStartButton, 180, 315, 152, 48, 0, kR},
      {n::kLinkHelp, 339, 335, 131, 18, 14, kR},
      {n::kSlideshow, 173, 67, 402, 224, 0, kR},
      {n::kSlideTemplate, 692, 175, 32, 32, 0, kR},
      {n::kUpdateNotes, 172, 67, 402, 224, 14, kB},
      {n::kProgressBar, 193, 235, 368, 21, 0, kR},
      {n::kPercentLabel, 342, 238, 112, 16, 12, kR},
      {n::kSpeedLabel, 189, 263, 117, 24, 12, kB},
      {n::kSizeLabel, 314, 263, 120, 24, 12, kB},
      {n::kReceivedLabel, 446, 263, 128, 24, 12, kB},
      {n::kStagingField, 648, 368, 64, 24, 0, kR},
      {n::kUpdateDescription, 624, 56, 184, 29, 0, kR},
      {n::kUpdateNote1, 625, 89, 183, 32, 0, kR},
      {n::kUpdateNote2, 625, 128, 184, 32, 0, kR},
      {n::kUpdateNote3, 625, 168, 184, 32, 0, kR},
      {n::kUpdateNote4, 625, 208, 184, 32, 0, kR},
      {n::kUpdateNote5, 625, 246, 184, 32, 0, kR},
      {n::kUpdateTitle, 624, 280, 184, 32, 0, kR},
      {n::kLocalVersionCaption, 816, 296, 64, 32, 12, kB},
      {n::kLatestVersionCaption, 816, 333, 64, 32, 12, kB},
      {n::kLocalVersion, 875, 296, 64, 32, 12, kB},
      {n::kPublishedVersion, 874, 333, 64, 32, 12, kB},
  };
  for (const Row& row : rows) {
    const ui::ControlRow* control = ui::findControl(row.name);
    ASSERT_NE(control, nullptr) << row.name;
    EXPECT_EQ(control->left, row.left) << row.name;
    EXPECT_EQ(control->top, row.top) << row.name;
    EXPECT_EQ(control->width, row.width) << row.name;
    EXPECT_EQ(control->height, row.height) << row.name;
    EXPECT_EQ(control->font.height, row.fontHeight) << row.name;
    EXPECT_EQ(control->font.weight, row.fontWeight) << row.name;
  }
  EXPECT_EQ(ui::launchWindowProperties().width, 597);
  EXPECT_EQ(ui::launchWindowProperties().height, 373);
}

// A font left to the system may have no Chinese glyphs (a Western
// Windows's default GUI font has none): every control that shows a text
// names its face and size.
TEST(ControlTable, EveryCaptionHasANamedFont) {
  int captions = 0;
  for (const ui::ControlRow& row : ui::controlTable()) {
    if (row.text == nullptr || *row.text == '\0')
      continue;
    ++captions;
    EXPECT_NE(row.font.face, nullptr) << row.name;
    EXPECT_GT(row.font.height, 0) << row.name;
  }
  EXPECT_GE(captions, 10);
  const ui::ControlRow& language = *ui::findControl(ui::name::kGameLanguage);
  EXPECT_STREQ(language.font.face, "宋体");
  EXPECT_EQ(language.font.height, 12);
  EXPECT_EQ(language.font.weight, ui::kRegular);
}

TEST(ControlTable, NamesAreCodePage936Bytes) {
  // 塔 is CB FE in code page 936.
  const std::string banner = ui::name::kBanner;
  ASSERT_GE(banner.size(), 2u);
  EXPECT_EQ(static_cast<unsigned char>(banner[0]), 0xCBu);
  EXPECT_EQ(static_cast<unsigned char>(banner[1]), 0xFEu);
}

}  // namespace

namespace {

// The slideshow and the download engine work from threads of their own:
// what they may call must never need the window's thread, and the rest
// must say so loudly when called from elsewhere.
TEST(ControlThreads, OnlyNoticesAndTheAnimationBoxMayBeWorkedFromAnotherThread) {
#ifdef NDEBUG
  GTEST_SKIP() << "the check is an assertion of debug builds";
#else
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ui::ControlModel controls;
  std::thread([&controls] {
    controls.postNotice(ui::name::kPublishedVersion, 2, 0);
    controls.setBoxPicture(ui::name::kSlideshow, {});
    controls.setLayerTransparency(ui::name::kSlideshow, 1, 50);
    controls.captureArea(ui::name::kSlideshow, 0, 0, controls.boxWidth(ui::name::kSlideshow),
                         controls.boxHeight(ui::name::kSlideshow));
  }).join();
  EXPECT_EQ(controls.pendingNotices(), 1u);
  EXPECT_DEATH(std::thread([&controls] { controls.setText(ui::name::kGameName, "x"); }).join(),
               "window-thread");
  EXPECT_DEATH(std::thread([&controls] { controls.width(ui::name::kSlideshow); }).join(),
               "window-thread");
#endif
}

// The window's own operations are the window thread's alone, every one.
TEST(ControlThreads, NoOperationOnTheWholeWindowMayComeFromAnotherThread) {
#ifdef NDEBUG
  GTEST_SKIP() << "the check is an assertion of debug builds";
#else
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ui::WindowModel window;
  const std::function<void(ui::WindowOps&)> operations[] = {
      [](ui::WindowOps& w) { w.windowBackgroundPicture(); },
      [](ui::WindowOps& w) { w.shapeWindowFromPicture({}, 0); },
      [](ui::WindowOps& w) { w.roundWindowCorners(15, 15); },
      [](ui::WindowOps& w) { w.minimiseWindow(); },
      [](ui::WindowOps& w) { w.closeWindow(); },
  };
  for (std::size_t i = 0; i < std::size(operations); ++i) {
    SCOPED_TRACE(i);
    EXPECT_DEATH(std::thread([&] { operations[i](window); }).join(), "window-thread");
    operations[i](window);  // on the window's thread: fine
  }
  EXPECT_TRUE(window.closed());
  EXPECT_EQ(window.minimiseCount(), 1);
#endif
}

}  // namespace
