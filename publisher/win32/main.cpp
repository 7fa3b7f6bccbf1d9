// tavoro-publish.exe: a console program; its arguments and output are in
// the ANSI code page.

#include <iostream>
#include <string>
#include <vector>

#include "publisher/publisher.h"
#include "publisher/win32/win32_tools.h"

int main(int argc, char** argv) {
  publisher::win32::Win32Tools system;
  publisher::Tools tools = system.tools(std::cout, std::cerr);
  const std::vector<std::string> words(argv + 1, argv + argc);
  return publisher::runPublisher(words, tools);
}
