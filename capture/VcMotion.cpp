// The motion detector. The alarms ask for one cell per video pixel, so the
// scan is built around that case: a sampled row that is the only one of
// its cell row, whose cells all carry one digit, is counted sixteen pixels
// at a time, and its few cells that hold more than one sampled pixel are
// weighted afterwards; every other layout takes the general walk, which
// gives the same numbers.
#include "capture/VcMotion.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace capture {

namespace {

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

inline int32_t AbsDiff(uint8_t a, uint8_t b) { return a > b ? a - b : b - a; }

#if defined(__SSE2__)
// Pixels of a contiguous row (step 1) with any compared byte differing by
// more than Threshold. Mask holds 0xFF at the compared bytes, repeating
// every pixel, over 48 bytes (16 pixels of 3 bytes, or of 4 bytes over 64).
template <int Bpp>
inline __attribute__((always_inline)) int64_t CountChangedKernel(const uint8_t* cur, const uint8_t* prev,
                                                                 int32_t count, uint8_t threshold, const uint8_t* mask,
                                                                 int32_t& done) {
  constexpr int32_t kBytes = 16 * Bpp;
  constexpr int32_t kVectors = kBytes / 16;
  const __m128i thr = _mm_set1_epi8(static_cast<char>(threshold));
  const __m128i zero = _mm_setzero_si128();
  __m128i m[kVectors];
  for (int i = 0; i < kVectors; ++i) m[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask + 16 * i));
  // Bit 0 of every pixel's group of bits, after the group is folded onto it.
  constexpr uint64_t kPixelBits = Bpp == 3 ? 0x249249249249ull : 0x1111111111111111ull;
  int64_t changed = 0;
  int32_t x = 0;
  for (; x + 16 <= count; x += 16) {
    uint64_t bits = 0;
    for (int i = 0; i < kVectors; ++i) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cur + Bpp * x + 16 * i));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prev + Bpp * x + 16 * i));
      const __m128i diff = _mm_and_si128(_mm_or_si128(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a)), m[i]);
      // Above the threshold wherever the saturated difference is not zero.
      const __m128i over = _mm_cmpeq_epi8(_mm_subs_epu8(diff, thr), zero);
      bits |= static_cast<uint64_t>(~_mm_movemask_epi8(over) & 0xFFFF) << (16 * i);
    }
    bits |= bits >> 1;
    bits |= bits >> 1;
    if constexpr (Bpp == 4) bits |= bits >> 1;
    changed += __builtin_popcountll(bits & kPixelBits);
  }
  done = x;
  return changed;
}

// The count instruction where the processor has it (nearly all do); the
// library's bit count otherwise.
template <int Bpp>
__attribute__((target("popcnt"))) int64_t CountChangedPopcnt(const uint8_t* cur, const uint8_t* prev, int32_t count,
                                                             uint8_t threshold, const uint8_t* mask, int32_t& done) {
  return CountChangedKernel<Bpp>(cur, prev, count, threshold, mask, done);
}

// The same over 32 pixels at a time where the processor has the wide
// registers; Mask then covers 32 pixels.
__attribute__((target("avx2,popcnt"))) inline uint32_t ChangedBytesAvx2(const uint8_t* cur, const uint8_t* prev,
                                                                        __m256i mask, __m256i thr) {
  const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cur));
  const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(prev));
  const __m256i diff = _mm256_and_si256(_mm256_or_si256(_mm256_subs_epu8(a, b), _mm256_subs_epu8(b, a)), mask);
  const __m256i same = _mm256_cmpeq_epi8(_mm256_subs_epu8(diff, thr), _mm256_setzero_si256());
  return ~static_cast<uint32_t>(_mm256_movemask_epi8(same));
}

