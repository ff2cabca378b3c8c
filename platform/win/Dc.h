#pragma once
// Device contexts: where drawing goes (a bitmap selected into a memory DC,
// a window's part of its top-level surface, or the whole screen), and the
// drawing state every call reads: selected objects, origins, clipping,
// colours and modes.
//
// Coordinates: MM_TEXT only, so a logical point maps to the device by
// device = logical - window origin + viewport origin.
//
// Pixels: GDI writes leave the alpha byte of 32-bit pixels zero; only
// SRCCOPY-style copies and AlphaBlend carry alpha from a source.
#include "platform/win/Region.h"
#include "platform/win/Types.h"

namespace win {

// GetDCEx flags.
inline constexpr DWORD DCX_WINDOW = 0x00000001;
inline constexpr DWORD DCX_CACHE = 0x00000002;
inline constexpr DWORD DCX_NORESETATTRS = 0x00000004;
inline constexpr DWORD DCX_CLIPCHILDREN = 0x00000008;
inline constexpr DWORD DCX_CLIPSIBLINGS = 0x00000010;
inline constexpr DWORD DCX_PARENTCLIP = 0x00000020;
inline constexpr DWORD DCX_EXCLUDERGN = 0x00000040;
inline constexpr DWORD DCX_INTERSECTRGN = 0x00000080;
inline constexpr DWORD DCX_EXCLUDEUPDATE = 0x00000100;
inline constexpr DWORD DCX_INTERSECTUPDATE = 0x00000200;
inline constexpr DWORD DCX_LOCKWINDOWUPDATE = 0x00000400;
inline constexpr DWORD DCX_VALIDATE = 0x00200000;

// Background modes.
inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;

// Mix modes for SetROP2.
inline constexpr int R2_BLACK = 1;
inline constexpr int R2_NOTMERGEPEN = 2;
inline constexpr int R2_MASKNOTPEN = 3;
inline constexpr int R2_NOTCOPYPEN = 4;
inline constexpr int R2_MASKPENNOT = 5;
inline constexpr int R2_NOT = 6;
inline constexpr int R2_XORPEN = 7;
inline constexpr int R2_NOTMASKPEN = 8;
inline constexpr int R2_MASKPEN = 9;
inline constexpr int R2_NOTXORPEN = 10;
inline constexpr int R2_NOP = 11;
inline constexpr int R2_MERGENOTPEN = 12;
inline constexpr int R2_COPYPEN = 13;
inline constexpr int R2_MERGEPENNOT = 14;
inline constexpr int R2_MERGEPEN = 15;
inline constexpr int R2_WHITE = 16;

// Stretch modes.
inline constexpr int BLACKONWHITE = 1;
inline constexpr int WHITEONBLACK = 2;
inline constexpr int COLORONCOLOR = 3;
inline constexpr int HALFTONE = 4;
inline constexpr int STRETCH_ANDSCANS = BLACKONWHITE;
inline constexpr int STRETCH_ORSCANS = WHITEONBLACK;
inline constexpr int STRETCH_DELETESCANS = COLORONCOLOR;
inline constexpr int STRETCH_HALFTONE = HALFTONE;

// Mapping modes: only MM_TEXT is carried.
inline constexpr int MM_TEXT = 1;

// Arc directions.
inline constexpr int AD_COUNTERCLOCKWISE = 1;
inline constexpr int AD_CLOCKWISE = 2;

// GetDeviceCaps indices.
inline constexpr int HORZSIZE = 4;
inline constexpr int VERTSIZE = 6;
inline constexpr int HORZRES = 8;
inline constexpr int VERTRES = 10;
inline constexpr int BITSPIXEL = 12;
inline constexpr int PLANES = 14;
inline constexpr int NUMCOLORS = 24;
inline constexpr int RASTERCAPS = 38;
inline constexpr int LOGPIXELSX = 88;
inline constexpr int LOGPIXELSY = 90;
inline constexpr int SIZEPALETTE = 104;
inline constexpr int NUMRESERVED = 106;
inline constexpr int COLORRES = 108;
inline constexpr int SHADEBLENDCAPS = 45;
inline constexpr int RC_PALETTE = 0x0100;
inline constexpr int RC_BITBLT = 0x0001;
inline constexpr int RC_STRETCHBLT = 0x0800;
inline constexpr int RC_DI_BITMAP = 0x0080;

// GetCurrentObject kinds (the OBJ_* numbers of GdiObject.h).
inline constexpr UINT OBJ_PEN = 1;
inline constexpr UINT OBJ_BRUSH = 2;
inline constexpr UINT OBJ_DC = 3;
inline constexpr UINT OBJ_PAL = 5;
inline constexpr UINT OBJ_FONT = 6;
inline constexpr UINT OBJ_BITMAP = 7;
inline constexpr UINT OBJ_REGION = 8;
inline constexpr UINT OBJ_MEMDC = 10;

inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;

// Window and screen DCs. GetDC(nullptr) is the screen: drawing on it
// reaches the top-level surfaces it covers; reading it returns what is
// shown. A DC from GetDC must go back through ReleaseDC.
HDC GetDC(HWND hwnd);
// `clip` is a region in the window's client (or, with DCX_WINDOW, window)
// coordinates, used with DCX_INTERSECTRGN or DCX_EXCLUDERGN; the DC takes
// ownership of it, as the platform does, and deletes it on release.
HDC GetDCEx(HWND hwnd, HRGN clip, DWORD flags);
HDC GetWindowDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC hdc);
HWND WindowFromDC(HDC hdc);

