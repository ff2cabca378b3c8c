// The selection mask: pixels, box, polygon fill, moves and masked copies.
#include "imaging/core/ikutilsMask.h"

#include <algorithm>
#include <cstring>
#include <list>
#include <vector>

#include "imaging/core/ikutils.h"
#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsConvert.h"

namespace imaging {

namespace {

// A polygon edge from its upper end: x there, the signed x extent and the
// (positive) y extent, and the error term of its stepping.
struct Edge {
  int64_t upperY, lowerY;
  int64_t x, dx, dy, error;
};

// One scan line down: x moves by dx / dy (truncated) and, when the error
// term passes dy, one more unit.
void StepEdge(Edge& e) {
  const int64_t whole = e.dx / e.dy;
  e.x += whole;
  e.error += 2 * (e.dx - whole * e.dy);
  if (e.error > e.dy || e.error < -e.dy) {
    e.x += e.dx > 0 ? 1 : -1;
    e.error += e.dx > 0 ? -2 * e.dy : 2 * e.dy;
  }
}

// `steps` scan lines down at once, to the same state as that many
// StepEdge calls: the error term gains 2 |r| a step (r the remainder of
// dx / dy) and gives back 2 dy with each extra unit, staying within dy.
void AdvanceEdge(Edge& e, int64_t steps) {
  if (steps <= 0) return;
  const int64_t whole = e.dx / e.dy;
  const int64_t rest = e.dx - whole * e.dy;
  const __int128 gained = static_cast<__int128>(2) * (rest < 0 ? -rest : rest) * steps;
  const auto extra = static_cast<int64_t>((gained + e.dy - 1) / (2 * static_cast<__int128>(e.dy)));
  const int64_t sign = e.dx > 0 ? 1 : -1;
  e.x += whole * steps + sign * extra;
  e.error = static_cast<int64_t>((gained - static_cast<__int128>(2) * e.dy * extra) * sign);
}

}  // namespace

void TIKMask::AllocateBits(int32_t width, int32_t height, int32_t bitCount) {
  FreeBits();
  if (width <= 0 || height <= 0 || (bitCount != 1 && bitCount != 8)) return;
  const int64_t row = BitmapRowLength(width, bitCount, 32);
  if (row * height > MaxRasterSize) throw EIKError("Mask of " + std::to_string(width) + " x " + std::to_string(height) + " pixels is too large");
  width_ = width;
  height_ = height;
  bitCount_ = bitCount;
  rowLength_ = static_cast<int32_t>(row);
  bits_ = std::make_unique<uint8_t[]>(static_cast<size_t>(row * height));
  EmptyTheBox();
  full_ = false;
}

void TIKMask::FreeBits() {
  bits_.reset();
  scaledBits_.clear();
  scaledRows_.clear();
  scaledWidth_ = scaledHeight_ = 0;
  width_ = height_ = bitCount_ = rowLength_ = 0;
}

void TIKMask::Resize(int32_t width, int32_t height) {
  if (!bits_ || width <= 0 || height <= 0) {
    AllocateBits(width, height, bitCount_ != 0 ? bitCount_ : 1);
    return;
  }
  const int32_t oldHeight = height_, oldRow = rowLength_;
  std::unique_ptr<uint8_t[]> old = std::move(bits_);
  const int32_t x1 = x1_, y1 = y1_, x2 = x2_, y2 = y2_;
  const bool full = full_;
  AllocateBits(width, height, bitCount_);
  const int32_t rows = std::min(height_, oldHeight);
  const size_t bytes = static_cast<size_t>(std::min(rowLength_, oldRow));
  for (int32_t y = 0; y < rows; ++y)
    std::memcpy(ScanLine(y), old.get() + static_cast<int64_t>(oldRow) * (oldHeight - y - 1), bytes);
  SetBox(x1, y1, x2, y2);
  full_ = full;
  if (x1_ < x2_) ClampBox();
}

void TIKMask::EmptyTheBox() {
  x1_ = y1_ = EmptyBox;
  x2_ = y2_ = 0;
}

void TIKMask::GrowBox(int32_t x, int32_t y) {
  x1_ = std::min(x1_, x);
  y1_ = std::min(y1_, y);
  x2_ = std::max(x2_, x);
  y2_ = std::max(y2_, y);
  ClampBox();
}

void TIKMask::ClampBox() {
  auto clamp = [](int32_t v, int32_t size) { return std::clamp(v, 0, std::max(size - 1, 0)); };
  x1_ = clamp(x1_, width_);
  x2_ = clamp(x2_, width_);
  y1_ = clamp(y1_, height_);
  y2_ = clamp(y2_, height_);
}

// A full mask stays full only when the written value selects fully; on a
// 1-bit mask a 0 clears the pixel, so the mask is no longer full.
void TIKMask::TrackFull(int32_t value) {
  if (!full_) return;
  full_ = bitCount_ == 1 ? value != 0 : value == 255;
}

void TIKMask::SetPixel(int32_t x, int32_t y, int32_t value) {
  if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_) return;
  if (value != 0) GrowBox(x, y);
  TrackFull(value);
  uint8_t* row = ScanLine(y);
  if (bitCount_ == 1)
    SetBit(row, static_cast<uint32_t>(x), value != 0);
  else
    row[x] = static_cast<uint8_t>(value);
}

