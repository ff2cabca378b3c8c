// The window's own scroll bars: state, layout and mouse tracking.
#include "platform/win/ScrollBars.h"

#include <algorithm>

#include "platform/win/Input.h"
#include "platform/win/Metrics.h"
#include "platform/win/Paint.h"
#include "platform/win/WindowInternal.h"

namespace win {
namespace detail {
namespace {

bool in(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

int maxPos(const Wnd::ScrollBar& s) {
  return std::max(s.min, s.max - std::max(static_cast<int>(s.page) - 1, 0));
}

void clamp(Wnd::ScrollBar& s) {
  const UINT span = static_cast<UINT>(std::max(s.max - s.min, 0)) + 1;
  s.page = std::min(s.page, span);
  s.pos = std::clamp(s.pos, s.min, maxPos(s));
}

// Whether the bar has anything to scroll.
bool scrolls(const Wnd::ScrollBar& s) { return s.max > s.min && maxPos(s) > s.min; }

void frameChanged(HWND hwnd) {
  SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void redrawFrame(HWND hwnd) { RedrawWindow(hwnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_NOCHILDREN); }

// Sends a scroll code and waits for the button to come up, as the platform
// does for a press on an arrow or the track.
void sendUntilRelease(HWND hwnd, UINT msg, WORD code) {
  SendMessageA(hwnd, msg, code, 0);
  if (!(GetKeyState(VK_LBUTTON) & 0x8000)) {
    SendMessageA(hwnd, msg, SB_ENDSCROLL, 0);
    return;
  }
  SetCapture(hwnd);
  MSG m;
  for (;;) {
    const BOOL got = GetMessageA(&m, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(m.wParam));
      break;
    }
    if (GetCapture() != hwnd || !IsWindow(hwnd)) break;
    if (m.message == WM_LBUTTONUP || m.message == WM_NCLBUTTONUP) break;
    const bool mouse = (m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST) ||
                       (m.message >= WM_NCMOUSEMOVE && m.message <= WM_NCMBUTTONDBLCLK);
    if (!mouse) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
  }
  if (GetCapture() == hwnd) ReleaseCapture();
  if (IsWindow(hwnd)) SendMessageA(hwnd, msg, SB_ENDSCROLL, 0);
}

}  // namespace

ScrollLayout LayoutScrollBar(HWND hwnd, int bar) {
  ScrollLayout l{};
  l.vertical = bar == SB_VERT;
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w || (bar != SB_HORZ && bar != SB_VERT)) return l;
  const DWORD flag = bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL;
  if (!(w->style & flag) || (w->style & WS_MINIMIZE)) return l;
  // The client rectangle in window coordinates; the bars sit just outside it.
  const RECT c{w->client.left - w->window.left, w->client.top - w->window.top,
               w->client.right - w->window.left, w->client.bottom - w->window.top};
  const int size = GetSystemMetrics(l.vertical ? SM_CXVSCROLL : SM_CYHSCROLL);
  l.bar = l.vertical ? RECT{c.right, c.top, c.right + size, c.bottom} : RECT{c.left, c.bottom, c.right, c.bottom + size};
  const int length = l.vertical ? l.bar.Height() : l.bar.Width();
  const int arrow = std::min(size, length / 2);
  const auto& s = w->scroll[bar];
  if (l.vertical) {
    l.lineUp = {l.bar.left, l.bar.top, l.bar.right, l.bar.top + arrow};
    l.lineDown = {l.bar.left, l.bar.bottom - arrow, l.bar.right, l.bar.bottom};
  } else {
    l.lineUp = {l.bar.left, l.bar.top, l.bar.left + arrow, l.bar.bottom};
    l.lineDown = {l.bar.right - arrow, l.bar.top, l.bar.right, l.bar.bottom};
  }
  const int track = length - 2 * arrow;
  if (!scrolls(s) || s.disabled == ESB_DISABLE_BOTH || track < 8) return l;
  const int span = s.max - s.min + 1;
  int thumb = s.page ? static_cast<int>(static_cast<int64_t>(track) * s.page / span) : GetSystemMetrics(SM_CYVTHUMB);
  thumb = std::clamp(thumb, 8, track);
  const int movable = maxPos(s) - s.min;
  const int offset = movable > 0 ? static_cast<int>(static_cast<int64_t>(track - thumb) * (s.pos - s.min) / movable) : 0;
  const int start = (l.vertical ? l.lineUp.bottom : l.lineUp.right) + offset;
  l.thumb = l.vertical ? RECT{l.bar.left, start, l.bar.right, start + thumb}
                       : RECT{start, l.bar.top, start + thumb, l.bar.bottom};
  return l;
}

void TrackScrollBar(HWND hwnd, int bar, POINT screen) {
  RECT win;
  if (!GetWindowRect(hwnd, &win)) return;
  const POINT p{screen.x - win.left, screen.y - win.top};
  const ScrollLayout l = LayoutScrollBar(hwnd, bar);
  const UINT msg = bar == SB_VERT ? WM_VSCROLL : WM_HSCROLL;
  if (in(l.lineUp, p)) return sendUntilRelease(hwnd, msg, SB_LINEUP);
  if (in(l.lineDown, p)) return sendUntilRelease(hwnd, msg, SB_LINEDOWN);
  if (l.thumb.right <= l.thumb.left) return;
  const int along = l.vertical ? p.y : p.x;
  const int thumbStart = l.vertical ? l.thumb.top : l.thumb.left;
  const int thumbEnd = l.vertical ? l.thumb.bottom : l.thumb.right;
  if (along < thumbStart) return sendUntilRelease(hwnd, msg, SB_PAGEUP);
  if (along >= thumbEnd) return sendUntilRelease(hwnd, msg, SB_PAGEDOWN);
  // Dragging the thumb: SB_THUMBTRACK while it moves, SB_THUMBPOSITION at the end.
  Wnd::ScrollBar s;
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (!w) return;
    s = w->scroll[bar];
  }
  const int trackStart = l.vertical ? l.lineUp.bottom : l.lineUp.right;
  const int trackEnd = l.vertical ? l.lineDown.top : l.lineDown.left;
  const int room = (trackEnd - trackStart) - (thumbEnd - thumbStart);
  const int grab = along - thumbStart;
  auto posAt = [&](int a) {
    const int movable = maxPos(s) - s.min;
    if (room <= 0) return s.min;
    const int offset = std::clamp(a - grab - trackStart, 0, room);
    return s.min + static_cast<int>((static_cast<int64_t>(offset) * movable + room / 2) / room);
  };
  int pos = s.pos;
  if (!(GetKeyState(VK_LBUTTON) & 0x8000)) return;
  SetCapture(hwnd);
  MSG m;
  for (;;) {
    const BOOL got = GetMessageA(&m, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(m.wParam));
      break;
    }
    if (GetCapture() != hwnd || !IsWindow(hwnd)) break;
    const bool mouse = (m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST) ||
                       (m.message >= WM_NCMOUSEMOVE && m.message <= WM_NCMBUTTONDBLCLK);
    if (!mouse) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
      continue;
    }
    const int a = (l.vertical ? m.pt.y - win.top : m.pt.x - win.left);
    pos = posAt(a);
    if (m.message == WM_LBUTTONUP || m.message == WM_NCLBUTTONUP) break;
    if (m.message != WM_MOUSEMOVE && m.message != WM_NCMOUSEMOVE) continue;
    {
      TreeGuard lock(TreeLock());
      if (auto w = FindWnd(hwnd)) w->scroll[bar].track = pos;
    }
    SendMessageA(hwnd, msg, MAKEWPARAM(SB_THUMBTRACK, static_cast<WORD>(pos)), 0);
  }
  if (GetCapture() == hwnd) ReleaseCapture();
  if (!IsWindow(hwnd)) return;
  SendMessageA(hwnd, msg, MAKEWPARAM(SB_THUMBPOSITION, static_cast<WORD>(pos)), 0);
  SendMessageA(hwnd, msg, SB_ENDSCROLL, 0);
}

}  // namespace detail

