// Window classes, the window tree, creation and destruction, window longs,
// properties and text.
#include <algorithm>
#include <cstring>
#include <map>

#include "platform/win/Input.h"
#include "platform/win/Metrics.h"
#include "platform/win/Monitors.h"
#include "platform/win/WindowInternal.h"

namespace win {
namespace detail {

std::recursive_mutex& TreeLock() {
  static std::recursive_mutex m;
  return m;
}

HandleTable<Wnd>& WindowTable() {
  static HandleTable<Wnd> table;
  return table;
}

std::shared_ptr<Wnd> FindWnd(HWND hwnd) { return WindowTable().Find(HandleToValue(hwnd)); }

std::shared_ptr<Wnd> DesktopWnd() {
  static std::shared_ptr<Wnd> desktop = [] {
    auto w = std::make_shared<Wnd>();
    w->style = WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_POPUP;
    w->cls = std::make_shared<WndClass>();
    w->cls->name = u"#32769";
    w->handle = ValueToHandle<HWND>(WindowTable().Add(w));
    return w;
  }();
  // The desktop follows the virtual screen.
  const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const RECT r{x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  TreeGuard lock(TreeLock());
  desktop->window = r;
  desktop->client = r;
  return desktop;
}

HWND DesktopHandle() { return DesktopWnd()->handle; }

std::shared_ptr<Wnd> MessageRootWnd() {
  static std::shared_ptr<Wnd> root = [] {
    auto w = std::make_shared<Wnd>();
    w->cls = std::make_shared<WndClass>();
    w->cls->name = u"Message";
    w->handle = ValueToHandle<HWND>(WindowTable().Add(w));
    return w;
  }();
  return root;
}

bool IsMessageOnly(const Wnd& w) { return w.parent && w.parent == MessageRootWnd()->handle; }

bool IsTopLevel(const Wnd& w) { return w.parent && w.parent == DesktopHandle(); }

POINT ClientOriginOnScreen(const Wnd& w) {
  POINT p{w.client.left, w.client.top};
  if (w.parent && w.parent != DesktopHandle()) {
    if (auto parent = FindWnd(w.parent)) {
      const POINT o = ClientOriginOnScreen(*parent);
      p.x += o.x, p.y += o.y;
    }
  }
  return p;
}

POINT WindowOriginOnScreen(const Wnd& w) {
  POINT p{w.window.left, w.window.top};
  if (w.parent && w.parent != DesktopHandle()) {
    if (auto parent = FindWnd(w.parent)) {
      const POINT o = ClientOriginOnScreen(*parent);
      p.x += o.x, p.y += o.y;
    }
  }
  return p;
}

RECT WindowRectOnScreen(const Wnd& w) {
  const POINT o = WindowOriginOnScreen(w);
  return {o.x, o.y, o.x + w.window.Width(), o.y + w.window.Height()};
}

bool IsVisibleChain(const Wnd& w) {
  const Wnd* cur = &w;
  std::shared_ptr<Wnd> hold;
  const HWND desktop = DesktopHandle();
  while (cur) {
    if (!(cur->style & WS_VISIBLE)) return false;
    if (!cur->parent || cur->parent == desktop) return true;
    hold = FindWnd(cur->parent);
    cur = hold.get();
  }
  return false;
}

std::shared_ptr<Wnd> TopLevelOf(const std::shared_ptr<Wnd>& w) {
  const HWND desktop = DesktopHandle();
  auto cur = w;
  while (cur && cur->parent && cur->parent != desktop) cur = FindWnd(cur->parent);
  return cur && cur->parent == desktop ? cur : nullptr;
}

bool IsDescendant(HWND ancestor, HWND hwnd) {
  if (!ancestor || !hwnd) return false;
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  while (w && w->parent) {
    if (w->parent == ancestor) return true;
    w = FindWnd(w->parent);
  }
  return false;
}

}  // namespace detail

using namespace detail;

namespace {

std::u16string fold(std::u16string s) {
  for (auto& c : s)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return s;
}

std::map<std::u16string, std::shared_ptr<WndClass>>& classes() {
  static std::map<std::u16string, std::shared_ptr<WndClass>> m;
  return m;
}

std::u16string classNameOf(const WCHAR* name) {
  if (IsAtomPointer(name)) return AtomName(static_cast<ATOM>(reinterpret_cast<uintptr_t>(name)));
  return name;
}
std::u16string classNameOf(const char* name) {
  if (IsAtomPointer(name)) return AtomName(static_cast<ATOM>(reinterpret_cast<uintptr_t>(name)));
  return AnsiToWide(name);
}

std::shared_ptr<WndClass> findClass(const std::u16string& name) {
  TreeGuard lock(TreeLock());
  auto it = classes().find(fold(name));
  return it == classes().end() ? nullptr : it->second;
}

ATOM registerClass(WndClass c) {
  if (c.name.empty() || c.name.size() > 255) return 0;
  TreeGuard lock(TreeLock());
  const auto key = fold(c.name);
  if (classes().count(key)) return 0;
  c.atom = AddAtomW(c.name);
  NoteProc(c.proc, c.unicode);
  auto p = std::make_shared<WndClass>(std::move(c));
  classes()[key] = p;
  return p->atom;
}

// Stacks `hwnd` among its siblings: topmost windows stay above the others.
void insertChild(Wnd& parent, HWND hwnd, HWND after, bool topmost) {
  auto& v = parent.children;
  v.erase(std::remove(v.begin(), v.end(), hwnd), v.end());
  auto isTopmost = [](HWND h) {
    auto w = FindWnd(h);
    return w && (w->exStyle & WS_EX_TOPMOST);
  };
  size_t firstNormal = 0;
  while (firstNormal < v.size() && isTopmost(v[firstNormal])) ++firstNormal;
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
}

HWND createWindow(DWORD exStyle, const std::u16string& className, const std::u16string* name, const void* rawName,
                  DWORD style, int x, int y, int cx, int cy, HWND parent, HMENU menu, HINSTANCE instance,
                  void* param, bool unicodeCaller, const void* rawClass) {
  auto cls = findClass(className);
  if (!cls) return nullptr;
  auto me = CurrentQueue();
  auto w = std::make_shared<Wnd>();
  w->cls = cls;
  w->queue = me;
  w->proc = cls->proc;
  w->unicode = cls->unicode;
  w->instance = instance;
  w->extra.assign(static_cast<size_t>(std::max(cls->cbWndExtra, 0)), 0);
  const HWND desktop = DesktopHandle();
  const bool child = (style & WS_CHILD) != 0;
  if (child) {
    auto p = FindWnd(parent);
    if (!p || p->destroying || parent == HWND_MESSAGE) return nullptr;
    w->parent = parent;
    w->id = reinterpret_cast<LONG_PTR>(menu);
  } else if (parent == HWND_MESSAGE) {
    // A message-only window: never shown, never enumerated with the others.
    w->parent = MessageRootWnd()->handle;
    style &= ~WS_VISIBLE;
  } else {
    w->parent = desktop;
    if (parent && parent != desktop) {
      TreeGuard lock(TreeLock());
      auto p = FindWnd(parent);
      if (!p) return nullptr;
      auto top = TopLevelOf(p);
      w->owner = top ? top->handle : nullptr;
    }
    // Overlapped windows always have a caption.
    if (!(style & WS_POPUP)) style |= WS_CAPTION | WS_CLIPSIBLINGS;
    style |= WS_CLIPSIBLINGS;
  }
  const bool visible = (style & WS_VISIBLE) != 0;
  w->style = style & ~WS_VISIBLE;
  w->exStyle = exStyle;
  if (!child && ((style & WS_THICKFRAME) || (style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME)))
    w->exStyle |= WS_EX_WINDOWEDGE;
  if (name) w->text = *name;

  if (x == CW_USEDEFAULT) {
    if (child) {
      x = y = 0;
    } else {
      x = 26, y = 26;
    }
  }
  if (cx == CW_USEDEFAULT) {
    if (child) {
      cx = cy = 0;
    } else {
      RECT work;
      SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0);
      cx = work.Width() * 3 / 4;
      cy = work.Height() * 3 / 4;
    }
  }
  w->window = {x, y, x + std::max(cx, 0), y + std::max(cy, 0)};
  w->client = DefaultClientRect(w->style, w->exStyle, w->window);
  w->normal = w->window;
  if (!child && w->parent == desktop) w->surface = std::make_shared<Surface>(w->window.Width(), w->window.Height());

