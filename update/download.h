#pragma once

// The update package's download: where it goes, starting it, the engine's
// reports turned into notices for the window's thread, and the panel's
// figures.

#include <memory>
#include <string>

#include "platform/files.h"
#include "update/download/download_events.h"
#include "update/update_state.h"
#include "update/update_view.h"

namespace update {

// The package's place in the run directory, from the address of the download.
std::string packagePath(const std::string& runDirectory, const std::string& address);
std::string temporaryPackagePath(const std::string& runDirectory, const std::string& address);

enum class DownloadStart {
  kStarted,
  // The address names no plain file name ("..\x.zip", a device): nothing
  // is fetched, since the package would land outside the run directory.
  kNameRefused,
  // With a key: every temporary name is some file's already.
  kNoFreeName,
  // The download object refused the address (empty, not http[s]://...).
  kNotStarted,
};

// The most bytes a signed package's download may bring: the page's signed
// size (at least 1); 0 when the page gives none. Only a release whose
// signature was checked is downloaded with it.
std::int64_t signedSizeBound(const VersionFields& fields);

// Downloads the release in `state.versionFields` into the run directory in
// the background; sets `state.names`. With a key, the download stops at the
// signed size.
DownloadStart startPackageDownload(platform::Files& files, const std::string& runDirectory,
                                   UpdateState& state, UpdateView& view);

// The launcher's reports of a download, on the engine's thread: store two
// integers and post notices, nothing more.
class DownloadNotices final : public DownloadObserver {
 public:
  // `digest` (may be null) hears how far the file has grown.
  DownloadNotices(UpdateView& view, std::shared_ptr<DownloadProgress> progress,
                  std::shared_ptr<PackageDigestFollower> digest)
      : view_(view), progress_(std::move(progress)), digest_(std::move(digest)) {}

  void totalSizeKnown(std::int64_t total) override;
  void blockWritten(std::int32_t size, std::int64_t received) override;
  void bodyResumed(std::int64_t kept) override;
  void transferEnded(bool complete) override;
  void taskEnded(std::int64_t received) override;

 private:
  // At most one progress notice waits at a time.
  void postProgress();

  UpdateView& view_;
  const std::shared_ptr<DownloadProgress> progress_;
  const std::shared_ptr<PackageDigestFollower> digest_;
};

// Every 800 ms: speed, received and total size.
void showTransfer(UpdateView& view, UpdateState& state);

}  // namespace update
