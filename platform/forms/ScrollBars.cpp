// The "SCROLLBAR" window class, TScrollBar and the flat scroll-bar calls.
#include "platform/forms/ScrollBars.h"

#include <algorithm>
#include <mutex>
#include <string>

#include "platform/forms/StdCtrlsInternal.h"
#include "platform/win/Api.h"

namespace forms {

using namespace win;

namespace {

constexpr const char* kBarProp = "VorixScrollBarState";

enum Part { kNone, kLineUp, kLineDown, kPageUp, kPageDown, kThumb };

struct BarState {
  int min = 0, max = 100, pos = 0, trackPos = 0;
  UINT page = 0;
  UINT disabled = ESB_ENABLE_BOTH;
  Part pressed = kNone;
  int grab = 0;  // from the thumb's start to the pointer while dragging
  bool keyMoved = false;
  POINT last{};  // where the pointer is while a part is held
};

// Holding an arrow or the track down scrolls again after a pause, then
// quickly; the track stops once the thumb reaches the pointer.
constexpr UINT_PTR kRepeatTimer = 1;
constexpr UINT kFirstRepeat = 400, kRepeat = 100;
constexpr WORD kCodes[] = {0, SB_LINEUP, SB_LINEDOWN, SB_PAGEUP, SB_PAGEDOWN};

BarState* StateOf(HWND hwnd) { return static_cast<BarState*>(GetPropA(hwnd, kBarProp)); }
bool Vertical(HWND hwnd) { return (static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)) & SBS_VERT) != 0; }

int MaxPos(const BarState* s) { return std::max(s->min, s->max - std::max(static_cast<int>(s->page) - 1, 0)); }

void Clamp(BarState* s) {
  const long long span = std::max<long long>(static_cast<long long>(s->max) - s->min, 0) + 1;
  s->page = static_cast<UINT>(std::min<long long>(s->page, span));
  s->pos = std::clamp(s->pos, s->min, MaxPos(s));
}

struct Layout {
  RECT up{}, down{}, thumb{};
  int trackStart = 0, trackEnd = 0;
  bool vertical = false;
};

Layout LayoutOf(HWND hwnd, const BarState* s) {
  Layout l;
  l.vertical = Vertical(hwnd);
  RECT r;
  GetClientRect(hwnd, &r);
  const int length = l.vertical ? r.bottom : r.right;
  const int breadth = l.vertical ? r.right : r.bottom;
  const int arrow = std::min(breadth, length / 2);
  if (l.vertical) {
    l.up = {0, 0, r.right, arrow};
    l.down = {0, r.bottom - arrow, r.right, r.bottom};
  } else {
    l.up = {0, 0, arrow, r.bottom};
    l.down = {r.right - arrow, 0, r.right, r.bottom};
  }
  l.trackStart = arrow;
  l.trackEnd = length - arrow;
  const int track = l.trackEnd - l.trackStart;
  if (s->max <= s->min || MaxPos(s) <= s->min || s->disabled == ESB_DISABLE_BOTH || track < 8) return l;
  const long long span = static_cast<long long>(s->max) - s->min + 1;
  int thumb = s->page ? static_cast<int>(track * static_cast<long long>(s->page) / span) : breadth;
  thumb = std::clamp(thumb, 8, track);
  const int movable = MaxPos(s) - s->min;
  const int at = s->pressed == kThumb ? s->trackPos : s->pos;
  const int offset = static_cast<int>(static_cast<long long>(track - thumb) * (at - s->min) / movable);
  const int start = l.trackStart + offset;
  l.thumb = l.vertical ? RECT{0, start, r.right, start + thumb} : RECT{start, 0, start + thumb, r.bottom};
  return l;
}

