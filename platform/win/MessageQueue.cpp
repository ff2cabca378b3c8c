// Per-thread queues, posting, sending within and across threads, retrieval
// and dispatch.
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <cstring>
#include <unordered_map>

#include "platform/rtl/Clock.h"
#include "platform/rtl/Threads.h"
#include "platform/win/Display.h"
#include "platform/win/Input.h"
#include "platform/win/WindowInternal.h"

namespace win {
namespace detail {

struct SentMessage {
  HWND hwnd{};
  UINT msg = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  bool unicode = false;
  std::shared_ptr<ThreadQueue> sender;  // null when nobody waits
  // Written under the sender's queue mutex.
  LRESULT result = 0;
  bool done = false;
  // Touched only by the receiving thread.
  bool replied = false;
};

namespace {

std::mutex& registryMutex() {
  static std::mutex m;
  return m;
}
std::unordered_map<DWORD, std::weak_ptr<ThreadQueue>>& registry() {
  static std::unordered_map<DWORD, std::weak_ptr<ThreadQueue>> r;
  return r;
}

void reply(SentMessage& sm, LRESULT result) {
  if (sm.replied) return;
  sm.replied = true;
  if (!sm.sender) return;
  {
    std::lock_guard lock(sm.sender->mutex);
    sm.result = result;
    sm.done = true;
    sm.sender->changed = true;
  }
  sm.sender->cv.notify_all();
}

// Owns the calling thread's queue. When the thread ends its windows are
// destroyed and senders still waiting on it are answered with 0.
struct QueueHolder {
  std::shared_ptr<ThreadQueue> queue;
  ~QueueHolder() {
    if (!queue) return;
    std::vector<HWND> mine;
    WindowTable().ForEach([&](uintptr_t, const std::shared_ptr<Wnd>& w) {
      if (w->queue == queue && !w->destroying && (IsTopLevel(*w) || IsMessageOnly(*w))) mine.push_back(w->handle);
    });
    for (HWND h : mine) DestroyWindow(h);
    KillThreadTimers(queue->threadId);
    std::deque<std::shared_ptr<SentMessage>> pending;
    {
      std::lock_guard lock(queue->mutex);
      queue->alive = false;
      pending.swap(queue->incoming);
    }
    for (auto& sm : pending) reply(*sm, 0);
    std::lock_guard lock(registryMutex());
    registry().erase(queue->threadId);
  }
};

thread_local QueueHolder holder;

// A window filter resolved up front (the window and its descendants), so
// matching needs no tree lock while a queue's mutex is held.
struct WindowFilter {
  HWND filter{};
  std::vector<HWND> family;
  explicit WindowFilter(HWND f) : filter(f) {
    if (!f || f == ValueToHandle<HWND>(static_cast<uintptr_t>(-1))) return;
    family.push_back(f);
    EnumChildWindows(f, [](HWND h, LPARAM p) {
      reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
      return TRUE;
    }, reinterpret_cast<LPARAM>(&family));
  }
  bool Matches(HWND hwnd) const {
    if (!filter) return true;
    if (filter == ValueToHandle<HWND>(static_cast<uintptr_t>(-1))) return hwnd == nullptr;
    return std::find(family.begin(), family.end(), hwnd) != family.end();
  }
};


// An outside event source (the X connection) served by one thread's message
// retrieval. A watcher thread polls its descriptor and wakes the owner's
// queue; the owner runs the service before looking at its queue and tells
// the watcher to poll again.
struct ExternalSource {
  std::mutex mutex;
  std::condition_variable cv;
  int fd = -1;
  int stop[2] = {-1, -1};
  std::function<void()> service;
  std::weak_ptr<ThreadQueue> owner;
  DWORD ownerThread = 0;
  bool waiting = false;  // the watcher waits for the owner to serve
  bool quit = false;
  std::thread watcher;

