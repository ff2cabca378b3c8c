// TBitmap: DIB layouts per pixel format, resizing, transparency, BMP files
// made and read back by ImageMagick, copies.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/forms/Graphics.h"
#include "platform/forms/tests/GraphicsTestUtil.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/tests/ToolCheck.h"
#include "platform/win/Dib.h"
#include "platform/win/GdiObject.h"

namespace forms {
namespace {

using testutil::Output;
using testutil::Shell;
using testutil::ScratchDir;

TColor PixelColor(const win::Surface& s, int x, int y) {
  const uint32_t p = s.Pixel(x, y);
  return static_cast<TColor>(win::RGB(static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8),
                                      static_cast<uint8_t>(p)));
}

TEST(BitmapTest, ScanLineLayoutPerPixelFormat) {
  // Each format's row stride, and the bytes that make the top-left pixel
  // red (white for one bit, which has no red).
  struct Case {
    TPixelFormat format;
    int bits;
    std::vector<uint8_t> pixel;
    TColor seen;
  } cases[] = {
      {pf1bit, 1, {0x80}, clWhite},          {pf4bit, 4, {0x90}, clRed},
      {pf8bit, 8, {9}, clRed},               {pf15bit, 16, {0x00, 0x7C}, clRed},
      {pf16bit, 16, {0x00, 0xF8}, clRed},    {pf24bit, 24, {0x00, 0x00, 0xFF}, clRed},
      {pf32bit, 32, {0x00, 0x00, 0xFF, 0x00}, clRed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bits);
    TBitmap b;
    b.SetPixelFormat(c.format);
    b.SetSize(13, 3);
    // A black sheet, then one pixel written through the row pointer.
    b.Canvas()->Brush()->SetColor(clBlack);
    b.Canvas()->FillRect(Rect(0, 0, 13, 3));
    EXPECT_EQ(b.PixelFormat(), c.format);
    EXPECT_EQ(b.HandleType(), bmDIB);
    const auto stride = static_cast<ptrdiff_t>(win::DibStride(13, c.bits));
    auto* top = static_cast<uint8_t*>(b.ScanLine(0));
    EXPECT_EQ(static_cast<uint8_t*>(b.ScanLine(1)), top - stride);
    EXPECT_EQ(static_cast<uint8_t*>(b.ScanLine(2)), top - 2 * stride);
    std::memcpy(top, c.pixel.data(), c.pixel.size());
    EXPECT_EQ(b.Canvas()->Pixels(0, 0), c.seen);
    EXPECT_EQ(b.Canvas()->Pixels(0, 2), clBlack);
    // And drawing reaches the rows: the bottom-left pixel is the first
    // bytes of the memory block.
    b.Canvas()->SetPixel(0, 2, c.seen);
    EXPECT_EQ(std::memcmp(b.ScanLine(2), c.pixel.data(), c.pixel.size()), 0);
    EXPECT_THROW(b.ScanLine(3), EInvalidGraphicOperation);
    EXPECT_THROW(b.ScanLine(-1), EInvalidGraphicOperation);
  }
}

TEST(BitmapTest, ResizingKeepsThePictureAndWhitensNewArea) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(4, 4);
  EXPECT_EQ(b.Canvas()->Pixels(3, 3), clWhite);
  b.Canvas()->SetPixel(1, 1, clRed);
  b.SetSize(8, 6);
  EXPECT_EQ(b.Width(), 8);
  EXPECT_EQ(b.Height(), 6);
  EXPECT_EQ(b.Canvas()->Pixels(1, 1), clRed);
  EXPECT_EQ(b.Canvas()->Pixels(7, 5), clWhite);
  b.SetSize(0, 6);
  EXPECT_TRUE(b.Empty());
  EXPECT_THROW(b.ScanLine(0), EInvalidGraphicOperation);
}

TEST(BitmapTest, WidthThenHeightBuildsThePicture) {
  // Each setter alone leaves one side zero; the size must not be forgotten
  // in between.
  TBitmap b;
  b.SetWidth(16);
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.Width(), 16);
  b.SetHeight(12);
  EXPECT_FALSE(b.Empty());
  EXPECT_EQ(b.Width(), 16);
  EXPECT_EQ(b.Height(), 12);
  b.Canvas()->SetPixel(15, 11, clRed);
  EXPECT_EQ(b.Canvas()->Pixels(15, 11), clRed);
}

