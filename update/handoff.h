#pragma once

// After the download: the package moved into place, unpacked into the
// launcher's folder, and the hand-over to the new launcher, or the offer of
// the help page and the package for unpacking by hand.

#include <string>

#include "core/program.h"
#include "update/update_state.h"

namespace update {

inline constexpr char kNoNewLauncherQuestion[] =
    "未发现[塔沃VR最新启动端]\r\n是否打开塔沃VR的帮助界面？";
inline constexpr char kOpenPackageMessage[] =
    "即将打开更新压缩包文件,手动把文件释放在对应的游戏根目录中.";
inline constexpr char kOpenPackageTitle[] = "更新包打开提示";

// Moves the finished download into place, unpacks it and hands over; the
// unpacker's progress goes to the ZIP object's event.
void completeUpdate(core::Context& ctx, UpdateState& state);

// Refuses the release the page announced: says so, and the start button
// works again.
void refuseRelease(core::Context& ctx);

// Acts on a progress of 100: starts the new launcher and removes this one,
// or asks about the help page. Smaller values do nothing.
void handOff(core::Context& ctx, UpdateState& state, int percent);

// Moves the file when `destination` is a full file path.
bool moveIfValid(platform::Files& files, const std::string& source, const std::string& destination);

}  // namespace update
