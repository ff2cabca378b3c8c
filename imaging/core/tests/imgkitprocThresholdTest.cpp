#include "imaging/core/imgkitprocThreshold.h"

#include <gtest/gtest.h>

#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/tests/IkPixelTestSupport.h"

namespace imaging {
namespace {

using testing::Bit;
using testing::MakeGray;
using testing::MakeMono;
using testing::MakeRGB;

TEST(IkThreshold, FixedThresholdSplitsBetween127And128) {
  TIKBitmap img, bw;
  MakeRGB(img, 2, 1, [](int32_t x, int32_t) { return x ? CreateRGB(128, 128, 128) : CreateRGB(127, 127, 127); });
  bw.Allocate(2, 1, ikMono1);
  TProgressRec progress;
  ThresholdToBW(&img, &bw, 128, progress);
  EXPECT_FALSE(Bit(bw, 0, 0));
  EXPECT_TRUE(Bit(bw, 1, 0));
}

TEST(IkThreshold, GraysComeFromEveryFormat) {
  // The gray weights: (21 r + 71 g + 8 b) div 100.
  TIKBitmap rgb;
  MakeRGB(rgb, 3, 1, [](int32_t x, int32_t) {
    return x == 0 ? CreateRGB(255, 0, 0) : (x == 1 ? CreateRGB(0, 255, 0) : CreateRGB(0, 0, 255));
  });
  std::array<int64_t, 256> counts;
  GrayHistogram(&rgb, counts);
  EXPECT_EQ(counts[53], 1);   // 5355 / 100
  EXPECT_EQ(counts[181], 1);  // 18105 / 100
  EXPECT_EQ(counts[20], 1);   // 2040 / 100

  TIKBitmap mono;
  MakeMono(mono, 5, 1, [](int32_t x, int32_t) { return x < 2; });
  GrayHistogram(&mono, counts);
  EXPECT_EQ(counts[0], 3);
  EXPECT_EQ(counts[1], 2);

  TIKBitmap wide;
  wide.Allocate(2, 1, ikGray16);
  wide.SetPixelWord(0, 0, 0x12FF);
  wide.SetPixelWord(1, 0, 0xFF00);
  GrayHistogram(&wide, counts);
  EXPECT_EQ(counts[0x12], 1);
  EXPECT_EQ(counts[0xFF], 1);
}

TEST(IkThreshold, MeanAndEntropyThresholds) {
  // Mean gray 150: 100 falls below, 200 not.
  TIKBitmap img, bw;
  MakeGray(img, 4, 1, [](int32_t x, int32_t) { return static_cast<uint8_t>(x < 2 ? 100 : 200); });
  bw.Allocate(4, 1, ikMono1);
  TProgressRec progress;
  ThresholdToBW(&img, &bw, -1, progress);
  for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(Bit(bw, x, 0), x >= 2);

  // Two equally wide, evenly filled clusters: every level of the gap
  // scores the same, and the first of them wins.
  TIKBitmap bimodal, out;
  MakeGray(bimodal, 80, 1, [](int32_t x, int32_t) { return static_cast<uint8_t>(x < 40 ? 40 + x % 20 : 180 + x % 20); });
  std::array<int64_t, 256> counts;
  GrayHistogram(&bimodal, counts);
  EXPECT_EQ(MaxEntropyThreshold(counts, 80), 60);
  out.Allocate(80, 1, ikMono1);
  ThresholdToBW(&bimodal, &out, -2, progress);
  for (int32_t x = 0; x < 80; ++x) EXPECT_EQ(Bit(out, x, 0), x >= 40) << x;

  // Two bare levels score 0 everywhere: the mean's gray splits them
  // instead of turning every pixel white.
  TIKBitmap twoLevels, split;
  MakeGray(twoLevels, 4, 1, [](int32_t x, int32_t) { return static_cast<uint8_t>(x % 2 ? 255 : 0); });
  GrayHistogram(&twoLevels, counts);
  EXPECT_EQ(MaxEntropyThreshold(counts, 4), -1);
  split.Allocate(4, 1, ikMono1);
  ThresholdToBW(&twoLevels, &split, -2, progress);
  for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(Bit(split, x, 0), x % 2 == 1);
}

TEST(IkThreshold, ProgressAndAMismatchedDestination) {
  TIKBitmap img, bw;
  MakeGray(img, 3, 4, [](int32_t, int32_t) { return 9; });
  bw.Allocate(3, 4, ikMono1);
  int32_t last = -1;
  TProgressRec progress;
  progress.Callback = [](void* data, forms::TObject*, int32_t p) { *static_cast<int32_t*>(data) = p; };
  progress.CallbackData = &last;
  ThresholdToBW(&img, &bw, 5, progress);
  EXPECT_EQ(last, 88);  // trunc(4 x 100 / 4.5)
  TIKBitmap small;
  small.Allocate(2, 2, ikMono1);
  ThresholdToBW(&img, &small, 5, progress);  // wrong size: untouched
  EXPECT_FALSE(Bit(small, 1, 1));
}

}  // namespace
}  // namespace imaging
