#pragma once
// Window classes and windows: creation and destruction, the parent/owner
// tree and z-order, window longs, procedures and subclassing, properties,
// text, placement, visibility and enabling.
#include <cstdint>
#include <string>

#include "platform/win/Messages.h"
#include "platform/win/Styles.h"
#include "platform/win/Types.h"

namespace win {

struct WNDCLASSA {
  UINT style = 0;
  WNDPROC lpfnWndProc = nullptr;
  int cbClsExtra = 0;
  int cbWndExtra = 0;
  HINSTANCE hInstance{};
  HICON hIcon{};
  HCURSOR hCursor{};
  HBRUSH hbrBackground{};
  const char* lpszMenuName = nullptr;
  const char* lpszClassName = nullptr;
};
struct WNDCLASSW {
  UINT style = 0;
  WNDPROC lpfnWndProc = nullptr;
  int cbClsExtra = 0;
  int cbWndExtra = 0;
  HINSTANCE hInstance{};
  HICON hIcon{};
  HCURSOR hCursor{};
  HBRUSH hbrBackground{};
  const WCHAR* lpszMenuName = nullptr;
  const WCHAR* lpszClassName = nullptr;
};
using WNDCLASS = WNDCLASSA;

struct CREATESTRUCTA {
  void* lpCreateParams = nullptr;
  HINSTANCE hInstance{};
  HMENU hMenu{};
  HWND hwndParent{};
  int cy = 0, cx = 0, y = 0, x = 0;
  LONG style = 0;
  const char* lpszName = nullptr;
  const char* lpszClass = nullptr;
  DWORD dwExStyle = 0;
};
struct CREATESTRUCTW {
  void* lpCreateParams = nullptr;
  HINSTANCE hInstance{};
  HMENU hMenu{};
  HWND hwndParent{};
  int cy = 0, cx = 0, y = 0, x = 0;
  LONG style = 0;
  const WCHAR* lpszName = nullptr;
  const WCHAR* lpszClass = nullptr;
  DWORD dwExStyle = 0;
};
using CREATESTRUCT = CREATESTRUCTA;

struct WINDOWPOS {
  HWND hwnd{};
  HWND hwndInsertAfter{};
  int x = 0, y = 0, cx = 0, cy = 0;
  UINT flags = 0;
};
// Added to WINDOWPOS.flags in WM_WINDOWPOSCHANGED when the client area kept
// its size or place, so the default procedure knows not to send WM_SIZE or
// WM_MOVE.
inline constexpr UINT SWP_NOCLIENTSIZE = 0x0800, SWP_NOCLIENTMOVE = 0x1000;

struct NCCALCSIZE_PARAMS {
  RECT rgrc[3];
  WINDOWPOS* lppos = nullptr;
};

struct MINMAXINFO {
  POINT ptReserved;
  POINT ptMaxSize;
  POINT ptMaxPosition;
  POINT ptMinTrackSize;
  POINT ptMaxTrackSize;
};

inline constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

// A class name given as an atom (MAKEINTATOM) instead of a string.
inline const char* MAKEINTATOMA(ATOM atom) { return reinterpret_cast<const char*>(static_cast<uintptr_t>(atom)); }
inline const WCHAR* MAKEINTATOMW(ATOM atom) { return reinterpret_cast<const WCHAR*>(static_cast<uintptr_t>(atom)); }

// Class registration: a class's procedure decides whether its windows are
// Unicode (registered with the W call) or ANSI.
ATOM RegisterClassA(const WNDCLASSA* wc);
ATOM RegisterClassW(const WNDCLASSW* wc);
inline ATOM RegisterClass(const WNDCLASSA* wc) { return RegisterClassA(wc); }
BOOL UnregisterClassA(const char* className, HINSTANCE instance);
BOOL UnregisterClassW(const WCHAR* className, HINSTANCE instance);
inline BOOL UnregisterClass(const char* className, HINSTANCE instance) { return UnregisterClassA(className, instance); }
BOOL GetClassInfoA(HINSTANCE instance, const char* className, WNDCLASSA* wc);
BOOL GetClassInfoW(HINSTANCE instance, const WCHAR* className, WNDCLASSW* wc);
inline BOOL GetClassInfo(HINSTANCE instance, const char* className, WNDCLASSA* wc) {
  return GetClassInfoA(instance, className, wc);
}
int GetClassNameA(HWND hwnd, char* buffer, int maxCount);
int GetClassNameW(HWND hwnd, WCHAR* buffer, int maxCount);
inline int GetClassName(HWND hwnd, char* buffer, int maxCount) { return GetClassNameA(hwnd, buffer, maxCount); }
ULONG_PTR GetClassLongPtrA(HWND hwnd, int index);
ULONG_PTR GetClassLongPtrW(HWND hwnd, int index);
ULONG_PTR SetClassLongPtrA(HWND hwnd, int index, LONG_PTR value);
ULONG_PTR SetClassLongPtrW(HWND hwnd, int index, LONG_PTR value);
inline ULONG_PTR GetClassLongPtr(HWND hwnd, int index) { return GetClassLongPtrA(hwnd, index); }
inline ULONG_PTR SetClassLongPtr(HWND hwnd, int index, LONG_PTR value) { return SetClassLongPtrA(hwnd, index, value); }

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param);
HWND CreateWindowExW(DWORD exStyle, const WCHAR* className, const WCHAR* windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param);
inline HWND CreateWindowEx(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                           int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param) {
  return CreateWindowExA(exStyle, className, windowName, style, x, y, width, height, parent, menu, instance, param);
}
// Sends WM_DESTROY to the window and then to its descendants, then
// WM_NCDESTROY to the descendants (deepest first) and last to the window.
// Owned windows go first.
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
BOOL IsWindowUnicode(HWND hwnd);

