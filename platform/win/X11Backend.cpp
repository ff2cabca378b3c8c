// The X11 display backend. Window-system changes arrive from any thread and
// are only noted here; the GUI thread's message retrieval then serves the X
// connection: it turns X events into messages and brings the X windows, their
// shapes and their pixels up to date.
#include "platform/win/X11Backend.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/shape.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>
#ifdef VORIX_HAVE_XFIXES
#include <X11/extensions/Xfixes.h>
#endif
#include <X11/keysym.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/rtl/Text.h"
#include "platform/win/Clipboard.h"
#include "platform/win/Display.h"
#include "platform/win/Input.h"
#include "platform/win/Messages.h"
#include "platform/win/Monitors.h"
#include "platform/win/Window.h"
#include "platform/win/WindowInternal.h"

namespace win {
namespace {

using namespace detail;

// What the X side needs of a top-level window, read under the tree lock.
struct WindowState {
  bool exists = false;
  bool visible = false;
  bool minimized = false;
  bool popup = false;
  bool topmost = false;
  RECT rect{};
  std::optional<Region> shape;  // window coordinates
  DWORD layeredFlags = 0;       // LWA_* of SetLayeredWindowAttributes
  COLORREF colorKey = 0;
  BYTE alpha = 255;
  bool perPixel = false;  // shows an UpdateLayeredWindow picture
  DWORD ulwFlags = 0;
  COLORREF ulwKey = 0;
  std::shared_ptr<Surface> pixels;
  std::u16string title;
};

struct XWin {
  Window xid = 0;
  bool mapped = false;
  bool popup = false;
  bool topmost = false;
  bool minimized = false;
  RECT rect{};
  // The shape depends on the pixels (colour key or alpha).
  bool pixelShape = false;
  bool shaped = false;
  bool argb = false;  // a 32-bit visual: the compositor uses the alpha
  std::u16string title;
};

uint32_t keyPixel(COLORREF key) { return (GetRValue(key) << 16) | (GetGValue(key) << 8) | GetBValue(key); }

// Errors are counted, not fatal: a window may go away under a request.
std::atomic<int> xErrors{0};
int ignoreErrors(Display*, XErrorEvent*) {
  ++xErrors;
  return 0;
}

// X keysyms to the platform's virtual keys (the unshifted keysym of the key).
UINT virtualKeyOf(KeySym ks) {
  if (ks >= XK_a && ks <= XK_z) return static_cast<UINT>('A' + (ks - XK_a));
  if (ks >= XK_A && ks <= XK_Z) return static_cast<UINT>('A' + (ks - XK_A));
  if (ks >= XK_0 && ks <= XK_9) return static_cast<UINT>('0' + (ks - XK_0));
  if (ks >= XK_F1 && ks <= XK_F24) return static_cast<UINT>(VK_F1 + (ks - XK_F1));
  if (ks >= XK_KP_0 && ks <= XK_KP_9) return static_cast<UINT>(VK_NUMPAD0 + (ks - XK_KP_0));
  switch (ks) {
    case XK_BackSpace: return VK_BACK;
    case XK_Tab: case XK_ISO_Left_Tab: return VK_TAB;
    case XK_Return: case XK_KP_Enter: return VK_RETURN;
    case XK_Escape: return VK_ESCAPE;
    case XK_space: return VK_SPACE;
    case XK_Shift_L: case XK_Shift_R: return VK_SHIFT;
    case XK_Control_L: case XK_Control_R: return VK_CONTROL;
    case XK_Alt_L: case XK_Alt_R: case XK_Meta_L: case XK_Meta_R: return VK_MENU;
    case XK_Pause: return VK_PAUSE;
    case XK_Caps_Lock: return VK_CAPITAL;
    case XK_Prior: case XK_KP_Prior: return VK_PRIOR;
    case XK_Next: case XK_KP_Next: return VK_NEXT;
    case XK_End: case XK_KP_End: return VK_END;
    case XK_Home: case XK_KP_Home: return VK_HOME;
    case XK_Left: case XK_KP_Left: return VK_LEFT;
    case XK_Up: case XK_KP_Up: return VK_UP;
    case XK_Right: case XK_KP_Right: return VK_RIGHT;
    case XK_Down: case XK_KP_Down: return VK_DOWN;
    case XK_Print: return VK_SNAPSHOT;
    case XK_Insert: case XK_KP_Insert: return VK_INSERT;
    case XK_Delete: case XK_KP_Delete: return VK_DELETE;
    case XK_Super_L: return VK_LWIN;
    case XK_Super_R: return VK_RWIN;
    case XK_Menu: return VK_APPS;
    case XK_KP_Multiply: return VK_MULTIPLY;
    case XK_KP_Add: return VK_ADD;
    case XK_KP_Subtract: return VK_SUBTRACT;
    case XK_KP_Decimal: return VK_DECIMAL;
    case XK_KP_Divide: return VK_DIVIDE;
    case XK_Num_Lock: return VK_NUMLOCK;
    case XK_Scroll_Lock: return VK_SCROLL;
    case XK_semicolon: return VK_OEM_1;
    case XK_equal: return VK_OEM_PLUS;
    case XK_comma: return VK_OEM_COMMA;
    case XK_minus: return VK_OEM_MINUS;
    case XK_period: return VK_OEM_PERIOD;
    case XK_slash: return VK_OEM_2;
    case XK_grave: return VK_OEM_3;
    case XK_bracketleft: return VK_OEM_4;
    case XK_backslash: return VK_OEM_5;
    case XK_bracketright: return VK_OEM_6;
    case XK_apostrophe: return VK_OEM_7;
    default: return 0;
  }
}

unsigned int fontCursorOf(uintptr_t id) {
  switch (id) {
    case IDC_IBEAM: return XC_xterm;
    case IDC_WAIT: return XC_watch;
    case IDC_APPSTARTING: return XC_watch;
    case IDC_CROSS: return XC_crosshair;
    case IDC_UPARROW: return XC_sb_up_arrow;
    case IDC_SIZE: case IDC_SIZEALL: return XC_fleur;
    case IDC_SIZENWSE: return XC_bottom_right_corner;
    case IDC_SIZENESW: return XC_bottom_left_corner;
    case IDC_SIZEWE: return XC_sb_h_double_arrow;
    case IDC_SIZENS: return XC_sb_v_double_arrow;
    case IDC_NO: return XC_pirate;
    case IDC_HAND: return XC_hand2;
    case IDC_HELP: return XC_question_arrow;
    default: return XC_left_ptr;
  }
}

// The character a key typed: from its keysym (Latin-1 keysyms are their
// code points, Unicode keysyms carry theirs), else the Latin-1 lookup text.
std::u16string textOf(KeySym ks, const char* text, int n) {
  if (ks >= 0x20 && ks <= 0xFF) return std::u16string(1, static_cast<char16_t>(ks));
  if ((ks & 0xFF000000ul) == 0x01000000ul) {
    const uint32_t cp = ks & 0x00FFFFFFul;
    if (cp < 0x10000) return std::u16string(1, static_cast<char16_t>(cp));
    return {static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)), static_cast<char16_t>(0xDC00 + (cp & 0x3FF))};
  }
  std::u16string out;
  for (int i = 0; i < n; ++i) out.push_back(static_cast<unsigned char>(text[i]));
  return out;
}

