// Placement: SetWindowPos and its family, visibility, enabling, window
// regions and finding windows by position.
#include <algorithm>

#include "platform/win/Input.h"
#include "platform/win/Metrics.h"
#include "platform/win/Monitors.h"
#include "platform/win/WindowInternal.h"

namespace win {
namespace detail {
namespace {

bool contains(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

RECT offsetRect(RECT r, LONG dx, LONG dy) { return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

// Marks the part of the parent that `rect` (parent client coordinates)
// uncovered.
void exposeParent(const Wnd& w, const RECT& rect) {
  if (IsTopLevel(w)) return;
  auto p = FindWnd(w.parent);
  if (!p || !IsVisibleChain(*p)) return;
  p->update = p->update.Union(Region(rect).Intersect(Region(RECT{0, 0, p->client.Width(), p->client.Height()})));
  p->erase = true;
  // Siblings below that showed through lose their pixels too.
  for (HWND s : p->children) {
    auto sw = FindWnd(s);
    if (!sw || sw.get() == &w || !(sw->style & WS_VISIBLE)) continue;
    const Region overlap = Region(rect).Intersect(Region(sw->window));
    if (overlap.Empty()) continue;
    sw->update = sw->update.Union(overlap.Offsetted(-sw->client.left, -sw->client.top)
                                      .Intersect(Region(RECT{0, 0, sw->client.Width(), sw->client.Height()})));
    sw->erase = true;
    sw->frameDirty = true;
  }
  if (p->queue) Wake(*p->queue);
}

HWND search(const std::shared_ptr<Wnd>& parent, POINT screen, bool hitTest, LRESULT* hit) {
  std::vector<HWND> kids;
  POINT origin;
  {
    TreeGuard lock(TreeLock());
    kids = parent->children;
    origin = parent == DesktopWnd() ? POINT{0, 0} : ClientOriginOnScreen(*parent);
  }
  for (HWND h : kids) {
    std::shared_ptr<Wnd> c;
    RECT win, client;
    {
      TreeGuard lock(TreeLock());
      c = FindWnd(h);
      if (!c || c->destroyed || !(c->style & WS_VISIBLE)) continue;
      if (parent == DesktopWnd() && (c->exStyle & WS_EX_LAYERED) && (c->exStyle & WS_EX_TRANSPARENT)) continue;
      win = offsetRect(c->window, origin.x, origin.y);
      client = offsetRect(c->client, origin.x, origin.y);
      if (!contains(win, screen)) continue;
      if (c->shape && !c->shape->Contains(screen.x - win.left, screen.y - win.top)) continue;
      if ((c->style & WS_DISABLED) && (c->style & WS_CHILD)) {
        // A disabled child hides what lies under it; its parent takes the input.
        if (hit) *hit = HTCLIENT;
        return nullptr;
      }
    }
    if (contains(client, screen)) {
      LRESULT deeperHit = HTNOWHERE;
      if (HWND d = search(c, screen, hitTest, &deeperHit)) {
        if (hit) *hit = deeperHit;
        return d;
      }
    }
    LRESULT code = contains(client, screen) ? HTCLIENT : HTNOWHERE;
    if (hitTest) code = SendMessageA(h, WM_NCHITTEST, 0, MAKELPARAM(static_cast<WORD>(screen.x), static_cast<WORD>(screen.y)));
    if (code == HTTRANSPARENT) continue;
    if (hit) *hit = code;
    return h;
  }
  return nullptr;
}

}  // namespace

HWND WindowAtPoint(POINT screen, bool hitTest, LRESULT* hit) {
  if (hit) *hit = HTNOWHERE;
  return search(DesktopWnd(), screen, hitTest, hit);
}

}  // namespace detail

using namespace detail;

namespace {

void fillMinMax(HWND hwnd, MINMAXINFO* mmi) {
  DWORD style, exStyle;
  RECT window;
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (!w) return;
    style = w->style, exStyle = w->exStyle, window = w->window;
  }
  const RECT inset = FrameInsets(style, exStyle);
  MONITORINFO mi;
  GetMonitorInfo(MonitorFromRect(&window, MONITOR_DEFAULTTOPRIMARY), &mi);
  const LONG fx = inset.left, fy = (style & WS_CAPTION) == WS_CAPTION ? inset.left : inset.top;
  mmi->ptMaxSize = {mi.rcWork.Width() + 2 * fx, mi.rcWork.Height() + 2 * fy};
  mmi->ptMaxPosition = {-fx, -fy};
  mmi->ptMinTrackSize = {GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
  mmi->ptMaxTrackSize = {GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
  SendMessageA(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(mmi));
}

}  // namespace

namespace detail {
void QueryMinMax(HWND hwnd, MINMAXINFO* mmi) { fillMinMax(hwnd, mmi); }
}  // namespace detail

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  std::shared_ptr<Wnd> w;
  {
    TreeGuard lock(TreeLock());
    w = FindWnd(hwnd);
    if (!w || w == DesktopWnd() || w->destroyed) return FALSE;
    if (flags & SWP_SHOWWINDOW && flags & SWP_HIDEWINDOW) flags &= ~SWP_HIDEWINDOW;
    if ((flags & SWP_SHOWWINDOW) && (w->style & WS_VISIBLE)) flags &= ~SWP_SHOWWINDOW;
    if ((flags & SWP_HIDEWINDOW) && !(w->style & WS_VISIBLE)) flags &= ~SWP_HIDEWINDOW;
    if (!(flags & SWP_NOZORDER) && insertAfter == hwnd) flags |= SWP_NOZORDER;
  }
  WINDOWPOS wp{hwnd, insertAfter, x, y, cx, cy, flags & ~(SWP_NOCLIENTSIZE | SWP_NOCLIENTMOVE)};
  if (!(flags & SWP_NOSENDCHANGING)) SendMessageA(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&wp));
  if (!IsWindow(hwnd)) return FALSE;

