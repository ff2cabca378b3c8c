#include "imaging/core/ikutilsMask.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "imaging/core/ikutilsBitmap.h"

namespace imaging {
namespace {

// The selected pixels of a mask, one string per row ('#' selected).
std::vector<std::string> Picture(const TIKMask& m) {
  std::vector<std::string> rows;
  for (int32_t y = 0; y < m.Height(); ++y) {
    std::string row;
    for (int32_t x = 0; x < m.Width(); ++x) row += m.IsPointInside(x, y) ? '#' : '.';
    rows.push_back(row);
  }
  return rows;
}

void ExpectBox(const TIKMask& m, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  EXPECT_EQ(m.X1(), x1);
  EXPECT_EQ(m.Y1(), y1);
  EXPECT_EQ(m.X2(), x2);
  EXPECT_EQ(m.Y2(), y2);
}

TEST(IkMask, PixelsGrowTheBox) {
  TIKMask m;
  m.AllocateBits(10, 10, 1);
  EXPECT_TRUE(m.IsEmpty());
  m.SetPixel(3, 4, 1);
  ExpectBox(m, 3, 4, 3, 4);
  EXPECT_EQ(m.GetPixel(3, 4), 16);
  m.SetPixel(20, 20, 1);
  m.SetPixel(-1, 0, 1);
  ExpectBox(m, 3, 4, 3, 4);
  EXPECT_EQ(m.GetPixel(20, 20), 0);
  m.SetPixel(3, 4, 0);
  m.RecalcBox();
  EXPECT_TRUE(m.IsEmpty());
}

TEST(IkMask, FullFollowsTheWrites) {
  TIKMask m;
  m.AllocateBits(5, 2, 8);
  m.Fill(255);
  EXPECT_TRUE(m.Full());
  m.SetPixel(0, 0, 128);
  EXPECT_FALSE(m.Full());
  m.SetPixel(0, 0, 255);
  m.RecheckFull();
  EXPECT_TRUE(m.Full());

  TIKMask one;
  one.AllocateBits(11, 2, 1);
  one.Fill(255);
  EXPECT_TRUE(one.Full());
  // Clearing a pixel of a full 1-bit mask makes it no longer full.
  one.SetPixel(10, 1, 0);
  EXPECT_FALSE(one.Full());
  one.RecheckFull();
  EXPECT_FALSE(one.Full());
}

TEST(IkMask, PolygonsFillByTheEvenOddRule) {
  TIKMask m;
  m.AllocateBits(8, 8, 8);
  const std::vector<TIKPoint> square = {{2, 2}, {6, 2}, {6, 6}, {2, 6}};
  m.FillPolygons(255, square.data(), static_cast<int32_t>(square.size()));
  EXPECT_EQ(Picture(m), (std::vector<std::string>{"........", "........", "..####..", "..####..", "..####..",
                                                  "..####..", "........", "........"}));
  ExpectBox(m, 2, 2, 5, 5);
  EXPECT_EQ(m.GetPixel(3, 3), 255);

  // Two squares in one list, split by the separator.
  TIKMask two;
  two.AllocateBits(8, 4, 1);
  const std::vector<TIKPoint> pair = {{0, 0}, {2, 0}, {2, 2}, {0, 2}, {IKPolygonSeparator, 0},
                                      {5, 1}, {8, 1}, {8, 4}, {5, 4}};
  two.FillPolygons(1, pair.data(), static_cast<int32_t>(pair.size()));
  EXPECT_EQ(Picture(two), (std::vector<std::string>{"##......", "##...###", ".....###", ".....###"}));
  ExpectBox(two, 0, 0, 7, 3);

  // A polygon of horizontal edges only fills nothing.
  TIKMask flat;
  flat.AllocateBits(8, 4, 1);
  const std::vector<TIKPoint> line = {{1, 1}, {6, 1}};
  flat.FillPolygons(1, line.data(), 2);
  EXPECT_TRUE(flat.IsEmpty());
  EXPECT_EQ(Picture(flat)[1], "........");
}

TEST(IkMask, PolygonRowsOutsideTheMaskAreSkipped) {
  // An upside-down triangle whose wide part lies above the mask: only its
  // narrow tip may be selected, nothing of the rows above folded onto row 0.
  TIKMask m;
  m.AllocateBits(10, 4, 1);
  const std::vector<TIKPoint> tri = {{0, -6}, {10, -6}, {5, 2}};
  m.FillPolygons(1, tri.data(), 3);
  const auto rows = Picture(m);
  // The edges stepped from row -6: x 4 and 6 at rows 0 and 1.
  EXPECT_EQ(rows[0], "....##....");
  EXPECT_EQ(rows[1], "....##....");
  EXPECT_EQ(rows[2], "..........");

  TIKMask below;
  below.AllocateBits(6, 3, 8);
  const std::vector<TIKPoint> tall = {{1, 2}, {3, 2}, {3, 50}, {1, 50}};
  below.FillPolygons(255, tall.data(), 4);
  EXPECT_EQ(Picture(below), (std::vector<std::string>{"......", "......", ".##..."}));
}

TEST(IkMask, PolygonsFromFarAwayAreFilledAtOnce) {
  // Edges starting 100000 rows above reach the mask where their stepping
  // puts them (rows computed by stepping every row in Python).
  TIKMask m;
  m.AllocateBits(12, 4, 1);
  const std::vector<TIKPoint> tri = {{-50000, -100000}, {60000, -100000}, {5, 4}};
  m.FillPolygons(1, tri.data(), 3);
  EXPECT_EQ(Picture(m), (std::vector<std::string>{"...####.....", "...####.....", "....##......", "....##......"}));

  // Extreme coordinates finish at once and stay inside.
  const std::vector<TIKPoint> wild = {{INT32_MIN, INT32_MIN}, {INT32_MAX - 1, INT32_MIN}, {INT32_MAX - 1, INT32_MAX},
                                      {INT32_MIN, INT32_MAX}};
  TIKMask big;
  big.AllocateBits(5, 3, 8);
  big.FillPolygons(255, wild.data(), 4);
  EXPECT_TRUE(big.Full());
  ExpectBox(big, 0, 0, 4, 2);
}

TEST(IkMask, PolygonWithValueZeroDeselects) {
  for (int32_t bits : {1, 8}) {
    SCOPED_TRACE(bits);
    TIKMask m;
    m.AllocateBits(6, 6, bits);
    const std::vector<TIKPoint> outer = {{0, 0}, {6, 0}, {6, 6}, {0, 6}};
    const std::vector<TIKPoint> inner = {{2, 2}, {4, 2}, {4, 4}, {2, 4}};
    m.FillPolygons(255, outer.data(), 4);
    m.FillPolygons(0, inner.data(), 4);
    EXPECT_EQ(Picture(m), (std::vector<std::string>{"######", "######", "##..##", "##..##", "######", "######"}));
    EXPECT_FALSE(m.Full());
  }
}

TEST(IkMask, TranslateKeepsTheBoxInsideUnlessCut) {
  for (int32_t bits : {1, 8}) {
    SCOPED_TRACE(bits);
    TIKMask m;
    m.AllocateBits(10, 3, bits);
    m.SetPixel(5, 1, 255);
    m.SetPixel(7, 1, 255);
    int32_t dx = 5, dy = 0;
    m.Translate(dx, dy, false);
    EXPECT_EQ(dx, 2);
    EXPECT_EQ(Picture(m)[1], ".......#.#");
    ExpectBox(m, 7, 1, 9, 1);

    dx = -8, dy = 1;
    m.Translate(dx, dy, true);
    EXPECT_EQ(dx, -8);
    EXPECT_EQ(Picture(m), (std::vector<std::string>{"..........", "..........", ".#........"}));
    ExpectBox(m, 0, 2, 1, 2);
  }
}

TEST(IkMask, CopyMaskedPixelsByDepthAndFormat) {
  auto make = [](TIKBitmap& b, TIKPixelFormat f, int32_t w, int32_t h, double value) {
    b.SetLocation(ikMemory);
    b.Allocate(w, h, f);
    b.Fill(value);
  };
  TIKMask one;
  one.AllocateBits(4, 2, 1);
  one.SetPixel(1, 0, 1);
  one.SetPixel(2, 1, 1);
  {
    TIKBitmap src, dst;
    make(src, ikRGB24, 4, 2, 0xFFFFFF);
    make(dst, ikRGB24, 4, 2, 0);
    one.CopyMaskedPixels(&dst, &src, false, false, true);
    EXPECT_EQ(dst.GetPixelRGB24(1, 0), CreateRGB(255, 255, 255));
    EXPECT_EQ(dst.GetPixelRGB24(2, 0), CreateRGB(0, 0, 0));
    EXPECT_EQ(dst.GetPixelRGB24(2, 1), CreateRGB(255, 255, 255));
    // Alpha: 0 where not selected, the selection where the source has none.
    EXPECT_EQ(dst.GetAlphaPixel(2, 0), 0);
    EXPECT_EQ(dst.GetAlphaPixel(1, 0), 255);
    EXPECT_FALSE(dst.GetAlphaChannel()->Full());
  }
  {
    TIKBitmap src, dst;
    make(src, ikGray16, 4, 2, 1000);
    make(dst, ikGray16, 4, 2, 0);
    one.CopyMaskedPixels(&dst, &src, false, false, false);
    EXPECT_EQ(dst.GetPixelWord(1, 0), 1000);
    EXPECT_EQ(dst.GetPixelWord(0, 0), 0);
  }
  {
    // A cropped source holds only the box: its (0, 0) is the box's corner.
    TIKBitmap src, dst;
    make(src, ikGray8, 2, 2, 0);
    src.SetPixelByte(0, 0, 11);
    src.SetPixelByte(1, 1, 22);
    make(dst, ikGray8, 4, 2, 0);
    one.CopyMaskedPixels(&dst, &src, false, true, false);
    EXPECT_EQ(dst.GetPixelByte(1, 0), 11);
    EXPECT_EQ(dst.GetPixelByte(2, 1), 22);
  }
  {
    TIKBitmap src, dst;
    make(src, ikRGB24, 4, 2, 0xFFFFFF);
    make(dst, ikGray8, 4, 2, 0);
    one.CopyMaskedPixels(&dst, &src, false, false, true);
    EXPECT_TRUE(dst.IsAllZero());
    EXPECT_FALSE(dst.HasAlphaChannel());
  }

  TIKMask eight;
  eight.AllocateBits(3, 1, 8);
  eight.SetPixel(0, 0, 128);
  eight.SetPixel(1, 0, 255);
  {
    TIKBitmap src, dst;
    make(src, ikRGB24, 3, 1, 0xC8C8C8);
    make(dst, ikRGB24, 3, 1, 0x646464);
    src.SetAlphaPixel(1, 0, 90);
    eight.CopyMaskedPixels(&dst, &src, false, false, true);
    // 100 + ((128 x 100) shr 8) = 150; with 255, 100 + 99 = 199.
    EXPECT_EQ(dst.GetPixelRGB24(0, 0), CreateRGB(150, 150, 150));
    EXPECT_EQ(dst.GetPixelRGB24(1, 0), CreateRGB(199, 199, 199));
    EXPECT_EQ(dst.GetAlphaPixel(0, 0), 128);
    EXPECT_EQ(dst.GetAlphaPixel(1, 0), 90);
  }
  {
    // Darkening blends round toward minus infinity.
    TIKBitmap src, dst;
    make(src, ikGray8, 3, 1, 0);
    make(dst, ikGray8, 3, 1, 101);
    eight.CopyMaskedPixels(&dst, &src, false, false, false);
    EXPECT_EQ(dst.GetPixelByte(0, 0), 101 + ((128 * -101) >> 8));
  }
}

TEST(IkMask, OperationsOnBitmapsSmallerThanTheBoxStayInside) {
  TIKMask m;
  m.AllocateBits(50, 50, 8);
  m.Fill(255);
  m.SetBox(0, 0, 49, 49);
  TIKBitmap src, dst;
  src.SetLocation(ikMemory);
  dst.SetLocation(ikMemory);
  src.Allocate(5, 7, ikRGB24);
  dst.Allocate(7, 5, ikRGB24);
  src.Fill(0xFFFFFF);
  dst.Fill(0);
  m.CopyMaskedPixels(&dst, &src, false, false, true);
  EXPECT_EQ(dst.GetPixelRGB24(4, 4), CreateRGB(254, 254, 254));
  EXPECT_EQ(dst.GetPixelRGB24(5, 4), CreateRGB(0, 0, 0));
  int32_t dx = 1000000, dy = -1000000;
  m.Translate(dx, dy, true);
  EXPECT_TRUE(Picture(m)[0].find('#') == std::string::npos);
}

}  // namespace
}  // namespace imaging

