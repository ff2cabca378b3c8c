#include "platform/rtl/Clock.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <vector>

namespace rtl {
namespace {

class SystemClock final : public Clock {
public:
  uint64_t TickCount64() override {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
  TDateTime Now() override {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    const int64_t days = detail::DaysFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
                         detail::kDateDelta;
    const double ms = ((local.tm_hour * 60.0 + local.tm_min) * 60.0 + local.tm_sec) * 1000.0 +
                      static_cast<double>(ts.tv_nsec / 1'000'000);
    return static_cast<double>(days) + ms / 86'400'000.0;
  }
  void Sleep(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

SystemClock& systemClock() {
  static SystemClock clock;
  return clock;
}

std::atomic<Clock*> installed{nullptr};

std::mutex& listenersMutex() {
  static std::mutex m;
  return m;
}
std::vector<ClockListener*>& listeners() {
  static std::vector<ClockListener*> v;
  return v;
}

}  // namespace

void AddClockListener(ClockListener* listener) {
  std::lock_guard lock(listenersMutex());
  listeners().push_back(listener);
}

void RemoveClockListener(ClockListener* listener) {
  std::lock_guard lock(listenersMutex());
  auto& v = listeners();
  v.erase(std::remove(v.begin(), v.end(), listener), v.end());
}

Clock& CurrentClock() {
  Clock* c = installed.load(std::memory_order_acquire);
  return c ? *c : systemClock();
}

void SetClock(Clock* clock) { installed.store(clock, std::memory_order_release); }

bool IsVirtualClockInstalled() { return installed.load(std::memory_order_acquire) != nullptr; }

uint32_t GetTickCount() { return static_cast<uint32_t>(CurrentClock().TickCount64()); }
uint64_t GetTickCount64() { return CurrentClock().TickCount64(); }
TDateTime Now() { return CurrentClock().Now(); }
void Sleep(uint32_t ms) { CurrentClock().Sleep(ms); }

VirtualClock::VirtualClock(uint64_t startTick, TDateTime startTime)
    : tick_(startTick), startTick_(startTick), startTime_(startTime), owner_(std::this_thread::get_id()) {}

uint64_t VirtualClock::TickCount64() {
  std::lock_guard lock(mutex_);
  return tick_;
}

TDateTime VirtualClock::Now() {
  std::lock_guard lock(mutex_);
  return startTime_ + static_cast<double>(tick_ - startTick_) / 86'400'000.0;
}

void VirtualClock::SetNow(TDateTime now) {
  std::lock_guard lock(mutex_);
  startTime_ = now;
  startTick_ = tick_;
}

void VirtualClock::Sleep(uint32_t ms) {
  if (std::this_thread::get_id() == owner_) {
    Advance(ms);
    return;
  }
  std::unique_lock lock(mutex_);
  const uint64_t deadline = tick_ + ms;
  changed_.wait(lock, [&] { return tick_ >= deadline; });
}

void VirtualClock::Advance(uint64_t ms) {
  uint64_t target;
  {
    std::lock_guard lock(mutex_);
    target = tick_ + ms;
  }
  // Listeners are called without any lock held: they post messages, run
  // timer procedures and may read the clock or add timers themselves.
  for (;;) {
    std::vector<ClockListener*> snapshot;
    {
      std::lock_guard lock(listenersMutex());
      snapshot = listeners();
    }
    std::optional<uint64_t> due;
    for (auto* l : snapshot) {
      if (auto d = l->NextDue(); d && (!due || *d < *due)) due = d;
    }
    uint64_t now;
    {
      std::lock_guard lock(mutex_);
      if (!due || *due > target) {
        tick_ = target;
      } else {
        tick_ = std::max(tick_, *due);
      }
      now = tick_;
    }
    changed_.notify_all();
    if (!due || *due > target) break;
    for (auto* l : snapshot) {
      if (auto d = l->NextDue(); d && *d <= now) l->OnTick(now);
    }
    // A listener that stays due at this tick after being told would loop
    // forever; time has to move on.
    bool stillDue = false;
    for (auto* l : snapshot) {
      if (auto d = l->NextDue(); d && *d <= now) stillDue = true;
    }
    if (stillDue && now == target) break;
    if (stillDue) {
      std::lock_guard lock(mutex_);
      ++tick_;
    }
  }
}

}  // namespace rtl