template <int Bpp>
__attribute__((target("avx2,popcnt"))) int64_t CountChangedAvx2(const uint8_t* cur, const uint8_t* prev,
                                                                 int32_t count, uint8_t threshold, const uint8_t* mask,
                                                                 int32_t& done) {
  const __m256i thr = _mm256_set1_epi8(static_cast<char>(threshold));
  __m256i m[Bpp];
  for (int i = 0; i < Bpp; ++i) m[i] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(mask + 32 * i));
  int64_t changed = 0;
  int32_t x = 0;
  for (; x + 32 <= count; x += 32) {
    const uint8_t* c = cur + Bpp * x;
    const uint8_t* p = prev + Bpp * x;
    if constexpr (Bpp == 3) {
      // 96 byte bits; pixel 21 straddles the two words.
      const uint64_t lo = ChangedBytesAvx2(c, p, m[0], thr) | static_cast<uint64_t>(ChangedBytesAvx2(c + 32, p + 32, m[1], thr)) << 32;
      const uint64_t hi = ChangedBytesAvx2(c + 64, p + 64, m[2], thr);
      const uint64_t flo = lo | (lo >> 1 | hi << 63) | (lo >> 2 | hi << 62);
      const uint64_t fhi = hi | hi >> 1 | hi >> 2;
      // Pixels 0..21 start at bits 0, 3, .., 63; pixels 22..31 at 2, 5, .., 29.
      changed += __builtin_popcountll(flo & 0x9249249249249249ull) + __builtin_popcountll(fhi & 0x24924924ull);
    } else {
      uint64_t w[2];
      for (int i = 0; i < 2; ++i) {
        const uint64_t v = ChangedBytesAvx2(c + 64 * i, p + 64 * i, m[2 * i], thr) |
                           static_cast<uint64_t>(ChangedBytesAvx2(c + 64 * i + 32, p + 64 * i + 32, m[2 * i + 1], thr)) << 32;
        w[i] = v | v >> 1 | v >> 2 | v >> 3;
      }
      changed += __builtin_popcountll(w[0] & 0x1111111111111111ull) + __builtin_popcountll(w[1] & 0x1111111111111111ull);
    }
  }
  int32_t rest = 0;
  changed += CountChangedKernel<Bpp>(cur + Bpp * x, prev + Bpp * x, count - x, threshold, mask, rest);
  done = x + rest;
  return changed;
}

template <int Bpp>
int64_t CountChangedContiguous(const uint8_t* cur, const uint8_t* prev, int32_t count, uint8_t threshold,
                               const uint8_t* mask, int32_t& done) {
  static const int level = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") ? 2
                           : __builtin_cpu_supports("popcnt")                                 ? 1
                                                                                               : 0;
  if (level == 2) return CountChangedAvx2<Bpp>(cur, prev, count, threshold, mask, done);
  if (level == 1) return CountChangedPopcnt<Bpp>(cur, prev, count, threshold, mask, done);
  return CountChangedKernel<Bpp>(cur, prev, count, threshold, mask, done);
}
#endif

}  // namespace

int32_t DibStride(const win::DIBSECTION& Section) {
  const int64_t width = std::abs(static_cast<int64_t>(Section.dsBmih.biWidth));
  const int64_t packed = ((width * Section.dsBmih.biBitCount + 31) / 32) * 4;
  // A section that states a shorter row than its pixels need is read as
  // packed to 4 bytes, never shorter.
  return static_cast<int32_t>(std::max<int64_t>(Section.dsBm.bmWidthBytes, packed));
}

TImplMotionDetector::TImplMotionDetector() {
  SetGridSize(10, 10);
  FillGrid(DefaultDigit);
  SkipNextResult = true;
  FrameSizeChanged = false;
}

bool TImplMotionDetector::ValidateGrid(const rtl::String& S) const {
  const size_t l = static_cast<size_t>(GridRows) * static_cast<size_t>(GridColumns + 1) - 1;
  if (S.size() < l) return false;
  // Trimming shortens the first L characters; only an untrimmed text can
  // still be L long.
  if (IsBlankOrControl(S[0]) || IsBlankOrControl(S[l - 1])) return false;
  for (size_t i = 0; i < l; ++i) {
    const bool separator = (i + 1) % static_cast<size_t>(GridColumns + 1) == 0;
    if (separator ? S[i] != ' ' : (S[i] < '0' || S[i] > '9')) return false;
  }
  return true;
}

void TImplMotionDetector::SetGridString(const rtl::String& S) {
  GridValid = ValidateGrid(S);
  if (!GridValid || S == Grid) return;
  Grid = S;
  for (int32_t r = 0; r < GridRows; ++r)
    for (int32_t c = 0; c < GridColumns; ++c)
      SetCell(c, r, S[static_cast<size_t>(r) * static_cast<size_t>(GridColumns + 1) + static_cast<size_t>(c)] - '0');
}

