#pragma once
// Message numbers of the window system and of the standard controls. They
// keep the platform's values: programs compute private numbers from WM_USER
// and WM_APP and compare raw numbers read from message records.
#include "platform/win/Types.h"

namespace win {

// clang-format off
inline constexpr UINT WM_NULL                = 0x0000;
inline constexpr UINT WM_CREATE              = 0x0001;
inline constexpr UINT WM_DESTROY             = 0x0002;
inline constexpr UINT WM_MOVE                = 0x0003;
inline constexpr UINT WM_SIZE                = 0x0005;
inline constexpr UINT WM_ACTIVATE            = 0x0006;
inline constexpr UINT WM_SETFOCUS            = 0x0007;
inline constexpr UINT WM_KILLFOCUS           = 0x0008;
inline constexpr UINT WM_ENABLE              = 0x000A;
inline constexpr UINT WM_SETREDRAW           = 0x000B;
inline constexpr UINT WM_SETTEXT             = 0x000C;
inline constexpr UINT WM_GETTEXT             = 0x000D;
inline constexpr UINT WM_GETTEXTLENGTH       = 0x000E;
inline constexpr UINT WM_PAINT               = 0x000F;
inline constexpr UINT WM_CLOSE               = 0x0010;
inline constexpr UINT WM_QUERYENDSESSION     = 0x0011;
inline constexpr UINT WM_QUIT                = 0x0012;
inline constexpr UINT WM_ERASEBKGND          = 0x0014;
inline constexpr UINT WM_SYSCOLORCHANGE      = 0x0015;
inline constexpr UINT WM_ENDSESSION          = 0x0016;
inline constexpr UINT WM_SHOWWINDOW          = 0x0018;
inline constexpr UINT WM_SETTINGCHANGE       = 0x001A;
inline constexpr UINT WM_ACTIVATEAPP         = 0x001C;
inline constexpr UINT WM_FONTCHANGE          = 0x001D;
inline constexpr UINT WM_TIMECHANGE          = 0x001E;
inline constexpr UINT WM_CANCELMODE          = 0x001F;
inline constexpr UINT WM_SETCURSOR           = 0x0020;
inline constexpr UINT WM_MOUSEACTIVATE       = 0x0021;
inline constexpr UINT WM_CHILDACTIVATE       = 0x0022;
inline constexpr UINT WM_GETMINMAXINFO       = 0x0024;
inline constexpr UINT WM_NEXTDLGCTL          = 0x0028;
inline constexpr UINT WM_DRAWITEM            = 0x002B;
inline constexpr UINT WM_MEASUREITEM         = 0x002C;
inline constexpr UINT WM_DELETEITEM          = 0x002D;
inline constexpr UINT WM_VKEYTOITEM          = 0x002E;
inline constexpr UINT WM_CHARTOITEM          = 0x002F;
inline constexpr UINT WM_SETFONT             = 0x0030;
inline constexpr UINT WM_GETFONT             = 0x0031;
inline constexpr UINT WM_COMPAREITEM         = 0x0039;
inline constexpr UINT WM_GETOBJECT           = 0x003D;
inline constexpr UINT WM_WINDOWPOSCHANGING   = 0x0046;
inline constexpr UINT WM_WINDOWPOSCHANGED    = 0x0047;
inline constexpr UINT WM_COPYDATA            = 0x004A;
inline constexpr UINT WM_NOTIFY              = 0x004E;
inline constexpr UINT WM_INPUTLANGCHANGE     = 0x0051;
inline constexpr UINT WM_HELP                = 0x0053;
inline constexpr UINT WM_NOTIFYFORMAT        = 0x0055;
inline constexpr UINT WM_CONTEXTMENU         = 0x007B;
inline constexpr UINT WM_STYLECHANGING       = 0x007C;
inline constexpr UINT WM_STYLECHANGED        = 0x007D;
inline constexpr UINT WM_DISPLAYCHANGE       = 0x007E;
inline constexpr UINT WM_GETICON             = 0x007F;
inline constexpr UINT WM_SETICON             = 0x0080;
inline constexpr UINT WM_NCCREATE            = 0x0081;
inline constexpr UINT WM_NCDESTROY           = 0x0082;
inline constexpr UINT WM_NCCALCSIZE          = 0x0083;
inline constexpr UINT WM_NCHITTEST           = 0x0084;
inline constexpr UINT WM_NCPAINT             = 0x0085;
inline constexpr UINT WM_NCACTIVATE          = 0x0086;
inline constexpr UINT WM_GETDLGCODE          = 0x0087;
inline constexpr UINT WM_NCMOUSEMOVE         = 0x00A0;
inline constexpr UINT WM_NCLBUTTONDOWN       = 0x00A1;
inline constexpr UINT WM_NCLBUTTONUP         = 0x00A2;
inline constexpr UINT WM_NCLBUTTONDBLCLK     = 0x00A3;
inline constexpr UINT WM_NCRBUTTONDOWN       = 0x00A4;
inline constexpr UINT WM_NCRBUTTONUP         = 0x00A5;
inline constexpr UINT WM_NCRBUTTONDBLCLK     = 0x00A6;
inline constexpr UINT WM_NCMBUTTONDOWN       = 0x00A7;
inline constexpr UINT WM_NCMBUTTONUP         = 0x00A8;
inline constexpr UINT WM_NCMBUTTONDBLCLK     = 0x00A9;
inline constexpr UINT WM_KEYFIRST            = 0x0100;
inline constexpr UINT WM_KEYDOWN             = 0x0100;
inline constexpr UINT WM_KEYUP               = 0x0101;
inline constexpr UINT WM_CHAR                = 0x0102;
inline constexpr UINT WM_DEADCHAR            = 0x0103;
inline constexpr UINT WM_SYSKEYDOWN          = 0x0104;
inline constexpr UINT WM_SYSKEYUP            = 0x0105;
inline constexpr UINT WM_SYSCHAR             = 0x0106;
inline constexpr UINT WM_SYSDEADCHAR         = 0x0107;
inline constexpr UINT WM_UNICHAR             = 0x0109;
inline constexpr UINT WM_KEYLAST             = 0x0109;
inline constexpr UINT WM_INITDIALOG          = 0x0110;
inline constexpr UINT WM_COMMAND             = 0x0111;
inline constexpr UINT WM_SYSCOMMAND          = 0x0112;
inline constexpr UINT WM_TIMER               = 0x0113;
inline constexpr UINT WM_HSCROLL             = 0x0114;
inline constexpr UINT WM_VSCROLL             = 0x0115;
inline constexpr UINT WM_INITMENU            = 0x0116;
inline constexpr UINT WM_INITMENUPOPUP       = 0x0117;
inline constexpr UINT WM_MENUSELECT          = 0x011F;
inline constexpr UINT WM_MENUCHAR            = 0x0120;
inline constexpr UINT WM_ENTERIDLE           = 0x0121;
inline constexpr UINT WM_CHANGEUISTATE       = 0x0127;
inline constexpr UINT WM_UPDATEUISTATE       = 0x0128;
inline constexpr UINT WM_QUERYUISTATE        = 0x0129;
inline constexpr UINT WM_CTLCOLORMSGBOX      = 0x0132;
inline constexpr UINT WM_CTLCOLOREDIT        = 0x0133;
inline constexpr UINT WM_CTLCOLORLISTBOX     = 0x0134;
inline constexpr UINT WM_CTLCOLORBTN         = 0x0135;
inline constexpr UINT WM_CTLCOLORDLG         = 0x0136;
inline constexpr UINT WM_CTLCOLORSCROLLBAR   = 0x0137;
inline constexpr UINT WM_CTLCOLORSTATIC      = 0x0138;
inline constexpr UINT WM_MOUSEFIRST          = 0x0200;
inline constexpr UINT WM_MOUSEMOVE           = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN         = 0x0201;
inline constexpr UINT WM_LBUTTONUP           = 0x0202;
inline constexpr UINT WM_LBUTTONDBLCLK       = 0x0203;
inline constexpr UINT WM_RBUTTONDOWN         = 0x0204;
inline constexpr UINT WM_RBUTTONUP           = 0x0205;
inline constexpr UINT WM_RBUTTONDBLCLK       = 0x0206;
inline constexpr UINT WM_MBUTTONDOWN         = 0x0207;
inline constexpr UINT WM_MBUTTONUP           = 0x0208;
inline constexpr UINT WM_MBUTTONDBLCLK       = 0x0209;
inline constexpr UINT WM_MOUSEWHEEL          = 0x020A;
inline constexpr UINT WM_MOUSEHWHEEL         = 0x020E;
inline constexpr UINT WM_MOUSELAST           = 0x020E;
inline constexpr UINT WM_PARENTNOTIFY        = 0x0210;
inline constexpr UINT WM_ENTERMENULOOP       = 0x0211;
inline constexpr UINT WM_EXITMENULOOP        = 0x0212;
inline constexpr UINT WM_SIZING              = 0x0214;
inline constexpr UINT WM_CAPTURECHANGED      = 0x0215;
inline constexpr UINT WM_MOVING              = 0x0216;
inline constexpr UINT WM_DEVICECHANGE        = 0x0219;
inline constexpr UINT WM_MDICREATE           = 0x0220;
inline constexpr UINT WM_MDIDESTROY          = 0x0221;
inline constexpr UINT WM_MDIACTIVATE         = 0x0222;
inline constexpr UINT WM_MDIRESTORE          = 0x0223;
inline constexpr UINT WM_MDINEXT             = 0x0224;
inline constexpr UINT WM_MDIMAXIMIZE         = 0x0225;
inline constexpr UINT WM_MDIGETACTIVE        = 0x0229;
inline constexpr UINT WM_MDISETMENU          = 0x0230;
inline constexpr UINT WM_ENTERSIZEMOVE       = 0x0231;
inline constexpr UINT WM_EXITSIZEMOVE        = 0x0232;
inline constexpr UINT WM_DROPFILES           = 0x0233;
inline constexpr UINT WM_MDIREFRESHMENU      = 0x0234;
inline constexpr UINT WM_IME_CHAR            = 0x0286;
inline constexpr UINT WM_NCMOUSEHOVER        = 0x02A0;
inline constexpr UINT WM_MOUSEHOVER          = 0x02A1;
inline constexpr UINT WM_NCMOUSELEAVE        = 0x02A2;
inline constexpr UINT WM_MOUSELEAVE          = 0x02A3;
inline constexpr UINT WM_CUT                 = 0x0300;
inline constexpr UINT WM_COPY                = 0x0301;
inline constexpr UINT WM_PASTE               = 0x0302;
inline constexpr UINT WM_CLEAR               = 0x0303;
inline constexpr UINT WM_UNDO                = 0x0304;
inline constexpr UINT WM_PALETTECHANGED      = 0x0311;
inline constexpr UINT WM_HOTKEY              = 0x0312;
inline constexpr UINT WM_PRINT               = 0x0317;
inline constexpr UINT WM_PRINTCLIENT         = 0x0318;
inline constexpr UINT WM_APPCOMMAND          = 0x0319;
inline constexpr UINT WM_USER                = 0x0400;
inline constexpr UINT WM_APP                 = 0x8000;

// WM_SYSCOMMAND commands (the low four bits carry the hit-test code of a
// mouse-started move or size).
inline constexpr WPARAM SC_SIZE         = 0xF000;
inline constexpr WPARAM SC_MOVE         = 0xF010;
inline constexpr WPARAM SC_MINIMIZE     = 0xF020;
inline constexpr WPARAM SC_MAXIMIZE     = 0xF030;
inline constexpr WPARAM SC_NEXTWINDOW   = 0xF040;
inline constexpr WPARAM SC_PREVWINDOW   = 0xF050;
inline constexpr WPARAM SC_CLOSE        = 0xF060;
inline constexpr WPARAM SC_VSCROLL      = 0xF070;
inline constexpr WPARAM SC_HSCROLL      = 0xF080;
inline constexpr WPARAM SC_MOUSEMENU    = 0xF090;
inline constexpr WPARAM SC_KEYMENU      = 0xF100;
inline constexpr WPARAM SC_RESTORE      = 0xF120;
inline constexpr WPARAM SC_TASKLIST     = 0xF130;
inline constexpr WPARAM SC_DEFAULT      = 0xF160;
inline constexpr WPARAM SC_CONTEXTHELP  = 0xF180;

// WM_ACTIVATE, WM_MOUSEACTIVATE, WM_SIZE, WM_NCCALCSIZE, WM_NOTIFYFORMAT.
inline constexpr WORD WA_INACTIVE = 0, WA_ACTIVE = 1, WA_CLICKACTIVE = 2;
inline constexpr LRESULT MA_ACTIVATE = 1, MA_ACTIVATEANDEAT = 2, MA_NOACTIVATE = 3, MA_NOACTIVATEANDEAT = 4;
inline constexpr WPARAM SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2;
inline constexpr LRESULT WVR_VALIDRECTS = 0x0400;
inline constexpr LRESULT NFR_ANSI = 1, NFR_UNICODE = 2;
inline constexpr LPARAM NF_QUERY = 3, NF_REQUERY = 4;

// Mouse key flags in the wParam of mouse messages.
inline constexpr WPARAM MK_LBUTTON = 0x0001, MK_RBUTTON = 0x0002, MK_SHIFT = 0x0004, MK_CONTROL = 0x0008,
                        MK_MBUTTON = 0x0010;
inline constexpr int WHEEL_DELTA = 120;

// WM_NCHITTEST answers.
inline constexpr LRESULT HTERROR = -2, HTTRANSPARENT = -1, HTNOWHERE = 0, HTCLIENT = 1, HTCAPTION = 2,
                         HTSYSMENU = 3, HTGROWBOX = 4, HTSIZE = 4, HTMENU = 5, HTHSCROLL = 6, HTVSCROLL = 7,
                         HTMINBUTTON = 8, HTREDUCE = 8, HTMAXBUTTON = 9, HTZOOM = 9, HTLEFT = 10, HTRIGHT = 11,
                         HTTOP = 12, HTTOPLEFT = 13, HTTOPRIGHT = 14, HTBOTTOM = 15, HTBOTTOMLEFT = 16,
                         HTBOTTOMRIGHT = 17, HTBORDER = 18, HTOBJECT = 19, HTCLOSE = 20, HTHELP = 21;

// WM_GETDLGCODE answers.
inline constexpr LRESULT DLGC_WANTARROWS = 0x0001, DLGC_WANTTAB = 0x0002, DLGC_WANTALLKEYS = 0x0004,
                         DLGC_WANTMESSAGE = 0x0004, DLGC_HASSETSEL = 0x0008, DLGC_DEFPUSHBUTTON = 0x0010,
                         DLGC_UNDEFPUSHBUTTON = 0x0020, DLGC_RADIOBUTTON = 0x0040, DLGC_WANTCHARS = 0x0080,
                         DLGC_STATIC = 0x0100, DLGC_BUTTON = 0x2000;

// Owner drawing (WM_DRAWITEM, WM_MEASUREITEM).
inline constexpr UINT ODT_MENU = 1, ODT_LISTBOX = 2, ODT_COMBOBOX = 3, ODT_BUTTON = 4, ODT_STATIC = 5;
inline constexpr UINT ODA_DRAWENTIRE = 1, ODA_SELECT = 2, ODA_FOCUS = 4;
inline constexpr UINT ODS_SELECTED = 0x0001, ODS_GRAYED = 0x0002, ODS_DISABLED = 0x0004, ODS_CHECKED = 0x0008,
                      ODS_FOCUS = 0x0010, ODS_DEFAULT = 0x0020, ODS_HOTLIGHT = 0x0040, ODS_INACTIVE = 0x0080,
                      ODS_NOACCEL = 0x0100, ODS_NOFOCUSRECT = 0x0200, ODS_COMBOBOXEDIT = 0x1000;

// Buttons.
inline constexpr UINT BM_GETCHECK = 0x00F0, BM_SETCHECK = 0x00F1, BM_GETSTATE = 0x00F2, BM_SETSTATE = 0x00F3,
                      BM_SETSTYLE = 0x00F4, BM_CLICK = 0x00F5, BM_GETIMAGE = 0x00F6, BM_SETIMAGE = 0x00F7;
inline constexpr LRESULT BST_UNCHECKED = 0, BST_CHECKED = 1, BST_INDETERMINATE = 2, BST_PUSHED = 4,
                         BST_FOCUS = 8;
inline constexpr WORD BN_CLICKED = 0, BN_PAINT = 1, BN_HILITE = 2, BN_UNHILITE = 3, BN_DISABLE = 4,
                      BN_DOUBLECLICKED = 5, BN_SETFOCUS = 6, BN_KILLFOCUS = 7;

// Edit controls.
inline constexpr UINT EM_GETSEL = 0x00B0, EM_SETSEL = 0x00B1, EM_GETRECT = 0x00B2, EM_SETRECT = 0x00B3,
                      EM_SETRECTNP = 0x00B4, EM_SCROLL = 0x00B5, EM_LINESCROLL = 0x00B6,
                      EM_SCROLLCARET = 0x00B7, EM_GETMODIFY = 0x00B8, EM_SETMODIFY = 0x00B9,
                      EM_GETLINECOUNT = 0x00BA, EM_LINEINDEX = 0x00BB, EM_LINELENGTH = 0x00C1,
                      EM_REPLACESEL = 0x00C2, EM_GETLINE = 0x00C4, EM_LIMITTEXT = 0x00C5,
                      EM_SETLIMITTEXT = 0x00C5, EM_CANUNDO = 0x00C6, EM_UNDO = 0x00C7,
                      EM_LINEFROMCHAR = 0x00C9, EM_SETTABSTOPS = 0x00CB, EM_SETPASSWORDCHAR = 0x00CC,
                      EM_EMPTYUNDOBUFFER = 0x00CD, EM_GETFIRSTVISIBLELINE = 0x00CE, EM_SETREADONLY = 0x00CF,
                      EM_GETPASSWORDCHAR = 0x00D2, EM_SETMARGINS = 0x00D3, EM_GETMARGINS = 0x00D4,
                      EM_GETLIMITTEXT = 0x00D5, EM_POSFROMCHAR = 0x00D6, EM_CHARFROMPOS = 0x00D7;
inline constexpr WORD EN_SETFOCUS = 0x0100, EN_KILLFOCUS = 0x0200, EN_CHANGE = 0x0300, EN_UPDATE = 0x0400,
                      EN_ERRSPACE = 0x0500, EN_MAXTEXT = 0x0501, EN_HSCROLL = 0x0601, EN_VSCROLL = 0x0602;
inline constexpr WPARAM EC_LEFTMARGIN = 1, EC_RIGHTMARGIN = 2;

// List boxes.
inline constexpr UINT LB_ADDSTRING = 0x0180, LB_INSERTSTRING = 0x0181, LB_DELETESTRING = 0x0182,
                      LB_SELITEMRANGEEX = 0x0183, LB_RESETCONTENT = 0x0184, LB_SETSEL = 0x0185,
                      LB_SETCURSEL = 0x0186, LB_GETSEL = 0x0187, LB_GETCURSEL = 0x0188, LB_GETTEXT = 0x0189,
                      LB_GETTEXTLEN = 0x018A, LB_GETCOUNT = 0x018B, LB_SELECTSTRING = 0x018C,
                      LB_GETTOPINDEX = 0x018E, LB_FINDSTRING = 0x018F, LB_GETSELCOUNT = 0x0190,
                      LB_GETSELITEMS = 0x0191, LB_SETTABSTOPS = 0x0192, LB_GETHORIZONTALEXTENT = 0x0193,
                      LB_SETHORIZONTALEXTENT = 0x0194, LB_SETCOLUMNWIDTH = 0x0195, LB_SETTOPINDEX = 0x0197,
                      LB_GETITEMRECT = 0x0198, LB_GETITEMDATA = 0x0199, LB_SETITEMDATA = 0x019A,
                      LB_SELITEMRANGE = 0x019B, LB_SETANCHORINDEX = 0x019C, LB_GETANCHORINDEX = 0x019D,
                      LB_SETCARETINDEX = 0x019E, LB_GETCARETINDEX = 0x019F, LB_SETITEMHEIGHT = 0x01A0,
                      LB_GETITEMHEIGHT = 0x01A1, LB_FINDSTRINGEXACT = 0x01A2, LB_SETCOUNT = 0x01A7,
                      LB_INITSTORAGE = 0x01A8, LB_ITEMFROMPOINT = 0x01A9;
inline constexpr LRESULT LB_OKAY = 0, LB_ERR = -1, LB_ERRSPACE = -2;
inline constexpr int LBN_ERRSPACE = -2, LBN_SELCHANGE = 1, LBN_DBLCLK = 2, LBN_SELCANCEL = 3,
                     LBN_SETFOCUS = 4, LBN_KILLFOCUS = 5;

// Combo boxes.
inline constexpr UINT CB_GETEDITSEL = 0x0140, CB_LIMITTEXT = 0x0141, CB_SETEDITSEL = 0x0142,
                      CB_ADDSTRING = 0x0143, CB_DELETESTRING = 0x0144, CB_GETCOUNT = 0x0146,
                      CB_GETCURSEL = 0x0147, CB_GETLBTEXT = 0x0148, CB_GETLBTEXTLEN = 0x0149,
                      CB_INSERTSTRING = 0x014A, CB_RESETCONTENT = 0x014B, CB_FINDSTRING = 0x014C,
                      CB_SELECTSTRING = 0x014D, CB_SETCURSEL = 0x014E, CB_SHOWDROPDOWN = 0x014F,
                      CB_GETITEMDATA = 0x0150, CB_SETITEMDATA = 0x0151, CB_GETDROPPEDCONTROLRECT = 0x0152,
                      CB_SETITEMHEIGHT = 0x0153, CB_GETITEMHEIGHT = 0x0154, CB_SETEXTENDEDUI = 0x0155,
                      CB_GETEXTENDEDUI = 0x0156, CB_GETDROPPEDSTATE = 0x0157, CB_FINDSTRINGEXACT = 0x0158,
                      CB_GETTOPINDEX = 0x015B, CB_SETTOPINDEX = 0x015C, CB_GETDROPPEDWIDTH = 0x015F,
                      CB_SETDROPPEDWIDTH = 0x0160, CB_INITSTORAGE = 0x0161;
inline constexpr LRESULT CB_OKAY = 0, CB_ERR = -1, CB_ERRSPACE = -2;
inline constexpr int CBN_ERRSPACE = -1, CBN_SELCHANGE = 1, CBN_DBLCLK = 2, CBN_SETFOCUS = 3,
                     CBN_KILLFOCUS = 4, CBN_EDITCHANGE = 5, CBN_EDITUPDATE = 6, CBN_DROPDOWN = 7,
                     CBN_CLOSEUP = 8, CBN_SELENDOK = 9, CBN_SELENDCANCEL = 10;

// Scroll bars (controls and the window's own bars).
inline constexpr UINT SBM_SETPOS = 0x00E0, SBM_GETPOS = 0x00E1, SBM_SETRANGE = 0x00E2, SBM_GETRANGE = 0x00E3,
                      SBM_ENABLE_ARROWS = 0x00E4, SBM_SETRANGEREDRAW = 0x00E6, SBM_SETSCROLLINFO = 0x00E9,
                      SBM_GETSCROLLINFO = 0x00EA;
inline constexpr WORD SB_LINEUP = 0, SB_LINELEFT = 0, SB_LINEDOWN = 1, SB_LINERIGHT = 1, SB_PAGEUP = 2,
                      SB_PAGELEFT = 2, SB_PAGEDOWN = 3, SB_PAGERIGHT = 3, SB_THUMBPOSITION = 4,
                      SB_THUMBTRACK = 5, SB_TOP = 6, SB_LEFT = 6, SB_BOTTOM = 7, SB_RIGHT = 7,
                      SB_ENDSCROLL = 8;
inline constexpr int SB_HORZ = 0, SB_VERT = 1, SB_CTL = 2, SB_BOTH = 3;

// Track bars.
inline constexpr UINT TBM_GETPOS = WM_USER, TBM_GETRANGEMIN = WM_USER + 1, TBM_GETRANGEMAX = WM_USER + 2,
                      TBM_GETTIC = WM_USER + 3, TBM_SETTIC = WM_USER + 4, TBM_SETPOS = WM_USER + 5,
                      TBM_SETRANGE = WM_USER + 6, TBM_SETRANGEMIN = WM_USER + 7,
                      TBM_SETRANGEMAX = WM_USER + 8, TBM_CLEARTICS = WM_USER + 9, TBM_SETSEL = WM_USER + 10,
                      TBM_SETSELSTART = WM_USER + 11, TBM_SETSELEND = WM_USER + 12,
                      TBM_GETPTICS = WM_USER + 14, TBM_GETTICPOS = WM_USER + 15,
                      TBM_GETNUMTICS = WM_USER + 16, TBM_GETSELSTART = WM_USER + 17,
                      TBM_GETSELEND = WM_USER + 18, TBM_CLEARSEL = WM_USER + 19,
                      TBM_SETTICFREQ = WM_USER + 20, TBM_SETPAGESIZE = WM_USER + 21,
                      TBM_GETPAGESIZE = WM_USER + 22, TBM_SETLINESIZE = WM_USER + 23,
                      TBM_GETLINESIZE = WM_USER + 24, TBM_GETTHUMBRECT = WM_USER + 25,
                      TBM_GETCHANNELRECT = WM_USER + 26, TBM_SETTHUMBLENGTH = WM_USER + 27,
                      TBM_GETTHUMBLENGTH = WM_USER + 28;
inline constexpr WORD TB_LINEUP = 0, TB_LINEDOWN = 1, TB_PAGEUP = 2, TB_PAGEDOWN = 3, TB_THUMBPOSITION = 4,
                      TB_THUMBTRACK = 5, TB_TOP = 6, TB_BOTTOM = 7, TB_ENDTRACK = 8;

// Up-down controls.
inline constexpr UINT UDM_SETRANGE = WM_USER + 101, UDM_GETRANGE = WM_USER + 102, UDM_SETPOS = WM_USER + 103,
                      UDM_GETPOS = WM_USER + 104, UDM_SETBUDDY = WM_USER + 105, UDM_GETBUDDY = WM_USER + 106,
                      UDM_SETACCEL = WM_USER + 107, UDM_GETACCEL = WM_USER + 108, UDM_SETBASE = WM_USER + 109,
                      UDM_GETBASE = WM_USER + 110, UDM_SETRANGE32 = WM_USER + 111,
                      UDM_GETRANGE32 = WM_USER + 112, UDM_SETPOS32 = WM_USER + 113,
                      UDM_GETPOS32 = WM_USER + 114;

// Common-control notifications carried by WM_NOTIFY.
inline constexpr int NM_CLICK = -2, NM_DBLCLK = -3, NM_RETURN = -4, NM_RCLICK = -5, NM_RDBLCLK = -6,
                     NM_SETFOCUS = -7, NM_KILLFOCUS = -8, NM_CUSTOMDRAW = -12;
inline constexpr int TVN_FIRST = -400;
inline constexpr int TVN_GETDISPINFOA = TVN_FIRST - 3, TVN_GETDISPINFOW = TVN_FIRST - 52;
inline constexpr int UDN_FIRST = -721;
inline constexpr int UDN_DELTAPOS = UDN_FIRST - 1;

// The folder browser's callback protocol.
inline constexpr UINT BFFM_INITIALIZED = 1, BFFM_SELCHANGED = 2;
inline constexpr UINT BFFM_SETSTATUSTEXTA = WM_USER + 100, BFFM_ENABLEOK = WM_USER + 101,
                      BFFM_SETSELECTIONA = WM_USER + 102, BFFM_SETSELECTIONW = WM_USER + 103;
// clang-format on

}  // namespace win
