#include "imaging/core/ikutils.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>

#include "imaging/core/ikutilsBitmap.h"

namespace imaging {
namespace {

namespace fs = std::filesystem;

TEST(IkUtilsBits, BitFieldsAndSwaps) {
  EXPECT_EQ(BitFieldWidth(0xF800), 5);
  EXPECT_EQ(BitFieldWidth(0x07E0), 6);
  EXPECT_EQ(BitFieldWidth(0), 0);
  EXPECT_EQ(BitFieldWidth(0xFFFFFFFFu), 32);
  // Only the run from the lowest set bit counts.
  EXPECT_EQ(BitFieldWidth(0b1101100), 2);
  EXPECT_EQ(BitFieldEnd(0xF800), 16);
  EXPECT_EQ(BitFieldEnd(0x8000), 15);
  EXPECT_EQ(BitFieldEnd(1), 0);
  EXPECT_EQ(BitFieldEnd(0), -1);
  EXPECT_EQ(BitFieldEnd(0x80000001u), 32);

  uint32_t v = 1;
  ReverseBits32(v);
  EXPECT_EQ(v, 0x80000000u);
  v = 0x12345678;
  ReverseBits32(v);
  EXPECT_EQ(v, 0x1E6A2C48u);
  uint8_t b = 0x01;
  ReverseBits(b);
  EXPECT_EQ(b, 0x80);
  b = 0xC4;
  ReverseBits(b);
  EXPECT_EQ(b, 0x23);

  EXPECT_EQ(Swap16(0x12345678), 0x12347856u);
  EXPECT_EQ(Swap32(0x12345678), 0x78563412u);
}

TEST(IkUtilsBits, GetAndSetBitAddressMostSignificantFirst) {
  uint8_t row[2] = {0, 0};
  SetBit(row, 0, true);
  SetBit(row, 9, true);
  EXPECT_EQ(row[0], 0x80);
  EXPECT_EQ(row[1], 0x40);
  EXPECT_NE(GetBit(row, 9), 0);
  EXPECT_EQ(GetBit(row, 8), 0);
  SetBit(row, 0, false);
  EXPECT_EQ(row[0], 0);
}

TEST(IkUtilsRows, RowLengths) {
  struct Case {
    int64_t width;
    int32_t bits, alignment;
    int64_t expected;
  };
  const Case cases[] = {
      {100, 24, 32, 300}, {33, 1, 32, 8},  {3, 8, 32, 4},   {5, 4, 32, 4},    {5, 24, 8, 15},
      {1, 48, 32, 8},     {7, 16, 16, 14}, {0, 24, 32, 0},  {50000, 24, 32, 150000},
      // A width from a hostile header: the length stays exact in 64 bits.
      {2147483647, 48, 32, 12884901884},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BitmapRowLength(c.width, c.bits, c.alignment), c.expected)
        << c.width << " x " << c.bits << " bits, alignment " << c.alignment;
  }
  EXPECT_EQ(TBitmapRowLength(5, forms::pf24bit), 16);
  EXPECT_EQ(TBitmapRowLength(5, forms::pf15bit), 12);
  EXPECT_EQ(PixelFormatBitCount(forms::pf15bit), 15);
  EXPECT_EQ(PixelFormatBitCount(forms::pfDevice), 0);
  EXPECT_EQ(PixelFormatBitCount(forms::pfCustom), 0);
}

TEST(IkUtilsRows, PixelFormatTable) {
  struct Case {
    TIKPixelFormat format;
    const char* name;
    int32_t bits, samples;
  };
  const Case cases[] = {
      {ikNoFormat, "ikNoFormat", 0, 0}, {ikMono1, "ikMono1", 1, 1},   {ikPalette8, "ikPalette8", 8, 1},
      {ikGray8, "ikGray8", 8, 1},       {ikGray16, "ikGray16", 16, 1}, {ikRGB24, "ikRGB24", 24, 3},
      {ik32f, "ik32f", 32, 1},          {ikCMYK, "ikCMYK", 32, 4},     {ikRGB48, "ikRGB48", 48, 3},
      {ikCIELab, "ikCIELab", 24, 3},
  };
  for (const auto& c : cases) {
    const auto& info = IKPixelFormatInfo(c.format);
    EXPECT_STREQ(info.Name, c.name);
    EXPECT_EQ(info.BitCount, c.bits) << c.name;
    EXPECT_EQ(info.ChannelCount, c.samples) << c.name;
    // The buffer takes its figures from the same table.
    TIKBitmap bmp;
    bmp.SetLocation(ikMemory);
    bmp.Allocate(3, 2, c.format);
    EXPECT_EQ(bmp.BitCount(), c.bits) << c.name;
    EXPECT_EQ(bmp.ChannelCount(), c.samples) << c.name;
    EXPECT_EQ(bmp.RowLength(), BitmapRowLength(3, c.bits, 32)) << c.name;
    EXPECT_EQ(bmp.PaletteLength(), c.format == ikPalette8 ? 256 : 0) << c.name;
  }
}

TEST(IkUtilsColour, CmykFollowsTheBufferFormulas) {
  EXPECT_EQ(CMYKToRGB(TCMYK{255, 128, 0, 255}), CreateRGB(255, 128, 0));
  EXPECT_EQ(CMYKToRGB(TCMYK{255, 255, 255, 128}), CreateRGB(128, 128, 128));
  EXPECT_EQ(RGBToCMYK(CreateRGB(200, 100, 50)), (TCMYK{255, 127, 63, 200}));
  // Black: k is taken as 1, so nothing divides by zero.
  EXPECT_EQ(RGBToCMYK(CreateRGB(0, 0, 0)), (TCMYK{0, 0, 0, 1}));
  EXPECT_EQ(CMYKToRGB(RGBToCMYK(CreateRGB(255, 255, 255))), CreateRGB(255, 255, 255));
}

TEST(IkUtilsMath, Powers) {
  EXPECT_DOUBLE_EQ(IntPower(2, 10), 1024);
  EXPECT_DOUBLE_EQ(IntPower(2, -2), 0.25);
  EXPECT_DOUBLE_EQ(IntPower(7, 0), 1);
  EXPECT_DOUBLE_EQ(IntPower(1, INT32_MIN), 1);
  EXPECT_DOUBLE_EQ(Power(5, 0), 1);
  EXPECT_DOUBLE_EQ(Power(0, 3), 0);
  EXPECT_DOUBLE_EQ(Power(3, 3), 27);
  EXPECT_NEAR(Power(2, 0.5), std::sqrt(2.0), 1e-12);
  EXPECT_DOUBLE_EQ(FastPower(0, 0), 1);
  EXPECT_DOUBLE_EQ(FastPower(0, 2.4), 0);
  EXPECT_DOUBLE_EQ(FastPower(0, -1), 0);
  EXPECT_DOUBLE_EQ(FastPower(3, 2), 9);
  EXPECT_DOUBLE_EQ(FastPower(4, -2), 1.0 / 16);
  EXPECT_DOUBLE_EQ(FastPower(2, 5), 32);
  EXPECT_NEAR(FastPower(0.5, 2.4), std::pow(0.5, 2.4), 1e-12);
  EXPECT_NEAR(FastPower(0.2, 1.0 / 3.0), std::cbrt(0.2), 1e-12);
}

TEST(IkUtilsMath, FitSizeKeepingAspect) {
  struct Case {
    int32_t w, h, maxW, maxH, outW, outH;
  };
  const Case cases[] = {
      {400, 300, 80, 60, 80, 60}, {1000, 10, 80, 60, 80, 1}, {10, 1000, 80, 60, 1, 60}, {40, 30, 80, 60, 80, 60},
      {300, 400, 80, 60, 45, 60},
  };
  for (const auto& c : cases) {
    int32_t w = -1, h = -1;
    FitSizeKeepingAspect(c.w, c.h, c.maxW, c.maxH, w, h);
    EXPECT_EQ(w, c.outW) << c.w << "x" << c.h;
    EXPECT_EQ(h, c.outH) << c.w << "x" << c.h;
  }
  int32_t w = -7, h = -7;
  FitSizeKeepingAspect(0, 300, 80, 60, w, h);
  EXPECT_EQ(w, -7);
  EXPECT_EQ(h, -7);
}

TEST(IkUtilsText, StrToFloatTolerant) {
  struct Case {
    const char* text;
    double expected;
  };
  const Case cases[] = {
      {"2,5", 2.5}, {"2.5", 2.5}, {" -1.25 ", -1.25}, {"+3", 3}, {"1e3", 1000}, {"abc", 7}, {"", 7}, {"1,2,3", 7},
      {"1.2.3", 7},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(StrToFloatTolerant(c.text, 7), c.expected) << '"' << c.text << '"';
}

TEST(IkUtilsHash, CountsDistinctColoursAcrossSharedSlots) {
  THash1 set(4);
  EXPECT_EQ(set.SlotCount(), 16);
  EXPECT_TRUE(set.Insert(0xFF0000));
  EXPECT_FALSE(set.Insert(0xFF0000));
  EXPECT_EQ(set.Count(), 1);
  // Same low four bits: all three share slot 0 and make a chain.
  EXPECT_TRUE(set.Insert(0x10));
  EXPECT_TRUE(set.Insert(0x20));
  EXPECT_FALSE(set.Insert(0x10));
  EXPECT_FALSE(set.Insert(0x20));
  EXPECT_EQ(set.Count(), 3);
  THash1 big(8);
  int added = 0;
  for (uint32_t c = 0; c < 5000; ++c) added += big.Insert(c * 7919u % 3000u) ? 1 : 0;
  EXPECT_EQ(added, 3000);
  EXPECT_EQ(big.Count(), 3000);
}

TEST(IkUtilsFiles, ForceDirectories) {
  char pattern[] = "/tmp/vorix-ikdirs-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string root = pattern;
  ForceDirectories(root + "/a/b/c/");
  EXPECT_TRUE(DirectoryExists(root + "/a/b/c"));
  EXPECT_TRUE(fs::is_directory(root + "/a/b/c"));
  ForceDirectories(root + "/a/b/c");  // existing: nothing to do
  ForceDirectories("/");
  EXPECT_FALSE(DirectoryExists(root + "/missing"));
  EXPECT_FALSE(DirectoryExists(""));
  try {
    ForceDirectories("");
    ADD_FAILURE() << "an empty path must raise";
  } catch (const EIKError& e) {
    EXPECT_EQ(e.Message(), "Cannot Create Directory");
  }
  fs::remove_all(root);
}

TEST(IkUtilsMemory, PageBlocksAndAvailableMemory) {
  void* block = PageAlloc(10000);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 4096, 0u);
  auto* bytes = static_cast<uint8_t*>(block);
  EXPECT_EQ(bytes[0], 0);
  EXPECT_EQ(bytes[9999], 0);
  bytes[9999] = 1;
  PageFree(block);
  EXPECT_EQ(block, nullptr);
  // A real machine has some memory free; the figure is in bytes.
  EXPECT_GT(AvailablePhysicalMemory(), int64_t{1} << 20);
}

TEST(IkUtilsPlatformBitmap, GrayColorTable) {
  forms::TBitmap bmp;
  bmp.SetPixelFormat(forms::pf8bit);
  bmp.SetSize(4, 4);
  EXPECT_FALSE(IsGrayColorTable(&bmp));
  SetGrayColorTable(&bmp);
  EXPECT_TRUE(IsGrayColorTable(&bmp));
  auto table = bmp.ColorTable();
  table[200] = 0x00C8C9C8;
  bmp.SetColorTable(table);
  EXPECT_FALSE(IsGrayColorTable(&bmp));

  TIKBitmap image;
  image.SetLocation(ikMemory);
  image.Allocate(2, 2, ikPalette8);
  table[5] = 0x00123456;
  bmp.SetColorTable(table);
  ReadColorTable(&bmp, &image);
  EXPECT_EQ(image.GetPaletteColor(5), CreateRGB(0x12, 0x34, 0x56));
  EXPECT_EQ(image.GetPaletteColor(200), CreateRGB(0xC8, 0xC9, 0xC8));
}

TEST(IkUtilsPlatformBitmap, Draw3DRectLeavesTheEndPointsOut) {
  forms::TBitmap bmp;
  bmp.SetPixelFormat(forms::pf24bit);
  bmp.SetSize(6, 6);
  Draw3DRect(bmp.Canvas(), 1, 1, 4, 4, forms::clRed, forms::clBlue);
  auto* c = bmp.Canvas();
  EXPECT_EQ(c->Pixels(1, 2), forms::clRed);  // left edge
  EXPECT_EQ(c->Pixels(2, 1), forms::clRed);  // top edge
  EXPECT_EQ(c->Pixels(2, 4), forms::clBlue);  // bottom edge
  EXPECT_EQ(c->Pixels(4, 2), forms::clBlue);  // right edge
  EXPECT_EQ(c->Pixels(4, 1), forms::clWhite);  // the last point of each line is not drawn
  EXPECT_EQ(c->Pixels(2, 2), forms::clWhite);
}

}  // namespace
}  // namespace imaging
