#pragma once

// The parameters of one download task, as the launcher fills them in and
// the download object reads them.

#include <cstdint>
#include <string>
#include <vector>

namespace update {

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

// The program-wide record of one transfer's settings, member by member in
// its order; the download object adapts it (the update itself asks with a
// DownloadRequest).
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
  // Members 13, 16, 17, 19 and 20 mean nothing to this engine; they keep
  // their places and initial values.
  std::int32_t unusedInteger13 = 1024;
  StatusTextRoutine statusText = nullptr;
  ProgressRoutine progress = nullptr;
  std::string unusedText16;
  std::int32_t unusedInteger17 = 1;
  std::string acceptedFileTypes = kAcceptedFileTypes;
  std::string unusedText19;
  std::string unusedText20;
  // The engine's own additions (download_engine.h): the pauses before asking
  // again after a break, keeping a partial file to continue later, and the
  // most bytes the file may get.
  std::vector<std::int32_t> retryPausesMs = kRetryPausesMs;
  bool keepPartial = false;
  std::string resumeTag;
  std::int64_t maxBytes = 0;
};

}  // namespace update