  // Ends the watcher thread and closes its stop pipe.
  void StopWatcher() {
    {
      std::lock_guard lock(mutex);
      quit = true;
    }
    cv.notify_all();
    if (stop[1] >= 0) {
      const char b = 1;
      (void)!::write(stop[1], &b, 1);
    }
    if (watcher.joinable()) watcher.join();
    for (int& p : stop)
      if (p >= 0) ::close(p), p = -1;
  }
  // A program that leaves without closing the display must not die at exit
  // on a still-running watcher.
  ~ExternalSource() { StopWatcher(); }
};

ExternalSource& externalSource() {
  static ExternalSource s;
  return s;
}

void watchExternal(ExternalSource& s, int fd, int stopFd) {
  for (;;) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents) return;
    std::shared_ptr<ThreadQueue> q;
    {
      std::unique_lock lock(s.mutex);
      if (s.quit) return;
      s.waiting = true;
      q = s.owner.lock();
    }
    if (!q) return;
    Wake(*q);
    q.reset();
    std::unique_lock lock(s.mutex);
    s.cv.wait(lock, [&] { return !s.waiting || s.quit; });
    if (s.quit) return;
  }
}

void serveExternal() {
  static thread_local bool serving = false;
  auto& s = externalSource();
  std::function<void()> service;
  {
    std::lock_guard lock(s.mutex);
    if (!s.service || s.ownerThread != CurrentThreadId() || serving) return;
    service = s.service;
  }
  serving = true;
  try {
    service();
  } catch (...) {
    serving = false;
    throw;
  }
  serving = false;
  {
    std::lock_guard lock(s.mutex);
    s.waiting = false;
  }
  s.cv.notify_all();
}

bool inRange(UINT msg, UINT lo, UINT hi) { return (lo == 0 && hi == 0) || (msg >= lo && msg <= hi); }

bool processOneIncoming(ThreadQueue& q) {
  std::shared_ptr<SentMessage> sm;
  {
    std::lock_guard lock(q.mutex);
    if (q.incoming.empty()) return false;
    sm = q.incoming.front();
    q.incoming.pop_front();
  }
  LRESULT result = 0;
  auto w = FindWnd(sm->hwnd);
  if (w && w->queue.get() == &q) {
    q.receiving.push_back(sm);
    result = CallWndProc(sm->hwnd, sm->msg, sm->wParam, sm->lParam, sm->unicode);
    q.receiving.pop_back();
  }
  reply(*sm, result);
  return true;
}

// Text messages whose parameters differ between the encodings.
bool convertsText(UINT msg) {
  return msg == WM_SETTEXT || msg == WM_GETTEXT || msg == WM_GETTEXTLENGTH || msg == WM_NCCREATE ||
         msg == WM_CREATE;
}

std::unordered_map<WNDPROC, bool>& procKinds() {
  static std::unordered_map<WNDPROC, bool> m;
  return m;
}
std::mutex& procKindsMutex() {
  static std::mutex m;
  return m;
}

// Copies `text` into a caller's buffer of `size` units with a terminator,
// cutting at a character boundary; answers the units copied.
LRESULT copyOut(const std::string& text, char* buffer, size_t size) {
  if (!buffer || size == 0) return 0;
  const size_t n = AnsiCut(text, std::min(text.size(), size - 1));
  std::memcpy(buffer, text.data(), n);
  buffer[n] = 0;
  return static_cast<LRESULT>(n);
}
LRESULT copyOut(const std::u16string& text, WCHAR* buffer, size_t size) {
  if (!buffer || size == 0) return 0;
  size_t n = std::min(text.size(), size - 1);
  if (n > 0 && n < text.size() && text[n] >= 0xDC00 && text[n] < 0xE000) --n;
  std::copy_n(text.data(), n, buffer);
  buffer[n] = 0;
  return static_cast<LRESULT>(n);
}

// Calls a procedure of the other encoding.
LRESULT invokeConverted(WNDPROC proc, bool procUnicode, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SETTEXT: {
      if (!lParam) return proc(hwnd, msg, wParam, lParam);
      if (procUnicode) {
        const std::u16string w = AnsiToWide(reinterpret_cast<const char*>(lParam));
        return proc(hwnd, msg, wParam, reinterpret_cast<LPARAM>(w.c_str()));
      }
      const std::string a = WideToAnsi(reinterpret_cast<const WCHAR*>(lParam));
      return proc(hwnd, msg, wParam, reinterpret_cast<LPARAM>(a.c_str()));
    }
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: {
      // Ask for the whole text in the procedure's encoding, then convert.
      const LRESULT units = proc(hwnd, WM_GETTEXTLENGTH, 0, 0);
      if (units < 0) return 0;
      std::u16string wide;
      std::string ansi;
      if (procUnicode) {
        std::u16string buf(static_cast<size_t>(units) + 1, u'\0');
        const LRESULT got = proc(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()));
        buf.resize(static_cast<size_t>(std::clamp<LRESULT>(got, 0, units)));
        ansi = WideToAnsi(buf);
        if (msg == WM_GETTEXTLENGTH) return static_cast<LRESULT>(ansi.size());
        return copyOut(ansi, reinterpret_cast<char*>(lParam), wParam);
      }
      std::string buf(static_cast<size_t>(units) + 1, '\0');
      const LRESULT got = proc(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()));
      buf.resize(static_cast<size_t>(std::clamp<LRESULT>(got, 0, units)));
      wide = AnsiToWide(buf.c_str(), buf.size());
      if (msg == WM_GETTEXTLENGTH) return static_cast<LRESULT>(wide.size());
      return copyOut(wide, reinterpret_cast<WCHAR*>(lParam), wParam);
    }
    case WM_NCCREATE:
    case WM_CREATE: {
      if (!lParam) return proc(hwnd, msg, wParam, lParam);
      if (procUnicode) {
        const auto* a = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        CREATESTRUCTW w{a->lpCreateParams, a->hInstance, a->hMenu, a->hwndParent, a->cy, a->cx, a->y, a->x,
                        a->style, nullptr, nullptr, a->dwExStyle};
        const std::u16string name = AnsiToWide(a->lpszName);
        const std::u16string cls = IsAtomPointer(a->lpszClass) ? std::u16string() : AnsiToWide(a->lpszClass);
        w.lpszName = a->lpszName ? name.c_str() : nullptr;
        w.lpszClass = IsAtomPointer(a->lpszClass) ? reinterpret_cast<const WCHAR*>(a->lpszClass) : cls.c_str();
        return proc(hwnd, msg, wParam, reinterpret_cast<LPARAM>(&w));
      }
      const auto* w = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      CREATESTRUCTA a{w->lpCreateParams, w->hInstance, w->hMenu, w->hwndParent, w->cy, w->cx, w->y, w->x,
                      w->style, nullptr, nullptr, w->dwExStyle};
      const std::string name = w->lpszName ? WideToAnsi(w->lpszName) : std::string();
      const std::string cls = IsAtomPointer(w->lpszClass) ? std::string() : WideToAnsi(w->lpszClass);
      a.lpszName = w->lpszName ? name.c_str() : nullptr;
      a.lpszClass = IsAtomPointer(w->lpszClass) ? reinterpret_cast<const char*>(w->lpszClass) : cls.c_str();
      return proc(hwnd, msg, wParam, reinterpret_cast<LPARAM>(&a));
    }
    default:
      return proc(hwnd, msg, wParam, lParam);
  }
}

