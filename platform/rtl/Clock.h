#pragma once
// One clock for the whole process. Tick counts, the wall clock, Sleep and
// every timer above read it, so tests can install a VirtualClock and move
// time forward by hand instead of waiting.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/rtl/Types.h"

namespace rtl {

class Clock {
public:
  virtual ~Clock() = default;
  // Monotonic milliseconds since an arbitrary start.
  virtual uint64_t TickCount64() = 0;
  // Local wall-clock time.
  virtual TDateTime Now() = 0;
  virtual void Sleep(uint32_t ms) = 0;
};

// Something that wants to act when time reaches a tick (the window system's
// timers). The virtual clock stops at each due tick while it advances.
class ClockListener {
public:
  virtual ~ClockListener() = default;
  // The earliest tick this listener waits for, if any.
  virtual std::optional<uint64_t> NextDue() = 0;
  // Called by VirtualClock::Advance with the clock standing at `now`.
  virtual void OnTick(uint64_t now) = 0;
};

void AddClockListener(ClockListener* listener);
void RemoveClockListener(ClockListener* listener);

// The installed clock; the system clock unless a test installed another.
Clock& CurrentClock();
// Installs `clock` (not owned); nullptr restores the system clock.
void SetClock(Clock* clock);
bool IsVirtualClockInstalled();

uint32_t GetTickCount();  // wraps after 49.7 days, as callers expect
uint64_t GetTickCount64();
TDateTime Now();
void Sleep(uint32_t ms);

class VirtualClock : public Clock {
public:
  // Starts at 2024-01-01 12:00:00 local time unless told otherwise.
  explicit VirtualClock(uint64_t startTick = 1'000'000, TDateTime startTime = 45292.5);

  uint64_t TickCount64() override;
  TDateTime Now() override;
  // On the thread that created the clock, Sleep advances it (nobody else
  // would); on any other thread it waits until the clock has been advanced
  // past the deadline.
  void Sleep(uint32_t ms) override;

  // Moves time forward by `ms`, stopping at every tick a listener is due at
  // and telling the listeners there, in order.
  void Advance(uint64_t ms);
  // Sets the wall clock without moving the tick count.
  void SetNow(TDateTime now);

private:
  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t tick_;
  uint64_t startTick_;
  TDateTime startTime_;
  std::thread::id owner_;
};

// Installs a VirtualClock for the lifetime of the object.
class ScopedVirtualClock {
public:
  explicit ScopedVirtualClock(uint64_t startTick = 1'000'000, TDateTime startTime = 45292.5)
      : clock_(startTick, startTime) { SetClock(&clock_); }
  ~ScopedVirtualClock() { SetClock(nullptr); }
  ScopedVirtualClock(const ScopedVirtualClock&) = delete;
  ScopedVirtualClock& operator=(const ScopedVirtualClock&) = delete;
  VirtualClock& clock() { return clock_; }
  void Advance(uint64_t ms) { clock_.Advance(ms); }

private:
  VirtualClock clock_;
};

namespace detail {
// Days from 1970-01-01 to the given proleptic Gregorian date.
constexpr int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}
// TDateTime's day 0 is 1899-12-30.
inline constexpr int64_t kDateDelta = -DaysFromCivil(1899, 12, 30);
}  // namespace detail

}  // namespace rtl
