#pragma once

// Unpacking the downloaded update package (a ZIP archive) into a folder.

#include <functional>
#include <string>

#include "platform/services.h"

namespace update {

// Writes every entry of the archive at `archivePath` below `destinationDir`
// (a folder path ending in "\", created when missing), replacing existing
// files. Reports progress on the calling thread: i * 100 / n after entry i of
// n, then 100 at the end, also when it stops early at an entry it cannot or
// must not write; a single 0 when the archive is missing, unreadable or
// empty. `progress` may throw: nothing is left open or half-written then.
void unpackArchive(platform::Files& files, platform::TextCodec& codec,
                   const std::string& archivePath, const std::string& destinationDir,
                   const std::function<void(int percent)>& progress);

}  // namespace update
