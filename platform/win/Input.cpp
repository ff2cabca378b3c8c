// Focus, activation, capture, the pointer, key state, mouse tracking and the
// injection of input.
#include "platform/win/Input.h"

#include <array>
#include <mutex>

#include "platform/rtl/Clock.h"
#include "platform/win/Metrics.h"
#include "platform/win/WindowInternal.h"

namespace win {
namespace detail {
namespace {

constexpr UINT_PTR kHoverTimerId = 0xFFFF0001;

struct ClickRecord {
  HWND hwnd{};
  int button = -1;
  uint32_t time = 0;
  POINT pt;
  bool nonClient = false;
};

struct InputState {
  std::mutex mutex;
  POINT cursor{0, 0};
  // What the hardware says now, and what the messages retrieved so far
  // say: GetKeyState and TranslateMessage read the second, so a message is
  // interpreted with the keys as they were when it was made.
  std::array<BYTE, 256> keys{};
  std::array<BYTE, 256> syncKeys{};
  HWND focus{}, active{}, capture{};
  // The window that took the last press while a button is held. Input is
  // routed as it is injected, possibly before the pressed window had the
  // chance to capture the mouse (a move loop starts only when the press is
  // dispatched); pointer events that find no window go to it, as the mouse
  // would have been captured by then.
  HWND pressed{};
  HCURSOR shape{};
  // TrackMouseEvent
  HWND tracked{};
  DWORD trackFlags = 0;
  DWORD hoverTime = 400;
  RECT hoverRect;
  ClickRecord lastClick;
};

InputState& state() {
  static InputState s;
  return s;
}

bool down(const InputState& s, UINT vk) { return (s.keys[vk & 0xFF] & 0x80) != 0; }

WPARAM keyFlags() {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  WPARAM f = 0;
  if (down(s, VK_LBUTTON)) f |= MK_LBUTTON;
  if (down(s, VK_RBUTTON)) f |= MK_RBUTTON;
  if (down(s, VK_MBUTTON)) f |= MK_MBUTTON;
  if (down(s, VK_SHIFT)) f |= MK_SHIFT;
  if (down(s, VK_CONTROL)) f |= MK_CONTROL;
  return f;
}

LPARAM packPoint(POINT p) { return MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y)); }

void postTo(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<ThreadQueue> q;
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (!w || w->destroyed) return;
    q = w->queue;
  }
  if (!q) return;
  POINT pt;
  {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    pt = s.cursor;
  }
  PostInput(*q, MSG{hwnd, msg, wParam, lParam, rtl::GetTickCount(), pt});
}

bool clientContains(HWND hwnd, POINT screen) {
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w) return false;
  const POINT o = ClientOriginOnScreen(*w);
  return screen.x >= o.x && screen.y >= o.y && screen.x < o.x + w->client.Width() &&
         screen.y < o.y + w->client.Height();
}

void hoverTimerProc(HWND hwnd, UINT, UINT_PTR, DWORD) {
  KillTimer(hwnd, kHoverTimerId);
  auto& s = state();
  POINT pt;
  bool fire = false;
  bool nonClient = false;
  {
    std::lock_guard lock(s.mutex);
    if (s.tracked == hwnd && (s.trackFlags & TME_HOVER)) {
      fire = true;
      nonClient = (s.trackFlags & TME_NONCLIENT) != 0;
      s.trackFlags &= ~TME_HOVER;
      pt = s.cursor;
    }
  }
  if (!fire) return;
  if (nonClient) {
    postTo(hwnd, WM_NCMOUSEHOVER, static_cast<WPARAM>(DefaultHitTest(hwnd, pt)), packPoint(pt));
  } else {
    POINT c = pt;
    ScreenToClient(hwnd, &c);
    postTo(hwnd, WM_MOUSEHOVER, keyFlags(), packPoint(c));
  }
}