LRESULT invoke(WNDPROC proc, bool procUnicode, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
               bool unicodeCaller) {
  if (!proc) return 0;
  if (procUnicode == unicodeCaller || !convertsText(msg)) return proc(hwnd, msg, wParam, lParam);
  return invokeConverted(proc, procUnicode, hwnd, msg, wParam, lParam);
}

POINT cursorForMessage() {
  POINT p;
  GetCursorPos(&p);
  return p;
}

bool postTo(ThreadQueue& q, const MSG& m) {
  {
    std::lock_guard lock(q.mutex);
    if (!q.alive) return false;
    q.posted.push_back(m);
    q.changed = true;
  }
  q.cv.notify_all();
  return true;
}

bool post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  MSG m{hwnd, msg, wParam, lParam, rtl::GetTickCount(), cursorForMessage()};
  if (!hwnd) return postTo(*CurrentQueue(), m);
  if (hwnd == HWND_BROADCAST) {
    std::vector<std::pair<HWND, std::shared_ptr<ThreadQueue>>> targets;
    {
      TreeGuard lock(TreeLock());
      for (HWND h : DesktopWnd()->children)
        if (auto w = FindWnd(h)) targets.emplace_back(h, w->queue);
    }
    for (auto& [h, q] : targets) {
      m.hwnd = h;
      if (q) postTo(*q, m);
    }
    return true;
  }
  std::shared_ptr<ThreadQueue> q;
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (!w || w->destroyed) return false;
    q = w->queue;
  }
  return q && postTo(*q, m);
}

