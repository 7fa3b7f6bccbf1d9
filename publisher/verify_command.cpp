// verify: a version page and a package, checked as a launcher with the
// given public key checks them; a refusal names the page's field that
// does not fit.

#include <array>

#include "base/path.h"
#include "base/text.h"
#include "publisher/command.h"
#include "publisher/entry_list_check.h"
#include "publisher/file_problems.h"
#include "publisher/messages.h"
#include "publisher/pack_ledger.h"
#include "publisher/package_fetch.h"
#include "publisher/printable.h"
#include "publisher/refusal.h"
#include "publisher/release_ledger.h"
#include "publisher/settings_stamp.h"
#include "update/http/http.h"
#include "update/http/http_address.h"
#include "update/package/release_signature.h"
#include "update/package/unzip.h"
#include "update/package/unzip_archive.h"
#include "update/version_page.h"

namespace publisher {
namespace {

using update::PackageVerdict;
using update::VersionFields;

constexpr std::array<OptionSpec, 6> kOptions = {{
    {"--page", "FILE_OR_URL", 1, 1},
    {"--package", "FILE", 0, 1},
    {"--public-key", "KEY", 0, 1},
    {"--launcher", "FILE", 0, 1},
    {"--ledger", "LEDGER", 0, 1},
    {"--folder", "DIR", 0, 1},
}};

// The page as the launcher has it: UTF-8 turned into code page 936, cut at
// a zero byte.
std::string pageText(const std::string& page, Tools& tools) {
  if (update::isWebAddress(page)) {
    std::string headers;
    update::WebRequestOptions options;
    options.responseHeaders = &headers;
    std::string text =
        update::pageTextOf(tools.codec, update::webRequest(tools.http, page, options));
    const std::string status = statusLineOf(headers);
    // A server's "not found" page has text too, but no fields.
    if (answersNotFound(status))
      throw Refusal(say(tools, Message::kPageNotUploaded, {page, printable(status)}));
    if (text.empty()) {
      throw status.empty() ? Refusal(Message::kPageNoAnswer, {page})
                           : Refusal(Message::kPageEmptyAnswer, {page, printable(status)});
    }
    return text;
  }
  const base::Bytes bytes = tools.files.readAll(page);
  if (bytes.empty())
    throw Refusal(readFailure(tools, page));
  std::string text = update::pageTextOf(tools.codec, bytes);
  if (text.empty())
    throw Refusal(Message::kPageNoText, {page});
  return text;
}

class Verifier {
 public:
  // `package` is read; `shown` names it in messages.
  Verifier(const VersionFields& fields, const std::string& package, const std::string& shown,
           Tools& tools)
      : fields_(fields), package_(package), shown_(shown), tools_(tools) {}

  // The marker of `field` and the page's value, in local text.
  std::string marker(update::VersionField field) const {
    return tools_.text.cp936ToLocal(update::versionFieldMarker(field));
  }
  std::string value(update::VersionField field) const {
    return printable(tools_.text.cp936ToLocal(fields_[field]));
  }

  // Why the page's own values cannot be checked in `form`; empty when they can.
  std::string malformed(PackageVerdict verdict, update::ReleaseForm form) const {
    const update::VersionField signature = update::signatureField(form);
    switch (verdict) {
      case PackageVerdict::kNoKey:
        return say(tools_, Message::kKeyNotAKey);
      case PackageVerdict::kNoSignature:
        return say(tools_,
                   form == update::ReleaseForm::kWithPage ? Message::kNoPageSignature
                                                          : Message::kNoSignature,
                   {marker(signature)});
      case PackageVerdict::kMalformedSignature:
        return say(tools_, Message::kSignatureNotASignature, {marker(signature)});
      case PackageVerdict::kMalformedSize:
        return say(tools_, Message::kSizeNotANumber, {marker(update::kPackageSize)});
      case PackageVerdict::kMalformedDigest:
        return say(tools_, Message::kDigestNotADigest, {marker(update::kPackageDigest)});
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
    // Size and digest do not depend on the page the release names.
    const update::Release announced = *update::announcedRelease(fields_, "");
    if (static_cast<std::uint64_t>(size) != announced.packageSize)
      return say(tools_, Message::kSizeDiffers,
                 {marker(update::kPackageSize), value(update::kPackageSize), shown_,
                  std::to_string(size)});
    if (*digest != announced.packageDigest)
      return say(tools_, Message::kDigestDiffers, {marker(update::kPackageDigest), shown_});
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
      return say(tools_, Message::kPageNamesNoPackage, {marker(update::kUpdateAddress)});
    return say(
        tools_, Message::kOtherPackageName,
        {marker(update::kUpdateAddress), printable(tools_.text.cp936ToLocal(announced)), shown_});
  }

 private:
  // The new launcher the page names, as the package holds it.
  std::string launcherDifference() {
    const std::optional<update::ZipArchive> archive = update::ZipArchive::open(package_);
    if (!archive)
      return "";  // unreadable as a ZIP archive: the signature decides
    std::optional<std::uint64_t> launcher;
    for (std::uint64_t index = 0; index < archive->entryCount(); ++index) {
      const std::optional<update::EntryInfo> info = archive->entry(index);
      if (!info)
        continue;
      // Converted as the launcher converts it, which refuses the whole
      // package for one name it cannot write.
      const std::optional<std::string> name = update::writtenEntryName(tools_.codec, *info);
      if (!name)
        return say(tools_, Message::kEntryNameNot936,
                   {shown_, printable(tools_.text.cp936ToLocal(tools_.codec.utf8ToAnsi(
                                base::Bytes(info->name.begin(), info->name.end()))))});
      if (!launcher && base::equalsIgnoringAsciiCase(*name, fields_[update::kProgramTitle]))
        launcher = index;
    }
    if (launcher)
      return versionDifference(*archive, *launcher);
    return say(tools_, Message::kLauncherNotInPackage,
               {marker(update::kProgramTitle), value(update::kProgramTitle), shown_});
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
        return say(tools_, Message::kLauncherVersionDiffers,
                   {marker(update::kLatestVersion), value(update::kLatestVersion),
                    value(update::kProgramTitle),
                    printable(tools_.text.cp936ToLocal(settings.localVersion))});
    } catch (const Refusal&) {
      // No launcher of this kind: it carries no version to compare.
    }
    return "";
  }