// Window longs. Values are pointer-wide, so a procedure or a pointer kept
// in GWL_USERDATA survives; the Ptr names are the same calls.
LONG_PTR GetWindowLongA(HWND hwnd, int index);
LONG_PTR GetWindowLongW(HWND hwnd, int index);
LONG_PTR SetWindowLongA(HWND hwnd, int index, LONG_PTR value);
LONG_PTR SetWindowLongW(HWND hwnd, int index, LONG_PTR value);
inline LONG_PTR GetWindowLong(HWND hwnd, int index) { return GetWindowLongA(hwnd, index); }
inline LONG_PTR SetWindowLong(HWND hwnd, int index, LONG_PTR value) { return SetWindowLongA(hwnd, index, value); }
inline LONG_PTR GetWindowLongPtr(HWND hwnd, int index) { return GetWindowLongA(hwnd, index); }
inline LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value) { return SetWindowLongA(hwnd, index, value); }
inline LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) { return GetWindowLongW(hwnd, index); }
inline LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) { return SetWindowLongW(hwnd, index, value); }

// Properties keyed by name or by atom (MAKEINTATOM).
BOOL SetPropA(HWND hwnd, const char* name, HANDLE data);
BOOL SetPropW(HWND hwnd, const WCHAR* name, HANDLE data);
HANDLE GetPropA(HWND hwnd, const char* name);
HANDLE GetPropW(HWND hwnd, const WCHAR* name);
HANDLE RemovePropA(HWND hwnd, const char* name);
HANDLE RemovePropW(HWND hwnd, const WCHAR* name);
inline BOOL SetProp(HWND hwnd, const char* name, HANDLE data) { return SetPropA(hwnd, name, data); }
inline HANDLE GetProp(HWND hwnd, const char* name) { return GetPropA(hwnd, name); }
inline HANDLE RemoveProp(HWND hwnd, const char* name) { return RemovePropA(hwnd, name); }

// Global atoms (case-insensitive strings, numbers 0xC000 and up).
ATOM GlobalAddAtomA(const char* name);
ATOM GlobalAddAtomW(const WCHAR* name);
ATOM GlobalFindAtomA(const char* name);
ATOM GlobalFindAtomW(const WCHAR* name);
ATOM GlobalDeleteAtom(ATOM atom);
UINT GlobalGetAtomNameA(ATOM atom, char* buffer, int size);
UINT GlobalGetAtomNameW(ATOM atom, WCHAR* buffer, int size);

