#include "publisher/release_ledger.h"

#include <algorithm>
#include <array>

#include "publisher/file_problems.h"
#include "publisher/messages.h"
#include "publisher/refusal.h"
#include "publisher/staged_file.h"
#include "update/version_page.h"

namespace publisher {
namespace {

constexpr char kHeader[] =
    "# tavoro-publish: the releases packed so far, one a line, oldest first; pack adds to it.\n"
    "# version, page, package address, package digest, new launcher, public key, key file, "
    "order, launcher copy\n";
constexpr std::size_t kFieldCount = 9;

// In the order of LauncherOrder.
constexpr std::array<const char*, 3> kOrderNames = {"numbers", "text", "none"};

std::vector<std::string_view> splitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string_view::npos)
      return fields;
    start = tab + 1;
  }
}

// A field never holds the separators: a tab or line break becomes a space.
std::string cleaned(std::string text) {
  for (char& c : text) {
    if (c == '\t' || c == '\n' || c == '\r')
      c = ' ';
  }
  return text;
}

}  // namespace

std::vector<LedgerRecord> parseLedger(std::string_view text) {
  std::vector<LedgerRecord> records;
  std::size_t number = 0;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    if (line.empty() || line.front() == '#')
      continue;
    const std::vector<std::string_view> fields = splitTabs(line);
    std::size_t order = 0;
    while (fields.size() == kFieldCount && order < kOrderNames.size() &&
           fields[7] != kOrderNames[order])
      ++order;
    if (fields.size() != kFieldCount || order == kOrderNames.size())
      throw Refusal(Message::kLedgerLineNoRecord, {std::to_string(number)});
    records.push_back({std::string(fields[0]), std::string(fields[1]), std::string(fields[2]),
                       std::string(fields[3]), std::string(fields[4]), std::string(fields[5]),
                       std::string(fields[6]), LauncherOrder(order), std::string(fields[8])});
  }
  return records;
}

std::string ledgerText(const std::vector<LedgerRecord>& records) {
  std::string text = kHeader;
  for (const LedgerRecord& r : records) {
    for (const std::string& field :
         {r.version, r.pageAddress, r.packageAddress, r.packageDigest, r.launcherName, r.publicKey,
          r.keyFile, std::string(kOrderNames[static_cast<std::size_t>(r.order)])})
      text += cleaned(field) + "\t";
    text += cleaned(r.launcherCopy) + "\n";
  }
  return text;
}

bool orderOffers(LauncherOrder order, std::string_view version, std::string_view launcherVersion) {
  return order == LauncherOrder::kText ? update::sortsAfterAsText(version, launcherVersion)
                                       : update::sortsAfter(version, launcherVersion);
}

const LedgerRecord* addressProblem(const std::vector<LedgerRecord>& records,
                                   const LedgerRecord& next) {
  for (const LedgerRecord& earlier : records) {
    if (!isShippedLauncher(earlier) && earlier.packageAddress == next.packageAddress &&
        earlier.packageDigest != next.packageDigest)
      return &earlier;
  }
  return nullptr;
}

const LedgerRecord* versionProblem(const std::vector<LedgerRecord>& records,
                                   std::string_view version) {
  if (const LedgerRecord* players = latestLauncher(records);
      players && !orderOffers(players->order, version, players->version))
    return players;
  if (!records.empty() && !update::sortsAfter(version, records.back().version))
    return &records.back();
  return nullptr;
}

std::vector<std::string> strandedVersions(const std::vector<LedgerRecord>& records,
                                          std::string_view version) {
  std::vector<std::string> stranded;
  for (const LedgerRecord& record : records) {
    if (record.order == LauncherOrder::kText && !update::sortsAfterAsText(version, record.version))
      stranded.push_back(record.version);
  }
  return stranded;
}

bool isShippedLauncher(const LedgerRecord& record) {
  return record.packageAddress.empty();
}

namespace {

// The latest of the first `count` records with a launcher copy.
const LedgerRecord* latestLauncherAmong(const std::vector<LedgerRecord>& records,
                                        std::size_t count) {
  for (std::size_t i = count; i-- > 0;) {
    if (records[i].order != LauncherOrder::kNone)
      return &records[i];
  }
  return nullptr;
}

}  // namespace

const LedgerRecord* launcherBefore(const std::vector<LedgerRecord>& records,
                                   std::string_view version) {
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (records[i].version == version && !isShippedLauncher(records[i]))
      return latestLauncherAmong(records, i);
  }
  return latestLauncher(records);
}

const LedgerRecord* latestLauncher(const std::vector<LedgerRecord>& records) {
  return latestLauncherAmong(records, records.size());
}

std::string ledgerFolder(Tools& tools, const std::optional<std::string>& given,
                         const std::string& out) {
  if (given)
    return *given;
  std::string folder = out;
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\'))
    folder.pop_back();
  return joinPath(tools, parentPath(folder), kDefaultLedgerFolder);
}

std::vector<LedgerRecord> readLedger(Tools& tools, const std::string& folder) {
  const std::string file = joinPath(tools, folder, kLedgerFileName);
  if (!tools.files.exists(file))
    return {};
  const base::Bytes bytes = tools.files.readAll(file);
  if (bytes.empty())
    throw Refusal(readFailure(tools, file));
  try {
    return parseLedger(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  } catch (const Refusal& refusal) {
    throw Refusal(Message::kLedgerDamaged, {file, refusal.said(tools)});
  }
}

void appendToLedger(Tools& tools, const std::string& folder, std::vector<LedgerRecord> records,
                    LedgerRecord record, std::string_view launcher) {
  createFolders(tools, folder);
  if (!launcher.empty()) {
    const auto releases = std::count_if(records.begin(), records.end(), [](const LedgerRecord& r) {
      return !isShippedLauncher(r);
    });
    const std::string copyFolder =
        "launcher-" + std::to_string(isShippedLauncher(record) ? 0 : releases + 1);
    createFolders(tools, joinPath(tools, folder, copyFolder));
    record.launcherCopy = copyFolder + "/" + record.launcherName;
    writeStaged(tools, joinPath(tools, folder, tools.text.cp936ToLocal(record.launcherCopy)),
                launcher);
  }
  records.push_back(std::move(record));
  writeStaged(tools, joinPath(tools, folder, kLedgerFileName), ledgerText(records));
}

}  // namespace publisher
