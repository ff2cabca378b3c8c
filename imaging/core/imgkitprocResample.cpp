#include "imaging/core/imgkitprocResample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/core/ikutils.h"
#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsSupport.h"

namespace imaging {

namespace {

// ---- kernels ----

double Sinc(double x) {
  if (x == 0) return 1;
  x *= M_PI;
  return std::sin(x) / x;
}
double TriangleK(double x) {
  const double a = std::fabs(x);
  return a < 1 ? 1 - a : 0;
}
double HermiteK(double x) {
  const double a = std::fabs(x);
  return a < 1 ? (2 * a - 3) * a * a + 1 : 0;
}
double BellK(double x) {
  const double a = std::fabs(x);
  if (a < 0.5) return 0.75 - a * a;
  if (a < 1.5) return 0.5 * (a - 1.5) * (a - 1.5);
  return 0;
}
double BSplineK(double x) {
  const double a = std::fabs(x);
  if (a < 1) return 0.5 * a * a * a - a * a + 2.0 / 3;
  if (a < 2) return (2 - a) * (2 - a) * (2 - a) / 6;
  return 0;
}
double Lanczos3K(double x) {
  const double a = std::fabs(x);
  return a < 3 ? Sinc(a) * Sinc(a / 3) : 0;
}
double MitchellK(double x) {
  const double a = std::fabs(x);
  if (a < 1) return (7 * a * a * a - 12 * a * a + 16.0 / 3) / 6;
  if (a < 2) return (-7.0 / 3 * a * a * a + 12 * a * a - 20 * a + 32.0 / 3) / 6;
  return 0;
}
double NearestK(double x) { return x > -0.5 && x <= 0.5 ? 1 : 0; }
double LinearK(double x) {
  if (x >= -1 && x < 0) return x + 1;
  if (x >= 0 && x < 1) return 1 - x;
  return 0;
}

void Report(TIKProgressProc callback, void* data, forms::TObject* sender, double n, double factor) {
  if (callback) callback(data, sender, static_cast<int32_t>(n * factor));
}

const uint8_t* Row(TIKBitmap* b, int32_t y) { return static_cast<const uint8_t*>(b->ScanLine(y)); }
uint8_t* DestRow(TIKBitmap* b, int32_t y) { return static_cast<uint8_t*>(b->ScanLine(y)); }

// A 1-bit row as one byte per pixel, 0 or 255.
void ExpandRow(const uint8_t* bits, int32_t width, uint8_t* out) {
  for (int32_t x = 0; x < width; ++x) out[x] = GetBit(bits, static_cast<uint32_t>(x)) ? 255 : 0;
}

// ---- two-pass kernel resampling ----

// Every destination index's source pairs, flattened: pairs first[i] ..
// first[i + 1] - 1 belong to destination index i.
struct TContributions {
  std::vector<int32_t> index;
  std::vector<int32_t> weight;
  std::vector<int32_t> first;
  std::vector<int32_t> sum;
};

TContributions BuildContributions(int32_t src, int32_t dst, const TResampleKernel& k) {
  const double scale = src > 1 && dst > 1 ? static_cast<double>(dst - 1) / (src - 1) : static_cast<double>(dst) / src;
  TContributions c;
  c.first.reserve(static_cast<size_t>(dst) + 1);
  c.sum.reserve(static_cast<size_t>(dst));
  const double width = scale >= 1 ? k.Support : k.Support / scale;
  c.index.reserve(static_cast<size_t>(dst) * static_cast<size_t>(2 * width + 1));
  for (int32_t i = 0; i < dst; ++i) {
    c.first.push_back(static_cast<int32_t>(c.index.size()));
    const double center = i / scale;
    int32_t total = 0;
    for (int32_t j = IntFloor(center - width); j <= IntCeiling(center + width); ++j) {
      const double w = scale >= 1 ? k.Kernel(center - j) * 256 : k.Kernel((center - j) * scale) * 256 * scale;
      const auto weight = static_cast<int32_t>(std::nearbyint(w));
      if (weight == 0) continue;
      int32_t n = j;
      if (n < 0) n = -n;
      if (n >= src) n = 2 * src - 1 - n;
      c.index.push_back(std::clamp(n, 0, src - 1));
      c.weight.push_back(weight);
      total += weight;
    }
    c.sum.push_back(total);
  }
  c.first.push_back(static_cast<int32_t>(c.index.size()));
  return c;
}

inline uint8_t WeightedValue(int32_t sum, int32_t weights) {
  return ClampByte(weights != 0 ? sum / weights : sum / 256);
}

// `channels` bytes per pixel in and out. fetch(y, buffer) hands out source
// row y (w x channels bytes); store(y, row) takes destination row y.
template <int C, class Fetch, class Store>
void KernelResample(int32_t w, int32_t h, int32_t W, int32_t H, const TResampleKernel& k, Fetch fetch, Store store,
                    TIKProgressProc callback, void* data, forms::TObject* sender) {
  const double factor = 100 / (h + W + 0.5);
  const TContributions cx = BuildContributions(w, W, k);
  std::vector<uint8_t> work(static_cast<size_t>(W) * h * C);
  std::vector<uint8_t> line(static_cast<size_t>(w) * C);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* in = fetch(y, line.data());
    uint8_t* out = work.data() + static_cast<size_t>(y) * W * C;
    for (int32_t i = 0; i < W; ++i) {
      int32_t s[C] = {};
      for (int32_t p = cx.first[i]; p < cx.first[i + 1]; ++p) {
        const uint8_t* px = in + static_cast<size_t>(cx.index[p]) * C;
        const int32_t wt = cx.weight[p];
        for (int c = 0; c < C; ++c) s[c] += wt * px[c];
      }
      for (int c = 0; c < C; ++c) out[i * C + c] = WeightedValue(s[c], cx.sum[i]);
    }
    Report(callback, data, sender, y + 1, factor);
  }
  // Rows of the destination one at a time: each value is the same
  // weighted average of its column as the column order would give, with
  // the work rows read in memory order.
  const TContributions cy = BuildContributions(h, H, k);
  std::vector<int32_t> acc(static_cast<size_t>(W) * C);
  std::vector<uint8_t> result(static_cast<size_t>(W) * C);
  for (int32_t j = 0; j < H; ++j) {
    std::fill(acc.begin(), acc.end(), 0);
    for (int32_t p = cy.first[j]; p < cy.first[j + 1]; ++p) {
      const uint8_t* in = work.data() + static_cast<size_t>(cy.index[p]) * W * C;
      const int32_t wt = cy.weight[p];
      int32_t* a = acc.data();
      for (size_t n = 0; n < acc.size(); ++n) a[n] += wt * in[n];
    }
    const int32_t weights = cy.sum[j];
    if (weights != 0) {
      for (size_t n = 0; n < acc.size(); ++n) result[n] = ClampByte(acc[n] / weights);
    } else {
      for (size_t n = 0; n < acc.size(); ++n) result[n] = ClampByte(acc[n] / 256);
    }
    store(j, result.data());
    Report(callback, data, sender, h + static_cast<double>(j + 1) * W / H, factor);
  }
}

bool KernelSizesUsable(int32_t w, int32_t h, int32_t W, int32_t H) {
  if (w <= 0 || h <= 0 || W <= 0 || H <= 0) return false;
  return !(w < 2 && h < 2);
}

// ---- fast linear ----

struct TFastColumn {
  int32_t q;
  int32_t p;
  int32_t r;
};

std::vector<TFastColumn> FastColumns(int32_t W, double dx) {
  std::vector<TFastColumn> cols(static_cast<size_t>(W));
  for (int32_t i = 0; i < W; ++i) {
    const double t = i / dx;
    cols[static_cast<size_t>(i)] = {static_cast<int32_t>(t), static_cast<int32_t>((t - std::trunc(t)) * 131072),
                                    static_cast<int32_t>(std::min(i + 1, W - 1) / dx + 1e-10)};
  }
  return cols;
}

// The fast linear passes on C bytes per pixel. `meanWhenReducing` false
// interpolates in both directions with the fraction applied by an
// arithmetic shift (the 1-bit path).
template <int C, class Fetch, class Store>
void FastLinearPasses(int32_t w, int32_t h, int32_t W, int32_t H, bool meanWhenReducing, Fetch fetch, Store store,
                      TIKProgressProc callback, void* data, forms::TObject* sender) {
  const double dx = static_cast<double>(W) / w, dy = static_cast<double>(H) / h;
  const double factor = 100 / (h + H + 0.5);
  const std::vector<TFastColumn> cols = FastColumns(W, dx);
  auto lerp = [meanWhenReducing](int32_t a, int32_t b, int32_t p) {
    return meanWhenReducing ? a + (b - a) * p / 131072 : a + ((b - a) * p >> 17);
  };
  std::vector<uint8_t> work(static_cast<size_t>(W) * h * C);
  std::vector<uint8_t> line(static_cast<size_t>(w) * C);
  const bool interpolateX = dx > 1 || !meanWhenReducing;
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* in = fetch(y, line.data());
    uint8_t* out = work.data() + static_cast<size_t>(y) * W * C;
    for (int32_t i = 0; i < W; ++i) {
      const TFastColumn& col = cols[static_cast<size_t>(i)];
      if (interpolateX) {
        const uint8_t* a = in + static_cast<size_t>(col.q) * C;
        const uint8_t* b = in + static_cast<size_t>(std::min(col.q + 1, w - 1)) * C;
        for (int c = 0; c < C; ++c) out[i * C + c] = static_cast<uint8_t>(lerp(a[c], b[c], col.p));
      } else {
        int32_t s[C] = {};
        for (int32_t x = col.q; x <= col.r; ++x)
          for (int c = 0; c < C; ++c) s[c] += in[static_cast<size_t>(x) * C + c];
        const int32_t n = col.r - col.q + 1;
        for (int c = 0; c < C; ++c) out[i * C + c] = static_cast<uint8_t>(s[c] / n);
      }
    }
    Report(callback, data, sender, y, factor);
  }
  const bool interpolateY = dy > 1 || !meanWhenReducing;
  const size_t rowBytes = static_cast<size_t>(W) * C;
  std::vector<uint8_t> result(rowBytes);
  std::vector<int32_t> acc(rowBytes);
  for (int32_t j = 0; j < H; ++j) {
    const double t = j / dy;
    const auto r0 = static_cast<int32_t>(t);
    if (interpolateY) {
      const auto p = static_cast<int32_t>((t - std::trunc(t)) * 131072);
      const uint8_t* a = work.data() + static_cast<size_t>(r0) * rowBytes;
      const uint8_t* b = work.data() + static_cast<size_t>(std::min(r0 + 1, h - 1)) * rowBytes;
      for (size_t n = 0; n < rowBytes; ++n) result[n] = static_cast<uint8_t>(lerp(a[n], b[n], p));
    } else {
      const auto r1 = static_cast<int32_t>(std::min(j + 1, H - 1) / dy);
      std::fill(acc.begin(), acc.end(), 0);
      for (int32_t r = r0; r <= r1; ++r) {
        const uint8_t* a = work.data() + static_cast<size_t>(r) * rowBytes;
        for (size_t n = 0; n < rowBytes; ++n) acc[n] += a[n];
      }
      const int32_t count = r1 - r0 + 1;
      for (size_t n = 0; n < rowBytes; ++n) result[n] = static_cast<uint8_t>(acc[n] / count);
    }
    store(j, result.data());
    Report(callback, data, sender, h + j, factor);
  }
}

