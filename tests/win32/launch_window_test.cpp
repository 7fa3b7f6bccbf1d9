// The Launch window on the real Windows API: the window's own properties,
// where every control is, how they stack, their fonts and focus, the text
// operations, and how events reach the bindings.

#include <algorithm>
#include <cstring>
#include <set>

#include "platform/win32/win32_services.h"
#include "tests/win32/launch_window_fixture.h"
#include "ui/control_names.h"
#include "ui/control_table.h"
#include "ui/win32/gdi.h"

namespace {

using test::LaunchWindowTest;
using test::pump;
using test::recordedEvents;
using ui::Event;
using ui::Kind;

bool isWindowKind(Kind kind) {
  return kind != Kind::AnimationObject && kind != Kind::Timer && kind != Kind::ZipObject;
}

TEST_F(LaunchWindowTest, WindowIsBorderlessCentredAndHiddenUntilShown) {
  HWND w = window_.handle();
  ASSERT_NE(w, nullptr);

  char className[64] = {};
  GetClassNameA(w, className, sizeof className);
  EXPECT_STREQ(className, "塔沃VR游戏启动窗口");
  char title[64] = {};
  GetWindowTextA(w, title, sizeof title);
  EXPECT_STREQ(title, "塔沃VR游戏启动器");

  const auto classStyle = static_cast<UINT>(GetClassLongA(w, GCL_STYLE));
  EXPECT_EQ(classStyle & (CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS),
            static_cast<UINT>(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS));
  EXPECT_EQ(reinterpret_cast<HGDIOBJ>(GetClassLongPtrA(w, GCLP_HBRBACKGROUND)),
            GetStockObject(NULL_BRUSH));

  const auto style = static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE));
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_TRUE(style & WS_CLIPCHILDREN);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_EQ(style & WS_CAPTION, 0u);
  EXPECT_FALSE(style & WS_SYSMENU);
  EXPECT_FALSE(style & WS_THICKFRAME);
  const auto exStyle = static_cast<DWORD>(GetWindowLongA(w, GWL_EXSTYLE));
  EXPECT_TRUE(exStyle & WS_EX_APPWINDOW);
  EXPECT_FALSE(exStyle & WS_EX_TOPMOST);

  RECT r{};
  GetWindowRect(w, &r);
  EXPECT_EQ(r.right - r.left, 597);
  EXPECT_EQ(r.bottom - r.top, 373);
  EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 597) / 2);
  EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 373) / 2);
  RECT client{};
  GetClientRect(w, &client);
  EXPECT_EQ(client.right, 597);
  EXPECT_EQ(client.bottom, 373);

  EXPECT_FALSE(IsWindowVisible(w));
  window_.show();
  EXPECT_TRUE(IsWindowVisible(w));
}

TEST_F(LaunchWindowTest, RoundedCornersCutOnlyTheCornersOfTheWindow) {
  HWND w = window_.handle();
  window_.roundWindowCorners(20, 20);
  ui::win32::Region shape(CreateRectRgn(0, 0, 0, 0));
  ASSERT_NE(GetWindowRgn(w, shape.get()), ERROR);
  EXPECT_FALSE(PtInRegion(shape.get(), 0, 0));
  EXPECT_FALSE(PtInRegion(shape.get(), 596, 0));
  EXPECT_FALSE(PtInRegion(shape.get(), 596, 372));
  EXPECT_TRUE(PtInRegion(shape.get(), 298, 0));
  EXPECT_TRUE(PtInRegion(shape.get(), 0, 186));
  EXPECT_TRUE(PtInRegion(shape.get(), 5, 5));
  EXPECT_TRUE(PtInRegion(shape.get(), 298, 186));
}

// A picture 597x373 whose top-left 10x10 pixels are white: cut away.
base::Bytes pictureWithWhiteCorner() {
  ui::Image image = test::solidImage(597, 373, test::rgb(0x336699));
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 10; ++x)
      image.pixels[static_cast<std::size_t>(y) * image.width + x] = test::rgb(0xFFFFFF);
  }
  return ui::encodeBmp(image);
}

