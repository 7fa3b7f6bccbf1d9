#pragma once

// The update's part of the program-wide state: the phase of the update,
// the release the page announced and the names it gives, the download task
// and its progress, and an apply awaiting the new launcher.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/sockets.h"
#include "platform/tls.h"
#include "update/download/download_request.h"
#include "update/download/download_task_parameters.h"
#include "update/package/release_signature.h"
#include "update/settings_block.h"
#include "update/version_page.h"

namespace update {

class DownloadObject;
struct AppliedUpdate;
class PackageDigestFollower;
struct PartialFetch;

// Where the update is. A start click does something only in kIdle and
// kTakenBack; a close request waits while the folder is changing.
enum class UpdatePhase {
  kIdle,
  // The start click: the game starts, the page is read.
  kChecking,
  // The player is asked whether to update.
  kAsking,
  kDownloading,
  // The download has ended: is it whole, and the publisher's?
  kVerifying,
  // The package is staged and applied; a held file is waited for.
  kApplying,
  // The new launcher is starting; this one waits for its window.
  kHandingOver,
  // The new launcher failed and the old files are back; the start button
  // works again.
  kTakenBack,
};

const char* phaseName(UpdatePhase phase);

// Written by the download engine's thread, read on the window's thread; the
// engine's reports hold it, so it lives as long as the last of them.
struct DownloadProgress {
  // In 64 bits: packages pass 4 GiB. Only the notification routine's own
  // integers are 32-bit, and the panel never reads those.
  std::atomic<std::int64_t> totalSize{0};
  std::atomic<std::int32_t> percent{0};
  // A progress notice is on its way to the window's thread: the next block
  // posts none, as that notice will show the percent current by then. A
  // fast link would otherwise flood the window's queue, and its timer, which
  // comes only to an empty queue, would stop refreshing the panel.
  std::atomic<bool> progressNoticePending{false};
  // Set by the engine's thread before the end is posted.
  std::atomic<bool> arrivedWhole{false};
};

// The release being installed, and the names it gives.
struct ReleaseNames {
  std::string address;
  // The package in the run directory, and the file the download writes.
  std::string package;
  std::string download;
  // The new launcher as the page names it, relative to the run directory.
  std::string newLauncher;
  // When the new launcher keeps this launcher's name: the staged file it
  // starts from, relative to the run directory (update/succession.h).
  std::string successor;
};

struct UpdateState {
  UpdateState(platform::Sockets& sockets, platform::Tls& tls, platform::Files& files);
  ~UpdateState();
  UpdateState(const UpdateState&) = delete;
  UpdateState& operator=(const UpdateState&) = delete;

  UpdatePhase phase = UpdatePhase::kIdle;
  // A close asked for while the folder was changing: honoured once the
  // outcome is known.
  bool closeRequested = false;

  VersionFields versionFields;
  ReleaseNames names;
  // Base64 of the publisher's public key; empty: packages are taken unsigned.
  std::string publicKey;
  // A second key whose releases are taken too; empty when there is none.
  std::string backupKey;
  // The version page this launcher reads, which a signed release must name.
  std::string pageAddress;
  // This launcher's version, which a published one must sort after.
  std::string localVersion = TAVORO_DEFAULT_LOCAL_VERSION;
  // The pauses before the download asks again after a break.
  std::vector<std::int32_t> retryPausesMs = kRetryPausesMs;
  // Hashes the package as it arrives, for a launcher with a key.
  std::shared_ptr<PackageDigestFollower> packageDigest;
  // The record of the last task's settings, kept as the program-wide state
  // lists it; the download itself is asked with a DownloadRequest.
  std::unique_ptr<DownloadTaskParameters> taskParameters;
  std::unique_ptr<DownloadObject> downloadObject;
  std::shared_ptr<DownloadProgress> progress;
  // The package applied, awaiting the new launcher's sign of life.
  std::unique_ptr<AppliedUpdate> appliedUpdate;
  // An update fetching only the entries the folder lacks; null otherwise.
  std::unique_ptr<PartialFetch> partial;
};

// What this launcher checks a release against: its key and its page.
inline ReleaseTrust trustOf(const UpdateState& state) {
  return ReleaseTrust{state.publicKey, state.pageAddress, kLauncherReleaseForm, state.backupKey};
}

// Releases the texts and the task record, then stops a running download
// and lets the download object go, in that order.
void releaseUpdateState(UpdateState& state);

}  // namespace update
