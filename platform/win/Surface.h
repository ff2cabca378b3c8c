#pragma once
// A 32-bit pixel surface: what every device context draws into and what the
// display backends show. Pixels are 0xAARRGGBB values (B, G, R, A in memory,
// as a 32-bit DIB holds them). Rows may be top-down (the usual case) or
// bottom-up with a negative stride when the memory belongs to a DIB section.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace win {

class Surface {
public:
  Surface() = default;
  // Owns zeroed, top-down memory.
  Surface(int32_t width, int32_t height) { Resize(width, height); }
  // Draws into memory owned by someone else (a DIB section's bits);
  // `firstRow` is the top row, `strideBytes` the distance to the next row
  // down (negative for bottom-up memory).
  Surface(int32_t width, int32_t height, uint8_t* firstRow, ptrdiff_t strideBytes)
      : width_(width), height_(height), first_(firstRow), stride_(strideBytes) {}

  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  ptrdiff_t Stride() const { return stride_; }
  bool Empty() const { return width_ <= 0 || height_ <= 0; }
  bool OwnsMemory() const { return !owned_.empty() || first_ == nullptr; }

  uint32_t* Row(int32_t y) { return reinterpret_cast<uint32_t*>(first_ + stride_ * y); }
  const uint32_t* Row(int32_t y) const { return reinterpret_cast<const uint32_t*>(first_ + stride_ * y); }
  uint32_t Pixel(int32_t x, int32_t y) const { return Row(y)[x]; }
  void SetPixel(int32_t x, int32_t y, uint32_t argb) { Row(y)[x] = argb; }

  // Reallocates owned memory (contents are lost, pixels zeroed). Not for
  // surfaces over borrowed memory.
  void Resize(int32_t width, int32_t height) {
    width_ = width > 0 ? width : 0;
    height_ = height > 0 ? height : 0;
    owned_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_) + 1, 0u);
    first_ = reinterpret_cast<uint8_t*>(owned_.data());
    stride_ = static_cast<ptrdiff_t>(width_) * 4;
  }

  void Fill(uint32_t argb) {
    for (int32_t y = 0; y < height_; ++y) {
      uint32_t* r = Row(y);
      for (int32_t x = 0; x < width_; ++x) r[x] = argb;
    }
  }

private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::vector<uint32_t> owned_;
  uint8_t* first_ = nullptr;
  ptrdiff_t stride_ = 0;
};

}  // namespace win