void armHover(HWND hwnd, DWORD ms) {
  auto& s = state();
  {
    std::lock_guard lock(s.mutex);
    const int cx = GetSystemMetrics(SM_CXDOUBLECLK) / 2, cy = GetSystemMetrics(SM_CYDOUBLECLK) / 2;
    s.hoverRect = {s.cursor.x - cx, s.cursor.y - cy, s.cursor.x + cx + 1, s.cursor.y + cy + 1};
  }
  SetTimer(hwnd, kHoverTimerId, ms, hoverTimerProc);
}

// After the pointer moved: leave and hover for the tracked window. The
// window under the pointer is found without regard to capture, so a
// captured window still learns that the pointer left it.
void updateTracking(POINT pt) {
  auto& s = state();
  HWND tracked;
  DWORD flags, hoverTime;
  bool leftHoverRect;
  {
    std::lock_guard lock(s.mutex);
    tracked = s.tracked, flags = s.trackFlags, hoverTime = s.hoverTime;
    leftHoverRect = pt.x < s.hoverRect.left || pt.y < s.hoverRect.top || pt.x >= s.hoverRect.right ||
                    pt.y >= s.hoverRect.bottom;
  }
  if (!tracked || !(flags & (TME_LEAVE | TME_HOVER))) return;
  if (!IsWindow(tracked)) {
    std::lock_guard lock(s.mutex);
    s.tracked = nullptr, s.trackFlags = 0;
    return;
  }
  const HWND under = WindowAtPoint(pt, false, nullptr);
  const bool nonClient = (flags & TME_NONCLIENT) != 0;
  const bool inClient = clientContains(tracked, pt);
  const bool over = under == tracked && (nonClient ? !inClient : inClient);
  if (!over) {
    {
      std::lock_guard lock(s.mutex);
      s.trackFlags = 0;
    }
    KillTimer(tracked, kHoverTimerId);
    if (flags & TME_LEAVE) postTo(tracked, nonClient ? WM_NCMOUSELEAVE : WM_MOUSELEAVE, 0, 0);
    return;
  }
  if ((flags & TME_HOVER) && leftHoverRect) armHover(tracked, hoverTime);
}

void activateForClick(HWND target, LRESULT hit, UINT msg, bool* eat) {
  *eat = false;
  const HWND top = GetAncestor(target, GA_ROOT);
  if (!top || top == GetActiveWindow()) return;
  const LRESULT r = SendMessageA(target, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(top),
                                 MAKELPARAM(static_cast<WORD>(hit), static_cast<WORD>(msg)));
  if (r == MA_ACTIVATE || r == MA_ACTIVATEANDEAT || r == 0) {
    DWORD ex = static_cast<DWORD>(GetWindowLongA(top, GWL_EXSTYLE));
    if (!(ex & WS_EX_NOACTIVATE)) SetActiveWindow(top);
  }
  *eat = r == MA_ACTIVATEANDEAT || r == MA_NOACTIVATEANDEAT;
}

