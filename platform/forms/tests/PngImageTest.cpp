// TPNGObject and TIcon: files made by ImageMagick read pixel by pixel,
// saved files read back by ImageMagick, alpha drawing checked against
// ImageMagick's own compositing.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/forms/PngImage.h"
#include "platform/forms/tests/GraphicsTestUtil.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/tests/ToolCheck.h"
#include "platform/win/Icons.h"

namespace forms {
namespace {

using testutil::Output;
using testutil::Shell;

class PngTest : public ::testing::Test {
protected:
  void SetUp() override {
    VORIX_NEED_TOOL(testtools::OnPath("convert"), "ImageMagick");
  }
  testutil::ScratchDir dir_;
};

// A 12x8 picture with every kind of alpha: opaque, clear and partial.
std::string MakeAlphaPng(const testutil::ScratchDir& dir) {
  const std::string path = dir / "alpha.png";
  EXPECT_TRUE(Shell("convert rose: -crop 12x8+30+20 +repage -alpha set -channel A -fx 'i/11' +channel "
                    "-define png:color-type=6 " + path));
  return path;
}

TEST_F(PngTest, ReadsEveryPixelAndAlphaAsImageMagickDoes) {
  const std::string file = MakeAlphaPng(dir_);
  const std::string raw = dir_ / "alpha.rgba";
  ASSERT_TRUE(Shell("convert " + file + " -depth 8 RGBA:" + raw));
  const std::vector<uint8_t> ref = testutil::ReadAll(raw);
  ASSERT_EQ(ref.size(), 12u * 8u * 4u);
  TPNGObject p;
  p.LoadFromFile(file);
  ASSERT_EQ(p.Width(), 12);
  ASSERT_EQ(p.Height(), 8);
  EXPECT_EQ(p.TransparencyMode(), ptmPartial);
  EXPECT_TRUE(p.Transparent());
  for (int y = 0; y < 8; ++y) {
    const uint8_t* rgb = p.Scanline(y);
    const uint8_t* a = p.AlphaScanline(y);
    ASSERT_NE(a, nullptr);
    for (int x = 0; x < 12; ++x) {
      const uint8_t* r = &ref[(static_cast<size_t>(y) * 12 + static_cast<size_t>(x)) * 4];
      ASSERT_EQ(rgb[x * 3 + 2], r[0]) << x << "," << y;
      ASSERT_EQ(rgb[x * 3 + 1], r[1]) << x << "," << y;
      ASSERT_EQ(rgb[x * 3], r[2]) << x << "," << y;
      ASSERT_EQ(a[x], r[3]) << x << "," << y;
    }
  }
}

TEST_F(PngTest, OpaqueAndBitTransparencyAreTold) {
  const std::string opaque = dir_ / "opaque.png", keyed = dir_ / "keyed.png";
  ASSERT_TRUE(Shell("convert -size 3x2 xc:navy " + opaque));
  ASSERT_TRUE(Shell("convert -size 3x2 xc:navy -alpha set -fill none -draw 'color 0,0 point' " + keyed));
  TPNGObject p;
  p.LoadFromFile(opaque);
  EXPECT_EQ(p.TransparencyMode(), ptmNone);
  EXPECT_EQ(p.AlphaScanline(0), nullptr);
  EXPECT_EQ(p.Pixels(2, 1), clNavy);
  p.LoadFromFile(keyed);
  EXPECT_EQ(p.TransparencyMode(), ptmBit);
  EXPECT_EQ(p.AlphaScanline(0)[0], 0);
  EXPECT_EQ(p.AlphaScanline(0)[1], 255);
}

TEST_F(PngTest, SavedFilesReadBackWithTheirAlpha) {
  TPNGObject p;
  p.LoadFromFile(MakeAlphaPng(dir_));
  const std::string out = dir_ / "saved.png";
  p.SaveToFile(out);
  EXPECT_EQ(Output("identify -format '%w %h %[channels]' " + out), "12 8 srgba");
  const std::string a = dir_ / "a.rgba", b = dir_ / "b.rgba";
  ASSERT_TRUE(Shell("convert " + out + " -depth 8 RGBA:" + a));
  ASSERT_TRUE(Shell("convert " + dir_ / "alpha.png" + " -depth 8 RGBA:" + b));
  EXPECT_EQ(testutil::ReadAll(a), testutil::ReadAll(b));

  p.RemoveTransparency();
  p.SaveToFile(out);
  EXPECT_EQ(Output("identify -format '%[channels]' " + out), "srgb");
  // Two pictures in one stream read one after the other.
  rtl::TMemoryStream both;
  TPNGObject first, second;
  first.LoadFromFile(dir_ / "alpha.png");
  first.SaveToStream(&both);
  p.SaveToStream(&both);
  both.SetPosition(0);
  first.LoadFromStream(&both);
  second.LoadFromStream(&both);
  EXPECT_EQ(first.TransparencyMode(), ptmPartial);
  EXPECT_EQ(second.TransparencyMode(), ptmNone);
  EXPECT_EQ(both.Position(), both.Size());

  TPNGObject empty;
  rtl::TMemoryStream s;
  EXPECT_THROW(empty.SaveToStream(&s), EInvalidGraphic);
  rtl::TMemoryStream junk;
  junk.WriteBuffer("\x89PNG\r\n\x1a\n garbage", 17);
  junk.SetPosition(0);
  EXPECT_THROW(empty.LoadFromStream(&junk), EInvalidGraphic);
}

TEST_F(PngTest, DrawBlendsOverTheCanvasAsImageMagickComposites) {
  const std::string file = MakeAlphaPng(dir_);
  const std::string ref = dir_ / "over.png";
  ASSERT_TRUE(Shell("convert -size 12x8 xc:yellow " + file + " -compose over -composite -alpha off PNG24:" + ref));
  auto expected = testutil::ReadPng(ref);
  ASSERT_TRUE(expected);
  TPNGObject p;
  p.LoadFromFile(file);
  TBitmap back;
  back.SetPixelFormat(pf24bit);
  back.SetSize(14, 10);
  back.Canvas()->Brush()->SetColor(clYellow);
  back.Canvas()->FillRect(Rect(0, 0, 14, 10));
  back.Canvas()->Draw(1, 1, &p);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 12; ++x) {
      const win::COLORREF got = static_cast<win::COLORREF>(back.Canvas()->Pixels(x + 1, y + 1));
      const uint32_t want = expected->Pixel(x, y);
      ASSERT_NEAR(win::GetRValue(got), (want >> 16) & 0xFF, 1) << x << "," << y;
      ASSERT_NEAR(win::GetGValue(got), (want >> 8) & 0xFF, 1) << x << "," << y;
      ASSERT_NEAR(win::GetBValue(got), want & 0xFF, 1) << x << "," << y;
    }
  EXPECT_EQ(back.Canvas()->Pixels(0, 0), clYellow);
  EXPECT_EQ(back.Canvas()->Pixels(13, 9), clYellow);
}

TEST_F(PngTest, AssignsToAndFromBitmaps) {
  TPNGObject p;
  p.LoadFromFile(MakeAlphaPng(dir_));
  TBitmap b;
  b.Assign(&p);
  EXPECT_EQ(b.PixelFormat(), pf32bit);
  const auto* row = static_cast<const uint8_t*>(b.ScanLine(3));
  EXPECT_EQ(row[11 * 4 + 3], 255);
  EXPECT_EQ(row[0 * 4 + 3], 0);
  EXPECT_EQ(row[5 * 4 + 2], p.Scanline(3)[5 * 3 + 2]);

  TPNGObject back;
  back.Assign(&b);
  EXPECT_EQ(back.TransparencyMode(), ptmPartial);
  EXPECT_EQ(back.AlphaScanline(3)[5], p.AlphaScanline(3)[5]);

  TBitmap plain;
  plain.SetPixelFormat(pf24bit);
  plain.SetSize(2, 2);
  plain.Canvas()->SetPixel(1, 1, clRed);
  back.Assign(&plain);
  EXPECT_EQ(back.TransparencyMode(), ptmNone);
  EXPECT_EQ(back.Pixels(1, 1), clRed);
  TBitmap again;
  again.Assign(&back);
  EXPECT_EQ(again.PixelFormat(), pf24bit);
  EXPECT_EQ(again.Canvas()->Pixels(1, 1), clRed);
}

TEST_F(PngTest, IconsLoadTheBestEntryAndDrawThroughTheirMask) {
  // Two sizes; the 32x32 one is red with a clear top-left corner.
  const std::string ico = dir_ / "app.ico";
  ASSERT_TRUE(Shell("convert \\( -size 16x16 xc:blue \\) \\( -size 32x32 xc:red -alpha set \\( -size 4x4 xc:none \\) "
                    "-compose copy -composite \\) " + ico));
  TPicture pic;
  pic.LoadFromFile(ico);
  auto* icon = dynamic_cast<TIcon*>(pic.Graphic());
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->Width(), 32);
  EXPECT_EQ(icon->Height(), 32);
  EXPECT_THROW(icon->SetWidth(16), EInvalidGraphicOperation);

