#include "imaging/views/imgkitprocShadow.h"

#include <gtest/gtest.h>

#include <cstring>

#include "imaging/core/ikutils.h"
#include "imaging/core/ikutilsBitmap.h"

namespace imaging {
namespace {

void Fill(TIKBitmap& b, int32_t w, int32_t h, TIKPixelFormat f, uint8_t v) {
  b.Allocate(w, h, f);
  for (int32_t y = 0; y < h; ++y) std::memset(b.ScanLine(y), v, static_cast<size_t>(b.RowLength()));
}

TEST(IkShadow, ThumbnailShadowGrowsTheCanvasByItsMargin) {
  TIKBitmap thumb;
  Fill(thumb, 80, 60, ikRGB24, 200);
  AddSoftShadow(&thumb, 3, 3, nullptr, nullptr, nullptr, 0x000000, true, 3.0);
  ASSERT_EQ(thumb.Width(), 101);
  ASSERT_EQ(thumb.Height(), 81);
  ASSERT_TRUE(thumb.HasAlphaChannel());
  EXPECT_FALSE(thumb.GetAlphaChannel()->Full());
  // The picture sits 10 pixels in, opaque and unchanged.
  int32_t inner = 0;
  for (int32_t y = 10; y < 70; ++y)
    for (int32_t x = 10; x < 90; ++x) {
      ASSERT_EQ(thumb.GetAlphaPixel(x, y), 255);
      ASSERT_EQ(thumb.GetPixelRGB24(x, y), CreateRGB(200, 200, 200));
      ++inner;
    }
  EXPECT_EQ(inner, 80 * 60);
  // Around it the band is black with the blurred alpha, stronger down and
  // right where the shadow falls.
  EXPECT_EQ(thumb.GetPixelRGB24(92, 40), CreateRGB(0, 0, 0));
  EXPECT_GT(thumb.GetAlphaPixel(91, 40), thumb.GetAlphaPixel(8, 40));
  EXPECT_GT(thumb.GetAlphaPixel(91, 40), 60);
  EXPECT_EQ(thumb.GetAlphaPixel(0, 0), 0);
  EXPECT_EQ(thumb.GetAlphaPixel(100, 0), 0);
}

TEST(IkShadow, GaussianKernelRadiusShrinksToItsLastWeight) {
  struct Case {
    double sigma;
    int radius;
  } cases[] = {{0.3, 1}, {1.0, 4}, {3.0, 13}, {40.0, 100}};
  for (const Case& c : cases) {
    TGaussianKernel k;
    BuildGaussianKernel(k, c.sigma);
    EXPECT_EQ(k.Radius, c.radius) << c.sigma;
    if (k.Radius > 1 && k.Radius < 100) {
      EXPECT_TRUE(k.IntWeights[100 + k.Radius] != 0 || k.IntWeights[100 - k.Radius] != 0);
      EXPECT_EQ(k.IntWeights[100 + k.Radius + 1], 0);
    }
    int64_t sum = 0;
    for (int32_t w : k.IntWeights) sum += w;
    EXPECT_NEAR(sum, 65536, 101) << c.sigma;
  }
}

TEST(IkShadow, GaussianBlurSpreadsAndLeavesOtherImagesAlone) {
  TIKBitmap gray;
  Fill(gray, 21, 21, ikGray8, 0);
  gray.SetPixelByte(10, 10, 255);
  GaussianBlur(&gray, nullptr, nullptr, nullptr, 0);
  EXPECT_EQ(gray.GetPixelByte(10, 10), 255);
  EXPECT_EQ(gray.GetPixelByte(11, 10), 0);
  GaussianBlur(&gray, nullptr, nullptr, nullptr, 1.5);
  EXPECT_LT(gray.GetPixelByte(10, 10), 255);
  EXPECT_GT(gray.GetPixelByte(11, 10), 0);
  EXPECT_EQ(gray.GetPixelByte(11, 10), gray.GetPixelByte(9, 10));
  EXPECT_EQ(gray.GetPixelByte(10, 11), gray.GetPixelByte(11, 10));
  EXPECT_EQ(gray.GetPixelByte(0, 0), 0);
  // A flat picture stays flat, edges included.
  TIKBitmap flat;
  Fill(flat, 9, 7, ikRGB24, 123);
  GaussianBlur(&flat, nullptr, nullptr, nullptr, 2.0);
  for (int32_t y = 0; y < 7; ++y)
    for (int32_t x = 0; x < 9; ++x) ASSERT_EQ(flat.GetPixelRGB24(x, y), CreateRGB(123, 123, 123));
  TIKBitmap wide;
  Fill(wide, 3, 3, ikGray16, 0);
  wide.SetPixelWord(1, 1, 65535);
  GaussianBlur(&wide, nullptr, nullptr, nullptr, 2.0);
  EXPECT_EQ(wide.GetPixelWord(1, 1), 65535);
}

TEST(IkShadow, HistogramMatchingFollowsTheReference) {
  TIKBitmap reference, image;
  reference.Allocate(2, 2, ikGray8);
  Fill(image, 4, 4, ikRGB24, 10);
  MatchHistograms(&reference, &image);  // not 24-bit: nothing
  EXPECT_EQ(image.GetPixelRGB24(0, 0), CreateRGB(10, 10, 10));
  // A dark image matched to a bright reference becomes bright.
  Fill(reference, 4, 4, ikRGB24, 220);
  for (int32_t x = 0; x < 4; ++x) image.SetPixelRGB24(x, 0, CreateRGB(20, 20, 20));
  MatchHistograms(&reference, &image);
  EXPECT_EQ(image.GetPixelRGB24(1, 1), CreateRGB(220, 220, 220));
  EXPECT_EQ(image.GetPixelRGB24(1, 0), CreateRGB(220, 220, 220));
}

TEST(IkShadow, RoundCornersClearTheCornersOnly) {
  TIKBitmap img;
  Fill(img, 40, 30, ikRGB24, 50);
  EXPECT_FALSE(RoundCorners(&img, 0, 5));
  EXPECT_FALSE(img.HasAlphaChannel());
  EXPECT_FALSE(RoundCorners(&img, 8, 6));
  for (auto [x, y] : {std::pair{0, 0}, std::pair{39, 0}, std::pair{0, 29}, std::pair{39, 29}})
    EXPECT_EQ(img.GetAlphaPixel(x, y), 0) << x << "," << y;
  EXPECT_EQ(img.GetAlphaPixel(20, 15), 255);
  EXPECT_EQ(img.GetAlphaPixel(20, 0), 255);
  EXPECT_EQ(img.GetAlphaPixel(0, 15), 255);
  TIKBitmap tiny;
  Fill(tiny, 4, 4, ikRGB24, 50);
  EXPECT_TRUE(RoundCorners(&tiny, 8, 8));
}

}  // namespace
}  // namespace imaging