// Routes one mouse event at the current pointer position. `kind` is 0 for
// a move, else 1 + button * 3 + (0 down, 1 up).
void routeMouse(UINT clientMsg, UINT ncMsg, int button, bool isDown, LPARAM wheelDelta = 0) {
  auto& s = state();
  POINT pt;
  HWND capture;
  {
    std::lock_guard lock(s.mutex);
    pt = s.cursor;
    capture = s.capture;
  }
  if (capture && !IsWindow(capture)) capture = nullptr;
  if (clientMsg == WM_MOUSEWHEEL) {
    // The wheel goes to the focus window, not to the one under the pointer.
    HWND focus = GetFocus();
    if (!focus) focus = GetActiveWindow();
    if (!focus) return;
    postTo(focus, WM_MOUSEWHEEL, MAKEWPARAM(static_cast<WORD>(keyFlags()), static_cast<WORD>(wheelDelta)),
           packPoint(pt));
    return;
  }
  HWND target;
  LRESULT hit = HTCLIENT;
  if (capture) {
    target = capture;
  } else {
    target = WindowAtPoint(pt, true, &hit);
    if (!target) {
      HWND pressed;
      {
        std::lock_guard lock(s.mutex);
        pressed = s.pressed;
      }
      if (!pressed || !IsWindow(pressed)) return;
      target = pressed;
      capture = pressed;  // delivered as to a captured window
    }
  }
  const bool client = capture || hit == HTCLIENT;
  UINT msg = client ? clientMsg : ncMsg;
  if (!capture)
    SendMessageA(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target),
                 MAKELPARAM(static_cast<WORD>(hit), static_cast<WORD>(msg)));
  if (button >= 0 && isDown) {
    bool eat = false;
    activateForClick(target, hit, msg, &eat);
    if (eat || !IsWindow(target)) return;
    // A second press soon enough and near enough is a double click.
    const uint32_t now = rtl::GetTickCount();
    bool dbl = false;
    {
      std::lock_guard lock(s.mutex);
      const ClickRecord& last = s.lastClick;
      const int cx = GetSystemMetrics(SM_CXDOUBLECLK) / 2, cy = GetSystemMetrics(SM_CYDOUBLECLK) / 2;
      if (last.hwnd == target && last.button == button && last.nonClient == !client &&
          now - last.time <= GetDoubleClickTime() && std::abs(pt.x - last.pt.x) <= cx &&
          std::abs(pt.y - last.pt.y) <= cy) {
        dbl = true;
      }
      s.lastClick = dbl ? ClickRecord{} : ClickRecord{target, button, now, pt, !client};
    }
    if (dbl) {
      const bool classWants = (GetClassLongPtrA(target, GCL_STYLE) & CS_DBLCLKS) != 0;
      if (!client || classWants) msg += 2;  // xBUTTONDOWN + 2 = xBUTTONDBLCLK
    }
  }
  if (client) {
    POINT c = pt;
    ScreenToClient(target, &c);
    postTo(target, msg, keyFlags(), packPoint(c));
  } else {
    postTo(target, msg, static_cast<WPARAM>(hit), packPoint(pt));
  }
  if (button >= 0) {
    std::lock_guard lock(s.mutex);
    if (isDown) {
      s.pressed = target;
    } else if (!down(s, VK_LBUTTON) && !down(s, VK_RBUTTON) && !down(s, VK_MBUTTON)) {
      s.pressed = nullptr;
    }
  }
}

void setKeyIn(std::array<BYTE, 256>& keys, UINT vk, bool isDown) {
  auto set = [&](UINT k) {
    BYTE& b = keys[k & 0xFF];
    if (isDown && !(b & 0x80)) b ^= 0x01;  // toggle on each press
    b = static_cast<BYTE>(isDown ? (b | 0x80) : (b & ~0x80));
  };
  set(vk);
  switch (vk) {
    case VK_LSHIFT: case VK_RSHIFT: set(VK_SHIFT); break;
    case VK_LCONTROL: case VK_RCONTROL: set(VK_CONTROL); break;
    case VK_LMENU: case VK_RMENU: set(VK_MENU); break;
    default: break;
  }
}

void setKey(UINT vk, bool isDown) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  setKeyIn(s.keys, vk, isDown);
}

// The character a key gives on a US keyboard, or 0.
char16_t charForKey(UINT vk, bool shift, bool ctrl, bool caps) {
  if (vk >= 'A' && vk <= 'Z') {
    if (ctrl) return static_cast<char16_t>(vk - 'A' + 1);
    const bool upper = shift != caps;
    return static_cast<char16_t>(upper ? vk : vk - 'A' + 'a');
  }
  if (ctrl) {
    if (vk == VK_RETURN) return u'\n';
    if (vk == VK_BACK) return 0x7F;
    return 0;
  }
  if (vk >= '0' && vk <= '9') {
    static const char16_t shifted[] = u")!@#$%^&*(";
    return shift ? shifted[vk - '0'] : static_cast<char16_t>(vk);
  }
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return static_cast<char16_t>(u'0' + (vk - VK_NUMPAD0));
  switch (vk) {
    case VK_SPACE: return u' ';
    case VK_RETURN: return u'\r';
    case VK_BACK: return 0x08;
    case VK_TAB: return u'\t';
    case VK_ESCAPE: return 0x1B;
    case VK_MULTIPLY: return u'*';
    case VK_ADD: return u'+';
    case VK_SUBTRACT: return u'-';
    case VK_DECIMAL: return u'.';
    case VK_DIVIDE: return u'/';
    case VK_OEM_1: return shift ? u':' : u';';
    case VK_OEM_PLUS: return shift ? u'+' : u'=';
    case VK_OEM_COMMA: return shift ? u'<' : u',';
    case VK_OEM_MINUS: return shift ? u'_' : u'-';
    case VK_OEM_PERIOD: return shift ? u'>' : u'.';
    case VK_OEM_2: return shift ? u'?' : u'/';
    case VK_OEM_3: return shift ? u'~' : u'`';
    case VK_OEM_4: return shift ? u'{' : u'[';
    case VK_OEM_5: return shift ? u'|' : u'\\';
    case VK_OEM_6: return shift ? u'}' : u']';
    case VK_OEM_7: return shift ? u'"' : u'\'';
    default: return 0;
  }
}

