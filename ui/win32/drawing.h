#pragma once

// Small drawing steps shared by the control kinds.

#include <windows.h>

#include <string_view>

#include "ui/control_table.h"
#include "ui/image.h"
#include "ui/win32/gdi.h"

namespace ui::win32 {

// Double buffering for one paint of a window's client area: everything is
// drawn into an off-screen copy, which goes to `target` in one blit when the
// scope ends, so nothing flickers. Members go in reverse: the bitmap is
// deselected, then deleted, then the DC.
class BufferedPaint {
 public:
  BufferedPaint(HWND window, HDC target);
  BufferedPaint(const BufferedPaint&) = delete;
  BufferedPaint& operator=(const BufferedPaint&) = delete;
  ~BufferedPaint();

  // False when there is no off-screen copy to draw into; nothing reaches
  // the target then.
  explicit operator bool() const { return dc_ && bitmap_; }
  HDC dc() const { return dc_.get(); }
  // The client area, from (0, 0).
  const RECT& area() const { return area_; }

 private:
  HDC target_;
  RECT area_;
  MemoryDc dc_;
  Bitmap bitmap_;
  Selection selection_;
};

// Draws an opaque image at (x, y) in its natural size; alpha is ignored.
void drawImage(HDC dc, const Image& image, int x, int y);

void fillColour(HDC dc, const RECT& area, Colorref colour);

// Text in the colour and font (null: the default GUI font) on a
// transparent background, laid out by DrawText's `format`.
void drawText(HDC dc, const RECT& area, std::string_view text, HFONT font, Colorref colour,
              UINT format);

// The caption as the labels of this window draw it: no prefix processing,
// aligned left, centred or right; with word wrap it breaks between words
// from the top, otherwise it stays on one line at the top.
void drawCaption(HDC dc, const RECT& area, std::string_view text, HFONT font, Colorref colour,
                 Align align, bool wordWrap);

// The window text of any window, for painting.
std::string windowText(HWND window);

}  // namespace ui::win32
