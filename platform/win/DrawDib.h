#pragma once
// Drawing packed DIBs to a DC the way the video-for-windows helpers do:
// source coordinates from the picture's top-left, stretching as needed.
// At 32 bits per pixel nothing is dithered and palettes realise to nothing.
#include "platform/win/Dib.h"
#include "platform/win/Types.h"

namespace win {

using HDRAWDIB = intptr_t;

inline constexpr UINT DDF_UPDATE = 0x0002;
inline constexpr UINT DDF_SAME_HDC = 0x0004;
inline constexpr UINT DDF_SAME_DRAW = 0x0008;
inline constexpr UINT DDF_DONTDRAW = 0x0010;
inline constexpr UINT DDF_HALFTONE = 0x1000;

HDRAWDIB DrawDibOpen();
BOOL DrawDibClose(HDRAWDIB hdd);
// Returns the number of palette entries that changed: always 0.
UINT DrawDibRealize(HDRAWDIB hdd, HDC hdc, BOOL background);
// `header` must be bottom-up (positive height); `bits` null means the bits
// follow the header and its colour table. A width or height of -1 takes
// the bitmap's.
BOOL DrawDibDraw(HDRAWDIB hdd, HDC hdc, int xDst, int yDst, int dxDst, int dyDst, const BITMAPINFOHEADER* header,
                 const void* bits, int xSrc, int ySrc, int dxSrc, int dySrc, UINT flags);

}  // namespace win
