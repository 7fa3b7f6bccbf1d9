#include "publisher/tree_check.h"

#include <sodium.h>

#include <algorithm>
#include <map>
#include <memory>

#include "base/cp936.h"
#include "base/file_name.h"
#include "publisher/refusal.h"
#include "publisher/windows_names.h"
#include "update/package/apply_journal.h"
#include "update/package/package_signature.h"
#include "update/record_names.h"

namespace publisher {
namespace {

// A key file is under a hundred bytes; room for blanks and a byte order mark.
constexpr std::size_t kLargestKeyFile = 1024;

// Why a release may not hold a name the launcher keeps for itself.
Refusal recordNameRefusal(update::RecordNameKind kind, const std::string& shown) {
  using update::RecordNameKind;
  switch (kind) {
    case RecordNameKind::kJournal:
      return Refusal(Message::kNameOfJournal, {shown});
    case RecordNameKind::kUnreadableJournal:
      return Refusal(Message::kNameOfUnreadableJournal, {shown});
    case RecordNameKind::kKeptPackage:
      return Refusal(Message::kNameOfKeptPackage, {shown});
    case RecordNameKind::kFreshRecord:
      return Refusal(Message::kNameOfFreshRecord, {shown});
    case RecordNameKind::kPackage:
      return Refusal(Message::kNameOfPackage, {shown});
    case RecordNameKind::kPartialPackage:
      return Refusal(Message::kNameOfPartialPackage, {shown});
    case RecordNameKind::kResumeNote:
      return Refusal(Message::kNameOfResumeNote, {shown});
    case RecordNameKind::kEntryList:
      return Refusal(Message::kNameOfEntryList, {shown});
    case RecordNameKind::kFetchedEntries:
      return Refusal(Message::kNameOfFetchedEntries, {shown});
    case RecordNameKind::kStaging:
      return Refusal(Message::kNameOfStaging, {shown, update::kStagingSuffix});
    case RecordNameKind::kBackup:
      return Refusal(Message::kNameOfBackup, {shown, update::kBackupSuffix});
  }
  return Refusal(Message::kNameOfLauncherFile, {shown});
}

// The last part of an entry's name, a folder's without its "/" ("/" is
// never the second byte of a two-byte character).
std::string_view lastPart(std::string_view entryName) {
  if (entryName.ends_with('/'))
    entryName.remove_suffix(1);
  const std::size_t slash = entryName.rfind('/');
  return slash == std::string_view::npos ? entryName : entryName.substr(slash + 1);
}

// The launcher's journal for this tree at its longest: every folder new,
// every file replacing one, each under its plain staging and backup name.
update::ApplyPlan largestApplyPlan(const std::vector<TreeEntry>& entries) {
  update::ApplyPlan plan;
  for (const TreeEntry& entry : entries) {
    std::string name = entry.entryName;
    if (name.ends_with('/'))
      name.pop_back();
    std::replace(name.begin(), name.end(), '/', '\\');
    if (entry.isFolder) {
      plan.createdFolders.push_back(std::move(name));
      continue;
    }
    const std::string staged = name + update::kStagingSuffix;
    plan.stagedFiles.push_back(staged);
    plan.steps.push_back(
        {staged, name, name + update::kBackupSuffix, static_cast<std::int64_t>(entry.size)});
  }
  plan.complete = true;
  return plan;
}

std::string joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names)
    text += (text.empty() ? "" : ", ") + name;
  return text;
}

}  // namespace

void checkPackageTree(const std::vector<TreeEntry>& entries, std::string_view launcher,
                      std::string_view shownLauncher, std::string_view packageName) {
  std::vector<std::string> links;
  for (const TreeEntry& entry : entries) {
    if (entry.isLink)
      links.push_back(entry.shownName);
  }
  if (!links.empty())
    throw Refusal(Message::kSymbolicLinks, {joined(links)});
  std::map<std::string, const TreeEntry*> byFoldedName;
  for (const TreeEntry& entry : entries) {
    if (!base::parseEntryPath(entry.entryName))
      throw Refusal(Message::kWindowsRefusesName, {entry.shownName});
    if (std::optional<Refusal> problem = windowsNameProblem(entry.entryName, entry.shownName))
      throw *problem;
    const auto [other, fresh] = byFoldedName.emplace(windowsFoldedName(entry.entryName), &entry);
    if (fresh)
      continue;
    const TreeEntry& first = *other->second;
    if (first.isFolder != entry.isFolder)
      throw Refusal(Message::kFolderAndFileOneName, {first.shownName, entry.shownName});
    throw Refusal(Message::kDifferInCase, {first.shownName, entry.shownName});
  }
  // Folded as Windows folds names, beyond the ASCII letters the rule folds.
  const std::string foldedPackage = windowsFoldedName(packageName);
  for (const TreeEntry& entry : entries) {
    if (const std::optional<update::RecordNameKind> kind =
            update::launcherRecordName(windowsFoldedName(lastPart(entry.entryName)), foldedPackage))
      throw recordNameRefusal(*kind, entry.shownName);
  }
  const bool found = std::any_of(entries.begin(), entries.end(), [&](const TreeEntry& entry) {
    return !entry.isFolder && base::equalsIgnoringAsciiCase(entry.entryName, launcher);
  });
  if (!found)
    throw Refusal(Message::kNoLauncherFile, {std::string(shownLauncher)});
  checkJournalRoom(entries);
}

void checkJournalRoom(const std::vector<TreeEntry>& entries) {
  // The launcher lists every file and folder in its journal before it
  // changes any; a package whose list it could not write would never apply.
  if (!update::journalFits(largestApplyPlan(entries)))
    throw Refusal(Message::kJournalTooSmall,
                  {std::to_string(entries.size()), std::to_string(update::kMaxJournalBytes >> 20)});
}

std::string_view withoutByteOrderMark(std::string_view text) {
  constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
  if (text.starts_with(kUtf8Bom))
    text.remove_prefix(kUtf8Bom.size());
  return text;
}

bool isSecretKeyFile(std::string_view content) {
  std::optional<update::SecretKey> key = update::parseSecretKey(withoutByteOrderMark(content));
  if (key)
    sodium_memzero(key->data(), key->size());
  return key.has_value();
}

void refuseSecretKeys(const std::vector<TreeEntry>& entries, std::string_view secretText) {
  std::vector<std::string> keys;
  for (const TreeEntry& entry : entries) {
    if (entry.isFolder || entry.isLink || entry.size > kLargestTextFile)
      continue;
    const std::unique_ptr<platform::InputFile> file = entry.open();
    if (!file)
      throw Refusal(Message::kCannotOpen, {entry.shownName});
    std::string content(static_cast<std::size_t>(entry.size) + 1, '\0');
    std::size_t filled = 0;
    for (long got = 0; filled < content.size() &&
                       (got = file->read(content.data() + filled, content.size() - filled)) > 0;)
      filled += static_cast<std::size_t>(got);
    const std::string_view read = std::string_view(content).substr(0, filled);
    // The key's text pasted into a note is as good as the file.
    if ((filled <= kLargestKeyFile && isSecretKeyFile(read)) ||
        (!secretText.empty() && read.find(secretText) != std::string_view::npos))
      keys.push_back(entry.shownName);
    sodium_memzero(content.data(), content.size());
  }
  if (!keys.empty())
    throw Refusal(keys.size() == 1 ? Message::kOneSecretKey : Message::kSecretKeys, {joined(keys)});
}

}  // namespace publisher
