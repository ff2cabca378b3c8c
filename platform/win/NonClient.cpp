// The non-client area the layer draws for windows that do not draw their
// own: frames, captions with their buttons, edges and scroll-bar places,
// the hit test over them, and the modal move and size loops.
#include <algorithm>

#include "platform/win/Input.h"
#include "platform/win/MessageIds.h"
#include "platform/win/Metrics.h"
#include "platform/win/WindowInternal.h"
#include "platform/win/WindowSurface.h"

namespace win {
namespace detail {
namespace {

bool hasCaption(DWORD style) { return (style & WS_CAPTION) == WS_CAPTION; }

int captionHeight(DWORD exStyle) {
  return GetSystemMetrics((exStyle & WS_EX_TOOLWINDOW) ? SM_CYSMCAPTION : SM_CYCAPTION);
}

struct CaptionLayout {
  RECT caption;  // window coordinates
  RECT sysMenu, minBox, maxBox, close;
};

CaptionLayout captionLayout(DWORD style, DWORD exStyle, LONG width) {
  CaptionLayout l{};
  const RECT inset = FrameInsets(style & ~WS_CAPTION, exStyle & ~(WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));
  const int h = captionHeight(exStyle);
  l.caption = {inset.left, inset.top, width - inset.right, inset.top + h - 1};
  const bool tool = (exStyle & WS_EX_TOOLWINDOW) != 0;
  const int bw = GetSystemMetrics(tool ? SM_CXSMSIZE : SM_CXSIZE) - 2;
  const int bh = GetSystemMetrics(tool ? SM_CYSMSIZE : SM_CYSIZE) - 4;
  const LONG top = l.caption.top + 2;
  LONG right = l.caption.right - 2;
  if (style & WS_SYSMENU) {
    l.close = {right - bw, top, right, top + bh};
    right = l.close.left - 2;
    if (!tool && (style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX))) {
      l.maxBox = {right - bw, top, right, top + bh};
      l.minBox = {l.maxBox.left - bw, top, l.maxBox.left, top + bh};
    }
    if (!tool) l.sysMenu = {l.caption.left + 1, l.caption.top + 1, l.caption.left + 1 + 16, l.caption.bottom - 1};
  }
  return l;
}

bool in(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

uint32_t argb(COLORREF c) { return 0xFF000000u | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }

struct Painter {
  WindowDrawTarget t;
  Region clip;
  void fill(RECT r, COLORREF c) {
    r.left += t.origin.x, r.right += t.origin.x, r.top += t.origin.y, r.bottom += t.origin.y;
    const uint32_t px = argb(c);
    for (const RECT& v : clip.Intersect(Region(r)).Rects())
      for (LONG y = v.top; y < v.bottom; ++y) {
        uint32_t* row = t.surface->Row(y);
        for (LONG x = v.left; x < v.right; ++x) row[x] = px;
      }
  }
  // Two-colour bevel lines of width 1 around `r`.
  void bevel(const RECT& r, COLORREF topLeft, COLORREF bottomRight) {
    fill({r.left, r.top, r.right - 1, r.top + 1}, topLeft);
    fill({r.left, r.top, r.left + 1, r.bottom - 1}, topLeft);
    fill({r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
    fill({r.right - 1, r.top, r.right, r.bottom}, bottomRight);
  }
  void raised(const RECT& r) {
    bevel(r, GetSysColor(COLOR_3DLIGHT), GetSysColor(COLOR_3DDKSHADOW));
    bevel({r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, GetSysColor(COLOR_BTNHIGHLIGHT),
          GetSysColor(COLOR_BTNSHADOW));
  }
  void sunken(const RECT& r) {
    bevel(r, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
    bevel({r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, GetSysColor(COLOR_3DDKSHADOW),
          GetSysColor(COLOR_3DLIGHT));
  }
  void gradient(const RECT& r, COLORREF from, COLORREF to) {
    const LONG w = std::max<LONG>(r.Width(), 1);
    for (LONG x = r.left; x < r.right; ++x) {
      const int k = static_cast<int>((x - r.left) * 255 / w);
      auto mix = [&](BYTE a, BYTE b) { return static_cast<BYTE>((a * (255 - k) + b * k) / 255); };
      fill({x, r.top, x + 1, r.bottom},
           RGB(mix(GetRValue(from), GetRValue(to)), mix(GetGValue(from), GetGValue(to)),
               mix(GetBValue(from), GetBValue(to))));
    }
  }
  void button(const RECT& r, int glyph) {
    if (r.right <= r.left) return;
    fill(r, GetSysColor(COLOR_BTNFACE));
    raised(r);
    const COLORREF ink = GetSysColor(COLOR_BTNTEXT);
    const LONG cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    switch (glyph) {
      case 0:  // close: a cross
        for (int i = -3; i <= 3; ++i) {
          fill({cx + i - 1, cy + i, cx + i + 1, cy + i + 1}, ink);
          fill({cx - i - 1, cy + i, cx - i + 1, cy + i + 1}, ink);
        }
        break;
      case 1:  // maximise: a box with a thick top
        fill({cx - 4, cy - 4, cx + 5, cy - 2}, ink);
        fill({cx - 4, cy - 4, cx - 3, cy + 4}, ink);
        fill({cx + 4, cy - 4, cx + 5, cy + 4}, ink);
        fill({cx - 4, cy + 3, cx + 5, cy + 4}, ink);
        break;
      case 2:  // minimise: a bar
        fill({cx - 4, cy + 2, cx + 2, cy + 4}, ink);
        break;
      default:  // arrows: 3 up, 4 down, 5 left, 6 right
        for (int i = 0; i < 4; ++i) {
          switch (glyph) {
            case 3: fill({cx - i, cy - 2 + i, cx + i + 1, cy - 1 + i}, ink); break;
            case 4: fill({cx - 3 + i, cy - 1 + i, cx + 4 - i, cy + i}, ink); break;
            case 5: fill({cx - 2 + i, cy - i, cx - 1 + i, cy + i + 1}, ink); break;
            default: fill({cx - 1 + i, cy - 3 + i, cx + i, cy + 4 - i}, ink); break;
          }
        }
        break;
    }
  }
};

}  // namespace

RECT FrameInsets(DWORD style, DWORD exStyle) {
  RECT r{0, 0, 0, 0};
  auto grow = [&](int n) { r.left += n, r.top += n, r.right += n, r.bottom += n; };
  const bool child = (style & WS_CHILD) != 0;
  if (!child && (style & WS_THICKFRAME)) {
    grow(GetSystemMetrics(SM_CXSIZEFRAME));
  } else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME)) {
    grow(GetSystemMetrics(SM_CXFIXEDFRAME));
  } else if (style & WS_BORDER) {
    grow(GetSystemMetrics(SM_CXBORDER));
  } else if (child && (style & WS_THICKFRAME)) {
    grow(GetSystemMetrics(SM_CXSIZEFRAME));
  }
  if (exStyle & WS_EX_CLIENTEDGE) grow(GetSystemMetrics(SM_CXEDGE));
  if (exStyle & WS_EX_STATICEDGE) grow(GetSystemMetrics(SM_CXBORDER));
  if (hasCaption(style)) r.top += captionHeight(exStyle);
  return r;
}

RECT DefaultClientRect(DWORD style, DWORD exStyle, const RECT& window) {
  if (style & WS_MINIMIZE) return {window.left, window.top, window.left, window.top};
  const RECT inset = FrameInsets(style, exStyle);
  RECT c{window.left + inset.left, window.top + inset.top, window.right - inset.right, window.bottom - inset.bottom};
  if (style & WS_VSCROLL) c.right -= GetSystemMetrics(SM_CXVSCROLL);
  if (style & WS_HSCROLL) c.bottom -= GetSystemMetrics(SM_CYHSCROLL);
  c.right = std::max(c.right, c.left);
  c.bottom = std::max(c.bottom, c.top);
  return c;
}

LRESULT DefaultHitTest(HWND hwnd, POINT screen) {
  DWORD style, exStyle;
  RECT win, client;
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (!w) return HTNOWHERE;
    style = w->style, exStyle = w->exStyle;
    win = WindowRectOnScreen(*w);
    const POINT o = ClientOriginOnScreen(*w);
    client = {o.x, o.y, o.x + w->client.Width(), o.y + w->client.Height()};
  }
  if (!in(win, screen)) return HTNOWHERE;
  if (in(client, screen)) return HTCLIENT;
  if (style & WS_MINIMIZE) return HTCAPTION;
  const POINT p{screen.x - win.left, screen.y - win.top};
  const LONG w = win.Width(), h = win.Height();
  const RECT frame = FrameInsets(style & ~WS_CAPTION, exStyle & ~(WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));
  const bool sizable = (style & WS_THICKFRAME) && !(style & WS_MAXIMIZE);
  if (p.x < frame.left || p.x >= w - frame.right || p.y < frame.top || p.y >= h - frame.bottom) {
    if (!sizable) return HTBORDER;
    const int corner = GetSystemMetrics(SM_CYCAPTION) + frame.left;
    const bool left = p.x < corner, right = p.x >= w - corner, top = p.y < corner, bottom = p.y >= h - corner;
    if (p.y < frame.top) return left ? HTTOPLEFT : right ? HTTOPRIGHT : HTTOP;
    if (p.y >= h - frame.bottom) return left ? HTBOTTOMLEFT : right ? HTBOTTOMRIGHT : HTBOTTOM;
    if (p.x < frame.left) return top ? HTTOPLEFT : bottom ? HTBOTTOMLEFT : HTLEFT;
    return top ? HTTOPRIGHT : bottom ? HTBOTTOMRIGHT : HTRIGHT;
  }
  if (hasCaption(style)) {
    const CaptionLayout l = captionLayout(style, exStyle, w);
    if (p.y < l.caption.bottom + 1) {
      if (in(l.close, p)) return HTCLOSE;
      if (in(l.maxBox, p)) return HTMAXBUTTON;
      if (in(l.minBox, p)) return HTMINBUTTON;
      if (in(l.sysMenu, p)) return HTSYSMENU;
      return HTCAPTION;
    }
  }
  const POINT c{screen.x - client.left, screen.y - client.top};
  if ((style & WS_VSCROLL) && c.x >= client.Width() && c.y >= 0 && c.y < client.Height()) return HTVSCROLL;
  if ((style & WS_HSCROLL) && c.y >= client.Height() && c.x >= 0 && c.x < client.Width()) return HTHSCROLL;
  if ((style & WS_VSCROLL) && (style & WS_HSCROLL) && c.x >= client.Width() && c.y >= client.Height())
    return HTSIZE;
  return HTBORDER;
}

void PaintDefaultFrame(HWND hwnd, bool active) {
  DWORD style, exStyle;
  RECT win, client;
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (!w) return;
    style = w->style, exStyle = w->exStyle;
    win = {0, 0, w->window.Width(), w->window.Height()};
    client = {w->client.left - w->window.left, w->client.top - w->window.top, 0, 0};
    client.right = client.left + w->client.Width();
    client.bottom = client.top + w->client.Height();
  }
  Painter p;
  if (!GetWindowDrawTarget(hwnd, false, &p.t) || !p.t.surface) return;
  p.clip = Region::FromRects(p.t.visible);
  if (p.clip.Empty()) return;
  const bool child = (style & WS_CHILD) != 0;
  RECT r = win;
  RECT captionText{};
  if ((!child && (style & WS_THICKFRAME)) || (style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME)) {
    const int n = (!child && (style & WS_THICKFRAME)) ? GetSystemMetrics(SM_CXSIZEFRAME)
                                                      : GetSystemMetrics(SM_CXFIXEDFRAME);
    p.fill(r, GetSysColor(active ? COLOR_ACTIVEBORDER : COLOR_INACTIVEBORDER));
    p.raised(r);
    r = {r.left + n, r.top + n, r.right - n, r.bottom - n};
  } else if (style & WS_BORDER) {
    p.bevel(r, GetSysColor(COLOR_WINDOWFRAME), GetSysColor(COLOR_WINDOWFRAME));
    r = {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
  }
  if (hasCaption(style)) {
    const CaptionLayout l = captionLayout(style, exStyle, win.Width());
    const RECT band{r.left, r.top, r.right, r.top + captionHeight(exStyle) - 1};
    p.gradient(band, GetSysColor(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION),
               GetSysColor(active ? COLOR_GRADIENTACTIVECAPTION : COLOR_GRADIENTINACTIVECAPTION));
    p.fill({r.left, band.bottom, r.right, band.bottom + 1}, GetSysColor(COLOR_BTNFACE));
    p.button(l.close, 0);
    p.button(l.maxBox, 1);
    p.button(l.minBox, 2);
    r.top = band.bottom + 1;
    captionText = band;
    captionText.left = (l.sysMenu.right > l.sysMenu.left ? l.sysMenu.right : band.left) + 2;
    const LONG firstButton = l.minBox.right > l.minBox.left ? l.minBox.left
                             : l.close.right > l.close.left ? l.close.left : band.right;
    captionText.right = firstButton - 2;
  }
  if (exStyle & WS_EX_CLIENTEDGE) {
    p.sunken(r);
    r = {r.left + 2, r.top + 2, r.right - 2, r.bottom - 2};
  }
  if (exStyle & WS_EX_STATICEDGE) {
    p.bevel(r, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
    r = {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
  }
  for (int bar : {SB_HORZ, SB_VERT}) {
    const ScrollLayout l = LayoutScrollBar(hwnd, bar);
    if (l.bar.right <= l.bar.left) continue;
    // The track: the classic half-tone of face and highlight.
    for (LONG y = l.bar.top; y < l.bar.bottom; ++y)
      for (LONG x = l.bar.left; x < l.bar.right; ++x)
        p.fill({x, y, x + 1, y + 1}, GetSysColor(((x + y) & 1) ? COLOR_BTNHIGHLIGHT : COLOR_SCROLLBAR));
    p.button(l.lineUp, l.vertical ? 3 : 5);
    p.button(l.lineDown, l.vertical ? 4 : 6);
    if (l.thumb.right > l.thumb.left) {
      p.fill(l.thumb, GetSysColor(COLOR_BTNFACE));
      p.raised(l.thumb);
    }
  }
  if ((style & WS_VSCROLL) && (style & WS_HSCROLL))
    p.fill({client.right, client.bottom, r.right, r.bottom}, GetSysColor(COLOR_BTNFACE));
  if (captionText.right > captionText.left)
    DrawCaptionText(hwnd, captionText, active, (exStyle & WS_EX_TOOLWINDOW) != 0);
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (auto top = w ? TopLevelOf(w) : nullptr) NoteSurfaceChange(*top, p.clip.Bounds());
  }
}

void RunMoveSizeLoop(HWND hwnd, WPARAM command, LPARAM where) {
  const WPARAM kind = command & 0xFFF0;
  const int edge = static_cast<int>(command & 0x000F);
  // Only mouse-driven moves and sizes. Skinned windows also drag from a right
  // or middle press; the loop then ends when that button comes up.
  const bool left = GetKeyState(VK_LBUTTON) & 0x8000;
  if (!left && !(GetKeyState(VK_RBUTTON) & 0x8000) && !(GetKeyState(VK_MBUTTON) & 0x8000)) return;
  RECT start;
  DWORD style;
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (!w) return;
    start = w->window;
    style = w->style;
  }
  if (style & (WS_MAXIMIZE | WS_MINIMIZE)) return;
  // Where the button went down: the command's point when it came from a
  // click, else the last message's.
  POINT origin{GET_X_LPARAM(where), GET_Y_LPARAM(where)};
  if (!where) {
    const DWORD pos = GetMessagePos();
    origin = {static_cast<int16_t>(LOWORD(pos)), static_cast<int16_t>(HIWORD(pos))};
  }
  MINMAXINFO mmi{};
  if (kind == SC_SIZE) QueryMinMax(hwnd, &mmi);
  SetCapture(hwnd);
  SendMessageA(hwnd, WM_ENTERSIZEMOVE, 0, 0);
  MSG msg;
  for (;;) {
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (GetCapture() != hwnd || !IsWindow(hwnd)) break;
    const bool mouse = (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) ||
                       (msg.message >= WM_NCMOUSEMOVE && msg.message <= WM_NCMBUTTONDBLCLK);
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
      SetWindowPos(hwnd, nullptr, start.left, start.top, start.Width(), start.Height(),
                   SWP_NOZORDER | SWP_NOACTIVATE);
      break;
    }
    if (!mouse) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
      continue;
    }
    const bool up = left ? (msg.message == WM_LBUTTONUP || msg.message == WM_NCLBUTTONUP)
                         : (msg.message == WM_RBUTTONUP || msg.message == WM_NCRBUTTONUP ||
                            msg.message == WM_MBUTTONUP || msg.message == WM_NCMBUTTONUP);
    if (up) break;
    if (msg.message != WM_MOUSEMOVE && msg.message != WM_NCMOUSEMOVE) continue;
    const LONG dx = msg.pt.x - origin.x, dy = msg.pt.y - origin.y;
    RECT r = start;
    if (kind == SC_MOVE) {
      r = {start.left + dx, start.top + dy, start.right + dx, start.bottom + dy};
      SendMessageA(hwnd, WM_MOVING, static_cast<WPARAM>(edge), reinterpret_cast<LPARAM>(&r));
    } else {
      // WMSZ codes: 1 left, 2 right, 3 top, 4 top-left, 5 top-right,
      // 6 bottom, 7 bottom-left, 8 bottom-right.
      const bool left = edge == 1 || edge == 4 || edge == 7, right = edge == 2 || edge == 5 || edge == 8;
      const bool top = edge >= 3 && edge <= 5, bottom = edge >= 6 && edge <= 8;
      if (left) r.left = std::clamp(start.left + dx, start.right - mmi.ptMaxTrackSize.x, start.right - mmi.ptMinTrackSize.x);
      if (right) r.right = std::clamp(start.right + dx, start.left + mmi.ptMinTrackSize.x, start.left + mmi.ptMaxTrackSize.x);
      if (top) r.top = std::clamp(start.top + dy, start.bottom - mmi.ptMaxTrackSize.y, start.bottom - mmi.ptMinTrackSize.y);
      if (bottom) r.bottom = std::clamp(start.bottom + dy, start.top + mmi.ptMinTrackSize.y, start.top + mmi.ptMaxTrackSize.y);
      SendMessageA(hwnd, WM_SIZING, static_cast<WPARAM>(edge), reinterpret_cast<LPARAM>(&r));
    }
    SetWindowPos(hwnd, nullptr, r.left, r.top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (GetCapture() == hwnd) ReleaseCapture();
  if (IsWindow(hwnd)) SendMessageA(hwnd, WM_EXITSIZEMOVE, 0, 0);
}

// Presses a caption button: answers whether the button was released over it.
bool TrackCaptionButton(HWND hwnd, LRESULT code) {
  if (!(GetKeyState(VK_LBUTTON) & 0x8000)) return true;
  SetCapture(hwnd);
  bool over = true;
  MSG msg;
  for (;;) {
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      over = false;
      break;
    }
    if (GetCapture() != hwnd || !IsWindow(hwnd)) {
      over = false;
      break;
    }
    const bool mouse = (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) ||
                       (msg.message >= WM_NCMOUSEMOVE && msg.message <= WM_NCMBUTTONDBLCLK);
    if (!mouse) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
      continue;
    }
    if (msg.message == WM_LBUTTONUP || msg.message == WM_NCLBUTTONUP) {
      over = DefaultHitTest(hwnd, msg.pt) == code;
      break;
    }
  }
  if (GetCapture() == hwnd) ReleaseCapture();
  return over;
}

}  // namespace detail
}  // namespace win
