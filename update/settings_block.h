#pragma once

// The update settings a built launcher carries: the version page's address,
// the publisher's public key and the launcher's own version, in one block
// of fixed size in the exe's data, so that a publisher can stamp their own
// into a copy of the exe without a compiler. Texts are zero-terminated and
// zero-padded.

#include <cstddef>

namespace update {

// Marks the block; found once in a launcher's bytes. Written out only where
// the block is defined, so that the block is the one place it occurs.
#define TAVORO_SETTINGS_BLOCK_TAG "tavoro-update-settings/4"
// The block of launchers that compare versions as text and carry one key:
// the same fields up to the backup key, which it lacks.
#define TAVORO_SETTINGS_BLOCK_TAG_WITH_ONE_KEY "tavoro-update-settings/3"
// The same block in launchers that check the release signature without the
// version page's address (update/package/release_signature.h).
#define TAVORO_SETTINGS_BLOCK_TAG_WITHOUT_PAGE_SIGNED "tavoro-update-settings/2"
// The block of the launchers before the version was a setting: a tag,
// the address and the key. Their version is "5.0" for good.
#define TAVORO_SETTINGS_BLOCK_TAG_WITHOUT_VERSION "tavoro-update-settings/1"
inline constexpr std::size_t kSettingsTagSize = 32;
inline constexpr std::size_t kVersionPageUrlSize = 512;
inline constexpr std::size_t kPublicKeyTextSize = 64;
inline constexpr std::size_t kLocalVersionSize = 32;

// The address a launcher is built with unless told otherwise: a name that
// never resolves, so that an unstamped launcher asks nobody.
#define TAVORO_EXAMPLE_VERSION_PAGE_URL "http://update.example.invalid/launcher/version.html"
// The version of a launcher that was never given one.
#define TAVORO_DEFAULT_LOCAL_VERSION "5.0"

struct SettingsBlock {
  char tag[kSettingsTagSize];
  char versionPageUrl[kVersionPageUrlSize];
  char publicKey[kPublicKeyTextSize];  // base64; empty: updates are not checked
  char localVersion[kLocalVersionSize];
  // base64; a second key the publisher keeps offline: a release signed by
  // either key is taken. Empty: only publicKey.
  char backupKey[kPublicKeyTextSize];
};
static_assert(sizeof(SettingsBlock) ==
              kSettingsTagSize + kVersionPageUrlSize + 2 * kPublicKeyTextSize + kLocalVersionSize);
// The size of the blocks before the backup key.
inline constexpr std::size_t kOneKeyBlockSize = offsetof(SettingsBlock, backupKey);

}  // namespace update