// Memory DCs start with a 1x1 monochrome bitmap selected.
HDC CreateCompatibleDC(HDC hdc);
BOOL DeleteDC(HDC hdc);

// The state stack. SaveDC returns the new depth (>= 1); RestoreDC accepts
// that number or a negative count back from the top.
int SaveDC(HDC hdc);
BOOL RestoreDC(HDC hdc, int savedDC);

// Selecting a bitmap, pen, brush, font or palette returns the previous one;
// selecting a region sets the clip to a copy of it and returns the region
// kind. A bitmap can be selected into one memory DC at a time.
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);
HGDIOBJ GetCurrentObject(HDC hdc, UINT kind);

// Origins.
BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* previous);
BOOL GetViewportOrgEx(HDC hdc, POINT* origin);
BOOL OffsetViewportOrgEx(HDC hdc, int dx, int dy, POINT* previous);
BOOL SetWindowOrgEx(HDC hdc, int x, int y, POINT* previous);
BOOL GetWindowOrgEx(HDC hdc, POINT* origin);
BOOL OffsetWindowOrgEx(HDC hdc, int dx, int dy, POINT* previous);
BOOL SetBrushOrgEx(HDC hdc, int x, int y, POINT* previous);
BOOL GetBrushOrgEx(HDC hdc, POINT* origin);
int SetMapMode(HDC hdc, int mode);
int GetMapMode(HDC hdc);
BOOL LPtoDP(HDC hdc, POINT* points, int count);
BOOL DPtoLP(HDC hdc, POINT* points, int count);
// Where the DC's device (0, 0) lies on the screen (window DCs) or (0, 0).
BOOL GetDCOrgEx(HDC hdc, POINT* origin);

// Colours and modes. Setters return the previous value (CLR_INVALID or 0
// for a stale DC).
COLORREF SetTextColor(HDC hdc, COLORREF color);
COLORREF GetTextColor(HDC hdc);
COLORREF SetBkColor(HDC hdc, COLORREF color);
COLORREF GetBkColor(HDC hdc);
int SetBkMode(HDC hdc, int mode);
int GetBkMode(HDC hdc);
int SetROP2(HDC hdc, int mode);
int GetROP2(HDC hdc);
int SetPolyFillMode(HDC hdc, int mode);
int GetPolyFillMode(HDC hdc);
int SetStretchBltMode(HDC hdc, int mode);
int GetStretchBltMode(HDC hdc);
int SetArcDirection(HDC hdc, int direction);
int GetArcDirection(HDC hdc);
COLORREF SetDCBrushColor(HDC hdc, COLORREF color);
COLORREF SetDCPenColor(HDC hdc, COLORREF color);

// Clipping. Regions given to SelectClipRgn and ExtSelectClipRgn are in
// device coordinates; the rectangles of IntersectClipRect and
// ExcludeClipRect are logical, converted at the time of the call (the clip
// stays where it was put when the origin moves later). A null region
// removes the clip. Results are NULLREGION, SIMPLEREGION, COMPLEXREGION or
// ERROR.
int SelectClipRgn(HDC hdc, HRGN region);
int ExtSelectClipRgn(HDC hdc, HRGN region, int mode);
int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom);
int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom);
int OffsetClipRgn(HDC hdc, int dx, int dy);
// The clip's bounds in logical coordinates, after the DC's visible area.
int GetClipBox(HDC hdc, RECT* rect);
// 1 when a clip region is set (copied to `region`), 0 when none, -1 error.
int GetClipRgn(HDC hdc, HRGN region);
BOOL RectVisible(HDC hdc, const RECT* rect);
BOOL PtVisible(HDC hdc, int x, int y);

int GetDeviceCaps(HDC hdc, int index);
// The colour depth the display reports (BITSPIXEL): 32 unless a test plays
// a display of another depth; 0 or less restores 32.
void SetScreenBitsPerPixel(int bits);

// Palettes: the surfaces are true colour, so selecting and realising a
// palette changes nothing that is drawn.
struct PALETTEENTRY {
  BYTE peRed = 0;
  BYTE peGreen = 0;
  BYTE peBlue = 0;
  BYTE peFlags = 0;
};
struct LOGPALETTE {
  WORD palVersion = 0x300;
  WORD palNumEntries = 0;
  PALETTEENTRY palPalEntry[1];
};
HPALETTE CreatePalette(const LOGPALETTE* palette);
HPALETTE SelectPalette(HDC hdc, HPALETTE palette, BOOL forceBackground);
UINT RealizePalette(HDC hdc);
UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries);
UINT GetSystemPaletteEntries(HDC hdc, UINT start, UINT count, PALETTEENTRY* entries);
UINT GetNearestPaletteIndex(HPALETTE palette, COLORREF color);
COLORREF GetNearestColor(HDC hdc, COLORREF color);
constexpr COLORREF PALETTERGB(BYTE r, BYTE g, BYTE b) { return 0x02000000u | RGB(r, g, b); }
constexpr COLORREF PALETTEINDEX(WORD i) { return 0x01000000u | i; }

// Completes pending drawing (nothing is ever pending here).
BOOL GdiFlush();

}  // namespace win
