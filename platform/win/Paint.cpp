// Update regions, WM_PAINT generation, BeginPaint/EndPaint, and the seam
// through which device contexts find a window's pixels.
#include <algorithm>

#include "platform/win/Paint.h"
#include "platform/win/WindowInternal.h"
#include "platform/win/WindowSurface.h"

namespace win {
namespace detail {
namespace {

HWND lockedWindow{};

Region clientArea(const Wnd& w) { return Region(RECT{0, 0, w.client.Width(), w.client.Height()}); }

bool hasFrame(const Wnd& w) {
  return w.window.left != w.client.left || w.window.top != w.client.top || w.window.right != w.client.right ||
         w.window.bottom != w.client.bottom;
}

// Applies RedrawWindow's invalidation and validation to `w` and, as the
// flags say, to its children. `region` is in `w`'s client coordinates.
void apply(const std::shared_ptr<Wnd>& w, const Region& region, UINT flags, std::vector<HWND>* touched) {
  if (!IsVisibleChain(*w)) return;
  touched->push_back(w->handle);
  const Region part = region.Intersect(clientArea(*w));
  if (flags & RDW_INVALIDATE) {
    w->update = w->update.Union(part);
    if (flags & RDW_ERASE) w->erase = true;
    if ((flags & RDW_FRAME) && hasFrame(*w)) w->frameDirty = true;
    if (flags & RDW_INTERNALPAINT) w->internalPaint = true;
  } else if (flags & RDW_VALIDATE) {
    w->update = w->update.Subtract(part);
    if (w->update.Empty()) w->erase = false;
    if (flags & RDW_NOFRAME) w->frameDirty = false;
    if (flags & RDW_NOINTERNALPAINT) w->internalPaint = false;
  }
  if (flags & RDW_NOERASE) w->erase = false;
  const bool children = (flags & RDW_ALLCHILDREN) || (!(flags & RDW_NOCHILDREN) && !(w->style & WS_CLIPCHILDREN));
  if (!children) return;
  for (HWND h : w->children) {
    auto c = FindWnd(h);
    if (!c || !(c->style & WS_VISIBLE)) continue;
    const Region inChild = region.Intersect(Region(c->window)).Offsetted(-c->client.left, -c->client.top);
    if (inChild.Empty() && !(flags & RDW_VALIDATE)) {
      // The frame of a child may still be touched.
      if (!((flags & RDW_FRAME) && region.Intersects(c->window))) continue;
    }
    UINT childFlags = flags;
    if (!(flags & RDW_ALLCHILDREN)) childFlags &= ~RDW_FRAME;
    if (region.Intersects(c->window) && (flags & RDW_INVALIDATE) && hasFrame(*c) &&
        !region.Intersect(Region(c->window)).Subtract(Region(c->client)).Empty())
      c->frameDirty = true;
    apply(c, inChild, childFlags, touched);
  }
}

void wakeOwners(const std::vector<HWND>& touched) {
  std::vector<std::shared_ptr<ThreadQueue>> queues;
  {
    TreeGuard lock(TreeLock());
    for (HWND h : touched)
      if (auto w = FindWnd(h); w && w->queue) queues.push_back(w->queue);
  }
  std::sort(queues.begin(), queues.end());
  queues.erase(std::unique(queues.begin(), queues.end()), queues.end());
  for (auto& q : queues) Wake(*q);
}

HWND findPaint(const std::shared_ptr<Wnd>& w, ThreadQueue& q, HWND filter) {
  for (HWND h : w->children) {
    auto c = FindWnd(h);
    if (!c || !(c->style & WS_VISIBLE)) continue;
    if (c->queue.get() == &q && (!c->update.Empty() || c->internalPaint || c->frameDirty) &&
        (!filter || filter == h || IsDescendant(filter, h)))
      return h;
    if (HWND d = findPaint(c, q, filter)) return d;
  }
  return nullptr;
}

void collectFrameOnly(const std::shared_ptr<Wnd>& w, ThreadQueue& q, std::vector<HWND>& out) {
  for (HWND h : w->children) {
    auto c = FindWnd(h);
    if (!c || !(c->style & WS_VISIBLE)) continue;
    if (c->queue.get() == &q && c->frameDirty && c->update.Empty() && !c->internalPaint) {
      c->frameDirty = false;
      out.push_back(h);
    }
    collectFrameOnly(c, q, out);
  }
}

// Removes the rectangles of `w`'s visible children (window coordinates of
// the top-level) from `vis`.
Region childrenOf(const Wnd& w, POINT clientOrigin) {
  Region out;
  for (HWND h : w.children) {
    auto c = FindWnd(h);
    if (!c || !(c->style & WS_VISIBLE)) continue;
    Region r = c->shape ? c->shape->Offsetted(c->window.left, c->window.top) : Region(c->window);
    out = out.Union(r.Offsetted(clientOrigin.x, clientOrigin.y));
  }
  return out;
}

}  // namespace

void InvalidateWhole(const std::shared_ptr<Wnd>& w, bool children) {
  std::vector<HWND> touched;
  apply(w, clientArea(*w), RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | (children ? RDW_ALLCHILDREN : RDW_NOCHILDREN),
        &touched);
  if (w->queue) Wake(*w->queue);
  for (HWND h : touched)
    if (auto t = FindWnd(h); t && t->queue && t->queue != w->queue) Wake(*t->queue);
}

HWND FindPaintWindow(ThreadQueue& q, HWND filter) {
  TreeGuard lock(TreeLock());
  return findPaint(DesktopWnd(), q, filter);
}

void FlushFramePaints(ThreadQueue& q) {
  std::vector<HWND> list;
  {
    TreeGuard lock(TreeLock());
    collectFrameOnly(DesktopWnd(), q, list);
  }
  for (HWND h : list) SendMessageA(h, WM_NCPAINT, 1, 0);
}

bool IsLockedForUpdate(const Wnd& w) {
  if (!lockedWindow) return false;
  return w.handle == lockedWindow || IsDescendant(lockedWindow, w.handle);
}

}  // namespace detail

using namespace detail;

BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN rgn, UINT flags) {
  std::vector<HWND> touched;
  {
    TreeGuard lock(TreeLock());
    std::vector<std::shared_ptr<Wnd>> targets;
    if (!hwnd || hwnd == DesktopHandle()) {
      for (HWND h : DesktopWnd()->children)
        if (auto w = FindWnd(h)) targets.push_back(w);
      flags |= RDW_ALLCHILDREN | RDW_FRAME;
      rect = nullptr, rgn = nullptr;
    } else {
      auto w = FindWnd(hwnd);
      if (!w) return FALSE;
      targets.push_back(w);
    }
    for (auto& w : targets) {
      Region region = clientArea(*w);
      if (rgn) {
        auto r = FindRegion(rgn);
        if (!r) return FALSE;
        region = r->region;
      } else if (rect) {
        region = Region::FromRect(rect->left, rect->top, rect->right, rect->bottom);
      }
      apply(w, region, flags, &touched);
    }
  }
  wakeOwners(touched);
  if (flags & (RDW_UPDATENOW | RDW_ERASENOW)) {
    for (HWND h : touched) {
      if (!IsWindow(h)) continue;
      bool frame = false, paint = false, erase = false;
      {
        TreeGuard lock(TreeLock());
        auto w = FindWnd(h);
        if (!w || w->queue != CurrentQueue()) continue;
        frame = w->frameDirty;
        paint = !w->update.Empty() || w->internalPaint;
        erase = w->erase;
      }
      if (flags & RDW_UPDATENOW) {
        if (paint) {
          SendMessageA(h, WM_PAINT, 0, 0);
        } else if (frame) {
          {
            TreeGuard lock(TreeLock());
            if (auto w = FindWnd(h)) w->frameDirty = false;
          }
          SendMessageA(h, WM_NCPAINT, 1, 0);
        }
      } else {
        if (frame) {
          {
            TreeGuard lock(TreeLock());
            if (auto w = FindWnd(h)) w->frameDirty = false;
          }
          SendMessageA(h, WM_NCPAINT, 1, 0);
        }
        if (erase) {
          {
            TreeGuard lock(TreeLock());
            if (auto w = FindWnd(h)) w->erase = false;
          }
          HDC dc = AcquirePaintDc(h, nullptr);
          SendMessageA(h, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
          ReleasePaintDc(h, dc);
        }
      }
    }
  }
  return TRUE;
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
  if (!hwnd) return RedrawWindow(nullptr, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
  return RedrawWindow(hwnd, rect, nullptr, RDW_INVALIDATE | (erase ? RDW_ERASE : 0));
}

BOOL InvalidateRgn(HWND hwnd, HRGN rgn, BOOL erase) {
  return RedrawWindow(hwnd, nullptr, rgn, RDW_INVALIDATE | (erase ? RDW_ERASE : 0));
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
  return RedrawWindow(hwnd, rect, nullptr, RDW_VALIDATE | RDW_NOCHILDREN);
}

BOOL ValidateRgn(HWND hwnd, HRGN rgn) { return RedrawWindow(hwnd, nullptr, rgn, RDW_VALIDATE | RDW_NOCHILDREN); }

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL) {
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w) return FALSE;
  if (rect) *rect = w->update.Bounds();
  return w->update.Empty() ? FALSE : TRUE;
}

