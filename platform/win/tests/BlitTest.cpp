#include "platform/win/Blit.h"

#include <gtest/gtest.h>

#include "platform/win/DrawDib.h"
#include "platform/win/PenBrush.h"
#include "platform/win/Region.h"
#include "platform/win/tests/GdiTestUtil.h"

namespace {

using namespace win;
using gditest::Canvas;
using gditest::Rows;

// Every raster operation on the four combinations of a black/white source
// over a black/white destination (pattern: a solid brush of 0x00FF00).
TEST(RasterOps, EveryOperationOnATwoByTwoPattern) {
  const uint32_t S[4] = {0, 0xFFFFFF, 0, 0xFFFFFF};
  const uint32_t D[4] = {0, 0, 0xFFFFFF, 0xFFFFFF};
  const uint32_t P = 0x00FF00;
  struct Case {
    const char* name;
    DWORD rop;
    uint32_t (*f)(uint32_t p, uint32_t s, uint32_t d);
  } cases[] = {
      {"SRCCOPY", SRCCOPY, [](uint32_t, uint32_t s, uint32_t) { return s; }},
      {"SRCPAINT", SRCPAINT, [](uint32_t, uint32_t s, uint32_t d) { return s | d; }},
      {"SRCAND", SRCAND, [](uint32_t, uint32_t s, uint32_t d) { return s & d; }},
      {"SRCINVERT", SRCINVERT, [](uint32_t, uint32_t s, uint32_t d) { return s ^ d; }},
      {"SRCERASE", SRCERASE, [](uint32_t, uint32_t s, uint32_t d) { return s & ~d; }},
      {"NOTSRCCOPY", NOTSRCCOPY, [](uint32_t, uint32_t s, uint32_t) { return ~s; }},
      {"NOTSRCERASE", NOTSRCERASE, [](uint32_t, uint32_t s, uint32_t d) { return ~(s | d); }},
      {"MERGECOPY", MERGECOPY, [](uint32_t p, uint32_t s, uint32_t) { return p & s; }},
      {"MERGEPAINT", MERGEPAINT, [](uint32_t, uint32_t s, uint32_t d) { return ~s | d; }},
      {"PATCOPY", PATCOPY, [](uint32_t p, uint32_t, uint32_t) { return p; }},
      {"PATPAINT", PATPAINT, [](uint32_t p, uint32_t s, uint32_t d) { return p | ~s | d; }},
      {"PATINVERT", PATINVERT, [](uint32_t p, uint32_t, uint32_t d) { return p ^ d; }},
      {"DSTINVERT", DSTINVERT, [](uint32_t, uint32_t, uint32_t d) { return ~d; }},
      {"BLACKNESS", BLACKNESS, [](uint32_t, uint32_t, uint32_t) { return 0u; }},
      {"WHITENESS", WHITENESS, [](uint32_t, uint32_t, uint32_t) { return 0xFFFFFFu; }},
      {"PSDPxax (0xB8074A)", 0x00B8074A, [](uint32_t p, uint32_t s, uint32_t d) { return ((p ^ d) & s) ^ p; }},
  };
  HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
  for (const auto& c : cases) {
    Canvas src(2, 2), dst(2, 2);
    for (int i = 0; i < 4; ++i) {
      src.bits()[i] = S[i];
      dst.bits()[i] = D[i];
    }
    SelectObject(dst.dc(), green);
    ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, 2, 2, src.dc(), 0, 0, c.rop)) << c.name;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(dst.bits()[i] & 0xFFFFFF, c.f(P, S[i], D[i]) & 0xFFFFFF) << c.name << " " << i;
  }
  DeleteObject(green);
}

TEST(RasterOps, SrcCopyCarriesAlphaOthersClearIt) {
  Canvas src(1, 1), dst(1, 1);
  src.bits()[0] = 0x80102030;
  BitBlt(dst.dc(), 0, 0, 1, 1, src.dc(), 0, 0, SRCCOPY);
  EXPECT_EQ(dst.bits()[0], 0x80102030u);
  BitBlt(dst.dc(), 0, 0, 1, 1, src.dc(), 0, 0, SRCPAINT);
  EXPECT_EQ(dst.bits()[0], 0x00102030u);
  EXPECT_FALSE(PatBlt(dst.dc(), 0, 0, 1, 1, SRCCOPY));  // needs a source
}

