#pragma once

// What lies beneath a see-through control: its parent's own background and
// the visible siblings below it in the stacking order.

#include <windows.h>

namespace ui::win32 {

inline constexpr char kTransparentLabelClass[] = "TavoroTransparentLabel";

// Paints into `dc` (whose origin is the control's top-left corner) what the
// screen would show at the control's place if the control were not there.
void paintBeneath(HWND control, HDC dc);

// Invalidates `changed` and every transparent label above it that overlaps
// it, since those show a copy of it. Safe from any thread: it only reads
// window positions and invalidates.
void invalidateWithOverlays(HWND changed);

}  // namespace ui::win32
