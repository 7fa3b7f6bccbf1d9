#include "core/picture_file.h"

#include <filesystem>

#include "test_support.h"

namespace {

using PictureFileTest = testing_support::LauncherTest;

TEST_F(PictureFileTest, TheBudgetItselfIsReadOneByteMoreIsNot) {
  struct Row {
    std::int64_t size;
    bool read;
  };
  const Row rows[] = {
      {1, true},
      {core::kMaxPictureFileBytes, true},
      {core::kMaxPictureFileBytes + 1, false},
  };
  for (const Row& row : rows) {
    writeFile("tavoro/p.jpg", "\xFF\xD8");
    std::filesystem::resize_file(runDir() / "tavoro" / "p.jpg",
                                 static_cast<std::uintmax_t>(row.size));
    const base::Bytes bytes =
        core::readPictureFile(os.files, os.process.directory + "\\tavoro\\p.jpg");
    EXPECT_EQ(bytes.size(), row.read ? static_cast<std::size_t>(row.size) : 0u) << row.size;
  }
  EXPECT_TRUE(core::readPictureFile(os.files, os.process.directory + "\\tavoro\\none.jpg").empty());
}

}  // namespace
