#pragma once

// The program-wide state: created before the Launch window exists, released
// once by the exit clean-up.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "update/download_object.h"

namespace core {

// The nine fields of the version page, in the page's order.
enum VersionField : int {
  kLatestVersion,
  kProgramTitle,
  kDescription,
  kNote1,
  kNote2,
  kNote3,
  kNote4,
  kNote5,
  kUpdateAddress,
  kVersionFieldCount,
};

using StatusTextRoutine = void (*)(const char* text);
using ProgressRoutine = std::int32_t (*)(std::int32_t code, void* engineContext, std::int32_t value,
                                         std::int32_t secondValue, void* task);

inline constexpr char kAcceptedFileTypes[] = ".exe|.rar|.zip|.gif|.jpg|.mp3|.rm";
// The customary anonymous-login password: any fixed e-mail-shaped text.
inline constexpr char kDefaultPassword[] = "player@example.cn";
static_assert(sizeof(kDefaultPassword) - 1 == 17);

inline constexpr std::int32_t kModeDownload = 4096;

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
};

struct ProgramState {
  std::array<std::string, kVersionFieldCount> versionFields;
  std::unique_ptr<DownloadTaskParameters> taskParameters;
  std::unique_ptr<update::DownloadObject> downloadObject;
  // Written by the download engine's thread, read on the window's thread.
  std::atomic<std::int32_t> downloadTotalSize{0};
  std::atomic<std::int32_t> downloadPercent{0};
  std::int32_t slideshowOverlay = 0;
  std::vector<Bytes> slideshowPictures;
};

// The one program-wide state; valid from createProgramState() to the end.
ProgramState& programState();
bool hasProgramState();

// Builds the state with its initial values (replacing an earlier one; tests
// start each case afresh this way).
ProgramState& createProgramState();

// Releases what the state owns, in the order the exit clean-up requires.
void releaseProgramState(ProgramState& state);

}  // namespace core
