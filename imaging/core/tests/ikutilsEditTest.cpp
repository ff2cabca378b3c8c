#include <gtest/gtest.h>

#include <random>

#include "imaging/core/ikutils.h"
#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsMask.h"
#include "imaging/core/tests/IkTestFolder.h"

namespace imaging {
namespace {

// A gray picture whose pixel (x, y) is 10 x y + x + 1.
void MakeNumbered(TIKBitmap& bmp, int32_t w, int32_t h, TIKLocation location = ikMemory) {
  bmp.SetLocation(location);
  bmp.Allocate(w, h, ikGray8);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) bmp.SetPixelByte(x, y, static_cast<uint8_t>(10 * y + x + 1));
}

std::string Row(TIKBitmap& bmp, int32_t y) {
  std::string s;
  for (int32_t x = 0; x < bmp.Width(); ++x) s += (x ? " " : "") + std::to_string(bmp.GetPixelByte(x, y));
  return s;
}

TEST(IkEdit, ResizeCanvasPlacesTheOldPictureAndFillsTheRest) {
  struct Case {
    const char* name;
    int32_t newWidth, newHeight, h, v;
    std::vector<std::string> rows;
  };
  const Case cases[] = {
      {"wider, centred", 8, 2, 1, 0, {"0 0 1 2 3 4 0 0", "0 0 11 12 13 14 0 0"}},
      {"wider, right", 6, 2, 2, 0, {"0 0 1 2 3 4", "0 0 11 12 13 14"}},
      {"wider, left", 5, 2, 0, 0, {"1 2 3 4 0", "11 12 13 14 0"}},
      {"narrower, centred", 2, 2, 1, 0, {"2 3", "12 13"}},
      {"narrower, right", 3, 2, 2, 0, {"2 3 4", "12 13 14"}},
      {"taller, bottom", 4, 4, 0, 2, {"0 0 0 0", "0 0 0 0", "1 2 3 4", "11 12 13 14"}},
      {"shorter, bottom", 4, 1, 0, 2, {"11 12 13 14"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TIKBitmap bmp;
    MakeNumbered(bmp, 4, 2);
    bmp.SetAlphaPixel(0, 0, 50);
    bmp.ResizeCanvas(c.newWidth, c.newHeight, 0, 9, c.h, c.v);
    ASSERT_EQ(bmp.Width(), c.newWidth);
    ASSERT_EQ(bmp.Height(), c.newHeight);
    for (int32_t y = 0; y < c.newHeight; ++y) EXPECT_EQ(Row(bmp, y), c.rows[y]) << "row " << y;
    // The alpha plane moves alike, filled with its own value.
    TIKBitmap* alpha = bmp.GetAlphaChannel();
    ASSERT_EQ(alpha->Width(), c.newWidth);
    ASSERT_EQ(alpha->Height(), c.newHeight);
    for (int32_t y = 0; y < c.newHeight; ++y) {
      for (int32_t x = 0; x < c.newWidth; ++x) {
        const uint8_t v = bmp.GetPixelByte(x, y);
        const uint8_t a = alpha->GetPixelByte(x, y);
        const int expected = v == 0 ? 9 : v == 1 ? 50 : 255;
        EXPECT_EQ(a, expected) << x << ", " << y;
      }
    }
  }
}

TEST(IkEdit, SetWidthKeepsTheLeftColumnsAndThePalette) {
  TIKBitmap bmp;
  MakeNumbered(bmp, 10, 10);
  bmp.GetAlphaChannel()->SetPixelByte(4, 9, 33);
  bmp.SetWidth(5);
  EXPECT_EQ(Row(bmp, 9), "91 92 93 94 95");
  EXPECT_EQ(bmp.GetAlphaChannel()->Width(), 5);
  EXPECT_EQ(bmp.GetAlphaPixel(4, 9), 33);

  TIKBitmap pal;
  pal.SetLocation(ikMemory);
  pal.Allocate(4, 4, ikPalette8);
  pal.SetPaletteColor(7, CreateRGB(1, 2, 3));
  pal.SetHeight(2);
  EXPECT_EQ(pal.GetPaletteColor(7), CreateRGB(1, 2, 3));
}

TEST(IkEdit, WrappedPlatformBitmapIsResizedInPlace) {
  forms::TBitmap platform;
  platform.SetPixelFormat(forms::pf24bit);
  platform.SetSize(4, 2);
  TIKBitmap bmp;
  bmp.EncapsulateTBitmap(&platform, true);
  for (int32_t x = 0; x < 4; ++x) bmp.SetPixelRGB24(x, 1, CreateRGB(static_cast<uint8_t>(x + 1), 0, 0));
  bmp.ResizeCanvas(6, 2, 0x000000, 255, 2, 0);
  EXPECT_EQ(platform.Width(), 6);
  EXPECT_EQ(bmp.Width(), 6);
  std::string reds;
  for (int32_t x = 0; x < 6; ++x) reds += std::to_string(bmp.GetPixelRGB24(x, 1).r);
  EXPECT_EQ(reds, "001234");
  bmp.SetHeight(1);
  EXPECT_EQ(platform.Height(), 1);
}

TEST(IkEdit, CopyRectToClipsAgainstBothBitmaps) {
  struct Case {
    const char* name;
    int32_t sx, sy, dx, dy, w, h;
    std::vector<std::string> rows;  // the 5 x 2 destination afterwards
  };
  const Case cases[] = {
      {"plain", 1, 0, 0, 0, 2, 1, {"2 3 0 0 0", "0 0 0 0 0"}},
      {"negative destination x", 0, 0, -2, 0, 4, 2, {"3 4 0 0 0", "13 14 0 0 0"}},
      {"negative destination y", 0, 0, 0, -1, 2, 2, {"11 12 0 0 0", "0 0 0 0 0"}},
      {"negative source x", -2, 0, 0, 0, 4, 1, {"0 0 1 2 0", "0 0 0 0 0"}},
      {"runs past the destination", 0, 1, 3, 1, 9, 9, {"0 0 0 0 0", "0 0 0 11 12"}},
      {"destination start beyond the right edge", 0, 0, 100, 0, 2, 2, {"0 0 0 0 0", "0 0 0 0 0"}},
      {"destination start below the last row", 0, 0, 0, 2, 2, 2, {"0 0 0 0 0", "0 0 0 0 0"}},
      {"source start beyond the source", 4, 0, 0, 0, 2, 2, {"0 0 0 0 0", "0 0 0 0 0"}},
      {"empty", 0, 0, 0, 0, 0, 2, {"0 0 0 0 0", "0 0 0 0 0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TIKBitmap src, dst;
    MakeNumbered(src, 4, 2);
    dst.SetLocation(ikMemory);
    dst.Allocate(5, 2, ikGray8);
    dst.Fill(0);
    src.CopyRectTo(&dst, c.sx, c.sy, c.dx, c.dy, c.w, c.h);
    EXPECT_EQ(Row(dst, 0), c.rows[0]);
    EXPECT_EQ(Row(dst, 1), c.rows[1]);
  }
}

TEST(IkEdit, CopyRectToConvertsOnlyOneBitToRGB) {
  TIKBitmap mono, rgb, gray, mono2;
  for (auto* b : {&mono, &rgb, &gray, &mono2}) b->SetLocation(ikMemory);
  mono.Allocate(10, 1, ikMono1);
  mono.Fill(0);
  SetBit(static_cast<uint8_t*>(mono.ScanLine(0)), 3, true);
  rgb.Allocate(4, 1, ikRGB24);
  rgb.Fill(0x0000FF);
  mono.CopyRectTo(&rgb, 2, 0, 0, 0, 4, 1);
  EXPECT_EQ(rgb.GetPixelRGB24(0, 0), CreateRGB(0, 0, 0));
  EXPECT_EQ(rgb.GetPixelRGB24(1, 0), CreateRGB(255, 255, 255));

  // Bits land at their new positions; the destination's other bits stay.
  mono2.Allocate(10, 1, ikMono1);
  mono2.Fill(1);
  mono.CopyRectTo(&mono2, 2, 0, 6, 0, 3, 1);
  std::string bits;
  for (int32_t x = 0; x < 10; ++x) bits += GetBit(static_cast<uint8_t*>(mono2.ScanLine(0)), x) ? '1' : '0';
  EXPECT_EQ(bits, "1111110101");

  gray.Allocate(4, 1, ikGray8);
  gray.Fill(7);
  gray.CopyRectTo(&rgb, 0, 0, 0, 0, 4, 1);
  EXPECT_EQ(rgb.GetPixelRGB24(1, 0), CreateRGB(255, 255, 255));
}

TEST(IkEdit, FillsWriteEachFormatAndTrackFull) {
  TIKBitmap f;
  f.SetLocation(ikMemory);
  f.Allocate(3, 3, ik32f);
  f.Fill(0.5);
  EXPECT_EQ(f.GetPixelFloat(2, 2), 0.5f);
  EXPECT_FALSE(f.Full());
  f.FillRect(1, 1, 5, 5, 0.5);  // the integer part only, clipped
  EXPECT_EQ(f.GetPixelFloat(2, 2), 0.0f);
  EXPECT_EQ(f.GetPixelFloat(0, 0), 0.5f);
  f.Fill(1.0);
  EXPECT_TRUE(f.Full());

  TIKBitmap rgb;
  rgb.SetLocation(ikMemory);
  rgb.Allocate(2, 2, ikRGB24);
  rgb.Fill(0x3264C8);  // red in the low byte
  EXPECT_EQ(rgb.GetPixelRGB24(1, 1), CreateRGB(200, 100, 50));
  rgb.Fill(0xFFFFFF);
  EXPECT_TRUE(rgb.Full());
  rgb.SetPixelRGB24(0, 0, CreateRGB(0, 0, 0));
  EXPECT_TRUE(rgb.Full());  // that setter leaves the flag to the caller

  TIKBitmap g16;
  g16.SetLocation(ikMemory);
  g16.Allocate(3, 1, ikGray16);
  g16.Fill(65535);
  EXPECT_TRUE(g16.Full());
  g16.SetPixelWord(0, 0, 1);
  EXPECT_FALSE(g16.Full());

  TIKBitmap m;
  m.SetLocation(ikMemory);
  m.Allocate(12, 2, ikMono1);
  m.Fill(0);
  m.FillRect(-3, 1, 4, 9, 1);
  EXPECT_EQ(m.GetPixelRGB(4, 1), CreateRGB(255, 255, 255));
  EXPECT_EQ(m.GetPixelRGB(5, 1), CreateRGB(0, 0, 0));
  EXPECT_EQ(m.GetPixelRGB(0, 0), CreateRGB(0, 0, 0));
}

TEST(IkEdit, GetPixelRGBReadsEveryFormat) {
  TIKBitmap b;
  b.SetLocation(ikMemory);
  b.Allocate(1, 1, ikRGB48);
  b.SetPixelRGB48(0, 0, {0x1234, 0x5678, 0x9ABC});
  EXPECT_EQ(b.GetPixelRGB(0, 0), CreateRGB(0x12, 0x56, 0x9A));
  b.Allocate(1, 1, ikGray16);
  b.SetPixelWord(0, 0, 0xAB12);
  EXPECT_EQ(b.GetPixelRGB(0, 0), CreateRGB(0xAB, 0xAB, 0xAB));
  b.Allocate(1, 1, ikCMYK);
  b.SetPixelCMYK(0, 0, 0xFF'40'80'FF);  // k 255, y 64, m 128, c 255
  EXPECT_EQ(b.GetPixelRGB(0, 0), CreateRGB(255, 128, 64));
}

TEST(IkEdit, PlatformBitmapImports) {
  forms::TBitmap p16;
  p16.SetPixelFormat(forms::pf16bit);
  p16.SetSize(2, 1);
  auto* row = static_cast<uint8_t*>(p16.ScanLine(0));
  row[0] = 0xFF, row[1] = 0xFF, row[2] = 0x1F, row[3] = 0x00;
  TIKBitmap b;
  b.SetLocation(ikMemory);
  b.Assign(&p16);
  ASSERT_EQ(b.PixelFormat(), ikRGB24);
  EXPECT_EQ(b.GetPixelRGB24(0, 0), CreateRGB(248, 252, 248));
  EXPECT_EQ(b.GetPixelRGB24(1, 0), CreateRGB(0, 0, 248));

  forms::TBitmap p4;
  p4.SetPixelFormat(forms::pf4bit);
  p4.SetSize(3, 1);
  std::vector<uint32_t> table(16, 0);
  table[2] = 0xFF0000;
  table[5] = 0x00FF00;
  p4.SetColorTable(table);
  static_cast<uint8_t*>(p4.ScanLine(0))[0] = 0x25;
  b.CopyFromTBitmap(&p4);
  ASSERT_EQ(b.PixelFormat(), ikPalette8);
  EXPECT_EQ(b.GetPixelRGB(0, 0), CreateRGB(255, 0, 0));
  EXPECT_EQ(b.GetPixelRGB(1, 0), CreateRGB(0, 255, 0));
}

TEST(IkEdit, MaskExchangeAndAlphaMerge) {
  TIKMask mask;
  mask.AllocateBits(9, 3, 8);
  mask.SetPixel(4, 1, 200);
  mask.SetPixel(6, 2, 10);
  TIKBitmap plane;
  plane.SetLocation(ikMemory);
  plane.CopyFromTIKMask(&mask);
  ASSERT_EQ(plane.PixelFormat(), ikGray8);
  EXPECT_EQ(plane.GetPixelByte(4, 1), 200);

  TIKMask back;
  plane.CopyToTIKMask(&back);
  EXPECT_EQ(back.BitCount(), 8);
  EXPECT_EQ(back.GetPixel(6, 2), 10);
  // The box covers the copied selection.
  EXPECT_EQ(back.X1(), 4);
  EXPECT_EQ(back.Y1(), 1);
  EXPECT_EQ(back.X2(), 6);
  EXPECT_EQ(back.Y2(), 2);

  TIKBitmap a, b;
  MakeNumbered(a, 3, 3);
  MakeNumbered(b, 3, 3);
  a.GetAlphaChannel()->Fill(100);
  b.GetAlphaChannel()->Fill(200);
  b.SetAlphaPixel(2, 2, 50);
  a.MergeAlphaRectTo(&b, 0, 0, 0, 0, 3, 3);
  EXPECT_EQ(b.GetAlphaPixel(0, 0), 200);
  EXPECT_EQ(b.GetAlphaPixel(2, 2), 100);
}

TEST(IkEdit, TestsOfContent) {
  TIKBitmap b;
  b.SetLocation(ikMemory);
  b.Allocate(3, 2, ikRGB24);
  b.Fill(0);
  EXPECT_TRUE(b.IsAllZero());
  EXPECT_TRUE(b.IsGrayscale());
  b.SetPixelRGB24(2, 1, CreateRGB(1, 0, 0));
  EXPECT_FALSE(b.IsAllZero());
  EXPECT_FALSE(b.IsGrayscale());
}

class IkEditFile : public testing::TempFolderTest {
protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    DefaultMemoryThreshold = 100;
  }
  void TearDown() override {
    DefaultMemoryThreshold = -1;
    TempFolderTest::TearDown();
  }
};

TEST_F(IkEditFile, EditsWorkOnFileBackedRows) {
  TIKBitmap b;
  MakeNumbered(b, 20, 10, ikFile);
  ASSERT_EQ(b.Location(), ikFile);
  // A copy within one file-backed bitmap, overlapping itself.
  b.CopyRectTo(&b, 0, 0, 1, 1, 5, 5);
  EXPECT_EQ(Row(b, 1).substr(0, 14), "11 1 2 3 4 5 1");
  b.MoveRect(0, 0, 1, 0, 18, 9, 0);
  EXPECT_EQ(b.GetPixelByte(0, 0), 0);
  EXPECT_EQ(b.GetPixelByte(18, 9), 1);
  b.ResizeCanvas(24, 10, 5, 255, 1, 0);
  EXPECT_EQ(b.GetPixelByte(0, 5), 5);
  EXPECT_EQ(b.GetPixelByte(2, 5), 51);
}

// Odd and out-of-range rectangles never touch memory outside a bitmap;
// run under the address sanitizer this finds any stray read or write.
TEST(IkEdit, OddRectanglesStayInside) {
  std::mt19937 rng(1234);
  const int32_t values[] = {INT32_MIN, -100000, -9, -1, 0, 1, 2, 3, 7, 8, 9, 100000, INT32_MAX};
  auto pick = [&] { return values[rng() % std::size(values)]; };
  for (TIKPixelFormat f : {ikMono1, ikGray8, ikRGB24, ikRGB48}) {
    TIKBitmap a, b;
    a.SetLocation(ikMemory);
    b.SetLocation(ikMemory);
    a.Allocate(9, 7, f);
    b.Allocate(5, 3, f);
    a.Fill(0);
    for (int i = 0; i < 3000; ++i) {
      a.CopyRectTo(&b, pick(), pick(), pick(), pick(), pick(), pick());
      b.CopyRectTo(&a, pick(), pick(), pick(), pick(), pick(), pick());
      a.FillRect(pick(), pick(), pick(), pick(), 255);
      if (i % 50 == 0) a.MoveRect(pick(), pick(), pick(), pick(), pick(), pick(), 0);
      a.MergeAlphaRectTo(&b, pick(), pick(), pick(), pick(), pick(), pick());
    }
  }
}

}  // namespace
}  // namespace imaging