  TBitmap back;
  back.SetPixelFormat(pf24bit);
  back.SetSize(40, 40);
  back.Canvas()->Brush()->SetColor(clYellow);
  back.Canvas()->FillRect(Rect(0, 0, 40, 40));
  back.Canvas()->Draw(4, 4, icon);
  EXPECT_EQ(back.Canvas()->Pixels(5, 5), clYellow);
  EXPECT_EQ(back.Canvas()->Pixels(20, 20), clRed);
  EXPECT_EQ(back.Canvas()->Pixels(36, 36), clYellow);

  // The bytes saved are the file loaded.
  rtl::TMemoryStream s;
  icon->SaveToStream(&s);
  EXPECT_EQ(s.Size(), static_cast<int64_t>(testutil::ReadAll(ico).size()));

  TBitmap flat;
  flat.Assign(icon);
  EXPECT_EQ(flat.Width(), 32);
  EXPECT_EQ(flat.Canvas()->Pixels(0, 0), clWhite);
  EXPECT_EQ(flat.Canvas()->Pixels(10, 10), clRed);
}

TEST_F(PngTest, IconHandlesGoBothWays) {
  const std::string ico = dir_ / "app.ico";
  ASSERT_TRUE(Shell("convert -size 8x8 xc:red -alpha set \\( -size 2x2 xc:none \\) -compose copy -composite " + ico));
  TIcon icon;
  icon.LoadFromFile(ico);
  win::HICON h = icon.Handle();
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(icon.Handle(), h);

  // Drawn through the handle, it shows what drawing the picture shows.
  TBitmap back;
  back.SetPixelFormat(pf24bit);
  back.SetSize(8, 8);
  back.Canvas()->Brush()->SetColor(clYellow);
  back.Canvas()->FillRect(Rect(0, 0, 8, 8));
  win::DrawIconEx(back.Canvas()->Handle(), 0, 0, h, 0, 0, 0, nullptr, win::DI_NORMAL);
  EXPECT_EQ(back.Canvas()->Pixels(0, 0), clYellow);
  EXPECT_EQ(back.Canvas()->Pixels(4, 4), clRed);

  // A handle taken over gives the picture back, and saves as an icon file
  // ImageMagick reads.
  TIcon other;
  other.SetHandle(icon.ReleaseHandle());
  EXPECT_EQ(other.Width(), 8);
  EXPECT_EQ(other.Image()->Canvas()->Pixels(5, 5), clRed);
  EXPECT_EQ(static_cast<const uint32_t*>(other.Image()->ScanLine(0))[0] >> 24, 0u);
  const std::string saved = dir_ / "saved.ico";
  other.SaveToFile(saved);
  EXPECT_EQ(Output("identify -format '%w %h' " + saved), "8 8");
  TIcon reread;
  reread.LoadFromFile(saved);
  TBitmap again;
  again.SetPixelFormat(pf24bit);
  again.SetSize(8, 8);
  again.Canvas()->Brush()->SetColor(clYellow);
  again.Canvas()->FillRect(Rect(0, 0, 8, 8));
  again.Canvas()->Draw(0, 0, &reread);
  EXPECT_EQ(again.Canvas()->Pixels(1, 1), clYellow);
  EXPECT_EQ(again.Canvas()->Pixels(6, 6), clRed);

  TIcon stock;
  stock.SetHandle(win::CopyIcon(win::LoadIconA(nullptr, reinterpret_cast<const char*>(win::IDI_APPLICATION))));
  EXPECT_FALSE(stock.Empty());
  EXPECT_EQ(stock.Width(), 32);
}

