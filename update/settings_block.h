#pragma once

// The update settings a built launcher carries: the version page's address
// and the publisher's public key, in one block of fixed size in the exe's
// data, so that a publisher can stamp their own into a copy of the exe
// without a compiler. Texts are zero-terminated and zero-padded.

#include <cstddef>

namespace update {

// Marks the block; found once in a launcher's bytes. Written out only where
// the block is defined, so that the block is the one place it occurs.
#define TAVORO_SETTINGS_BLOCK_TAG "tavoro-update-settings/1"
inline constexpr std::size_t kSettingsTagSize = 32;
inline constexpr std::size_t kVersionPageUrlSize = 512;
inline constexpr std::size_t kPublicKeyTextSize = 64;

struct SettingsBlock {
  char tag[kSettingsTagSize];
  char versionPageUrl[kVersionPageUrlSize];
  char publicKey[kPublicKeyTextSize];  // base64; empty: updates are not checked
};
static_assert(sizeof(SettingsBlock) == kSettingsTagSize + kVersionPageUrlSize + kPublicKeyTextSize);

}  // namespace update