// Colour to mono: the source's background colour becomes white (1);
// mono to colour: 0 takes the destination's text colour, 1 its background.
TEST(MonoConversion, BothDirections) {
  Canvas colour(3, 1);
  colour.bits()[0] = 0x00FF0000;  // red
  colour.bits()[1] = 0x000000FF;  // blue
  colour.bits()[2] = 0x00FFFFFF;
  HDC monoDc = CreateCompatibleDC(nullptr);
  HBITMAP mono = CreateBitmap(3, 1, 1, 1, nullptr);
  SelectObject(monoDc, mono);
  SetBkColor(colour.dc(), RGB(0, 0, 255));
  BitBlt(monoDc, 0, 0, 3, 1, colour.dc(), 0, 0, SRCCOPY);
  EXPECT_EQ(GetPixel(monoDc, 0, 0), 0u);
  EXPECT_EQ(GetPixel(monoDc, 1, 0), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(monoDc, 2, 0), 0u);

  Canvas back(3, 1);
  SetTextColor(back.dc(), RGB(0, 128, 0));
  SetBkColor(back.dc(), RGB(255, 255, 0));
  BitBlt(back.dc(), 0, 0, 3, 1, monoDc, 0, 0, SRCCOPY);
  EXPECT_EQ(back.Art({{RGB(0, 128, 0), 'g'}, {RGB(255, 255, 0), 'y'}}), "gyg\n");
  DeleteDC(monoDc);
  DeleteObject(mono);
}

TEST(Stretch, NearestMirrorAndHalftone) {
  Canvas src(2, 1);
  src.bits()[0] = 0x00000000;
  src.bits()[1] = 0x00FFFFFF;
  Canvas dst(4, 2);
  StretchBlt(dst.dc(), 0, 0, 4, 1, src.dc(), 0, 0, 2, 1, SRCCOPY);
  StretchBlt(dst.dc(), 3, 1, -4, 1, src.dc(), 0, 0, 2, 1, SRCCOPY);  // mirrored into [0, 4)
  EXPECT_EQ(dst.Art(), "##..\n..##\n");
  // HALFTONE shrinks by averaging: 4 pixels of 0 and 255 give 128.
  Canvas wide(4, 1), one(1, 1);
  for (int i = 0; i < 4; ++i) wide.bits()[i] = (i % 2) ? 0x00FFFFFF : 0;
  SetStretchBltMode(one.dc(), HALFTONE);
  StretchBlt(one.dc(), 0, 0, 1, 1, wide.dc(), 0, 0, 4, 1, SRCCOPY);
  EXPECT_EQ(one.bits()[0], 0x00808080u);
  SetStretchBltMode(one.dc(), COLORONCOLOR);
  StretchBlt(one.dc(), 0, 0, 1, 1, wide.dc(), 0, 0, 4, 1, SRCCOPY);
  EXPECT_TRUE(one.bits()[0] == 0 || one.bits()[0] == 0xFFFFFF);
}

// The default mode keeps black when shrinking; WHITEONBLACK keeps white.
TEST(Stretch, MonoModesCombineTheDroppedPixels) {
  Canvas src(4, 1);
  src.bits()[0] = src.bits()[3] = 0x00FFFFFF;
  src.bits()[1] = 0;
  src.bits()[2] = 0x00FFFFFF;
  Canvas dst(2, 1);
  EXPECT_EQ(GetStretchBltMode(dst.dc()), BLACKONWHITE);
  StretchBlt(dst.dc(), 0, 0, 2, 1, src.dc(), 0, 0, 4, 1, SRCCOPY);
  EXPECT_EQ(dst.Art(), "#.\n");
  src.bits()[1] = 0x00FFFFFF;
  src.bits()[3] = 0;
  src.bits()[2] = 0;
  src.bits()[0] = 0;
  SetStretchBltMode(dst.dc(), WHITEONBLACK);
  StretchBlt(dst.dc(), 0, 0, 2, 1, src.dc(), 0, 0, 4, 1, SRCCOPY);
  EXPECT_EQ(dst.Art(), ".#\n");
}

