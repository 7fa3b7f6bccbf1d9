#pragma once

// Reading INI files as the system's profile reader does.

#include <cstddef>
#include <string>

namespace platform {

class ProfileReader {
 public:
  virtual ~ProfileReader() = default;
  // The value of `key` in `section` of the INI file at `path`, read afresh,
  // at most `capacity - 1` bytes; empty when the file, section or key is missing.
  virtual std::string read(const std::string& path, const std::string& section,
                           const std::string& key, std::size_t capacity) = 0;
};

}  // namespace platform
