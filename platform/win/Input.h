#pragma once
// Keyboard and mouse: focus, activation, capture, cursor position and
// shapes, key state, mouse tracking, and the injection calls through which
// tests (and the X11 backend) feed input in.
#include <string>

#include "platform/win/Types.h"

namespace win {

// clang-format off
inline constexpr UINT VK_LBUTTON = 0x01, VK_RBUTTON = 0x02, VK_CANCEL = 0x03, VK_MBUTTON = 0x04,
    VK_XBUTTON1 = 0x05, VK_XBUTTON2 = 0x06, VK_BACK = 0x08, VK_TAB = 0x09, VK_CLEAR = 0x0C,
    VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11, VK_MENU = 0x12, VK_PAUSE = 0x13,
    VK_CAPITAL = 0x14, VK_ESCAPE = 0x1B, VK_SPACE = 0x20, VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23,
    VK_HOME = 0x24, VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_SELECT = 0x29,
    VK_PRINT = 0x2A, VK_SNAPSHOT = 0x2C, VK_INSERT = 0x2D, VK_DELETE = 0x2E, VK_HELP = 0x2F,
    VK_LWIN = 0x5B, VK_RWIN = 0x5C, VK_APPS = 0x5D, VK_NUMPAD0 = 0x60, VK_NUMPAD9 = 0x69,
    VK_MULTIPLY = 0x6A, VK_ADD = 0x6B, VK_SEPARATOR = 0x6C, VK_SUBTRACT = 0x6D, VK_DECIMAL = 0x6E,
    VK_DIVIDE = 0x6F, VK_F1 = 0x70, VK_F2 = 0x71, VK_F3 = 0x72, VK_F4 = 0x73, VK_F5 = 0x74, VK_F6 = 0x75,
    VK_F7 = 0x76, VK_F8 = 0x77, VK_F9 = 0x78, VK_F10 = 0x79, VK_F11 = 0x7A, VK_F12 = 0x7B, VK_F24 = 0x87,
    VK_NUMLOCK = 0x90, VK_SCROLL = 0x91, VK_LSHIFT = 0xA0, VK_RSHIFT = 0xA1, VK_LCONTROL = 0xA2,
    VK_RCONTROL = 0xA3, VK_LMENU = 0xA4, VK_RMENU = 0xA5, VK_OEM_1 = 0xBA, VK_OEM_PLUS = 0xBB,
    VK_OEM_COMMA = 0xBC, VK_OEM_MINUS = 0xBD, VK_OEM_PERIOD = 0xBE, VK_OEM_2 = 0xBF, VK_OEM_3 = 0xC0,
    VK_OEM_4 = 0xDB, VK_OEM_5 = 0xDC, VK_OEM_6 = 0xDD, VK_OEM_7 = 0xDE, VK_PACKET = 0xE7;

// Standard cursors (LoadCursor with a null instance).
inline constexpr uintptr_t IDC_ARROW = 32512, IDC_IBEAM = 32513, IDC_WAIT = 32514, IDC_CROSS = 32515,
    IDC_UPARROW = 32516, IDC_SIZE = 32640, IDC_ICON = 32641, IDC_SIZENWSE = 32642, IDC_SIZENESW = 32643,
    IDC_SIZEWE = 32644, IDC_SIZENS = 32645, IDC_SIZEALL = 32646, IDC_NO = 32648, IDC_HAND = 32649,
    IDC_APPSTARTING = 32650, IDC_HELP = 32651;

inline constexpr DWORD TME_HOVER = 0x1, TME_LEAVE = 0x2, TME_NONCLIENT = 0x10, TME_QUERY = 0x40000000,
    TME_CANCEL = 0x80000000;
inline constexpr DWORD HOVER_DEFAULT = 0xFFFFFFFF;
// clang-format on

struct TRACKMOUSEEVENT {
  DWORD cbSize = sizeof(TRACKMOUSEEVENT);
  DWORD dwFlags = 0;
  HWND hwndTrack{};
  DWORD dwHoverTime = HOVER_DEFAULT;
};

HWND SetFocus(HWND hwnd);
HWND GetFocus();
// Activation sends WM_NCACTIVATE and WM_ACTIVATE to the windows losing and
// gaining it (and WM_ACTIVATEAPP when the program gains or loses it).
HWND SetActiveWindow(HWND hwnd);
HWND GetActiveWindow();
BOOL SetForegroundWindow(HWND hwnd);
HWND GetForegroundWindow();

HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();

BOOL GetCursorPos(POINT* point);
// Moves the pointer as a user would: the windows under it get the moves.
BOOL SetCursorPos(int x, int y);
BOOL TrackMouseEvent(TRACKMOUSEEVENT* tme);

// Standard cursors exist as handles; SetCursor only records the shape (the
// display backend shows it).
HCURSOR LoadCursorA(HINSTANCE instance, const char* name);
HCURSOR LoadCursorW(HINSTANCE instance, const WCHAR* name);
inline HCURSOR LoadCursor(HINSTANCE instance, const char* name) { return LoadCursorA(instance, name); }
inline const char* MAKEINTRESOURCEA(uintptr_t id) { return reinterpret_cast<const char*>(id); }
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
// The standard id behind a cursor handle, 0 for other cursors.
uintptr_t StandardCursorId(HCURSOR cursor);

// The high bit (negative SHORT) when down; bit 0 toggles (Caps Lock).
int16_t GetKeyState(int vk);
int16_t GetAsyncKeyState(int vk);
BOOL GetKeyboardState(BYTE* state256);

// The keyboard layout (US): key codes, scan codes, characters and names.
inline constexpr UINT MAPVK_VK_TO_VSC = 0, MAPVK_VSC_TO_VK = 1, MAPVK_VK_TO_CHAR = 2;
UINT MapVirtualKeyA(UINT code, UINT mapType);
UINT MapVirtualKeyW(UINT code, UINT mapType);
inline UINT MapVirtualKey(UINT code, UINT mapType) { return MapVirtualKeyA(code, mapType); }
// The key's name from a key message's lParam (scan code in bits 16-23,
// extended flag in bit 24), such as "Ctrl", "Enter", "F5" or "A".
int GetKeyNameTextA(LONG lParam, char* buffer, int size);
int GetKeyNameTextW(LONG lParam, WCHAR* buffer, int size);
// Low byte the key, high byte the shift state (1 Shift); -1 if no key types it.
int16_t VkKeyScanA(char c);
int16_t VkKeyScanW(WCHAR c);

// Input injection: what a user at the screen would do. Messages land in the
// queue of the thread that owns the target window, with the hit test and
// WM_SETCURSOR sent on the way as the platform does; pump to deliver them.
void InjectMouseMove(int x, int y);
// button: 0 left, 1 right, 2 middle.
void InjectMouseButton(int button, bool down);
void InjectClick(int x, int y, int button = 0);
void InjectDoubleClick(int x, int y, int button = 0);
void InjectMouseWheel(int delta);
void InjectKey(UINT vk, bool down);
void InjectKeyPress(UINT vk);
// Types text as key presses (VK_PACKET for characters without a key).
void InjectText(const std::u16string& text);
// Resets the pointer, buttons, keys and the recorded tracking state.
void ResetInputState();

}  // namespace win