TEST(Transfers, TransparentBltSkipsTheKeyColour) {
  Canvas src(3, 1), dst(3, 1, RGB(0, 0, 255));
  src.bits()[0] = 0x00FF00FF;  // fuchsia key
  src.bits()[1] = 0;
  src.bits()[2] = 0x00FF00FF;
  TransparentBlt(dst.dc(), 0, 0, 3, 1, src.dc(), 0, 0, 3, 1, RGB(255, 0, 255));
  EXPECT_EQ(dst.Art({{RGB(0, 0, 255), 'b'}}), "b#b\n");
}

TEST(Transfers, MaskBltPicksForegroundWhereMaskIsOne) {
  Canvas src(4, 1, RGB(0, 0, 0)), dst(4, 1);
  const uint8_t maskBits[] = {0x50, 0};  // 0101
  HBITMAP mask = CreateBitmap(4, 1, 1, 1, maskBits);
  MaskBlt(dst.dc(), 0, 0, 4, 1, src.dc(), 0, 0, mask, 0, 0, MAKEROP4(SRCCOPY, 0x00AA0029));  // background: keep dest
  EXPECT_EQ(dst.Art(), ".#.#\n");
  DeleteObject(mask);
}

TEST(Transfers, BitBltThroughOriginsClipAndOverlap) {
  Canvas c(5, 1);
  for (int i = 0; i < 5; ++i) c.bits()[i] = static_cast<uint32_t>(i);
  // Overlapping copy within one bitmap behaves as if through a buffer.
  BitBlt(c.dc(), 1, 0, 4, 1, c.dc(), 0, 0, SRCCOPY);
  EXPECT_EQ(std::vector<uint32_t>(c.bits(), c.bits() + 5), (std::vector<uint32_t>{0, 0, 1, 2, 3}));
  Canvas src(3, 1), dst(5, 1);
  for (int i = 0; i < 3; ++i) src.bits()[i] = 0;
  SetViewportOrgEx(dst.dc(), 1, 0, nullptr);
  ExcludeClipRect(dst.dc(), 1, 0, 2, 1);
  BitBlt(dst.dc(), 0, 0, 3, 1, src.dc(), 0, 0, SRCCOPY);
  EXPECT_EQ(dst.Art(), ".#.#.\n");
}

// A quarter turn: the source's top-left lands at (2, 0), its top-right at
// (2, 2) and its bottom-left at (0, 0).
TEST(Transfers, PlgBltMapsThroughTheParallelogram) {
  Canvas src(2, 2), dst(2, 2);
  src.bits()[0] = 0x00FF0000;  // top-left red
  src.bits()[1] = 0x0000FF00;  // top-right green
  src.bits()[2] = 0x000000FF;  // bottom-left blue
  src.bits()[3] = 0;
  const POINT corners[3] = {{2, 0}, {2, 2}, {0, 0}};
  ASSERT_TRUE(PlgBlt(dst.dc(), corners, src.dc(), 0, 0, 2, 2, nullptr, 0, 0));
  EXPECT_EQ(dst.Art({{RGB(255, 0, 0), 'r'}, {RGB(0, 255, 0), 'g'}, {RGB(0, 0, 255), 'b'}}), "br\n#g\n");
}

