#include "update/package/unzip.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "base/cp936.h"
#include "base/file_name.h"
#include "base/path.h"
#include "update/download/partial_file.h"
#include "update/package/free_names.h"
#include "update/package/staged_apply.h"
#include "update/package/unzip_archive.h"
#include "update/record_names.h"

namespace update {
namespace {

constexpr std::size_t kCopyBufferSize = 256 * 1024;

// Byte positions of the separators of a code page 936 path.
std::vector<std::size_t> separatorPositions(const std::string& path) {
  std::vector<std::size_t> positions;
  base::forEachCharacter<base::fileNameCharacterWidth>(path, [&](std::size_t i, std::size_t width) {
    if (width == 1 && base::isPathSeparator(path[i]))
      positions.push_back(i);
  });
  return positions;
}

}  // namespace

std::optional<std::string> writtenEntryName(platform::TextCodec& codec, const EntryInfo& info) {
  if (!info.nameIsUtf8)
    return info.name;
  return codec.utf8NameToAnsi(base::Bytes(info.name.begin(), info.name.end()));
}

std::optional<ZipArchive> openArchive(const std::string& archivePath,
                                      const PartialArchive* partial) {
  if (partial == nullptr)
    return ZipArchive::open(archivePath);
  return ZipArchive::openPieces(archivePath, partial->pieces, partial->packageSize);
}

std::optional<std::uint64_t> unpackedSizeOf(const std::string& archivePath) {
  const std::optional<ZipArchive> archive = ZipArchive::open(archivePath);
  return archive ? archive->unpackedSize() : std::nullopt;
}

// Drive roots ("C:") and the server part of a UNC path are not folders to
// create and are passed over.
void createFolderChain(platform::Files& files, const std::string& folder) {
  if (folder.empty() || files.isDirectory(folder))
    return;
  for (std::size_t position : separatorPositions(folder)) {
    const std::string prefix = folder.substr(0, position);
    if (prefix.empty() || base::isPathSeparator(prefix.back()) || prefix.back() == ':')
      continue;
    if (!files.isDirectory(prefix))
      files.createDirectory(prefix);
  }
  files.createDirectory(folder);
}

namespace {

struct StagedEntry {
  std::uint64_t index;
  base::EntryPath path;
};

// Where a step goes in the apply: every other file first (0), then the new
// launcher (1), then the running launcher's own file (2). The launchers'
// names come folded.
int stepRank(const std::string& target, const std::string& ownFile,
             const std::string& newLauncher) {
  const std::string folded = foldedName(target);
  if (!ownFile.empty() && folded == ownFile)
    return 2;
  if (!newLauncher.empty() && folded == newLauncher)
    return 1;
  return 0;
}

// Data goes to a staging name beside the target first (kStagingSuffix), so
// a damaged entry never replaces a good file, and the old file to a backup
// name (kBackupSuffix) until the update is known to be whole. Each is taken
// only where no file has it (a player's file) and the package brings none,
// trying numbered ones after the plain one.
class Stager {
 public:
  Stager(platform::Files& files, platform::TextCodec& codec, const ZipArchive& archive,
         const std::string& runDirectory, JournalWriter& journal, const StepOrder& order,
         const PartialArchive* partial)
      : archive_(archive),
        partial_(partial),
        files_(files),
        codec_(codec),
        root_(base::withoutTrailingSeparators(runDirectory)),
        journal_(journal),
        order_(order),
        buffer_(kCopyBufferSize) {}

  // Why the last false came: the entry was damaged or unsafe, or the
  // system refused to write it.
  StageResult failedAs() const { return failedAs_; }
  const StageFailure& failure() const { return failure_; }
  // The entries readNames took for the folder.
  std::size_t entryCount() const { return entries_.size(); }

