#pragma once
// Device-independent bitmap layouts (the byte records BMP files and
// CreateDIBSection/GetDIBits/SetDIBits exchange) and the conversions
// between DIB rows of any depth and 32-bit surface pixels.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/win/Surface.h"
#include "platform/win/Types.h"

namespace win {

inline constexpr DWORD BI_RGB = 0;
inline constexpr DWORD BI_RLE8 = 1;
inline constexpr DWORD BI_RLE4 = 2;
inline constexpr DWORD BI_BITFIELDS = 3;

inline constexpr UINT DIB_RGB_COLORS = 0;
inline constexpr UINT DIB_PAL_COLORS = 1;

#pragma pack(push, 1)
struct BITMAPFILEHEADER {
  WORD bfType = 0x4D42;
  DWORD bfSize = 0;
  WORD bfReserved1 = 0;
  WORD bfReserved2 = 0;
  DWORD bfOffBits = 0;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14);

struct BITMAPINFOHEADER {
  DWORD biSize = 40;
  LONG biWidth = 0;
  LONG biHeight = 0;  // positive: bottom-up rows; negative: top-down
  WORD biPlanes = 1;
  WORD biBitCount = 0;
  DWORD biCompression = BI_RGB;
  DWORD biSizeImage = 0;
  LONG biXPelsPerMeter = 0;
  LONG biYPelsPerMeter = 0;
  DWORD biClrUsed = 0;
  DWORD biClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
  BYTE rgbBlue = 0;
  BYTE rgbGreen = 0;
  BYTE rgbRed = 0;
  BYTE rgbReserved = 0;
};

// The header followed by the colour table (or the three BI_BITFIELDS
// masks). Callers allocate room for as many entries as they need and cast,
// as the platform's callers do.
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

// Bytes in one DIB row: rows are padded to 4 bytes.
inline size_t DibStride(int32_t width, int bitCount) {
  return ((static_cast<size_t>(width) * static_cast<size_t>(bitCount) + 31) / 32) * 4;
}

// A DIB format resolved from a header: what the row converters need.
struct DibFormat {
  int32_t width = 0;
  int32_t height = 0;       // always positive
  bool topDown = false;
  int bitCount = 0;         // 1, 4, 8, 16, 24, 32
  DWORD compression = BI_RGB;
  // Masks for 16 and 32 bits (BI_RGB defaults: 5-5-5 and 8-8-8).
  uint32_t redMask = 0, greenMask = 0, blueMask = 0, alphaMask = 0;
  std::vector<uint32_t> palette;  // 0x00RRGGBB entries for depths <= 8
  size_t stride = 0;

  // Reads a BITMAPINFO (header of 12, 40, 108 or 124 bytes followed by its
  // colour table or masks). `available` bounds the bytes that may be read.
  // False for a layout the platform does not accept.
  bool Parse(const void* info, size_t available, UINT usage = DIB_RGB_COLORS);
  // The bytes the pixel rows take (uncompressed).
  size_t ImageSize() const { return stride * static_cast<size_t>(height); }
  // Memory row index of picture row y (0 = top).
  int32_t MemoryRow(int32_t y) const { return topDown ? y : height - 1 - y; }
};

// Decodes one uncompressed DIB row into 32-bit pixels 0xAARRGGBB. Palette
// and 5-5-5 pixels get alpha 0; 32-bit BI_RGB rows keep their fourth byte.
void DibRowTo32(const DibFormat& f, const uint8_t* row, uint32_t* out, int32_t count);
// Encodes 32-bit pixels into a DIB row; depths <= 8 take the nearest
// palette entry.
void DibRowFrom32(const DibFormat& f, const uint32_t* in, uint8_t* row, int32_t count);

// Expands RLE4/RLE8 data into uncompressed bottom-up rows of the same
// depth. Pixels the stream skips stay index 0. False when the data runs out
// before the end-of-bitmap mark and nothing usable was decoded.
bool DecodeRle(const DibFormat& f, const uint8_t* data, size_t size, std::vector<uint8_t>* rows);

// Whole-image helpers: DIB bits (uncompressed or RLE) to a surface of the
// same size, and a surface to uncompressed bits in the given format.
bool DibToSurface(const DibFormat& f, const uint8_t* bits, size_t size, Surface* out);
void SurfaceToDib(const Surface& s, const DibFormat& f, uint8_t* bits);

// Nearest palette entry by squared RGB distance.
int NearestPaletteIndex(const std::vector<uint32_t>& palette, uint32_t rgb);

}  // namespace win
