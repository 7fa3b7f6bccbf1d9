#pragma once

// A real Launch window for tests: pictures read from ui/images, events
// recorded instead of running the launcher's handlers, and helpers to pump
// messages and to read back what a window paints.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "tests/solid_image.h"
#include "ui/events.h"
#include "ui/image.h"
#include "ui/win32/launch_window.h"

namespace test {

struct RecordedEvent {
  std::string control;
  ui::Event event;
  ui::EventArgs args;
  // Whether the Launch window was on screen when the event ran, and how
  // many child windows it had then.
  bool windowShown;
  int childWindows;
};

inline std::vector<RecordedEvent>& recordedEvents() {
  static std::vector<RecordedEvent> events;
  return events;
}

inline ui::win32::LaunchWindow*& currentWindow() {
  static ui::win32::LaunchWindow* window = nullptr;
  return window;
}

inline BOOL CALLBACK countWindow(HWND, LPARAM count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

inline void recordEvent(std::string_view control, ui::Event event, const ui::EventArgs& args) {
  HWND window = currentWindow() != nullptr ? currentWindow()->handle() : nullptr;
  int children = 0;
  if (window != nullptr) {
    EnumChildWindows(window, &countWindow, reinterpret_cast<LPARAM>(&children));
  }
  recordedEvents().push_back({std::string(control), event, args,
                              window != nullptr && IsWindowVisible(window) != 0, children});
}

// Notes each event the window raises, with what the window looked like then.
struct RecordingSink final : ui::EventSink {
  void raise(std::string_view control, ui::Event event, const ui::EventArgs& args) override {
    recordEvent(control, event, args);
  }
};

// Windows path of a file of the source tree, which Wine reaches through Z:.
inline std::string sourcePath(const std::string& relative) {
  const char* root = std::getenv("TAVORO_SOURCE_DIR");
  std::string path = std::string(root != nullptr ? root : ".") + "/" + relative;
  if (!path.empty() && path[0] == '/')
    path = "Z:" + path;
  for (char& c : path) {
    if (c == '/')
      c = '\\';
  }
  return path;
}

inline base::Bytes readFile(const std::string& path) {
  base::Bytes bytes;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    unsigned char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
      bytes.insert(bytes.end(), buffer, buffer + got);
    }
    std::fclose(file);
  }
  return bytes;
}

// The images the resource script carries, from the files it is made of.
inline base::Bytes pictureFromFile(const char* resourceName) {
  static const std::map<std::string, std::string> files = {
      {"BACKGROUND", "background.png"},      {"BANNER", "banner.png"},
      {"MIN_NORMAL", "minimize_normal.png"}, {"MIN_HOVER", "minimize_hover.png"},
      {"CLOSE_NORMAL", "close_normal.png"},  {"CLOSE_HOVER", "close_hover.png"},
      {"START_NORMAL", "start_normal.png"},  {"START_PRESSED", "start_pressed.png"},
  };
  const auto found = files.find(resourceName != nullptr ? resourceName : "");
  if (found == files.end())
    return {};
  return readFile(sourcePath("ui/images/" + found->second));
}

// Handles every queued message of this thread.
inline void pump() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// What the window paints of its client area (through WM_PRINT), as pixels.
inline ui::Image renderWindow(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  ui::Image image;
  image.width = client.right;
  image.height = client.bottom;
  if (image.empty())
    return image;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = image.width;
  info.bmiHeader.biHeight = -image.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  SendMessageA(window, WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
  GdiFlush();
  const auto* pixels = static_cast<const std::uint32_t*>(bits);
  image.pixels.assign(pixels, pixels + static_cast<std::size_t>(image.width) * image.height);
  for (std::uint32_t& p : image.pixels)
    p |= 0xFF000000u;
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return image;
}

// Opaque 0xAARRGGBB from #RRGGBB.
constexpr std::uint32_t rgb(std::uint32_t rrggbb) {
  return 0xFF000000u | rrggbb;
}

using testing_support::solidImage;

class LaunchWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    recordedEvents().clear();
    currentWindow() = &window_;
    ASSERT_TRUE(window_.create(GetModuleHandleA(nullptr), sink_, &pictureFromFile, creation()));
    pump();
  }
  void TearDown() override {
    currentWindow() = nullptr;
    pump();
  }

  virtual ui::win32::Creation creation() const { return ui::win32::Creation::AllAtOnce; }

  HWND child(const char* name) const { return window_.controlWindow(name); }

  // Place of a control's window in its parent's client area.
  RECT placeOf(HWND control) const {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }

  std::vector<RecordedEvent> eventsOf(const std::string& control, ui::Event event) const {
    std::vector<RecordedEvent> found;
    for (const RecordedEvent& e : recordedEvents()) {
      if (e.control == control && e.event == event)
        found.push_back(e);
    }
    return found;
  }

  RecordingSink sink_;
  ui::win32::LaunchWindow window_;
};

}  // namespace test
