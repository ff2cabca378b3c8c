// The "msctls_trackbar32" window class and TTrackBar. Every position change
// the user makes is told to the parent as WM_HSCROLL (WM_VSCROLL when
// vertical) with a TB_ code, the thumb codes carrying the position; a
// position set by TBM_SETPOS is told to no one.
#include <algorithm>
#include <vector>

#include "platform/forms/ComCtrls.h"
#include "platform/forms/StdCtrlsInternal.h"
#include "platform/win/Api.h"

namespace forms {

using namespace win;

namespace {

constexpr const char* kTrackProp = "VorixTrackBarState";
// The thumb's breadth along the channel.
constexpr int kThumbBreadth = 11;
constexpr int kMargin = 4;

struct TrackState {
  int min = 0, max = 100, pos = 0;
  int page = 20, line = 1, freq = 1;
  int selStart = 0, selEnd = 0;
  int thumbLength = 20;
  std::vector<int> tics;  // sorted, inside (min, max)
  bool dragging = false;
  int dragOffset = 0;  // from the pointer to the thumb's centre
  bool keyMoved = false;
  WORD paging = 0xFFFF;  // TB_PAGEUP or TB_PAGEDOWN while the channel is held
  int pointer = 0;       // where the pointer is along the channel meanwhile
  HFONT font = nullptr;
};

// Holding the channel pages again after a pause, then quickly, until the
// thumb reaches the pointer.
constexpr UINT_PTR kRepeatTimer = 1;
constexpr UINT kFirstRepeat = 400, kRepeat = 100;

TrackState* StateOf(HWND hwnd) { return static_cast<TrackState*>(GetPropA(hwnd, kTrackProp)); }
DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)); }
bool Vertical(HWND hwnd) { return (StyleOf(hwnd) & TBS_VERT) != 0; }

void AutoTicks(HWND hwnd, TrackState* st) {
  if (!(StyleOf(hwnd) & TBS_AUTOTICKS)) return;
  st->tics.clear();
  if (st->freq <= 0) return;
  for (long long v = static_cast<long long>(st->min) + st->freq; v < st->max; v += st->freq)
    st->tics.push_back(static_cast<int>(v));
}

int Clamp(const TrackState* st, int v) { return std::clamp(v, st->min, std::max(st->min, st->max)); }

// Where the thumb lies across the control: its near edge, leaving room for
// ticks on the top/left side when they are drawn there.
int ThumbTop(HWND hwnd, const TrackState* st) {
  const DWORD style = StyleOf(hwnd);
  RECT r;
  GetClientRect(hwnd, &r);
  const int across = Vertical(hwnd) ? r.right : r.bottom;
  if (style & TBS_BOTH) return std::max(0, (across - st->thumbLength) / 2);
  if ((style & TBS_TOP) && !(style & TBS_NOTICKS)) return std::max(0, across - st->thumbLength - kMargin);
  return kMargin;
}

struct Geometry {
  int first, last;  // the channel's span along the slide, thumb centres
  int top;          // the thumb's near edge across
};

Geometry Layout(HWND hwnd, const TrackState* st) {
  RECT r;
  GetClientRect(hwnd, &r);
  const int along = Vertical(hwnd) ? r.bottom : r.right;
  Geometry g;
  g.first = kMargin + kThumbBreadth / 2;
  g.last = std::max(g.first, along - kMargin - kThumbBreadth / 2 - 1);
  g.top = ThumbTop(hwnd, st);
  return g;
}

int PixelOf(const Geometry& g, const TrackState* st, int value) {
  if (st->max <= st->min) return g.first;
  const long long span = static_cast<long long>(st->max) - st->min;
  return g.first + static_cast<int>((static_cast<long long>(value) - st->min) * (g.last - g.first) / span);
}