  RECT oldWindow, oldClient, newWindow;
  DWORD style, exStyle;
  {
    TreeGuard lock(TreeLock());
    oldWindow = w->window, oldClient = w->client;
    style = w->style, exStyle = w->exStyle;
  }
  newWindow = oldWindow;
  if (!(wp.flags & SWP_NOMOVE)) newWindow = offsetRect(newWindow, wp.x - oldWindow.left, wp.y - oldWindow.top);
  if (!(wp.flags & SWP_NOSIZE)) {
    newWindow.right = newWindow.left + std::max(wp.cx, 0);
    newWindow.bottom = newWindow.top + std::max(wp.cy, 0);
  }
  const bool sized = newWindow.Width() != oldWindow.Width() || newWindow.Height() != oldWindow.Height();
  const bool moved = newWindow.left != oldWindow.left || newWindow.top != oldWindow.top;
  RECT newClient = offsetRect(oldClient, newWindow.left - oldWindow.left, newWindow.top - oldWindow.top);
  if (sized || (wp.flags & SWP_FRAMECHANGED)) {
    NCCALCSIZE_PARAMS p{{newWindow, oldWindow, oldClient}, &wp};
    SendMessageA(hwnd, WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&p));
    newClient = p.rgrc[0];
  }
  if (!IsWindow(hwnd)) return FALSE;

