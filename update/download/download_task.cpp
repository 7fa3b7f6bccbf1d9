#include "update/download/download_task.h"

#include <chrono>

namespace update {

DownloadTask::DownloadTask(DownloadSettings settings, std::shared_ptr<DownloadObserver> listener,
                           platform::Sockets& sockets, platform::Tls& tls, platform::Files& files)
    : settings_(std::move(settings)),
      listener_(listener ? std::move(listener) : std::make_shared<DownloadObserver>()),
      sockets_(sockets),
      tls_(tls),
      files_(files) {}

void DownloadTask::run() {
  const DownloadResult result = runDownload(settings_, sockets_, tls_, files_, stop_, *this);
  deliver([&](DownloadObserver& listener) {
    listener.transferEnded(result == DownloadResult::kComplete);
  });
  reportEndOnce();
  {
    std::lock_guard<std::mutex> lock(finishedMutex_);
    finished_ = true;
  }
  finishedChanged_.notify_all();
}

bool DownloadTask::waitUntilFinished(int milliseconds) {
  std::unique_lock<std::mutex> lock(finishedMutex_);
  return finishedChanged_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                   [this] { return finished_; });
}

void DownloadTask::abandon() {
  reportsClosed_ = true;
  reportEndOnce();
  // Also when the worker itself is stuck inside its end report.
  attached_ = false;
}

template <typename Report>
void DownloadTask::deliver(Report&& report) {
  if (!reportsClosed_)
    report(*listener_);
}

void DownloadTask::totalSizeKnown(std::int64_t total) {
  deliver([&](DownloadObserver& listener) { listener.totalSizeKnown(total); });
}

ExistingFileAnswer DownloadTask::fileExists(std::int64_t existingSize, std::int64_t total) {
  // Closed reports keep the existing file.
  auto answer = ExistingFileAnswer::kGiveUp;
  deliver([&](DownloadObserver& listener) { answer = listener.fileExists(existingSize, total); });
  return answer;
}

void DownloadTask::blockWritten(std::int32_t size, std::int64_t received) {
  // Counted before the report, so the counters include the block it names.
  received_ = received;
  sinceLastQuery_ += size;
  deliver([&](DownloadObserver& listener) { listener.blockWritten(size, received); });
}

void DownloadTask::bodyResumed(std::int64_t kept) {
  // The running total counts the kept bytes; the speed only what arrives.
  received_ = kept;
  deliver([&](DownloadObserver& listener) { listener.bodyResumed(kept); });
}

void DownloadTask::roomShort(const RoomShortfall& shortfall) {
  {
    std::lock_guard<std::mutex> lock(shortfallMutex_);
    shortfall_ = shortfall;
  }
  deliver([&](DownloadObserver& listener) { listener.roomShort(shortfall); });
}

std::optional<RoomShortfall> DownloadTask::roomShortfall() const {
  std::lock_guard<std::mutex> lock(shortfallMutex_);
  return shortfall_;
}

void DownloadTask::reportEndOnce() {
  if (endReported_.exchange(true))
    return;
  listener_->taskEnded(received_.load());
  attached_ = false;
}

}  // namespace update
