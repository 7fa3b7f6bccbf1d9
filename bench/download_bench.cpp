// Fetches one address into one file with the launcher's download engine,
// the way the update download runs it, and waits for the end. Exit code 0
// when the whole announced body arrived. For https it trusts the
// authorities of `CA file` (PEM) alone, or else the system's.
//
//   download_bench <http[s]://address> <local file> [CA file]

#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "app/host/host_platform.h"
#include "update/download_object.h"
#include "update/update_state.h"

namespace {

std::mutex endMutex;
std::condition_variable endChanged;
bool ended = false;
std::int32_t totalSize = -1;
std::int32_t bytesAtEnd = 0;

std::int32_t onEvent(std::int32_t code, void*, std::int32_t value, std::int32_t, void*) {
  if (code == 3)
    totalSize = value;
  if (code == 4) {
    std::lock_guard<std::mutex> lock(endMutex);
    bytesAtEnd = value;
    ended = true;
    endChanged.notify_all();
  }
  return code == 18 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: %s <http[s]://address> <local file> [CA file]\n", argv[0]);
    return 2;
  }
  app::host::HostPlatform os{argc == 4 ? argv[3] : ""};

  update::DownloadTaskParameters parameters;
  parameters.modeWord = update::kModeDownload;
  parameters.sourceAddress = argv[1];
  parameters.localFilePath = argv[2];
  parameters.progress = &onEvent;

  update::DownloadObject object(os.sockets, os.tls, os.files);
  if (!object.startTask(parameters)) {
    std::fprintf(stderr, "the engine refused the task\n");
    return 2;
  }
  {
    std::unique_lock<std::mutex> lock(endMutex);
    endChanged.wait(lock, [] { return ended; });
  }
  object.stopTask();
  std::printf("%d of %d bytes\n", bytesAtEnd, totalSize);
  return bytesAtEnd == totalSize ? 0 : 1;
}
