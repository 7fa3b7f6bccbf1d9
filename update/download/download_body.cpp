#include "update/download/download_body.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/path.h"
#include "update/download/partial_file.h"
#include "update/download/room.h"
#include "update/http/chunked_decoder.h"

namespace update {
namespace {

using Clock = std::chrono::steady_clock;

// Without a speed limit one receive may take a few blocks at once: fewer
// system calls on a fast link; each block is still written and reported on
// its own.
constexpr std::size_t kBlocksPerReceive = 4;

}  // namespace

std::optional<std::string> chooseLocalPath(const std::string& path, std::int64_t total,
                                           platform::Files& files, DownloadObserver& observer) {
  if (!files.exists(path))
    return path;
  switch (observer.fileExists(std::max<std::int64_t>(files.size(path), 0), total)) {
    case ExistingFileAnswer::kChooseNewName:
      return unusedLocalPath(files, path);
    case ExistingFileAnswer::kChosenElsewhere:
      // The routine may have moved the old file away; never overwrite it.
      if (!files.exists(path))
        return path;
      return std::nullopt;
    case ExistingFileAnswer::kGiveUp:
      break;
  }
  // Unknown answers give up too: an existing file is never overwritten.
  return std::nullopt;
}

namespace {

class BodyReceiver {
 public:
  BodyReceiver(const DownloadSettings& settings, DownloadStop& stop, DownloadObserver& observer,
               PartialFile& file, platform::Connection& connection, std::int64_t byteLimit)
      : settings_(settings),
        stop_(stop),
        observer_(observer),
        file_(file),
        connection_(connection),
        blockSize_(static_cast<std::size_t>(settings.speedLimit > 0
                                                ? std::min(settings.blockSize, settings.speedLimit)
                                                : settings.blockSize)),
        buffer_(settings.speedLimit > 0 ? blockSize_ : blockSize_ * kBlocksPerReceive),
        byteLimit_(byteLimit) {}

  // Bytes up to `length`, or to the close when there is no length.
  BodyEnd receiveIdentity(std::optional<std::int64_t> length, std::string_view bodyStart) {
    return endOf(identity(length, bodyStart));
  }

  BodyEnd receiveChunked(std::string_view bodyStart) { return endOf(chunked(bodyStart)); }

 private:
  BodyEnd endOf(bool received) const {
    if (received)
      return BodyEnd::kComplete;
    if (stop_.requested())
      return BodyEnd::kStopped;
    if (!failed_)
      return BodyEnd::kBroken;
    return isDiskFullError(file_.writeError()) ? BodyEnd::kDiskFull : BodyEnd::kFailed;
  }

  bool identity(std::optional<std::int64_t> length, std::string_view bodyStart) {
    std::int64_t remaining = length.value_or(-1);
    if (length)
      bodyStart = bodyStart.substr(0, static_cast<std::size_t>(std::min<std::int64_t>(
                                          remaining, static_cast<std::int64_t>(bodyStart.size()))));
    if (!emit(bodyStart))
      return false;
    if (length)
      remaining -= static_cast<std::int64_t>(bodyStart.size());
    while (remaining != 0) {
      std::size_t want = buffer_.size();
      if (length)
        want = static_cast<std::size_t>(std::min<std::int64_t>(remaining, want));
      const long got = connection_.receive(buffer_.data(), want);
      if (got == 0)
        return !length;  // the close ends a body without length, else it is cut short
      if (got < 0)
        return false;
      if (!emit(std::string_view(buffer_.data(), static_cast<std::size_t>(got))))
        return false;
      if (length)
        remaining -= got;
    }
    return true;
  }

  bool chunked(std::string_view bodyStart) {
    ChunkedDecoder decoder;
    std::string payload;
    payload.reserve(buffer_.size());
    std::string_view raw = bodyStart;
    for (;;) {
      payload.clear();
      if (!decoder.feed(raw, payload)) {
        failed_ = true;  // no framing: what follows cannot be told from the body
        return false;
      }
      if (!emit(payload))
        return false;
      if (decoder.finished())
        return true;
      const long got = connection_.receive(buffer_.data(), buffer_.size());
      if (got <= 0)
        return false;  // closed or broken before the last chunk
      raw = std::string_view(buffer_.data(), static_cast<std::size_t>(got));
    }
  }

  // Writes in blocks of at most the block size, reporting each; never past
  // the task's bound.
  bool emit(std::string_view data) {
    while (!data.empty()) {
      if (stop_.requested())
        return false;
      const std::string_view block = data.substr(0, blockSize_);
      if (file_.written() + static_cast<std::int64_t>(block.size()) > byteLimit_ ||
          !file_.write(block)) {
        failed_ = true;
        return false;
      }
      data.remove_prefix(block.size());
      observer_.blockWritten(static_cast<std::int32_t>(block.size()), file_.written());
      written_ += static_cast<std::int64_t>(block.size());
      if (!keepToSpeedLimit())
        return false;
    }
    return !stop_.requested();
  }

  // Sleeps off any lead over the limit; false when a stop came meanwhile.
  bool keepToSpeedLimit() {
    if (settings_.speedLimit <= 0)
      return true;
    const auto due = std::chrono::milliseconds(written_ * 1000 / settings_.speedLimit);
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started_);
    if (due <= elapsed)
      return true;
    return !stop_.waitFor(static_cast<int>((due - elapsed).count()));
  }

  const DownloadSettings& settings_;
  DownloadStop& stop_;
  DownloadObserver& observer_;
  PartialFile& file_;
  platform::Connection& connection_;
  const std::size_t blockSize_;
  std::vector<char> buffer_;
  const std::int64_t byteLimit_;
  std::int64_t written_ = 0;
  bool failed_ = false;
  const Clock::time_point started_ = Clock::now();
};

}  // namespace

std::optional<std::string> unusedLocalPath(platform::Files& files, const std::string& path) {
  for (int number = 0; number <= kMaxNumberedNames; ++number) {
    std::string candidate = number == 0 ? path : base::numberedFileName(path, number);
    if (!files.exists(candidate))
      return candidate;
  }
  return std::nullopt;
}

BodyEnd streamBody(const DownloadSettings& settings, DownloadStop& stop, DownloadObserver& observer,
                   platform::Connection& connection, const ResponseHead& head,
                   std::string_view bodyStart, PartialFile& file) {
  const bool lengthDeclared = !head.chunked && head.contentLength.has_value();
  BodyReceiver receiver(settings, stop, observer, file, connection,
                        byteLimitOf(settings, lengthDeclared));
  return head.chunked ? receiver.receiveChunked(bodyStart)
                      : receiver.receiveIdentity(head.contentLength, bodyStart);
}

}  // namespace update