// The key (and whether Shift is needed) that types `c`, or 0.
UINT keyForChar(char16_t c, bool* shift) {
  *shift = false;
  if (c >= u'a' && c <= u'z') return c - u'a' + 'A';
  if (c >= u'A' && c <= u'Z') {
    *shift = true;
    return c;
  }
  if (c >= u'0' && c <= u'9') return c;
  if (c == u' ') return VK_SPACE;
  if (c == u'\r' || c == u'\n') return VK_RETURN;
  if (c == u'\t') return VK_TAB;
  if (c == 0x08) return VK_BACK;
  if (c == 0x1B) return VK_ESCAPE;
  static const UINT oem[] = {VK_OEM_1, VK_OEM_PLUS, VK_OEM_COMMA, VK_OEM_MINUS, VK_OEM_PERIOD, VK_OEM_2,
                             VK_OEM_3, VK_OEM_4,    VK_OEM_5,     VK_OEM_6,     VK_OEM_7};
  for (UINT vk : oem) {
    if (charForKey(vk, false, false, false) == c) return vk;
    if (charForKey(vk, true, false, false) == c) {
      *shift = true;
      return vk;
    }
  }
  static const char16_t shiftedDigits[] = u")!@#$%^&*(";
  for (int d = 0; d < 10; ++d)
    if (shiftedDigits[d] == c) {
      *shift = true;
      return static_cast<UINT>('0' + d);
    }
  return 0;
}

}  // namespace

UINT KeyForChar(char16_t c, bool* shift) { return keyForChar(c, shift); }

namespace {

void postKey(UINT vk, bool isDown, char16_t packet) {
  auto& s = state();
  bool wasDown, alt, ctrl;
  HWND target;
  bool noFocus;
  {
    std::lock_guard lock(s.mutex);
    wasDown = down(s, vk);
  }
  setKey(vk, isDown);
  {
    std::lock_guard lock(s.mutex);
    alt = down(s, VK_MENU);
    ctrl = down(s, VK_CONTROL);
    target = s.focus ? s.focus : s.active;
    noFocus = !s.focus;
  }
  if (!target || !IsWindow(target)) return;
  const bool sys = noFocus || vk == VK_F10 || ((alt || vk == VK_MENU || vk == VK_LMENU || vk == VK_RMENU) && !ctrl);
  const UINT msg = isDown ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
  uint64_t lp = 1;
  lp |= static_cast<uint64_t>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC) & 0xFF) << 16;
  if (vk == VK_RCONTROL || vk == VK_RMENU || (vk >= VK_PRIOR && vk <= VK_DOWN) || vk == VK_INSERT ||
      vk == VK_DELETE || vk == VK_DIVIDE || vk == VK_APPS || vk == VK_NUMLOCK)
    lp |= 1u << 24;  // extended key
  if (alt && !ctrl) lp |= 1u << 29;
  if (wasDown) lp |= 1u << 30;
  if (!isDown) lp |= (1u << 30) | (1u << 31);
  // A packet key carries its character beyond the platform's 32 bits.
  lp |= static_cast<uint64_t>(packet) << 32;
  postTo(target, msg, vk, static_cast<LPARAM>(lp));
}

}  // namespace

