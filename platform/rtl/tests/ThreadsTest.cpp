#include "platform/rtl/Threads.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <vector>

#include "platform/rtl/Clock.h"
#include "platform/rtl/Exceptions.h"

namespace {

using rtl::TThread;

class LambdaThread : public TThread {
public:
  using Body = std::function<void(LambdaThread&)>;
  LambdaThread(bool createSuspended, Body body) : TThread(createSuspended), body_(std::move(body)) {}
  using TThread::Queue;
  using TThread::SetReturnValue;
  using TThread::Synchronize;

protected:
  void Execute() override { body_(*this); }

private:
  Body body_;
};

// The kernel's view of a thread: 'S' while it is blocked, 'R' while it runs
// or waits for a processor.
char ThreadState(uint32_t tid) {
  std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/stat");
  std::string line;
  std::getline(in, line);
  const auto close = line.rfind(')');
  return close == std::string::npos || close + 2 >= line.size() ? '?' : line[close + 2];
}

// Waits (yielding, with a generous guard) until the thread is blocked.
void WaitUntilBlocked(uint32_t tid) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (ThreadState(tid) != 'S') {
    ASSERT_LT(std::chrono::steady_clock::now(), giveUp) << "thread " << tid << " never blocked";
    std::this_thread::yield();
  }
}

TEST(Threads, TheTestRunnerIsTheMainThread) {
  EXPECT_TRUE(rtl::IsMainThread());
  EXPECT_EQ(rtl::MainThreadID(), rtl::GetCurrentThreadId());
  uint32_t workerId = 0;
  bool workerIsMain = true;
  std::thread([&] {
    workerId = rtl::GetCurrentThreadId();
    workerIsMain = rtl::IsMainThread();
  }).join();
  EXPECT_NE(workerId, rtl::MainThreadID());
  EXPECT_FALSE(workerIsMain);
  EXPECT_THROW(std::async(std::launch::async, [] { rtl::CheckSynchronize(); }).get(), rtl::EThread);
}

// Calls a worker queues and synchronizes reach the main thread in order,
// Synchronize returns only after its call ran and brings its exception back.
TEST(Threads, SynchronizeAndQueueRunOnTheMainThreadThroughCheckSynchronize) {
  std::vector<std::string> log;  // touched on the main thread only
  std::vector<std::string> workerLog;
  auto t = std::make_unique<LambdaThread>(true, [&](LambdaThread& self) {
    self.Queue([&] { log.push_back(rtl::IsMainThread() ? "A main" : "A worker"); });
    self.Synchronize([&] { log.push_back(rtl::IsMainThread() ? "B main" : "B worker"); });
    workerLog.push_back("after B, log has " + std::to_string(log.size()));
    try {
      TThread::Synchronize(nullptr, [] { throw rtl::EConvertError("bad value"); });
    } catch (const rtl::EConvertError& e) {
      workerLog.push_back("caught " + e.Message());
    }
    self.Queue([&] { log.push_back("C"); });
    self.SetReturnValue(7);
  });
  t->Start();
  while (log.size() < 3) rtl::CheckSynchronize(rtl::INFINITE);
  EXPECT_EQ(t->WaitFor(), 7u);
  EXPECT_EQ(log, (std::vector<std::string>{"A main", "B main", "C"}));
  EXPECT_EQ(workerLog, (std::vector<std::string>{"after B, log has 2", "caught bad value"}));
  EXPECT_FALSE(rtl::SynchronizePending());
}

