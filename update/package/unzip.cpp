#include "update/package/unzip.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "base/cp936.h"
#include "base/file_name.h"
#include "base/path.h"
#include "update/download/partial_file.h"
#include "update/package/staged_apply.h"
#include "update/package/unzip_archive.h"

namespace update {
namespace {

constexpr std::size_t kCopyBufferSize = 256 * 1024;
// Data goes to a name of this kind beside the target first, so a damaged
// entry never replaces a good file, and the old file to the other one until
// the update is known to be whole. Each is taken only where no file has it
// (a player's file) and the package brings none, trying numbered ones after
// the plain one.
constexpr const char* kStagingSuffix = ".unpacking";
constexpr const char* kBackupSuffix = ".backup";
constexpr int kFreeNameTries = 100;

// Byte positions of the separators of a code page 936 path.
std::vector<std::size_t> separatorPositions(const std::string& path) {
  std::vector<std::size_t> positions;
  base::forEachCharacter<base::fileNameCharacterWidth>(path, [&](std::size_t i, std::size_t width) {
    if (width == 1 && base::isPathSeparator(path[i]))
      positions.push_back(i);
  });
  return positions;
}

// Creates the folder and any missing parents; drive roots ("C:") and the
// server part of a UNC path are not folders to create and are passed over.
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

std::string withoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && base::isPathSeparator(path.back()))
    path.pop_back();
  return path;
}

// Windows sees one file where names differ only in the case of ASCII
// letters or in the separator used.
std::string foldedName(const std::string& name) {
  std::string folded = base::lowerAscii(name);
  std::replace(folded.begin(), folded.end(), '/', '\\');
  return folded;
}

struct StagedEntry {
  std::uint64_t index;
  base::EntryPath path;
};

class Stager {
 public:
  Stager(platform::Files& files, platform::TextCodec& codec, const ZipArchive& archive,
         const std::string& runDirectory, JournalWriter& journal)
      : archive_(archive),
        files_(files),
        codec_(codec),
        root_(withoutTrailingSeparators(runDirectory)),
        journal_(journal),
        buffer_(kCopyBufferSize) {}

