#include "publisher/game_config_check.h"

#include <memory>

#include "base/cp936.h"
#include "base/text.h"
#include "publisher/messages.h"
#include "publisher/refusal.h"

namespace publisher {
namespace {

constexpr char kConfigEntry[] = "tavoro/tavoroConfig.ini";
// A settings file is a few KiB; more is read no further.
constexpr std::size_t kLargestConfig = 1 << 20;

// Strict UTF-8 with at least one character beyond ASCII: what an editor
// saving as UTF-8 writes, and GBK text almost never is.
bool isUtf8BeyondAscii(std::string_view text) {
  bool beyond = false;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80                    ? 1
                               : lead >= 0xC2 && lead <= 0xDF ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length == 0 || i + length > text.size())
      return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
        return false;
    }
    beyond = beyond || length > 1;
    i += length;
  }
  return beyond;
}

bool isGbk(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) < 0x80)
      continue;
    if (base::fileNameCharacterWidth(text, i) != 2)
      return false;
    ++i;
  }
  return true;
}

}  // namespace

ConfigEncoding gameConfigEncoding(std::string_view content) {
  if (content.starts_with("\xEF\xBB\xBF"))
    return ConfigEncoding::kUtf8WithMark;
  if (content.starts_with("\xFF\xFE") || content.starts_with("\xFE\xFF"))
    return ConfigEncoding::kUtf16;
  if (isUtf8BeyondAscii(content))
    return ConfigEncoding::kUtf8;
  return isGbk(content) ? ConfigEncoding::kGbk : ConfigEncoding::kOther;
}

void checkGameConfig(const std::vector<TreeEntry>& entries, Tools& tools) {
  // In the order of ConfigEncoding, after kGbk.
  constexpr Message kRefusals[] = {Message::kConfigUtf8WithMark, Message::kConfigUtf16,
                                   Message::kConfigUtf8, Message::kConfigNotGbk};
  for (const TreeEntry& entry : entries) {
    if (entry.isFolder || entry.isLink ||
        !base::equalsIgnoringAsciiCase(entry.entryName, kConfigEntry))
      continue;
    const std::unique_ptr<platform::InputFile> file = entry.open();
    std::string content(kLargestConfig, '\0');
    std::size_t filled = 0;
    for (long got = 0; file && filled < content.size() &&
                       (got = file->read(content.data() + filled, content.size() - filled)) > 0;)
      filled += static_cast<std::size_t>(got);
    content.resize(filled);
    if (const ConfigEncoding encoding = gameConfigEncoding(content);
        encoding != ConfigEncoding::kGbk)
      throw Refusal(say(tools, kRefusals[static_cast<int>(encoding) - 1], {entry.shownName}));
  }
}

}  // namespace publisher
