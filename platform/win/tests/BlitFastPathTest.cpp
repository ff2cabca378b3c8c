// The fast blit paths (the pixel library's OVER, the power-of-two
// HALFTONE reductions) against the general per-pixel code, pixel for
// pixel, over the edges that differ most often: clipping, sources partly
// outside their bitmap, mirroring, 1x1, odd widths, alpha 0 and 255,
// bottom-up DIB sections.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/win/Bitmap.h"
#include "platform/win/Blit.h"
#include "platform/win/Dc.h"
#include "platform/win/GdiObject.h"
#include "platform/win/PixelOps.h"
#include "platform/win/Region.h"

namespace {

using namespace win;

struct Dib {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  uint32_t* bits = nullptr;
  int count = 0;
  Dib(int w, int h, bool bottomUp, uint32_t seed) : count(w * h) {
    BITMAPINFO info{};
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = bottomUp ? h : -h;
    info.bmiHeader.biBitCount = 32;
    dc = CreateCompatibleDC(nullptr);
    void* p = nullptr;
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &p, nullptr, 0);
    bits = static_cast<uint32_t*>(p);
    SelectObject(dc, bitmap);
    // Every fourth pixel opaque, every fourth clear, the rest anything
    // (premultiplied or not: both paths must agree on either).
    for (int i = 0; i < count; ++i) {
      seed = seed * 1664525u + 1013904223u;
      uint32_t v = seed ^ (seed >> 13);
      if (i % 4 == 1) v |= 0xFF000000u;
      if (i % 4 == 2) v &= 0x00FFFFFFu;
      if (i % 8 == 3) v = 0;
      bits[i] = v;
    }
  }
  ~Dib() {
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  std::vector<uint32_t> Pixels() const { return std::vector<uint32_t>(bits, bits + count); }
};

// Runs `draw` on fresh surfaces with the fast paths on and off and
// returns both results.
template <class F>
std::pair<std::vector<uint32_t>, std::vector<uint32_t>> BothWays(int dw, int dh, bool destBottomUp, F draw) {
  std::vector<uint32_t> out[2];
  for (int fast = 0; fast < 2; ++fast) {
    gdi::SetFastPathsEnabled(fast == 1);
    Dib dst(dw, dh, destBottomUp, 7);
    draw(dst);
    out[fast] = dst.Pixels();
  }
  gdi::SetFastPathsEnabled(true);
  return {out[0], out[1]};
}

TEST(FastPaths, AlphaBlendMatchesThePerPixelCode) {
  struct Case {
    const char* name;
    int sw, sh, dw, dh;
    int x, y, w, h, xs, ys;
    BYTE sca;
    bool srcBottomUp, dstBottomUp, clip;
  } cases[] = {
      {"whole", 37, 21, 37, 21, 0, 0, 37, 21, 0, 0, 255, false, false, false},
      {"1x1", 4, 4, 4, 4, 2, 1, 1, 1, 3, 3, 255, false, false, false},
      {"odd width, offset", 33, 9, 40, 12, 3, 2, 31, 7, 1, 1, 255, false, false, false},
      {"constant alpha 128", 17, 5, 17, 5, 0, 0, 17, 5, 0, 0, 128, false, false, false},
      {"constant alpha 0", 17, 5, 17, 5, 0, 0, 17, 5, 0, 0, 0, false, false, false},
      {"constant alpha 1", 17, 5, 17, 5, 0, 0, 17, 5, 0, 0, 1, false, false, false},
      {"dest partly outside", 16, 16, 10, 10, -3, 4, 16, 16, 0, 0, 255, false, false, false},
      {"clip region", 20, 20, 20, 20, 0, 0, 20, 20, 0, 0, 200, false, false, true},
      {"bottom-up source", 19, 13, 19, 13, 1, 0, 17, 13, 2, 0, 255, true, false, false},
      {"bottom-up dest", 19, 13, 19, 13, 0, 1, 19, 11, 0, 2, 255, false, true, true},
  };
  for (const Case& c : cases) {
    Dib src(c.sw, c.sh, c.srcBottomUp, 99);
    const auto [slow, fast] = BothWays(c.dw, c.dh, c.dstBottomUp, [&](Dib& dst) {
      if (c.clip) {
        HRGN rgn = CreateRectRgn(2, 3, 9, 15);
        HRGN other = CreateRectRgn(11, 0, 14, 6);
        CombineRgn(rgn, rgn, other, RGN_OR);
        SelectClipRgn(dst.dc, rgn);
        DeleteObject(rgn);
        DeleteObject(other);
      }
      const BLENDFUNCTION bf{AC_SRC_OVER, 0, c.sca, AC_SRC_ALPHA};
      EXPECT_TRUE(AlphaBlend(dst.dc, c.x, c.y, c.w, c.h, src.dc, c.xs, c.ys, c.w, c.h, bf)) << c.name;
    });
    EXPECT_EQ(fast, slow) << c.name;
  }
}

// Within one bitmap the source is read as it was before the call.
TEST(FastPaths, AlphaBlendOntoItsOwnBitmap) {
  const auto [slow, fast] = BothWays(24, 10, false, [](Dib& d) {
    const BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    EXPECT_TRUE(AlphaBlend(d.dc, 3, 1, 20, 8, d.dc, 0, 0, 20, 8, bf));
  });
  EXPECT_EQ(fast, slow);
}

TEST(FastPaths, HalftoneReductionsMatchTheAreaAverage) {
  struct Case {
    const char* name;
    int sw, sh;         // source bitmap
    int x, y, w, h;     // destination rectangle
    int xs, ys, ws, hs; // source rectangle
    bool bottomUp, clip;
  } cases[] = {
      {"2:1", 40, 18, 0, 0, 20, 9, 0, 0, 40, 18, false, false},
      {"2:1 odd output width", 14, 6, 1, 1, 7, 3, 0, 0, 14, 6, false, false},
      {"2:1 to 1x1", 2, 2, 3, 3, 1, 1, 0, 0, 2, 2, false, false},
      {"4:1 and 2:1", 32, 16, 0, 0, 8, 8, 0, 0, 32, 16, false, false},
      {"across only", 16, 5, 0, 0, 8, 5, 0, 0, 16, 5, false, false},
      {"down only, 8:1", 5, 40, 0, 0, 5, 5, 0, 0, 5, 40, false, false},
      {"16:1", 64, 32, 0, 0, 4, 2, 0, 0, 64, 32, false, false},
      {"source partly outside", 10, 10, 0, 0, 8, 8, 4, -6, 16, 16, false, false},
      {"mirrored", 24, 12, 11, 5, -12, -6, 0, 0, 24, 12, false, false},
      {"clipped, bottom-up", 40, 40, 0, 0, 20, 20, 0, 0, 40, 40, true, true},
      {"not a power of two", 30, 9, 0, 0, 10, 3, 0, 0, 30, 9, false, false},
  };
  for (const Case& c : cases) {
    Dib src(c.sw, c.sh, c.bottomUp, 5);
    const auto [slow, fast] = BothWays(24, 24, c.bottomUp, [&](Dib& dst) {
      if (c.clip) {
        HRGN rgn = CreateEllipticRgn(0, 0, 17, 13);
        SelectClipRgn(dst.dc, rgn);
        DeleteObject(rgn);
      }
      SetStretchBltMode(dst.dc, HALFTONE);
      EXPECT_TRUE(StretchBlt(dst.dc, c.x, c.y, c.w, c.h, src.dc, c.xs, c.ys, c.ws, c.hs, SRCCOPY)) << c.name;
    });
    EXPECT_EQ(fast, slow) << c.name;
  }
}

// Enlarging reuses the row it gathered for the previous destination row;
// every destination row must still come from its own source row.
TEST(FastPaths, NearestEnlargingKeepsEveryRow) {
  Dib src(3, 3, false, 0);
  for (int i = 0; i < 9; ++i) src.bits[i] = static_cast<uint32_t>(i);
  Dib dst(7, 6, false, 0);
  SetStretchBltMode(dst.dc, COLORONCOLOR);
  ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, 6, 6, src.dc, 0, 0, 3, 3, SRCCOPY));
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(dst.bits[y * 7 + x], static_cast<uint32_t>((y / 2) * 3 + x / 2)) << x << "," << y;
  // Mirrored down, with a raster operation that reads the destination.
  ASSERT_TRUE(StretchBlt(dst.dc, 0, 5, 6, -6, src.dc, 0, 0, 3, 3, SRCINVERT));
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) {
      const uint32_t was = static_cast<uint32_t>((y / 2) * 3 + x / 2), mirrored = static_cast<uint32_t>(((5 - y) / 2) * 3 + x / 2);
      EXPECT_EQ(dst.bits[y * 7 + x], was ^ mirrored) << x << "," << y;
    }
}

}  // namespace
