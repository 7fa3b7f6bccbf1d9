#include "update/package/staged_apply.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "base/cp936.h"
#include "base/path.h"
#include "core/startup.h"
#include "update/package/step_files.h"

namespace update {
namespace {

class FolderFiles {
 public:
  FolderFiles(platform::Files& files, const std::string& runDirectory, std::string ownFile = {})
      : files(files), runDirectory_(runDirectory), ownFile_(std::move(ownFile)) {}
  std::string path(const std::string& name) const { return base::joinPath(runDirectory_, name); }
  bool exists(const std::string& name) { return files.exists(path(name)); }
  // The running launcher's file, by its name or by any other that leads to
  // it (letter case, a short name).
  bool isOwnFile(const std::string& name) {
    return !ownFile_.empty() && (base::equalsIgnoringAsciiCase(name, ownFile_) ||
                                 files.sameFile(path(name), path(ownFile_)));
  }
  StepFiles of(const ApplyStep& step) {
    StepFiles found;
    found.staged = exists(step.staged);
    found.target = exists(step.target);
    found.stagedSize = files.size(path(step.target)) == step.size;
    found.backup = !step.backup.empty() && exists(step.backup);
    return found;
  }

  platform::Files& files;

 private:
  const std::string& runDirectory_;
  const std::string ownFile_;
};

// Asks again while another program holds `held`, pausing in between.
bool retryWhileInUse(FolderFiles& folder, const InUseRetry& retry, const std::string& held,
                     const std::function<bool()>& step) {
  const std::int64_t start = retry.pump != nullptr ? retry.pump->nowMs() : 0;
  for (;;) {
    if (step())
      return true;
    // By the clock: a pause may come back early.
    if (retry.pump == nullptr || !folder.files.isInUse(folder.path(held)) ||
        retry.pump->nowMs() - start + retry.pauseMs > retry.waitMs)
      return false;
    retry.pump->delay(retry.pauseMs);
  }
}

bool moveName(FolderFiles& folder, const std::string& from, const std::string& to) {
  return folder.files.move(folder.path(from), folder.path(to));
}

bool canFinish(FolderFiles& folder, const ApplyPlan& plan) {
  return std::all_of(plan.steps.begin(), plan.steps.end(), [&folder](const ApplyStep& step) {
    const StepFiles files = folder.of(step);
    return (files.staged && !isBlocked(step, files)) || isPlaced(files);
  });
}

// The steps not yet done, done; false when one fails, or would overwrite a
// file it has not set aside.
bool redoPlan(FolderFiles& folder, const ApplyPlan& plan) {
  for (const ApplyStep& step : plan.steps) {
    const StepFiles files = folder.of(step);
    if (!files.staged)
      continue;
    if (isBlocked(step, files))
      return false;
    // The running launcher's file too: its replacement is there.
    if (files.target && !moveName(folder, step.target, step.backup))
      return false;
    if (!folder.files.replace(folder.path(step.staged), folder.path(step.target)))
      return false;
  }
  return true;
}

// A name that is gone already counts as removed. The running launcher's
// file stays, whatever names it.
bool removeName(FolderFiles& folder, const std::string& name) {
  if (folder.isOwnFile(name))
    return false;
  return folder.files.remove(folder.path(name)) || !folder.exists(name);
}

// The old file back at the target's name. A launcher running from the
// backup's name stays there.
bool restoreBackup(FolderFiles& folder, const ApplyStep& step) {
  return !folder.isOwnFile(step.backup) &&
         folder.files.replace(folder.path(step.backup), folder.path(step.target));
}

// Every name is tried; false when one stays.
bool removeNames(FolderFiles& folder, const std::vector<std::string>& names) {
  bool removed = true;
  for (const std::string& name : names)
    removed = removeName(folder, name) && removed;
  return removed;
}

// Emptied folders go, deepest (latest made) first; one still holding a
// file stays.
void removeCreatedFolders(FolderFiles& folder, const ApplyPlan& plan) {
  for (auto name = plan.createdFolders.rbegin(); name != plan.createdFolders.rend(); ++name)
    folder.files.removeDirectory(folder.path(*name));
}

// False when the target stays new: the game holds the file the apply put
// there. A staged file not yet placed stays for undoPlan, which removes
// every staged name after the steps.
bool undoStep(FolderFiles& folder, const ApplyStep& step) {
  switch (undoOf(step, folder.of(step))) {
    case StepUndo::kRestoreBackup:
      return restoreBackup(folder, step);
    case StepUndo::kRemoveTarget:
      return removeName(folder, step.target);
    case StepUndo::kNothing:
      break;
  }
  return true;
}

// A step not yet placed whose target is `ownFile`, the running launcher:
// it cannot put a file at its own name.
bool waitsForOwnName(FolderFiles& folder, const ApplyPlan& plan, const std::string& ownFile) {
  const ApplyStep* own = ownFile.empty() ? nullptr : stepFor(plan, ownFile);
  return own != nullptr && !isPlaced(folder.of(*own));
}

bool undoFolder(FolderFiles& folder, const ApplyPlan& plan) {
  // A step that cannot be undone does not stop the others: as much as can
  // go back goes back now.
  bool undone = true;
  for (auto step = plan.steps.rbegin(); step != plan.steps.rend(); ++step)
    undone = undoStep(folder, *step) && undone;
  // Staged before the steps were listed (a kill during staging).
  undone = removeNames(folder, plan.stagedFiles) && undone;
  // Not counted: a folder that stays holds a file counted above, or one
  // the player put there.
  removeCreatedFolders(folder, plan);
  return undone;
}

bool endBackups(FolderFiles& folder, const ApplyPlan& plan) {
  bool ended = true;
  for (const ApplyStep& step : plan.steps) {
    switch (backupEndOf(step, folder.of(step))) {
      case BackupEnd::kRemove:
        // A backup of a read-only file is read-only too.
        folder.files.setAttributes(folder.path(step.backup), platform::kNormalFileAttributes);
        ended = removeName(folder, step.backup) && ended;
        break;
      case BackupEnd::kRestore:
        ended = restoreBackup(folder, step) && ended;
        break;
      case BackupEnd::kNothing:
        break;
    }
  }
  return ended;
}

std::string applyMarkerName(const std::string& runDirectory) {
  return "tavoro-update:" + core::derivedInstanceName(runDirectory, kJournalFileName);
}

}  // namespace

ApplyLock::ApplyLock(platform::NamedEvents& events, const std::string& runDirectory)
    : events_(events), name_(applyMarkerName(runDirectory)) {
  if (events_.markerExists(name_))
    return;
  const platform::NamedEvents::Marker marker = events_.createMarker(name_);
  held_ = marker == platform::NamedEvents::Marker::kCreated;
  // Taken by another launcher in between: the handle just opened would
  // keep its marker alive after that launcher's end.
  if (marker == platform::NamedEvents::Marker::kAlreadyExisted)
    events_.releaseMarker(name_);
}

ApplyLock::~ApplyLock() {
  if (held_)
    events_.releaseMarker(name_);
}

ApplyResult applyStaged(platform::Files& files, const std::string& runDirectory,
                        JournalWriter& journal, const InUseRetry& retry, std::size_t heldBack,
                        StepFailure* failure) {
  FolderFiles folder(files, runDirectory);
  const ApplyPlan& plan = journal.plan();
  const std::size_t count = plan.steps.size() - std::min(heldBack, plan.steps.size());
  for (std::size_t index = 0; index < count; ++index) {
    const ApplyStep& step = plan.steps[index];
    const bool done =
        (step.backup.empty() ||
         retryWhileInUse(folder, retry, step.target,
                         [&] { return moveName(folder, step.target, step.backup); })) &&
        moveName(folder, step.staged, step.target);
    if (!done) {
      if (failure != nullptr)
        *failure = {step.target, files.lastError()};
      const bool inUse = files.isInUse(folder.path(step.target));
      journal.decide(ApplyDecision::kUndo);
      if (!undoPlan(files, runDirectory, plan))
        return ApplyResult::kUndoIncomplete;
      return inUse ? ApplyResult::kInUse : ApplyResult::kFailed;
    }
  }
  return ApplyResult::kApplied;
}

bool undoPlan(platform::Files& files, const std::string& runDirectory, const ApplyPlan& plan) {
  FolderFiles folder(files, runDirectory);
  return undoFolder(folder, plan);
}

bool removeBackups(platform::Files& files, const std::string& runDirectory, const ApplyPlan& plan) {
  FolderFiles folder(files, runDirectory);
  return endBackups(folder, plan);
}

Recovery recoverInterruptedUpdate(platform::Files& files, platform::NamedEvents& events,
                                  const std::string& runDirectory, const std::string& ownFile) {
  FolderFiles folder(files, runDirectory, ownFile);
  if (!folder.exists(kJournalFileName))
    return Recovery::kNoJournal;
  ApplyLock lock(events, runDirectory);
  if (!lock.held())
    return Recovery::kLeftAlone;
  JournalFile journal = readJournal(files, runDirectory);
  switch (journal.read) {
    case JournalRead::kPlan:
      break;
    case JournalRead::kDamaged:
      return setJournalAside(files, runDirectory) ? Recovery::kSetAside : Recovery::kLeftAlone;
    case JournalRead::kUnreadable:
      // Only bytes read whole are known to be no journal: a file the system
      // would not hand over may hold one.
      return Recovery::kLeftAlone;
  }
  ApplyPlan& plan = journal.plan;
  if (!ownFile.empty() && stepStagedAs(plan, ownFile) != nullptr)
    return Recovery::kLeftAlone;
  if (plan.complete && plan.decision == ApplyDecision::kNone) {
    plan.decision = canFinish(folder, plan) && !waitsForOwnName(folder, plan, ownFile)
                        ? ApplyDecision::kFinish
                        : ApplyDecision::kUndo;
    // Decided once: a kill during the recovery must not make the next one
    // decide the other way over a folder half taken back.
    if (!rewriteJournal(files, runDirectory, plan))
      return Recovery::kLeftAlone;
  }
  // A file that stays held keeps the journal, its decision made: the next
  // start goes on from there.
  Recovery outcome = Recovery::kUndone;
  if (plan.decision == ApplyDecision::kFinish) {
    if (!redoPlan(folder, plan) || !endBackups(folder, plan))
      return Recovery::kLeftAlone;
    outcome = Recovery::kFinished;
  } else if (!undoFolder(folder, plan)) {
    return Recovery::kLeftAlone;
  }
  files.remove(base::joinPath(runDirectory, kJournalFileName));
  return outcome;
}

}  // namespace update
