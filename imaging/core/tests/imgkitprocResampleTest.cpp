#include "imaging/core/imgkitprocResample.h"

#include <gtest/gtest.h>

#include <cmath>

#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/tests/IkPixelTestSupport.h"
#include "imaging/core/tests/IkTestFolder.h"

namespace imaging {
namespace {

using testing::Bit;
using testing::MakeGray;
using testing::MakeMono;
using testing::MakeRGB;

constexpr TResampleFilter kKernelFilters[] = {rfTriangle, rfHermite,  rfBell,    rfBSpline,
                                              rfLanczos3, rfMitchell, rfNearest, rfLinear};

TRGB Pattern(int32_t x, int32_t y) {
  return CreateRGB(static_cast<uint8_t>(x * 37 + y * 11), static_cast<uint8_t>(x * 5 ^ y * 13),
                   static_cast<uint8_t>((x + y) * 29));
}

TEST(IkResample, FastLinearAtTheSameSizeCopies) {
  TIKBitmap src, dst;
  MakeRGB(src, 100, 100, Pattern);
  dst.Allocate(100, 100, ikRGB24);
  Resample24(&src, &dst, rfFastLinear);
  for (int32_t y = 0; y < 100; y += 7)
    for (int32_t x = 0; x < 100; x += 3) ASSERT_EQ(dst.GetPixelRGB24(x, y), Pattern(x, y));
}

TEST(IkResample, FastLinear8ReductionAveragesItsColumns) {
  TIKBitmap src, dst;
  const uint8_t values[] = {0, 100, 200, 255};
  MakeGray(src, 4, 1, [&](int32_t x, int32_t) { return values[x]; });
  dst.Allocate(2, 1, ikGray8);
  FastLinear8(&src, &dst);
  EXPECT_EQ(dst.GetPixelByte(0, 0), 100);  // columns 0..2
  EXPECT_EQ(dst.GetPixelByte(1, 0), 200);  // column 2 alone
  // Enlarging interpolates with 17-bit fractions: half way is the mean.
  TIKBitmap two, four;
  MakeGray(two, 2, 1, [](int32_t x, int32_t) { return static_cast<uint8_t>(x ? 200 : 100); });
  four.Allocate(4, 1, ikGray8);
  FastLinear8(&two, &four);
  EXPECT_EQ(four.GetPixelByte(0, 0), 100);
  EXPECT_EQ(four.GetPixelByte(1, 0), 150);
  EXPECT_EQ(four.GetPixelByte(2, 0), 200);
  EXPECT_EQ(four.GetPixelByte(3, 0), 200);
}

TEST(IkResample, KernelFiltersKeepAFlatPictureFlat) {
  for (TResampleFilter f : kKernelFilters) {
    for (auto [w, h] : {std::pair{40, 30}, std::pair{9, 13}}) {
      TIKBitmap src, dst;
      MakeRGB(src, 20, 20, [](int32_t, int32_t) { return CreateRGB(200, 90, 17); });
      dst.Allocate(w, h, ikRGB24);
      Resample24(&src, &dst, f);
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
          ASSERT_EQ(dst.GetPixelRGB24(x, y), CreateRGB(200, 90, 17)) << int(f) << " " << w << " at " << x << "," << y;
    }
  }
}

TEST(IkResample, TriangleEnlargementInterpolatesARamp) {
  // Source columns 0, 50, ..., 250; 6 -> 11 puts every other target column
  // half way between two source columns.
  TIKBitmap src, dst;
  MakeGray(src, 6, 2, [](int32_t x, int32_t) { return static_cast<uint8_t>(x * 50); });
  dst.Allocate(11, 2, ikGray8);
  ResampleGray8(&src, &dst, rfTriangle);
  for (int32_t x = 0; x < 11; ++x) EXPECT_NEAR(dst.GetPixelByte(x, 0), x * 25, 1) << x;
}

TEST(IkResample, LanczosReductionFollowsTheSourceAndClampsItsOvershoot) {
  // A sharp edge: the lobes overshoot, the result stays within 0..255 and
  // far from the edge keeps the source values.
  TIKBitmap src, dst;
  MakeRGB(src, 60, 4, [](int32_t x, int32_t) { return x < 30 ? CreateRGB(0, 0, 0) : CreateRGB(255, 255, 255); });
  dst.Allocate(20, 2, ikRGB24);
  Resample24(&src, &dst, rfLanczos3);
  EXPECT_EQ(dst.GetPixelRGB24(0, 0).r, 0);
  EXPECT_EQ(dst.GetPixelRGB24(19, 1).r, 255);
  for (int32_t x = 1; x < 19; ++x) EXPECT_LE(dst.GetPixelRGB24(x - 1, 0).r, dst.GetPixelRGB24(x + 1, 0).r + 40);
}

TEST(IkResample, KernelFilterLeavesADestinationOfAOnePixelSourceAlone) {
  TIKBitmap src, dst;
  MakeRGB(src, 1, 1, [](int32_t, int32_t) { return CreateRGB(9, 9, 9); });
  MakeRGB(dst, 4, 4, [](int32_t, int32_t) { return CreateRGB(1, 2, 3); });
  Resample24(&src, &dst, rfLanczos3);
  EXPECT_EQ(dst.GetPixelRGB24(2, 2), CreateRGB(1, 2, 3));
}

TEST(IkResample, DestinationsOfAnotherFormatAreLeftAlone) {
  // 24-bit rows must never be written into 8-bit rows.
  for (TResampleFilter f : {rfFastLinear, rfBilinear, rfBicubic, rfLanczos3}) {
    TIKBitmap src, dst;
    MakeRGB(src, 8, 8, Pattern);
    MakeGray(dst, 4, 4, [](int32_t, int32_t) { return 7; });
    Resample24(&src, &dst, f);
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 4; ++x) ASSERT_EQ(dst.GetPixelByte(x, y), 7) << int(f);
  }
}

TEST(IkResample, AreaResamplingAveragesFootprints) {
  // 4 x 4 -> 2 x 2: each target pixel is the mean of a 2 x 2 block.
  TIKBitmap src, dst;
  MakeRGB(src, 4, 4, [](int32_t x, int32_t y) { return CreateRGB(static_cast<uint8_t>((x / 2 + 2 * (y / 2)) * 40 + (x % 2) * 10), 0, 0); });
  dst.Allocate(2, 2, ikRGB24);
  Resample24(&src, &dst, rfBilinear);
  EXPECT_EQ(dst.GetPixelRGB24(0, 0).r, 5);
  EXPECT_EQ(dst.GetPixelRGB24(1, 0).r, 45);
  EXPECT_EQ(dst.GetPixelRGB24(0, 1).r, 85);
  EXPECT_EQ(dst.GetPixelRGB24(1, 1).r, 125);
  // Footprints that cut pixels (3 -> 2) of a flat picture stay flat, in
  // both interpolations and both directions.
  for (TResampleFilter f : {rfBilinear, rfBicubic})
    for (auto [w, h] : {std::pair{2, 2}, std::pair{7, 5}, std::pair{2, 7}}) {
      TIKBitmap flat, out;
      MakeRGB(flat, 3, 3, [](int32_t, int32_t) { return CreateRGB(201, 77, 3); });
      out.Allocate(w, h, ikRGB24);
      Resample24(&flat, &out, f);
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) ASSERT_EQ(out.GetPixelRGB24(x, y), CreateRGB(201, 77, 3)) << int(f);
    }
}

