#pragma once

// Update packages for the unpacker's tests: made by the real archivers at
// test time, or damaged on purpose byte by byte.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <map>
#include <vector>

namespace testing_support {

namespace fs = std::filesystem;

inline std::string readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

// Every file below `folder` with its bytes, by its path relative to it.
inline std::map<std::string, std::string> filesBelow(const fs::path& folder) {
  std::map<std::string, std::string> tree;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file())
      tree[fs::relative(entry.path(), folder).string()] = readBytes(entry.path());
  }
  return tree;
}

inline void writeBytes(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// Single quotes for the shell; names may hold any byte but NUL.
inline std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text)
    quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

inline void runShell(const std::string& command) {
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// Info-ZIP zip, entries in the order given (a name ending in "/" is a
// folder entry); the C locale keeps names as raw bytes, no UTF-8 flag.
inline void zipWithInfoZip(const fs::path& sourceDir, const fs::path& archive,
                           const std::vector<std::string>& names, const std::string& options = "") {
  std::string command = "cd " + shellQuoted(sourceDir.string()) + " && LC_ALL=C zip -q -X " +
                        options + " " + shellQuoted(archive.string());
  for (const std::string& name : names)
    command += " " + shellQuoted(name);
  runShell(command);
}

inline void zipWith7z(const fs::path& sourceDir, const fs::path& archive,
                      const std::vector<std::string>& names) {
  std::string command = "cd " + shellQuoted(sourceDir.string()) + " && 7z a -tzip -bd -bso0 " +
                        shellQuoted(archive.string());
  for (const std::string& name : names)
    command += " " + shellQuoted(name);
  runShell(command);
}

inline std::string toHex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex;
}

// Python's zipfile, entries in order: name (UTF-8 text; flagged UTF-8 when
// not ASCII) and content; stored or deflated.
inline void zipWithPython(const fs::path& archive,
                          const std::vector<std::pair<std::string, std::string>>& entries,
                          bool deflated = true) {
  const fs::path script = archive.string() + ".py";
  std::string source = "import sys, zipfile\n";
  source += "z = zipfile.ZipFile(sys.argv[1], 'w', zipfile.";
  source += deflated ? "ZIP_DEFLATED" : "ZIP_STORED";
  source += ")\n";
  for (const auto& [name, content] : entries) {
    source += "z.writestr(bytes.fromhex('" + toHex(name) + "').decode('utf-8'), bytes.fromhex('" +
              toHex(content) + "'))\n";
  }
  source += "z.close()\n";
  writeBytes(script, source);
  runShell("/usr/bin/python3 " + shellQuoted(script.string()) + " " +
           shellQuoted(archive.string()));
}

inline std::uint32_t readLittle(const std::string& bytes, std::size_t at, int width) {
  std::uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i)
    value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

inline void writeLittle(std::string& bytes, std::size_t at, int width, std::uint32_t value) {
  for (int i = 0; i < width; ++i)
    bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

struct StoredEntry {
  std::size_t localHeader;
  std::size_t centralHeader;
  std::size_t dataStart;
  std::uint32_t compressedSize;
};

// Finds the local and central records of the entry called `name`.
inline StoredEntry locateEntry(const std::string& archive, const std::string& name) {
  StoredEntry entry{};
  const std::string local = std::string("PK\x03\x04", 4);
  const std::string central = std::string("PK\x01\x02", 4);
  for (std::size_t at = archive.find(local); at != std::string::npos;
       at = archive.find(local, at + 1)) {
    const std::uint32_t nameLength = readLittle(archive, at + 26, 2);
    if (archive.compare(at + 30, nameLength, name) == 0) {
      entry.localHeader = at;
      entry.dataStart = at + 30 + nameLength + readLittle(archive, at + 28, 2);
      entry.compressedSize = readLittle(archive, at + 18, 4);
      break;
    }
  }
  for (std::size_t at = archive.find(central); at != std::string::npos;
       at = archive.find(central, at + 1)) {
    const std::uint32_t nameLength = readLittle(archive, at + 28, 2);
    if (archive.compare(at + 46, nameLength, name) == 0) {
      entry.centralHeader = at;
      break;
    }
  }
  return entry;
}

}  // namespace testing_support
