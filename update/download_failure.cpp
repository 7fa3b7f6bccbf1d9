#include "update/download_failure.h"

#include "ui/control_names.h"
#include "update/download/resume_note.h"
#include "update/version.h"

namespace update {

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
  messageBoxes.show(kPackageNotDownloaded, platform::kIconWarning, kUpdateTitle);
  controls.setEnabled(ui::name::kStartButton, true);
  return true;
}

}  // namespace update
