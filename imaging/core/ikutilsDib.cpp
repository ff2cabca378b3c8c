#include "imaging/core/ikutilsDib.h"

#include <cstring>

#include "imaging/core/ikutils.h"
#include "platform/win/Dc.h"
#include "platform/win/GdiObject.h"

namespace imaging {

TIKDibbitmap::TIKDibbitmap() {
  header_.bmiHeader.biSize = 40;
  header_.bmiHeader.biPlanes = 1;
  header_.bmiHeader.biCompression = win::BI_RGB;
  header_.bmiColors[0] = win::RGBQUAD{0, 0, 0, 0};
  header_.bmiColors[1] = win::RGBQUAD{255, 255, 255, 0};
}

TIKDibbitmap::~TIKDibbitmap() { FreeBits(); }

void* TIKDibbitmap::ScanLine(int32_t row) {
  return bits_ + static_cast<int64_t>(height_ - row - 1) * rowLength_;
}

TIKPixelFormat TIKDibbitmap::PixelFormat() {
  if (bitCount_ == 1) return ikMono1;
  if (bitCount_ == 24) return ikRGB24;
  return ikNoFormat;
}

void TIKDibbitmap::Allocate(int32_t width, int32_t height, TIKPixelFormat format) {
  if (format == ikMono1)
    AllocateBits(width, height, 1);
  else if (format == ikRGB24)
    AllocateBits(width, height, 24);
}

void TIKDibbitmap::AllocateBits(int32_t width, int32_t height, int32_t bitCount) {
  if (width <= 0 || height <= 0) return;
  FreeBits();
  const int64_t row = BitmapRowLength(width, bitCount, 32);
  // A section the 32-bit header cannot describe is one the platform would
  // not make either: the bitmap stays empty, as for any refused section.
  if (row > MaxRasterSize || row * height > MaxRasterSize) return;
  width_ = width;
  height_ = height;
  bitCount_ = bitCount;
  rowLength_ = static_cast<int32_t>(row);
  dc_ = win::CreateCompatibleDC(nullptr);
  auto& h = header_.bmiHeader;
  h.biWidth = width;
  h.biHeight = height;
  h.biBitCount = static_cast<win::WORD>(bitCount);
  h.biSizeImage = static_cast<win::DWORD>(row * height);
  void* bits = nullptr;
  dibSection_ = win::CreateDIBSection(dc_, reinterpret_cast<const win::BITMAPINFO*>(&header_), win::DIB_RGB_COLORS,
                                      &bits, nullptr, 0);
  bits_ = dibSection_ ? static_cast<uint8_t*>(bits) : nullptr;
  if (dc_ && dibSection_) oldBitmap_ = win::SelectObject(dc_, dibSection_);
}

void TIKDibbitmap::FreeBits() {
  if (dc_ && oldBitmap_) win::SelectObject(dc_, oldBitmap_);
  oldBitmap_ = nullptr;
  if (dibSection_) win::DeleteObject(dibSection_);
  if (dc_) win::DeleteDC(dc_);
  dibSection_ = nullptr;
  dc_ = nullptr;
  bits_ = nullptr;
  width_ = height_ = bitCount_ = rowLength_ = 0;
}

void TIKDibbitmap::Assign(forms::TObject* source) {
  auto* dib = dynamic_cast<TIKDibbitmap*>(source);
  if (!dib || dib == this) return;
  AllocateBits(dib->width_, dib->height_, dib->bitCount_);
  if (bits_ && dib->bits_ && width_ == dib->width_ && height_ == dib->height_) {
    std::memcpy(bits_, dib->bits_, static_cast<size_t>(rowLength_) * height_);
  }
}

TIKWorkBitmap::TIKWorkBitmap(int32_t width, int32_t height, int32_t bitCount) {
  if (width > 0 && height > 0) Allocate(width, height, bitCount);
}

void TIKWorkBitmap::Allocate(int32_t width, int32_t height, int32_t bitCount) {
  if (width == width_ && height == height_ && bitCount == bitCount_) return;
  FreeBits();
  const int64_t row = width > 0 && bitCount > 0 ? BitmapRowLength(width, bitCount, 32) : 0;
  const int64_t rows = height > 0 ? height : 0;
  if (row > MaxRasterSize || row * rows > MaxRasterSize) {
    throw EIKError("Work bitmap of " + std::to_string(width) + " x " + std::to_string(height) + " pixels at " +
                   std::to_string(bitCount) + " bits is too large");
  }
  width_ = width;
  height_ = height;
  bitCount_ = bitCount;
  rowLength_ = static_cast<int32_t>(row);
  if (row * rows > 0) bits_ = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(row * rows));
}

void TIKWorkBitmap::FreeBits() {
  bits_.reset();
  width_ = height_ = bitCount_ = rowLength_ = 0;
}

}  // namespace imaging
