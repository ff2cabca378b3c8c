#include "platform/win/DrawDib.h"

#include <atomic>
#include <mutex>
#include <set>

#include "platform/win/Blit.h"
#include "platform/win/Dc.h"

namespace win {

namespace {

std::mutex& OpenMutex() {
  static std::mutex m;
  return m;
}
std::set<HDRAWDIB>& Open() {
  static std::set<HDRAWDIB> open;
  return open;
}

}  // namespace

HDRAWDIB DrawDibOpen() {
  static std::atomic<HDRAWDIB> next{1};
  const HDRAWDIB h = next++;
  std::lock_guard lock(OpenMutex());
  Open().insert(h);
  return h;
}

BOOL DrawDibClose(HDRAWDIB hdd) {
  std::lock_guard lock(OpenMutex());
  return Open().erase(hdd) ? TRUE : FALSE;
}

UINT DrawDibRealize(HDRAWDIB, HDC, BOOL) { return 0; }

BOOL DrawDibDraw(HDRAWDIB hdd, HDC hdc, int xDst, int yDst, int dxDst, int dyDst, const BITMAPINFOHEADER* header,
                 const void* bits, int xSrc, int ySrc, int dxSrc, int dySrc, UINT flags) {
  {
    std::lock_guard lock(OpenMutex());
    if (!Open().count(hdd)) return FALSE;
  }
  if (!header || header->biHeight <= 0) return FALSE;
  DibFormat f;
  if (!f.Parse(header, header->biSize + 256 * 4 + 12)) return FALSE;
  if (!bits) {
    size_t offset = header->biSize + f.palette.size() * 4;
    if (f.compression == BI_BITFIELDS && header->biSize == 40) offset += 12;
    bits = reinterpret_cast<const uint8_t*>(header) + offset;
  }
  if (flags & DDF_DONTDRAW) return TRUE;
  if (dxDst == -1) dxDst = f.width;
  if (dyDst == -1) dyDst = f.height;
  if (dxSrc == -1) dxSrc = f.width;
  if (dySrc == -1) dySrc = f.height;
  const int mode = SetStretchBltMode(hdc, (flags & DDF_HALFTONE) ? HALFTONE : COLORONCOLOR);
  // StretchDIBits counts bottom-up rows from the bottom; this API from the top.
  const int rows = StretchDIBits(hdc, xDst, yDst, dxDst, dyDst, xSrc, f.height - ySrc - dySrc, dxSrc, dySrc, bits,
                                 reinterpret_cast<const BITMAPINFO*>(header), DIB_RGB_COLORS, SRCCOPY);
  SetStretchBltMode(hdc, mode);
  return rows > 0 ? TRUE : FALSE;
}

}  // namespace win
