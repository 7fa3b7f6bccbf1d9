#include "update/package/step_files.h"

namespace update {

bool isPlaced(const StepFiles& files) {
  return !files.staged && files.target && files.stagedSize;
}

bool isBlocked(const ApplyStep& step, const StepFiles& files) {
  return files.staged && files.target && (step.backup.empty() || files.backup);
}

StepUndo undoOf(const ApplyStep& step, const StepFiles& files) {
  if (!step.backup.empty())
    return files.backup && !(files.staged && files.target) ? StepUndo::kRestoreBackup
                                                           : StepUndo::kNothing;
  return isPlaced(files) ? StepUndo::kRemoveTarget : StepUndo::kNothing;
}

BackupEnd backupEndOf(const ApplyStep& step, const StepFiles& files) {
  if (step.backup.empty() || !files.backup)
    return BackupEnd::kNothing;
  return files.target ? BackupEnd::kRemove : BackupEnd::kRestore;
}

}  // namespace update