  HWND hwnd;
  {
    TreeGuard lock(TreeLock());
    hwnd = ValueToHandle<HWND>(WindowTable().Add(w));
    if (!hwnd) return nullptr;
    w->handle = hwnd;
    auto p = FindWnd(w->parent);
    insertChild(*p, hwnd, HWND_TOP, (w->exStyle & WS_EX_TOPMOST) != 0);
  }

  // Top-level frames ask for their limits before anything else.
  if (!child && w->parent == desktop && (w->style & (WS_THICKFRAME | WS_CAPTION))) {
    MINMAXINFO mmi{};
    mmi.ptMaxSize = {GetSystemMetrics(SM_CXMAXIMIZED), GetSystemMetrics(SM_CYMAXIMIZED)};
    mmi.ptMaxPosition = {-4, -4};
    mmi.ptMinTrackSize = {GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
    mmi.ptMaxTrackSize = {GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
    CallWndProc(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi), false);
  }

  CREATESTRUCTA csa{param, instance, menu, parent, cy, cx, y, x, static_cast<LONG>(style),
                    static_cast<const char*>(rawName), static_cast<const char*>(rawClass), exStyle};
  CREATESTRUCTW csw{param, instance, menu, parent, cy, cx, y, x, static_cast<LONG>(style),
                    static_cast<const WCHAR*>(rawName), static_cast<const WCHAR*>(rawClass), exStyle};
  const LPARAM cs = unicodeCaller ? reinterpret_cast<LPARAM>(&csw) : reinterpret_cast<LPARAM>(&csa);

  if (!CallWndProc(hwnd, WM_NCCREATE, 0, cs, unicodeCaller)) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  // The client area comes from the (possibly subclassed) procedure.
  {
    RECT r;
    {
      TreeGuard lock(TreeLock());
      r = w->window;
    }
    CallWndProc(hwnd, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&r), false);
    TreeGuard lock(TreeLock());
    if (!w->destroyed) w->client = r;
  }
  if (CallWndProc(hwnd, WM_CREATE, 0, cs, unicodeCaller) == -1) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  if (!IsWindow(hwnd)) return nullptr;
  RECT client;
  {
    TreeGuard lock(TreeLock());
    client = w->client;
  }
  CallWndProc(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(static_cast<WORD>(client.Width()), static_cast<WORD>(client.Height())),
              false);
  CallWndProc(hwnd, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(client.left), static_cast<WORD>(client.top)), false);
  if (child && !(exStyle & WS_EX_NOPARENTNOTIFY))
    SendMessageA(parent, WM_PARENTNOTIFY, MAKEWPARAM(static_cast<WORD>(WM_CREATE), static_cast<WORD>(reinterpret_cast<uintptr_t>(menu))),
                 static_cast<LPARAM>(HandleToValue(hwnd)));
  if (visible && IsWindow(hwnd)) ShowWindow(hwnd, SW_SHOW);
  return IsWindow(hwnd) ? hwnd : nullptr;
}

void collectDescendants(HWND hwnd, std::vector<HWND>& out) {
  auto w = FindWnd(hwnd);
  if (!w) return;
  for (HWND c : w->children) {
    out.push_back(c);
    collectDescendants(c, out);
  }
}

void sendDestroy(HWND hwnd) {
  CallWndProc(hwnd, WM_DESTROY, 0, 0, false);
  std::vector<HWND> kids;
  {
    TreeGuard lock(TreeLock());
    if (auto w = FindWnd(hwnd)) kids = w->children;
  }
  for (HWND c : kids) {
    if (IsWindow(c)) sendDestroy(c);
  }
}

void finalDestroy(HWND hwnd) {
  std::vector<HWND> kids;
  {
    TreeGuard lock(TreeLock());
    if (auto w = FindWnd(hwnd)) kids = w->children;
  }
  for (HWND c : kids) finalDestroy(c);
  CallWndProc(hwnd, WM_NCDESTROY, 0, 0, false);
  KillWindowTimers(hwnd);
  ForgetWindowInput(hwnd);
  CaretOwnerGone(hwnd);
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w) return;
  w->destroyed = true;
  if (auto p = FindWnd(w->parent)) {
    auto& v = p->children;
    v.erase(std::remove(v.begin(), v.end(), hwnd), v.end());
  }
  w->children.clear();
  WindowTable().Remove(HandleToValue(hwnd));
}

