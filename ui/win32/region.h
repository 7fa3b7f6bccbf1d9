#pragma once

// Window shapes cut from pictures: every pixel except those of exactly the
// transparent colour, as one region.

#include <windows.h>

#include <vector>

#include "ui/control_table.h"
#include "ui/image.h"
#include "ui/win32/gdi.h"

namespace ui::win32 {

// Each maximal run of kept pixels in a row, one pixel high, offset by
// (left, top). Only red, green and blue are compared; alpha plays no part.
std::vector<RECT> opaqueRuns(const Image& image, Colorref transparent, int left, int top);

// The union of the rectangles. Region data blocks hold at most 2000
// rectangles each and are united one after the other. An empty list gives
// an empty region (nothing of the window is left).
Region regionFromRuns(const std::vector<RECT>& runs);

// Gives the window its shape and redraws it; a null region makes it a
// plain rectangle again. Once set, the window owns the region; a region
// the window refused is deleted here.
void setWindowShape(HWND window, Region shape);

}  // namespace ui::win32
