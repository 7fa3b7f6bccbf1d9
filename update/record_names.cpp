#include "update/record_names.h"

#include <string>

#include "base/cp936.h"

namespace update {
namespace {

// ASCII letters folded; the second byte of a two-byte character stays as
// it is, whatever it looks like.
std::string folded(std::string_view name) {
  std::string out(name);
  base::forEachCharacter<base::fileNameCharacterWidth>(name, [&](std::size_t i, std::size_t width) {
    if (width == 1)
      out[i] = base::lowerAsciiLetter(out[i]);
  });
  return out;
}

// The name a numbered one was made from ("a.zip(7).tmp" from "a.zip.tmp":
// base::numberedFileName puts "(n)" before the last dot, or at the end);
// empty when `name` carries no such number. ".", "(" and ")" are never the
// second byte of a two-byte character.
std::string withoutNumber(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  const std::string_view stem = name.substr(0, dot);
  const std::size_t open = stem.rfind('(');
  if (open == std::string_view::npos || !stem.ends_with(')'))
    return {};
  const std::string_view digits = stem.substr(open + 1, stem.size() - open - 2);
  int number = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9' || number > kMaxNumberedNames)
      return {};
    number = number * 10 + (c - '0');
  }
  // As std::to_string writes it: no leading zero.
  if (digits.empty() || digits.front() == '0' || number > kMaxNumberedNames)
    return {};
  return std::string(stem.substr(0, open)) + std::string(name.substr(stem.size()));
}

// `name` is `plain` or one of its numbered names.
bool isOrNumbers(const std::string& name, const std::string& plain) {
  return name == plain || withoutNumber(name) == plain;
}

}  // namespace

std::optional<RecordNameKind> launcherRecordName(std::string_view fileName,
                                                 std::string_view packageName) {
  const std::string name = folded(fileName);
  if (name.ends_with(kStagingSuffix))
    return RecordNameKind::kStaging;
  if (name.ends_with(kBackupSuffix))
    return RecordNameKind::kBackup;
  if (name == kJournalFileName)
    return RecordNameKind::kJournal;
  if (name == kKeptPackageFileName)
    return RecordNameKind::kKeptPackage;
  if (name == std::string(kJournalFileName) + kFreshRecordSuffix ||
      name == std::string(kKeptPackageFileName) + kFreshRecordSuffix)
    return RecordNameKind::kFreshRecord;
  if (isOrNumbers(name, kUnreadableJournalFileName))
    return RecordNameKind::kUnreadableJournal;
  if (name == kEntryListFileName)
    return RecordNameKind::kEntryList;
  if (packageName.empty())
    return std::nullopt;
  const std::string package = folded(packageName);
  if (name == package)
    return RecordNameKind::kPackage;
  if (name == package + kFetchedEntriesSuffix)
    return RecordNameKind::kFetchedEntries;
  const std::string partial = package + kPartialPackageSuffix;
  if (isOrNumbers(name, partial))
    return RecordNameKind::kPartialPackage;
  if (name.ends_with(kResumeNoteSuffix) &&
      isOrNumbers(name.substr(0, name.size() - std::string_view(kResumeNoteSuffix).size()),
                  partial))
    return RecordNameKind::kResumeNote;
  return std::nullopt;
}

}  // namespace update