void ActivateOtherWindow(HWND hwnd) {
  if (GetActiveWindow() != hwnd) return;
  // The owner takes over, else the topmost window of the same thread that
  // can be active.
  HWND next = GetWindow(hwnd, GW_OWNER);
  auto usable = [&](HWND h) {
    if (!h || h == hwnd || !IsWindowVisible(h) || !IsWindowEnabled(h) || IsIconic(h)) return false;
    const DWORD ex = static_cast<DWORD>(GetWindowLongA(h, GWL_EXSTYLE));
    return !(ex & (WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW)) &&
           GetWindowThreadProcessId(h, nullptr) == GetWindowThreadProcessId(hwnd, nullptr);
  };
  if (!usable(next)) {
    next = nullptr;
    for (HWND h = GetTopWindow(nullptr); h; h = GetWindow(h, GW_HWNDNEXT))
      if (usable(h)) {
        next = h;
        break;
      }
  }
  SetActiveWindow(next);
}

void ForgetWindowInput(HWND hwnd) {
  auto& s = state();
  HWND focus, capture, tracked, clicked, pressed;
  {
    std::lock_guard lock(s.mutex);
    focus = s.focus, capture = s.capture, tracked = s.tracked, clicked = s.lastClick.hwnd, pressed = s.pressed;
  }
  // Decided without the input lock: the tree lock is never taken under it.
  auto within = [&](HWND h) { return h && (h == hwnd || IsDescendant(hwnd, h)); };
  const bool f = within(focus), c = within(capture), t = within(tracked), k = within(clicked), p = within(pressed);
  std::lock_guard lock(s.mutex);
  if (f && s.focus == focus) s.focus = nullptr;
  if (c && s.capture == capture) s.capture = nullptr;
  if (s.active == hwnd) s.active = nullptr;
  if (t && s.tracked == tracked) s.tracked = nullptr, s.trackFlags = 0;
  if (k && s.lastClick.hwnd == clicked) s.lastClick = {};
  if (p && s.pressed == pressed) s.pressed = nullptr;
}

void NoteInputRetrieved(const MSG& m) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  switch (m.message) {
    case WM_KEYDOWN: case WM_SYSKEYDOWN: setKeyIn(s.syncKeys, static_cast<UINT>(m.wParam), true); break;
    case WM_KEYUP: case WM_SYSKEYUP: setKeyIn(s.syncKeys, static_cast<UINT>(m.wParam), false); break;
    case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK: case WM_NCLBUTTONDOWN: case WM_NCLBUTTONDBLCLK:
      setKeyIn(s.syncKeys, VK_LBUTTON, true); break;
    case WM_LBUTTONUP: case WM_NCLBUTTONUP: setKeyIn(s.syncKeys, VK_LBUTTON, false); break;
    case WM_RBUTTONDOWN: case WM_RBUTTONDBLCLK: case WM_NCRBUTTONDOWN: case WM_NCRBUTTONDBLCLK:
      setKeyIn(s.syncKeys, VK_RBUTTON, true); break;
    case WM_RBUTTONUP: case WM_NCRBUTTONUP: setKeyIn(s.syncKeys, VK_RBUTTON, false); break;
    case WM_MBUTTONDOWN: case WM_MBUTTONDBLCLK: case WM_NCMBUTTONDOWN: case WM_NCMBUTTONDBLCLK:
      setKeyIn(s.syncKeys, VK_MBUTTON, true); break;
    case WM_MBUTTONUP: case WM_NCMBUTTONUP: setKeyIn(s.syncKeys, VK_MBUTTON, false); break;
    default: break;
  }
}

void SetActiveOnShow(HWND hwnd) {
  const DWORD ex = static_cast<DWORD>(GetWindowLongA(hwnd, GWL_EXSTYLE));
  if (ex & WS_EX_NOACTIVATE) return;
  if (!IsWindowVisible(hwnd) || !IsWindowEnabled(hwnd)) return;
  SetActiveWindow(hwnd);
}

}  // namespace detail

