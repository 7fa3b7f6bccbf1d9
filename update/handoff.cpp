#include "update/handoff.h"

#include "base/cp936.h"
#include "base/file_name.h"
#include "base/path.h"
#include "core/config.h"
#include "core/startup.h"
#include "platform/window_modes.h"
#include "ui/control_names.h"
#include "update/download.h"
#include "update/download_failure.h"
#include "update/kept_package.h"
#include "update/package/package_digest_follower.h"
#include "update/package/release_signature.h"
#include "update/package/staged_apply.h"
#include "update/package/unzip.h"
#include "update/version.h"

namespace update {
namespace {

// `own`: where this launcher's file is now, its backup name when the
// package brought a file of its name.
[[noreturn]] void removeOwnExecutable(platform::Files& files, platform::Processes& processes,
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

// The page names the new launcher: a program elsewhere ("..\x.exe",
// "C:\x.exe", a share) is not this game's to start.
bool isInsideRunDirectory(const std::string& title) {
  const std::optional<base::EntryPath> path = base::parseEntryPath(title);
  return path && !path->fileName.empty();
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

// Before anything is unpacked: the downloaded bytes against the release
// the page's signature binds, with the key built into this launcher.
bool isSignedByPublisher(platform::Files& files, UpdateState& state, const std::string& temporary) {
  const std::optional<PackageDigest> digest =
      state.packageDigest ? state.packageDigest->finish() : digestOfFile(files, temporary);
  return checkArrivedPackage(state.publicKey, state.versionFields, files.size(temporary), digest) ==
         PackageVerdict::kSigned;
}

// Nothing of the download stays and nothing is unpacked. Only the file this
// download created goes: the package's own name may be anyone's file.
void refusePackage(platform::Files& files, platform::MessageBoxes& messageBoxes,
                   ui::Controls& controls, const std::string& temporary) {
  files.remove(temporary);
  refuseRelease(messageBoxes, controls);
}

void raiseUnpackProgress(ui::EventSink* events, int percent) {
  if (events != nullptr)
    events->raise(ui::name::kUnzipper, ui::Event::UnpackProgress, {percent});
}

// Stages the package, then applies it at once; the final report of 100
// comes only when the folder holds the package's files, or when the package
// could not be read (the question then follows, as for a package without
// the new launcher).
void unpackAndHandOff(core::Context& ctx, UpdateState& state, const std::string& package) {
  platform::Files& files = *ctx.os.files;
  const std::string runDir = ctx.os.process->runDirectory();
  auto lock = std::make_unique<ApplyLock>(*ctx.os.namedEvents, runDir);
  std::unique_ptr<JournalWriter> journal =
      lock->held() ? JournalWriter::create(files, runDir) : nullptr;
  const StageResult staged =
      journal ? stageArchive(files, *ctx.os.codec, package, runDir, *journal,
                             [&ctx](int percent) { raiseUnpackProgress(ctx.events, percent); })
              : StageResult::kStopped;
  if (staged != StageResult::kStaged) {
    if (journal)
      journal->remove();
    lock.reset();
    raiseUnpackProgress(ctx.events, staged == StageResult::kNoEntries ? 0 : 100);
    handOff(ctx, state, state.progress->percent);
    return;
  }
  const ApplyResult result = applyStaged(files, runDir, *journal, inUseRetryWith(*ctx.os.pump));
  if (result != ApplyResult::kApplied) {
    journal->remove();
    if (result == ApplyResult::kInUse &&
        keepPackage(files, runDir, {state.versionFields, files.size(package)})) {
      reportUnapplied(*ctx.os.messageBoxes, *ctx.controls, kUpdateDeferred,
                      platform::kIconInformation);
    } else {
      files.remove(package);
      forgetKeptPackage(files, runDir);
      reportUnapplied(*ctx.os.messageBoxes, *ctx.controls, kUpdateNotWritten,
                      platform::kIconWarning);
    }
    return;
  }
  forgetKeptPackage(files, runDir);
  state.appliedUpdate =
      std::make_unique<AppliedUpdate>(AppliedUpdate{std::move(lock), std::move(journal)});
  state.takenBack = false;
  raiseUnpackProgress(ctx.events, 100);
  if (!state.takenBack)
    handOff(ctx, state, state.progress->percent);
}

// Ends the apply that awaited the new launcher: kFinish keeps the new
// files and drops the backups, kUndo puts the old files back, this
// launcher's own among them; the journal and the marker go either way.
void endApplied(platform::Files& files, const std::string& runDir, UpdateState& state,
                ApplyDecision decision) {
  if (!state.appliedUpdate)
    return;
  JournalWriter& journal = *state.appliedUpdate->journal;
  journal.decide(decision);
  if (decision == ApplyDecision::kFinish)
    removeBackups(files, runDir, journal.plan());
  else
    undoPlan(files, runDir, journal.plan());
  journal.remove();
  state.appliedUpdate.reset();
}

// Where this launcher's file is once the apply stands.
std::string ownFileAfterApply(platform::Process& process, const UpdateState& state) {
  const std::string executable = process.executableName();
  if (state.appliedUpdate) {
    for (const ApplyStep& step : state.appliedUpdate->journal->plan().steps) {
      if (!step.backup.empty() && base::equalsIgnoringAsciiCase(step.target, executable))
        return base::joinPath(process.runDirectory(), step.backup);
    }
  }
  return base::joinPath(process.runDirectory(), executable);
}

enum class NewLauncherStart { kShown, kFailed };

// Waits, the window's messages going on, until the new launcher shows its
// window or ends; an end with code 0 (an installer, no launcher) and no
// sign within the time both count as shown.
NewLauncherStart waitForNewLauncher(platform::NamedEvents& namedEvents, platform::Pump& pump,
                                    platform::ChildProcess& child, const std::string& shownSignal) {
  for (int waited = 0;; waited += kHandOverPollMs) {
    if (namedEvents.markerExists(shownSignal))
      return NewLauncherStart::kShown;
    const std::int64_t code = child.exitCode();
    if (code == 0)
      return NewLauncherStart::kShown;
    if (code > 0)
      return NewLauncherStart::kFailed;
    if (waited >= kHandOverWaitMs)
      return NewLauncherStart::kShown;
    pump.delay(kHandOverPollMs);
  }
}

// What starting the new launcher uses.
struct NewLauncherParts {
  core::ConfigFile config;
  platform::NamedEvents& namedEvents;
  platform::Processes& processes;
  platform::Pump& pump;
};

// Starts the new launcher without this one's instance marker, which it may
// share (bh1); the marker is taken back when the start fails.
NewLauncherStart startNewLauncher(const NewLauncherParts& use, UpdateState& state,
                                  const std::string& title, const std::string& newLauncher) {
  const std::string instance = core::instanceName(use.config);
  use.namedEvents.releaseMarker(instance);
  state.handingOver = true;
  std::unique_ptr<platform::ChildProcess> child =
      use.processes.start(newLauncher, platform::kWindowModeNormal);
  const NewLauncherStart started =
      child ? waitForNewLauncher(
                  use.namedEvents, use.pump, *child,
                  core::shownSignalName(use.config.process.runDirectory(), std::string(title)))
            : NewLauncherStart::kFailed;
  if (started == NewLauncherStart::kFailed)
    use.namedEvents.createMarker(instance);
  return started;
}

}  // namespace

bool moveIfValid(platform::Files& files, const std::string& source,
                 const std::string& destination) {
  if (!base::isFullFilePath(destination))
    return false;
  return files.move(source, destination);
}

void refuseRelease(platform::MessageBoxes& messageBoxes, ui::Controls& controls) {
  reportUnapplied(messageBoxes, controls, kPackageRefused, platform::kIconWarning);
}

void completeUpdate(core::Context& ctx, UpdateState& state) {
  if (endUnfinishedDownload(*ctx.os.files, *ctx.os.messageBoxes, *ctx.controls, state))
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
  if (!isSignedByPublisher(files, state, temporary)) {
    refusePackage(files, *ctx.os.messageBoxes, *ctx.controls, temporary);
    return;
  }
  // The package's name is signed too: only now may it replace a file.
  files.remove(package);
  if (!moveIfValid(files, temporary, package)) {
    // Whatever stands at that name was never checked.
    refusePackage(files, *ctx.os.messageBoxes, *ctx.controls, temporary);
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
      !ctx.os.files->sameFile(newLauncher, own)) {
    const std::string ownFile = ownFileAfterApply(*ctx.os.process, state);
    const NewLauncherParts parts{ctx.os, *ctx.os.namedEvents, *ctx.os.processes, *ctx.os.pump};
    if (startNewLauncher(parts, state, title, newLauncher) == NewLauncherStart::kShown) {
      endApplied(*ctx.os.files, runDir, state, ApplyDecision::kFinish);
      ctx.os.files->remove(package);
      ctx.os.pump->delay(200);
      ctx.os.files->remove(package);
      ctx.os.pump->delay(900);
      removeOwnExecutable(*ctx.os.files, *ctx.os.processes, ctx.ending(), ownFile);
    }
    endApplied(*ctx.os.files, runDir, state, ApplyDecision::kUndo);
    ctx.os.files->remove(package);
    state.handingOver = false;
    state.takenBack = true;
    reportUnapplied(*ctx.os.messageBoxes, *ctx.controls, kNewLauncherFailed,
                    platform::kIconWarning);
    if (state.closeRequested)
      core::endProgram(ctx.ending());
    return;
  }
  endApplied(*ctx.os.files, runDir, state, ApplyDecision::kFinish);
  offerHelpOrPackage(*ctx.os.messageBoxes, *ctx.os.shell, ctx.os, package);
}

bool deferCloseDuringHandOver(UpdateState& state) {
  if (!state.handingOver)
    return false;
  state.closeRequested = true;
  return true;
}

void applyKeptPackage(core::Context& ctx, UpdateState& state) {
  platform::Files& files = *ctx.os.files;
  const std::string runDir = ctx.os.process->runDirectory();
  const std::optional<KeptPackage> kept = readKeptPackage(files, runDir);
  if (!kept)
    return;
  const std::string address = kept->versionFields[kUpdateAddress];
  const std::string package = packagePath(*ctx.os.process, address);
  const std::int64_t size = files.size(package);
  // The kept file is checked as a fresh download would be: it may have
  // changed, or this launcher may be newer by now.
  const bool sound =
      sortsAfter(kept->versionFields[kLatestVersion], state.localVersion) &&
      (state.publicKey.empty()
           ? size >= 0 && size == kept->size
           : checkAnnouncedRelease(state.publicKey, kept->versionFields) ==
                     PackageVerdict::kSigned &&
                 checkArrivedPackage(state.publicKey, kept->versionFields, size,
                                     digestOfFile(files, package)) == PackageVerdict::kSigned);
  if (!sound) {
    forgetKeptPackage(files, runDir);
    return;
  }
  state.versionFields = kept->versionFields;
  state.taskParameters->sourceAddress = address;
  state.progress->percent = 100;
  ctx.controls->setText(ui::name::kUpdateTitle, kept->versionFields[kProgramTitle]);
  showUpdatePanel(*ctx.controls);
  unpackAndHandOff(ctx, state, package);
}

}  // namespace update
