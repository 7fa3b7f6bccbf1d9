#pragma once

// The Launch window's control names, as the rest of the launcher refers to
// them. The texts are the names; the identifiers only help C++ catch typos.

namespace ui::name {

// Banner and window buttons.
inline constexpr char kBanner[] = "塔沃VRUI1";
inline constexpr char kLinkHome[] = "塔沃VR首页";
inline constexpr char kLinkVideo[] = "VR视频";
inline constexpr char kLinkGames[] = "VR游戏";
inline constexpr char kLinkSoftware[] = "VR软件";
inline constexpr char kLinkCommunity[] = "VR社区";
inline constexpr char kMinimise[] = "最小化";
inline constexpr char kClose[] = "关闭软件";

// Game column.
inline constexpr char kLogo[] = "游戏LOGO";
inline constexpr char kGameName[] = "VR游戏名称";
inline constexpr char kGameLanguage[] = "VR游戏语言";
inline constexpr char kGameDevices[] = "VR游戏设备支持";
inline constexpr char kShortcutButton[] = "创建游戏快捷方式";

// Start row.
inline constexpr char kStartButton[] = "塔沃VR游戏开始";
inline constexpr char kLinkHelp[] = "游戏无法启动";

// Centre panel.
inline constexpr char kSlideshow[] = "图片轮播1";
inline constexpr char kSlideTemplate[] = "动画物体1";
inline constexpr char kUpdateNotes[] = "塔沃VR游戏更新说明";
inline constexpr char kProgressBar[] = "进度条_下载进度";
inline constexpr char kPercentLabel[] = "下载百分比";
inline constexpr char kSpeedLabel[] = "下载速度";
inline constexpr char kSizeLabel[] = "更新文件大小";
inline constexpr char kReceivedLabel[] = "已完成大小1";

// Named text fields outside the visible area.
inline constexpr char kStagingField[] = "编辑框1";
inline constexpr char kUpdateDescription[] = "编辑框_更新内容";
inline constexpr char kUpdateNote1[] = "编辑框_更新内容1";
inline constexpr char kUpdateNote2[] = "编辑框_更新内容2";
inline constexpr char kUpdateNote3[] = "编辑框_更新内容3";
inline constexpr char kUpdateNote4[] = "编辑框_更新内容4";
inline constexpr char kUpdateNote5[] = "编辑框_更新内容5";
inline constexpr char kUpdateTitle[] = "编辑框_更新内容6";
inline constexpr char kLocalVersionCaption[] = "本地版本";
inline constexpr char kLatestVersionCaption[] = "最新版本";
inline constexpr char kLocalVersion[] = "标签_系统版本";
inline constexpr char kPublishedVersion[] = "标签_系统更新";

// Not visible.
inline constexpr char kStatsTimer[] = "塔沃vr时间计算";
inline constexpr char kUnzipper[] = "塔沃VRZIP压缩1";

}  // namespace ui::name