int GetUpdateRgn(HWND hwnd, HRGN rgn, BOOL) {
  auto r = FindRegion(rgn);
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w || !r) return ERROR;
  r->region = w->update;
  return RegionKind(r->region);
}

BOOL UpdateWindow(HWND hwnd) {
  bool paint;
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (!w) return FALSE;
    paint = IsVisibleChain(*w) && (!w->update.Empty() || w->internalPaint || w->frameDirty);
  }
  if (paint) SendMessageA(hwnd, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL LockWindowUpdate(HWND hwnd) {
  HWND unlocked{};
  {
    TreeGuard lock(TreeLock());
    if (hwnd) {
      if (lockedWindow && lockedWindow != hwnd && IsWindow(lockedWindow)) return FALSE;
      if (!FindWnd(hwnd)) return FALSE;
      lockedWindow = hwnd;
      return TRUE;
    }
    unlocked = lockedWindow;
    lockedWindow = nullptr;
  }
  if (unlocked && IsWindow(unlocked))
    RedrawWindow(unlocked, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  return TRUE;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
  if (!ps) return nullptr;
  Region update;
  bool erase, frame;
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (!w || w->queue != CurrentQueue()) return nullptr;
    update = w->update;
    erase = w->erase;
    frame = w->frameDirty;
    w->update = Region();
    w->erase = false;
    w->frameDirty = false;
    w->internalPaint = false;
  }
  HideCaretForPaint(hwnd);
  if (frame) SendMessageA(hwnd, WM_NCPAINT, 1, 0);
  *ps = PAINTSTRUCT{};
  ps->rcPaint = update.Bounds();
  ps->hdc = AcquirePaintDc(hwnd, &update);
  // Only a pending erase that the background message left undone is the
  // painter's job; after invalidations that all asked for no erase, painters
  // that draw every pixel rely on fErase staying FALSE.
  ps->fErase = FALSE;
  if (erase) ps->fErase = SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(ps->hdc), 0) ? FALSE : TRUE;
  return ps->hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
  if (ps && ps->hdc) ReleasePaintDc(hwnd, ps->hdc);
  ShowCaretAfterPaint(hwnd);
  return TRUE;
}

