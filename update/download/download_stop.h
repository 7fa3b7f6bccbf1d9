#pragma once

// How the caller's thread stops a transfer running on a worker: a flag, a
// wake-up for the worker's waits, and an abort of the connection it is
// blocked on. Never blocks the caller for longer than a mutex hand-over.

#include <condition_variable>
#include <mutex>

#include "platform/sockets.h"

namespace update {

class DownloadStop {
 public:
  // Sets the flag, aborts the adopted connection and wakes waitFor().
  void request();
  bool requested() const;

  // Registers the connection the worker is about to block on; false (and
  // nothing registered) when a stop came first.
  bool adopt(platform::Connection* connection);
  void release();

  // Sleeps up to `milliseconds`; true when a stop ended the wait.
  bool waitFor(int milliseconds);

 private:
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool requested_ = false;
  platform::Connection* connection_ = nullptr;
};

// Keeps a connection abortable for as long as it is in use.
class AdoptedConnection {
 public:
  AdoptedConnection(DownloadStop& stop, platform::Connection* connection)
      : stop_(stop), adopted_(stop.adopt(connection)) {}
  ~AdoptedConnection() {
    if (adopted_)
      stop_.release();
  }
  AdoptedConnection(const AdoptedConnection&) = delete;
  AdoptedConnection& operator=(const AdoptedConnection&) = delete;
  explicit operator bool() const { return adopted_; }

 private:
  DownloadStop& stop_;
  bool adopted_;
};

}  // namespace update
