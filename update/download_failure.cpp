#include "update/download_failure.h"

#include "ui/control_names.h"
#include "update/download/resume_note.h"
#include "update/version.h"

namespace update {

void reportUnapplied(platform::MessageBoxes& messageBoxes, ui::Controls& controls,
                     const char* message, unsigned flags) {
  messageBoxes.show(message, flags, kUpdateTitle);
  controls.setEnabled(ui::name::kStartButton, true);
}

bool keptForLater(platform::Files& files, const std::string& temporary) {
  return files.exists(temporary) && files.exists(resumeNotePath(temporary));
}

std::string resumeTagFor(const UpdateState& state) {
  if (state.publicKey.empty())
    return {};
  return state.versionFields[kPackageSize] + " " + state.versionFields[kPackageDigest];
}

bool endUnfinishedDownload(platform::Files& files, platform::MessageBoxes& messageBoxes,
                           ui::Controls& controls, UpdateState& state) {
  if (state.progress->arrivedWhole)
    return false;
  const std::string& temporary = state.taskParameters->localFilePath;
  const bool kept = keptForLater(files, temporary);
  if (state.publicKey.empty())
    return kept;
  if (!kept)
    files.remove(temporary);
  reportUnapplied(messageBoxes, controls, kPackageNotDownloaded, platform::kIconWarning);
  return true;
}

}  // namespace update
