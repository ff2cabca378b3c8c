#pragma once
// Two lightweight companions of the image buffer: TIKDibbitmap, a 1- or
// 24-bit DIB section selected into its own memory device context so that
// platform drawing can target it, and TIKWorkBitmap, a plain heap raster the
// resampling passes reuse as scratch space.
#include <cstdint>
#include <memory>

#include "imaging/core/ikutilsBitmap.h"
#include "platform/win/Bitmap.h"
#include "platform/win/Types.h"

namespace imaging {

class TIKDibbitmap : public TIKBaseBitmap {
public:
  TIKDibbitmap();
  ~TIKDibbitmap() override;

  void* ScanLine(int32_t row) override;
  int32_t BitCount() override { return bitCount_; }
  int32_t Height() override { return height_; }
  int32_t Width() override { return width_; }
  TIKPixelFormat PixelFormat() override;
  int32_t RowLength() override { return rowLength_; }
  TRGB GetPaletteColor(int32_t) override { return TRGB{}; }
  void SetPaletteColor(int32_t, const TRGB&) override {}
  int32_t PaletteLength() override { return 0; }
  // ikMono1 or ikRGB24; any other format leaves the bitmap as it was.
  void Allocate(int32_t width, int32_t height, TIKPixelFormat format) override;
  // Only from another TIKDibbitmap.
  void Assign(forms::TObject* source) override;

  // When the platform cannot make the section, Bits() stays null.
  void AllocateBits(int32_t width, int32_t height, int32_t bitCount);
  void FreeBits();

  win::HDC DC() const { return dc_; }
  win::HBITMAP DibSection() const { return dibSection_; }
  uint8_t* Bits() const { return bits_; }
  const win::BITMAPINFOHEADER& Header() const { return header_.bmiHeader; }

private:
  struct Info {
    win::BITMAPINFOHEADER bmiHeader;
    win::RGBQUAD bmiColors[2];
  };
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t bitCount_ = 0;
  int32_t rowLength_ = 0;
  win::HDC dc_ = nullptr;
  win::HBITMAP dibSection_ = nullptr;
  win::HGDIOBJ oldBitmap_ = nullptr;
  uint8_t* bits_ = nullptr;
  Info header_{};
};

class TIKWorkBitmap {
public:
  TIKWorkBitmap(int32_t width = 0, int32_t height = 0, int32_t bitCount = 0);

  // Row 0 is the top row; rows are stored bottom-up.
  uint8_t* ScanLine(int32_t row) { return bits_.get() + static_cast<int64_t>(height_ - row - 1) * rowLength_; }
  // Keeps the block (and its content) when nothing changes. EIKError for a
  // raster larger than MaxRasterSize.
  void Allocate(int32_t width, int32_t height, int32_t bitCount);
  void FreeBits();

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t BitCount() const { return bitCount_; }
  int32_t RowLength() const { return rowLength_; }
  uint8_t* Bits() const { return bits_.get(); }

private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t bitCount_ = 0;
  int32_t rowLength_ = 0;
  std::unique_ptr<uint8_t[]> bits_;
};

}  // namespace imaging
