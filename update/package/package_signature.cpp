#include "update/package/package_signature.h"

#include <vector>

namespace update {
namespace {

constexpr char kIgnoredInBase64[] = " \t\r\n";
constexpr std::size_t kReadBlock = 256 * 1024;

template <std::size_t N>
std::optional<std::array<unsigned char, N>> decode(std::string_view base64) {
  std::array<unsigned char, N> bytes{};
  std::size_t length = 0;
  const char* end = nullptr;
  if (sodium_base642bin(bytes.data(), bytes.size(), base64.data(), base64.size(), kIgnoredInBase64,
                        &length, &end, sodium_base64_VARIANT_ORIGINAL) != 0 ||
      length != N || end != base64.data() + base64.size())
    return std::nullopt;
  return bytes;
}

}  // namespace

void ensureSodium() {
  [[maybe_unused]] static const int initialised = sodium_init();
}

std::optional<PublicKey> parsePublicKey(std::string_view base64) {
  return decode<crypto_sign_PUBLICKEYBYTES>(base64);
}

std::optional<Signature> parseSignature(std::string_view base64) {
  return decode<crypto_sign_BYTES>(base64);
}

std::optional<SecretKey> parseSecretKey(std::string_view base64) {
  return decode<crypto_sign_SECRETKEYBYTES>(base64);
}

std::optional<PackageDigest> parsePackageDigest(std::string_view base64) {
  return decode<crypto_generichash_BYTES_MAX>(base64);
}

std::string toBase64(const unsigned char* bytes, std::size_t size) {
  std::string text(sodium_base64_ENCODED_LEN(size, sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(text.data(), text.size(), bytes, size, sodium_base64_VARIANT_ORIGINAL);
  text.pop_back();  // the terminating zero
  return text;
}

PackageHasher::PackageHasher() {
  ensureSodium();
  crypto_generichash_init(&state_, nullptr, 0, crypto_generichash_BYTES_MAX);
}

void PackageHasher::add(const void* data, std::size_t size) {
  crypto_generichash_update(&state_, static_cast<const unsigned char*>(data), size);
}

PackageDigest PackageHasher::finish() {
  PackageDigest digest{};
  crypto_generichash_final(&state_, digest.data(), digest.size());
  return digest;
}

std::optional<PackageDigest> digestOfFile(platform::Files& files, const std::string& path) {
  const std::unique_ptr<platform::InputFile> file = files.openForReading(path);
  if (!file)
    return std::nullopt;
  PackageHasher hasher;
  std::vector<unsigned char> block(kReadBlock);
  for (;;) {
    const long got = file->read(block.data(), block.size());
    if (got < 0)
      return std::nullopt;
    if (got == 0)
      return hasher.finish();
    hasher.add(block.data(), static_cast<std::size_t>(got));
  }
}

PackageVerdict checkSignatureText(std::string_view publicKey, std::string_view signature) {
  if (!parsePublicKey(publicKey))
    return PackageVerdict::kNoKey;
  if (signature.empty())
    return PackageVerdict::kNoSignature;
  if (!parseSignature(signature))
    return PackageVerdict::kMalformedSignature;
  return PackageVerdict::kSigned;
}

}  // namespace update
