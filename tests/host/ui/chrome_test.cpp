#include "ui/chrome.h"
#include "app/event_bindings.h"
#include "test_support.h"
#include "ui/control_names.h"

namespace {

using testing_support::LauncherTest;
using LinkTest = LauncherTest;

TEST_F(LinkTest, EachLabelOpensItsKeyGreyWhileOpeningThenItsColour) {
  writeConfig(
      "[http]\nhome=http://example.invalid/h\nVIDEO=http://example.invalid/v\n"
      "resource=C:\\Games\nsoftware=notepad\nbbs=http://example.invalid/b\n"
      "diy=http://example.invalid/help?q=1\n");
  const std::vector<std::pair<const char*, std::string>> expected = {
      {ui::name::kLinkHome, "http://example.invalid/h"},
      {ui::name::kLinkVideo, "http://example.invalid/v"},
      {ui::name::kLinkGames, "C:\\Games"},
      {ui::name::kLinkSoftware, "notepad"},
      {ui::name::kLinkCommunity, "http://example.invalid/b"},
      {ui::name::kLinkHelp, "http://example.invalid/help?q=1"},
  };
  std::vector<ui::Colorref> colourWhileOpening;
  std::string pressed;
  os.shell.duringOpen = [&](const std::string&) {
    colourWhileOpening.push_back(controls.captionColour(pressed));
  };
  for (const auto& [label, address] : expected) {
    pressed = label;
    app::Handler handler = app::findHandler(label, ui::Event::LeftButtonDown);
    ASSERT_NE(handler, nullptr) << label;
    handler(*launcher, {10, 10, 1});
    EXPECT_EQ(os.shell.opened.back(), address);
    EXPECT_EQ(controls.captionColour(label),
              std::string(label) == ui::name::kLinkHelp ? 0x0000FFu : 0xFFFFFFu);
  }
  EXPECT_EQ(colourWhileOpening, std::vector<ui::Colorref>(6, 0xC0C0C0));
}

TEST_F(LinkTest, TheAddressIsReadAfreshAndMissingOnesAreOpenedEmpty) {
  app::Handler help = app::findHandler(ui::name::kLinkHelp, ui::Event::LeftButtonDown);
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(controls.captionColour(ui::name::kLinkHelp), 0x808080u);
  help(*launcher, {});
  writeConfig("[http]\ndiy=http://example.invalid/one\n");
  help(*launcher, {});
  writeConfig("[http]\ndiy=http://example.invalid/two\n");
  help(*launcher, {});
  EXPECT_EQ(os.shell.opened, (std::vector<std::string>{"", "http://example.invalid/one",
                                                       "http://example.invalid/two"}));
  EXPECT_EQ(controls.captionColour(ui::name::kLinkHelp), 0x0000FFu);
  EXPECT_TRUE(os.messageBoxes.calls.empty());
}

// Presses on boxes, plain labels and the bar move the window; whatever
// answers a click or takes text keeps the press.
TEST(Chrome, WhichKindsDragTheWindow) {
  using ui::Kind;
  const std::pair<Kind, bool> rows[] = {
      {Kind::PictureBox, true},  {Kind::PictureButton, false},    {Kind::ColourButton, false},
      {Kind::Label, true},       {Kind::TransparentLabel, false}, {Kind::EditBox, false},
      {Kind::ProgressBar, true}, {Kind::AnimationBox, true},      {Kind::AnimationObject, false},
      {Kind::Timer, false},      {Kind::ZipObject, false}};
  for (const auto& [kind, drags] : rows)
    EXPECT_EQ(ui::dragsWindow(kind), drags) << static_cast<int>(kind);
}

}  // namespace
