#include <gtest/gtest.h>

#include <limits>

#include "update/progress_text.h"
#include "update/version_page.h"

namespace {

using namespace update;

TEST(Megabytes, TwoDecimalsHalvesAwayFromZeroShortestText) {
  const std::pair<std::int64_t, std::string> cases[] = {
      {0, "0"},
      {1536000, "1.5"},
      {5 * 1024000, "5"},
      {1234534, "1.21"},         // 1.2056...
      {1024000 / 200, "0.01"},   // exactly half a hundredth: rounds up
      {1024000 / 200 - 1, "0"},  // just below half a hundredth
      {2 * 1024000, "2"},
      {2147483647, "2097.15"},
  };
  for (const auto& [bytes, text] : cases)
    EXPECT_EQ(megabytes(bytes), text) << bytes;
}

// Counts past 32 bits, and halves a double would round down (from a few
// hundred megabytes on, x / 1024000 * 100 is no longer exact).
TEST(Megabytes, ExactPastFourGibibytesAndUpToATebibyte) {
  constexpr std::int64_t kGiB = std::int64_t{1} << 30;
  const std::pair<std::int64_t, std::string> cases[] = {
      {std::int64_t{1} << 31, "2097.15"},
      {(std::int64_t{1} << 31) + 5119, "2097.16"},
      {(std::int64_t{1} << 32) - 1, "4194.3"},
      {std::int64_t{1} << 32, "4194.3"},
      {3 * kGiB, "3145.73"},
      {262169600, "256.03"},  // 25602.5 hundredths: up, not down
      {262169599, "256.02"},
      {1024000005120, "1000000.01"},
      {(std::int64_t{1} << 40) - 1, "1073741.82"},
      {std::int64_t{1} << 40, "1073741.82"},
      {10240 * std::int64_t{10000000000000} - 1, "100000000000"},
      // Halves away from zero below it too.
      {-1536000, "-1.5"},
      {-5120, "-0.01"},
      {-5119, "-0"},
      {std::numeric_limits<std::int64_t>::min(), "-9007199254741"},
  };
  for (const auto& [bytes, text] : cases)
    EXPECT_EQ(megabytes(bytes), text) << bytes;
  EXPECT_EQ(receivedCaption(3 * kGiB), "已下载：3145.73MB");
  EXPECT_EQ(sizeCaption(std::int64_t{1} << 40), "更新大小：1073741.82MB");
}

TEST(ProgressCaptions, PercentExactAroundThirtyTwoBitsAndATebibyte) {
  constexpr std::int64_t kGiB = std::int64_t{1} << 30;
  struct Row {
    std::int64_t received, total;
    std::int32_t percent;
  };
  const Row rows[] = {
      {29, 100, 29},  // a double makes 28.999...
      {29 * (std::int64_t{1} << 33), 100 * (std::int64_t{1} << 33), 29},
      {std::int64_t{1} << 31, std::int64_t{1} << 32, 50},
      {(std::int64_t{1} << 31) - 1, std::int64_t{1} << 31, 99},
      {(std::int64_t{1} << 32) - 1, std::int64_t{1} << 32, 99},
      {std::int64_t{1} << 32, std::int64_t{1} << 32, 100},
      {2576980378, 3 * kGiB, 80},  // 2.4 of 3 GiB
      {2576980377, 3 * kGiB, 79},
      {(std::int64_t{1} << 40) - 1, std::int64_t{1} << 40, 99},
      {std::int64_t{1} << 40, std::int64_t{1} << 40, 100},
      {(std::int64_t{1} << 31) + 1, std::int64_t{1} << 31, 100},
      {std::int64_t{3} << 31, std::int64_t{1} << 31, 300},
      // Totals so large that the rest's hundredfold would overflow.
      {(std::int64_t{1} << 61) + (std::int64_t{1} << 60), std::int64_t{1} << 61, 150},
      {std::numeric_limits<std::int64_t>::max(), 1, std::numeric_limits<std::int32_t>::max()},
      {1, 0, 0},
      {0, std::int64_t{1} << 40, 0},
  };
  for (const Row& row : rows)
    EXPECT_EQ(percentOf(row.received, row.total), row.percent)
        << row.received << " of " << row.total;
}

TEST(ProgressCaptions, PercentSpeedAndSizes) {
  EXPECT_EQ(percentOf(999, 1000), 99);
  EXPECT_EQ(percentOf(1000, 1000), 100);
  EXPECT_EQ(percentOf(500, 0), 0);
  EXPECT_EQ(percentOf(1500, 1000), 150);
  EXPECT_EQ(percentOf(2147483647, 2147483647), 100);
  EXPECT_EQ(speedCaption(1023), "下载速度：0 KB\\s");
  EXPECT_EQ(speedCaption(2048), "下载速度：2 KB\\s");
  EXPECT_EQ(speedCaption(std::int64_t{5} << 31), "下载速度：10485760 KB\\s");
  EXPECT_EQ(speedCaption(0), "下载速度：0 KB\\s");
  EXPECT_EQ(speedCaption(1024), "下载速度：1 KB\\s");
  EXPECT_EQ(speedCaption(-1024), "下载速度：-1 KB\\s");
  EXPECT_EQ(speedCaption(-1), "下载速度：-1 KB\\s");
  EXPECT_EQ(speedCaption(-1025), "下载速度：-2 KB\\s");
  EXPECT_EQ(receivedCaption(1024000), "已下载：1MB");
  EXPECT_EQ(sizeCaption(2 * 1024000), "更新大小：2MB");
  EXPECT_EQ(sizeCaption(0), "更新大小：0MB");
  EXPECT_EQ(percentCaption(50), "已下载：50%");
}

TEST(PackageFileName, LastPartOfTheAddress) {
  EXPECT_EQ(packageFileName("http://h/path/pkg.zip"), "pkg.zip");
  EXPECT_EQ(packageFileName("http://h/get?f=pkg.zip"), "get?f=pkg.zip");
  EXPECT_EQ(packageFileName("http://h/dir/"), "");
  EXPECT_EQ(packageFileName("pkg.zip"), "pkg.zip");
  EXPECT_EQ(packageFileName(""), "");
  // A two-byte character whose second byte is "/" (0x2F is no GBK trail
  // byte, but a lead byte must still carry its partner along).
  EXPECT_EQ(packageFileName("http://h/\xB0\x2F"
                            "x.zip"),
            "\xB0\x2F"
            "x.zip");
}

}  // namespace
