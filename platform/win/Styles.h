#pragma once
// Window, class and control styles, and the flag sets of the placement and
// painting calls, with the platform's values (programs store and compare
// them as raw numbers).
#include "platform/win/Types.h"

namespace win {

// clang-format off
inline constexpr DWORD WS_OVERLAPPED   = 0x00000000;
inline constexpr DWORD WS_POPUP        = 0x80000000;
inline constexpr DWORD WS_CHILD        = 0x40000000;
inline constexpr DWORD WS_MINIMIZE     = 0x20000000;
inline constexpr DWORD WS_VISIBLE      = 0x10000000;
inline constexpr DWORD WS_DISABLED     = 0x08000000;
inline constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
inline constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
inline constexpr DWORD WS_MAXIMIZE     = 0x01000000;
inline constexpr DWORD WS_CAPTION      = 0x00C00000;
inline constexpr DWORD WS_BORDER       = 0x00800000;
inline constexpr DWORD WS_DLGFRAME     = 0x00400000;
inline constexpr DWORD WS_VSCROLL      = 0x00200000;
inline constexpr DWORD WS_HSCROLL      = 0x00100000;
inline constexpr DWORD WS_SYSMENU      = 0x00080000;
inline constexpr DWORD WS_THICKFRAME   = 0x00040000;
inline constexpr DWORD WS_GROUP        = 0x00020000;
inline constexpr DWORD WS_TABSTOP      = 0x00010000;
inline constexpr DWORD WS_MINIMIZEBOX  = 0x00020000;
inline constexpr DWORD WS_MAXIMIZEBOX  = 0x00010000;
inline constexpr DWORD WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
inline constexpr DWORD WS_POPUPWINDOW = WS_POPUP | WS_BORDER | WS_SYSMENU;

inline constexpr DWORD WS_EX_DLGMODALFRAME  = 0x00000001;
inline constexpr DWORD WS_EX_NOPARENTNOTIFY = 0x00000004;
inline constexpr DWORD WS_EX_TOPMOST        = 0x00000008;
inline constexpr DWORD WS_EX_ACCEPTFILES    = 0x00000010;
inline constexpr DWORD WS_EX_TRANSPARENT    = 0x00000020;
inline constexpr DWORD WS_EX_MDICHILD       = 0x00000040;
inline constexpr DWORD WS_EX_TOOLWINDOW     = 0x00000080;
inline constexpr DWORD WS_EX_WINDOWEDGE     = 0x00000100;
inline constexpr DWORD WS_EX_CLIENTEDGE     = 0x00000200;
inline constexpr DWORD WS_EX_CONTEXTHELP    = 0x00000400;
inline constexpr DWORD WS_EX_RIGHT          = 0x00001000;
inline constexpr DWORD WS_EX_RTLREADING     = 0x00002000;
inline constexpr DWORD WS_EX_LEFTSCROLLBAR  = 0x00004000;
inline constexpr DWORD WS_EX_CONTROLPARENT  = 0x00010000;
inline constexpr DWORD WS_EX_STATICEDGE     = 0x00020000;
inline constexpr DWORD WS_EX_APPWINDOW      = 0x00040000;
inline constexpr DWORD WS_EX_LAYERED        = 0x00080000;
inline constexpr DWORD WS_EX_NOACTIVATE     = 0x08000000;

inline constexpr UINT CS_VREDRAW         = 0x0001;
inline constexpr UINT CS_HREDRAW         = 0x0002;
inline constexpr UINT CS_DBLCLKS         = 0x0008;
inline constexpr UINT CS_OWNDC           = 0x0020;
inline constexpr UINT CS_CLASSDC         = 0x0040;
inline constexpr UINT CS_PARENTDC        = 0x0080;
inline constexpr UINT CS_NOCLOSE         = 0x0200;
inline constexpr UINT CS_SAVEBITS        = 0x0800;
inline constexpr UINT CS_BYTEALIGNCLIENT = 0x1000;
inline constexpr UINT CS_GLOBALCLASS     = 0x4000;
inline constexpr UINT CS_DROPSHADOW      = 0x00020000;

// Get/SetWindowLong and Get/SetClassLong indexes.
inline constexpr int GWL_WNDPROC    = -4;
inline constexpr int GWL_HINSTANCE  = -6;
inline constexpr int GWL_HWNDPARENT = -8;
inline constexpr int GWL_ID         = -12;
inline constexpr int GWL_STYLE      = -16;
inline constexpr int GWL_EXSTYLE    = -20;
inline constexpr int GWL_USERDATA   = -21;
inline constexpr int GWLP_WNDPROC = GWL_WNDPROC, GWLP_HINSTANCE = GWL_HINSTANCE,
                     GWLP_HWNDPARENT = GWL_HWNDPARENT, GWLP_ID = GWL_ID, GWLP_USERDATA = GWL_USERDATA;
inline constexpr int GCLP_MENUNAME      = -8;
inline constexpr int GCLP_HBRBACKGROUND = -10;
inline constexpr int GCLP_HCURSOR       = -12;
inline constexpr int GCLP_HICON         = -14;
inline constexpr int GCL_CBWNDEXTRA     = -18;
inline constexpr int GCL_CBCLSEXTRA     = -20;
inline constexpr int GCLP_WNDPROC       = -24;
inline constexpr int GCL_STYLE          = -26;
inline constexpr int GCLP_HICONSM       = -34;

// SetWindowPos.
inline constexpr UINT SWP_NOSIZE         = 0x0001;
inline constexpr UINT SWP_NOMOVE         = 0x0002;
inline constexpr UINT SWP_NOZORDER       = 0x0004;
inline constexpr UINT SWP_NOREDRAW       = 0x0008;
inline constexpr UINT SWP_NOACTIVATE     = 0x0010;
inline constexpr UINT SWP_FRAMECHANGED   = 0x0020;
inline constexpr UINT SWP_DRAWFRAME      = SWP_FRAMECHANGED;
inline constexpr UINT SWP_SHOWWINDOW     = 0x0040;
inline constexpr UINT SWP_HIDEWINDOW     = 0x0080;
inline constexpr UINT SWP_NOCOPYBITS     = 0x0100;
inline constexpr UINT SWP_NOOWNERZORDER  = 0x0200;
inline constexpr UINT SWP_NOREPOSITION   = SWP_NOOWNERZORDER;
inline constexpr UINT SWP_NOSENDCHANGING = 0x0400;
inline constexpr UINT SWP_DEFERERASE     = 0x2000;
inline constexpr UINT SWP_ASYNCWINDOWPOS = 0x4000;

inline const HWND HWND_TOP       = ValueToHandle<HWND>(0);
inline const HWND HWND_BOTTOM    = ValueToHandle<HWND>(1);
inline const HWND HWND_TOPMOST   = ValueToHandle<HWND>(static_cast<uintptr_t>(-1));
inline const HWND HWND_NOTOPMOST = ValueToHandle<HWND>(static_cast<uintptr_t>(-2));
inline const HWND HWND_MESSAGE   = ValueToHandle<HWND>(static_cast<uintptr_t>(-3));
inline const HWND HWND_BROADCAST = ValueToHandle<HWND>(0xFFFF);

// ShowWindow.
inline constexpr int SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_NORMAL = 1, SW_SHOWMINIMIZED = 2,
                     SW_SHOWMAXIMIZED = 3, SW_MAXIMIZE = 3, SW_SHOWNOACTIVATE = 4, SW_SHOW = 5,
                     SW_MINIMIZE = 6, SW_SHOWMINNOACTIVE = 7, SW_SHOWNA = 8, SW_RESTORE = 9,
                     SW_SHOWDEFAULT = 10;
// WM_SHOWWINDOW's lParam when the show comes from the owner or a restore.
inline constexpr LPARAM SW_PARENTCLOSING = 1, SW_OTHERZOOM = 2, SW_PARENTOPENING = 3, SW_OTHERUNZOOM = 4;

// RedrawWindow.
inline constexpr UINT RDW_INVALIDATE      = 0x0001;
inline constexpr UINT RDW_INTERNALPAINT   = 0x0002;
inline constexpr UINT RDW_ERASE           = 0x0004;
inline constexpr UINT RDW_VALIDATE        = 0x0008;
inline constexpr UINT RDW_NOINTERNALPAINT = 0x0010;
inline constexpr UINT RDW_NOERASE         = 0x0020;
inline constexpr UINT RDW_NOCHILDREN      = 0x0040;
inline constexpr UINT RDW_ALLCHILDREN     = 0x0080;
inline constexpr UINT RDW_UPDATENOW       = 0x0100;
inline constexpr UINT RDW_ERASENOW        = 0x0200;
inline constexpr UINT RDW_FRAME           = 0x0400;
inline constexpr UINT RDW_NOFRAME         = 0x0800;

// Layered windows.
inline constexpr DWORD LWA_COLORKEY = 0x1, LWA_ALPHA = 0x2;
inline constexpr DWORD ULW_COLORKEY = 0x1, ULW_ALPHA = 0x2, ULW_OPAQUE = 0x4;

// Buttons.
inline constexpr DWORD BS_PUSHBUTTON = 0x0, BS_DEFPUSHBUTTON = 0x1, BS_CHECKBOX = 0x2, BS_AUTOCHECKBOX = 0x3,
                       BS_RADIOBUTTON = 0x4, BS_3STATE = 0x5, BS_AUTO3STATE = 0x6, BS_GROUPBOX = 0x7,
                       BS_USERBUTTON = 0x8, BS_AUTORADIOBUTTON = 0x9, BS_OWNERDRAW = 0xB, BS_TYPEMASK = 0xF,
                       BS_LEFTTEXT = 0x20, BS_TEXT = 0x0, BS_ICON = 0x40, BS_BITMAP = 0x80, BS_LEFT = 0x100,
                       BS_RIGHT = 0x200, BS_CENTER = 0x300, BS_TOP = 0x400, BS_BOTTOM = 0x800,
                       BS_VCENTER = 0xC00, BS_PUSHLIKE = 0x1000, BS_MULTILINE = 0x2000, BS_NOTIFY = 0x4000,
                       BS_FLAT = 0x8000;
// Edit controls.
inline constexpr DWORD ES_LEFT = 0x0, ES_CENTER = 0x1, ES_RIGHT = 0x2, ES_MULTILINE = 0x4, ES_UPPERCASE = 0x8,
                       ES_LOWERCASE = 0x10, ES_PASSWORD = 0x20, ES_AUTOVSCROLL = 0x40, ES_AUTOHSCROLL = 0x80,
                       ES_NOHIDESEL = 0x100, ES_OEMCONVERT = 0x400, ES_READONLY = 0x800,
                       ES_WANTRETURN = 0x1000, ES_NUMBER = 0x2000;
// List boxes.
inline constexpr DWORD LBS_NOTIFY = 0x1, LBS_SORT = 0x2, LBS_NOREDRAW = 0x4, LBS_MULTIPLESEL = 0x8,
                       LBS_OWNERDRAWFIXED = 0x10, LBS_OWNERDRAWVARIABLE = 0x20, LBS_HASSTRINGS = 0x40,
                       LBS_USETABSTOPS = 0x80, LBS_NOINTEGRALHEIGHT = 0x100, LBS_MULTICOLUMN = 0x200,
                       LBS_WANTKEYBOARDINPUT = 0x400, LBS_EXTENDEDSEL = 0x800, LBS_DISABLENOSCROLL = 0x1000,
                       LBS_NODATA = 0x2000, LBS_NOSEL = 0x4000;
// Combo boxes.
inline constexpr DWORD CBS_SIMPLE = 0x1, CBS_DROPDOWN = 0x2, CBS_DROPDOWNLIST = 0x3, CBS_OWNERDRAWFIXED = 0x10,
                       CBS_OWNERDRAWVARIABLE = 0x20, CBS_AUTOHSCROLL = 0x40, CBS_OEMCONVERT = 0x80,
                       CBS_SORT = 0x100, CBS_HASSTRINGS = 0x200, CBS_NOINTEGRALHEIGHT = 0x400,
                       CBS_DISABLENOSCROLL = 0x800;
// Scroll-bar controls.
inline constexpr DWORD SBS_HORZ = 0x0, SBS_VERT = 0x1, SBS_TOPALIGN = 0x2, SBS_LEFTALIGN = 0x2,
                       SBS_BOTTOMALIGN = 0x4, SBS_RIGHTALIGN = 0x4, SBS_SIZEBOX = 0x8;
// Tree views.
inline constexpr DWORD TVS_HASBUTTONS = 0x1, TVS_HASLINES = 0x2, TVS_LINESATROOT = 0x4,
                       TVS_EDITLABELS = 0x8, TVS_DISABLEDRAGDROP = 0x10, TVS_SHOWSELALWAYS = 0x20,
                       TVS_NOTOOLTIPS = 0x80;
// clang-format on

}  // namespace win
