#include "platform/rtl/Threads.h"

#include <unistd.h>

#include <chrono>
#include <deque>
#include <system_error>
#include <vector>

#include "platform/rtl/Clock.h"
#include "platform/rtl/Exceptions.h"

namespace rtl {

// ---------------------------------------------------------------------------
// Thread ids

uint32_t GetCurrentThreadId() {
  thread_local const uint32_t id = static_cast<uint32_t>(::gettid());
  return id;
}

namespace {

std::atomic<uint32_t>& mainThreadId() {
  static std::atomic<uint32_t> id{GetCurrentThreadId()};
  return id;
}

// Taken during static initialisation, which runs on the thread that starts
// the process, so the main thread is known before any worker can ask.
[[maybe_unused]] const bool kMainThreadTaken = (mainThreadId().load(), true);

}  // namespace

uint32_t MainThreadID() { return mainThreadId().load(std::memory_order_acquire); }
void SetMainThreadId(uint32_t id) { mainThreadId().store(id, std::memory_order_release); }
bool IsMainThread() { return GetCurrentThreadId() == MainThreadID(); }

// ---------------------------------------------------------------------------
// Calls for the main thread

namespace {

struct SyncCall {
  TThreadMethod method;
  TThread* thread = nullptr;
  bool synchronous = false;
  bool done = false;  // guarded by SyncQueue::mutex
  std::exception_ptr error;
};

struct SyncQueue {
  std::mutex mutex;
  // Signalled when a call is queued, when a synchronous call is done and
  // when a thread ends (the main thread's WaitFor listens for both).
  std::condition_variable changed;
  std::deque<std::shared_ptr<SyncCall>> calls;
  MainThreadHook hook;
  std::function<void()> wake;
};

SyncQueue& syncQueue() {
  // Never destroyed: detached threads may still queue while the process ends.
  static SyncQueue* queue = new SyncQueue;
  return *queue;
}

void enqueue(std::shared_ptr<SyncCall> call) {
  auto& q = syncQueue();
  MainThreadHook hook;
  std::function<void()> wake;
  {
    std::lock_guard lock(q.mutex);
    q.calls.push_back(std::move(call));
    hook = q.hook;
    wake = q.wake;
  }
  q.changed.notify_all();
  if (wake) wake();
  if (hook) hook([] { CheckSynchronize(); });
}

}  // namespace

void SetMainThreadHook(MainThreadHook hook) {
  auto& q = syncQueue();
  std::lock_guard lock(q.mutex);
  q.hook = std::move(hook);
}

void SetWakeMainThread(std::function<void()> wake) {
  auto& q = syncQueue();
  std::lock_guard lock(q.mutex);
  q.wake = std::move(wake);
}

bool SynchronizePending() {
  auto& q = syncQueue();
  std::lock_guard lock(q.mutex);
  return !q.calls.empty();
}

bool CheckSynchronize(uint32_t timeoutMs) {
  if (!IsMainThread()) {
    throw EThread("CheckSynchronize called from thread " + std::to_string(GetCurrentThreadId()) +
                  ", which is not the main thread");
  }
  auto& q = syncQueue();
  std::unique_lock lock(q.mutex);
  if (q.calls.empty() && timeoutMs != 0) {
    auto pending = [&] { return !q.calls.empty(); };
    if (timeoutMs == INFINITE) {
      q.changed.wait(lock, pending);
    } else {
      q.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), pending);
    }
  }
  bool ran = false;
  // One call at a time: a call may itself come back here (a modal loop),
  // and the rest must stay queued when a queued call throws.
  while (!q.calls.empty()) {
    std::shared_ptr<SyncCall> call = std::move(q.calls.front());
    q.calls.pop_front();
    lock.unlock();
    ran = true;
    if (call->synchronous) {
      try {
        call->method();
      } catch (...) {
        call->error = std::current_exception();
      }
      lock.lock();
      call->done = true;
      q.changed.notify_all();
    } else {
      call->method();
      lock.lock();
    }
  }
  return ran;
}

