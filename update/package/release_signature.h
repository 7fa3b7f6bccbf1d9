#pragma once

// What one signature of the publisher binds together: the version a page
// announces, the new launcher's name, the package's file name and the
// package's size and digest. Changing any of them on the way, or serving an
// older signed release under a newer version text, breaks the signature.
//
// The signed bytes (all texts in code page 936, as the launcher reads them;
// each line ends with one LF; a length counts bytes, in decimal):
//
//   tavoro-release/1
//   version <length>:<version>
//   launcher <length>:<launcher name>
//   package <length>:<package file name>
//   size <package size>
//   digest <BLAKE2b-512 of the package, base64 with padding>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "update/package/package_signature.h"
#include "update/version_page.h"

namespace update {

struct Release {
  std::string version;
  std::string launcherName;
  std::string packageName;
  std::uint64_t packageSize = 0;
  PackageDigest packageDigest{};
};

std::string canonicalRelease(const Release& release);
Signature signRelease(const Release& release, const SecretKey& key);
bool releaseSignatureMatches(const Release& release, const Signature& signature,
                             const PublicKey& key);

// Decimal digits only, nothing else, and small enough for 64 bits.
std::optional<std::uint64_t> parsePackageSize(std::string_view text);

// The release a page announces: its version, new launcher, the last part of
// its package address, and the size and digest it gives for the package.
// Nothing when the size or the digest is malformed.
std::optional<Release> announcedRelease(const VersionFields& fields);

// Before the download: the page's fields against its signature.
PackageVerdict checkAnnouncedRelease(std::string_view publicKey, const VersionFields& fields);
// After it: the same, and the package that arrived (its size and digest;
// empty when it could not be read) against what was signed.
PackageVerdict checkArrivedPackage(std::string_view publicKey, const VersionFields& fields,
                                   std::int64_t size, const std::optional<PackageDigest>& digest);

}  // namespace update
