#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "base/file_name.h"

namespace {

// An entry's folders and file name, each folder followed by "|".
std::string parts(const base::EntryPath& path) {
  std::string out;
  for (const std::string& folder : path.folders)
    out += folder + '|';
  return out + path.fileName;
}

// What an entry name splits into below the destination, or nothing when the
// launcher must refuse it.
TEST(EntryPath, SplitsSafeNamesAndRefusesWhatCouldEscapeOrOpenADevice) {
  const std::pair<std::string, std::optional<std::string>> rows[] = {
      {"a/b\\c.txt", "a|b|c.txt"},
      {"./a//b", "a|b"},
      {"dir/", "dir|"},
      {".", ""},
      {"a b", "a b"},
      {"a..", "a.."},
      // Lead byte 0x81-0xFE with trail 0x40-0xFE: the 0x5C after it is no
      // separator; 0x80 and 0xFF lead nothing, so their "\" splits.
      {"\x81\\x", "\x81\\x"},
      {"\xFE\\x", "\xFE\\x"},
      {"\x80\\x", "\x80|x"},
      {"\xFF\\x", "\xFF|x"},
      {"\x81@", "\x81@"},
      // 0x3A and 0x3F sit below the trail bytes: a ":" or "?" of its own.
      {"\x81:", std::nullopt},
      {"\x81?", std::nullopt},
      {"", std::nullopt},
      {"/x", std::nullopt},
      {"\\\\server\\share\\x", std::nullopt},
      {"../x", std::nullopt},
      {"a/../x", std::nullopt},
      {"a/. ./x", std::nullopt},
      {"...", std::nullopt},
      {"C:x", std::nullopt},
      {"a/b:stream", std::nullopt},
      {"x*", std::nullopt},
      {"x<", std::nullopt},
      {"x|", std::nullopt},
      {"x\"", std::nullopt},
      {"a\x1F", std::nullopt},
      {"a\t/b", std::nullopt},
      {"CON", std::nullopt},
      {"con.txt", std::nullopt},
      {"Nul /x", std::nullopt},
      {"COM1 .log", std::nullopt},
      {"lpt9", std::nullopt},
      {"CONOUT$", std::nullopt},
      {"COM0", "COM0"},
      {"LPT10", "LPT10"},
      {"CONSOLE", "CONSOLE"},
      {"xcon", "xcon"},
  };
  for (const auto& [name, expected] : rows) {
    const std::optional<base::EntryPath> path = base::parseEntryPath(name);
    ASSERT_EQ(path.has_value(), expected.has_value()) << name;
    if (path)
      EXPECT_EQ(parts(*path), *expected) << name;
  }
}

TEST(EntryPath, JoinedAndPlainNames) {
  struct Row {
    std::string name;
    bool joinedFile, plain;
  };
  const Row rows[] = {
      {"a", true, true},
      {"a\\b.txt", true, false},
      {"a/b.txt", false, false},
      {"a\\\\b", false, false},
      {".\\a", false, false},
      {"./x", false, false},
      {"a\\", false, false},
      {"", false, false},
      {".", false, false},
      {"..", false, false},
      {"CON", false, false},
      {"a:b", false, false},
      // One character whose second byte is 0x5C: a plain name.
      {"\x81\\", true, true},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(base::isJoinedFilePath(row.name), row.joinedFile) << row.name;
    EXPECT_EQ(base::isPlainFileName(row.name), row.plain) << row.name;
  }
}

}  // namespace
