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
};

class Processes {
 public:
  virtual ~Processes() = default;
  // Creates a process from the command line alone; see Window modes in
  // core/launch for what `windowMode` means. True when it was created.
  virtual bool runCommandLine(const std::string& commandLine, bool wait, int windowMode) = 0;
  // Starts the command line as runCommandLine does without waiting, and
  // keeps the process to be asked about; null when it was not created.
  virtual std::unique_ptr<ChildProcess> start(const std::string& commandLine, int windowMode) = 0;
};

}  // namespace platform