  bool activate = false;
  {
    TreeGuard lock(TreeLock());
    const bool top = IsTopLevel(*w);
    const bool wasVisible = IsVisibleChain(*w);
    const RECT oldOnParent = w->window;
    w->window = newWindow;
    w->client = newClient;
    if (!(wp.flags & SWP_NOZORDER)) {
      HWND after = wp.hwndInsertAfter;
      if (top && after == HWND_TOPMOST) w->exStyle |= WS_EX_TOPMOST;
      if (top && after == HWND_NOTOPMOST) w->exStyle &= ~WS_EX_TOPMOST;
      if (auto p = FindWnd(w->parent)) {
        auto& v = p->children;
        v.erase(std::remove(v.begin(), v.end(), hwnd), v.end());
        const bool topmost = (w->exStyle & WS_EX_TOPMOST) != 0;
        // Re-insert the same way creation does.
        size_t firstNormal = 0;
        while (firstNormal < v.size()) {
          auto o = FindWnd(v[firstNormal]);
          if (!o || !(o->exStyle & WS_EX_TOPMOST)) break;
          ++firstNormal;
        }
        size_t pos;
        if (after == HWND_BOTTOM) {
          pos = topmost ? firstNormal : v.size();
        } else if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST || !after) {
          pos = topmost ? 0 : firstNormal;
        } else {
          auto it = std::find(v.begin(), v.end(), after);
          pos = it == v.end() ? (topmost ? 0 : firstNormal) : static_cast<size_t>(it - v.begin()) + 1;
          pos = topmost ? std::min(pos, firstNormal) : std::max(pos, firstNormal);
        }
        v.insert(v.begin() + static_cast<ptrdiff_t>(pos), hwnd);
        // Owned windows stay above their owner, in their order.
        if (top) {
          std::vector<HWND> owned;
          for (HWND h : v)
            if (auto o = FindWnd(h); o && o->owner == hwnd) owned.push_back(h);
          for (auto it = owned.begin(); it != owned.end(); ++it) {
            const auto self = std::find(v.begin(), v.end(), hwnd);
            const auto at = std::find(v.begin(), v.end(), *it);
            if (at > self) {
              const bool ownedTopmost = (FindWnd(*it)->exStyle & WS_EX_TOPMOST) != 0;
              if (!ownedTopmost && topmost) continue;  // a topmost owner keeps the topmost band
              v.erase(at);
              v.insert(std::find(v.begin(), v.end(), hwnd), *it);
            }
          }
        }
      }
    }
    if (wp.flags & SWP_SHOWWINDOW) w->style |= WS_VISIBLE;
    if (wp.flags & SWP_HIDEWINDOW) w->style &= ~WS_VISIBLE;
    if (top && sized) w->surface = std::make_shared<Surface>(newWindow.Width(), newWindow.Height());
    const bool nowVisible = IsVisibleChain(*w);
    const bool redraw = !(wp.flags & SWP_NOREDRAW);
    if (nowVisible && redraw) {
      if (!wasVisible || sized || (top && sized) || (!top && moved)) {
        InvalidateWhole(w, true);
      } else if (wp.flags & SWP_FRAMECHANGED) {
        w->frameDirty = true;
        if (newClient.Width() != oldClient.Width() || newClient.Height() != oldClient.Height())
          InvalidateWhole(w, false);
      }
    }
    if (wasVisible && redraw && (!nowVisible || moved || sized)) {
      const Region exposed = nowVisible ? Region(oldOnParent).Subtract(Region(newWindow)) : Region(oldOnParent);
      for (const RECT& r : exposed.Rects()) exposeParent(*w, r);
    }
    if (top && (wasVisible || nowVisible)) {
      NoteSurfaceChange(*w, RECT{0, 0, newWindow.Width(), newWindow.Height()});
      DisplayWindowChanged(hwnd);
    }
    if (!nowVisible) w->update = Region(), w->frameDirty = false, w->erase = false;
    activate = top && !(wp.flags & SWP_NOACTIVATE) && nowVisible && !(style & WS_CHILD) &&
               ((wp.flags & SWP_SHOWWINDOW) || !(wp.flags & SWP_NOZORDER));
    if (newClient.Width() == oldClient.Width() && newClient.Height() == oldClient.Height())
      wp.flags |= SWP_NOCLIENTSIZE;
    if (newClient.left == oldClient.left && newClient.top == oldClient.top) wp.flags |= SWP_NOCLIENTMOVE;
    wp.x = newWindow.left, wp.y = newWindow.top, wp.cx = newWindow.Width(), wp.cy = newWindow.Height();
  }
  (void)exStyle;
  SendMessageA(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
  if (wp.flags & SWP_HIDEWINDOW) {
    ActivateOtherWindow(hwnd);
    // A hidden window keeps no focus or capture.
    const HWND focus = GetFocus();
    if (focus && (focus == hwnd || IsChild(hwnd, focus))) SetFocus(nullptr);
    if (GetCapture() == hwnd) ReleaseCapture();
  }
  if (activate) SetActiveOnShow(hwnd);
  return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(hwnd, nullptr, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND hwnd) { return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w || !rect) return FALSE;
  *rect = w == DesktopWnd() ? w->window : WindowRectOnScreen(*w);
  return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w || !rect) return FALSE;
  *rect = {0, 0, w->client.Width(), w->client.Height()};
  return TRUE;
}

