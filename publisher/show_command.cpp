// show: what a launcher carries: its version page, public key and version.

#include <array>

#include "publisher/command.h"
#include "publisher/file_problems.h"
#include "publisher/launcher_description.h"
#include "publisher/refusal.h"
#include "publisher/settings_stamp.h"

namespace publisher {
namespace {

constexpr std::array<OptionSpec, 1> kOptions = {{{"FILE", "", 1, 1}}};

void runShow(const Arguments& arguments, Tools& tools) {
  const std::string& file = arguments.one("FILE");
  try {
    const LauncherSettings settings = readLauncherSettings(tools, file);
    tools.out << file << ":\n" << describeSettings(settings, tools);
  } catch (const ReadFailed&) {
    throw Refusal(readFailure(tools, file));
  } catch (const NotALauncher& refusal) {
    throw Refusal(Message::kNoLauncher, {file, refusal.said(tools)});
  } catch (const Refusal& refusal) {
    throw Refusal(Message::kInFile, {file, refusal.said(tools)});
  }
}

}  // namespace

const Command& showCommand() {
  static const Command command{
      "show", kOptions,
      "      Prints the version page, public key and version a launcher FILE\n"
      "      carries, or says that FILE is no launcher. FILE is read in blocks:\n"
      "      a file of any size takes little memory.\n",
      runShow};
  return command;
}

}  // namespace publisher
