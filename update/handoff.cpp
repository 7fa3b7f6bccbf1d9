#include "update/handoff.h"

#include "base/cp936.h"
#include "base/file_name.h"
#include "base/path.h"
#include "core/launch.h"
#include "core/startup.h"
#include "platform/window_modes.h"
#include "ui/control_table.h"
#include "update/version.h"

namespace update {

bool isInsideRunDirectory(const std::string& title) {
  const std::optional<base::EntryPath> path = base::parseEntryPath(title);
  return path && !path->fileName.empty();
}

namespace {

// Waits until the child shows the launcher's window or ends; counts by the
// clock, since a turn of the pump may come back at once.
NewLauncherStart waitForNewLauncher(platform::Pump& pump, platform::ChildProcess& child) {
  // Only the process started shows this sign: a marker by name could come
  // from any program.
  const std::string windowClass = ui::launchWindowProperties().className;
  const std::int64_t start = pump.nowMs();
  for (;;) {
    if (child.showsWindowOfClass(windowClass))
      return NewLauncherStart::kShown;
    const std::int64_t code = child.exitCode();
    if (code == 0)
      return NewLauncherStart::kShown;
    if (code > 0)
      return NewLauncherStart::kFailed;
    if (pump.nowMs() - start >= kHandOverWaitMs)
      return NewLauncherStart::kShown;
    pump.delay(kHandOverPollMs);
  }
}

}  // namespace

NewLauncherStart startNewLauncher(const NewLauncherParts& use, const std::string& path) {
  const std::string instance = core::instanceName(use.config);
  use.namedEvents.releaseMarker(instance);
  std::unique_ptr<platform::ChildProcess> child =
      use.processes.start(path, platform::kWindowModeNormal);
  const NewLauncherStart started =
      child ? waitForNewLauncher(use.pump, *child) : NewLauncherStart::kFailed;
  if (started == NewLauncherStart::kFailed)
    use.namedEvents.createMarker(instance);
  return started;
}

void followDesktopShortcut(platform::Shell& shell, platform::Files& files,
                           const std::string& gameName, const std::string& oldPath,
                           const std::string& newPath) {
  const std::string link = core::desktopShortcutPath(shell, gameName);
  if (link.empty())
    return;
  const std::string target = shell.shortcutTarget(link);
  if (target.empty() || !base::equalsIgnoringAsciiCase(target, oldPath) ||
      files.sameFile(target, newPath))
    return;
  shell.createShortcut(link, newPath);
}

void offerHelpOrPackage(platform::MessageBoxes& messageBoxes, platform::Shell& shell,
                        const core::ConfigFile& config, const std::string& package) {
  if (messageBoxes.show(kNoNewLauncherQuestion, platform::kYesNoButtons, kUpdateTitle) ==
      platform::kAnswerYes) {
    shell.open(core::readConfigValue(config, "http", "diy"));
    return;
  }
  messageBoxes.show(kOpenPackageMessage, platform::kIconInformation, kOpenPackageTitle);
  shell.open(package);
}

void removeOwnExecutable(platform::Files& files, platform::Processes& processes,
                         const core::ProgramEnd& end, const std::string& own) {
  files.setAttributes(own, platform::kClearedFileAttributes);
  // The interpreter can delete the file only once this process has ended,
  // and it starts in a fraction of a second: the slow part of ending (the
  // clean-up, taking the window down, which Wine on a display without a
  // window manager drags out to seconds) goes first, so that all that is
  // left after the start is the exit itself.
  if (end.exitCleanup != nullptr)
    end.exitCleanup->run();
  if (end.window != nullptr)
    end.window->closeWindow();
  processes.runCommandLine("cmd.exe /c del \"" + own + "\"", false, platform::kWindowModeHidden);
  core::endProgram(end);
}

bool moveIfValid(platform::Files& files, const std::string& source,
                 const std::string& destination) {
  if (!base::isFullFilePath(destination))
    return false;
  return files.move(source, destination);
}

}  // namespace update
