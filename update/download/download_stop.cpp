#include "update/download/download_stop.h"

#include <chrono>

namespace update {

void DownloadStop::request() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requested_ = true;
    // abort() only shuts the socket down; it does not block.
    if (connection_ != nullptr)
      connection_->abort();
  }
  wake_.notify_all();
}

bool DownloadStop::requested() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requested_;
}

bool DownloadStop::adopt(platform::Connection* connection) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (requested_)
    return false;
  connection_ = connection;
  return true;
}

void DownloadStop::release() {
  std::lock_guard<std::mutex> lock(mutex_);
  connection_ = nullptr;
}

bool DownloadStop::waitFor(int milliseconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  return wake_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                        [this] { return requested_; });
}

}  // namespace update
