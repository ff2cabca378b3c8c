#include "platform/win/Icons.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "platform/win/Api.h"
#include "platform/win/tests/GdiTestUtil.h"

namespace {

using namespace win;
namespace fs = std::filesystem;
using gditest::Canvas;

class IconsTest : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) / ("vorix_icons_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& n) const { return (dir_ / n).string(); }
  void Run(const std::string& c) { ASSERT_EQ(std::system(c.c_str()), 0) << c; }
  fs::path dir_;
};

// Mask 1 keeps the background; mask 0 shows the colour bitmap.
TEST_F(IconsTest, MaskedIconDrawsAndScales) {
  const uint8_t maskBits[] = {0x50, 0, 0x50, 0};  // 0101 on both rows
  HBITMAP mask = CreateBitmap(4, 2, 1, 1, maskBits);
  const uint32_t colours[8] = {0xFF0000, 0, 0x00FF00, 0, 0xFF0000, 0, 0x00FF00, 0};
  HBITMAP colour = CreateBitmap(4, 2, 1, 32, colours);
  ICONINFO info;
  info.hbmMask = mask;
  info.hbmColor = colour;
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(mask);  // the icon keeps copies
  DeleteObject(colour);
  ASSERT_NE(icon, nullptr);
  Canvas canvas(8, 4, RGB(0, 0, 255));
  ASSERT_TRUE(DrawIconEx(canvas.dc(), 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL));
  EXPECT_EQ(canvas.Art({{RGB(255, 0, 0), 'r'}, {RGB(0, 255, 0), 'g'}, {RGB(0, 0, 255), 'b'}}).substr(0, 9), "rbgbbbbb\n");
  canvas.Fill(RGB(0, 0, 255));
  DrawIconEx(canvas.dc(), 0, 0, icon, 8, 4, 0, nullptr, DI_NORMAL);
  EXPECT_EQ(canvas.Art({{RGB(255, 0, 0), 'r'}, {RGB(0, 255, 0), 'g'}, {RGB(0, 0, 255), 'b'}}).substr(0, 9), "rrbbggbb\n");
  ICONINFO back;
  ASSERT_TRUE(GetIconInfo(icon, &back));
  BITMAP bm;
  GetObject(back.hbmColor, sizeof bm, &bm);
  EXPECT_EQ(bm.bmWidth, 4);
  DeleteObject(back.hbmMask);
  DeleteObject(back.hbmColor);
  EXPECT_TRUE(DestroyIcon(icon));
  EXPECT_FALSE(DestroyIcon(icon));
  EXPECT_FALSE(DrawIconEx(canvas.dc(), 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL));
}

