// verify: a version page and a package, checked as a launcher with the
// given public key checks them.

#include <array>

#include "base/cp936.h"
#include "base/path.h"
#include "publisher/command.h"
#include "publisher/refusal.h"
#include "publisher/web_address.h"
#include "update/http.h"
#include "update/package_signature.h"
#include "update/progress_text.h"
#include "update/version.h"

namespace publisher {
namespace {

using update::PackageVerdict;

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
  std::string text = update::pageTextOf(tools.codec, tools.files.readAll(page));
  if (text.empty())
    throw Refusal("cannot read " + page);
  return text;
}

std::string verdictText(PackageVerdict verdict, const std::string& package, Tools& tools) {
  const std::string marker =
      tools.text.cp936ToLocal(update::versionFieldMarker(update::kPackageSignature));
  switch (verdict) {
    case PackageVerdict::kNoKey:
      return "the public key is no Ed25519 public key in base64";
    case PackageVerdict::kNoSignature:
      return "the page has no signature (" + marker + "); a launcher with a key ignores it";
    case PackageVerdict::kMalformedSignature:
      return "the page's signature (" + marker + ") is no signature in base64";
    case PackageVerdict::kUnreadable:
      return "cannot read " + package;
    case PackageVerdict::kWrongSignature:
      return "the signature does not match " + package +
             ": it was changed or cut short, or signed with another key";
    case PackageVerdict::kSigned:
      break;
  }
  return {};
}

// The launcher saves the download under the name its address ends with;
// another name here means this file is not the one that page announces.
void warnOfOtherName(const std::string& address, const std::string& package, Tools& tools) {
  const std::string announced = update::packageFileName(address);
  const std::optional<std::string> ansiPackage = tools.text.toCp936(package);
  const std::string_view name = ansiPackage ? base::lastPathComponent(*ansiPackage) : "";
  if (!announced.empty() && announced == name)
    return;
  const std::string marker =
      tools.text.cp936ToLocal(update::versionFieldMarker(update::kUpdateAddress));
  if (address.empty())
    tools.err << "warning: the page names no package (" << marker << ")\n";
  else
    tools.err << "warning: the page's package address (" << marker << ") ends with "
              << tools.text.cp936ToLocal(announced) << ", not with the name of " << package << "\n";
}

void runVerify(const Arguments& arguments, Tools& tools) {
  const std::string& key = arguments.one("--public-key");
  const std::string& package = arguments.one("--package");
  if (!update::parsePublicKey(key))
    throw Refusal(verdictText(PackageVerdict::kNoKey, package, tools));
  const auto fields = update::versionFieldsOf(pageText(arguments.one("--page"), tools));
  const std::string& signature = fields[update::kPackageSignature];
  const PackageVerdict verdict = update::verifyPackageFile(tools.files, package, key, signature);
  if (verdict != PackageVerdict::kSigned)
    throw Refusal(verdictText(verdict, package, tools));
  warnOfOtherName(fields[update::kUpdateAddress], package, tools);
  tools.out << "OK: " << package << " is signed for this key; the page announces version "
            << tools.text.cp936ToLocal(fields[update::kLatestVersion]) << "\n";
}

}  // namespace

const Command& verifyCommand() {
  static const Command command{
      "verify", kOptions,
      "      Checks a version page (a UTF-8 file, or an http(s):// address fetched\n"
      "      as the launcher does) and a package as a launcher holding the public\n"
      "      key KEY would, and says why it would refuse them. Warns when the\n"
      "      package's name is not the one the page's package address ends with.\n",
      runVerify};
  return command;
}

}  // namespace publisher
