#include "update/partial_update.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>

#include "base/file_name.h"
#include "update/download.h"
#include "update/download/download_object.h"
#include "update/download/room.h"
#include "update/package/fetch_plan.h"
#include "update/package/release_signature.h"
#include "update/progress_text.h"
#include "update/record_names.h"

namespace update {
namespace {

constexpr std::uint64_t kMostBytes = std::numeric_limits<std::int64_t>::max();

// The check of the folder keeps the window's messages going this often.
constexpr std::uint64_t kPumpEveryBytes = 4u << 20;

bool startParts(platform::Files& files, UpdateState& state, UpdateView& view,
                std::vector<ByteSpan> spans, std::int64_t unpacked) {
  PartialFetch& partial = *state.partial;
  DownloadRequest request;
  request.address = state.names.address;
  request.localFile = partial.gathered;
  request.retryPausesMs = state.retryPausesMs;
  request.checkRoom = true;
  request.unpackedBytes = unpacked;
  request.spans = std::move(spans);
  files.remove(partial.gathered);
  state.progress->arrivedWhole = false;
  state.progress->totalSize = 0;
  state.progress->percent = 0;
  *state.taskParameters = taskRecordOf(request);
  return state.downloadObject->start(
      request, std::make_shared<DownloadNotices>(view, state.progress, nullptr));
}

PartialEnd wholeAfterAll(platform::Files& files, UpdateState& state) {
  files.remove(state.partial->gathered);
  state.partial.reset();
  return PartialEnd::kWholeAfterAll;
}

std::optional<std::vector<ListedEntry>> arrivedList(platform::Files& files,
                                                    const PartialFetch& partial) {
  const base::Bytes bytes = files.readAll(partial.gathered);
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (text.size() != partial.place.length || digestOfBytes(text) != partial.place.digest)
    return std::nullopt;
  return parseEntryList(text);
}

}  // namespace

std::vector<ByteSpan> partsToFetch(const std::vector<ListedEntry>& entries,
                                   const std::vector<std::size_t>& wanted,
                                   const EntryListPlace& place, std::uint64_t packageSize) {
  std::vector<ByteSpan> spans;
  for (const std::size_t index : wanted)
    spans.push_back({entries[index].offset, entries[index].span});
  const std::uint64_t directory = place.offset + place.length;
  if (directory < packageSize)
    spans.push_back({directory, packageSize - directory});
  return joinSpans(std::move(spans), kMaxRangeRequests);
}

bool startPartialUpdate(platform::Files& files, const std::string& runDirectory, UpdateState& state,
                        UpdateView& view) {
  if (state.publicKey.empty())
    return false;
  // Signed by either of the launcher's keys, as the whole package is.
  ReleaseTrust trust = trustOf(state);
  trust.form = ReleaseForm::kWithEntries;
  if (checkAnnouncedRelease(trust, state.versionFields) != PackageVerdict::kSigned)
    return false;
  const std::optional<Release> release = announcedRelease(state.versionFields, state.pageAddress);
  if (!release || release->entryList.length > release->packageSize ||
      release->entryList.offset > release->packageSize - release->entryList.length)
    return false;
  // A disk short of room for the whole update is told so before a byte
  // of the package is asked for, as it always was.
  const std::optional<std::uint64_t> unpacked =
      parsePackageSize(state.versionFields[kUnpackedSize]);
  const std::int64_t needed = roomNeeded(
      static_cast<std::int64_t>(std::min<std::uint64_t>(release->packageSize, kMostBytes)), 0,
      unpacked ? static_cast<std::int64_t>(std::min<std::uint64_t>(*unpacked, kMostBytes)) : -1);
  if (lacksRoom(needed, files.availableSpace(runDirectory)))
    return false;
  ReleaseNames& names = state.names;
  names.address = state.versionFields[kUpdateAddress];
  names.newLauncher = state.versionFields[kProgramTitle];
  names.package = packagePath(runDirectory, names.address);
  const std::string name = packageFileName(names.address);
  if (name.empty() || !base::isPlainFileName(name))
    return false;
  names.download = names.package + kPartialPackageSuffix;
  state.partial = std::make_unique<PartialFetch>();
  state.partial->place = release->entryList;
  state.partial->gathered = names.package + kFetchedEntriesSuffix;
  state.partial->archive.packageSize = release->packageSize;
  if (startParts(files, state, view, {{release->entryList.offset, release->entryList.length}}, -1))
    return true;
  state.partial.reset();
  return false;
}

PartialEnd continuePartialUpdate(platform::Files& files, platform::Pump& pump,
                                 const std::string& runDirectory, UpdateState& state,
                                 UpdateView& view) {
  PartialFetch& partial = *state.partial;
  if (!state.progress->arrivedWhole)
    return wholeAfterAll(files, state);
  if (partial.step == PartialStep::kList) {
    const std::optional<std::vector<ListedEntry>> entries = arrivedList(files, partial);
    if (!entries)
      return wholeAfterAll(files, state);
    // The panel shows the check of the folder's files, told only when its
    // percent changes: each telling repaints, and a game has many blocks.
    view.showPercent(0);
    std::int32_t shown = 0;
    std::uint64_t lastPump = 0;
    const std::vector<std::size_t> wanted =
        entriesToFetch(files, runDirectory, *entries, [&](std::uint64_t done, std::uint64_t total) {
          const std::int32_t percent =
              percentOf(static_cast<std::int64_t>(done), static_cast<std::int64_t>(total));
          if (percent != shown) {
            shown = percent;
            view.showPercent(percent);
          }
          if (done - lastPump >= kPumpEveryBytes || done == total) {
            lastPump = done;
            pump.delay(0);
          }
        });
    if (wanted.empty())
      return wholeAfterAll(files, state);
    std::vector<ListedEntry> chosen;
    std::int64_t unpacked = 0;
    for (const std::size_t index : wanted) {
      chosen.push_back((*entries)[index]);
      partial.archive.names.insert((*entries)[index].name);
      unpacked += static_cast<std::int64_t>((*entries)[index].size);
    }
    const std::vector<ByteSpan> spans =
        partsToFetch(*entries, wanted, partial.place, partial.archive.packageSize);
    partial.archive.pieces = piecesOf(spans);
    partial.chosen = std::move(chosen);
    partial.step = PartialStep::kEntries;
    if (!startParts(files, state, view, spans, unpacked))
      return wholeAfterAll(files, state);
    return PartialEnd::kGoesOn;
  }
  bool matches = false;
  {
    // Closed before the apply opens it again, or it is removed: Windows
    // removes no open file.
    const std::optional<ZipArchive> archive = openArchive(partial.gathered, &partial.archive);
    matches = archive && fetchedEntriesMatch(*archive, partial.chosen);
  }
  return matches ? PartialEnd::kReady : wholeAfterAll(files, state);
}

}  // namespace update
