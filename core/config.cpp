#include "core/config.h"

#include <string_view>

namespace core {
namespace {

// Control characters and blanks before a name do not count.
std::string skipLeadingBlanks(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) <= 32)
    ++i;
  return std::string(text.substr(i));
}

}  // namespace

std::string readProfileValue(platform::ProfileReader& profile, const std::string& path,
                             const std::string& section, const std::string& key) {
  const std::string p = skipLeadingBlanks(path);
  const std::string s = skipLeadingBlanks(section);
  const std::string k = skipLeadingBlanks(key);
  if (p.empty() || s.empty() || k.empty())
    return {};
  std::string value = profile.read(p, s, k, kConfigValueCapacity);
  if (value.size() > kConfigValueCapacity - 1)
    value.resize(kConfigValueCapacity - 1);
  // Texts are zero-terminated: whatever follows a zero byte is not part of it.
  if (const std::size_t zero = value.find('\0'); zero != std::string::npos)
    value.resize(zero);
  return value;
}

std::string readConfigValue(const ConfigFile& config, const std::string& section,
                            const std::string& key) {
  return readProfileValue(config.profile, config.process.runDirectory() + kConfigRelativePath,
                          section, key);
}

}  // namespace core
