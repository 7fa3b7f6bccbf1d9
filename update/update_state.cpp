#include "update/update_state.h"

#include "update/download/download_object.h"
#include "update/package/package_digest_follower.h"
#include "update/package/staged_apply.h"
#include "update/partial_update.h"

namespace update {

UpdateState::UpdateState(platform::Sockets& sockets, platform::Tls& tls, platform::Files& files)
    : taskParameters(std::make_unique<DownloadTaskParameters>()),
      downloadObject(std::make_unique<DownloadObject>(sockets, tls, files)),
      progress(std::make_shared<DownloadProgress>()) {}

UpdateState::~UpdateState() = default;

const char* phaseName(UpdatePhase phase) {
  switch (phase) {
    case UpdatePhase::kIdle:
      return "idle";
    case UpdatePhase::kChecking:
      return "checking";
    case UpdatePhase::kAsking:
      return "asking";
    case UpdatePhase::kDownloading:
      return "downloading";
    case UpdatePhase::kVerifying:
      return "verifying";
    case UpdatePhase::kApplying:
      return "applying";
    case UpdatePhase::kHandingOver:
      return "handing over";
    case UpdatePhase::kTakenBack:
      return "taken back";
  }
  return "?";
}

void releaseUpdateState(UpdateState& state) {
  for (std::string& field : state.versionFields)
    std::string().swap(field);
  state.names = {};

  if (DownloadTaskParameters* p = state.taskParameters.get()) {
    for (std::string* text :
         {&p->sourceAddress, &p->localFilePath, &p->userName, &p->password, &p->unusedText16,
          &p->acceptedFileTypes, &p->unusedText19, &p->unusedText20}) {
      std::string().swap(*text);
    }
  }
  state.taskParameters.reset();

  // The engine keeps its own copies of a running task's parameters, so the
  // record may go first.
  if (state.downloadObject)
    state.downloadObject->stopTask();
  state.downloadObject.reset();
  // No report reaches the hashing any more.
  state.packageDigest.reset();
  // The journal is closed, not removed: the next start ends the update.
  state.appliedUpdate.reset();
}

}  // namespace update