bool In(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

Part PartAt(HWND hwnd, const BarState* s, POINT p) {
  const Layout l = LayoutOf(hwnd, s);
  if (In(l.up, p)) return (s->disabled & ESB_DISABLE_LTUP) ? kNone : kLineUp;
  if (In(l.down, p)) return (s->disabled & ESB_DISABLE_RTDN) ? kNone : kLineDown;
  if (l.thumb.right <= l.thumb.left) return kNone;
  if (In(l.thumb, p)) return kThumb;
  const int along = l.vertical ? p.y : p.x;
  return along < (l.vertical ? l.thumb.top : l.thumb.left) ? kPageUp : kPageDown;
}

void Notify(HWND hwnd, WORD code, int pos) {
  if (HWND parent = GetParent(hwnd))
    SendMessageA(parent, Vertical(hwnd) ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, static_cast<WORD>(pos)),
                 reinterpret_cast<LPARAM>(hwnd));
}

void Paint(HWND hwnd, HDC dc) {
  BarState* s = StateOf(hwnd);
  const Layout l = LayoutOf(hwnd, s);
  const bool enabled = IsWindowEnabled(hwnd);
  RECT track = l.vertical ? RECT{l.up.left, l.trackStart, l.up.right, l.trackEnd}
                          : RECT{l.trackStart, l.up.top, l.trackEnd, l.up.bottom};
  // The classic half-tone track, darker where it is held down.
  for (LONG y = track.top; y < track.bottom; ++y)
    for (LONG x = track.left; x < track.right; ++x) {
      const bool held = (s->pressed == kPageUp || s->pressed == kPageDown);
      SetPixel(dc, x, y, ((x + y) & 1) ? GetSysColor(held ? COLOR_3DDKSHADOW : COLOR_BTNHIGHLIGHT)
                                       : GetSysColor(COLOR_SCROLLBAR));
    }
  const UINT off = enabled ? 0 : DFCS_INACTIVE;
  RECT up = l.up, down = l.down;
  DrawFrameControl(dc, &up, DFC_SCROLL,
                   (l.vertical ? DFCS_SCROLLUP : DFCS_SCROLLLEFT) | (s->pressed == kLineUp ? DFCS_PUSHED : 0) |
                       ((s->disabled & ESB_DISABLE_LTUP) ? DFCS_INACTIVE : off));
  DrawFrameControl(dc, &down, DFC_SCROLL,
                   (l.vertical ? DFCS_SCROLLDOWN : DFCS_SCROLLRIGHT) | (s->pressed == kLineDown ? DFCS_PUSHED : 0) |
                       ((s->disabled & ESB_DISABLE_RTDN) ? DFCS_INACTIVE : off));
  if (enabled && l.thumb.right > l.thumb.left) {
    RECT th = l.thumb;
    FillRect(dc, &th, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &th, EDGE_RAISED, BF_RECT);
    if (GetFocus() == hwnd) {
      InflateRectBy(th, -3, -3);
      DrawFocusRect(dc, &th);
    }
  }
}

int ValueAt(HWND hwnd, BarState* s, int along) {
  const Layout l = LayoutOf(hwnd, s);
  const int thumb = l.vertical ? l.thumb.bottom - l.thumb.top : l.thumb.right - l.thumb.left;
  const int room = (l.trackEnd - l.trackStart) - thumb;
  const int movable = MaxPos(s) - s->min;
  if (room <= 0 || movable <= 0) return s->min;
  const int offset = std::clamp(along - s->grab - l.trackStart, 0, room);
  return s->min + static_cast<int>((static_cast<long long>(offset) * movable + room / 2) / room);
}

}  // namespace

