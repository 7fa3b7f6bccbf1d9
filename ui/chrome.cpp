#include "ui/chrome.h"

#include <array>

#include "core/config.h"
#include "core/program.h"
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

void openLink(const LinkLabel& link) {
  core::Context& ctx = core::context();
  // The grey shows while the shell works, so the label is redrawn at once.
  ctx.controls->setCaptionColour(link.label, kLinkOpeningColour);
  ctx.os.shell->open(core::readConfigValue("http", link.key));
  ctx.controls->setCaptionColour(link.label, link.afterOpening);
}

void onMinimiseClicked(const EventArgs&) {
  core::context().controls->minimiseWindow();
}

void onCloseClicked(const EventArgs&) {
  core::endProgram();
}

bool dragsWindow(Kind kind) {
  return kind == Kind::PictureBox || kind == Kind::Label || kind == Kind::ProgressBar ||
         kind == Kind::AnimationBox;
}

}  // namespace ui
