#include <gtest/gtest.h>

#include "WinTestUtil.h"
#include "platform/rtl/Clock.h"
#include "platform/win/Api.h"

namespace {

using namespace win;
using wintest::Log;

class Input : public ::testing::Test {
protected:
  void TearDown() override { wintest::Cleanup(); }
  rtl::ScopedVirtualClock clock_;
};

TEST_F(Input, FocusMovesWithKillThenSetFocus) {
  HWND top = wintest::MakeTopLevel(0, 0, 100, 100);
  HWND a = wintest::MakeChild(top, 0, 0, 10, 10);
  HWND b = wintest::MakeChild(top, 20, 0, 10, 10);
  SetFocus(a);
  Log().Clear();
  EXPECT_EQ(SetFocus(b), a);
  const auto log = Log().Take();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].hwnd, a);
  EXPECT_EQ(log[0].msg, WM_KILLFOCUS);
  EXPECT_EQ(log[0].wParam, reinterpret_cast<WPARAM>(b));
  EXPECT_EQ(log[1].hwnd, b);
  EXPECT_EQ(log[1].msg, WM_SETFOCUS);
  EXPECT_EQ(log[1].wParam, reinterpret_cast<WPARAM>(a));
  EXPECT_EQ(GetFocus(), b);
  // A disabled window cannot take the focus, and loses it when disabled.
  EnableWindow(a, FALSE);
  EXPECT_EQ(SetFocus(a), nullptr);
  EXPECT_EQ(GetFocus(), b);
  EnableWindow(b, FALSE);
  EXPECT_EQ(GetFocus(), nullptr);
  // Destroying the focus window leaves no dangling focus.
  EnableWindow(a, TRUE);
  SetFocus(a);
  DestroyWindow(a);
  EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(Input, ActivationNotifiesBothWindowsAndRaisesTheNewOne) {
  HWND a = wintest::MakeTopLevel(0, 0, 100, 100);
  HWND b = wintest::MakeTopLevel(0, 0, 100, 100, WS_POPUP);
  EXPECT_EQ(GetActiveWindow(), a);
  ShowWindow(b, SW_SHOWNOACTIVATE);
  EXPECT_EQ(GetActiveWindow(), a);
  Log().Clear();
  EXPECT_EQ(SetActiveWindow(b), a);
  const std::vector<UINT> watched = {WM_NCACTIVATE, WM_ACTIVATE, WM_SETFOCUS, WM_KILLFOCUS};
  EXPECT_EQ(Log().Msgs(a, watched), (std::vector<UINT>{WM_NCACTIVATE, WM_ACTIVATE, WM_KILLFOCUS}));
  EXPECT_EQ(Log().Msgs(b, watched), (std::vector<UINT>{WM_NCACTIVATE, WM_ACTIVATE, WM_SETFOCUS}));
  const auto acts = Log().Of(WM_ACTIVATE);
  EXPECT_EQ(LOWORD(acts[0].wParam), WA_INACTIVE);
  EXPECT_EQ(acts[0].lParam, static_cast<LPARAM>(HandleToValue(b)));
  EXPECT_EQ(LOWORD(acts[1].wParam), WA_ACTIVE);
  EXPECT_EQ(GetTopWindow(nullptr), b);
  EXPECT_EQ(GetFocus(), b);
}