using namespace detail;

HWND GetFocus() {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  return s.focus;
}

HWND SetFocus(HWND hwnd) {
  if (hwnd) {
    if (!IsWindow(hwnd)) return nullptr;
    if (!IsWindowEnabled(hwnd)) return nullptr;
    const HWND top = GetAncestor(hwnd, GA_ROOT);
    if (top && top != GetActiveWindow()) SetActiveWindow(top);
  }
  auto& s = state();
  HWND old;
  {
    std::lock_guard lock(s.mutex);
    old = s.focus;
    if (old == hwnd) return old;
  }
  if (old && IsWindow(old)) SendMessageA(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
  {
    std::lock_guard lock(s.mutex);
    s.focus = hwnd && IsWindow(hwnd) ? hwnd : nullptr;
  }
  if (hwnd && GetFocus() == hwnd) SendMessageA(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  return old;
}

HWND GetActiveWindow() {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  return s.active;
}

HWND SetActiveWindow(HWND hwnd) {
  if (hwnd) {
    hwnd = GetAncestor(hwnd, GA_ROOT);
    if (!hwnd) return nullptr;
  }
  auto& s = state();
  HWND old;
  {
    std::lock_guard lock(s.mutex);
    old = s.active;
    if (old == hwnd) return old;
  }
  if (old && IsWindow(old)) {
    SendMessageA(old, WM_NCACTIVATE, FALSE, 0);
    SendMessageA(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, IsIconic(old) ? 1 : 0),
                 static_cast<LPARAM>(HandleToValue(hwnd)));
    const HWND focus = GetFocus();
    if (focus && (focus == old || IsChild(old, focus))) {
      SendMessageA(focus, WM_KILLFOCUS, 0, 0);
      std::lock_guard lock(s.mutex);
      if (s.focus == focus) s.focus = nullptr;
    }
  }
  if (!old && hwnd) SendMessageA(hwnd, WM_ACTIVATEAPP, TRUE, 0);
  if (old && !hwnd && IsWindow(old)) SendMessageA(old, WM_ACTIVATEAPP, FALSE, 0);
  {
    std::lock_guard lock(s.mutex);
    s.active = hwnd;
  }
  if (!hwnd) return old;
  SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SendMessageA(hwnd, WM_NCACTIVATE, TRUE, 0);
  SendMessageA(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, IsIconic(hwnd) ? 1 : 0),
               static_cast<LPARAM>(HandleToValue(old)));
  return old;
}

BOOL SetForegroundWindow(HWND hwnd) {
  if (!IsWindow(hwnd)) return FALSE;
  SetActiveWindow(hwnd);
  return TRUE;
}

HWND GetForegroundWindow() { return GetActiveWindow(); }

HWND SetCapture(HWND hwnd) {
  auto& s = state();
  HWND old;
  {
    std::lock_guard lock(s.mutex);
    old = s.capture;
    s.capture = hwnd && IsWindow(hwnd) ? hwnd : nullptr;
  }
  if (old && old != hwnd && IsWindow(old))
    SendMessageA(old, WM_CAPTURECHANGED, 0, static_cast<LPARAM>(HandleToValue(hwnd)));
  return old;
}

