#include "imaging/core/imgkitprocThreshold.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/core/ikutils.h"
#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsSupport.h"
#include "imaging/core/imgkitprocPixels.h"

namespace imaging {

void GrayHistogram(TIKBitmap* bitmap, std::array<int64_t, 256>& counts) {
  counts.fill(0);
  const int32_t width = bitmap->Width(), height = bitmap->Height();
  if (width <= 0 || height <= 0) return;
  if (bitmap->PixelFormat() == ikMono1) {
    for (int32_t y = 0; y < height; ++y) {
      const auto* row = static_cast<const uint8_t*>(bitmap->ScanLine(y));
      for (int32_t x = 0; x < width; ++x) ++counts[GetBit(row, static_cast<uint32_t>(x)) ? 1 : 0];
    }
    return;
  }
  std::vector<TRGB> row(static_cast<size_t>(width));
  for (int32_t y = 0; y < height; ++y) {
    ReadRowRGB(bitmap, y, row.data());
    for (const TRGB& c : row) ++counts[static_cast<size_t>(GrayOf(c))];
  }
}

int32_t MaxEntropyThreshold(const std::array<int64_t, 256>& counts, int64_t pixels) {
  if (pixels <= 0) return -1;
  double p[256];
  double total = 0;
  for (int i = 0; i < 256; ++i) {
    p[i] = static_cast<double>(counts[static_cast<size_t>(i)]) / static_cast<double>(pixels);
    if (p[i] > 0) total -= p[i] * std::log(p[i]);
  }
  double best = 0, score = 0, below = 0, entropyBelow = 0;
  int32_t threshold = -1;
  for (int t = 1; t < 256; ++t) {
    below += p[t - 1];
    if (p[t - 1] > 0) entropyBelow -= p[t - 1] * std::log(p[t - 1]);
    if (below > 0 && below < 1)
      score = std::log(below * (1 - below)) + entropyBelow / below + (total - entropyBelow) / (1 - below);
    if (score > best) {
      best = score;
      threshold = t;
    }
  }
  return threshold;
}

void ThresholdToBW(TIKBitmap* source, TIKBitmap* dest, int32_t threshold, TProgressRec& progress) {
  const int32_t width = source->Width(), height = source->Height();
  if (dest->PixelFormat() != ikMono1 || dest->Width() != width || dest->Height() != height || width <= 0 ||
      height <= 0)
    return;
  if (source->PixelFormat() == ikMono1) {
    TIKAccessScope scope(source, dest);
    const auto bytes = static_cast<size_t>(std::min(source->RowLength(), dest->RowLength()));
    std::vector<uint8_t> row(bytes);
    for (int32_t y = 0; y < height; ++y) {
      std::memcpy(row.data(), source->ScanLine(y), bytes);
      std::memcpy(dest->ScanLine(y), row.data(), bytes);
    }
    return;
  }
  auto meanGray = [source] {
    int32_t r, g, b;
    ImageMeanRGB(source, r, g, b);
    return PackedRGBToGray(static_cast<uint32_t>(r << 16 | g << 8 | b));
  };
  if (threshold == -1) {
    threshold = meanGray();
  } else if (threshold == -2) {
    std::array<int64_t, 256> counts;
    GrayHistogram(source, counts);
    threshold = MaxEntropyThreshold(counts, static_cast<int64_t>(width) * height);
    // Two-level images score 0 everywhere; all-white output would lose the
    // picture, so the mean's gray splits them.
    if (threshold < 0) threshold = meanGray();
  }
  TIKAccessScope scope(source, dest);
  std::vector<TRGB> row(static_cast<size_t>(width));
  std::vector<uint8_t> bits(static_cast<size_t>(dest->RowLength()));
  for (int32_t y = 0; y < height; ++y) {
    ReadRowRGB(source, y, row.data());
    std::fill(bits.begin(), bits.end(), 0);
    for (int32_t x = 0; x < width; ++x)
      if (GrayOf(row[static_cast<size_t>(x)]) >= threshold) SetBit(bits.data(), static_cast<uint32_t>(x), true);
    std::memcpy(dest->ScanLine(y), bits.data(), bits.size());
    if (progress.Callback)
      progress.Callback(progress.CallbackData, progress.Sender, static_cast<int32_t>((y + 1) * 100 / (height + 0.5)));
  }
}

}  // namespace imaging
