#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "WinTestUtil.h"
#include "platform/rtl/Clock.h"
#include "platform/win/Api.h"

namespace {

using namespace win;
using wintest::Log;

class Timers : public ::testing::Test {
protected:
  void TearDown() override { wintest::Cleanup(); }
  rtl::ScopedVirtualClock clock_;
};

TEST_F(Timers, AdvancingTheClockFiresDueTimersInOrderOnTheirThread) {
  HWND h = wintest::MakeTopLevel(0, 0, 10, 10);
  const uint64_t start = rtl::GetTickCount64();
  // The procedure logs; remember the tick at which each WM_TIMER ran.
  static std::vector<std::pair<UINT_PTR, uint64_t>> fired;
  fired.clear();
  static WNDPROC base;
  base = reinterpret_cast<WNDPROC>(SetWindowLongA(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(
      +[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_TIMER) fired.emplace_back(wp, rtl::GetTickCount64());
        return CallWindowProcA(base, w, m, wp, lp);
      })));
  EXPECT_EQ(SetTimer(h, 1, 100, nullptr), 1u);
  EXPECT_EQ(SetTimer(h, 2, 250, nullptr), 2u);
  clock_.Advance(350);
  const std::vector<std::pair<UINT_PTR, uint64_t>> expected = {
      {1, start + 100}, {1, start + 200}, {2, start + 250}, {1, start + 300}};
  EXPECT_EQ(fired, expected);
  // Resetting a timer restarts its period; killing it stops it.
  fired.clear();
  SetTimer(h, 2, 100, nullptr);  // next at +450
  EXPECT_TRUE(KillTimer(h, 1));
  EXPECT_FALSE(KillTimer(h, 1));
  clock_.Advance(150);
  EXPECT_EQ(fired, (std::vector<std::pair<UINT_PTR, uint64_t>>{{2, start + 450}}));
  // A destroyed window's timers die with it.
  DestroyWindow(h);
  fired.clear();
  clock_.Advance(1000);
  EXPECT_TRUE(fired.empty());
}

TEST_F(Timers, TimerMessagesWaitForAnEmptyQueueAndNeverPileUp) {
  HWND h = wintest::MakeTopLevel(0, 0, 10, 10, WS_POPUP);
  SetTimer(h, 7, 100, nullptr);
  // Time passes while this thread is busy elsewhere (another thread moves
  // the clock, so nothing is delivered meanwhile).
  std::thread([&] { clock_.Advance(1000); }).join();
  PostMessageA(h, WM_USER + 1, 0, 0);
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_USER + 1);
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_TIMER);
  EXPECT_EQ(m.wParam, 7u);
  // Ten periods went by, yet only one tick was waiting.
  EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  // Peeking without removing leaves it due.
  std::thread([&] { clock_.Advance(100); }).join();
  ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE));
  ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
}

TEST_F(Timers, ThreadTimersRunTheirProcedure) {
  static std::vector<UINT_PTR> ids;
  ids.clear();
  const UINT_PTR a = SetTimer(nullptr, 0, 50, [](HWND hwnd, UINT msg, UINT_PTR id, DWORD) {
    EXPECT_EQ(hwnd, nullptr);
    EXPECT_EQ(msg, WM_TIMER);
    ids.push_back(id);
  });
  ASSERT_NE(a, 0u);
  clock_.Advance(120);
  EXPECT_EQ(ids, (std::vector<UINT_PTR>{a, a}));
  EXPECT_TRUE(KillTimer(nullptr, a));
  // Intervals below the platform's 10 ms are raised to it.
  HWND h = wintest::MakeTopLevel(0, 0, 10, 10);
  SetTimer(h, 3, 1, nullptr);
  Log().Clear();
  clock_.Advance(25);
  EXPECT_EQ(Log().Of(WM_TIMER).size(), 2u);
}

TEST_F(Timers, AWaitingLoopOnAnotherThreadWakesForItsTimers) {
  std::atomic<int> ticks{0};
  std::atomic<bool> ready{false};
  std::atomic<DWORD> id{0};
  std::thread loop([&] {
    HWND h = CreateWindowExA(0, wintest::TestClass(), "", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
    SetTimer(h, 1, 100, nullptr);
    id = GetCurrentThreadId();
    ready = true;
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
      if (m.message == WM_TIMER && ++ticks == 3) PostQuitMessage(0);
    }
    DestroyWindow(h);
  });
  while (!ready) std::this_thread::yield();
  // Each step lets the loop take its tick before time moves on.
  for (int i = 0; i < 3; ++i) {
    const int before = ticks;
    clock_.Advance(100);
    while (ticks == before) std::this_thread::yield();
  }
  loop.join();
  EXPECT_EQ(ticks.load(), 3);
}

}  // namespace
