#include "update/package/entry_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

update::PackageDigest digestOf(unsigned char fill) {
  update::PackageDigest digest{};
  digest.fill(fill);
  return digest;
}

std::string base64Of(unsigned char fill) {
  return update::toBase64(digestOf(fill));
}

TEST(EntryList, KnownBytes) {
  const std::vector<update::ListedEntry> entries = {
      {"launcher.exe", 0, 0x1234, 0x5000, digestOf(1)},
      {"Data/关卡 1.pak", 0x1234, 0x10, 0, digestOf(2)},
      {"Data/", 0x1244, 0x27, 0, digestOf(3)},
  };
  const std::string text = update::composeEntryList(entries);
  EXPECT_EQ(text,
            "tavoro-entries/1\n"
            "0000000000000000 0000000000001234 0000000000005000 " +
                base64Of(1) +
                " 12:launcher.exe\n"
                "0000000000001234 0000000000000010 0000000000000000 " +
                base64Of(2) +
                " 15:Data/关卡 1.pak\n"
                "0000000000001244 0000000000000027 0000000000000000 " +
                base64Of(3) + " 5:Data/\n");
  EXPECT_EQ(update::parseEntryList(text), entries);
  // The length does not depend on the numbers: a placeholder of zeros is
  // as long as the list it stands for.
  std::vector<update::ListedEntry> large = entries;
  large[0].offset = 0xFFFFFFFFFFFF0000u;
  large[0].span = 0xFFFF;
  EXPECT_EQ(update::composeEntryList(large).size(), text.size());
  EXPECT_EQ(update::parseEntryList(update::composeEntryList(large)), large);
  EXPECT_EQ(update::parseEntryList("tavoro-entries/1\n"), std::vector<update::ListedEntry>{});
}

TEST(EntryList, WhatIsNoList) {
  const std::string header = "tavoro-entries/1\n";
  const std::string line =
      "0000000000000010 0000000000000020 0000000000000030 " + base64Of(7) + " 3:a b\n";
  ASSERT_TRUE(update::parseEntryList(header + line));
  const std::string d = base64Of(7);
  const struct {
    const char* what;
    std::string text;
  } rows[] = {
      {"another header", "tavoro-entries/2\n" + line},
      {"no header", line},
      {"no line end at the last line", header + line.substr(0, line.size() - 1)},
      {"upper-case hex",
       header + "00000000000000A0 0000000000000020 0000000000000030 " + d + " 3:a b\n"},
      {"short number", header + "10 0000000000000020 0000000000000030 " + d + " 3:a b\n"},
      {"a span of 0",
       header + "0000000000000010 0000000000000000 0000000000000030 " + d + " 3:a b\n"},
      {"a span past 64 bits",
       header + "fffffffffffffff0 0000000000000011 0000000000000030 " + d + " 3:a b\n"},
      {"a digest cut short",
       header + "0000000000000010 0000000000000020 0000000000000030 " + d.substr(4) + " 3:a b\n"},
      {"a name longer than its length",
       header + "0000000000000010 0000000000000020 0000000000000030 " + d + " 2:a b\n"},
      {"a name past the end",
       header + "0000000000000010 0000000000000020 0000000000000030 " + d + " 9:a b\n"},
      {"an empty name",
       header + "0000000000000010 0000000000000020 0000000000000030 " + d + " 0:\n"},
      {"two blanks",
       header + "0000000000000010  0000000000000020 0000000000000030 " + d + " 3:a b\n"},
      {"a trailing line", header + line + "\n"},
  };
  for (const auto& row : rows)
    EXPECT_FALSE(update::parseEntryList(row.text)) << row.what;
  // The size limit: a list just past it is refused unread.
  std::string huge = header;
  while (huge.size() <= update::kMaxEntryListBytes)
    huge += line;
  EXPECT_FALSE(update::parseEntryList(huge));
}

TEST(EntryList, PlaceOnThePage) {
  const update::EntryListPlace place{5000000000u, 1234, digestOf(9)};
  const std::string text = update::entryListPlaceText(place);
  EXPECT_EQ(text, "5000000000 1234 " + base64Of(9));
  EXPECT_EQ(update::parseEntryListPlace(text), place);
  const std::string d = base64Of(9);
  const struct {
    std::string text;
    bool parses;
  } rows[] = {
      {"0 1 " + d, true},
      {"0 " + std::to_string(update::kMaxEntryListBytes) + " " + d, true},
      {"0 " + std::to_string(update::kMaxEntryListBytes + 1) + " " + d, false},
      {"0 0 " + d, false},
      {"18446744073709551615 1 " + d, false},
      {"18446744073709551614 1 " + d, true},
      {"-1 1 " + d, false},
      {"+1 1 " + d, false},
      {" 1 1 " + d, false},
      {" 1 " + d, false},
      {"1  1 " + d, false},
      {"1 1 " + d + " ", false},
      {"1 1 " + d.substr(0, 40) + "\n" + d.substr(40), false},
      {"1 1", false},
      {"1 1 ", false},
      {"", false},
  };
  for (const auto& row : rows)
    EXPECT_EQ(update::parseEntryListPlace(row.text).has_value(), row.parses) << row.text;
}

}  // namespace