// File lists travel as text/uri-list: file URLs, one a line.
std::string fileUrl(const std::u16string& path) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out = "file://";
  for (unsigned char c : rtl::WideToUtf8(path)) {
    if (std::isalnum(c) || std::strchr("/-._~", c)) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(hex[c >> 4]);
      out.push_back(hex[c & 15]);
    }
  }
  return out;
}

std::vector<std::u16string> pathsOfUriList(const std::string& list) {
  std::vector<std::u16string> out;
  size_t pos = 0;
  while (pos < list.size()) {
    size_t end = list.find('\n', pos);
    if (end == std::string::npos) end = list.size();
    std::string line = list.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#' || line.compare(0, 7, "file://") != 0) continue;
    const size_t slash = line.find('/', 7);  // past an optional host name
    if (slash == std::string::npos) continue;
    std::string path;
    for (size_t i = slash; i < line.size(); ++i) {
      if (line[i] == '%' && i + 2 < line.size() && std::isxdigit(static_cast<unsigned char>(line[i + 1])) &&
          std::isxdigit(static_cast<unsigned char>(line[i + 2]))) {
        path.push_back(static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16)));
        i += 2;
      } else {
        path.push_back(line[i]);
      }
    }
    out.push_back(rtl::Utf8ToWide(path));
  }
  return out;
}

// A CF_HDROP block: a 20-byte header (offset of the list, drop point,
// non-client flag, wide flag), then the names, each ended by a zero, and a
// final zero.
std::vector<std::u16string> pathsOfDrop(HGLOBAL h) {
  std::vector<std::u16string> out;
  const size_t size = GlobalSize(h);
  const auto* p = static_cast<const uint8_t*>(GlobalLock(h));
  if (!p || size < 20) return out;
  uint32_t offset, wide;
  std::memcpy(&offset, p, 4);
  std::memcpy(&wide, p + 16, 4);
  std::u16string cur;
  for (size_t i = offset; i < size;) {
    char16_t c;
    if (wide) {
      if (i + 2 > size) break;
      std::memcpy(&c, p + i, 2);
      i += 2;
    } else {
      c = p[i++];
    }
    if (c) {
      cur.push_back(c);
      continue;
    }
    if (cur.empty()) break;
    out.push_back(std::exchange(cur, {}));
  }
  GlobalUnlock(h);
  return out;
}

HGLOBAL dropOfPaths(const std::vector<std::u16string>& paths) {
  std::u16string list;
  for (const auto& path : paths) list += path + u'\0';
  list += u'\0';
  HGLOBAL h = GlobalAlloc(GHND, 20 + list.size() * 2);
  auto* p = static_cast<uint8_t*>(GlobalLock(h));
  const uint32_t offset = 20, wide = 1;
  std::memcpy(p, &offset, 4);
  std::memcpy(p + 16, &wide, 4);
  std::memcpy(p + 20, list.data(), list.size() * 2);
  GlobalUnlock(h);
  return h;
}

