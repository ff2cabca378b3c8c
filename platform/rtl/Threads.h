#pragma once
// Threads, locks and events in the class library's shape, over std::thread.
//
// The main thread is the GUI thread. Worker threads reach it with
// Synchronize (blocking) and Queue (fire and forget). Calls are kept in one
// queue here and run by CheckSynchronize on the main thread; the window
// system's message loop arranges for that by installing a MainThreadHook
// (called with a runner to post into the GUI thread's queue) and/or a wake-up
// callback (to leave a blocking wait for input) and calling
// CheckSynchronize. Without either, the main thread must call
// CheckSynchronize itself, as a console program of the class library does.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/rtl/Types.h"

namespace rtl {

// A wait without a time limit.
inline constexpr uint32_t INFINITE = 0xFFFFFFFFu;

// The kernel's id of the calling thread (what `ps -L` shows).
uint32_t GetCurrentThreadId();
// The id of the main (GUI) thread: the thread that started the process,
// unless set otherwise.
uint32_t MainThreadID();
// Makes another thread the main thread, for programs (and tests) whose GUI
// thread is not the one that started the process.
void SetMainThreadId(uint32_t id);
bool IsMainThread();

using TThreadMethod = std::function<void()>;

// Given a runner, the hook must see to it that the runner is called on the
// main thread soon (the message loop posts it into the GUI thread's queue).
// The runner runs every pending call; running it late or twice is harmless.
using MainThreadHook = std::function<void(std::function<void()> runner)>;
// Installs the hook; an empty function removes it.
void SetMainThreadHook(MainThreadHook hook);
// Called (on the queuing thread) whenever a call is queued for the main
// thread, so that a loop blocked waiting for input wakes up.
void SetWakeMainThread(std::function<void()> wake);

// Runs the calls queued for the main thread, oldest first. Only the main
// thread may call it (EThread otherwise). With nothing queued it waits up to
// `timeoutMs` (real time) for a call. True when at least one call ran. A
// queued (not synchronized) call that throws leaves the rest queued and the
// exception goes to the caller.
bool CheckSynchronize(uint32_t timeoutMs = 0);
// True when calls are waiting for CheckSynchronize.
bool SynchronizePending();

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// A thread object in the class library's shape.
//
// The OS thread is made by the constructor and waits there until started:
// ThreadID() and Handle() are valid at once. Because C++ has no step after
// the most derived constructor, a thread constructed with CreateSuspended =
// false begins only when AfterConstruction() is called; NewThread<T>() does
// both.
//
// Lifetime: a thread with FreeOnTerminate deletes itself after OnTerminate
// has run; nobody else may delete it, nor touch it once it may have ended.
// Any other thread belongs to its creator (a std::unique_ptr), who must stop
// it (Terminate, then WaitFor) before the object goes: the destructor does
// this too, but only after the derived part is already gone, so Execute must
// not be using it by then.
class TThread {
public:
  using TNotifyEvent = std::function<void(TThread* Sender)>;

  explicit TThread(bool CreateSuspended);
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Lets a thread created with CreateSuspended = false begin. Idempotent.
  void AfterConstruction();

  // Starts a thread created suspended. EThread when it was started already.
  void Start();
  // Lets a suspended thread go on (or begin); no effect otherwise.
  void Resume();
  // Suspends the thread. Called on the thread itself, it blocks until
  // another thread calls Resume. Called from another thread, it cannot stop
  // the thread where it stands (the OS has no safe way to); the thread stops
  // the next time it asks Terminated(), which every Execute loop does.
  void Suspend();
  bool Suspended() const;

  // Asks the thread to end: Terminated() becomes true. Execute decides when.
  void Terminate();
  bool Terminated();

  // Waits until the thread has ended (on the main thread, queued calls keep
  // running meanwhile, so a thread synchronizing with it cannot deadlock)
  // and returns ReturnValue. EThread when called on the thread itself or on
  // a thread that frees itself.
  uint32_t WaitFor();

  bool Finished() const;
  uint32_t ReturnValue() const;
  bool FreeOnTerminate() const;
  void SetFreeOnTerminate(bool value);
  // Kept for the API; the OS thread's scheduling priority is not changed
  // (an unprivileged process could lower it but never raise it back).
  TThreadPriority Priority() const;
  void SetPriority(TThreadPriority value);
  uint32_t ThreadID() const;
  uintptr_t Handle() const;
  // The exception that escaped Execute, if any. It is kept here and never
  // leaves the thread on its own.
  std::exception_ptr FatalException() const;

