#include "imaging/core/ikutilsDib.h"

#include <gtest/gtest.h>

#include "platform/win/Dc.h"
#include "platform/win/PenBrush.h"
#include "platform/win/Shapes.h"

namespace imaging {
namespace {

TEST(IkDibbitmap, SectionGeometryAndHeader) {
  TIKDibbitmap dib;
  EXPECT_EQ(dib.PixelFormat(), ikNoFormat);
  dib.Allocate(4, 4, ikGray8);  // not a DIB bitmap format: stays empty
  EXPECT_EQ(dib.Width(), 0);
  EXPECT_EQ(dib.Bits(), nullptr);

  dib.AllocateBits(3, 2, 24);
  EXPECT_EQ(dib.RowLength(), 12);
  EXPECT_EQ(dib.PixelFormat(), ikRGB24);
  EXPECT_EQ(dib.Header().biSizeImage, 24u);
  EXPECT_EQ(dib.Header().biSize, 40u);
  EXPECT_EQ(dib.Header().biWidth, 3);
  EXPECT_EQ(dib.Header().biHeight, 2);
  ASSERT_NE(dib.Bits(), nullptr);
  EXPECT_EQ(dib.ScanLine(0), dib.Bits() + 12);
  EXPECT_EQ(dib.PaletteLength(), 0);
  EXPECT_EQ(dib.GetPaletteColor(0), TRGB{});

  dib.Allocate(33, 2, ikMono1);
  EXPECT_EQ(dib.BitCount(), 1);
  EXPECT_EQ(dib.RowLength(), 8);
  EXPECT_EQ(dib.PixelFormat(), ikMono1);
  dib.FreeBits();
  EXPECT_EQ(dib.Bits(), nullptr);
  EXPECT_EQ(dib.Width(), 0);
  EXPECT_EQ(dib.DC(), nullptr);
}

TEST(IkDibbitmap, PlatformDrawingReachesTheRows) {
  TIKDibbitmap dib;
  dib.AllocateBits(4, 3, 24);
  ASSERT_NE(dib.DC(), nullptr);
  const win::RECT r{1, 0, 2, 1};
  win::HBRUSH brush = win::CreateSolidBrush(win::RGB(10, 20, 30));
  win::FillRect(dib.DC(), &r, brush);
  win::DeleteObject(brush);
  win::GdiFlush();
  const auto* top = static_cast<const uint8_t*>(dib.ScanLine(0));
  EXPECT_EQ(top[3], 30);  // blue, green, red
  EXPECT_EQ(top[4], 20);
  EXPECT_EQ(top[5], 10);

  TIKDibbitmap copy;
  copy.Assign(&dib);
  EXPECT_EQ(copy.Width(), 4);
  EXPECT_EQ(static_cast<const uint8_t*>(copy.ScanLine(0))[5], 10);
  TIKBitmap other;
  copy.Assign(&other);  // only DIB bitmaps are taken
  EXPECT_EQ(copy.Width(), 4);
}

TEST(IkWorkBitmap, KeepsItsBlockForTheSameGeometry) {
  TIKWorkBitmap work(5, 3, 24);
  EXPECT_EQ(work.RowLength(), 16);
  ASSERT_NE(work.Bits(), nullptr);
  EXPECT_EQ(work.ScanLine(0), work.Bits() + 32);
  work.ScanLine(1)[0] = 42;
  uint8_t* block = work.Bits();
  work.Allocate(5, 3, 24);
  EXPECT_EQ(work.Bits(), block);
  EXPECT_EQ(work.ScanLine(1)[0], 42);
  work.Allocate(5, 3, 8);
  EXPECT_EQ(work.RowLength(), 8);
  work.FreeBits();
  EXPECT_EQ(work.Bits(), nullptr);
  EXPECT_EQ(work.Width(), 0);
  TIKWorkBitmap empty;
  EXPECT_EQ(empty.Bits(), nullptr);
  EXPECT_THROW(work.Allocate(50000, 50000, 24), EIKError);
  EXPECT_EQ(work.Bits(), nullptr);
}

}  // namespace
}  // namespace imaging