// Sends across threads; `timeoutMs` < 0 waits for ever.
LRESULT sendAcross(const std::shared_ptr<ThreadQueue>& target, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                   bool unicode, int64_t timeoutMs, bool* timedOut) {
  auto me = CurrentQueue();
  auto sm = std::make_shared<SentMessage>();
  sm->hwnd = hwnd, sm->msg = msg, sm->wParam = wParam, sm->lParam = lParam, sm->unicode = unicode;
  sm->sender = me;
  {
    std::lock_guard lock(target->mutex);
    if (!target->alive) return 0;
    target->incoming.push_back(sm);
    target->changed = true;
  }
  target->cv.notify_all();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max<int64_t>(timeoutMs, 0));
  std::unique_lock lock(me->mutex);
  while (!sm->done) {
    if (!me->incoming.empty()) {
      lock.unlock();
      processOneIncoming(*me);
      lock.lock();
      continue;
    }
    if (timeoutMs < 0) {
      me->cv.wait(lock);
    } else if (me->cv.wait_until(lock, deadline) == std::cv_status::timeout && !sm->done) {
      if (timedOut) *timedOut = true;
      return 0;
    }
  }
  return sm->result;
}

}  // namespace

DWORD CurrentThreadId() { return static_cast<DWORD>(::syscall(SYS_gettid)); }

// Calls that worker threads queue for the main thread (Synchronize, Queue)
// wake the main thread's message wait and run from its message retrieval.
void hookMainThreadCalls() {
  static const bool installed = [] {
    rtl::SetWakeMainThread([] {
      if (auto q = QueueOfThread(rtl::MainThreadID())) Wake(*q);
    });
    return true;
  }();
  (void)installed;
}

void runMainThreadCalls() {
  static thread_local bool running = false;
  if (running || !rtl::IsMainThread() || !rtl::SynchronizePending()) return;
  running = true;
  try {
    rtl::CheckSynchronize();
  } catch (...) {
    running = false;
    throw;
  }
  running = false;
}

std::shared_ptr<ThreadQueue> CurrentQueue() {
  if (!holder.queue) {
    hookMainThreadCalls();
    holder.queue = std::make_shared<ThreadQueue>();
    holder.queue->threadId = CurrentThreadId();
    std::lock_guard lock(registryMutex());
    registry()[holder.queue->threadId] = holder.queue;
  }
  return holder.queue;
}

std::shared_ptr<ThreadQueue> QueueOfThread(DWORD threadId) {
  std::lock_guard lock(registryMutex());
  auto it = registry().find(threadId);
  return it == registry().end() ? nullptr : it->second.lock();
}

void Wake(ThreadQueue& q) {
  {
    std::lock_guard lock(q.mutex);
    q.changed = true;
  }
  q.cv.notify_all();
}

void PostInput(ThreadQueue& q, const MSG& m) {
  {
    std::lock_guard lock(q.mutex);
    if (!q.alive) return;
    q.input.push_back(m);
    q.changed = true;
  }
  q.cv.notify_all();
}

void NoteProc(WNDPROC proc, bool unicode) {
  if (!proc) return;
  std::lock_guard lock(procKindsMutex());
  procKinds()[proc] = unicode;
}

