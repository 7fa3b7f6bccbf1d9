#pragma once

// One attached task: the worker's side (run the download, report, detach)
// and the caller's side (counters, stop, waiting for the worker within the
// stop wait).

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "update/download/download_engine.h"
#include "update/download/download_events.h"

namespace update {

class DownloadTask final : public DownloadObserver {
 public:
  DownloadTask(DownloadSettings settings, std::shared_ptr<DownloadObserver> listener,
               platform::Sockets& sockets, platform::Tls& tls, platform::Files& files);

  // The worker thread's whole life: download, report the end, detach.
  void run();

  bool attached() const { return attached_.load(); }
  std::int64_t received() const { return attached() ? received_.load() : 0; }
  std::int64_t takeBytesSinceLastQuery() { return attached() ? sinceLastQuery_.exchange(0) : 0; }

  void requestStop() { stop_.request(); }
  // True when the worker finished within `milliseconds`.
  bool waitUntilFinished(int milliseconds);
  // For a worker that missed the stop wait: no report of it starts any
  // more (one already under way may still finish), and the end is reported
  // here instead (once). What a late report touches it holds itself: the
  // listener is shared with it.
  void abandon();

  // The engine's reports: counted, then passed on to the listener.
  void totalSizeKnown(std::int64_t total) override;
  ExistingFileAnswer fileExists(std::int64_t existingSize, std::int64_t total) override;
  void blockWritten(std::int32_t size, std::int64_t received) override;
  void bodyResumed(std::int64_t kept) override;
  void roomShort(const RoomShortfall& shortfall) override;

  // Why the task ended, where it ended for want of room; read once it has
  // ended.
  std::optional<RoomShortfall> roomShortfall() const;

 private:
  // Runs `report` unless reports are closed. No lock is held meanwhile: a
  // report runs on the worker while the caller's thread may be waiting in
  // stopTask.
  template <typename Report>
  void deliver(Report&& report);
  // Event 4 and the detach, whichever side gets there first.
  void reportEndOnce();

  const DownloadSettings settings_;
  const std::shared_ptr<DownloadObserver> listener_;
  platform::Sockets& sockets_;
  platform::Tls& tls_;
  platform::Files& files_;
  DownloadStop stop_;

  std::atomic<bool> attached_{true};
  std::atomic<std::int64_t> received_{0};
  std::atomic<std::int64_t> sinceLastQuery_{0};

  mutable std::mutex shortfallMutex_;
  std::optional<RoomShortfall> shortfall_;

  std::atomic<bool> reportsClosed_{false};
  std::atomic<bool> endReported_{false};

  std::mutex finishedMutex_;
  std::condition_variable finishedChanged_;
  bool finished_ = false;
};

}  // namespace update
