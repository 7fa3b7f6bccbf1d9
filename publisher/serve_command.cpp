// serve: the files of one folder over http on this machine, read-only, for
// rehearsing an update before anything is uploaded.

#include <array>
#include <string>

#include "publisher/command.h"
#include "publisher/file_problems.h"
#include "publisher/file_server.h"
#include "publisher/refusal.h"

namespace publisher {
namespace {

constexpr char kLoopback[] = "127.0.0.1";

constexpr std::array<OptionSpec, 3> kOptions = {{
    {"--dir", "DIR", 1, 1},
    {"--port", "N", 1, 1},
    {"--bind", "IPV4", 0, 1},
}};

int portOf(const std::string& text) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
    throw Refusal(Message::kBadPort, {});
  const int port = std::stoi(text);
  if (port < 1 || port > 65535)
    throw Refusal(Message::kBadPort, {});
  return port;
}

void runServe(const Arguments& arguments, Tools& tools) {
  const std::string& folder = arguments.one("--dir");
  if (!tools.files.isDirectory(folder))
    throw tools.files.exists(folder)
        ? Refusal(Message::kFileNotFolder, {"--dir", folder})
        : Refusal(Message::kForOption, {readFailure(tools, folder), "--dir"});
  const int port = portOf(arguments.one("--port"));
  const std::string address = arguments.optional("--bind").value_or(kLoopback);
  const std::unique_ptr<Listener> listener = tools.servers.listen(address, port);
  if (!listener)
    throw Refusal(Message::kCannotListen,
                  {address + ":" + std::to_string(port), causeWords(tools, tools.system.last())});
  tools.out << say(tools, Message::kServing,
                   {folder, "http://" + address + ":" + std::to_string(port) + "/"})
            << std::endl;
  serveFolder(tools, *listener, folder);
}

}  // namespace

const Command& serveCommand() {
  static const ServeLimits limits;
  static const std::string description =
      "      Serves the files of DIR (the output of pack, say) over http on port N\n"
      "      for rehearsing an update on this machine: read-only, no folder\n"
      "      listing, no symbolic link followed, on 127.0.0.1 only unless --bind\n"
      "      names another local IPv4 address. A single range of a file is served\n"
      "      (206), with ETag and Last-Modified, so that resuming can be\n"
      "      rehearsed. Up to " +
      std::to_string(limits.clients) +
      " clients are answered side by\n"
      "      side; one is cut off when its request has not arrived whole within " +
      std::to_string(limits.head.count() / 1000) +
      " s,\n"
      "      or when any 64 KiB of the answer takes it longer than " +
      std::to_string(limits.block.count() / 1000) +
      " s. Each\n"
      "      request is printed; Ctrl+C ends it.\n";
  static const Command command{"serve", kOptions, description, runServe};
  return command;
}

}  // namespace publisher