// ---- the seam for device contexts ----

bool GetWindowDrawTarget(HWND hwnd, bool client, WindowDrawTarget* target) {
  if (!target) return false;
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w || w->destroyed || w == DesktopWnd()) return false;
  auto top = TopLevelOf(w);
  if (!top) return false;
  target->surface = top->surface;
  const POINT topOrigin = WindowOriginOnScreen(*top);
  auto toTop = [&](const Wnd& x, bool clientArea) {
    const POINT o = clientArea ? ClientOriginOnScreen(x) : WindowOriginOnScreen(x);
    const RECT& r = clientArea ? x.client : x.window;
    return RECT{o.x - topOrigin.x, o.y - topOrigin.y, o.x - topOrigin.x + r.Width(), o.y - topOrigin.y + r.Height()};
  };
  const RECT own = toTop(*w, client);
  target->origin = {own.left, own.top};
  target->visible.clear();
  if (!IsVisibleChain(*w) || IsLockedForUpdate(*w) || (top->style & WS_MINIMIZE) || top->redrawOff) return true;
  Region vis(own);
  for (auto a = w; a && a != top;) {
    auto p = FindWnd(a->parent);
    if (!p) break;
    const RECT aw = toTop(*a, false);
    if (a->shape) vis = vis.Intersect(a->shape->Offsetted(aw.left, aw.top));
    vis = vis.Intersect(Region(toTop(*p, true)));
    if (a->style & WS_CLIPSIBLINGS) {
      const POINT po = {toTop(*p, true).left, toTop(*p, true).top};
      for (HWND s : p->children) {
        if (s == a->handle) break;
        auto sw = FindWnd(s);
        if (!sw || !(sw->style & WS_VISIBLE)) continue;
        Region r = sw->shape ? sw->shape->Offsetted(sw->window.left, sw->window.top) : Region(sw->window);
        vis = vis.Subtract(r.Offsetted(po.x, po.y));
      }
    }
    a = p;
  }
  if (top->shape) vis = vis.Intersect(*top->shape);
  if (w->style & WS_CLIPCHILDREN) {
    const RECT c = toTop(*w, true);
    vis = vis.Subtract(childrenOf(*w, POINT{c.left, c.top}));
  }
  vis = vis.Intersect(Region(RECT{0, 0, top->window.Width(), top->window.Height()}));
  target->visible = vis.Rects();
  return true;
}

std::vector<ScreenPiece> GetScreenPieces() {
  std::vector<ScreenPiece> out;
  TreeGuard lock(TreeLock());
  Region covered;
  for (HWND h : DesktopWnd()->children) {
    auto w = FindWnd(h);
    if (!w || !(w->style & WS_VISIBLE) || (w->style & WS_MINIMIZE) || !w->surface) continue;
    const RECT r = w->window;
    Region shape = w->shape ? *w->shape : Region(RECT{0, 0, r.Width(), r.Height()});
    Region onScreen = shape.Offsetted(r.left, r.top);
    const Region visible = onScreen.Subtract(covered).Offsetted(-r.left, -r.top);
    covered = covered.Union(onScreen);
    out.push_back({h, w->surface, POINT{r.left, r.top}, visible.Rects()});
  }
  return out;
}

}  // namespace win
