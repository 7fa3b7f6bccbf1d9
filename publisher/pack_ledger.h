#pragma once

// pack's use of the release ledger: before anything is written, the
// version and key are checked against the launcher players have now;
// before the package is put in place, its address and file; once the
// release is written, it is recorded with a copy of its new launcher.

#include <optional>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "publisher/release_ledger.h"
#include "publisher/tools.h"
#include "update/package/package_signature.h"

namespace publisher {

// "the launcher of release 5.1", or of the game as shipped.
std::string launcherWords(const LedgerRecord& record, Tools& tools);

class PackLedger {
 public:
  // Reads the ledger in `folder` and the new launcher `launcher` (code page
  // 936) at the top of `entries` as it is, before it is stamped. Throws
  // Refusal, with versions that would do, for a version the launcher
  // players have would not be offered, and, naming the key that launcher
  // carries, for a key it refuses. Warns of launchers of the earlier kind
  // players may still have that would not be offered `version`.
  PackLedger(Tools& tools, std::string folder, const std::vector<TreeEntry>& entries,
             const std::string& launcher, const std::string& version,
             const update::PublicKey& signingKey, const std::string& keyFile);

  // Throws Refusal for a package address used before for another package,
  // and for a file at `packagePath` that holds another package.
  void checkPackage(const std::string& packagePath, const std::string& packageAddress,
                    const update::PackageDigest& digest);

  // Records the release, with the new launcher as `entries` now give it.
  void record(const std::string& pageAddress, const std::vector<TreeEntry>& entries);

  const std::string& folder() const { return folder_; }

 private:
  Tools& tools_;
  std::string folder_;
  std::vector<LedgerRecord> records_;
  LedgerRecord next_;
  // Before the first release: the launcher shipped with the game, as the
  // folder holds it, recorded first.
  std::optional<LedgerRecord> shipped_;
  base::Bytes shippedProgram_;
};

}  // namespace publisher