class X11Display final : public DisplayBackend {
public:
  explicit X11Display(Display* dpy) : dpy_(dpy) {
    screen_ = DefaultScreen(dpy_);
    root_ = RootWindow(dpy_, screen_);
    visual_ = DefaultVisual(dpy_, screen_);
    depth_ = DefaultDepth(dpy_, screen_);
    gc_ = XCreateGC(dpy_, root_, 0, nullptr);
    int ev = 0, err = 0;
    hasShape_ = XShapeQueryExtension(dpy_, &ev, &err) != 0;
    motifHints_ = XInternAtom(dpy_, "_MOTIF_WM_HINTS", False);
    deleteWindow_ = XInternAtom(dpy_, "WM_DELETE_WINDOW", False);
    wmProtocols_ = XInternAtom(dpy_, "WM_PROTOCOLS", False);
    netState_ = XInternAtom(dpy_, "_NET_WM_STATE", False);
    netAbove_ = XInternAtom(dpy_, "_NET_WM_STATE_ABOVE", False);
    netActive_ = XInternAtom(dpy_, "_NET_ACTIVE_WINDOW", False);
    netOpacity_ = XInternAtom(dpy_, "_NET_WM_WINDOW_OPACITY", False);
    netCheck_ = XInternAtom(dpy_, "_NET_SUPPORTING_WM_CHECK", False);
    clipboard_ = XInternAtom(dpy_, "CLIPBOARD", False);
    targets_ = XInternAtom(dpy_, "TARGETS", False);
    utf8_ = XInternAtom(dpy_, "UTF8_STRING", False);
    textPlain_ = XInternAtom(dpy_, "text/plain;charset=utf-8", False);
    uriList_ = XInternAtom(dpy_, "text/uri-list", False);
    copiedFiles_ = XInternAtom(dpy_, "x-special/gnome-copied-files", False);
    transfer_ = XInternAtom(dpy_, "VORIX_SELECTION", False);
    XSetWindowAttributes ca{};
    ca.event_mask = PropertyChangeMask;
    clipWin_ = XCreateWindow(dpy_, root_, -10, -10, 1, 1, 0, 0, InputOnly, CopyFromParent, CWEventMask, &ca);
#ifdef VORIX_HAVE_XFIXES
    int fixesError = 0;
    if (XFixesQueryExtension(dpy_, &fixesEvent_, &fixesError))
      XFixesSelectSelectionInput(dpy_, clipWin_, clipboard_, XFixesSetSelectionOwnerNotifyMask);
    else
      fixesEvent_ = -1;
#endif
    SetClipboardChangeListener([this] {
      if (importing_) return;
      {
        std::lock_guard lock(mutex_);
        claim_ = true;
      }
      RequestService();
    });
    XSetErrorHandler(ignoreErrors);
    useShm_ = XShmQueryExtension(dpy_) != 0;
    SetScreenSize(DisplayWidth(dpy_, screen_), DisplayHeight(dpy_, screen_));
  }

  ~X11Display() override {
    SetClipboardChangeListener(nullptr);
    XDestroyWindow(dpy_, clipWin_);
    for (auto& [hwnd, xw] : windows_) XDestroyWindow(dpy_, xw.xid);
    for (auto& [id, c] : cursors_) XFreeCursor(dpy_, c);
    DropShm();
    XFreeGC(dpy_, gc_);
    if (argbGc_) XFreeGC(dpy_, argbGc_);
    if (argbVisual_) XFreeColormap(dpy_, argbColormap_);
    XCloseDisplay(dpy_);
  }

  int Fd() const { return ConnectionNumber(dpy_); }

  unsigned long WindowOf(HWND hwnd) {
    auto it = windows_.find(hwnd);
    return it == windows_.end() ? 0 : it->second.xid;
  }

  void WindowChanged(HWND topLevel) override {
    {
      std::lock_guard lock(mutex_);
      changed_.insert(topLevel);
    }
    RequestService();
  }
  void SurfaceChanged(HWND topLevel, const RECT& rect) override {
    {
      std::lock_guard lock(mutex_);
      dirty_[topLevel].push_back(rect);
    }
    RequestService();
  }
  void Beep(UINT) override {
    // Only a note for the GUI thread: Xlib is used from that thread alone.
    std::lock_guard lock(mutex_);
    beep_ = true;
  }
  void CursorChanged(HCURSOR cursor) override {
    {
      std::lock_guard lock(mutex_);
      cursor_ = cursor;
      cursorChanged_ = true;
    }
    RequestService();
  }

  // Runs on the GUI thread at every message retrieval.
  void Serve(bool roundTrip) {
    if (roundTrip) XSync(dpy_, False);
    while (XPending(dpy_)) {
      XEvent e;
      XNextEvent(dpy_, &e);
      Handle(e);
    }
    std::set<HWND> changed;
    std::map<HWND, std::vector<RECT>> dirty;
    std::optional<HCURSOR> cursor;
    bool beep, claim;
    {
      std::lock_guard lock(mutex_);
      changed.swap(changed_);
      dirty.swap(dirty_);
      if (cursorChanged_) cursor = cursor_;
      cursorChanged_ = false;
      beep = std::exchange(beep_, false);
      claim = std::exchange(claim_, false);
    }
    // Destruction is not announced: windows whose handle went are dropped.
    for (auto& [h, xw] : windows_)
      if (!IsWindow(h)) changed.insert(h);
    for (HWND h : changed) Update(h);
    if (!changed.empty()) Restack();
    for (auto& [h, rects] : dirty) Push(h, rects);
    if (cursor) ApplyCursor(*cursor);
    FollowCapture();
    FollowActivation();
    if (beep) XBell(dpy_, 0);
    if (claim) XSetSelectionOwner(dpy_, clipboard_, clipWin_, CurrentTime);
    XFlush(dpy_);
    // Round trips above may have read events off the connection, which then
    // no longer wakes the wait: come round again for them.
    if (XEventsQueued(dpy_, QueuedAlready) > 0) RequestService();
  }

private:
  static WindowState Read(HWND hwnd) {
    WindowState s;
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (!w || w->destroyed || !IsTopLevel(*w)) return s;
    s.exists = true;
    s.visible = (w->style & WS_VISIBLE) != 0;
    s.minimized = (w->style & WS_MINIMIZE) != 0;
    s.popup = (w->style & WS_POPUP) && (w->style & WS_CAPTION) != WS_CAPTION && w->owner;
    s.topmost = (w->exStyle & WS_EX_TOPMOST) != 0;
    s.rect = w->window;
    s.shape = w->shape;
    const bool layered = (w->exStyle & WS_EX_LAYERED) != 0;
    s.perPixel = layered && w->layeredSurface;
    s.layeredFlags = layered ? w->layeredFlags : 0;
    s.colorKey = w->colorKey;
    s.alpha = s.perPixel ? w->layeredAlpha : w->alpha;
    s.ulwFlags = w->ulwFlags;
    s.ulwKey = w->ulwKey;
    // A layered window shows nothing until it says how.
    if (layered && !s.perPixel && !w->layeredFlags) s.visible = false;
    s.pixels = s.perPixel ? w->layeredSurface : w->surface;
    s.title = w->text;
    return s;
  }

