#include "update/package/fetch_plan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>

#include "tests/host/test_support.h"
#include "update/download/download_resume.h"
#include "update/partial_update.h"

namespace testing_support {
namespace {

using update::ByteSpan;

TEST(JoinSpans, AdjacentOverlappingEmptyAndBounded) {
  const struct {
    const char* what;
    std::vector<ByteSpan> spans;
    std::size_t most;
    std::vector<ByteSpan> joined;
  } rows[] = {
      {"none", {}, 32, {}},
      {"one", {{10, 5}}, 32, {{10, 5}}},
      {"touching", {{10, 5}, {15, 5}}, 32, {{10, 10}}},
      {"a byte apart", {{10, 5}, {16, 5}}, 32, {{10, 5}, {16, 5}}},
      {"overlapping", {{10, 10}, {15, 10}}, 32, {{10, 15}}},
      {"inside another", {{10, 20}, {12, 3}}, 32, {{10, 20}}},
      {"unsorted", {{50, 5}, {10, 5}, {30, 5}}, 32, {{10, 5}, {30, 5}, {50, 5}}},
      {"empty spans go", {{10, 0}, {20, 5}, {40, 0}}, 32, {{20, 5}}},
      {"the same twice", {{10, 5}, {10, 5}}, 32, {{10, 5}}},
      // Over the bound: the narrowest gap is filled first.
      {"bounded to two", {{0, 10}, {100, 10}, {115, 10}}, 2, {{0, 10}, {100, 25}}},
      {"bounded to one", {{0, 10}, {100, 10}, {115, 10}}, 1, {{0, 125}}},
      {"a bound of 0 is 1", {{0, 10}, {20, 10}}, 0, {{0, 30}}},
      {"equal gaps: the first", {{0, 10}, {20, 10}, {40, 10}}, 2, {{0, 30}, {40, 10}}},
      {"up to the last byte",
       {{0xFFFFFFFFFFFFFFF0u, 0xF}, {0xFFFFFFFFFFFFFFE0u, 0x10}},
       32,
       {{0xFFFFFFFFFFFFFFE0u, 0x1F}}},
  };
  for (const auto& row : rows)
    EXPECT_EQ(update::joinSpans(row.spans, row.most), row.joined) << row.what;
}

TEST(JoinSpans, PiecesFollowOneAnother) {
  const std::vector<update::ArchivePiece> pieces =
      update::piecesOf({{100, 10}, {500, 7}, {900, 1}});
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[0].fileOffset, 0u);
  EXPECT_EQ(pieces[1].fileOffset, 10u);
  EXPECT_EQ(pieces[2].fileOffset, 17u);
  EXPECT_EQ(pieces[2].packageOffset, 900u);
  // Outside the parts: how far the gap runs, to the next part or to the
  // end of 64 bits.
  const std::uint64_t end = std::numeric_limits<std::uint64_t>::max();
  const struct {
    std::uint64_t at;
    bool held;
    std::uint64_t fileOffset;
    std::uint64_t available;
  } rows[] = {{0, false, 0, 100},        {99, false, 0, 1},    {100, true, 0, 10},
              {109, true, 9, 1},         {110, false, 0, 390}, {500, true, 10, 7},
              {506, true, 16, 1},        {507, false, 0, 393}, {900, true, 17, 1},
              {901, false, 0, end - 901}};
  for (const auto& row : rows) {
    const update::PieceHit hit = update::findPiece(pieces, row.at);
    EXPECT_EQ(hit.held, row.held) << row.at;
    EXPECT_EQ(hit.fileOffset, row.fileOffset) << row.at;
    EXPECT_EQ(hit.available, row.available) << row.at;
  }
}

TEST(PartsToFetch, TheChosenEntriesAndTheDirectory) {
  const std::vector<update::ListedEntry> entries = {
      {"a", 0, 100, 1, {}}, {"b", 100, 50, 1, {}}, {"c", 150, 30, 1, {}}, {"d", 180, 20, 1, {}}};
  // The list lies at 230..330, the directory from there to the end (400).
  const update::EntryListPlace place{230, 100, {}};
  const struct {
    const char* what;
    std::vector<std::size_t> wanted;
    std::vector<ByteSpan> parts;
  } rows[] = {
      {"every entry", {0, 1, 2, 3}, {{0, 200}, {330, 70}}},
      {"none: the directory alone", {}, {{330, 70}}},
      {"two apart", {0, 2}, {{0, 100}, {150, 30}, {330, 70}}},
      {"neighbours joined", {1, 2}, {{100, 80}, {330, 70}}},
  };
  for (const auto& row : rows)
    EXPECT_EQ(update::partsToFetch(entries, row.wanted, place, 400), row.parts) << row.what;
  // A list that runs to the package's end leaves no directory to fetch.
  EXPECT_EQ(update::partsToFetch(entries, {3}, {300, 100, {}}, 400),
            (std::vector<ByteSpan>{{180, 20}}));
}

TEST(RangeAnswer, OnlyExactlyThePartAskedFor) {
  const auto head = [](int status, std::int64_t first, std::int64_t last, std::int64_t length,
                       const std::string& etag = {}) {
    update::ResponseHead h;
    h.status = status;
    h.contentRange = update::ContentRange{first, last, 1000};
    h.contentLength = length;
    h.etag = etag;
    return h;
  };
  const struct {
    const char* what;
    update::ResponseHead head;
    std::string validator;
    bool answers;
  } rows[] = {
      {"as asked", head(206, 100, 199, 100), "", true},
      {"from the first byte", head(206, 0, 99, 100), "", true},
      {"the whole file", head(200, 100, 199, 100), "", false},
      {"another start", head(206, 101, 199, 99), "", false},
      {"another end", head(206, 100, 198, 99), "", false},
      {"a length that disagrees", head(206, 100, 199, 99), "", false},
      {"the same version", head(206, 100, 199, 100, "\"v1\""), "\"v1\"", true},
      {"another version", head(206, 100, 199, 100, "\"v2\""), "\"v1\"", false},
      {"no validator named", head(206, 100, 199, 100), "\"v1\"", true},
  };
  for (const auto& row : rows) {
    const std::uint64_t first = static_cast<std::uint64_t>(row.head.contentRange->first);
    EXPECT_EQ(
        update::answersRange(row.head, first == 0 ? 0 : 100, first == 0 ? 99 : 199, row.validator),
        row.answers)
        << row.what;
  }
  update::ResponseHead noRange = head(206, 100, 199, 100);
  noRange.contentRange.reset();
  EXPECT_FALSE(update::answersRange(noRange, 100, 199, ""));
  update::ResponseHead chunked = head(206, 100, 199, 100);
  chunked.chunked = true;
  EXPECT_FALSE(update::answersRange(chunked, 100, 199, ""));
  update::ResponseHead noLength = head(206, 100, 199, 100);
  noLength.contentLength.reset();
  EXPECT_FALSE(update::answersRange(noLength, 100, 199, ""));
}

class EntriesToFetchTest : public LauncherTest {
 protected:
  void put(const std::string& relative, const std::string& bytes) {
    const std::filesystem::path file = runDir() / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
  }
  static update::ListedEntry listed(const std::string& name, const std::string& content) {
    return {name, 0, 1, content.size(), update::digestOfBytes(content)};
  }
};

// Sizes first, then digests; each file of the right size read once.
TEST_F(EntriesToFetchTest, WhatTheFolderLacks) {
  put("same.txt", "unchanged");
  put("Data/changed.pak", "old bytes");  // the same size as the new ones
  put("shorter.bin", "abc");
  put("Data/empty", "");
  std::filesystem::create_directories(runDir() / "folder");
  std::filesystem::create_directories(runDir() / "a folder, not a file");
  const std::vector<update::ListedEntry> entries = {
      listed("same.txt", "unchanged"), listed("Data/changed.pak", "new bytes"),
      listed("shorter.bin", "abcd"),   listed("missing.txt", "x"),
      listed("Data/empty", ""),        listed("folder/", ""),
      listed("no folder yet/", ""),    listed("a folder, not a file", "x"),
      listed("../outside.txt", "x"),
  };
  std::vector<std::pair<std::uint64_t, std::uint64_t>> reports;
  const std::vector<std::size_t> wanted = update::entriesToFetch(
      os.files, runDir().string(), entries,
      [&](std::uint64_t done, std::uint64_t total) { reports.emplace_back(done, total); });
  EXPECT_EQ(wanted, (std::vector<std::size_t>{1, 2, 3, 6, 7, 8}));
  // Read: "unchanged", "old bytes" and the empty file: 18 bytes.
  ASSERT_FALSE(reports.empty());
  using Report = std::pair<std::uint64_t, std::uint64_t>;
  EXPECT_EQ(reports.front(), Report(0, 18));
  EXPECT_EQ(reports.back(), Report(18, 18));
  for (std::size_t i = 1; i < reports.size(); ++i)
    EXPECT_LE(reports[i - 1].first, reports[i].first);
}

TEST_F(EntriesToFetchTest, NoneOrEveryEntry) {
  put("a.txt", "a");
  put("b.txt", "b");
  const std::vector<update::ListedEntry> same = {listed("a.txt", "a"), listed("b.txt", "b")};
  const auto quiet = [](std::uint64_t, std::uint64_t) {};
  EXPECT_TRUE(update::entriesToFetch(os.files, runDir().string(), same, quiet).empty());
  const std::vector<update::ListedEntry> other = {listed("a.txt", "A"), listed("b.txt", "B")};
  EXPECT_EQ(update::entriesToFetch(os.files, runDir().string(), other, quiet),
            (std::vector<std::size_t>{0, 1}));
  EXPECT_TRUE(update::entriesToFetch(os.files, runDir().string(), {}, quiet).empty());
}

}  // namespace
}  // namespace testing_support