TEST_F(LaunchWindowTest, TheLastShapeGivenBeforeTheShowingIsTheOneShown) {
  HWND w = window_.handle();
  window_.shapeWindowFromPicture(pictureWithWhiteCorner(), 0xFFFFFF);
  window_.show();
  ui::win32::Region cut(CreateRectRgn(0, 0, 0, 0));
  ASSERT_NE(GetWindowRgn(w, cut.get()), ERROR);
  EXPECT_FALSE(PtInRegion(cut.get(), 5, 5));
  EXPECT_TRUE(PtInRegion(cut.get(), 12, 5));
  EXPECT_TRUE(PtInRegion(cut.get(), 300, 200));

  // After the showing a shape takes effect at once; corners replace it.
  window_.roundWindowCorners(4, 4);
  window_.shapeWindowFromPicture(pictureWithWhiteCorner(), 0xFFFFFF);
  ASSERT_NE(GetWindowRgn(w, cut.get()), ERROR);
  EXPECT_FALSE(PtInRegion(cut.get(), 5, 5));
}

TEST_F(LaunchWindowTest, CornersRoundedBeforeTheShowingReplaceAnEarlierPictureShape) {
  HWND w = window_.handle();
  window_.shapeWindowFromPicture(pictureWithWhiteCorner(), 0xFFFFFF);
  window_.roundWindowCorners(4, 4);
  window_.show();
  ui::win32::Region shape(CreateRectRgn(0, 0, 0, 0));
  ASSERT_NE(GetWindowRgn(w, shape.get()), ERROR);
  EXPECT_TRUE(PtInRegion(shape.get(), 5, 5));
  EXPECT_FALSE(PtInRegion(shape.get(), 0, 0));
}

TEST_F(LaunchWindowTest, CreatedEventRunsOnceBeforeTheWindowIsShown) {
  const auto created = eventsOf(ui::kWindow, Event::Created);
  ASSERT_EQ(created.size(), 1u);
  EXPECT_FALSE(created[0].windowShown);
  // By then every control exists: the start-up sequence fills them. The 34
  // windows are the 37 controls less the animation object, timer and ZIP.
  EXPECT_EQ(created[0].childWindows, 34);
  window_.show();
  pump();
  EXPECT_EQ(eventsOf(ui::kWindow, Event::Created).size(), 1u);
}

TEST_F(LaunchWindowTest, EveryControlStandsAtItsPlaceWithItsSizeAndVisibility) {
  HWND banner = child(ui::name::kBanner);
  ASSERT_NE(banner, nullptr);
  RECT client{};
  GetClientRect(window_.handle(), &client);
  for (const ui::ControlRow& row : ui::controlTable()) {
    SCOPED_TRACE(row.name);
    HWND control = child(row.name);
    if (!isWindowKind(row.kind)) {
      EXPECT_EQ(control, nullptr);
      continue;
    }
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(GetParent(control), row.parent != nullptr ? banner : window_.handle());
    const RECT place = placeOf(control);
    EXPECT_EQ(place.left, row.left);
    EXPECT_EQ(place.top, row.top);
    EXPECT_EQ(place.right - place.left, row.width);
    EXPECT_EQ(place.bottom - place.top, row.height);
    EXPECT_EQ(window_.isVisible(row.name), row.visible);
    EXPECT_EQ(window_.width(row.name), row.width);
    EXPECT_EQ(window_.height(row.name), row.height);

    // In window coordinates: the named fields lie outside, never seen.
    RECT inWindow{};
    GetWindowRect(control, &inWindow);
    MapWindowPoints(HWND_DESKTOP, window_.handle(), reinterpret_cast<POINT*>(&inWindow), 2);
    const ui::Point expected = ui::windowPosition(row);
    EXPECT_EQ(inWindow.left, expected.x);
    EXPECT_EQ(inWindow.top, expected.y);
    if (row.left >= 597) {
      RECT common;
      EXPECT_FALSE(IntersectRect(&common, &inWindow, &client));
    }
  }
}

