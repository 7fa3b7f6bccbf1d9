#include "ui/win32/region.h"

#include <algorithm>
#include <cstring>

namespace ui::win32 {
namespace {

constexpr std::size_t kRectanglesPerBlock = 2000;

Region regionFromBlock(const RECT* rects, std::size_t count) {
  std::vector<std::uint8_t> data(sizeof(RGNDATAHEADER) + count * sizeof(RECT));
  auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
  header->dwSize = sizeof(RGNDATAHEADER);
  header->iType = RDH_RECTANGLES;
  header->nCount = static_cast<DWORD>(count);
  header->nRgnSize = static_cast<DWORD>(count * sizeof(RECT));
  RECT bounds{rects[0].left, rects[0].top, rects[0].right, rects[0].bottom};
  for (std::size_t i = 1; i < count; ++i) {
    bounds.left = std::min(bounds.left, rects[i].left);
    bounds.top = std::min(bounds.top, rects[i].top);
    bounds.right = std::max(bounds.right, rects[i].right);
    bounds.bottom = std::max(bounds.bottom, rects[i].bottom);
  }
  header->rcBound = bounds;
  std::memcpy(data.data() + sizeof(RGNDATAHEADER), rects, count * sizeof(RECT));
  return Region(ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()),
                                reinterpret_cast<const RGNDATA*>(data.data())));
}

}  // namespace

std::vector<RECT> opaqueRuns(const Image& image, Colorref transparent, int left, int top) {
  std::vector<RECT> runs;
  if (image.empty())
    return runs;
  const std::uint32_t clear = argbFromColorref(transparent) & 0x00FFFFFFu;
  for (int y = 0; y < image.height; ++y) {
    int x = 0;
    while (x < image.width) {
      while (x < image.width && (image.at(x, y) & 0x00FFFFFFu) == clear)
        ++x;
      const int start = x;
      while (x < image.width && (image.at(x, y) & 0x00FFFFFFu) != clear)
        ++x;
      if (x > start)
        runs.push_back(RECT{left + start, top + y, left + x, top + y + 1});
    }
  }
  return runs;
}

Region regionFromRuns(const std::vector<RECT>& runs) {
  Region whole(CreateRectRgn(0, 0, 0, 0));
  for (std::size_t first = 0; first < runs.size() && whole; first += kRectanglesPerBlock) {
    const std::size_t count = std::min(kRectanglesPerBlock, runs.size() - first);
    Region block = regionFromBlock(&runs[first], count);
    if (block)
      CombineRgn(whole.get(), whole.get(), block.get(), RGN_OR);
  }
  return whole;
}

void setWindowShape(HWND window, Region shape) {
  if (SetWindowRgn(window, shape.get(), TRUE) != 0)
    shape.release();
}

}  // namespace ui::win32