BOOL ReleaseCapture() {
  auto& s = state();
  HWND old;
  {
    std::lock_guard lock(s.mutex);
    old = s.capture;
    s.capture = nullptr;
  }
  if (old && IsWindow(old)) SendMessageA(old, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

HWND GetCapture() {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  return s.capture;
}

BOOL GetCursorPos(POINT* point) {
  if (!point) return FALSE;
  auto& s = state();
  std::lock_guard lock(s.mutex);
  *point = s.cursor;
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  InjectMouseMove(x, y);
  return TRUE;
}

BOOL TrackMouseEvent(TRACKMOUSEEVENT* tme) {
  if (!tme || tme->cbSize != sizeof(TRACKMOUSEEVENT)) return FALSE;
  auto& s = state();
  if (tme->dwFlags & TME_QUERY) {
    std::lock_guard lock(s.mutex);
    tme->dwFlags = s.tracked ? s.trackFlags : 0;
    tme->hwndTrack = s.tracked;
    tme->dwHoverTime = s.hoverTime;
    return TRUE;
  }
  if (!IsWindow(tme->hwndTrack)) return FALSE;
  if (tme->dwFlags & TME_CANCEL) {
    std::lock_guard lock(s.mutex);
    if (s.tracked == tme->hwndTrack) s.trackFlags &= ~(tme->dwFlags & (TME_LEAVE | TME_HOVER));
    return TRUE;
  }
  const DWORD hover = tme->dwHoverTime == HOVER_DEFAULT ? 400 : tme->dwHoverTime;
  POINT pt;
  {
    std::lock_guard lock(s.mutex);
    pt = s.cursor;
    if (s.tracked != tme->hwndTrack) s.trackFlags = 0;
    s.tracked = tme->hwndTrack;
    s.trackFlags |= tme->dwFlags & (TME_LEAVE | TME_HOVER | TME_NONCLIENT);
    s.hoverTime = hover;
  }
  // Asked to watch a window the pointer is not over: it has already left.
  const HWND under = WindowAtPoint(pt, false, nullptr);
  const bool nonClient = (tme->dwFlags & TME_NONCLIENT) != 0;
  const bool inClient = clientContains(tme->hwndTrack, pt);
  if (under != tme->hwndTrack || (nonClient ? inClient : !inClient)) {
    if (tme->dwFlags & TME_LEAVE) {
      {
        std::lock_guard lock(s.mutex);
        s.trackFlags = 0;
      }
      postTo(tme->hwndTrack, nonClient ? WM_NCMOUSELEAVE : WM_MOUSELEAVE, 0, 0);
    }
    return TRUE;
  }
  if (tme->dwFlags & TME_HOVER) armHover(tme->hwndTrack, hover);
  return TRUE;
}

namespace {
constexpr uintptr_t kStandardCursors[] = {IDC_ARROW,    IDC_IBEAM,    IDC_WAIT,   IDC_CROSS,  IDC_UPARROW,
                                          IDC_SIZE,     IDC_ICON,     IDC_SIZENWSE, IDC_SIZENESW, IDC_SIZEWE,
                                          IDC_SIZENS,   IDC_SIZEALL,  IDC_NO,     IDC_HAND,   IDC_APPSTARTING,
                                          IDC_HELP};
// Standard cursor handles are fixed values above the range any handle
// table issues, so they never collide with icons or bitmaps.
constexpr uintptr_t kCursorBase = 0x7FF00000;
HCURSOR standardCursor(uintptr_t id) {
  for (uintptr_t c : kStandardCursors)
    if (c == id) return ValueToHandle<HCURSOR>(kCursorBase + id);
  return nullptr;
}
}  // namespace

HCURSOR LoadCursorA(HINSTANCE instance, const char* name) {
  if (instance || !IsAtomPointer(name)) return nullptr;
  return standardCursor(reinterpret_cast<uintptr_t>(name));
}
HCURSOR LoadCursorW(HINSTANCE instance, const WCHAR* name) {
  if (instance || !IsAtomPointer(name)) return nullptr;
  return standardCursor(reinterpret_cast<uintptr_t>(name));
}

uintptr_t StandardCursorId(HCURSOR cursor) {
  const uintptr_t v = HandleToValue(cursor);
  if (v < kCursorBase) return 0;
  return standardCursor(v - kCursorBase) ? v - kCursorBase : 0;
}

HCURSOR SetCursor(HCURSOR cursor) {
  auto& s = state();
  HCURSOR old;
  {
    std::lock_guard lock(s.mutex);
    old = s.shape;
    s.shape = cursor;
  }
  if (old != cursor) BackendCursor(cursor);
  return old;
}

HCURSOR GetCursor() {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  return s.shape;
}

int16_t GetKeyState(int vk) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  const BYTE b = s.syncKeys[static_cast<size_t>(vk) & 0xFF];
  return static_cast<int16_t>(((b & 0x80) ? 0x8000 : 0) | (b & 0x01));
}

int16_t GetAsyncKeyState(int vk) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  return (s.keys[static_cast<size_t>(vk) & 0xFF] & 0x80) ? static_cast<int16_t>(0x8000) : 0;
}

