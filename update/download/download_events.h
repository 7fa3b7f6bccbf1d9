#pragma once

// What a download reports while it runs, and to whom: the engine reports to
// its observer, and a task passes the same reports on to its listener.

#include <cstdint>

namespace update {

// The notification routine's event codes; the routine of the task
// parameters receives them, and they name the reports below.
enum DownloadEventCode : std::int32_t {
  kEventTotalSize = 3,
  kEventEnded = 4,
  kEventBlock = 16,
  kEventFileExists = 18,
};

// What to do when the local file exists already (the answers of the
// notification routine).
enum class ExistingFileAnswer : std::int32_t {
  kChooseNewName = 0,
  kGiveUp = 1,
  kChosenElsewhere = 2,
};

// A task that ended for want of room on the disk.
struct RoomShortfall {
  // False: refused before the body's first byte, the disk having
  // `available` bytes where the update needs `needed` (room.h). True: a
  // write met a full disk; the figures are 0.
  bool diskFilled = false;
  std::int64_t needed = 0;
  std::int64_t available = 0;
};

// Hears a download. A task's reports come on the engine's worker thread
// (the end may come on the thread that stops the task instead), one at a
// time, in the order 3, 18, 16..., and exactly one 4 last; none comes once
// stopTask has returned.
class DownloadObserver {
 public:
  virtual ~DownloadObserver() = default;
  // Event 3: once, before any block, when the body's length is announced.
  virtual void totalSizeKnown(std::int64_t /*total*/) {}
  // Event 18: before the local file is created, when a file has its name;
  // `total` is 0 while unknown.
  virtual ExistingFileAnswer fileExists(std::int64_t /*existingSize*/, std::int64_t /*total*/) {
    return ExistingFileAnswer::kGiveUp;
  }
  // Event 16: a block was written; `received` is the file's size with it.
  virtual void blockWritten(std::int32_t /*size*/, std::int64_t /*received*/) {}
  // The body goes on after `kept` bytes already in the file; 0: it starts
  // over, and the blocks reported so far are void. No event code.
  virtual void bodyResumed(std::int64_t /*kept*/) {}
  // The task ends for want of room, nothing of its body kept: once, just
  // before transferEnded. No event code.
  virtual void roomShort(const RoomShortfall& /*shortfall*/) {}
  // A task's, just before event 4 from the worker: whether the whole body
  // arrived. No event code; a task abandoned in its stop wait does not
  // report it.
  virtual void transferEnded(bool /*complete*/) {}
  // Event 4, a task's: it has ended, however it ended.
  virtual void taskEnded(std::int64_t /*received*/) {}
};

}  // namespace update
