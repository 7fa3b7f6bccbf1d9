#include "publisher/launcher_description.h"

#include "publisher/messages.h"
#include "publisher/printable.h"
#include "update/settings_block.h"

namespace publisher {
namespace {

std::string pageWords(const std::string& page, Tools& tools) {
  if (page == TAVORO_EXAMPLE_VERSION_PAGE_URL)
    return say(tools, Message::kExamplePage, {page});
  return printable(tools.text.cp936ToLocal(page));
}

std::string keyWords(const std::string& key, Tools& tools) {
  return key.empty() ? say(tools, Message::kNoKeyUnsigned) : printable(key);
}

std::string line(Tools& tools, Message what, const std::string& value) {
  return "  " + say(tools, what) + ": " + value + "\n";
}

std::string change(Tools& tools, Message what, const std::string& before,
                   const std::string& after) {
  return "  " + say(tools, what) + ": " + before + " -> " + after + "\n";
}

}  // namespace

std::string describeSettings(const LauncherSettings& settings, Tools& tools) {
  return line(tools, Message::kFieldPage, pageWords(settings.versionPageUrl, tools)) +
         line(tools, Message::kFieldKey, keyWords(settings.publicKey, tools)) +
         (settings.backupKey.empty()
              ? ""
              : line(tools, Message::kFieldBackupKey, printable(settings.backupKey))) +
         line(tools, Message::kFieldVersion,
              printable(tools.text.cp936ToLocal(settings.localVersion))) +
         (settings.currentKind
              ? ""
              : line(tools, Message::kFieldOrder, say(tools, Message::kEarlierOrder)));
}

std::string describeChanges(const LauncherSettings& before, const LauncherSettings& after,
                            Tools& tools) {
  std::string changes;
  if (before.versionPageUrl != after.versionPageUrl)
    changes += change(tools, Message::kFieldPage, pageWords(before.versionPageUrl, tools),
                      pageWords(after.versionPageUrl, tools));
  if (before.publicKey != after.publicKey)
    changes += change(tools, Message::kFieldKey, keyWords(before.publicKey, tools),
                      keyWords(after.publicKey, tools));
  if (before.backupKey != after.backupKey) {
    const auto backup = [&](const std::string& key) {
      return key.empty() ? say(tools, Message::kNone) : key;
    };
    changes +=
        change(tools, Message::kFieldBackupKey, backup(before.backupKey), backup(after.backupKey));
  }
  if (before.localVersion != after.localVersion)
    changes += change(tools, Message::kFieldVersion,
                      printable(tools.text.cp936ToLocal(before.localVersion)),
                      printable(tools.text.cp936ToLocal(after.localVersion)));
  return changes.empty() ? say(tools, Message::kNothingChanged) : changes;
}

}  // namespace publisher
