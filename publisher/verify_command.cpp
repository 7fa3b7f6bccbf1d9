// verify: a version page and a package, checked as a launcher with the
// given public key checks them; a refusal names the page's field that
// does not fit.

#include <array>

#include "base/path.h"
#include "base/text.h"
#include "publisher/command.h"
#include "publisher/file_problems.h"
#include "publisher/refusal.h"
#include "publisher/settings_stamp.h"
#include "publisher/web_address.h"
#include "update/http.h"
#include "update/progress_text.h"
#include "update/release_signature.h"
#include "update/unzip_archive.h"
#include "update/version.h"

namespace publisher {
namespace {

using update::PackageVerdict;
using update::VersionFields;

constexpr std::array<OptionSpec, 3> kOptions = {{
    {"--page", "FILE_OR_URL", 1, 1},
    {"--package", "FILE", 1, 1},
    {"--public-key", "KEY", 1, 1},
}};

// The page as the launcher has it: UTF-8 turned into code page 936, cut at
// a zero byte.
std::string pageText(const std::string& page, Tools& tools) {
  if (isWebAddress(page)) {
    std::string text = update::pageText(tools.http, tools.codec, page);
    if (text.empty())
      throw Refusal("cannot fetch " + page);
    return text;
  }
  const base::Bytes bytes = tools.files.readAll(page);
  if (bytes.empty())
    throw Refusal(readFailure(tools, page));
  std::string text = update::pageTextOf(tools.codec, bytes);
  if (text.empty())
    throw Refusal(page + " holds no text before its first zero byte");
  return text;
}

class Verifier {
 public:
  Verifier(const VersionFields& fields, const std::string& package, Tools& tools)
      : fields_(fields), package_(package), tools_(tools) {}

  // The marker of `field` and the page's value, in local text.
  std::string marker(update::VersionField field) const {
    return tools_.text.cp936ToLocal(update::versionFieldMarker(field));
  }
  std::string value(update::VersionField field) const {
    return tools_.text.cp936ToLocal(fields_[field]);
  }

  // Why the page's own values cannot be checked; empty when they can.
  std::string malformed(PackageVerdict verdict) const {
    switch (verdict) {
      case PackageVerdict::kNoKey:
        return "the public key is no Ed25519 public key in base64";
      case PackageVerdict::kNoSignature:
        return "the page has no signature (" + marker(update::kPackageSignature) +
               "); a launcher with a key ignores it";
      case PackageVerdict::kMalformedSignature:
        return "the page's signature (" + marker(update::kPackageSignature) +
               ") is no signature in base64";
      case PackageVerdict::kMalformedSize:
        return "the page's package size (" + marker(update::kPackageSize) +
               ") is no number of bytes";
      case PackageVerdict::kMalformedDigest:
        return "the page's package digest (" + marker(update::kPackageDigest) +
               ") is no digest in base64";
      default:
        return {};
    }
  }

  // The first of the page's fields that the package contradicts; empty when
  // it contradicts none.
  std::string difference() {
    const std::int64_t size = tools_.files.size(package_);
    const std::optional<update::PackageDigest> digest =
        update::digestOfFile(tools_.files, package_);
    if (size < 0 || !digest)
      throw Refusal(readFailure(tools_, package_));
    const update::Release announced = *update::announcedRelease(fields_);
    if (static_cast<std::uint64_t>(size) != announced.packageSize)
      return marker(update::kPackageSize) + " says " + value(update::kPackageSize) +
             " bytes, but " + package_ + " has " + std::to_string(size) +
             ": it was changed or cut short, or is another release's package";
    if (*digest != announced.packageDigest)
      return marker(update::kPackageDigest) + " is not the digest of " + package_ +
             ": it was changed, or is another release's package";
    return launcherDifference();
  }

  // The page's package name against the file's, when they differ.
  std::string otherName() const {
    const std::string announced = update::packageFileName(fields_[update::kUpdateAddress]);
    const std::optional<std::string> ansiPackage = tools_.text.toCp936(package_);
    const std::string_view name = ansiPackage ? base::lastPathComponent(*ansiPackage) : "";
    if (announced == name)
      return {};
    if (announced.empty())
      return "the page names no package (" + marker(update::kUpdateAddress) + ")";
    return "the page's package address (" + marker(update::kUpdateAddress) + ") ends with " +
           tools_.text.cp936ToLocal(announced) + ", not with the name of " + package_;
  }