LRESULT ScrollBarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  BarState* s = StateOf(hwnd);
  if (!s && msg != WM_NCCREATE) return DefWindowProcA(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_NCCREATE:
      if (!s) SetPropA(hwnd, kBarProp, new BarState);
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_NCDESTROY:
      RemovePropA(hwnd, kBarProp);
      delete s;
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(hwnd, nullptr, TRUE);
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      const Part part = PartAt(hwnd, s, p);
      if (part == kNone) return 0;
      if ((GetWindowLongA(hwnd, GWL_STYLE) & WS_TABSTOP) && GetFocus() != hwnd) SetFocus(hwnd);
      if (!(s = StateOf(hwnd))) return 0;
      s->pressed = part;
      SetCapture(hwnd);
      if (part == kThumb) {
        const Layout l = LayoutOf(hwnd, s);
        s->grab = (l.vertical ? p.y - l.thumb.top : p.x - l.thumb.left);
        s->trackPos = s->pos;
      }
      InvalidateRect(hwnd, nullptr, TRUE);
      s->last = p;
      if (part != kThumb) {
        SetTimer(hwnd, kRepeatTimer, kFirstRepeat, nullptr);
        Notify(hwnd, kCodes[part], 0);
      }
      return 0;
    }
    case WM_TIMER: {
      if (wParam != kRepeatTimer) return DefWindowProcA(hwnd, msg, wParam, lParam);
      const Part held = s->pressed;
      if (held == kNone || held == kThumb || GetCapture() != hwnd) {
        KillTimer(hwnd, kRepeatTimer);
        return 0;
      }
      SetTimer(hwnd, kRepeatTimer, kRepeat, nullptr);
      if (PartAt(hwnd, s, s->last) == held) Notify(hwnd, kCodes[held], 0);
      return 0;
    }
    case WM_MOUSEMOVE:
      s->last = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (s->pressed == kThumb && GetCapture() == hwnd) {
        const int v = ValueAt(hwnd, s, Vertical(hwnd) ? GET_Y_LPARAM(lParam) : GET_X_LPARAM(lParam));
        if (v != s->trackPos) {
          s->trackPos = v;
          InvalidateRect(hwnd, nullptr, TRUE);
          Notify(hwnd, SB_THUMBTRACK, v);
        }
      }
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED: {
      const Part was = s->pressed;
      if (was == kNone) return 0;
      s->pressed = kNone;
      KillTimer(hwnd, kRepeatTimer);
      if (msg == WM_LBUTTONUP && GetCapture() == hwnd) ReleaseCapture();
      InvalidateRect(hwnd, nullptr, TRUE);
      if (was == kThumb) Notify(hwnd, SB_THUMBPOSITION, s->trackPos);
      if (IsWindow(hwnd)) Notify(hwnd, SB_ENDSCROLL, 0);
      return 0;
    }
    case WM_KEYDOWN: {
      WORD code = 0xFFFF;
      switch (wParam) {
        case VK_LEFT: case VK_UP: code = SB_LINEUP; break;
        case VK_RIGHT: case VK_DOWN: code = SB_LINEDOWN; break;
        case VK_PRIOR: code = SB_PAGEUP; break;
        case VK_NEXT: code = SB_PAGEDOWN; break;
        case VK_HOME: code = SB_TOP; break;
        case VK_END: code = SB_BOTTOM; break;
        default: break;
      }
      if (code == 0xFFFF) return DefWindowProcA(hwnd, msg, wParam, lParam);
      s->keyMoved = true;
      Notify(hwnd, code, 0);
      return 0;
    }
    case WM_KEYUP:
      if (s->keyMoved) {
        s->keyMoved = false;
        Notify(hwnd, SB_ENDSCROLL, 0);
        return 0;
      }
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      return PaintControlWindow(hwnd, wParam, Paint);
    case SBM_SETPOS: {
      const int old = s->pos;
      s->pos = static_cast<int>(wParam);
      Clamp(s);
      if (lParam && old != s->pos) InvalidateRect(hwnd, nullptr, TRUE);
      return old;
    }
    case SBM_GETPOS:
      return s->pos;
    case SBM_SETRANGE:
    case SBM_SETRANGEREDRAW: {
      const int old = s->pos;
      s->min = static_cast<int>(wParam);
      s->max = static_cast<int>(lParam);
      Clamp(s);
      if (msg == SBM_SETRANGEREDRAW) InvalidateRect(hwnd, nullptr, TRUE);
      return old;
    }
    case SBM_GETRANGE:
      if (wParam) *reinterpret_cast<int*>(wParam) = s->min;
      if (lParam) *reinterpret_cast<int*>(lParam) = s->max;
      return 0;
    case SBM_ENABLE_ARROWS:
      s->disabled = static_cast<UINT>(wParam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    case SBM_SETSCROLLINFO: {
      const auto* info = reinterpret_cast<const SCROLLINFO*>(lParam);
      if (!info) return s->pos;
      if (info->fMask & SIF_RANGE) s->min = info->nMin, s->max = info->nMax;
      if (info->fMask & SIF_PAGE) s->page = info->nPage;
      if (info->fMask & SIF_POS) s->pos = info->nPos;
      Clamp(s);
      if ((info->fMask & SIF_DISABLENOSCROLL) && (info->fMask & (SIF_RANGE | SIF_PAGE)))
        s->disabled = MaxPos(s) > s->min ? ESB_ENABLE_BOTH : ESB_DISABLE_BOTH;
      if (wParam) InvalidateRect(hwnd, nullptr, TRUE);
      return s->pos;
    }
    case SBM_GETSCROLLINFO: {
      auto* info = reinterpret_cast<SCROLLINFO*>(lParam);
      if (!info) return FALSE;
      if (info->fMask & SIF_RANGE) info->nMin = s->min, info->nMax = s->max;
      if (info->fMask & SIF_PAGE) info->nPage = s->page;
      if (info->fMask & SIF_POS) info->nPos = s->pos;
      if (info->fMask & SIF_TRACKPOS) info->nTrackPos = s->pressed == kThumb ? s->trackPos : s->pos;
      return TRUE;
    }
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

void RegisterScrollBarClass() {
  static std::mutex lock;
  std::lock_guard<std::mutex> guard(lock);
  WNDCLASSA existing;
  if (GetClassInfoA(nullptr, "SCROLLBAR", &existing)) return;
  WNDCLASSA wc;
  wc.style = CS_DBLCLKS | CS_PARENTDC | CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = &ScrollBarProc;
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(IDC_ARROW));
  wc.lpszClassName = "SCROLLBAR";
  RegisterClassA(&wc);
}

