// stamp: a copy of a built launcher with another version page address and,
// optionally, another public key.

#include <array>

#include "publisher/command.h"
#include "publisher/file_problems.h"
#include "publisher/launcher_description.h"
#include "publisher/messages.h"
#include "publisher/refusal.h"
#include "publisher/settings_stamp.h"
#include "publisher/staged_file.h"
#include "publisher/version_page.h"

namespace publisher {
namespace {

constexpr std::array<OptionSpec, 6> kOptions = {{
    {"--in", "LAUNCHER.exe", 1, 1},
    {"--out", "COPY.exe", 1, 1},
    {"--page", "URL", 1, 1},
    {"--public-key", "KEY", 0, 1},
    {"--version", "V", 0, 1},
    {"--backup-key", "KEY2", 0, 1},
}};

void runStamp(const Arguments& arguments, Tools& tools) {
  const std::string& in = arguments.one("--in");
  // The copy is written whole, so the program is read whole: within reason.
  if (const std::int64_t size = tools.files.size(in); size > std::int64_t{kLargestLauncher})
    throw Refusal(Message::kStampTooLarge,
                  {in, std::to_string(size), std::to_string(kLargestLauncher >> 20)});
  base::Bytes program = tools.files.readAll(in);
  if (program.empty())
    throw Refusal(readFailure(tools, in));
  std::size_t block = 0;
  try {
    block = findSettingsBlock(program);
  } catch (const Refusal& refusal) {
    throw Refusal(Message::kInFile, {in, refusal.said(tools)});
  }
  const LauncherSettings before = readSettings(program, block);
  LauncherSettings settings = before;
  // The launcher reads its address as code page 936 text.
  settings.versionPageUrl = addressValue(tools, "--page", arguments.one("--page"));
  if (const std::optional<std::string> key = arguments.optional("--public-key"))
    settings.publicKey = *key;
  if (const std::optional<std::string> key = arguments.optional("--backup-key"))
    settings.backupKey = *key;
  if (const std::optional<std::string> version = arguments.optional("--version"))
    settings.localVersion = pageValue(tools, "--version", *version);
  checkSettings(settings);
  writeSettings(program, block, settings);
  const std::string& out = arguments.one("--out");
  createFolders(tools, parentPath(out));
  writeStaged(tools, out,
              std::string_view(reinterpret_cast<const char*>(program.data()), program.size()));
  tools.out << say(tools, Message::kStampWrote, {out, in}) << describeSettings(settings, tools)
            << say(tools, Message::kStampReplaced) << describeChanges(before, settings, tools);
}

}  // namespace

const Command& stampCommand() {
  static const Command command{
      "stamp", kOptions,
      "      Writes a copy of a built launcher that reads the version page at URL\n"
      "      (http:// or https://, a host, a path; at most 511 bytes) and, given\n"
      "      KEY, accepts only\n"
      "      packages signed for that public key; without it the copy keeps the\n"
      "      key of LAUNCHER.exe. KEY2 is a second public key, whose secret key\n"
      "      is kept offline: releases signed by it are taken too, for when the\n"
      "      first is lost. V is the copy's own version, which a published\n"
      "      version must sort after (numbers compared number by number: 5.10\n"
      "      after 5.9); without it the copy keeps the version of LAUNCHER.exe\n"
      "      (5.0 as built). Prints what the\n"
      "      copy carries and what it replaced. LAUNCHER.exe is read whole: at\n"
      "      most 64 MiB.\n",
      runStamp};
  return command;
}

}  // namespace publisher