 private:
  // The new launcher the page names, as the package holds it.
  std::string launcherDifference() {
    const std::optional<update::ZipArchive> archive = update::ZipArchive::open(package_);
    if (!archive)
      return "";  // unreadable as a ZIP archive: the signature decides
    for (std::uint64_t index = 0; index < archive->entryCount(); ++index) {
      const std::optional<update::EntryInfo> info = archive->entry(index);
      if (!info)
        continue;
      const std::string name =
          info->nameIsUtf8
              ? tools_.codec.utf8ToAnsi(base::Bytes(info->name.begin(), info->name.end()))
              : info->name;
      if (base::equalsIgnoringAsciiCase(name, fields_[update::kProgramTitle]))
        return versionDifference(*archive, index);
    }
    return marker(update::kProgramTitle) + " names " + value(update::kProgramTitle) + ", which " +
           package_ + " does not hold at its top";
  }

  std::string versionDifference(const update::ZipArchive& archive, std::uint64_t index) {
    std::optional<update::EntryReader> reader = archive.openEntry(index);
    base::Bytes program;
    std::vector<std::uint8_t> block(64 * 1024);
    for (long got = 0; reader && (got = reader->read(block.data(), block.size())) > 0;)
      program.insert(program.end(), block.begin(), block.begin() + got);
    try {
      const LauncherSettings settings = readSettings(program, findSettingsBlock(program));
      if (settings.localVersion != fields_[update::kLatestVersion])
        return marker(update::kLatestVersion) + " says " + value(update::kLatestVersion) +
               ", but " + value(update::kProgramTitle) + " in the package carries " +
               tools_.text.cp936ToLocal(settings.localVersion);
    } catch (const Refusal&) {
      // No launcher of this kind: it carries no version to compare.
    }
    return "";
  }

  const VersionFields& fields_;
  const std::string& package_;
  Tools& tools_;
};

void runVerify(const Arguments& arguments, Tools& tools) {
  const std::string& key = arguments.one("--public-key");
  const std::string& package = arguments.one("--package");
  const VersionFields fields = update::versionFieldsOf(pageText(arguments.one("--page"), tools));
  Verifier verifier(fields, package, tools);
  const PackageVerdict verdict = update::checkAnnouncedRelease(key, fields);
  if (const std::string why = verifier.malformed(verdict); !why.empty())
    throw Refusal(why);

  const std::string difference = verifier.difference();
  if (!difference.empty())
    throw Refusal(difference);
  if (verdict != PackageVerdict::kSigned) {
    // The package is the one the page describes, yet the signature does not
    // fit: a field the package cannot tell of was changed.
    const std::string otherName = verifier.otherName();
    throw Refusal(!otherName.empty()
                      ? otherName + ", and the signature does not match the page"
                      : "the signature (" + verifier.marker(update::kPackageSignature) +
                            ") does not match the page: its version, launcher or package "
                            "address was changed after signing, or another key signed it");
  }
  // Signed, and this file is what was signed; a local file of another name
  // is fine, but not the one players get.
  if (const std::string otherName = verifier.otherName(); !otherName.empty())
    tools.err << "warning: " << otherName << "\n";
  tools.out << "OK: " << package << " is signed for this key; the page announces version "
            << verifier.value(update::kLatestVersion) << "\n";
}

}  // namespace

const Command& verifyCommand() {
  static const Command command{
      "verify", kOptions,
      "      Checks a version page (a UTF-8 file, or an http(s):// address fetched\n"
      "      as the launcher does) and a package as a launcher holding the public\n"
      "      key KEY would, and names the page's field that does not fit: the\n"
      "      signature binds the version, the new launcher's name, the package's\n"
      "      name and its size and digest. Warns when the package's name is not\n"
      "      the one the page's package address ends with.\n",
      runVerify};
  return command;
}

}  // namespace publisher
