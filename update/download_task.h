#pragma once

// One attached task: the worker's side (run the download, report through
// the notification routine, detach) and the caller's side (counters, stop,
// waiting for the worker within the stop wait).

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "core/state.h"
#include "update/download_engine.h"

namespace update {

enum EventCode : std::int32_t {
  kEventTotalSize = 3,
  kEventEnded = 4,
  kEventBlock = 16,
  kEventFileExists = 18,
};

class DownloadTask final : public DownloadObserver {
 public:
  DownloadTask(DownloadSettings settings, core::ProgressRoutine routine, void* engineContext,
               platform::Sockets& sockets, platform::Files& files);

  // The worker thread's whole life: download, report the end, detach.
  void run();

  bool attached() const { return attached_.load(); }
  std::int64_t received() const { return attached() ? received_.load() : 0; }
  std::int64_t takeBytesSinceLastQuery() { return attached() ? sinceLastQuery_.exchange(0) : 0; }

  void requestStop() { stop_.request(); }
  // True when the worker finished within `milliseconds`.
  bool waitUntilFinished(int milliseconds);
  // For a worker that missed the stop wait: no report of it reaches the
  // routine any more, and the end is reported here instead (once).
  void abandon();

  void totalSizeKnown(std::int64_t total) override;
  std::int32_t fileExists(std::int64_t existingSize, std::int64_t total) override;
  void blockWritten(std::int32_t size) override;

 private:
  std::int32_t report(std::int32_t code, std::int64_t value, std::int64_t secondValue);
  // Event 4 and the detach, whichever side gets there first.
  void reportEndOnce();

  const DownloadSettings settings_;
  const core::ProgressRoutine routine_;
  void* const engineContext_;
  platform::Sockets& sockets_;
  platform::Files& files_;
  DownloadStop stop_;

  std::atomic<bool> attached_{true};
  std::atomic<std::int64_t> received_{0};
  std::atomic<std::int64_t> sinceLastQuery_{0};

  // The routine is called without any lock held: it runs on the worker
  // while the caller's thread may be waiting in stopTask.
  std::atomic<bool> reportsClosed_{false};
  std::atomic<bool> endReported_{false};

  std::mutex finishedMutex_;
  std::condition_variable finishedChanged_;
  bool finished_ = false;
};

}  // namespace update
