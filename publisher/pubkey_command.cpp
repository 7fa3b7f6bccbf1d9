// pubkey: the public key of an existing secret key file, for stamping
// another launcher or checking which key a file holds.

#include <array>

#include "publisher/command.h"
#include "publisher/secret_key_file.h"

namespace publisher {
namespace {

constexpr std::array<OptionSpec, 1> kOptions = {{{"--secret", "FILE", 1, 1}}};

void runPubkey(const Arguments& arguments, Tools& tools) {
  HeldSecretKey secret;
  readSecretKey(tools, arguments.one("--secret"), secret);
  tools.out << update::toBase64(publicKeyOf(secret, arguments.one("--secret"))) << "\n";
}

}  // namespace

const Command& pubkeyCommand() {
  static const Command command{
      "pubkey", kOptions,
      "      Prints the public key (one line of text) of the secret key file FILE made by\n"
      "      keygen, as keygen printed it.\n",
      runPubkey};
  return command;
}

}  // namespace publisher
