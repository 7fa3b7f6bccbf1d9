#include "update/download_object.h"

#include <limits>
#include <optional>
#include <system_error>

#include "core/program.h"
#include "core/state.h"
#include "update/download_task.h"

namespace update {
namespace {

// Zero or negative limits would mean "wait forever" to the sockets; the
// initial values stand in for them.
std::int32_t positiveOr(std::int32_t value, std::int32_t fallback) {
  return value > 0 ? value : fallback;
}

std::optional<DownloadSettings> settingsFrom(const core::DownloadTaskParameters& parameters) {
  const core::DownloadTaskParameters defaults;
  if (parameters.modeWord != core::kModeDownload || parameters.localFilePath.empty())
    return std::nullopt;
  auto address = parseHttpAddress(parameters.sourceAddress);
  if (!address)
    return std::nullopt;
  DownloadSettings settings;
  settings.address = std::move(*address);
  settings.localPath = parameters.localFilePath;
  settings.speedLimit = parameters.speedLimit > 0 ? parameters.speedLimit : 0;
  settings.connectTimeoutMs = positiveOr(parameters.connectTimeoutMs, defaults.connectTimeoutMs);
  settings.receiveTimeoutMs = positiveOr(parameters.receiveTimeoutMs, defaults.receiveTimeoutMs);
  settings.blockSize = positiveOr(parameters.blockSize, defaults.blockSize);
  return settings;
}

std::int32_t clampToInt32(std::int64_t value) {
  return value > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                          : static_cast<std::int32_t>(value);
}

}  // namespace

DownloadObject::DownloadObject() = default;

DownloadObject::~DownloadObject() {
  stopTask();
  joinEndedWorker();
}

bool DownloadObject::startTask(const core::DownloadTaskParameters& parameters) {
  if (hasTask())
    return false;
  auto settings = settingsFrom(parameters);
  const platform::Services& os = core::context().os;
  if (!settings || os.sockets == nullptr || os.files == nullptr)
    return false;
  joinEndedWorker();
  stopWaitMs_ = parameters.stopWaitMs > 0 ? parameters.stopWaitMs : 0;
  task_ = std::make_shared<DownloadTask>(std::move(*settings), parameters.progress, this,
                                         *os.sockets, *os.files);
  try {
    worker_ = std::thread([task = task_] { task->run(); });
  } catch (const std::system_error&) {
    // No thread, no task: leave the slot free rather than attached forever.
    task_.reset();
    return false;
  }
  return true;
}

bool DownloadObject::hasTask() const {
  return task_ && task_->attached();
}

void DownloadObject::stopTask() {
  if (!task_)
    return;
  // Called from the routine on the worker itself: it cannot wait for
  // itself; the stop takes effect when the routine returns.
  if (worker_.joinable() && worker_.get_id() == std::this_thread::get_id()) {
    task_->requestStop();
    return;
  }
  if (task_->attached()) {
    task_->requestStop();
    if (!task_->waitUntilFinished(stopWaitMs_)) {
      // Stuck beyond the stop wait (abort should prevent it): end the task
      // for the caller and let the thread finish on its own; it holds
      // everything it still touches.
      task_->abandon();
      worker_.detach();
      return;
    }
  }
  joinEndedWorker();
}

void DownloadObject::joinEndedWorker() {
  if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id())
    worker_.join();
  if (!worker_.joinable())
    task_.reset();
}

std::int32_t DownloadObject::bytesSinceLastQuery() {
  return task_ ? clampToInt32(task_->takeBytesSinceLastQuery()) : 0;
}

std::int32_t DownloadObject::bytesReceived() const {
  return task_ ? clampToInt32(task_->received()) : 0;
}

}  // namespace update
