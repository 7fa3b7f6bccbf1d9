#include "publisher/game_config_check.h"

#include <memory>

#include "base/cp936.h"
#include "base/text.h"
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

std::string gameConfigProblem(std::string_view content) {
  if (content.starts_with("\xEF\xBB\xBF"))
    return "is saved as UTF-8 with a byte order mark";
  if (content.starts_with("\xFF\xFE") || content.starts_with("\xFE\xFF"))
    return "is saved as Unicode (UTF-16)";
  if (isUtf8BeyondAscii(content))
    return "is saved as UTF-8";
  if (!isGbk(content))
    return "is no GBK text";
  return {};
}

void checkGameConfig(const std::vector<TreeEntry>& entries) {
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
    if (const std::string problem = gameConfigProblem(content); !problem.empty())
      throw Refusal(entry.shownName + " " + problem +
                    ": the launcher reads it as GBK (code page 936), and players would see "
                    "garbled names. Open it in Notepad, choose Save As with the encoding ANSI "
                    "(on a Chinese Windows), and pack again");
  }
}

}  // namespace publisher
