#include "ui/chrome.h"

#include <array>

#include "ui/control_names.h"

namespace ui {
namespace {

constexpr Colorref kWhite = 0xFFFFFF;
constexpr Colorref kRed = 0x0000FF;

constexpr std::array kLinks = {
    LinkLabel{name::kLinkHome, "Home", kWhite},
    LinkLabel{name::kLinkVideo, "video", kWhite},
    LinkLabel{name::kLinkGames, "resource", kWhite},
    LinkLabel{name::kLinkSoftware, "software", kWhite},
    LinkLabel{name::kLinkCommunity, "bbs", kWhite},
    LinkLabel{name::kLinkHelp, "diy", kRed},
};

}  // namespace

std::span<const LinkLabel> linkLabels() {
  return kLinks;
}

bool dragsWindow(Kind kind) {
  return kind == Kind::PictureBox || kind == Kind::Label || kind == Kind::ProgressBar ||
         kind == Kind::AnimationBox;
}

}  // namespace ui
