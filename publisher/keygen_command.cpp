// keygen: a new Ed25519 key pair; the secret key to a new file, the public
// key to the output.

#include <sodium.h>

#include <array>

#include "publisher/command.h"
#include "publisher/file_problems.h"
#include "publisher/messages.h"
#include "publisher/refusal.h"
#include "update/package/package_signature.h"

namespace publisher {
namespace {

constexpr std::array<OptionSpec, 1> kOptions = {{{"--secret", "FILE", 1, 1}}};

void runKeygen(const Arguments& arguments, Tools& tools) {
  const std::string& path = arguments.one("--secret");
  if (tools.files.exists(path))
    throw Refusal(Message::kKeyFileExists, {path});
  createFolders(tools, parentPath(path));
  update::PublicKey publicKey{};
  update::SecretKey secretKey{};
  if (sodium_init() < 0 || crypto_sign_keypair(publicKey.data(), secretKey.data()) != 0)
    throw Refusal(Message::kNoKeyPair, {});
  std::string content = update::toBase64(secretKey) + "\n";
  sodium_memzero(secretKey.data(), secretKey.size());
  const SecretFiles::Outcome outcome = tools.secrets.writeNew(path, content);
  sodium_memzero(content.data(), content.size());
  if (outcome == SecretFiles::Outcome::kExists)
    throw Refusal(Message::kKeyFileExists, {path});
  if (outcome != SecretFiles::Outcome::kWritten)
    throw Refusal(writeFailure(tools, Message::kActWrite, path));
  tools.err << say(tools, Message::kKeyWritten, {path});
  tools.out << update::toBase64(publicKey) << "\n";
}

}  // namespace

const Command& keygenCommand() {
  static const Command command{
      "keygen", kOptions,
      "      Makes a key pair: writes the secret key to FILE, which must not exist\n"
      "      yet (missing folders are made), and prints the public key (one line\n"
      "      of text), the value for stamp --public-key or --backup-key.\n",
      runKeygen};
  return command;
}

}  // namespace publisher
