#pragma once

// What the update asks of the download object: one address into one local
// file, and how to treat a transfer that breaks off.

#include <cstdint>
#include <string>
#include <vector>

#include "update/download/download_task_parameters.h"

namespace update {

struct DownloadRequest {
  // An "http://" or "https://" address.
  std::string address;
  std::string localFile;
  // The pauses before the rest is asked for again after a break.
  std::vector<std::int32_t> retryPausesMs = kRetryPausesMs;
  // A transfer that does not complete leaves what it has, with a note, for
  // the next request of the same address and tag to continue.
  bool keepPartial = false;
  std::string resumeTag;
};

}  // namespace update