// ---- TScrollBar ----

TScrollBar::TScrollBar(TComponent* owner) : TWinControl(owner) {
  RegisterScrollBarClass();
  SetBounds(0, 0, 121, GetSystemMetrics(SM_CYHSCROLL));
  SetTabStop(true);
}

void TScrollBar::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  CreateSubClass(p, "SCROLLBAR");
  if (kind_ == sbVertical) p.Style |= SBS_VERT;
}

void TScrollBar::CreateWnd() {
  TWinControl::CreateWnd();
  SendInfo();
}

void TScrollBar::SendInfo() {
  if (!HandleAllocated()) return;
  SCROLLINFO si;
  si.fMask = SIF_ALL;
  si.nMin = min_;
  si.nMax = max_;
  si.nPage = static_cast<UINT>(std::max(pageSize_, 0));
  si.nPos = position_;
  SetScrollInfo(Handle(), SB_CTL, &si, TRUE);
}

void TScrollBar::SetKind(TScrollBarKind v) {
  if (kind_ == v) return;
  kind_ = v;
  if (!ComponentState().Contains(csLoading)) SetBounds(Left(), Top(), Height(), Width());
  if (HandleAllocated()) RecreateWnd();
}

void TScrollBar::SetParams(int position, int min, int max) {
  if (max < min) throw EInvalidOperation("Scroll bar property out of range");
  position = std::clamp(position, min, max);
  const bool moved = position != position_;
  min_ = min;
  max_ = max;
  position_ = position;
  SendInfo();
  if (moved && OnChange) OnChange(this);
}

void TScrollBar::SetPageSize(int v) {
  if (v < 0 || v > max_ - min_ + 1) throw EInvalidOperation("Scroll bar property out of range");
  pageSize_ = v;
  SendInfo();
}