// Row helpers for the passes.
auto FetchBytes(TIKBitmap* source, int32_t bytes) {
  return [source, bytes](int32_t y, uint8_t* buffer) {
    std::memcpy(buffer, Row(source, y), static_cast<size_t>(bytes));
    return static_cast<const uint8_t*>(buffer);
  };
}
auto FetchBits(TIKBitmap* source) {
  return [source](int32_t y, uint8_t* buffer) {
    ExpandRow(Row(source, y), source->Width(), buffer);
    return static_cast<const uint8_t*>(buffer);
  };
}
auto StoreBytes(TIKBitmap* dest, int32_t bytes) {
  return [dest, bytes](int32_t y, const uint8_t* row) { std::memcpy(DestRow(dest, y), row, static_cast<size_t>(bytes)); };
}
// One gray byte per pixel into a 24-bit row.
auto StoreGrayAs24(TIKBitmap* dest) {
  return [dest](int32_t y, const uint8_t* row) {
    uint8_t* out = DestRow(dest, y);
    for (int32_t x = 0; x < dest->Width(); ++x) std::memset(out + 3 * x, row[x], 3);
  };
}

bool BothEmptyOr(TIKBitmap* source, TIKBitmap* dest) {
  return source->Width() <= 0 || source->Height() <= 0 || dest->Width() <= 0 || dest->Height() <= 0;
}

}  // namespace