std::u16string textOf(HWND hwnd) {
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  return w ? w->text : std::u16string();
}

}  // namespace

// ---- classes ----

ATOM RegisterClassA(const WNDCLASSA* wc) {
  if (!wc || !wc->lpszClassName || IsAtomPointer(wc->lpszClassName)) return 0;
  WndClass c;
  c.name = AnsiToWide(wc->lpszClassName);
  c.style = wc->style, c.proc = wc->lpfnWndProc, c.unicode = false;
  c.cbClsExtra = wc->cbClsExtra, c.cbWndExtra = wc->cbWndExtra, c.instance = wc->hInstance;
  c.icon = wc->hIcon, c.cursor = wc->hCursor, c.background = wc->hbrBackground;
  if (wc->lpszMenuName && !IsAtomPointer(wc->lpszMenuName)) c.menuName = AnsiToWide(wc->lpszMenuName);
  return registerClass(std::move(c));
}

ATOM RegisterClassW(const WNDCLASSW* wc) {
  if (!wc || !wc->lpszClassName || IsAtomPointer(wc->lpszClassName)) return 0;
  WndClass c;
  c.name = wc->lpszClassName;
  c.style = wc->style, c.proc = wc->lpfnWndProc, c.unicode = true;
  c.cbClsExtra = wc->cbClsExtra, c.cbWndExtra = wc->cbWndExtra, c.instance = wc->hInstance;
  c.icon = wc->hIcon, c.cursor = wc->hCursor, c.background = wc->hbrBackground;
  if (wc->lpszMenuName && !IsAtomPointer(wc->lpszMenuName)) c.menuName = wc->lpszMenuName;
  return registerClass(std::move(c));
}