TEST_F(Input, CaptureTakesTheMouseAndAnnouncesItsLoss) {
  HWND a = wintest::MakeTopLevel(0, 0, 100, 100);
  HWND b = wintest::MakeTopLevel(200, 0, 100, 100);
  EXPECT_EQ(SetCapture(a), nullptr);
  Log().Clear();
  EXPECT_EQ(SetCapture(b), a);
  auto changed = Log().Of(WM_CAPTURECHANGED);
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0].hwnd, a);
  EXPECT_EQ(changed[0].lParam, static_cast<LPARAM>(HandleToValue(b)));
  // Moves over `a` go to `b` in `b`'s client coordinates.
  InjectMouseMove(50, 60);
  Log().Clear();
  PumpMessages();
  const auto moves = Log().Of(WM_MOUSEMOVE);
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(moves[0].hwnd, b);
  EXPECT_EQ(GET_X_LPARAM(moves[0].lParam), 50 - 200);
  EXPECT_EQ(GET_Y_LPARAM(moves[0].lParam), 60);
  Log().Clear();
  EXPECT_TRUE(ReleaseCapture());
  changed = Log().Of(WM_CAPTURECHANGED);
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0].hwnd, b);
  EXPECT_EQ(changed[0].lParam, 0);
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(Input, InjectedClicksReachTheWindowUnderThePointer) {
  HWND top = wintest::MakeTopLevel(100, 100, 200, 150, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  HWND button = wintest::MakeChild(top, 20, 30, 50, 20);
  HWND other = wintest::MakeTopLevel(400, 400, 50, 50);
  EXPECT_EQ(GetActiveWindow(), other);
  Log().Clear();
  // Client origin of `top` is (104, 123); the button's is (124, 153).
  InjectClick(130, 160);
  PumpMessages();
  EXPECT_EQ(Log().Msgs(button, {WM_SETCURSOR, WM_MOUSEACTIVATE, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}),
            (std::vector<UINT>{WM_SETCURSOR, WM_SETCURSOR, WM_MOUSEACTIVATE, WM_SETCURSOR, WM_MOUSEMOVE,
                               WM_LBUTTONDOWN, WM_LBUTTONUP}));
  const auto down = Log().Of(WM_LBUTTONDOWN);
  ASSERT_EQ(down.size(), 1u);
  EXPECT_EQ(GET_X_LPARAM(down[0].lParam), 6);
  EXPECT_EQ(GET_Y_LPARAM(down[0].lParam), 7);
  EXPECT_EQ(down[0].wParam, MK_LBUTTON);
  EXPECT_EQ(GetActiveWindow(), top);  // a click activates
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, MAKEINTRESOURCEA(IDC_ARROW)));
  // On the caption the non-client message arrives with the hit code and screen coordinates.
  Log().Clear();
  InjectMouseMove(150, 110);
  InjectMouseButton(1, true);
  InjectMouseButton(1, false);
  PumpMessages();
  const auto nc = Log().Of(WM_NCRBUTTONDOWN);
  ASSERT_EQ(nc.size(), 1u);
  EXPECT_EQ(nc[0].wParam, static_cast<WPARAM>(HTCAPTION));
  EXPECT_EQ(GET_X_LPARAM(nc[0].lParam), 150);
  EXPECT_EQ(GetKeyState(VK_LBUTTON) & 0x8000, 0);
}

TEST_F(Input, DoubleClicksAreTimedOnTheClockAndNeedTheClassStyle) {
  HWND plain = wintest::MakeTopLevel(0, 0, 100, 100);
  HWND dbl = CreateWindowExA(0, wintest::DoubleClickClass(), "", WS_POPUP | WS_VISIBLE, 200, 0, 100, 100, nullptr,
                             nullptr, nullptr, nullptr);
  struct Case {
    HWND hwnd;
    int x;
    uint64_t gapMs;
    int dx;
    UINT second;
  };
  const Case cases[] = {
      {dbl, 250, 100, 0, WM_LBUTTONDBLCLK},
      {dbl, 250, 600, 0, WM_LBUTTONDOWN},   // too slow
      {dbl, 250, 100, 5, WM_LBUTTONDOWN},   // moved too far
      {plain, 50, 100, 0, WM_LBUTTONDOWN},  // class without CS_DBLCLKS
  };
  for (const auto& c : cases) {
    clock_.Advance(1000);
    InjectClick(c.x, 50);
    PumpMessages();
    clock_.Advance(c.gapMs);
    Log().Clear();
    InjectClick(c.x + c.dx, 50);
    PumpMessages();
    EXPECT_EQ(Log().Msgs(c.hwnd, {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}), (std::vector<UINT>{c.second}))
        << c.gapMs << " " << c.dx;
  }
}

