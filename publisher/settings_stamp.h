#pragma once

// The update settings block inside a built launcher's bytes (see
// update/settings_block.h): found, read, checked and rewritten in a copy.

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/bytes.h"
#include "publisher/refusal.h"
#include "publisher/settings_scan.h"
#include "publisher/tools.h"

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
  // Launchers of this release: a backup key, and numbered versions compared
  // by number. The earlier ones compare versions as text.
  bool currentKind = true;
  std::string backupKey;  // base64; empty: none
};

// Whether a launcher with `settings` is offered `version`, by its own order.
bool offersVersion(const LauncherSettings& settings, std::string_view version);

// The most a launcher file may have (a built one has a few MiB): what is
// read whole to be stamped. A launcher is only looked at in blocks.
inline constexpr std::uint64_t kLargestLauncher = 64 << 20;

// Where the block starts. Throws Refusal when the bytes are no Windows
// program, or do not hold exactly one well-formed block (NotALauncher when
// they hold none at all).
std::uint64_t findSettingsBlock(ProgramBytes& program);
std::size_t findSettingsBlock(const base::Bytes& program);

LauncherSettings readSettings(ProgramBytes& program, std::uint64_t block);
LauncherSettings readSettings(const base::Bytes& program, std::size_t block);

// The settings the file at `path` carries, read in blocks as they stream
// by: memory stays bounded whatever its size. Throws as findSettingsBlock,
// and ReadFailed when the file cannot be read (right after the failure).
LauncherSettings readLauncherSettings(Tools& tools, const std::string& path);

// Throws Refusal for an address or key the launcher could not use or the
// block could not hold.
void checkSettings(const LauncherSettings& settings);

// Overwrites the block's address, key and version, zero-padded.
void writeSettings(base::Bytes& program, std::size_t block, const LauncherSettings& settings);

}  // namespace publisher