static BOOL unregisterClass(const std::u16string& name) {
  TreeGuard lock(TreeLock());
  auto it = classes().find(fold(name));
  if (it == classes().end()) return FALSE;
  // A class with live windows stays.
  bool used = false;
  WindowTable().ForEach([&](uintptr_t, const std::shared_ptr<Wnd>& w) {
    if (w->cls == it->second && !w->destroyed) used = true;
  });
  if (used) return FALSE;
  classes().erase(it);
  return TRUE;
}
BOOL UnregisterClassA(const char* name, HINSTANCE) { return unregisterClass(classNameOf(name)); }
BOOL UnregisterClassW(const WCHAR* name, HINSTANCE) { return unregisterClass(classNameOf(name)); }

BOOL GetClassInfoW(HINSTANCE, const WCHAR* name, WNDCLASSW* wc) {
  auto c = findClass(classNameOf(name));
  if (!c || !wc) return FALSE;
  wc->style = c->style, wc->lpfnWndProc = c->proc, wc->cbClsExtra = c->cbClsExtra, wc->cbWndExtra = c->cbWndExtra;
  wc->hInstance = c->instance, wc->hIcon = c->icon, wc->hCursor = c->cursor, wc->hbrBackground = c->background;
  wc->lpszMenuName = c->menuName.empty() ? nullptr : c->menuName.c_str();
  wc->lpszClassName = c->name.c_str();
  return TRUE;
}

BOOL GetClassInfoA(HINSTANCE, const char* name, WNDCLASSA* wc) {
  auto c = findClass(classNameOf(name));
  if (!c || !wc) return FALSE;
  wc->style = c->style, wc->lpfnWndProc = c->proc, wc->cbClsExtra = c->cbClsExtra, wc->cbWndExtra = c->cbWndExtra;
  wc->hInstance = c->instance, wc->hIcon = c->icon, wc->hCursor = c->cursor, wc->hbrBackground = c->background;
  wc->lpszMenuName = nullptr;
  // The caller's name stays valid; the class keeps only the wide one.
  wc->lpszClassName = IsAtomPointer(name) ? nullptr : name;
  return TRUE;
}

int GetClassNameW(HWND hwnd, WCHAR* buffer, int maxCount) {
  std::u16string name;
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (!w || !buffer || maxCount <= 0) return 0;
    name = w->cls->name;
  }
  const size_t n = std::min(name.size(), static_cast<size_t>(maxCount - 1));
  std::copy_n(name.data(), n, buffer);
  buffer[n] = 0;
  return static_cast<int>(n);
}

int GetClassNameA(HWND hwnd, char* buffer, int maxCount) {
  std::u16string name;
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (!w || !buffer || maxCount <= 0) return 0;
    name = w->cls->name;
  }
  const std::string a = WideToAnsi(name);
  const size_t n = std::min(a.size(), static_cast<size_t>(maxCount - 1));
  std::memcpy(buffer, a.data(), n);
  buffer[n] = 0;
  return static_cast<int>(n);
}

