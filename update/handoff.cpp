#include "update/handoff.h"

#include "core/config.h"
#include "core/program.h"
#include "core/state.h"
#include "platform/window_modes.h"
#include "ui/control_names.h"
#include "update/download.h"
#include "update/text.h"
#include "update/unzip.h"
#include "update/version.h"

namespace update {
namespace {

constexpr unsigned kInformation = 0x40;
constexpr unsigned kNormalAttributes = 0;

bool sameFile(std::string_view a, std::string_view b) {
  return lowerAscii(a) == lowerAscii(b);
}

[[noreturn]] void removeOwnExecutable() {
  core::Context& ctx = core::context();
  const std::string own = ctx.os.process->runDirectory() + "\\" + ctx.os.process->executableName();
  ctx.os.files->setAttributes(own, kNormalAttributes);
  // The interpreter can delete the file only once this process has ended,
  // and it starts in a fraction of a second: the slow part of ending (the
  // clean-up, taking the window down, which Wine on a display without a
  // window manager drags out to seconds) goes first, so that all that is
  // left after the start is the exit itself.
  core::runExitCleanup();
  if (ctx.controls != nullptr)
    ctx.controls->closeWindow();
  ctx.os.processes->runCommandLine("cmd.exe /c del \"" + own + "\"", false,
                                   platform::kWindowModeHidden);
  core::endProgram();
}

void offerHelpOrPackage(const std::string& package) {
  core::Context& ctx = core::context();
  if (ctx.os.messageBoxes->show(kNoNewLauncherQuestion, kYesNo, kUpdateTitle) == kAnswerYes) {
    ctx.os.shell->open(core::readConfigValue("http", "diy"));
    return;
  }
  ctx.os.messageBoxes->show(kOpenPackageMessage, kInformation, kOpenPackageTitle);
  ctx.os.shell->open(package);
}

}  // namespace

std::string_view lastPathComponent(std::string_view path) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const char c = path[i];
    if (static_cast<unsigned char>(c) >= 0x80) {
      ++i;
      continue;
    }
    const bool separator = c == '\\' || c == '/' || c == ':';
    if (separator && i + 1 < path.size() && path[i + 1] != '\\' && path[i + 1] != '/') {
      start = i + 1;
    }
  }
  return path.substr(start);
}

bool isFullFilePath(std::string_view path) {
  if (path.empty())
    return false;
  const char drive = path[0];
  if (!((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z')))
    return false;
  if (!containsText(path, ":\\") && !containsText(path, ":/"))
    return false;
  const std::string_view name = lastPathComponent(path);
  return !name.empty() && name.back() != '\\';
}

bool moveIfValid(const std::string& source, const std::string& destination) {
  if (!isFullFilePath(destination))
    return false;
  return core::context().os.files->move(source, destination);
}

void completeUpdate() {
  core::Context& ctx = core::context();
  const std::string address = core::programState().taskParameters->sourceAddress;
  const std::string package = packagePath(address);
  const std::string temporary = temporaryPackagePath(address);
  ctx.os.files->remove(package);
  moveIfValid(temporary, package);
  ctx.os.files->remove(temporary);
  unpackArchive(package, ctx.os.process->runDirectory() + "\\", [](int percent) {
    if (ui::Handler handler = ui::findHandler(ui::name::kUnzipper, ui::Event::UnpackProgress)) {
      handler({percent});
    }
  });
  handOff(core::programState().downloadPercent);
}

void handOff(int percent) {
  if (percent < 100)
    return;
  core::Context& ctx = core::context();
  ctx.os.pump->delay(500);
  const std::string runDir = ctx.os.process->runDirectory();
  const std::string newLauncher = runDir + "\\" + ctx.controls->text(ui::name::kUpdateTitle);
  const std::string own = runDir + "\\" + ctx.os.process->executableName();
  const std::string package = packagePath(core::programState().taskParameters->sourceAddress);
  // Never leave the player without a launcher: removing this one is only
  // safe when another one, not this very file, has really started.
  if (ctx.os.files->exists(newLauncher) && !sameFile(newLauncher, own) &&
      ctx.os.processes->runCommandLine(newLauncher, false, platform::kWindowModeNormal)) {
    ctx.os.files->remove(package);
    ctx.os.pump->delay(200);
    ctx.os.files->remove(package);
    ctx.os.pump->delay(900);
    removeOwnExecutable();
  }
  offerHelpOrPackage(package);
}

void onUnpackProgress(const ui::EventArgs& args) {
  handOff(args.first);
}

}  // namespace update
