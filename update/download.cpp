#include "update/download.h"

#include "base/file_name.h"
#include "base/path.h"
#include "base/values.h"
#include "ui/control_names.h"
#include "update/download/download_engine.h"
#include "update/download/download_object.h"
#include "update/download/resume_note.h"
#include "update/download_failure.h"
#include "update/handoff.h"
#include "update/package/package_digest_follower.h"
#include "update/progress_text.h"
#include "update/version_page.h"

namespace update {
namespace {

constexpr int kNoticeEnded = 1;
constexpr int kNoticeProgress = 2;

}  // namespace

std::string packagePath(platform::Process& process, const std::string& address) {
  return base::joinPath(process.runDirectory(), packageFileName(address));
}

std::string temporaryPackagePath(platform::Process& process, const std::string& address) {
  return packagePath(process, address) + ".tmp";
}

void startUpdateDownload(const DownloadStart& use, UpdateState& state) {
  DownloadTaskParameters& task = *state.taskParameters;
  task.modeWord = kModeDownload;
  task.connections = 1;
  task.sourceAddress = state.versionFields[kUpdateAddress];
  // The package, its temporary file and what "No" opens all take this name
  // in the run directory: a name that is no plain file name ("..\x.zip",
  // a device) would put them, and the clean-up, elsewhere. Nothing is
  // fetched then, and the start button works again. An empty name stays
  // in the run directory (".tmp", and a package path the move refuses).
  const std::string name = packageFileName(task.sourceAddress);
  if (!name.empty() && !base::isPlainFileName(name)) {
    if (state.publicKey.empty())
      use.controls.setEnabled(ui::name::kStartButton, true);
    else
      refuseRelease(use.messageBoxes, use.controls);
    return;
  }
  const std::string temporary = temporaryPackagePath(use.process, task.sourceAddress);
  // A partial package of an earlier run, with its note, is the engine's to
  // continue, or to remove when its note does not fit this download.
  const bool earlierRun = use.files.exists(resumeNotePath(temporary));
  task.resumeTag = resumeTagFor(state);
  state.progress->arrivedWhole = false;
  if (state.publicKey.empty()) {
    task.localFilePath = temporary;
    task.keepPartial = true;
    // A temporary file left by an interrupted run would make the engine give
    // up (the file exists) and be unpacked as if it were this download.
    if (!earlierRun)
      use.files.remove(task.localFilePath);
  } else {
    // Nothing is removed because a page names it: the download goes to a
    // name no file has, whatever lies in the folder.
    const std::optional<std::string> unused =
        earlierRun ? temporary : unusedLocalPath(use.files, temporary);
    if (!unused) {
      refuseRelease(use.messageBoxes, use.controls);
      return;
    }
    task.localFilePath = *unused;
    // Only the plain name is looked at for a note the next time.
    task.keepPartial = task.localFilePath == temporary;
    state.packageDigest = std::make_shared<PackageDigestFollower>(use.files, task.localFilePath);
  }
  state.downloadObject->startTask(
      task, std::make_shared<DownloadNotices>(use.controls, state.progress, state.packageDigest));
}

// The panel's figures are the notification routine's 32-bit ones.
void DownloadNotices::totalSizeKnown(std::int64_t total) {
  progress_->totalSize = base::clampToInt32(total);
}

void DownloadNotices::blockWritten(std::int32_t, std::int64_t received) {
  const std::int32_t shown = base::clampToInt32(received);
  if (digest_)
    digest_->advance(shown);
  // The running total, not the block, decides the percent.
  progress_->percent = percentOf(shown, progress_->totalSize);
  notices_.postNotice(ui::name::kPublishedVersion, kNoticeProgress, 0);
}

void DownloadNotices::bodyResumed(std::int64_t keptBytes) {
  const std::int32_t kept = base::clampToInt32(keptBytes);
  // Kept bytes on disk are hashed first; bytes of a body that starts over
  // are forgotten.
  if (digest_) {
    if (kept == 0)
      digest_->rewind();
    else
      digest_->advance(kept);
  }
  progress_->percent = percentOf(kept, progress_->totalSize);
  notices_.postNotice(ui::name::kPublishedVersion, kNoticeProgress, 0);
}

void DownloadNotices::transferEnded(bool complete) {
  progress_->arrivedWhole = complete;
}

void DownloadNotices::taskEnded(std::int64_t) {
  notices_.postNotice(ui::name::kPublishedVersion, kNoticeEnded, 0);
}

void onDownloadNotice(core::Context& ctx, UpdateState& state, const ui::EventArgs& args) {
  ui::Controls& controls = *ctx.controls;
  if (args.first == kNoticeProgress) {
    // The percent as it is now, not as it was when the notice was posted.
    const std::int32_t percent = state.progress->percent;
    controls.setText(ui::name::kPercentLabel, percentCaption(percent));
    controls.setPosition(ui::name::kProgressBar, percent);
  } else if (args.first == kNoticeEnded) {
    completeUpdate(ctx, state);
  }
}

void onProgressTick(ui::Controls& controls, UpdateState& state) {
  if (!state.downloadObject)
    return;  // ticks cannot outlive the state, but be sure
  DownloadObject& download = *state.downloadObject;
  controls.setText(ui::name::kSpeedLabel, speedCaption(download.bytesSinceLastQuery()));
  controls.setText(ui::name::kReceivedLabel, receivedCaption(download.bytesReceived()));
  controls.setText(ui::name::kSizeLabel, sizeCaption(state.progress->totalSize));
}

}  // namespace update
