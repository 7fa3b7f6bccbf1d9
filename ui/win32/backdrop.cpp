#include "ui/win32/backdrop.h"

#include <cstring>
#include <vector>

namespace ui::win32 {
namespace {

// The window's rectangle in its parent's client coordinates.
RECT placeInParent(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool isTransparentLabel(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return std::strcmp(name, kTransparentLabelClass) == 0;
}

bool overlaps(const RECT& a, const RECT& b) {
  RECT common;
  return IntersectRect(&common, &a, &b) != 0;
}

}  // namespace

void paintBeneath(HWND control, HDC dc) {
  HWND parent = GetParent(control);
  if (parent == nullptr)
    return;
  const RECT place = placeInParent(control);

  POINT savedOrigin{};
  SetViewportOrgEx(dc, -place.left, -place.top, &savedOrigin);
  SendMessageA(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);

  std::vector<HWND> below;
  for (HWND sibling = GetWindow(control, GW_HWNDNEXT); sibling != nullptr;
       sibling = GetWindow(sibling, GW_HWNDNEXT)) {
    // The control's own flag: the window may not be shown yet when a
    // label is printed.
    const bool shown = (GetWindowLongA(sibling, GWL_STYLE) & WS_VISIBLE) != 0;
    if (shown && overlaps(place, placeInParent(sibling))) {
      below.push_back(sibling);
    }
  }
  // Bottom first, so that each one covers those beneath it.
  for (auto it = below.rbegin(); it != below.rend(); ++it) {
    const RECT sibling = placeInParent(*it);
    SetViewportOrgEx(dc, sibling.left - place.left, sibling.top - place.top, nullptr);
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, 0, 0, sibling.right - sibling.left, sibling.bottom - sibling.top);
    SendMessageA(*it, WM_PRINT, reinterpret_cast<WPARAM>(dc),
                 PRF_NONCLIENT | PRF_ERASEBKGND | PRF_CLIENT);
    RestoreDC(dc, saved);
  }
  SetViewportOrgEx(dc, savedOrigin.x, savedOrigin.y, nullptr);
}

void invalidateWithOverlays(HWND changed) {
  if (changed == nullptr)
    return;
  // Its own children (the link labels of the banner) copy it too.
  RedrawWindow(changed, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
  const RECT place = placeInParent(changed);
  for (HWND above = GetWindow(changed, GW_HWNDPREV); above != nullptr;
       above = GetWindow(above, GW_HWNDPREV)) {
    if (isTransparentLabel(above) && overlaps(place, placeInParent(above))) {
      InvalidateRect(above, nullptr, FALSE);
    }
  }
}

}  // namespace ui::win32
