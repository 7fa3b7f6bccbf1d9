// pack: the update package from a folder, signed, and the version page that
// announces it.

#include <sodium.h>

#include <array>
#include <cstdio>

#include "base/cp936.h"
#include "base/file_name.h"
#include "publisher/command.h"
#include "publisher/entry_list_writer.h"
#include "publisher/file_problems.h"
#include "publisher/game_config_check.h"
#include "publisher/messages.h"
#include "publisher/new_launcher.h"
#include "publisher/pack_ledger.h"
#include "publisher/package_writer.h"
#include "publisher/printable.h"
#include "publisher/progress_line.h"
#include "publisher/refusal.h"
#include "publisher/secret_key_file.h"
#include "publisher/staged_file.h"
#include "publisher/tree_check.h"
#include "publisher/version_page.h"
#include "publisher/windows_names.h"
#include "update/http/http_address.h"
#include "update/package/release_signature.h"
#include "update/package/unzip.h"
#include "update/version_page.h"

namespace publisher {
namespace {

using namespace update;  // the version fields

// The first note is the description, the others notes 1 to 5.
constexpr std::size_t kMaxNotes = kNote5 - kDescription + 1;
constexpr char kPageName[] = "version.html";

constexpr std::array<OptionSpec, 10> kOptions = {{
    {"--from", "DIR", 1, 1},
    {"--launcher", "NAME", 1, 1},
    {"--version", "V", 1, 1},
    {"--url", "URL", 1, 1},
    {"--page", "PAGE_URL", 0, 1},
    {"--secret", "FILE", 1, 1},
    {"--out", "OUTDIR", 1, 1},
    {"--note", "TEXT", 0, kMaxNotes},
    {"--list", "", 0, 1},
    {"--ledger", "LEDGER", 0, 1},
}};

PageFields fieldsOf(const Arguments& arguments, Tools& tools) {
  PageFields fields;
  fields[kLatestVersion] = pageValue(tools, "--version", arguments.one("--version"));
  fields[kProgramTitle] = pageValue(tools, "--launcher", arguments.one("--launcher"));
  const std::vector<std::string>& notes = arguments.all("--note");
  for (std::size_t i = 0; i < notes.size(); ++i)
    fields[kDescription + i] = pageValue(tools, "--note " + std::to_string(i + 1), notes[i]);
  fields[kUpdateAddress] = addressValue(tools, "--url", arguments.one("--url"));
  if (!update::isWebAddress(fields[kUpdateAddress]))
    throw Refusal(Message::kUrlNotWeb, {});
  // The launcher's download engine fetches it: held to what the engine takes.
  if (!parseHttpAddress(fields[kUpdateAddress]))
    throw Refusal(Message::kUrlNotDownloadable, {});
  const std::string packageName = packageFileName(fields[kUpdateAddress]);
  if (!base::isPlainFileName(packageName) || windowsNameProblem(packageName, packageName))
    throw Refusal(Message::kUrlNoFileName, {arguments.one("--version")});
  // The page is written beside the package: one would overwrite the other.
  if (base::equalsIgnoringAsciiCase(packageName, kPageName))
    throw Refusal(Message::kUrlIsPageName, {kPageName, arguments.one("--version")});
  if (!base::isPlainFileName(fields[kProgramTitle]))
    throw Refusal(Message::kLauncherInFolder, {});
  return fields;
}

// The version page the release is published at, which the signature names:
// --page, else the page the new launcher reads, else version.html beside
// the package. `newLauncherPage` is none when the new launcher is another
// program.
std::string pageToSign(const Arguments& arguments,
                       const std::optional<std::string>& newLauncherPage,
                       const std::string& packageAddress, Tools& tools) {
  if (const std::optional<std::string> given = arguments.optional("--page")) {
    const std::string page = addressValue(tools, "--page", *given);
    if (!parseHttpAddress(page))
      throw Refusal(Message::kPageNotReadable, {});
    if (newLauncherPage && *newLauncherPage != page)
      tools.err << say(tools, Message::kWarning)
                << say(tools, Message::kNewLauncherReadsOtherPage,
                       {printable(tools.text.cp936ToLocal(*newLauncherPage)), *given});
    return page;
  }
  if (newLauncherPage)
    return *newLauncherPage;
  const std::string page =
      packageAddress.substr(0, packageAddress.size() - packageFileName(packageAddress).size()) +
      kPageName;
  tools.err << say(tools, Message::kSignedBesidePackage,
                   {printable(tools.text.cp936ToLocal(page))});
  return page;
}

std::string mebibytes(std::uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof(text), "%.1f", static_cast<double>(bytes) / (1 << 20));
  return text;
}

std::string progressText(const PackTotals& done, const PackTotals& total, Tools& tools) {
  return say(tools, Message::kPacking,
             {std::to_string(done.files), std::to_string(total.files), mebibytes(done.bytes),
              mebibytes(total.bytes)});
}

void runPack(const Arguments& arguments, Tools& tools) {
  PageFields fields = fieldsOf(arguments, tools);
  HeldSecretKey secret;
  readSecretKey(tools, arguments.one("--secret"), secret);

  const std::string& from = arguments.one("--from");
  if (!tools.files.isDirectory(from))
    throw tools.files.exists(from)
        ? Refusal(Message::kFileNotFolder, {"--from", from})
        : Refusal(Message::kForOption, {readFailure(tools, from), "--from"});
  const std::string& out = arguments.one("--out");
  // What lies in --from goes to the players.
  if (liesInside(tools.files, arguments.one("--secret"), from))
    throw Refusal(Message::kSecretInsideFrom, {arguments.one("--secret"), from});
  if (liesInside(tools.files, out, from))
    throw Refusal(Message::kOutInsideFrom, {out, from});
  std::vector<TreeEntry> entries = tools.folders.read(from);
  checkPackageTree(entries, fields[kProgramTitle], arguments.one("--launcher"),
                   packageFileName(fields[kUpdateAddress]));
  checkGameConfig(entries, tools);
  {
    std::string secretText = toBase64(secret.key);
    refuseSecretKeys(entries, secretText);
    sodium_memzero(secretText.data(), secretText.size());
  }
  PublicKey publicKey{};
  crypto_sign_ed25519_sk_to_pk(publicKey.data(), secret.key.data());
  PackLedger ledger(tools, ledgerFolder(tools, arguments.optional("--ledger"), out), entries,
                    fields[kProgramTitle], fields[kLatestVersion], publicKey,
                    arguments.one("--secret"));
  const std::string pageAddress = pageToSign(
      arguments,
      prepareNewLauncher(entries, fields[kProgramTitle], fields[kLatestVersion], publicKey, tools),
      fields[kUpdateAddress], tools);
  createFolders(tools, out);

  const std::string packagePath =
      joinPath(tools, out, tools.text.cp936ToLocal(packageFileName(fields[kUpdateAddress])));
  StagedFile package(tools, packagePath);
  package.close();  // libzip fills it by its path
  const PackTotals totals = totalsOf(entries);
  {
    ProgressLine line(tools.err);
    writePackage(
        package.stagingPath(), entries,
        [&](const PackTotals& done, const PackTotals& total) {
          if (line.due())
            line.show(progressText(done, total, tools));
        },
        kEntryListFileName, entryListPlaceholder(entries));
    line.finish(progressText(totals, totals, tools));
  }
  const EntryListPlace entryList = completeEntryList(package.stagingPath());

  const std::optional<PackageDigest> digest = digestOfFile(tools.files, package.stagingPath());
  const std::int64_t size = tools.files.size(package.stagingPath());
  if (!digest || size < 0)
    throw Refusal(Message::kCannotReadBack, {package.stagingPath()});
  ledger.checkPackage(packagePath, fields[kUpdateAddress], *digest);
  const Release release{pageAddress,
                        fields[kLatestVersion],
                        fields[kProgramTitle],
                        packageFileName(fields[kUpdateAddress]),
                        static_cast<std::uint64_t>(size),
                        *digest,
                        entryList};
  fields[kPackageSize] = std::to_string(size);
  fields[kPackageDigest] = toBase64(*digest);
  fields[kEntryList] = entryListPlaceText(entryList);
  // Unsigned, read back from the package itself: the launcher's room check
  // before the download.
  // The entry list is never unpacked.
  if (const std::optional<std::uint64_t> unpacked = update::unpackedSizeOf(package.stagingPath()))
    fields[kUnpackedSize] = std::to_string(*unpacked - entryList.length);
  // One signature per form: launchers already shipped check the earlier one.
  for (const ReleaseForm form :
       {ReleaseForm::kWithoutPage, ReleaseForm::kWithPage, ReleaseForm::kWithEntries}) {
    const Signature signature = signRelease(release, form, secret.key);
    // A key file damaged after keygen would sign what no launcher accepts.
    if (!releaseSignatureMatches(release, form, signature, publicKey))
      throw Refusal(Message::kKeyFileSignsWrong, {arguments.one("--secret")});
    fields[signatureField(form)] = toBase64(signature);
  }

  const std::string pagePath = joinPath(tools, out, kPageName);
  StagedFile page(tools, pagePath);
  page.write(tools.text.cp936ToUtf8(composeVersionPage(fields)));
  package.commit();
  page.commit();
  ledger.record(pageAddress, entries);
  if (arguments.has("--list")) {
    for (const TreeEntry& entry : entries)
      tools.out << (entry.isFolder ? "  " + printable(entry.shownName) + "\n"
                                   : say(tools, Message::kEntryBytes,
                                         {printable(entry.shownName), std::to_string(entry.size)}));
  }
  const std::string files = totals.files == 1
                                ? say(tools, Message::kOneFile)
                                : say(tools, Message::kFiles, {std::to_string(totals.files)});
  tools.out << say(tools, Message::kPacked,
                   {files, std::to_string(totals.bytes), mebibytes(totals.bytes), packagePath})
            << say(tools, Message::kPageWritten,
                   {pagePath, arguments.one("--version"), toBase64(publicKey),
                    printable(tools.text.cp936ToLocal(pageAddress))})
            << say(tools, Message::kRecorded, {ledger.folder()});
}

}  // namespace

