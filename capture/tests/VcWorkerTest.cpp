#include "capture/VcWorker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/forms/Forms.h"
#include "platform/rtl/Clock.h"

using namespace capture;

namespace {

constexpr uint32_t kPatience = 10000;  // real ms; only a hang ever uses it up

// Moves the virtual clock on a period at a time until a worker thread has
// signalled `done`: the thread may not have begun its sleep yet when the
// clock first moves.
bool AdvanceUntil(rtl::ScopedVirtualClock& clock, rtl::TEvent& done, uint32_t step = 15) {
  for (int i = 0; i < 2000; ++i) {
    clock.Advance(step);
    if (done.WaitFor(5) == rtl::wrSignaled) return true;
  }
  return false;
}

TEST(VcWorkerCSList, IndexesWalkAndQueueOrder) {
  TCSList<int*> list;
  int a = 1, b = 2, c = 3;
  int cursor = 7;
  EXPECT_EQ(list.First(cursor), nullptr);
  EXPECT_EQ(cursor, 0);
  EXPECT_EQ(list.Add(&a), 0);
  EXPECT_EQ(list.Add(&b), 1);
  EXPECT_EQ(list.Add(&c), 2);
  EXPECT_EQ(list.Add(&a), 3);

  std::vector<int*> walked;
  for (int* p = list.First(cursor); p; p = list.Next(cursor)) walked.push_back(p);
  EXPECT_EQ(walked, (std::vector<int*>{&a, &b, &c, &a}));
  EXPECT_EQ(cursor, 4);
  EXPECT_EQ(list.Next(cursor), nullptr);
  EXPECT_EQ(cursor, 4) << "a walk past the end leaves the cursor";

  // Only the first occurrence goes, and its former index is the answer.
  EXPECT_EQ(list.Remove(&a), 0);
  EXPECT_EQ(list.Remove(&a), 2);
  EXPECT_EQ(list.Remove(&a), -1);
  cursor = 1;
  EXPECT_EQ(list.Next(cursor), &c) << "a cursor is an index: removing before it skips nothing new";

  TCSList<int> queue;
  for (int code : {4, 0, 3}) queue.Add(code);
  std::vector<int> taken;
  int code;
  while (queue.TakeFirst(code)) taken.push_back(code);
  EXPECT_EQ(taken, (std::vector<int>{4, 0, 3}));
  EXPECT_FALSE(queue.TakeFirst(code));
}

// Producers on two threads and a consumer on a third: every item comes out
// once, each producer's items in their order.
TEST(VcWorkerCSList, ProducersAndConsumerOnThreads) {
  TCSList<int> queue;
  constexpr int kEach = 2000;
  auto produce = [&](int base) {
    for (int i = 0; i < kEach; ++i) queue.Add(base + i);
  };
  std::vector<int> got;
  std::thread consumer([&] {
    int item;
    while (static_cast<int>(got.size()) < 2 * kEach)
      if (queue.TakeFirst(item)) got.push_back(item);
  });
  std::thread p1(produce, 0), p2(produce, 100000);
  p1.join();
  p2.join();
  consumer.join();
  ASSERT_EQ(got.size(), 2u * kEach);
  int last1 = -1, last2 = -1;
  for (int v : got) {
    int& last = v < 100000 ? last1 : last2;
    EXPECT_GT(v, last);
    last = v;
  }
  EXPECT_EQ(last1, kEach - 1);
  EXPECT_EQ(last2, 100000 + kEach - 1);
}

// A worker that counts the cycles it ran in each mode. A thread cycle can be
// held open by a gate, to stand for a long task.
class CountingThread : public TDualThread {
public:
  CountingThread(int mode, int period) : TDualThread("count", mode, period) {}
  ~CountingThread() override { EndThread(); }

