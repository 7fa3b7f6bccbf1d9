#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "base/cp936.h"
#include "base/values.h"

namespace {

// Widths by the text rule (any byte from 0x80 leads) and by what the code
// page decodes (lead 0x81-0xFE, trail 0x40-0xFE without 0x7F).
TEST(Cp936, CharacterWidthsAtTheEdgesOfLeadAndTrailBytes) {
  struct Row {
    std::string text;
    std::size_t at, textWidth, fileNameWidth;
  };
  const Row rows[] = {
      {"\x80@", 0, 2, 1}, {"\x81@", 0, 2, 2},    {"\xFE\xFE", 0, 2, 2}, {"\xFF@", 0, 2, 1},
      {"\x81?", 0, 2, 1}, {"\x81\x7F", 0, 2, 1}, {"\x81\x80", 0, 2, 2}, {"\x81\xFF", 0, 2, 1},
      {"\x7F@", 0, 1, 1}, {"\x81", 0, 1, 1},     {"a\x81@", 1, 2, 2},   {"\x81@", 1, 1, 1},
      {"a\x81", 1, 1, 1},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(base::characterWidth(row.text, row.at), row.textWidth) << row.text << row.at;
    EXPECT_EQ(base::fileNameCharacterWidth(row.text, row.at), row.fileNameWidth)
        << row.text << row.at;
  }
}

TEST(Cp936, AsciiCaseFoldsOnlySingleByteLetters) {
  const std::pair<std::string, std::string> rows[] = {
      {"Content-Length", "content-length"}, {"", ""}, {"@[`{", "@[`{"}, {"ETag", "etag"}};
  for (const auto& [a, b] : rows)
    EXPECT_TRUE(base::equalsIgnoringAsciiCase(a, b)) << a;
  const std::pair<std::string, std::string> different[] = {
      {"xb", "yb"}, {"ab", "abc"}, {"ab", "ac"}, {"@", "`"}, {"[", "{"}, {"a", ""}};
  for (const auto& [a, b] : different)
    EXPECT_FALSE(base::equalsIgnoringAsciiCase(a, b)) << a << " " << b;
  EXPECT_EQ(base::upperAscii("az@[`{\x81\x61z"), "AZ@[`{\x81\x61Z");
  EXPECT_EQ(base::lowerAscii("AZ@[`{\x81\x41Z"), "az@[`{\x81\x41z");
}

TEST(Cp936, HexDigitValues) {
  const std::pair<char, int> rows[] = {{'0', 0},  {'9', 9},  {'a', 10}, {'f', 15},   {'A', 10},
                                       {'F', 15}, {'g', -1}, {'G', -1}, {'/', -1},   {':', -1},
                                       {'@', -1}, {'`', -1}, {' ', -1}, {'\x80', -1}};
  for (const auto& [c, value] : rows)
    EXPECT_EQ(base::hexDigitValue(c), value) << c;
}

TEST(Values, SizesAboveTheLargest32BitIntegerStopThere) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  const std::pair<std::int64_t, std::int32_t> rows[] = {
      {0, 0},
      {kMax - 1, kMax - 1},
      {kMax, kMax},
      {kMax + 1, kMax},
      {std::int64_t{3} << 32, kMax},
      {std::numeric_limits<std::int64_t>::max(), kMax}};
  for (const auto& [value, clamped] : rows)
    EXPECT_EQ(base::clampToInt32(value), clamped) << value;
}

}  // namespace