  // Every entry's name, checked before anything is written, so that no
  // staging or backup name taken later is one the package still brings.
  bool readNames(std::uint64_t count) {
    for (std::uint64_t index = 0; index < count; ++index) {
      const std::optional<EntryInfo> info = archive_.entry(index);
      // A link could point anywhere; its target is not ours to follow.
      if (!info || info->isSymbolicLink)
        return damaged(info ? info->name : std::string());
      // Of a package fetched in part, only the entries fetched are read.
      if (partial_ != nullptr && partial_->names.count(info->name) == 0)
        continue;
      const std::optional<std::string> ansiName = writtenEntryName(codec_, *info);
      if (!ansiName)
        return damaged(codec_.utf8ToAnsi(base::Bytes(info->name.begin(), info->name.end())));
      std::optional<base::EntryPath> path = base::parseEntryPath(*ansiName);
      if (!path)
        return damaged(*ansiName);
      // The package's list of its entries is for fetching, not for the folder.
      if (path->folders.empty() &&
          base::equalsIgnoringAsciiCase(path->fileName, kEntryListFileName))
        continue;
      if (!path->fileName.empty()) {
        // Two entries for one file would leave the second's backup holding
        // the first's new bytes.
        if (!reserved_.insert(foldedName(base::joinedEntryPath(*path))).second)
          return damaged(*ansiName);
      }
      entries_.push_back({index, std::move(*path)});
    }
    return true;
  }

  // False when the entry cannot or must not be written.
  bool stageEntry(std::size_t number) {
    const StagedEntry& entry = entries_[number];
    if (!createFolders(entry.path))
      return false;
    if (entry.path.fileName.empty())
      return true;
    return stageFile(entry.index, base::joinedEntryPath(entry.path));
  }

  // Backup names for the targets that exist, then the steps in the journal,
  // in the order they are to be done.
  bool listSteps() {
    for (ApplyStep& step : steps_) {
      const std::string target = path(step.target);
      if (files_.isDirectory(target))
        return notWritten(step.target, 0);
      if (files_.exists(target)) {
        step.backup = unusedName(step.target + kBackupSuffix);
        if (step.backup.empty())
          return notWritten(step.target, 0);
      }
    }
    // Each name folded once, not at every comparison of a sort: a game of
    // tens of thousands of files spent a good part of its staging there.
    const std::string ownFile = foldedName(order_.ownFile);
    const std::string newLauncher = foldedName(order_.newLauncher);
    std::array<std::vector<ApplyStep>, 3> byRank;
    for (ApplyStep& step : steps_)
      byRank[stepRank(step.target, ownFile, newLauncher)].push_back(std::move(step));
    steps_.clear();
    for (std::vector<ApplyStep>& steps : byRank)
      std::move(steps.begin(), steps.end(), std::back_inserter(steps_));
    return journal_.complete(std::move(steps_)) || journalNotWritten();
  }

 private:
  std::string path(const std::string& relative) const { return base::joinPath(root_, relative); }

  bool damaged(const std::string& file) {
    failedAs_ = StageResult::kDamaged;
    failure_ = {file, 0};
    return false;
  }

  bool notWritten(const std::string& file, std::uint32_t systemError) {
    failedAs_ = StageResult::kNotWritten;
    failure_ = {file, systemError};
    return false;
  }

  // A journal too long for the reader is refused without a system's code.
  bool journalNotWritten() {
    return notWritten(kJournalFileName, journal_.full() ? 0 : files_.lastError());
  }

  bool createFolders(const base::EntryPath& entry) {
    std::string relative;
    for (const std::string& name : entry.folders) {
      relative += relative.empty() ? name : '\\' + name;
      if (!seenFolders_.insert(foldedName(relative)).second)
        continue;
      if (files_.isDirectory(path(relative)))
        continue;
      // Named before it exists: a kill right after leaves nothing unnamed.
      if (!journal_.addFolder(relative))
        return journalNotWritten();
      if (!files_.createDirectory(path(relative)))
        return notWritten(relative, files_.lastError());
    }
    return true;
  }

