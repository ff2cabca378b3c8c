#pragma once
// The imaging component's shared routines: a colour hash set, folders,
// bit and byte helpers, row and pixel-format arithmetic, powers, the memory
// figure behind the image buffer's memory threshold, size fitting, page
// blocks, the platform-bitmap colour-table helpers, tolerant number parsing
// and the CMYK and CIELab colour conversions.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/core/ikdefs.h"
#include "platform/forms/Graphics.h"

namespace imaging {

class TIKBitmap;

// ---- colour hash set ----
// A set of 32-bit values (colours) in 2^bits slots; a slot that several
// values share keeps them in a chain.
class THash1 {
public:
  explicit THash1(int32_t bits);
  ~THash1();
  THash1(const THash1&) = delete;
  THash1& operator=(const THash1&) = delete;

  // True when the value was new (it is counted now), false when present.
  bool Insert(uint32_t value);
  int32_t Count() const { return count_; }
  int32_t Bits() const { return bits_; }
  int32_t SlotCount() const { return static_cast<int32_t>(slotValue_.size()); }

private:
  struct Item {
    uint32_t value;
    std::unique_ptr<Item> next;
    void* data;
  };
  int32_t bits_;
  std::vector<uint32_t> slotValue_;
  std::vector<uint8_t> slotState_;  // 0 empty, 1 one value, 2 a chain
  std::vector<void*> slotData_;
  std::vector<std::unique_ptr<Item>> chains_;
  int32_t count_ = 0;
};

// ---- folders ----
bool DirectoryExists(const String& path);
// Creates the folder and any missing parents; an empty path raises
// EIKError "Cannot Create Directory". Failures below that are not reported.
void ForceDirectories(const String& path);

// ---- bits and bytes ----
// Consecutive set bits from the lowest set bit (0 for 0).
int32_t BitFieldWidth(uint32_t mask);
// -1 for 0; the bit's index for a single bit; else the highest set bit + 1.
int32_t BitFieldEnd(uint32_t mask);
void ReverseBits(uint8_t& value);
void ReverseBits32(uint32_t& value);
// Exchanges the two low bytes, keeping the high 16 bits.
uint32_t Swap16(uint32_t value);
uint32_t Swap32(uint32_t value);
// Bit n of a byte buffer is bit (7 - n mod 8) of byte n div 8: the leftmost
// pixel of a 1-bit row is its first byte's high bit.
inline constexpr uint8_t BitMask[8] = {128, 64, 32, 16, 8, 4, 2, 1};
inline uint8_t GetBit(const uint8_t* buffer, uint32_t bit) { return buffer[bit >> 3] & BitMask[bit & 7]; }
inline void SetBit(uint8_t* buffer, uint32_t bit, bool value) {
  if (value)
    buffer[bit >> 3] |= BitMask[bit & 7];
  else
    buffer[bit >> 3] &= static_cast<uint8_t>(~BitMask[bit & 7]);
}

// ---- rows and formats ----
// Bytes of one row, padded to `alignment` bits. Computed in 64 bits: sizes
// taken from file headers must be checked before they become allocations.
int64_t BitmapRowLength(int64_t width, int32_t bitsPerPixel, int32_t alignment);
// Bits per pixel of a platform bitmap format (0 for device and custom).
int32_t PixelFormatBitCount(forms::TPixelFormat format);
int64_t TBitmapRowLength(int64_t width, forms::TPixelFormat format);
// Bytes of one pixel of a buffer format whose rows copy as byte runs; 0 for
// 1-bit rows and for no format.
int32_t IKPixelBytes(TIKPixelFormat format);

// ---- powers ----
double IntPower(double base, int32_t exponent);
double Power(double base, double exponent);
// Used per pixel by the colour conversions: whole exponents by repeated
// squaring, others through log2.
double FastPower(double base, double exponent);

// ---- memory and sizes ----
// The memory the system can hand out now, in bytes (0 when unknown). A
// 64-bit figure: machines with more than 4 GiB free are common.
int64_t AvailablePhysicalMemory();
// Scales width x height into the maximum keeping the aspect; a side that
// would round to 0 becomes 1. Nothing happens when width or height is 0.
void FitSizeKeepingAspect(int32_t width, int32_t height, int32_t maxWidth, int32_t maxHeight, int32_t& outWidth,
                          int32_t& outHeight);
// Whole pages from the system, zeroed, readable and writable; null when the
// system refuses.
void* PageAlloc(size_t size);
// Gives the pages back and clears the pointer.
void PageFree(void*& block);

// ---- drawing and platform bitmaps ----
// A raised or sunken frame: the top and left edges in `topLeft`, the bottom
// and right edges in `bottomRight`.
void Draw3DRect(forms::TCanvas* canvas, int x1, int y1, int x2, int y2, forms::TColor topLeft,
                forms::TColor bottomRight);
void SetGrayColorTable(forms::TBitmap* bitmap);
bool IsGrayColorTable(forms::TBitmap* bitmap);
// Copies an 8-bit bitmap's colour table into an ikPalette8 buffer's palette.
void ReadColorTable(forms::TBitmap* bitmap, TIKBitmap* image);

// The text as a number, with "." or "," as the decimal separator; the
// default when it is neither.
double StrToFloatTolerant(const String& text, double defaultValue);

// ---- colour models ----
TRGB CMYKToRGB(const TCMYK& cmyk);
TCMYK RGBToCMYK(const TRGB& rgb);
// CIE L*a*b* (D65) from a packed colour (red x 65536 + green x 256 + blue).
TCIELab RGBToCIELab(int32_t color);
// The colour of packed Lab bytes (b x 65536 + a x 256 + L).
TRGB CIELabToRGB(int32_t lab);
inline int32_t PackCIELab(const TCIELab& lab) {
  return static_cast<uint8_t>(lab.b) << 16 | static_cast<uint8_t>(lab.a) << 8 | lab.l;
}

}  // namespace imaging