TEST_F(LaunchWindowTest, LinkLabelsLieInTheBannerAtTheirWindowPositions) {
  RECT home{};
  GetWindowRect(child(ui::name::kLinkHome), &home);
  MapWindowPoints(HWND_DESKTOP, window_.handle(), reinterpret_cast<POINT*>(&home), 2);
  EXPECT_EQ(home.left, 156);
  EXPECT_EQ(home.top, 0);
  RECT community{};
  GetWindowRect(child(ui::name::kLinkCommunity), &community);
  MapWindowPoints(HWND_DESKTOP, window_.handle(), reinterpret_cast<POINT*>(&community), 2);
  EXPECT_EQ(community.left, 454);
  EXPECT_EQ(community.top, 0);
}

// Position of each child of `parent` from the top of the stacking order.
std::vector<HWND> stackOf(HWND parent) {
  std::vector<HWND> order;
  for (HWND w = GetWindow(parent, GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
    order.push_back(w);
  }
  return order;
}

TEST_F(LaunchWindowTest, ChildrenStackAsTheTableOrdersThem) {
  const std::vector<HWND> stack = stackOf(window_.handle());
  std::vector<std::ptrdiff_t> positions;
  for (const char* name : ui::stackingOrder()) {
    HWND w = child(name);
    if (w == nullptr)
      continue;
    const auto found = std::find(stack.begin(), stack.end(), w);
    ASSERT_NE(found, stack.end()) << name;
    positions.push_back(found - stack.begin());
  }
  EXPECT_EQ(positions.size(), 29u);  // the order less the animation object
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));

  // The pairs the layout relies on.
  auto above = [&](const char* upper, const char* lower) {
    const auto a = std::find(stack.begin(), stack.end(), child(upper));
    const auto b = std::find(stack.begin(), stack.end(), child(lower));
    return a < b;
  };
  EXPECT_TRUE(above(ui::name::kPercentLabel, ui::name::kProgressBar));
  EXPECT_TRUE(above(ui::name::kSpeedLabel, ui::name::kUpdateNotes));
  EXPECT_TRUE(above(ui::name::kUpdateNotes, ui::name::kSlideshow));
  EXPECT_TRUE(above(ui::name::kClose, ui::name::kBanner));
  EXPECT_TRUE(above(ui::name::kMinimise, ui::name::kBanner));

  const std::vector<HWND> links = stackOf(child(ui::name::kBanner));
  const std::vector<HWND> expected = {child(ui::name::kLinkHome), child(ui::name::kLinkVideo),
                                      child(ui::name::kLinkGames), child(ui::name::kLinkSoftware),
                                      child(ui::name::kLinkCommunity)};
  EXPECT_EQ(links, expected);
}

LOGFONTA fontOf(HWND control) {
  LOGFONTA font{};
  auto handle = reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0));
  EXPECT_NE(handle, nullptr);
  EXPECT_EQ(GetObjectA(handle, sizeof font, &font), static_cast<int>(sizeof font));
  return font;
}

TEST_F(LaunchWindowTest, ControlsUseTheirTableFonts) {
  struct ExpectedFont {
    const char* control;
    LONG height;
    LONG weight;
    const char* face;
  };
  const ExpectedFont expectedFonts[] = {
      {ui::name::kLinkHome, -16, 400, "微软雅黑"},
      {ui::name::kGameName, -16, 700, "微软雅黑"},
      {ui::name::kUpdateNotes, -14, 700, "微软雅黑"},
      {ui::name::kSpeedLabel, -12, 700, "微软雅黑"},
      // Named, so that a system whose default font lacks Chinese glyphs
      // still draws them.
      {ui::name::kLinkHelp, -14, 400, "宋体"},
      {ui::name::kGameLanguage, -12, 400, "宋体"},
      {ui::name::kShortcutButton, -12, 400, "宋体"},
      {ui::name::kPercentLabel, -12, 400, "宋体"},
  };
  for (const ExpectedFont& expected : expectedFonts) {
    const LOGFONTA font = fontOf(child(expected.control));
    EXPECT_EQ(font.lfHeight, expected.height) << expected.control;
    EXPECT_EQ(font.lfWeight, expected.weight) << expected.control;
    EXPECT_EQ(font.lfCharSet, GB2312_CHARSET) << expected.control;
    EXPECT_STREQ(font.lfFaceName, expected.face) << expected.control;
  }

  // A field no one sees keeps the platform's default GUI font.
  EXPECT_EQ(SendMessageA(child(ui::name::kStagingField), WM_GETFONT, 0, 0),
            reinterpret_cast<LPARAM>(GetStockObject(DEFAULT_GUI_FONT)));
  // Equal font styles share one font object.
  EXPECT_EQ(SendMessageA(child(ui::name::kLinkHome), WM_GETFONT, 0, 0),
            SendMessageA(child(ui::name::kLinkCommunity), WM_GETFONT, 0, 0));
}

