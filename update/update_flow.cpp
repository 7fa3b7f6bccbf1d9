#include "update/update_flow.h"

#include "base/cp936.h"
#include "base/path.h"
#include "core/config.h"
#include "core/startup.h"
#include "update/download.h"
#include "update/download/download_object.h"
#include "update/download/room.h"
#include "update/download_failure.h"
#include "update/handoff.h"
#include "update/kept_package.h"
#include "update/package/package_digest_follower.h"
#include "update/package/release_signature.h"
#include "update/package/unzip.h"
#include "update/partial_update.h"
#include "update/succession.h"
#include "update/version.h"

namespace update {
namespace {

const char* outcomeName(ApplyOutcomeKind kind) {
  switch (kind) {
    case ApplyOutcomeKind::kApplied:
      return "applied";
    case ApplyOutcomeKind::kInUse:
      return "in use";
    case ApplyOutcomeKind::kNotWritten:
      return "not written";
    case ApplyOutcomeKind::kUnreadable:
      return "unreadable";
    case ApplyOutcomeKind::kDamaged:
      return "damaged";
    case ApplyOutcomeKind::kBusy:
      return "busy";
  }
  return "?";
}

// Before anything is unpacked: the downloaded bytes against the release
// the page's signature binds, with the key built into this launcher.
bool isSignedByPublisher(platform::Files& files, UpdateState& state, const std::string& download) {
  const std::optional<PackageDigest> digest =
      state.packageDigest ? state.packageDigest->finish() : digestOfFile(files, download);
  return checkArrivedPackage(trustOf(state), state.versionFields, files.size(download), digest) ==
         PackageVerdict::kSigned;
}

// A kept package is checked as a fresh download would be: it may have
// changed, or this launcher may be newer by now.
bool keptPackageStillFits(platform::Files& files, const UpdateState& state, const KeptPackage& kept,
                          const std::string& package) {
  if (!sortsAfter(kept.versionFields[kLatestVersion], state.localVersion))
    return false;
  const std::int64_t size = files.size(package);
  if (state.publicKey.empty())
    return size >= 0 && size == kept.size;
  return checkAnnouncedRelease(trustOf(state), kept.versionFields) == PackageVerdict::kSigned &&
         checkArrivedPackage(trustOf(state), kept.versionFields, size,
                             digestOfFile(files, package)) == PackageVerdict::kSigned;
}

}  // namespace

UpdateFlow::UpdateFlow(const platform::Services& os, UpdateView& view, core::ProgramEnd end,
                       UpdateState& state)
    : os_(os), view_(view), end_(end), state_(state) {}

void UpdateFlow::enter(UpdatePhase phase) {
  state_.phase = phase;
  note(std::string("phase ") + phaseName(phase));
}

void UpdateFlow::note(const std::string& text) {
  if (os_.trace != nullptr)
    os_.trace->note("update", text);
}

void UpdateFlow::onStartClicked(const std::string& pageAddress,
                                const std::function<void()>& startGame) {
  if (state_.phase != UpdatePhase::kIdle && state_.phase != UpdatePhase::kTakenBack) {
    note(std::string("start click while ") + phaseName(state_.phase) + ": nothing to do");
    return;
  }
  // From here a second click (the game's start waits, the page is read
  // while the window's messages go on) finds the check under way.
  enter(UpdatePhase::kChecking);
  startGame();
  checkVersion(pageAddress);
}

void UpdateFlow::checkVersion(const std::string& pageAddress) {
  // The page read is the page a signed release must name.
  state_.pageAddress = pageAddress;
  state_.versionFields = readVersionPage(*os_.http, *os_.codec, *os_.pump, pageAddress);
  view_.showRelease(state_.versionFields, composeNotes(state_.versionFields), state_.localVersion);
  if (!offersRelease(state_.versionFields, state_.localVersion, trustOf(state_))) {
    enter(UpdatePhase::kIdle);
    return;
  }
  enter(UpdatePhase::kAsking);
  if (os_.messageBoxes->show(kUpdateQuestion, platform::kYesNoButtons, kUpdateTitle) !=
      platform::kAnswerYes) {
    enter(UpdatePhase::kIdle);
    return;
  }
  acceptRelease();
}

void UpdateFlow::acceptRelease() {
  view_.showPanel(true);
  view_.enableStart(false);
  os_.pump->delay(kBeforeDownloadMs);
  // Only what the folder lacks, where the release's list is signed.
  if (startPartialUpdate(*os_.files, os_.process->runDirectory(), state_, view_)) {
    note("fetching the entries the folder lacks");
    enter(UpdatePhase::kDownloading);
    return;
  }
  startWholePackage();
}

void UpdateFlow::startWholePackage() {
  switch (startPackageDownload(*os_.files, os_.process->runDirectory(), state_, view_)) {
    case DownloadStart::kStarted:
      enter(UpdatePhase::kDownloading);
      return;
    case DownloadStart::kNameRefused:
    case DownloadStart::kNotStarted:
      // Without a key nothing is said, as for any page that offers nothing
      // usable; a signed release that cannot be fetched is the publisher's.
      endUnapplied(UpdatePhase::kIdle, state_.publicKey.empty() ? nullptr : kPackageRefused,
                   platform::kIconWarning);
      return;
    case DownloadStart::kNoFreeName:
      endUnapplied(UpdatePhase::kIdle, kPackageRefused, platform::kIconWarning);
      return;
  }
}

void UpdateFlow::onNotice(DownloadNotice notice) {
  if (notice == DownloadNotice::kProgress) {
    // Cleared before the percent is read: a block that comes meanwhile
    // posts a notice of its own.
    state_.progress->progressNoticePending = false;
    // The percent as it is now, not as it was when the notice was posted.
    view_.showPercent(state_.progress->percent);
  } else if (notice == DownloadNotice::kEnded && state_.phase == UpdatePhase::kDownloading) {
    finishDownload();
  }
}

void UpdateFlow::onProgressTick() {
  showTransfer(view_, state_);
}

void UpdateFlow::finishPartialStep() {
  platform::Files& files = *os_.files;
  const std::string runDir = os_.process->runDirectory();
  if (const std::optional<RoomShortfall> shortfall = state_.downloadObject->roomShortfall()) {
    files.remove(state_.partial->gathered);
    state_.partial.reset();
    endShortOfRoom(*shortfall);
    return;
  }
  switch (continuePartialUpdate(files, *os_.pump, runDir, state_, view_)) {
    case PartialEnd::kGoesOn:
      return;
    case PartialEnd::kReady: {
      note("entries fetched: " + std::to_string(state_.partial->chosen.size()));
      enter(UpdatePhase::kVerifying);
      // A copy: the apply lets the partial update's state go.
      const std::string gathered = state_.partial->gathered;
      applyAndHandOver(gathered);
      return;
    }
    case PartialEnd::kWholeAfterAll:
      note("the whole package after all");
      view_.showPercent(0);
      startWholePackage();
      return;
  }
}

void UpdateFlow::endShortOfRoom(const RoomShortfall& shortfall) {
  const std::string runDir = os_.process->runDirectory();
  endUnapplied(UpdatePhase::kIdle,
               shortfall.diskFilled
                   ? diskFullMessage(false, runDir)
                   : roomShortMessage(shortfall.needed, shortfall.available, runDir),
               platform::kIconWarning);
}

void UpdateFlow::finishDownload() {
  if (state_.partial) {
    finishPartialStep();
    return;
  }
  enter(UpdatePhase::kVerifying);
  platform::Files& files = *os_.files;
  if (const std::optional<RoomShortfall> shortfall = state_.downloadObject->roomShortfall()) {
    // Nothing of the body was kept, or a kept partial file stays as it was.
    endUnfinishedDownload(files, state_);
    endShortOfRoom(*shortfall);
    return;
  }
  switch (endUnfinishedDownload(files, state_)) {
    case UnfinishedDownload::kKeptQuietly:
      endUnapplied(UpdatePhase::kIdle, nullptr, 0);
      return;
    case UnfinishedDownload::kReported:
      endUnapplied(UpdatePhase::kIdle, kPackageNotDownloaded, platform::kIconWarning);
      return;
    case UnfinishedDownload::kGoesOn:
      break;
  }
  const std::string& package = state_.names.package;
  const std::string& download = state_.names.download;
  if (state_.publicKey.empty()) {
    files.remove(package);
    moveIfValid(files, download, package);
    files.remove(download);
    applyAndHandOver(package);
    return;
  }
  // Only the file this download created goes when the package is refused:
  // the package's own name may be anyone's file.
  if (!isSignedByPublisher(files, state_, download)) {
    files.remove(download);
    endUnapplied(UpdatePhase::kIdle, kPackageRefused, platform::kIconWarning);
    return;
  }
  // The package's name is signed too: only now may it replace a file.
  files.remove(package);
  if (!moveIfValid(files, download, package)) {
    // Whatever stands at that name was never checked.
    files.remove(download);
    endUnapplied(UpdatePhase::kIdle, kPackageRefused, platform::kIconWarning);
    return;
  }
  applyAndHandOver(package);
}

void UpdateFlow::applyAndHandOver(const std::string& package) {
  enter(UpdatePhase::kApplying);
  platform::Files& files = *os_.files;
  const std::string runDir = os_.process->runDirectory();
  if (refusedForRoom(package))
    return;
  PackageApply apply;
  apply.archivePath = package;
  apply.folder = runDir;
  apply.order = {state_.names.newLauncher, os_.process->executableName()};
  apply.retry = inUseRetryWith(*os_.pump);
  apply.partial = state_.partial ? &state_.partial->archive : nullptr;
  PackageApplied applied = applyPackage(files, *os_.namedEvents, *os_.codec, apply);
  state_.names.successor = applied.successor;
  if (state_.partial) {
    // Its entries are in place or undone: the gathered parts have served.
    files.remove(package);
    state_.partial.reset();
    // Only a whole package can be kept for the next start, before the game
    // holds its files.
    if (applied.outcome.kind == ApplyOutcomeKind::kInUse) {
      note("held file: the whole package after all");
      enter(UpdatePhase::kDownloading);
      startWholePackage();
      return;
    }
  }
  const ApplyOutcome& outcome = applied.outcome;
  note(std::string("apply ") + outcomeName(outcome.kind) +
       (outcome.file.empty() ? "" : " " + outcome.file) +
       (outcome.systemError == 0 ? "" : " error " + std::to_string(outcome.systemError)));
  switch (outcome.kind) {
    case ApplyOutcomeKind::kApplied:
      forgetKeptPackage(files, runDir);
      state_.appliedUpdate = std::move(applied.pending);
      handOver(package, true);
      return;
    case ApplyOutcomeKind::kUnreadable:
      // No ZIP archive, or an empty one: the new launcher may still be
      // there, or the player may unpack the file by hand.
      if (state_.progress->percent >= 100) {
        handOver(package, false);
      } else {
        endUnapplied(UpdatePhase::kIdle, nullptr, 0);
      }
      return;
    case ApplyOutcomeKind::kInUse:
      if (keepPackage(files, runDir, {state_.versionFields, files.size(package)})) {
        endUnapplied(UpdatePhase::kIdle, kUpdateDeferred, platform::kIconInformation);
        return;
      }
      break;
    case ApplyOutcomeKind::kDamaged:
      // Never opened for unpacking by hand: its damage is the reason.
      files.remove(package);
      forgetKeptPackage(files, runDir);
      endUnapplied(UpdatePhase::kIdle, kPackageDamaged, platform::kIconWarning);
      return;
    case ApplyOutcomeKind::kNotWritten:
    case ApplyOutcomeKind::kBusy:
      break;
  }
  files.remove(package);
  forgetKeptPackage(files, runDir);
  if (isDiskFullError(outcome.systemError)) {
    endUnapplied(UpdatePhase::kIdle, diskFullMessage(true, runDir), platform::kIconWarning);
    return;
  }
  endUnapplied(UpdatePhase::kIdle, kUpdateNotWritten, platform::kIconWarning);
}

bool UpdateFlow::refusedForRoom(const std::string& package) {
  const std::optional<std::uint64_t> unpacked = unpackedSizeOf(package);
  if (!unpacked)
    return false;
  platform::Files& files = *os_.files;
  const std::string runDir = os_.process->runDirectory();
  const std::int64_t needed = roomNeeded(0, 0, static_cast<std::int64_t>(*unpacked));
  const std::int64_t available = files.availableSpace(runDir);
  if (!lacksRoom(needed, available))
    return false;
  note("no room to apply: " + std::to_string(needed) + " bytes needed, " +
       std::to_string(available) + " free");
  files.remove(package);
  forgetKeptPackage(files, runDir);
  endUnapplied(UpdatePhase::kIdle, roomShortMessage(needed, available, runDir),
               platform::kIconWarning);
  return true;
}

void UpdateFlow::handOver(const std::string& package, bool unpacked) {
  platform::Files& files = *os_.files;
  const std::string runDir = os_.process->runDirectory();
  os_.pump->delay(kBeforeHandOverMs);
  const std::string& title = state_.names.newLauncher;
  // A new launcher of this launcher's name starts from its staged file.
  const std::string& successor = state_.names.successor;
  const std::string newLauncher = base::joinPath(runDir, successor.empty() ? title : successor);
  const std::string ownPath = base::joinPath(runDir, os_.process->executableName());
  const std::string ownNow = ownFileNow();
  // Never leave the player without a launcher: removing this one is only
  // safe when another file, not this running one, has really started. A new
  // launcher of this launcher's own name is that other file once the apply
  // has moved the running one aside. Sameness is the file system's to
  // decide: ".\launcher.exe" or another letter case is still one file.
  const bool found = isInsideRunDirectory(title) && files.exists(newLauncher) &&
                     !files.sameFile(newLauncher, ownNow);
  if (!found) {
    note("no new launcher: " + title);
    if (state_.appliedUpdate) {
      endApply(files, runDir, *state_.appliedUpdate, ApplyDecision::kFinish);
      state_.appliedUpdate.reset();
    }
    enter(UpdatePhase::kIdle);
    // Players have always been asked twice: once where the unpack reports
    // its end, once where the update's completion ends (only that one when
    // nothing could be unpacked). Each answer is acted on.
    if (unpacked)
      offerHelpOrPackage(*os_.messageBoxes, *os_.shell, os_, package);
    offerHelpOrPackage(*os_.messageBoxes, *os_.shell, os_, package);
    return;
  }
  enter(UpdatePhase::kHandingOver);
  const NewLauncherParts parts{os_, *os_.namedEvents, *os_.processes, *os_.pump};
  if (startNewLauncher(parts, newLauncher) == NewLauncherStart::kShown) {
    if (successor.empty()) {
      note("new launcher started: " + title);
      if (state_.appliedUpdate) {
        // This launcher's running file can only go once it has ended.
        endApply(files, runDir, *state_.appliedUpdate, ApplyDecision::kFinish, ownBackupName());
        state_.appliedUpdate.reset();
      }
      followDesktopShortcut(*os_.shell, files, core::readConfigValue(os_, "name", "name1"), ownPath,
                            newLauncher);
    } else {
      note("successor started: " + successor);
    }
    files.remove(package);
    os_.pump->delay(kBetweenPackageRemovalsMs);
    files.remove(package);
    // The successor takes this launcher's name once it has ended: the
    // journal and the folder's lock stay with this process until then.
    if (!successor.empty())
      core::endProgram(end_);
    os_.pump->delay(kBeforeSelfRemovalMs);
    removeOwnExecutable(files, *os_.processes, end_, ownNow);
  }
  note("new launcher failed: " + title);
  if (state_.appliedUpdate) {
    endApply(files, runDir, *state_.appliedUpdate, ApplyDecision::kUndo);
    state_.appliedUpdate.reset();
  }
  files.remove(package);
  endUnapplied(UpdatePhase::kTakenBack, kNewLauncherFailed, platform::kIconWarning);
}

void UpdateFlow::endUnapplied(UpdatePhase next, const std::string& message, unsigned flags) {
  endUnapplied(next, message.c_str(), flags);
}

void UpdateFlow::endUnapplied(UpdatePhase next, const char* message, unsigned flags) {
  enter(next);
  view_.showPanel(false);
  if (message != nullptr)
    os_.messageBoxes->show(message, flags, kUpdateTitle);
  view_.enableStart(true);
  if (state_.closeRequested)
    core::endProgram(end_);
}

std::string UpdateFlow::ownBackupName() const {
  if (!state_.appliedUpdate)
    return {};
  const ApplyStep* own =
      stepFor(state_.appliedUpdate->journal->plan(), os_.process->executableName());
  return own != nullptr ? own->backup : std::string();
}

std::string UpdateFlow::ownFileNow() const {
  const std::string backup = ownBackupName();
  return base::joinPath(os_.process->runDirectory(),
                        backup.empty() ? os_.process->executableName() : backup);
}

void UpdateFlow::onWindowShown() {
  if (state_.phase != UpdatePhase::kIdle)
    return;
  platform::Files& files = *os_.files;
  const std::string startedAs = os_.process->executableName();
  switch (completeSuccession(files, *os_.namedEvents, *os_.pump, *os_.process)) {
    case SuccessionEnd::kCompleted: {
      note("succession completed: " + os_.process->executableName());
      // Copies started by the name this launcher now has are second copies;
      // the name it started under is free for the next successor.
      const std::string instance = core::instanceName(os_);
      os_.namedEvents->createMarker(instance);
      const std::string before = core::derivedInstanceName(os_.process->runDirectory(), startedAs);
      if (before != instance)
        os_.namedEvents->releaseMarker(before);
      break;
    }
    case SuccessionEnd::kLeftForLater:
      note("succession left for a later start");
      return;
    case SuccessionEnd::kNone:
      break;
  }
  const std::string runDir = os_.process->runDirectory();
  const std::optional<KeptPackage> kept = readKeptPackage(files, runDir);
  if (!kept)
    return;
  const std::string address = kept->versionFields[kUpdateAddress];
  const std::string package = packagePath(runDir, address);
  if (!keptPackageStillFits(files, state_, *kept, package)) {
    forgetKeptPackage(files, runDir);
    return;
  }
  note("kept package taken up: " + package);
  state_.versionFields = kept->versionFields;
  state_.names = {address, package, package, kept->versionFields[kProgramTitle], {}};
  state_.progress->percent = 100;
  view_.showRelease(state_.versionFields, composeNotes(state_.versionFields), state_.localVersion);
  view_.showPanel(true);
  view_.showPercent(100);
  view_.enableStart(false);
  applyAndHandOver(package);
}

bool UpdateFlow::deferClose() {
  switch (state_.phase) {
    case UpdatePhase::kVerifying:
    case UpdatePhase::kApplying:
    case UpdatePhase::kHandingOver:
      note(std::string("close asked for while ") + phaseName(state_.phase) + ": after the outcome");
      state_.closeRequested = true;
      return true;
    default:
      return false;
  }
}

}  // namespace update
