#include "update/download.h"

#include "core/program.h"
#include "core/state.h"
#include "ui/control_names.h"
#include "update/download_object.h"
#include "update/handoff.h"
#include "update/progress_text.h"

namespace update {
namespace {

constexpr std::int32_t kTotalSizeKnown = 3;
constexpr std::int32_t kBlockArrived = 16;
constexpr std::int32_t kTaskEnded = 4;
constexpr std::int32_t kFileExists = 18;
constexpr std::int32_t kGiveUp = 1;
constexpr int kNoticeEnded = 1;
constexpr int kNoticeProgress = 2;

void postNotice(int kind) {
  core::context().controls->postNotice(ui::name::kPublishedVersion, kind, 0);
}

}  // namespace

std::string packagePath(const std::string& address) {
  return core::context().os.process->runDirectory() + "\\" + packageFileName(address);
}

std::string temporaryPackagePath(const std::string& address) {
  return packagePath(address) + ".tmp";
}

void startUpdateDownload() {
  core::ProgramState& state = core::programState();
  core::DownloadTaskParameters& task = *state.taskParameters;
  task.modeWord = core::kModeDownload;
  task.connections = 1;
  task.sourceAddress = state.versionFields[core::kUpdateAddress];
  task.localFilePath = temporaryPackagePath(task.sourceAddress);
  task.progress = &downloadEventRoutine;
  // A temporary file left by an interrupted run would make the engine give
  // up (the routine answers 1 when the file exists) and be unpacked as if
  // it were this download.
  core::context().os.files->remove(task.localFilePath);
  state.downloadObject->startTask(task);
}

std::int32_t downloadEventRoutine(std::int32_t code, void*, std::int32_t value, std::int32_t,
                                  void*) {
  core::ProgramState& state = core::programState();
  switch (code) {
    case kTotalSizeKnown:
      state.downloadTotalSize = value;
      return 0;
    case kBlockArrived:
      // The engine's running total, not the block, decides the percent.
      state.downloadPercent =
          percentOf(state.downloadObject->bytesReceived(), state.downloadTotalSize);
      postNotice(kNoticeProgress);
      return 0;
    case kTaskEnded:
      postNotice(kNoticeEnded);
      return 0;
    case kFileExists:
      return kGiveUp;
    default:
      return 0;
  }
}

void onDownloadNotice(const ui::EventArgs& args) {
  ui::Controls& controls = *core::context().controls;
  if (args.first == kNoticeProgress) {
    // The percent as it is now, not as it was when the notice was posted.
    const std::int32_t percent = core::programState().downloadPercent;
    controls.setText(ui::name::kPercentLabel, percentCaption(percent));
    controls.setPosition(ui::name::kProgressBar, percent);
  } else if (args.first == kNoticeEnded) {
    completeUpdate();
  }
}

void onProgressTick(const ui::EventArgs&) {
  ui::Controls& controls = *core::context().controls;
  core::ProgramState& state = core::programState();
  if (!state.downloadObject)
    return;  // ticks cannot outlive the state, but be sure
  update::DownloadObject& download = *state.downloadObject;
  controls.setText(ui::name::kSpeedLabel, speedCaption(download.bytesSinceLastQuery()));
  controls.setText(ui::name::kReceivedLabel, receivedCaption(download.bytesReceived()));
  controls.setText(ui::name::kSizeLabel, sizeCaption(state.downloadTotalSize));
}

}  // namespace update
