#pragma once

// What a recovery may do with one step of a journal, decided from what the
// folder holds of it. A journal names the step's files, not whose they are:
// a file at the target's name may be the one the step placed, the old one
// it has not moved yet, or one that came there otherwise (a player's file,
// a journal written by hand). Only what the step itself made is removed or
// overwritten.

#include "update/package/apply_journal.h"

namespace update {

// The step's names as found in the folder.
struct StepFiles {
  bool staged = false;
  bool target = false;
  // The file at the target's name has the staged file's size.
  bool stagedSize = false;
  // Its backup name is taken; never for a step without one.
  bool backup = false;
};

// The staged file has taken the target's place: its name is gone and the
// target has its size.
bool isPlaced(const StepFiles& files);

// Placing the staged file would overwrite a file the step has not moved to
// its backup: a target there while the backup name is taken already, or
// while the step has none (no file had the name when it was staged).
bool isBlocked(const ApplyStep& step, const StepFiles& files);

enum class StepUndo {
  kNothing,
  // The old file goes back over whatever has the target's name.
  kRestoreBackup,
  // No file had the name before: the one the step placed goes.
  kRemoveTarget,
};

// Taking the step back. A backup is put back unless the staged file is still
// there beside a target, which then is no file the step placed. A target
// of a step without backup is removed only when it is the step's own file
// as far as the folder tells: the staged name gone and the staged size.
StepUndo undoOf(const ApplyStep& step, const StepFiles& files);

enum class BackupEnd {
  kNothing,
  kRemove,
  // The target is gone: the backup is the only file left of it, and goes
  // back to its name rather than away.
  kRestore,
};

// What becomes of the backup once the update is kept.
BackupEnd backupEndOf(const ApplyStep& step, const StepFiles& files);

}  // namespace update
