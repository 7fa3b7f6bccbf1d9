#include "update/download_failure.h"

#include "update/download/resume_note.h"
#include "update/download/room.h"
#include "update/package/package_digest_follower.h"

namespace update {

std::string roomShortMessage(std::int64_t needed, std::int64_t available,
                             const std::string& folder) {
  return "磁盘空间不足,已取消本次更新,游戏不受影响.\r\n更新需要 " + roomFigure(needed, true) +
         " 可用空间,游戏目录所在磁盘只剩 " + roomFigure(available, false) + ":\r\n" + folder +
         "\r\n请腾出空间后重试.";
}

std::string diskFullMessage(bool applying, const std::string& folder) {
  return std::string(applying ? "磁盘已满,更新文件无法写入游戏目录,已保留原来的版本."
                              : "磁盘已满,更新包未能完整下载,已取消本次更新,游戏不受影响.") +
         "\r\n请在游戏目录所在磁盘腾出空间后重试:\r\n" + folder;
}

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
