#pragma once

// Update packages signed by their publisher: an Ed25519 signature of the
// package's BLAKE2b-512 digest. The launcher holds the public key; only the
// publisher's tool ever sees the secret one. The digest is fed in pieces, so
// a package is never held whole in memory.

#include <sodium.h>

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/services.h"

namespace update {

using PublicKey = std::array<unsigned char, crypto_sign_PUBLICKEYBYTES>;
using SecretKey = std::array<unsigned char, crypto_sign_SECRETKEYBYTES>;
using Signature = std::array<unsigned char, crypto_sign_BYTES>;
using PackageDigest = std::array<unsigned char, crypto_generichash_BYTES_MAX>;

// Base64, standard alphabet and padding; blanks and line breaks anywhere
// are ignored, since a page or a key file may wrap or indent the value.
// Empty unless it decodes to exactly the expected size.
std::optional<PublicKey> parsePublicKey(std::string_view base64);
std::optional<Signature> parseSignature(std::string_view base64);
std::optional<SecretKey> parseSecretKey(std::string_view base64);
std::string toBase64(const unsigned char* bytes, std::size_t size);

template <std::size_t N>
std::string toBase64(const std::array<unsigned char, N>& bytes) {
  return toBase64(bytes.data(), N);
}

class PackageHasher {
 public:
  PackageHasher();
  void add(const void* data, std::size_t size);
  PackageDigest finish();

 private:
  crypto_generichash_state state_;
};

// Streams the whole file through the hasher; empty when it cannot be read.
std::optional<PackageDigest> digestOfFile(platform::Files& files, const std::string& path);

bool signatureMatches(const PackageDigest& digest, const Signature& signature,
                      const PublicKey& key);
Signature signDigest(const PackageDigest& digest, const SecretKey& key);

// Why a package is refused, or that it is not.
enum class PackageVerdict {
  kSigned,
  kNoKey,               // the key given is no Ed25519 public key
  kNoSignature,         // the page names none
  kMalformedSignature,  // the page's value is no signature
  kUnreadable,          // the package cannot be read
  kWrongSignature,      // another package, changed or cut short, or another key
};

// What can be told before the download: the key and the page's value.
PackageVerdict checkSignatureText(std::string_view publicKey, std::string_view signature);
// The whole check of a package file against the page's value.
PackageVerdict verifyPackageFile(platform::Files& files, const std::string& path,
                                 std::string_view publicKey, std::string_view signature);
// Also for a digest taken as the package arrived.
PackageVerdict verifyPackageDigest(const std::optional<PackageDigest>& digest,
                                   std::string_view publicKey, std::string_view signature);

}  // namespace update