  const VersionFields& fields_;
  const std::string& package_;
  const std::string& shown_;
  Tools& tools_;
};

// The settings of the launcher players have now.
LauncherSettings shippedLauncher(Tools& tools, const std::string& file) {
  try {
    return readLauncherSettings(tools, file);
  } catch (const ReadFailed&) {
    throw Refusal(Message::kForOption, {readFailure(tools, file), "--launcher"});
  } catch (const Refusal& refusal) {
    throw Refusal(Message::kInFile, {"--launcher " + file, refusal.said(tools)});
  }
}

// The key the release must be signed for: the shipped launcher's, or the
// one given; both, when given, must agree.
std::string keyToCheck(const Arguments& arguments, const std::optional<LauncherSettings>& shipped,
                       const std::string& file, Tools& tools) {
  const std::optional<std::string> given = arguments.optional("--public-key");
  if (!shipped) {
    if (!given)
      throw Refusal(Message::kLedgerEmpty, {});
    return *given;
  }
  if (shipped->publicKey.empty())
    throw Refusal(Message::kLauncherTakesAny, {file});
  if (given && *given != shipped->publicKey && *given != shipped->backupKey)
    throw Refusal(Message::kKeyNotCarried, {*given, file, shipped->publicKey});
  return given ? *given : shipped->publicKey;
}

void runVerify(const Arguments& arguments, Tools& tools) {
  const std::string& pageAddress = arguments.one("--page");
  std::optional<LauncherSettings> shipped;
  std::optional<std::string> text;
  // The launcher players have: the one given, else the ledger's latest
  // before the release the page announces.
  std::string launcherFile = arguments.optional("--launcher").value_or("");
  if (launcherFile.empty() && !arguments.has("--public-key")) {
    const std::string folder = arguments.optional("--ledger").value_or(kDefaultLedgerFolder);
    const std::vector<LedgerRecord> records = readLedger(tools, folder);
    if (!records.empty())
      text = pageText(pageAddress, tools);
    if (const LedgerRecord* players =
            text ? launcherBefore(records, update::versionFieldsOf(*text)[update::kLatestVersion])
                 : nullptr) {
      launcherFile = joinPath(tools, folder, tools.text.cp936ToLocal(players->launcherCopy));
      tools.out << say(tools, Message::kPlayersHave,
                       {launcherWords(*players, tools), launcherFile});
    }
  }
  if (!launcherFile.empty())
    shipped = shippedLauncher(tools, launcherFile);
  const std::string key = keyToCheck(arguments, shipped, launcherFile, tools);
  if (shipped && update::isWebAddress(pageAddress) &&
      tools.text.toCp936(pageAddress) != shipped->versionPageUrl)
    throw Refusal(
        Message::kLauncherReadsOtherPage,
        {launcherFile, printable(tools.text.cp936ToLocal(shipped->versionPageUrl)), pageAddress});
  const std::optional<std::string> local = arguments.optional("--package");
  if (!local && !update::isWebAddress(pageAddress))
    throw Refusal(Message::kLocalPageNeedsPackage, {});

  // Checked as the players' launcher checks it: the form it knows, for the
  // page it reads. A key alone tells neither, since a page may be checked
  // on a server other than the one players read.
  update::ReleaseTrust trust{key, "", update::ReleaseForm::kWithoutPage};
  if (shipped) {
    trust.pageAddress = shipped->versionPageUrl;
    trust.form = shipped->releaseForm;
    trust.backupKey = shipped->backupKey;
  } else {
    tools.err << say(tools, Message::kPageUnchecked);
  }
  const VersionFields fields = update::versionFieldsOf(text ? *text : pageText(pageAddress, tools));
  const PackageVerdict verdict = update::checkAnnouncedRelease(trust, fields);
  Verifier named(fields, pageAddress, pageAddress, tools);
  if (const std::string why = named.malformed(verdict, trust.form); !why.empty())
    throw Refusal(why);
  if (shipped && !offersVersion(*shipped, fields[update::kLatestVersion]))
    throw Refusal(Message::kNotOffered,
                  {named.marker(update::kLatestVersion), named.value(update::kLatestVersion),
                   launcherFile, printable(tools.text.cp936ToLocal(shipped->localVersion))});

  std::optional<FetchedPackage> fetched;
  std::string package = local.value_or("");
  std::string shown = package;
  if (!local) {
    const std::string& address = fields[update::kUpdateAddress];
    if (!update::parseHttpAddress(address))
      throw Refusal(Message::kPackageAddressBad, {named.marker(update::kUpdateAddress)});
    const std::uint64_t size = update::announcedRelease(fields, trust.pageAddress)->packageSize;
    shown = say(tools, Message::kThePackageAt, {named.value(update::kUpdateAddress)});
    fetched.emplace(tools, address, size);
    if (fetched->longerThanAnnounced())
      throw Refusal(Message::kPackageLonger,
                    {named.marker(update::kPackageSize), named.value(update::kPackageSize), shown});
    package = fetched->path();
  }
  Verifier verifier(fields, package, shown, tools);
  const std::string difference = verifier.difference();
  if (!difference.empty())
    throw Refusal(difference);
  if (verdict != PackageVerdict::kSigned) {
    // The package is the one the page describes, yet the signature does not
    // fit: a field the package cannot tell of was changed.
    const std::string otherName = local ? verifier.otherName() : "";
    if (!otherName.empty())
      throw Refusal(Message::kOtherNameUnsigned, {otherName});
    const std::string signature = verifier.marker(update::signatureField(trust.form));
    // The earlier form names no page: when it fits and this one does not,
    // the page is what differs.
    const update::ReleaseTrust withoutPage{key, "", update::ReleaseForm::kWithoutPage};
    if (trust.form == update::ReleaseForm::kWithPage &&
        update::checkAnnouncedRelease(withoutPage, fields) == PackageVerdict::kSigned)
      throw Refusal(
          Message::kSignedForOtherPage,
          {signature, printable(tools.text.cp936ToLocal(std::string(trust.pageAddress)))});
    throw Refusal(Message::kSignatureMismatch, {signature});
  }
  // Launchers of this version fetch by the list: it must be the package's.
  if (const std::string problem = entryListProblem(fields, package, tools); !problem.empty())
    throw Refusal(problem);
  // Signed, and this file is what was signed; a local file of another name
  // is fine, but not the one players get.
  if (const std::string otherName = local ? verifier.otherName() : ""; !otherName.empty())
    tools.err << say(tools, Message::kWarning) << otherName << "\n";
  tools.out << say(tools, Message::kVerifyOk, {shown, verifier.value(update::kLatestVersion)});
  if (shipped)
    tools.out << say(tools, Message::kVerifyOffered,
                     {launcherFile, printable(tools.text.cp936ToLocal(shipped->localVersion)),
                      verifier.value(update::kLatestVersion)});
  tools.out << "\n";
  if (const std::optional<std::string> folder = arguments.optional("--folder"))
    tools.out << folderFetches(fields, package, *folder, tools);
}

}  // namespace

const Command& verifyCommand() {
  static const Command command{
      "verify", kOptions,
      "      Checks a version page and its package as a launcher would, and names\n"
      "      the page's field that does not fit: the signature binds the version\n"
      "      page, the version, the new launcher's name, the package's name, size\n"
      "      and digest. Given\n"
      "      an http(s):// address, it fetches the page and then the package at\n"
      "      its update address as a launcher does (its engine, redirects and\n"
      "      https rules); --package FILE checks a local package instead (before\n"
      "      upload; the page may be a UTF-8 file). The key is that of --launcher\n"
      "      FILE, the launcher players have now, whose page address and version\n"
      "      the release must also fit; or KEY. It checks the package's list of\n"
      "      its entries too; --folder DIR names the entries a launcher in the game\n"
      "      folder DIR (at an earlier release) fetches, and the bytes. Exit status\n"
      "      0: players get this release; 1: they do not, and why. Without\n"
      "      --launcher and KEY, the launcher is the one the release ledger LEDGER\n"
      "      (default: the folder release-ledger here) holds from before this\n"
      "      release.\n",
      runVerify};
  return command;
}

}  // namespace publisher