void TThread::Synchronize(TThread* thread, TThreadMethod method) {
  if (IsMainThread()) {
    method();
    return;
  }
  auto call = std::make_shared<SyncCall>();
  call->method = std::move(method);
  call->thread = thread;
  call->synchronous = true;
  enqueue(call);
  auto& q = syncQueue();
  {
    std::unique_lock lock(q.mutex);
    q.changed.wait(lock, [&] { return call->done; });
  }
  if (call->error) std::rethrow_exception(call->error);
}

void TThread::Queue(TThread* thread, TThreadMethod method) {
  if (IsMainThread()) {
    method();
    return;
  }
  auto call = std::make_shared<SyncCall>();
  call->method = std::move(method);
  call->thread = thread;
  enqueue(std::move(call));
}

void TThread::RemoveQueuedEvents(TThread* thread) {
  auto& q = syncQueue();
  std::lock_guard lock(q.mutex);
  std::erase_if(q.calls, [&](const std::shared_ptr<SyncCall>& c) {
    return !c->synchronous && c->thread == thread;
  });
}

// ---------------------------------------------------------------------------
// TThread

struct TThread::State {
  std::mutex mutex;
  std::condition_variable changed;
  bool idKnown = false;
  bool started = false;
  bool suspended = false;
  bool createSuspended = false;
  uint32_t tid = 0;
  std::thread::id stdId;
  uintptr_t handle = 0;
  std::exception_ptr fatal;
  std::atomic<bool> suspendRequested{false};
  std::atomic<bool> terminated{false};
  std::atomic<bool> finished{false};
  std::atomic<bool> freeOnTerminate{false};
  std::atomic<uint32_t> returnValue{0};
  std::atomic<int> priority{tpNormal};

  bool onOwnThread() const { return std::this_thread::get_id() == stdId; }
};

TThread::TThread(bool CreateSuspended) : state_(std::make_shared<State>()) {
  state_->createSuspended = CreateSuspended;
  state_->suspended = CreateSuspended;
  try {
    thread_ = std::thread(&TThread::Run, this, state_);
  } catch (const std::system_error& e) {
    throw EThread(String("Thread creation error: ") + e.what());
  }
  state_->handle = static_cast<uintptr_t>(thread_.native_handle());
  std::unique_lock lock(state_->mutex);
  state_->changed.wait(lock, [&] { return state_->idKnown; });
}

TThread::~TThread() {
  if (thread_.joinable()) {
    if (thread_.get_id() == std::this_thread::get_id()) {
      // Freeing itself at the end of its run: nothing left to wait for.
      thread_.detach();
    } else {
      if (!state_->finished) {
        Terminate();
        Resume();
        WaitUntilFinished();
      }
      thread_.join();
    }
  }
  RemoveQueuedEvents(this);
}

void TThread::Run(TThread* self, std::shared_ptr<State> state) {
  {
    std::unique_lock lock(state->mutex);
    state->tid = GetCurrentThreadId();
    state->stdId = std::this_thread::get_id();
    state->idKnown = true;
    state->changed.notify_all();
    state->changed.wait(lock, [&] { return state->started && !state->suspended; });
  }
  if (!state->terminated) {
    try {
      self->Execute();
    } catch (...) {
      std::lock_guard lock(state->mutex);
      state->fatal = std::current_exception();
    }
  }
  try {
    self->DoTerminate();
  } catch (...) {
    std::lock_guard lock(state->mutex);
    if (!state->fatal) state->fatal = std::current_exception();
  }
  const bool freeSelf = state->freeOnTerminate;
  // From here on the owner may destroy the object: only `state` is touched.
  {
    std::lock_guard lock(state->mutex);
    state->finished = true;
  }
  state->changed.notify_all();
  {
    auto& q = syncQueue();
    std::lock_guard lock(q.mutex);
  }
  syncQueue().changed.notify_all();
  if (freeSelf) delete self;
}

