#pragma once

// The update package download as the window sees it: starting it, the
// engine's reports turned into notices, and the panel that shows progress.

#include <memory>
#include <string>

#include "core/program.h"
#include "update/download/download_events.h"
#include "update/update_state.h"

namespace update {

// The package's place in the run directory, from the address of the download.
std::string packagePath(platform::Process& process, const std::string& address);
std::string temporaryPackagePath(platform::Process& process, const std::string& address);

// What starting the download uses.
struct DownloadStart {
  ui::Controls& controls;
  platform::Files& files;
  platform::Process& process;
  platform::MessageBoxes& messageBoxes;
};

// Downloads the version page's update address into the temporary package
// path, in the background.
void startUpdateDownload(const DownloadStart& use, UpdateState& state);

// The launcher's reports of a download, on the engine's thread: store two
// integers and post notices to the notice label, nothing more.
class DownloadNotices final : public DownloadObserver {
 public:
  // `digest` (may be null) hears how far the file has grown.
  DownloadNotices(ui::Notices& notices, std::shared_ptr<DownloadProgress> progress,
                  std::shared_ptr<PackageDigestFollower> digest)
      : notices_(notices), progress_(std::move(progress)), digest_(std::move(digest)) {}

  void totalSizeKnown(std::int64_t total) override;
  void blockWritten(std::int32_t size, std::int64_t received) override;
  void bodyResumed(std::int64_t kept) override;
  void transferEnded(bool complete) override;
  void taskEnded(std::int64_t received) override;

 private:
  ui::Notices& notices_;
  const std::shared_ptr<DownloadProgress> progress_;
  const std::shared_ptr<PackageDigestFollower> digest_;
};

// The feedback event of the notice label: 2 progress, 1 download ended.
void onDownloadNotice(core::Context& ctx, UpdateState& state, const ui::EventArgs& args);

// Every 800 ms: speed, received and total size.
void onProgressTick(ui::Controls& controls, UpdateState& state);

}  // namespace update
