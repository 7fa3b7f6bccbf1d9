#include "publisher/publisher.h"

#include <array>
#include <exception>
#include <functional>

#include "publisher/command.h"
#include "publisher/file_server.h"
#include "publisher/messages.h"
#include "publisher/printable.h"
#include "publisher/refusal.h"

namespace publisher {
namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kBadCall = 2;

// Every command's help, for a Chinese user.
constexpr std::array<std::pair<std::string_view, Message>, 7> kChineseHelp = {{
    {"keygen", Message::kHelpKeygen},
    {"pubkey", Message::kHelpPubkey},
    {"stamp", Message::kHelpStamp},
    {"show", Message::kHelpShow},
    {"pack", Message::kHelpPack},
    {"verify", Message::kHelpVerify},
    {"serve", Message::kHelpServe},
}};

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

// The command's help in the user's language; the English is the
// command's own description.
std::string helpText(const Command& command, Tools& tools) {
  if (tools.system.userLanguage() != Language::kChinese)
    return std::string(command.description);
  if (command.name == "serve") {
    const ServeLimits limits;
    const auto seconds = [](std::chrono::milliseconds limit) {
      return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(limit).count());
    };
    return say(tools, Message::kHelpServe,
               {std::to_string(limits.clients), seconds(limits.head), seconds(limits.block)});
  }
  return say(tools, chineseHelpOf(command.name));
}

std::string usageLine(const Command& command) {
  return std::string(kToolName) + " " + std::string(command.name) + " " +
         optionSynopsis(command.options);
}

void printHelp(Tools& tools) {
  tools.out << say(tools, Message::kHelpIntro, {kToolName});
  for (const Command& command : commands())
    tools.out << "  " << usageLine(command) << "\n" << helpText(command, tools) << "\n";
  tools.out << say(tools, Message::kExitStatus);
}

void printShortUsage(Tools& tools) {
  std::ostream& err = tools.err;
  err << say(tools, Message::kUsage) << kToolName << " {";
  for (const Command& command : commands())
    err << command.name << (&command == &commands().back().get() ? "" : "|");
  err << "} OPTIONS...   (" << kToolName << " --help)\n";
}

bool asksForHelp(std::span<const std::string> words) {
  for (const std::string& word : words) {
    if (word == "--help" || word == "-h")
      return true;
  }
  return !words.empty() && words.front() == "help";
}

}  // namespace

Message chineseHelpOf(std::string_view command) {
  for (const auto& [name, message] : kChineseHelp) {
    if (name == command)
      return message;
  }
  // A command without its Chinese help: the tests fail on it.
  return Message::kCount;
}

int runPublisher(std::span<const std::string> words, Tools& tools) {
  if (asksForHelp(words)) {
    printHelp(tools);
    return kDone;
  }
  const Command* command = words.empty() ? nullptr : findCommand(words.front());
  if (command == nullptr) {
    if (!words.empty())
      tools.err << kToolName << ": " << say(tools, Message::kUnknownCommand, {words.front()})
                << "\n";
    printShortUsage(tools);
    return kBadCall;
  }
  const std::string prefix = std::string(kToolName) + " " + std::string(command->name) + ": ";
  const ParsedArguments parsed = parseArguments(words.subspan(1), command->options);
  if (parsed.problem) {
    tools.err << prefix << parsed.problem->said(tools) << "\n"
              << say(tools, Message::kUsage) << usageLine(*command) << "\n";
    return kBadCall;
  }
  try {
    command->run(parsed.arguments, tools);
    return kDone;
  } catch (const Refusal& refusal) {
    // Names and values in a refusal may come from files and pages.
    tools.err << prefix << printable(refusal.said(tools)) << "\n";
  } catch (const std::exception& failure) {
    tools.err << prefix << say(tools, Message::kFailed, {printable(failure.what())}) << "\n";
  }
  return kFailed;
}

}  // namespace publisher
