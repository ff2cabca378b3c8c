#pragma once
// Bitmaps: device bitmaps (32 bits, or monochrome), DIB sections whose
// bits the caller reads and writes directly, and the DIB transfers.
#include "platform/win/Dib.h"
#include "platform/win/Types.h"

namespace win {

struct BITMAP {
  LONG bmType = 0;
  LONG bmWidth = 0;
  LONG bmHeight = 0;
  LONG bmWidthBytes = 0;
  WORD bmPlanes = 1;
  WORD bmBitsPixel = 0;
  void* bmBits = nullptr;
};

struct DIBSECTION {
  BITMAP dsBm;
  BITMAPINFOHEADER dsBmih;
  DWORD dsBitfields[3] = {0, 0, 0};
  HANDLE dshSection = nullptr;
  DWORD dsOffset = 0;
};

inline constexpr DWORD CBM_INIT = 4;

// A monochrome bitmap (planes * bitCount == 1) takes rows padded to 16 bits,
// 1 = white; 32-bit bitmaps take B, G, R, x bytes. Other depths are stored
// as 32 bits. `bits` may be null (all zero).
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits);
HBITMAP CreateBitmapIndirect(const BITMAP* bitmap);
// Same format as the DC: monochrome for a memory DC holding a monochrome
// bitmap, otherwise 32 bits. A zero size gives a 1x1 monochrome bitmap.
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
HBITMAP CreateDiscardableBitmap(HDC hdc, int width, int height);
// The bits start zeroed; `*bits` points at them for as long as the bitmap
// lives. Rows are bottom-up when the header's height is positive.
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);
HBITMAP CreateDIBitmap(HDC hdc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* info, UINT usage);

// Reads `lines` rows from `start` (counted from the bottom for bottom-up
// formats, as the platform does) into `bits` in the format `info` asks for.
// With null bits and biBitCount 0, fills in the header instead. Returns
// the rows copied, 0 on failure.
int GetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage);
int SetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info,
              UINT usage);
LONG GetBitmapBits(HBITMAP bitmap, LONG count, void* bits);
LONG SetBitmapBits(HBITMAP bitmap, DWORD count, const void* bits);
BOOL GetBitmapDimensionEx(HBITMAP bitmap, SIZE* size);
UINT GetDIBColorTable(HDC hdc, UINT start, UINT count, RGBQUAD* colors);
UINT SetDIBColorTable(HDC hdc, UINT start, UINT count, const RGBQUAD* colors);

}  // namespace win