TResampleKernel ResampleKernelOf(TResampleFilter filter) {
  switch (filter) {
    case rfTriangle: return {TriangleK, 1.0};
    case rfHermite: return {HermiteK, 1.0};
    case rfBell: return {BellK, 1.5};
    case rfBSpline: return {BSplineK, 2.0};
    case rfLanczos3: return {Lanczos3K, 3.0};
    case rfMitchell: return {MitchellK, 2.0};
    case rfNearest: return {NearestK, 1.0};
    case rfLinear: return {LinearK, 1.0};
    default: return {nullptr, 0};
  }
}

// ---- fast linear ----

void FastLinear24(TIKBitmap* source, TIKBitmap* dest, forms::TObject* sender, TIKProgressProc callback, void* data) {
  if (BothEmptyOr(source, dest) || source->PixelFormat() != ikRGB24 || dest->PixelFormat() != ikRGB24) return;
  TIKAccessScope scope(source, dest);
  const int32_t w = source->Width(), h = source->Height(), W = dest->Width(), H = dest->Height();
  if (w == W && h == H) {
    for (int32_t y = 0; y < h; ++y) std::memcpy(DestRow(dest, y), Row(source, y), static_cast<size_t>(w) * 3);
    return;
  }
  FastLinearPasses<3>(w, h, W, H, true, FetchBytes(source, w * 3), StoreBytes(dest, W * 3), callback, data, sender);
}