static ULONG_PTR getClassLong(HWND hwnd, int index) {
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w) return 0;
  const auto& c = *w->cls;
  switch (index) {
    case GCL_STYLE: return c.style;
    case GCLP_WNDPROC: return reinterpret_cast<ULONG_PTR>(c.proc);
    case GCLP_HBRBACKGROUND: return HandleToValue(c.background);
    case GCLP_HCURSOR: return HandleToValue(c.cursor);
    case GCLP_HICON: return HandleToValue(c.icon);
    case GCLP_HICONSM: return HandleToValue(c.iconSmall);
    case GCL_CBWNDEXTRA: return static_cast<ULONG_PTR>(c.cbWndExtra);
    case GCL_CBCLSEXTRA: return static_cast<ULONG_PTR>(c.cbClsExtra);
    default: return 0;
  }
}

static ULONG_PTR setClassLong(HWND hwnd, int index, LONG_PTR value) {
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w) return 0;
  auto& c = *w->cls;
  const ULONG_PTR old = getClassLong(hwnd, index);
  switch (index) {
    case GCL_STYLE: c.style = static_cast<UINT>(value); break;
    case GCLP_WNDPROC: c.proc = reinterpret_cast<WNDPROC>(value); NoteProc(c.proc, c.unicode); break;
    case GCLP_HBRBACKGROUND: c.background = ValueToHandle<HBRUSH>(static_cast<uintptr_t>(value)); break;
    case GCLP_HCURSOR: c.cursor = ValueToHandle<HCURSOR>(static_cast<uintptr_t>(value)); break;
    case GCLP_HICON: c.icon = ValueToHandle<HICON>(static_cast<uintptr_t>(value)); break;
    case GCLP_HICONSM: c.iconSmall = ValueToHandle<HICON>(static_cast<uintptr_t>(value)); break;
    default: return 0;
  }
  return old;
}
ULONG_PTR GetClassLongPtrA(HWND hwnd, int index) { return getClassLong(hwnd, index); }
ULONG_PTR GetClassLongPtrW(HWND hwnd, int index) { return getClassLong(hwnd, index); }
ULONG_PTR SetClassLongPtrA(HWND hwnd, int index, LONG_PTR value) { return setClassLong(hwnd, index, value); }
ULONG_PTR SetClassLongPtrW(HWND hwnd, int index, LONG_PTR value) { return setClassLong(hwnd, index, value); }

// ---- windows ----

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param) {
  if (!className) return nullptr;
  const std::u16string cls = classNameOf(className);
  std::u16string name;
  if (windowName) name = AnsiToWide(windowName);
  return createWindow(exStyle, cls, windowName ? &name : nullptr, windowName, style, x, y, width, height, parent,
                      menu, instance, param, false, className);
}

HWND CreateWindowExW(DWORD exStyle, const WCHAR* className, const WCHAR* windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param) {
  if (!className) return nullptr;
  const std::u16string cls = classNameOf(className);
  std::u16string name;
  if (windowName) name = windowName;
  return createWindow(exStyle, cls, windowName ? &name : nullptr, windowName, style, x, y, width, height, parent,
                      menu, instance, param, true, className);
}

BOOL DestroyWindow(HWND hwnd) {
  std::vector<HWND> owned;
  bool visible;
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (!w || w == DesktopWnd() || w->destroying) return FALSE;
    if (w->queue != CurrentQueue()) return FALSE;
    w->destroying = true;
    std::vector<HWND> all;
    collectDescendants(hwnd, all);
    for (HWND h : all)
      if (auto d = FindWnd(h)) d->destroying = true;
    if (IsTopLevel(*w)) {
      for (HWND h : DesktopWnd()->children)
        if (auto o = FindWnd(h); o && o->owner == hwnd) owned.push_back(h);
    }
    visible = (w->style & WS_VISIBLE) != 0;
  }
  for (HWND h : owned) DestroyWindow(h);
  if (visible)
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE);
  sendDestroy(hwnd);
  finalDestroy(hwnd);
  return TRUE;
}

BOOL IsWindow(HWND hwnd) {
  auto w = FindWnd(hwnd);
  return w && !w->destroyed ? TRUE : FALSE;
}

