#pragma once

// A finished package read and mended in place at given offsets, past 4 GiB
// too.

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "publisher/native_files.h"
#include "publisher/refusal.h"

namespace publisher {

class ArchiveBytes {
 public:
  explicit ArchiveBytes(const std::string& path)
      : file_(nativePath(path), std::ios::in | std::ios::out | std::ios::binary) {
    if (!file_)
      throw Refusal("cannot open " + path);
  }

  std::uint64_t size() {
    file_.seekg(0, std::ios::end);
    const std::streamoff end = file_.tellg();
    if (!file_ || end < 0)
      throw Refusal("cannot read the package back");
    return static_cast<std::uint64_t>(end);
  }
  std::vector<std::uint8_t> read(std::uint64_t offset, std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    file_.seekg(static_cast<std::streamoff>(offset));
    if (!file_.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count)))
      throw Refusal("cannot read the package back");
    return bytes;
  }
  void write(std::uint64_t offset, const std::uint8_t* bytes, std::size_t count) {
    file_.seekp(static_cast<std::streamoff>(offset));
    if (!file_.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(count)))
      throw Refusal("cannot mend the package");
  }
  void close() {
    file_.close();
    if (!file_)
      throw Refusal("cannot mend the package");
  }

 private:
  std::fstream file_;  // streamoff is 64 bits on both systems
};

}  // namespace publisher
