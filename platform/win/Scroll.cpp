// Scrolling a window's pixels.
#include <algorithm>
#include <vector>

#include "platform/win/Paint.h"
#include "platform/win/WindowInternal.h"
#include "platform/win/WindowSurface.h"

namespace win {

using namespace detail;

int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN update, RECT* updateRect,
                   UINT flags) {
  Region uncovered;
  std::vector<HWND> children;
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (!w || w->destroyed) return ERROR;
    const Region client(RECT{0, 0, w->client.Width(), w->client.Height()});
    const Region area = scroll ? client.Intersect(Region::FromRect(scroll->left, scroll->top, scroll->right,
                                                                   scroll->bottom))
                               : client;
    const Region limit = clip ? client.Intersect(Region::FromRect(clip->left, clip->top, clip->right, clip->bottom))
                              : client;
    WindowDrawTarget t;
    Region visible;  // client coordinates
    if (GetWindowDrawTarget(hwnd, true, &t) && t.surface)
      visible = Region::FromRects(t.visible).Offsetted(-t.origin.x, -t.origin.y);
    // Pixels land where their source was visible and inside the area.
    const Region source = area.Intersect(visible);
    const Region dest = source.Offsetted(dx, dy).Intersect(limit).Intersect(visible);
    if (!dest.Empty()) {
      // Copy through a buffer: source and destination overlap.
      const RECT b = dest.Bounds();
      std::vector<uint32_t> buffer(static_cast<size_t>(b.Width()) * static_cast<size_t>(b.Height()));
      for (const RECT& r : dest.Rects())
        for (LONG y = r.top; y < r.bottom; ++y)
          for (LONG x = r.left; x < r.right; ++x)
            buffer[static_cast<size_t>(y - b.top) * static_cast<size_t>(b.Width()) + static_cast<size_t>(x - b.left)] =
                t.surface->Pixel(x - dx + t.origin.x, y - dy + t.origin.y);
      for (const RECT& r : dest.Rects())
        for (LONG y = r.top; y < r.bottom; ++y)
          for (LONG x = r.left; x < r.right; ++x)
            t.surface->SetPixel(x + t.origin.x, y + t.origin.y,
                                buffer[static_cast<size_t>(y - b.top) * static_cast<size_t>(b.Width()) +
                                       static_cast<size_t>(x - b.left)]);
      if (auto top = TopLevelOf(w)) NoteSurfaceChange(*top, dest.Offsetted(t.origin.x, t.origin.y).Bounds());
    }
    uncovered = area.Intersect(limit).Subtract(dest);
    // Pending invalid parts travel with the pixels.
    const Region pending = w->update.Intersect(area);
    if (!pending.Empty())
      w->update = w->update.Subtract(pending).Union(pending.Offsetted(dx, dy).Intersect(limit));
    if (flags & SW_SCROLLCHILDREN) {
      for (HWND c : w->children) {
        auto cw = FindWnd(c);
        if (cw && (!scroll || area.Intersects(cw->window))) children.push_back(c);
      }
    }
  }
  // Without WS_CLIPCHILDREN the children's pixels moved with the parent's,
  // so they need no repainting; otherwise they repaint where they land.
  const bool clipsChildren = (GetWindowLongA(hwnd, GWL_STYLE) & WS_CLIPCHILDREN) != 0;
  for (HWND c : children) {
    RECT r;
    GetWindowRect(c, &r);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
    SetWindowPos(c, nullptr, r.left + dx, r.top + dy, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | (clipsChildren ? 0 : SWP_NOREDRAW));
  }
  if (auto r = FindRegion(update)) r->region = uncovered;
  if (updateRect) *updateRect = uncovered.Bounds();
  if (flags & SW_INVALIDATE) {
    HRGN rgn = CreateRegionHandle(uncovered);
    RedrawWindow(hwnd, nullptr, rgn, RDW_INVALIDATE | ((flags & SW_ERASE) ? RDW_ERASE : 0) | RDW_NOCHILDREN);
    DeleteObject(rgn);
  }
  return RegionKind(uncovered);
}

BOOL ScrollWindow(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip) {
  return ScrollWindowEx(hwnd, dx, dy, scroll, clip, nullptr, nullptr,
                        SW_INVALIDATE | SW_ERASE | (scroll ? 0 : SW_SCROLLCHILDREN)) != ERROR;
}

}  // namespace win