void TImplMotionDetector::SetCell(int32_t Column, int32_t Row, int32_t Digit) {
  if (Column < 0 || Column >= GridColumns || Row < 0 || Row >= GridRows || Digit < 0 || Digit > 9) return;
  Digits_[Cell(Column, Row)] = static_cast<uint8_t>(Digit);
  RowDigitDirty_ = true;
}

void TImplMotionDetector::RebuildGridString() {
  rtl::String s;
  s.reserve(static_cast<size_t>(GridRows) * static_cast<size_t>(GridColumns + 1));
  for (int32_t r = 0; r < GridRows; ++r) {
    if (r) s += ' ';
    for (int32_t c = 0; c < GridColumns; ++c) s += static_cast<char>('0' + Digit(c, r));
  }
  Grid = std::move(s);
  GridValid = true;
}

void TImplMotionDetector::SetGlobalSensitivity(int32_t Digit) {
  if (Digit < 0 || Digit > 9) return;
  std::fill(Digits_.begin(), Digits_.end(), static_cast<uint8_t>(Digit));
  RowDigitDirty_ = true;
  RebuildGridString();
}

void TImplMotionDetector::FillGrid(int32_t Digit) {
  const rtl::String group = rtl::String(static_cast<size_t>(GridColumns), static_cast<char>('0' + Digit)) + " ";
  rtl::String s;
  s.reserve(group.size() * static_cast<size_t>(GridRows));
  for (int32_t r = 0; r < GridRows; ++r) s += group;
  SetGridString(s);
}

void TImplMotionDetector::SetGridSize(int32_t Columns, int32_t Rows) {
  if (Columns <= 0 || Rows <= 0) return;
  GridColumns = Columns;
  GridRows = Rows;
  Digits_.assign(static_cast<size_t>(Columns) * static_cast<size_t>(Rows), 0);
  RowDigitDirty_ = true;
  ColumnBounds_.assign(static_cast<size_t>(Columns), 0);
  RowBounds_.assign(static_cast<size_t>(Rows), 0);
  Changed_.assign(static_cast<size_t>(Columns), 0);
  Compared_.assign(static_cast<size_t>(Columns), 0);
  // The fresh cells hold no digit yet: the fill must be applied even when
  // its text equals the last accepted one.
  Grid.clear();
  FillGrid(DefaultDigit);
  SkipNextResult = true;
  FrameSizeChanged = true;
}

void TImplMotionDetector::ResetCounters() {
  std::fill(Changed_.begin(), Changed_.end(), 0);
  std::fill(Compared_.begin(), Compared_.end(), 0);
  GlobalMotionRatio = 0;
}

void TImplMotionDetector::ComputePixelStep(int32_t Width, int32_t Height) {
  if (ReduceCPULoad > 0)
    PixelStep = ReduceCPULoad;
  else if (Width >= 640 || Height >= 480)
    PixelStep = 8;
  else if (Width >= 420 || Height >= 250)
    PixelStep = 6;
  else if (Width >= 160 || Height >= 120)
    PixelStep = 4;
  else
    PixelStep = 2;
}

void TImplMotionDetector::ComputeCellBounds(int32_t Width, int32_t Height) {
  if (Width == 0 || Height == 0) return;
  CellWidth = static_cast<double>(Width) / GridColumns;
  CellHeight = static_cast<double>(Height) / GridRows;
  // Halves go to even, the default rounding of the FPU.
  for (int32_t i = 0; i + 1 < GridColumns; ++i)
    ColumnBounds_[static_cast<size_t>(i)] = static_cast<int32_t>(std::nearbyint((i + 1) * CellWidth));
  ColumnBounds_[static_cast<size_t>(GridColumns - 1)] = INT32_MAX;
  for (int32_t i = 0; i + 1 < GridRows; ++i)
    RowBounds_[static_cast<size_t>(i)] = static_cast<int32_t>(std::nearbyint((i + 1) * CellHeight));
  RowBounds_[static_cast<size_t>(GridRows - 1)] = INT32_MAX;
  PlanScan(Width, Height);
}

void TImplMotionDetector::SetMaxDetectionsPerSecond(double Value) {
  if (Value < 0) return;
  MaxDetectionsPerSecond = Value;
  MinCompareInterval = Value > 0 ? static_cast<int64_t>(std::nearbyint(10'000'000.0 / Value)) : 0;
}

