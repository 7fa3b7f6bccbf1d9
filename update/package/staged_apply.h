#pragma once

// Staged files applied as one step, and taken back: every target moves to
// its backup name and its staged file into place; a failed step undoes the
// steps before it. A launcher started after a kill finishes an apply whose
// staged files are all there and undoes any other.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/files.h"
#include "platform/named_events.h"
#include "platform/pump.h"
#include "update/package/apply_journal.h"

namespace update {

// The step an apply failed on: its target, and the system's code.
struct StepFailure {
  std::string target;
  std::uint32_t systemError = 0;
};

enum class ApplyResult {
  kApplied,
  // A target stayed held by another program: the folder is as before.
  kInUse,
  // A step failed otherwise (no space, access denied): as before too.
  kFailed,
  // A step failed and a file could not be put back (the game holds one the
  // apply had placed): the folder is partly new. The journal must stay, its
  // decision "undo", for the next start to finish taking it back.
  kUndoIncomplete,
};

// How long a file another program holds is waited for (the game may be
// closing) before the apply gives up, by the pump's clock; without a pump
// it is asked once.
struct InUseRetry {
  int waitMs = 0;
  int pauseMs = 250;
  // Keeps the window's messages going during the pauses.
  platform::Pump* pump = nullptr;
};

// The launcher's: five seconds.
inline constexpr int kInUseWaitMs = 5000;
inline InUseRetry inUseRetryWith(platform::Pump& pump) {
  return InUseRetry{kInUseWaitMs, 250, &pump};
}

// Holds the run directory's apply marker while an update is applied or
// recovered there, so that a launcher started meanwhile (the new one, during
// the hand-over) leaves its journal alone.
class ApplyLock {
 public:
  ApplyLock(platform::NamedEvents& events, const std::string& runDirectory);
  ~ApplyLock();
  ApplyLock(const ApplyLock&) = delete;
  ApplyLock& operator=(const ApplyLock&) = delete;
  // False when another process holds it.
  bool held() const { return held_; }

 private:
  platform::NamedEvents& events_;
  std::string name_;
  bool held_ = false;
};

// An apply that is done but not yet confirmed: the journal and the backups
// stay, and the marker held, until the new launcher has shown its window.
struct AppliedUpdate {
  std::unique_ptr<ApplyLock> lock;
  std::unique_ptr<JournalWriter> journal;
};

// Moves every staged file of the journal's plan into place. On a failed
// step, records the undo and undoes what was done; the journal stays open
// either way, for the caller to finish or undo after the hand-over. After
// kUndoIncomplete the caller drops the writer without JournalWriter::remove.
// `heldBack` last steps are left for later: the step of a file that only
// another process can place (a new launcher of the running one's name).
// `failure`, when given, tells where a failed apply stopped.
ApplyResult applyStaged(platform::Files& files, const std::string& runDirectory,
                        JournalWriter& journal, const InUseRetry& retry, std::size_t heldBack = 0,
                        StepFailure* failure = nullptr);

// Puts back every target, removes what the plan added and the staged files,
// in reverse order; the state of each step is read off the files, so it may
// run again after being interrupted or refused (update/package/step_files.h:
// a file no step made stays). True when every target is as before and no
// staged file is left; on false, what could go back did, and the journal
// must stay for a later start to try again.
bool undoPlan(platform::Files& files, const std::string& runDirectory, const ApplyPlan& plan);

// Removes the backups of an apply that is over: the new files stay; a
// backup whose target is gone goes back to its name instead. False when one
// stays (held, or the old launcher's own running file); the journal, its
// decision "finish", lets a later start remove it.
bool removeBackups(platform::Files& files, const std::string& runDirectory, const ApplyPlan& plan);

enum class Recovery {
  kNoJournal,
  kFinished,
  kUndone,
  // Another launcher is at work on it, it could not be read whole or set
  // aside, or a file stays held: it is tried again at the next start.
  kLeftAlone,
  // It is no journal of ours (empty, cut short in its header, damaged,
  // another program's): moved to a name of its own, the folder untouched.
  kSetAside,
};

// What a launcher does first at start-up (after the single-instance
// guard): brings an interrupted update to an end.
// `ownFile` names the recovering launcher's own file in the folder: a step
// that should put a file at that name cannot be done by it while it runs,
// so an update not yet decided is undone; and a launcher that is itself a
// step's staged file (a successor) leaves the journal to its succession.
// Whatever the journal says, that file is never removed, and moves only
// aside for its staged replacement; a journal that leaves it in the way
// stays for a later start.
Recovery recoverInterruptedUpdate(platform::Files& files, platform::NamedEvents& events,
                                  const std::string& runDirectory, const std::string& ownFile = {});

}  // namespace update