int ValueAt(const Geometry& g, const TrackState* st, int pixel) {
  if (g.last <= g.first || st->max <= st->min) return st->min;
  const long long span = static_cast<long long>(st->max) - st->min;
  const long long d = static_cast<long long>(pixel - g.first) * span;
  const long long w = g.last - g.first;
  // Rounded to the nearest value.
  const long long v = st->min + (d >= 0 ? (d + w / 2) / w : (d - w / 2) / w);
  return Clamp(st, static_cast<int>(std::clamp<long long>(v, INT32_MIN, INT32_MAX)));
}

RECT Oriented(HWND hwnd, int alongLo, int acrossLo, int alongHi, int acrossHi) {
  return Vertical(hwnd) ? RECT{acrossLo, alongLo, acrossHi, alongHi} : RECT{alongLo, acrossLo, alongHi, acrossHi};
}

RECT ThumbRect(HWND hwnd, const TrackState* st) {
  const Geometry g = Layout(hwnd, st);
  const int c = PixelOf(g, st, st->pos);
  return Oriented(hwnd, c - kThumbBreadth / 2, g.top, c + kThumbBreadth / 2 + 1, g.top + st->thumbLength);
}

RECT ChannelRect(HWND hwnd, const TrackState* st) {
  const Geometry g = Layout(hwnd, st);
  const int mid = g.top + st->thumbLength / 2;
  const bool sel = (StyleOf(hwnd) & TBS_ENABLESELRANGE) != 0;
  const int half = sel ? 5 : 2;
  return Oriented(hwnd, g.first - kThumbBreadth / 2, mid - half, g.last + kThumbBreadth / 2 + 1, mid + half);
}

void Notify(HWND hwnd, WORD code, int pos) {
  HWND parent = GetParent(hwnd);
  if (!parent) return;
  const WPARAM w = MAKEWPARAM(code, static_cast<WORD>(pos));
  SendMessageA(parent, Vertical(hwnd) ? WM_VSCROLL : WM_HSCROLL, w, reinterpret_cast<LPARAM>(hwnd));
}

void MoveTo(HWND hwnd, TrackState* st, int v) {
  v = Clamp(st, v);
  if (v == st->pos) return;
  st->pos = v;
  InvalidateRect(hwnd, nullptr, TRUE);
}

void DrawTick(HDC dc, HWND hwnd, int at, int from, int len) {
  RECT r = Oriented(hwnd, at, from, at + 1, from + len);
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNTEXT));
}