void FastLinear8(TIKBitmap* source, TIKBitmap* dest) {
  if (BothEmptyOr(source, dest) || source->BitCount() != 8 || dest->BitCount() != 8) return;
  TIKAccessScope scope(source, dest);
  const int32_t w = source->Width(), h = source->Height(), W = dest->Width(), H = dest->Height();
  if (w == W && h == H) {
    for (int32_t y = 0; y < h; ++y) std::memcpy(DestRow(dest, y), Row(source, y), static_cast<size_t>(w));
    return;
  }
  FastLinearPasses<1>(w, h, W, H, true, FetchBytes(source, w), StoreBytes(dest, W), nullptr, nullptr, nullptr);
}

namespace {

void Linear1BitToGray24(TIKBitmap* source, TIKBitmap* dest) {
  const int32_t w = source->Width(), h = source->Height(), W = dest->Width(), H = dest->Height();
  if (w == W && h == H) {
    TIKAccessScope scope(source, dest);
    std::vector<uint8_t> line(static_cast<size_t>(w));
    auto store = StoreGrayAs24(dest);
    for (int32_t y = 0; y < h; ++y) {
      ExpandRow(Row(source, y), w, line.data());
      store(y, line.data());
    }
    return;
  }
  if (W >= w || H >= h) {
    TIKAccessScope scope(source, dest);
    FastLinearPasses<1>(w, h, W, H, false, FetchBits(source), StoreGrayAs24(dest), nullptr, nullptr, nullptr);
    return;
  }
  Stretch1BitRect(source, 0, 0, dest, h - 1, w - 1);
}

}  // namespace

