#pragma once

// The update's part of the program-wide state: the version page's values,
// the download task's parameters, the download object and its progress.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/sockets.h"
#include "platform/tls.h"
#include "update/download/download_task_parameters.h"
#include "update/settings_block.h"
#include "update/version_page.h"

namespace update {

class DownloadObject;
struct AppliedUpdate;
class PackageDigestFollower;

// Written by the download engine's thread, read on the window's thread; the
// engine's reports hold it, so it lives as long as the last of them.
struct DownloadProgress {
  std::atomic<std::int32_t> totalSize{0};
  std::atomic<std::int32_t> percent{0};
  // Set by the engine's thread before the end is posted.
  std::atomic<bool> arrivedWhole{false};
};

struct UpdateState {
  UpdateState(platform::Sockets& sockets, platform::Tls& tls, platform::Files& files);
  ~UpdateState();
  UpdateState(const UpdateState&) = delete;
  UpdateState& operator=(const UpdateState&) = delete;

  std::array<std::string, kVersionFieldCount> versionFields;
  // Base64 of the publisher's public key; empty: packages are taken unsigned.
  std::string publicKey;
  // This launcher's version, which a published one must sort after.
  std::string localVersion = TAVORO_DEFAULT_LOCAL_VERSION;
  // Hashes the package as it arrives, for a launcher with a key.
  std::shared_ptr<PackageDigestFollower> packageDigest;
  std::unique_ptr<DownloadTaskParameters> taskParameters;
  std::unique_ptr<DownloadObject> downloadObject;
  std::shared_ptr<DownloadProgress> progress;
  // The package applied, awaiting the new launcher's sign of life.
  std::unique_ptr<AppliedUpdate> appliedUpdate;
  // From the new launcher's start until the hand-over or its undo is over:
  // a close request then waits for that end.
  bool handingOver = false;
  bool closeRequested = false;
  // The new launcher failed and the update was taken back: nothing is
  // offered afterwards.
  bool takenBack = false;
};

// Releases the texts and the task record, then stops a running download
// and lets the download object go, in that order.
void releaseUpdateState(UpdateState& state);

}  // namespace update