int32_t TIKMask::GetPixel(int32_t x, int32_t y) const {
  if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  const uint8_t* row = bits_.get() + static_cast<int64_t>(rowLength_) * (height_ - y - 1);
  return bitCount_ == 1 ? GetBit(row, static_cast<uint32_t>(x)) : row[x];
}

void TIKMask::Fill(int32_t value) {
  if (bits_) std::memset(bits_.get(), static_cast<uint8_t>(value), static_cast<size_t>(rowLength_) * height_);
  full_ = bitCount_ == 1 ? value != 0 : value == 255;
  // A 1-bit fill with a value whose bit pattern is not all ones leaves
  // pixels clear, so it is full only for a pattern of all ones.
  if (bitCount_ == 1 && static_cast<uint8_t>(value) != 255) full_ = false;
}

void TIKMask::Clear() {
  Fill(0);
  EmptyTheBox();
}

void TIKMask::RecalcBox() {
  EmptyTheBox();
  for (int32_t y = 0; y < height_; ++y) {
    for (int32_t x = 0; x < width_; ++x) {
      if (GetPixel(x, y) != 0) {
        x1_ = std::min(x1_, x);
        y1_ = std::min(y1_, y);
        x2_ = std::max(x2_, x);
        y2_ = std::max(y2_, y);
      }
    }
  }
}

void TIKMask::RecheckFull() {
  bool full = bits_ != nullptr;
  for (int32_t y = 0; y < height_ && full; ++y) {
    const uint8_t* row = ScanLine(y);
    if (bitCount_ == 8) {
      full = std::all_of(row, row + width_, [](uint8_t v) { return v == 255; });
    } else {
      full = std::all_of(row, row + width_ / 8, [](uint8_t v) { return v == 255; });
      for (int32_t x = width_ / 8 * 8; x < width_ && full; ++x) full = GetBit(row, static_cast<uint32_t>(x)) != 0;
    }
  }
  full_ = full;
}

int32_t TIKMask::FillSpan(int32_t value, int32_t x1, int32_t x2, int32_t y) {
  // Rows above or below the mask are skipped, not folded onto its edge
  // rows.
  if (!bits_ || y < 0 || y >= height_) return 0;
  x1 = std::max(x1, 0);
  x2 = std::min(x2, width_ - 1);
  if (x1 > x2) return 0;
  TrackFull(value);
  uint8_t* row = ScanLine(y);
  if (bitCount_ == 1) {
    // Value 0 deselects on a 1-bit mask as on an 8-bit one.
    for (int32_t x = x1; x <= x2; ++x) SetBit(row, static_cast<uint32_t>(x), value != 0);
  } else {
    std::memset(row + x1, static_cast<uint8_t>(value), static_cast<size_t>(x2 - x1 + 1));
  }
  return x2 - x1 + 1;
}

void TIKMask::FillPolygons(int32_t value, const TIKPoint* points, int32_t count) {
  if (!points || count <= 0) return;
  int32_t start = 0;
  for (int32_t i = 0; i <= count; ++i) {
    if (i == count || points[i].x == IKPolygonSeparator) {
      if (i > start) FillPolygon(value, points + start, i - start);
      start = i + 1;
    }
  }
  RecheckFull();
}