LRESULT CallWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool unicodeCaller) {
  WNDPROC proc;
  bool unicode;
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (!w || w->destroyed) return 0;
    proc = w->proc;
    unicode = w->unicode;
  }
  return invoke(proc, unicode, hwnd, msg, wParam, lParam, unicodeCaller);
}

LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool unicode) {
  if (hwnd == HWND_BROADCAST) {
    std::vector<HWND> targets;
    {
      TreeGuard lock(TreeLock());
      targets = DesktopWnd()->children;
    }
    for (HWND h : targets) Send(h, msg, wParam, lParam, unicode);
    return 0;
  }
  std::shared_ptr<ThreadQueue> target;
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (!w || w->destroyed) return 0;
    target = w->queue;
  }
  if (!target) return 0;
  if (target == CurrentQueue()) return CallWndProc(hwnd, msg, wParam, lParam, unicode);
  return sendAcross(target, hwnd, msg, wParam, lParam, unicode, -1, nullptr);
}

namespace {

// Takes the next message for the thread under the filter, in the order:
// sent, posted, input, quit, paint, timer.
bool fetch(ThreadQueue& q, MSG* out, HWND filter, UINT lo, UINT hi, UINT flags) {
  const bool remove = (flags & PM_REMOVE) != 0;
  const WindowFilter windows(filter);
  // Cleared before any source is looked at, the outside one included: a
  // wake-up that comes while this retrieval runs (the watcher's, once the
  // descriptor turns readable again, or the service's own request for
  // another round) then ends the next wait instead of being lost with the
  // thread asleep and work waiting.
  {
    std::lock_guard lock(q.mutex);
    q.changed = false;
  }
  serveExternal();
  for (;;) {
    while (processOneIncoming(q)) {
    }
    std::unique_lock lock(q.mutex);
    if (!q.incoming.empty()) continue;
    if (rtl::IsMainThread() && rtl::SynchronizePending()) {
      // Cleared first: a call queued while these run wakes the next wait.
      lock.unlock();
      runMainThreadCalls();
      lock.lock();
    }
    for (auto* list : {&q.posted, &q.input}) {
      for (auto it = list->begin(); it != list->end(); ++it) {
        if (!windows.Matches(it->hwnd) || !inRange(it->message, lo, hi)) continue;
        *out = *it;
        if (remove) {
          list->erase(it);
          if (list == &q.input) {
            lock.unlock();
            NoteInputRetrieved(*out);
          }
        }
        return true;
      }
    }
    if (q.quit) {
      *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, rtl::GetTickCount(), {}};
      if (remove) q.quit = false;
      return true;
    }
    break;
  }
  if (inRange(WM_PAINT, lo, hi)) {
    FlushFramePaints(q);
    if (HWND p = FindPaintWindow(q, filter)) {
      *out = MSG{p, WM_PAINT, 0, 0, rtl::GetTickCount(), cursorForMessage()};
      return true;
    }
  }
  if (inRange(WM_TIMER, lo, hi)) {
    if (auto t = TakeDueTimer(q, filter, remove)) {
      *out = MSG{t->hwnd, WM_TIMER, t->id, reinterpret_cast<LPARAM>(t->proc), rtl::GetTickCount(),
                 cursorForMessage()};
      return true;
    }
  }
  return false;
}

void waitForChange(ThreadQueue& q) {
  std::unique_lock lock(q.mutex);
  if (q.changed) return;
  if (!rtl::IsVirtualClockInstalled()) {
    lock.unlock();
    const auto due = NextTimerDueFor(q);
    lock.lock();
    if (q.changed) return;
    if (due) {
      const uint64_t now = rtl::GetTickCount64();
      const auto wait = std::chrono::milliseconds(*due > now ? *due - now : 0);
      q.cv.wait_for(lock, wait, [&] { return q.changed; });
      return;
    }
  }
  q.cv.wait(lock, [&] { return q.changed; });
}

BOOL peek(MSG* msg, HWND hwnd, UINT lo, UINT hi, UINT flags) {
  if (!msg) return FALSE;
  auto q = CurrentQueue();
  MSG m;
  if (!fetch(*q, &m, hwnd, lo, hi, flags)) return FALSE;
  if (flags & PM_REMOVE) q->last = m;
  RunGetMessageHooks(&m, (flags & PM_REMOVE) != 0);
  *msg = m;
  return TRUE;
}

