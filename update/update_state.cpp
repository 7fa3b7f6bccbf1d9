#include "update/update_state.h"

#include "update/download/download_object.h"
#include "update/package/package_digest_follower.h"
#include "update/package/staged_apply.h"

namespace update {

UpdateState::UpdateState(platform::Sockets& sockets, platform::Tls& tls, platform::Files& files)
    : taskParameters(std::make_unique<DownloadTaskParameters>()),
      downloadObject(std::make_unique<DownloadObject>(sockets, tls, files)),
      progress(std::make_shared<DownloadProgress>()) {}

UpdateState::~UpdateState() = default;

void releaseUpdateState(UpdateState& state) {
  for (std::string& field : state.versionFields)
    std::string().swap(field);

  if (DownloadTaskParameters* p = state.taskParameters.get()) {
    for (std::string* text :
         {&p->sourceAddress, &p->localFilePath, &p->userName, &p->password, &p->textSetting16,
          &p->acceptedFileTypes, &p->textSetting19, &p->textSetting20}) {
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
