#pragma once

// A new launcher that keeps the running launcher's name. Windows keeps a
// running program's file in place: neither it nor its name can be replaced
// while it runs, and moving it aside first would leave, for a moment, no
// launcher at that name. So the new launcher starts from its staged file
// beside the old one; once the old launcher has ended, the new one moves
// its own file onto the name in one step, and the update is finished.
// Until that step the name holds the old launcher, which undoes the update
// if it starts first.

#include <optional>
#include <string>

#include "platform/files.h"
#include "platform/named_events.h"
#include "platform/process.h"
#include "platform/pump.h"
#include "update/package/apply_journal.h"

namespace update {

// How long the successor waits for the old launcher to end.
inline constexpr int kSuccessionWaitMs = 15000;
inline constexpr int kSuccessionPollMs = 100;

// The step the successor completes: its staged file and the name it takes.
struct Succession {
  std::string staged;
  std::string target;
};

// The step of `plan` whose staged file is `ownFile`, the running program:
// this launcher is the successor that step waits for.
std::optional<Succession> successionOf(const ApplyPlan& plan, const std::string& ownFile);

enum class SuccessionEnd {
  // This launcher's file holds the name now, and the update is finished.
  kCompleted,
  // Not this launcher's to complete: no journal, or no step waits for it.
  kNone,
  // The old launcher did not end in time, or the name could not be taken:
  // left for a later start.
  kLeftForLater,
};

// Completes the succession this launcher is the new file of.
SuccessionEnd completeSuccession(platform::Files& files, platform::NamedEvents& events,
                                 platform::Pump& pump, platform::Process& process);

}  // namespace update
