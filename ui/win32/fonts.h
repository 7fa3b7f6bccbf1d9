#pragma once

// One font object per distinct font of the control table, created on first
// use and kept until the window goes.

#include <windows.h>

#include <map>
#include <string>
#include <tuple>

#include "ui/control_table.h"
#include "ui/win32/gdi.h"

namespace ui::win32 {

class FontCache {
 public:
  // The platform's default GUI font when the font has no height; otherwise
  // a GB2312 font of that pixel height, weight and face (an empty face name
  // when it names none, so the platform picks its GB2312 default).
  HFONT fontFor(const FontStyle& row);

 private:
  using Key = std::tuple<std::string, int, int>;
  std::map<Key, Font> fonts_;
};

}  // namespace ui::win32
