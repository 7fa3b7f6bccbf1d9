#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "publisher/host/host_tools.h"
#include "publisher/messages.h"
#include "publisher/refusal.h"

namespace publisher::host {
namespace {

namespace fs = std::filesystem;

// What an entry is, by lstat(): a link is listed, never followed.
EntryKind kindOfStat(const struct stat& own) {
  if (S_ISLNK(own.st_mode))
    return EntryKind::kLink;
  if (S_ISDIR(own.st_mode))
    return EntryKind::kFolder;
  if (S_ISREG(own.st_mode))
    return EntryKind::kFile;
  return EntryKind::kOther;
}

class TreeWalk {
 public:
  TreeWalk(platform::Files& files, LocalText& text, std::vector<TreeEntry>& entries)
      : files_(files), text_(text), entries_(entries) {}

  // `entryPrefix` (code page 936) and `shownPrefix` (local) end in "/".
  void walk(const fs::path& folder, const std::string& entryPrefix,
            const std::string& shownPrefix) {
    std::error_code error;
    std::vector<fs::path> children;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
      children.push_back(it->path());
    if (error)
      throw Refusal(Message::kCannotListBecause, {folder.string(), error.message()});
    std::sort(children.begin(), children.end());
    for (const fs::path& child : children)
      add(child, entryPrefix, shownPrefix);
  }

 private:
  void add(const fs::path& path, const std::string& entryPrefix, const std::string& shownPrefix) {
    const std::string name = path.filename().string();
    const std::string shown = shownPrefix + name;
    // Windows would read it as a folder separator.
    if (name.find('\\') != std::string::npos)
      throw Refusal(Message::kNameWithBackslash, {shown});
    const std::optional<std::string> ansi = text_.toCp936(name);
    if (!ansi)
      throw Refusal(Message::kNameNot936, {shown});
    struct stat own {};
    if (::lstat(path.c_str(), &own) != 0)
      throw Refusal(Message::kCannotBeRead, {shown});
    TreeEntry entry;
    entry.shownName = shown;
    entry.modified = own.st_mtime;
    switch (kindOfStat(own)) {
      case EntryKind::kLink:
        // Listed to be refused, never followed: a link could reach anything.
        entry.entryName = entryPrefix + *ansi;
        entry.isLink = true;
        entries_.push_back(std::move(entry));
        return;
      case EntryKind::kFolder:
        entry.entryName = entryPrefix + *ansi + "/";
        entry.isFolder = true;
        entries_.push_back(entry);
        walk(path, entry.entryName, shown + "/");
        return;
      case EntryKind::kFile:
        entry.entryName = entryPrefix + *ansi;
        entry.size = static_cast<std::uint64_t>(own.st_size);
        entry.open = [&files = files_, file = path.string()] { return files.openForReading(file); };
        entries_.push_back(std::move(entry));
        return;
      case EntryKind::kMissing:
      case EntryKind::kOther:
        break;
    }
    throw Refusal(Message::kNeitherFileNorFolder, {shown});
  }

  platform::Files& files_;
  LocalText& text_;
  std::vector<TreeEntry>& entries_;
};

}  // namespace

EntryKind HostFolderReader::kindOf(const std::string& path) {
  struct stat own {};
  return ::lstat(path.c_str(), &own) == 0 ? kindOfStat(own) : EntryKind::kMissing;
}

std::int64_t HostFolderReader::modifiedAt(const std::string& path) {
  struct stat own {};
  return ::lstat(path.c_str(), &own) == 0 ? own.st_mtime : 0;
}

std::vector<TreeEntry> HostFolderReader::read(const std::string& folder) {
  std::vector<TreeEntry> entries;
  const std::string shownPrefix = folder.ends_with('/') ? folder : folder + "/";
  TreeWalk(files_, text_, entries).walk(folder, "", shownPrefix);
  return entries;
}

}  // namespace publisher::host
