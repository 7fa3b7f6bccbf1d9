#pragma once

// The download engine's one transfer slot. At most one task is attached at a
// time; the engine runs it on a thread of its own and reports to the task's
// events (3, 18, 16 and finally 4; see download_events.h).
//
// The engine fetches "http://" and "https://" addresses over one
// connection: a connections member above 1 is served by that one
// connection; a TLS failure (certificate, host name, handshake) fails the
// task like any network trouble. Time limits 8 and 10 are the connect and
// receive limits; the platform's connection applies the receive limit to
// sends and to the TLS handshake too. Error statuses (anything but 2xx
// after at most 5 redirects) write nothing; a task that fails or is stopped
// removes the file it created, so only a complete body is ever left behind.

#include <cstdint>
#include <memory>
#include <optional>
#include <thread>

#include "base/values.h"
#include "platform/files.h"
#include "platform/sockets.h"
#include "platform/tls.h"
#include "update/download/download_engine.h"
#include "update/download/download_events.h"
#include "update/download/download_request.h"
#include "update/download/download_task_parameters.h"

namespace update {

class DownloadTask;

class DownloadObject {
 public:
  // The services outlive the object and every worker it starts.
  DownloadObject(platform::Sockets& sockets, platform::Tls& tls, platform::Files& files);
  DownloadObject(const DownloadObject&) = delete;
  DownloadObject& operator=(const DownloadObject&) = delete;
  ~DownloadObject();

  // Copies what the task needs and starts it; false when a task is attached
  // or the parameters are unusable (mode other than download, an address
  // that is not "http[s]://host[:port]/...", no local file). No event then.
  // The reports go to `events`, or else to the parameters' notification
  // routine (with this object as the engine context), or nowhere.
  bool startTask(const DownloadTaskParameters& parameters,
                 std::shared_ptr<DownloadObserver> listener = nullptr);
  // The same for the update's request, with the record's initial limits.
  bool start(const DownloadRequest& request, std::shared_ptr<DownloadObserver> listener);

  bool hasTask() const;
  // The last task's end for want of room on the disk; nothing when it
  // ended otherwise, or none has ended. Read once its event 4 came.
  std::optional<RoomShortfall> roomShortfall() const;
  // Stops and detaches a running task, waiting at most its stop wait for
  // the worker; does nothing without one. Event 4 is reported exactly once.
  void stopTask();

  // Both read 0 without an attached task; the counts go past 4 GiB.
  std::int64_t takeBytesSinceLastQuery();
  std::int64_t receivedBytes() const;
  // The same as the engine's 32-bit counter queries, held at their largest
  // value rather than wrapping.
  std::int32_t bytesSinceLastQuery() { return base::clampToInt32(takeBytesSinceLastQuery()); }
  std::int32_t bytesReceived() const { return base::clampToInt32(receivedBytes()); }

 private:
  // Starts a task with `settings`, unless one is attached; the record
  // gives the notification routine and the stop wait.
  bool launch(DownloadSettings settings, const DownloadTaskParameters& parameters,
              std::shared_ptr<DownloadObserver> listener);
  // Joins a worker whose task has ended by itself.
  void joinEndedWorker();

  platform::Sockets& sockets_;
  platform::Tls& tls_;
  platform::Files& files_;
  std::shared_ptr<DownloadTask> task_;
  std::thread worker_;
  int stopWaitMs_ = 1000;
};

}  // namespace update
