#pragma once

// Starting other programs.

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// A process this one started.
class ChildProcess {
 public:
  virtual ~ChildProcess() = default;
  // Its exit code once it has ended; -1 while it runs.
  virtual std::int64_t exitCode() = 0;
  // True when it shows a visible top-level window of the window class
  // `windowClass`: a sign no other program can give in its name.
  virtual bool showsWindowOfClass(const std::string& windowClass) = 0;
};

class Processes {
 public:
  virtual ~Processes() = default;
  // Creates a process from the command line alone; see Window modes in
  // core/launch for what `windowMode` means. True when it was created.
  virtual bool runCommandLine(const std::string& commandLine, bool wait, int windowMode) = 0;
  // Starts the program at the full path `program` with no arguments, and
  // keeps the process to be asked about; null when it was not created. The
  // path is the program to run, never the first words of a command line:
  // a space in it cannot start another program.
  virtual std::unique_ptr<ChildProcess> start(const std::string& program, int windowMode) = 0;
};

}  // namespace platform
