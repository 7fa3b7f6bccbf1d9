#include "publisher/new_launcher.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "base/text.h"
#include "publisher/messages.h"
#include "publisher/refusal.h"
#include "publisher/settings_stamp.h"
#include "update/settings_block.h"
#include "update/version_page.h"

namespace publisher {
namespace {

// The stamped copy, read by the package writer in place of the file.
class BytesInput final : public platform::InputFile {
 public:
  explicit BytesInput(std::shared_ptr<const base::Bytes> bytes) : bytes_(std::move(bytes)) {}
  long read(void* buffer, std::size_t size) override {
    const std::size_t count = std::min(size, bytes_->size() - at_);
    std::memcpy(buffer, bytes_->data() + at_, count);
    at_ += count;
    return static_cast<long>(count);
  }

 private:
  const std::shared_ptr<const base::Bytes> bytes_;
  std::size_t at_ = 0;
};

}  // namespace

base::Bytes readWhole(const TreeEntry& entry) {
  const std::unique_ptr<platform::InputFile> file = entry.open();
  base::Bytes bytes;
  std::vector<std::uint8_t> block(64 * 1024);
  for (long got = 0; file && (got = file->read(block.data(), block.size())) > 0;)
    bytes.insert(bytes.end(), block.begin(), block.begin() + got);
  if (!file || bytes.size() != entry.size)
    throw Refusal(Message::kCannotReadWhole, {entry.shownName});
  return bytes;
}

namespace {

void checkKeepsPlayersUpdatable(const LauncherSettings& settings, const std::string& version,
                                const std::string& signingKey, const std::string& shown,
                                Tools& tools) {
  if (settings.publicKey != signingKey && settings.backupKey != signingKey)
    throw Refusal(
        Message::kLauncherLacksKey,
        {shown,
         settings.publicKey.empty() ? say(tools, Message::kCarriesNoKey)
                                    : say(tools, Message::kCarriesKey, {settings.publicKey}),
         signingKey});
  if (settings.versionPageUrl == TAVORO_EXAMPLE_VERSION_PAGE_URL)
    throw Refusal(Message::kStillExamplePage, {shown, settings.versionPageUrl});
  if (!offersVersion(settings, version))
    throw Refusal(Message::kNotAfterCarried, {tools.text.cp936ToLocal(version), shown,
                                              tools.text.cp936ToLocal(settings.localVersion)});
}

}  // namespace

const TreeEntry* topFile(const std::vector<TreeEntry>& entries, std::string_view launcher) {
  const auto entry = std::find_if(entries.begin(), entries.end(), [&](const TreeEntry& e) {
    return !e.isFolder && base::equalsIgnoringAsciiCase(e.entryName, launcher);
  });
  return entry == entries.end() ? nullptr : &*entry;
}

std::optional<std::string> prepareNewLauncher(std::vector<TreeEntry>& entries,
                                              std::string_view launcher, const std::string& version,
                                              const update::PublicKey& signingKey, Tools& tools) {
  const auto entry = std::find_if(entries.begin(), entries.end(), [&](const TreeEntry& e) {
    return !e.isFolder && base::equalsIgnoringAsciiCase(e.entryName, launcher);
  });
  if (entry == entries.end())
    throw Refusal(Message::kNoLauncherFile, {tools.text.cp936ToLocal(launcher)});
  auto program = std::make_shared<base::Bytes>(readWhole(*entry));
  std::size_t block = 0;
  try {
    block = findSettingsBlock(*program);
  } catch (const NotALauncher&) {
    tools.err << say(tools, Message::kWarning)
              << say(tools, Message::kNotThisLauncherKind, {entry->shownName});
    return std::nullopt;
  } catch (const Refusal& refusal) {
    throw Refusal(Message::kInFile, {entry->shownName, refusal.said(tools)});
  }
  LauncherSettings settings = readSettings(*program, block);
  checkKeepsPlayersUpdatable(settings, version, update::toBase64(signingKey), entry->shownName,
                             tools);
  settings.localVersion = version;
  checkSettings(settings);
  writeSettings(*program, block, settings);
  entry->open = [program] { return std::make_unique<BytesInput>(program); };
  return settings.versionPageUrl;
}

}  // namespace publisher