void TScrollBar::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CN_HSCROLL:
    case CN_VSCROLL: {
      const WORD code = LOWORD(m.WParam);
      if (code > SB_ENDSCROLL) break;
      int pos = position_;
      switch (code) {
        case SB_LINEUP: pos -= smallChange_; break;
        case SB_LINEDOWN: pos += smallChange_; break;
        case SB_PAGEUP: pos -= largeChange_; break;
        case SB_PAGEDOWN: pos += largeChange_; break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: {
          // The full 32-bit place, not the message's 16 bits.
          SCROLLINFO si;
          si.fMask = SIF_TRACKPOS;
          GetScrollInfo(Handle(), SB_CTL, &si);
          pos = si.nTrackPos;
          break;
        }
        case SB_TOP: pos = min_; break;
        case SB_BOTTOM: pos = max_; break;
        default: break;
      }
      pos = std::clamp(pos, min_, max_);
      if (OnScroll) OnScroll(this, static_cast<TScrollCode>(code), pos);
      SetPosition(pos);
      m.Result = 0;
      return;
    }
    default:
      break;
  }
  TWinControl::Dispatch(m);
}

// ---- flat scroll bars ----

BOOL InitializeFlatSB(HWND hwnd) { return IsWindow(hwnd) ? TRUE : FALSE; }
long UninitializeFlatSB(HWND) { return 0; }
int FlatSB_SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* info, BOOL redraw) {
  return SetScrollInfo(hwnd, bar, info, redraw);
}
BOOL FlatSB_GetScrollInfo(HWND hwnd, int bar, SCROLLINFO* info) { return GetScrollInfo(hwnd, bar, info); }
int FlatSB_SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw) { return SetScrollPos(hwnd, bar, pos, redraw); }
int FlatSB_GetScrollPos(HWND hwnd, int bar) { return GetScrollPos(hwnd, bar); }
BOOL FlatSB_SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw) {
  return SetScrollRange(hwnd, bar, minPos, maxPos, redraw);
}
BOOL FlatSB_GetScrollRange(HWND hwnd, int bar, int* minPos, int* maxPos) {
  return GetScrollRange(hwnd, bar, minPos, maxPos);
}
BOOL FlatSB_ShowScrollBar(HWND hwnd, int bar, BOOL show) { return ShowScrollBar(hwnd, bar, show); }
BOOL FlatSB_EnableScrollBar(HWND hwnd, int bar, UINT arrows) { return EnableScrollBar(hwnd, bar, arrows); }

namespace {
std::string PropName(int index) { return "VorixFlatSB" + std::to_string(index); }
}  // namespace

BOOL FlatSB_SetScrollProp(HWND hwnd, UINT index, intptr_t value, BOOL redraw) {
  if (!IsWindow(hwnd)) return FALSE;
  SetPropA(hwnd, PropName(static_cast<int>(index)).c_str(), reinterpret_cast<void*>(value));
  if (redraw) RedrawWindow(hwnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
  return TRUE;
}

BOOL FlatSB_GetScrollProp(HWND hwnd, int index, int* value) {
  if (!IsWindow(hwnd) || !value) return FALSE;
  const std::string name = PropName(index);
  if (void* v = GetPropA(hwnd, name.c_str())) {
    *value = static_cast<int>(reinterpret_cast<intptr_t>(v));
    return TRUE;
  }
  // Unset: the system's sizes, else nothing.
  switch (index) {
    case WSB_PROP_CXVSCROLL: *value = GetSystemMetrics(SM_CXVSCROLL); return TRUE;
    case WSB_PROP_CYHSCROLL: *value = GetSystemMetrics(SM_CYHSCROLL); return TRUE;
    case WSB_PROP_VSTYLE:
    case WSB_PROP_HSTYLE: *value = FSB_REGULAR_MODE; return TRUE;
    default: *value = 0; return TRUE;
  }
}

}  // namespace forms
