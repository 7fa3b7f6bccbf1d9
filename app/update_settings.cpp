// The update settings, compiled into each program on its own so that a
// build for the end-to-end tests can point at a loopback server, and kept
// in one block that the publisher's tool rewrites in a copy of the exe.

#include "app/update_settings.h"

#include <cstring>

#include "update/settings_block.h"

#ifndef TAVORO_VERSION_PAGE_URL
#define TAVORO_VERSION_PAGE_URL TAVORO_EXAMPLE_VERSION_PAGE_URL
#endif
#ifndef TAVORO_UPDATE_PUBLIC_KEY
#define TAVORO_UPDATE_PUBLIC_KEY ""
#endif
#ifndef TAVORO_UPDATE_BACKUP_KEY
#define TAVORO_UPDATE_BACKUP_KEY ""
#endif
#ifndef TAVORO_LOCAL_VERSION
#define TAVORO_LOCAL_VERSION TAVORO_DEFAULT_LOCAL_VERSION
#endif

static_assert(sizeof(TAVORO_VERSION_PAGE_URL) <= update::kVersionPageUrlSize,
              "the version page address does not fit the settings block");
static_assert(sizeof(TAVORO_UPDATE_PUBLIC_KEY) <= update::kPublicKeyTextSize,
              "the public key does not fit the settings block");
static_assert(sizeof(TAVORO_UPDATE_BACKUP_KEY) <= update::kPublicKeyTextSize,
              "the backup key does not fit the settings block");
static_assert(sizeof(TAVORO_LOCAL_VERSION) > 1 &&
                  sizeof(TAVORO_LOCAL_VERSION) <= update::kLocalVersionSize,
              "the version is empty or does not fit the settings block");

namespace app {
namespace {

template <std::size_t N>
std::string fieldText(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

}  // namespace

// Not const: the compiler must read what the file holds, not what it was
// built with, since a stamped copy holds other texts.
[[gnu::used]] update::SettingsBlock stampedSettings = {
    TAVORO_SETTINGS_BLOCK_TAG, TAVORO_VERSION_PAGE_URL, TAVORO_UPDATE_PUBLIC_KEY,
    TAVORO_LOCAL_VERSION, TAVORO_UPDATE_BACKUP_KEY};

std::string versionPageUrl() {
  return fieldText(stampedSettings.versionPageUrl);
}

std::string updatePublicKey() {
  return fieldText(stampedSettings.publicKey);
}

std::string updateBackupKey() {
  return fieldText(stampedSettings.backupKey);
}

std::string localVersion() {
  // A block emptied by hand would make every published version look newer.
  std::string version = fieldText(stampedSettings.localVersion);
  return version.empty() ? TAVORO_DEFAULT_LOCAL_VERSION : version;
}

}  // namespace app
