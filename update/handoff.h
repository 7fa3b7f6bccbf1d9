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
// The game holds files of the update: it waits for the next start.
inline constexpr char kUpdateDeferred[] =
    "游戏正在运行,部分文件被占用,暂时无法更新.\r\n关闭游戏后重新打开启动器,即可自动完成更新.";
// The new launcher ended at once with an error: the old files are back.
inline constexpr char kNewLauncherFailed[] = "新版启动器无法启动,已恢复为原来的版本.";
// The update could not be written (no space, no right to write).
inline constexpr char kUpdateNotWritten[] = "更新文件无法写入游戏目录,已保留原来的版本.";

// How long the old launcher waits for the new one's window, and how often
// it looks.
inline constexpr int kHandOverWaitMs = 15000;
inline constexpr int kHandOverPollMs = 100;

// The update's end takes the whole context: between them, moving, unpacking,
// handing over and taking back use nearly every service and the window.

// Moves the finished download into place, unpacks it and hands over; the
// unpacker's progress goes to the ZIP object's event.
void completeUpdate(core::Context& ctx, UpdateState& state);

// Refuses the release the page announced: says so, and the start button
// works again.
void refuseRelease(platform::MessageBoxes& messageBoxes, ui::Controls& controls);

// Acts on a progress of 100: starts the new launcher and, once its window
// shows, removes this one; takes the update back when it fails to start;
// or asks about the help page. Smaller values do nothing.
void handOff(core::Context& ctx, UpdateState& state, int percent);

// After the window shows: applies a package kept from an earlier run that
// could not be applied then, once checked again, and hands over.
void applyKeptPackage(core::Context& ctx, UpdateState& state);

// A close request: true when it must wait for the hand-over to end.
bool deferCloseDuringHandOver(UpdateState& state);

// Moves the file when `destination` is a full file path.
bool moveIfValid(platform::Files& files, const std::string& source, const std::string& destination);

}  // namespace update
