#include "update/download_task.h"

#include <chrono>
#include <limits>

namespace update {
namespace {

std::int32_t clampToInt32(std::int64_t value) {
  if (value > std::numeric_limits<std::int32_t>::max())
    return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value);
}

}  // namespace

DownloadTask::DownloadTask(DownloadSettings settings, core::ProgressRoutine routine,
                           void* engineContext, platform::Sockets& sockets, platform::Files& files)
    : settings_(std::move(settings)),
      routine_(routine),
      engineContext_(engineContext),
      sockets_(sockets),
      files_(files) {}

void DownloadTask::run() {
  runDownload(settings_, sockets_, files_, stop_, *this);
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
  // A worker stuck inside the routine may still return from that call
  // afterwards; the end is reported all the same so it is never missing.
  reportEndOnce();
}

void DownloadTask::totalSizeKnown(std::int64_t total) {
  report(kEventTotalSize, total, 0);
}

std::int32_t DownloadTask::fileExists(std::int64_t existingSize, std::int64_t total) {
  // Without a routine to ask, keep the existing file.
  if (routine_ == nullptr)
    return static_cast<std::int32_t>(ExistingFileAnswer::kGiveUp);
  return report(kEventFileExists, existingSize, total);
}

void DownloadTask::blockWritten(std::int32_t size) {
  // Counted before the report, so the routine's Bytes received includes it.
  received_ += size;
  sinceLastQuery_ += size;
  report(kEventBlock, size, 0);
}

std::int32_t DownloadTask::report(std::int32_t code, std::int64_t value, std::int64_t secondValue) {
  if (routine_ == nullptr)
    return 0;
  if (reportsClosed_)
    return 0;
  return routine_(code, engineContext_, clampToInt32(value), clampToInt32(secondValue), this);
}

void DownloadTask::reportEndOnce() {
  if (endReported_.exchange(true))
    return;
  if (routine_ != nullptr)
    routine_(kEventEnded, engineContext_, clampToInt32(received_.load()), 0, this);
  attached_ = false;
}

}  // namespace update