void Paint(HWND hwnd, HDC dc) {
  TrackState* st = StateOf(hwnd);
  const DWORD style = StyleOf(hwnd);
  const bool enabled = IsWindowEnabled(hwnd);
  RECT client;
  GetClientRect(hwnd, &client);
  const Geometry g = Layout(hwnd, st);

  RECT ch = ChannelRect(hwnd, st);
  DrawEdge(dc, &ch, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  FillRect(dc, &ch, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
  if ((style & TBS_ENABLESELRANGE) && st->selEnd > st->selStart) {
    const int a = PixelOf(g, st, Clamp(st, st->selStart)), b = PixelOf(g, st, Clamp(st, st->selEnd));
    RECT sel = Vertical(hwnd) ? RECT{ch.left, a, ch.right, b + 1} : RECT{a, ch.top, b + 1, ch.bottom};
    FillRect(dc, &sel, GetSysColorBrush(COLOR_HIGHLIGHT));
  }

  if (!(style & TBS_NOTICKS)) {
    std::vector<int> at;
    at.push_back(st->min);
    at.insert(at.end(), st->tics.begin(), st->tics.end());
    at.push_back(st->max);
    const bool near = (style & TBS_TOP) || (style & TBS_BOTH);
    const bool far = !(style & TBS_TOP) || (style & TBS_BOTH);
    for (size_t i = 0; i < at.size(); ++i) {
      const int len = (i == 0 || i + 1 == at.size()) ? 4 : 3;
      const int p = PixelOf(g, st, at[i]);
      if (far) DrawTick(dc, hwnd, p, g.top + st->thumbLength + 2, len);
      if (near) DrawTick(dc, hwnd, p, g.top - 2 - len, len);
    }
  }

  if (!(style & TBS_NOTHUMB)) {
    RECT th = ThumbRect(hwnd, st);
    FillRect(dc, &th, GetSysColorBrush(st->dragging ? COLOR_BTNHIGHLIGHT : COLOR_BTNFACE));
    DrawEdge(dc, &th, EDGE_RAISED, BF_RECT);
    if (!enabled) {
      InflateRectBy(th, -3, -3);
      FillRect(dc, &th, GetSysColorBrush(COLOR_BTNSHADOW));
    }
  }
  if (GetFocus() == hwnd) DrawFocusRect(dc, &client);
}

// One step by the keyboard or a click on the channel.
void Step(HWND hwnd, TrackState* st, WORD code) {
  int v = st->pos;
  switch (code) {
    case TB_LINEUP: v -= st->line; break;
    case TB_LINEDOWN: v += st->line; break;
    case TB_PAGEUP: v -= st->page; break;
    case TB_PAGEDOWN: v += st->page; break;
    case TB_TOP: v = st->min; break;
    case TB_BOTTOM: v = st->max; break;
    default: break;
  }
  MoveTo(hwnd, st, v);
  Notify(hwnd, code, st->pos);
}

void EndDrag(HWND hwnd, TrackState* st, bool notify) {
  st->dragging = false;
  InvalidateRect(hwnd, nullptr, TRUE);
  if (notify) {
    Notify(hwnd, TB_THUMBPOSITION, st->pos);
    if (IsWindow(hwnd)) Notify(hwnd, TB_ENDTRACK, 0);
  }
}

int Along(HWND hwnd, LPARAM lParam) { return Vertical(hwnd) ? GET_Y_LPARAM(lParam) : GET_X_LPARAM(lParam); }

void SetRedrawn(HWND hwnd, WPARAM redraw) {
  if (redraw) InvalidateRect(hwnd, nullptr, TRUE);
}

}  // namespace

LRESULT TrackBarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  TrackState* st = StateOf(hwnd);
  if (!st && msg != WM_NCCREATE) return DefWindowProcA(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_NCCREATE:
      if (!st) {
        st = new TrackState;
        SetPropA(hwnd, kTrackProp, st);
        AutoTicks(hwnd, st);
      }
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_NCDESTROY:
      RemovePropA(hwnd, kTrackProp);
      delete st;
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_SETFONT:
      st->font = reinterpret_cast<HFONT>(wParam);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(st->font);
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      if (msg == WM_KILLFOCUS && st->dragging && GetCapture() == hwnd) ReleaseCapture();
      InvalidateRect(hwnd, nullptr, TRUE);
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (GetFocus() != hwnd) SetFocus(hwnd);
      st = StateOf(hwnd);
      if (!st) return 0;
      const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      const RECT th = ThumbRect(hwnd, st);
      const int along = Along(hwnd, lParam);
      if (!(StyleOf(hwnd) & TBS_NOTHUMB) && p.x >= th.left && p.x < th.right && p.y >= th.top && p.y < th.bottom) {
        st->dragging = true;
        st->dragOffset = along - PixelOf(Layout(hwnd, st), st, st->pos);
        SetCapture(hwnd);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
      }
      const int thumbAt = PixelOf(Layout(hwnd, st), st, st->pos);
      if (along == thumbAt) return 0;
      st->paging = along < thumbAt ? TB_PAGEUP : TB_PAGEDOWN;
      st->pointer = along;
      SetCapture(hwnd);
      SetTimer(hwnd, kRepeatTimer, kFirstRepeat, nullptr);
      Step(hwnd, st, st->paging);
      return 0;
    }
    case WM_TIMER: {
      if (wParam != kRepeatTimer) return DefWindowProcA(hwnd, msg, wParam, lParam);
      if (st->paging == 0xFFFF || GetCapture() != hwnd) {
        KillTimer(hwnd, kRepeatTimer);
        return 0;
      }
      SetTimer(hwnd, kRepeatTimer, kRepeat, nullptr);
      const int thumbAt = PixelOf(Layout(hwnd, st), st, st->pos);
      const bool before = st->pointer < thumbAt - kThumbBreadth / 2;
      const bool after = st->pointer > thumbAt + kThumbBreadth / 2;
      if ((st->paging == TB_PAGEUP && before) || (st->paging == TB_PAGEDOWN && after)) Step(hwnd, st, st->paging);
      return 0;
    }
    case WM_MOUSEMOVE:
      st->pointer = Along(hwnd, lParam);
      if (st->dragging && GetCapture() == hwnd) {
        const int v = ValueAt(Layout(hwnd, st), st, Along(hwnd, lParam) - st->dragOffset);
        if (v != st->pos) {
          MoveTo(hwnd, st, v);
          Notify(hwnd, TB_THUMBTRACK, st->pos);
        }
      }
      return 0;
    case WM_LBUTTONUP:
      if (st->paging != 0xFFFF) {
        st->paging = 0xFFFF;
        KillTimer(hwnd, kRepeatTimer);
        if (GetCapture() == hwnd) ReleaseCapture();
        if (IsWindow(hwnd)) Notify(hwnd, TB_ENDTRACK, 0);
        return 0;
      }
      if (st->dragging) {
        st->dragging = false;
        if (GetCapture() == hwnd) ReleaseCapture();
        EndDrag(hwnd, st, true);
      }
      return 0;
    case WM_CAPTURECHANGED:
      if (st->paging != 0xFFFF) {
        st->paging = 0xFFFF;
        KillTimer(hwnd, kRepeatTimer);
        Notify(hwnd, TB_ENDTRACK, 0);
      }
      if (st->dragging) EndDrag(hwnd, st, true);
      return 0;
    case WM_KEYDOWN: {
      WORD code = 0xFFFF;
      switch (wParam) {
        case VK_LEFT: case VK_UP: code = TB_LINEUP; break;
        case VK_RIGHT: case VK_DOWN: code = TB_LINEDOWN; break;
        case VK_PRIOR: code = TB_PAGEUP; break;
        case VK_NEXT: code = TB_PAGEDOWN; break;
        case VK_HOME: code = TB_TOP; break;
        case VK_END: code = TB_BOTTOM; break;
        default: break;
      }
      if (code == 0xFFFF) return DefWindowProcA(hwnd, msg, wParam, lParam);
      st->keyMoved = true;
      Step(hwnd, st, code);
      return 0;
    }
    case WM_KEYUP:
      if (st->keyMoved) {
        st->keyMoved = false;
        Notify(hwnd, TB_ENDTRACK, 0);
        return 0;
      }
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_ERASEBKGND:
      return EraseWithButtonFace(hwnd, wParam);
    case WM_PAINT:
      return PaintControlWindow(hwnd, wParam, Paint);
    case TBM_GETPOS: return st->pos;
    case TBM_GETRANGEMIN: return st->min;
    case TBM_GETRANGEMAX: return st->max;
    case TBM_SETPOS:
      MoveTo(hwnd, st, static_cast<int>(lParam));
      return 0;
    case TBM_SETRANGE:
      st->min = static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam)));
      st->max = static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lParam)));
      AutoTicks(hwnd, st);
      st->pos = Clamp(st, st->pos);
      SetRedrawn(hwnd, wParam);
      return 0;
    case TBM_SETRANGEMIN:
    case TBM_SETRANGEMAX:
      (msg == TBM_SETRANGEMIN ? st->min : st->max) = static_cast<int>(lParam);
      AutoTicks(hwnd, st);
      st->pos = Clamp(st, st->pos);
      SetRedrawn(hwnd, wParam);
      return 0;
    case TBM_GETTIC:
      return wParam < st->tics.size() ? st->tics[wParam] : -1;
    case TBM_SETTIC: {
      const int v = static_cast<int>(lParam);
      if (v <= st->min || v >= st->max) return FALSE;
      auto at = std::lower_bound(st->tics.begin(), st->tics.end(), v);
      if (at == st->tics.end() || *at != v) st->tics.insert(at, v);
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    }
    case TBM_CLEARTICS:
      st->tics.clear();
      SetRedrawn(hwnd, wParam);
      return 0;
    case TBM_GETNUMTICS:
      return (StyleOf(hwnd) & TBS_NOTICKS) ? 0 : static_cast<LRESULT>(st->tics.size() + 2);
    case TBM_GETTICPOS:
      if (wParam >= st->tics.size()) return -1;
      return PixelOf(Layout(hwnd, st), st, st->tics[wParam]);
    case TBM_SETTICFREQ:
      st->freq = static_cast<int>(wParam);
      AutoTicks(hwnd, st);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case TBM_SETSEL:
      st->selStart = static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam)));
      st->selEnd = static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lParam)));
      SetRedrawn(hwnd, wParam);
      return 0;
    case TBM_SETSELSTART:
    case TBM_SETSELEND:
      (msg == TBM_SETSELSTART ? st->selStart : st->selEnd) = static_cast<int>(lParam);
      SetRedrawn(hwnd, wParam);
      return 0;
    case TBM_GETSELSTART: return st->selStart;
    case TBM_GETSELEND: return st->selEnd;
    case TBM_CLEARSEL:
      st->selStart = st->selEnd = 0;
      SetRedrawn(hwnd, wParam);
      return 0;
    case TBM_SETPAGESIZE: {
      const int old = st->page;
      st->page = static_cast<int>(lParam);
      return old;
    }
    case TBM_GETPAGESIZE: return st->page;
    case TBM_SETLINESIZE: {
      const int old = st->line;
      st->line = static_cast<int>(lParam);
      return old;
    }
    case TBM_GETLINESIZE: return st->line;
    case TBM_SETTHUMBLENGTH:
      if (StyleOf(hwnd) & TBS_FIXEDLENGTH) {
        st->thumbLength = std::max(4, static_cast<int>(wParam));
        InvalidateRect(hwnd, nullptr, TRUE);
      }
      return 0;
    case TBM_GETTHUMBLENGTH: return st->thumbLength;
    case TBM_GETTHUMBRECT:
      if (lParam) *reinterpret_cast<RECT*>(lParam) = ThumbRect(hwnd, st);
      return 0;
    case TBM_GETCHANNELRECT:
      if (lParam) *reinterpret_cast<RECT*>(lParam) = ChannelRect(hwnd, st);
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

