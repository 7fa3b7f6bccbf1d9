#pragma once

// Opening addresses and files, the desktop, shell links.

#include <string>

namespace platform {

class Shell {
 public:
  virtual ~Shell() = default;
  // Opens a web address, file or folder with its registered handler ("open").
  virtual void open(const std::string& target) = 0;
  virtual std::string desktopDirectory() = 0;
  // Writes a shell link at `linkPath` pointing at `targetPath`, replacing one.
  virtual bool createShortcut(const std::string& linkPath, const std::string& targetPath) = 0;
  // The path the shell link at `linkPath` points at; empty when there is
  // no link there or it cannot be read.
  virtual std::string shortcutTarget(const std::string& linkPath) = 0;
};

}  // namespace platform
