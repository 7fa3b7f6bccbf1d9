#include "update/handoff.h"

#include "base/file_name.h"
#include "base/path.h"
#include "core/config.h"
#include "platform/window_modes.h"
#include "ui/control_names.h"
#include "update/download.h"
#include "update/download_failure.h"
#include "update/package_digest_follower.h"
#include "update/release_signature.h"
#include "update/unzip.h"
#include "update/version.h"

namespace update {
namespace {

[[noreturn]] void removeOwnExecutable(core::Context& ctx) {
  const std::string own =
      base::joinPath(ctx.os.process->runDirectory(), ctx.os.process->executableName());
  ctx.os.files->setAttributes(own, platform::kClearedFileAttributes);
  // The interpreter can delete the file only once this process has ended,
  // and it starts in a fraction of a second: the slow part of ending (the
  // clean-up, taking the window down, which Wine on a display without a
  // window manager drags out to seconds) goes first, so that all that is
  // left after the start is the exit itself.
  if (ctx.exitCleanup != nullptr)
    ctx.exitCleanup->run();
  if (ctx.controls != nullptr)
    ctx.controls->closeWindow();
  ctx.os.processes->runCommandLine("cmd.exe /c del \"" + own + "\"", false,
                                   platform::kWindowModeHidden);
  core::endProgram(ctx);
}

// The page names the new launcher: a program elsewhere ("..\x.exe",
// "C:\x.exe", a share) is not this game's to start.
bool isInsideRunDirectory(const std::string& title) {
  const std::optional<base::EntryPath> path = base::parseEntryPath(title);
  return path && !path->fileName.empty();
}

void offerHelpOrPackage(core::Context& ctx, const std::string& package) {
  if (ctx.os.messageBoxes->show(kNoNewLauncherQuestion, platform::kYesNoButtons, kUpdateTitle) ==
      platform::kAnswerYes) {
    ctx.os.shell->open(core::readConfigValue(ctx.os, "http", "diy"));
    return;
  }
  ctx.os.messageBoxes->show(kOpenPackageMessage, platform::kIconInformation, kOpenPackageTitle);
  ctx.os.shell->open(package);
}

// Before anything is unpacked: the downloaded bytes against the release
// the page's signature binds, with the key built into this launcher.
bool isSignedByPublisher(core::Context& ctx, UpdateState& state, const std::string& temporary) {
  const std::optional<PackageDigest> digest =
      state.packageDigest ? state.packageDigest->finish() : digestOfFile(*ctx.os.files, temporary);
  return checkArrivedPackage(state.publicKey, state.versionFields, ctx.os.files->size(temporary),
                             digest) == PackageVerdict::kSigned;
}

// Nothing of the download stays and nothing is unpacked. Only the file this
// download created goes: the package's own name may be anyone's file.
void refusePackage(core::Context& ctx, const std::string& temporary) {
  ctx.os.files->remove(temporary);
  refuseRelease(ctx);
}

void unpackAndHandOff(core::Context& ctx, UpdateState& state, const std::string& package) {
  unpackArchive(*ctx.os.files, *ctx.os.codec, package, ctx.os.process->runDirectory() + "\\",
                [&ctx](int percent) {
                  if (ctx.events != nullptr)
                    ctx.events->raise(ui::name::kUnzipper, ui::Event::UnpackProgress, {percent});
                });
  handOff(ctx, state, state.progress->percent);
}

}  // namespace

bool moveIfValid(platform::Files& files, const std::string& source,
                 const std::string& destination) {
  if (!base::isFullFilePath(destination))
    return false;
  return files.move(source, destination);
}

void refuseRelease(core::Context& ctx) {
  ctx.os.messageBoxes->show(kPackageRefused, platform::kIconWarning, kUpdateTitle);
  ctx.controls->setEnabled(ui::name::kStartButton, true);
}

void completeUpdate(core::Context& ctx, UpdateState& state) {
  if (endUnfinishedDownload(ctx, state))
    return;
  platform::Files& files = *ctx.os.files;
  const std::string address = state.taskParameters->sourceAddress;
  const std::string package = packagePath(*ctx.os.process, address);
  if (state.publicKey.empty()) {
    const std::string temporary = temporaryPackagePath(*ctx.os.process, address);
    files.remove(package);
    moveIfValid(files, temporary, package);
    files.remove(temporary);
    unpackAndHandOff(ctx, state, package);
    return;
  }
  const std::string temporary = state.taskParameters->localFilePath;
  if (!isSignedByPublisher(ctx, state, temporary)) {
    refusePackage(ctx, temporary);
    return;
  }
  // The package's name is signed too: only now may it replace a file.
  files.remove(package);
  if (!moveIfValid(files, temporary, package)) {
    // Whatever stands at that name was never checked.
    refusePackage(ctx, temporary);
    return;
  }
  unpackAndHandOff(ctx, state, package);
}

void handOff(core::Context& ctx, UpdateState& state, int percent) {
  if (percent < 100)
    return;
  ctx.os.pump->delay(500);
  const std::string runDir = ctx.os.process->runDirectory();
  const std::string title = ctx.controls->text(ui::name::kUpdateTitle);
  const std::string newLauncher = base::joinPath(runDir, title);
  const std::string own = base::joinPath(runDir, ctx.os.process->executableName());
  const std::string package = packagePath(*ctx.os.process, state.taskParameters->sourceAddress);
  // Never leave the player without a launcher: removing this one is only
  // safe when another one, not this very file, has really started.
  // Sameness is the file system's to decide: ".\launcher.exe" or another
  // letter case is still this very file.
  if (isInsideRunDirectory(title) && ctx.os.files->exists(newLauncher) &&
      !ctx.os.files->sameFile(newLauncher, own) &&
      ctx.os.processes->runCommandLine(newLauncher, false, platform::kWindowModeNormal)) {
    ctx.os.files->remove(package);
    ctx.os.pump->delay(200);
    ctx.os.files->remove(package);
    ctx.os.pump->delay(900);
    removeOwnExecutable(ctx);
  }
  offerHelpOrPackage(ctx, package);
}

}  // namespace update
