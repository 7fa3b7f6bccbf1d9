#include "publisher/publisher.h"

#include <array>
#include <exception>
#include <functional>

#include "publisher/command.h"
#include "publisher/printable.h"
#include "publisher/refusal.h"

namespace publisher {
namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kBadCall = 2;

const std::array<std::reference_wrapper<const Command>, 7>& commands() {
  static const std::array<std::reference_wrapper<const Command>, 7> all = {
      keygenCommand(), pubkeyCommand(), stampCommand(), showCommand(),
      packCommand(),   verifyCommand(), serveCommand()};
  return all;
}

const Command* findCommand(std::string_view name) {
  for (const Command& command : commands()) {
    if (command.name == name)
      return &command;
  }
  return nullptr;
}

std::string usageLine(const Command& command) {
  return std::string(kToolName) + " " + std::string(command.name) + " " +
         optionSynopsis(command.options);
}

void printHelp(std::ostream& out) {
  out << kToolName << ": publishes signed updates of the launcher.\n\n";
  for (const Command& command : commands())
    out << "  " << usageLine(command) << "\n" << command.description << "\n";
  out << "Exit status: 0 done, 1 refused or failed (the reason on stderr), 2 bad call.\n";
}

void printShortUsage(std::ostream& err) {
  err << "usage: " << kToolName << " {";
  for (const Command& command : commands())
    err << command.name << (&command == &commands().back().get() ? "" : "|");
  err << "} OPTIONS...   (" << kToolName << " --help tells more)\n";
}

bool asksForHelp(std::span<const std::string> words) {
  for (const std::string& word : words) {
    if (word == "--help" || word == "-h")
      return true;
  }
  return !words.empty() && words.front() == "help";
}

}  // namespace

int runPublisher(std::span<const std::string> words, Tools& tools) {
  if (asksForHelp(words)) {
    printHelp(tools.out);
    return kDone;
  }
  const Command* command = words.empty() ? nullptr : findCommand(words.front());
  if (command == nullptr) {
    if (!words.empty())
      tools.err << kToolName << ": unknown command \"" << words.front() << "\"\n";
    printShortUsage(tools.err);
    return kBadCall;
  }
  const std::string prefix = std::string(kToolName) + " " + std::string(command->name) + ": ";
  const ParsedArguments parsed = parseArguments(words.subspan(1), command->options);
  if (!parsed.problem.empty()) {
    tools.err << prefix << parsed.problem << "\nusage: " << usageLine(*command) << "\n";
    return kBadCall;
  }
  try {
    command->run(parsed.arguments, tools);
    return kDone;
  } catch (const Refusal& refusal) {
    // Names and values in a refusal may come from files and pages.
    tools.err << prefix << printable(refusal.what()) << "\n";
  } catch (const std::exception& failure) {
    tools.err << prefix << "failed: " << printable(failure.what()) << "\n";
  }
  return kFailed;
}

}  // namespace publisher
