#pragma once

// The secret key file keygen writes, read back for signing.

#include <string>

#include "publisher/tools.h"
#include "update/package/package_signature.h"

namespace publisher {

// Wiped from memory when it goes.
struct HeldSecretKey {
  update::SecretKey key{};
  HeldSecretKey() = default;
  HeldSecretKey(const HeldSecretKey&) = delete;
  HeldSecretKey& operator=(const HeldSecretKey&) = delete;
  ~HeldSecretKey();
};

// Throws Refusal saying why the file at `path` cannot be read, or that it
// is no secret key file made by keygen.
void readSecretKey(Tools& tools, const std::string& path, HeldSecretKey& held);

// The public half of the secret key, as derived from its seed; throws
// Refusal, naming `path`, when the file's copy of it differs (the file was
// damaged after keygen, and would sign what no launcher accepts).
update::PublicKey publicKeyOf(const HeldSecretKey& held, const std::string& path);

}  // namespace publisher
