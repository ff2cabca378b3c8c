// UpdateLayeredWindow with its picture in a memory DC.
#include "platform/win/Display.h"
#include "platform/win/GdiInternal.h"
#include "platform/win/WindowInternal.h"

namespace win {

BOOL UpdateLayeredWindow(HWND hwnd, HDC, const POINT* pptDst, const SIZE* psize, HDC hdcSrc, const POINT* pptSrc,
                         COLORREF crKey, const BLENDFUNCTION* pblend, DWORD flags) {
  RECT r;
  if (!GetWindowRect(hwnd, &r) || !(GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED)) return FALSE;
  if (!hdcSrc) {
    if (!pptDst && !psize) return TRUE;
    const POINT at = pptDst ? *pptDst : POINT{r.left, r.top};
    const SIZE size = psize ? *psize : SIZE{r.Width(), r.Height()};
    return SetWindowPos(hwnd, nullptr, at.x, at.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
  }
  auto dc = gdi::FindDC(hdcSrc);
  if (!dc || dc->type != gdi::DeviceContext::Type::Memory || !dc->s.bitmap || !dc->s.bitmap->surface) return FALSE;
  auto& bitmap = *dc->s.bitmap;
  // A DIB section of another depth keeps its pixels in its own bits.
  if (bitmap.NeedsSync()) bitmap.PullBits();
  const BYTE alpha = pblend ? pblend->SourceConstantAlpha : 255;
  // Without per-pixel alpha in the source the picture counts as opaque.
  if ((flags & ULW_ALPHA) && !(pblend && (pblend->AlphaFormat & AC_SRC_ALPHA))) flags &= ~ULW_ALPHA;
  return UpdateLayeredWindowFromSurface(hwnd, pptDst, psize, *bitmap.surface, pptSrc ? *pptSrc : POINT{0, 0}, crKey,
                                        alpha, flags);
}

}  // namespace win
