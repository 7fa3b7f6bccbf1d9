#pragma once

// A download that ended without the whole package: what stays of it.

#include <cstdint>
#include <string>

#include "platform/files.h"
#include "update/update_state.h"

namespace update {

// For a launcher with a key: the package never arrived whole (not found,
// no server, the connection lost beyond the retries).
inline constexpr char kPackageNotDownloaded[] = "更新包未能完整下载,已取消本次更新,游戏不受影响.";

// The disk of the game folder lacks room for the update (update/download/
// room.h): how much it needs and has, and the folder, in code page 936.
std::string roomShortMessage(std::int64_t needed, std::int64_t available,
                             const std::string& folder);

// A write met a full disk while the package was downloaded, or while the
// update was unpacked (`applying`); nothing of either stays.
std::string diskFullMessage(bool applying, const std::string& folder);

// True when the partial package at `temporary` is kept, with its note, for
// the next download of the same package to continue.
bool keptForLater(platform::Files& files, const std::string& temporary);

// What the next download of the package must match to continue a kept
// partial file besides its address: the signed size and digest with a key.
std::string resumeTagFor(const UpdateState& state);

enum class UnfinishedDownload {
  // The usual path goes on: the whole package is there, or, without a
  // key, whatever arrived is taken as it is.
  kGoesOn,
  // Without a key: a partial file kept for the next download; nothing is
  // said, nothing is moved or unpacked.
  kKeptQuietly,
  // With a key: the player is told; the partial file stays only where the
  // next download can continue it.
  kReported,
};

UnfinishedDownload endUnfinishedDownload(platform::Files& files, const UpdateState& state);

}  // namespace update
