#include "update/package/release_signature.h"

#include <sodium.h>

namespace update {
namespace {

constexpr std::size_t kMaxSizeDigits = 19;  // every such number fits 64 bits

void addText(std::string& out, std::string_view name, std::string_view text) {
  out += name;
  out += ' ';
  out += std::to_string(text.size());
  out += ':';
  out += text;
  out += '\n';
}

}  // namespace

VersionField signatureField(ReleaseForm form) {
  switch (form) {
    case ReleaseForm::kWithoutPage:
      return kPackageSignature;
    case ReleaseForm::kWithPage:
      break;
    case ReleaseForm::kWithEntries:
      return kSignatureWithEntries;
  }
  return kSignatureWithPage;
}

std::string canonicalRelease(const Release& release, ReleaseForm form) {
  std::string out = "tavoro-release/" + std::to_string(static_cast<int>(form)) + "\n";
  if (form != ReleaseForm::kWithoutPage)
    addText(out, "page", release.pageAddress);
  addText(out, "version", release.version);
  addText(out, "launcher", release.launcherName);
  addText(out, "package", release.packageName);
  out += "size " + std::to_string(release.packageSize) + "\n";
  out += "digest " + toBase64(release.packageDigest) + "\n";
  if (form == ReleaseForm::kWithEntries)
    out += "entries " + entryListPlaceText(release.entryList) + "\n";
  return out;
}

Signature signRelease(const Release& release, ReleaseForm form, const SecretKey& key) {
  ensureSodium();
  const std::string message = canonicalRelease(release, form);
  Signature signature{};
  crypto_sign_detached(signature.data(), nullptr,
                       reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                       key.data());
  return signature;
}

bool releaseSignatureMatches(const Release& release, ReleaseForm form, const Signature& signature,
                             const PublicKey& key) {
  ensureSodium();
  const std::string message = canonicalRelease(release, form);
  return crypto_sign_verify_detached(signature.data(),
                                     reinterpret_cast<const unsigned char*>(message.data()),
                                     message.size(), key.data()) == 0;
}

std::optional<std::uint64_t> parsePackageSize(std::string_view text) {
  if (text.empty() || text.size() > kMaxSizeDigits)
    return std::nullopt;
  std::uint64_t size = 0;
  for (char c : text) {
    if (c < '0' || c > '9')
      return std::nullopt;
    size = size * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return size;
}

std::optional<Release> announcedRelease(const VersionFields& fields, std::string_view pageAddress) {
  const std::optional<std::uint64_t> size = parsePackageSize(fields[kPackageSize]);
  const std::optional<PackageDigest> digest = parsePackageDigest(fields[kPackageDigest]);
  if (!size || !digest)
    return std::nullopt;
  const std::optional<EntryListPlace> list = parseEntryListPlace(fields[kEntryList]);
  return Release{std::string(pageAddress),
                 fields[kLatestVersion],
                 fields[kProgramTitle],
                 packageFileName(fields[kUpdateAddress]),
                 *size,
                 *digest,
                 list.value_or(EntryListPlace{})};
}

namespace {

PackageVerdict checkWithKey(const ReleaseTrust& trust, std::string_view publicKey,
                            const VersionFields& fields) {
  const VersionField signature = signatureField(trust.form);
  const PackageVerdict text = checkSignatureText(publicKey, fields[signature]);
  if (text != PackageVerdict::kSigned)
    return text;
  if (!parsePackageSize(fields[kPackageSize]))
    return PackageVerdict::kMalformedSize;
  const std::optional<Release> release = announcedRelease(fields, trust.pageAddress);
  if (!release)
    return PackageVerdict::kMalformedDigest;
  if (trust.form == ReleaseForm::kWithEntries && !parseEntryListPlace(fields[kEntryList]))
    return PackageVerdict::kMalformedEntryList;
  return releaseSignatureMatches(*release, trust.form, *parseSignature(fields[signature]),
                                 *parsePublicKey(publicKey))
             ? PackageVerdict::kSigned
             : PackageVerdict::kWrongSignature;
}

}  // namespace

PackageVerdict checkAnnouncedRelease(const ReleaseTrust& trust, const VersionFields& fields) {
  const PackageVerdict verdict = checkWithKey(trust, trust.publicKey, fields);
  // The main key's verdict names what is wrong when neither key fits.
  if (verdict != PackageVerdict::kSigned && !trust.backupKey.empty() &&
      checkWithKey(trust, trust.backupKey, fields) == PackageVerdict::kSigned)
    return PackageVerdict::kSigned;
  return verdict;
}

PackageVerdict checkArrivedPackage(const ReleaseTrust& trust, const VersionFields& fields,
                                   std::int64_t size, const std::optional<PackageDigest>& digest) {
  const PackageVerdict page = checkAnnouncedRelease(trust, fields);
  if (page != PackageVerdict::kSigned)
    return page;
  if (!digest || size < 0)
    return PackageVerdict::kUnreadable;
  const Release signed_ = *announcedRelease(fields, trust.pageAddress);
  if (static_cast<std::uint64_t>(size) != signed_.packageSize)
    return PackageVerdict::kOtherSize;
  // Digests are public: no need for a constant-time comparison.
  if (*digest != signed_.packageDigest)
    return PackageVerdict::kOtherDigest;
  return PackageVerdict::kSigned;
}

}  // namespace update
