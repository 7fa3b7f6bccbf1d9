#pragma once

// The download engine's one transfer slot. At most one task is attached at a
// time; the engine runs it on a thread of its own and reports through the
// task's notification routine (events 3, 16, 18 and finally 4).
//
// The engine fetches "http://" addresses over one connection: a connections
// member above 1 is served by that one connection. Time limits 8 and 10 are
// the connect and receive limits; the platform's connection applies the
// receive limit to sends too. Error statuses (anything but 2xx after at
// most 5 redirects) write nothing; a task that fails or is stopped removes
// the file it created, so only a complete body is ever left behind.

#include <cstdint>
#include <memory>
#include <thread>

namespace core {
struct DownloadTaskParameters;
}

namespace update {

class DownloadTask;

class DownloadObject {
 public:
  DownloadObject();
  DownloadObject(const DownloadObject&) = delete;
  DownloadObject& operator=(const DownloadObject&) = delete;
  ~DownloadObject();

  // Copies what the task needs and starts it; false when a task is attached
  // or the parameters are unusable (mode other than download, an address
  // that is not "http://host[:port]/...", no local file). No event then.
  bool startTask(const core::DownloadTaskParameters& parameters);

  bool hasTask() const;
  // Stops and detaches a running task, waiting at most its stop wait for
  // the worker; does nothing without one. Event 4 is reported exactly once.
  void stopTask();

  // Both read 0 without an attached task.
  std::int32_t bytesSinceLastQuery();
  std::int32_t bytesReceived() const;

 private:
  // Joins a worker whose task has ended by itself.
  void joinEndedWorker();

  std::shared_ptr<DownloadTask> task_;
  std::thread worker_;
  int stopWaitMs_ = 1000;
};

}  // namespace update
