#pragma once

// The update settings this program was built or stamped with.

#include <string>

namespace app {

// The version page the start button checks.
std::string versionPageUrl();
// Base64 of the publisher's Ed25519 public key; empty when updates are
// taken unsigned.
std::string updatePublicKey();
// The publisher's second key, kept offline; empty when there is none.
std::string updateBackupKey();
// This launcher's version, compared with the page's; "5.0" unless built or
// stamped with another.
std::string localVersion();

}  // namespace app
