#include "imaging/core/imgkitprocPixels.h"

#include <gtest/gtest.h>

#include <cstring>

#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/tests/IkPixelTestSupport.h"

namespace imaging {
namespace {

using testing::Bit;
using testing::MakeGray;
using testing::MakeMono;
using testing::MakeRGB;

TEST(IkPixels, RGBToHSLOfKnownColours) {
  struct Case {
    uint32_t color;
    double h, s, l;
  } cases[] = {
      {0xFF0000, 0, 1, 0.5},              // red
      {0x0000FF, 2.0 / 3, 1, 0.5},        // blue
      {0x00FF00, 1.0 / 3, 1, 0.5},        // green
      {0x808080, 0, 0, 128.0 / 255},      // gray 128
      {0xFF00FF, 5.0 / 6, 1, 0.5},        // magenta: red largest, hue wraps past 0
      {0x400000, 0, 1, 32.0 / 255},       // dark red: saturation below L 0.5
  };
  for (const Case& c : cases) {
    double h, s, l;
    RGBToHSL(h, s, l, c.color);
    EXPECT_NEAR(h, c.h, 1e-9) << std::hex << c.color;
    EXPECT_NEAR(s, c.s, 1e-9) << std::hex << c.color;
    EXPECT_NEAR(l, c.l, 1e-3) << std::hex << c.color;
  }
}

TEST(IkPixels, HSLToRGBWrapsHueAndClampsSaturation) {
  TRGB a, b;
  HSLToRGB(a, -0.25, 1, 0.5);
  HSLToRGB(b, 0.75, 1, 0.5);
  EXPECT_EQ(a, b);
  EXPECT_NEAR(b.r, 128, 1);
  EXPECT_EQ(b.g, 0);
  EXPECT_EQ(b.b, 255);
  HSLToRGB(a, 0.5, 1.5, 0.5);
  HSLToRGB(b, 0.5, 1, 0.5);
  EXPECT_EQ(a, b);
  HSLToRGB(a, 0.3, 0, 0.2);
  EXPECT_EQ(a, CreateRGB(51, 51, 51));
  // A round trip through HSL keeps every channel.
  for (uint32_t c : {0x123456u, 0xFEDCBAu, 0x00FF80u, 0x7F7F80u}) {
    double h, s, l;
    RGBToHSL(h, s, l, c);
    HSLToRGB(a, h, s, l);
    EXPECT_EQ(static_cast<uint32_t>(PackRGB(a)), c);
  }
}

TEST(IkPixels, ImageMeanAveragesRowMeansPerFormat) {
  TIKBitmap rgb;
  // Row means 10 and 31 (63 / 2 truncates) give 20 over the two rows.
  MakeRGB(rgb, 2, 2, [](int32_t x, int32_t y) {
    const auto v = static_cast<uint8_t>(y == 0 ? 10 : (x == 0 ? 30 : 33));
    return CreateRGB(v, 0, 255);
  });
  int32_t r, g, b;
  ImageMeanRGB(&rgb, r, g, b);
  EXPECT_EQ(r, 20);
  EXPECT_EQ(g, 0);
  EXPECT_EQ(b, 255);

  TIKBitmap mono;
  MakeMono(mono, 4, 1, [](int32_t x, int32_t) { return x == 0; });
  ImageMeanRGB(&mono, r, g, b);
  EXPECT_EQ(r, 63);

  TIKBitmap gray;
  MakeGray(gray, 3, 1, [](int32_t x, int32_t) { return static_cast<uint8_t>(x * 100); });
  ImageMeanRGB(&gray, r, g, b);
  EXPECT_EQ(r, 100);
  EXPECT_EQ(b, 100);

  TIKBitmap pal;
  pal.Allocate(2, 1, ikPalette8);
  pal.SetPaletteColor(3, CreateRGB(40, 80, 120));
  pal.SetPaletteColor(4, CreateRGB(0, 0, 0));
  pal.SetPixelByte(0, 0, 3);
  pal.SetPixelByte(1, 0, 4);
  ImageMeanRGB(&pal, r, g, b);
  EXPECT_EQ(r, 20);
  EXPECT_EQ(g, 40);
  EXPECT_EQ(b, 60);
}

TEST(IkPixels, TwoColourPackingKeepsDarkAsClearBits) {
  TIKBitmap one;
  MakeRGB(one, 3, 2, [](int32_t, int32_t) { return CreateRGB(9, 9, 9); });
  TRGB c1, c2;
  EXPECT_EQ(ConvertTwoColorsTo1Bit(&one, c1, c2), nullptr);

  TIKBitmap three;
  MakeRGB(three, 3, 1, [](int32_t x, int32_t) { return CreateRGB(static_cast<uint8_t>(x * 100), 0, 0); });
  EXPECT_EQ(ConvertTwoColorsTo1Bit(&three, c1, c2), nullptr);

  // White first: the bits are inverted so that set stands for white.
  TIKBitmap bw;
  MakeRGB(bw, 10, 2, [](int32_t x, int32_t y) { return (x + y) % 3 ? CreateRGB(0, 0, 0) : CreateRGB(255, 255, 255); });
  auto packed = ConvertTwoColorsTo1Bit(&bw, c1, c2);
  ASSERT_NE(packed, nullptr);
  EXPECT_EQ(c1, CreateRGB(0, 0, 0));
  EXPECT_EQ(c2, CreateRGB(255, 255, 255));
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 10; ++x) EXPECT_EQ(Bit(*packed, x, y), (x + y) % 3 == 0) << x << "," << y;
}

TEST(IkPixels, NearestColourPrefersTheLowerIndexOnTies) {
  const TRGB palette[] = {CreateRGB(0, 0, 0), CreateRGB(20, 0, 0), CreateRGB(0, 20, 0), CreateRGB(10, 10, 10)};
  EXPECT_EQ(FindNearestColor(palette, 4, 0x0A0000), 0);  // 10 from entries 0 and 1
  EXPECT_EQ(FindNearestColor(palette, 4, 0x0B0000), 1);
  EXPECT_EQ(FindNearestColor(palette, 4, 0x0A0A0A), 3);
  EXPECT_EQ(FindNearestColor(palette, 0, 0x0A0A0A), 0);
}

TEST(IkPixels, CopyBitsTouchesOnlyItsRun) {
  struct Case {
    int32_t destBit, sourceBit, count;
    uint8_t src0, src1, dst0, dst1;
    uint8_t want0, want1;
  } cases[] = {
      // 3 bits from bit 6 (1, 1 | 0) into bits 5..7 of a cleared byte.
      {5, 6, 3, 0x03, 0x00, 0x00, 0x00, 0x06, 0x00},
      // the same into a set byte: bits 0..4 stay set
      {5, 6, 3, 0x03, 0x00, 0xFF, 0xFF, 0xFE, 0xFF},
      // across a byte boundary, neighbours kept
      {6, 0, 4, 0xF0, 0x00, 0x00, 0x00, 0x03, 0xC0},
      // nothing for count 0 or negative positions
      {0, 0, 0, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00},
      {-1, 0, 3, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00},
  };
  for (const Case& c : cases) {
    const uint8_t src[2] = {c.src0, c.src1};
    uint8_t dst[2] = {c.dst0, c.dst1};
    CopyBits(dst, src, c.destBit, c.sourceBit, c.count, 2);
    EXPECT_EQ(dst[0], c.want0) << c.destBit << " " << c.sourceBit;
    EXPECT_EQ(dst[1], c.want1) << c.destBit << " " << c.sourceBit;
  }
  // The source bound: bits past the available bytes read as clear.
  const uint8_t src[1] = {0xFF};
  uint8_t dst[3] = {0, 0, 0};
  CopyBits(dst, src, 0, 0, 16, 1);
  EXPECT_EQ(dst[0], 0xFF);
  EXPECT_EQ(dst[1], 0x00);
}

TEST(IkPixels, SwapsExchangeRedAndBlue) {
  uint8_t px[6] = {1, 2, 3, 4, 5, 6};
  uint8_t out[6];
  CopySwapRB24(out, px, 2);
  EXPECT_EQ(std::memcmp(out, "\3\2\1\6\5\4", 6), 0);
  SwapRB24(px, 2);
  EXPECT_EQ(std::memcmp(px, out, 6), 0);
  uint16_t wide[3] = {0x1111, 0x2222, 0x3333};
  SwapRB48(reinterpret_cast<uint8_t*>(wide), 1);
  EXPECT_EQ(wide[0], 0x3333);
  EXPECT_EQ(wide[2], 0x1111);
  TRGB colors[1] = {CreateRGB(1, 2, 3)};
  SwapRBTriples(colors, 1);
  EXPECT_EQ(colors[0], CreateRGB(3, 2, 1));
}

TEST(IkPixels, InvertBitsCoversTheRowPadding) {
  TIKBitmap mono;
  MakeMono(mono, 3, 2, [](int32_t x, int32_t) { return x == 1; });
  InvertBits(&mono);
  const auto* row = static_cast<const uint8_t*>(mono.ScanLine(0));
  EXPECT_EQ(row[0], 0xBF);
  for (int32_t i = 1; i < mono.RowLength(); ++i) EXPECT_EQ(row[i], 0xFF);
}

TEST(IkPixels, ExpandTableAndOneBitPlatformBitmaps) {
  EXPECT_EQ(ExpandBitsTable[0x80][0], 255);
  EXPECT_EQ(ExpandBitsTable[0x80][3], 0);
  EXPECT_EQ(ExpandBitsTable[0x01][21], 255);
  forms::TBitmap source;
  source.SetPixelFormat(forms::pf1bit);
  source.SetSize(11, 2);
  auto* row = static_cast<uint8_t*>(source.ScanLine(1));
  row[0] = 0x81;  // pixels 0 and 7
  row[1] = 0x20;  // pixel 10
  forms::TBitmap target;
  int32_t last = -1;
  TProgressRec progress;
  progress.Callback = [](void* data, forms::TObject*, int32_t percent) { *static_cast<int32_t*>(data) = percent; };
  progress.CallbackData = &last;
  Expand1BitTBitmapTo24(&source, &target, progress);
  ASSERT_EQ(target.PixelFormat(), forms::pf24bit);
  ASSERT_EQ(target.Width(), 11);
  const auto* out = static_cast<const uint8_t*>(target.ScanLine(1));
  for (int x = 0; x < 11; ++x) EXPECT_EQ(out[3 * x + 1], x == 0 || x == 7 || x == 10 ? 255 : 0) << x;
  EXPECT_EQ(last, 80);  // trunc(100 / 2.5 x 2)
  auto copy = DuplicateTBitmap(&target);
  EXPECT_EQ(std::memcmp(copy->ScanLine(1), target.ScanLine(1), 33), 0);
}

}  // namespace
}  // namespace imaging
