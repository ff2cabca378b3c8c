#pragma once
// Block transfers between DCs: raster operations, stretching, masks,
// colour keys and alpha blending.
#include "platform/win/Dib.h"
#include "platform/win/Types.h"

namespace win {

inline constexpr DWORD SRCCOPY = 0x00CC0020;
inline constexpr DWORD SRCPAINT = 0x00EE0086;
inline constexpr DWORD SRCAND = 0x008800C6;
inline constexpr DWORD SRCINVERT = 0x00660046;
inline constexpr DWORD SRCERASE = 0x00440328;
inline constexpr DWORD NOTSRCCOPY = 0x00330008;
inline constexpr DWORD NOTSRCERASE = 0x001100A6;
inline constexpr DWORD MERGECOPY = 0x00C000CA;
inline constexpr DWORD MERGEPAINT = 0x00BB0226;
inline constexpr DWORD PATCOPY = 0x00F00021;
inline constexpr DWORD PATPAINT = 0x00FB0A09;
inline constexpr DWORD PATINVERT = 0x005A0049;
inline constexpr DWORD DSTINVERT = 0x00550009;
inline constexpr DWORD BLACKNESS = 0x00000042;
inline constexpr DWORD WHITENESS = 0x00FF0062;
inline constexpr DWORD NOMIRRORBITMAP = 0x80000000;
inline constexpr DWORD CAPTUREBLT = 0x40000000;
constexpr DWORD MAKEROP4(DWORD fore, DWORD back) { return ((back << 8) & 0xFF000000u) | fore; }

// Colour and monochrome meet by the platform's rules: a colour source
// becomes white where it equals the source DC's background colour and
// black elsewhere; a monochrome source paints its black pixels in the
// destination's text colour and its white ones in its background colour.
// SRCCOPY between colour surfaces carries the alpha byte; every other
// operation leaves it zero.
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, DWORD rop);
// Negative extents mirror. COLORONCOLOR (and the two mono modes) pick the
// nearest source pixel; HALFTONE averages the source area each
// destination pixel covers.
BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int srcWidth,
                int srcHeight, DWORD rop);
BOOL PatBlt(HDC dest, int x, int y, int width, int height, DWORD rop);
// Mask bits of 1 take the foreground operation (low three bytes of rop),
// 0 the background one (high byte); without a mask it is a BitBlt.
BOOL MaskBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, HBITMAP mask, int xMask,
             int yMask, DWORD rop);
// Copies every source pixel except those of the key colour, stretching.
BOOL TransparentBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int srcWidth,
                    int srcHeight, UINT transparentColor);
// Three points give where the source's top-left, top-right and bottom-left
// corners land; an optional mask works as in MaskBlt.
BOOL PlgBlt(HDC dest, const POINT* points, HDC src, int xSrc, int ySrc, int width, int height, HBITMAP mask,
            int xMask, int yMask);

inline constexpr BYTE AC_SRC_OVER = 0x00;
inline constexpr BYTE AC_SRC_ALPHA = 0x01;
struct BLENDFUNCTION {
  BYTE BlendOp = AC_SRC_OVER;
  BYTE BlendFlags = 0;
  BYTE SourceConstantAlpha = 255;
  BYTE AlphaFormat = 0;
};
// With AC_SRC_ALPHA the source is premultiplied:
//   s' = s * SCA / 255 (every channel, alpha too), d = s' + d * (255 - s'.alpha) / 255;
// without it: d = s * SCA / 255 + d * (255 - SCA) / 255. Fails when the
// source rectangle leaves the source bitmap or an extent is negative.
BOOL AlphaBlend(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int srcWidth,
                int srcHeight, BLENDFUNCTION blend);
inline BOOL GdiAlphaBlend(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int srcWidth,
                          int srcHeight, BLENDFUNCTION blend) {
  return AlphaBlend(dest, x, y, width, height, src, xSrc, ySrc, srcWidth, srcHeight, blend);
}

// DIB bits straight to a DC. ySrc counts from the bottom row for
// bottom-up DIBs, as the platform does. Return the rows drawn, 0 on failure.
int StretchDIBits(HDC dest, int x, int y, int width, int height, int xSrc, int ySrc, int srcWidth, int srcHeight,
                  const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);
int SetDIBitsToDevice(HDC dest, int x, int y, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                      UINT scanLines, const void* bits, const BITMAPINFO* info, UINT usage);

}  // namespace win