TEST(BitmapTest, PixelFormatChangesKeepColoursTheTableHolds) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(3, 1);
  b.Canvas()->SetPixel(0, 0, clRed);
  b.Canvas()->SetPixel(1, 0, clBlue);
  for (TPixelFormat f : {pf8bit, pf4bit, pf32bit, pf16bit, pf15bit, pf24bit, pfDevice}) {
    b.SetPixelFormat(f);
    EXPECT_EQ(b.PixelFormat(), f);
    EXPECT_EQ(b.Canvas()->Pixels(0, 0), clRed) << f;
    EXPECT_EQ(b.Canvas()->Pixels(1, 0), clBlue) << f;
    EXPECT_EQ(b.Canvas()->Pixels(2, 0), clWhite) << f;
  }
  EXPECT_EQ(b.HandleType(), bmDDB);
  b.SetPixelFormat(pf1bit);
  EXPECT_TRUE(b.Monochrome());
  EXPECT_EQ(b.Canvas()->Pixels(2, 0), clWhite);
  EXPECT_EQ(b.Canvas()->Pixels(0, 0), clBlack);
}

TEST(BitmapTest, DeviceBitmapsTurnIntoDibsForScanLine) {
  TBitmap b;
  b.SetSize(5, 2);
  EXPECT_EQ(b.HandleType(), bmDDB);
  EXPECT_EQ(b.PixelFormat(), pfDevice);
  b.Canvas()->SetPixel(4, 1, clLime);
  auto* row = static_cast<uint32_t*>(b.ScanLine(1));
  EXPECT_EQ(b.HandleType(), bmDIB);
  EXPECT_EQ(row[4] & 0xFFFFFF, 0x00FF00u);

  TBitmap m;
  m.SetSize(5, 2);
  m.SetMonochrome(true);
  EXPECT_TRUE(m.Monochrome());
  EXPECT_EQ(m.HandleType(), bmDDB);
  EXPECT_EQ(m.PixelFormat(), pfDevice);
  m.SetPixelFormat(pf1bit);
  EXPECT_EQ(m.HandleType(), bmDIB);
  EXPECT_TRUE(m.Monochrome());
}

TEST(BitmapTest, AutomaticTransparentColourIsTheBottomLeftPixel) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(4, 3);
  b.Canvas()->SetPixel(0, 2, clFuchsia);
  b.Canvas()->SetPixel(0, 0, clGreen);
  EXPECT_EQ(b.TransparentMode(), tmAuto);
  EXPECT_EQ(b.TransparentColor(), clFuchsia);
  b.Canvas()->SetPixel(0, 2, clTeal);
  EXPECT_EQ(b.TransparentColor(), clTeal);

  b.SetTransparentColor(clBtnFace);
  EXPECT_EQ(b.TransparentMode(), tmFixed);
  EXPECT_EQ(b.TransparentColor(), static_cast<TColor>(ColorToRGB(clBtnFace)));
  b.SetTransparentMode(tmAuto);
  EXPECT_EQ(b.TransparentColor(), clTeal);

  TBitmap mono;
  mono.SetSize(2, 2);
  mono.SetMonochrome(true);
  EXPECT_EQ(mono.TransparentColor(), clWhite);
}

TEST(BitmapTest, TransparentDrawLeavesKeyPixelsAlone) {
  TBitmap sprite;
  sprite.SetPixelFormat(pf24bit);
  sprite.SetSize(4, 4);
  sprite.Canvas()->Brush()->SetColor(clFuchsia);
  sprite.Canvas()->FillRect(Rect(0, 0, 4, 4));
  sprite.Canvas()->SetPixel(1, 1, clBlue);
  sprite.SetTransparent(true);

  TBitmap back;
  back.SetPixelFormat(pf24bit);
  back.SetSize(10, 10);
  back.Canvas()->Brush()->SetColor(clYellow);
  back.Canvas()->FillRect(Rect(0, 0, 10, 10));
  back.Canvas()->Draw(2, 2, &sprite);
  EXPECT_EQ(back.Canvas()->Pixels(3, 3), clBlue);
  EXPECT_EQ(back.Canvas()->Pixels(2, 2), clYellow);

  // Stretched, still keyed.
  back.Canvas()->StretchDraw(Rect(0, 0, 8, 8), &sprite);
  EXPECT_EQ(back.Canvas()->Pixels(2, 2), clBlue);
  EXPECT_EQ(back.Canvas()->Pixels(3, 3), clBlue);
  EXPECT_EQ(back.Canvas()->Pixels(0, 0), clYellow);
  EXPECT_EQ(back.Canvas()->Pixels(7, 7), clYellow);

  sprite.SetTransparent(false);
  back.Canvas()->Draw(0, 0, &sprite);
  EXPECT_EQ(back.Canvas()->Pixels(0, 0), clFuchsia);
}