TEST_F(LaunchWindowTest, OnlyEditBoxesTheSlideshowAndTheShortcutButtonTakeTabStops) {
  for (const ui::ControlRow& row : ui::controlTable()) {
    HWND control = child(row.name);
    if (control == nullptr)
      continue;
    const bool tabStop = (GetWindowLongA(control, GWL_STYLE) & WS_TABSTOP) != 0;
    const bool wanted = row.kind == Kind::EditBox || row.kind == Kind::AnimationBox ||
                        row.kind == Kind::ColourButton;
    EXPECT_EQ(tabStop, wanted) << row.name;
  }
}

TEST_F(LaunchWindowTest, TabMovesTheFocusAlongTheTabStops) {
  window_.show();
  HWND shortcut = child(ui::name::kShortcutButton);
  SetFocus(shortcut);
  ASSERT_EQ(GetFocus(), shortcut);
  std::set<HWND> visited;
  for (int press = 0; press < 20; ++press) {
    PostMessageA(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
      platform::win32::dispatchMessage(message);
    visited.insert(GetFocus());
  }
  EXPECT_TRUE(visited.count(child(ui::name::kSlideshow))) << "the slideshow takes the focus";
  EXPECT_TRUE(visited.count(shortcut)) << "and it comes round again";
  EXPECT_GT(visited.size(), 2u) << "the edit boxes take part";
}

// The system edit control draws a border of WS_BORDER itself, inside.
bool hasBorder(HWND control) {
  const ui::Image shown = test::renderWindow(control);
  return !shown.empty() && shown.at(0, shown.height / 2) != test::rgb(0xFFFFFF);
}

TEST_F(LaunchWindowTest, EditBoxesTakeTheirStylesFromTheTable) {
  HWND notesBox = child(ui::name::kUpdateNotes);
  const auto notes = static_cast<DWORD>(GetWindowLongA(notesBox, GWL_STYLE));
  EXPECT_TRUE(notes & ES_MULTILINE);
  EXPECT_TRUE(notes & ES_READONLY);
  EXPECT_FALSE(notes & (WS_VSCROLL | WS_HSCROLL));
  EXPECT_FALSE(notes & ES_AUTOHSCROLL);  // lines wrap at the box's width
  EXPECT_FALSE(hasBorder(notesBox));

  HWND fieldBox = child(ui::name::kStagingField);
  const auto field = static_cast<DWORD>(GetWindowLongA(fieldBox, GWL_STYLE));
  EXPECT_FALSE(field & ES_MULTILINE);
  EXPECT_FALSE(field & ES_READONLY);
  EXPECT_TRUE(hasBorder(fieldBox));
}

TEST_F(LaunchWindowTest, TextsRoundTripAsCodePage936) {
  EXPECT_EQ(window_.text(ui::name::kGameName), "0000000000");
  EXPECT_EQ(window_.text(ui::name::kGameLanguage), "游戏语言：");
  EXPECT_EQ(window_.text(ui::name::kUpdateNotes), "11111111111");
  EXPECT_EQ(window_.text(ui::name::kStagingField), "");

  const std::string chinese = "语言:简体中文 & 英文";
  for (const char* control : {ui::name::kGameLanguage, ui::name::kPublishedVersion,
                              ui::name::kUpdateNote3, ui::name::kUpdateNotes}) {
    window_.setText(control, chinese);
    EXPECT_EQ(window_.text(control), chinese) << control;
  }
  // A view into a longer text: only the view is taken.
  const std::string longer = "5.1<br>";
  window_.setText(ui::name::kUpdateTitle, std::string_view(longer).substr(0, 3));
  EXPECT_EQ(window_.text(ui::name::kUpdateTitle), "5.1");
  window_.setText(ui::name::kUpdateTitle, "");
  EXPECT_EQ(window_.text(ui::name::kUpdateTitle), "");
}

TEST_F(LaunchWindowTest, UnknownNamesAndKindsWithoutAnOperationAreIgnored) {
  window_.setText("没有这个控件", "x");
  EXPECT_EQ(window_.text("没有这个控件"), "");
  EXPECT_FALSE(window_.isVisible("没有这个控件"));
  EXPECT_FALSE(window_.isEnabled("没有这个控件"));
  EXPECT_EQ(window_.width("没有这个控件"), 0);
  EXPECT_EQ(window_.createLayer("没有这个控件", ui::name::kSlideTemplate, 0, 0, true), 0);
  EXPECT_EQ(window_.createLayer(ui::name::kSlideshow, ui::name::kLogo, 0, 0, true), 0);
  EXPECT_TRUE(window_.captureArea("没有这个控件", 0, 0, 10, 10).empty());
  window_.postNotice("没有这个控件", 1, 2);
  window_.setPicture("没有这个控件", {1, 2, 3});
  window_.setPosition(ui::name::kGameName, 50);
  window_.setLayerTransparency(ui::name::kSlideshow, 99, 50);
  window_.setLayerPicture(ui::name::kSlideshow, 99, {});

  // A picture box has no caption to set.
  window_.setText(ui::name::kBanner, "横幅");
  EXPECT_EQ(window_.text(ui::name::kBanner), "");
  pump();
  EXPECT_TRUE(eventsOf("没有这个控件", Event::Feedback).empty());
}

TEST_F(LaunchWindowTest, EveryReadOfANameWithoutItsControlGivesItsOwnNone) {
  constexpr const char* kNone = "没有这个控件";
  // A label is no animation box: box reads of it answer as of no control.
  for (const char* name : {kNone, ui::name::kGameName}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(window_.boxWidth(name), 0);
    EXPECT_EQ(window_.boxHeight(name), 0);
    EXPECT_TRUE(window_.captureArea(name, 0, 0, 10, 10).empty());
  }
  EXPECT_EQ(window_.height(kNone), 0);
  EXPECT_EQ(window_.position(kNone), 0);
  EXPECT_EQ(window_.captionColour(kNone), ui::kNoColour);
  // Changes to no control change nothing, and the real ones still answer.
  window_.setWidth(kNone, 5);
  window_.setHeight(kNone, 5);
  window_.setEnabled(kNone, false);
  window_.setCaptionColour(kNone, 0x123456);
  window_.setBoxPicture(kNone, {1, 2, 3});
  window_.setBoxPicture(ui::name::kGameName, {1, 2, 3});
  EXPECT_GT(window_.boxWidth(ui::name::kSlideshow), 0);
  EXPECT_EQ(window_.width(ui::name::kSlideshow), window_.boxWidth(ui::name::kSlideshow));
}

TEST_F(LaunchWindowTest, VisibilityAndSizesCanBeChanged) {
  EXPECT_FALSE(window_.isVisible(ui::name::kProgressBar));
  window_.setVisible(ui::name::kProgressBar, true);
  EXPECT_TRUE(window_.isVisible(ui::name::kProgressBar));
  window_.setVisible(ui::name::kStartButton, false);
  EXPECT_FALSE(window_.isVisible(ui::name::kStartButton));

  window_.setWidth(ui::name::kLogo, 50);
  window_.setHeight(ui::name::kLogo, 40);
  EXPECT_EQ(window_.width(ui::name::kLogo), 50);
  EXPECT_EQ(window_.height(ui::name::kLogo), 40);

  // The animation object is no window; its size is a record.
  window_.setHeight(ui::name::kSlideTemplate, 224);
  window_.setWidth(ui::name::kSlideTemplate, 402);
  EXPECT_EQ(window_.width(ui::name::kSlideTemplate), 402);
  EXPECT_EQ(window_.height(ui::name::kSlideTemplate), 224);
}

TEST_F(LaunchWindowTest, ProgressBarKeepsItsPositionWithinItsRange) {
  EXPECT_EQ(window_.position(ui::name::kProgressBar), 0);
  window_.setPosition(ui::name::kProgressBar, 42);
  EXPECT_EQ(window_.position(ui::name::kProgressBar), 42);
  window_.setPosition(ui::name::kProgressBar, 150);
  EXPECT_EQ(window_.position(ui::name::kProgressBar), 100);
  window_.setPosition(ui::name::kProgressBar, -5);
  EXPECT_EQ(window_.position(ui::name::kProgressBar), 0);
}

TEST_F(LaunchWindowTest, NoticesRunTheFeedbackEventInPostingOrder) {
  window_.postNotice(ui::name::kPublishedVersion, 1000, 5);
  window_.postNotice(ui::name::kPublishedVersion, 2000, 37);
  window_.postNotice(ui::name::kPublishedVersion, -1, 100);
  // Queued, not run at once.
  EXPECT_TRUE(eventsOf(ui::name::kPublishedVersion, Event::Feedback).empty());
  pump();
  const auto feedback = eventsOf(ui::name::kPublishedVersion, Event::Feedback);
  ASSERT_EQ(feedback.size(), 3u);
  EXPECT_EQ(feedback[0].args.first, 1000);
  EXPECT_EQ(feedback[0].args.second, 5);
  EXPECT_EQ(feedback[1].args.first, 2000);
  EXPECT_EQ(feedback[1].args.second, 37);
  EXPECT_EQ(feedback[2].args.first, -1);
  EXPECT_EQ(feedback[2].args.second, 100);

  // System controls answer notices as well.
  window_.postNotice(ui::name::kStagingField, 7, 8);
  window_.postNotice(ui::name::kProgressBar, 9, 10);
  pump();
  ASSERT_EQ(eventsOf(ui::name::kStagingField, Event::Feedback).size(), 1u);
  EXPECT_EQ(eventsOf(ui::name::kProgressBar, Event::Feedback).at(0).args.second, 10);
}

DWORD WINAPI postFiftyNotices(void* window) {
  auto* launchWindow = static_cast<ui::win32::LaunchWindow*>(window);
  for (int i = 0; i < 50; ++i)
    launchWindow->postNotice(ui::name::kPublishedVersion, i, i * 2);
  return 0;
}

TEST_F(LaunchWindowTest, NoticesFromAnotherThreadArriveOnTheWindowsThread) {
  HANDLE thread = CreateThread(nullptr, 0, &postFiftyNotices, &window_, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  pump();
  const auto feedback = eventsOf(ui::name::kPublishedVersion, Event::Feedback);
  ASSERT_EQ(feedback.size(), 50u);
  for (int i = 0; i < 50; ++i)
    EXPECT_EQ(feedback[i].args.first, i);
}

TEST_F(LaunchWindowTest, TheStatisticsTimerTicksThroughTheBindings) {
  // Waits for the first tick (800 ms) by messages, not by a fixed sleep.
  const DWORD start = GetTickCount();
  while (eventsOf(ui::name::kStatsTimer, Event::TimerTick).empty() &&
         GetTickCount() - start < 10000) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    pump();
  }
  EXPECT_FALSE(eventsOf(ui::name::kStatsTimer, Event::TimerTick).empty());
}

// A close request is the handler's to act on: it ends the program, or,
// while an update changes the game folder, defers the close, and the window
// stays until the outcome. Closing the window ends the message loop.
TEST_F(LaunchWindowTest, ACloseRequestIsTheHandlersAndClosingEndsTheMessageLoop) {
  window_.show();
  PostMessageA(window_.handle(), WM_CLOSE, 0, 0);
  pump();
  EXPECT_EQ(eventsOf(ui::kWindow, Event::CloseRequested).size(), 1u);
  ASSERT_NE(window_.handle(), nullptr) << "a handler that returns keeps the window";
  EXPECT_TRUE(IsWindowVisible(window_.handle()));
  window_.closeWindow();
  EXPECT_EQ(window_.runMessageLoop(), 0);
  EXPECT_EQ(window_.handle(), nullptr);
  // Operations after the end do nothing.
  window_.setText(ui::name::kGameName, "x");
  EXPECT_EQ(window_.text(ui::name::kGameName), "");
}

// The launcher's own way: the controls the first frame does not show get
// their windows in show(), after the window is on screen.
class FirstFrameFirstTest : public LaunchWindowTest {
 protected:
  ui::win32::Creation creation() const override { return ui::win32::Creation::FirstFrameFirst; }
};

TEST_F(FirstFrameFirstTest, TheHiddenAndOutlyingControlsFollowTheFirstShowing) {
  const auto created = eventsOf(ui::kWindow, Event::Created);
  ASSERT_EQ(created.size(), 1u);
  // The 34 windows less the twelve named fields and the six of the panel.
  EXPECT_EQ(created[0].childWindows, 16);
  for (const ui::ControlRow& row : ui::controlTable()) {
    if (isWindowKind(row.kind)) {
      EXPECT_EQ(child(row.name) == nullptr, ui::createdAfterFirstFrame(row)) << row.name;
    }
  }

  window_.show();
  std::vector<std::ptrdiff_t> positions;
  const std::vector<HWND> stack = stackOf(window_.handle());
  for (const char* name : ui::stackingOrder()) {
    SCOPED_TRACE(name);
    const ui::ControlRow& row = *ui::findControl(name);
    if (!isWindowKind(row.kind))
      continue;
    HWND control = child(name);
    ASSERT_NE(control, nullptr);
    const RECT place = placeOf(control);
    EXPECT_EQ(place.left, row.left);
    EXPECT_EQ(place.top, row.top);
    EXPECT_EQ(window_.isVisible(name), row.visible);
    EXPECT_NE(SendMessageA(control, WM_GETFONT, 0, 0), 0);
    positions.push_back(std::find(stack.begin(), stack.end(), control) - stack.begin());
  }
  EXPECT_EQ(positions.size(), 29u);
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
  EXPECT_EQ(static_cast<int>(stack.size()), 29);

  // They work as the others do.
  window_.setText(ui::name::kUpdateTitle, "Launcher2.exe");
  EXPECT_EQ(window_.text(ui::name::kUpdateTitle), "Launcher2.exe");
  window_.setPosition(ui::name::kProgressBar, 40);
  EXPECT_EQ(window_.position(ui::name::kProgressBar), 40);
}

TEST_F(FirstFrameFirstTest, NothingBeforeTheFirstFrameLoadsTheDllsOnlyAClickNeeds) {
  // Not COM: once a window of the process was active (an earlier test's),
  // Wine's input methods have brought it in by themselves.
  for (const char* dll : {"wininet.dll", "ws2_32.dll", "shell32.dll"}) {
    EXPECT_EQ(GetModuleHandleA(dll), nullptr) << dll;
  }
}

TEST_F(LaunchWindowTest, BackgroundPictureBytesAreThePngCarried) {
  const base::Bytes bytes = window_.windowBackgroundPicture();
  ASSERT_GT(bytes.size(), 8u);
  EXPECT_EQ(std::memcmp(bytes.data(), "\x89PNG", 4), 0);
  EXPECT_EQ(bytes, test::pictureFromFile("BACKGROUND"));
}

}  // namespace
