#include <gtest/gtest.h>

#include <string>

#include "base/path.h"

namespace {

TEST(Paths, LastComponentFollowsTheLastSeparatorOrColonWithSomethingAfterIt) {
  const std::pair<std::string, std::string> rows[] = {
      {"C:\\a\\b.txt", "b.txt"}, {"C:b", "b"},      {"a/b/", "b/"}, {"a\\\\b", "b"},
      {"\x81\\x", "\x81\\x"},    {"\x80\\x", "x"},  {"", ""},       {"name", "name"},
      {"C:\\", "C:\\"},          {"d\\e:\\f", "f"},
  };
  for (const auto& [path, last] : rows)
    EXPECT_EQ(base::lastPathComponent(path), last) << path;
}

TEST(Paths, FullFilePathNeedsADriveLetterAColonSeparatorAndAFileName) {
  const std::pair<std::string, bool> rows[] = {
      {"C:\\a.txt", true},
      {"c:/a", true},
      {"A:\\a", true},
      {"z:\\a", true},
      {"Z:\\a", true},
      // A name ending in a character whose second byte is 0x5C is a file.
      {"C:\\\x81\\", true},
      {"C:\\dir\\", false},
      {"C:\\dir/", false},
      {"C:\\", false},
      {"C:a", false},
      {"Ca", false},
      {"", false},
      {"1:\\a", false},
      {"@:\\a", false},
      {"[:\\a", false},
      {"`:\\a", false},
      {"{:\\a", false},
  };
  for (const auto& [path, full] : rows)
    EXPECT_EQ(base::isFullFilePath(path), full) << path;
}

TEST(Paths, NumberGoesBeforeTheLastDotOfTheLastComponent) {
  struct Row {
    std::string path;
    int number;
    std::string numbered;
  };
  const Row rows[] = {
      {"a.txt", 1, "a(1).txt"},
      {"a", 2, "a(2)"},
      {"a.b.c", 3, "a.b(3).c"},
      {"dir.d\\a", 1, "dir.d\\a(1)"},
      {"dir.d/a", 1, "dir.d/a(1)"},
      {".x", 1, "(1).x"},
      {"d\\.x", 1, "d\\(1).x"},
      {"C:\\Game\\Ride.exe", 12, "C:\\Game\\Ride(12).exe"},
      // By the text rule "\xB0." and "\xB0\\" are characters: no dot, no
      // separator.
      {"\xB0.", 1, "\xB0.(1)"},
      {"a.\xB0\\b", 1, "a(1).\xB0\\b"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(base::numberedFileName(row.path, row.number), row.numbered) << row.path;
}

TEST(Paths, JoinUsesOneBackslash) {
  EXPECT_EQ(base::joinPath("C:\\Game", "a\\b.txt"), "C:\\Game\\a\\b.txt");
  EXPECT_EQ(base::joinPath("", "x"), "\\x");
}

}  // namespace
