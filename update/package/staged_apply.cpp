#include "update/package/staged_apply.h"

#include <algorithm>
#include <functional>

#include "base/cp936.h"
#include "base/path.h"
#include "core/startup.h"

namespace update {
namespace {

class FolderFiles {
 public:
  FolderFiles(platform::Files& files, const std::string& runDirectory)
      : files(files), runDirectory_(runDirectory) {}
  std::string path(const std::string& name) const { return base::joinPath(runDirectory_, name); }
  bool exists(const std::string& name) { return files.exists(path(name)); }

  platform::Files& files;

 private:
  const std::string& runDirectory_;
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

// The step has put its staged file into place: the staged name is gone and
// the target has the staged size.
bool isPlaced(FolderFiles& folder, const ApplyStep& step) {
  return !folder.exists(step.staged) && folder.files.size(folder.path(step.target)) == step.size;
}

bool canFinish(FolderFiles& folder, const ApplyPlan& plan) {
  return std::all_of(plan.steps.begin(), plan.steps.end(), [&folder](const ApplyStep& step) {
    return folder.exists(step.staged) || isPlaced(folder, step);
  });
}

// The steps not yet done, done; false when one fails.
bool redoPlan(FolderFiles& folder, const ApplyPlan& plan) {
  for (const ApplyStep& step : plan.steps) {
    if (!folder.exists(step.staged))
      continue;
    if (!step.backup.empty() && !folder.exists(step.backup) && folder.exists(step.target) &&
        !moveName(folder, step.target, step.backup)) {
      return false;
    }
    if (!folder.files.replace(folder.path(step.staged), folder.path(step.target)))
      return false;
  }
  return true;
}

// A name that is gone already counts as removed.
bool removeName(FolderFiles& folder, const std::string& name) {
  return folder.files.remove(folder.path(name)) || !folder.exists(name);
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
  const bool placed = !folder.exists(step.staged);
  if (!step.backup.empty()) {
    return !folder.exists(step.backup) ||
           folder.files.replace(folder.path(step.backup), folder.path(step.target));
  }
  // No file had this name before: the one there now is the package's.
  return !placed || removeName(folder, step.target);
}

// A step not yet placed whose target is `ownFile`, the running launcher:
// it cannot put a file at its own name.
bool waitsForOwnName(FolderFiles& folder, const ApplyPlan& plan, const std::string& ownFile) {
  const ApplyStep* own = ownFile.empty() ? nullptr : stepFor(plan, ownFile);
  return own != nullptr && !isPlaced(folder, *own);
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

bool removeBackups(platform::Files& files, const std::string& runDirectory, const ApplyPlan& plan) {
  FolderFiles folder(files, runDirectory);
  bool removed = true;
  for (const ApplyStep& step : plan.steps) {
    if (step.backup.empty())
      continue;
    // A backup of a read-only file is read-only too.
    files.setAttributes(folder.path(step.backup), platform::kNormalFileAttributes);
    removed = removeName(folder, step.backup) && removed;
  }
  return removed;
}

Recovery recoverInterruptedUpdate(platform::Files& files, platform::NamedEvents& events,
                                  const std::string& runDirectory, const std::string& ownFile) {
  FolderFiles folder(files, runDirectory);
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
    if (!redoPlan(folder, plan) || !removeBackups(files, runDirectory, plan))
      return Recovery::kLeftAlone;
    outcome = Recovery::kFinished;
  } else if (!undoPlan(files, runDirectory, plan)) {
    return Recovery::kLeftAlone;
  }
  files.remove(base::joinPath(runDirectory, kJournalFileName));
  return outcome;
}

}  // namespace update