void TIKMask::FillPolygon(int32_t value, const TIKPoint* points, int32_t count) {
  if (!bits_ || count <= 0) return;
  if (value != 0) {
    for (int32_t i = 0; i < count; ++i) {
      const TIKPoint& p = points[i];
      x1_ = std::min(x1_, p.x);
      y1_ = std::min(y1_, p.y);
      if (static_cast<int64_t>(p.x) - 1 > x2_) x2_ = p.x - 1;
      if (static_cast<int64_t>(p.y) - 1 > y2_) y2_ = p.y - 1;
    }
    ClampBox();
  }
  std::vector<Edge> edges;
  int64_t minY = INT64_MAX, maxY = INT64_MIN;
  for (int32_t i = 0; i < count; ++i) {
    const TIKPoint& a = points[i];
    const TIKPoint& b = points[(i + 1) % count];
    minY = std::min<int64_t>(minY, a.y);
    maxY = std::max<int64_t>(maxY, a.y);
    if (a.y == b.y) continue;
    const TIKPoint& upper = a.y < b.y ? a : b;
    const TIKPoint& lower = a.y < b.y ? b : a;
    edges.push_back(Edge{upper.y, lower.y, upper.x, static_cast<int64_t>(lower.x) - upper.x,
                         static_cast<int64_t>(lower.y) - upper.y, 0});
  }
  // Rows below the mask are not scanned; rows above it are scanned
  // without filling, so each edge reaches row 0 at the x its stepping gives.
  std::list<Edge> active;
  int64_t written = 0;
  int64_t firstRow = minY;
  const int64_t lastRow = std::min<int64_t>(maxY, height_);
  auto before = [](const Edge& a, const Edge& b) {
    return a.x < b.x || (a.x == b.x && static_cast<__int128>(a.dx) * b.dy < static_cast<__int128>(b.dx) * a.dy);
  };
  if (firstRow < -65536) {
    // Far above the mask: the edges crossing row -1 are placed there
    // directly, in the state their stepping would have reached, instead
    // of stepping through every row up to it.
    for (const Edge& e : edges) {
      if (e.upperY > -1 || e.lowerY < 0) continue;
      Edge placed = e;
      AdvanceEdge(placed, -1 - e.upperY);
      active.push_back(placed);
    }
    active.sort(before);
    firstRow = 0;
  }
  for (int64_t y = firstRow; y <= lastRow; ++y) {
    active.remove_if([y](const Edge& e) { return e.lowerY == y; });
    for (Edge& e : active) StepEdge(e);
    for (const Edge& e : edges) {
      if (e.upperY != y) continue;
      auto it = active.begin();
      // Before the first edge further right, or at the same x with a
      // slope that is not smaller.
      while (it != active.end() && before(*it, e)) ++it;
      active.insert(it, e);
    }
    if (y < 0) continue;
    for (auto it = active.begin(); it != active.end();) {
      auto left = it++;
      if (it == active.end()) break;
      auto right = it++;
      if (left->x < right->x) {
        const auto x1 = static_cast<int32_t>(std::clamp<int64_t>(left->x, INT32_MIN, INT32_MAX));
        const auto x2 = static_cast<int32_t>(std::clamp<int64_t>(right->x - 1, INT32_MIN, INT32_MAX));
        written += FillSpan(value, x1, x2, static_cast<int32_t>(y));
      }
    }
  }
  if (written == 0) EmptyTheBox();
}

void TIKMask::Translate(int32_t& dx, int32_t& dy, bool cut) {
  if (!bits_ || IsEmpty()) return;
  if (!cut) {
    dx = std::clamp(dx, -x1_, std::max(width_ - 1 - x2_, -x1_));
    dy = std::clamp(dy, -y1_, std::max(height_ - 1 - y2_, -y1_));
  }
  if (dx == 0 && dy == 0) return;
  const int64_t mx = dx, my = dy;
  if (bitCount_ == 1) {
    const int32_t boxWidth = x2_ - x1_ + 1, boxHeight = y2_ - y1_ + 1;
    std::vector<uint8_t> copy(static_cast<size_t>(boxWidth) * boxHeight);
    for (int32_t y = 0; y < boxHeight; ++y) {
      uint8_t* row = ScanLine(y1_ + y);
      for (int32_t x = 0; x < boxWidth; ++x)
        copy[static_cast<size_t>(y) * boxWidth + x] = GetBit(row, static_cast<uint32_t>(x1_ + x)) != 0;
      std::memset(row, 0, static_cast<size_t>(rowLength_));
    }
    for (int32_t y = 0; y < boxHeight; ++y) {
      const int64_t ty = y1_ + y + my;
      if (ty < 0 || ty >= height_) continue;
      uint8_t* row = ScanLine(static_cast<int32_t>(ty));
      for (int32_t x = 0; x < boxWidth; ++x) {
        const int64_t tx = x1_ + x + mx;
        if (tx >= 0 && tx < width_ && copy[static_cast<size_t>(y) * boxWidth + x])
          SetBit(row, static_cast<uint32_t>(tx), true);
      }
    }
  } else {
    const size_t size = static_cast<size_t>(rowLength_) * height_;
    std::vector<uint8_t> copy(bits_.get(), bits_.get() + size);
    std::memset(bits_.get(), 0, size);
    for (int32_t y = y1_; y <= y2_; ++y) {
      const int64_t ty = y + my;
      if (ty < 0 || ty >= height_) continue;
      const uint8_t* from = copy.data() + static_cast<int64_t>(rowLength_) * (height_ - y - 1);
      uint8_t* to = ScanLine(static_cast<int32_t>(ty));
      for (int32_t x = x1_; x <= x2_; ++x) {
        const int64_t tx = x + mx;
        if (tx >= 0 && tx < width_) to[tx] = from[x];
      }
    }
  }
  auto moved = [](int32_t v, int64_t d, int32_t size) {
    return static_cast<int32_t>(std::clamp<int64_t>(v + d, 0, std::max(size - 1, 0)));
  };
  x1_ = moved(x1_, mx, width_);
  x2_ = moved(x2_, mx, width_);
  y1_ = moved(y1_, my, height_);
  y2_ = moved(y2_, my, height_);
  full_ = false;
}