BOOL ClientToScreen(HWND hwnd, POINT* pt) {
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w || !pt) return FALSE;
  const POINT o = w == DesktopWnd() ? POINT{0, 0} : ClientOriginOnScreen(*w);
  pt->x += o.x, pt->y += o.y;
  return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* pt) {
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w || !pt) return FALSE;
  const POINT o = w == DesktopWnd() ? POINT{0, 0} : ClientOriginOnScreen(*w);
  pt->x -= o.x, pt->y -= o.y;
  return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
  TreeGuard lock(TreeLock());
  POINT a{0, 0}, b{0, 0};
  if (from && from != DesktopHandle()) {
    auto w = FindWnd(from);
    if (!w) return 0;
    a = ClientOriginOnScreen(*w);
  }
  if (to && to != DesktopHandle()) {
    auto w = FindWnd(to);
    if (!w) return 0;
    b = ClientOriginOnScreen(*w);
  }
  const LONG dx = a.x - b.x, dy = a.y - b.y;
  for (UINT i = 0; points && i < count; ++i) points[i].x += dx, points[i].y += dy;
  return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle) {
  if (!rect) return FALSE;
  const RECT inset = FrameInsets(style, exStyle);
  rect->left -= inset.left;
  rect->top -= inset.top + (menu ? GetSystemMetrics(SM_CYMENU) : 0);
  rect->right += inset.right;
  rect->bottom += inset.bottom;
  return TRUE;
}

BOOL IsWindowVisible(HWND hwnd) {
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  return w && IsVisibleChain(*w) ? TRUE : FALSE;
}

BOOL IsIconic(HWND hwnd) { return (GetWindowLongA(hwnd, GWL_STYLE) & WS_MINIMIZE) ? TRUE : FALSE; }
BOOL IsZoomed(HWND hwnd) { return (GetWindowLongA(hwnd, GWL_STYLE) & WS_MAXIMIZE) ? TRUE : FALSE; }