// What the message loop does: the hook posts the runner into its own queue,
// the wake-up callback is told, and the loop runs the runner later.
TEST(Threads, AnInstalledHookCarriesCallsToTheMainThread) {
  std::mutex m;
  std::condition_variable cv;
  std::deque<std::function<void()>> posted;
  int wakes = 0;
  rtl::SetMainThreadHook([&](std::function<void()> runner) {
    std::lock_guard lock(m);
    posted.push_back(std::move(runner));
    cv.notify_all();
  });
  rtl::SetWakeMainThread([&] {
    std::lock_guard lock(m);
    ++wakes;
  });
  std::vector<std::string> log;
  auto t = std::make_unique<LambdaThread>(true, [&](LambdaThread& self) {
    self.Queue([&] { log.push_back("queued"); });
    self.Synchronize([&] { log.push_back(rtl::IsMainThread() ? "sync on main" : "sync elsewhere"); });
  });
  t->Start();
  while (log.size() < 2) {
    std::function<void()> runner;
    {
      std::unique_lock lock(m);
      cv.wait(lock, [&] { return !posted.empty(); });
      runner = std::move(posted.front());
      posted.pop_front();
    }
    runner();
  }
  t->WaitFor();
  rtl::SetMainThreadHook(nullptr);
  rtl::SetWakeMainThread(nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"queued", "sync on main"}));
  EXPECT_EQ(wakes, 2);
  // A runner delivered after its calls already ran finds nothing to do.
  for (auto& r : posted) r();
  EXPECT_EQ(log.size(), 2u);
}

TEST(Threads, FromTheMainThreadSynchronizeAndQueueRunAtOnce) {
  int ran = 0;
  TThread::Synchronize(nullptr, [&] { ++ran; });
  TThread::Queue(nullptr, [&] { ++ran; });
  EXPECT_EQ(ran, 2);
  EXPECT_FALSE(rtl::SynchronizePending());
}

TEST(Threads, AQueuedCallThatThrowsLeavesTheRestQueued) {
  int ran = 0;
  std::thread([&] {
    TThread::Queue(nullptr, [] { throw rtl::EAbort("stop"); });
    TThread::Queue(nullptr, [&] { ++ran; });
  }).join();
  EXPECT_THROW(rtl::CheckSynchronize(), rtl::EAbort);
  EXPECT_TRUE(rtl::SynchronizePending());
  EXPECT_TRUE(rtl::CheckSynchronize());
  EXPECT_EQ(ran, 1);
}

TEST(Threads, CallsQueuedForAThreadAreDroppedWithIt) {
  int ran = 0;
  auto t = std::make_unique<LambdaThread>(true, [&](LambdaThread& self) {
    self.Queue([&] { ran += 1; });
    TThread::Queue(nullptr, [&] { ran += 10; });
  });
  t->Start();
  // WaitFor on the main thread runs queued calls, so wait elsewhere.
  std::async(std::launch::async, [&] { t->WaitFor(); }).get();
  EXPECT_TRUE(rtl::SynchronizePending());
  t.reset();
  rtl::CheckSynchronize();
  EXPECT_EQ(ran, 10);
}

// OnTerminate goes through Synchronize; the main thread's WaitFor keeps
// running such calls, so it does not deadlock with the ending thread.
TEST(Threads, WaitForOnTheMainThreadRunsOnTerminateAndReturnsReturnValue) {
  auto t = std::make_unique<LambdaThread>(true, [](LambdaThread& self) {
    self.Synchronize([] {});
    self.SetReturnValue(42);
  });
  std::vector<std::string> log;
  t->OnTerminate = [&](TThread* sender) {
    log.push_back(sender == t.get() && rtl::IsMainThread() ? "terminate on main" : "wrong");
    log.push_back(sender->Finished() ? "finished" : "not yet finished");
  };
  EXPECT_FALSE(t->Finished());
  t->Start();
  EXPECT_EQ(t->WaitFor(), 42u);
  EXPECT_TRUE(t->Finished());
  EXPECT_EQ(t->ReturnValue(), 42u);
  EXPECT_EQ(log, (std::vector<std::string>{"terminate on main", "not yet finished"}));
  EXPECT_FALSE(t->FatalException());
}

