#pragma once

// The hand-over to the new launcher: starting it and waiting for its
// window, the desktop shortcut that follows it, this launcher's removal;
// or, without a new launcher, the help page and the package by hand.

#include <string>

#include "core/config.h"
#include "core/program.h"
#include "platform/message_boxes.h"
#include "platform/named_events.h"
#include "platform/processes.h"
#include "platform/pump.h"
#include "platform/shell.h"

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
// The package is damaged or holds what must not be unpacked (a name leading
// outside the folder): it is removed, never opened for unpacking by hand.
inline constexpr char kPackageDamaged[] = "更新包已损坏,已取消本次更新,游戏不受影响.";

// The hand-over's waits: before the new launcher is looked for; how long,
// by the clock, its window is waited for and how often it is looked for;
// then the package is removed twice with a pause, and a last pause before
// this launcher removes itself.
inline constexpr int kBeforeHandOverMs = 500;
inline constexpr int kHandOverWaitMs = 15000;
inline constexpr int kHandOverPollMs = 100;
inline constexpr int kBetweenPackageRemovalsMs = 200;
inline constexpr int kBeforeSelfRemovalMs = 900;

// The page names the new launcher: a program elsewhere ("..\x.exe",
// "C:\x.exe", a share) is not this game's to start.
bool isInsideRunDirectory(const std::string& title);

enum class NewLauncherStart { kShown, kFailed };

// What starting the new launcher uses.
struct NewLauncherParts {
  core::ConfigFile config;
  platform::NamedEvents& namedEvents;
  platform::Processes& processes;
  platform::Pump& pump;
};

// Starts the program at `path` without this launcher's instance marker,
// which it may share (bh1), and waits, the window's messages going on,
// until it shows a window of the launcher's class or ends. An end with
// code 0 (an installer, no launcher) and no sign within the time both count
// as shown; the marker is taken back when it fails.
NewLauncherStart startNewLauncher(const NewLauncherParts& use, const std::string& path);

// The desktop shortcut this launcher's button made (named after the game)
// points at `newPath` once it no longer leads to a launcher: after a hand-
// over to another name. A shortcut to anything else stays as it is.
void followDesktopShortcut(platform::Shell& shell, platform::Files& files,
                           const std::string& gameName, const std::string& oldPath,
                           const std::string& newPath);

// Asks whether to open the help page (`diy`); on No, says so and opens the
// package for unpacking by hand.
void offerHelpOrPackage(platform::MessageBoxes& messageBoxes, platform::Shell& shell,
                        const core::ConfigFile& config, const std::string& package);

// Clears the attributes of `own` (where this launcher's file is now) and
// has a hidden command interpreter delete it once this process has ended,
// then ends the program.
[[noreturn]] void removeOwnExecutable(platform::Files& files, platform::Processes& processes,
                                      const core::ProgramEnd& end, const std::string& own);

// Moves the file when `destination` is a full file path.
bool moveIfValid(platform::Files& files, const std::string& source, const std::string& destination);

}  // namespace update
