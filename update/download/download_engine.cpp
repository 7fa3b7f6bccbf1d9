#include "update/download/download_engine.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "base/path.h"
#include "update/download/download_body.h"
#include "update/download/download_resume.h"
#include "update/download/partial_file.h"
#include "update/download/resume_note.h"
#include "update/download/room.h"
#include "update/http/http_response.h"
#include "update/http/open_connection.h"

namespace update {
namespace {

constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; TavoroUpdate 5.0; Windows NT 6.1)";
constexpr std::size_t kHeadReadSize = 4096;

struct Response {
  std::unique_ptr<platform::Connection> connection;
  ResponseHead head;
  std::string bodyStart;
};

// Reads the head, skipping interim 1xx heads; false on trouble.
bool readHead(platform::Connection& connection, Response& response) {
  std::string data;
  char buffer[kHeadReadSize];
  for (;;) {
    const std::size_t length = responseHeadLength(data);
    if (length != std::string::npos) {
      const auto head = parseResponseHead(std::string_view(data).substr(0, length));
      if (!head)
        return false;
      data.erase(0, length);
      if (isInterimStatus(head->status))
        continue;
      response.head = *head;
      response.bodyStart = std::move(data);
      return true;
    }
    if (data.size() > kMaxResponseHeadBytes)
      return false;
    const long got = connection.receive(buffer, sizeof(buffer));
    if (got <= 0)
      return false;
    data.append(buffer, static_cast<std::size_t>(got));
  }
}

// The folder a file is written to, ending in its separator.
std::string folderOf(const std::string& path) {
  return path.substr(0, path.size() - base::lastPathComponent(path).size());
}

// Where a redirect loop would return: the scheme counts, as http and https
// of one host and target are two places.
std::string placeOf(const HttpAddress& address) {
  return (address.secure ? "https://" : "http://") + hostAndPort(address) + address.target;
}

class Download {
 public:
  Download(const DownloadSettings& settings, platform::Sockets& sockets, platform::Tls& tls,
           platform::Files& files, DownloadStop& stop, DownloadObserver& observer)
      : settings_(settings),
        sockets_(sockets),
        tls_(tls),
        files_(files),
        stop_(stop),
        observer_(observer) {}

  DownloadResult run() {
    if (!settings_.spans.empty())
      return runSpans();
    takeOverEarlierRun();
    // A body whose size is known before asking is not asked for without
    // room for it: a continued one's size is in its note.
    const std::int64_t known = settings_.expectedBytes > 0 ? settings_.expectedBytes
                               : file_                     ? point_.total
                                                           : 0;
    if (known > 0 && !hasRoomFor(known))
      return settle(DownloadResult::kNoRoom);
    const std::vector<std::int32_t>& pauses = settings_.retryPausesMs;
    for (std::size_t attempt = 0;; ++attempt) {
      const std::optional<DownloadResult> result = attemptOnce();
      if (result)
        return settle(*result);
      // Broken mid-body: the rest is asked for again after a pause.
      if (attempt >= pauses.size())
        return settle(DownloadResult::kFailed);
      if (stop_.waitFor(std::max(pauses[attempt], 0)))
        return settle(DownloadResult::kStopped);
    }
  }

 private:
  enum class Fetched { kAnswered, kNoAnswer, kRefused };

  // The parts of settings.spans one after another into a new file; a break
  // asks for the rest of its part after the same pauses as a whole body.
  DownloadResult runSpans() {
    std::int64_t total = 0;
    for (const ByteSpan& span : settings_.spans)
      total += static_cast<std::int64_t>(span.length);
    reportTotal(total);
    if (!hasRoomFor(total))
      return settle(DownloadResult::kNoRoom);
    file_ = std::make_unique<PartialFile>(files_, settings_.localPath);
    if (!file_->opened()) {
      file_.reset();
      return settle(isDiskFullError(files_.lastError()) ? diskFilled() : DownloadResult::kFailed);
    }
    const std::vector<std::int32_t>& pauses = settings_.retryPausesMs;
    for (const ByteSpan& span : settings_.spans) {
      const std::int64_t start = file_->written();
      for (std::size_t attempt = 0;; ++attempt) {
        const std::optional<DownloadResult> end = fetchPart(span, start);
        if (end == DownloadResult::kComplete)
          break;
        if (end)
          return settle(*end);
        if (attempt >= pauses.size())
          return settle(DownloadResult::kFailed);
        if (stop_.waitFor(std::max(pauses[attempt], 0)))
          return settle(DownloadResult::kStopped);
      }
    }
    if (!file_->close())
      return settle(endOfFailedWrite());
    file_->keep();
    return settle(DownloadResult::kComplete);
  }