TEST(Threads, AnExceptionEscapingExecuteIsKeptInFatalException) {
  auto t = std::make_unique<LambdaThread>(true, [](LambdaThread&) { throw rtl::EInOutError("disk gone", 5); });
  bool terminated = false;
  t->OnTerminate = [&](TThread*) { terminated = true; };
  t->Start();
  EXPECT_NO_THROW(t->WaitFor());
  EXPECT_TRUE(terminated);
  ASSERT_TRUE(t->FatalException());
  try {
    std::rethrow_exception(t->FatalException());
  } catch (const rtl::EInOutError& e) {
    EXPECT_EQ(e.Message(), "disk gone");
    EXPECT_EQ(e.ErrorCode(), 5);
  }
}

class SelfFreeingThread : public TThread {
public:
  SelfFreeingThread(std::promise<uint32_t>& gone, TNotifyEvent onTerminate, std::vector<int> payload)
      : TThread(false), gone_(gone), payload_(std::move(payload)) {
    SetFreeOnTerminate(true);
    OnTerminate = std::move(onTerminate);
  }
  ~SelfFreeingThread() override { gone_.set_value(ranOn_); }

protected:
  void Execute() override { ranOn_ = rtl::GetCurrentThreadId(); }

private:
  std::promise<uint32_t>& gone_;
  std::vector<int> payload_;  // heap memory the sanitizer would report if leaked
  uint32_t ranOn_ = 0;
};

TEST(Threads, AFreeOnTerminateThreadDeletesItselfAfterOnTerminate) {
  std::promise<uint32_t> gone;
  auto goneFuture = gone.get_future();
  bool terminated = false;
  SelfFreeingThread* t = rtl::NewThread<SelfFreeingThread>(
      gone, [&](TThread*) { terminated = true; }, std::vector<int>(1000, 1));
  // Alive until the main thread has run its OnTerminate.
  const uint32_t id = t->ThreadID();
  EXPECT_THROW(t->WaitFor(), rtl::EThread);
  while (!terminated) rtl::CheckSynchronize(rtl::INFINITE);
  EXPECT_EQ(goneFuture.get(), id);
}

TEST(Threads, ACreatedSuspendedThreadWaitsForStart) {
  std::atomic<int> runs{0};
  auto t = std::make_unique<LambdaThread>(true, [&](LambdaThread&) { ++runs; });
  EXPECT_TRUE(t->Suspended());
  EXPECT_NE(t->ThreadID(), 0u);
  EXPECT_NE(t->ThreadID(), rtl::GetCurrentThreadId());
  EXPECT_NE(t->Handle(), 0u);
  WaitUntilBlocked(t->ThreadID());
  EXPECT_EQ(runs, 0);
  t->SetPriority(rtl::tpLower);
  EXPECT_EQ(t->Priority(), rtl::tpLower);
  t->Start();
  EXPECT_FALSE(t->Suspended());
  t->WaitFor();
  EXPECT_EQ(runs, 1);
  EXPECT_THROW(t->Start(), rtl::EThread);

  // Never started: destroying it ends the thread without running Execute.
  auto idle = std::make_unique<LambdaThread>(true, [&](LambdaThread&) { ++runs; });
  idle.reset();
  EXPECT_EQ(runs, 1);
}

TEST(Threads, ATerminatedThreadEndsItsLoop) {
  std::atomic<int> rounds{0};
  auto t = std::unique_ptr<LambdaThread>(rtl::NewThread<LambdaThread>(false, [&](LambdaThread& self) {
    while (!self.Terminated()) ++rounds;
  }));
  while (rounds == 0) std::this_thread::yield();
  t->Terminate();
  EXPECT_TRUE(t->Terminated());
  t->WaitFor();
  EXPECT_TRUE(t->Finished());
}

