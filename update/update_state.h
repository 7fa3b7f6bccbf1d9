#pragma once

// The update's part of the program-wide state: the version page's values,
// the download task's parameters, the download object and its progress.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/services.h"
#include "update/settings_block.h"
#include "update/version_page.h"

namespace update {

class DownloadObject;
struct AppliedUpdate;
class PackageDigestFollower;

using StatusTextRoutine = void (*)(const char* text);
// The notification routine: an event code (see download_events.h), the
// download object, two values and the task.
using ProgressRoutine = std::int32_t (*)(std::int32_t code, void* engineContext, std::int32_t value,
                                         std::int32_t secondValue, void* task);

inline constexpr char kAcceptedFileTypes[] = ".exe|.rar|.zip|.gif|.jpg|.mp3|.rm";
// The customary anonymous-login password: any fixed e-mail-shaped text.
inline constexpr char kDefaultPassword[] = "player@example.cn";
static_assert(sizeof(kDefaultPassword) - 1 == 17);

inline constexpr std::int32_t kModeDownload = 4096;

// The pauses before the engine asks again for a body that broke off.
inline const std::vector<std::int32_t> kRetryPausesMs = {1000, 2000, 4000, 8000, 16000};

// Settings of one transfer; the engine reads the members in this order.
struct DownloadTaskParameters {
  std::int32_t modeWord = 1;
  std::string sourceAddress;
  std::string localFilePath;
  std::string userName = "anonymous";
  std::string password = kDefaultPassword;
  std::int32_t connections = 1;
  std::int32_t speedLimit = 0;  // bytes per second, 0 = none
  std::int32_t connectTimeoutMs = 20000;
  std::int32_t sendTimeoutMs = 20000;
  std::int32_t receiveTimeoutMs = 20000;
  std::int32_t stopWaitMs = 1000;
  std::int32_t blockSize = 20480;
  std::int32_t integerSetting13 = 1024;
  StatusTextRoutine statusText = nullptr;
  ProgressRoutine progress = nullptr;
  std::string textSetting16;
  std::int32_t integerSetting17 = 1;
  std::string acceptedFileTypes = kAcceptedFileTypes;
  std::string textSetting19;
  std::string textSetting20;
  // The engine's own additions (download_engine.h): the pauses before asking
  // again after a break, and keeping a partial file to continue later.
  std::vector<std::int32_t> retryPausesMs = kRetryPausesMs;
  bool keepPartial = false;
  std::string resumeTag;
};

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
