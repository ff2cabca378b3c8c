// The motion detector on synthetic frames: thresholds, grid strings, pixel
// steps and cell bounds, the noise pass, rows padded to 4 bytes, and the
// fast scan against a plain cell-by-cell walk of the same rules.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "capture/VcMotion.h"

namespace {

using namespace capture;

// A bottom-up DIB of 24 or 32 bits over plain memory, rows padded to 4.
struct Frame {
  int w, h, bpp, stride;
  std::vector<uint8_t> bytes;
  win::DIBSECTION ds{};
  Frame(int width, int height, int bits, uint8_t fill = 0)
      : w(width), h(height), bpp(bits / 8), stride(((width * bits + 31) / 32) * 4),
        bytes(static_cast<size_t>(stride) * height, fill) {}
  // Pixel x of picture row y (0 = top).
  uint8_t* At(int x, int y) { return bytes.data() + static_cast<size_t>(h - 1 - y) * stride + static_cast<size_t>(x) * bpp; }
  const win::DIBSECTION* Section() {
    ds = win::DIBSECTION{};
    ds.dsBm.bmWidth = w;
    ds.dsBm.bmHeight = h;
    ds.dsBm.bmWidthBytes = stride;
    ds.dsBm.bmBitsPixel = static_cast<win::WORD>(bpp * 8);
    ds.dsBm.bmBits = bytes.data();
    ds.dsBmih.biWidth = w;
    ds.dsBmih.biHeight = h;
    ds.dsBmih.biBitCount = static_cast<win::WORD>(bpp * 8);
    return &ds;
  }
};

// Primes a detector: the first frame sets up the geometry, the second is
// compared but its result is dropped.
void Prime(TImplMotionDetector& d, Frame& a) {
  Frame copy = a;
  d.Enabled = true;
  EXPECT_FALSE(d.Detect(nullptr, a.Section(), 0));
  EXPECT_FALSE(d.Detect(a.Section(), copy.Section(), 1));
}

// The rules walked cell by cell with per-cell counters, as plainly as they
// read, on rows addressed by the DIB's stride.
double ReferenceRatio(const TImplMotionDetector& d, Frame& prev, Frame& cur, bool grey, bool b, bool g, bool r) {
  const int cols = d.GridColumns, rows = d.GridRows, step = d.PixelStep;
  std::vector<std::vector<int64_t>> changed(cols, std::vector<int64_t>(rows)), compared = changed;
  int64_t sumChanged = 0, sumCompared = 0;
  int cr = 0;
  for (int y = 0; y < cur.h; y += step) {
    if (cr < rows - 1 && d.RowBounds()[cr] < y) ++cr;
    int cc = 0;
    for (int x = 0; x < cur.w; x += step) {
      if (cc < cols - 1 && d.ColumnBounds()[cc] < x) ++cc;
      const int digit = d.Digit(cc, cr), thr = 256 - 28 * digit;
      if (digit > 0) {
        const uint8_t* p = cur.At(x, y);
        const uint8_t* q = prev.At(x, y);
        auto over = [&](int i) { return std::abs(p[i] - q[i]) > thr; };
        const bool hit = grey ? over(0) : (b && over(0)) || (g && over(1)) || (r && over(2));
        ++compared[cc][cr];
        if (hit) ++changed[cc][cr];
      }
      sumCompared += compared[cc][cr];
      sumChanged += changed[cc][cr];
    }
  }
  return sumChanged > 0 ? static_cast<double>(sumChanged) / static_cast<double>(sumCompared) : 0.0;
}

TEST(VcMotionDetector, DigitThresholdsCountOnlyDifferencesAboveThem) {
  for (int digit = 0; digit <= 9; ++digit) {
    const int thr = 256 - 28 * digit;
    for (int diff : {thr, thr + 1}) {
      if (diff > 255) continue;
      SCOPED_TRACE(testing::Message() << "digit " << digit << " diff " << diff);
      TImplMotionDetector d;
      d.SetGridSize(1, 1);
      d.SetGlobalSensitivity(digit);
      Frame a(4, 4, 24), b(4, 4, 24);
      Prime(d, a);
      b.At(1, 2)[1] = static_cast<uint8_t>(diff);
      const bool moved = d.Detect(a.Section(), b.Section(), 2);
      EXPECT_EQ(moved, digit > 0 && diff > thr);
    }
  }
  // Digit 1 needs 229 and digit 9 counts 5, whichever channel moves.
  TImplMotionDetector d;
  EXPECT_EQ(d.Threshold(0, 0), 116);
  d.SetGlobalSensitivity(1);
  EXPECT_EQ(d.Threshold(3, 7), 228);
}

TEST(VcMotionDetector, RatioWeightsEachChangeByTheLaterPixelsOfItsCell) {
  struct Case {
    int x, y;
    double ratio;
  };
  // One cell of four pixels: compared sums to 1+2+3+4; a change at the
  // top left counts four times, one at the bottom right once.
  const Case cases[] = {{0, 0, 0.4}, {1, 0, 0.3}, {0, 1, 0.2}, {1, 1, 0.1}};
  for (const Case& c : cases) {
    TImplMotionDetector d;
    d.SetGridSize(1, 1);
    Frame a(2, 2, 32), b(2, 2, 32);
    Prime(d, a);
    b.At(c.x, c.y)[2] = 200;
    ASSERT_TRUE(d.Detect(a.Section(), b.Section(), 2));
    EXPECT_DOUBLE_EQ(d.GlobalMotionRatio, c.ratio) << c.x << "," << c.y;
  }
}

TEST(VcMotionDetector, GridStringsAreCheckedBeforeTheyApply) {
  const std::string row = "5555555555";
  std::string full, trimmed;
  for (int i = 0; i < 10; ++i) full += row + " ";
  trimmed = full.substr(0, full.size() - 1);
  std::string twoBlanks, letter = trimmed, short9;
  for (int i = 0; i < 10; ++i) twoBlanks += row + "  ";
  letter[23] = 'x';
  for (int i = 0; i < 9; ++i) short9 += row + " ";
  struct Case {
    std::string text;
    bool valid;
  };
  const Case cases[] = {
      {full, true},          {trimmed, true},          {trimmed + "garbage", true}, {twoBlanks, false},
      {letter, false},       {short9, false},          {" " + trimmed, false},     {"", false},
      {std::string(trimmed).replace(0, 1, "\t"), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TImplMotionDetector d;
    std::string changed = trimmed;
    changed[0] = '9';
    d.SetGridString(changed);
    ASSERT_TRUE(d.GridValid);
    d.SetGridString(c.text);
    EXPECT_EQ(d.GridValid, c.valid);
    EXPECT_EQ(d.Grid, c.valid ? c.text : changed);
    EXPECT_EQ(d.Digit(0, 0), c.valid ? 5 : 9);
  }
  // Digits land by column and row.
  TImplMotionDetector d;
  d.SetGridSize(3, 2);
  d.SetGridString("012 345");
  EXPECT_EQ(d.Digit(2, 0), 2);
  EXPECT_EQ(d.Digit(0, 1), 3);
  EXPECT_EQ(d.Digit(2, 1), 5);
}

TEST(VcMotionDetector, SensitivityAndResizeRewriteTheGridText) {
  TImplMotionDetector d;
  d.SetGlobalSensitivity(7);
  std::string sevens;
  for (int i = 0; i < 10; ++i) sevens += (i ? " " : "") + std::string(10, '7');
  EXPECT_EQ(d.Grid, sevens);
  d.SetGridSize(4, 3);
  EXPECT_EQ(d.Grid, "5555 5555 5555 ");
  EXPECT_EQ(d.Digit(3, 2), 5);
  EXPECT_TRUE(d.SkipNextResult);
  EXPECT_TRUE(d.FrameSizeChanged);
  // A resize to a grid whose filled text equals the text in force still
  // gives every new cell its digit.
  d.SetGridString("55 55 55 55 55 ");
  d.SetGridSize(2, 5);
  d.SetGridSize(2, 5);
  for (int r = 0; r < 5; ++r) EXPECT_EQ(d.Digit(1, r), 5);
}

TEST(VcMotionDetector, PixelStepsAndCellBounds) {
  struct Case {
    int load, w, h, step;
  };
  const Case cases[] = {{0, 640, 480, 8}, {0, 640, 10, 8}, {0, 10, 480, 8}, {0, 320, 240, 4}, {0, 420, 100, 6},
                        {0, 100, 250, 6}, {0, 160, 50, 4}, {0, 100, 100, 2}, {3, 640, 480, 3}, {1, 100, 100, 1}};
  for (const Case& c : cases) {
    TImplMotionDetector d;
    d.ReduceCPULoad = c.load;
    d.ComputePixelStep(c.w, c.h);
    EXPECT_EQ(d.PixelStep, c.step) << c.load << " " << c.w << "x" << c.h;
  }
  // 25 pixels over 10 columns: 2.5, 5, 7.5, ... rounded halves to even.
  TImplMotionDetector d;
  d.ComputeCellBounds(25, 15);
  const std::vector<int32_t> columns = {2, 5, 8, 10, 12, 15, 18, 20, 22, INT32_MAX};
  EXPECT_EQ(d.ColumnBounds(), columns);
  EXPECT_EQ(d.RowBounds()[0], 2);  // 1.5 -> 2
  EXPECT_EQ(d.RowBounds()[2], 4);  // 4.5 -> 4
  EXPECT_EQ(d.RowBounds()[9], INT32_MAX);
}

// The noise pass as it reads: along the rows from a copy, then down the
// columns from the same copy, each step writing where it reaches.
void ReferenceNoise(Frame& f) {
  if (f.w < 3 || f.h < 3) return;
  const Frame copy = f;
  auto src = [&](int x, int storedRow, int b) {
    return copy.bytes[static_cast<size_t>(storedRow) * f.stride + static_cast<size_t>(x) * f.bpp + b];
  };
  auto dst = [&](int x, int storedRow, int b) -> uint8_t& {
    return f.bytes[static_cast<size_t>(storedRow) * f.stride + static_cast<size_t>(x) * f.bpp + b];
  };
  const int W = f.w, H = f.h;
  for (int y = 0; y < H; ++y)
    for (int b = 0; b < 3; ++b) {
      dst(0, y, b) = static_cast<uint8_t>((src(0, y, b) + src(1, y, b)) / 3);
      for (int x = 1; x <= W - 3; ++x)
        dst(x, y, b) = static_cast<uint8_t>((src(x - 1, y, b) + src(x, y, b) + src(x + 1, y, b)) / 3);
      dst(W - 2, y, b) = static_cast<uint8_t>((src(W - 3, y, b) + src(W - 2, y, b)) / 3);
    }
  if (H < 4) return;
  for (int x = 0; x < W; ++x)
    for (int b = 0; b < 3; ++b) {
      dst(x, 0, b) = static_cast<uint8_t>((src(x, 0, b) + src(x, 1, b)) / 3);
      for (int y = 1; y <= H - 3; ++y)
        dst(x, y, b) = static_cast<uint8_t>((src(x, y - 1, b) + src(x, y, b) + src(x, y + 1, b)) / 3);
      if (H > 4) dst(x, H - 2, b) = static_cast<uint8_t>((src(x, H - 3, b) + src(x, H - 2, b)) / 3);
    }
}

TEST(VcMotionDetector, NoisePassAveragesRowsAndColumnsInPlace) {
  // A hand-worked frame: 3 x 3 of 24 bits, every byte 90 but the middle
  // pixel's blue, 210. Only the pass along the rows runs; the last pixel
  // of each row keeps its value and the ends divide two values by 3.
  Frame f(3, 3, 24, 90);
  f.At(1, 1)[0] = 210;
  TImplMotionDetector d;
  d.BytesPerPixel = 3;
  d.ReduceNoise(f.bytes.data(), f.w, f.h, f.stride);
  EXPECT_EQ(f.At(0, 1)[0], 100);  // (90 + 210) / 3
  EXPECT_EQ(f.At(1, 1)[0], 100);  // the end rule again
  EXPECT_EQ(f.At(2, 1)[0], 90);
  EXPECT_EQ(f.At(0, 0)[1], 60);   // (90 + 90) / 3
  for (size_t i = 9; i < 12; ++i) EXPECT_EQ(f.bytes[i], 90) << "row padding is left alone";

  std::mt19937 rng(7);
  const int sizes[][2] = {{3, 3}, {4, 4}, {5, 3}, {3, 5}, {7, 6}, {2, 9}, {9, 2}, {13, 11}};
  for (int bits : {24, 32})
    for (const auto& s : sizes) {
      SCOPED_TRACE(testing::Message() << s[0] << "x" << s[1] << "x" << bits);
      Frame a(s[0], s[1], bits);
      for (uint8_t& v : a.bytes) v = static_cast<uint8_t>(rng());
      Frame expected = a;
      ReferenceNoise(expected);
      TImplMotionDetector m;
      m.BytesPerPixel = bits / 8;
      m.ReduceNoise(a.bytes.data(), a.w, a.h, a.stride);
      EXPECT_EQ(a.bytes, expected.bytes);
    }
}

TEST(VcMotionDetector, GreyPassWritesTheMeanIntoSampledPixelsOnly) {
  Frame f(4, 2, 32);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) {
      f.At(x, y)[0] = 10;
      f.At(x, y)[1] = 20;
      f.At(x, y)[2] = 61;
      f.At(x, y)[3] = 7;
    }
  TImplMotionDetector d;
  d.BytesPerPixel = 4;
  d.PixelStep = 2;
  d.ConvertToGrey(f.bytes.data(), f.w, f.h, f.stride);
  EXPECT_EQ(f.At(0, 0)[0], 30);
  EXPECT_EQ(f.At(2, 0)[2], 30);
  EXPECT_EQ(f.At(2, 0)[3], 7);
  EXPECT_EQ(f.At(1, 0)[0], 10);
  EXPECT_EQ(f.At(0, 1)[0], 10);
}

TEST(VcMotionDetector, RowsOfOddWidthsAreReadAtTheirPaddedStride) {
  // 5 pixels of 3 bytes take 15 bytes of a 16-byte row; a scan that
  // ignored the padding would drift one byte per row.
  for (int w : {1, 3, 5, 7, 641}) {
    SCOPED_TRACE(w);
    const int h = 6;
    TImplMotionDetector d;
    d.SetGridSize(w, h);
    // Every other pixel of every other row, each in a cell of its own.
    d.ReduceCPULoad = 2;
    Frame a(w, h, 24, 40), b(w, h, 24, 40);
    Prime(d, a);
    // The padding of every row changes: nothing the detector may see.
    for (int y = 0; y < h; ++y)
      for (int i = w * 3; i < a.stride; ++i) b.bytes[static_cast<size_t>(y) * b.stride + i] = 255;
    Frame padded = b;
    EXPECT_FALSE(d.Detect(a.Section(), b.Section(), 2));
    // One pixel near the bottom right of the picture changes.
    Frame c = padded;
    c.At(w - 1, h - 2)[2] = 250;
    ASSERT_TRUE(d.Detect(padded.Section(), c.Section(), 3));
    EXPECT_DOUBLE_EQ(d.GlobalMotionRatio, 1.0 / (((w + 1) / 2) * (h / 2)));
  }
}

TEST(VcMotionDetector, FirstFramesAndResizesMeasureNothing) {
  TImplMotionDetector d;
  Frame a(8, 8, 24), b(8, 8, 24, 200), small(4, 4, 24), sixteen(8, 8, 16);
  EXPECT_FALSE(d.Detect(nullptr, a.Section(), 0)) << "disabled";
  d.Enabled = true;
  EXPECT_FALSE(d.Detect(nullptr, a.Section(), 0));
  EXPECT_EQ(d.LastCompareTime, -1);
  EXPECT_FALSE(d.Detect(a.Section(), b.Section(), 5)) << "the result after creation is dropped";
  EXPECT_EQ(d.LastCompareTime, 5);
  EXPECT_TRUE(d.Detect(b.Section(), a.Section(), 6));
  EXPECT_DOUBLE_EQ(d.GlobalMotionRatio, 1.0);
  EXPECT_FALSE(d.Detect(a.Section(), small.Section(), 7)) << "new size";
  EXPECT_FALSE(d.Detect(small.Section(), sixteen.Section(), 8)) << "16 bits";
  EXPECT_FALSE(d.Detect(sixteen.Section(), a.Section(), 9)) << "geometry again";
  EXPECT_TRUE(d.Detect(a.Section(), b.Section(), 10));
  d.GreyScale = true;
  d.SkipNextResult = true;
  EXPECT_FALSE(d.Detect(b.Section(), a.Section(), 11));
  EXPECT_EQ(d.GlobalMotionRatio, 0);
}

TEST(VcMotionDetector, ScanMatchesTheCellByCellWalk) {
  struct Grid {
    int cols, rows;  // 0: one cell per pixel
    bool mixed;
  };
  const Grid grids[] = {{0, 0, false}, {10, 10, false}, {7, 3, true}, {0, 0, true}, {1, 1, false}, {33, 2, false}};
  const int sizes[][2] = {{64, 48}, {37, 29}, {3, 5}};
  std::mt19937 rng(11);
  for (int bits : {24, 32})
    for (const auto& s : sizes)
      for (const Grid& g : grids)
        for (int step : {1, 2, 3})
          for (int channels : {7, 1, 6, 8}) {
            SCOPED_TRACE(testing::Message() << s[0] << "x" << s[1] << "x" << bits << " grid " << g.cols << "x" << g.rows
                                            << (g.mixed ? " mixed" : "") << " step " << step << " ch " << channels);
            const int w = s[0], h = s[1];
            TImplMotionDetector d;
            d.SetGridSize(g.cols ? g.cols : w, g.rows ? g.rows : h);
            if (g.mixed)
              for (int r = 0; r < d.GridRows; ++r)
                for (int c = 0; c < d.GridColumns; ++c) d.SetCell(c, r, static_cast<int>(rng() % 10));
            d.ReduceCPULoad = step;
            const bool grey = channels == 8;
            d.GreyScale = grey;
            d.CompareBlue = channels & 1;
            d.CompareGreen = channels & 2;
            d.CompareRed = channels & 4;
            Frame a(w, h, bits);
            for (uint8_t& v : a.bytes) v = static_cast<uint8_t>(rng());
            Prime(d, a);
            // Change a fraction of the pixels by random amounts.
            Frame b = a;
            for (int y = 0; y < h; ++y)
              for (int x = 0; x < w; ++x)
                if (rng() % 4 == 0) b.At(x, y)[rng() % 3] = static_cast<uint8_t>(rng());
            Frame prev = a;
            d.Detect(a.Section(), b.Section(), 5);
            // The grey pass wrote into b; the reference reads both as the
            // detector saw them.
            if (grey) d.ConvertToGrey(prev.bytes.data(), w, h, prev.stride);
            const double expected = ReferenceRatio(d, prev, b, grey, d.CompareBlue, d.CompareGreen, d.CompareRed);
            EXPECT_EQ(d.GlobalMotionRatio, expected);
          }
}

}  // namespace
