#include "platform/win/Bitmap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/win/Blit.h"
#include "platform/win/Dc.h"
#include "platform/win/PenBrush.h"
#include "platform/win/Shapes.h"
#include "platform/win/tests/GdiTestUtil.h"

namespace {

using namespace win;

struct Info {
  BITMAPINFOHEADER h;
  RGBQUAD colors[256];
};

Info MakeInfo(int w, int h, int bits) {
  Info info{};
  info.h.biWidth = w;
  info.h.biHeight = h;
  info.h.biBitCount = static_cast<WORD>(bits);
  return info;
}

// Bottom-up sections put the picture's top row last in memory; drawing
// through the DC and writing the bits directly meet in the same pixels.
TEST(DibSection, RowOrderAndDirectWrites) {
  for (int height : {3, -3}) {
    Info info = MakeInfo(2, height, 32);
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bmp, nullptr);
    auto* px = static_cast<uint32_t*>(bits);
    EXPECT_EQ(px[0], 0u);  // zeroed
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, bmp);
    SetPixel(dc, 1, 0, RGB(255, 0, 0));
    const int topRow = height > 0 ? 2 : 0;
    EXPECT_EQ(px[topRow * 2 + 1], 0x00FF0000u) << height;
    px[(height > 0 ? 0 : 2) * 2] = 0x000000FF;  // bottom-left, written directly
    EXPECT_EQ(GetPixel(dc, 0, 2), RGB(0, 0, 255)) << height;
    DIBSECTION ds;
    ASSERT_EQ(GetObject(bmp, sizeof ds, &ds), static_cast<int>(sizeof ds));
    EXPECT_EQ(ds.dsBm.bmBits, bits);
    EXPECT_EQ(ds.dsBm.bmWidthBytes, 8);
    EXPECT_EQ(ds.dsBmih.biHeight, height);
    DeleteDC(dc);
    DeleteObject(bmp);
  }
}

// Palette and packed depths keep the caller's bits and the drawing in step.
TEST(DibSection, LowDepthsDrawThroughTheirFormat) {
  struct Case {
    int bits;
    std::vector<uint8_t> expectTopRow;  // after drawing pixel 1 of the top row in palette colour 1
  } cases[] = {{1, {0x40, 0, 0, 0}}, {4, {0x01, 0, 0, 0}}, {8, {0, 1, 0, 0}},
               {16, {0, 0, 0x1F, 0, 0, 0, 0, 0}}, {24, {0, 0, 0, 0xFF, 0, 0, 0, 0}}};
  for (const auto& c : cases) {
    Info info = MakeInfo(3, -2, c.bits);
    info.colors[0] = {0, 0, 0, 0};
    info.colors[1] = {255, 0, 0, 0};  // blue
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bmp, nullptr) << c.bits;
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, bmp);
    SetPixel(dc, 1, 0, RGB(0, 0, 255));
    EXPECT_EQ(std::vector<uint8_t>(static_cast<uint8_t*>(bits), static_cast<uint8_t*>(bits) + c.expectTopRow.size()),
              c.expectTopRow)
        << c.bits;
    // Bits written by the caller show through the next call.
    std::memcpy(static_cast<uint8_t*>(bits) + DibStride(3, c.bits), c.expectTopRow.data(), c.expectTopRow.size());
    EXPECT_EQ(GetPixel(dc, 1, 1), RGB(0, 0, 255)) << c.bits;
    DeleteDC(dc);
    DeleteObject(bmp);
  }
}

// Drawing converts only the rows it touches: the caller's writes to other
// rows between calls survive, and rows drawn on read the latest bits.
TEST(DibSection, DrawingKeepsTheCallersOtherRows) {
  Info info = MakeInfo(4, -4, 24);
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  SelectObject(dc, bmp);
  auto* b = static_cast<uint8_t*>(bits);
  const size_t stride = DibStride(4, 24);
  SetPixel(dc, 0, 0, RGB(1, 2, 3));
  b[stride * 3] = 0x77;         // row 3, pixel 0, blue
  b[stride * 0 + 3 + 1] = 0x55; // row 0, pixel 1, green: next to the drawn pixel
  SetPixel(dc, 2, 0, RGB(4, 5, 6));
  EXPECT_EQ(b[stride * 3], 0x77);
  EXPECT_EQ(GetPixel(dc, 1, 0), RGB(0, 0x55, 0));
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(1, 2, 3));
  const RECT all{0, 0, 4, 4};
  InvertRect(dc, &all);
  EXPECT_EQ(b[stride * 3], 0x88);
  DeleteDC(dc);
  DeleteObject(bmp);
}

