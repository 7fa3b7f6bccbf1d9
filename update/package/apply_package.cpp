#include "update/package/apply_package.h"

#include "base/cp936.h"
#include "base/path.h"

namespace update {
namespace {

ApplyOutcomeKind outcomeOfStaging(StageResult result) {
  switch (result) {
    case StageResult::kStaged:
      return ApplyOutcomeKind::kApplied;
    case StageResult::kNoEntries:
      return ApplyOutcomeKind::kUnreadable;
    case StageResult::kDamaged:
      return ApplyOutcomeKind::kDamaged;
    case StageResult::kNotWritten:
      break;
  }
  return ApplyOutcomeKind::kNotWritten;
}

}  // namespace

PackageApplied applyPackage(platform::Files& files, platform::NamedEvents& events,
                            platform::TextCodec& codec, const PackageApply& apply) {
  PackageApplied result;
  auto lock = std::make_unique<ApplyLock>(events, apply.folder);
  std::uint32_t journalError = 0;
  std::unique_ptr<JournalWriter> journal =
      lock->held() ? JournalWriter::create(files, apply.folder, &journalError) : nullptr;
  if (!journal) {
    result.outcome = {ApplyOutcomeKind::kBusy, kJournalFileName, journalError};
    return result;
  }
  StageFailure failure;
  const UnpackProgress progress = apply.progress ? apply.progress : [](int) {};
  const StageResult staged = stageArchive(files, codec, apply.archivePath, apply.folder, *journal,
                                          progress, apply.order, &failure, apply.partial);
  if (staged != StageResult::kStaged) {
    // A staged file another program opened meanwhile keeps the journal,
    // for the next start to remove it.
    if (failure.undone)
      journal->remove();
    result.outcome = {outcomeOfStaging(staged), failure.file, failure.systemError};
    return result;
  }
  const std::vector<ApplyStep>& steps = journal->plan().steps;
  const StepOrder& order = apply.order;
  const bool holdBack =
      !order.ownFile.empty() && base::equalsIgnoringAsciiCase(order.newLauncher, order.ownFile) &&
      !steps.empty() && base::equalsIgnoringAsciiCase(steps.back().target, order.ownFile);
  StepFailure stopped;
  const ApplyResult applied =
      applyStaged(files, apply.folder, *journal, apply.retry, holdBack ? 1 : 0, &stopped);
  if (applied != ApplyResult::kApplied) {
    // Not all could go back: the journal stays, its decision "undo", and
    // the next start ends the undo before anything else; to the player
    // that is a file the game holds.
    if (applied != ApplyResult::kUndoIncomplete)
      journal->remove();
    result.outcome = {
        applied == ApplyResult::kFailed ? ApplyOutcomeKind::kNotWritten : ApplyOutcomeKind::kInUse,
        stopped.target, stopped.systemError};
    return result;
  }
  result.outcome = {ApplyOutcomeKind::kApplied, {}, 0};
  if (holdBack)
    result.successor = steps.back().staged;
  result.pending =
      std::make_unique<AppliedUpdate>(AppliedUpdate{std::move(lock), std::move(journal)});
  return result;
}

bool endApply(platform::Files& files, const std::string& folder, AppliedUpdate& applied,
              ApplyDecision decision, const std::string& keep) {
  JournalWriter& journal = *applied.journal;
  journal.decide(decision);
  bool settled = false;
  if (decision == ApplyDecision::kFinish) {
    ApplyPlan plan = journal.plan();
    for (ApplyStep& step : plan.steps) {
      if (!keep.empty() && base::equalsIgnoringAsciiCase(step.backup, keep))
        step.backup.clear();
    }
    settled = removeBackups(files, folder, plan);
  } else {
    settled = undoPlan(files, folder, journal.plan());
  }
  if (settled)
    journal.remove();
  applied.journal.reset();
  applied.lock.reset();
  return settled;
}

ApplyOutcome applyPackageNow(platform::Files& files, platform::NamedEvents& events,
                             platform::TextCodec& codec, const std::string& archivePath,
                             const std::string& destination, const UnpackProgress& progress) {
  const std::string folder = base::withoutTrailingSeparators(destination);
  createFolderChain(files, folder);
  PackageApplied applied =
      applyPackage(files, events, codec, {archivePath, folder, {}, InUseRetry{}, progress});
  if (applied.pending)
    endApply(files, folder, *applied.pending, ApplyDecision::kFinish);
  // The archive is closed by now: Windows cannot delete a file still open.
  if (progress)
    progress(applied.outcome.kind == ApplyOutcomeKind::kUnreadable ? 0 : 100);
  return applied.outcome;
}

}  // namespace update
