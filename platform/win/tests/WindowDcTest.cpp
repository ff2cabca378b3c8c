#include <gtest/gtest.h>

#include "platform/win/Api.h"
#include "platform/win/tests/WinTestUtil.h"

namespace {

using namespace win;

class WindowDcTest : public ::testing::Test {
protected:
  void TearDown() override { wintest::Cleanup(); }
  static void Fill(HDC dc, RECT r, COLORREF c) {
    HBRUSH b = CreateSolidBrush(c);
    FillRect(dc, &r, b);
    DeleteObject(b);
  }
};

TEST_F(WindowDcTest, ClientDcDrawsOnTheScreenAndReadsBack) {
  HWND w = wintest::MakeTopLevel(10, 10, 40, 30);
  HDC dc = GetDC(w);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(WindowFromDC(dc), w);
  Fill(dc, {0, 0, 40, 30}, RGB(255, 0, 0));
  Fill(dc, {5, 5, 6, 6}, RGB(0, 0, 255));
  EXPECT_EQ(GetScreenPixel(10, 10), RGB(255, 0, 0));
  EXPECT_EQ(GetScreenPixel(15, 15), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dc, 5, 5), RGB(0, 0, 255));
  RECT box;
  GetClipBox(dc, &box);
  EXPECT_EQ(box, (RECT{0, 0, 40, 30}));
  EXPECT_EQ(ReleaseDC(w, dc), 1);
  EXPECT_EQ(ReleaseDC(w, dc), 0);
}

TEST_F(WindowDcTest, ScreenDcReachesTheWindowsItCovers) {
  HWND w = wintest::MakeTopLevel(20, 20, 10, 10);
  HDC own = GetDC(w);
  Fill(own, {0, 0, 10, 10}, RGB(0, 255, 0));
  ReleaseDC(w, own);
  HDC screen = GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(GetPixel(screen, 25, 25), RGB(0, 255, 0));
  SetPixel(screen, 21, 22, RGB(1, 2, 3));
  EXPECT_EQ(GetScreenPixel(21, 22), RGB(1, 2, 3));
  // Copying from the screen sees the window's pixels.
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, 4, 4);
  SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, 4, 4, screen, 20, 20, SRCCOPY);
  EXPECT_EQ(GetPixel(mem, 1, 2), RGB(1, 2, 3));
  EXPECT_EQ(GetPixel(mem, 3, 3), RGB(0, 255, 0));
  DeleteDC(mem);
  DeleteObject(bmp);
  ReleaseDC(nullptr, screen);
}

// Outlines dragged on the desktop window's DC cover the windows under them,
// and a second pass restores them.
TEST_F(WindowDcTest, DesktopWindowDcIsTheScreen) {
  HWND w = wintest::MakeTopLevel(40, 40, 20, 20);
  HDC own = GetDC(w);
  Fill(own, {0, 0, 20, 20}, RGB(255, 255, 255));
  ReleaseDC(w, own);
  HDC desk = GetWindowDC(GetDesktopWindow());
  ASSERT_NE(desk, nullptr);
  SetROP2(desk, R2_NOT);
  const POINT line[] = {{35, 50}, {65, 50}};
  Polyline(desk, line, 2);
  EXPECT_EQ(GetScreenPixel(45, 50), RGB(0, 0, 0));
  Polyline(desk, line, 2);
  EXPECT_EQ(GetScreenPixel(45, 50), RGB(255, 255, 255));
  ReleaseDC(GetDesktopWindow(), desk);
}

TEST_F(WindowDcTest, ChildrenAreClippedOutWithClipChildren) {
  HWND parent = wintest::MakeTopLevel(0, 0, 20, 20, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN);
  HWND child = wintest::MakeChild(parent, 5, 5, 5, 5);
  HDC cdc = GetDC(child);
  Fill(cdc, {0, 0, 5, 5}, RGB(0, 0, 255));
  ReleaseDC(child, cdc);
  HDC pdc = GetDC(parent);
  Fill(pdc, {0, 0, 20, 20}, RGB(255, 0, 0));
  EXPECT_EQ(GetScreenPixel(6, 6), RGB(0, 0, 255));
  EXPECT_EQ(GetScreenPixel(4, 4), RGB(255, 0, 0));
  ReleaseDC(parent, pdc);
  // A child DC's origin is the child's client corner.
  cdc = GetDC(child);
  Fill(cdc, {0, 0, 1, 1}, RGB(0, 0, 0));
  EXPECT_EQ(GetScreenPixel(5, 5), RGB(0, 0, 0));
  ReleaseDC(child, cdc);
}

TEST_F(WindowDcTest, WindowDcStartsAtTheFrameAndExtraClipRegionsApply) {
  HWND w = wintest::MakeTopLevel(30, 30, 60, 50, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  RECT window, client;
  GetWindowRect(w, &window);
  POINT origin{0, 0};
  ClientToScreen(w, &origin);
  GetClientRect(w, &client);
  ASSERT_GT(origin.y, window.top);  // there is a caption
  HDC whole = GetWindowDC(w);
  Fill(whole, {0, 0, 1, 1}, RGB(9, 9, 9));
  EXPECT_EQ(GetScreenPixel(window.left, window.top), RGB(9, 9, 9));
  ReleaseDC(w, whole);
  HDC clipped = GetDCEx(w, CreateRectRgn(0, 0, 2, 2), DCX_INTERSECTRGN);
  Fill(clipped, client, RGB(7, 7, 7));
  EXPECT_EQ(GetScreenPixel(origin.x + 1, origin.y + 1), RGB(7, 7, 7));
  EXPECT_NE(GetScreenPixel(origin.x + 2, origin.y + 2), RGB(7, 7, 7));
  ReleaseDC(w, clipped);
}

}  // namespace
