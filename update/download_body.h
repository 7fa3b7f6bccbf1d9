#pragma once

// The body of the final response: pick the local file, then stream the
// body into it block by block, whichever way the response frames it.

#include <string_view>

#include "platform/services.h"
#include "update/download_engine.h"
#include "update/http_response.h"

namespace update {

// `bodyStart` holds body bytes that arrived together with the head.
DownloadResult receiveBody(const DownloadSettings& settings, platform::Files& files,
                           DownloadStop& stop, DownloadObserver& observer,
                           platform::Connection& connection, const ResponseHead& head,
                           std::string_view bodyStart);

}  // namespace update
