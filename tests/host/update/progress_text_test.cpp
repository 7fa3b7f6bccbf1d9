#include <gtest/gtest.h>

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

TEST(ProgressCaptions, PercentSpeedAndSizes) {
  EXPECT_EQ(percentOf(999, 1000), 99);
  EXPECT_EQ(percentOf(1000, 1000), 100);
  EXPECT_EQ(percentOf(500, 0), 0);
  EXPECT_EQ(percentOf(1500, 1000), 150);
  EXPECT_EQ(percentOf(2147483647, 2147483647), 100);
  EXPECT_EQ(speedCaption(1023), "下载速度：0 KB\\s");
  EXPECT_EQ(speedCaption(2048), "下载速度：2 KB\\s");
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