  bool CompositorRuns() {
    const std::string name = "_NET_WM_CM_S" + std::to_string(screen_);
    return XGetSelectionOwner(dpy_, XInternAtom(dpy_, name.c_str(), False)) != None;
  }

  bool ArgbVisual() {
    if (argbVisual_) return true;
    XVisualInfo info;
    if (!XMatchVisualInfo(dpy_, screen_, 32, TrueColor, &info)) return false;
    argbVisual_ = info.visual;
    argbColormap_ = XCreateColormap(dpy_, root_, argbVisual_, AllocNone);
    return true;
  }

  bool WindowManagerRuns() {
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char* data = nullptr;
    const bool runs = XGetWindowProperty(dpy_, root_, netCheck_, 0, 1, False, XA_WINDOW, &type, &format, &n,
                                         &after, &data) == Success &&
                      n == 1;
    if (data) XFree(data);
    return runs;
  }

  void Update(HWND hwnd) {
    const WindowState s = Read(hwnd);
    auto it = windows_.find(hwnd);
    if (!s.exists) {
      if (it != windows_.end()) {
        XDestroyWindow(dpy_, it->second.xid);
        byX_.erase(it->second.xid);
        windows_.erase(it);
      }
      return;
    }
    const int w = std::max<LONG>(1, s.rect.Width()), h = std::max<LONG>(1, s.rect.Height());
    if (it == windows_.end()) {
      if (!s.visible) return;
      XSetWindowAttributes a{};
      a.override_redirect = s.popup ? True : False;
      a.background_pixmap = None;
      a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                     KeyReleaseMask | FocusChangeMask | StructureNotifyMask | EnterWindowMask | LeaveWindowMask;
      XWin xw;
      // Per-pixel alpha shows as such when a compositor blends windows;
      // without one the alpha becomes a shape.
      if (s.perPixel && (s.ulwFlags & 0x2 /*ULW_ALPHA*/) && ArgbVisual() && CompositorRuns()) {
        a.colormap = argbColormap_;
        a.border_pixel = 0;
        xw.xid = XCreateWindow(dpy_, root_, s.rect.left, s.rect.top, w, h, 0, 32, InputOutput, argbVisual_,
                               CWOverrideRedirect | CWBackPixmap | CWEventMask | CWColormap | CWBorderPixel, &a);
        xw.argb = true;
      } else {
        xw.xid = XCreateWindow(dpy_, root_, s.rect.left, s.rect.top, w, h, 0, CopyFromParent, InputOutput,
                               CopyFromParent, CWOverrideRedirect | CWBackPixmap | CWEventMask, &a);
      }
      xw.popup = s.popup;
      xw.rect = s.rect;
      // No window-manager frame: the layer draws its own non-client area.
      const long hints[5] = {2, 0, 0, 0, 0};
      XChangeProperty(dpy_, xw.xid, motifHints_, motifHints_, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(hints), 5);
      XSetWMProtocols(dpy_, xw.xid, &deleteWindow_, 1);
      XSizeHints size{};
      size.flags = PPosition | USPosition | PSize;
      size.x = s.rect.left, size.y = s.rect.top, size.width = w, size.height = h;
      XSetWMNormalHints(dpy_, xw.xid, &size);
      if (currentCursor_) XDefineCursor(dpy_, xw.xid, currentCursor_);
      // Lets the desktop and other tools tell our windows apart.
      const long pid = static_cast<long>(getpid());
      XChangeProperty(dpy_, xw.xid, XInternAtom(dpy_, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(&pid), 1);
      it = windows_.emplace(hwnd, xw).first;
      byX_[xw.xid] = hwnd;
    }
    XWin& xw = it->second;
    if (s.title != xw.title || !xw.mapped) SetTitle(xw, s.title);
    // The iconic placement (-32000, -32000, a small strip) is the window
    // system's own bookkeeping: the X window keeps its normal place, so the
    // window manager restores it there.
    if (!(xw.rect == s.rect) && !s.minimized) {
      XMoveResizeWindow(dpy_, xw.xid, s.rect.left, s.rect.top, w, h);
      xw.rect = s.rect;
    }
    if (s.topmost != xw.topmost || !xw.mapped) SetAbove(xw, s.topmost);
    SetOpacity(xw, s);
    Reshape(hwnd, xw, s);
    const bool show = s.visible && !s.minimized;
    if (show && !xw.mapped) {
      XMapRaised(dpy_, xw.xid);
      xw.mapped = true;
    } else if (!show && xw.mapped) {
      if (s.minimized && WindowManagerRuns()) XIconifyWindow(dpy_, xw.xid, screen_);
      else XUnmapWindow(dpy_, xw.xid);
      xw.mapped = false;
    }
    xw.minimized = s.minimized;
    // The whole picture goes out again after a change of size or mapping.
    if (!s.minimized) Push(hwnd, {RECT{0, 0, w, h}});
  }

  // The window text names the X window for task bars and window lookups.
  void SetTitle(XWin& xw, const std::u16string& title) {
    xw.title = title;
    const std::string utf8 = rtl::WideToUtf8(title);
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
    const int n = static_cast<int>(utf8.size());
    XChangeProperty(dpy_, xw.xid, XA_WM_NAME, utf8_, 8, PropModeReplace, bytes, n);
    XChangeProperty(dpy_, xw.xid, XInternAtom(dpy_, "_NET_WM_NAME", False), utf8_, 8, PropModeReplace, bytes, n);
  }

  void SetAbove(XWin& xw, bool above) {
    xw.topmost = above;
    if (xw.mapped && WindowManagerRuns()) {
      XEvent e{};
      e.xclient.type = ClientMessage;
      e.xclient.window = xw.xid;
      e.xclient.message_type = netState_;
      e.xclient.format = 32;
      e.xclient.data.l[0] = above ? 1 : 0;
      e.xclient.data.l[1] = static_cast<long>(netAbove_);
      e.xclient.data.l[3] = 1;
      XSendEvent(dpy_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    } else if (above) {
      XChangeProperty(dpy_, xw.xid, netState_, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(&netAbove_), 1);
    } else {
      XDeleteProperty(dpy_, xw.xid, netState_);
    }
  }

  void SetOpacity(const XWin& xw, const WindowState& s) {
    BYTE a = 255;
    if (s.perPixel) a = s.alpha;
    if (s.layeredFlags & LWA_ALPHA) a = s.alpha;
    if (a == 255) {
      XDeleteProperty(dpy_, xw.xid, netOpacity_);
      return;
    }
    const unsigned long v = static_cast<unsigned long>(a) * 0x01010101ul;
    XChangeProperty(dpy_, xw.xid, netOpacity_, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&v), 1);
  }

  // The window region, less colour-keyed pixels and (for per-pixel layered
  // windows) fully transparent ones, as the X window's bounding shape.
  void Reshape(HWND, XWin& xw, const WindowState& s) {
    if (!hasShape_) return;
    const LONG w = s.rect.Width(), h = s.rect.Height();
    const bool keyed = (s.layeredFlags & LWA_COLORKEY) || (s.perPixel && (s.ulwFlags & 0x1 /*ULW_COLORKEY*/));
    const bool alpha = s.perPixel && (s.ulwFlags & 0x2 /*ULW_ALPHA*/) && !xw.argb;
    xw.pixelShape = (keyed || alpha) && s.pixels;
    if (!s.shape && !xw.pixelShape) {
      if (xw.shaped) XShapeCombineMask(dpy_, xw.xid, ShapeBounding, 0, 0, None, ShapeSet);
      xw.shaped = false;
      return;
    }
    Region area = s.shape ? *s.shape : Region(RECT{0, 0, w, h});
    area = area.Intersect(Region(RECT{0, 0, w, h}));
    std::vector<XRectangle> out;
    if (xw.pixelShape) {
      const uint32_t key = keyPixel(s.perPixel ? s.ulwKey : s.colorKey);
      std::vector<RECT> runs;
      {
        TreeGuard lock(TreeLock());
        const Surface& px = *s.pixels;
        for (LONG y = 0; y < std::min<LONG>(h, px.Height()); ++y) {
          const uint32_t* row = px.Row(y);
          LONG start = -1;
          for (LONG x = 0; x <= std::min<LONG>(w, px.Width()); ++x) {
            bool on = false;
            if (x < std::min<LONG>(w, px.Width())) {
              const uint32_t p = row[x];
              on = !(keyed && (p & 0xFFFFFFu) == key) && !(alpha && (p >> 24) == 0);
            }
            if (on && start < 0) start = x;
            if (!on && start >= 0) runs.push_back(RECT{start, y, x, y + 1}), start = -1;
          }
        }
      }
      area = area.Intersect(Region::FromRects(runs));
    }
    for (const RECT& r : area.Rects())
      out.push_back(XRectangle{static_cast<short>(r.left), static_cast<short>(r.top),
                               static_cast<unsigned short>(r.Width()), static_cast<unsigned short>(r.Height())});
    XShapeCombineRectangles(dpy_, xw.xid, ShapeBounding, 0, 0, out.data(), static_cast<int>(out.size()), ShapeSet,
                            Unsorted);
    xw.shaped = true;
  }

  // Without a window manager the X stacking follows the window list.
  void Restack() {
    if (WindowManagerRuns()) return;
    std::vector<Window> order;
    {
      TreeGuard lock(TreeLock());
      for (HWND h : DesktopWnd()->children) {
        auto it = windows_.find(h);
        if (it != windows_.end() && it->second.mapped) order.push_back(it->second.xid);
      }
    }
    if (order.empty()) return;
    // With no window manager to arbitrate, a window brought to the front
    // goes above other programs' windows too, not only above our own.
    XRaiseWindow(dpy_, order.front());
    if (order.size() > 1) XRestackWindows(dpy_, order.data(), static_cast<int>(order.size()));
  }

  void Push(HWND hwnd, const std::vector<RECT>& rects) {
    auto it = windows_.find(hwnd);
    if (it == windows_.end() || !it->second.mapped) return;
    XWin& xw = it->second;
    const WindowState s = Read(hwnd);
    if (!s.exists || !s.pixels) return;
    if (xw.pixelShape) Reshape(hwnd, xw, s);
    Region all;
    for (const RECT& r : rects) all = all.Union(Region(r));
    TreeGuard lock(TreeLock());
    const Surface& px = *s.pixels;
    all = all.Intersect(Region(RECT{0, 0, std::min<LONG>(px.Width(), s.rect.Width()),
                                    std::min<LONG>(px.Height(), s.rect.Height())}));
    const auto rectList = all.Rects();
    size_t bytes = 0;
    for (const RECT& r : rectList) bytes += static_cast<size_t>(std::max<LONG>(0, r.Width())) * r.Height() * 4;
    // Through shared memory when the server offers it: all rectangles side
    // by side in one segment, one round trip before it is used again.
    const bool shm = bytes > 0 && EnsureShm(bytes);
    size_t offset = 0;
    Visual* visual = xw.argb ? argbVisual_ : visual_;
    const unsigned depth = xw.argb ? 32u : static_cast<unsigned>(depth_);
    if (xw.argb && !argbGc_) argbGc_ = XCreateGC(dpy_, xw.xid, 0, nullptr);
    GC gc = xw.argb ? argbGc_ : gc_;
    for (const RECT& r : rectList) {
      const int w = r.Width(), h = r.Height();
      if (w <= 0 || h <= 0) continue;
      const size_t size = static_cast<size_t>(w) * h * 4;
      char* data = shm ? shmInfo_.shmaddr + offset : static_cast<char*>(std::malloc(size));
      if (!data) continue;
      for (int y = 0; y < h; ++y) {
        const uint32_t* in = px.Row(r.top + y) + r.left;
        auto* out = reinterpret_cast<uint32_t*>(data) + static_cast<size_t>(y) * w;
        // Premultiplied as the compositor expects, like the layered picture.
        for (int x = 0; x < w; ++x) out[x] = xw.argb ? in[x] : in[x] & 0x00FFFFFFu;
      }
      if (shm) {
        XImage* img = XShmCreateImage(dpy_, visual, depth, ZPixmap, data, &shmInfo_, static_cast<unsigned>(w),
                                      static_cast<unsigned>(h));
        if (img) {
          XShmPutImage(dpy_, xw.xid, gc, img, 0, 0, r.left, r.top, static_cast<unsigned>(w),
                       static_cast<unsigned>(h), False);
          img->data = nullptr;  // the segment is not the image's to free
          XDestroyImage(img);
        }
        offset += size;
        continue;
      }
      XImage* img = XCreateImage(dpy_, visual, depth, ZPixmap, 0, data, static_cast<unsigned>(w),
                                 static_cast<unsigned>(h), 32, w * 4);
      if (!img) {
        std::free(data);
        continue;
      }
      img->byte_order = LSBFirst;
      XPutImage(dpy_, xw.xid, gc, img, 0, 0, r.left, r.top, static_cast<unsigned>(w), static_cast<unsigned>(h));
      XDestroyImage(img);
    }
    if (shm) XSync(dpy_, False);
  }

  bool EnsureShm(size_t bytes) {
    if (!useShm_) return false;
    if (shmInfo_.shmaddr && shmSize_ >= bytes) return true;
    DropShm();
    bytes = std::max<size_t>(bytes, 1 << 20);
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0) return useShm_ = false;
    void* addr = shmat(id, nullptr, 0);
    if (addr == reinterpret_cast<void*>(-1)) {
      shmctl(id, IPC_RMID, nullptr);
      return useShm_ = false;
    }
    shmInfo_.shmid = id;
    shmInfo_.shmaddr = static_cast<char*>(addr);
    shmInfo_.readOnly = False;
    const int before = xErrors;
    XShmAttach(dpy_, &shmInfo_);
    XSync(dpy_, False);
    // Gone once both sides have let go of it.
    shmctl(id, IPC_RMID, nullptr);
    if (xErrors != before) {
      // A server on another machine cannot attach: plain requests it is.
      shmdt(shmInfo_.shmaddr);
      shmInfo_ = {};
      return useShm_ = false;
    }
    shmSize_ = bytes;
    return true;
  }