TEST(DibTransfers, GetAndSetDIBitsRoundTripAtEveryDepth) {
  gditest::Canvas canvas(5, 3);
  const COLORREF colours[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), 0, RGB(255, 255, 255)};
  for (int x = 0; x < 5; ++x) SetPixel(canvas.dc(), x, 1, colours[x]);
  for (int bits : {1, 4, 8, 16, 24, 32}) {
    Info info = MakeInfo(5, 3, bits);
    info.h.biSize = 40;
    std::vector<uint8_t> buffer(DibStride(5, bits) * 3);
    ASSERT_EQ(GetDIBits(canvas.dc(), canvas.bitmap(), 0, 3, buffer.data(), reinterpret_cast<BITMAPINFO*>(&info),
                        DIB_RGB_COLORS), 3) << bits;
    HBITMAP copy = CreateCompatibleBitmap(canvas.dc(), 5, 3);
    ASSERT_EQ(SetDIBits(canvas.dc(), copy, 0, 3, buffer.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS), 3);
    HDC dc = CreateCompatibleDC(canvas.dc());
    SelectObject(dc, copy);
    for (int x = 0; x < 5; ++x) {
      const COLORREF got = GetPixel(dc, x, 1);
      if (bits >= 16) {
        EXPECT_EQ(got, colours[x]) << bits << " x=" << x;
      } else {
        // Palettes made by GetDIBits are grey ramps; black and white survive.
        if (colours[x] == 0 || colours[x] == RGB(255, 255, 255)) {
          EXPECT_EQ(got, colours[x]) << bits;
        }
      }
    }
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255));
    DeleteDC(dc);
    DeleteObject(copy);
  }
  // A null buffer with biBitCount 0 describes the bitmap.
  Info query{};
  query.h.biSize = 40;
  EXPECT_EQ(GetDIBits(canvas.dc(), canvas.bitmap(), 0, 0, nullptr, reinterpret_cast<BITMAPINFO*>(&query), DIB_RGB_COLORS), 1);
  EXPECT_EQ(query.h.biWidth, 5);
  EXPECT_EQ(query.h.biHeight, -3);  // the section is top-down
  EXPECT_EQ(query.h.biBitCount, 32);
  EXPECT_EQ(query.h.biSizeImage, 60u);
}

TEST(DibTransfers, BottomUpScanLinesCountFromTheBottom) {
  gditest::Canvas canvas(1, 4);
  for (int y = 0; y < 4; ++y) SetPixel(canvas.dc(), 0, y, RGB(static_cast<BYTE>(y * 10), 0, 0));
  Info info = MakeInfo(1, 4, 32);
  uint32_t rows[2] = {};
  ASSERT_EQ(GetDIBits(canvas.dc(), canvas.bitmap(), 1, 2, rows, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS), 2);
  // Scan 1 is the second row from the bottom (picture row 2).
  EXPECT_EQ(rows[0], 0x00140000u);
  EXPECT_EQ(rows[1], 0x000A0000u);
}

TEST(MonoBitmaps, CreateBitmapUsesWordAlignedRowsAndOneIsWhite) {
  const uint8_t bits[] = {0xA0, 0x00, 0x50, 0x00};  // 2 rows of 16 bits
  HBITMAP mono = CreateBitmap(4, 2, 1, 1, bits);
  HDC dc = CreateCompatibleDC(nullptr);
  SelectObject(dc, mono);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(dc, 1, 0), 0u);
  EXPECT_EQ(GetPixel(dc, 1, 1), RGB(255, 255, 255));
  // Drawing a colour on a monochrome bitmap picks the nearer of black and white.
  SetPixel(dc, 1, 0, RGB(200, 200, 200));
  EXPECT_EQ(GetPixel(dc, 1, 0), RGB(255, 255, 255));
  SetPixel(dc, 0, 0, RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 0, 0), 0u);
  uint8_t back[4] = {};
  EXPECT_EQ(GetBitmapBits(mono, 4, back), 4);
  EXPECT_EQ(back[0], 0x60);  // 0110: pixel 0 now black, pixel 1 white
  EXPECT_EQ(back[2], 0x50);
  DeleteDC(dc);
  DeleteObject(mono);
}

TEST(Bitmaps, RejectsBadArgumentsAndStaleHandles) {
  EXPECT_EQ(CreateBitmap(-1, 2, 1, 32, nullptr), nullptr);
  EXPECT_EQ(CreateBitmap(2, 2, 2, 1, nullptr), nullptr);
  Info bad = MakeInfo(2, 2, 7);
  void* bits = reinterpret_cast<void*>(1);
  EXPECT_EQ(CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&bad), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(bits, nullptr);
  HBITMAP b = CreateBitmap(2, 2, 1, 32, nullptr);
  DeleteObject(b);
  BITMAP bm;
  EXPECT_EQ(GetObject(b, sizeof bm, &bm), 0);
  EXPECT_EQ(GetObjectType(b), 0u);
}

}  // namespace
