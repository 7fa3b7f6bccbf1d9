#include "core/launch.h"

#include <optional>

#include "core/config.h"
#include "core/messages.h"
#include "core/program.h"
#include "platform/window_modes.h"
#include "ui/control_names.h"
#include "update/unzip_names.h"
#include "update/version.h"

namespace core {
namespace {

constexpr int kStartDelayMs = 500;
constexpr char kShortcutSuffix[] = " -塔沃VR游戏";

}  // namespace

void startGameAndCheckVersion(const std::string& versionPage) {
  Context& ctx = context();
  ui::Controls& controls = *ctx.controls;
  controls.setText(ui::name::kStagingField, readConfigValue("url", "url2"));
  // Messages keep flowing: a second click meanwhile runs this handler again.
  ctx.os.pump->delay(kStartDelayMs);

  const std::string runDir = ctx.os.process->runDirectory();
  if (!ctx.os.files->exists(runDir + controls.text(ui::name::kStagingField))) {
    ctx.os.messageBoxes->show(kMissingFileMessage, kMissingFileFlags, kMissingFileTitle);
    endProgram();
  }
  // No quoting: the value is the whole command line, as publishers wrote it.
  ctx.os.processes->runCommandLine(runDir + readConfigValue("url", "url2"), false,
                                   platform::kWindowModeNormal);
  // Whether the game started or not: every press checks for an update.
  update::runVersionCheck(versionPage);
}

void onStartButtonClicked(const ui::EventArgs&) {
  startGameAndCheckVersion(kVersionPageUrl);
}

bool isPlainFileName(std::string_view name) {
  // The rule the unpacker applies to the names it writes, with no folder part.
  const std::optional<update::EntryPath> path = update::parseEntryPath(name);
  return path && path->folders.empty() && !path->fileName.empty();
}

void onShortcutButtonClicked(const ui::EventArgs&) {
  Context& ctx = context();
  const std::string desktop = ctx.os.shell->desktopDirectory();
  const std::string name = ctx.controls->text(ui::name::kGameName) + kShortcutSuffix;
  // A name with separators would put the shortcut outside the desktop; it
  // fails silently like any other name Windows refuses.
  if (desktop.empty() || !isPlainFileName(name))
    return;
  const std::string target =
      ctx.os.process->runDirectory() + "\\" + ctx.os.process->executableName();
  ctx.os.shell->createShortcut(desktop + "\\" + name + ".lnk", target);
}

}  // namespace core
