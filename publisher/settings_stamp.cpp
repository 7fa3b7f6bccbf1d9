#include "publisher/settings_stamp.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "publisher/refusal.h"
#include "publisher/web_address.h"
#include "update/package_signature.h"
#include "update/settings_block.h"

namespace publisher {
namespace {

using update::SettingsBlock;

constexpr std::size_t kPeOffsetField = 0x3C;
constexpr std::size_t kTagLength = sizeof(TAVORO_SETTINGS_BLOCK_TAG) - 1;

// The tag, reversed at compile time: the literal itself is only read while
// compiling, so this tool's binary never holds the tag in one piece, and
// stamping the tool itself finds no block.
constexpr std::array<char, kTagLength> reversedTag() {
  constexpr std::string_view tag = TAVORO_SETTINGS_BLOCK_TAG;
  std::array<char, kTagLength> reversed{};
  for (std::size_t i = 0; i < kTagLength; ++i)
    reversed[i] = tag[kTagLength - 1 - i];
  return reversed;
}

// The tag field as a launcher holds it: the tag, zero-padded.
std::string tagField() {
  static constexpr std::array<char, kTagLength> kReversed = reversedTag();
  std::string field(kReversed.rbegin(), kReversed.rend());
  field.resize(update::kSettingsTagSize, '\0');
  return field;
}

bool isWindowsProgram(const base::Bytes& program) {
  if (program.size() < kPeOffsetField + 4 || program[0] != 'M' || program[1] != 'Z')
    return false;
  std::uint32_t peOffset = 0;
  for (std::size_t i = 0; i < 4; ++i)
    peOffset |= static_cast<std::uint32_t>(program[kPeOffsetField + i]) << (8 * i);
  return peOffset <= program.size() - 4 && std::memcmp(program.data() + peOffset, "PE\0\0", 4) == 0;
}

// Zero-terminated inside the field, and nothing but zeros after the text.
bool isWellFormedText(const std::uint8_t* field, std::size_t size) {
  const std::uint8_t* end = std::find(field, field + size, 0);
  return end != field + size &&
         std::all_of(end, field + size, [](std::uint8_t b) { return b == 0; });
}

std::string fieldText(const base::Bytes& program, std::size_t offset, std::size_t size) {
  const auto* field = reinterpret_cast<const char*>(program.data() + offset);
  return std::string(field, strnlen(field, size));
}

void putField(base::Bytes& program, std::size_t offset, std::size_t size, const std::string& text) {
  std::fill_n(program.begin() + static_cast<std::ptrdiff_t>(offset), size, 0);
  std::copy(text.begin(), text.end(), program.begin() + static_cast<std::ptrdiff_t>(offset));
}

}  // namespace

std::size_t findSettingsBlock(const base::Bytes& program) {
  if (!isWindowsProgram(program))
    throw Refusal("not a Windows program (no \"MZ\" and PE header)");
  const std::string tag = tagField();
  std::size_t count = 0;
  std::size_t block = 0;
  for (auto at = program.begin();
       (at = std::search(at, program.end(), tag.begin(), tag.end())) != program.end(); ++at) {
    block = static_cast<std::size_t>(at - program.begin());
    ++count;
  }
  if (count != 1)
    throw Refusal(count == 0 ? "no update settings block: not a launcher of this kind"
                             : "more than one update settings block");
  if (program.size() - block < sizeof(SettingsBlock))
    throw Refusal("the update settings block is cut short");
  const std::uint8_t* fields = program.data() + block;
  if (!isWellFormedText(fields + offsetof(SettingsBlock, versionPageUrl),
                        update::kVersionPageUrlSize) ||
      !isWellFormedText(fields + offsetof(SettingsBlock, publicKey), update::kPublicKeyTextSize))
    throw Refusal("the update settings block is damaged");
  return block;
}

LauncherSettings readSettings(const base::Bytes& program, std::size_t block) {
  return {
      fieldText(program, block + offsetof(SettingsBlock, versionPageUrl),
                update::kVersionPageUrlSize),
      fieldText(program, block + offsetof(SettingsBlock, publicKey), update::kPublicKeyTextSize)};
}

void checkSettings(const LauncherSettings& settings) {
  const std::string& url = settings.versionPageUrl;
  if (!isWebAddress(url))
    throw Refusal("the page address must start with http:// or https://");
  if (url.size() >= update::kVersionPageUrlSize)
    throw Refusal("the page address has " + std::to_string(url.size()) + " bytes; at most " +
                  std::to_string(update::kVersionPageUrlSize - 1) + " fit the launcher");
  if (std::any_of(url.begin(), url.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
    throw Refusal("the page address holds a control character");
  const std::string& key = settings.publicKey;
  if (!key.empty() && (key.size() >= update::kPublicKeyTextSize || !update::parsePublicKey(key)))
    throw Refusal("the public key is no Ed25519 public key in base64 (keygen prints one)");
}

void writeSettings(base::Bytes& program, std::size_t block, const LauncherSettings& settings) {
  putField(program, block + offsetof(SettingsBlock, versionPageUrl), update::kVersionPageUrlSize,
           settings.versionPageUrl);
  putField(program, block + offsetof(SettingsBlock, publicKey), update::kPublicKeyTextSize,
           settings.publicKey);
}

}  // namespace publisher
