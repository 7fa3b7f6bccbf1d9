// What launcher.exe carries as resources, read from the built executable
// beside this test: the pictures by name, the icon, the version record and
// the application manifest.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "ui/image.h"
#include "ui/win32/resources.h"

namespace {

std::string launcherPath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  dir.resize(dir.find_last_of("\\/") + 1);
  return dir + "launcher.exe";
}

class LauncherResources : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExA(launcherPath().c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr) << launcherPath();
  }
  void TearDown() override {
    if (module_ != nullptr)
      FreeLibrary(module_);
  }

  ui::Image picture(const char* name) const {
    return ui::decodePicture(ui::win32::resourceBytes(module_, name));
  }

  HMODULE module_ = nullptr;
};

TEST_F(LauncherResources, PicturesDecodeAtTheirFixedSizes) {
  struct Expected {
    const char* name;
    int width;
    int height;
  };
  for (const Expected& e :
       {Expected{"BACKGROUND", 600, 370}, Expected{"BANNER", 601, 142},
        Expected{"MIN_NORMAL", 20, 20}, Expected{"MIN_HOVER", 20, 20},
        Expected{"CLOSE_NORMAL", 20, 20}, Expected{"CLOSE_HOVER", 20, 20},
        Expected{"START_NORMAL", 140, 40}, Expected{"START_PRESSED", 140, 40}}) {
    const ui::Image image = picture(e.name);
    EXPECT_EQ(image.width, e.width) << e.name;
    EXPECT_EQ(image.height, e.height) << e.name;
  }
  EXPECT_TRUE(ui::win32::resourceBytes(module_, "NO_SUCH_PICTURE").empty());
}

TEST_F(LauncherResources, DefaultIconIsOne128PixelImage) {
  // Size 0 without LR_DEFAULTSIZE: the image as stored.
  auto icon = static_cast<HICON>(LoadImageA(module_, "DEFAULT_ICON", IMAGE_ICON, 0, 0, 0));
  ASSERT_NE(icon, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP colour{};
  ASSERT_NE(info.hbmColor, nullptr);
  GetObjectA(info.hbmColor, sizeof colour, &colour);
  EXPECT_EQ(colour.bmWidth, 128);
  EXPECT_EQ(colour.bmHeight, 128);
  EXPECT_EQ(colour.bmBitsPixel, 32);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  DestroyIcon(icon);
}

using GetInfoSize = DWORD(WINAPI*)(LPCSTR, LPDWORD);
using GetInfo = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
using QueryValue = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);

TEST_F(LauncherResources, VersionRecordNamesTheProductInChinese) {
  HMODULE versionDll = LoadLibraryA("version.dll");
  ASSERT_NE(versionDll, nullptr);
  auto getSize = reinterpret_cast<GetInfoSize>(
      reinterpret_cast<void*>(GetProcAddress(versionDll, "GetFileVersionInfoSizeA")));
  auto getInfo = reinterpret_cast<GetInfo>(
      reinterpret_cast<void*>(GetProcAddress(versionDll, "GetFileVersionInfoA")));
  auto query = reinterpret_cast<QueryValue>(
      reinterpret_cast<void*>(GetProcAddress(versionDll, "VerQueryValueA")));
  ASSERT_TRUE(getSize && getInfo && query);

  const std::string path = launcherPath();
  DWORD ignored = 0;
  const DWORD size = getSize(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::string block(size, '\0');
  ASSERT_TRUE(getInfo(path.c_str(), 0, size, block.data()));

  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(query(block.data(), "\\", &value, &length));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00050000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00050000u);

  ASSERT_TRUE(query(block.data(), "\\VarFileInfo\\Translation", &value, &length));
  ASSERT_GE(length, 4u);
  const auto* translation = static_cast<const WORD*>(value);
  EXPECT_EQ(translation[0], 0x0804);
  EXPECT_EQ(translation[1], 936);

  for (const char* key : {"ProductName", "FileDescription"}) {
    const std::string queryPath = std::string("\\StringFileInfo\\080403A8\\") + key;
    ASSERT_TRUE(query(block.data(), queryPath.c_str(), &value, &length)) << key;
    EXPECT_STREQ(static_cast<const char*>(value), "塔沃VR游戏启动器") << key;
  }
  ASSERT_TRUE(query(block.data(), "\\StringFileInfo\\080403A8\\FileVersion", &value, &length));
  EXPECT_STREQ(static_cast<const char*>(value), "5.0.0.0");
  FreeLibrary(versionDll);
}

TEST_F(LauncherResources, ManifestAsksForCommonControls6AsInvoker) {
  HRSRC found = FindResourceA(module_, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_NE(found, nullptr);
  const auto* data = static_cast<const char*>(LockResource(LoadResource(module_, found)));
  ASSERT_NE(data, nullptr);
  const std::string manifest(data, SizeofResource(module_, found));
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
  EXPECT_NE(manifest.find("supportedOS"), std::string::npos);
}

}  // namespace
