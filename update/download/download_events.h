#pragma once

// What a download task reports while it runs, and to whom.

#include <cstdint>

#include "update/download/download_engine.h"

namespace update {

// The notification routine's event codes; the routine of the task
// parameters receives them, and they name the reports below.
enum DownloadEventCode : std::int32_t {
  kEventTotalSize = 3,
  kEventEnded = 4,
  kEventBlock = 16,
  kEventFileExists = 18,
};

// Hears a download task. Reports come on the engine's worker thread (the
// end may come on the thread that stops the task instead), one at a time,
// in the order 3, 18, 16..., and exactly one 4 last; none comes once
// stopTask has returned.
class DownloadEvents {
 public:
  virtual ~DownloadEvents() = default;
  // Event 3: the body's announced length.
  virtual void totalSizeKnown(std::int32_t /*total*/) {}
  // Event 18: the local file exists already; what to do about it.
  virtual ExistingFileAnswer fileExists(std::int32_t /*existingSize*/, std::int32_t /*total*/) {
    return ExistingFileAnswer::kGiveUp;
  }
  // Event 16: a block was written; `received` is the running total with it.
  virtual void blockArrived(std::int32_t /*size*/, std::int32_t /*received*/) {}
  // The body goes on after `kept` bytes already in the file; 0: it starts
  // over, and the blocks reported so far are void. No event code.
  virtual void resumedAt(std::int32_t /*kept*/) {}
  // Just before event 4 from the worker: whether the whole body arrived. No
  // event code; a task abandoned in its stop wait does not report it.
  virtual void transferEnded(bool /*complete*/) {}
  // Event 4: the task has ended, however it ended.
  virtual void taskEnded(std::int32_t /*received*/) {}
};

}  // namespace update
