// tavoro-publish on Linux.

#include <iostream>
#include <string>
#include <vector>

#include "publisher/host/host_tools.h"
#include "publisher/publisher.h"

int main(int argc, char** argv) {
  publisher::host::HostTools host;
  publisher::Tools tools = host.tools(std::cout, std::cerr);
  const std::vector<std::string> words(argv + 1, argv + argc);
  return publisher::runPublisher(words, tools);
}
