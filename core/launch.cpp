#include "core/launch.h"

#include "base/file_name.h"
#include "base/path.h"
#include "core/config.h"
#include "core/messages.h"
#include "platform/window_modes.h"
#include "ui/control_names.h"

namespace core {
namespace {

constexpr int kStartDelayMs = 500;
constexpr char kShortcutSuffix[] = " -塔沃VR游戏";

}  // namespace

void startGame(const GameStart& use) {
  ui::Controls& controls = use.controls;
  controls.setText(ui::name::kStagingField, readConfigValue(use.config, "url", "url2"));
  // Messages keep flowing: a second click meanwhile runs this handler again.
  use.pump.delay(kStartDelayMs);

  const std::string runDir = use.config.process.runDirectory();
  if (!use.files.exists(runDir + controls.text(ui::name::kStagingField))) {
    use.messageBoxes.show(kMissingFileMessage, kMissingFileFlags, kMissingFileTitle);
    endProgram(use.end);
  }
  // The game's path in quotes, with no arguments: a space in the game
  // folder's path must not start whatever program its first words name.
  // (A value with arguments never passed the existence test above.)
  use.processes.runCommandLine("\"" + runDir + readConfigValue(use.config, "url", "url2") + "\"",
                               false, platform::kWindowModeNormal);
}

std::string desktopShortcutPath(platform::Shell& shell, const std::string& gameName) {
  const std::string desktop = shell.desktopDirectory();
  const std::string name = gameName + kShortcutSuffix;
  // A name with separators would put the shortcut outside the desktop; it
  // fails silently like any other name Windows refuses.
  if (desktop.empty() || !base::isPlainFileName(name))
    return {};
  return base::joinPath(desktop, name + ".lnk");
}

void createDesktopShortcut(const ui::Controls& controls, platform::Shell& shell,
                           platform::Process& process) {
  const std::string link = desktopShortcutPath(shell, controls.text(ui::name::kGameName));
  if (link.empty())
    return;
  const std::string target = base::joinPath(process.runDirectory(), process.executableName());
  shell.createShortcut(link, target);
}

}  // namespace core
