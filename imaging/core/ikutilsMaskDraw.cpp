// Drawing the selection mask: the inverted stretch, the animated outline
// and the shading of what lies outside, all limited to the view rows and
// columns that cover the box.
#include <algorithm>

#include "imaging/core/ikutils.h"
#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsMask.h"
#include "platform/win/Blit.h"
#include "platform/win/Dib.h"

namespace imaging {

namespace {

int64_t Step(int32_t sourceSize, int32_t viewSize) {
  return static_cast<int64_t>(static_cast<double>(sourceSize) / viewSize * 16384);
}

}  // namespace

void TIKMask::ScaleToCache(int32_t viewWidth, int32_t viewHeight, int32_t sourceX, int32_t sourceY,
                           int32_t sourceWidth, int32_t sourceHeight) {
  if (viewWidth <= 0 || viewHeight <= 0 || bitCount_ == 0) return;
  if (viewWidth != scaledWidth_ || viewHeight != scaledHeight_ || scaledRows_.empty()) {
    const int64_t row = BitmapRowLength(viewWidth, bitCount_, 32);
    if (row * viewHeight > MaxRasterSize) throw EIKError("The mask view is too large");
    scaledBits_.assign(static_cast<size_t>(row * viewHeight), 0);
    scaledRows_.resize(static_cast<size_t>(viewHeight));
    for (int32_t y = 0; y < viewHeight; ++y) scaledRows_[y] = scaledBits_.data() + row * (viewHeight - y - 1);
    scaledWidth_ = viewWidth;
    scaledHeight_ = viewHeight;
  }
  std::fill(scaledBits_.begin(), scaledBits_.end(), 0);
  if (IsEmpty() || sourceWidth <= 0 || sourceHeight <= 0) return;
  const int64_t xStep = Step(sourceWidth, viewWidth), yStep = Step(sourceHeight, viewHeight);
  auto range = [](int32_t boxStart, int32_t boxEnd, int32_t sourceStart, int32_t sourceSize, int32_t viewSize,
                  int32_t& first, int32_t& last) {
    first = static_cast<int32_t>(std::max<int64_t>(
        static_cast<int64_t>(static_cast<double>(boxStart - static_cast<int64_t>(sourceStart)) * viewSize / sourceSize), 0));
    last = static_cast<int32_t>(std::min<int64_t>(
        static_cast<int64_t>(static_cast<double>(boxEnd - static_cast<int64_t>(sourceStart) + 1) * viewSize / sourceSize),
        viewSize - 1));
  };
  int32_t x1, x2, y1, y2;
  range(x1_, x2_, sourceX, sourceWidth, viewWidth, x1, x2);
  range(y1_, y2_, sourceY, sourceHeight, viewHeight, y1, y2);
  for (int32_t y = y1; y <= y2; ++y) {
    const int64_t my = sourceY + ((yStep * y) >> 14);
    if (my < 0 || my >= height_) continue;
    uint8_t* out = scaledRows_[y];
    for (int32_t x = x1; x <= x2; ++x) {
      const int64_t mx = sourceX + ((xStep * x) >> 14);
      const int32_t v = GetPixel(static_cast<int32_t>(std::clamp<int64_t>(mx, -1, width_)), static_cast<int32_t>(my));
      if (v == 0) continue;
      if (bitCount_ == 1)
        SetBit(out, static_cast<uint32_t>(x), true);
      else
        out[x] = static_cast<uint8_t>(v);
    }
  }
}

bool TIKMask::CacheSelected(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= scaledWidth_ || y >= scaledHeight_) return false;
  const uint8_t* row = scaledRows_[y];
  return bitCount_ == 1 ? GetBit(row, static_cast<uint32_t>(x)) != 0 : row[x] != 0;
}

void TIKMask::Draw(forms::TCanvas* canvas, int32_t destX, int32_t destY, int32_t destWidth, int32_t destHeight,
                   int32_t sourceX, int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight) {
  if (!canvas || bitCount_ != 1 || !bits_ || IsEmpty()) return;
  struct {
    win::BITMAPINFOHEADER header;
    win::RGBQUAD colors[2];
  } info{};
  info.header.biSize = 40;
  info.header.biWidth = width_;
  info.header.biHeight = height_;
  info.header.biPlanes = 1;
  info.header.biBitCount = 1;
  info.header.biCompression = win::BI_RGB;
  info.colors[1] = win::RGBQUAD{255, 255, 255, 0};
  // The blit counts source rows from the bottom of the bottom-up rows.
  win::StretchDIBits(canvas->Handle(), destX, destY, destWidth, destHeight, sourceX,
                     height_ - sourceY - sourceHeight, sourceWidth, sourceHeight, bits_.get(),
                     reinterpret_cast<const win::BITMAPINFO*>(&info), win::DIB_RGB_COLORS, win::SRCINVERT);
}

