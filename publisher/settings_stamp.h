#pragma once

// The update settings block inside a built launcher's bytes (see
// update/settings_block.h): found, read, checked and rewritten in a copy.

#include <cstddef>
#include <string>

#include "base/bytes.h"
#include "publisher/refusal.h"
#include "update/package/release_signature.h"

namespace publisher {

// A Windows program without the block: some other program.
class NotALauncher : public Refusal {
 public:
  using Refusal::Refusal;
};

struct LauncherSettings {
  std::string versionPageUrl;
  std::string publicKey;     // base64; empty: updates are not checked
  std::string localVersion;  // code page 936
  // The form of release signature the launcher checks, told by its tag.
  update::ReleaseForm releaseForm = update::kLauncherReleaseForm;
};

// Where the block starts. Throws Refusal when the bytes are no Windows
// program, or do not hold exactly one well-formed block (NotALauncher when
// they hold none at all).
std::size_t findSettingsBlock(const base::Bytes& program);

LauncherSettings readSettings(const base::Bytes& program, std::size_t block);

// Throws Refusal for an address or key the launcher could not use or the
// block could not hold.
void checkSettings(const LauncherSettings& settings);

// Overwrites the block's address, key and version, zero-padded.
void writeSettings(base::Bytes& program, std::size_t block, const LauncherSettings& settings);

}  // namespace publisher
