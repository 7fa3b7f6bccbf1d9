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

void startGame(Context& ctx) {
  ui::Controls& controls = *ctx.controls;
  controls.setText(ui::name::kStagingField, readConfigValue(ctx.os, "url", "url2"));
  // Messages keep flowing: a second click meanwhile runs this handler again.
  ctx.os.pump->delay(kStartDelayMs);

  const std::string runDir = ctx.os.process->runDirectory();
  if (!ctx.os.files->exists(runDir + controls.text(ui::name::kStagingField))) {
    ctx.os.messageBoxes->show(kMissingFileMessage, kMissingFileFlags, kMissingFileTitle);
    endProgram(ctx);
  }
  // No quoting: the value is the whole command line, as publishers wrote it.
  ctx.os.processes->runCommandLine(runDir + readConfigValue(ctx.os, "url", "url2"), false,
                                   platform::kWindowModeNormal);
}

void createDesktopShortcut(Context& ctx) {
  const std::string desktop = ctx.os.shell->desktopDirectory();
  const std::string name = ctx.controls->text(ui::name::kGameName) + kShortcutSuffix;
  // A name with separators would put the shortcut outside the desktop; it
  // fails silently like any other name Windows refuses.
  if (desktop.empty() || !base::isPlainFileName(name))
    return;
  const std::string target =
      base::joinPath(ctx.os.process->runDirectory(), ctx.os.process->executableName());
  ctx.os.shell->createShortcut(base::joinPath(desktop, name + ".lnk"), target);
}

}  // namespace core
