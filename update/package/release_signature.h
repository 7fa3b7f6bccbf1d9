#pragma once

// What one signature of the publisher binds together: the version page the
// release is published at, the version it announces, the new launcher's
// name, the package's file name and the package's size and digest.
// Changing any of them on the way, serving an older signed release under a
// newer version text, or serving one game's release at another game's page
// breaks the signature.
//
// The signed bytes (all texts in code page 936, as the launcher reads them;
// each line ends with one LF; a length counts bytes, in decimal):
//
//   tavoro-release/2
//   page <length>:<version page address>
//   version <length>:<version>
//   launcher <length>:<launcher name>
//   package <length>:<package file name>
//   size <package size>
//   digest <BLAKE2b-512 of the package, base64 with padding>
//
// Launchers shipped before the page was signed check the first form: the
// same lines without "page", under "tavoro-release/1". A page carries one
// signature for each form, so that both kinds take the same release.
//
// The third form, "tavoro-release/3", adds one line after "digest" that
// binds the package's list of its entries (entry_list.h), by which a
// launcher fetches only the entries its folder lacks:
//
//   entries <offset> <length> <BLAKE2b-512 of the list, base64 with padding>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "update/package/entry_list.h"
#include "update/package/package_signature.h"
#include "update/version_page.h"

namespace update {

enum class ReleaseForm {
  kWithoutPage = 1,
  kWithPage = 2,
  kWithEntries = 3,
};
// The form this launcher checks.
inline constexpr ReleaseForm kLauncherReleaseForm = ReleaseForm::kWithPage;

// The page's field that holds the signature of `form`.
VersionField signatureField(ReleaseForm form);

struct Release {
  // Where the release is published: the page address its launcher reads.
  std::string pageAddress;
  std::string version;
  std::string launcherName;
  std::string packageName;
  std::uint64_t packageSize = 0;
  PackageDigest packageDigest{};
  // Signed in the third form only.
  EntryListPlace entryList{};
};

std::string canonicalRelease(const Release& release, ReleaseForm form);
Signature signRelease(const Release& release, ReleaseForm form, const SecretKey& key);
bool releaseSignatureMatches(const Release& release, ReleaseForm form, const Signature& signature,
                             const PublicKey& key);

// Decimal digits only, nothing else, and small enough for 64 bits.
std::optional<std::uint64_t> parsePackageSize(std::string_view text);

// The release a page read at `pageAddress` announces: its version, new
// launcher, the last part of its package address, and the size and digest
// it gives for the package. Nothing when the size or the digest is
// malformed. The entry list's place is taken where the page gives one
// that parses, else left at zero (only the third form signs it).
std::optional<Release> announcedRelease(const VersionFields& fields, std::string_view pageAddress);

// What a launcher checks a page against: the key it carries, the page
// address it read the page at, and the form of signature it knows.
struct ReleaseTrust {
  std::string_view publicKey;
  std::string_view pageAddress;
  ReleaseForm form = kLauncherReleaseForm;
  // The publisher's second key: what it signed is taken too. Empty: none.
  std::string_view backupKey{};
};

// Before the download: the page's fields against its signature.
PackageVerdict checkAnnouncedRelease(const ReleaseTrust& trust, const VersionFields& fields);
// After it: the same, and the package that arrived (its size and digest;
// empty when it could not be read) against what was signed.
PackageVerdict checkArrivedPackage(const ReleaseTrust& trust, const VersionFields& fields,
                                   std::int64_t size, const std::optional<PackageDigest>& digest);

}  // namespace update