TEST(IkResample, ProjectionsKeepALonePixelOfTheKeptShade) {
  TIKBitmap black, white, out;
  MakeMono(black, 64, 64, [](int32_t x, int32_t y) { return x == 37 && y == 21; });
  out.Allocate(8, 8, ikMono1);
  Resample1Bit(&black, &out, rfProjectWB);
  int32_t set = 0;
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) set += Bit(out, x, y);
  EXPECT_EQ(set, 1);
  EXPECT_TRUE(Bit(out, 37 / 8 + 1, 21 / 8 + 1) || Bit(out, 37 / 8, 21 / 8));

  MakeMono(white, 64, 64, [](int32_t x, int32_t y) { return !(x == 5 && y == 60); });
  Resample1Bit(&white, &out, rfProjectBW);
  int32_t clear = 0;
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) clear += !Bit(out, x, y);
  EXPECT_EQ(clear, 1);

  // 24-bit sources: bright means all three channels above 128.
  TIKBitmap rgb, mono;
  MakeRGB(rgb, 16, 16, [](int32_t x, int32_t y) { return x == 3 && y == 3 ? CreateRGB(200, 200, 200) : CreateRGB(200, 100, 200); });
  mono.Allocate(4, 4, ikRGB24);
  Resample24(&rgb, &mono, rfProjectWB);
  ASSERT_EQ(mono.PixelFormat(), ikMono1);
  int32_t bright = 0;
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) bright += Bit(mono, x, y);
  EXPECT_EQ(bright, 1);
}

