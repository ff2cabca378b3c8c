#include "platform/win/GdiPlus.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "platform/win/Font.h"
#include "platform/win/ImageFiles.h"
#include "platform/win/Surface.h"
#include "platform/win/tests/GdiTestUtil.h"

namespace {

using namespace win;
namespace gp = win::Gdiplus;
namespace fs = std::filesystem;
using gditest::Canvas;

class GdiPlusTest : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) / ("vorix_gdiplus_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    gp::GdiplusStartupInput input;
    ASSERT_EQ(gp::GdiplusStartup(&token_, &input, nullptr), gp::Ok);
  }
  void TearDown() override {
    gp::GdiplusShutdown(token_);
    fs::remove_all(dir_);
  }
  // A 2x1 PNG: opaque red, then green at alpha 128.
  std::string MakePng() {
    Surface s(2, 1);
    s.SetPixel(0, 0, 0xFFFF0000u);
    s.SetPixel(1, 0, 0x8000FF00u);
    const std::string path = (dir_ / "a.png").string();
    EXPECT_TRUE(SavePngWithAlpha(s, path));
    return path;
  }
  fs::path dir_;
  ULONG_PTR token_ = 0;
};

TEST_F(GdiPlusTest, DrawsPngPremultipliedAndScalesBilinearly) {
  gp::Image image(MakePng());
  ASSERT_EQ(image.GetLastStatus(), gp::Ok);
  EXPECT_EQ(image.GetWidth(), 2u);
  Canvas canvas(4, 2, RGB(0, 0, 0));
  for (int i = 0; i < 8; ++i) canvas.bits()[i] = 0;  // transparent black, premultiplied
  gp::Graphics g(canvas.dc());
  ASSERT_EQ(g.DrawImage(&image, 0, 0), gp::Ok);
  EXPECT_EQ(canvas.At(0, 0), 0xFFFF0000u);
  EXPECT_EQ(canvas.At(1, 0), 0x80008000u);  // premultiplied green
  // Doubling: the outer pixels keep the end colours, the middle ones mix.
  ASSERT_EQ(g.DrawImage(&image, gp::Rect{0, 1, 4, 1}, 0, 0, 2, 1, gp::UnitPixel), gp::Ok);
  EXPECT_EQ(canvas.At(0, 1), 0xFFFF0000u);
  EXPECT_EQ(canvas.At(3, 1), 0x80008000u);
  const uint32_t mid = canvas.At(1, 1);
  EXPECT_EQ(mid >> 24, 0xDFu);  // 3/4 * 255 + 1/4 * 128
  EXPECT_EQ((mid >> 16) & 0xFF, 0xBFu);
  EXPECT_EQ((mid >> 8) & 0xFF, 0x20u);
}

TEST_F(GdiPlusTest, SourceOverKeepsTheBackgroundWhereTransparent) {
  gp::Image image(MakePng());
  Canvas canvas(2, 1);
  canvas.bits()[0] = canvas.bits()[1] = 0xFF0000FFu;  // opaque blue
  gp::Graphics g(canvas.dc());
  g.DrawImage(&image, 0, 0);
  EXPECT_EQ(canvas.At(1, 0), 0xFF00807Fu);  // half green over blue
}

TEST_F(GdiPlusTest, MissingOrBrokenPicturesDrawNothing) {
  gp::Image missing((dir_ / "none.png").string());
  EXPECT_EQ(missing.GetLastStatus(), gp::FileNotFound);
  EXPECT_EQ(missing.GetWidth(), 0u);
  const uint8_t junk[] = {1, 2, 3, 4};
  gp::Image broken(junk, sizeof junk);
  EXPECT_NE(broken.GetLastStatus(), gp::Ok);
  Canvas canvas(2, 2);
  gp::Graphics g(canvas.dc());
  EXPECT_NE(g.DrawImage(&missing, 0, 0, 2, 2), gp::Ok);
  EXPECT_EQ(canvas.At(0, 0), 0x00FFFFFFu);
}

TEST_F(GdiPlusTest, RectanglesAndStrings) {
  Canvas canvas(80, 30, RGB(0, 0, 0));
  for (int i = 0; i < 80 * 30; ++i) canvas.bits()[i] = 0;
  gp::Graphics g(canvas.dc());
  gp::Pen pen(gp::Color(255, 255, 0, 0), 1);
  g.DrawRectangle(&pen, 1, 1, 3, 2);
  // The outline runs through x = 1..4 and y = 1..3.
  EXPECT_EQ(canvas.At(1, 1), 0xFFFF0000u);
  EXPECT_EQ(canvas.At(4, 3), 0xFFFF0000u);
  EXPECT_EQ(canvas.At(2, 2), 0u);
  EXPECT_EQ(canvas.At(5, 1), 0u);

  LOGFONTA lf;
  lf.lfHeight = -14;
  std::strcpy(lf.lfFaceName, "Tahoma");
  HFONT hfont = CreateFontIndirectA(&lf);
  gp::Font font(canvas.dc(), hfont);
  gp::StringFormat format;
  format.SetAlignment(gp::StringAlignmentCenter);
  format.SetLineAlignment(gp::StringAlignmentCenter);
  gp::SolidBrush brush(gp::Color(255, 255, 255, 255));
  g.SetTextRenderingHint(gp::TextRenderingHintAntiAlias);
  ASSERT_EQ(g.DrawString(u"Hi", -1, &font, gp::RectF{10, 5, 60, 20}, &format, &brush), gp::Ok);
  int left = 80, right = 0, top = 30, bottom = 0;
  bool partial = false;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 80; ++x) {
      const uint32_t p = canvas.At(x, y);
      if (x < 6 && y < 5) continue;  // the rectangle
      if (!p) continue;
      left = std::min(left, x), right = std::max(right, x + 1), top = std::min(top, y), bottom = std::max(bottom, y + 1);
      EXPECT_EQ(p >> 24, p & 0xFF);  // white premultiplied: every channel equals alpha
      partial |= (p >> 24) > 0 && (p >> 24) < 255;
    }
  EXPECT_TRUE(partial);  // anti-aliased
  EXPECT_GE(left, 10);
  EXPECT_LE(right, 70);
  EXPECT_LE(std::abs((left - 10) - (70 - right)), 2);  // centred
  EXPECT_GE(top, 5);
  EXPECT_LE(bottom, 25);
  DeleteObject(hfont);
}

}  // namespace