using namespace detail;

int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* info, BOOL redraw) {
  if (!info) return 0;
  if (bar == SB_CTL)
    return static_cast<int>(SendMessageA(hwnd, SBM_SETSCROLLINFO, redraw, reinterpret_cast<LPARAM>(info)));
  if (bar != SB_HORZ && bar != SB_VERT) return 0;
  bool wasShown, show, disable;
  int pos;
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (!w) return 0;
    auto& s = w->scroll[bar];
    if (info->fMask & SIF_RANGE) s.min = info->nMin, s.max = info->nMax;
    if (info->fMask & SIF_PAGE) s.page = info->nPage;
    if (info->fMask & SIF_POS) s.pos = info->nPos;
    clamp(s);
    pos = s.pos;
    const DWORD flag = bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL;
    wasShown = (w->style & flag) != 0;
    const bool range = (info->fMask & (SIF_RANGE | SIF_PAGE)) != 0;
    disable = (info->fMask & SIF_DISABLENOSCROLL) && !scrolls(s);
    show = !range ? wasShown : (scrolls(s) || (info->fMask & SIF_DISABLENOSCROLL));
    if (range && (info->fMask & SIF_DISABLENOSCROLL)) s.disabled = disable ? ESB_DISABLE_BOTH : ESB_ENABLE_BOTH;
    if (show != wasShown) {
      if (show) w->style |= flag;
      else w->style &= ~flag;
    }
  }
  if (show != wasShown) {
    frameChanged(hwnd);
  } else if (redraw && show) {
    redrawFrame(hwnd);
  }
  return pos;
}