TEST_F(IconsTest, AlphaIconBlends) {
  const uint8_t maskBits[] = {0, 0};
  HBITMAP mask = CreateBitmap(1, 1, 1, 1, maskBits);
  const uint32_t px = 0x80FF0000u;  // half red, straight alpha
  HBITMAP colour = CreateBitmap(1, 1, 1, 32, &px);
  ICONINFO info;
  info.hbmMask = mask;
  info.hbmColor = colour;
  HICON icon = CreateIconIndirect(&info);
  Canvas canvas(1, 1, RGB(0, 0, 255));
  DrawIconEx(canvas.dc(), 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
  EXPECT_EQ(canvas.At(0, 0) & 0xFFFFFF, 0x80007Fu);
  DestroyIcon(icon);
  DeleteObject(mask);
  DeleteObject(colour);
}

TEST_F(IconsTest, StockIconsAreSharedAndTransparentAtTheCorners) {
  HICON hand = LoadIcon(nullptr, MAKEINTRESOURCEA(IDI_HAND));
  ASSERT_NE(hand, nullptr);
  EXPECT_EQ(LoadIcon(nullptr, MAKEINTRESOURCEA(IDI_HAND)), hand);
  for (uintptr_t id : {IDI_APPLICATION, IDI_QUESTION, IDI_EXCLAMATION, IDI_ASTERISK})
    EXPECT_NE(LoadIcon(nullptr, MAKEINTRESOURCEA(id)), nullptr) << id;
  EXPECT_EQ(LoadIcon(nullptr, MAKEINTRESOURCEA(1)), nullptr);
  Canvas canvas(32, 32, RGB(0, 128, 0));
  DrawIconEx(canvas.dc(), 0, 0, hand, 32, 32, 0, nullptr, DI_NORMAL);
  EXPECT_EQ(GetPixel(canvas.dc(), 0, 0), RGB(0, 128, 0));
  EXPECT_EQ(GetPixel(canvas.dc(), 4, 16), RGB(204, 0, 0));
  EXPECT_TRUE(DestroyIcon(hand));  // shared: stays usable
  EXPECT_TRUE(DrawIconEx(canvas.dc(), 0, 0, hand, 0, 0, 0, nullptr, DI_NORMAL));
}

TEST_F(IconsTest, LoadImageReadsBitmapFilesAtTheirDepth) {
  Run("convert -size 5x3 xc:white -fill red -draw 'point 0,0' -type palette BMP3:" + Path("p.bmp"));
  HBITMAP dib = static_cast<HBITMAP>(LoadImageA(nullptr, Path("p.bmp").c_str(), IMAGE_BITMAP, 0, 0,
                                                 LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  ASSERT_NE(dib, nullptr);
  DIBSECTION ds;
  ASSERT_EQ(GetObject(dib, sizeof ds, &ds), static_cast<int>(sizeof ds));
  EXPECT_LE(ds.dsBm.bmBitsPixel, 8);
  HBITMAP ddb = static_cast<HBITMAP>(LoadImageA(nullptr, Path("p.bmp").c_str(), IMAGE_BITMAP, 10, 6, LR_LOADFROMFILE));
  ASSERT_NE(ddb, nullptr);
  BITMAP bm;
  GetObject(ddb, sizeof bm, &bm);
  EXPECT_EQ(bm.bmWidth, 10);
  EXPECT_EQ(bm.bmBitsPixel, 32);
  HDC dc = CreateCompatibleDC(nullptr);
  SelectObject(dc, dib);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 4, 2), RGB(255, 255, 255));
  DeleteDC(dc);
  DeleteObject(dib);
  DeleteObject(ddb);
  EXPECT_EQ(LoadImageA(nullptr, Path("none.bmp").c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
}

TEST_F(IconsTest, LoadImageChoosesTheIconEntryNearestTheSize) {
  // Two sizes; a transparent corner in each.
  Run("convert -size 32x32 xc:'#00FF00' -alpha set \\( -size 8x8 xc:none \\) -compose copy -composite -define "
      "icon:auto-resize=32,16 " + Path("a.ico"));
  HICON small = static_cast<HICON>(LoadImageA(nullptr, Path("a.ico").c_str(), IMAGE_ICON, 16, 16, LR_LOADFROMFILE));
  ASSERT_NE(small, nullptr);
  ICONINFO info;
  ASSERT_TRUE(GetIconInfo(small, &info));
  BITMAP bm;
  GetObject(info.hbmMask, sizeof bm, &bm);
  EXPECT_EQ(bm.bmWidth, 16);
  DeleteObject(info.hbmMask);
  DeleteObject(info.hbmColor);
  Canvas canvas(16, 16, RGB(0, 0, 255));
  DrawIconEx(canvas.dc(), 0, 0, small, 0, 0, 0, nullptr, DI_NORMAL);
  EXPECT_EQ(GetPixel(canvas.dc(), 8, 8), RGB(0, 255, 0));
  EXPECT_EQ(GetPixel(canvas.dc(), 0, 0), RGB(0, 0, 255));
  HANDLE copy = CopyImage(small, IMAGE_ICON, 24, 24, 0);
  ASSERT_NE(copy, nullptr);
  DestroyIcon(static_cast<HICON>(copy));
  DestroyIcon(small);
}

}  // namespace