// The blend formula, premultiplied and constant, with rounding.
TEST(AlphaBlend, FormulaTable) {
  struct Case {
    uint32_t src, dst;
    BYTE sca, format;
    uint32_t expect;
  } cases[] = {
      {0xFF102030, 0x00FFFFFF, 255, AC_SRC_ALPHA, 0xFF102030},
      {0x00000000, 0x00123456, 255, AC_SRC_ALPHA, 0x00123456},
      {0x80800000, 0x000000FF, 255, AC_SRC_ALPHA, 0x8080007F},  // 50% red over blue
      {0x80800000, 0x000000FF, 128, AC_SRC_ALPHA, 0x404000BF},
      {0x00FF0000, 0x000000FF, 128, 0, 0x0080007F},
      {0x00FFFFFF, 0x00000000, 0, 0, 0x00000000},
  };
  for (const auto& c : cases) {
    Canvas src(1, 1), dst(1, 1);
    src.bits()[0] = c.src;
    dst.bits()[0] = c.dst;
    BLENDFUNCTION bf{AC_SRC_OVER, 0, c.sca, c.format};
    ASSERT_TRUE(AlphaBlend(dst.dc(), 0, 0, 1, 1, src.dc(), 0, 0, 1, 1, bf));
    EXPECT_EQ(dst.bits()[0], c.expect) << std::hex << c.src << " over " << c.dst << " sca " << int(c.sca);
  }
  Canvas src(2, 2), dst(2, 2);
  BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  EXPECT_FALSE(AlphaBlend(dst.dc(), 0, 0, 2, 2, src.dc(), 1, 1, 2, 2, bf));  // source leaves the bitmap
  EXPECT_FALSE(AlphaBlend(dst.dc(), 0, 0, -2, 2, src.dc(), 0, 0, 2, 2, bf));
}

TEST(Transfers, StretchDIBitsCountsBottomUpSourceRowsFromTheBottom) {
  struct {
    BITMAPINFOHEADER h;
  } info{};
  info.h.biWidth = 1;
  info.h.biHeight = 3;
  info.h.biBitCount = 32;
  const uint32_t bits[3] = {0x000000FF, 0x0000FF00, 0x00FF0000};  // bottom blue, middle green, top red
  Canvas dst(1, 2);
  EXPECT_EQ(StretchDIBits(dst.dc(), 0, 0, 1, 2, 0, 0, 1, 2, bits, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                          SRCCOPY), 2);
  EXPECT_EQ(dst.bits()[0], 0x0000FF00u);
  EXPECT_EQ(dst.bits()[1], 0x000000FFu);
  Canvas all(1, 3);
  EXPECT_EQ(SetDIBitsToDevice(all.dc(), 0, 0, 1, 3, 0, 0, 0, 3, bits, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS), 3);
  EXPECT_EQ(all.bits()[0], 0x00FF0000u);
  EXPECT_EQ(all.bits()[2], 0x000000FFu);
}

}  // namespace

namespace {

// Source rows count from the picture's top; the bits may follow the header.
TEST(DrawDib, DrawsPackedDibsFromTheTop) {
  struct {
    win::BITMAPINFOHEADER h;
    uint32_t bits[3];
  } packed{};
  packed.h.biWidth = 1;
  packed.h.biHeight = 3;
  packed.h.biBitCount = 32;
  packed.bits[0] = 0x000000FF;  // bottom
  packed.bits[1] = 0x0000FF00;
  packed.bits[2] = 0x00FF0000;  // top
  win::HDRAWDIB hdd = win::DrawDibOpen();
  gditest::Canvas dst(1, 2);
  ASSERT_TRUE(win::DrawDibDraw(hdd, dst.dc(), 0, 0, -1, 2, &packed.h, nullptr, 0, 0, 1, 2, 0));
  EXPECT_EQ(dst.bits()[0], 0x00FF0000u);
  EXPECT_EQ(dst.bits()[1], 0x0000FF00u);
  packed.h.biHeight = -3;
  EXPECT_FALSE(win::DrawDibDraw(hdd, dst.dc(), 0, 0, -1, -1, &packed.h, nullptr, 0, 0, -1, -1, 0));
  EXPECT_TRUE(win::DrawDibClose(hdd));
  EXPECT_FALSE(win::DrawDibClose(hdd));
}

}  // namespace