// ---- TTrackBar ----

TTrackBar::TTrackBar(TComponent* owner) : TWinControl(owner) {
  RegisterComCtrlClasses();
  SetBounds(0, 0, 150, 45);
  SetTabStop(true);
}

void TTrackBar::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  CreateSubClass(p, "msctls_trackbar32");
  p.Style |= TBS_ENABLESELRANGE | TBS_FIXEDLENGTH;
  if (orientation_ == trVertical) p.Style |= TBS_VERT;
  if (tickStyle_ == tsAuto) p.Style |= TBS_AUTOTICKS;
  if (tickStyle_ == tsNone) p.Style |= TBS_NOTICKS;
  if (tickMarks_ == tmTopLeft) p.Style |= TBS_TOP;
  if (tickMarks_ == tmBoth) p.Style |= TBS_BOTH;
  if (!sliderVisible_) p.Style |= TBS_NOTHUMB;
}

void TTrackBar::CreateWnd() {
  TWinControl::CreateWnd();
  HWND h = Handle();
  SendMessageA(h, TBM_SETTHUMBLENGTH, static_cast<WPARAM>(thumbLength_), 0);
  SendMessageA(h, TBM_SETRANGEMIN, FALSE, min_);
  SendMessageA(h, TBM_SETRANGEMAX, FALSE, max_);
  SendMessageA(h, TBM_SETTICFREQ, static_cast<WPARAM>(frequency_), 0);
  SendMessageA(h, TBM_SETPAGESIZE, 0, pageSize_);
  SendMessageA(h, TBM_SETLINESIZE, 0, lineSize_);
  SendMessageA(h, TBM_SETSELSTART, FALSE, selStart_);
  SendMessageA(h, TBM_SETSELEND, FALSE, selEnd_);
  SendMessageA(h, TBM_SETPOS, TRUE, position_);
}

