#include "update/package/fetch_plan.h"

#include <algorithm>
#include <map>
#include <memory>
#include <optional>

#include "base/file_name.h"
#include "base/path.h"

namespace update {
namespace {

constexpr std::size_t kReadBlock = 256 * 1024;

// The file's digest, read once; nothing when it cannot be read whole.
std::optional<PackageDigest> digestWhileReading(platform::Files& files, const std::string& path,
                                                std::uint64_t expected, std::uint64_t before,
                                                std::uint64_t total,
                                                const CheckProgress& progress) {
  const std::unique_ptr<platform::InputFile> file = files.openForReading(path);
  if (!file)
    return std::nullopt;
  PackageHasher hasher;
  std::vector<char> block(kReadBlock);
  std::uint64_t read = 0;
  for (;;) {
    const long got = file->read(block.data(), block.size());
    if (got < 0)
      return std::nullopt;
    if (got == 0)
      break;
    hasher.add(block.data(), static_cast<std::size_t>(got));
    read += static_cast<std::uint64_t>(got);
    // A file that grows meanwhile counts no further than its listed size.
    progress(before + std::min(read, expected), total);
  }
  if (read != expected)
    return std::nullopt;
  return hasher.finish();
}

std::optional<std::string> localPath(const std::string& runDirectory, const ListedEntry& entry) {
  const std::optional<base::EntryPath> path = base::parseEntryPath(entry.name);
  if (!path)
    return std::nullopt;
  return base::joinPath(runDirectory, base::joinedEntryPath(*path));
}

}  // namespace

std::vector<std::size_t> entriesToFetch(platform::Files& files, const std::string& runDirectory,
                                        const std::vector<ListedEntry>& entries,
                                        const CheckProgress& progress) {
  // Sizes first: only a file of its listed size is read.
  std::vector<std::size_t> wanted;
  std::vector<std::pair<std::size_t, std::string>> toRead;
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const ListedEntry& entry = entries[i];
    const std::optional<std::string> path = localPath(runDirectory, entry);
    const bool folder =
        !entry.name.empty() && (entry.name.back() == '/' || entry.name.back() == '\\');
    if (!path || (folder && !files.isDirectory(*path))) {
      wanted.push_back(i);
      continue;
    }
    if (folder)
      continue;
    // One look at the file's size: a game has thousands of them.
    const std::int64_t size = files.isDirectory(*path) ? -1 : files.size(*path);
    if (size < 0 || static_cast<std::uint64_t>(size) != entry.size) {
      wanted.push_back(i);
    } else {
      toRead.emplace_back(i, *path);
      total += entry.size;
    }
  }
  std::uint64_t done = 0;
  progress(0, total);
  for (const auto& [index, path] : toRead) {
    const ListedEntry& entry = entries[index];
    const std::optional<PackageDigest> digest =
        digestWhileReading(files, path, entry.size, done, total, progress);
    done += entry.size;
    if (!digest || *digest != entry.digest)
      wanted.push_back(index);
  }
  progress(total, total);
  std::sort(wanted.begin(), wanted.end());
  return wanted;
}

std::vector<ByteSpan> joinSpans(std::vector<ByteSpan> spans, std::size_t maxRequests) {
  spans.erase(std::remove_if(spans.begin(), spans.end(),
                             [](const ByteSpan& span) { return span.length == 0; }),
              spans.end());
  std::sort(spans.begin(), spans.end(), [](const ByteSpan& a, const ByteSpan& b) {
    return a.offset < b.offset || (a.offset == b.offset && a.length < b.length);
  });
  std::vector<ByteSpan> joined;
  for (const ByteSpan& span : spans) {
    if (!joined.empty() && span.offset <= joined.back().offset + joined.back().length) {
      ByteSpan& last = joined.back();
      last.length = std::max(last.length, span.offset + span.length - last.offset);
    } else {
      joined.push_back(span);
    }
  }
  const std::size_t most = std::max<std::size_t>(maxRequests, 1);
  while (joined.size() > most) {
    std::size_t narrowest = 0;
    std::uint64_t smallest = 0;
    for (std::size_t i = 0; i + 1 < joined.size(); ++i) {
      const std::uint64_t gap = joined[i + 1].offset - (joined[i].offset + joined[i].length);
      if (i == 0 || gap < smallest) {
        narrowest = i;
        smallest = gap;
      }
    }
    ByteSpan& first = joined[narrowest];
    const ByteSpan& second = joined[narrowest + 1];
    first.length = second.offset + second.length - first.offset;
    joined.erase(joined.begin() + static_cast<std::ptrdiff_t>(narrowest) + 1);
  }
  return joined;
}

std::vector<ArchivePiece> piecesOf(const std::vector<ByteSpan>& spans) {
  std::vector<ArchivePiece> pieces;
  std::uint64_t at = 0;
  for (const ByteSpan& span : spans) {
    pieces.push_back({span.offset, span.length, at});
    at += span.length;
  }
  return pieces;
}

bool fetchedEntriesMatch(const ZipArchive& archive, const std::vector<ListedEntry>& wanted) {
  std::map<std::string, std::uint64_t> indexOf;
  for (std::uint64_t index = 0; index < archive.entryCount(); ++index) {
    const std::optional<EntryInfo> info = archive.entry(index);
    // Two entries of one name: which one would be staged is not ours to guess.
    if (!info || !indexOf.emplace(info->name, index).second)
      return false;
  }
  std::vector<char> block(kReadBlock);
  for (const ListedEntry& entry : wanted) {
    const auto found = indexOf.find(entry.name);
    if (found == indexOf.end())
      return false;
    std::optional<EntryReader> reader = archive.openEntry(found->second);
    if (!reader)
      return false;
    PackageHasher hasher;
    for (;;) {
      const long got = reader->read(block.data(), block.size());
      if (got < 0)
        return false;
      if (got == 0)
        break;
      hasher.add(block.data(), static_cast<std::size_t>(got));
    }
    if (reader->bytesRead() != entry.size || hasher.finish() != entry.digest)
      return false;
  }
  return true;
}

}  // namespace update
