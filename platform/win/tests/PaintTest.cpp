#include <gtest/gtest.h>

#include "WinTestUtil.h"
#include "platform/rtl/Clock.h"
#include "platform/win/Api.h"
#include "platform/win/Dc.h"
#include "platform/win/PenBrush.h"
#include "platform/win/Shapes.h"

namespace {

using namespace win;
using wintest::Log;

class Painting : public ::testing::Test {
protected:
  void TearDown() override { wintest::Cleanup(); }
};

// Dispatches what is waiting and returns the WM_PAINTs, per window.
std::vector<HWND> paints() {
  Log().Clear();
  PumpMessages();
  std::vector<HWND> out;
  for (const auto& m : Log().Of(WM_PAINT)) out.push_back(m.hwnd);
  return out;
}

TEST_F(Painting, PaintArrivesOnlyForInvalidWindows) {
  HWND top = wintest::MakeTopLevel(0, 0, 100, 100, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN);
  HWND child = wintest::MakeChild(top, 10, 10, 30, 30);
  EXPECT_EQ(paints(), (std::vector<HWND>{top, child}));  // shown: both invalid once
  EXPECT_TRUE(paints().empty());
  // With WS_CLIPCHILDREN the parent's invalidation stays its own.
  RECT r{0, 0, 20, 20};
  InvalidateRect(top, &r, FALSE);
  EXPECT_EQ(paints(), (std::vector<HWND>{top}));
  EXPECT_TRUE(Log().Of(WM_ERASEBKGND).empty());
  InvalidateRect(child, nullptr, TRUE);
  ValidateRect(child, nullptr);
  EXPECT_TRUE(paints().empty());
  // Invalidating twice still paints once, the union.
  RECT a{1, 1, 5, 5}, b{10, 10, 12, 12};
  InvalidateRect(child, &a, TRUE);
  InvalidateRect(child, &b, FALSE);
  static RECT painted;
  static BOOL erased;
  static WNDPROC base;
  base = reinterpret_cast<WNDPROC>(SetWindowLongA(child, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(
      +[](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m != WM_PAINT) return CallWindowProcA(base, h, m, w, l);
        Log().Add({h, m, w, l});
        PAINTSTRUCT ps;
        BeginPaint(h, &ps);
        painted = ps.rcPaint;
        erased = ps.fErase;
        EndPaint(h, &ps);
        return 0;
      })));
  EXPECT_EQ(paints(), (std::vector<HWND>{child}));
  EXPECT_EQ(painted, (RECT{1, 1, 12, 12}));
  EXPECT_EQ(Log().Of(WM_ERASEBKGND).size(), 1u);
  EXPECT_TRUE(erased);  // the class has no brush, so the erase is left to the painter
  // Hidden windows are not painted; showing them invalidates them.
  ShowWindow(child, SW_HIDE);
  InvalidateRect(child, nullptr, TRUE);
  const auto afterHide = paints();
  EXPECT_EQ(std::count(afterHide.begin(), afterHide.end(), child), 0);
  ShowWindow(child, SW_SHOW);
  EXPECT_EQ(paints(), (std::vector<HWND>{child}));
}

// What BeginPaint reports follows what the invalidations since the last
// paint asked for: any erasing one makes the erase pending, none leaves it off.
TEST_F(Painting, EraseFlagFollowsTheInvalidations) {
  struct Case {
    std::vector<BOOL> invalidations;
    bool erasePending;
  } cases[] = {
      {{FALSE}, false},
      {{FALSE, FALSE}, false},
      {{TRUE}, true},
      {{FALSE, TRUE}, true},
      {{TRUE, FALSE}, true},
  };
  HWND top = wintest::MakeTopLevel(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
  static BOOL erased;
  static WNDPROC base;
  base = reinterpret_cast<WNDPROC>(SetWindowLongA(top, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(
      +[](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m != WM_PAINT) return CallWindowProcA(base, h, m, w, l);
        Log().Add({h, m, w, l});
        PAINTSTRUCT ps;
        BeginPaint(h, &ps);
        erased = ps.fErase;
        EndPaint(h, &ps);
        return 0;
      })));
  paints();
  for (const auto& c : cases) {
    for (BOOL e : c.invalidations) InvalidateRect(top, nullptr, e);
    erased = 2;
    EXPECT_EQ(paints(), (std::vector<HWND>{top}));
    // The class has no brush, so a pending erase is left to the painter.
    EXPECT_EQ(Log().Of(WM_ERASEBKGND).size(), c.erasePending ? 1u : 0u) << ::testing::PrintToString(c.invalidations);
    EXPECT_EQ(erased, c.erasePending ? TRUE : FALSE) << ::testing::PrintToString(c.invalidations);
  }
}