// A thread that suspends itself when idle and is resumed when work comes.
TEST(Threads, AThreadSuspendedByItselfGoesOnAfterResume) {
  std::atomic<int> passes{0};
  auto t = std::make_unique<LambdaThread>(true, [&](LambdaThread& self) {
    while (!self.Terminated()) {
      ++passes;
      self.Suspend();
    }
  });
  t->Start();
  for (int round = 1; round <= 3; ++round) {
    while (!t->Suspended()) std::this_thread::yield();
    WaitUntilBlocked(t->ThreadID());
    EXPECT_EQ(passes, round);
    t->Resume();
    while (passes == round) std::this_thread::yield();
  }
  while (!t->Suspended()) std::this_thread::yield();
  t->Terminate();
  t->Resume();
  t->WaitFor();
  EXPECT_EQ(passes, 4);
}

// A busy loop never blocks unless Suspend from outside parks it at its
// next Terminated().
TEST(Threads, SuspendFromAnotherThreadParksTheThreadAtTerminated) {
  std::atomic<int64_t> rounds{0};
  auto t = std::make_unique<LambdaThread>(false, [&](LambdaThread& self) {
    while (!self.Terminated()) rounds.fetch_add(1, std::memory_order_relaxed);
  });
  t->AfterConstruction();
  while (rounds == 0) std::this_thread::yield();
  t->Suspend();
  EXPECT_TRUE(t->Suspended());
  WaitUntilBlocked(t->ThreadID());
  const int64_t parkedAt = rounds;
  EXPECT_EQ(ThreadState(t->ThreadID()), 'S');
  EXPECT_EQ(rounds, parkedAt);
  t->Resume();
  while (rounds == parkedAt) std::this_thread::yield();
  t->Terminate();
  t->WaitFor();
}

TEST(CriticalSection, IsReentrantAndExcludesOtherThreads) {
  rtl::TCriticalSection cs;
  auto otherCanEnter = [&] {
    return std::async(std::launch::async, [&] {
      if (!cs.TryEnter()) return false;
      cs.Leave();
      return true;
    }).get();
  };
  cs.Enter();
  cs.Acquire();
  EXPECT_TRUE(cs.TryEnter());
  EXPECT_FALSE(otherCanEnter());
  cs.Leave();
  cs.Release();
  EXPECT_FALSE(otherCanEnter());
  cs.Leave();
  EXPECT_TRUE(otherCanEnter());

  int64_t total = 0;
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&] {
      for (int i = 0; i < 5000; ++i) {
        std::lock_guard outer(cs);
        cs.Enter();  // nested, as a locked helper calling another would
        ++total;
        cs.Leave();
      }
    });
  }
  for (auto& w : workers) w.join();
  EXPECT_EQ(total, 20000);
}

TEST(Event, ManualResetReleasesEveryWaiterAndStaysSignalled) {
  rtl::TEvent ev(true, false);
  EXPECT_EQ(ev.WaitFor(0), rtl::wrTimeout);
  std::vector<std::future<rtl::TWaitResult>> waiters;
  for (int i = 0; i < 4; ++i) {
    waiters.push_back(std::async(std::launch::async, [&] { return ev.WaitFor(rtl::INFINITE); }));
  }
  ev.SetEvent();
  for (auto& w : waiters) EXPECT_EQ(w.get(), rtl::wrSignaled);
  EXPECT_EQ(ev.WaitFor(0), rtl::wrSignaled);
  EXPECT_EQ(ev.WaitFor(0), rtl::wrSignaled);
  ev.ResetEvent();
  EXPECT_EQ(ev.WaitFor(0), rtl::wrTimeout);

  rtl::TSimpleEvent simple;
  EXPECT_EQ(simple.WaitFor(0), rtl::wrTimeout);
  simple.SetEvent();
  EXPECT_EQ(simple.WaitFor(0), rtl::wrSignaled);
  EXPECT_EQ(simple.WaitFor(0), rtl::wrSignaled);
  EXPECT_EQ(rtl::TEvent(true, true).WaitFor(0), rtl::wrSignaled);
}