// ---- projections ----

namespace {

template <class Test>
void Project(TIKBitmap* source, TIKBitmap* dest, bool keepBright, Test hit, forms::TObject* sender,
             TIKProgressProc callback, void* data) {
  const int32_t w = source->Width(), h = source->Height(), W = dest->Width(), H = dest->Height();
  if (dest->PixelFormat() != ikMono1) dest->Allocate(W, H, ikMono1);
  TIKAccessScope scope(source, dest);
  std::vector<int32_t> xs(static_cast<size_t>(W));
  for (int32_t i = 0; i < W; ++i) xs[static_cast<size_t>(i)] = static_cast<int32_t>(static_cast<double>(w) / W * i);
  const double f = static_cast<double>(h) / H;
  const double factor = 100 / (H + 0.5);
  std::vector<uint8_t> out(static_cast<size_t>(dest->RowLength()));
  std::vector<uint8_t> rowCopy(static_cast<size_t>(source->RowLength()));
  for (int32_t j = 0; j < H; ++j) {
    std::fill(out.begin(), out.end(), keepBright ? 0 : 0xFF);
    const int32_t y0 = j == 0 ? 0 : static_cast<int32_t>(f * (j - 1));
    // The last row and column reach the source's end: a reduction must not
    // drop the pixels beyond trunc(f x (H - 1)), the very ones it keeps.
    const int32_t y1 = j == H - 1 ? h - 1 : std::min(j == 0 ? 0 : static_cast<int32_t>(f * j), h - 1);
    for (int32_t y = y0; y <= y1; ++y) {
      std::memcpy(rowCopy.data(), Row(source, y), rowCopy.size());
      for (int32_t i = 0; i < W; ++i) {
        const int32_t x0 = i == 0 ? 0 : xs[static_cast<size_t>(i - 1)];
        const int32_t x1 = i == W - 1 ? w - 1 : std::min(xs[static_cast<size_t>(i)], w - 1);
        for (int32_t x = x0; x <= x1; ++x) {
          if (hit(rowCopy.data(), x)) {
            SetBit(out.data(), static_cast<uint32_t>(i), keepBright);
            break;
          }
        }
      }
    }
    std::memcpy(DestRow(dest, j), out.data(), out.size());
    Report(callback, data, sender, j, factor);
  }
}

}  // namespace

void Project1Bit(TIKBitmap* source, TIKBitmap* dest, bool keepBright) {
  if (BothEmptyOr(source, dest) || source->PixelFormat() != ikMono1) return;
  Project(
      source, dest, keepBright,
      [keepBright](const uint8_t* row, int32_t x) { return (GetBit(row, static_cast<uint32_t>(x)) != 0) == keepBright; },
      nullptr, nullptr, nullptr);
}

void Project24To1Bit(TIKBitmap* source, TIKBitmap* dest, bool keepBright, forms::TObject* sender,
                     TIKProgressProc callback, void* data) {
  if (BothEmptyOr(source, dest) || source->PixelFormat() != ikRGB24) return;
  Project(
      source, dest, keepBright,
      [keepBright](const uint8_t* row, int32_t x) {
        const uint8_t* p = row + 3 * x;
        return keepBright ? p[0] > 128 && p[1] > 128 && p[2] > 128 : p[0] < 128 && p[1] < 128 && p[2] < 128;
      },
      sender, callback, data);
}

// ---- area resampling ----

