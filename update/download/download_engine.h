#pragma once

// One download from start to end on the calling thread: connect (with TLS
// for https), request, follow redirects, stream the body into the local
// file block by block.
// Knows nothing of threads or of the notification routine; it tells an
// observer what happens and honours a stop.

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/sockets.h"
#include "platform/tls.h"
#include "update/download/download_events.h"
#include "update/download/download_stop.h"
#include "update/http/http_address.h"
#include "update/record_names.h"

namespace update {

inline constexpr int kMaxRedirects = 5;
// A body that declares no length is cut here unless the task sets a bound:
// an endless one must not fill the player's disk.
inline constexpr std::int64_t kMaxBytesWithoutLength = std::int64_t{16} << 30;

// `path` itself when no file has it, else the first of its numbered names,
// "(1)" to "(99)", that no file has; nothing when all are taken.
std::optional<std::string> unusedLocalPath(platform::Files& files, const std::string& path);

// A part of a resource: `length` bytes from `offset`.
struct ByteSpan {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
  bool operator==(const ByteSpan& other) const {
    return offset == other.offset && length == other.length;
  }
};

struct DownloadSettings {
  HttpAddress address;
  std::string localPath;
  std::int32_t speedLimit = 0;  // bytes per second, 0 = none
  std::int32_t connectTimeoutMs = 20000;
  std::int32_t receiveTimeoutMs = 20000;
  std::int32_t blockSize = 20480;
  // After a break mid-body the rest is asked for again after each of these
  // pauses in turn; once they are used up the transfer has failed. None:
  // a break fails the transfer at once.
  std::vector<std::int32_t> retryPausesMs;
  // A transfer that does not complete leaves what it has, and a note beside
  // it (resume_note.h), where the body can be continued; a later task for the
  // same place and tag continues it. Otherwise both go, as without.
  bool keepPartial = false;
  std::string resumeTag;
  // The most bytes the file may get; a body that declares more fails before
  // its first byte is written, one that brings more fails at that byte.
  // 0: a declared length bounds it, whatever its size, else
  // kMaxBytesWithoutLength.
  std::int64_t maxBytes = 0;
  // Before the body's first byte the disk must have room (room.h) for the
  // rest of the body and `unpackedBytes` (negative: not known); short of
  // it, the task ends (kNoRoom) with nothing written, a kept partial file
  // left as it was. The body's size is `expectedBytes` where that is known
  // before asking (0: not), else the declared length; without either,
  // nothing is checked.
  bool checkRoom = false;
  std::int64_t expectedBytes = 0;
  std::int64_t unpackedBytes = -1;
  // Only these parts of the resource, one after another into the file,
  // each asked for with one range (a break asks for its rest); empty: the
  // whole body. A part answered with anything but exactly its bytes (a
  // server that ignores ranges, another version of the file) ends the
  // task as kRangesRefused, and nothing stays of it.
  std::vector<ByteSpan> spans;
};

// The bound a task's file is held to, for a body that declares its length
// or not.
inline std::int64_t byteLimitOf(const DownloadSettings& settings, bool lengthDeclared) {
  if (settings.maxBytes > 0)
    return settings.maxBytes;
  return lengthDeclared ? std::numeric_limits<std::int64_t>::max() : kMaxBytesWithoutLength;
}

enum class DownloadResult {
  kComplete,
  kFailed,  // network, protocol, HTTP status or file trouble
  kGaveUp,  // the local file exists and no other name was usable
  kStopped,
  kNoRoom,         // the disk lacks room for the update: nothing was written
  kDiskFull,       // a write met a full disk: nothing of the body stays
  kRangesRefused,  // a part was not answered as asked (settings.spans)
};

// Runs the whole download. Unless it completes, a file it created is
// removed again, so a partial body never passes for the whole one; with
// keepPartial one that can be continued stays, with its note, unless what
// ended it would end a continued body too (the file could not be written,
// the disk is full, the framing failed, the body went past its bound).
DownloadResult runDownload(const DownloadSettings& settings, platform::Sockets& sockets,
                           platform::Tls& tls, platform::Files& files, DownloadStop& stop,
                           DownloadObserver& observer);

}  // namespace update
