#include "platform/win/Dc.h"

#include <gtest/gtest.h>

#include "platform/win/Blit.h"
#include "platform/win/Metrics.h"
#include "platform/win/PenBrush.h"
#include "platform/win/Region.h"
#include "platform/win/tests/GdiTestUtil.h"

namespace {

using namespace win;
using gditest::Canvas;
using gditest::Rows;

TEST(MemoryDc, StartsWithAMonochromeBitmapAndStockObjects) {
  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), GetStockObject(BLACK_PEN));
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), GetStockObject(VORIX_DEFAULT_BITMAP));
  // Device capabilities are the display's, not the selected bitmap's.
  EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(GetDeviceCaps(dc, NUMCOLORS), -1);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96);
  // A compatible bitmap of a fresh memory DC is monochrome.
  HBITMAP mono = CreateCompatibleBitmap(dc, 4, 4);
  BITMAP bm;
  ASSERT_EQ(GetObject(mono, sizeof bm, &bm), static_cast<int>(sizeof bm));
  EXPECT_EQ(bm.bmBitsPixel, 1);
  EXPECT_EQ(bm.bmWidthBytes, 2);
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_FALSE(DeleteDC(dc));  // stale
  EXPECT_EQ(SetTextColor(dc, 0), CLR_INVALID);
  DeleteObject(mono);
}

TEST(MemoryDc, ABitmapLivesInOneDcAtATime) {
  HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr);
  HBITMAP bmp = CreateBitmap(2, 2, 1, 32, nullptr);
  HGDIOBJ oldA = SelectObject(a, bmp);
  EXPECT_NE(oldA, nullptr);
  EXPECT_EQ(SelectObject(b, bmp), nullptr);
  SelectObject(a, oldA);
  EXPECT_NE(SelectObject(b, bmp), nullptr);
  // Deleting a selected bitmap keeps the DC's pixels alive.
  DeleteObject(bmp);
  EXPECT_EQ(SetPixel(b, 1, 1, RGB(1, 2, 3)), RGB(1, 2, 3));
  DeleteDC(a);
  DeleteDC(b);
}

TEST(SaveRestore, StackRestoresObjectsColoursOriginsAndClip) {
  Canvas canvas(4, 4);
  HDC dc = canvas.dc();
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  const int first = SaveDC(dc);
  EXPECT_EQ(first, 1);
  SelectObject(dc, red);
  SetTextColor(dc, RGB(1, 1, 1));
  SetViewportOrgEx(dc, 2, 2, nullptr);
  IntersectClipRect(dc, 0, 0, 1, 1);
  EXPECT_EQ(SaveDC(dc), 2);
  SetBkMode(dc, TRANSPARENT);
  EXPECT_TRUE(RestoreDC(dc, -1));
  EXPECT_EQ(GetBkMode(dc), OPAQUE);
  EXPECT_EQ(GetTextColor(dc), RGB(1, 1, 1));
  EXPECT_TRUE(RestoreDC(dc, first));
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(GetTextColor(dc), 0u);
  POINT org;
  GetViewportOrgEx(dc, &org);
  EXPECT_EQ(org, (POINT{0, 0}));
  RECT box;
  EXPECT_EQ(GetClipBox(dc, &box), SIMPLEREGION);
  EXPECT_EQ(box, (RECT{0, 0, 4, 4}));
  EXPECT_FALSE(RestoreDC(dc, 1));  // already popped
  EXPECT_FALSE(RestoreDC(dc, -1));
  DeleteObject(red);
}

