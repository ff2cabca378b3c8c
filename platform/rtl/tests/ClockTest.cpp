#include "platform/rtl/Clock.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

struct RecordingListener : rtl::ClockListener {
  std::vector<uint64_t> dues;
  std::vector<uint64_t> fired;
  std::optional<uint64_t> NextDue() override {
    if (dues.empty()) return std::nullopt;
    return dues.front();
  }
  void OnTick(uint64_t now) override {
    fired.push_back(now);
    dues.erase(dues.begin());
  }
};

TEST(VirtualClock, AdvanceStopsAtEveryDueTickInOrder) {
  rtl::ScopedVirtualClock vc(1000);
  RecordingListener l;
  l.dues = {1010, 1030, 1030, 1200};
  rtl::AddClockListener(&l);
  vc.Advance(100);
  rtl::RemoveClockListener(&l);
  EXPECT_EQ(rtl::GetTickCount64(), 1100u);
  ASSERT_GE(l.fired.size(), 3u);
  EXPECT_EQ(l.fired[0], 1010u);
  EXPECT_EQ(l.fired[1], 1030u);
  EXPECT_EQ(l.dues.back(), 1200u);  // not yet due
}

TEST(VirtualClock, NowFollowsTicksAndSleepOnOwnerAdvances) {
  rtl::ScopedVirtualClock vc(0, 45292.5);
  EXPECT_DOUBLE_EQ(rtl::Now(), 45292.5);
  rtl::Sleep(43'200'000);  // half a day
  EXPECT_DOUBLE_EQ(rtl::Now(), 45293.0);
  EXPECT_EQ(rtl::GetTickCount64(), 43'200'000u);
}

TEST(VirtualClock, SleepOnAnotherThreadWaitsForAdvance) {
  rtl::ScopedVirtualClock vc(0);
  std::atomic<bool> woke{false};
  std::thread t([&] {
    rtl::Sleep(500);
    woke = true;
  });
  // The worker cannot wake before time passes; advancing in steps lets it go.
  while (!woke) vc.Advance(100);
  t.join();
  EXPECT_GE(rtl::GetTickCount64(), 500u);
}

TEST(SystemClock, TicksAreMonotonicAndNowIsToday) {
  const uint64_t a = rtl::GetTickCount64();
  const uint64_t b = rtl::GetTickCount64();
  EXPECT_LE(a, b);
  EXPECT_GT(rtl::Now(), 45000.0);  // after 2023
}

}  // namespace