BOOL IsWindowUnicode(HWND hwnd) {
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  return w && w->unicode ? TRUE : FALSE;
}

// ---- longs ----

static LONG_PTR getWindowLong(HWND hwnd, int index) {
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w) return 0;
  switch (index) {
    case GWL_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_HINSTANCE: return static_cast<LONG_PTR>(HandleToValue(w->instance));
    case GWL_HWNDPARENT:
      return static_cast<LONG_PTR>(HandleToValue(IsTopLevel(*w) ? w->owner : w->parent));
    case GWL_ID: return w->id;
    case GWL_STYLE: return static_cast<LONG_PTR>(static_cast<LONG>(w->style));
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(static_cast<LONG>(w->exStyle));
    case GWL_USERDATA: return w->userData;
    default:
      if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG_PTR) <= w->extra.size()) {
        LONG_PTR v;
        std::memcpy(&v, w->extra.data() + index, sizeof v);
        return v;
      }
      if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG) <= w->extra.size()) {
        LONG v;
        std::memcpy(&v, w->extra.data() + index, sizeof v);
        return v;
      }
      return 0;
  }
}

struct STYLESTRUCT {
  DWORD styleOld;
  DWORD styleNew;
};

static LONG_PTR setWindowLong(HWND hwnd, int index, LONG_PTR value, bool unicode) {
  if (index == GWL_STYLE || index == GWL_EXSTYLE) {
    DWORD old;
    {
      TreeGuard lock(TreeLock());
      auto w = FindWnd(hwnd);
      if (!w) return 0;
      old = index == GWL_STYLE ? w->style : w->exStyle;
    }
    STYLESTRUCT ss{old, static_cast<DWORD>(value)};
    const WPARAM which = static_cast<WPARAM>(static_cast<LONG>(index));
    SendMessageA(hwnd, WM_STYLECHANGING, which, reinterpret_cast<LPARAM>(&ss));
    {
      TreeGuard lock(TreeLock());
      auto w = FindWnd(hwnd);
      if (!w) return 0;
      DWORD v = ss.styleNew;
      if (index == GWL_STYLE) {
        // Visibility changes only through ShowWindow and SetWindowPos.
        v = (v & ~WS_VISIBLE) | (w->style & WS_VISIBLE);
        w->style = v;
      } else {
        w->exStyle = v;
      }
      ss.styleNew = v;
    }
    SendMessageA(hwnd, WM_STYLECHANGED, which, reinterpret_cast<LPARAM>(&ss));
    return static_cast<LONG_PTR>(static_cast<LONG>(old));
  }
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w) return 0;
  LONG_PTR old = getWindowLong(hwnd, index);
  switch (index) {
    case GWL_WNDPROC:
      w->proc = reinterpret_cast<WNDPROC>(value);
      // The setter's encoding decides how the new procedure is called.
      w->unicode = unicode;
      NoteProc(w->proc, unicode);
      break;
    case GWL_HINSTANCE: w->instance = ValueToHandle<HINSTANCE>(static_cast<uintptr_t>(value)); break;
    case GWL_HWNDPARENT:
      if (IsTopLevel(*w)) w->owner = ValueToHandle<HWND>(static_cast<uintptr_t>(value));
      break;
    case GWL_ID: w->id = value; break;
    case GWL_USERDATA: w->userData = value; break;
    default:
      if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG_PTR) <= w->extra.size()) {
        std::memcpy(w->extra.data() + index, &value, sizeof value);
      } else if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG) <= w->extra.size()) {
        const LONG v = static_cast<LONG>(value);
        std::memcpy(w->extra.data() + index, &v, sizeof v);
      } else {
        return 0;
      }
  }
  return old;
}

LONG_PTR GetWindowLongA(HWND hwnd, int index) { return getWindowLong(hwnd, index); }
LONG_PTR GetWindowLongW(HWND hwnd, int index) { return getWindowLong(hwnd, index); }
LONG_PTR SetWindowLongA(HWND hwnd, int index, LONG_PTR value) { return setWindowLong(hwnd, index, value, false); }
LONG_PTR SetWindowLongW(HWND hwnd, int index, LONG_PTR value) { return setWindowLong(hwnd, index, value, true); }

// ---- properties ----

static ATOM propAtom(const std::u16string& name, bool create) {
  return create ? AddAtomW(name) : FindAtomW(name);
}