void TImplMotionDetector::PlanScan(int32_t Width, int32_t Height) {
  // The cell of a sampled pixel advances at most one cell per sampled
  // pixel; the plan keeps that walk so the scan never searches.
  Runs_.clear();
  SampledColumns_ = 0;
  int32_t c = 0;
  for (int32_t x = 0; x < Width; x += PixelStep, ++SampledColumns_) {
    if (c < GridColumns - 1 && ColumnBounds_[static_cast<size_t>(c)] < x) ++c;
    if (Runs_.empty() || Runs_.back().Column != c)
      Runs_.push_back({c, SampledColumns_, 1});
    else
      ++Runs_.back().Count;
  }
  MultiRuns_.clear();
  MultiRunPixels_ = 0;
  for (const TRun& run : Runs_)
    if (run.Count > 1) {
      MultiRuns_.push_back(run);
      MultiRunPixels_ += run.Count;
    }
  SampledRowCells_.clear();
  int32_t r = 0;
  for (int32_t y = 0; y < Height; y += PixelStep) {
    if (r < GridRows - 1 && RowBounds_[static_cast<size_t>(r)] < y) ++r;
    SampledRowCells_.push_back(r);
  }
  GeometryWidth_ = Width;
  GeometryHeight_ = Height;
}

void TImplMotionDetector::ConvertToGrey(uint8_t* Bits, int32_t Width, int32_t Height, int32_t Stride) const {
  const int32_t bpp = BytesPerPixel;
  for (int32_t y = 0; y < Height; y += PixelStep) {
    uint8_t* row = Bits + static_cast<ptrdiff_t>(Height - 1 - y) * Stride;
    for (int32_t x = 0; x < Width; x += PixelStep) {
      uint8_t* p = row + static_cast<ptrdiff_t>(x) * bpp;
      const uint8_t g = static_cast<uint8_t>((p[0] + p[1] + p[2]) / 3);
      p[0] = p[1] = p[2] = g;
    }
  }
}

void TImplMotionDetector::ReduceNoise(uint8_t* Bits, int32_t Width, int32_t Height, int32_t Stride) {
  if (Width < 3 || Height < 3) return;
  const int32_t bpp = BytesPerPixel;
  const size_t rowBytes = static_cast<size_t>(Width) * static_cast<size_t>(bpp);
  NoiseCopy_.resize(rowBytes * static_cast<size_t>(Height));
  for (int32_t y = 0; y < Height; ++y)
    std::memcpy(NoiseCopy_.data() + rowBytes * static_cast<size_t>(y), Bits + static_cast<ptrdiff_t>(y) * Stride,
                rowBytes);
  const uint8_t* copy = NoiseCopy_.data();
  auto src = [&](int32_t y) { return copy + rowBytes * static_cast<size_t>(y); };
  // The pass down the columns overwrites the pass along the rows wherever
  // it writes; a row it leaves keeps the result along the row.
  auto vertical = [&](int32_t y) { return Height >= 4 && (y <= Height - 3 || (y == Height - 2 && Height > 4)); };
  for (int32_t y = 0; y < Height; ++y) {
    uint8_t* out = Bits + static_cast<ptrdiff_t>(y) * Stride;
    if (vertical(y)) {
      const uint8_t* mid = src(y);
      if (y == 0) {
        const uint8_t* below = src(1);
        for (int32_t x = 0; x < Width; ++x)
          for (int32_t b = 0; b < 3; ++b) {
            const size_t i = static_cast<size_t>(x) * bpp + b;
            out[i] = static_cast<uint8_t>((mid[i] + below[i]) / 3);
          }
      } else if (y == Height - 2) {
        const uint8_t* above = src(y - 1);
        for (int32_t x = 0; x < Width; ++x)
          for (int32_t b = 0; b < 3; ++b) {
            const size_t i = static_cast<size_t>(x) * bpp + b;
            out[i] = static_cast<uint8_t>((above[i] + mid[i]) / 3);
          }
      } else {
        const uint8_t* above = src(y - 1);
        const uint8_t* below = src(y + 1);
        for (int32_t x = 0; x < Width; ++x)
          for (int32_t b = 0; b < 3; ++b) {
            const size_t i = static_cast<size_t>(x) * bpp + b;
            out[i] = static_cast<uint8_t>((above[i] + mid[i] + below[i]) / 3);
          }
      }
    } else {
      const uint8_t* p = src(y);
      auto at = [&](int32_t x, int32_t b) { return p[static_cast<size_t>(x) * bpp + b]; };
      for (int32_t b = 0; b < 3; ++b) {
        out[b] = static_cast<uint8_t>((at(0, b) + at(1, b)) / 3);
        for (int32_t x = 1; x <= Width - 3; ++x)
          out[static_cast<size_t>(x) * bpp + b] = static_cast<uint8_t>((at(x - 1, b) + at(x, b) + at(x + 1, b)) / 3);
        out[static_cast<size_t>(Width - 2) * bpp + b] = static_cast<uint8_t>((at(Width - 3, b) + at(Width - 2, b)) / 3);
      }
    }
  }
}