  // The rest of one part, whose first byte went to the file at `start`;
  // none when it broke off and may be asked for again.
  std::optional<DownloadResult> fetchPart(const ByteSpan& span, std::int64_t start) {
    const std::uint64_t done = static_cast<std::uint64_t>(file_->written() - start);
    const std::uint64_t first = span.offset + done;
    const std::uint64_t last = span.offset + span.length - 1;
    range_ = rangeRequestFor(first, last);
    Response response;
    const Fetched fetched = fetchFollowingRedirects(response);
    if (fetched == Fetched::kNoAnswer && !stop_.requested())
      return std::nullopt;
    if (fetched != Fetched::kAnswered)
      return failure();
    if (response.head.status == 200 ||
        (isSuccessStatus(response.head.status) &&
         !answersRange(response.head, first, last, point_.validator)))
      return DownloadResult::kRangesRefused;
    if (!isSuccessStatus(response.head.status))
      return failure();
    // Every later part must come from the same version of the file.
    if (point_.validator.empty())
      point_.validator = ifRangeValidator(response.head);
    AdoptedConnection abortable(stop_, response.connection.get());
    if (!abortable)
      return DownloadResult::kStopped;
    DownloadSettings part = settings_;
    part.maxBytes = start + static_cast<std::int64_t>(span.length);
    const BodyEnd end = streamBody(part, stop_, observer_, *response.connection, response.head,
                                   response.bodyStart, *file_);
    return end == BodyEnd::kComplete ? DownloadResult::kComplete : unfinished(end);
  }

  std::function<std::string(const HttpAddress&)> rangeRequestFor(std::uint64_t first,
                                                                 std::uint64_t last) const {
    const std::string validator = point_.validator;
    return [first, last, validator](const HttpAddress& address) {
      return rangeRequest(address, kUserAgent, first, last, validator);
    };
  }

  // The task's end, or none when the body broke off and may be asked for again.
  std::optional<DownloadResult> attemptOnce() {
    Response response;
    const Fetched fetched = fetchFollowingRedirects(response);
    if (fetched == Fetched::kNoAnswer && bodyBegun_ && !stop_.requested())
      return std::nullopt;  // still offline after a break: counts as a try
    if (fetched != Fetched::kAnswered)
      return failure();
    if (!file_) {
      // The first body of the task: as every download always began.
      if (!isSuccessStatus(response.head.status))
        return failure();  // an error page is not the package: nothing is written for it
      const std::optional<DownloadResult> begun = beginFile(response.head);
      if (begun)
        return begun;
    } else {
      switch (judgeResumedAnswer(response.head, point_)) {
        case ResumedAnswer::kFail:
          // A server that cannot continue this body now would not later
          // either: what is kept goes, and the next task starts over.
          point_.validator.clear();
          return failure();
        case ResumedAnswer::kStartOver:
          if (exceedsLimit(response.head)) {
            point_.validator.clear();
            return failure();
          }
          observer_.bodyResumed(0);
          if (!file_->restart())
            return failure();
          noteBody(response.head);
          break;
        case ResumedAnswer::kContinue:
          reportTotal(point_.total);
          observer_.bodyResumed(point_.kept);
          break;
      }
    }
    AdoptedConnection abortable(stop_, response.connection.get());
    if (!abortable)
      return DownloadResult::kStopped;
    bodyBegun_ = true;
    const BodyEnd end = streamBody(settings_, stop_, observer_, *response.connection, response.head,
                                   response.bodyStart, *file_);
    point_.kept = file_->written();
    if (end != BodyEnd::kComplete)
      return unfinished(end);
    // Bytes the system held back may meet a full disk only now.
    if (!file_->close())
      return endOfFailedWrite();
    file_->keep();
    return DownloadResult::kComplete;
  }

