#include "update/unzip.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "base/cp936.h"
#include "base/file_name.h"
#include "base/path.h"
#include "update/partial_file.h"
#include "update/unzip_archive.h"

namespace update {
namespace {

constexpr std::size_t kCopyBufferSize = 256 * 1024;
// Data goes to a name of this kind beside the target first, so a damaged
// entry never replaces a good file. The name is taken only where no file
// has it (a player's file, or an entry written earlier), trying numbered
// ones after the plain one.
constexpr const char* kPartialSuffix = ".unpacking";
constexpr int kPartialNameTries = 100;

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

class Unpacker {
 public:
  Unpacker(platform::Files& files, platform::TextCodec& codec, const ZipArchive& archive,
           const std::string& destinationDir)
      : archive_(archive),
        files_(files),
        codec_(codec),
        root_(withoutTrailingSeparators(destinationDir)),
        buffer_(kCopyBufferSize) {}

  // False when the entry cannot or must not be written; the unpack stops.
  bool unpackEntry(std::uint64_t index) {
    const std::optional<EntryInfo> info = archive_.entry(index);
    // A link could point anywhere; its target is not ours to follow.
    if (!info || info->isSymbolicLink)
      return false;
    const std::string ansiName =
        info->nameIsUtf8 ? codec_.utf8ToAnsi(base::Bytes(info->name.begin(), info->name.end()))
                         : info->name;
    const std::optional<base::EntryPath> path = base::parseEntryPath(ansiName);
    if (!path)
      return false;
    std::string folder;
    if (!createFolders(*path, folder))
      return false;
    if (path->fileName.empty())
      return true;
    return writeFile(index, folder + '\\' + path->fileName);
  }

 private:
  bool createFolders(const base::EntryPath& path, std::string& folder) {
    folder = root_;
    for (const std::string& name : path.folders) {
      folder += '\\';
      folder += name;
      if (createdFolders_.count(folder) != 0)
        continue;
      if (!files_.createDirectory(folder))
        return false;
      createdFolders_.insert(folder);
    }
    return true;
  }

  bool writeFile(std::uint64_t index, const std::string& target) {
    std::optional<EntryReader> reader = archive_.openEntry(index);
    if (!reader)
      return false;
    files_.setAttributes(target, platform::kNormalFileAttributes);
    const std::unique_ptr<PartialFile> partial = createPartialFile(target);
    if (!partial || !copyEntry(*reader, *partial))
      return false;
    if (!files_.replace(partial->path(), target))
      return false;
    partial->keep();
    files_.setAttributes(target, platform::kNormalFileAttributes);
    return true;
  }

  std::unique_ptr<PartialFile> createPartialFile(const std::string& target) {
    const std::string plain = target + kPartialSuffix;
    for (int number = 0; number < kPartialNameTries; ++number) {
      auto partial = std::make_unique<PartialFile>(
          files_, number == 0 ? plain : base::numberedFileName(plain, number),
          PartialFile::Creation::kOnlyNew);
      if (partial->opened())
        return partial;
    }
    return nullptr;
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
  std::set<std::string> createdFolders_;
  std::vector<char> buffer_;
};

// Writes the entries in order, reporting each, until done or one cannot be
// written; returns the number of entries, 0 for an unreadable archive. The
// archive stays open only while this runs.
std::uint64_t unpackEntries(platform::Files& files, platform::TextCodec& codec,
                            const std::string& archivePath, const std::string& destinationDir,
                            const std::function<void(int percent)>& progress) {
  const std::optional<ZipArchive> archive = ZipArchive::open(archivePath);
  const std::uint64_t count = archive ? archive->entryCount() : 0;
  if (count == 0)
    return 0;
  Unpacker unpacker(files, codec, *archive, destinationDir);
  for (std::uint64_t index = 0; index < count; ++index) {
    if (!unpacker.unpackEntry(index))
      break;
    progress(static_cast<int>(index * 100 / count));
  }
  return count;
}

}  // namespace

void unpackArchive(platform::Files& files, platform::TextCodec& codec,
                   const std::string& archivePath, const std::string& destinationDir,
                   const std::function<void(int percent)>& progress) {
  createFolderChain(files, withoutTrailingSeparators(destinationDir));
  const std::uint64_t count = unpackEntries(files, codec, archivePath, destinationDir, progress);
  // The final report may hand over at once: delete the package and end the
  // program. Windows cannot delete a file that is still open, so the
  // archive is closed by now.
  progress(count == 0 ? 0 : 100);
}

}  // namespace update