void TTrackBar::Send(UINT msg, WPARAM w, LPARAM l) {
  if (HandleAllocated()) SendMessageA(Handle(), msg, w, l);
}

// Kept up to date from the window's notifications when the user moves it.
int TTrackBar::Position() const { return position_; }

void TTrackBar::SetRange(int min, int max) {
  if (max < min) max = min;
  min_ = min;
  max_ = max;
  Send(TBM_SETRANGEMIN, FALSE, min_);
  Send(TBM_SETRANGEMAX, TRUE, max_);
  const int clamped = std::clamp(position_, min_, max_);
  if (clamped != position_) SetPosition(clamped);
}

void TTrackBar::SetPosition(int v) {
  v = std::clamp(v, min_, max_);
  if (v == position_) return;
  position_ = v;
  Send(TBM_SETPOS, TRUE, v);
  Changed();
}

void TTrackBar::SetFrequency(int v) {
  frequency_ = v;
  Send(TBM_SETTICFREQ, static_cast<WPARAM>(v), 0);
}

void TTrackBar::SetTickMarks(TTickMark v) {
  if (tickMarks_ == v) return;
  tickMarks_ = v;
  if (HandleAllocated()) RecreateWnd();
}

void TTrackBar::SetTickStyle(TTickStyle v) {
  if (tickStyle_ == v) return;
  tickStyle_ = v;
  if (HandleAllocated()) RecreateWnd();
}