const Command& packCommand() {
  static const Command command{
      "pack", kOptions,
      "      Packs the folder DIR, which holds the new launcher NAME at its top,\n"
      "      into a ZIP package (names in code page 936), signs the release\n"
      "      (version page, version, launcher name, package name, size and\n"
      "      digest) with the secret key, and writes it to OUTDIR under the name\n"
      "      URL ends with, with OUTDIR/version.html announcing version V at URL.\n"
      "      When NAME is a launcher, the package holds a copy of it that carries\n"
      "      version V; it must carry the secret key's public key and a page\n"
      "      address of yours, and a version that V sorts after. The release is\n"
      "      signed for PAGE_URL, else the page NAME reads, else version.html\n"
      "      beside URL: a launcher reading another page refuses it. Up to six\n"
      "      notes: the first is the update's description, the others notes 1-5.\n"
      "      Refuses symbolic links, secret keys (files, or their text in any\n"
      "      file), --secret or OUTDIR inside DIR, names Windows would take for\n"
      "      one or not keep, a tavoro/tavoroConfig.ini not saved as GBK, and\n"
      "      names the launcher gives files of its own during an update\n"
      "      (tavoro-update.journal, the package's name and its .tmp, names\n"
      "      ending in .unpacking or .backup, ...). --list prints every name\n"
      "      packed. The release is recorded in the ledger LEDGER (default:\n"
      "      release-ledger beside OUTDIR), with a copy of the new launcher, the\n"
      "      one its players have; a version that would not be offered to them,\n"
      "      a key their launcher refuses, or a package address or file of\n"
      "      another release is refused.\n",
      runPack};
  return command;
}

}  // namespace publisher
