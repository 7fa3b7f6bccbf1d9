#pragma once

// A download that ended without the whole package: what stays of it and
// what the player is told.

#include <string>

#include "platform/files.h"
#include "platform/message_boxes.h"
#include "ui/controls.h"
#include "update/update_state.h"

namespace update {

// For a launcher with a key: the package never arrived whole (not found,
// no server, the connection lost beyond the retries).
inline constexpr char kPackageNotDownloaded[] = "更新包未能完整下载,已取消本次更新,游戏不受影响.";

// True when the partial package at `temporary` is kept, with its note, for
// the next download of the same package to continue.
bool keptForLater(platform::Files& files, const std::string& temporary);

// What the next download of the package must match to continue a kept
// partial file besides its address: the signed size and digest with a key.
std::string resumeTagFor(const UpdateState& state);

// Tells the player why the update changed nothing; the start button works
// again.
void reportUnapplied(platform::MessageBoxes& messageBoxes, ui::Controls& controls,
                     const char* message, unsigned flags);

// Handles a download that did not bring the whole package; false when
// there is nothing to handle here and the usual path goes on. With a key it
// says so, removes the partial file unless it is kept for later, and the
// start button works again; without one, a file kept for later is neither
// moved nor unpacked.
bool endUnfinishedDownload(platform::Files& files, platform::MessageBoxes& messageBoxes,
                           ui::Controls& controls, UpdateState& state);

}  // namespace update
