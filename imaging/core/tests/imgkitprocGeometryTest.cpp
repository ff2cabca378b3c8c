#include "imaging/core/imgkitprocGeometry.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>

#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsSupport.h"
#include "imaging/core/tests/IkPixelTestSupport.h"
#include "platform/rtl/tests/ToolCheck.h"

namespace imaging {
namespace {

using testing::Bit;
using testing::MakeGray;
using testing::MakeMono;
using testing::MakeRGB;

TRGB Distinct(int32_t x, int32_t y) { return CreateRGB(static_cast<uint8_t>(10 + x * 20), static_cast<uint8_t>(10 + y * 40), 99); }

TEST(IkGeometry, QuarterTurnsMovePixelsWithoutShearing) {
  TIKBitmap img;
  MakeRGB(img, 4, 2, Distinct);
  RotateIKBitmap(&img, true, nullptr, 90, 0xFFFFFF, nullptr);
  ASSERT_EQ(img.Width(), 2);
  ASSERT_EQ(img.Height(), 4);
  // Counter-clockwise: (x, y) goes to (y, W - 1 - x).
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(img.GetPixelRGB24(y, 3 - x), Distinct(x, y));

  TIKBitmap cw, ccw, src;
  MakeRGB(src, 4, 2, Distinct);
  Rotate90CW(&src, &cw);
  Rotate90CCW(&src, &ccw);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 4; ++x) {
      EXPECT_EQ(cw.GetPixelRGB24(1 - y, x), Distinct(x, y));
      EXPECT_EQ(ccw.GetPixelRGB24(y, 3 - x), Distinct(x, y));
    }
}

TEST(IkGeometry, FullTurnLeavesTheImageAlone) {
  TIKBitmap img;
  MakeRGB(img, 5, 3, Distinct);
  RotateIKBitmap(&img, true, nullptr, 360, 0, nullptr);
  ASSERT_EQ(img.Width(), 5);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(img.GetPixelRGB24(x, y), Distinct(x, y));
}

TEST(IkGeometry, ShearRotationGrowsAndFillsTheCorners) {
  for (bool antiAlias : {false, true}) {
    TIKBitmap img;
    MakeRGB(img, 40, 20, [](int32_t, int32_t) { return CreateRGB(0, 0, 255); });
    RotateIKBitmap(&img, antiAlias, nullptr, 45, 0xFF0000, nullptr);
    // 40 x 20 at 45: W1 = 49, d = 6, H2' = 56, e = 12, H2 = 44, W3 = 44.
    EXPECT_EQ(img.Width(), 44);
    EXPECT_EQ(img.Height(), 44);
    EXPECT_EQ(img.GetPixelRGB24(0, 0), CreateRGB(255, 0, 0));
    EXPECT_EQ(img.GetPixelRGB24(43, 43), CreateRGB(255, 0, 0));
    EXPECT_EQ(img.GetPixelRGB24(22, 22), CreateRGB(0, 0, 255));
  }
}

TEST(IkGeometry, ShearRotationTurnsCounterClockwise) {
  // A mark right of the centre moves up for a positive angle.
  TIKBitmap img;
  MakeRGB(img, 41, 41, [](int32_t x, int32_t y) { return x >= 34 && x <= 37 && y >= 19 && y <= 21 ? CreateRGB(255, 255, 255) : CreateRGB(0, 0, 0); });
  RotateIKBitmap(&img, false, nullptr, 30, 0, nullptr);
  int64_t sx = 0, sy = 0, n = 0;
  for (int32_t y = 0; y < img.Height(); ++y)
    for (int32_t x = 0; x < img.Width(); ++x)
      if (img.GetPixelRGB24(x, y).r == 255) sx += x, sy += y, ++n;
  ASSERT_GT(n, 0);
  const double cx = static_cast<double>(sx) / n - img.Width() / 2.0, cy = static_cast<double>(sy) / n - img.Height() / 2.0;
  // About +30 (the shears place the picture to a pixel or two); a
  // clockwise turn would give -30.
  EXPECT_NEAR(std::atan2(-cy, cx) * 180 / M_PI, 30, 8) << cx << " " << cy << " in " << img.Width() << "x" << img.Height();
}

TEST(IkGeometry, AnglesBeyondAFullTurnWrap) {
  for (auto [wide, plain] : {std::pair{400.5, 40.5}, std::pair{-400.5, -40.5}}) {
    TIKBitmap a, b;
    MakeRGB(a, 30, 17, Distinct);
    MakeRGB(b, 30, 17, Distinct);
    RotateIKBitmap(&a, true, nullptr, wide, 0x00FF00, nullptr);
    RotateIKBitmap(&b, true, nullptr, plain, 0x00FF00, nullptr);
    ASSERT_EQ(a.Width(), b.Width());
    ASSERT_EQ(a.Height(), b.Height());
    for (int32_t y = 0; y < a.Height(); ++y)
      for (int32_t x = 0; x < a.Width(); ++x) ASSERT_EQ(a.GetPixelRGB24(x, y), b.GetPixelRGB24(x, y));
  }
}

TEST(IkGeometry, QuarterTurnsOfOtherFormatsKeepTheirSamples) {
  TIKBitmap gray;
  MakeGray(gray, 3, 2, [](int32_t x, int32_t y) { return static_cast<uint8_t>(x + 10 * y); });
  RotateIKBitmap(&gray, false, nullptr, -90, 0, nullptr);
  ASSERT_EQ(gray.PixelFormat(), ikGray8);
  ASSERT_EQ(gray.Width(), 2);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(gray.GetPixelByte(1 - y, x), x + 10 * y);

  TIKBitmap mono;
  MakeMono(mono, 10, 3, [](int32_t x, int32_t y) { return x == 9 && y == 0; });
  TProgressRec progress;
  Rotate1Bit(&mono, false, progress, 90);
  ASSERT_EQ(mono.Width(), 3);
  ASSERT_EQ(mono.Height(), 10);
  EXPECT_TRUE(Bit(mono, 0, 0));  // (9, 0) -> (0, 10 - 1 - 9)
}

TEST(IkGeometry, OneBitRotationByAnyAngleKeepsABlockAndFillsTheBackground) {
  TIKBitmap mono;
  MakeMono(mono, 20, 20, [](int32_t x, int32_t y) { return x >= 8 && x < 12 && y >= 8 && y < 12; });
  TProgressRec progress;
  Rotate1Bit(&mono, true, progress, 30);
  ASSERT_GT(mono.Width(), 20);
  EXPECT_TRUE(Bit(mono, 0, 0));  // outside the source: the background bit
  EXPECT_TRUE(Bit(mono, mono.Width() / 2, mono.Height() / 2));
}

TEST(IkGeometry, StretchRepeatsPixels) {
  TIKBitmap src, dst;
  MakeRGB(src, 3, 1, Distinct);
  dst.Allocate(6, 2, ikRGB24);
  StretchIKBitmap(&src, &dst, nullptr, nullptr);
  for (int32_t x = 0; x < 6; ++x) {
    EXPECT_EQ(dst.GetPixelRGB24(x, 0), Distinct(x / 2, 0));
    EXPECT_EQ(dst.GetPixelRGB24(x, 1), Distinct(x / 2, 0));
  }
  TIKBitmap mono, wide;
  MakeMono(mono, 3, 1, [](int32_t x, int32_t) { return x == 1; });
  wide.Allocate(6, 1, ikMono1);
  StretchIKBitmap(&mono, &wide, nullptr, nullptr);
  for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(Bit(wide, x, 0), x / 2 == 1);
}

TEST(IkGeometry, FlipMirrorsOneBitRowsAndTheAlphaPlane) {
  TIKBitmap mono;
  MakeMono(mono, 10, 1, [](int32_t x, int32_t) { return x == 0 || x == 3; });
  FlipIKBitmap(&mono, 0);
  for (int32_t x = 0; x < 10; ++x) EXPECT_EQ(Bit(mono, x, 0), x == 9 || x == 6) << x;

  TIKBitmap img;
  MakeRGB(img, 3, 2, Distinct);
  img.GetAlphaChannel()->SetPixelByte(0, 0, 7);
  FlipIKBitmap(&img, 1);
  EXPECT_EQ(img.GetPixelRGB24(2, 0), Distinct(2, 1));
  EXPECT_EQ(img.GetAlphaPixel(0, 1), 7);
  FlipIKBitmap(&img, 0);
  EXPECT_EQ(img.GetPixelRGB24(0, 0), Distinct(2, 1));
  EXPECT_EQ(img.GetAlphaPixel(2, 1), 7);
}

TEST(IkGeometry, ResampleImageGraysTransparentSourcePixelsAndCarriesAlpha) {
  TIKBitmap src, dst;
  MakeRGB(src, 4, 4, [](int32_t, int32_t) { return CreateRGB(255, 0, 0); });
  TIKBitmap* alpha = src.GetAlphaChannel();
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) alpha->SetPixelByte(x, y, x < 2 ? 0 : 255);
  dst.Allocate(2, 2, ikRGB24);
  int32_t calls = 0;
  ResampleImage(&src, &dst, rfFastLinear, [&](forms::TObject*, int32_t) { ++calls; }, nullptr);
  EXPECT_EQ(src.GetPixelRGB24(0, 0), CreateRGB(128, 128, 128));
  EXPECT_EQ(src.GetPixelRGB24(3, 0), CreateRGB(255, 0, 0));
  EXPECT_EQ(dst.GetPixelRGB24(1, 1), CreateRGB(255, 0, 0));
  ASSERT_TRUE(dst.HasAlphaChannel());
  EXPECT_EQ(dst.GetAlphaPixel(1, 0), 255);
  EXPECT_LT(dst.GetAlphaPixel(0, 0), 255);
  EXPECT_GT(calls, 0);
}

