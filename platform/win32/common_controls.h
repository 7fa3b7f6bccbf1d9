#pragma once

// Common controls 6, which the edit boxes and the progress bar are, and the
// window subclassing that comes with them: bound and initialised when the
// first such control is made, which the first frame does not need.

#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>

#include "platform/win32/late_bound_dll.h"

namespace platform::win32 {

struct CommonControls {
  // Common controls 6 through the manifest, as the loader would bind them.
  LateBoundDll dll{"comctl32.dll"};
  TAVORO_LATE_BOUND(dll, InitCommonControlsEx);
  TAVORO_LATE_BOUND(dll, SetWindowSubclass);
  TAVORO_LATE_BOUND(dll, RemoveWindowSubclass);
  TAVORO_LATE_BOUND(dll, DefSubclassProc);
  bool complete() const {
    return InitCommonControlsEx && SetWindowSubclass && RemoveWindowSubclass && DefSubclassProc;
  }
};

// Binds common controls 6 and registers the classes of the progress bar and
// the edit box, once for the process; null when they cannot be had, and no
// such control can then be made.
const CommonControls* commonControls();

}  // namespace platform::win32
