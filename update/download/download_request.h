#pragma once

// What the update asks of the download object: one address into one local
// file, and how to treat a transfer that breaks off.

#include <cstdint>
#include <string>
#include <vector>

#include "update/download/download_engine.h"
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
  // The most bytes the file may get (the signed size, where one is known);
  // 0: the body's declared length, or the engine's limit without one.
  std::int64_t maxBytes = 0;
  // The disk's room checked before the first byte (download_engine.h): the
  // package's size where the page gives it (0: the declared length tells)
  // and its unpacked size (negative: not known). Not part of the record.
  bool checkRoom = false;
  std::int64_t expectedBytes = 0;
  std::int64_t unpackedBytes = -1;
  // Only these parts of the address (download_engine.h); empty: all of it.
  // Not part of the record either.
  std::vector<ByteSpan> spans;
};

// The request as the program-wide record of a task holds it: a download,
// over one connection, every other member at its initial value.
inline DownloadTaskParameters taskRecordOf(const DownloadRequest& request) {
  DownloadTaskParameters record;
  record.modeWord = kModeDownload;
  record.sourceAddress = request.address;
  record.localFilePath = request.localFile;
  record.connections = 1;
  record.retryPausesMs = request.retryPausesMs;
  record.keepPartial = request.keepPartial;
  record.resumeTag = request.resumeTag;
  record.maxBytes = request.maxBytes;
  return record;
}

}  // namespace update