static BOOL setProp(HWND hwnd, ATOM atom, HANDLE data) {
  if (!atom) return FALSE;
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w) return FALSE;
  w->props[atom] = data;
  return TRUE;
}
static HANDLE getProp(HWND hwnd, ATOM atom, bool remove) {
  if (!atom) return nullptr;
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w) return nullptr;
  auto it = w->props.find(atom);
  if (it == w->props.end()) return nullptr;
  HANDLE h = it->second;
  if (remove) w->props.erase(it);
  return h;
}

static ATOM atomOfName(const char* name, bool create) {
  if (IsAtomPointer(name)) return static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
  return propAtom(AnsiToWide(name), create);
}
static ATOM atomOfName(const WCHAR* name, bool create) {
  if (IsAtomPointer(name)) return static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
  return propAtom(name, create);
}

BOOL SetPropA(HWND hwnd, const char* name, HANDLE data) { return setProp(hwnd, atomOfName(name, true), data); }
BOOL SetPropW(HWND hwnd, const WCHAR* name, HANDLE data) { return setProp(hwnd, atomOfName(name, true), data); }
HANDLE GetPropA(HWND hwnd, const char* name) { return getProp(hwnd, atomOfName(name, false), false); }
HANDLE GetPropW(HWND hwnd, const WCHAR* name) { return getProp(hwnd, atomOfName(name, false), false); }
HANDLE RemovePropA(HWND hwnd, const char* name) { return getProp(hwnd, atomOfName(name, false), true); }
HANDLE RemovePropW(HWND hwnd, const WCHAR* name) { return getProp(hwnd, atomOfName(name, false), true); }

// ---- text ----

BOOL SetWindowTextA(HWND hwnd, const char* text) {
  if (!IsWindow(hwnd)) return FALSE;
  return SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}
BOOL SetWindowTextW(HWND hwnd, const WCHAR* text) {
  if (!IsWindow(hwnd)) return FALSE;
  return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}
int GetWindowTextA(HWND hwnd, char* buffer, int maxCount) {
  if (!buffer || maxCount <= 0) return 0;
  buffer[0] = 0;
  return static_cast<int>(SendMessageA(hwnd, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(buffer)));
}
int GetWindowTextW(HWND hwnd, WCHAR* buffer, int maxCount) {
  if (!buffer || maxCount <= 0) return 0;
  buffer[0] = 0;
  return static_cast<int>(SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(buffer)));
}
int GetWindowTextLengthA(HWND hwnd) { return static_cast<int>(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0)); }
int GetWindowTextLengthW(HWND hwnd) { return static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0)); }
std::u16string InternalGetWindowText(HWND hwnd) { return textOf(hwnd); }

// ---- the tree ----

HWND GetDesktopWindow() { return DesktopHandle(); }

HWND GetParent(HWND hwnd) {
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w) return nullptr;
  if (w->style & WS_CHILD) return w->parent;
  if (w->style & WS_POPUP) return w->owner;
  return nullptr;
}

HWND GetAncestor(HWND hwnd, UINT flags) {
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w || w == DesktopWnd()) return nullptr;
  switch (flags) {
    case GA_PARENT: return w->parent;
    case GA_ROOT: {
      auto top = TopLevelOf(w);
      return top ? top->handle : nullptr;
    }
    case GA_ROOTOWNER: {
      auto top = TopLevelOf(w);
      while (top && top->owner) {
        auto o = FindWnd(top->owner);
        if (!o) break;
        top = o;
      }
      return top ? top->handle : nullptr;
    }
    default: return nullptr;
  }
}

HWND SetParent(HWND child, HWND newParent) {
  TreeGuard lock(TreeLock());
  auto w = FindWnd(child);
  if (!w || w == DesktopWnd()) return nullptr;
  if (!newParent) newParent = DesktopHandle();
  auto p = FindWnd(newParent);
  if (!p || newParent == child || IsDescendant(child, newParent)) return nullptr;
  const HWND old = w->parent;
  if (auto op = FindWnd(old)) {
    auto& v = op->children;
    v.erase(std::remove(v.begin(), v.end(), child), v.end());
  }
  // The window keeps its place relative to the new parent's client origin.
  w->parent = newParent;
  insertChild(*p, child, HWND_TOP, (w->exStyle & WS_EX_TOPMOST) != 0);
  const bool top = newParent == DesktopHandle();
  if (top && !w->surface) w->surface = std::make_shared<Surface>(w->window.Width(), w->window.Height());
  if (!top) w->surface.reset();
  InvalidateWhole(w, true);
  return old == DesktopHandle() ? DesktopHandle() : old;
}

