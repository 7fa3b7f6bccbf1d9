#include "ui/win32/progress_bar.h"

#include <commctrl.h>

#include <algorithm>

#include "ui/win32/backdrop.h"

namespace ui::win32 {

bool ProgressBar::create(HWND parent, HINSTANCE instance) {
  if (!createWindow(parent, instance, PROGRESS_CLASSA, 0, 0))
    return false;
  SendMessageA(window(), PBM_SETRANGE32, 0, row().rangeMax > 0 ? row().rangeMax : 100);
  SendMessageA(window(), PBM_SETPOS, 0, 0);
  return true;
}

void ProgressBar::setPosition(int position) {
  if (window() == nullptr)
    return;
  const int top = row().rangeMax > 0 ? row().rangeMax : 100;
  SendMessageA(window(), PBM_SETPOS, static_cast<WPARAM>(std::clamp(position, 0, top)), 0);
  // The percentage label above shows a copy of the bar.
  invalidateWithOverlays(window());
}

int ProgressBar::position() const {
  if (window() == nullptr)
    return 0;
  return static_cast<int>(SendMessageA(window(), PBM_GETPOS, 0, 0));
}

}  // namespace ui::win32