BOOL GetKeyboardState(BYTE* out) {
  if (!out) return FALSE;
  auto& s = state();
  std::lock_guard lock(s.mutex);
  std::copy(s.syncKeys.begin(), s.syncKeys.end(), out);
  return TRUE;
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg) return FALSE;
  if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) {
    return msg->message == WM_KEYUP || msg->message == WM_SYSKEYUP ? TRUE : FALSE;
  }
  const UINT vk = static_cast<UINT>(msg->wParam);
  char16_t c;
  if (vk == VK_PACKET) {
    c = static_cast<char16_t>((static_cast<uint64_t>(msg->lParam) >> 32) & 0xFFFF);
  } else {
    auto& s = state();
    bool shift, ctrl, caps, alt;
    {
      std::lock_guard lock(s.mutex);
      auto d = [&](UINT k) { return (s.syncKeys[k] & 0x80) != 0; };
      shift = d(VK_SHIFT), ctrl = d(VK_CONTROL), alt = d(VK_MENU);
      caps = (s.syncKeys[VK_CAPITAL] & 0x01) != 0;
    }
    c = charForKey(vk, shift, ctrl && !alt, caps);
  }
  if (!c) return TRUE;
  const LPARAM lp = static_cast<LPARAM>(static_cast<uint64_t>(msg->lParam) & 0xFFFFFFFFu);
  PostMessageW(msg->hwnd, msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR, c, lp);
  return TRUE;
}

void InjectMouseMove(int x, int y) {
  auto& s = state();
  {
    std::lock_guard lock(s.mutex);
    s.cursor = {x, y};
  }
  routeMouse(WM_MOUSEMOVE, WM_NCMOUSEMOVE, -1, false);
  updateTracking(POINT{x, y});
}

void InjectMouseButton(int button, bool isDown) {
  static const UINT vks[] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON};
  static const UINT clientDown[] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
  static const UINT ncDown[] = {WM_NCLBUTTONDOWN, WM_NCRBUTTONDOWN, WM_NCMBUTTONDOWN};
  if (button < 0 || button > 2) return;
  setKey(vks[button], isDown);
  const UINT delta = isDown ? 0 : 1;
  routeMouse(clientDown[button] + delta, ncDown[button] + delta, button, isDown);
}

void InjectClick(int x, int y, int button) {
  InjectMouseMove(x, y);
  InjectMouseButton(button, true);
  InjectMouseButton(button, false);
}

void InjectDoubleClick(int x, int y, int button) {
  InjectClick(x, y, button);
  InjectClick(x, y, button);
}

void InjectMouseWheel(int delta) { routeMouse(WM_MOUSEWHEEL, WM_MOUSEWHEEL, -1, false, delta); }

void InjectKey(UINT vk, bool isDown) { postKey(vk, isDown, 0); }

void InjectKeyPress(UINT vk) {
  postKey(vk, true, 0);
  postKey(vk, false, 0);
}

void InjectText(const std::u16string& text) {
  for (char16_t c : text) {
    bool shift = false;
    const UINT vk = keyForChar(c, &shift);
    if (!vk) {
      postKey(VK_PACKET, true, c);
      postKey(VK_PACKET, false, c);
      continue;
    }
    const bool shiftWasDown = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    if (shift && !shiftWasDown) postKey(VK_SHIFT, true, 0);
    postKey(vk, true, 0);
    postKey(vk, false, 0);
    if (shift && !shiftWasDown) postKey(VK_SHIFT, false, 0);
  }
}

void ResetInputState() {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.cursor = {0, 0};
  s.keys.fill(0);
  s.syncKeys.fill(0);
  s.focus = s.active = s.capture = s.pressed = nullptr;
  s.tracked = nullptr;
  s.trackFlags = 0;
  s.lastClick = {};
  s.shape = nullptr;
}

}  // namespace win
