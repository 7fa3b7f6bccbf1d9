#pragma once

// The version page's format, as the launcher reads it and the publisher's
// tool writes it: the fields, their markers, the reading of a page, the order
// of versions and the package's file name. Nothing of the window here.

#include <array>
#include <string>
#include <string_view>

namespace update {

// The fields of the version page, in the page's order.
enum VersionField : int {
  kLatestVersion,
  kProgramTitle,
  kDescription,
  kNote1,
  kNote2,
  kNote3,
  kNote4,
  kNote5,
  kUpdateAddress,
  // Launchers without a key never read these: the package's size in bytes,
  // its digest (base64), and the release's signature (base64) in each form
  // (update/package/release_signature.h).
  kPackageSize,
  kPackageDigest,
  kPackageSignature,
  kSignatureWithPage,
  // The package's files unpacked, in bytes (the sum of its entries'
  // sizes): a hint for the room check before the download, which the
  // signature does not bind; the archive itself tells before the apply.
  kUnpackedSize,
  // Where the package's list of its entries lies and its digest
  // (update/package/entry_list.h), and the signature that binds it too:
  // what lets a launcher fetch only the entries its folder lacks.
  kEntryList,
  kSignatureWithEntries,
  kVersionFieldCount,
};

// A page's values, indexed by VersionField.
using VersionFields = std::array<std::string, kVersionFieldCount>;

// The page's fields: each marker's first occurrence, letter case ignored,
// up to the next "<".
VersionFields versionFieldsOf(std::string_view page);

// The marker that starts a field on the page ("最新版本=").
std::string_view versionFieldMarker(VersionField field);

// The launcher's order: versions made only of dot-separated numbers compare
// number by number ("5.10" after "5.9", "10.0" after "9.9", "5.09" the same
// as "5.9", "5.0.1" after "5.0"); any other text as sortsAfterAsText.
bool sortsAfter(std::string_view published, std::string_view local);

// The order of launchers built before versions compared by number, which
// players may still have: byte-wise text order with unsigned bytes. "5.1"
// and "5.0.1" sort after "5.0"; "10.0" and " 5.1" do not.
bool sortsAfterAsText(std::string_view published, std::string_view local);

// True for one or more runs of ASCII digits joined by single dots.
bool isNumberedVersion(std::string_view version);

// The part of an address after its last "/" (two-byte characters stepped
// over); the whole address without "/", empty when it ends in "/". A query
// stays part of the name.
std::string packageFileName(std::string_view address);

}  // namespace update
