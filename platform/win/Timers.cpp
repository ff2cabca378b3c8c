// Window and thread timers on the process clock. A timer never queues a
// message: WM_TIMER is made when its thread looks into an otherwise empty
// queue, so a slow thread sees one tick, not a backlog.
#include <algorithm>
#include <atomic>
#include <mutex>

#include "platform/rtl/Clock.h"
#include "platform/win/WindowInternal.h"

namespace win {
namespace detail {
namespace {

constexpr UINT kMinimumElapse = 10;
constexpr UINT kMaximumElapse = 0x7FFFFFFF;

struct Timer {
  HWND hwnd{};
  UINT_PTR id = 0;
  TIMERPROC proc = nullptr;
  std::weak_ptr<ThreadQueue> queue;
  DWORD threadId = 0;
  UINT interval = 0;
  uint64_t due = 0;
  uint64_t order = 0;
  // Due and its thread told; the clock need not stop for it again.
  bool signalled = false;
};

struct Timers final : rtl::ClockListener {
  std::mutex mutex;
  std::vector<Timer> list;
  uint64_t nextOrder = 1;
  UINT_PTR nextThreadTimerId = 0x7FFF0000;

  std::optional<uint64_t> NextDue() override {
    std::lock_guard lock(mutex);
    std::optional<uint64_t> best;
    for (const auto& t : list)
      if (!t.signalled && (!best || t.due < *best)) best = t.due;
    return best;
  }

  void OnTick(uint64_t now) override {
    std::vector<std::shared_ptr<ThreadQueue>> wake;
    {
      std::lock_guard lock(mutex);
      for (auto& t : list) {
        if (t.due > now || t.signalled) continue;
        t.signalled = true;
        if (auto q = t.queue.lock()) wake.push_back(q);
      }
    }
    auto me = CurrentQueue();
    bool pumpHere = false;
    for (auto& q : wake) {
      if (q == me) {
        pumpHere = true;
      } else {
        Wake(*q);
      }
    }
    // Advancing the clock on a timer's own thread outside any message
    // handler delivers the tick now, after whatever else is queued.
    static thread_local bool inTick = false;
    if (pumpHere && me->dispatchDepth == 0 && !inTick) {
      inTick = true;
      PumpMessages();
      inTick = false;
    }
  }
};

Timers& timers() {
  static Timers* t = [] {
    auto* created = new Timers;  // lives as long as the process: the clock keeps a pointer
    rtl::AddClockListener(created);
    return created;
  }();
  return *t;
}

}  // namespace

std::optional<DueTimer> TakeDueTimer(ThreadQueue& q, HWND filter, bool remove) {
  // Resolved before the timer lock: the tree lock is never taken under it.
  std::vector<HWND> family;
  if (filter && filter != ValueToHandle<HWND>(static_cast<uintptr_t>(-1))) {
    family.push_back(filter);
    EnumChildWindows(filter, [](HWND h, LPARAM p) {
      reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
      return TRUE;
    }, reinterpret_cast<LPARAM>(&family));
  }
  auto& t = timers();
  const uint64_t now = rtl::GetTickCount64();
  std::lock_guard lock(t.mutex);
  Timer* best = nullptr;
  for (auto& timer : t.list) {
    if (timer.threadId != q.threadId || timer.due > now) continue;
    if (filter) {
      if (filter == ValueToHandle<HWND>(static_cast<uintptr_t>(-1))) {
        if (timer.hwnd) continue;
      } else if (std::find(family.begin(), family.end(), timer.hwnd) == family.end()) {
        continue;
      }
    }
    if (!best || timer.due < best->due || (timer.due == best->due && timer.order < best->order)) best = &timer;
  }
  if (!best) return std::nullopt;
  DueTimer out{best->hwnd, best->id, best->proc};
  if (remove) {
    best->due = now + best->interval;
    best->signalled = false;
  }
  return out;
}

std::optional<uint64_t> NextTimerDueFor(const ThreadQueue& q) {
  auto& t = timers();
  std::lock_guard lock(t.mutex);
  std::optional<uint64_t> best;
  for (const auto& timer : t.list)
    if (timer.threadId == q.threadId && (!best || timer.due < *best)) best = timer.due;
  return best;
}

void KillWindowTimers(HWND hwnd) {
  auto& t = timers();
  std::lock_guard lock(t.mutex);
  std::erase_if(t.list, [&](const Timer& timer) { return timer.hwnd == hwnd; });
}

void KillThreadTimers(DWORD threadId) {
  auto& t = timers();
  std::lock_guard lock(t.mutex);
  std::erase_if(t.list, [&](const Timer& timer) { return timer.threadId == threadId; });
}

}  // namespace detail

using namespace detail;

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
  auto q = CurrentQueue();
  if (hwnd) {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    // Only the window's own thread may time it.
    if (!w || w->destroyed || w->queue != q) return 0;
  }
  const UINT interval = std::clamp(elapseMs, kMinimumElapse, kMaximumElapse);
  auto& t = timers();
  const uint64_t now = rtl::GetTickCount64();
  std::lock_guard lock(t.mutex);
  if (hwnd) {
    for (auto& timer : t.list) {
      if (timer.hwnd == hwnd && timer.id == id) {
        timer.proc = proc;
        timer.interval = interval;
        timer.due = now + interval;
        timer.signalled = false;
        return id ? id : 1;
      }
    }
  } else {
    id = ++t.nextThreadTimerId;
  }
  Timer timer;
  timer.hwnd = hwnd;
  timer.id = id;
  timer.proc = proc;
  timer.queue = q;
  timer.threadId = q->threadId;
  timer.interval = interval;
  timer.due = now + interval;
  timer.order = t.nextOrder++;
  t.list.push_back(timer);
  return hwnd ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  auto& t = timers();
  const DWORD me = CurrentQueue()->threadId;
  std::lock_guard lock(t.mutex);
  const auto before = t.list.size();
  std::erase_if(t.list, [&](const Timer& timer) {
    return timer.hwnd == hwnd && timer.id == id && (hwnd || timer.threadId == me);
  });
  return t.list.size() != before ? TRUE : FALSE;
}

}  // namespace win