  // Every entry's name, checked before anything is written, so that no
  // staging or backup name taken later is one the package still brings.
  bool readNames(std::uint64_t count) {
    for (std::uint64_t index = 0; index < count; ++index) {
      const std::optional<EntryInfo> info = archive_.entry(index);
      // A link could point anywhere; its target is not ours to follow.
      if (!info || info->isSymbolicLink)
        return false;
      const std::string ansiName =
          info->nameIsUtf8 ? codec_.utf8ToAnsi(base::Bytes(info->name.begin(), info->name.end()))
                           : info->name;
      std::optional<base::EntryPath> path = base::parseEntryPath(ansiName);
      if (!path)
        return false;
      if (!path->fileName.empty()) {
        // Two entries for one file would leave the second's backup holding
        // the first's new bytes.
        if (!reserved_.insert(foldedName(relativeName(*path))).second)
          return false;
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
    return stageFile(entry.index, relativeName(entry.path));
  }

  // Backup names for the targets that exist, then the steps in the journal.
  bool listSteps() {
    for (ApplyStep& step : steps_) {
      const std::string target = path(step.target);
      if (files_.isDirectory(target))
        return false;
      if (files_.exists(target)) {
        step.backup = unusedName(step.target + kBackupSuffix);
        if (step.backup.empty())
          return false;
      }
    }
    return journal_.complete(std::move(steps_));
  }

 private:
  static std::string relativeName(const base::EntryPath& path) {
    std::string name;
    for (const std::string& folder : path.folders)
      name += folder + '\\';
    return name + path.fileName;
  }

  std::string path(const std::string& relative) const { return base::joinPath(root_, relative); }

  bool createFolders(const base::EntryPath& entry) {
    std::string relative;
    for (const std::string& name : entry.folders) {
      relative += relative.empty() ? name : '\\' + name;
      if (!seenFolders_.insert(foldedName(relative)).second)
        continue;
      if (files_.isDirectory(path(relative)))
        continue;
      // Named before it exists: a kill right after leaves nothing unnamed.
      if (!journal_.addFolder(relative) || !files_.createDirectory(path(relative)))
        return false;
    }
    return true;
  }

  // The plain name, or the first numbered one, that no file has and the
  // package does not bring; reserved from then on. Empty when none is free.
  std::string unusedName(const std::string& plain) {
    for (int number = 0; number < kFreeNameTries; ++number) {
      std::string name = number == 0 ? plain : base::numberedFileName(plain, number);
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
      return false;
    const std::string staged = unusedName(target + kStagingSuffix);
    if (staged.empty() || !journal_.addStaged(staged))
      return false;
    PartialFile partial(files_, path(staged), PartialFile::Creation::kOnlyNew);
    if (!partial.opened() || !copyEntry(*reader, partial))
      return false;
    partial.keep();
    steps_.push_back({staged, target, {}, static_cast<std::int64_t>(reader->bytesRead())});
    return true;
  }

  bool copyEntry(EntryReader& reader, PartialFile& output) {
    for (;;) {
      const long got = reader.read(buffer_.data(), buffer_.size());
      if (got < 0)
        return false;
      if (got == 0)
        break;
      if (!output.write(std::string_view(buffer_.data(), static_cast<std::size_t>(got))))
        return false;
    }
    return output.close();
  }

  const ZipArchive& archive_;
  platform::Files& files_;
  platform::TextCodec& codec_;
  std::string root_;
  JournalWriter& journal_;
  std::vector<StagedEntry> entries_;
  std::set<std::string> reserved_;
  std::set<std::string> seenFolders_;
  std::vector<ApplyStep> steps_;
  std::vector<char> buffer_;
};

StageResult stageEntries(platform::Files& files, platform::TextCodec& codec,
                         const ZipArchive& archive, const std::string& runDirectory,
                         JournalWriter& journal, const UnpackProgress& progress) {
  const std::uint64_t count = archive.entryCount();
  if (count == 0)
    return StageResult::kNoEntries;
  Stager stager(files, codec, archive, runDirectory, journal);
  if (!stager.readNames(count))
    return StageResult::kStopped;
  for (std::uint64_t index = 0; index < count; ++index) {
    if (!stager.stageEntry(static_cast<std::size_t>(index)))
      return StageResult::kStopped;
    progress(static_cast<int>(index * 100 / count));
  }
  return stager.listSteps() ? StageResult::kStaged : StageResult::kStopped;
}

}  // namespace

StageResult stageArchive(platform::Files& files, platform::TextCodec& codec,
                         const std::string& archivePath, const std::string& runDirectory,
                         JournalWriter& journal, const UnpackProgress& progress) {
  StageResult result = StageResult::kNoEntries;
  {
    // The archive stays open only while this runs.
    const std::optional<ZipArchive> archive = ZipArchive::open(archivePath);
    if (archive)
      result = stageEntries(files, codec, *archive, runDirectory, journal, progress);
  }
  if (result != StageResult::kStaged)
    undoPlan(files, withoutTrailingSeparators(runDirectory), journal.plan());
  return result;
}

void unpackArchive(platform::Files& files, platform::TextCodec& codec,
                   const std::string& archivePath, const std::string& destinationDir,
                   const UnpackProgress& progress) {
  const std::string root = withoutTrailingSeparators(destinationDir);
  createFolderChain(files, root);
  const std::unique_ptr<JournalWriter> journal = JournalWriter::create(files, root);
  StageResult result = StageResult::kStopped;
  if (journal) {
    result = stageArchive(files, codec, archivePath, root, *journal, progress);
    if (result == StageResult::kStaged &&
        applyStaged(files, root, *journal, InUseRetry{}) == ApplyResult::kApplied) {
      journal->decide(ApplyDecision::kFinish);
      removeBackups(files, root, journal->plan());
    }
    journal->remove();
  }
  // The archive is closed by now: Windows cannot delete a file still open.
  progress(result == StageResult::kNoEntries ? 0 : 100);
}

}  // namespace update
