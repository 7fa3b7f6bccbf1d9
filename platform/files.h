#pragma once

// Files and folders.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/bytes.h"

namespace platform {

// A file being written; closed when destroyed.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual bool write(const void* data, std::size_t size) = 0;
  // Hands what was written to the disk; false when it may not all be there.
  virtual bool flush() = 0;
  // Flushes and closes; false when the data may not all have reached the disk.
  virtual bool close() = 0;
};

// A file being read from its start; closed when destroyed.
class InputFile {
 public:
  virtual ~InputFile() = default;
  // Up to `size` bytes; 0 at the end of the file, -1 on an error.
  virtual long read(void* buffer, std::size_t size) = 0;
};

// Attributes for Files::setAttributes.
inline constexpr unsigned kNormalFileAttributes = 0x80;  // FILE_ATTRIBUTE_NORMAL
// Read-only, hidden, system and archive all cleared.
inline constexpr unsigned kClearedFileAttributes = 0;

class Files {
 public:
  virtual ~Files() = default;
  // True when a file or directory of that name exists.
  virtual bool exists(const std::string& path) = 0;
  // The whole content; empty when the file cannot be read.
  virtual base::Bytes readAll(const std::string& path) = 0;
  virtual bool remove(const std::string& path) = 0;
  virtual bool move(const std::string& from, const std::string& to) = 0;
  virtual bool setAttributes(const std::string& path, unsigned attributes) = 0;
  // Names (not paths) of the files in `directory` matching `pattern` ("*.jpg"),
  // directories skipped, in the order the system reports them.
  virtual std::vector<std::string> findFiles(const std::string& directory,
                                             const std::string& pattern) = 0;
  // Creates the file, or empties an existing one; null when it cannot.
  virtual std::unique_ptr<OutputFile> create(const std::string& path) = 0;
  // Creates the file only where none of that name exists; null otherwise.
  // Never empties or replaces anything.
  virtual std::unique_ptr<OutputFile> createNew(const std::string& path) = 0;
  // Opens an existing file for writing after its last byte; null when there
  // is none or it cannot be written.
  virtual std::unique_ptr<OutputFile> openForAppend(const std::string& path) = 0;
  // Opens the file for reading while others may go on writing, renaming or
  // deleting it; null when it cannot.
  virtual std::unique_ptr<InputFile> openForReading(const std::string& path) = 0;
  // One folder; true when it exists afterwards.
  virtual bool createDirectory(const std::string& path) = 0;
  virtual bool isDirectory(const std::string& path) = 0;
  // Moves `from` to `to`, replacing a file there.
  virtual bool replace(const std::string& from, const std::string& to) = 0;
  // Size in bytes; -1 when there is no such file.
  virtual std::int64_t size(const std::string& path) = 0;
  // True when both paths name one existing file, however each is spelled
  // (letter case, "." and "..", other separators): the file system decides.
  virtual bool sameFile(const std::string& a, const std::string& b) = 0;
  // One empty folder; false when it is not empty or cannot go.
  virtual bool removeDirectory(const std::string& path) = 0;
  // True when another program holds the file open so that it can be
  // neither moved nor deleted (the game running from it, say).
  virtual bool isInUse(const std::string& path) = 0;
  // The system's code for why this thread's last failed operation failed
  // (the Windows ERROR_ values: 5 access denied, 32 in use, 112 disk full).
  virtual std::uint32_t lastError() = 0;
  // Bytes this user may still write on the disk that holds `directory`;
  // -1 when the system cannot tell.
  virtual std::int64_t availableSpace(const std::string& directory) = 0;
};

}  // namespace platform
