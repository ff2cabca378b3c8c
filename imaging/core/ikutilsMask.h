#pragma once
// TIKMask: a 1-bit (in or out) or 8-bit (how much) selection plane the
// size of an image, with the bounding box of its selected pixels, so that
// every operation can stay inside the box.
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/core/ikdefs.h"
#include "platform/forms/Graphics.h"

namespace imaging {

class TIKBitmap;

// Ends one polygon of a point list and starts the next.
inline constexpr int32_t IKPolygonSeparator = 1048575;

struct TIKPoint {
  int32_t x = 0;
  int32_t y = 0;
};

class TIKMask {
public:
  static constexpr int32_t EmptyBox = 2147483647;

  TIKMask() = default;
  TIKMask(const TIKMask&) = delete;
  TIKMask& operator=(const TIKMask&) = delete;

  // Zeroed bits of the new size; the box empty, not full.
  void AllocateBits(int32_t width, int32_t height, int32_t bitCount);
  void FreeBits();
  // Keeps the top-left corner of the old rows.
  void Resize(int32_t width, int32_t height);

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t BitCount() const { return bitCount_; }
  int32_t RowLength() const { return rowLength_; }
  // Row 0 is the top row; rows are stored bottom-up.
  uint8_t* ScanLine(int32_t row) { return bits_.get() + static_cast<int64_t>(rowLength_) * (height_ - row - 1); }

  // Outside the mask: ignored, read as 0. A 1-bit pixel reads as its bit's
  // weight in its byte (128 for the leftmost of eight).
  void SetPixel(int32_t x, int32_t y, int32_t value);
  int32_t GetPixel(int32_t x, int32_t y) const;
  bool IsPointInside(int32_t x, int32_t y) const { return GetPixel(x, y) != 0; }

  // Every byte of every row; the box is not changed.
  void Fill(int32_t value);
  void Clear();
  bool IsEmpty() const { return x1_ == EmptyBox; }
  void RecalcBox();
  void RecheckFull();

  // Even-odd scan-line fill of each polygon of the list; a point whose x is
  // IKPolygonSeparator ends one polygon. Value 0 deselects.
  void FillPolygons(int32_t value, const TIKPoint* points, int32_t count);
  // Moves the selection; without `cut` the move is first reduced so that
  // the box stays inside, and the reduced values are handed back.
  void Translate(int32_t& dx, int32_t& dy, bool cut);
  // Copies the selected pixels of the box from `source` to `destination`
  // (a cropped bitmap holds only the box). Pixels outside either bitmap
  // are skipped.
  void CopyMaskedPixels(TIKBitmap* destination, TIKBitmap* source, bool destinationCropped, bool sourceCropped,
                        bool withAlpha);

  // Inverts the canvas where the stretched 1-bit mask is set; the source
  // rectangle's y counts from the top.
  void Draw(forms::TCanvas* canvas, int32_t destX, int32_t destY, int32_t destWidth, int32_t destHeight,
            int32_t sourceX, int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight);
  // The outline of the selection as seen in a view of the source
  // rectangle, as a dash pattern of four and four pixels that `phase`
  // moves.
  void DrawBorder(forms::TCanvas* canvas, int32_t xOffset, int32_t yOffset, int32_t viewWidth, int32_t viewHeight,
                  int32_t sourceX, int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight, int32_t phase,
                  forms::TColor color1, forms::TColor color2);
  // Shades every other unselected pixel of the view on a 24-bit bitmap.
  void MarkOuter(forms::TBitmap* bitmap, int32_t xOffset, int32_t yOffset, int32_t viewWidth, int32_t viewHeight,
                 int32_t sourceX, int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight);
  // The visible part of the mask at view size, kept between paints.
  void ScaleToCache(int32_t viewWidth, int32_t viewHeight, int32_t sourceX, int32_t sourceY, int32_t sourceWidth,
                    int32_t sourceHeight);
  bool CacheSelected(int32_t x, int32_t y) const;
  int32_t ScaledWidth() const { return scaledWidth_; }
  int32_t ScaledHeight() const { return scaledHeight_; }

  int32_t X1() const { return x1_; }
  int32_t Y1() const { return y1_; }
  int32_t X2() const { return x2_; }
  int32_t Y2() const { return y2_; }
  void SetBox(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    x1_ = x1;
    y1_ = y1;
    x2_ = x2;
    y2_ = y2;
  }
  bool Full() const { return full_; }
  void SetFull(bool full) { full_ = full; }

private:
  void EmptyTheBox();
  void GrowBox(int32_t x, int32_t y);
  void ClampBox();
  void TrackFull(int32_t value);
  int32_t FillSpan(int32_t value, int32_t x1, int32_t x2, int32_t y);
  void FillPolygon(int32_t value, const TIKPoint* points, int32_t count);

  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t bitCount_ = 0;
  int32_t rowLength_ = 0;
  std::unique_ptr<uint8_t[]> bits_;
  int32_t x1_ = EmptyBox;
  int32_t y1_ = EmptyBox;
  int32_t x2_ = 0;
  int32_t y2_ = 0;
  bool full_ = false;
  std::vector<uint8_t> scaledBits_;
  std::vector<uint8_t*> scaledRows_;  // top-down
  int32_t scaledWidth_ = 0;
  int32_t scaledHeight_ = 0;
};

}  // namespace imaging