namespace {

// One piece of a destination pixel's footprint along one axis: the source
// pixel it lies in, its length, and where it ends inside that pixel.
struct TPiece {
  int32_t index;
  double length;
  double end;
};

std::vector<std::vector<TPiece>> Footprints(int32_t src, int32_t dst) {
  const double g = static_cast<double>(src) / dst;
  std::vector<std::vector<TPiece>> all(static_cast<size_t>(dst));
  for (int32_t i = 0; i < dst; ++i) {
    const double a = i * g, b = std::min((i + 1) * g, static_cast<double>(src));
    double pos = a;
    while (pos < b - 1e-12) {
      const auto cell = std::min(static_cast<int32_t>(pos), src - 1);
      const double next = std::min(static_cast<double>(cell + 1), b);
      const double end = next - cell;
      all[static_cast<size_t>(i)].push_back({cell, next - pos, end >= 1 - 1e-12 ? 1.0 : end});
      pos = next;
    }
  }
  return all;
}

inline double CubicWeight(double t) {
  t = std::fabs(t);
  if (t < 1) return t * t * t - 2 * t * t + 1;
  if (t < 2) return -t * t * t + 5 * t * t - 8 * t + 4;
  return 0;
}

}  // namespace

void AreaResample24(TIKBitmap* source, TIKBitmap* dest, bool cubic, forms::TObject* sender, TIKProgressProc callback,
                    void* data) {
  if (BothEmptyOr(source, dest) || source->PixelFormat() != ikRGB24 || dest->PixelFormat() != ikRGB24) return;
  TIKAccessScope scope(source, dest);
  const int32_t w = source->Width(), h = source->Height(), W = dest->Width(), H = dest->Height();
  const double gx = static_cast<double>(w) / W, gy = static_cast<double>(h) / H;
  const double area = gx * gy;
  const auto fx = Footprints(w, W), fy = Footprints(h, H);
  // Trunc of a sum of areas: a uniform picture must not lose a level to
  // the last bit of the floating-point sum.
  constexpr double kEpsilon = 1e-6;
  const size_t rowBytes = static_cast<size_t>(W) * 3;
  std::vector<uint8_t> out(rowBytes);
  if (W < w && H < h) {
    // Reducing both ways: each piece is the source pixel under it, so the
    // pixel is a separable area average, one source row at a time.
    std::vector<double> across(rowBytes), acc(rowBytes);
    int32_t nextRow = 0;
    for (int32_t j = 0; j < H; ++j) {
      std::fill(acc.begin(), acc.end(), 0.0);
      for (const TPiece& py : fy[static_cast<size_t>(j)]) {
        const uint8_t* in = Row(source, py.index);
        for (int32_t i = 0; i < W; ++i) {
          double s0 = 0, s1 = 0, s2 = 0;
          for (const TPiece& px : fx[static_cast<size_t>(i)]) {
            const uint8_t* p = in + static_cast<size_t>(px.index) * 3;
            s0 += px.length * p[0];
            s1 += px.length * p[1];
            s2 += px.length * p[2];
          }
          acc[3 * i] += py.length * s0;
          acc[3 * i + 1] += py.length * s1;
          acc[3 * i + 2] += py.length * s2;
        }
        nextRow = py.index + 1;
      }
      for (size_t n = 0; n < rowBytes; ++n) out[n] = ClampByte(static_cast<int32_t>(acc[n] / area + kEpsilon));
      std::memcpy(DestRow(dest, j), out.data(), rowBytes);
      if (callback) callback(data, sender, static_cast<int32_t>(static_cast<double>(j + 1) / H * 100));
    }
    (void)nextRow;
    return;
  }
  // Enlarging in at least one direction: every piece is interpolated at its
  // far edge inside its source pixel.
  std::vector<std::vector<uint8_t>> rows(static_cast<size_t>(h));
  auto sourceRow = [&](int32_t y) -> const uint8_t* {
    y = std::clamp(y, 0, h - 1);
    auto& r = rows[static_cast<size_t>(y)];
    if (r.empty()) {
      r.resize(static_cast<size_t>(w) * 3);
      std::memcpy(r.data(), Row(source, y), r.size());
    }
    return r.data();
  };
  auto pixel = [&](int32_t x, int32_t y, int c) {
    return static_cast<double>(sourceRow(y)[static_cast<size_t>(std::clamp(x, 0, w - 1)) * 3 + c]);
  };
  auto along = [&](int32_t x, int32_t y, double t, int c) {
    if (!cubic) return pixel(x, y, c) + (pixel(x + 1, y, c) - pixel(x, y, c)) * t;
    double v = 0;
    for (int k = -1; k <= 2; ++k) v += CubicWeight(t - k) * pixel(x + k, y, c);
    return std::trunc(std::clamp(v + kEpsilon, 0.0, 255.0));
  };
  for (int32_t j = 0; j < H; ++j) {
    for (int32_t i = 0; i < W; ++i) {
      double s[3] = {0, 0, 0};
      for (const TPiece& py : fy[static_cast<size_t>(j)]) {
        for (const TPiece& px : fx[static_cast<size_t>(i)]) {
          const double a = px.length * py.length;
          for (int c = 0; c < 3; ++c) {
            double v;
            if (!cubic) {
              const double top = along(px.index, py.index, px.end, c);
              const double bottom = along(px.index, py.index + 1, px.end, c);
              v = top + (bottom - top) * py.end;
            } else {
              double col = 0;
              for (int k = -1; k <= 2; ++k) col += CubicWeight(py.end - k) * along(px.index, py.index + k, px.end, c);
              v = std::trunc(std::clamp(col + kEpsilon, 0.0, 255.0));
            }
            s[c] += a * v;
          }
        }
      }
      for (int c = 0; c < 3; ++c) out[static_cast<size_t>(i) * 3 + c] = ClampByte(static_cast<int32_t>(s[c] / area + kEpsilon));
    }
    std::memcpy(DestRow(dest, j), out.data(), rowBytes);
    if (callback) callback(data, sender, static_cast<int32_t>(static_cast<double>(j + 1) / H * 100));
  }
}