BOOL ShowWindow(HWND hwnd, int cmd) {
  std::shared_ptr<Wnd> w;
  bool wasVisible, child;
  DWORD style;
  {
    TreeGuard lock(TreeLock());
    w = FindWnd(hwnd);
    if (!w || w == DesktopWnd() || w->destroyed || IsMessageOnly(*w)) return FALSE;
    wasVisible = (w->style & WS_VISIBLE) != 0;
    child = (w->style & WS_CHILD) != 0;
    style = w->style;
  }
  auto setState = [&](DWORD add, DWORD remove) {
    TreeGuard lock(TreeLock());
    if ((w->style & (WS_MINIMIZE | WS_MAXIMIZE)) == 0) w->normal = w->window;
    w->style = (w->style & ~remove) | add;
  };
  auto show = [&](UINT flags) {
    if (!wasVisible) SendMessageA(hwnd, WM_SHOWWINDOW, TRUE, 0);
    if (!IsWindow(hwnd)) return;
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, flags | SWP_SHOWWINDOW | (child ? SWP_NOZORDER | SWP_NOACTIVATE : 0));
  };
  switch (cmd) {
    case SW_HIDE:
      if (!wasVisible) return FALSE;
      SendMessageA(hwnd, WM_SHOWWINDOW, FALSE, 0);
      if (IsWindow(hwnd))
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      return TRUE;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE: {
      if (style & WS_MINIMIZE) {
        show(SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
        return wasVisible;
      }
      setState(WS_MINIMIZE, WS_MAXIMIZE);
      show(SWP_FRAMECHANGED | SWP_NOACTIVATE);
      SetWindowPos(hwnd, nullptr, -32000, -32000, GetSystemMetrics(SM_CXMINIMIZED), GetSystemMetrics(SM_CYMINIMIZED),
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
      if (GetActiveWindow() == hwnd || IsChild(hwnd, GetFocus())) SetFocus(nullptr);
      return wasVisible;
    }
    case SW_SHOWMAXIMIZED: {
      MINMAXINFO mmi{};
      if (!(style & WS_MAXIMIZE)) setState(WS_MAXIMIZE, WS_MINIMIZE);
      fillMinMax(hwnd, &mmi);
      show(SWP_NOSIZE | SWP_NOMOVE);
      RECT mon{};
      {
        TreeGuard lock(TreeLock());
        MONITORINFO mi;
        GetMonitorInfo(MonitorFromRect(&w->normal, MONITOR_DEFAULTTOPRIMARY), &mi);
        mon = mi.rcWork;
      }
      SetWindowPos(hwnd, nullptr, mon.left + mmi.ptMaxPosition.x, mon.top + mmi.ptMaxPosition.y, mmi.ptMaxSize.x,
                   mmi.ptMaxSize.y, SWP_NOZORDER | SWP_FRAMECHANGED);
      return wasVisible;
    }
    case SW_RESTORE:
    case SW_SHOWNORMAL:
    case SW_SHOWDEFAULT:
    case SW_SHOWNOACTIVATE: {
      const UINT act = cmd == SW_SHOWNOACTIVATE ? SWP_NOACTIVATE : 0;
      if (style & (WS_MINIMIZE | WS_MAXIMIZE)) {
        RECT normal;
        {
          TreeGuard lock(TreeLock());
          w->style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
          normal = w->normal;
        }
        show(SWP_NOSIZE | SWP_NOMOVE | act);
        SetWindowPos(hwnd, nullptr, normal.left, normal.top, normal.Width(), normal.Height(),
                     SWP_NOZORDER | SWP_FRAMECHANGED | act);
      } else {
        show(SWP_NOSIZE | SWP_NOMOVE | act);
      }
      return wasVisible;
    }
    case SW_SHOWNA:
      show(SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
      return wasVisible;
    case SW_SHOW:
    default:
      show(SWP_NOSIZE | SWP_NOMOVE);
      return wasVisible;
  }
}

BOOL GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* p) {
  if (!p) return FALSE;
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w || w == DesktopWnd()) return FALSE;
  const bool minimized = (w->style & WS_MINIMIZE) != 0, maximized = (w->style & WS_MAXIMIZE) != 0;
  p->flags = 0;
  p->showCmd = !(w->style & WS_VISIBLE) ? SW_HIDE
               : minimized             ? SW_SHOWMINIMIZED
               : maximized             ? SW_SHOWMAXIMIZED
                                       : SW_SHOWNORMAL;
  p->ptMinPosition = minimized ? POINT{w->window.left, w->window.top} : POINT{-1, -1};
  p->ptMaxPosition = maximized ? POINT{w->window.left, w->window.top} : POINT{-1, -1};
  p->rcNormalPosition = (minimized || maximized) ? w->normal : w->window;
  return TRUE;
}

