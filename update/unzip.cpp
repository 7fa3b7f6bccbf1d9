#include "update/unzip.h"

#include <cstdint>
#include <memory>
#include <set>
#include <vector>

#include "core/program.h"
#include "update/unzip_archive.h"
#include "update/unzip_names.h"

namespace update {
namespace {

constexpr unsigned kNormalAttributes = 0x80;  // FILE_ATTRIBUTE_NORMAL
constexpr std::size_t kCopyBufferSize = 256 * 1024;
// Data goes to this name beside the target first, so a damaged entry never
// replaces a good file.
constexpr const char* kPartialSuffix = ".unpacking";

bool isSeparator(char c) {
  return c == '/' || c == '\\';
}

// Byte positions of the separators of a code page 936 path.
std::vector<std::size_t> separatorPositions(const std::string& path) {
  std::vector<std::size_t> positions;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (static_cast<unsigned char>(path[i]) >= 0x80)
      ++i;
    else if (isSeparator(path[i]))
      positions.push_back(i);
  }
  return positions;
}

// Creates the folder and any missing parents; drive roots ("C:") and the
// server part of a UNC path are not folders to create and are passed over.
void createFolderChain(platform::Files& files, const std::string& folder) {
  if (folder.empty() || files.isDirectory(folder))
    return;
  for (std::size_t position : separatorPositions(folder)) {
    const std::string prefix = folder.substr(0, position);
    if (prefix.empty() || isSeparator(prefix.back()) || prefix.back() == ':')
      continue;
    if (!files.isDirectory(prefix))
      files.createDirectory(prefix);
  }
  files.createDirectory(folder);
}

std::string withoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && isSeparator(path.back()))
    path.pop_back();
  return path;
}

// Deletes a partly written file unless it was moved into place.
class PartialFile {
 public:
  PartialFile(platform::Files& files, std::string path) : files_(files), path_(std::move(path)) {}
  PartialFile(const PartialFile&) = delete;
  PartialFile& operator=(const PartialFile&) = delete;
  ~PartialFile() {
    if (!placed_)
      files_.remove(path_);
  }
  const std::string& path() const { return path_; }
  void markPlaced() { placed_ = true; }

 private:
  platform::Files& files_;
  std::string path_;
  bool placed_ = false;
};

class Unpacker {
 public:
  Unpacker(const ZipArchive& archive, const std::string& destinationDir)
      : archive_(archive),
        files_(*core::context().os.files),
        codec_(*core::context().os.codec),
        root_(withoutTrailingSeparators(destinationDir)),
        buffer_(kCopyBufferSize) {}

  // False when the entry cannot or must not be written; the unpack stops.
  bool unpackEntry(std::uint64_t index) {
    const std::optional<EntryInfo> info = archive_.entry(index);
    // A link could point anywhere; its target is not ours to follow.
    if (!info || info->isSymbolicLink)
      return false;
    const std::string ansiName =
        info->nameIsUtf8 ? codec_.utf8ToAnsi(core::Bytes(info->name.begin(), info->name.end()))
                         : info->name;
    const std::optional<EntryPath> path = parseEntryPath(ansiName);
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
  bool createFolders(const EntryPath& path, std::string& folder) {
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
    files_.setAttributes(target, kNormalAttributes);
    PartialFile partial(files_, target + kPartialSuffix);
    if (!copyEntry(*reader, partial.path()))
      return false;
    if (!files_.replace(partial.path(), target))
      return false;
    partial.markPlaced();
    files_.setAttributes(target, kNormalAttributes);
    return true;
  }

  bool copyEntry(EntryReader& reader, const std::string& path) {
    const std::unique_ptr<platform::OutputFile> output = files_.create(path);
    if (!output)
      return false;
    for (;;) {
      const long got = reader.read(buffer_.data(), buffer_.size());
      if (got < 0)
        return false;
      if (got == 0)
        break;
      if (!output->write(buffer_.data(), static_cast<std::size_t>(got)))
        return false;
    }
    return output->close();
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
std::uint64_t unpackEntries(const std::string& archivePath, const std::string& destinationDir,
                            const std::function<void(int percent)>& progress) {
  const std::optional<ZipArchive> archive = ZipArchive::open(archivePath);
  const std::uint64_t count = archive ? archive->entryCount() : 0;
  if (count == 0)
    return 0;
  Unpacker unpacker(*archive, destinationDir);
  for (std::uint64_t index = 0; index < count; ++index) {
    if (!unpacker.unpackEntry(index))
      break;
    progress(static_cast<int>(index * 100 / count));
  }
  return count;
}

}  // namespace

void unpackArchive(const std::string& archivePath, const std::string& destinationDir,
                   const std::function<void(int percent)>& progress) {
  createFolderChain(*core::context().os.files, withoutTrailingSeparators(destinationDir));
  const std::uint64_t count = unpackEntries(archivePath, destinationDir, progress);
  // The final report may hand over at once: delete the package and end the
  // program. Windows cannot delete a file that is still open, so the
  // archive is closed by now.
  progress(count == 0 ? 0 : 100);
}

}  // namespace update