// ---- 1-bit area average ----

void Stretch1BitRect(TIKBitmap* source, int32_t x1, int32_t y1, TIKBitmap* dest, int32_t y2, int32_t x2) {
  if (BothEmptyOr(source, dest) || source->PixelFormat() != ikMono1 || dest->PixelFormat() != ikRGB24) return;
  TIKAccessScope scope(source, dest);
  const int32_t sw = source->Width(), sh = source->Height(), W = dest->Width(), H = dest->Height();
  const double fx = static_cast<double>(x2 - x1 + 1) / W, fy = static_cast<double>(y2 - y1 + 1) / H;
  // The block bounds are clamped again after the rectangle's corner is
  // added: a rectangle reaching past the source must not read past it.
  auto bound = [](double v, int32_t size, int32_t origin) {
    return std::clamp(origin + std::clamp(static_cast<int32_t>(v), 0, size - 1), 0, size - 1);
  };
  std::vector<int32_t> cx0(static_cast<size_t>(W)), cx1(static_cast<size_t>(W));
  for (int32_t i = 0; i < W; ++i) {
    cx0[static_cast<size_t>(i)] = bound(fx * i - fx / 2, sw, x1);
    cx1[static_cast<size_t>(i)] = bound(fx / 2 + fx * i, sw, x1);
  }
  std::vector<int64_t> counts(static_cast<size_t>(W));
  std::vector<uint8_t> out(static_cast<size_t>(W) * 3);
  std::vector<uint8_t> line(static_cast<size_t>(sw));
  for (int32_t j = 0; j < H; ++j) {
    const int32_t r0 = bound(fy * j - fy / 2, sh, y1);
    const int32_t r1 = bound(std::trunc(fy) / 2 + fy * j, sh, y1);
    std::fill(counts.begin(), counts.end(), 0);
    for (int32_t y = r0; y <= r1; ++y) {
      ExpandRow(Row(source, y), sw, line.data());
      for (int32_t i = 0; i < W; ++i)
        for (int32_t x = cx0[static_cast<size_t>(i)]; x <= cx1[static_cast<size_t>(i)]; ++x)
          counts[static_cast<size_t>(i)] += line[static_cast<size_t>(x)] != 0;
    }
    const int32_t rows = std::max(0, r1 - r0 + 1);
    for (int32_t i = 0; i < W; ++i) {
      const int64_t pixels =
          static_cast<int64_t>(rows) * std::max(0, cx1[static_cast<size_t>(i)] - cx0[static_cast<size_t>(i)] + 1);
      const auto v = static_cast<uint8_t>(pixels > 0 ? 255 * counts[static_cast<size_t>(i)] / pixels : 0);
      std::memset(out.data() + 3 * i, v, 3);
    }
    std::memcpy(DestRow(dest, j), out.data(), out.size());
  }
}