bool TImplMotionDetector::Detect(const win::DIBSECTION* Previous, const win::DIBSECTION* Current, int64_t FrameTime) {
  GlobalMotionRatio = 0;
  if (!Enabled || !Current) return false;
  const win::BITMAPINFOHEADER& h = Current->dsBmih;
  const int32_t width = h.biWidth;
  const int32_t height = std::abs(h.biHeight);
  uint8_t* bits = static_cast<uint8_t*>(Current->dsBm.bmBits);
  const int32_t bitCount = h.biBitCount;
  if (width <= 0 || height <= 0 || !bits || (bitCount != 24 && bitCount != 32)) {
    // Not comparable: the next usable frame sets up the geometry anew.
    FrameSizeChanged = true;
    return false;
  }
  const int32_t stride = DibStride(*Current);
  if (!Previous || Previous->dsBmih.biWidth != h.biWidth || Previous->dsBmih.biHeight != h.biHeight ||
      Previous->dsBmih.biBitCount != h.biBitCount || !Previous->dsBm.bmBits || DibStride(*Previous) != stride)
    FrameSizeChanged = true;
  // The scan's plan belongs to one geometry; two frames that agree with
  // each other but not with the plan must not be read by it.
  if (width != GeometryWidth_ || height != GeometryHeight_ || bitCount != BytesPerPixel * 8) FrameSizeChanged = true;

  if (FrameSizeChanged) {
    LastCompareTime = -1;
    FrameSizeChanged = false;
    BytesPerPixel = bitCount / 8;
    ComputePixelStep(width, height);
    // This frame will be the previous one: it is treated as the next will be.
    if (GreyScale) ConvertToGrey(bits, width, height, stride);
    if (ReduceVideoNoise) ReduceNoise(bits, width, height, stride);
    ComputeCellBounds(width, height);
    return false;
  }

  LastCompareTime = FrameTime;
  if (GreyScale) ConvertToGrey(bits, width, height, stride);
  if (ReduceVideoNoise) ReduceNoise(bits, width, height, stride);
  ResetCounters();

  const uint8_t* prevBits = static_cast<const uint8_t*>(Previous->dsBm.bmBits);
  const int32_t bpp = BytesPerPixel;
  const int32_t step = PixelStep;
  const bool useB = GreyScale || CompareBlue;
  const bool useG = !GreyScale && CompareGreen;
  const bool useR = !GreyScale && CompareRed;

  if (RowDigitDirty_) {
    RowDigit_.assign(static_cast<size_t>(GridRows), -1);
    for (int32_t r = 0; r < GridRows; ++r) {
      const uint8_t* d = &Digits_[Cell(0, r)];
      if (std::all_of(d, d + GridColumns, [&](uint8_t v) { return v == d[0]; })) RowDigit_[static_cast<size_t>(r)] = d[0];
    }
    RowDigitDirty_ = false;
  }

#if defined(__SSE2__)
  uint8_t mask[128];
  for (int32_t i = 0; i < 128; ++i) {
    const int32_t b = i % bpp;
    mask[i] = (b == 0 && useB) || (b == 1 && useG) || (b == 2 && useR) ? 0xFF : 0;
  }
#endif

  int64_t sumCompared = 0, sumChanged = 0;
  int32_t bandRow = -1;
  bool bandCounted = false;
  const int32_t sampledRows = static_cast<int32_t>(SampledRowCells_.size());
  for (int32_t i = 0; i < sampledRows; ++i) {
    const int32_t y = i * step;
    const int32_t r = SampledRowCells_[static_cast<size_t>(i)];
    if (r != bandRow) {
      // Only the general walk leaves counts behind.
      if (bandCounted) {
        std::fill(Changed_.begin(), Changed_.end(), 0);
        std::fill(Compared_.begin(), Compared_.end(), 0);
        bandCounted = false;
      }
      bandRow = r;
    }
    const uint8_t* cur = bits + static_cast<ptrdiff_t>(height - 1 - y) * stride;
    const uint8_t* prev = prevBits + static_cast<ptrdiff_t>(height - 1 - y) * stride;
    const uint8_t* digits = &Digits_[Cell(0, r)];

    // The only sampled row of its cell row, with one digit for the row:
    // a cell holding one sampled pixel adds 1 to the compared sum, and 1
    // to the changed sum when it changed, so those pixels are just
    // counted; the few cells holding more are weighted afterwards.
    const bool onlyOfBand = (i == 0 || SampledRowCells_[static_cast<size_t>(i - 1)] != r) &&
                            (i + 1 == sampledRows || SampledRowCells_[static_cast<size_t>(i + 1)] != r);
    const int32_t uniform = RowDigit_[static_cast<size_t>(r)];
    if (onlyOfBand && uniform >= 0 && MultiRunPixels_ * 4 <= SampledColumns_) {
      if (uniform == 0) continue;
      const int32_t thr = 256 - 28 * uniform;
      auto hitAt = [&](int32_t j) {
        const size_t o = static_cast<size_t>(j) * static_cast<size_t>(step) * static_cast<size_t>(bpp);
        return (useB && AbsDiff(cur[o], prev[o]) > thr) || (useG && AbsDiff(cur[o + 1], prev[o + 1]) > thr) ||
               (useR && AbsDiff(cur[o + 2], prev[o + 2]) > thr);
      };
      int32_t done = 0;
      int64_t changed = 0;
#if defined(__SSE2__)
      if (step == 1)
        changed = bpp == 3 ? CountChangedContiguous<3>(cur, prev, SampledColumns_, static_cast<uint8_t>(thr), mask, done)
                           : CountChangedContiguous<4>(cur, prev, SampledColumns_, static_cast<uint8_t>(thr), mask, done);
#endif
      for (int32_t j = done; j < SampledColumns_; ++j) changed += hitAt(j);
      int64_t compared = SampledColumns_;
      for (const TRun& run : MultiRuns_) {
        const int64_t n = run.Count;
        int64_t chg = 0, weighted = 0;
        for (int32_t k = 0; k < run.Count; ++k) {
          const bool hit = hitAt(run.First + k);
          changed -= hit;
          chg += hit;
          weighted += chg;
        }
        changed += weighted;
        compared += n * (n + 1) / 2 - n;
      }
      sumCompared += compared;
      sumChanged += changed;
      continue;
    }

    bandCounted = true;
    // The general walk: within a cell, a changed pixel counts once for
    // itself and once for every later sampled pixel of the cell, and so
    // does every compared pixel in the denominator.
    for (const TRun& run : Runs_) {
      const int32_t d = digits[run.Column];
      if (d == 0) continue;  // an ignored cell's counters stay 0
      const int32_t thr = 256 - 28 * d;
      int32_t& comparedCount = Compared_[static_cast<size_t>(run.Column)];
      int32_t& changedCount = Changed_[static_cast<size_t>(run.Column)];
      const int64_t n = run.Count;
      sumCompared += n * comparedCount + n * (n + 1) / 2;
      comparedCount += run.Count;
      int32_t chg = changedCount;
      int64_t local = 0;
      size_t o = static_cast<size_t>(run.First) * static_cast<size_t>(step) * static_cast<size_t>(bpp);
      const size_t advance = static_cast<size_t>(step) * static_cast<size_t>(bpp);
      for (int32_t k = 0; k < run.Count; ++k, o += advance) {
        const bool hit = (useB && AbsDiff(cur[o], prev[o]) > thr) || (useG && AbsDiff(cur[o + 1], prev[o + 1]) > thr) ||
                         (useR && AbsDiff(cur[o + 2], prev[o + 2]) > thr);
        chg += hit;
        local += chg;
      }
      changedCount = chg;
      sumChanged += local;
    }
  }

  if (SkipNextResult) {
    SkipNextResult = false;
    return false;
  }
  if (sumChanged > 0) {
    GlobalMotionRatio = static_cast<double>(sumChanged) / static_cast<double>(sumCompared);
    return true;
  }
  return false;
}

}  // namespace capture
