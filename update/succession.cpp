#include "update/succession.h"

#include <memory>

#include "base/path.h"
#include "update/package/staged_apply.h"

namespace update {

std::optional<Succession> successionOf(const ApplyPlan& plan, const std::string& ownFile) {
  const ApplyStep* step = stepStagedAs(plan, ownFile);
  if (!plan.complete || plan.decision == ApplyDecision::kUndo || step == nullptr)
    return std::nullopt;
  return Succession{step->staged, step->target};
}

SuccessionEnd completeSuccession(platform::Files& files, platform::NamedEvents& events,
                                 platform::Pump& pump, platform::Process& process) {
  const std::string runDir = process.runDirectory();
  const JournalFile journal = readJournal(files, runDir);
  const std::optional<Succession> succession =
      journal.read == JournalRead::kPlan ? successionOf(journal.plan, process.executableName())
                                         : std::nullopt;
  if (!succession)
    return SuccessionEnd::kNone;

  // The old launcher holds the folder's apply lock until it ends.
  const std::int64_t start = pump.nowMs();
  std::unique_ptr<ApplyLock> lock;
  for (;;) {
    lock = std::make_unique<ApplyLock>(events, runDir);
    if (lock->held())
      break;
    lock.reset();
    if (pump.nowMs() - start >= kSuccessionWaitMs)
      return SuccessionEnd::kLeftForLater;
    pump.delay(kSuccessionPollMs);
  }
  // Its file stays a running program's for a moment after its end.
  const std::string staged = base::joinPath(runDir, succession->staged);
  const std::string target = base::joinPath(runDir, succession->target);
  const std::int64_t ended = pump.nowMs();
  while (!files.replace(staged, target)) {
    if (pump.nowMs() - ended >= kSuccessionWaitMs)
      return SuccessionEnd::kLeftForLater;
    pump.delay(kSuccessionPollMs);
  }
  process.renamed(succession->target);
  lock.reset();
  // Every step is in place: the update ends as after a kill at this point.
  recoverInterruptedUpdate(files, events, runDir, succession->target);
  return SuccessionEnd::kCompleted;
}

}  // namespace update
