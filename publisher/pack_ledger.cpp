#include "publisher/pack_ledger.h"

#include <optional>

#include "publisher/file_problems.h"
#include "publisher/messages.h"
#include "publisher/new_launcher.h"
#include "publisher/printable.h"
#include "publisher/refusal.h"
#include "publisher/settings_stamp.h"
#include "publisher/version_advice.h"

namespace publisher {
namespace {

std::optional<LauncherSettings> settingsOf(const base::Bytes& program) {
  try {
    return readSettings(program, findSettingsBlock(program));
  } catch (const Refusal&) {
    return std::nullopt;  // the new launcher's own check says why
  }
}

LauncherOrder orderOf(const std::optional<LauncherSettings>& settings) {
  if (!settings)
    return LauncherOrder::kNone;
  return settings->currentKind ? LauncherOrder::kNumbers : LauncherOrder::kText;
}

// Where the ledger says the key's secret half was read, when it knows.
std::string keyFileNote(const std::vector<LedgerRecord>& records, const std::string& key,
                        Tools& tools) {
  for (auto record = records.rbegin(); record != records.rend(); ++record) {
    if (record->publicKey == key && !record->keyFile.empty())
      return say(tools, Message::kKeyFileNote,
                 {tools.text.cp936ToLocal(record->version),
                  printable(tools.text.cp936ToLocal(record->keyFile))});
  }
  return "";
}

// Versions (code page 936) as a list in the user's language, local text.
std::string versionsWords(Tools& tools, std::vector<std::string> versions) {
  for (std::string& version : versions)
    version = tools.text.cp936ToLocal(version);
  return listOfVersions(versions, say(tools, Message::kListComma), say(tools, Message::kListOr));
}

}  // namespace

std::string launcherWords(const LedgerRecord& record, Tools& tools) {
  return say(tools,
             isShippedLauncher(record) ? Message::kShippedLauncher : Message::kReleaseLauncher,
             {tools.text.cp936ToLocal(record.version)});
}

PackLedger::PackLedger(Tools& tools, std::string folder, const std::vector<TreeEntry>& entries,
                       const std::string& launcher, const std::string& version,
                       const update::PublicKey& signingKey, const std::string& keyFile)
    : tools_(tools), folder_(std::move(folder)), records_(readLedger(tools, folder_)) {
  next_.version = version;
  next_.launcherName = launcher;
  next_.publicKey = update::toBase64(signingKey);
  next_.keyFile = tools.text.toCp936(keyFile).value_or("");
  const TreeEntry* entry = topFile(entries, launcher);
  if (entry == nullptr)
    return;  // refused with the new launcher's checks
  base::Bytes program = readWhole(*entry);
  const std::optional<LauncherSettings> inFolder = settingsOf(program);
  next_.order = orderOf(inFolder);
  if (records_.empty() && inFolder) {
    shipped_ = LedgerRecord{inFolder->localVersion,
                            inFolder->versionPageUrl,
                            "",
                            "",
                            launcher,
                            inFolder->publicKey,
                            "",
                            next_.order,
                            ""};
    shippedProgram_ = std::move(program);
  }

  // The launcher players have now: the ledger's latest; before the first
  // release, the one the studio shipped, which the folder holds.
  std::optional<LauncherSettings> players = inFolder;
  std::string playersShown = entry->shownName;
  if (const LedgerRecord* latest = latestLauncher(records_)) {
    const std::string copy =
        joinPath(tools, folder_, tools.text.cp936ToLocal(latest->launcherCopy));
    try {
      players = readLauncherSettings(tools, copy);
    } catch (const Refusal& refusal) {
      throw Refusal(Message::kLedgerCopyDamaged, {copy, refusal.said(tools)});
    }
    playersShown = say(tools, Message::kLauncherCopyAt, {launcherWords(*latest, tools), copy});
  }
  if (players && !players->publicKey.empty() && next_.publicKey != players->publicKey &&
      next_.publicKey != players->backupKey)
    throw Refusal(
        say(tools, Message::kWrongKey,
            {playersShown, players->publicKey, keyFileNote(records_, players->publicKey, tools),
             players->backupKey.empty() ? ""
                                        : say(tools, Message::kBackupKeyNote, {players->backupKey}),
             keyFile, next_.publicKey}));

  const auto offered = [&](const std::string& candidate) {
    return (!inFolder || offersVersion(*inFolder, candidate)) &&
           (!players || offersVersion(*players, candidate)) &&
           versionProblem(records_, candidate) == nullptr;
  };
  const std::string latest =
      records_.empty() ? (inFolder ? inFolder->localVersion : version) : records_.back().version;
  if (!offered(version)) {
    const std::string shownVersion = tools.text.cp936ToLocal(version);
    std::string problem;
    if (players && !offersVersion(*players, version))
      problem = say(tools, Message::kNotAfterLauncher,
                    {shownVersion, tools.text.cp936ToLocal(players->localVersion), playersShown});
    else if (inFolder && !offersVersion(*inFolder, version))
      problem =
          say(tools, Message::kNotAfterLauncher,
              {shownVersion, tools.text.cp936ToLocal(inFolder->localVersion), entry->shownName});
    else
      problem = say(tools, Message::kNotAfterLastPacked,
                    {shownVersion, tools.text.cp936ToLocal(records_.back().version)});
    const std::string would = versionsWords(tools, suggestedVersions(latest, offered));
    throw Refusal(problem +
                  (would.empty() ? "" : say(tools, Message::kVersionsThatWould, {would})));
  }
  // Launchers of earlier releases players may still have, which compare
  // versions as text.
  std::vector<LedgerRecord> earlierKind = records_;
  if (shipped_)
    earlierKind.push_back(*shipped_);
  const std::vector<std::string> stranded = strandedVersions(earlierKind, version);
  if (!stranded.empty()) {
    const std::string would =
        versionsWords(tools, suggestedVersions(latest, [&](const std::string& v) {
                        return offered(v) && strandedVersions(earlierKind, v).empty();
                      }));
    tools.err << say(tools, Message::kWarning)
              << say(tools, Message::kStranded,
                     {versionsWords(tools, stranded), tools.text.cp936ToLocal(version)})
              << (would.empty() ? "" : say(tools, Message::kStrandedWould, {would})) << "\n";
  }
}

void PackLedger::checkPackage(const std::string& packagePath, const std::string& packageAddress,
                              const update::PackageDigest& digest) {
  next_.packageAddress = packageAddress;
  next_.packageDigest = update::toBase64(digest);
  if (const LedgerRecord* earlier = addressProblem(records_, next_))
    throw Refusal(
        say(tools_, Message::kAddressReused,
            {printable(tools_.text.cp936ToLocal(packageAddress)),
             tools_.text.cp936ToLocal(earlier->version), tools_.text.cp936ToLocal(next_.version)}));
  if (tools_.files.exists(packagePath) &&
      update::digestOfFile(tools_.files, packagePath) != std::optional(digest))
    throw Refusal(say(tools_, Message::kPackageFileTaken, {packagePath}));
}

void PackLedger::record(const std::string& pageAddress, const std::vector<TreeEntry>& entries) {
  next_.pageAddress = pageAddress;
  const TreeEntry* entry = topFile(entries, next_.launcherName);
  std::string launcher;
  if (entry != nullptr && next_.order != LauncherOrder::kNone) {
    const base::Bytes bytes = readWhole(*entry);
    launcher.assign(bytes.begin(), bytes.end());
  }
  if (shipped_) {
    appendToLedger(tools_, folder_, records_, *shipped_,
                   std::string_view(reinterpret_cast<const char*>(shippedProgram_.data()),
                                    shippedProgram_.size()));
    records_ = readLedger(tools_, folder_);
  }
  appendToLedger(tools_, folder_, records_, next_, launcher);
}

}  // namespace publisher