  // The end of a body that did not complete; none when it broke off and
  // may be asked for again.
  std::optional<DownloadResult> unfinished(BodyEnd end) {
    switch (end) {
      case BodyEnd::kBroken:
        return std::nullopt;
      case BodyEnd::kFailed:
        // Asking for the rest would meet the same end.
        point_.validator.clear();
        return failure();
      case BodyEnd::kDiskFull:
        return endOfFailedWrite();
      case BodyEnd::kComplete:
      case BodyEnd::kStopped:
        break;
    }
    return DownloadResult::kStopped;
  }

  // Picks and creates the local file for the task's first body; the task's
  // end when that is not possible.
  std::optional<DownloadResult> beginFile(const ResponseHead& head) {
    if (head.contentLength)
      reportTotal(*head.contentLength);
    if (exceedsLimit(head))
      return DownloadResult::kFailed;
    if (head.contentLength && !hasRoomFor(*head.contentLength))
      return DownloadResult::kNoRoom;
    const auto path =
        chooseLocalPath(settings_.localPath, head.contentLength.value_or(0), files_, observer_);
    if (!path)
      return DownloadResult::kGaveUp;
    if (stop_.requested())
      return DownloadResult::kStopped;
    file_ = std::make_unique<PartialFile>(files_, *path);
    if (!file_->opened()) {
      file_.reset();
      return isDiskFullError(files_.lastError()) ? diskFilled() : DownloadResult::kFailed;
    }
    noteBody(head);
    return std::nullopt;
  }

  // False, the shortfall noted, when the disk is known to lack room for
  // the rest of a body of `total` bytes and what the update needs besides.
  bool hasRoomFor(std::int64_t total) {
    if (!settings_.checkRoom)
      return true;
    const std::int64_t needed =
        roomNeeded(total, file_ ? file_->written() : 0, settings_.unpackedBytes);
    const std::int64_t available = files_.availableSpace(folderOf(settings_.localPath));
    if (!lacksRoom(needed, available))
      return true;
    shortfall_ = RoomShortfall{false, needed, available};
    return false;
  }

  // A write or the close met a full disk, or failed otherwise; either way
  // a continued body would meet the same end.
  DownloadResult endOfFailedWrite() {
    point_.validator.clear();
    if (!isDiskFullError(file_->writeError()) && !isDiskFullError(files_.lastError()))
      return failure();
    return diskFilled();
  }

  DownloadResult diskFilled() {
    shortfall_ = RoomShortfall{true, 0, 0};
    return DownloadResult::kDiskFull;
  }

  // A body that declares more than the task's bound is refused unread.
  bool exceedsLimit(const ResponseHead& head) const {
    return head.contentLength && *head.contentLength > byteLimitOf(settings_, true);
  }

  // A whole body begins in the file: what a later request may continue.
  void noteBody(const ResponseHead& head) {
    if (head.contentLength && *head.contentLength != reported_.value_or(-1))
      reportTotal(*head.contentLength);
    // Only a whole body (200) can be continued by asking for its rest.
    point_ = ResumePoint{0, head.contentLength.value_or(0),
                         head.status == 200 ? ifRangeValidator(head) : std::string()};
    if (!settings_.keepPartial)
      return;
    dropNote();
    if (point_.total > 0 && !point_.validator.empty() &&
        writeResumeNote(files_, file_->path(),
                        ResumeNote{placeOf(settings_.address), point_.validator, point_.total,
                                   settings_.resumeTag})) {
      notePath_ = resumeNotePath(file_->path());
    }
  }

  // A partial file of an earlier task with a note that fits is continued;
  // one whose note does not fit goes with its note. A file without a note
  // is any file, left to the usual rule.
  void takeOverEarlierRun() {
    if (!settings_.keepPartial)
      return;
    const std::string& path = settings_.localPath;
    const std::string note = resumeNotePath(path);
    if (!files_.exists(note))
      return;
    const std::optional<ResumeNote> kept = readResumeNote(files_, path);
    const std::int64_t size = files_.size(path);
    if (kept && kept->address == placeOf(settings_.address) && kept->tag == settings_.resumeTag &&
        size > 0 && size < kept->size && kept->size <= byteLimitOf(settings_, true)) {
      auto file =
          std::make_unique<PartialFile>(files_, path, PartialFile::Creation::kAppendExisting);
      if (file->opened()) {
        file_ = std::move(file);
        point_ = ResumePoint{file_->written(), kept->size, kept->validator};
        notePath_ = note;
        return;
      }
    }
    files_.remove(path);
    files_.remove(note);
  }

