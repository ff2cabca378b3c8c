#pragma once
// Drawing an image buffer into a 24-bit one: the caches a view keeps
// between paints and the pixel combine operations of layers.
#include <cstdint>
#include <vector>

#include "imaging/core/ikdefs.h"
#include "imaging/core/imgkitprocResample.h"
#include "platform/win/DrawDib.h"

namespace imaging {

// Tables a caller keeps between paints of the same rectangles: the
// destination's row addresses, and the source column and row of each
// destination column and row of the destination rectangle. Empty tables
// are built by the call; tables that do not fit the call are rebuilt.
struct TIKRenderCache {
  std::vector<uint8_t*> DestRows;
  std::vector<int32_t> XTable;
  std::vector<int32_t> YTable;
};

// Combines a source colour into a destination colour by one of the layer
// operations 0..37; other operations leave the destination as it is.
void CombinePixel(const TRGB& source, TRGB& destination, uint8_t operation);

// The views' and the DIB reader's DIB drawing, passed to the platform as
// given.
inline win::HDRAWDIB IKDrawDibOpen() { return win::DrawDibOpen(); }
inline win::BOOL IKDrawDibClose(win::HDRAWDIB hdd) { return win::DrawDibClose(hdd); }
inline win::UINT IKDrawDibRealize(win::HDRAWDIB hdd, win::HDC hdc, win::BOOL background) {
  return win::DrawDibRealize(hdd, hdc, background);
}
inline win::BOOL IKDrawDibDraw(win::HDRAWDIB hdd, win::HDC hdc, int xDst, int yDst, int dxDst, int dyDst,
                               const win::BITMAPINFOHEADER* header, const void* bits, int xSrc, int ySrc, int dxSrc,
                               int dySrc, win::UINT flags) {
  return win::DrawDibDraw(hdd, hdc, xDst, yDst, dxDst, dyDst, header, bits, xSrc, ySrc, dxSrc, dySrc, flags);
}

}  // namespace imaging
