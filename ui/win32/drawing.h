#pragma once

// Small drawing steps shared by the control kinds.

#include <windows.h>

#include <string_view>

#include "ui/control_table.h"
#include "ui/image.h"

namespace ui::win32 {

// Draws an opaque image at (x, y) in its natural size; alpha is ignored.
void drawImage(HDC dc, const Image& image, int x, int y);

void fillColour(HDC dc, const RECT& area, Colorref colour);

// The caption as the labels of this window draw it: no prefix processing,
// aligned left, centred or right; with word wrap it breaks between words
// from the top, otherwise it stays on one line at the top.
void drawCaption(HDC dc, const RECT& area, std::string_view text, HFONT font, Colorref colour,
                 Align align, bool wordWrap);

// The window text of any window, for painting.
std::string windowText(HWND window);

}  // namespace ui::win32
