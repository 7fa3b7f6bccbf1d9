#pragma once

// The publisher's record of the releases packed so far: one line per
// release and a copy of each new launcher, the one its players have. From
// it pack refuses what would strand players, and verify knows which
// launcher to check a release against.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "publisher/tools.h"

namespace publisher {

// How a release's new launcher orders versions.
enum class LauncherOrder {
  kNumbers,  // this release's launchers: numbered versions by number
  kText,     // launchers of earlier releases: text, byte by byte
  kNone,     // no launcher of this kind: its players keep the earlier one
};

// One release; the first record may be the launcher shipped with the game
// before any release, which has no package (its addresses are empty).
struct LedgerRecord {
  std::string version;         // code page 936, as the page announces it
  std::string pageAddress;     // code page 936: the page the release is signed for
  std::string packageAddress;  // code page 936
  std::string packageDigest;   // base64
  std::string launcherName;    // code page 936
  std::string publicKey;       // base64: the key that signed it
  std::string keyFile;         // code page 936: where that key's secret half was read
  LauncherOrder order = LauncherOrder::kNumbers;
  std::string launcherCopy;  // below the ledger folder, "/" between parts; empty: none
};

inline constexpr char kLedgerFileName[] = "releases.txt";
inline constexpr char kDefaultLedgerFolder[] = "release-ledger";

// The records of a ledger file's text, oldest first. Throws Refusal naming
// the line that is not a record.
std::vector<LedgerRecord> parseLedger(std::string_view text);
std::string ledgerText(const std::vector<LedgerRecord>& records);

// Whether a launcher of `order` at `launcherVersion` is offered `version`.
bool orderOffers(LauncherOrder order, std::string_view version, std::string_view launcherVersion);

// The record `version` does not sort after, when it cannot follow
// `records`: it must sort after the version of the launcher players have
// now, by that launcher's order, and after the last release packed. Null
// when it can.
const LedgerRecord* versionProblem(const std::vector<LedgerRecord>& records,
                                   std::string_view version);

// The earlier release that used `next`'s package address for another
// package; null when none did. Players who check between the two uploads
// would fetch the new package against the old page.
const LedgerRecord* addressProblem(const std::vector<LedgerRecord>& records,
                                   const LedgerRecord& next);

// The versions of earlier launchers players may still have that would not
// be offered `version`; empty when all are.
std::vector<std::string> strandedVersions(const std::vector<LedgerRecord>& records,
                                          std::string_view version);

// The latest record with a launcher copy: the launcher players have now.
const LedgerRecord* latestLauncher(const std::vector<LedgerRecord>& records);

// The launcher players have before they take the release of `version`:
// the latest one recorded before it; when no release has that version, the
// latest one. Null when the ledger has none.
const LedgerRecord* launcherBefore(const std::vector<LedgerRecord>& records,
                                   std::string_view version);

// True for the record of the launcher shipped with the game.
bool isShippedLauncher(const LedgerRecord& record);

// The ledger folder: the one given, else kDefaultLedgerFolder in the folder
// `out` lies in.
std::string ledgerFolder(Tools& tools, const std::optional<std::string>& given,
                         const std::string& out);

// Reads the folder's ledger; none recorded yet when it has no ledger file.
std::vector<LedgerRecord> readLedger(Tools& tools, const std::string& folder);

// Adds `record` with a copy of its new launcher (`launcher`, none when
// empty), the copy first, so that no record names a missing copy. Copies
// are numbered by release: launcher-0 is the one shipped with the game.
void appendToLedger(Tools& tools, const std::string& folder, std::vector<LedgerRecord> records,
                    LedgerRecord record, std::string_view launcher);

}  // namespace publisher