  // What stays of a task that ends: a complete body without its note; a
  // body that can be continued with it where asked to keep it; else nothing.
  DownloadResult settle(DownloadResult result) {
    if (result == DownloadResult::kComplete) {
      dropNote();
      return result;
    }
    if (file_ && !notePath_.empty() && canContinue(point_) && file_->close()) {
      file_->keep();
    } else {
      dropNote();
      file_.reset();  // removes the file it holds
    }
    if (result == DownloadResult::kGaveUp)
      return result;
    if (result == DownloadResult::kRangesRefused && !stop_.requested())
      return result;
    if (stop_.requested())
      return DownloadResult::kStopped;
    if (shortfall_ && (result == DownloadResult::kNoRoom || result == DownloadResult::kDiskFull)) {
      observer_.roomShort(*shortfall_);
      return result;
    }
    return DownloadResult::kFailed;
  }

  void dropNote() {
    if (!notePath_.empty())
      files_.remove(notePath_);
    notePath_.clear();
  }

  void reportTotal(std::int64_t total) {
    if (reported_ == total)
      return;
    reported_ = total;
    observer_.totalSizeKnown(total);
  }

  Fetched fetchFollowingRedirects(Response& response) {
    HttpAddress address = settings_.address;
    std::set<std::string> visited;
    for (int redirects = 0;; ++redirects) {
      visited.insert(placeOf(address));
      response = Response();
      if (!fetchHead(address, response))
        return Fetched::kNoAnswer;
      if (!isRedirectStatus(response.head.status) || response.head.location.empty())
        return Fetched::kAnswered;
      const auto next = resolveLocation(address, response.head.location);
      // Too many hops, a loop, or a target we cannot fetch (https to plain
      // http among them) ends the task.
      if (redirects == kMaxRedirects || !next || visited.count(placeOf(*next)) != 0)
        return Fetched::kRefused;
      address = *next;
    }
  }

  bool fetchHead(const HttpAddress& address, Response& response) {
    if (stop_.requested())
      return false;
    response.connection = openConnection(sockets_, tls_, address.host, address.port, address.secure,
                                         settings_.connectTimeoutMs, settings_.receiveTimeoutMs);
    if (!response.connection)
      return false;
    // Adopted before the first send, which runs the TLS handshake: a stop
    // aborts that too. A first request of a task is the plain one.
    AdoptedConnection abortable(stop_, response.connection.get());
    return abortable &&
           response.connection->sendAll(range_  ? range_(address)
                                        : file_ ? resumeRequest(address, kUserAgent, point_)
                                                : getRequest(address, kUserAgent)) &&
           readHead(*response.connection, response);
  }

  DownloadResult failure() const {
    return stop_.requested() ? DownloadResult::kStopped : DownloadResult::kFailed;
  }

  const DownloadSettings& settings_;
  platform::Sockets& sockets_;
  platform::Tls& tls_;
  platform::Files& files_;
  DownloadStop& stop_;
  DownloadObserver& observer_;

  std::unique_ptr<PartialFile> file_;
  ResumePoint point_;
  // The request for the part being fetched (settings.spans); empty otherwise.
  std::function<std::string(const HttpAddress&)> range_;
  std::string notePath_;  // set while a note of this task's file stands
  std::optional<std::int64_t> reported_;
  bool bodyBegun_ = false;
  std::optional<RoomShortfall> shortfall_;
};

}  // namespace

DownloadResult runDownload(const DownloadSettings& settings, platform::Sockets& sockets,
                           platform::Tls& tls, platform::Files& files, DownloadStop& stop,
                           DownloadObserver& observer) {
  return Download(settings, sockets, tls, files, stop, observer).run();
}

}  // namespace update
