#pragma once

// Records what the download engine reports through its notification
// routine, with what the engine's counters said at that moment, and answers
// event 18 as a test asks.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "update/download/download_object.h"
#include "update/progress_text.h"
#include "update/update_state.h"

namespace testing_support {

struct ReportedEvent {
  std::int32_t code;
  std::int32_t value;
  std::int32_t secondValue;
  std::int32_t bytesReceived;   // the engine's count when it reported
  std::int32_t percent;         // as the launcher computes it at event 16
  std::int32_t sinceLastQuery;  // taken at event 16 only
  std::thread::id thread;
};

class DownloadRecorder {
 public:
  DownloadRecorder() { current() = this; }
  // The task must have ended first: its routine reaches the recorder.
  ~DownloadRecorder() { current() = nullptr; }
  DownloadRecorder(const DownloadRecorder&) = delete;
  DownloadRecorder& operator=(const DownloadRecorder&) = delete;

  // The routine to put into the task parameters.
  static std::int32_t routine(std::int32_t code, void* engineContext, std::int32_t value,
                              std::int32_t secondValue, void*) {
    DownloadRecorder* self = current();
    return self == nullptr ? 0
                           : self->record(code, static_cast<update::DownloadObject*>(engineContext),
                                          value, secondValue);
  }

  // Waits (bounded) for event 4; false when it did not come.
  bool waitForEnd(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, limit, [this] { return countLocked(4) > 0; });
  }

  std::vector<ReportedEvent> events() {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }

  std::vector<std::int32_t> codes() {
    std::vector<std::int32_t> codes;
    for (const auto& event : events())
      codes.push_back(event.code);
    return codes;
  }

  int count(std::int32_t code) {
    std::lock_guard<std::mutex> lock(mutex_);
    return countLocked(code);
  }

  // Sum of the values of event 16.
  std::int64_t blockTotal() {
    std::int64_t total = 0;
    for (const auto& event : events())
      total += event.code == 16 ? event.value : 0;
    return total;
  }

  std::int32_t answerTo18 = 1;
  // Runs at event 18 before answering (e.g. to move the old file away).
  std::function<void()> on18;
  // Runs at event 4 before it is recorded.
  std::function<void()> on4;
  // Runs at each event 16 with the engine's running total.
  std::function<void(std::int32_t bytesReceived)> on16;

 private:
  static std::atomic<DownloadRecorder*>& current() {
    static std::atomic<DownloadRecorder*> recorder{nullptr};
    return recorder;
  }

  std::int32_t record(std::int32_t code, update::DownloadObject* object, std::int32_t value,
                      std::int32_t secondValue) {
    ReportedEvent event{code, value, secondValue, 0, 0, 0, std::this_thread::get_id()};
    event.bytesReceived = object->bytesReceived();
    if (code == 16) {
      event.percent = update::percentOf(event.bytesReceived, totalSize_);
      event.sinceLastQuery = object->bytesSinceLastQuery();
      if (on16)
        on16(event.bytesReceived);
    }
    if (code == 3)
      totalSize_ = value;
    if (code == 18 && on18)
      on18();
    if (code == 4 && on4)
      on4();
    const std::int32_t answer = code == 18 ? answerTo18 : 0;
    // Notified under the lock: once a waiter sees event 4, this call no
    // longer touches the recorder.
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(event);
    changed_.notify_all();
    return answer;
  }

  int countLocked(std::int32_t code) const {
    int n = 0;
    for (const auto& event : events_)
      n += event.code == code ? 1 : 0;
    return n;
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<ReportedEvent> events_;
  std::int32_t totalSize_ = 0;  // written and read on the worker only
};

// Waits (bounded) until the object has let go of its task; the detach
// follows event 4 on the worker.
inline bool waitUntilDetached(const update::DownloadObject& object) {
  for (int i = 0; i < 5000 && object.hasTask(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return !object.hasTask();
}

}  // namespace testing_support
