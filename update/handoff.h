#pragma once

// After the download: the package moved into place, unpacked into the
// launcher's folder, and the hand-over to the new launcher, or the offer of
// the help page and the package for unpacking by hand.

#include <string>
#include <string_view>

#include "ui/event_bindings.h"

namespace update {

inline constexpr char kNoNewLauncherQuestion[] =
    "未发现[塔沃VR最新启动端]\r\n是否打开塔沃VR的帮助界面？";
inline constexpr char kOpenPackageMessage[] =
    "即将打开更新压缩包文件,手动把文件释放在对应的游戏根目录中.";
inline constexpr char kOpenPackageTitle[] = "更新包打开提示";

// Moves the finished download into place, unpacks it and hands over.
void completeUpdate();

// Acts on a progress of 100: starts the new launcher and removes this one,
// or asks about the help page. Smaller values do nothing.
void handOff(int percent);

// The unpacker's progress event.
void onUnpackProgress(const ui::EventArgs& args);

// True when `path` starts with a drive letter, holds ":\" (or ":/") and
// names a file rather than a folder.
bool isFullFilePath(std::string_view path);
bool moveIfValid(const std::string& source, const std::string& destination);

// The last component of a path as the shell finds it: after the last "\",
// "/" or ":" that is followed by more than a separator.
std::string_view lastPathComponent(std::string_view path);

}  // namespace update