// ---- dispatch by source kind ----

void Resample24(TIKBitmap* source, TIKBitmap* dest, TResampleFilter filter, forms::TObject* sender,
                TIKProgressProc callback, void* data) {
  if (source->PixelFormat() != ikRGB24) return;
  switch (filter) {
    case rfNone: return;
    case rfFastLinear: FastLinear24(source, dest, sender, callback, data); return;
    case rfBilinear: AreaResample24(source, dest, false, sender, callback, data); return;
    case rfBicubic: AreaResample24(source, dest, true, sender, callback, data); return;
    case rfProjectBW: Project24To1Bit(source, dest, false, sender, callback, data); return;
    case rfProjectWB: Project24To1Bit(source, dest, true, sender, callback, data); return;
    default: break;
  }
  const int32_t w = source->Width(), h = source->Height(), W = dest->Width(), H = dest->Height();
  if (!KernelSizesUsable(w, h, W, H) || dest->PixelFormat() != ikRGB24) return;
  TIKAccessScope scope(source, dest);
  KernelResample<3>(w, h, W, H, ResampleKernelOf(filter), FetchBytes(source, w * 3), StoreBytes(dest, W * 3),
                    callback, data, sender);
}

void Resample1Bit(TIKBitmap* source, TIKBitmap* dest, TResampleFilter filter) {
  if (source->PixelFormat() != ikMono1) return;
  switch (filter) {
    case rfNone: return;
    case rfFastLinear:
    case rfBilinear:
    case rfBicubic:
      if (BothEmptyOr(source, dest) || dest->PixelFormat() != ikRGB24) return;
      Linear1BitToGray24(source, dest);
      return;
    case rfProjectBW: Project1Bit(source, dest, false); return;
    case rfProjectWB: Project1Bit(source, dest, true); return;
    default: break;
  }
  const int32_t w = source->Width(), h = source->Height(), W = dest->Width(), H = dest->Height();
  if (!KernelSizesUsable(w, h, W, H) || dest->PixelFormat() != ikRGB24) return;
  TIKAccessScope scope(source, dest);
  KernelResample<1>(w, h, W, H, ResampleKernelOf(filter), FetchBits(source), StoreGrayAs24(dest), nullptr, nullptr,
                    nullptr);
}

void ResampleGray8(TIKBitmap* source, TIKBitmap* dest, TResampleFilter filter) {
  if (source->BitCount() != 8 || dest->BitCount() != 8) return;
  switch (filter) {
    case rfNone: return;
    case rfFastLinear:
    case rfBilinear:
    case rfBicubic:
    case rfProjectBW:
    case rfProjectWB: FastLinear8(source, dest); return;
    default: break;
  }
  const int32_t w = source->Width(), h = source->Height(), W = dest->Width(), H = dest->Height();
  if (!KernelSizesUsable(w, h, W, H)) return;
  TIKAccessScope scope(source, dest);
  KernelResample<1>(w, h, W, H, ResampleKernelOf(filter), FetchBytes(source, w), StoreBytes(dest, W), nullptr, nullptr,
                    nullptr);
}

}  // namespace imaging