void TTrackBar::SetOrientation(TTrackBarOrientation v) {
  if (orientation_ == v) return;
  orientation_ = v;
  // The control turns on its corner.
  if (!(ComponentState().Contains(csLoading))) SetBounds(Left(), Top(), Height(), Width());
  if (HandleAllocated()) RecreateWnd();
}

void TTrackBar::SetPageSize(int v) {
  pageSize_ = v;
  Send(TBM_SETPAGESIZE, 0, v);
}

void TTrackBar::SetLineSize(int v) {
  lineSize_ = v;
  Send(TBM_SETLINESIZE, 0, v);
}

void TTrackBar::SetSelStart(int v) {
  selStart_ = v;
  Send(TBM_SETSELSTART, TRUE, v);
}

void TTrackBar::SetSelEnd(int v) {
  selEnd_ = v;
  Send(TBM_SETSELEND, TRUE, v);
}

void TTrackBar::SetThumbLength(int v) {
  thumbLength_ = v;
  Send(TBM_SETTHUMBLENGTH, static_cast<WPARAM>(v), 0);
}

void TTrackBar::SetSliderVisible(bool v) {
  if (sliderVisible_ == v) return;
  sliderVisible_ = v;
  if (HandleAllocated()) RecreateWnd();
}

void TTrackBar::SetTick(int value) { Send(TBM_SETTIC, 0, value); }

void TTrackBar::Changed() {
  if (OnChange) OnChange(this);
}

void TTrackBar::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CN_HSCROLL:
    case CN_VSCROLL: {
      const int v = static_cast<int>(SendMessageA(Handle(), TBM_GETPOS, 0, 0));
      if (v != position_) {
        position_ = v;
        Changed();
      }
      m.Result = 0;
      return;
    }
    default:
      break;
  }
  TWinControl::Dispatch(m);
}

}  // namespace forms