  std::atomic<int> timerCycles{0};
  std::atomic<int> threadCycles{0};
  std::atomic<bool> bothAtOnce{false};
  std::atomic<bool> holdCycle{false};
  rtl::TEvent cycleEntered{false, false};
  rtl::TEvent cycleDone{false, false};
  rtl::TEvent gate{true, false};

protected:
  void Execute() override {
    while (PausePoint()) {
      if (BeginThreadCycle()) {
        Enter();
        cycleEntered.SetEvent();
        if (holdCycle) gate.WaitFor(kPatience);
        ++threadCycles;
        Leave();
        EndCycle();
        cycleDone.SetEvent();
      }
      SleepPeriod();
    }
  }
  void TimerTick(forms::TObject*) override {
    if (InTimer()) return;
    SetInTimer(true);
    if (TryBeginTimerCycle()) {
      Enter();
      ++timerCycles;
      Leave();
      EndCycle();
    }
    SetInTimer(false);
  }

private:
  void Enter() {
    if (inside_.fetch_add(1) != 0) bothAtOnce = true;
  }
  void Leave() { inside_.fetch_sub(1); }
  std::atomic<int> inside_{0};
};

TEST(VcWorkerDualThread, TimerModeTicksOnlyWhileStarted) {
  rtl::ScopedVirtualClock clock;
  CountingThread t(kDualModeTimer, 15);
  EXPECT_TRUE(t.Stopped());
  EXPECT_TRUE(t.ThreadSuspended());
  clock.Advance(100);
  EXPECT_EQ(t.timerCycles, 0) << "created stopped";

  t.Start();
  clock.Advance(45);
  EXPECT_EQ(t.timerCycles, 3);

  // Periods of 0 and below are ignored; another one applies from now.
  t.SetPeriod(0);
  t.SetPeriod(-15);
  EXPECT_EQ(t.Period(), 15);
  t.SetPeriod(40);
  clock.Advance(80);
  EXPECT_EQ(t.timerCycles, 5);

  t.Stop();
  clock.Advance(200);
  EXPECT_EQ(t.timerCycles, 5);
  EXPECT_EQ(t.threadCycles, 0);
  EXPECT_TRUE(t.ThreadSuspended()) << "the thread never ran in timer mode";
}

TEST(VcWorkerDualThread, SwitchingModesMovesTheWork) {
  rtl::ScopedVirtualClock clock;
  CountingThread t(kDualModeTimer, 15);
  t.Start();
  clock.Advance(30);
  ASSERT_EQ(t.timerCycles, 2);

  t.SetMode(kDualModeThread);
  EXPECT_FALSE(t.ThreadSuspended());
  ASSERT_EQ(t.cycleDone.WaitFor(kPatience), rtl::wrSignaled);
  ASSERT_TRUE(AdvanceUntil(clock, t.cycleDone));
  EXPECT_GE(t.threadCycles, 2);
  EXPECT_EQ(t.timerCycles, 2) << "the timer is off in thread mode";

  t.SetMode(kDualModeTimer);
  ASSERT_TRUE(t.WaitThreadParked(kPatience));
  const int parkedAt = t.threadCycles;
  clock.Advance(45);
  EXPECT_EQ(t.timerCycles, 5);
  EXPECT_EQ(t.threadCycles, parkedAt);

  // Stop in thread mode leaves the running thread running.
  t.SetMode(kDualModeThread);
  t.Stop();
  ASSERT_TRUE(AdvanceUntil(clock, t.cycleDone));
  EXPECT_FALSE(t.ThreadSuspended());
  EXPECT_FALSE(t.bothAtOnce);
}

// A switch to timer mode while the thread is inside a long cycle: the
// timer's ticks are skipped until the thread has left the cycle, so the two
// never work at the same time.
TEST(VcWorkerDualThread, TimerWaitsOutTheThreadsCycle) {
  rtl::ScopedVirtualClock clock;
  CountingThread t(kDualModeThread, 15);
  t.holdCycle = true;
  t.Start();
  ASSERT_EQ(t.cycleEntered.WaitFor(kPatience), rtl::wrSignaled);

  t.SetMode(kDualModeTimer);
  clock.Advance(45);
  EXPECT_EQ(t.timerCycles, 0);

  t.holdCycle = false;
  t.gate.SetEvent();
  ASSERT_TRUE(t.WaitThreadParked(kPatience));
  clock.Advance(30);
  EXPECT_EQ(t.timerCycles, 2);
  EXPECT_EQ(t.threadCycles, 1);
  EXPECT_FALSE(t.bothAtOnce);
}

TEST(VcWorkerDualThread, DestructionEndsTheThreadInAnyState) {
  rtl::ScopedVirtualClock clock;
  // Never started.
  { CountingThread t(kDualModeThread, 15); }
  // Sleeping a long period: the end request cuts the sleep short.
  {
    CountingThread t(kDualModeThread, 10000);
    t.Start();
    ASSERT_EQ(t.cycleDone.WaitFor(kPatience), rtl::wrSignaled);
  }
  // Parked by a switch to timer mode.
  {
    CountingThread t(kDualModeThread, 15);
    t.Start();
    ASSERT_EQ(t.cycleDone.WaitFor(kPatience), rtl::wrSignaled);
    t.SetMode(kDualModeTimer);
    ASSERT_TRUE(t.WaitThreadParked(kPatience));
  }
  // PauseOrEndThread with EndIt ends a parked thread; without, it parks.
  {
    CountingThread t(kDualModeThread, 15);
    t.Start();
    PauseOrEndThread(&t, false);
    EXPECT_TRUE(t.ThreadSuspended());
    ASSERT_TRUE(t.WaitThreadParked(kPatience));
    PauseOrEndThread(&t, true);
    t.WaitFor();
    EXPECT_TRUE(t.Finished());
  }
}

class VcWorkerBusyCursor : public ::testing::Test {
protected:
  void SetUp() override {
    ResetBusyCursorCount();
    forms::Screen->SetCursor(forms::crDefault);
  }
  void TearDown() override { SetUp(); }
};

// Two components nest their busy pairs: the cursor stays busy until the
// outer pair ends, and extra ends never drive the count below 0.
TEST_F(VcWorkerBusyCursor, NestsAcrossComponents) {
  EXPECT_EQ(StepBusyCursor(true, forms::crHourGlass, forms::crDefault), 1);
  EXPECT_EQ(forms::Screen->Cursor(), forms::crHourGlass);
  EXPECT_EQ(StepBusyCursor(true, forms::crHandPoint, forms::crArrow), 2);
  EXPECT_EQ(forms::Screen->Cursor(), forms::crHandPoint);
  EXPECT_EQ(StepBusyCursor(false, forms::crHandPoint, forms::crArrow), 1);
  EXPECT_EQ(forms::Screen->Cursor(), forms::crHandPoint) << "an inner end keeps the busy cursor";
  EXPECT_EQ(StepBusyCursor(false, forms::crHourGlass, forms::crDefault), 0);
  EXPECT_EQ(forms::Screen->Cursor(), forms::crDefault);
  EXPECT_EQ(StepBusyCursor(false, forms::crHourGlass, forms::crDefault), 0);
  EXPECT_EQ(BusyCursorCount(), 0);
  EXPECT_EQ(StepBusyCursor(true, forms::crHourGlass, forms::crDefault), 1);
}

// A component whose busy cursor is crDefault counts along but leaves the
// screen cursor alone, also when its pair ends the nesting.
TEST_F(VcWorkerBusyCursor, DefaultBusyCursorLeavesTheScreenAlone) {
  forms::Screen->SetCursor(forms::crCross);
  EXPECT_EQ(StepBusyCursor(true, forms::crDefault, forms::crArrow), 1);
  EXPECT_EQ(forms::Screen->Cursor(), forms::crCross);
  EXPECT_EQ(StepBusyCursor(false, forms::crDefault, forms::crArrow), 0);
  EXPECT_EQ(forms::Screen->Cursor(), forms::crCross);
}

TEST(VcWorkerPeriod, SleepTimesAndPeriods) {
  for (int32_t v : {0, -2, 10001, -100, 20000}) EXPECT_FALSE(IsValidNotificationSleepTime(v)) << v;
  for (int32_t v : {-1, 1, 15, 10000}) EXPECT_TRUE(IsValidNotificationSleepTime(v)) << v;

  struct Row {
    int32_t state, sleepTime, period, interval;
  };
  const Row rows[] = {
      {0, -1, 15, 7},         // 100 / 15 = 6.67
      {1, 8, 8, 12},          // 12.5 goes to the even 12
      {2, 40, 40, 2},         // 2.5 goes to the even 2
      {1, 60, 60, 2},         // 1.67
      {2, 1, 1, 100},         //
      {4, 10000, 10000, 0},   //
      {3, 40, 15, 7},         // a clip open overrides the sleep time
      {3, -1, 15, 7},         //
  };
  for (const Row& r : rows) {
    const TNotificationPeriod p = NotificationPeriodFor(r.state, EffectiveNotificationPeriod(r.sleepTime));
    EXPECT_EQ(p.Period, r.period) << r.state << "/" << r.sleepTime;
    EXPECT_EQ(p.PlayerStepInterval, r.interval) << r.state << "/" << r.sleepTime;
  }
}

}  // namespace
