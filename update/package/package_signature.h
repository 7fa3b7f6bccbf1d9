#pragma once

// The pieces of a publisher's signature: Ed25519 keys and signatures in
// base64, and the package's BLAKE2b-512 digest, fed in pieces so that a
// package is never held whole in memory. The launcher holds the public key;
// only the publisher's tool ever sees the secret one. What is signed:
// release_signature.h.

#include <sodium.h>

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"

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
std::optional<PackageDigest> parsePackageDigest(std::string_view base64);
std::string toBase64(const unsigned char* bytes, std::size_t size);

template <std::size_t N>
std::string toBase64(const std::array<unsigned char, N>& bytes) {
  return toBase64(bytes.data(), N);
}

// Picks the fastest implementations for this processor; idempotent and
// safe from any thread. Every use of the library goes after it.
void ensureSodium();

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

// Why a release is refused, or that it is not.
enum class PackageVerdict {
  kSigned,
  kNoKey,               // the key given is no Ed25519 public key
  kNoSignature,         // the page names none
  kMalformedSignature,  // the page's value is no signature
  kMalformedSize,       // the page's package size is no number
  kMalformedDigest,     // the page's package digest is no digest
  kMalformedEntryList,  // the page's entry list is no place and digest
  kWrongSignature,      // the page's fields are not what was signed, or another key signed
  kUnreadable,          // the package cannot be read
  kOtherSize,           // the package is not of the signed size
  kOtherDigest,         // the package is not the one signed
};

// What can be told of the page's signature value alone.
PackageVerdict checkSignatureText(std::string_view publicKey, std::string_view signature);

}  // namespace update