TEST(BitmapTest, TransparentMonochromeDrawsInTheCanvasColours) {
  // Black pixels take the font colour, white ones (the automatic key) are
  // left alone.
  TBitmap mono;
  mono.SetSize(3, 1);
  mono.SetMonochrome(true);
  mono.Canvas()->SetPixel(1, 0, clBlack);
  mono.SetTransparent(true);
  TBitmap back;
  back.SetPixelFormat(pf24bit);
  back.SetSize(3, 1);
  back.Canvas()->Brush()->SetColor(clYellow);
  back.Canvas()->FillRect(Rect(0, 0, 3, 1));
  back.Canvas()->Font()->SetColor(clRed);
  back.Canvas()->Draw(0, 0, &mono);
  EXPECT_EQ(back.Canvas()->Pixels(0, 0), clYellow);
  EXPECT_EQ(back.Canvas()->Pixels(1, 0), clRed);
  EXPECT_EQ(back.Canvas()->Pixels(2, 0), clYellow);
}

TEST(BitmapTest, AssignCopiesPixelsFormatAndTransparency) {
  TBitmap a;
  a.SetPixelFormat(pf8bit);
  a.SetSize(3, 2);
  a.Canvas()->SetPixel(2, 1, clRed);
  a.SetTransparentColor(clRed);
  a.SetTransparent(true);
  TBitmap b;
  b.Assign(&a);
  EXPECT_EQ(b.PixelFormat(), pf8bit);
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.Canvas()->Pixels(2, 1), clRed);
  EXPECT_TRUE(b.Transparent());
  EXPECT_EQ(b.TransparentMode(), tmFixed);
  EXPECT_EQ(b.ColorTable(), a.ColorTable());
  b.Canvas()->SetPixel(2, 1, clBlue);
  EXPECT_EQ(a.Canvas()->Pixels(2, 1), clRed);

  b.Assign(nullptr);
  EXPECT_TRUE(b.Empty());

  win::HBITMAP h = a.ReleaseHandle();
  EXPECT_TRUE(a.Empty());
  EXPECT_NE(win::GetObjectType(h), 0u);
  TBitmap c;
  c.SetHandle(h);
  EXPECT_EQ(c.PixelFormat(), pf8bit);
  EXPECT_EQ(c.Canvas()->Pixels(2, 1), clRed);
}

TEST(BitmapTest, StreamsKeepFormatTableAndPixels) {
  for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfDevice}) {
    SCOPED_TRACE(f);
    TBitmap a;
    a.SetPixelFormat(f);
    a.SetSize(7, 3);
    a.Canvas()->SetPixel(0, 0, clBlack);
    if (f != pf1bit) a.Canvas()->SetPixel(6, 2, clBlue);
    rtl::TMemoryStream s;
    a.SaveToStream(&s);
    s.SetPosition(0);
    TBitmap b;
    b.LoadFromStream(&s);
    EXPECT_EQ(b.Width(), 7);
    EXPECT_EQ(b.Height(), 3);
    EXPECT_EQ(b.PixelFormat(), f == pfDevice ? pf24bit : f);
    EXPECT_EQ(b.Canvas()->Pixels(0, 0), clBlack);
    EXPECT_EQ(b.Canvas()->Pixels(6, 2), f == pf1bit ? clWhite : clBlue);
    EXPECT_EQ(b.Canvas()->Pixels(3, 1), clWhite);
  }
  // Two bitmaps one after the other in one stream.
  rtl::TMemoryStream both;
  TBitmap red, blue;
  red.SetPixelFormat(pf24bit);
  red.SetSize(2, 2);
  red.Canvas()->SetPixel(0, 0, clRed);
  blue.SetPixelFormat(pf8bit);
  blue.SetSize(3, 1);
  blue.Canvas()->SetPixel(0, 0, clBlue);
  red.SaveToStream(&both);
  blue.SaveToStream(&both);
  both.SetPosition(0);
  TBitmap first, second;
  first.LoadFromStream(&both);
  second.LoadFromStream(&both);
  EXPECT_EQ(first.Canvas()->Pixels(0, 0), clRed);
  EXPECT_EQ(second.Width(), 3);
  EXPECT_EQ(second.Canvas()->Pixels(0, 0), clBlue);
  EXPECT_EQ(both.Position(), both.Size());

  rtl::TMemoryStream junk;
  junk.WriteBuffer("BMnonsense", 10);
  junk.SetPosition(0);
  TBitmap c;
  EXPECT_THROW(c.LoadFromStream(&junk), EInvalidGraphic);
}