TEST_F(Input, MouseLeaveAndHoverFollowTheTrackedWindowEvenWhenCaptured) {
  HWND a = wintest::MakeTopLevel(0, 0, 100, 100);
  HWND b = wintest::MakeTopLevel(200, 0, 100, 100);
  InjectMouseMove(50, 50);
  TRACKMOUSEEVENT tme;
  tme.dwFlags = TME_LEAVE | TME_HOVER;
  tme.hwndTrack = a;
  tme.dwHoverTime = 300;
  ASSERT_TRUE(TrackMouseEvent(&tme));
  Log().Clear();
  clock_.Advance(299);
  EXPECT_TRUE(Log().Of(WM_MOUSEHOVER).empty());
  clock_.Advance(1);
  const auto hover = Log().Of(WM_MOUSEHOVER);
  ASSERT_EQ(hover.size(), 1u);
  EXPECT_EQ(hover[0].hwnd, a);
  EXPECT_EQ(GET_X_LPARAM(hover[0].lParam), 50);
  clock_.Advance(1000);
  EXPECT_EQ(Log().Of(WM_MOUSEHOVER).size(), 1u);  // hover reports once
  // Captured, the window still learns that the pointer left it.
  SetCapture(a);
  Log().Clear();
  InjectMouseMove(250, 50);
  PumpMessages();
  EXPECT_EQ(Log().Msgs(a, {WM_MOUSELEAVE, WM_MOUSEMOVE}), (std::vector<UINT>{WM_MOUSEMOVE, WM_MOUSELEAVE}));
  EXPECT_TRUE(Log().Msgs(b, {WM_MOUSEMOVE}).empty());
  ReleaseCapture();
  tme.dwFlags = TME_QUERY;
  TrackMouseEvent(&tme);
  EXPECT_EQ(tme.dwFlags, 0u);
  // Tracking a window the pointer is not over reports the leave at once.
  tme.dwFlags = TME_LEAVE;
  tme.hwndTrack = a;
  Log().Clear();
  TrackMouseEvent(&tme);
  PumpMessages();
  EXPECT_EQ(Log().Msgs(a, {WM_MOUSELEAVE}).size(), 1u);
}

TEST_F(Input, TypedTextArrivesAsKeysAndCharacters) {
  HWND h = wintest::MakeTopLevel(0, 0, 100, 100);
  ASSERT_EQ(GetFocus(), h);
  Log().Clear();
  InjectText(u"aB!\u00e9");
  PumpMessages();
  std::u16string chars;
  for (const auto& m : Log().Of(WM_CHAR)) chars += static_cast<char16_t>(m.wParam);
  EXPECT_EQ(chars, u"aB!\u00e9");
  const auto downs = Log().Of(WM_KEYDOWN);
  std::vector<WPARAM> keys;
  for (const auto& m : downs) keys.push_back(m.wParam);
  EXPECT_EQ(keys, (std::vector<WPARAM>{'A', VK_SHIFT, 'B', VK_SHIFT, '1', VK_PACKET}));
  EXPECT_EQ(GetKeyState(VK_SHIFT) & 0x8000, 0);
  // The hardware state changes at once; the message state once the key
  // message has been taken from the queue.
  InjectKey(VK_CONTROL, true);
  EXPECT_TRUE(GetAsyncKeyState(VK_CONTROL) < 0);
  EXPECT_FALSE(GetKeyState(VK_CONTROL) < 0);
  PumpMessages();
  EXPECT_TRUE(GetKeyState(VK_CONTROL) < 0);
  Log().Clear();
  InjectKeyPress('C');
  InjectKey(VK_CONTROL, false);
  PumpMessages();
  ASSERT_EQ(Log().Of(WM_CHAR).size(), 1u);
  EXPECT_EQ(Log().Of(WM_CHAR)[0].wParam, 3u);  // Ctrl+C
  // Alt+F4 goes the system way and closes the window.
  InjectKey(VK_MENU, true);
  InjectKeyPress(VK_F4);
  InjectKey(VK_MENU, false);
  PumpMessages();
  EXPECT_FALSE(IsWindow(h));
}