void TIKMask::DrawBorder(forms::TCanvas* canvas, int32_t xOffset, int32_t yOffset, int32_t viewWidth,
                         int32_t viewHeight, int32_t sourceX, int32_t sourceY, int32_t sourceWidth,
                         int32_t sourceHeight, int32_t phase, forms::TColor color1, forms::TColor color2) {
  if (!canvas || !bits_ || IsEmpty() || viewWidth <= 0 || viewHeight <= 0) return;
  ScaleToCache(viewWidth, viewHeight, sourceX, sourceY, sourceWidth, sourceHeight);
  const int64_t xStep = Step(sourceWidth, viewWidth), yStep = Step(sourceHeight, viewHeight);
  if (xStep <= 0 || yStep <= 0) return;
  const auto c1 = static_cast<forms::TColor>(forms::ColorToRGB(color1));
  const auto c2 = static_cast<forms::TColor>(forms::ColorToRGB(color2));
  canvas->Pen()->SetStyle(forms::psSolid);
  canvas->Pen()->SetMode(forms::pmCopy);
  const auto y1 = static_cast<int32_t>(std::max<int64_t>((static_cast<int64_t>(y1_ - sourceY) << 14) / yStep, 0));
  const auto y2 = static_cast<int32_t>(
      std::min<int64_t>((static_cast<int64_t>(y2_ - sourceY + 1) << 14) / yStep + 1, viewHeight - 1));
  const auto x1 = static_cast<int32_t>(std::max<int64_t>((static_cast<int64_t>(x1_ - sourceX) << 14) / xStep, 0));
  const auto x2 = static_cast<int32_t>(
      std::min<int64_t>((static_cast<int64_t>(x2_ - sourceX + 1) << 14) / xStep + 1, viewWidth - 1));
  for (int32_t y = y1; y <= y2; ++y) {
    const int64_t sourceRow = sourceY + ((yStep * y) >> 14);
    for (int32_t x = x1; x <= x2; ++x) {
      if (!CacheSelected(x, y)) continue;
      const int64_t sourceColumn = sourceX + ((xStep * x) >> 14);
      bool edge;
      // A selection cut by the view's edge shows no outline there.
      if (x == 0)
        edge = x1_ >= sourceColumn;
      else if (x == viewWidth - 1)
        edge = x2_ <= sourceColumn || sourceWidth == width_;
      else if (y == 0)
        edge = y1_ >= sourceRow;
      else if (y == viewHeight - 1)
        edge = y2_ <= sourceRow || sourceHeight == height_;
      else
        edge = !CacheSelected(x - 1, y - 1) || !CacheSelected(x, y - 1) || !CacheSelected(x + 1, y - 1) ||
               !CacheSelected(x - 1, y) || !CacheSelected(x + 1, y) || !CacheSelected(x - 1, y + 1) ||
               !CacheSelected(x, y + 1) || !CacheSelected(x + 1, y + 1);
      if (!edge) continue;
      const int32_t px = x + xOffset, py = y + yOffset;
      canvas->SetPixel(px, py, ((px + py + phase) & 7) < 4 ? c2 : c1);
    }
  }
}

void TIKMask::MarkOuter(forms::TBitmap* bitmap, int32_t xOffset, int32_t yOffset, int32_t viewWidth,
                        int32_t viewHeight, int32_t sourceX, int32_t sourceY, int32_t sourceWidth,
                        int32_t sourceHeight) {
  if (!bitmap || !bits_ || IsEmpty() || viewWidth <= 0 || viewHeight <= 0) return;
  if (bitmap->PixelFormat() != forms::pf24bit) return;
  ScaleToCache(viewWidth, viewHeight, sourceX, sourceY, sourceWidth, sourceHeight);
  const int64_t xStep = Step(sourceWidth, viewWidth), yStep = Step(sourceHeight, viewHeight);
  if (xStep <= 0 || yStep <= 0) return;
  int64_t y1 = std::max<int64_t>(-static_cast<int64_t>(sourceY) * 16384 / yStep, 0);
  int64_t y2 = std::min<int64_t>((static_cast<int64_t>(height_ - sourceY) << 14) / yStep + 1, viewHeight - 1);
  int64_t x1 = std::max<int64_t>(-static_cast<int64_t>(sourceX) * 16384 / xStep, 0);
  int64_t x2 = std::min<int64_t>((static_cast<int64_t>(width_ - sourceX) << 14) / xStep + 1, viewWidth - 1);
  // Never beyond the bitmap.
  y1 = std::max<int64_t>(y1, -static_cast<int64_t>(yOffset));
  x1 = std::max<int64_t>(x1, -static_cast<int64_t>(xOffset));
  y2 = std::min<int64_t>(y2, static_cast<int64_t>(bitmap->Height()) - 1 - yOffset);
  x2 = std::min<int64_t>(x2, static_cast<int64_t>(bitmap->Width()) - 1 - xOffset);
  for (int64_t y = y1; y <= y2; ++y) {
    auto* row = static_cast<uint8_t*>(bitmap->ScanLine(static_cast<int>(y + yOffset)));
    for (int64_t x = x1; x <= x2; ++x) {
      if ((x + y) % 2 != 0 || CacheSelected(static_cast<int32_t>(x), static_cast<int32_t>(y))) continue;
      uint8_t* px = row + (x + xOffset) * 3;
      px[0] = px[1] = px[2] = 97;
    }
  }
}

}  // namespace imaging