  // Runs on the main thread, through Synchronize, after Execute has ended.
  // Set it before the thread starts. A handler must not destroy the thread
  // object: its thread is still waiting for the handler to return.
  TNotifyEvent OnTerminate;

  // Runs `method` on the main thread and waits for it; an exception it
  // raises is raised again in the caller. From the main thread it runs at
  // once. `thread` may be null (a caller that is not a TThread).
  static void Synchronize(TThread* thread, TThreadMethod method);
  // Queues `method` for the main thread without waiting; from the main
  // thread it runs at once. Calls queued for `thread` are dropped when that
  // thread object is destroyed before they ran.
  static void Queue(TThread* thread, TThreadMethod method);
  // Drops the calls still queued for `thread`.
  static void RemoveQueuedEvents(TThread* thread);

protected:
  virtual void Execute() = 0;
  // Runs OnTerminate through Synchronize.
  virtual void DoTerminate();
  // Called by Terminate, on the terminating thread: a thread blocked on an
  // event of its own can wake itself here.
  virtual void TerminatedSet() {}

  void Synchronize(TThreadMethod method) { Synchronize(this, std::move(method)); }
  void Queue(TThreadMethod method) { Queue(this, std::move(method)); }
  void SetReturnValue(uint32_t value);

private:
  struct State;
  static void Run(TThread* self, std::shared_ptr<State> state);
  void WaitUntilSuspensionLifted();
  void WaitUntilFinished();

  std::shared_ptr<State> state_;
  std::thread thread_;
};

// Makes a thread and lets it begin unless it was created suspended: the
// step that ends construction in the class library. The result is owned by
// the caller, unless the thread frees itself (see TThread).
template <class T, class... Args>
T* NewThread(Args&&... args) {
  T* thread = new T(std::forward<Args>(args)...);
  thread->AfterConstruction();
  return thread;
}

// A re-entrant lock: the thread that holds it may enter it again and must
// leave it as often. Also meets BasicLockable, for std::lock_guard.
class TCriticalSection {
public:
  void Enter() { mutex_.lock(); }
  void Leave() { mutex_.unlock(); }
  void Acquire() { Enter(); }
  void Release() { Leave(); }
  bool TryEnter() { return mutex_.try_lock(); }

  void lock() { Enter(); }
  void unlock() { Leave(); }
  bool try_lock() { return TryEnter(); }

private:
  std::recursive_mutex mutex_;
};

enum TWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError, wrIOCompletion };

// A manual- or auto-reset event.
//
// Timeouts are counted on the process clock (platform/rtl/Clock.h). Under a
// virtual clock a thread other than the main thread times out only when the
// clock has been advanced past its deadline, as VirtualClock::Sleep does;
// the main thread, which is the one advancing a virtual clock in tests,
// always measures its timeouts in real time so that it cannot wait for
// itself.
//
// Destroying an event wakes its waiters with wrAbandoned; they must not
// touch it afterwards.
class TEvent {
public:
  explicit TEvent(bool ManualReset = true, bool InitialState = false);
  virtual ~TEvent();
  TEvent(const TEvent&) = delete;
  TEvent& operator=(const TEvent&) = delete;

  // Manual reset: stays signalled and releases every waiter until reset.
  // Auto reset: releases exactly one waiter (now or the next to come), then
  // is non-signalled again.
  void SetEvent();
  void ResetEvent();
  TWaitResult WaitFor(uint32_t Timeout = INFINITE);

private:
  struct State;
  std::shared_ptr<State> state_;
};

// A manual-reset event that starts non-signalled.
class TSimpleEvent : public TEvent {
public:
  TSimpleEvent() : TEvent(true, false) {}
};

// Atomic operations on a plain 32-bit integer. Every concurrent access to
// the integer must go through these (or another atomic access).
inline int32_t InterlockedIncrement(int32_t& target) {
  return std::atomic_ref<int32_t>(target).fetch_add(1) + 1;
}
inline int32_t InterlockedDecrement(int32_t& target) {
  return std::atomic_ref<int32_t>(target).fetch_sub(1) - 1;
}
// Returns the previous value.
inline int32_t InterlockedExchange(int32_t& target, int32_t value) {
  return std::atomic_ref<int32_t>(target).exchange(value);
}
// Stores `exchange` when the target equals `comparand`; returns the value
// the target had before, either way.
inline int32_t InterlockedCompareExchange(int32_t& target, int32_t exchange, int32_t comparand) {
  std::atomic_ref<int32_t>(target).compare_exchange_strong(comparand, exchange);
  return comparand;
}

}  // namespace rtl