// Window text goes through WM_SETTEXT/WM_GETTEXT, so subclasses see it.
BOOL SetWindowTextA(HWND hwnd, const char* text);
BOOL SetWindowTextW(HWND hwnd, const WCHAR* text);
int GetWindowTextA(HWND hwnd, char* buffer, int maxCount);
int GetWindowTextW(HWND hwnd, WCHAR* buffer, int maxCount);
int GetWindowTextLengthA(HWND hwnd);
int GetWindowTextLengthW(HWND hwnd);
inline BOOL SetWindowText(HWND hwnd, const char* text) { return SetWindowTextA(hwnd, text); }
inline int GetWindowText(HWND hwnd, char* buffer, int maxCount) { return GetWindowTextA(hwnd, buffer, maxCount); }
inline int GetWindowTextLength(HWND hwnd) { return GetWindowTextLengthA(hwnd); }
// The text as stored, without messages (the class library's own reads).
std::u16string InternalGetWindowText(HWND hwnd);

// The tree.
HWND GetDesktopWindow();
// The parent of a child window, the owner of a popup, otherwise null.
HWND GetParent(HWND hwnd);
HWND SetParent(HWND child, HWND newParent);
inline constexpr UINT GA_PARENT = 1, GA_ROOT = 2, GA_ROOTOWNER = 3;
HWND GetAncestor(HWND hwnd, UINT flags);
inline constexpr UINT GW_HWNDFIRST = 0, GW_HWNDLAST = 1, GW_HWNDNEXT = 2, GW_HWNDPREV = 3, GW_OWNER = 4,
                      GW_CHILD = 5;
HWND GetWindow(HWND hwnd, UINT cmd);
HWND GetTopWindow(HWND hwnd);
BOOL IsChild(HWND parent, HWND hwnd);
HWND GetDlgItem(HWND parent, int id);
int GetDlgCtrlID(HWND hwnd);
BOOL SetDlgItemTextA(HWND parent, int id, const char* text);
BOOL SetDlgItemTextW(HWND parent, int id, const WCHAR* text);
using WNDENUMPROC = BOOL (*)(HWND, LPARAM);
// Top-level windows in z-order, topmost first.
BOOL EnumWindows(WNDENUMPROC proc, LPARAM data);
// Every descendant, depth first.
BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM data);
BOOL EnumThreadWindows(DWORD threadId, WNDENUMPROC proc, LPARAM data);
HWND FindWindowA(const char* className, const char* windowName);
HWND FindWindowExA(HWND parent, HWND childAfter, const char* className, const char* windowName);

// Placement.
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL GetWindowRect(HWND hwnd, RECT* rect);
BOOL GetClientRect(HWND hwnd, RECT* rect);
BOOL ClientToScreen(HWND hwnd, POINT* point);
BOOL ScreenToClient(HWND hwnd, POINT* point);
int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);
BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle);
BOOL BringWindowToTop(HWND hwnd);

BOOL ShowWindow(HWND hwnd, int cmd);

// The restored placement of a window, whatever its state now.
struct WINDOWPLACEMENT {
  UINT length = sizeof(WINDOWPLACEMENT);
  UINT flags = 0;
  UINT showCmd = 0;  // SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED or SW_HIDE
  POINT ptMinPosition;
  POINT ptMaxPosition;
  RECT rcNormalPosition;
};
BOOL GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* placement);
// Sets the restored rectangle and then shows the window as showCmd says.
BOOL SetWindowPlacement(HWND hwnd, const WINDOWPLACEMENT* placement);
BOOL IsWindowVisible(HWND hwnd);
BOOL IsIconic(HWND hwnd);
BOOL IsZoomed(HWND hwnd);
// Answers whether the window was disabled before.
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);

// The topmost visible, enabled window under a screen point, descending into
// children; windows that answer HTTRANSPARENT and transparent layered
// windows are passed through.
HWND WindowFromPoint(POINT screen);
inline constexpr UINT CWP_ALL = 0, CWP_SKIPINVISIBLE = 1, CWP_SKIPDISABLED = 2, CWP_SKIPTRANSPARENT = 4;
// The immediate child under a point in `parent`'s client coordinates,
// `parent` itself when no child is there, null outside the parent.
HWND ChildWindowFromPoint(HWND parent, POINT client);
HWND ChildWindowFromPointEx(HWND parent, POINT client, UINT flags);

// Window regions: the window takes the region over (the handle is freed);
// null removes the shape. Sends WM_WINDOWPOSCHANGING/CHANGED.
int SetWindowRgn(HWND hwnd, HRGN rgn, BOOL redraw);
// Copies the window's region into `rgn` (window coordinates).
int GetWindowRgn(HWND hwnd, HRGN rgn);

}  // namespace win