void TIKMask::CopyMaskedPixels(TIKBitmap* destination, TIKBitmap* source, bool destinationCropped,
                               bool sourceCropped, bool withAlpha) {
  if (!bits_ || !destination || !source || IsEmpty()) return;
  const TIKPixelFormat format = source->PixelFormat();
  if (format == ikNoFormat || destination->PixelFormat() != format) return;
  const bool eightBit = bitCount_ == 8;
  if (eightBit && format != ikRGB24 && format != ikGray8 && format != ikPalette8 && format != ikMono1) return;
  const int32_t bpp = IKPixelFormatInfo(format).BitCount / 8;
  // The box in each bitmap's coordinates, cut to what both bitmaps hold.
  const int32_t sourceOffX = sourceCropped ? x1_ : 0, sourceOffY = sourceCropped ? y1_ : 0;
  const int32_t destOffX = destinationCropped ? x1_ : 0, destOffY = destinationCropped ? y1_ : 0;
  const int32_t xs = std::max({x1_, sourceOffX, destOffX});
  const int32_t ys = std::max({y1_, sourceOffY, destOffY});
  const int32_t xe = std::min({x2_, sourceOffX + source->Width() - 1, destOffX + destination->Width() - 1});
  const int32_t ye = std::min({y2_, sourceOffY + source->Height() - 1, destOffY + destination->Height() - 1});
  if (xs > xe || ys > ye) return;
  const TIKDataAccess sourceAccess = source->Access();
  source->SetAccess(ikaRead);
  for (int32_t y = ys; y <= ye; ++y) {
    const uint8_t* m = ScanLine(y);
    // Rows of the same bitmap in a temporary file share one mapping, so
    // the source row is copied out before the destination row is mapped.
    std::vector<uint8_t> in(static_cast<const uint8_t*>(source->ScanLine(y - sourceOffY)),
                            static_cast<const uint8_t*>(source->ScanLine(y - sourceOffY)) + source->RowLength());
    auto* out = static_cast<uint8_t*>(destination->ScanLine(y - destOffY));
    for (int32_t x = xs; x <= xe; ++x) {
      const int32_t sel = eightBit ? m[x] : (GetBit(m, static_cast<uint32_t>(x)) ? 255 : 0);
      if (sel == 0) continue;
      const int32_t sx = x - sourceOffX, dx = x - destOffX;
      if (format == ikMono1) {
        SetBit(out, static_cast<uint32_t>(dx), GetBit(in.data(), static_cast<uint32_t>(sx)) != 0);
      } else if (!eightBit) {
        std::memcpy(out + static_cast<size_t>(dx) * bpp, in.data() + static_cast<size_t>(sx) * bpp, bpp);
      } else {
        for (int32_t c = 0; c < bpp; ++c) {
          const int32_t s = in[static_cast<size_t>(sx) * bpp + c];
          uint8_t& d = out[static_cast<size_t>(dx) * bpp + c];
          d = static_cast<uint8_t>(d + ((sel * (s - d)) >> 8));
        }
      }
    }
  }
  source->SetAccess(sourceAccess);
  if (!withAlpha) return;
  TIKBitmap* destAlpha = destination->GetAlphaChannel();
  if (!destAlpha) return;
  TIKBitmap* sourceAlpha = source->HasAlphaChannel() ? source->GetAlphaChannel() : nullptr;
  for (int32_t y = ys; y <= ye; ++y) {
    std::vector<uint8_t> alphaIn;
    if (sourceAlpha) {
      const auto* a = static_cast<const uint8_t*>(sourceAlpha->ScanLine(y - sourceOffY));
      alphaIn.assign(a, a + sourceAlpha->RowLength());
    }
    const uint8_t* m = ScanLine(y);
    auto* out = static_cast<uint8_t*>(destAlpha->ScanLine(y - destOffY));
    for (int32_t x = xs; x <= xe; ++x) {
      const int32_t sel = eightBit ? m[x] : (GetBit(m, static_cast<uint32_t>(x)) ? 255 : 0);
      const int32_t sourceValue = sourceAlpha ? alphaIn[static_cast<size_t>(x - sourceOffX)] : 255;
      out[x - destOffX] = static_cast<uint8_t>(sel == 0 ? 0 : std::min(sourceValue, sel));
    }
  }
  destAlpha->SetFull(false);
}

}  // namespace imaging