TEST_F(Input, TheDefaultFrameAnswersHitTestsAndDragsByItsCaption) {
  HWND h = wintest::MakeTopLevel(100, 100, 300, 200, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  struct Case {
    int x, y;
    LRESULT hit;
  };
  // Window rectangle 100..400 x 100..300; 4-pixel frame; caption rows 104..122.
  const Case cases[] = {
      {101, 200, HTLEFT},        {398, 200, HTRIGHT},      {250, 101, HTTOP},          {250, 298, HTBOTTOM},
      {101, 101, HTTOPLEFT},     {398, 298, HTBOTTOMRIGHT}, {101, 110, HTTOPLEFT},     {250, 110, HTCAPTION},
      {110, 110, HTSYSMENU},     {390, 112, HTCLOSE},      {368, 112, HTMAXBUTTON},    {352, 112, HTMINBUTTON},
      {250, 200, HTCLIENT},      {50, 50, HTNOWHERE},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SendMessageA(h, WM_NCHITTEST, 0, MAKELPARAM(c.x, c.y)), c.hit) << c.x << "," << c.y;
  // Press on the caption, move, release: the window follows the pointer.
  Log().Clear();
  InjectMouseMove(250, 110);
  InjectMouseButton(0, true);
  InjectMouseMove(260, 130);
  InjectMouseMove(280, 150);
  InjectMouseButton(0, false);
  PumpMessages();
  RECT r;
  GetWindowRect(h, &r);
  EXPECT_EQ(r, (RECT{130, 140, 430, 340}));
  EXPECT_EQ(Log().Msgs(h, {WM_ENTERSIZEMOVE, WM_EXITSIZEMOVE}),
            (std::vector<UINT>{WM_ENTERSIZEMOVE, WM_EXITSIZEMOVE}));
  EXPECT_EQ(GetCapture(), nullptr);
  // Dragging the bottom-right corner sizes it, no smaller than the minimum.
  InjectMouseMove(428, 338);
  InjectMouseButton(0, true);
  InjectMouseMove(100, 100);
  InjectMouseButton(0, false);
  PumpMessages();
  GetWindowRect(h, &r);
  EXPECT_EQ(r, (RECT{130, 140, 130 + 112, 140 + 27}));
  // The close button closes.
  GetWindowRect(h, &r);
  InjectClick(r.right - 10, r.top + 12);
  PumpMessages();
  EXPECT_FALSE(IsWindow(h));
}

namespace {
WNDPROC gPlainProc = nullptr;
// A skinned window that drags itself from a right-button press.
LRESULT DragOnRightPress(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_RBUTTONDOWN) {
    SendMessageA(h, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
    return 0;
  }
  return CallWindowProcA(gPlainProc, h, m, w, l);
}
}  // namespace

TEST_F(Input, AMoveStartedByTheRightButtonEndsWhenItComesUp) {
  HWND h = wintest::MakeTopLevel(100, 100, 200, 100);
  gPlainProc = reinterpret_cast<WNDPROC>(SetWindowLongPtr(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DragOnRightPress)));
  InjectMouseMove(150, 150);
  InjectMouseButton(1, true);
  InjectMouseMove(170, 160);
  InjectMouseButton(1, false);
  InjectMouseMove(250, 250);  // after the release the window stays put
  PumpMessages();
  RECT r;
  GetWindowRect(h, &r);
  EXPECT_EQ(r, (RECT{120, 110, 320, 210}));
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(Input, ClosingAnOwnedDialogGivesActivationBackToItsOwner) {
  HWND main = wintest::MakeTopLevel(0, 0, 300, 300, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  HWND other = wintest::MakeTopLevel(400, 0, 100, 100);
  SetActiveWindow(main);
  HWND dialog = CreateWindowExA(WS_EX_DLGMODALFRAME, wintest::TestClass(), "Settings",
                                WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 50, 50, 200, 150, main, nullptr,
                                nullptr, nullptr);
  EXPECT_EQ(GetActiveWindow(), dialog);
  // A modal loop disables the owner while the dialog runs.
  EnableWindow(main, FALSE);
  EnableWindow(main, TRUE);
  Log().Clear();
  DestroyWindow(dialog);
  EXPECT_EQ(GetActiveWindow(), main);
  EXPECT_EQ(GetFocus(), main);
  const auto acts = Log().Of(WM_ACTIVATE);
  ASSERT_EQ(acts.size(), 2u);
  EXPECT_EQ(acts[0].hwnd, dialog);
  EXPECT_EQ(LOWORD(acts[0].wParam), WA_INACTIVE);
  EXPECT_EQ(acts[1].hwnd, main);
  EXPECT_EQ(LOWORD(acts[1].wParam), WA_ACTIVE);
  // Hiding the active window hands activation to the next one.
  ShowWindow(main, SW_HIDE);
  EXPECT_EQ(GetActiveWindow(), other);
}

TEST_F(Input, KeyNamesScanCodesAndCharacters) {
  struct Case {
    UINT vk;
    const char* name;
  };
  const Case cases[] = {{VK_CONTROL, "Ctrl"}, {VK_RETURN, "Enter"}, {VK_F5, "F5"},     {'S', "S"},
                        {VK_DELETE, "Delete"}, {VK_SPACE, "Space"}, {VK_ESCAPE, "Esc"}, {VK_UP, "Up"}};
  for (const auto& c : cases) {
    const UINT scan = MapVirtualKeyA(c.vk, MAPVK_VK_TO_VSC);
    ASSERT_NE(scan, 0u) << c.name;
    const bool extended = c.vk == VK_DELETE || c.vk == VK_UP;
    char name[32];
    EXPECT_GT(GetKeyNameTextA(static_cast<LONG>((scan << 16) | (extended ? 1u << 24 : 0)), name, sizeof name), 0);
    EXPECT_STREQ(name, c.name);
  }
  EXPECT_EQ(MapVirtualKeyA(0x1E, MAPVK_VSC_TO_VK), static_cast<UINT>('A'));
  EXPECT_EQ(MapVirtualKeyA(VK_OEM_COMMA, MAPVK_VK_TO_CHAR), static_cast<UINT>(','));
  EXPECT_EQ(VkKeyScanA('a'), 'A');
  EXPECT_EQ(VkKeyScanA('?'), 0x100 | VK_OEM_2);
  EXPECT_EQ(VkKeyScanW(u'\u00e9'), -1);
  // Injected key messages carry their scan code, as the class library's
  // shortcut names read it back.
  HWND h = wintest::MakeTopLevel(0, 0, 10, 10);
  ASSERT_EQ(GetFocus(), h);
  Log().Clear();
  InjectKeyPress(VK_F5);
  PumpMessages();
  const auto downs = Log().Of(WM_KEYDOWN);
  ASSERT_EQ(downs.size(), 1u);
  char name[32];
  GetKeyNameTextA(static_cast<LONG>(downs[0].lParam), name, sizeof name);
  EXPECT_STREQ(name, "F5");
}

}  // namespace

namespace {

TEST_F(Input, RightClickAndMenuKeysAskTheWindowAndItsParentForAContextMenu) {
  HWND top = wintest::MakeTopLevel(100, 100, 200, 150, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  HWND child = wintest::MakeChild(top, 20, 30, 50, 20);
  Log().Clear();
  // Client origin of `top` is (104, 123); the child's is (124, 153).
  InjectMouseMove(130, 160);
  InjectMouseButton(1, true);
  InjectMouseButton(1, false);
  PumpMessages();
  auto menus = Log().Of(WM_CONTEXTMENU);
  // The child's default procedure passes the request up to its parent.
  ASSERT_EQ(menus.size(), 2u);
  EXPECT_EQ(menus[0].hwnd, child);
  EXPECT_EQ(menus[1].hwnd, top);
  for (const auto& m : menus) {
    EXPECT_EQ(m.wParam, HandleToValue(child));
    EXPECT_EQ(GET_X_LPARAM(m.lParam), 130);
    EXPECT_EQ(GET_Y_LPARAM(m.lParam), 160);
  }
  // From the keyboard the position is (-1, -1): the menu goes where the focus is.
  Log().Clear();
  SendMessageA(child, WM_KEYUP, VK_APPS, 0);
  menus = Log().Of(WM_CONTEXTMENU);
  ASSERT_FALSE(menus.empty());
  EXPECT_EQ(menus[0].hwnd, child);
  EXPECT_EQ(menus[0].lParam, -1);
}

}  // namespace
