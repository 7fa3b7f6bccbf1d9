#pragma once

// The one way a package reaches a game folder: the folder's apply lock,
// the journal, every entry staged beside its target, then all applied at
// once, waiting a while for files another program holds. The launcher, the
// publisher's checks, the fuzz harness and the benchmark all go this way.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/files.h"
#include "platform/named_events.h"
#include "platform/text_codec.h"
#include "update/package/staged_apply.h"
#include "update/package/unzip.h"

namespace update {

enum class ApplyOutcomeKind {
  kApplied,
  // A file stayed held by another program (the running game): all old.
  kInUse,
  // A file could not be written (no space, no right to write): all old.
  kNotWritten,
  // The package is missing, no ZIP archive, or holds no entry: all old.
  kUnreadable,
  // An entry is damaged or must not be written (a name leading outside
  // the folder, a link, two entries for one file): all old.
  kDamaged,
  // Another launcher is applying or recovering an update in this folder,
  // a journal of an earlier update is still there, or the journal could not
  // be begun (the system's code says why): nothing was done.
  kBusy,
};

struct ApplyOutcome {
  ApplyOutcomeKind kind = ApplyOutcomeKind::kNotWritten;
  // The file it failed on, relative to the folder; empty when none.
  std::string file;
  // The system's code for the refusal (platform::Files::lastError); 0 when
  // no system call refused.
  std::uint32_t systemError = 0;
};

struct PackageApply {
  std::string archivePath;
  // The game folder, without a trailing separator.
  std::string folder;
  StepOrder order;
  InUseRetry retry;
  // Staging's progress, i * 100 / n after entry i of n; may be empty.
  UnpackProgress progress;
  // Only these entries, of a package fetched in part; null: all of it.
  const PartialArchive* partial = nullptr;
};

struct PackageApplied {
  ApplyOutcome outcome;
  // Applied, not yet confirmed: the lock and the journal, for the caller
  // to finish or undo once it knows. Null unless kApplied.
  std::unique_ptr<AppliedUpdate> pending;
  // When the new launcher keeps the running launcher's name (`order`
  // names it both ways), its step is left to it: it takes the name once the
  // running one has ended (update/succession.h). Its staged file, relative
  // to the folder; empty when no step was left.
  std::string successor;
};

PackageApplied applyPackage(platform::Files& files, platform::NamedEvents& events,
                            platform::TextCodec& codec, const PackageApply& apply);

// Ends an apply that awaited confirmation: kFinish keeps the new files and
// removes the backups, kUndo puts the old files back; the lock goes either
// way, the journal when the folder is all new or all old. `keep` names a
// backup that stays (the running launcher's own old file, which only its
// end can free). False when a file stayed held: the journal, its decision
// made, is left for the next start.
bool endApply(platform::Files& files, const std::string& folder, AppliedUpdate& applied,
              ApplyDecision decision, const std::string& keep = {});

// Applies the package and keeps the new files at once, for callers with no
// launcher to hand over to. `destination` is created when missing and may
// end in a separator. Reports staging's progress, then 100 at the end, or
// a single 0 when the package is unreadable.
ApplyOutcome applyPackageNow(platform::Files& files, platform::NamedEvents& events,
                             platform::TextCodec& codec, const std::string& archivePath,
                             const std::string& destination, const UnpackProgress& progress);

}  // namespace update
