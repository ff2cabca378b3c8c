#include "capture/VcWorker.h"

#include <cmath>

#include "platform/forms/Forms.h"

namespace capture {

// ---------------------------------------------------------------------------
// TDualThread

TDualThread::TDualThread(const String& name, int mode, int period)
    : rtl::TThread(/*CreateSuspended=*/true),
      name_(name),
      timerThread_(rtl::GetCurrentThreadId()),
      timer_(std::make_unique<forms::TTimer>(nullptr)) {
  timer_->SetEnabled(false);
  timer_->OnTimer = [this](forms::TObject* sender) { TimerTick(sender); };
  SetMode(mode);
  SetPeriod(period);
}

TDualThread::~TDualThread() { EndThread(); }

void TDualThread::SetMode(int mode) {
  mode_ = mode;
  if (mode == kDualModeTimer) {
    if (!ThreadSuspended()) SuspendThread();
    UpdateTimer();
  } else if (mode == kDualModeThread) {
    UpdateTimer();
    if (ThreadSuspended() && !stopped_) ResumeThread();
  }
}

void TDualThread::SetPeriod(int value) {
  if (value <= 0) return;
  period_.store(value, std::memory_order_relaxed);
  UpdateTimer();
}

void TDualThread::UpdateTimer() {
  if (rtl::GetCurrentThreadId() != timerThread_) {
    // The timer lives on the thread that made it (the GUI thread): a
    // change asked for elsewhere, such as a handler on the worker thread
    // switching the mode, is carried out there.
    if (timerThread_ == rtl::MainThreadID() && !rtl::IsMainThread()) Queue([this] { UpdateTimer(); });
    return;
  }
  if (!timer_) return;
  timer_->SetInterval(static_cast<uint32_t>(Period()));
  timer_->SetEnabled(mode_ == kDualModeTimer && !stopped_);
}

void TDualThread::Start() {
  stopped_ = false;
  SetMode(mode_);
}

void TDualThread::Stop() {
  stopped_ = true;
  SetMode(mode_);
}

void TDualThread::SuspendThread() {
  {
    std::lock_guard lock(pauseMutex_);
    if (!begun_ || pauseWanted_) return;
    pauseWanted_ = true;
  }
  // Out of its sleep, so that it parks now rather than a period later.
  wake_.SetEvent();
}

void TDualThread::ResumeThread() {
  bool first = false;
  {
    std::lock_guard lock(pauseMutex_);
    if (!begun_) {
      begun_ = true;
      first = true;
    }
    pauseWanted_ = false;
  }
  pauseChanged_.notify_all();
  if (first) rtl::TThread::Resume();
}

bool TDualThread::ThreadSuspended() {
  std::lock_guard lock(pauseMutex_);
  return !begun_ || pauseWanted_;
}

bool TDualThread::ThreadParked() {
  std::lock_guard lock(pauseMutex_);
  return parked_;
}

bool TDualThread::WaitThreadParked(uint32_t ms) {
  std::unique_lock lock(pauseMutex_);
  return pauseChanged_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return parked_ || Finished(); });
}

bool TDualThread::PausePoint() {
  {
    std::unique_lock lock(pauseMutex_);
    parked_ = pauseWanted_ && !ended_;
    if (parked_) pauseChanged_.notify_all();
    pauseChanged_.wait(lock, [&] { return !pauseWanted_ || ended_; });
    parked_ = false;
  }
  return !Terminated();
}

void TDualThread::SleepPeriod() {
  {
    std::lock_guard lock(pauseMutex_);
    if (ended_ || pauseWanted_) return;
  }
  wake_.WaitFor(static_cast<uint32_t>(Period() > 0 ? Period() : 1));
}

bool TDualThread::BeginThreadCycle() {
  cycle_.lock();
  std::lock_guard lock(pauseMutex_);
  if (pauseWanted_ || ended_) {
    cycle_.unlock();
    return false;
  }
  return true;
}

void TDualThread::TerminatedSet() {
  {
    std::lock_guard lock(pauseMutex_);
    ended_ = true;
  }
  pauseChanged_.notify_all();
  wake_.SetEvent();
}

void TDualThread::EndThread() {
  timer_.reset();
  if (Finished()) return;
  Terminate();
  bool letGo = false;
  {
    std::lock_guard lock(pauseMutex_);
    if (!begun_) {
      begun_ = true;
      letGo = true;
    }
  }
  // A thread that never ran is let go only to see that it is terminated.
  if (letGo) rtl::TThread::Resume();
  if (waitOnDestroy_ && rtl::GetCurrentThreadId() != ThreadID()) WaitFor();
  RemoveQueuedEvents(this);
}

void PauseOrEndThread(TDualThread* thread, bool EndIt) {
  if (!thread) return;
  if (EndIt) {
    if (thread->ThreadSuspended()) thread->ResumeThread();
    thread->Terminate();
  } else if (!thread->ThreadSuspended()) {
    thread->SuspendThread();
  }
}

// ---------------------------------------------------------------------------
// Busy cursor

namespace {
std::atomic<int> g_busyCount{0};
}

int StepBusyCursor(bool busy, forms::TCursor busyCursor, forms::TCursor normalCursor) {
  int count;
  if (busy) {
    count = g_busyCount.fetch_add(1) + 1;
    if (busyCursor != forms::crDefault && forms::Screen) forms::Screen->SetCursor(busyCursor);
    return count;
  }
  int current = g_busyCount.load();
  do {
    count = current > 0 ? current - 1 : 0;
  } while (!g_busyCount.compare_exchange_weak(current, count));
  if (count == 0 && busyCursor != forms::crDefault && forms::Screen) forms::Screen->SetCursor(normalCursor);
  return count;
}

int BusyCursorCount() { return g_busyCount.load(); }

void ResetBusyCursorCount() { g_busyCount.store(0); }

// ---------------------------------------------------------------------------
// Period rules

bool IsValidNotificationSleepTime(int32_t value) { return value == -1 || (value >= 1 && value <= 10000); }

int32_t EffectiveNotificationPeriod(int32_t sleepTime) { return sleepTime == -1 ? 15 : sleepTime; }

TNotificationPeriod NotificationPeriodFor(int32_t engineState, int32_t effectivePeriod) {
  constexpr int32_t kPlayerOpen = 3;
  if (engineState == kPlayerOpen) return {15, 7};
  if (effectivePeriod <= 0) effectivePeriod = 15;
  return {effectivePeriod, static_cast<int32_t>(std::nearbyint(100.0 / effectivePeriod))};
}

}  // namespace capture
