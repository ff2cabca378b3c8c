#include <gtest/gtest.h>

#include "WinTestUtil.h"
#include "platform/win/Api.h"

namespace {

using namespace win;
using wintest::Log;

class Windows : public ::testing::Test {
protected:
  void TearDown() override { wintest::Cleanup(); }
};

TEST_F(Windows, CreationSendsItsMessagesInOrder) {
  HWND h = wintest::MakeTopLevel(10, 20, 200, 100, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  ASSERT_TRUE(IsWindow(h));
  const std::vector<UINT> expected = {WM_GETMINMAXINFO, WM_NCCREATE,         WM_NCCALCSIZE, WM_CREATE,
                                      WM_SIZE,          WM_MOVE,             WM_SHOWWINDOW, WM_WINDOWPOSCHANGING,
                                      WM_WINDOWPOSCHANGED};
  const auto got = Log().Msgs(h);
  ASSERT_GE(got.size(), expected.size());
  EXPECT_EQ(std::vector<UINT>(got.begin(), got.begin() + static_cast<long>(expected.size())), expected);
  // Showing activates it.
  EXPECT_EQ(GetActiveWindow(), h);
  EXPECT_EQ(GetFocus(), h);
  // The client area follows the classic metrics: 4-pixel sizing frame, 19-pixel caption.
  RECT c, w;
  GetClientRect(h, &c);
  GetWindowRect(h, &w);
  EXPECT_EQ(w, (RECT{10, 20, 210, 120}));
  EXPECT_EQ(c, (RECT{0, 0, 200 - 8, 100 - 8 - 19}));
  POINT p{0, 0};
  ClientToScreen(h, &p);
  EXPECT_EQ(p, (POINT{14, 43}));
  RECT adjusted{0, 0, 192, 73};
  AdjustWindowRectEx(&adjusted, WS_OVERLAPPEDWINDOW, FALSE, 0);
  EXPECT_EQ(adjusted, (RECT{-4, -23, 196, 77}));
}

TEST_F(Windows, CreationCanBeRefused) {
  static int refuse = 0;
  WNDCLASSA wc;
  wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_NCCREATE && refuse == 1) return FALSE;
    if (m == WM_CREATE && refuse == 2) return -1;
    return DefWindowProcA(h, m, w, l);
  };
  wc.lpszClassName = "VorixRefuse";
  ASSERT_NE(RegisterClassA(&wc), 0);
  EXPECT_EQ(RegisterClassA(&wc), 0);  // already there
  for (refuse = 1; refuse <= 2; ++refuse)
    EXPECT_EQ(CreateWindowExA(0, "VorixRefuse", "", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr),
              nullptr);
  EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(CreateWindowExA(0, wintest::TestClass(), "", WS_CHILD, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr),
            nullptr);
  EXPECT_TRUE(UnregisterClassA("VorixRefuse", nullptr));
}

TEST_F(Windows, DestroyGoesParentFirstForDestroyAndChildrenFirstForNcDestroy) {
  HWND top = wintest::MakeTopLevel(0, 0, 100, 100);
  HWND child = wintest::MakeChild(top, 0, 0, 50, 50);
  HWND grandchild = wintest::MakeChild(child, 0, 0, 20, 20);
  HWND owned = CreateWindowExA(0, wintest::TestClass(), "", WS_POPUP, 0, 0, 5, 5, top, nullptr, nullptr, nullptr);
  EXPECT_EQ(GetParent(owned), top);  // a popup's parent is its owner
  EXPECT_EQ(GetWindow(owned, GW_OWNER), top);
  Log().Clear();
  EXPECT_TRUE(DestroyWindow(top));
  std::vector<std::pair<HWND, UINT>> order;
  for (const auto& m : Log().Take())
    if (m.msg == WM_DESTROY || m.msg == WM_NCDESTROY) order.emplace_back(m.hwnd, m.msg);
  const std::vector<std::pair<HWND, UINT>> expected = {
      {owned, WM_DESTROY},      {owned, WM_NCDESTROY},     {top, WM_DESTROY},      {child, WM_DESTROY},
      {grandchild, WM_DESTROY}, {grandchild, WM_NCDESTROY}, {child, WM_NCDESTROY}, {top, WM_NCDESTROY}};
  EXPECT_EQ(order, expected);
  for (HWND h : {top, child, grandchild, owned}) EXPECT_FALSE(IsWindow(h));
}

