#pragma once
// The notification worker of a capture component and its building blocks:
// a list with a lock of its own, a thread that can also run as a GUI timer,
// the process-wide busy cursor and the worker's period rules.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "capture/VcTypes.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Timers.h"
#include "platform/rtl/Threads.h"
#include "platform/rtl/Types.h"

namespace capture {

using rtl::String;

class TVcEngine;
class TVidCap;

// A list guarded by a critical section of its own. Every operation takes
// the section except Lock and Unlock, which let a holder do compound work
// (several steps that must see the list unchanged) through Items().
template <class T>
class TCSList {
public:
  TCSList() = default;
  TCSList(const TCSList&) = delete;
  TCSList& operator=(const TCSList&) = delete;

  // Appends; the result is the new item's index.
  int Add(T item) {
    std::lock_guard lock(cs_);
    items_.push_back(std::move(item));
    return static_cast<int>(items_.size()) - 1;
  }
  // Removes the first occurrence; its former index, or -1.
  int Remove(const T& item) {
    std::lock_guard lock(cs_);
    for (size_t i = 0; i < items_.size(); ++i) {
      if (items_[i] == item) {
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
        return static_cast<int>(i);
      }
    }
    return -1;
  }
  void Lock() { cs_.Enter(); }
  void Unlock() { cs_.Leave(); }

  // A walk that holds the section for one step at a time: First gives item
  // 0 and sets the cursor to 1 (T{} and cursor 0 when empty); Next gives
  // the item at the cursor and moves it on (T{} past the end).
  T First(int& cursor) {
    std::lock_guard lock(cs_);
    if (items_.empty()) {
      cursor = 0;
      return T{};
    }
    cursor = 1;
    return items_[0];
  }
  T Next(int& cursor) {
    std::lock_guard lock(cs_);
    if (cursor < 0 || cursor >= static_cast<int>(items_.size())) return T{};
    return items_[static_cast<size_t>(cursor++)];
  }

  int Count() {
    std::lock_guard lock(cs_);
    return static_cast<int>(items_.size());
  }
  bool Empty() { return Count() == 0; }
  // Takes item 0 out under the section; false when the list was empty.
  bool TakeFirst(T& out) {
    std::lock_guard lock(cs_);
    if (items_.empty()) return false;
    out = std::move(items_.front());
    items_.erase(items_.begin());
    return true;
  }
  // Empties the list and hands back what it held.
  std::vector<T> TakeAll() {
    std::lock_guard lock(cs_);
    std::vector<T> out;
    out.swap(items_);
    return out;
  }
  // For a holder of Lock only.
  std::vector<T>& Items() { return items_; }

private:
  rtl::TCriticalSection cs_;
  std::vector<T> items_;
};

// Values of the worker's Mode (the component's NotificationMethod).
inline constexpr int kDualModeTimer = 0;
inline constexpr int kDualModeThread = 1;

// A thread with a built-in GUI timer: in timer mode its work runs as the
// timer's ticks on the thread that made the object (the GUI thread), in
// thread mode on the thread itself. Only one of the two ever runs a cycle:
// the timer is enabled only in timer mode, the thread parks itself when
// paused, and a cycle lock covers the moment of a switch, when the thread
// may still be finishing the cycle it had begun.
//
// The platform cannot stop a thread where it stands, so a pause is
// cooperative: the thread parks on a condition variable at its next pause
// point (between cycles) and a request to end it wakes it from there and
// from its sleep between cycles.
class TDualThread : public rtl::TThread {
public:
  TDualThread(const String& name, int mode, int period);
  ~TDualThread() override;

  // Mode 0: pauses the thread and runs the timer while not Stopped.
  // Mode 1: stops the timer and lets the thread run while not Stopped.
  // Other values are only stored. The timer belongs to the thread that made
  // the object (the GUI thread): asked on another thread, its part is
  // queued for the GUI thread.
  void SetMode(int mode);
  // Ignored for 0 and below.
  void SetPeriod(int value);
  void Start();
  // In thread mode a running thread keeps running: its own loop decides.
  void Stop();

  // The thread's pause: Suspend parks it at its next pause point (it may
  // finish the cycle it is in); Resume lets it go on, or begin.
  void SuspendThread();
  void ResumeThread();
  bool ThreadSuspended();
  // True while the thread sits parked at a pause point.
  bool ThreadParked();
  // Waits (real time, at most `ms`) until the thread is parked or has ended.
  bool WaitThreadParked(uint32_t ms);

  const String& Name() const { return name_; }
  int Mode() const { return mode_; }
  int Period() const { return period_.load(std::memory_order_relaxed); }
  bool Stopped() const { return stopped_; }
  forms::TTimer* Timer() const { return timer_.get(); }
  bool InTimer() const { return inTimer_; }
  bool WaitOnDestroy() const { return waitOnDestroy_; }
  void SetWaitOnDestroy(bool v) { waitOnDestroy_ = v; }

protected:
  // The timer's handler, on the GUI thread.
  virtual void TimerTick(forms::TObject* sender) = 0;

