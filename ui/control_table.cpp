#include "ui/control_table.h"

#include <array>

#include "ui/control_names.h"

namespace ui {
namespace {

constexpr char kYaHei[] = "微软雅黑";
// The face and size of a Chinese system's default GUI font, named: the
// default font of any other system may have no Chinese glyphs.
constexpr char kSimSun[] = "宋体";
constexpr FontStyle kLinkFont{kYaHei, 16, kRegular};
constexpr FontStyle kPanelFont{kYaHei, 12, kBold};
constexpr FontStyle kDefaultFont{kSimSun, 12, kRegular};
constexpr Colorref kWhite = 0xFFFFFF;
constexpr Colorref kBlack = 0x000000;
constexpr Colorref kGrey = 0x808080;

constexpr ControlRow link(const char* name, int left, const char* caption) {
  return {.name = name,
          .kind = Kind::TransparentLabel,
          .parent = name::kBanner,
          .left = left,
          .top = 12,
          .width = 73,
          .height = 56,
          .text = caption,
          .font = kLinkFont,
          .caption = kWhite,
          .align = Align::Centre,
          .wordWrap = true};
}

constexpr ControlRow field(const char* name, int left, int top, int width, int height) {
  return {.name = name,
          .kind = Kind::EditBox,
          .left = left,
          .top = top,
          .width = width,
          .height = height,
          .caption = kBlack,
          .background = kWhite,
          .border = true};
}

constexpr ControlRow versionLabel(const char* name, int left, int top, const char* text) {
  return {.name = name,
          .kind = Kind::Label,
          .left = left,
          .top = top,
          .width = 64,
          .height = 32,
          .text = text,
          .font = kPanelFont,
          .caption = kWhite,
          .background = kGrey,
          .align = Align::Centre,
          .wordWrap = true};
}

constexpr ControlRow panelLabel(const char* name, int left, int width, const char* text) {
  return {.name = name,
          .kind = Kind::Label,
          .left = left,
          .top = 263,
          .width = width,
          .height = 24,
          .visible = false,
          .text = text,
          .font = kPanelFont,
          .caption = kBlack,
          .background = kWhite,
          .wordWrap = true};
}

constexpr std::array kControls = {
    // Banner and window buttons.
    ControlRow{.name = name::kBanner,
               .kind = Kind::PictureBox,
               .left = -3,
               .top = -12,
               .width = 608,
               .height = 112,
               .background = kWhite,
               .picture = "BANNER"},
    link(name::kLinkHome, 159, "首页"),
    link(name::kLinkVideo, 226, "VR视频"),
    link(name::kLinkGames, 299, "VR游戏"),
    link(name::kLinkSoftware, 380, "VR软件"),
    link(name::kLinkCommunity, 457, "VR社区"),
    ControlRow{.name = name::kMinimise,
               .kind = Kind::PictureButton,
               .left = 544,
               .top = 6,
               .width = 20,
               .height = 20,
               .images = {.normal = "MIN_NORMAL", .hover = "MIN_HOVER", .pressed = "MIN_HOVER"},
               .transparentColour = kWhite},
    ControlRow{
        .name = name::kClose,
        .kind = Kind::PictureButton,
        .left = 570,
        .top = 6,
        .width = 20,
        .height = 20,
        .images = {.normal = "CLOSE_NORMAL", .hover = "CLOSE_HOVER", .pressed = "CLOSE_HOVER"}},

    // Game column.
    ControlRow{.name = name::kLogo,
               .kind = Kind::PictureBox,
               .left = 32,
               .top = 108,
               .width = 112,
               .height = 106,
               .background = kWhite,
               .fit = Fit::Stretch},
    ControlRow{.name = name::kGameName,
               .kind = Kind::TransparentLabel,
               .left = 8,
               .top = 221,
               .width = 160,
               .height = 32,
               .text = "0000000000",
               .font = {kYaHei, 16, kBold},
               .caption = kBlack,
               .align = Align::Centre,
               .wordWrap = true},
    ControlRow{.name = name::kGameLanguage,
               .kind = Kind::TransparentLabel,
               .left = 12,
               .top = 266,
               .width = 168,
               .height = 17,
               .text = "游戏语言：",
               .font = kDefaultFont,
               .caption = kBlack,
               .wordWrap = true},
    ControlRow{.name = name::kGameDevices,
               .kind = Kind::TransparentLabel,
               .left = 12,
               .top = 288,
               .width = 168,
               .height = 17,
               .text = "游戏支持：",
               .font = kDefaultFont,
               .caption = kBlack,
               .wordWrap = true},
    ControlRow{.name = name::kShortcutButton,
               .kind = Kind::ColourButton,
               .left = 32,
               .top = 318,
               .width = 112,
               .height = 32,
               .text = "生成快捷方式",
               .font = kDefaultFont,
               .caption = kWhite,
               .face = 0xFF8800,
               .faceHover = 0xC06000,
               .facePressed = 0xC06000,
               .secondText = "生成快捷启动游戏方式"},

    // Start row.
    ControlRow{.name = name::kStartButton,
               .kind = Kind::PictureButton,
               .left = 180,
               .top = 315,
               .width = 152,
               .height = 48,
               .images = {.normal = "START_NORMAL", .pressed = "START_PRESSED"},
               .transparentColour = kWhite},
    ControlRow{.name = name::kLinkHelp,
               .kind = Kind::TransparentLabel,
               .left = 339,
               .top = 335,
               .width = 131,
               .height = 18,
               .text = "游戏报错/无法启动》",
               .font = {kSimSun, 14, kRegular},
               .caption = kGrey,
               .wordWrap = true},

    // Centre panel.
    ControlRow{.name = name::kSlideshow,
               .kind = Kind::AnimationBox,
               .left = 173,
               .top = 67,
               .width = 402,
               .height = 224,
               .fit = Fit::Stretch},
    ControlRow{.name = name::kSlideTemplate,
               .kind = Kind::AnimationObject,
               .left = 692,
               .top = 175,
               .width = 32,
               .height = 32,
               .visible = false},
    ControlRow{.name = name::kUpdateNotes,
               .kind = Kind::EditBox,
               .left = 172,
               .top = 67,
               .width = 402,
               .height = 224,
               .visible = false,
               .text = "11111111111",
               .font = {kYaHei, 14, kBold},
               .caption = kBlack,
               .background = kWhite,
               .multiLine = true,
               .readOnly = true},
    ControlRow{.name = name::kProgressBar,
               .kind = Kind::ProgressBar,
               .left = 193,
               .top = 235,
               .width = 368,
               .height = 21,
               .visible = false,
               .rangeMax = 100},
    ControlRow{.name = name::kPercentLabel,
               .kind = Kind::TransparentLabel,
               .left = 342,
               .top = 238,
               .width = 112,
               .height = 16,
               .visible = false,
               .text = "下载完成度",
               .font = kDefaultFont,
               .caption = kBlack,
               .wordWrap = true},
    panelLabel(name::kSpeedLabel, 189, 117, "下载速度"),
    panelLabel(name::kSizeLabel, 314, 120, "文件大小"),
    panelLabel(name::kReceivedLabel, 446, 128, "已下载"),

    // Named text fields outside the visible area.
    field(name::kStagingField, 648, 368, 64, 24),
    field(name::kUpdateDescription, 624, 56, 184, 29),
    field(name::kUpdateNote1, 625, 89, 183, 32),
    field(name::kUpdateNote2, 625, 128, 184, 32),
    field(name::kUpdateNote3, 625, 168, 184, 32),
    field(name::kUpdateNote4, 625, 208, 184, 32),
    field(name::kUpdateNote5, 625, 246, 184, 32),
    field(name::kUpdateTitle, 624, 280, 184, 32),
    versionLabel(name::kLocalVersionCaption, 816, 296, "本地版本："),
    versionLabel(name::kLatestVersionCaption, 816, 333, "最新版本："),
    versionLabel(name::kLocalVersion, 875, 296, "标签_系统版本"),
    versionLabel(name::kPublishedVersion, 874, 333, "标签_系统更新"),

    // Not visible.
    ControlRow{.name = name::kStatsTimer, .kind = Kind::Timer, .visible = false, .periodMs = 800},
    ControlRow{.name = name::kUnzipper, .kind = Kind::ZipObject, .visible = false},
};
static_assert(kControls.size() == 37);

// Children of the window only; the link labels, children of the banner,
// stack among themselves in table order.
constexpr std::array<const char*, 30> kStacking = {
    name::kStagingField,
    name::kPercentLabel,
    name::kProgressBar,
    name::kSpeedLabel,
    name::kSizeLabel,
    name::kReceivedLabel,
    name::kUpdateNotes,
    name::kSlideshow,
    name::kSlideTemplate,
    name::kUpdateTitle,
    name::kUpdateDescription,
    name::kUpdateNote5,
    name::kUpdateNote4,
    name::kUpdateNote3,
    name::kUpdateNote2,
    name::kUpdateNote1,
    name::kLatestVersionCaption,
    name::kLocalVersionCaption,
    name::kLocalVersion,
    name::kPublishedVersion,
    name::kGameLanguage,
    name::kClose,
    name::kLogo,
    name::kStartButton,
    name::kMinimise,
    name::kBanner,
    name::kLinkHelp,
    name::kGameDevices,
    name::kGameName,
    name::kShortcutButton,
};

constexpr WindowProperties kWindow{
    .title = "塔沃VR游戏启动器",
    .className = "塔沃VR游戏启动窗口",
    .width = 597,
    .height = 373,
    .background = kWhite,
    .backgroundPicture = "BACKGROUND",
    .icon = "DEFAULT_ICON",
};

}  // namespace

const WindowProperties& launchWindowProperties() {
  return kWindow;
}

std::span<const ControlRow> controlTable() {
  return kControls;
}

std::span<const char* const> stackingOrder() {
  return kStacking;
}

const ControlRow* findControl(std::string_view name) {
  for (const ControlRow& control : kControls) {
    if (name == control.name)
      return &control;
  }
  return nullptr;
}

Point windowPosition(const ControlRow& control) {
  Point p{control.left, control.top};
  if (control.parent != nullptr) {
    if (const ControlRow* parent = findControl(control.parent)) {
      const Point base = windowPosition(*parent);
      p.x += base.x;
      p.y += base.y;
    }
  }
  return p;
}

std::vector<const char*> windowPictureNames() {
  std::vector<const char*> names;
  auto add = [&names](const char* name) {
    if (name == nullptr)
      return;
    for (const char* known : names) {
      if (std::string_view(known) == name)
        return;
    }
    names.push_back(name);
  };
  add(kWindow.backgroundPicture);
  for (const ControlRow& row : kControls) {
    add(row.picture);
    add(row.images.normal);
    add(row.images.hover);
    add(row.images.pressed);
    add(row.images.disabled);
  }
  return names;
}

bool hasWindow(Kind kind) {
  return kind != Kind::AnimationObject && kind != Kind::Timer && kind != Kind::ZipObject;
}

bool createdAfterFirstFrame(const ControlRow& control) {
  if (!hasWindow(control.kind))
    return false;
  if (!control.visible)
    return true;
  const Point at = windowPosition(control);
  const WindowProperties& window = launchWindowProperties();
  return at.x >= window.width || at.y >= window.height || at.x + control.width <= 0 ||
         at.y + control.height <= 0;
}

}  // namespace ui