TEST_F(Windows, StaleHandlesFailCleanly) {
  HWND h = wintest::MakeTopLevel(0, 0, 10, 10);
  DestroyWindow(h);
  // A new window never reuses a live-looking value for the old handle.
  HWND fresh = wintest::MakeTopLevel(0, 0, 10, 10);
  EXPECT_NE(fresh, h);
  RECT r{1, 2, 3, 4};
  POINT p{5, 6};
  EXPECT_FALSE(IsWindow(h));
  EXPECT_FALSE(DestroyWindow(h));
  EXPECT_EQ(SendMessageA(h, WM_USER, 0, 0), 0);
  EXPECT_FALSE(PostMessageA(h, WM_USER, 0, 0));
  EXPECT_EQ(GetWindowLongA(h, GWL_STYLE), 0);
  EXPECT_EQ(SetWindowLongA(h, GWL_USERDATA, 5), 0);
  EXPECT_FALSE(SetWindowPos(h, nullptr, 0, 0, 1, 1, 0));
  EXPECT_FALSE(GetWindowRect(h, &r));
  EXPECT_FALSE(ClientToScreen(h, &p));
  EXPECT_FALSE(ShowWindow(h, SW_SHOW));
  EXPECT_FALSE(InvalidateRect(h, nullptr, TRUE));
  EXPECT_EQ(SetTimer(h, 1, 100, nullptr), 0u);
  EXPECT_EQ(SetFocus(h), nullptr);
  EXPECT_NE(GetFocus(), h);
  EXPECT_FALSE(SetPropA(h, "x", reinterpret_cast<HANDLE>(1)));
  EXPECT_EQ(GetParent(h), nullptr);
  EXPECT_FALSE(IsWindow(ValueToHandle<HWND>(0x7FFFFFFF)));
}

LRESULT subclassA(HWND, UINT, WPARAM, LPARAM);
LRESULT subclassB(HWND, UINT, WPARAM, LPARAM);
WNDPROC prevA = nullptr, prevB = nullptr;
std::vector<std::string> chain;

LRESULT subclassA(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_USER + 5) chain.push_back("A");
  if (m == WM_USER + 6) return 1000 + CallWindowProcA(prevA, h, m, w, l);
  return CallWindowProcA(prevA, h, m, w, l);
}
LRESULT subclassB(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_USER + 5) chain.push_back("B");
  if (m == WM_USER + 6) return 7;
  return CallWindowProcA(prevB, h, m, w, l);
}

TEST_F(Windows, SubclassingChainsProceduresAndRestoresThem) {
  HWND h = wintest::MakeTopLevel(0, 0, 10, 10);
  const WNDPROC original = reinterpret_cast<WNDPROC>(GetWindowLongA(h, GWL_WNDPROC));
  prevA = reinterpret_cast<WNDPROC>(SetWindowLongA(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(subclassA)));
  EXPECT_EQ(prevA, original);
  prevB = reinterpret_cast<WNDPROC>(SetWindowLongA(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(subclassB)));
  EXPECT_EQ(prevB, subclassA);
  chain.clear();
  Log().Clear();
  SendMessageA(h, WM_USER + 5, 0, 0);
  EXPECT_EQ(chain, (std::vector<std::string>{"B", "A"}));
  EXPECT_EQ(Log().Msgs(h), (std::vector<UINT>{WM_USER + 5}));  // reached the class procedure last
  EXPECT_EQ(SendMessageA(h, WM_USER + 6, 0, 0), 7);
  // Unhooking in reverse order restores the class procedure.
  SetWindowLongA(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(prevB));
  EXPECT_EQ(SendMessageA(h, WM_USER + 6, 0, 0), 1000);
  SetWindowLongA(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(prevA));
  EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongA(h, GWL_WNDPROC)), original);
  EXPECT_EQ(GetClassLongPtrA(h, GCLP_WNDPROC), reinterpret_cast<ULONG_PTR>(original));
}

