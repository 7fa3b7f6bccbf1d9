#include "update/download/download_task.h"

#include <chrono>

#include "base/values.h"

namespace update {

DownloadTask::DownloadTask(DownloadSettings settings, std::shared_ptr<DownloadEvents> events,
                           platform::Sockets& sockets, platform::Tls& tls, platform::Files& files)
    : settings_(std::move(settings)),
      events_(events ? std::move(events) : std::make_shared<DownloadEvents>()),
      sockets_(sockets),
      tls_(tls),
      files_(files) {}

void DownloadTask::run() {
  const DownloadResult result = runDownload(settings_, sockets_, tls_, files_, stop_, *this);
  deliver(
      [&](DownloadEvents& events) { events.transferEnded(result == DownloadResult::kComplete); });
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
    report(*events_);
}

void DownloadTask::totalSizeKnown(std::int64_t total) {
  deliver([&](DownloadEvents& events) { events.totalSizeKnown(base::clampToInt32(total)); });
}

std::int32_t DownloadTask::fileExists(std::int64_t existingSize, std::int64_t total) {
  // Closed reports keep the existing file.
  auto answer = ExistingFileAnswer::kGiveUp;
  deliver([&](DownloadEvents& events) {
    answer = events.fileExists(base::clampToInt32(existingSize), base::clampToInt32(total));
  });
  return static_cast<std::int32_t>(answer);
}

void DownloadTask::blockWritten(std::int32_t size) {
  // Counted before the report, so the report's running total includes it.
  received_ += size;
  sinceLastQuery_ += size;
  const std::int32_t received = base::clampToInt32(received_.load());
  deliver([&](DownloadEvents& events) { events.blockArrived(size, received); });
}

void DownloadTask::bodyResumed(std::int64_t kept) {
  // The running total counts the kept bytes; the speed only what arrives.
  received_ = kept;
  deliver([&](DownloadEvents& events) { events.resumedAt(base::clampToInt32(kept)); });
}

void DownloadTask::reportEndOnce() {
  if (endReported_.exchange(true))
    return;
  events_->taskEnded(base::clampToInt32(received_.load()));
  attached_ = false;
}

}  // namespace update