TEST_F(Painting, ParentsWithoutClipChildrenShareTheirInvalidation) {
  HWND top = wintest::MakeTopLevel(0, 0, 100, 100);
  HWND inside = wintest::MakeChild(top, 10, 10, 30, 30);
  HWND outside = wintest::MakeChild(top, 60, 60, 30, 30);
  paints();
  RECT r{0, 0, 50, 50};
  InvalidateRect(top, &r, TRUE);
  const auto shared = paints();
  EXPECT_EQ(shared, (std::vector<HWND>{top, inside}));
  EXPECT_EQ(std::count(shared.begin(), shared.end(), outside), 0);
  RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE | RDW_NOCHILDREN);
  EXPECT_EQ(paints(), (std::vector<HWND>{top}));
  Log().Clear();
  RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  // Painted during the call, so nothing is left for the queue.
  EXPECT_EQ(Log().Of(WM_PAINT).size(), 3u);
  EXPECT_TRUE(paints().empty());
}

TEST_F(Painting, UpdateWindowPaintsAtOnceAndFramesRepaintOnRequest) {
  HWND h = wintest::MakeTopLevel(0, 0, 100, 100, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  paints();
  InvalidateRect(h, nullptr, FALSE);
  Log().Clear();
  UpdateWindow(h);
  EXPECT_EQ(Log().Msgs(h, {WM_PAINT}).size(), 1u);
  UpdateWindow(h);
  EXPECT_EQ(Log().Msgs(h, {WM_PAINT}).size(), 1u);
  RedrawWindow(h, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
  Log().Clear();
  PumpMessages();
  EXPECT_EQ(Log().Msgs(h, {WM_NCPAINT, WM_PAINT}), (std::vector<UINT>{WM_PAINT, WM_NCPAINT}));
  // The frame alone comes as WM_NCPAINT without WM_PAINT.
  SetWindowPos(h, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  Log().Clear();
  PumpMessages();
  EXPECT_EQ(Log().Msgs(h, {WM_NCPAINT, WM_PAINT}), (std::vector<UINT>{WM_NCPAINT}));
}

TEST_F(Painting, SetRedrawOffStopsDrawingWithoutHiding) {
  HWND top = wintest::MakeTopLevel(0, 0, 50, 50);
  HWND child = wintest::MakeChild(top, 0, 0, 20, 20);
  WindowDrawTarget t;
  SendMessageA(top, WM_SETREDRAW, FALSE, 0);
  ASSERT_TRUE(GetWindowDrawTarget(top, true, &t));
  EXPECT_TRUE(t.visible.empty());
  EXPECT_TRUE(IsWindowVisible(top));
  SendMessageA(top, WM_SETREDRAW, TRUE, 0);
  ASSERT_TRUE(GetWindowDrawTarget(top, true, &t));
  EXPECT_FALSE(t.visible.empty());
  // A child that may not redraw counts as hidden meanwhile.
  SendMessageA(child, WM_SETREDRAW, FALSE, 0);
  EXPECT_FALSE(IsWindowVisible(child));
  SendMessageA(child, WM_SETREDRAW, TRUE, 0);
  EXPECT_TRUE(IsWindowVisible(child));
}

TEST_F(Painting, LockedWindowsDrawNothingAndRepaintWhenUnlocked) {
  HWND h = wintest::MakeTopLevel(0, 0, 50, 50);
  paints();
  EXPECT_TRUE(LockWindowUpdate(h));
  EXPECT_FALSE(LockWindowUpdate(wintest::MakeTopLevel(0, 0, 5, 5)));
  WindowDrawTarget t;
  ASSERT_TRUE(GetWindowDrawTarget(h, true, &t));
  EXPECT_TRUE(t.visible.empty());
  paints();
  EXPECT_TRUE(LockWindowUpdate(nullptr));
  ASSERT_TRUE(GetWindowDrawTarget(h, true, &t));
  EXPECT_FALSE(t.visible.empty());
  const auto after = paints();
  EXPECT_EQ(std::count(after.begin(), after.end(), h), 1);
}

TEST_F(Painting, DrawTargetsClipToAncestorsSiblingsChildrenAndRegions) {
  HWND top = wintest::MakeTopLevel(100, 100, 200, 200, WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN);
  // Client origin inside the top-level surface: (4, 23).
  HWND panel = wintest::MakeChild(top, 10, 10, 100, 100, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN);
  HWND lower = wintest::MakeChild(panel, 50, 0, 80, 40, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS);
  HWND upper = wintest::MakeChild(panel, 0, 0, 60, 20, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS);
  (void)upper;
  WindowDrawTarget t;
  ASSERT_TRUE(GetWindowDrawTarget(lower, true, &t));
  RECT wr;
  GetWindowRect(top, &wr);
  EXPECT_EQ(t.origin, (POINT{4 + 10 + 50, 23 + 10}));
  // Cut by the panel's right edge (x < 14 + 100) and by the sibling above it.
  EXPECT_EQ(Region::FromRects(t.visible),
            Region::FromRect(4 + 10 + 60, 23 + 10, 4 + 10 + 100, 23 + 10 + 20)
                .Union(Region::FromRect(4 + 10 + 50, 23 + 10 + 20, 4 + 10 + 100, 23 + 10 + 40)));
  // The panel's own DC leaves its children out.
  ASSERT_TRUE(GetWindowDrawTarget(panel, true, &t));
  const Region panelVis = Region::FromRects(t.visible);
  EXPECT_FALSE(panelVis.Contains(4 + 10 + 55, 23 + 10 + 5));
  EXPECT_TRUE(panelVis.Contains(4 + 10 + 5, 23 + 10 + 50));
  // A window DC of the top level covers the frame; a shape cuts it.
  SetWindowRgn(top, CreateEllipticRgn(0, 0, 200, 200), FALSE);
  ASSERT_TRUE(GetWindowDrawTarget(top, false, &t));
  EXPECT_EQ(t.origin, (POINT{0, 0}));
  const Region topVis = Region::FromRects(t.visible);
  EXPECT_FALSE(topVis.Contains(1, 1));
  EXPECT_TRUE(topVis.Contains(100, 2));
  // Stale handles answer false.
  DestroyWindow(lower);
  EXPECT_FALSE(GetWindowDrawTarget(lower, true, &t));
  // The screen pieces: top-level surfaces, topmost first, with what shows of each.
  HWND cover = wintest::MakeTopLevel(0, 0, 150, 150);
  const auto pieces = GetScreenPieces();
  ASSERT_GE(pieces.size(), 2u);
  EXPECT_EQ(pieces[0].hwnd, cover);
  EXPECT_EQ(pieces[1].hwnd, top);
  EXPECT_EQ(pieces[1].screenOrigin, (POINT{100, 100}));
  EXPECT_FALSE(Region::FromRects(pieces[1].visible).Contains(10, 10));   // under `cover`
  EXPECT_TRUE(Region::FromRects(pieces[1].visible).Contains(100, 100));
}

const char* brushedClass() {
  static const bool once = [] {
    WNDCLASSA wc;
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
      if (m == WM_PAINT) {
        // Paints everything it is given green; the DC keeps it to the update region.
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        RECT all;
        GetClientRect(h, &all);
        HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
        FillRect(dc, &all, green);
        DeleteObject(green);
        EndPaint(h, &ps);
        return 0;
      }
      return DefWindowProcA(h, m, w, l);
    };
    wc.hbrBackground = ValueToHandle<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "VorixBrushed";
    return RegisterClassA(&wc) != 0;
  }();
  (void)once;
  return "VorixBrushed";
}

TEST_F(Painting, TheFrameCaptionAndClassBrushAreDrawnAndPaintingStaysInTheUpdateRegion) {
  SetScreenSize(400, 300);
  HWND h = CreateWindowExA(0, brushedClass(), "Title", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 150, nullptr,
                           nullptr, nullptr, nullptr);
  ASSERT_TRUE(IsWindow(h));
  PumpMessages();
  auto px = [](int x, int y) { return GetScreenPixel(x, y); };
  // Frame (raised edge, then the border colour), caption gradient from the
  // active caption colour, and the client painted green.
  EXPECT_EQ(px(10, 10), GetSysColor(COLOR_3DLIGHT));
  EXPECT_EQ(px(11, 11), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(px(12, 80), GetSysColor(COLOR_ACTIVEBORDER));
  EXPECT_EQ(px(209, 159), GetSysColor(COLOR_3DDKSHADOW));
  EXPECT_EQ(px(14, 14), GetSysColor(COLOR_ACTIVECAPTION));
  EXPECT_EQ(px(100, 100), RGB(0, 255, 0));
  // The caption text is drawn in the caption text colour somewhere after the icon place.
  int textPixels = 0;
  for (int x = 32; x < 90; ++x)
    for (int y = 15; y < 31; ++y) textPixels += px(x, y) == GetSysColor(COLOR_CAPTIONTEXT);
  EXPECT_GT(textPixels, 10);
  // Deactivated, the caption turns grey.
  HWND other = wintest::MakeTopLevel(300, 200, 20, 20);
  EXPECT_EQ(GetActiveWindow(), other);
  PumpMessages();
  EXPECT_EQ(px(14, 14), GetSysColor(COLOR_INACTIVECAPTION));
  // A partial invalidation: the class brush erases it, and the paint stays inside it.
  WindowDrawTarget t;
  ASSERT_TRUE(GetWindowDrawTarget(h, true, &t));
  for (const RECT& r : t.visible)
    for (LONG y = r.top; y < r.bottom; ++y)
      for (LONG x = r.left; x < r.right; ++x) t.surface->SetPixel(x, y, 0xFF0000FF);
  RECT part{0, 0, 20, 10};
  InvalidateRect(h, &part, TRUE);
  PumpMessages();
  // Client origin on the screen: (14, 33).
  EXPECT_EQ(px(14 + 5, 33 + 5), RGB(0, 255, 0));
  EXPECT_EQ(px(14 + 25, 33 + 5), RGB(0, 0, 255));
  EXPECT_EQ(px(14 + 5, 33 + 15), RGB(0, 0, 255));
  // WM_ERASEBKGND with the class brush answers that it erased.
  HDC dc = GetDC(h);
  EXPECT_EQ(SendMessageA(h, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 1);
  ReleaseDC(h, dc);
  EXPECT_EQ(px(14 + 25, 33 + 5), GetSysColor(COLOR_WINDOW));
}

TEST_F(Painting, NonClientMetricsCarryTheClassicFonts) {
  NONCLIENTMETRICSA m;
  m.cbSize = 0;
  EXPECT_FALSE(SystemParametersInfo(SPI_GETNONCLIENTMETRICS, 0, &m, 0));
  m.cbSize = sizeof m;
  ASSERT_TRUE(SystemParametersInfo(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0));
  EXPECT_EQ(m.iCaptionHeight + 1, GetSystemMetrics(SM_CYCAPTION));
  EXPECT_EQ(m.iMenuHeight + 1, GetSystemMetrics(SM_CYMENU));
  EXPECT_EQ(m.lfStatusFont.lfHeight, -11);
  EXPECT_STREQ(m.lfMessageFont.lfFaceName, "Tahoma");
  EXPECT_EQ(m.lfCaptionFont.lfWeight, FW_BOLD);
}

}  // namespace

namespace {

using namespace win;

TEST(Caret, BlinksOnTheClockByInvertingAndStepsAsideForPainting) {
  rtl::ScopedVirtualClock clock;
  HWND h = wintest::MakeTopLevel(0, 0, 100, 100);
  PumpMessages();
  wintest::FillWindow(h, 0xFFFFFFFF);
  ASSERT_TRUE(CreateCaret(h, nullptr, 2, 10));
  ASSERT_TRUE(SetCaretPos(20, 30));
  auto at = [](int x, int y) { return GetScreenPixel(x, y); };
  const COLORREF white = RGB(255, 255, 255), black = RGB(0, 0, 0);
  EXPECT_EQ(at(20, 30), white);  // created hidden
  ASSERT_TRUE(ShowCaret(h));
  EXPECT_EQ(at(20, 30), black);
  EXPECT_EQ(at(21, 39), black);
  EXPECT_EQ(at(22, 30), white);
  clock.Advance(GetCaretBlinkTime());
  EXPECT_EQ(at(20, 30), white);
  clock.Advance(GetCaretBlinkTime());
  EXPECT_EQ(at(20, 30), black);
  // Moving takes it along; painting hides it for the duration.
  SetCaretPos(50, 30);
  EXPECT_EQ(at(20, 30), white);
  EXPECT_EQ(at(50, 30), black);
  PAINTSTRUCT ps;
  InvalidateRect(h, nullptr, FALSE);
  BeginPaint(h, &ps);
  EXPECT_EQ(at(50, 30), white);
  EndPaint(h, &ps);
  EXPECT_EQ(at(50, 30), black);
  POINT p;
  ASSERT_TRUE(GetCaretPos(&p));
  EXPECT_EQ(p, (POINT{50, 30}));
  // Hiding nests.
  HideCaret(h);
  HideCaret(h);
  ShowCaret(h);
  EXPECT_EQ(at(50, 30), white);
  ShowCaret(h);
  EXPECT_EQ(at(50, 30), black);
  EXPECT_TRUE(DestroyCaret());
  EXPECT_EQ(at(50, 30), white);
  EXPECT_FALSE(DestroyCaret());
  wintest::Cleanup();
}

}  // namespace

namespace {

using namespace win;

TEST(Scrolling, MovesPixelsAndInvalidatesWhatItUncovers) {
  SetScreenSize(200, 200);
  HWND h = wintest::MakeTopLevel(0, 0, 100, 100);
  HWND child = wintest::MakeChild(h, 10, 60, 10, 10);
  PumpMessages();
  WindowDrawTarget t;
  ASSERT_TRUE(GetWindowDrawTarget(h, true, &t));
  // Rows coloured by their y, so a scroll shows as a shift.
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) t.surface->SetPixel(x, y, 0xFF000000u | static_cast<uint32_t>(y));
  HRGN uncovered = CreateRectRgn(0, 0, 0, 0);
  RECT bounds;
  EXPECT_EQ(ScrollWindowEx(h, 0, -20, nullptr, nullptr, uncovered, &bounds, SW_INVALIDATE | SW_SCROLLCHILDREN),
            SIMPLEREGION);
  EXPECT_EQ(bounds, (RECT{0, 80, 100, 100}));
  EXPECT_EQ(GetScreenPixel(5, 10), RGB(0, 0, 30));  // the row that was at 30
  EXPECT_EQ(GetScreenPixel(5, 79), RGB(0, 0, 99));
  RECT dirty;
  EXPECT_TRUE(GetUpdateRect(h, &dirty, FALSE));
  EXPECT_EQ(dirty, (RECT{0, 80, 100, 100}));
  RECT cr;
  GetWindowRect(child, &cr);
  EXPECT_EQ(cr.top, 40);  // the child went along
  // Inside a rectangle only, with a clip.
  ValidateRect(h, nullptr);
  RECT area{0, 0, 50, 50};
  EXPECT_TRUE(ScrollWindow(h, 10, 0, &area, &area));
  EXPECT_TRUE(GetUpdateRect(h, &dirty, FALSE));
  EXPECT_EQ(dirty, (RECT{0, 0, 10, 50}));
  GetWindowRect(child, &cr);
  EXPECT_EQ(cr.left, 10);  // outside the rectangle: stays
  DeleteObject(uncovered);
  wintest::Cleanup();
}

}  // namespace