class BitmapFilesTest : public ::testing::Test {
protected:
  void SetUp() override {
    VORIX_NEED_TOOL(testtools::OnPath("convert"), "ImageMagick");
  }
  ScratchDir dir_;
};

TEST_F(BitmapFilesTest, ReadsWhatImageMagickWritesPixelForPixel) {
  // One picture in the BMP flavours ImageMagick makes; each is checked
  // against ImageMagick's own decoding of that file.
  const std::string src = dir_ / "src.png";
  ASSERT_TRUE(Shell("convert rose: -crop 13x7+20+15 +repage -fill lime -draw 'point 0,0' -fill white "
                  "-draw 'point 12,6' " + src));
  struct Flavour {
    const char* name;
    const char* options;
    TPixelFormat format;
  } flavours[] = {
      {"bmp24", "-type TrueColor BMP3:", pf24bit},
      {"bmp8", "-colors 200 -type Palette BMP3:", pf8bit},
      {"bmp4", "-colors 16 -type Palette BMP3:", pf4bit},
      {"bmp1", "-monochrome -type Bilevel BMP3:", pf1bit},
      {"bmprle", "-colors 200 -type Palette -compress RLE BMP3:", pf8bit},
      {"bmp32", "-type TrueColorAlpha -define bmp:format=bmp4 BMP:", pf32bit},
  };
  for (const Flavour& f : flavours) {
    SCOPED_TRACE(f.name);
    const std::string bmp = dir_ / (std::string(f.name) + ".bmp");
    const std::string ref = dir_ / (std::string(f.name) + ".png");
    ASSERT_TRUE(Shell("convert " + src + " " + f.options + bmp));
    ASSERT_TRUE(Shell("convert " + bmp + " -type TrueColor PNG24:" + ref));
    TBitmap b;
    b.LoadFromFile(bmp);
    auto s = testutil::ReadPng(ref);
    ASSERT_TRUE(s);
    ASSERT_EQ(b.Width(), 13);
    ASSERT_EQ(b.Height(), 7);
    EXPECT_EQ(b.PixelFormat(), f.format);
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 13; ++x) ASSERT_EQ(b.Canvas()->Pixels(x, y), PixelColor(*s, x, y)) << x << "," << y;
  }
}

TEST_F(BitmapFilesTest, WritesFilesImageMagickReads) {
  for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf16bit, pf24bit, pf32bit}) {
    SCOPED_TRACE(f);
    TBitmap b;
    b.SetPixelFormat(f);
    b.SetSize(9, 5);
    b.Canvas()->Brush()->SetColor(clBlack);
    b.Canvas()->FillRect(Rect(0, 0, 4, 5));
    if (f != pf1bit) b.Canvas()->SetPixel(8, 0, clRed);
    const std::string bmp = dir_ / "out.bmp", png = dir_ / "out.png";
    b.SaveToFile(bmp);
    ASSERT_EQ(Output("identify -format '%w %h' " + bmp), "9 5");
    ASSERT_TRUE(Shell("convert " + bmp + " -type TrueColor PNG24:" + png));
    auto s = testutil::ReadPng(png);
    ASSERT_TRUE(s);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 9; ++x) ASSERT_EQ(PixelColor(*s, x, y), b.Canvas()->Pixels(x, y)) << x << "," << y;
  }
}

}  // namespace
}  // namespace forms
