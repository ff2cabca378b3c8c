#include "imaging/core/ikquantizer.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <set>

#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/tests/IkPixelTestSupport.h"
#include "platform/rtl/tests/ToolCheck.h"

namespace imaging {
namespace {

using testing::MakeRGB;

// About 1000 colours spread over the cube, with smooth regions.
TRGB ManyColours(int32_t x, int32_t y) {
  return CreateRGB(static_cast<uint8_t>(x * 8), static_cast<uint8_t>(y * 8), static_cast<uint8_t>((x * y) % 256));
}

TEST(IkQuantizer, FewColoursGiveAnExactPaletteInFirstSeenOrder) {
  const TRGB colours[10] = {CreateRGB(1, 2, 3),   CreateRGB(250, 0, 0), CreateRGB(0, 250, 0), CreateRGB(0, 0, 250),
                            CreateRGB(9, 9, 9),   CreateRGB(90, 9, 9),  CreateRGB(9, 90, 9),  CreateRGB(9, 9, 90),
                            CreateRGB(200, 200, 0), CreateRGB(255, 255, 255)};
  TIKBitmap img;
  // Row 0 meets the colours in order 0..9; later rows repeat them shuffled.
  MakeRGB(img, 10, 3, [&](int32_t x, int32_t y) { return colours[(x * (2 * y + 1)) % 10]; });
  TRGB palette[16] = {};
  TIKQuantizer q(&img, 16, palette);
  EXPECT_TRUE(q.HasExactList());
  for (int32_t i = 0; i < 10; ++i) {
    EXPECT_EQ(palette[i], colours[i]) << i;
    EXPECT_EQ(q.ColorIndex(colours[i]), i);
  }
  EXPECT_EQ(q.ColorIndex(CreateRGB(7, 7, 7)), -1);
}

TEST(IkQuantizer, GrayImagesGetAnEvenRamp) {
  TIKBitmap img;
  MakeRGB(img, 16, 16, [](int32_t x, int32_t y) {
    const auto v = static_cast<uint8_t>(x * 16 + y);
    return CreateRGB(v, v, v);
  });
  TRGB palette[16] = {};
  TIKQuantizer q(&img, 16, palette);
  EXPECT_TRUE(q.GrayScale());
  for (int32_t i = 0; i < 16; ++i) EXPECT_EQ(palette[i], CreateRGB(i * 16, i * 16, i * 16));
  EXPECT_EQ(q.ColorIndex(CreateRGB(200, 200, 200)), 12);
}

TEST(IkQuantizer, MethodFollowsTheColourCount) {
  TIKBitmap img;
  MakeRGB(img, 32, 32, ManyColours);
  for (auto [count, method] : {std::pair{64, 1}, std::pair{127, 1}, std::pair{128, 0}, std::pair{256, 0}}) {
    TRGB palette[256] = {};
    TIKQuantizer q(&img, count, palette);
    EXPECT_FALSE(q.HasExactList());
    EXPECT_EQ(q.Method(), method) << count;
    // Every pixel maps into the palette, onto a colour near its own.
    int64_t error = 0;
    for (int32_t y = 0; y < 32; ++y)
      for (int32_t x = 0; x < 32; ++x) {
        const TRGB c = img.GetPixelRGB24(x, y);
        const int32_t i = q.ColorIndex(c);
        ASSERT_GE(i, 0);
        ASSERT_LT(i, count);
        error += std::abs(c.r - palette[i].r) + std::abs(c.g - palette[i].g) + std::abs(c.b - palette[i].b);
      }
    EXPECT_LT(error / 1024, 60) << count;
  }
}

TEST(IkQuantizer, BoxSplitNeverSplitsAOneCellBoxAndMapsStrangersToEntryZero) {
  // 8 x 8 x 2 = 128 colours, all in cell (0, 0, 0): one box, error 0.
  TIKBitmap cell;
  MakeRGB(cell, 16, 8, [](int32_t x, int32_t y) { return CreateRGB(static_cast<uint8_t>(x % 8), static_cast<uint8_t>(y), static_cast<uint8_t>(x / 8)); });
  TRGB palette[64] = {};
  auto state = BoxQuantCreate(&cell, palette, 64);
  EXPECT_EQ(BoxQuantBoxCount(state.get()), 1);
  EXPECT_EQ(palette[0], CreateRGB(0, 0, 0));

  TIKBitmap two;
  MakeRGB(two, 20, 20, [](int32_t x, int32_t) { return x < 10 ? CreateRGB(20, 20, 20) : CreateRGB(20, 20, 230); });
  auto split = BoxQuantCreate(&two, palette, 4);
  ASSERT_EQ(BoxQuantBoxCount(split.get()), 2);
  EXPECT_NE(BoxQuantIndex(split.get(), CreateRGB(20, 20, 20)), BoxQuantIndex(split.get(), CreateRGB(20, 20, 230)));
  EXPECT_EQ(BoxQuantIndex(split.get(), CreateRGB(250, 0, 0)), 0);
}

TEST(IkQuantizer, PaletteSourcesAnswerFromTheirOwnPalette) {
  // A gray palette image: the indexes must point at the palette handed
  // out, not at a ramp.
  TIKBitmap pal;
  pal.Allocate(2, 1, ikPalette8);
  pal.SetPaletteColor(0, CreateRGB(200, 200, 200));
  pal.SetPaletteColor(1, CreateRGB(10, 10, 10));
  pal.SetPixelByte(0, 0, 0);
  pal.SetPixelByte(1, 0, 1);
  TRGB palette[16] = {};
  TIKQuantizer q(&pal, 16, palette);
  EXPECT_EQ(palette[0], CreateRGB(200, 200, 200));
  EXPECT_EQ(q.ColorIndex(CreateRGB(200, 200, 200)), 0);
  EXPECT_EQ(q.ColorIndex(CreateRGB(10, 10, 10)), 1);
}

// The quantizers' error stays within a small factor of ImageMagick's own
// reduction of the same picture.
TEST(IkQuantizer, ErrorIsComparableToImageMagick) {
  VORIX_NEED_TOOL(testtools::OnPath("convert"), "ImageMagick");
  char pattern[] = "/tmp/vorix-quant-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  bool ok = false;
  testing::RunCommand("convert -seed 7 -size 96x64 plasma:red-blue -depth 8 " + dir + "/in.ppm 2>/dev/null", &ok);
  TIKBitmap img;
  ASSERT_TRUE(ok && testing::ReadPpm(dir + "/in.ppm", img));
  for (int32_t colours : {64, 256}) {
    testing::RunCommand("convert " + dir + "/in.ppm -dither None -colors " + std::to_string(colours) + " " + dir +
                            "/out.ppm",
                        &ok);
    TIKBitmap theirs;
    ASSERT_TRUE(ok && testing::ReadPpm(dir + "/out.ppm", theirs));
    TRGB palette[256] = {};
    TIKQuantizer q(&img, colours, palette);
    double ours = 0, imagemagick = 0;
    for (int32_t y = 0; y < img.Height(); ++y)
      for (int32_t x = 0; x < img.Width(); ++x) {
        const TRGB c = img.GetPixelRGB24(x, y), m = palette[q.ColorIndex(c)], t = theirs.GetPixelRGB24(x, y);
        ours += (c.r - m.r) * (c.r - m.r) + (c.g - m.g) * (c.g - m.g) + (c.b - m.b) * (c.b - m.b);
        imagemagick += (c.r - t.r) * (c.r - t.r) + (c.g - t.g) * (c.g - t.g) + (c.b - t.b) * (c.b - t.b);
      }
    RecordProperty("error_ratio_" + std::to_string(colours), std::to_string(ours / std::max(imagemagick, 1.0)));
    EXPECT_LT(ours, 4 * imagemagick + img.Width() * img.Height()) << colours << " colours: " << ours << " vs " << imagemagick;
  }
  std::filesystem::remove_all(dir);
}

TEST(IkQuantizer, PaletteConversionUsesTheQuantizer) {
  TIKBitmap img;
  MakeRGB(img, 32, 32, ManyColours);
  img.SetPaletteCapacity(64);
  img.SetPixelFormat(ikPalette8);
  ASSERT_EQ(img.PixelFormat(), ikPalette8);
  std::set<uint8_t> used;
  int64_t error = 0;
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 32; ++x) {
      used.insert(img.GetPixelByte(x, y));
      const TRGB c = img.GetPixelRGB(x, y), want = ManyColours(x, y);
      error += std::abs(c.r - want.r) + std::abs(c.g - want.g) + std::abs(c.b - want.b);
    }
  EXPECT_LE(used.size(), 64u);
  EXPECT_GT(used.size(), 16u);
  EXPECT_LT(error / 1024, 60);
}

}  // namespace
}  // namespace imaging