namespace imaging {
namespace {

// 'R' for red, 'B' for blue, 'g' for the outside shade, '#' black, '.'
// white, per pixel of a 24-bit bitmap.
std::vector<std::string> Screen(forms::TBitmap& bmp) {
  std::vector<std::string> rows;
  for (int y = 0; y < bmp.Height(); ++y) {
    const auto* row = static_cast<const uint8_t*>(bmp.ScanLine(y));
    std::string s;
    for (int x = 0; x < bmp.Width(); ++x) {
      const uint8_t b = row[3 * x], g = row[3 * x + 1], r = row[3 * x + 2];
      s += r == 255 && g == 255 && b == 255 ? '.'
           : r == 255 && g == 0 && b == 0   ? 'R'
           : r == 0 && g == 0 && b == 255   ? 'B'
           : r == 97 && g == 97 && b == 97  ? 'g'
           : r == 0 && g == 0 && b == 0     ? '#'
                                            : '?';
    }
    rows.push_back(s);
  }
  return rows;
}

void White(forms::TBitmap& bmp, int w, int h) {
  bmp.SetPixelFormat(forms::pf24bit);
  bmp.SetSize(w, h);
  for (int y = 0; y < h; ++y) std::memset(bmp.ScanLine(y), 255, static_cast<size_t>(w) * 3);
}

TIKMask& Square(TIKMask& m) {
  m.AllocateBits(8, 8, 1);
  const std::vector<TIKPoint> square = {{2, 2}, {6, 2}, {6, 6}, {2, 6}};
  m.FillPolygons(1, square.data(), 4);
  return m;
}

TEST(IkMaskDraw, OutlineIsADashedRingThatTheViewEdgeCuts) {
  TIKMask m;
  Square(m);
  forms::TBitmap bmp;
  White(bmp, 8, 8);
  m.DrawBorder(bmp.Canvas(), 0, 0, 8, 8, 0, 0, 8, 8, 0, forms::clRed, forms::clBlue);
  // Blue where (x + y) and 7 is below 4, red elsewhere; the inside stays.
  EXPECT_EQ(Screen(bmp), (std::vector<std::string>{"........", "........", "..RRRR..", "..R..B..", "..R..B..",
                                                   "..RBBB..", "........", "........"}));
  // Seen from column 3 on, the selection is cut at the view's left edge:
  // no outline there.
  White(bmp, 8, 8);
  m.DrawBorder(bmp.Canvas(), 0, 0, 5, 8, 3, 0, 5, 8, 4, forms::clRed, forms::clRed);
  EXPECT_EQ(Screen(bmp)[3], "..R.....");
  EXPECT_EQ(Screen(bmp)[2], ".RR.....");
}

TEST(IkMaskDraw, OutsideIsShadedAndDrawInverts) {
  TIKMask m;
  Square(m);
  forms::TBitmap bmp;
  White(bmp, 8, 8);
  m.MarkOuter(&bmp, 0, 0, 8, 8, 0, 0, 8, 8);
  EXPECT_EQ(Screen(bmp)[0], "g.g.g.g.");
  EXPECT_EQ(Screen(bmp)[2], "g.....g.");

  White(bmp, 8, 8);
  m.Draw(bmp.Canvas(), 0, 0, 8, 8, 0, 0, 8, 8);
  EXPECT_EQ(Screen(bmp)[1], "........");
  EXPECT_EQ(Screen(bmp)[2], "..####..");
  // The square alone, stretched to twice its size.
  White(bmp, 8, 8);
  m.Draw(bmp.Canvas(), 0, 0, 8, 8, 2, 2, 4, 4);
  EXPECT_EQ(Screen(bmp)[7], "########");

  TIKMask eight;
  eight.AllocateBits(8, 8, 8);
  eight.Fill(255);
  eight.SetBox(0, 0, 7, 7);
  White(bmp, 8, 8);
  eight.Draw(bmp.Canvas(), 0, 0, 8, 8, 0, 0, 8, 8);
  EXPECT_EQ(Screen(bmp)[0], "........");
}

}  // namespace
}  // namespace imaging