BOOL GetScrollInfo(HWND hwnd, int bar, SCROLLINFO* info) {
  if (!info) return FALSE;
  if (bar == SB_CTL) return SendMessageA(hwnd, SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(info)) ? TRUE : FALSE;
  if (bar != SB_HORZ && bar != SB_VERT) return FALSE;
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w) return FALSE;
  const auto& s = w->scroll[bar];
  if (info->fMask & SIF_RANGE) info->nMin = s.min, info->nMax = s.max;
  if (info->fMask & SIF_PAGE) info->nPage = s.page;
  if (info->fMask & SIF_POS) info->nPos = s.pos;
  if (info->fMask & SIF_TRACKPOS) info->nTrackPos = s.track;
  return TRUE;
}

int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw) {
  SCROLLINFO old;
  old.fMask = SIF_POS;
  if (!GetScrollInfo(hwnd, bar, &old)) return 0;
  SCROLLINFO si;
  si.fMask = SIF_POS;
  si.nPos = pos;
  SetScrollInfo(hwnd, bar, &si, redraw);
  return old.nPos;
}

int GetScrollPos(HWND hwnd, int bar) {
  SCROLLINFO si;
  si.fMask = SIF_POS;
  return GetScrollInfo(hwnd, bar, &si) ? si.nPos : 0;
}

BOOL SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw) {
  if (!IsWindow(hwnd)) return FALSE;
  SCROLLINFO si;
  si.fMask = SIF_RANGE;
  si.nMin = minPos;
  si.nMax = maxPos;
  SetScrollInfo(hwnd, bar, &si, redraw);
  return TRUE;
}

BOOL GetScrollRange(HWND hwnd, int bar, int* minPos, int* maxPos) {
  SCROLLINFO si;
  si.fMask = SIF_RANGE;
  if (!GetScrollInfo(hwnd, bar, &si)) return FALSE;
  if (minPos) *minPos = si.nMin;
  if (maxPos) *maxPos = si.nMax;
  return TRUE;
}

BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show) {
  DWORD flags = 0;
  if (bar == SB_HORZ || bar == SB_BOTH) flags |= WS_HSCROLL;
  if (bar == SB_VERT || bar == SB_BOTH) flags |= WS_VSCROLL;
  if (bar == SB_CTL) return ShowWindow(hwnd, show ? SW_SHOW : SW_HIDE), TRUE;
  bool changed;
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (!w) return FALSE;
    const DWORD before = w->style;
    if (show) w->style |= flags;
    else w->style &= ~flags;
    changed = before != w->style;
  }
  if (changed) frameChanged(hwnd);
  return TRUE;
}

BOOL EnableScrollBar(HWND hwnd, int bar, UINT arrows) {
  // A scroll-bar control's arrows are its own to switch.
  if (bar == SB_CTL) return SendMessageA(hwnd, SBM_ENABLE_ARROWS, arrows, 0) ? TRUE : FALSE;
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (!w) return FALSE;
    for (int b : {SB_HORZ, SB_VERT})
      if (bar == b || bar == SB_BOTH) w->scroll[b].disabled = arrows;
  }
  redrawFrame(hwnd);
  return TRUE;
}

}  // namespace win