  void DropShm() {
    if (!shmInfo_.shmaddr) return;
    XShmDetach(dpy_, &shmInfo_);
    XSync(dpy_, False);
    shmdt(shmInfo_.shmaddr);
    shmInfo_ = {};
    shmSize_ = 0;
  }

  void ApplyCursor(HCURSOR cursor) {
    const uintptr_t id = StandardCursorId(cursor);
    auto it = cursors_.find(id);
    if (it == cursors_.end()) it = cursors_.emplace(id, XCreateFontCursor(dpy_, fontCursorOf(id))).first;
    currentCursor_ = it->second;
    for (auto& [h, xw] : windows_) XDefineCursor(dpy_, xw.xid, currentCursor_);
  }

  // Capture (and the popup menus that use it) holds the pointer.
  void FollowCapture() {
    HWND capture = GetCapture();
    HWND top = capture ? GetAncestor(capture, GA_ROOT) : nullptr;
    if (top == grabbed_) return;
    if (grabbed_) XUngrabPointer(dpy_, CurrentTime);
    grabbed_ = nullptr;
    auto it = top ? windows_.find(top) : windows_.end();
    if (it != windows_.end() && it->second.mapped &&
        XGrabPointer(dpy_, it->second.xid, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                     GrabModeAsync, GrabModeAsync, None, None, CurrentTime) == GrabSuccess)
      grabbed_ = top;
  }

