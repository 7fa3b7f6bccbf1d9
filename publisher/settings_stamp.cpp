#include "publisher/settings_stamp.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "publisher/little_endian.h"
#include "publisher/refusal.h"
#include "update/http/http_address.h"
#include "update/package/package_signature.h"
#include "update/settings_block.h"
#include "update/version_page.h"

namespace publisher {
namespace {

using update::SettingsBlock;

constexpr std::size_t kPeOffsetField = 0x3C;
// From the "PE\0\0" signature: the COFF header's section count and optional
// header size, and where the section table starts after that header.
constexpr std::size_t kSectionCountField = 6;
constexpr std::size_t kOptionalHeaderSizeField = 20;
constexpr std::size_t kCoffHeaderEnd = 24;
// In each 40-byte section header: the size and place of its data in the file.
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kRawSizeField = 16;
constexpr std::size_t kRawPointerField = 20;

// Where the "PE\0\0" signature starts; 0 when the bytes are no Windows program.
std::uint64_t peHeader(ProgramBytes& program) {
  const base::Bytes dos = program.at(0, kPeOffsetField + 4);
  if (dos.size() < kPeOffsetField + 4 || dos[0] != 'M' || dos[1] != 'Z')
    return 0;
  const std::uint64_t peOffset = littleEndian(dos.data() + kPeOffsetField, 4);
  // Fewer than four bytes where it points: none.
  const base::Bytes signature = program.at(peOffset, 4);
  return signature.size() == 4 && std::memcmp(signature.data(), "PE\0\0", 4) == 0 ? peOffset : 0;
}

// Where the data of the program's last section ends: a file shorter than
// that was cut short, whatever it still holds.
std::uint64_t imageEnd(ProgramBytes& program, std::uint64_t pe) {
  if (program.size() < pe + kCoffHeaderEnd)
    return program.size() + 1;
  const base::Bytes coff = program.at(pe, kCoffHeaderEnd);
  const std::uint64_t sections = littleEndian(coff.data() + kSectionCountField, 2);
  const std::uint64_t table =
      pe + kCoffHeaderEnd + littleEndian(coff.data() + kOptionalHeaderSizeField, 2);
  const std::uint64_t tableEnd = table + sections * kSectionHeaderSize;
  if (tableEnd > program.size())
    return tableEnd;
  const base::Bytes headers =
      program.at(table, static_cast<std::size_t>(sections * kSectionHeaderSize));
  std::uint64_t end = tableEnd;
  for (std::size_t header = 0; header < headers.size() && end <= program.size();
       header += kSectionHeaderSize) {
    const std::uint64_t size = littleEndian(headers.data() + header + kRawSizeField, 4);
    if (size != 0)
      end = std::max(end, littleEndian(headers.data() + header + kRawPointerField, 4) + size);
  }
  return end;
}

// Zero-terminated inside the field, and nothing but zeros after the text.
bool isWellFormedText(const std::uint8_t* field, std::size_t size) {
  const std::uint8_t* end = std::find(field, field + size, 0);
  return end != field + size &&
         std::all_of(end, field + size, [](std::uint8_t b) { return b == 0; });
}

std::string fieldText(const std::uint8_t* block, std::size_t offset, std::size_t size) {
  const auto* field = reinterpret_cast<const char*>(block + offset);
  return std::string(field, strnlen(field, size));
}

void putField(base::Bytes& program, std::size_t offset, std::size_t size, const std::string& text) {
  std::fill_n(program.begin() + static_cast<std::ptrdiff_t>(offset), size, 0);
  std::copy(text.begin(), text.end(), program.begin() + static_cast<std::ptrdiff_t>(offset));
}

void checkPublicKey(const std::string& key, const char* what) {
  if (key.empty())
    return;
  const std::optional<update::PublicKey> parsed =
      key.size() < update::kPublicKeyTextSize ? update::parsePublicKey(key) : std::nullopt;
  if (!parsed)
    throw Refusal(Message::kNotAPublicKey, {what, key});
  // All zeros, or any other point of small order: no signature matches it.
  update::ensureSodium();
  if (crypto_core_ed25519_is_valid_point(parsed->data()) != 1)
    throw Refusal(Message::kKeyNeverVerifies, {what, key});
}

}  // namespace

std::uint64_t findSettingsBlock(ProgramBytes& program) {
  const std::uint64_t pe = peHeader(program);
  if (pe == 0)
    throw NotALauncher(Message::kNotAProgram, {});
  const TagCounts tags = program.tags();
  if (tags.current == 0 && tags.earlier != 0)
    throw Refusal(Message::kEarlierLauncher, {});
  if (tags.current == 0)
    throw NotALauncher(Message::kNoSettingsBlock, {});
  if (tags.current != 1)
    throw Refusal(Message::kTwoSettingsBlocks, {});
  const std::uint64_t block = tags.firstCurrent;
  const std::size_t blockSize = carriesBackupKey(program.at(block, update::kSettingsTagSize).data())
                                    ? sizeof(SettingsBlock)
                                    : update::kOneKeyBlockSize;
  if (program.size() - block < blockSize)
    throw Refusal(Message::kSettingsCutShort, {});
  // A copy of it would not start on the players' machines.
  if (const std::uint64_t end = imageEnd(program, pe); end > program.size())
    throw Refusal(Message::kProgramCutShort, {std::to_string(program.size()), std::to_string(end)});
  const base::Bytes bytes = program.at(block, sizeof(SettingsBlock));
  const std::uint8_t* fields = bytes.data();
  if (!isWellFormedText(fields + offsetof(SettingsBlock, versionPageUrl),
                        update::kVersionPageUrlSize) ||
      !isWellFormedText(fields + offsetof(SettingsBlock, publicKey), update::kPublicKeyTextSize) ||
      !isWellFormedText(fields + offsetof(SettingsBlock, localVersion),
                        update::kLocalVersionSize) ||
      (blockSize == sizeof(SettingsBlock) &&
       !isWellFormedText(fields + offsetof(SettingsBlock, backupKey), update::kPublicKeyTextSize)))
    throw Refusal(Message::kSettingsDamaged, {});
  return block;
}

std::size_t findSettingsBlock(const base::Bytes& program) {
  ProgramInMemory bytes(program);
  return static_cast<std::size_t>(findSettingsBlock(bytes));
}

LauncherSettings readSettings(ProgramBytes& program, std::uint64_t block) {
  const base::Bytes bytes = program.at(block, sizeof(SettingsBlock));
  const bool current = carriesBackupKey(bytes.data());
  return {
      fieldText(bytes.data(), offsetof(SettingsBlock, versionPageUrl), update::kVersionPageUrlSize),
      fieldText(bytes.data(), offsetof(SettingsBlock, publicKey), update::kPublicKeyTextSize),
      fieldText(bytes.data(), offsetof(SettingsBlock, localVersion), update::kLocalVersionSize),
      releaseFormOfTag(bytes.data()),
      current,
      current
          ? fieldText(bytes.data(), offsetof(SettingsBlock, backupKey), update::kPublicKeyTextSize)
          : ""};
}

LauncherSettings readSettings(const base::Bytes& program, std::size_t block) {
  ProgramInMemory bytes(program);
  return readSettings(bytes, block);
}

LauncherSettings readLauncherSettings(Tools& tools, const std::string& path) {
  const std::int64_t size = tools.files.size(path);
  if (size <= 0)
    throw ReadFailed(Message::kCannotBeRead, {path});
  StreamedProgram program([&tools, &path] { return tools.files.openForReading(path); },
                          static_cast<std::uint64_t>(size));
  return readSettings(program, findSettingsBlock(program));
}

bool offersVersion(const LauncherSettings& settings, std::string_view version) {
  return settings.currentKind ? update::sortsAfter(version, settings.localVersion)
                              : update::sortsAfterAsText(version, settings.localVersion);
}

void checkSettings(const LauncherSettings& settings) {
  const std::string& url = settings.versionPageUrl;
  if (!update::isWebAddress(url))
    throw Refusal(Message::kPageNotWeb, {});
  if (url.size() >= update::kVersionPageUrlSize)
    throw Refusal(Message::kPageTooLong,
                  {std::to_string(url.size()), std::to_string(update::kVersionPageUrlSize - 1)});
  if (std::any_of(url.begin(), url.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
    throw Refusal(Message::kPageControl, {});
  // The launcher's own reading of it: what it refuses, it never fetches.
  if (!update::parseHttpAddress(url))
    throw Refusal(Message::kPageUnreadable, {url});
  checkPublicKey(settings.publicKey, "--public-key");
  const std::string& backup = settings.backupKey;
  if (!backup.empty()) {
    if (!settings.currentKind)
      throw Refusal(Message::kNoBackupInEarlier, {});
    if (settings.publicKey.empty())
      throw Refusal(Message::kBackupAlone, {});
    if (backup == settings.publicKey)
      throw Refusal(Message::kBackupIsMain, {});
    checkPublicKey(backup, "--backup-key");
  }
  const std::string& version = settings.localVersion;
  if (version.empty())
    throw Refusal(Message::kVersionEmpty, {});
  if (version.size() >= update::kLocalVersionSize)
    throw Refusal(Message::kVersionTooLong,
                  {std::to_string(version.size()), std::to_string(update::kLocalVersionSize - 1)});
}

void writeSettings(base::Bytes& program, std::size_t block, const LauncherSettings& settings) {
  putField(program, block + offsetof(SettingsBlock, versionPageUrl), update::kVersionPageUrlSize,
           settings.versionPageUrl);
  putField(program, block + offsetof(SettingsBlock, publicKey), update::kPublicKeyTextSize,
           settings.publicKey);
  putField(program, block + offsetof(SettingsBlock, localVersion), update::kLocalVersionSize,
           settings.localVersion);
  // The earlier block ends before it: what follows is the program's own.
  if (settings.currentKind)
    putField(program, block + offsetof(SettingsBlock, backupKey), update::kPublicKeyTextSize,
             settings.backupKey);
}

}  // namespace publisher
