#include "update/download.h"

#include <algorithm>
#include <limits>

#include "base/file_name.h"
#include "base/path.h"
#include "update/download/download_engine.h"
#include "update/download/download_object.h"
#include "update/download/resume_note.h"
#include "update/download_failure.h"
#include "update/package/package_digest_follower.h"
#include "update/package/release_signature.h"
#include "update/progress_text.h"
#include "update/record_names.h"

namespace update {

std::string packagePath(const std::string& runDirectory, const std::string& address) {
  return base::joinPath(runDirectory, packageFileName(address));
}

std::string temporaryPackagePath(const std::string& runDirectory, const std::string& address) {
  return packagePath(runDirectory, address) + kPartialPackageSuffix;
}

namespace {

// A size field of the page, held to the counts a download keeps; `absent`
// without one.
std::int64_t pageSize(const VersionFields& fields, VersionField field, std::uint64_t least,
                      std::int64_t absent) {
  const std::optional<std::uint64_t> size = parsePackageSize(fields[field]);
  return size ? static_cast<std::int64_t>(std::clamp<std::uint64_t>(
                    *size, least, std::numeric_limits<std::int64_t>::max()))
              : absent;
}

}  // namespace

std::int64_t signedSizeBound(const VersionFields& fields) {
  // At least one byte, since 0 means no bound; no ZIP archive is that short.
  return pageSize(fields, kPackageSize, 1, 0);
}

DownloadStart startPackageDownload(platform::Files& files, const std::string& runDirectory,
                                   UpdateState& state, UpdateView& view) {
  ReleaseNames& names = state.names;
  names.address = state.versionFields[kUpdateAddress];
  names.newLauncher = state.versionFields[kProgramTitle];
  names.package = packagePath(runDirectory, names.address);
  // The package, its temporary file and what "No" opens all take this name
  // in the run directory: a name that is no plain file name ("..\x.zip",
  // a device) would put them, and the clean-up, elsewhere. An empty name
  // stays in the run directory (".tmp", and a package path the move
  // refuses).
  const std::string name = packageFileName(names.address);
  if (!name.empty() && !base::isPlainFileName(name))
    return DownloadStart::kNameRefused;
  const std::string temporary = temporaryPackagePath(runDirectory, names.address);
  // A partial package of an earlier run, with its note, is the engine's to
  // continue, or to remove when its note does not fit this download.
  const bool earlierRun = files.exists(resumeNotePath(temporary));
  DownloadRequest request;
  request.address = names.address;
  request.retryPausesMs = state.retryPausesMs;
  request.resumeTag = resumeTagFor(state);
  // Nothing is fetched without room for it: the page's size (signed with a
  // key, a hint without), else the declared length, and the unpacked size
  // where the page hints it.
  request.checkRoom = true;
  request.expectedBytes = signedSizeBound(state.versionFields);
  // The page's hint of the unpacked size; -1: none.
  request.unpackedBytes = pageSize(state.versionFields, kUnpackedSize, 0, -1);
  state.progress->arrivedWhole = false;
  if (state.publicKey.empty()) {
    request.localFile = temporary;
    request.keepPartial = true;
    // A temporary file left by an interrupted run would make the engine give
    // up (the file exists) and be unpacked as if it were this download.
    if (!earlierRun)
      files.remove(request.localFile);
  } else {
    // Nothing is removed because a page names it: the download goes to a
    // name no file has, whatever lies in the folder.
    const std::optional<std::string> unused =
        earlierRun ? temporary : unusedLocalPath(files, temporary);
    if (!unused)
      return DownloadStart::kNoFreeName;
    request.localFile = *unused;
    // Only the plain name is looked at for a note the next time.
    request.keepPartial = request.localFile == temporary;
    request.maxBytes = signedSizeBound(state.versionFields);
    state.packageDigest = std::make_shared<PackageDigestFollower>(files, request.localFile);
  }
  names.download = request.localFile;
  // The program-wide record shows what the task was given.
  *state.taskParameters = taskRecordOf(request);
  const bool started = state.downloadObject->start(
      request, std::make_shared<DownloadNotices>(view, state.progress, state.packageDigest));
  return started ? DownloadStart::kStarted : DownloadStart::kNotStarted;
}

void DownloadNotices::totalSizeKnown(std::int64_t total) {
  progress_->totalSize = total;
}

void DownloadNotices::blockWritten(std::int32_t, std::int64_t received) {
  if (digest_)
    digest_->advance(received);
  // The running total, not the block, decides the percent.
  progress_->percent = percentOf(received, progress_->totalSize);
  postProgress();
}

void DownloadNotices::postProgress() {
  if (!progress_->progressNoticePending.exchange(true))
    view_.post(DownloadNotice::kProgress);
}

void DownloadNotices::bodyResumed(std::int64_t kept) {
  // Kept bytes on disk are hashed first; bytes of a body that starts over
  // are forgotten.
  if (digest_) {
    if (kept == 0)
      digest_->rewind();
    else
      digest_->advance(kept);
  }
  progress_->percent = percentOf(kept, progress_->totalSize);
  postProgress();
}

void DownloadNotices::transferEnded(bool complete) {
  progress_->arrivedWhole = complete;
}

void DownloadNotices::taskEnded(std::int64_t) {
  view_.post(DownloadNotice::kEnded);
}

void showTransfer(UpdateView& view, UpdateState& state) {
  if (!state.downloadObject)
    return;  // ticks cannot outlive the state, but be sure
  DownloadObject& download = *state.downloadObject;
  view.showTransfer(speedCaption(download.takeBytesSinceLastQuery()),
                    receivedCaption(download.receivedBytes()),
                    sizeCaption(state.progress->totalSize));
}

}  // namespace update