  // The program's active window gets the X input focus: through the window
  // manager when one runs, directly otherwise.
  void FollowActivation() {
    HWND active = GetActiveWindow();
    if (active == activated_) return;
    auto it = active ? windows_.find(active) : windows_.end();
    // A window not shown yet is focused once it is.
    if (it == windows_.end() || !it->second.mapped || it->second.popup) {
      if (!active) activated_ = nullptr;
      return;
    }
    activated_ = active;
    if (WindowManagerRuns()) {
      XEvent e{};
      e.xclient.type = ClientMessage;
      e.xclient.window = it->second.xid;
      e.xclient.message_type = netActive_;
      e.xclient.format = 32;
      e.xclient.data.l[0] = 1;  // from an application
      e.xclient.data.l[1] = CurrentTime;
      XSendEvent(dpy_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    } else {
      XSetInputFocus(dpy_, it->second.xid, RevertToParent, CurrentTime);
    }
  }

  HWND Owner(Window xid) {
    auto it = byX_.find(xid);
    return it == byX_.end() ? nullptr : it->second;
  }

  // The platform's modifier keys follow the X event's state, so characters
  // come out shifted as the X side typed them.
  void SyncModifiers(unsigned int state) {
    const std::pair<unsigned int, UINT> mods[] = {{ShiftMask, VK_SHIFT}, {ControlMask, VK_CONTROL},
                                                  {Mod1Mask, VK_MENU}};
    for (auto [mask, vk] : mods) {
      const bool want = (state & mask) != 0;
      const bool down = GetAsyncKeyState(static_cast<int>(vk)) < 0;
      if (want != down) InjectKey(vk, want);
    }
  }

  void Handle(XEvent& e) {
    HWND hwnd = Owner(e.xany.window);
    switch (e.type) {
      case Expose:
        if (hwnd) {
          std::lock_guard lock(mutex_);
          dirty_[hwnd].push_back(RECT{e.xexpose.x, e.xexpose.y, e.xexpose.x + e.xexpose.width,
                                      e.xexpose.y + e.xexpose.height});
        }
        break;
      case MotionNotify:
        InjectMouseMove(e.xmotion.x_root, e.xmotion.y_root);
        break;
      case ButtonPress:
      case ButtonRelease: {
        const bool down = e.type == ButtonPress;
        const unsigned b = e.xbutton.button;
        InjectMouseMove(e.xbutton.x_root, e.xbutton.y_root);
        if (b == Button4 || b == Button5) {
          if (down) InjectMouseWheel(b == Button4 ? 120 : -120);
        } else if (b >= Button1 && b <= Button3) {
          InjectMouseButton(b == Button1 ? 0 : b == Button3 ? 1 : 2, down);
        }
        break;
      }
      case KeyPress:
      case KeyRelease: {
        const bool down = e.type == KeyPress;
        const UINT vk = virtualKeyOf(XLookupKeysym(&e.xkey, 0));
        if (vk != VK_SHIFT && vk != VK_CONTROL && vk != VK_MENU) SyncModifiers(e.xkey.state);
        char text[32];
        KeySym ks = 0;
        const int n = down ? XLookupString(&e.xkey, text, sizeof text, &ks, nullptr) : 0;
        const std::u16string chars = n > 0 ? textOf(ks, text, n) : std::u16string();
        // A key the US layout types the same way goes in as that key; any
        // other character goes in as itself.
        bool asKey = vk != 0;
        if (asKey && chars.size() == 1 && chars[0] >= 0x20 && !(e.xkey.state & (ControlMask | Mod1Mask))) {
          const int16_t scan = VkKeyScanW(static_cast<WCHAR>(chars[0]));
          asKey = scan != -1 && static_cast<UINT>(scan & 0xFF) == vk &&
                  ((scan & 0x100) != 0) == ((e.xkey.state & ShiftMask) != 0);
        }
        if (asKey) {
          InjectKey(vk, down);
        } else if (down && !chars.empty()) {
          InjectText(chars);
        }
        break;
      }
      case SelectionRequest:
        AnswerSelection(e.xselectionrequest);
        break;
      case SelectionNotify:
        TakeSelection(e.xselection);
        break;
      case MappingNotify:
        XRefreshKeyboardMapping(&e.xmapping);
        break;
      case FocusIn:
        if (hwnd && GetActiveWindow() != hwnd) SetActiveWindow(hwnd);
        break;
      case ConfigureNotify:
        if (hwnd && (e.xconfigure.send_event || !WindowManagerRuns())) {
          auto it = windows_.find(hwnd);
          const int x = e.xconfigure.x, y = e.xconfigure.y;
          if (it != windows_.end() && (it->second.rect.left != x || it->second.rect.top != y)) {
            it->second.rect = RECT{x, y, x + it->second.rect.Width(), y + it->second.rect.Height()};
            SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
          }
        }
        break;
      // Maps and unmaps we asked for are already noted in `mapped`; any
      // other came from the window manager (or another client) restoring or
      // iconifying the window, and reaches it as the same command its own
      // buttons give.
      case MapNotify:
        if (hwnd) {
          auto it = windows_.find(hwnd);
          if (it != windows_.end() && !it->second.mapped && it->second.minimized) {
            it->second.mapped = true;
            PostMessageA(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
          }
        }
        break;
      case UnmapNotify:
        if (hwnd && e.xunmap.window == e.xunmap.event) {
          auto it = windows_.find(hwnd);
          if (it != windows_.end() && it->second.mapped && !it->second.popup) {
            it->second.mapped = false;
            PostMessageA(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
          }
        }
        break;
      case ClientMessage:
        if (hwnd && e.xclient.message_type == wmProtocols_ &&
            static_cast<Atom>(e.xclient.data.l[0]) == deleteWindow_)
          PostMessageA(hwnd, WM_CLOSE, 0, 0);
        break;
      default:
#ifdef VORIX_HAVE_XFIXES
        if (fixesEvent_ >= 0 && e.type == fixesEvent_ + XFixesSelectionNotify) {
          const auto& n = reinterpret_cast<const XFixesSelectionNotifyEvent&>(e);
          if (n.owner != None && n.owner != clipWin_)
            XConvertSelection(dpy_, clipboard_, targets_, transfer_, clipWin_, n.selection_timestamp);
        }
#endif
        break;
    }
  }

  // Another client asks for the program's clipboard.
  void AnswerSelection(const XSelectionRequestEvent& r) {
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = r.requestor;
    reply.xselection.selection = r.selection;
    reply.xselection.target = r.target;
    reply.xselection.time = r.time;
    reply.xselection.property = None;
    const Atom property = r.property != None ? r.property : r.target;
    if (r.selection == clipboard_ && OpenClipboard(nullptr)) {
      const HGLOBAL text = GetClipboardData(CF_UNICODETEXT);
      const HGLOBAL drop = GetClipboardData(CF_HDROP);
      if (r.target == targets_) {
        std::vector<Atom> list{targets_};
        if (text) list.insert(list.end(), {utf8_, textPlain_, XA_STRING});
        if (drop) list.insert(list.end(), {uriList_, copiedFiles_});
        XChangeProperty(dpy_, r.requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(list.data()), static_cast<int>(list.size()));
        reply.xselection.property = property;
      } else if (text && (r.target == utf8_ || r.target == textPlain_ || r.target == XA_STRING)) {
        std::u16string wide(static_cast<const char16_t*>(GlobalLock(text)));
        GlobalUnlock(text);
        std::string bytes;
        if (r.target == XA_STRING) {
          for (char16_t c : wide) bytes.push_back(c < 0x100 ? static_cast<char>(c) : '?');
        } else {
          bytes = rtl::WideToUtf8(wide);
        }
        XChangeProperty(dpy_, r.requestor, property, r.target, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
        reply.xselection.property = property;
      } else if (drop && r.target == uriList_) {
        std::string list;
        for (const auto& path : pathsOfDrop(drop)) list += fileUrl(path) + "\r\n";
        XChangeProperty(dpy_, r.requestor, property, uriList_, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(list.data()), static_cast<int>(list.size()));
        reply.xselection.property = property;
      } else if (drop && r.target == copiedFiles_) {
        // What file managers paste from: the operation, then one URL a
        // line. The program puts files there only for copying.
        std::string list = "copy";
        for (const auto& path : pathsOfDrop(drop)) list += "\n" + fileUrl(path);
        XChangeProperty(dpy_, r.requestor, property, copiedFiles_, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(list.data()), static_cast<int>(list.size()));
        reply.xselection.property = property;
      }
      CloseClipboard();
    }
    XSendEvent(dpy_, r.requestor, False, 0, &reply);
  }

  // Another client's clipboard arrives: first its list of targets, then the
  // chosen form (a file list before text).
  void TakeSelection(const XSelectionEvent& n) {
    if (n.selection != clipboard_ || n.requestor != clipWin_ || n.property == None) return;
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy_, clipWin_, transfer_, 0, 1 << 24, True, AnyPropertyType, &type, &format, &count,
                           &after, &data) != Success)
      return;
    if (n.target == targets_) {
      Atom want = None;
      if (format == 32) {
        const auto* atoms = reinterpret_cast<const Atom*>(data);
        auto has = [&](Atom a) { return std::find(atoms, atoms + count, a) != atoms + count; };
        want = has(uriList_) ? uriList_ : has(utf8_) ? utf8_ : has(XA_STRING) ? XA_STRING : None;
      }
      if (data) XFree(data);
      // The owner's reply may carry a time older than its ownership, which
      // the server would refuse; ask as of now.
      if (want != None) XConvertSelection(dpy_, clipboard_, want, transfer_, clipWin_, CurrentTime);
      return;
    }
    const std::string bytes(reinterpret_cast<const char*>(data), format == 8 ? count : 0);
    if (data) XFree(data);
    HGLOBAL block = nullptr;
    UINT cf = CF_UNICODETEXT;
    if (n.target == uriList_) {
      const auto paths = pathsOfUriList(bytes);
      if (paths.empty()) return;
      block = dropOfPaths(paths);
      cf = CF_HDROP;
    } else {
      std::u16string wide;
      if (n.target == XA_STRING) {
        for (unsigned char c : bytes) wide.push_back(c);
      } else {
        wide = rtl::Utf8ToWide(bytes);
      }
      block = GlobalAlloc(GHND, (wide.size() + 1) * 2);
      std::memcpy(GlobalLock(block), wide.c_str(), (wide.size() + 1) * 2);
      GlobalUnlock(block);
    }
    if (!OpenClipboard(nullptr)) {
      GlobalFree(block);
      return;
    }
    importing_ = true;
    EmptyClipboard();
    SetClipboardData(cf, block);
    CloseClipboard();
    importing_ = false;
  }

  Display* dpy_;
  int screen_ = 0;
  Window root_ = 0;
  Visual* visual_ = nullptr;
  int depth_ = 24;
  GC gc_;
  bool useShm_ = false;
  XShmSegmentInfo shmInfo_{};
  size_t shmSize_ = 0;
  Visual* argbVisual_ = nullptr;
  Colormap argbColormap_ = 0;
  GC argbGc_ = nullptr;
  bool hasShape_ = false;
  Atom motifHints_, deleteWindow_, wmProtocols_, netState_, netAbove_, netActive_, netOpacity_, netCheck_;

  Atom clipboard_, targets_, utf8_, textPlain_, uriList_, transfer_;
  Atom copiedFiles_;
  Window clipWin_ = 0;
  int fixesEvent_ = -1;
  // Set while a selection from another client becomes the clipboard, so
  // its change does not claim the selection back.
  std::atomic<bool> importing_{false};

  std::mutex mutex_;  // guards the notes below
  std::set<HWND> changed_;
  std::map<HWND, std::vector<RECT>> dirty_;
  HCURSOR cursor_{};
  bool cursorChanged_ = false;
  bool beep_ = false;
  bool claim_ = false;

  // GUI thread only.
  std::map<HWND, XWin> windows_;
  std::map<Window, HWND> byX_;
  std::map<uintptr_t, Cursor> cursors_;
  Cursor currentCursor_ = 0;
  HWND grabbed_{};
  HWND activated_{};
};

std::unique_ptr<X11Display>& instance() {
  static std::unique_ptr<X11Display> d;
  return d;
}

void markAllTopLevels(X11Display& d) {
  std::vector<HWND> tops;
  {
    TreeGuard lock(TreeLock());
    tops = DesktopWnd()->children;
  }
  for (HWND h : tops) d.WindowChanged(h);
}

}  // namespace

bool InitX11Display(const char* name) {
  ShutdownDisplay();
  Display* dpy = XOpenDisplay(name);
  if (!dpy) return false;
  auto& d = instance();
  d = std::make_unique<X11Display>(dpy);
  X11Display* raw = d.get();
  SetDisplayBackend(raw);
  SetExternalWaitSource(raw->Fd(), [raw] { raw->Serve(false); });
  markAllTopLevels(*raw);
  return true;
}

bool X11DisplayActive() { return instance() != nullptr; }

unsigned long X11WindowOf(HWND hwnd) { return instance() ? instance()->WindowOf(hwnd) : 0; }

void X11Sync() {
  if (instance()) instance()->Serve(true);
}

bool InitDisplay() {
  const char* name = std::getenv("DISPLAY");
  if (!name || !*name) return false;
  return InitX11Display(name);
}

void ShutdownDisplay() {
  auto& d = instance();
  if (!d) return;
  SetExternalWaitSource(-1, nullptr);
  SetDisplayBackend(nullptr);
  d.reset();
  SetMonitorLayout({});
}

}  // namespace win
