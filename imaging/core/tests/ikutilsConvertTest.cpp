#include <gtest/gtest.h>

#include <cstdlib>

#include "imaging/core/ikutils.h"
#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsConvert.h"
#include "imaging/core/tests/IkTestFolder.h"

namespace imaging {
namespace {

constexpr TIKPixelFormat kFormats[] = {ikMono1, ikPalette8, ikGray8, ikGray16, ikRGB24,
                                       ik32f,   ikCMYK,     ikRGB48, ikCIELab};

bool IsGrayFormat(TIKPixelFormat f) { return f == ikMono1 || f == ikGray8 || f == ikGray16 || f == ik32f; }

const TRGB kWhite = CreateRGB(255, 255, 255);
const TRGB kBlack = CreateRGB(0, 0, 0);
const TRGB kMid = CreateRGB(200, 100, 50);

// A 3 x 2 picture in `format` whose columns are white, black and a mid
// colour (a mid gray for the gray formats, white again for ikMono1).
void MakeSource(TIKBitmap& bmp, TIKPixelFormat format) {
  bmp.Allocate(3, 2, format);
  for (int32_t y = 0; y < 2; ++y) {
    switch (format) {
      case ikMono1:
        for (int32_t x = 0; x < 3; ++x) SetBit(static_cast<uint8_t*>(bmp.ScanLine(y)), x, x != 1);
        break;
      case ikPalette8:
        bmp.SetPaletteColor(0, kWhite);
        bmp.SetPaletteColor(1, kBlack);
        bmp.SetPaletteColor(2, kMid);
        for (int32_t x = 0; x < 3; ++x) bmp.SetPixelByte(x, y, static_cast<uint8_t>(x));
        break;
      case ikGray8:
        bmp.SetPixelByte(0, y, 255), bmp.SetPixelByte(1, y, 0), bmp.SetPixelByte(2, y, 128);
        break;
      case ikGray16:
        bmp.SetPixelWord(0, y, 65535), bmp.SetPixelWord(1, y, 0), bmp.SetPixelWord(2, y, 0x8000);
        break;
      case ikRGB24:
        bmp.SetPixelRGB24(0, y, kWhite), bmp.SetPixelRGB24(1, y, kBlack), bmp.SetPixelRGB24(2, y, kMid);
        break;
      case ik32f:
        bmp.SetPixelFloat(0, y, 1.0f), bmp.SetPixelFloat(1, y, 0.0f), bmp.SetPixelFloat(2, y, 0.5f);
        break;
      case ikCMYK: {
        auto pack = [](const TCMYK& c) { return uint32_t(c.c) | uint32_t(c.m) << 8 | uint32_t(c.y) << 16 | uint32_t(c.k) << 24; };
        bmp.SetPixelCMYK(0, y, pack(RGBToCMYK(kWhite)));
        bmp.SetPixelCMYK(1, y, pack(RGBToCMYK(kBlack)));
        bmp.SetPixelCMYK(2, y, pack(RGBToCMYK(kMid)));
        break;
      }
      case ikRGB48:
        bmp.SetPixelRGB48(0, y, {65535, 65535, 65535});
        bmp.SetPixelRGB48(1, y, {0, 0, 0});
        bmp.SetPixelRGB48(2, y, {200 * 257, 100 * 257, 50 * 257});
        break;
      case ikCIELab: {
        auto* row = static_cast<uint8_t*>(bmp.ScanLine(y));
        const TRGB colors[3] = {kWhite, kBlack, kMid};
        for (int32_t x = 0; x < 3; ++x) IKStore(row + 3 * x, RGBToCIELab(PackRGB(colors[x])));
        break;
      }
      default: break;
    }
  }
}

// What column x of the converted picture should show, as a colour.
TRGB Expected(TIKPixelFormat from, TIKPixelFormat to, int32_t x) {
  if (x == 0 || (from == ikMono1 && x == 2)) return kWhite;
  if (x == 1) return kBlack;
  uint8_t level = 0;
  if (from == ikGray8 || from == ikGray16) level = 128;
  if (from == ik32f) level = 127;
  if (IsGrayFormat(from)) return CreateRGB(level, level, level);
  if (IsGrayFormat(to)) {
    const auto g = static_cast<uint8_t>(GrayLevel(kMid));
    return CreateRGB(g, g, g);
  }
  return kMid;
}

::testing::AssertionResult Near(const TRGB& got, const TRGB& want, int tolerance) {
  if (std::abs(got.r - want.r) <= tolerance && std::abs(got.g - want.g) <= tolerance &&
      std::abs(got.b - want.b) <= tolerance) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "got (" << int(got.r) << ", " << int(got.g) << ", " << int(got.b)
                                       << "), want (" << int(want.r) << ", " << int(want.g) << ", " << int(want.b)
                                       << ")";
}

TEST(IkConvert, EveryFormatPairKeepsWhiteBlackAndAMidColour) {
  for (TIKPixelFormat from : kFormats) {
    for (TIKPixelFormat to : kFormats) {
      if (from == to) continue;
      // Reducing colour pictures to a palette needs the quantizer (below).
      if (to == ikPalette8 && !IsGrayFormat(from) && from != ikPalette8) continue;
      SCOPED_TRACE(std::string(IKPixelFormatInfo(from).Name) + " -> " + IKPixelFormatInfo(to).Name);
      TIKBitmap bmp;
      bmp.SetLocation(ikMemory);
      MakeSource(bmp, from);
      bmp.SetDitherMethod(0);
      bmp.ConvertPixelFormat(to);
      ASSERT_EQ(bmp.PixelFormat(), to);
      ASSERT_EQ(bmp.Width(), 3);
      ASSERT_EQ(bmp.Height(), 2);
      for (int32_t y = 0; y < 2; ++y) {
        for (int32_t x = 0; x < 3; ++x) {
          // A dithered mid tone is its own case (below); white at these
          // positions is all set, black all clear.
          if (to == ikMono1 && x == 2 && from != ikMono1) continue;
          // The Lab round trip and the float luma may be a few units off.
          const int tolerance = from == ikCIELab || to == ikCIELab ? 3 : 2;
          EXPECT_TRUE(Near(bmp.GetPixelRGB(x, y), Expected(from, to, x), tolerance)) << "pixel " << x << ", " << y;
        }
      }
    }
  }
}

TEST(IkConvert, WhiteReachesTheTopOfEveryWiderFormat) {
  TIKBitmap bmp;
  bmp.SetLocation(ikMemory);
  MakeSource(bmp, ikRGB24);
  TIKBitmap gray16, f32, rgb48;
  for (auto* b : {&gray16, &f32, &rgb48}) b->SetLocation(ikMemory);
  gray16.Allocate(3, 2, ikGray16);
  f32.Allocate(3, 2, ik32f);
  rgb48.Allocate(3, 2, ikRGB48);
  TIKBitmap::ConvertPixelFormatCopy(&gray16, &bmp);
  TIKBitmap::ConvertPixelFormatCopy(&f32, &bmp);
  TIKBitmap::ConvertPixelFormatCopy(&rgb48, &bmp);
  EXPECT_EQ(gray16.GetPixelWord(0, 0), 65535);
  EXPECT_NEAR(f32.GetPixelFloat(0, 0), 1.0f, 1e-6);
  EXPECT_EQ(rgb48.GetPixelRGB48(0, 0), (TRGB48{65535, 65535, 65535}));
  // The mid colour's 16-bit gray uses the Rec. 709 weights.
  EXPECT_EQ(gray16.GetPixelWord(2, 0), (200 * 257 * 212 + 100 * 257 * 713 + 50 * 257 * 75) / 1000);
  EXPECT_EQ(rgb48.GetPixelRGB48(2, 1), (TRGB48{200 * 257, 100 * 257, 50 * 257}));
}

// Every pixel of a flat picture of one level, dithered.
void ExpectDither(TIKPixelFormat format, void (*fill)(TIKBitmap&), int32_t below) {
  TIKBitmap bmp;
  bmp.SetLocation(ikMemory);
  bmp.Allocate(16, 8, format);
  fill(bmp);
  bmp.SetDitherMethod(0);
  bmp.SetPixelFormat(ikMono1);
  ASSERT_EQ(bmp.PixelFormat(), ikMono1);
  int32_t white = 0;
  for (int32_t y = 0; y < 8; ++y) {
    for (int32_t x = 0; x < 16; ++x) {
      const bool set = GetBit(static_cast<const uint8_t*>(bmp.ScanLine(y)), x) != 0;
      EXPECT_EQ(set, BayerMatrix[x % 8][y % 8] < below) << x << ", " << y;
      white += set;
    }
  }
  EXPECT_EQ(white, 2 * below);
}

TEST(IkConvert, OrderedDitherFollowsTheMatrix) {
  // Gray 128: level div 4 = 32, so exactly the half below 32 is white.
  ExpectDither(ikGray8, [](TIKBitmap& b) { b.Fill(128); }, 32);
  // Float 0.5 is level 127: matrix values 0..30.
  ExpectDither(ik32f, [](TIKBitmap& b) { b.Fill(0.5); }, 31);
  // 16-bit samples are compared at 6 bits: 0x8000 shr 10 = 32.
  ExpectDither(ikGray16, [](TIKBitmap& b) { b.Fill(0x8000); }, 32);
  // A colour by its gray level: (21 x 200 + 71 x 100 + 8 x 50) div 100 = 117.
  ExpectDither(ikRGB24, [](TIKBitmap& b) { b.Fill(0x3264C8); }, 29);
  ExpectDither(ikRGB48, [](TIKBitmap& b) { b.Fill(0x3264C8); }, 29);
}

TEST(IkConvert, SameFormatIsLeftAlone) {
  TIKBitmap bmp;
  bmp.SetLocation(ikMemory);
  MakeSource(bmp, ikRGB24);
  const uint8_t* bits = bmp.Bits();
  bmp.SetPixelFormat(ikRGB24);
  EXPECT_EQ(bmp.Bits(), bits);
}

TEST(IkConvert, AlphaPlaneStaysWithThePicture) {
  TIKBitmap bmp;
  bmp.SetLocation(ikMemory);
  MakeSource(bmp, ikRGB24);
  bmp.SetAlphaPixel(1, 1, 77);
  bmp.SetPixelFormat(ikGray8);
  ASSERT_TRUE(bmp.HasAlphaChannel());
  EXPECT_EQ(bmp.GetAlphaPixel(1, 1), 77);
  EXPECT_EQ(bmp.GetAlphaPixel(0, 0), 255);
}

TEST(IkConvert, WildFloatSamplesWrapWithoutUndefinedArithmetic) {
  TIKBitmap bmp;
  bmp.SetLocation(ikMemory);
  bmp.Allocate(3, 1, ik32f);
  bmp.SetPixelFloat(0, 0, 1.5f);  // 382 keeps its low byte: 126
  bmp.SetPixelFloat(1, 0, std::numeric_limits<float>::quiet_NaN());
  bmp.SetPixelFloat(2, 0, 1e30f);
  bmp.SetPixelFormat(ikGray8);
  EXPECT_EQ(bmp.GetPixelByte(0, 0), 126);
  EXPECT_EQ(bmp.GetPixelByte(1, 0), 0);
  EXPECT_EQ(bmp.GetPixelByte(2, 0), 0);
}

using IkConvertFile = testing::SmallThresholdTest;

TEST_F(IkConvertFile, ConversionsWorkRowByRowInTemporaryFiles) {
  TIKBitmap bmp;
  bmp.Allocate(40, 30, ikRGB24);  // 3600 bytes: a file
  ASSERT_EQ(bmp.Location(), ikFile);
  bmp.Fill(0x3264C8);
  bmp.SetPixelFormat(ikRGB48);  // 7200 bytes: still a file
  EXPECT_EQ(bmp.Location(), ikFile);
  EXPECT_EQ(bmp.GetPixelRGB48(39, 29), (TRGB48{200 * 257, 100 * 257, 50 * 257}));
  bmp.SetDitherMethod(0);
  bmp.SetPixelFormat(ikMono1);  // 8 x 30 bytes: memory
  EXPECT_EQ(bmp.Location(), ikMemory);
  bmp.SetPixelFormat(ikRGB24);
  EXPECT_EQ(bmp.Location(), ikFile);
  EXPECT_EQ(Files().size(), 1u);
}

TEST(IkConvert, WrappedPlatformBitmapIsConvertedInPlace) {
  forms::TBitmap platform;
  platform.SetPixelFormat(forms::pf24bit);
  platform.SetSize(4, 2);
  TIKBitmap bmp;
  bmp.EncapsulateTBitmap(&platform, true);
  bmp.Fill(0x3264C8);
  bmp.SetPixelFormat(ikGray8);
  EXPECT_EQ(bmp.Location(), ikTBitmap);
  EXPECT_EQ(bmp.GetTBitmap(), &platform);
  EXPECT_EQ(platform.PixelFormat(), forms::pf8bit);
  EXPECT_EQ(bmp.PixelFormat(), ikGray8);
  EXPECT_EQ(bmp.GetPixelByte(3, 1), GrayLevel(kMid));
  EXPECT_THROW(bmp.SetPixelFormat(ikCMYK), EIKError);
}

// These need the threshold and quantizer units; enable them when those
// land.
TEST(IkConvert, ThresholdReductionSplitsAtTheMeanGray) {
  TIKBitmap bmp;
  bmp.SetLocation(ikMemory);
  bmp.Allocate(4, 1, ikGray8);
  for (int32_t x = 0; x < 4; ++x) bmp.SetPixelByte(x, 0, x < 2 ? 100 : 200);
  bmp.SetDitherMethod(1);
  bmp.SetPixelFormat(ikMono1);
  for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(GetBit(static_cast<uint8_t*>(bmp.ScanLine(0)), x) != 0, x >= 2);
}

TEST(IkConvert, PaletteReductionKeepsFewColoursExactly) {
  TIKBitmap bmp;
  bmp.SetLocation(ikMemory);
  MakeSource(bmp, ikRGB24);
  bmp.SetPixelFormat(ikPalette8);
  for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(bmp.GetPixelRGB(x, 0), Expected(ikRGB24, ikRGB24, x));
}

}  // namespace
}  // namespace imaging