TEST(IkResample, Stretch1BitRectAveragesCheckerBlocks) {
  TIKBitmap checker, out;
  MakeMono(checker, 8, 8, [](int32_t x, int32_t y) { return (x + y) % 2 == 0; });
  out.Allocate(4, 4, ikRGB24);
  Stretch1BitRect(&checker, 0, 0, &out, 7, 7);
  EXPECT_EQ(out.GetPixelRGB24(0, 0), CreateRGB(127, 127, 127));  // 2 of a 2 x 2 block
  const uint8_t diagonal = out.GetPixelRGB24(1, 1).r;            // a 3 x 3 block
  EXPECT_TRUE(diagonal == 113 || diagonal == 141) << int(diagonal);
  // A rectangle reaching past the source reads only the source.
  TIKBitmap tail;
  tail.Allocate(4, 4, ikRGB24);
  Stretch1BitRect(&checker, 6, 6, &tail, 13, 13);
  EXPECT_EQ(tail.GetPixelRGB24(3, 3).r, 255);  // pixel (7, 7) of the checker alone
}

TEST(IkResample, OneBitSourcesBecomeGray) {
  TIKBitmap mono, gray;
  MakeMono(mono, 2, 1, [](int32_t x, int32_t) { return x == 1; });
  gray.Allocate(4, 1, ikRGB24);
  Resample1Bit(&mono, &gray, rfFastLinear);
  EXPECT_EQ(gray.GetPixelRGB24(0, 0).r, 0);
  EXPECT_EQ(gray.GetPixelRGB24(1, 0), CreateRGB(127, 127, 127));
  EXPECT_EQ(gray.GetPixelRGB24(3, 0).r, 255);
  TIKBitmap kernel;
  kernel.Allocate(4, 1, ikRGB24);
  Resample1Bit(&mono, &kernel, rfTriangle);
  EXPECT_EQ(kernel.GetPixelRGB24(0, 0).r, 0);
  EXPECT_EQ(kernel.GetPixelRGB24(3, 0).r, 255);
}

class IkResampleInFiles : public testing::SmallThresholdTest {};

// Bitmaps held in temporary files map one row at a time: the passes must
// give the same pixels as in memory.
TEST_F(IkResampleInFiles, EveryPathGivesTheMemoryResult) {
  for (TResampleFilter f : {rfLanczos3, rfFastLinear, rfBilinear, rfBicubic, rfMitchell}) {
    TIKBitmap memSrc, memDst, fileSrc, fileDst;
    memSrc.SetLocation(ikMemory);
    memSrc.SetMemoryThreshold(INT64_MAX);
    memDst.SetMemoryThreshold(INT64_MAX);
    memDst.SetLocation(ikMemory);
    MakeRGB(memSrc, 50, 40, Pattern);
    MakeRGB(fileSrc, 50, 40, Pattern);
    ASSERT_EQ(fileSrc.Location(), ikFile);
    memDst.Allocate(23, 57, ikRGB24);
    fileDst.Allocate(23, 57, ikRGB24);
    ASSERT_EQ(fileDst.Location(), ikFile);
    Resample24(&memSrc, &memDst, f);
    Resample24(&fileSrc, &fileDst, f);
    for (int32_t y = 0; y < 57; ++y)
      for (int32_t x = 0; x < 23; ++x) ASSERT_EQ(memDst.GetPixelRGB24(x, y), fileDst.GetPixelRGB24(x, y)) << int(f);
  }
}

TEST(IkResample, ProgressEndsNearTheWholeAndOnlyWhenAsked) {
  TIKBitmap src, dst;
  MakeRGB(src, 30, 20, Pattern);
  dst.Allocate(10, 7, ikRGB24);
  struct Seen {
    int32_t calls = 0, last = -1;
    bool monotone = true;
  } seen;
  Resample24(&src, &dst, rfLanczos3, nullptr,
             [](void* data, forms::TObject*, int32_t p) {
               auto* s = static_cast<Seen*>(data);
               s->monotone = s->monotone && p >= s->last;
               s->last = p;
               ++s->calls;
             },
             &seen);
  EXPECT_EQ(seen.calls, 20 + 7);
  EXPECT_TRUE(seen.monotone);
  EXPECT_EQ(seen.last, 98);  // trunc(30 x 100 / 30.5)
}

}  // namespace
}  // namespace imaging
