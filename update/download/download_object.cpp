#include "update/download/download_object.h"

#include <optional>
#include <system_error>

#include "base/values.h"
#include "update/download/download_task.h"

namespace update {
namespace {

// Zero or negative limits would mean "wait forever" to the sockets; the
// initial values stand in for them.
std::int32_t positiveOr(std::int32_t value, std::int32_t fallback) {
  return value > 0 ? value : fallback;
}

std::optional<DownloadSettings> settingsFrom(const DownloadTaskParameters& parameters) {
  const DownloadTaskParameters defaults;
  if (parameters.modeWord != kModeDownload || parameters.localFilePath.empty())
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
  settings.retryPausesMs = parameters.retryPausesMs;
  settings.keepPartial = parameters.keepPartial;
  settings.resumeTag = parameters.resumeTag;
  settings.maxBytes = parameters.maxBytes;
  return settings;
}

// The reports as the notification routine of the task parameters hears
// them: event codes and 32-bit values.
class RoutineEvents final : public DownloadObserver {
 public:
  RoutineEvents(ProgressRoutine routine, void* engineContext)
      : routine_(routine), engineContext_(engineContext) {}

  void totalSizeKnown(std::int64_t total) override { call(kEventTotalSize, total, 0); }
  ExistingFileAnswer fileExists(std::int64_t existingSize, std::int64_t total) override {
    return static_cast<ExistingFileAnswer>(call(kEventFileExists, existingSize, total));
  }
  void blockWritten(std::int32_t size, std::int64_t) override { call(kEventBlock, size, 0); }
  void taskEnded(std::int64_t received) override { call(kEventEnded, received, 0); }

 private:
  std::int32_t call(std::int32_t code, std::int64_t value, std::int64_t secondValue) {
    return routine_(code, engineContext_, base::clampToInt32(value),
                    base::clampToInt32(secondValue), nullptr);
  }

  const ProgressRoutine routine_;
  void* const engineContext_;
};

}  // namespace

DownloadObject::DownloadObject(platform::Sockets& sockets, platform::Tls& tls,
                               platform::Files& files)
    : sockets_(sockets), tls_(tls), files_(files) {}

DownloadObject::~DownloadObject() {
  stopTask();
  joinEndedWorker();
}

bool DownloadObject::startTask(const DownloadTaskParameters& parameters,
                               std::shared_ptr<DownloadObserver> listener) {
  auto settings = settingsFrom(parameters);
  return settings && launch(std::move(*settings), parameters, std::move(listener));
}

bool DownloadObject::launch(DownloadSettings settings, const DownloadTaskParameters& parameters,
                            std::shared_ptr<DownloadObserver> listener) {
  if (hasTask())
    return false;
  if (!listener && parameters.progress != nullptr)
    listener = std::make_shared<RoutineEvents>(parameters.progress, this);
  joinEndedWorker();
  stopWaitMs_ = parameters.stopWaitMs > 0 ? parameters.stopWaitMs : 0;
  task_ = std::make_shared<DownloadTask>(std::move(settings), std::move(listener), sockets_, tls_,
                                         files_);
  try {
    worker_ = std::thread([task = task_] { task->run(); });
  } catch (const std::system_error&) {
    // No thread, no task: leave the slot free rather than attached forever.
    task_.reset();
    return false;
  }
  return true;
}

bool DownloadObject::start(const DownloadRequest& request,
                           std::shared_ptr<DownloadObserver> listener) {
  const DownloadTaskParameters record = taskRecordOf(request);
  auto settings = settingsFrom(record);
  if (!settings)
    return false;
  settings->checkRoom = request.checkRoom;
  settings->expectedBytes = request.expectedBytes;
  settings->unpackedBytes = request.unpackedBytes;
  settings->spans = request.spans;
  return launch(std::move(*settings), record, std::move(listener));
}

std::optional<RoomShortfall> DownloadObject::roomShortfall() const {
  return task_ ? task_->roomShortfall() : std::nullopt;
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
      // everything it still touches. The slot lets go of both, so a later
      // stop finds nothing to stop.
      task_->abandon();
      worker_.detach();
      task_.reset();
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

std::int64_t DownloadObject::takeBytesSinceLastQuery() {
  return task_ ? task_->takeBytesSinceLastQuery() : 0;
}

std::int64_t DownloadObject::receivedBytes() const {
  return task_ ? task_->received() : 0;
}

}  // namespace update
