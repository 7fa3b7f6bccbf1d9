#include "publisher/launcher_description.h"

#include "publisher/printable.h"
#include "update/settings_block.h"

namespace publisher {
namespace {

std::string pageWords(const std::string& page, LocalText& text) {
  if (page == TAVORO_EXAMPLE_VERSION_PAGE_URL)
    return page + " (the example page, which asks nobody: not stamped yet)";
  return printable(text.cp936ToLocal(page));
}

std::string keyWords(const std::string& key) {
  return key.empty() ? "none (updates are taken unsigned)" : printable(key);
}

std::string line(const char* what, const std::string& value) {
  return std::string("  ") + what + ": " + value + "\n";
}

std::string change(const char* what, const std::string& before, const std::string& after) {
  return std::string("  ") + what + ": " + before + " -> " + after + "\n";
}

}  // namespace

std::string describeSettings(const LauncherSettings& settings, LocalText& text) {
  return line("version page", pageWords(settings.versionPageUrl, text)) +
         line("public key", keyWords(settings.publicKey)) +
         (settings.backupKey.empty() ? "" : line("backup key", printable(settings.backupKey))) +
         line("version", printable(text.cp936ToLocal(settings.localVersion))) +
         (settings.currentKind ? ""
                               : line("version order",
                                      "text, byte by byte (5.10 before 5.9): a launcher of an "
                                      "earlier release, which carries no backup key"));
}

std::string describeChanges(const LauncherSettings& before, const LauncherSettings& after,
                            LocalText& text) {
  std::string changes;
  if (before.versionPageUrl != after.versionPageUrl)
    changes += change("version page", pageWords(before.versionPageUrl, text),
                      pageWords(after.versionPageUrl, text));
  if (before.publicKey != after.publicKey)
    changes += change("public key", keyWords(before.publicKey), keyWords(after.publicKey));
  if (before.backupKey != after.backupKey)
    changes += change("backup key", before.backupKey.empty() ? "none" : before.backupKey,
                      after.backupKey.empty() ? "none" : after.backupKey);
  if (before.localVersion != after.localVersion)
    changes += change("version", printable(text.cp936ToLocal(before.localVersion)),
                      printable(text.cp936ToLocal(after.localVersion)));
  return changes.empty() ? "  nothing changed\n" : changes;
}

}  // namespace publisher
