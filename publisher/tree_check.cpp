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
std::string recordNameWhy(update::RecordNameKind kind) {
  using update::RecordNameKind;
  switch (kind) {
    case RecordNameKind::kJournal:
      return "the launcher keeps its update journal under this name";
    case RecordNameKind::kUnreadableJournal:
      return "the launcher sets an update journal it cannot read aside under this name";
    case RecordNameKind::kKeptPackage:
      return "the launcher keeps its record of a package it could not apply yet under this name";
    case RecordNameKind::kFreshRecord:
      return "the launcher writes its update journal or package record afresh under this name";
    case RecordNameKind::kPackage:
      return "the launcher downloads the package (the last part of --url) under this name";
    case RecordNameKind::kPartialPackage:
      return "the launcher downloads the package under this name until it is whole";
    case RecordNameKind::kResumeNote:
      return "the launcher notes where a broken-off download stopped under this name";
    case RecordNameKind::kEntryList:
      return "the package lists its entries under this name";
    case RecordNameKind::kFetchedEntries:
      return "the launcher gathers the entries it fetches of the package under this name";
    case RecordNameKind::kStaging:
      return std::string("the launcher unpacks each file under its name with ") +
             update::kStagingSuffix + " first";
    case RecordNameKind::kBackup:
      return std::string("the launcher keeps each file it replaces under its name with ") +
             update::kBackupSuffix + " until the update is whole";
  }
  return "the launcher uses this name for a file of its own";
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
    throw Refusal(joined(links) +
                  ": symbolic links are not packed (one could pull in any file, such as the "
                  "secret key); put the files themselves in the folder");
  std::map<std::string, const TreeEntry*> byFoldedName;
  for (const TreeEntry& entry : entries) {
    if (!base::parseEntryPath(entry.entryName))
      throw Refusal(entry.shownName + ": Windows does not allow this name");
    if (const std::string problem = windowsNameProblem(entry.entryName); !problem.empty())
      throw Refusal(entry.shownName + ": " + problem);
    const auto [other, fresh] = byFoldedName.emplace(windowsFoldedName(entry.entryName), &entry);
    if (fresh)
      continue;
    const TreeEntry& first = *other->second;
    if (first.isFolder != entry.isFolder)
      throw Refusal(first.shownName + " and " + entry.shownName +
                    ": a folder and a file of one name; on Windows only one of them can be there");
    throw Refusal(first.shownName + " and " + entry.shownName +
                  " differ only in letter case; on Windows one would overwrite the other");
  }
  // Folded as Windows folds names, beyond the ASCII letters the rule folds.
  const std::string foldedPackage = windowsFoldedName(packageName);
  for (const TreeEntry& entry : entries) {
    if (const std::optional<update::RecordNameKind> kind =
            update::launcherRecordName(windowsFoldedName(lastPart(entry.entryName)), foldedPackage))
      throw Refusal(entry.shownName + ": " + recordNameWhy(*kind) + "; a release may not hold it");
  }
  const bool found = std::any_of(entries.begin(), entries.end(), [&](const TreeEntry& entry) {
    return !entry.isFolder && base::equalsIgnoringAsciiCase(entry.entryName, launcher);
  });
  if (!found)
    throw Refusal("no file " + std::string(shownLauncher) + " at the top of the folder to pack");
  checkJournalRoom(entries);
}

void checkJournalRoom(const std::vector<TreeEntry>& entries) {
  // The launcher lists every file and folder in its journal before it
  // changes any; a package whose list it could not write would never apply.
  if (!update::journalFits(largestApplyPlan(entries)))
    throw Refusal(std::to_string(entries.size()) +
                  " files and folders are more than the launcher can list in its update journal "
                  "(at most " +
                  std::to_string(update::kMaxJournalBytes >> 20) +
                  " MiB, some 4 times each name's length and 80 bytes a file); pack fewer "
                  "files, or give them shorter paths");
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
      throw Refusal(entry.shownName + " cannot be opened");
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
    throw Refusal(joined(keys) +
                  (keys.size() == 1 ? " is or holds a secret key" : " are or hold secret keys") +
                  ": published, it would let anyone sign updates your players' launchers run. "
                  "Keep keys out of the folder to pack");
}

}  // namespace publisher