  // For Execute loops: parks while paused; false once the thread is to end.
  bool PausePoint();
  // The sleep between cycles; a pause or an end request cuts it short.
  void SleepPeriod();
  // The lock that keeps the timer's and the thread's cycles apart. The
  // timer only tries it (a tick that finds the thread mid-cycle is skipped,
  // never waits for it); the thread takes it and gives up the cycle when a
  // pause came meanwhile.
  bool TryBeginTimerCycle() { return cycle_.try_lock(); }
  bool BeginThreadCycle();
  void EndCycle() { cycle_.unlock(); }

  // Ends the thread: terminates it and, with WaitOnDestroy, waits for it.
  // Every derived class whose Execute uses its own members calls it in its
  // destructor, before those members go.
  void EndThread();
  void SetInTimer(bool v) { inTimer_ = v; }
  // The timer's interval and whether it runs, from Period, Mode and Stopped.
  void UpdateTimer();

  void TerminatedSet() override;

private:
  String name_;
  uint32_t timerThread_;
  std::unique_ptr<forms::TTimer> timer_;
  bool inTimer_ = false;
  std::atomic<bool> stopped_{true};
  std::atomic<int> mode_{kDualModeTimer};
  std::atomic<int> period_{0};
  bool waitOnDestroy_ = true;

  std::mutex pauseMutex_;
  std::condition_variable pauseChanged_;
  bool begun_ = false;      // the OS thread has been let go once
  bool pauseWanted_ = false;
  bool parked_ = false;
  bool ended_ = false;
  rtl::TEvent wake_{false, false};
  std::mutex cycle_;
};

// With EndIt: lets a paused thread go and ends it; without: pauses it.
void PauseOrEndThread(TDualThread* thread, bool EndIt);

// A worker of one capture control.
class TVidCapThread : public TDualThread {
public:
  TVidCapThread(const String& Name, int Mode, TVidCap* Owner, int Period)
      : TDualThread(Name, Mode, Period), Owner(Owner) {}
  TVidCap* const Owner;
};

// The notification worker "task": each cycle runs at most one queued task
// and raises at most one queued event (on a timer tick the event comes
// first), lets a graph that waited for a synchronized start run, and does
// the periodic work of an active graph.
class TTaskThread : public TVidCapThread {
public:
  TTaskThread(const String& Name, int Mode, TVidCap* Owner, int Period) : TVidCapThread(Name, Mode, Owner, Period) {}
  ~TTaskThread() override { EndThread(); }

protected:
  void Execute() override;
  void TimerTick(forms::TObject* Sender) override;

private:
  void Cycle(TVcEngine* Engine, bool EventFirst);
  void SafeCycle(TVcEngine* Engine, bool EventFirst);
};

// A queued event. Events are named by an id, not by their handler (handlers
// cannot be compared); whether a handler was assigned is noted when the
// event is posted, and an event posted without one is dropped when its turn
// comes. What the event carries is read from the engine when it is raised.
struct TVcEventRecord {
  TVcQueuedEvent Event = qe_RecordingStarted;
  bool HandlerAssigned = false;
  TVcEngine* Engine = nullptr;
  // A recording event that must name the file of its own moment (a renewed
  // recording announces the old file while the new one is being written).
  bool HasFileName = false;
  String FileName;
};

// The busy cursor of an engine's long operations: steps the process-wide
// count, traces it and sets or clears the engine's busy flag.
void SetBusyCursor(TVcEngine* Engine, bool Busy);

// The busy cursor: one nesting count for the whole process. A step up makes
// the screen cursor `busyCursor`, a step down to 0 gives it `normalCursor`,
// neither when `busyCursor` is crDefault; the count never goes below 0.
// Returns the new count.
int StepBusyCursor(bool busy, forms::TCursor busyCursor, forms::TCursor normalCursor);
int BusyCursorCount();
// For tests: back to no busy operation.
void ResetBusyCursorCount();

// NotificationSleepTime: -1 (the default period) or 1..10000 ms.
bool IsValidNotificationSleepTime(int32_t value);
// The period a sleep time stands for: 15 ms for -1.
int32_t EffectiveNotificationPeriod(int32_t sleepTime);

struct TNotificationPeriod {
  int32_t Period;              // ms between the worker's cycles
  int32_t PlayerStepInterval;  // cycles between two steps of stepped playback
};
// The worker's period for an engine state: 15 ms and 7 cycles with a clip
// open (state 3), else the effective period and 100 ms worth of cycles
// (rounded, halves to even).
TNotificationPeriod NotificationPeriodFor(int32_t engineState, int32_t effectivePeriod);

}  // namespace capture