TEST_F(Windows, LongsPropertiesAndStyles) {
  HWND top = wintest::MakeTopLevel(0, 0, 100, 100);
  HWND child = wintest::MakeChild(top, 0, 0, 10, 10, WS_CHILD | WS_VISIBLE, 42);
  EXPECT_EQ(GetDlgCtrlID(child), 42);
  EXPECT_EQ(GetDlgItem(top, 42), child);
  EXPECT_EQ(GetParent(child), top);
  EXPECT_TRUE(IsChild(top, child));
  EXPECT_EQ(GetAncestor(child, GA_ROOT), top);
  EXPECT_EQ(GetAncestor(top, GA_PARENT), GetDesktopWindow());
  int payload = 0;
  SetWindowLongA(child, GWL_USERDATA, reinterpret_cast<LONG_PTR>(&payload));
  EXPECT_EQ(reinterpret_cast<int*>(GetWindowLongA(child, GWL_USERDATA)), &payload);
  // Properties by name and by atom are the same slot.
  const ATOM atom = GlobalAddAtomA("ControlOfs1234");
  EXPECT_TRUE(SetPropA(child, "ControlOfs1234", reinterpret_cast<HANDLE>(&payload)));
  EXPECT_EQ(GetPropA(child, MAKEINTATOMA(atom)), &payload);
  EXPECT_EQ(GetPropW(child, u"controlofs1234"), &payload);
  EXPECT_EQ(RemovePropA(child, "ControlOfs1234"), &payload);
  EXPECT_EQ(GetPropA(child, "ControlOfs1234"), nullptr);
  GlobalDeleteAtom(atom);
  // Style changes announce themselves, and WS_VISIBLE does not move through them.
  Log().Clear();
  const LONG_PTR old = SetWindowLongA(top, GWL_STYLE, (GetWindowLongA(top, GWL_STYLE) | WS_CAPTION) & ~WS_VISIBLE);
  EXPECT_TRUE(old & WS_VISIBLE);
  EXPECT_TRUE(IsWindowVisible(top));
  EXPECT_EQ(Log().Msgs(top), (std::vector<UINT>{WM_STYLECHANGING, WM_STYLECHANGED}));
  // The client rectangle follows only when the frame is recomputed.
  RECT c;
  GetClientRect(top, &c);
  EXPECT_EQ(c.bottom, 100);
  SetWindowPos(top, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  GetClientRect(top, &c);
  EXPECT_EQ(c.bottom, 100 - 3 - 3 - 19);
}

TEST_F(Windows, SetWindowPosSendsChangingChangedMoveAndSizeAsTheFlagsSay) {
  HWND top = wintest::MakeTopLevel(0, 0, 200, 200);
  HWND child = wintest::MakeChild(top, 10, 10, 50, 50);
  const std::vector<UINT> watched = {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE, WM_NCCALCSIZE};
  struct Case {
    int x, y, cx, cy;
    UINT flags;
    std::vector<UINT> msgs;
    RECT after;  // in the parent's client coordinates
  };
  const Case cases[] = {
      {20, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER,
       {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE}, {20, 30, 70, 80}},
      {0, 0, 60, 40, SWP_NOMOVE | SWP_NOZORDER,
       {WM_WINDOWPOSCHANGING, WM_NCCALCSIZE, WM_WINDOWPOSCHANGED, WM_SIZE}, {20, 30, 80, 70}},
      {5, 5, 10, 10, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER,
       {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED}, {20, 30, 80, 70}},
      {1, 2, 3, 4, SWP_NOSENDCHANGING | SWP_NOZORDER,
       {WM_NCCALCSIZE, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE}, {1, 2, 4, 6}},
  };
  for (const auto& c : cases) {
    Log().Clear();
    EXPECT_TRUE(SetWindowPos(child, nullptr, c.x, c.y, c.cx, c.cy, c.flags));
    EXPECT_EQ(Log().Msgs(child, watched), c.msgs) << c.flags;
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r, c.after);
  }
  // A WM_WINDOWPOSCHANGING handler may change the placement.
  static WNDPROC base;
  base = reinterpret_cast<WNDPROC>(SetWindowLongA(child, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(
      +[](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_WINDOWPOSCHANGING) reinterpret_cast<WINDOWPOS*>(l)->cx = 33;
        return CallWindowProcA(base, h, m, w, l);
      })));
  MoveWindow(child, 0, 0, 100, 100, TRUE);
  RECT r;
  GetClientRect(child, &r);
  EXPECT_EQ(r.right, 33);
  const auto sizes = Log().Of(WM_SIZE);
  ASSERT_FALSE(sizes.empty());
  EXPECT_EQ(LOWORD(static_cast<uintptr_t>(sizes.back().lParam)), 33);
}

