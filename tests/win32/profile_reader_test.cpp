// The real Windows services, where only the real API can tell: the profile
// reader's rules, file search, the run directory, named events.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "core/config.h"
#include "core/program.h"
#include "platform/win32/win32_services.h"

namespace {

class Win32Services : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    dir_ = std::string(temp) + "tavoro-services-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(dir_.c_str(), nullptr);
  }
  void TearDown() override {
    for (const char* name : {"\\a.ini", "\\PIC.JPG", "\\b.jpg", "\\c.png"}) {
      DeleteFileA((dir_ + name).c_str());
    }
    RemoveDirectoryA((dir_ + "\\folder.jpg").c_str());
    RemoveDirectoryA(dir_.c_str());
  }

  std::string write(const char* name, const std::string& bytes) {
    const std::string path = dir_ + name;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return path;
  }

  std::string dir_;
};

TEST_F(Win32Services, ProfileReaderFollowsTheIniRules) {
  const std::string ini = write("\\a.ini",
                                "[HTTP]\r\n"
                                "HOME = http://example.invalid/  \r\n"
                                "video=\"quoted\"\r\n"
                                "[name]\r\n"
                                "name1=\xD0\xC7\xBA\xA3\r\n"
                                "name1=second\r\n"
                                "[url]\r\n"
                                "url2=" +
                                    std::string(12000, 'x') + "\r\n");
  EXPECT_EQ(core::readProfileValue(platform::win32::profileReader(), ini, "http", "Home"),
            "http://example.invalid/");
  EXPECT_EQ(core::readProfileValue(platform::win32::profileReader(), ini, "http", "video"),
            "quoted");
  EXPECT_EQ(core::readProfileValue(platform::win32::profileReader(), ini, "name", "name1"),
            "\xD0\xC7\xBA\xA3");
  EXPECT_EQ(core::readProfileValue(platform::win32::profileReader(), ini, "url", "url2").size(),
            10239u);
  EXPECT_EQ(core::readProfileValue(platform::win32::profileReader(), ini, "url", "missing"), "");
  EXPECT_EQ(core::readProfileValue(platform::win32::profileReader(), ini, "", "url2"), "");
  EXPECT_EQ(
      core::readProfileValue(platform::win32::profileReader(), dir_ + "\\none.ini", "url", "url2"),
      "");
  // Leading blanks and control characters in the names are skipped.
  EXPECT_EQ(
      core::readProfileValue(platform::win32::profileReader(), "  " + ini, " \tname", "\x01name1"),
      "\xD0\xC7\xBA\xA3");
}

TEST_F(Win32Services, FileSearchIgnoresCaseAndSkipsFolders) {
  write("\\PIC.JPG", "x");
  write("\\b.jpg", "y");
  write("\\c.png", "z");
  CreateDirectoryA((dir_ + "\\folder.jpg").c_str(), nullptr);
  auto names = platform::win32::files().findFiles(dir_ + "\\", "*.jpg");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"PIC.JPG", "b.jpg"}));
  auto& files = platform::win32::files();
  EXPECT_TRUE(files.exists(dir_));
  EXPECT_TRUE(files.exists(dir_ + "\\folder.jpg"));
  EXPECT_FALSE(files.exists(dir_ + "\\nothing"));
  EXPECT_EQ(files.readAll(dir_ + "\\b.jpg"), base::Bytes{'y'});
  EXPECT_TRUE(files.readAll(dir_ + "\\nothing").empty());
}

TEST_F(Win32Services, RunDirectoryAndExecutableNameComeFromTheModulePath) {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  auto& process = platform::win32::process();
  const std::string dir = process.runDirectory();
  const std::string exe = process.executableName();
  ASSERT_FALSE(dir.empty());
  EXPECT_NE(dir.back(), '\\');
  EXPECT_EQ(dir + "\\" + exe, std::string(path));
  EXPECT_EQ(exe, "profile_reader_test.exe");
}

TEST_F(Win32Services, NamedEventMarksAnInstance) {
  auto& events = platform::win32::namedEvents();
  const std::string name = "C:/tavoro/test/" + std::to_string(GetCurrentProcessId());
  using Marker = platform::NamedEvents::Marker;
  // One step creates the marker and tells a second copy it was there.
  EXPECT_EQ(events.createMarker(name), Marker::kCreated);
  EXPECT_EQ(events.createMarker(name), Marker::kAlreadyExisted);
}

}  // namespace