BOOL SetWindowPlacement(HWND hwnd, const WINDOWPLACEMENT* p) {
  if (!p) return FALSE;
  bool restored;
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (!w || w == DesktopWnd()) return FALSE;
    restored = !(w->style & (WS_MINIMIZE | WS_MAXIMIZE));
    w->normal = p->rcNormalPosition;
  }
  const RECT& r = p->rcNormalPosition;
  if (restored)
    SetWindowPos(hwnd, nullptr, r.left, r.top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(hwnd, static_cast<int>(p->showCmd));
  return TRUE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
  bool wasDisabled;
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (!w) return FALSE;
    wasDisabled = (w->style & WS_DISABLED) != 0;
    if (wasDisabled == !enable) return wasDisabled;
    if (enable) w->style &= ~WS_DISABLED;
    else w->style |= WS_DISABLED;
  }
  if (!enable) {
    const HWND focus = GetFocus();
    if (focus == hwnd || IsChild(hwnd, focus)) SetFocus(nullptr);
    if (GetCapture() == hwnd) ReleaseCapture();
  }
  SendMessageA(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND hwnd) {
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

HWND WindowFromPoint(POINT screen) { return WindowAtPoint(screen, true, nullptr); }

HWND ChildWindowFromPointEx(HWND parent, POINT client, UINT flags) {
  TreeGuard lock(TreeLock());
  auto p = FindWnd(parent);
  if (!p) return nullptr;
  if (client.x < 0 || client.y < 0 || client.x >= p->client.Width() || client.y >= p->client.Height()) return nullptr;
  for (HWND h : p->children) {
    auto c = FindWnd(h);
    if (!c) continue;
    if ((flags & CWP_SKIPINVISIBLE) && !(c->style & WS_VISIBLE)) continue;
    if ((flags & CWP_SKIPDISABLED) && (c->style & WS_DISABLED)) continue;
    if ((flags & CWP_SKIPTRANSPARENT) && (c->exStyle & WS_EX_TRANSPARENT)) continue;
    if (!contains(c->window, client)) continue;
    if (c->shape && !c->shape->Contains(client.x - c->window.left, client.y - c->window.top)) continue;
    return h;
  }
  return parent;
}

HWND ChildWindowFromPoint(HWND parent, POINT client) { return ChildWindowFromPointEx(parent, client, CWP_ALL); }

int SetWindowRgn(HWND hwnd, HRGN rgn, BOOL redraw) {
  std::optional<Region> shape;
  if (rgn) {
    auto r = FindRegion(rgn);
    if (!r) return 0;
    shape = r->region;
  }
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (!w) return 0;
    // The window owns the region from now on.
    if (rgn) DeleteObject(rgn);
    if (redraw) {
      // What the old shape showed and the new one does not belongs to the
      // parent again.
      const Region before = w->shape ? *w->shape : Region(RECT{0, 0, w->window.Width(), w->window.Height()});
      const Region after = shape ? *shape : Region(RECT{0, 0, w->window.Width(), w->window.Height()});
      for (const RECT& r : before.Subtract(after).Offsetted(w->window.left, w->window.top).Rects())
        exposeParent(*w, r);
    }
    w->shape = shape;
    if (IsTopLevel(*w)) {
      NoteSurfaceChange(*w, RECT{0, 0, w->window.Width(), w->window.Height()});
      DisplayWindowChanged(hwnd);
    }
  }
  SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
               SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | (redraw ? 0 : SWP_NOREDRAW));
  if (redraw) {
    TreeGuard lock(TreeLock());
    if (auto w = FindWnd(hwnd); w && IsVisibleChain(*w)) InvalidateWhole(w, true);
  }
  return 1;
}

int GetWindowRgn(HWND hwnd, HRGN rgn) {
  auto target = FindRegion(rgn);
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w || !target || !w->shape) return ERROR;
  target->region = *w->shape;
  return RegionKind(target->region);
}

}  // namespace win