TEST_F(Windows, SizableWindowsAreHeldToTheirTrackingLimits) {
  HWND h = wintest::MakeTopLevel(0, 0, 300, 300, WS_OVERLAPPEDWINDOW);
  MoveWindow(h, 0, 0, 20, 5000, FALSE);
  RECT r;
  GetWindowRect(h, &r);
  EXPECT_EQ(r.Width(), GetSystemMetrics(SM_CXMINTRACK));
  EXPECT_EQ(r.Height(), GetSystemMetrics(SM_CYMAXTRACK));
  EXPECT_FALSE(Log().Of(WM_GETMINMAXINFO).empty());
  // Maximising fills the work area with the frame outside it, and restoring returns.
  SetMonitorLayout({{{0, 0, 800, 600}, {0, 0, 800, 570}}});
  MoveWindow(h, 50, 60, 300, 200, FALSE);
  ShowWindow(h, SW_SHOWMAXIMIZED);
  EXPECT_TRUE(IsZoomed(h));
  GetWindowRect(h, &r);
  EXPECT_EQ(r, (RECT{-4, -4, 804, 574}));
  const auto sizes = Log().Of(WM_SIZE);
  ASSERT_FALSE(sizes.empty());
  EXPECT_EQ(sizes.back().wParam, SIZE_MAXIMIZED);
  ShowWindow(h, SW_RESTORE);
  GetWindowRect(h, &r);
  EXPECT_EQ(r, (RECT{50, 60, 350, 260}));
  ShowWindow(h, SW_MINIMIZE);
  EXPECT_TRUE(IsIconic(h));
  EXPECT_EQ(Log().Of(WM_SIZE).back().wParam, SIZE_MINIMIZED);
  // The placement keeps the restored rectangle while minimised.
  WINDOWPLACEMENT wp;
  ASSERT_TRUE(GetWindowPlacement(h, &wp));
  EXPECT_EQ(wp.showCmd, static_cast<UINT>(SW_SHOWMINIMIZED));
  EXPECT_EQ(wp.rcNormalPosition, (RECT{50, 60, 350, 260}));
  wp.rcNormalPosition = {10, 20, 210, 220};
  wp.showCmd = SW_SHOWNORMAL;
  ASSERT_TRUE(SetWindowPlacement(h, &wp));
  EXPECT_FALSE(IsIconic(h));
  GetWindowRect(h, &r);
  EXPECT_EQ(r, (RECT{10, 20, 210, 220}));
}