  // Data goes to a staged name beside the target first, so a damaged entry
  // never replaces a good file, and the old file to a backup name until the
  // update is known to be whole. Each is the plain name, or the first
  // numbered one, that no file has (a player's file) and the package does
  // not bring; reserved from then on. Empty when none is free.
  std::string unusedName(const std::string& plain) {
    for (int number = 0; number < kFreeNameTries; ++number) {
      std::string name = freeNameTry(plain, number);
      if (reserved_.count(foldedName(name)) == 0 && !files_.exists(path(name))) {
        reserved_.insert(foldedName(name));
        return name;
      }
    }
    return {};
  }

  bool stageFile(std::uint64_t index, const std::string& target) {
    std::optional<EntryReader> reader = archive_.openEntry(index);
    if (!reader)
      return damaged(target);
    const std::string staged = unusedName(target + kStagingSuffix);
    if (staged.empty())
      return notWritten(target, 0);
    if (!journal_.addStaged(staged))
      return journalNotWritten();
    PartialFile partial(files_, path(staged), PartialFile::Creation::kOnlyNew);
    if (!partial.opened())
      return notWritten(target, files_.lastError());
    if (!copyEntry(*reader, partial, target))
      return false;
    partial.keep();
    steps_.push_back({staged, target, {}, static_cast<std::int64_t>(reader->bytesRead())});
    return true;
  }

  bool copyEntry(EntryReader& reader, PartialFile& output, const std::string& target) {
    for (;;) {
      const long got = reader.read(buffer_.data(), buffer_.size());
      if (got < 0)
        return damaged(target);
      if (got == 0)
        break;
      if (!output.write(std::string_view(buffer_.data(), static_cast<std::size_t>(got))))
        return notWritten(target, files_.lastError());
    }
    return output.close() || notWritten(target, files_.lastError());
  }

  const ZipArchive& archive_;
  const PartialArchive* partial_;
  platform::Files& files_;
  platform::TextCodec& codec_;
  std::string root_;
  JournalWriter& journal_;
  const StepOrder& order_;
  StageResult failedAs_ = StageResult::kNotWritten;
  StageFailure failure_;
  std::vector<StagedEntry> entries_;
  std::set<std::string> reserved_;
  std::set<std::string> seenFolders_;
  std::vector<ApplyStep> steps_;
  std::vector<char> buffer_;
};

StageResult stageEntries(Stager& stager, std::uint64_t count, const UnpackProgress& progress) {
  if (!stager.readNames(count))
    return stager.failedAs();
  const std::size_t taken = stager.entryCount();
  for (std::size_t index = 0; index < taken; ++index) {
    if (!stager.stageEntry(index))
      return stager.failedAs();
    progress(static_cast<int>(index * 100 / taken));
  }
  return stager.listSteps() ? StageResult::kStaged : stager.failedAs();
}

}  // namespace

StageResult stageArchive(platform::Files& files, platform::TextCodec& codec,
                         const std::string& archivePath, const std::string& runDirectory,
                         JournalWriter& journal, const UnpackProgress& progress,
                         const StepOrder& order, StageFailure* failure,
                         const PartialArchive* partial) {
  StageResult result = StageResult::kNoEntries;
  {
    // The archive stays open only while this runs.
    const std::optional<ZipArchive> archive = openArchive(archivePath, partial);
    const std::uint64_t count = archive ? archive->entryCount() : 0;
    if (count > 0) {
      Stager stager(files, codec, *archive, runDirectory, journal, order, partial);
      result = stageEntries(stager, count, progress);
      if (failure != nullptr)
        *failure = stager.failure();
    }
  }
  if (result != StageResult::kStaged) {
    const bool undone =
        undoPlan(files, base::withoutTrailingSeparators(runDirectory), journal.plan());
    if (failure != nullptr)
      failure->undone = undone;
  }
  return result;
}

}  // namespace update
