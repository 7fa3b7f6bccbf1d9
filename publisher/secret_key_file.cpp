#include "publisher/secret_key_file.h"

#include <sodium.h>

#include <algorithm>

#include "publisher/file_problems.h"
#include "publisher/refusal.h"
#include "publisher/tree_check.h"

namespace publisher {

HeldSecretKey::~HeldSecretKey() {
  sodium_memzero(key.data(), key.size());
}

void readSecretKey(Tools& tools, const std::string& path, HeldSecretKey& held) {
  base::Bytes text = tools.files.readAll(path);
  if (text.empty())
    throw Refusal(Message::kForOption, {readFailure(tools, path), "--secret"});
  const std::optional<update::SecretKey> key = update::parseSecretKey(withoutByteOrderMark(
      std::string_view(reinterpret_cast<const char*>(text.data()), text.size())));
  sodium_memzero(text.data(), text.size());
  if (!key)
    throw Refusal(Message::kNoSecretKeyFile, {path});
  held.key = *key;
}

update::PublicKey publicKeyOf(const HeldSecretKey& held, const std::string& path) {
  update::ensureSodium();
  update::PublicKey derived{};
  unsigned char seed[crypto_sign_SEEDBYTES];
  crypto_sign_ed25519_sk_to_seed(seed, held.key.data());
  update::SecretKey again{};
  crypto_sign_seed_keypair(derived.data(), again.data(), seed);
  sodium_memzero(seed, sizeof(seed));
  sodium_memzero(again.data(), again.size());
  update::PublicKey stored{};
  crypto_sign_ed25519_sk_to_pk(stored.data(), held.key.data());
  if (stored != derived)
    throw Refusal(Message::kSecretKeyDamaged, {path});
  return derived;
}

}  // namespace publisher