TEST_F(Windows, ShowEnableAndZOrder) {
  HWND a = wintest::MakeTopLevel(0, 0, 100, 100, WS_POPUP);
  Log().Clear();
  EXPECT_FALSE(ShowWindow(a, SW_SHOW));
  EXPECT_TRUE(ShowWindow(a, SW_HIDE));
  EXPECT_FALSE(ShowWindow(a, SW_HIDE));  // already hidden: nothing sent
  const auto shows = Log().Of(WM_SHOWWINDOW);
  ASSERT_EQ(shows.size(), 2u);
  EXPECT_EQ(shows[0].wParam, 1u);
  EXPECT_EQ(shows[1].wParam, 0u);
  Log().Clear();
  EXPECT_FALSE(EnableWindow(a, FALSE));
  EXPECT_TRUE(EnableWindow(a, FALSE));  // already disabled: answers so, sends nothing
  EXPECT_TRUE(EnableWindow(a, TRUE));
  EXPECT_EQ(Log().Msgs(a, {WM_ENABLE}).size(), 2u);
  EXPECT_TRUE(IsWindowEnabled(a));
  // Z-order: topmost windows stay above the rest.
  HWND b = wintest::MakeTopLevel(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
  HWND t = wintest::MakeTopLevel(0, 0, 100, 100, WS_POPUP | WS_VISIBLE, WS_EX_TOPMOST);
  ShowWindow(a, SW_SHOW);
  EXPECT_EQ(GetTopWindow(nullptr), t);
  EXPECT_EQ(GetWindow(t, GW_HWNDNEXT), a);
  EXPECT_EQ(GetWindow(a, GW_HWNDNEXT), b);
  SetWindowPos(b, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(GetWindow(t, GW_HWNDNEXT), b);
  SetWindowPos(b, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(GetTopWindow(nullptr), b);
  EXPECT_TRUE(GetWindowLongA(b, GWL_EXSTYLE) & WS_EX_TOPMOST);
  SetWindowPos(t, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(GetWindow(b, GW_HWNDNEXT), t);
  EXPECT_EQ(WindowFromPoint(POINT{50, 50}), b);
}

TEST_F(Windows, WindowRegionEchoesPositionMessagesAndClipsHitTesting) {
  HWND below = wintest::MakeTopLevel(0, 0, 100, 100);
  HWND shaped = wintest::MakeTopLevel(0, 0, 100, 100);
  HWND child = wintest::MakeChild(shaped, 0, 0, 100, 100);
  Log().Clear();
  HRGN rgn = CreateEllipticRgn(0, 0, 100, 100);
  EXPECT_EQ(SetWindowRgn(shaped, rgn, TRUE), 1);
  const auto changing = Log().Of(WM_WINDOWPOSCHANGING);
  const auto changed = Log().Of(WM_WINDOWPOSCHANGED);
  ASSERT_EQ(changing.size(), 1u);
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changing[0].hwnd, shaped);
  const UINT still = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
  EXPECT_EQ(changing[0].posFlags & still, still);
  EXPECT_EQ(changed[0].posFlags & (SWP_NOCLIENTSIZE | SWP_NOCLIENTMOVE), SWP_NOCLIENTSIZE | SWP_NOCLIENTMOVE);
  EXPECT_TRUE(Log().Of(WM_SIZE).empty());
  EXPECT_EQ(GetObjectType(rgn), 0u);  // the window took the region over
  // Inside the ellipse the child answers; at the corner the window below does.
  EXPECT_EQ(WindowFromPoint(POINT{50, 50}), child);
  EXPECT_EQ(WindowFromPoint(POINT{2, 2}), below);
  EXPECT_EQ(ChildWindowFromPoint(shaped, POINT{50, 50}), child);
  HRGN copy = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(shaped, copy), COMPLEXREGION);
  EXPECT_TRUE(PtInRegion(copy, 50, 50));
  EXPECT_FALSE(PtInRegion(copy, 1, 1));
  // Removing the shape brings the corner back.
  SetWindowRgn(shaped, nullptr, TRUE);
  EXPECT_EQ(WindowFromPoint(POINT{2, 2}), child);
  EXPECT_EQ(GetWindowRgn(shaped, copy), ERROR);
  DeleteObject(copy);
  // Child windows are shaped too.
  SetWindowRgn(child, CreateRectRgn(0, 0, 50, 100), FALSE);
  EXPECT_EQ(WindowFromPoint(POINT{75, 50}), shaped);
}

TEST_F(Windows, MonitorsAndTheWorkArea) {
  SetMonitorLayout({{{0, 0, 1024, 768}, {0, 0, 1024, 738}}, {{1024, 0, 2048, 768}, {1024, 0, 2048, 768}}});
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
  EXPECT_EQ(GetSystemMetrics(SM_CXVIRTUALSCREEN), 2048);
  EXPECT_EQ(GetSystemMetrics(SM_CMONITORS), 2);
  HWND h = wintest::MakeTopLevel(1500, 100, 100, 100);
  MONITORINFO mi;
  ASSERT_TRUE(GetMonitorInfo(MonitorFromWindow(h, MONITOR_DEFAULTTONEAREST), &mi));
  EXPECT_EQ(mi.rcMonitor, (RECT{1024, 0, 2048, 768}));
  EXPECT_EQ(mi.dwFlags, 0u);
  EXPECT_EQ(MonitorFromPoint(POINT{-50, 10}, MONITOR_DEFAULTTONULL), nullptr);
  ASSERT_TRUE(GetMonitorInfo(MonitorFromPoint(POINT{-50, 10}, MONITOR_DEFAULTTONEAREST), &mi));
  EXPECT_EQ(mi.dwFlags, MONITORINFOF_PRIMARY);
  RECT work;
  SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_EQ(work, (RECT{0, 0, 1024, 738}));
  int count = 0;
  EnumDisplayMonitors(nullptr, nullptr, [](HMONITOR, HDC, RECT*, LPARAM p) -> BOOL {
    ++*reinterpret_cast<int*>(p);
    return TRUE;
  }, reinterpret_cast<LPARAM>(&count));
  EXPECT_EQ(count, 2);
}

TEST_F(Windows, MessageOnlyWindowsTakeMessagesButNeverShow) {
  HWND m = CreateWindowExA(0, wintest::TestClass(), "sync", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, HWND_MESSAGE,
                           nullptr, nullptr, nullptr);
  ASSERT_TRUE(IsWindow(m));
  EXPECT_FALSE(IsWindowVisible(m));
  EXPECT_FALSE(ShowWindow(m, SW_SHOW));
  EXPECT_FALSE(IsWindowVisible(m));
  EXPECT_EQ(FindWindowExA(HWND_MESSAGE, nullptr, wintest::TestClass(), "sync"), m);
  EXPECT_EQ(FindWindowA(wintest::TestClass(), "sync"), nullptr);
  struct Search {
    HWND target;
    bool found;
  } search{m, false};
  EnumWindows([](HWND h, LPARAM p) -> BOOL {
    auto* s = reinterpret_cast<Search*>(p);
    s->found |= h == s->target;
    return TRUE;
  }, reinterpret_cast<LPARAM>(&search));
  EXPECT_FALSE(search.found);
  EXPECT_EQ(WindowFromPoint(POINT{5, 5}) == m, false);
  EXPECT_TRUE(PostMessageA(m, WM_USER + 9, 0, 0));
  Log().Clear();
  PumpMessages();
  EXPECT_EQ(Log().Msgs(m, {WM_USER + 9}).size(), 1u);
}

TEST_F(Windows, SetParentMovesAWindowBetweenParents) {
  HWND a = wintest::MakeTopLevel(0, 0, 100, 100);
  HWND b = wintest::MakeTopLevel(200, 0, 100, 100);
  HWND child = wintest::MakeChild(a, 10, 10, 20, 20, WS_CHILD | WS_VISIBLE, 7);
  EXPECT_EQ(SetParent(child, b), a);
  EXPECT_EQ(GetParent(child), b);
  EXPECT_EQ(GetDlgItem(b, 7), child);
  EXPECT_EQ(GetDlgItem(a, 7), nullptr);
  RECT r;
  GetWindowRect(child, &r);
  EXPECT_EQ(r, (RECT{210, 10, 230, 30}));  // same place in the new parent's client area
  EXPECT_EQ(WindowFromPoint(POINT{215, 15}), child);
  EXPECT_EQ(SetParent(b, child), nullptr);  // no cycles
  DestroyWindow(b);
  EXPECT_FALSE(IsWindow(child));
}

TEST_F(Windows, OwnedWindowsStayAboveTheirOwner) {
  HWND owner = wintest::MakeTopLevel(0, 0, 100, 100);
  HWND tool = CreateWindowExA(WS_EX_TOOLWINDOW, wintest::TestClass(), "", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, owner,
                              nullptr, nullptr, nullptr);
  HWND other = wintest::MakeTopLevel(0, 0, 100, 100);
  EXPECT_EQ(GetTopWindow(nullptr), other);
  BringWindowToTop(owner);
  EXPECT_EQ(GetTopWindow(nullptr), tool);
  EXPECT_EQ(GetWindow(tool, GW_HWNDNEXT), owner);
  EXPECT_EQ(WindowFromPoint(POINT{10, 10}), tool);
  SetActiveWindow(other);
  SetActiveWindow(owner);
  EXPECT_EQ(GetTopWindow(nullptr), tool);
}

}  // namespace
