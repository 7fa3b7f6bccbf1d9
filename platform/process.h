#pragma once

// This process: where it runs from, and ending it.

#include <string>

namespace platform {

class Process {
 public:
  virtual ~Process() = default;
  // The directory of the launcher's executable, without a trailing backslash.
  virtual std::string runDirectory() = 0;
  // The executable's file name with its extension.
  virtual std::string executableName() = 0;
  // This program's file was given the name `executable`, in its folder,
  // while it runs: the system goes on reporting the name it started with.
  virtual void renamed(const std::string& executable) = 0;
  // Ends the process at once with `code`.
  [[noreturn]] virtual void exit(int code) = 0;
};

}  // namespace platform
