#include "imaging/core/stdquant.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/core/ikutilsBitmap.h"

namespace imaging {

namespace {

struct TBox {
  double error = 0;
  std::array<double, 3> mean{};
  int64_t count = 0;
  std::array<std::array<int64_t, 32>, 3> hist{};
  std::array<int32_t, 3> lo{0, 0, 0};
  std::array<int32_t, 3> hi{32, 32, 32};
};

}  // namespace

struct TBoxQuantState {
  // Indexed [red][green][blue] cell.
  std::vector<uint32_t> histogram = std::vector<uint32_t>(32 * 32 * 32);
  std::vector<TBox> boxes;
  std::vector<uint8_t> inverse = std::vector<uint8_t>(32 * 32 * 32);
  int64_t pixels = 0;
  int32_t colorsAsked = 0;

  uint32_t Cell(int32_t r, int32_t g, int32_t b) const {
    return histogram[static_cast<size_t>((r * 32 + g) * 32 + b)];
  }
  void Measure(TBox& box) const;
  void Marginals(TBox& box) const;
  bool Trial(const TBox& box, int channel, TBox& lower, TBox& upper) const;
  bool Split(size_t which);
};

void TBoxQuantFree::operator()(TBoxQuantState* state) const { delete state; }

// Means and error of a box from its channel histograms.
void TBoxQuantState::Measure(TBox& box) const {
  double error = 0;
  for (int c = 0; c < 3; ++c) {
    double sum = 0, squares = 0;
    for (int32_t v = box.lo[c]; v < box.hi[c]; ++v) {
      sum += static_cast<double>(v) * box.hist[c][v];
      squares += static_cast<double>(v) * v * box.hist[c][v];
    }
    box.mean[c] = box.count > 0 ? sum / box.count : 0;
    error += squares - box.mean[c] * box.mean[c] * box.count;
  }
  box.error = pixels > 0 ? error / pixels : 0;
}

// The three channel histograms of the box's cells, from the 3-D histogram.
void TBoxQuantState::Marginals(TBox& box) const {
  for (auto& h : box.hist) h.fill(0);
  box.count = 0;
  for (int32_t r = box.lo[0]; r < box.hi[0]; ++r)
    for (int32_t g = box.lo[1]; g < box.hi[1]; ++g)
      for (int32_t b = box.lo[2]; b < box.hi[2]; ++b) {
        const uint32_t n = Cell(r, g, b);
        if (!n) continue;
        box.hist[0][r] += n;
        box.hist[1][g] += n;
        box.hist[2][b] += n;
        box.count += n;
      }
}

namespace {

// Bounds shrunk to the cells that hold pixels.
void Shrink(TBox& box) {
  for (int c = 0; c < 3; ++c) {
    while (box.lo[c] < box.hi[c] - 1 && box.hist[c][box.lo[c]] == 0) ++box.lo[c];
    while (box.hi[c] - 1 > box.lo[c] && box.hist[c][box.hi[c] - 1] == 0) --box.hi[c];
  }
}

int32_t RoundHalfEven(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

}  // namespace

bool TBoxQuantState::Trial(const TBox& box, int channel, TBox& lower, TBox& upper) const {
  const int32_t lo = box.lo[channel], hi = box.hi[channel];
  if (hi - lo <= 1) return false;
  const auto& h = box.hist[channel];
  const double m = box.mean[channel];
  const double n = static_cast<double>(box.count);
  const int32_t first = std::max(lo, RoundHalfEven((lo + m) / 2));
  const int32_t last = std::min(hi - 1, RoundHalfEven((m + hi) / 2));
  int64_t count = 0;
  for (int32_t v = lo; v < first; ++v) count += h[v];
  double t = 0, best = -1;
  int32_t cut = -1;
  for (int32_t e = first; e <= last; ++e) {
    count += h[e];
    if (count >= box.count) break;
    t += h[e] * static_cast<double>(e) / n;
    const double score = static_cast<double>(count) / (n - count) * (m - t) * (m - t);
    if (score > best) {
      best = score;
      cut = e;
    }
  }
  if (cut < 0) return false;
  lower = box;
  lower.hi[channel] = cut + 1;
  Marginals(lower);
  upper = box;
  upper.lo[channel] = cut + 1;
  upper.count = box.count - lower.count;
  for (int c = 0; c < 3; ++c)
    for (int v = 0; v < 32; ++v) upper.hist[c][v] = box.hist[c][v] - lower.hist[c][v];
  if (lower.count == 0 || upper.count == 0) return false;
  Shrink(lower);
  Shrink(upper);
  Measure(lower);
  Measure(upper);
  return true;
}

bool TBoxQuantState::Split(size_t which) {
  const TBox box = boxes[which];
  if (box.error == 0 || box.count == 0) return false;
  TBox bestLower, bestUpper;
  double bestScore = 0;
  bool found = false;
  for (int c = 0; c < 3; ++c) {
    TBox lower, upper;
    if (!Trial(box, c, lower, upper)) continue;
    const double score = lower.error + upper.error;
    if (!found || score < bestScore) {
      found = true;
      bestScore = score;
      bestLower = lower;
      bestUpper = upper;
    }
  }
  if (!found) return false;
  boxes[which] = bestLower;
  boxes.push_back(bestUpper);
  return true;
}

TBoxQuantHandle BoxQuantCreateFromRows(TQuantRowSource rows, void* context, int32_t width, int32_t height,
                                       TRGB* palette, int32_t colorCount) {
  TBoxQuantHandle state(new TBoxQuantState);
  TBoxQuantState& s = *state;
  colorCount = std::clamp(colorCount, 1, 256);
  s.colorsAsked = colorCount;
  s.pixels = static_cast<int64_t>(std::max(width, 0)) * std::max(height, 0);
  TBox first;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = rows(context, y);
    for (int32_t x = 0; x < width; ++x) {
      const int32_t b = row[3 * x] >> 3, g = row[3 * x + 1] >> 3, r = row[3 * x + 2] >> 3;
      ++s.histogram[static_cast<size_t>((r * 32 + g) * 32 + b)];
      ++first.hist[0][r];
      ++first.hist[1][g];
      ++first.hist[2][b];
    }
  }
  first.count = s.pixels;
  s.Measure(first);
  s.boxes.push_back(first);
  while (static_cast<int32_t>(s.boxes.size()) < colorCount) {
    size_t pick = s.boxes.size();
    double largest = 0;
    for (size_t i = 0; i < s.boxes.size(); ++i)
      if (s.boxes[i].error > largest) {
        largest = s.boxes[i].error;
        pick = i;
      }
    if (pick == s.boxes.size()) break;
    if (!s.Split(pick)) s.boxes[pick].error = 0;
  }
  for (size_t i = 0; i < s.boxes.size(); ++i) {
    const TBox& box = s.boxes[i];
    auto channel = [&box](int c) { return static_cast<uint8_t>(std::min(255, RoundHalfEven(box.mean[c]) * 8)); };
    palette[i] = CreateRGB(channel(0), channel(1), channel(2));
    for (int32_t r = box.lo[0]; r < box.hi[0]; ++r)
      for (int32_t g = box.lo[1]; g < box.hi[1]; ++g)
        for (int32_t b = box.lo[2]; b < box.hi[2]; ++b)
          s.inverse[static_cast<size_t>((r * 32 + g) * 32 + b)] = static_cast<uint8_t>(i);
  }
  return state;
}

namespace {
const uint8_t* BitmapRow(void* context, int32_t y) {
  return static_cast<const uint8_t*>(static_cast<TIKBitmap*>(context)->ScanLine(y));
}
}  // namespace

TBoxQuantHandle BoxQuantCreate(TIKBitmap* source, TRGB* palette, int32_t colorCount) {
  const bool rgb = source->PixelFormat() == ikRGB24;
  return BoxQuantCreateFromRows(BitmapRow, source, rgb ? source->Width() : 0, rgb ? source->Height() : 0, palette,
                                colorCount);
}

int32_t BoxQuantIndex(const TBoxQuantState* state, const TRGB& color) {
  return state->inverse[static_cast<size_t>(((color.r >> 3) * 32 + (color.g >> 3)) * 32 + (color.b >> 3))];
}

int32_t BoxQuantBoxCount(const TBoxQuantState* state) { return static_cast<int32_t>(state->boxes.size()); }

}  // namespace imaging