TEST(IkGeometry, ExifOrientationSizesAndNoOps) {
  for (int32_t o : {1, 9, 0}) {
    TIKBitmap img;
    MakeRGB(img, 4, 3, Distinct);
    ApplyExifOrientation(&img, o);
    EXPECT_EQ(img.GetPixelRGB24(3, 2), Distinct(3, 2));
  }
  TIKBitmap img;
  MakeRGB(img, 40, 30, Distinct);
  ApplyExifOrientation(&img, 6);
  EXPECT_EQ(img.Width(), 30);
  EXPECT_EQ(img.Height(), 40);
}

// Every orientation gives the same pixels as ImageMagick's -auto-orient.
TEST(IkGeometry, ExifOrientationMatchesImageMagick) {
  VORIX_NEED_TOOL(testtools::OnPath("convert"), "ImageMagick");
  char pattern[] = "/tmp/vorix-orient-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  const char* names[] = {"", "TopLeft", "TopRight", "BottomRight", "BottomLeft", "LeftTop", "RightTop", "RightBottom", "LeftBottom"};
  TIKBitmap source;
  MakeRGB(source, 5, 3, Distinct);
  ASSERT_TRUE(testing::WritePpm(source, dir + "/in.ppm"));
  for (int32_t o = 1; o <= 8; ++o) {
    bool ok = false;
    testing::RunCommand("convert " + dir + "/in.ppm -orient " + names[o] + " -auto-orient " + dir + "/out.ppm", &ok);
    ASSERT_TRUE(ok) << o;
    TIKBitmap expected, ours;
    ASSERT_TRUE(testing::ReadPpm(dir + "/out.ppm", expected));
    MakeRGB(ours, 5, 3, Distinct);
    ApplyExifOrientation(&ours, o);
    ASSERT_EQ(ours.Width(), expected.Width()) << o;
    ASSERT_EQ(ours.Height(), expected.Height()) << o;
    for (int32_t y = 0; y < ours.Height(); ++y)
      for (int32_t x = 0; x < ours.Width(); ++x)
        ASSERT_EQ(ours.GetPixelRGB24(x, y), expected.GetPixelRGB24(x, y)) << "orientation " << o << " at " << x << "," << y;
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace imaging
