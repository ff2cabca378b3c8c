#include "platform/forms/Timers.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/rtl/Clock.h"

using namespace forms;

namespace {

// A timer whose ticks are logged as the virtual time they came at.
struct TickLog {
  explicit TickLog(rtl::ScopedVirtualClock& clock) : clock(clock), start(rtl::GetTickCount()) {}
  void Attach(TTimer& t) {
    t.OnTimer = [this](TObject*) { at.push_back(rtl::GetTickCount() - start); };
  }
  rtl::ScopedVirtualClock& clock;
  uint64_t start;
  std::vector<uint64_t> at;
};

}  // namespace

TEST(Timer, TicksEveryIntervalOnTheVirtualClock) {
  rtl::ScopedVirtualClock clock;
  TickLog log(clock);
  TTimer timer(nullptr);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(timer.Interval(), 1000u);
  timer.SetInterval(100);
  log.Attach(timer);
  clock.Advance(350);
  EXPECT_EQ(log.at, (std::vector<uint64_t>{100, 200, 300}));
}

TEST(Timer, IntervalChangeRestartsButEnablingAgainDoesNot) {
  rtl::ScopedVirtualClock clock;
  TickLog log(clock);
  TTimer timer(nullptr);
  timer.SetInterval(100);
  log.Attach(timer);
  clock.Advance(60);
  timer.SetEnabled(true);  // already enabled: the count goes on
  clock.Advance(60);
  EXPECT_EQ(log.at, (std::vector<uint64_t>{100}));
  timer.SetInterval(100);  // the same interval is no change
  clock.Advance(80);
  EXPECT_EQ(log.at, (std::vector<uint64_t>{100, 200}));
  timer.SetInterval(50);  // a new interval counts from now (t = 200)
  clock.Advance(120);
  EXPECT_EQ(log.at, (std::vector<uint64_t>{100, 200, 250, 300}));
  timer.SetEnabled(false);
  clock.Advance(500);
  EXPECT_EQ(log.at.size(), 4u);
  timer.SetEnabled(true);  // restarts from now (t = 820)
  clock.Advance(60);
  EXPECT_EQ(log.at.back(), 870u);
}

TEST(Timer, ZeroIntervalNeverFires) {
  rtl::ScopedVirtualClock clock;
  TickLog log(clock);
  TTimer timer(nullptr);
  timer.SetInterval(0);
  log.Attach(timer);
  clock.Advance(5000);
  EXPECT_TRUE(log.at.empty());
  timer.SetInterval(10);
  clock.Advance(25);
  EXPECT_EQ(log.at.size(), 2u);
}

TEST(Timer, ATimerMayFreeItselfOrAnotherFromItsTick) {
  rtl::ScopedVirtualClock clock;
  TComponent owner(nullptr);
  auto* a = new TTimer(&owner);
  auto* b = new TTimer(&owner);
  a->SetInterval(100);
  b->SetInterval(100);
  int ticksA = 0, ticksB = 0;
  a->OnTimer = [&](TObject*) {
    ++ticksA;
    delete b;  // due at the same tick, after a
    delete a;
  };
  b->OnTimer = [&](TObject*) { ++ticksB; };
  clock.Advance(300);
  EXPECT_EQ(ticksA, 1);
  EXPECT_EQ(ticksB, 0);
  EXPECT_EQ(owner.ComponentCount(), 0);
}

TEST(Timer, TwoTimersTickInTimeOrder) {
  rtl::ScopedVirtualClock clock;
  std::vector<char> order;
  TTimer fast(nullptr), slow(nullptr);
  slow.SetInterval(30);
  fast.SetInterval(20);
  fast.OnTimer = [&](TObject*) { order.push_back('f'); };
  slow.OnTimer = [&](TObject*) { order.push_back('s'); };
  clock.Advance(50);
  EXPECT_EQ(order, (std::vector<char>{'f', 's', 'f'}));
}