void TThread::AfterConstruction() {
  std::lock_guard lock(state_->mutex);
  if (state_->createSuspended || state_->started) return;
  state_->started = true;
  state_->changed.notify_all();
}

void TThread::Start() {
  std::lock_guard lock(state_->mutex);
  if (state_->started) throw EThread("Cannot call Start on a running or finished thread");
  state_->started = true;
  state_->suspended = false;
  state_->suspendRequested = false;
  state_->changed.notify_all();
}

void TThread::Resume() {
  std::lock_guard lock(state_->mutex);
  state_->started = true;
  state_->suspended = false;
  state_->suspendRequested = false;
  state_->changed.notify_all();
}

void TThread::Suspend() {
  {
    std::lock_guard lock(state_->mutex);
    if (state_->finished) return;
    state_->suspended = true;
    state_->suspendRequested = true;
  }
  if (state_->onOwnThread()) WaitUntilSuspensionLifted();
}

void TThread::WaitUntilSuspensionLifted() {
  std::unique_lock lock(state_->mutex);
  state_->changed.wait(lock, [&] { return !state_->suspended; });
}

bool TThread::Suspended() const {
  std::lock_guard lock(state_->mutex);
  return state_->suspended;
}

void TThread::Terminate() {
  state_->terminated = true;
  TerminatedSet();
}

bool TThread::Terminated() {
  if (state_->suspendRequested.load(std::memory_order_acquire) && state_->onOwnThread()) {
    WaitUntilSuspensionLifted();
  }
  return state_->terminated;
}

uint32_t TThread::WaitFor() {
  if (state_->onOwnThread()) throw EThread("A thread cannot wait for itself");
  if (state_->freeOnTerminate) {
    throw EThread("Cannot wait for a thread that frees itself when it ends");
  }
  WaitUntilFinished();
  return state_->returnValue;
}

void TThread::WaitUntilFinished() {
  auto state = state_;
  if (IsMainThread()) {
    auto& q = syncQueue();
    std::unique_lock lock(q.mutex);
    while (!state->finished) {
      if (!q.calls.empty()) {
        lock.unlock();
        CheckSynchronize();
        lock.lock();
        continue;
      }
      q.changed.wait(lock);
    }
  } else {
    std::unique_lock lock(state->mutex);
    state->changed.wait(lock, [&] { return state->finished.load(); });
  }
}

void TThread::DoTerminate() {
  if (OnTerminate) Synchronize([this] { OnTerminate(this); });
}

bool TThread::Finished() const { return state_->finished; }
uint32_t TThread::ReturnValue() const { return state_->returnValue; }
void TThread::SetReturnValue(uint32_t value) { state_->returnValue = value; }
bool TThread::FreeOnTerminate() const { return state_->freeOnTerminate; }
void TThread::SetFreeOnTerminate(bool value) { state_->freeOnTerminate = value; }
TThreadPriority TThread::Priority() const { return static_cast<TThreadPriority>(state_->priority.load()); }
void TThread::SetPriority(TThreadPriority value) { state_->priority = value; }
uint32_t TThread::ThreadID() const { return state_->tid; }
uintptr_t TThread::Handle() const { return state_->handle; }

std::exception_ptr TThread::FatalException() const {
  std::lock_guard lock(state_->mutex);
  return state_->fatal;
}

// ---------------------------------------------------------------------------
// Events

namespace detail {

// What a timed wait blocks on; a virtual clock's advance wakes it.
struct WaitCell {
  std::mutex mutex;
  std::condition_variable changed;
};

struct VirtualDeadline {
  uint64_t due = 0;
  std::shared_ptr<WaitCell> cell;
  bool expired = false;  // guarded by cell->mutex
};

// One listener for every timed wait under a virtual clock. It is never
// removed, so a clock advancing on another thread can never call into a
// listener that is gone.
class DeadlineBoard final : public ClockListener {
public:
  static DeadlineBoard& Instance() {
    static DeadlineBoard* board = [] {
      auto* b = new DeadlineBoard;
      AddClockListener(b);
      return b;
    }();
    return *board;
  }

