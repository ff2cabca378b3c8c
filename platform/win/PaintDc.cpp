// The window manager's uses of device contexts: BeginPaint's DC, the
// default erase, the default control colours and the caption text.
#include <algorithm>

#include "platform/win/Dc.h"
#include "platform/win/Font.h"
#include "platform/win/Metrics.h"
#include "platform/win/PenBrush.h"
#include "platform/win/Shapes.h"
#include "platform/win/WindowInternal.h"

namespace win::detail {

HDC AcquirePaintDc(HWND hwnd, const Region* clip) {
  if (!clip) return GetDCEx(hwnd, nullptr, DCX_CACHE);
  return GetDCEx(hwnd, CreateRegionHandle(*clip), DCX_CACHE | DCX_INTERSECTRGN);
}

void ReleasePaintDc(HWND hwnd, HDC hdc) { ReleaseDC(hwnd, hdc); }

bool EraseWithClassBrush(HWND hwnd, HDC hdc) {
  const HBRUSH brush = ValueToHandle<HBRUSH>(GetClassLongPtrA(hwnd, GCLP_HBRBACKGROUND));
  if (!brush || !hdc) return false;
  RECT r;
  GetClientRect(hwnd, &r);
  FillRect(hdc, &r, brush);
  return true;
}

HBRUSH DefaultControlColor(HDC hdc, UINT msg) {
  // Edits and lists sit on the window colour; everything else on the face.
  const bool window = msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX;
  if (hdc) {
    SetTextColor(hdc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(hdc, GetSysColor(window ? COLOR_WINDOW : COLOR_BTNFACE));
  }
  if (msg == WM_CTLCOLORSCROLLBAR) return GetSysColorBrush(COLOR_SCROLLBAR);
  return GetSysColorBrush(window ? COLOR_WINDOW : COLOR_BTNFACE);
}

void DrawCaptionText(HWND hwnd, const RECT& band, bool active, bool small) {
  const std::u16string text = InternalGetWindowText(hwnd);
  if (text.empty() || band.right <= band.left) return;
  HDC dc = GetWindowDC(hwnd);
  if (!dc) return;
  NONCLIENTMETRICSA ncm;
  SystemParametersInfo(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0);
  HFONT font = CreateFontIndirectA(small ? &ncm.lfSmCaptionFont : &ncm.lfCaptionFont);
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
  RECT r = band;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  SelectObject(dc, old);
  DeleteObject(font);
  ReleaseDC(hwnd, dc);
}

}  // namespace win::detail
