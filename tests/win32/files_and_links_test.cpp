// Why a change to a file failed, and the shell links the launcher writes
// and reads back, on the real API: the update tells a file the game holds
// from one that is missing by these codes, and finds its shortcut by these
// links.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/win32/win32_services.h"
#include "tests/win32/scratch_folder.h"

namespace {

constexpr std::uint32_t kFileNotFound = 2;
constexpr std::uint32_t kPathNotFound = 3;
constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kSharingViolation = 32;
constexpr std::uint32_t kFileExists = 80;
constexpr std::uint32_t kAlreadyExists = 183;

void write(const std::string& path, const std::string& bytes) {
  auto file = platform::win32::files().create(path);
  ASSERT_NE(file, nullptr) << path;
  ASSERT_TRUE(file->write(bytes.data(), bytes.size()));
}

// Opened as a game opens a data file it keeps: shared with nobody.
class HeldOpen {
 public:
  explicit HeldOpen(const std::string& path)
      : handle_(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
  ~HeldOpen() {
    if (handle_ != INVALID_HANDLE_VALUE)
      CloseHandle(handle_);
  }
  HeldOpen(const HeldOpen&) = delete;
  HeldOpen& operator=(const HeldOpen&) = delete;
  bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

class Win32LastError : public ::testing::Test {
 protected:
  test::ScratchFolder folder_{"tavoro-last-error"};
  platform::Files& files_ = platform::win32::files();
  std::string a_ = folder_.path() + "\\a.pak";
  std::string b_ = folder_.path() + "\\b.pak";
};

TEST_F(Win32LastError, AFileAnotherHandleHoldsWithoutSharingIsASharingViolation) {
  ASSERT_NO_FATAL_FAILURE(write(a_, "new"));
  ASSERT_NO_FATAL_FAILURE(write(b_, "old"));
  {
    const HeldOpen target(b_);
    ASSERT_TRUE(target.held());
    EXPECT_FALSE(files_.replace(a_, b_));
    EXPECT_EQ(files_.lastError(), kSharingViolation) << "replacing the held file";
    EXPECT_FALSE(files_.remove(b_));
    EXPECT_EQ(files_.lastError(), kSharingViolation) << "removing it";
  }
  {
    const HeldOpen source(a_);
    ASSERT_TRUE(source.held());
    EXPECT_FALSE(files_.move(a_, folder_.path() + "\\c.pak"));
    EXPECT_EQ(files_.lastError(), kSharingViolation) << "moving the held file away";
    EXPECT_FALSE(files_.replace(a_, b_));
    EXPECT_EQ(files_.lastError(), kSharingViolation) << "replacing with the held file";
  }
  // A folder in the way is refused for what it is: held by nobody.
  const std::string folder = folder_.path() + "\\folder";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  EXPECT_FALSE(files_.replace(a_, folder));
  EXPECT_EQ(files_.lastError(), kAccessDenied) << "replacing a folder";
  // Nothing changed, and once let go the replace goes through.
  EXPECT_EQ(files_.readAll(b_), base::Bytes({'o', 'l', 'd'}));
  EXPECT_TRUE(files_.replace(a_, b_));
  EXPECT_EQ(files_.readAll(b_), base::Bytes({'n', 'e', 'w'}));
}

TEST_F(Win32LastError, MovingOntoAnExistingNameSaysItExists) {
  ASSERT_NO_FATAL_FAILURE(write(a_, "a"));
  ASSERT_NO_FATAL_FAILURE(write(b_, "b"));
  EXPECT_FALSE(files_.move(a_, b_));
  // Windows gives 183 here; Wine 8 as well.
  EXPECT_EQ(files_.lastError(), kAlreadyExists);
  EXPECT_EQ(files_.createNew(b_), nullptr);
  EXPECT_EQ(files_.lastError(), kFileExists) << "createNew onto an existing name";
  EXPECT_EQ(files_.readAll(b_), base::Bytes({'b'}));
}

TEST_F(Win32LastError, AMissingFileOrFolderIsNotFound) {
  const std::string missing = folder_.path() + "\\missing.pak";
  EXPECT_FALSE(files_.remove(missing));
  EXPECT_EQ(files_.lastError(), kFileNotFound) << "remove";
  EXPECT_FALSE(files_.move(missing, a_));
  EXPECT_EQ(files_.lastError(), kFileNotFound) << "move";
  EXPECT_FALSE(files_.replace(missing, a_));
  EXPECT_EQ(files_.lastError(), kFileNotFound) << "replace";
  EXPECT_EQ(files_.create(folder_.path() + "\\no folder\\a.pak"), nullptr);
  EXPECT_EQ(files_.lastError(), kPathNotFound) << "create in a missing folder";
}

// The room the disk has left, for the update's check: told for a folder
// with or without its separator, never for a folder that is not there.
TEST_F(Win32LastError, TheDisksRoomIsToldForAFolderThatExists) {
  const std::int64_t room = files_.availableSpace(folder_.path());
  EXPECT_GT(room, 0);
  // Others write meanwhile: the same disk within 64 MiB.
  EXPECT_NEAR(static_cast<double>(files_.availableSpace(folder_.path() + "\\")),
              static_cast<double>(room), 64.0 * 1024 * 1024);
  EXPECT_EQ(files_.availableSpace(folder_.path() + "\\missing folder"), -1);
}

class Win32Shortcut : public ::testing::Test {
 protected:
  test::ScratchFolder folder_{"tavoro-links"};
  platform::Shell& shell_ = platform::win32::shell();
};

TEST_F(Win32Shortcut, TheTargetReadBackIsTheOneWritten) {
  const std::string game = folder_.make("星海 漫游VR\\launcher.exe");
  ASSERT_NO_FATAL_FAILURE(write(game, "MZ"));
  const std::string link = folder_.path() + "\\星海漫游VR -塔沃VR游戏.lnk";
  ASSERT_TRUE(shell_.createShortcut(link, game));
  EXPECT_EQ(shell_.shortcutTarget(link), game);

  // Written again over the first: the new target.
  const std::string other = folder_.path() + "\\other.exe";
  ASSERT_NO_FATAL_FAILURE(write(other, "MZ"));
  ASSERT_TRUE(shell_.createShortcut(link, other));
  EXPECT_EQ(shell_.shortcutTarget(link), other);

  // The path as written, whether or not its file is still there.
  ASSERT_TRUE(DeleteFileA(other.c_str()));
  EXPECT_EQ(shell_.shortcutTarget(link), other);
}

TEST_F(Win32Shortcut, NoTargetForAMissingLinkOrAFileThatIsNoLink) {
  EXPECT_EQ(shell_.shortcutTarget(folder_.path() + "\\missing.lnk"), "");
  EXPECT_EQ(shell_.shortcutTarget(folder_.path()), "") << "a folder";
  const std::string text = folder_.path() + "\\notes.lnk";
  ASSERT_NO_FATAL_FAILURE(write(text, "[InternetShortcut]\r\nURL=http://example.invalid/\r\n"));
  EXPECT_EQ(shell_.shortcutTarget(text), "");
  const std::string empty = folder_.path() + "\\empty.lnk";
  ASSERT_NO_FATAL_FAILURE(write(empty, ""));
  EXPECT_EQ(shell_.shortcutTarget(empty), "");
}

}  // namespace