TEST(Event, AutoResetReleasesOneWaiterPerSignal) {
  rtl::TEvent ev(false, true);
  EXPECT_EQ(ev.WaitFor(0), rtl::wrSignaled);
  EXPECT_EQ(ev.WaitFor(0), rtl::wrTimeout);

  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i) {
    waiters.emplace_back([&] {
      if (ev.WaitFor(rtl::INFINITE) == rtl::wrSignaled) ++released;
    });
  }
  for (int n = 1; n <= 3; ++n) {
    ev.SetEvent();
    while (released < n) std::this_thread::yield();
    // The released waiter took the signal with it.
    EXPECT_EQ(ev.WaitFor(0), rtl::wrTimeout);
    EXPECT_EQ(released, n);
  }
  for (auto& w : waiters) w.join();
}

TEST(Event, WorkerTimeoutsFollowTheVirtualClock) {
  rtl::ScopedVirtualClock vc(5000);
  rtl::TEvent ev;
  constexpr uint32_t kTimeout = 600'000;  // ten minutes: real time would hang the test
  std::atomic<uint32_t> tid{0};
  auto waiter = std::async(std::launch::async, [&] {
    tid = rtl::GetCurrentThreadId();
    const auto result = ev.WaitFor(kTimeout);
    return std::make_pair(result, rtl::GetTickCount64());
  });
  while (tid == 0) std::this_thread::yield();
  WaitUntilBlocked(tid);
  vc.Advance(kTimeout - 1);
  EXPECT_EQ(waiter.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
  vc.Advance(1);
  const auto [result, tick] = waiter.get();
  EXPECT_EQ(result, rtl::wrTimeout);
  EXPECT_EQ(tick, 5000u + kTimeout);

  // A signal still ends the wait before the deadline.
  auto signalled = std::async(std::launch::async, [&] { return ev.WaitFor(kTimeout); });
  ev.SetEvent();
  EXPECT_EQ(signalled.get(), rtl::wrSignaled);

  // The main thread advances the clock itself, so its timeouts are real.
  rtl::TEvent other;
  EXPECT_EQ(other.WaitFor(1), rtl::wrTimeout);
}

TEST(Event, DestroyingAnEventAbandonsItsWaiters) {
  auto ev = std::make_unique<rtl::TEvent>();
  std::atomic<uint32_t> tid{0};
  auto waiter = std::async(std::launch::async, [&, e = ev.get()] {
    tid = rtl::GetCurrentThreadId();
    return e->WaitFor(rtl::INFINITE);
  });
  while (tid == 0) std::this_thread::yield();
  WaitUntilBlocked(tid);
  ev.reset();
  EXPECT_EQ(waiter.get(), rtl::wrAbandoned);
}

TEST(Interlocked, ReturnValuesAndAtomicity) {
  int32_t v = 5;
  EXPECT_EQ(rtl::InterlockedIncrement(v), 6);
  EXPECT_EQ(rtl::InterlockedDecrement(v), 5);
  EXPECT_EQ(rtl::InterlockedExchange(v, 9), 5);
  EXPECT_EQ(v, 9);
  EXPECT_EQ(rtl::InterlockedCompareExchange(v, 1, 8), 9);  // no match: unchanged
  EXPECT_EQ(v, 9);
  EXPECT_EQ(rtl::InterlockedCompareExchange(v, 1, 9), 9);
  EXPECT_EQ(v, 1);

  int32_t counter = 0;
  int32_t winners = 0;
  int32_t flag = 0;
  std::vector<std::thread> ts;
  for (int t = 0; t < 8; ++t) {
    ts.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) rtl::InterlockedIncrement(counter);
      for (int i = 0; i < 1000; ++i) rtl::InterlockedDecrement(counter);
      // Test-and-set: exactly one thread sees the flag clear.
      if (rtl::InterlockedExchange(flag, 1) == 0) rtl::InterlockedIncrement(winners);
    });
  }
  for (auto& t : ts) t.join();
  EXPECT_EQ(counter, 8 * 9000);
  EXPECT_EQ(winners, 1);
}

}  // namespace
