#include "update/download_failure.h"

#include "update/download/resume_note.h"
#include "update/package/package_digest_follower.h"

namespace update {

bool keptForLater(platform::Files& files, const std::string& temporary) {
  return files.exists(temporary) && files.exists(resumeNotePath(temporary));
}

std::string resumeTagFor(const UpdateState& state) {
  if (state.publicKey.empty())
    return {};
  return state.versionFields[kPackageSize] + " " + state.versionFields[kPackageDigest];
}

UnfinishedDownload endUnfinishedDownload(platform::Files& files, const UpdateState& state) {
  if (state.progress->arrivedWhole)
    return UnfinishedDownload::kGoesOn;
  const std::string& temporary = state.names.download;
  // Its hashing holds the file open: a file in use cannot go.
  if (state.packageDigest)
    state.packageDigest->abandon();
  const bool kept = keptForLater(files, temporary);
  if (state.publicKey.empty())
    return kept ? UnfinishedDownload::kKeptQuietly : UnfinishedDownload::kGoesOn;
  if (!kept)
    files.remove(temporary);
  return UnfinishedDownload::kReported;
}

}  // namespace update
