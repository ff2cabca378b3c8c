#include "imaging/core/ikutilsRender.h"

#include <gtest/gtest.h>

#include <random>

#include "imaging/core/ikutils.h"
#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsConvert.h"

namespace imaging {
namespace {

TRGB Gray(uint8_t v) { return CreateRGB(v, v, v); }

void MakeRGB(TIKBitmap& b, int32_t w, int32_t h, int32_t fill) {
  b.SetLocation(ikMemory);
  b.Allocate(w, h, ikRGB24);
  b.Fill(fill);
}

// Pixel (x, y) of the source: red 10 x + 1, green 10 y + 1, blue 7.
void MakeNumbered(TIKBitmap& b, int32_t w, int32_t h) {
  MakeRGB(b, w, h, 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      b.SetPixelRGB24(x, y, CreateRGB(static_cast<uint8_t>(10 * x + 1), static_cast<uint8_t>(10 * y + 1), 7));
}

// Which source pixel each destination pixel shows ("xy", "--" for the
// untouched background).
std::vector<std::string> Shown(TIKBitmap& dst) {
  std::vector<std::string> rows;
  for (int32_t y = 0; y < dst.Height(); ++y) {
    std::string row;
    for (int32_t x = 0; x < dst.Width(); ++x) {
      const TRGB c = dst.GetPixelRGB24(x, y);
      row += (x ? " " : "");
      row += c.b == 7 ? std::to_string((c.r - 1) / 10) + std::to_string((c.g - 1) / 10) : "--";
    }
    rows.push_back(row);
  }
  return rows;
}

TEST(IkRender, NearestPixelScalingAndClipping) {
  struct Case {
    const char* name;
    int32_t dx, dy, dw, dh, sx, sy, sw, sh;
    bool withClip;
    std::vector<std::string> rows;
  };
  const Case cases[] = {
      {"2 x 2 into 4 x 4", 0, 0, 4, 4, 0, 0, 2, 2, false, {"00 00 10 10", "00 00 10 10", "01 01 11 11", "01 01 11 11"}},
      {"destination x -2 at 1:1", -2, 0, 4, 1, 0, 0, 4, 1, false, {"20 30 -- --", "-- -- -- --", "-- -- -- --", "-- -- -- --"}},
      {"destination y -1 at 1:1", 1, -1, 2, 2, 0, 0, 2, 2, false, {"-- 01 11 --", "-- -- -- --", "-- -- -- --", "-- -- -- --"}},
      {"runs off the bottom right", 2, 3, 4, 4, 0, 0, 4, 4, false, {"-- -- -- --", "-- -- -- --", "-- -- -- --", "-- -- 00 10"}},
      {"clip (1, 1, 1, 1)", 0, 0, 4, 4, 0, 0, 4, 4, true, {"-- -- -- --", "-- 11 -- --", "-- -- -- --", "-- -- -- --"}},
      {"halved", 0, 0, 2, 2, 0, 0, 4, 4, false, {"00 20 -- --", "02 22 -- --", "-- -- -- --", "-- -- -- --"}},
      {"zero width", 0, 0, 0, 4, 0, 0, 4, 4, false, {"-- -- -- --", "-- -- -- --", "-- -- -- --", "-- -- -- --"}},
      {"starts right of the destination", 4, 0, 4, 4, 0, 0, 4, 4, false, {"-- -- -- --", "-- -- -- --", "-- -- -- --", "-- -- -- --"}},
  };
  for (const Case& c : cases) {
    for (bool scaled : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (scaled ? " (through the tables)" : ""));
      TIKBitmap src, dst;
      MakeNumbered(src, 4, 4);
      MakeRGB(dst, 4, 4, 0);
      const forms::TRect clip{1, 1, 1, 1};
      // Operation 1 (add) over black draws the source too, but through
      // the column and row tables instead of the 1:1 row copy.
      src.RenderBitmapRect(&dst, nullptr, c.withClip ? &clip : nullptr, c.dx, c.dy, c.dw, c.dh, c.sx, c.sy, c.sw, c.sh,
                           true, false, 255, rfNone, true, scaled ? 1 : 0);
      EXPECT_EQ(Shown(dst), c.rows);
    }
  }
}

TEST(IkRender, OpacityAndAlphaPlane) {
  TIKBitmap src, dst;
  MakeRGB(src, 2, 1, 0xFFFFFF);
  MakeRGB(dst, 2, 1, 0);
  src.RenderToTIKBitmap(&dst, 0, 0, 2, 1, 0, 0, 2, 1, 128, rfNone, 0);
  EXPECT_EQ(dst.GetPixelRGB24(0, 0), Gray(127));
  dst.Fill(0);
  src.RenderToTIKBitmap(&dst, 0, 0, 2, 1, 0, 0, 2, 1, 0, rfNone, 0);
  EXPECT_EQ(dst.GetPixelRGB24(1, 0), Gray(0));

  // The alpha plane blends per pixel; the smaller of it and the opacity
  // counts.
  src.SetAlphaPixel(0, 0, 0);
  src.SetAlphaPixel(1, 0, 128);
  dst.Fill(0);
  src.RenderToTIKBitmap(&dst, 0, 0, 2, 1, 0, 0, 2, 1, 255, rfNone, 0);
  EXPECT_EQ(dst.GetPixelRGB24(0, 0), Gray(0));
  EXPECT_EQ(dst.GetPixelRGB24(1, 0), Gray(127));
  dst.Fill(0);
  src.RenderToTIKBitmap(&dst, 0, 0, 2, 1, 0, 0, 2, 1, 64, rfNone, 0);
  EXPECT_EQ(dst.GetPixelRGB24(1, 0), Gray(63));

  // A plane marked full is not read: the source is drawn opaquely.
  src.GetAlphaChannel()->SetFull(true);
  dst.Fill(0);
  src.RenderToTIKBitmap(&dst, 0, 0, 2, 1, 0, 0, 2, 1, 255, rfNone, 0);
  EXPECT_EQ(dst.GetPixelRGB24(0, 0), Gray(255));
}

TEST(IkRender, EveryFormatDrawsItsColour) {
  const TIKPixelFormat formats[] = {ikMono1, ikPalette8, ikGray8, ikGray16, ikRGB24, ik32f, ikCMYK, ikRGB48, ikCIELab};
  for (TIKPixelFormat f : formats) {
    SCOPED_TRACE(IKPixelFormatInfo(f).Name);
    TIKBitmap src;
    MakeRGB(src, 3, 1, 0);
    src.SetPixelRGB24(0, 0, CreateRGB(255, 255, 255));
    src.SetPixelRGB24(2, 0, CreateRGB(200, 100, 50));
    src.SetDitherMethod(0);
    if (f != ikRGB24 && f != ikPalette8) src.SetPixelFormat(f);
    if (f == ikPalette8) {
      src.SetPixelFormat(ikGray8);
      src.SetPixelFormat(ikPalette8);
    }
    for (int32_t opacity : {255, 128}) {
      TIKBitmap dst;
      MakeRGB(dst, 3, 1, 0x0A0A0A);
      src.RenderToTIKBitmap(&dst, 0, 0, 3, 1, 0, 0, 3, 1, opacity, rfNone, 0);
      for (int32_t x = 0; x < 3; ++x) {
        const TRGB want = src.GetPixelRGB(x, 0);
        const TRGB got = dst.GetPixelRGB24(x, 0);
        auto blend = [opacity](int d, int t) { return opacity == 255 ? t : d + ((opacity * (t - d)) >> 8); };
        EXPECT_EQ(got, CreateRGB(static_cast<uint8_t>(blend(10, want.r)), static_cast<uint8_t>(blend(10, want.g)),
                                 static_cast<uint8_t>(blend(10, want.b))))
            << "pixel " << x << " opacity " << opacity;
      }
    }
  }
  // A palette picture without a palette draws nothing.
  uint8_t raw[4] = {1, 2, 3, 0};
  TIKBitmap bare;
  bare.EncapsulateMemory(raw, 3, 1, ikPalette8, true);
  TIKBitmap dst;
  MakeRGB(dst, 3, 1, 0x0A0A0A);
  bare.RenderToTIKBitmap(&dst, 0, 0, 3, 1, 0, 0, 3, 1, 255, rfNone, 0);
  EXPECT_EQ(dst.GetPixelRGB24(1, 0), Gray(10));
}

TEST(IkRender, RepeatedRowsAndKeptTablesDrawTheSame) {
  TIKBitmap src, a, b;
  MakeNumbered(src, 3, 3);
  MakeRGB(a, 9, 9, 0);
  MakeRGB(b, 9, 9, 0);
  src.RenderToTIKBitmap(&a, 0, 0, 9, 9, 0, 0, 3, 3, 255, rfNone, 0);
  TIKRenderCache cache;
  src.RenderBitmapRect(&b, &cache, nullptr, 0, 0, 9, 9, 0, 0, 3, 3, false, true, 255, rfNone, false, 0);
  EXPECT_EQ(Shown(a), Shown(b));
  EXPECT_EQ(cache.XTable.size(), 9u);
  EXPECT_EQ(cache.DestRows.size(), 9u);
  b.Fill(0);
  src.RenderBitmapRect(&b, &cache, nullptr, 0, 0, 9, 9, 0, 0, 3, 3, false, true, 255, rfNone, false, 0);
  EXPECT_EQ(Shown(a), Shown(b));
  // Rows kept from a bitmap that has since been reallocated are not used.
  b.Allocate(9, 9, ikRGB24);
  b.Fill(0);
  src.RenderBitmapRect(&b, &cache, nullptr, 0, 0, 9, 9, 0, 0, 3, 3, false, true, 255, rfNone, false, 0);
  EXPECT_EQ(Shown(a), Shown(b));
}

TEST(IkRender, TablesPointingOutsideTheSourceAreCut) {
  TIKBitmap src, dst;
  MakeNumbered(src, 2, 2);
  MakeRGB(dst, 4, 2, 0);
  TIKRenderCache cache;
  cache.XTable = {0, 1, 2, 3};  // the last two name columns the source lacks
  cache.YTable = {0, 1};
  src.RenderBitmapRect(&dst, &cache, nullptr, 0, 0, 4, 2, 0, 0, 4, 2, false, false, 128, rfNone, false, 0);
  EXPECT_EQ(Shown(dst)[0].substr(6), "-- --");
  EXPECT_NE(dst.GetPixelRGB24(1, 0), Gray(0));
}

TEST(IkRender, OnlyTwentyFourBitDestinations) {
  TIKBitmap src, gray;
  MakeRGB(src, 2, 2, 0);
  gray.SetLocation(ikMemory);
  gray.Allocate(2, 2, ikGray8);
  EXPECT_THROW(src.RenderToTIKBitmap(&gray, 0, 0, 2, 2, 0, 0, 2, 2, 255, rfNone, 0), EIKError);

  forms::TBitmap platform;
  platform.SetPixelFormat(forms::pf24bit);
  platform.SetSize(3, 2);
  TIKBitmap white;
  MakeRGB(white, 1, 1, 0xFFFFFF);
  white.RenderToTBitmap(&platform, 1, 1, 1, 1, 0, 0, 1, 1, 255, rfNone, 0);
  const auto* row = static_cast<const uint8_t*>(platform.ScanLine(1));
  EXPECT_EQ(row[3], 255);
  EXPECT_EQ(platform.PixelFormat(), forms::pf24bit);
}

TEST(IkRender, CombinePixelOperations) {
  // Each channel: source 200 over destination 100, and the other way.
  const int forward[31] = {200, 255, 100, 0,   78,  236, 64,  172, 200, 100, 150, 222, 210, 144, 156, 189,
                           133, 134, 255, 57,  255, 115, 185, 156, 181, 255, 135, 225, 44,  157, 244};
  const int backward[31] = {100, 255, 100, 2,   78,  236, 64,  172, 200, 100, 150, 222, 210, 144, 189, 156,
                            190, 190, 255, 115, 255, 57,  156, 185, 255, 181, 225, 135, 44,  157, 144};
  for (int op = 0; op <= 30; ++op) {
    TRGB d = Gray(100);
    CombinePixel(Gray(200), d, static_cast<uint8_t>(op));
    EXPECT_EQ(d, Gray(static_cast<uint8_t>(forward[op]))) << "operation " << op;
    d = Gray(200);
    CombinePixel(Gray(100), d, static_cast<uint8_t>(op));
    EXPECT_EQ(d, Gray(static_cast<uint8_t>(backward[op]))) << "operation " << op << " reversed";
  }
  // The channel operations and the HSL mixes (values from Python's
  // colorsys).
  const TRGB s = CreateRGB(200, 60, 10), base = CreateRGB(40, 120, 220);
  const std::pair<int, TRGB> mixed[] = {
      {31, CreateRGB(200, 120, 220)}, {32, CreateRGB(40, 60, 220)},  {33, CreateRGB(40, 120, 10)},
      {34, CreateRGB(220, 87, 40)},   {35, CreateRGB(17, 117, 243)}, {36, CreateRGB(243, 76, 17)},
      {37, CreateRGB(181, 69, 29)},   {38, base},                    {255, base},
  };
  for (const auto& [op, want] : mixed) {
    TRGB d = base;
    CombinePixel(s, d, static_cast<uint8_t>(op));
    EXPECT_EQ(d, want) << "operation " << op;
  }
  // Soft light takes each channel's own source value.
  TRGB d = Gray(128);
  CombinePixel(CreateRGB(255, 0, 0), d, 16);
  EXPECT_EQ(d, CreateRGB(180, 64, 64));
}

TEST(IkRender, CombineOperationsThroughTheRenderer) {
  for (auto [op, want] : {std::pair{1, 255}, {2, 100}, {12, 210}, {16, 133}}) {
    TIKBitmap src, dst;
    MakeRGB(src, 1, 1, 0xC8C8C8);
    MakeRGB(dst, 1, 1, 0x646464);
    src.RenderToTIKBitmap(&dst, 0, 0, 1, 1, 0, 0, 1, 1, 255, rfNone, static_cast<uint8_t>(op));
    EXPECT_EQ(dst.GetPixelRGB24(0, 0), Gray(static_cast<uint8_t>(want))) << "operation " << op;
    // Blended: half of the combined colour over the destination.
    dst.Fill(0x646464);
    src.RenderToTIKBitmap(&dst, 0, 0, 1, 1, 0, 0, 1, 1, 128, rfNone, static_cast<uint8_t>(op));
    EXPECT_EQ(dst.GetPixelRGB24(0, 0), Gray(static_cast<uint8_t>(100 + ((128 * (want - 100)) >> 8))));
  }
}

// Odd, huge and negative rectangles and stale tables never read or write
// outside either bitmap (run under the address sanitizer).
TEST(IkRender, OddRectanglesStayInside) {
  std::mt19937 rng(99);
  const int32_t values[] = {INT32_MIN, -70000, -5, -1, 0, 1, 2, 3, 4, 5, 7, 70000, INT32_MAX};
  auto pick = [&] { return values[rng() % std::size(values)]; };
  for (TIKPixelFormat f : {ikMono1, ikGray8, ikRGB24, ikRGB48, ik32f}) {
    TIKBitmap src, dst;
    MakeRGB(src, 5, 3, 0x808080);
    src.SetDitherMethod(0);
    if (f != ikRGB24) src.SetPixelFormat(f);
    src.SetAlphaPixel(1, 1, 10);
    MakeRGB(dst, 4, 6, 0);
    for (int i = 0; i < 4000; ++i) {
      const forms::TRect clip{pick(), pick(), pick(), pick()};
      TIKRenderCache cache;
      if (i % 3 == 0) {
        cache.XTable.assign(static_cast<size_t>(rng() % 9), pick());
        cache.YTable.assign(static_cast<size_t>(rng() % 9), pick());
      }
      src.RenderBitmapRect(&dst, &cache, i % 2 ? &clip : nullptr, pick(), pick(), pick(), pick(), pick(), pick(),
                           pick(), pick(), i % 4 == 0, i % 5 == 0, i % 2 ? 255 : 100, rfNone, false,
                           static_cast<uint8_t>(rng() % 40));
    }
  }
}

}  // namespace
}  // namespace imaging