  void Add(const std::shared_ptr<VirtualDeadline>& d) {
    std::lock_guard lock(mutex_);
    deadlines_.push_back(d);
  }
  void Remove(const std::shared_ptr<VirtualDeadline>& d) {
    std::lock_guard lock(mutex_);
    std::erase(deadlines_, d);
  }

  std::optional<uint64_t> NextDue() override {
    std::lock_guard lock(mutex_);
    std::optional<uint64_t> due;
    for (const auto& d : deadlines_) {
      if (!due || d->due < *due) due = d->due;
    }
    return due;
  }

  void OnTick(uint64_t now) override {
    std::vector<std::shared_ptr<VirtualDeadline>> expired;
    {
      std::lock_guard lock(mutex_);
      std::erase_if(deadlines_, [&](const std::shared_ptr<VirtualDeadline>& d) {
        if (d->due > now) return false;
        expired.push_back(d);
        return true;
      });
    }
    for (const auto& d : expired) {
      {
        std::lock_guard lock(d->cell->mutex);
        d->expired = true;
      }
      d->cell->changed.notify_all();
    }
  }

private:
  std::mutex mutex_;
  std::vector<std::shared_ptr<VirtualDeadline>> deadlines_;
};

}  // namespace detail

struct TEvent::State : detail::WaitCell {
  bool manualReset = true;
  bool signalled = false;
  bool abandoned = false;
};

TEvent::TEvent(bool ManualReset, bool InitialState) : state_(std::make_shared<State>()) {
  state_->manualReset = ManualReset;
  state_->signalled = InitialState;
}

TEvent::~TEvent() {
  {
    std::lock_guard lock(state_->mutex);
    state_->abandoned = true;
  }
  state_->changed.notify_all();
}

void TEvent::SetEvent() {
  {
    std::lock_guard lock(state_->mutex);
    state_->signalled = true;
  }
  // Every waiter wakes; with auto reset the first to take the lock consumes
  // the signal and the others wait on.
  state_->changed.notify_all();
}

void TEvent::ResetEvent() {
  std::lock_guard lock(state_->mutex);
  state_->signalled = false;
}

TWaitResult TEvent::WaitFor(uint32_t Timeout) {
  std::shared_ptr<State> st = state_;
  std::unique_lock lock(st->mutex);
  auto ready = [&] { return st->signalled || st->abandoned; };
  auto take = [&] {
    if (st->abandoned) return wrAbandoned;
    if (!st->manualReset) st->signalled = false;
    return wrSignaled;
  };
  if (ready()) return take();
  if (Timeout == 0) return wrTimeout;
  if (Timeout == INFINITE) {
    st->changed.wait(lock, ready);
    return take();
  }
  if (IsVirtualClockInstalled() && !IsMainThread()) {
    auto d = std::make_shared<detail::VirtualDeadline>();
    d->due = GetTickCount64() + Timeout;
    d->cell = st;
    auto& board = detail::DeadlineBoard::Instance();
    board.Add(d);
    // The board wakes us at the deadline; the slow real-time poll only
    // covers an advance that raced past before the deadline was listed,
    // and a virtual clock removed while we wait.
    for (;;) {
      st->changed.wait_for(lock, std::chrono::milliseconds(50), [&] { return ready() || d->expired; });
      if (ready() || d->expired) break;
      if (!IsVirtualClockInstalled() || GetTickCount64() >= d->due) break;
    }
    lock.unlock();
    board.Remove(d);
    lock.lock();
    return ready() ? take() : wrTimeout;
  }
  if (st->changed.wait_for(lock, std::chrono::milliseconds(Timeout), ready)) return take();
  return wrTimeout;
}

}  // namespace rtl