BOOL IsChild(HWND parent, HWND hwnd) {
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  while (w && (w->style & WS_CHILD)) {
    if (w->parent == parent) return TRUE;
    w = FindWnd(w->parent);
  }
  return FALSE;
}

HWND GetWindow(HWND hwnd, UINT cmd) {
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w) return nullptr;
  if (cmd == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
  if (cmd == GW_OWNER) return w->owner;
  auto p = FindWnd(w->parent);
  if (!p) return nullptr;
  const auto& v = p->children;
  auto it = std::find(v.begin(), v.end(), hwnd);
  switch (cmd) {
    case GW_HWNDFIRST: return v.empty() ? nullptr : v.front();
    case GW_HWNDLAST: return v.empty() ? nullptr : v.back();
    case GW_HWNDNEXT: return it == v.end() || it + 1 == v.end() ? nullptr : *(it + 1);
    case GW_HWNDPREV: return it == v.begin() || it == v.end() ? nullptr : *(it - 1);
    default: return nullptr;
  }
}

HWND GetTopWindow(HWND hwnd) { return GetWindow(hwnd ? hwnd : DesktopHandle(), GW_CHILD); }

HWND GetDlgItem(HWND parent, int id) {
  TreeGuard lock(TreeLock());
  auto w = FindWnd(parent);
  if (!w) return nullptr;
  for (HWND c : w->children)
    if (auto cw = FindWnd(c); cw && cw->id == id) return c;
  return nullptr;
}

int GetDlgCtrlID(HWND hwnd) { return static_cast<int>(GetWindowLongA(hwnd, GWL_ID)); }

BOOL SetDlgItemTextA(HWND parent, int id, const char* text) { return SetWindowTextA(GetDlgItem(parent, id), text); }
BOOL SetDlgItemTextW(HWND parent, int id, const WCHAR* text) { return SetWindowTextW(GetDlgItem(parent, id), text); }

BOOL EnumWindows(WNDENUMPROC proc, LPARAM data) {
  if (!proc) return FALSE;
  std::vector<HWND> list;
  {
    TreeGuard lock(TreeLock());
    list = DesktopWnd()->children;
  }
  for (HWND h : list)
    if (IsWindow(h) && !proc(h, data)) return FALSE;
  return TRUE;
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM data) {
  if (!proc) return FALSE;
  std::vector<HWND> list;
  {
    TreeGuard lock(TreeLock());
    collectDescendants(parent ? parent : DesktopHandle(), list);
  }
  for (HWND h : list)
    if (IsWindow(h) && !proc(h, data)) return FALSE;
  return TRUE;
}

BOOL EnumThreadWindows(DWORD threadId, WNDENUMPROC proc, LPARAM data) {
  if (!proc) return FALSE;
  std::vector<HWND> list;
  {
    TreeGuard lock(TreeLock());
    for (const auto& root : {DesktopWnd(), MessageRootWnd()})
      for (HWND h : root->children)
        if (auto w = FindWnd(h); w && w->queue && w->queue->threadId == threadId) list.push_back(h);
  }
  for (HWND h : list)
    if (IsWindow(h) && !proc(h, data)) return FALSE;
  return TRUE;
}

HWND FindWindowExA(HWND parent, HWND childAfter, const char* className, const char* windowName) {
  TreeGuard lock(TreeLock());
  auto p = parent == HWND_MESSAGE ? MessageRootWnd() : FindWnd(parent ? parent : DesktopHandle());
  if (!p) return nullptr;
  const std::u16string cls = className ? fold(classNameOf(className)) : std::u16string();
  const std::u16string name = windowName ? AnsiToWide(windowName) : std::u16string();
  bool started = childAfter == nullptr;
  for (HWND h : p->children) {
    if (!started) {
      started = h == childAfter;
      continue;
    }
    auto w = FindWnd(h);
    if (!w) continue;
    if (className && fold(w->cls->name) != cls) continue;
    if (windowName && w->text != name) continue;
    return h;
  }
  return nullptr;
}

HWND FindWindowA(const char* className, const char* windowName) {
  return FindWindowExA(nullptr, nullptr, className, windowName);
}

}  // namespace win