BOOL get(MSG* msg, HWND hwnd, UINT lo, UINT hi) {
  if (!msg) return -1;
  if (hwnd && hwnd != ValueToHandle<HWND>(static_cast<uintptr_t>(-1)) && !IsWindow(hwnd)) return -1;
  auto q = CurrentQueue();
  for (;;) {
    MSG m;
    if (fetch(*q, &m, hwnd, lo, hi, PM_REMOVE)) {
      q->last = m;
      RunGetMessageHooks(&m, true);
      *msg = m;
      return m.message == WM_QUIT ? FALSE : TRUE;
    }
    waitForChange(*q);
  }
}

LRESULT dispatch(const MSG* msg, bool unicode) {
  if (!msg) return 0;
  if (msg->message == WM_TIMER && msg->lParam) {
    // A timer procedure runs for thread timers and for windows alike.
    if (msg->hwnd && !IsWindow(msg->hwnd)) return 0;
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, rtl::GetTickCount());
    return 0;
  }
  if (!msg->hwnd) return 0;
  auto q = CurrentQueue();
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(msg->hwnd);
    if (!w || w->queue != q) return 0;
  }
  ++q->dispatchDepth;
  const LRESULT r = CallWndProc(msg->hwnd, msg->message, msg->wParam, msg->lParam, unicode);
  --q->dispatchDepth;
  return r;
}

}  // namespace
}  // namespace detail

using namespace detail;

DWORD GetCurrentThreadId() { return CurrentQueue()->threadId; }

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w) return 0;
  if (processId) *processId = static_cast<DWORD>(::getpid());
  return w->queue ? w->queue->threadId : 0;
}

LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return Send(hwnd, msg, wParam, lParam, false);
}
LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return Send(hwnd, msg, wParam, lParam, true);
}

static LRESULT sendTimeout(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT timeoutMs, DWORD_PTR* result,
                           bool unicode) {
  std::shared_ptr<ThreadQueue> target;
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (!w || w->destroyed) return 0;
    target = w->queue;
  }
  if (!target) return 0;
  LRESULT r;
  if (target == CurrentQueue()) {
    r = CallWndProc(hwnd, msg, wParam, lParam, unicode);
  } else {
    bool timedOut = false;
    r = sendAcross(target, hwnd, msg, wParam, lParam, unicode, timeoutMs, &timedOut);
    if (timedOut) return 0;
  }
  if (result) *result = static_cast<DWORD_PTR>(r);
  return 1;
}

LRESULT SendMessageTimeoutA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT, UINT timeoutMs,
                            DWORD_PTR* result) {
  return sendTimeout(hwnd, msg, wParam, lParam, timeoutMs, result, false);
}
LRESULT SendMessageTimeoutW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT, UINT timeoutMs,
                            DWORD_PTR* result) {
  return sendTimeout(hwnd, msg, wParam, lParam, timeoutMs, result, true);
}

static BOOL sendNotify(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool unicode) {
  std::shared_ptr<ThreadQueue> target;
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (!w || w->destroyed) return FALSE;
    target = w->queue;
  }
  if (!target) return FALSE;
  if (target == CurrentQueue()) {
    CallWndProc(hwnd, msg, wParam, lParam, unicode);
    return TRUE;
  }
  auto sm = std::make_shared<SentMessage>();
  sm->hwnd = hwnd, sm->msg = msg, sm->wParam = wParam, sm->lParam = lParam, sm->unicode = unicode;
  {
    std::lock_guard lock(target->mutex);
    if (!target->alive) return FALSE;
    target->incoming.push_back(sm);
    target->changed = true;
  }
  target->cv.notify_all();
  return TRUE;
}
BOOL SendNotifyMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return sendNotify(hwnd, msg, wParam, lParam, false);
}
BOOL SendNotifyMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return sendNotify(hwnd, msg, wParam, lParam, true);
}

BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return post(hwnd, msg, wParam, lParam) ? TRUE : FALSE;
}
BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return post(hwnd, msg, wParam, lParam) ? TRUE : FALSE;
}

BOOL PostThreadMessageA(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto q = threadId == GetCurrentThreadId() ? CurrentQueue() : QueueOfThread(threadId);
  if (!q) return FALSE;
  return postTo(*q, MSG{nullptr, msg, wParam, lParam, rtl::GetTickCount(), cursorForMessage()}) ? TRUE : FALSE;
}
BOOL PostThreadMessageW(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam) {
  return PostThreadMessageA(threadId, msg, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
  auto q = CurrentQueue();
  {
    std::lock_guard lock(q->mutex);
    q->quit = true;
    q->quitCode = exitCode;
    q->changed = true;
  }
  q->cv.notify_all();
}

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT lo, UINT hi, UINT flags) { return peek(msg, hwnd, lo, hi, flags); }
BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT lo, UINT hi, UINT flags) { return peek(msg, hwnd, lo, hi, flags); }
BOOL GetMessageA(MSG* msg, HWND hwnd, UINT lo, UINT hi) { return get(msg, hwnd, lo, hi); }
BOOL GetMessageW(MSG* msg, HWND hwnd, UINT lo, UINT hi) { return get(msg, hwnd, lo, hi); }

BOOL WaitMessage() {
  auto q = CurrentQueue();
  while (processOneIncoming(*q)) {
  }
  waitForChange(*q);
  return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) { return dispatch(msg, false); }
LRESULT DispatchMessageW(const MSG* msg) { return dispatch(msg, true); }

DWORD GetMessageTime() { return CurrentQueue()->last.time; }
DWORD GetMessagePos() {
  const POINT p = CurrentQueue()->last.pt;
  return static_cast<DWORD>(MAKELONG(static_cast<WORD>(p.x), static_cast<WORD>(p.y)));
}

BOOL InSendMessage() { return CurrentQueue()->receiving.empty() ? FALSE : TRUE; }
DWORD InSendMessageEx(void*) { return CurrentQueue()->receiving.empty() ? ISMEX_NOSEND : ISMEX_SEND; }

BOOL ReplyMessage(LRESULT result) {
  auto q = CurrentQueue();
  if (q->receiving.empty() || q->receiving.back()->replied) return FALSE;
  reply(*q->receiving.back(), result);
  return TRUE;
}

static LRESULT callWindowProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool unicode) {
  if (!proc) return 0;
  bool procUnicode = unicode;
  {
    std::lock_guard lock(procKindsMutex());
    if (auto it = procKinds().find(proc); it != procKinds().end()) procUnicode = it->second;
  }
  return invoke(proc, procUnicode, hwnd, msg, wParam, lParam, unicode);
}
LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return callWindowProc(proc, hwnd, msg, wParam, lParam, false);
}
LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return callWindowProc(proc, hwnd, msg, wParam, lParam, true);
}

void SetExternalWaitSource(int fd, std::function<void()> service) {
  auto& s = externalSource();
  s.StopWatcher();
  std::lock_guard lock(s.mutex);
  s.quit = false;
  s.waiting = false;
  s.fd = fd;
  s.service = fd >= 0 ? std::move(service) : nullptr;
  if (fd < 0) return;
  s.owner = CurrentQueue();
  s.ownerThread = CurrentThreadId();
  if (::pipe(s.stop) != 0) {
    s.service = nullptr;
    return;
  }
  s.watcher = std::thread(watchExternal, std::ref(s), fd, s.stop[0]);
}

void RequestService() {
  std::shared_ptr<ThreadQueue> q;
  {
    auto& s = externalSource();
    std::lock_guard lock(s.mutex);
    if (!s.service) return;
    q = s.owner.lock();
  }
  if (q) Wake(*q);
}

int PumpMessages() {
  int count = 0;
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(m.wParam));
      break;
    }
    TranslateMessage(&m);
    DispatchMessageA(&m);
    ++count;
  }
  return count;
}

}  // namespace win
