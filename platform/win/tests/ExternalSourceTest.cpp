// The GUI thread's message wait also serves an outside event source (the X
// connection). Its wake-ups come from a watcher thread and from the service
// itself, at any moment of a message retrieval; losing one leaves the thread
// asleep with work waiting, which at start-up looks like a program whose
// windows never show.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/win/Api.h"
#include "platform/win/Display.h"

namespace {

using namespace win;

constexpr UINT kDone = WM_USER + 7;

// Like the X connection, the service reads everything the descriptor holds
// into a queue of its own (so the descriptor no longer wakes anyone), handles
// one item a round and asks for another round while items are left. A
// writer thread feeds it in bursts, each right after the last item was
// handled, which is when the watcher wakes the thread while it is still
// inside its message retrieval.
TEST(ExternalWaitSource, NoWakeUpIsLostWhileTheThreadRetrievesMessages) {
  int fds[2];
  ASSERT_EQ(::pipe2(fds, O_NONBLOCK | O_CLOEXEC), 0);
  std::deque<char> pending;  // the service's own queue, GUI thread only
  std::mutex mutex;
  std::condition_variable handledChanged;
  int handled = 0;
  SetExternalWaitSource(fds[0], [&] {
    char buf[64];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0) pending.insert(pending.end(), buf, buf + n);
    if (pending.empty()) return;
    pending.pop_front();
    {
      std::lock_guard lock(mutex);
      ++handled;
    }
    handledChanged.notify_all();
    if (!pending.empty()) RequestService();
  });

  const DWORD gui = GetCurrentThreadId();
  constexpr int kBursts = 3000;
  std::atomic<int> stalledAt{-1};
  std::thread writer([&] {
    int written = 0;
    for (int i = 0; i < kBursts; ++i) {
      const int burst = 1 + i % 3;
      written += burst;
      ASSERT_EQ(::write(fds[1], "abc", static_cast<size_t>(burst)), burst);
      std::unique_lock lock(mutex);
      // Real time, and only spent when the thread has gone to sleep for good.
      if (!handledChanged.wait_for(lock, std::chrono::seconds(5), [&] { return handled == written; })) {
        stalledAt = i;
        break;
      }
    }
    PostThreadMessageA(gui, kDone, 0, 0);
  });
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0 && m.message != kDone) DispatchMessageA(&m);
  writer.join();
  SetExternalWaitSource(-1, nullptr);
  ::close(fds[0]);
  ::close(fds[1]);
  EXPECT_EQ(stalledAt.load(), -1) << "the thread slept with items waiting";
}

}  // namespace
