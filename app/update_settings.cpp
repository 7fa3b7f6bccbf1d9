// The update settings, compiled into each program on its own so that a
// build for the end-to-end tests can point at a loopback server, and kept
// in one block that the publisher's tool rewrites in a copy of the exe.

#include "app/update_settings.h"

#include <cstring>

#include "update/settings_block.h"

#ifndef TAVORO_VERSION_PAGE_URL
#define TAVORO_VERSION_PAGE_URL "http://update.example.invalid/launcher/version.html"
#endif
#ifndef TAVORO_UPDATE_PUBLIC_KEY
#define TAVORO_UPDATE_PUBLIC_KEY ""
#endif

static_assert(sizeof(TAVORO_VERSION_PAGE_URL) <= update::kVersionPageUrlSize,
              "the version page address does not fit the settings block");
static_assert(sizeof(TAVORO_UPDATE_PUBLIC_KEY) <= update::kPublicKeyTextSize,
              "the public key does not fit the settings block");

namespace app {

// Not const: the compiler must read what the file holds, not what it was
// built with, since a stamped copy holds other texts.
[[gnu::used]] update::SettingsBlock stampedSettings = {
    TAVORO_SETTINGS_BLOCK_TAG, TAVORO_VERSION_PAGE_URL, TAVORO_UPDATE_PUBLIC_KEY};

std::string versionPageUrl() {
  return std::string(stampedSettings.versionPageUrl,
                     strnlen(stampedSettings.versionPageUrl, update::kVersionPageUrlSize));
}

std::string updatePublicKey() {
  return std::string(stampedSettings.publicKey,
                     strnlen(stampedSettings.publicKey, update::kPublicKeyTextSize));
}

}  // namespace app
