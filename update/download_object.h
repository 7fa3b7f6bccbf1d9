#pragma once

// The download engine's one transfer slot. At most one task is attached at a
// time; the engine runs it on threads of its own.

#include <cstdint>

namespace update {

class DownloadObject {
 public:
  DownloadObject() = default;
  DownloadObject(const DownloadObject&) = delete;
  DownloadObject& operator=(const DownloadObject&) = delete;
  ~DownloadObject();

  bool hasTask() const { return taskAttached_; }
  // Stops and detaches a running task; does nothing without one.
  void stopTask();

 private:
  bool taskAttached_ = false;
};

}  // namespace update
