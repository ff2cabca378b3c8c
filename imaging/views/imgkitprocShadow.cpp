#include "imaging/views/imgkitprocShadow.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/core/ikutils.h"
#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsSupport.h"

namespace imaging {

void BuildGaussianKernel(TGaussianKernel& kernel, double sigma) {
  double sum = 0;
  for (int d = -100; d <= 100; ++d) {
    const double w = std::exp(-(d / sigma) * (d / sigma) / 2);
    kernel.Weights[static_cast<size_t>(d + 100)] = w;
    sum += w;
  }
  for (size_t i = 0; i < kernel.Weights.size(); ++i)
    kernel.IntWeights[i] = static_cast<int32_t>(std::nearbyint(kernel.Weights[i] * 65536 / sum));
  int radius = 100;
  while (radius > 1 && kernel.IntWeights[static_cast<size_t>(100 + radius)] == 0 &&
         kernel.IntWeights[static_cast<size_t>(100 - radius)] == 0)
    --radius;
  kernel.Radius = static_cast<uint8_t>(radius);
}

namespace {

// One line of `n` samples, `step` bytes apart in `channels` channels.
void BlurLine(const std::vector<uint8_t>& in, std::vector<uint8_t>& out, int32_t n, int32_t channels,
              const TGaussianKernel& k) {
  const int32_t r = k.Radius;
  for (int32_t i = 0; i < n; ++i) {
    for (int32_t c = 0; c < channels; ++c) {
      int64_t sum = 0;
      for (int32_t d = -r; d <= r; ++d) {
        const int32_t p = std::clamp(i + d, 0, n - 1);
        sum += static_cast<int64_t>(k.IntWeights[static_cast<size_t>(d + 100)]) *
               in[static_cast<size_t>(p) * channels + c];
      }
      out[static_cast<size_t>(i) * channels + c] = ClampByte(static_cast<int32_t>((sum + 32768) >> 16));
    }
  }
}

}  // namespace

void GaussianBlur(TIKBitmap* bitmap, forms::TObject* sender, TIKProgressProc callback, void* data, double sigma) {
  const TIKPixelFormat format = bitmap->PixelFormat();
  if (sigma <= 0 || (format != ikGray8 && format != ikRGB24) || bitmap->IsEmpty()) return;
  TGaussianKernel kernel;
  BuildGaussianKernel(kernel, sigma);
  const int32_t channels = format == ikRGB24 ? 3 : 1;
  const int32_t width = bitmap->Width(), height = bitmap->Height();
  const double total = height + width;
  // The rows are blurred in memory, then the columns, then written back:
  // the same result as row and column passes on the bitmap itself.
  std::vector<uint8_t> raster(static_cast<size_t>(width) * height * channels);
  const size_t rowBytes = static_cast<size_t>(width) * channels;
  std::vector<uint8_t> in(rowBytes), out(rowBytes);
  for (int32_t y = 0; y < height; ++y) {
    std::memcpy(in.data(), bitmap->ScanLine(y), rowBytes);
    BlurLine(in, out, width, channels, kernel);
    std::memcpy(raster.data() + y * rowBytes, out.data(), rowBytes);
    if (callback) callback(data, sender, static_cast<int32_t>(y * 100 / total));
  }
  std::vector<uint8_t> colIn(static_cast<size_t>(height) * channels), colOut(colIn.size());
  for (int32_t x = 0; x < width; ++x) {
    for (int32_t y = 0; y < height; ++y)
      std::memcpy(&colIn[static_cast<size_t>(y) * channels], &raster[y * rowBytes + static_cast<size_t>(x) * channels],
                  static_cast<size_t>(channels));
    BlurLine(colIn, colOut, height, channels, kernel);
    for (int32_t y = 0; y < height; ++y)
      std::memcpy(&raster[y * rowBytes + static_cast<size_t>(x) * channels], &colOut[static_cast<size_t>(y) * channels],
                  static_cast<size_t>(channels));
    if (callback) callback(data, sender, static_cast<int32_t>((height + x) * 100 / total));
  }
  for (int32_t y = 0; y < height; ++y) std::memcpy(bitmap->ScanLine(y), raster.data() + y * rowBytes, rowBytes);
}

void AddSoftShadow(TIKBitmap* bitmap, int32_t offsetX, int32_t offsetY, forms::TObject* sender,
                   TIKProgressProc callback, void* data, uint32_t shadowColor, bool enlarge, double radius) {
  if (bitmap->IsEmpty()) return;
  TIKBitmap* alpha = bitmap->GetAlphaChannel();
  if (!alpha) return;
  alpha->SetFull(false);
  if (enlarge) {
    const int32_t m = std::max(std::abs(offsetX), std::abs(offsetY));
    const int32_t grow = std::max(2 * m + static_cast<int32_t>(radius * 5), 1);
    bitmap->ResizeCanvas(bitmap->Width() + grow, bitmap->Height() + grow, 0, 0, 1, 1);
    alpha = bitmap->GetAlphaChannel();
  }
  const int32_t width = bitmap->Width(), height = bitmap->Height();
  std::vector<uint8_t> kept(static_cast<size_t>(width) * height);
  for (int32_t y = 0; y < height; ++y)
    std::memcpy(kept.data() + static_cast<size_t>(y) * width, alpha->ScanLine(y), static_cast<size_t>(width));
  GaussianBlur(alpha, sender, callback, data, radius);
  if (offsetX != 0 || offsetY != 0) alpha->MoveRect(0, 0, width - 1, height - 1, offsetX, offsetY, 0);
  const TIKPixelFormat format = bitmap->PixelFormat();
  const TRGB shadow = CreateRGB(static_cast<uint8_t>(shadowColor >> 16), static_cast<uint8_t>(shadowColor >> 8),
                                static_cast<uint8_t>(shadowColor));
  std::vector<uint8_t> a(static_cast<size_t>(width));
  for (int32_t y = 0; y < height; ++y) {
    std::memcpy(a.data(), alpha->ScanLine(y), a.size());
    auto* row = static_cast<uint8_t*>(bitmap->ScanLine(y));
    const uint8_t* s = kept.data() + static_cast<size_t>(y) * width;
    for (int32_t x = 0; x < width; ++x) {
      if (s[x] != 0 || s[x] == a[static_cast<size_t>(x)]) {
        a[static_cast<size_t>(x)] = s[x];
      } else if (format == ikRGB24) {
        std::memcpy(row + 3 * x, &shadow, 3);
      } else if (format == ikMono1) {
        SetBit(row, static_cast<uint32_t>(x), false);
      }
    }
    std::memcpy(alpha->ScanLine(y), a.data(), a.size());
  }
}

void MatchChannel(TIKBitmap* bitmap, int32_t channel, const std::array<int64_t, 256>& referenceCounts,
                  int64_t referenceTotal) {
  const TIKPixelFormat format = bitmap->PixelFormat();
  if ((format != ikRGB24 && format != ikRGB48) || bitmap->IsEmpty() || channel < 0 || channel > 2 ||
      referenceTotal <= 0)
    return;
  const int32_t width = bitmap->Width(), height = bitmap->Height();
  const bool wide = format == ikRGB48;
  // 48-bit pixels hold red, green, blue: blue is the third word.
  const int32_t word = 2 - channel;
  auto level = [&](const uint8_t* row, int32_t x) -> int32_t {
    if (!wide) return row[3 * x + channel];
    uint16_t v;
    std::memcpy(&v, row + 6 * x + 2 * word, 2);
    return v >> 8;
  };
  std::array<int64_t, 256> counts{};
  for (int32_t y = 0; y < height; ++y) {
    const auto* row = static_cast<const uint8_t*>(bitmap->ScanLine(y));
    for (int32_t x = 0; x < width; ++x) ++counts[static_cast<size_t>(level(row, x))];
  }
  const double pixels = static_cast<double>(width) * height;
  std::array<int32_t, 256> equalized{};
  int64_t cumulative = 0;
  for (int v = 0; v < 256; ++v) {
    cumulative += counts[static_cast<size_t>(v)];
    equalized[static_cast<size_t>(v)] = static_cast<int32_t>(cumulative * 255 / pixels);
  }
  std::array<double, 256> curve{};
  int64_t refCumulative = 0;
  for (int j = 0; j < 256; ++j) {
    refCumulative += referenceCounts[static_cast<size_t>(j)];
    curve[static_cast<size_t>(j)] = 255.0 / referenceTotal * refCumulative;
  }
  std::array<int32_t, 256> matched{};
  for (int i = 0; i < 256; ++i) {
    int32_t best = 0;
    double nearest = std::fabs(curve[0] - i);
    for (int j = 1; j < 256; ++j)
      if (std::fabs(curve[static_cast<size_t>(j)] - i) < nearest) {
        nearest = std::fabs(curve[static_cast<size_t>(j)] - i);
        best = j;
      }
    matched[static_cast<size_t>(i)] = best;
  }
  for (int32_t y = 0; y < height; ++y) {
    auto* row = static_cast<uint8_t*>(bitmap->ScanLine(y));
    for (int32_t x = 0; x < width; ++x) {
      const int32_t v = matched[static_cast<size_t>(equalized[static_cast<size_t>(level(row, x))])];
      if (!wide) {
        row[3 * x + channel] = static_cast<uint8_t>(v);
      } else {
        const auto w = static_cast<uint16_t>(v * 257);
        std::memcpy(row + 6 * x + 2 * word, &w, 2);
      }
    }
  }
}

void MatchHistograms(TIKBitmap* reference, TIKBitmap* bitmap) {
  if (reference->PixelFormat() != ikRGB24 || reference->IsEmpty() || bitmap->IsEmpty()) return;
  std::array<std::array<int64_t, 256>, 3> counts{};
  const int32_t width = reference->Width();
  for (int32_t y = 0; y < reference->Height(); ++y) {
    const auto* row = static_cast<const uint8_t*>(reference->ScanLine(y));
    for (int32_t x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c) ++counts[static_cast<size_t>(c)][row[3 * x + c]];
  }
  const int64_t total = static_cast<int64_t>(width) * reference->Height();
  for (int c = 0; c < 3; ++c) MatchChannel(bitmap, c, counts[static_cast<size_t>(c)], total);
}

bool RoundCorners(TIKBitmap* bitmap, int32_t rx, int32_t ry) {
  if (bitmap->IsEmpty() || rx == 0 || ry == 0) return false;
  TIKBitmap* alpha = bitmap->GetAlphaChannel();
  if (!alpha) return false;
  const int32_t width = bitmap->Width(), height = bitmap->Height();
  std::vector<TIKPoint> points;
  BezierPoints({0, ry}, {0, 0}, {rx, 0}, {rx, 0}, rx + ry, points);
  // For each row from the edge, how many pixels from each side go.
  std::vector<int32_t> cut(static_cast<size_t>(height), 0);
  for (const TIKPoint& p : points) {
    const int32_t columns = std::min(std::max(p.x, 0) + 1, width);
    for (int32_t y = 0; y <= std::min(p.y, height - 1); ++y)
      cut[static_cast<size_t>(y)] = std::max(cut[static_cast<size_t>(y)], columns);
  }
  bool allZero = true;
  for (int32_t y = 0; y < height; ++y) {
    auto* row = static_cast<uint8_t*>(alpha->ScanLine(y));
    const int32_t fromTop = cut[static_cast<size_t>(y)], fromBottom = cut[static_cast<size_t>(height - 1 - y)];
    const int32_t n = std::max(fromTop, fromBottom);
    for (int32_t x = 0; x < n; ++x) {
      row[x] = 0;
      row[width - 1 - x] = 0;
    }
    for (int32_t x = 0; x < width && allZero; ++x) allZero = row[x] == 0;
  }
  alpha->SetFull(false);
  return allZero;
}

}  // namespace imaging
