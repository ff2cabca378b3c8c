#pragma once
// The painting protocol: update regions, WM_PAINT for invalid windows only,
// BeginPaint/EndPaint with WM_ERASEBKGND and WM_NCPAINT, RedrawWindow and
// LockWindowUpdate.
#include "platform/win/Region.h"
#include "platform/win/Styles.h"
#include "platform/win/Types.h"

namespace win {

struct PAINTSTRUCT {
  HDC hdc{};
  BOOL fErase = FALSE;
  RECT rcPaint;
  BOOL fRestore = FALSE;
  BOOL fIncUpdate = FALSE;
  BYTE rgbReserved[32] = {};
};

// Rectangles and regions in client coordinates; a null rectangle means the
// whole client area. Children without WS_CLIPCHILDREN on the parent share
// the invalidation.
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
BOOL InvalidateRgn(HWND hwnd, HRGN rgn, BOOL erase);
BOOL ValidateRect(HWND hwnd, const RECT* rect);
BOOL ValidateRgn(HWND hwnd, HRGN rgn);
BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase);
int GetUpdateRgn(HWND hwnd, HRGN rgn, BOOL erase);
// Sends WM_PAINT at once when the window has something to paint.
BOOL UpdateWindow(HWND hwnd);
BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN rgn, UINT flags);
// While a window is locked nothing drawn on it shows; unlocking repaints it.
BOOL LockWindowUpdate(HWND hwnd);

// Moves the pixels of the client area (or of `scroll`, kept within `clip`)
// by (dx, dy) and reports what was uncovered. SW_INVALIDATE adds that to
// the update region (SW_ERASE with an erase), SW_SCROLLCHILDREN moves the
// child windows along.
inline constexpr UINT SW_SCROLLCHILDREN = 0x0001, SW_INVALIDATE = 0x0002, SW_ERASE = 0x0004;
int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN update, RECT* updateRect,
                   UINT flags);
BOOL ScrollWindow(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip);

// Takes the update region (validating the window), sends WM_NCPAINT when
// the frame is dirty and WM_ERASEBKGND when an erase is pending; fErase is
// TRUE only when an erase was pending and the background message left it undone.
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps);

}  // namespace win
