#pragma once

// One subcommand of the tool: its options, what it does, and the function
// that does it. A run that fails throws Refusal.

#include <span>
#include <string_view>

#include "publisher/arguments.h"
#include "publisher/tools.h"

namespace publisher {

struct Command {
  std::string_view name;
  std::span<const OptionSpec> options;
  std::string_view description;  // for --help, lines indented by the help text
  void (*run)(const Arguments& arguments, Tools& tools);
};

const Command& keygenCommand();
const Command& packCommand();
const Command& stampCommand();
const Command& verifyCommand();
const Command& showCommand();
const Command& pubkeyCommand();
const Command& serveCommand();

}  // namespace publisher