TEST(IconTest, TwentyFourBitIconsTakeTheirAndMask) {
  // A 2x2 green icon whose top-left pixel the mask clears; rows bottom-up.
  std::vector<uint8_t> ico = {0, 0, 1, 0, 1, 0,                                   // header, one entry
                              2, 2, 0, 0, 1, 0, 24, 0, 64, 0, 0, 0, 22, 0, 0, 0};  // 2x2, 24 bits, 64 bytes at 22
  const uint8_t header[40] = {40, 0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0, 1, 0, 24, 0};
  ico.insert(ico.end(), header, header + 40);
  for (int row = 0; row < 2; ++row) {
    const uint8_t green[8] = {0, 0xFF, 0, 0, 0xFF, 0, 0, 0};
    ico.insert(ico.end(), green, green + 8);
  }
  const uint8_t mask[8] = {0x00, 0, 0, 0, 0x80, 0, 0, 0};  // bottom row, then the top row
  ico.insert(ico.end(), mask, mask + 8);
  rtl::TMemoryStream s;
  s.WriteBuffer(ico.data(), static_cast<int64_t>(ico.size()));
  s.SetPosition(0);
  TIcon icon;
  icon.LoadFromStream(&s);
  ASSERT_EQ(icon.Width(), 2);
  TBitmap back;
  back.SetPixelFormat(pf24bit);
  back.SetSize(2, 2);
  back.Canvas()->Brush()->SetColor(clYellow);
  back.Canvas()->FillRect(Rect(0, 0, 2, 2));
  back.Canvas()->Draw(0, 0, &icon);
  EXPECT_EQ(back.Canvas()->Pixels(0, 0), clYellow);
  EXPECT_EQ(back.Canvas()->Pixels(1, 0), clLime);
  EXPECT_EQ(back.Canvas()->Pixels(0, 1), clLime);

  s.SetSize(10);
  s.SetPosition(0);
  EXPECT_THROW(icon.LoadFromStream(&s), EInvalidGraphic);
}

}  // namespace
}  // namespace forms