// Origins translate every call; clip rectangles stay where they were put.
TEST(OriginsAndClip, CombinationsTable) {
  struct Case {
    const char* name;
    std::function<void(HDC)> setup;
    const char* art;
  } cases[] = {
      {"plain", [](HDC) {}, "....\n.##.\n.##.\n....\n"},
      {"viewport", [](HDC dc) { SetViewportOrgEx(dc, 1, 1, nullptr); }, "....\n....\n..##\n..##\n"},
      {"window", [](HDC dc) { SetWindowOrgEx(dc, 1, 0, nullptr); }, "....\n##..\n##..\n....\n"},
      {"both cancel", [](HDC dc) { SetWindowOrgEx(dc, 1, 1, nullptr); SetViewportOrgEx(dc, 1, 1, nullptr); },
       "....\n.##.\n.##.\n....\n"},
      {"intersect", [](HDC dc) { IntersectClipRect(dc, 0, 0, 2, 4); }, "....\n.#..\n.#..\n....\n"},
      {"exclude", [](HDC dc) { ExcludeClipRect(dc, 2, 2, 3, 3); }, "....\n.##.\n.#..\n....\n"},
      {"clip then move origin", [](HDC dc) { IntersectClipRect(dc, 1, 1, 3, 2); SetViewportOrgEx(dc, 1, 0, nullptr); },
       "....\n..#.\n....\n....\n"},
      {"move origin then clip", [](HDC dc) { SetViewportOrgEx(dc, 1, 0, nullptr); IntersectClipRect(dc, 1, 1, 3, 2); },
       "....\n..##\n....\n....\n"},
      {"region in device units", [](HDC dc) {
         SetViewportOrgEx(dc, 1, 0, nullptr);
         HRGN r = CreateRectRgn(3, 0, 4, 4);
         SelectClipRgn(dc, r);
         DeleteObject(r);
       }, "....\n...#\n...#\n....\n"},
      {"region AND rect", [](HDC dc) {
         HRGN r = CreateRectRgn(0, 0, 4, 2);
         ExtSelectClipRgn(dc, r, RGN_COPY);
         IntersectClipRect(dc, 2, 0, 4, 4);
         DeleteObject(r);
       }, "....\n..#.\n....\n....\n"},
  };
  for (const auto& c : cases) {
    Canvas canvas(4, 4);
    c.setup(canvas.dc());
    const RECT r{1, 1, 3, 3};
    FillRect(canvas.dc(), &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(canvas.Art(), c.art) << c.name;
  }
}

TEST(OriginsAndClip, ClipQueries) {
  Canvas canvas(10, 10);
  HDC dc = canvas.dc();
  EXPECT_EQ(GetClipRgn(dc, CreateRectRgn(0, 0, 0, 0)), 0);
  EXPECT_EQ(IntersectClipRect(dc, 2, 2, 8, 8), SIMPLEREGION);
  EXPECT_EQ(ExcludeClipRect(dc, 4, 4, 6, 6), COMPLEXREGION);
  RECT box;
  SetWindowOrgEx(dc, 1, 1, nullptr);
  EXPECT_EQ(GetClipBox(dc, &box), COMPLEXREGION);
  EXPECT_EQ(box, (RECT{3, 3, 9, 9}));  // logical coordinates
  EXPECT_TRUE(PtVisible(dc, 3, 3));
  EXPECT_FALSE(PtVisible(dc, 5, 5));
  const RECT hole{5, 5, 6, 6}, edge{8, 8, 12, 12}, outside{10, 10, 12, 12};
  EXPECT_FALSE(RectVisible(dc, &hole));
  EXPECT_TRUE(RectVisible(dc, &edge));
  EXPECT_FALSE(RectVisible(dc, &outside));
  HRGN copy = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetClipRgn(dc, copy), 1);
  EXPECT_TRUE(PtInRegion(copy, 2, 2));   // device coordinates
  EXPECT_FALSE(PtInRegion(copy, 4, 4));
  EXPECT_EQ(SelectClipRgn(dc, nullptr), SIMPLEREGION);
  EXPECT_TRUE(PtVisible(dc, 5, 5));
  EXPECT_EQ(IntersectClipRect(dc, 3, 3, 3, 5), NULLREGION);
  DeleteObject(copy);
}

TEST(Regions, FillFrameInvertPaint) {
  Canvas canvas(6, 5);
  HRGN r = CreateRectRgn(1, 1, 5, 4);
  FrameRgn(canvas.dc(), r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)), 1, 1);
  EXPECT_EQ(canvas.Art(), Rows({"......", ".####.", ".#..#.", ".####.", "......"}));
  InvertRgn(canvas.dc(), r);
  EXPECT_EQ(canvas.Art(), Rows({"......", "......", "..##..", "......", "......"}));
  SelectObject(canvas.dc(), GetStockObject(GRAY_BRUSH));
  SetViewportOrgEx(canvas.dc(), 1, 0, nullptr);  // regions drawn are logical
  PaintRgn(canvas.dc(), r);
  EXPECT_EQ(canvas.Art({{RGB(128, 128, 128), 'g'}}), Rows({"......", "..gggg", "..gggg", "..gggg", "......"}));
  DeleteObject(r);
}

}  // namespace
