#include <algorithm>
#include <vector>

#include "platform/win32/handles.h"
#include "publisher/messages.h"
#include "publisher/refusal.h"
#include "publisher/win32/win32_tools.h"

namespace publisher::win32 {
namespace {

constexpr UINT kCodePage936 = 936;
// FILETIME counts 100 ns from 1601; the archive wants seconds from 1970.
constexpr std::int64_t kUnixEpochAsFileTime = 116444736000000000LL;
constexpr std::int64_t kFileTimeUnitsPerSecond = 10000000LL;

std::int64_t unixTime(const FILETIME& time) {
  const std::int64_t ticks =
      (static_cast<std::int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return (ticks - kUnixEpochAsFileTime) / kFileTimeUnitsPerSecond;
}

// Symbolic links, junctions and every other reparse point that stands for
// another name (the tag's name-surrogate bit); others (files kept in the
// cloud, deduplicated ones) read as the files they are.
bool isLink(const WIN32_FIND_DATAW& child) {
  return (child.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
         IsReparseTagNameSurrogate(child.dwReserved0);
}

EntryKind kindOfFound(const WIN32_FIND_DATAW& child) {
  if (isLink(child))
    return EntryKind::kLink;
  return child.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? EntryKind::kFolder : EntryKind::kFile;
}

std::vector<WIN32_FIND_DATAW> children(const std::wstring& folder, const std::string& shown) {
  std::vector<WIN32_FIND_DATAW> found;
  WIN32_FIND_DATAW data;
  platform::win32::FindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &data));
  if (!search) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND)
      return found;
    throw Refusal(Message::kCannotList, {shown});
  }
  do {
    const std::wstring_view name = data.cFileName;
    if (name != L"." && name != L"..")
      found.push_back(data);
  } while (FindNextFileW(search.get(), &data));
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
    return std::wstring_view(a.cFileName) < std::wstring_view(b.cFileName);
  });
  return found;
}

void walk(const std::wstring& folder, const std::string& entryPrefix,
          const std::string& shownPrefix, std::vector<TreeEntry>& entries) {
  for (const WIN32_FIND_DATAW& child : children(folder, shownPrefix)) {
    const std::wstring path = folder + L"\\" + child.cFileName;
    const std::string shown = shownPrefix + approximatelyIn(CP_ACP, child.cFileName);
    const std::optional<std::string> ansi = exactlyIn(kCodePage936, child.cFileName);
    if (!ansi)
      throw Refusal(Message::kNameNot936, {shown});
    TreeEntry entry;
    entry.shownName = shown;
    entry.modified = unixTime(child.ftLastWriteTime);
    const EntryKind kind = kindOfFound(child);
    if (kind == EntryKind::kLink) {
      // Listed to be refused, never followed: a link could reach anything.
      entry.entryName = entryPrefix + *ansi;
      entry.isLink = true;
      entries.push_back(std::move(entry));
    } else if (kind == EntryKind::kFolder) {
      entry.entryName = entryPrefix + *ansi + "/";
      entry.isFolder = true;
      entries.push_back(entry);
      walk(path, entry.entryName, shown + "\\", entries);
    } else {
      entry.entryName = entryPrefix + *ansi;
      entry.size = (static_cast<std::uint64_t>(child.nFileSizeHigh) << 32) | child.nFileSizeLow;
      entry.open = [path] { return platform::win32::openForReadingWide(path); };
      entries.push_back(std::move(entry));
    }
  }
}

}  // namespace

EntryKind WideFolderReader::kindOf(const std::string& path) {
  const std::wstring wide = toWide(CP_ACP, path);
  // FindFirstFileW reads these as wildcards; no file's name holds one.
  if (wide.empty() || wide.find_first_of(L"*?<>\"") != std::wstring::npos)
    return EntryKind::kMissing;
  WIN32_FIND_DATAW data;
  const platform::win32::FindHandle search(FindFirstFileW(wide.c_str(), &data));
  return search ? kindOfFound(data) : EntryKind::kMissing;
}

std::int64_t WideFolderReader::modifiedAt(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  return GetFileAttributesExW(toWide(CP_ACP, path).c_str(), GetFileExInfoStandard, &data)
             ? unixTime(data.ftLastWriteTime)
             : 0;
}

std::vector<TreeEntry> WideFolderReader::read(const std::string& folder) {
  std::vector<TreeEntry> entries;
  std::wstring root = toWide(CP_ACP, folder);
  while (!root.empty() && (root.back() == L'\\' || root.back() == L'/'))
    root.pop_back();
  walk(root, "", folder.empty() || folder.back() == '\\' ? folder : folder + "\\", entries);
  return entries;
}

}  // namespace publisher::win32
