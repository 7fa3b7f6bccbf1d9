#pragma once

// The body of a response: pick the local file, then stream the body into it
// block by block, whichever way the response frames it.

#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/sockets.h"
#include "update/download/download_engine.h"
#include "update/download/partial_file.h"
#include "update/http/http_response.h"

namespace update {

// The name to write a new file to (the observer decides about an existing
// one), or none when the task gives up.
std::optional<std::string> chooseLocalPath(const std::string& path, std::int64_t total,
                                           platform::Files& files, DownloadObserver& observer);

enum class BodyEnd {
  kComplete,
  kBroken,    // the connection closed, failed or fell silent before the end
  kFailed,    // the file could not be written, or the framing is no framing
  kDiskFull,  // a write met a full disk
  kStopped,
};

// Appends the body to `file`. `bodyStart` holds body bytes that arrived
// together with the head.
BodyEnd streamBody(const DownloadSettings& settings, DownloadStop& stop, DownloadObserver& observer,
                   platform::Connection& connection, const ResponseHead& head,
                   std::string_view bodyStart, PartialFile& file);

}  // namespace update
