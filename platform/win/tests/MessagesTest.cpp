#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "WinTestUtil.h"
#include "platform/rtl/Text.h"
#include "platform/rtl/Threads.h"
#include "platform/win/Api.h"

namespace {

using namespace win;
using wintest::Log;

constexpr UINT kAsk = WM_USER + 1;      // answers wParam * 2 on the receiving thread
constexpr UINT kBounce = WM_USER + 2;   // sends kAsk to the window in lParam and adds 1
constexpr UINT kWhoAmI = WM_USER + 3;   // answers the handling thread's id

LRESULT workerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case kAsk: return static_cast<LRESULT>(wParam * 2);
    case kBounce:
      return SendMessageA(reinterpret_cast<HWND>(lParam), kAsk, wParam, 0) + 1;
    case kWhoAmI: return static_cast<LRESULT>(GetCurrentThreadId());
    default: return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

const char* workerClass() {
  static const bool once = [] {
    WNDCLASSA wc;
    wc.lpfnWndProc = workerProc;
    wc.lpszClassName = "VorixSendTest";
    return RegisterClassA(&wc) != 0;
  }();
  (void)once;
  return "VorixSendTest";
}

HWND makeWorkerWindow() {
  return CreateWindowExA(0, workerClass(), "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

// A thread with its own window that pumps until told to quit.
class PumpingThread {
public:
  PumpingThread() {
    thread_ = std::thread([this] {
      HWND h = makeWorkerWindow();
      threadId_ = GetCurrentThreadId();
      hwnd_.store(h);
      MSG m;
      while (GetMessageA(&m, nullptr, 0, 0) > 0) DispatchMessageA(&m);
      DestroyWindow(h);
    });
    while (!hwnd_.load()) std::this_thread::yield();
  }
  ~PumpingThread() {
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
  }
  HWND hwnd() const { return hwnd_.load(); }
  DWORD threadId() const { return threadId_; }

private:
  std::thread thread_;
  std::atomic<HWND> hwnd_{nullptr};
  DWORD threadId_ = 0;
};

class Messages : public ::testing::Test {
protected:
  void TearDown() override { wintest::Cleanup(); }
};

TEST_F(Messages, PostedMessagesComeBackInOrderThroughTheFilters) {
  HWND a = makeWorkerWindow();
  HWND b = makeWorkerWindow();
  PostMessageA(a, WM_USER + 10, 1, 0);
  PostMessageA(b, WM_USER + 11, 2, 0);
  PostMessageA(nullptr, WM_USER + 12, 3, 0);
  PostMessageA(a, WM_APP + 1, 4, 0);
  MSG m;
  // Window filter, then range filter, then thread messages only.
  ASSERT_TRUE(PeekMessageA(&m, b, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_USER + 11u);
  ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_APP, WM_APP + 5, PM_NOREMOVE));
  EXPECT_EQ(m.wParam, 4u);
  ASSERT_TRUE(PeekMessageA(&m, ValueToHandle<HWND>(static_cast<uintptr_t>(-1)), 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_USER + 12u);
  EXPECT_EQ(m.hwnd, nullptr);
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.wParam, 1u);
  PostQuitMessage(7);
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));  // posted messages before WM_QUIT
  EXPECT_EQ(m.message, WM_APP + 1u);
  EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), FALSE);
  EXPECT_EQ(m.message, WM_QUIT);
  EXPECT_EQ(m.wParam, 7u);
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  // A stale window takes no posts.
  DestroyWindow(a);
  EXPECT_FALSE(PostMessageA(a, WM_USER, 0, 0));
  EXPECT_EQ(SendMessageA(a, kAsk, 2, 0), 0);
}

TEST_F(Messages, SendToAnotherThreadBlocksUntilItIsHandledThere) {
  PumpingThread worker;
  EXPECT_EQ(SendMessageA(worker.hwnd(), kAsk, 21, 0), 42);
  EXPECT_EQ(static_cast<DWORD>(SendMessageA(worker.hwnd(), kWhoAmI, 0, 0)), worker.threadId());
  EXPECT_NE(worker.threadId(), GetCurrentThreadId());
  DWORD_PTR result = 0;
  EXPECT_EQ(SendMessageTimeoutA(worker.hwnd(), kAsk, 5, 0, SMTO_NORMAL, 10000, &result), 1);
  EXPECT_EQ(result, 10u);
}

TEST_F(Messages, AThreadWaitingInSendStillHandlesMessagesSentToIt) {
  PumpingThread worker;
  HWND mine = makeWorkerWindow();
  // The worker's handler sends back to this thread while this thread waits
  // for the worker's answer.
  EXPECT_EQ(SendMessageA(worker.hwnd(), kBounce, 10, reinterpret_cast<LPARAM>(mine)), 21);
}

TEST_F(Messages, TwoThreadsSendingToEachOtherDoNotDeadlock) {
  PumpingThread worker;
  HWND mine = makeWorkerWindow();
  std::atomic<LRESULT> fromWorker{0};
  std::atomic<bool> started{false};
  // A second thread makes the worker send to us, while we send to the worker.
  std::thread helper([&] {
    started = true;
    fromWorker = SendMessageA(worker.hwnd(), kBounce, 100, reinterpret_cast<LPARAM>(mine));
  });
  while (!started) std::this_thread::yield();
  LRESULT total = 0;
  for (int i = 0; i < 50; ++i) total += SendMessageA(worker.hwnd(), kAsk, 1, 0);
  // Our sends finished; the helper's bounce needs this thread to answer.
  while (fromWorker.load() == 0) {
    MSG m;
    if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    std::this_thread::yield();
  }
  helper.join();
  EXPECT_EQ(total, 100);
  EXPECT_EQ(fromWorker.load(), 201);
}

TEST_F(Messages, SendsToADyingThreadAndTimeoutsReturnInsteadOfHanging) {
  std::atomic<HWND> silent{nullptr};
  std::atomic<bool> release{false};
  std::thread idle([&] {
    silent = makeWorkerWindow();
    while (!release) std::this_thread::yield();  // never pumps
  });
  while (!silent.load()) std::this_thread::yield();
  DWORD_PTR result = 99;
  EXPECT_EQ(SendMessageTimeoutA(silent.load(), kAsk, 1, 0, SMTO_NORMAL, 5, &result), 0);
  EXPECT_EQ(result, 99u);
  // A send still waiting when the thread ends is answered with 0.
  std::atomic<LRESULT> answer{-1};
  std::thread sender([&] { answer = SendMessageA(silent.load(), kAsk, 3, 0); });
  release = true;
  idle.join();
  sender.join();
  EXPECT_EQ(answer.load(), 0);
  EXPECT_FALSE(IsWindow(silent.load()));
}

TEST_F(Messages, PostThreadMessageReachesTheOtherThreadsQueue) {
  std::atomic<DWORD> id{0};
  std::atomic<int> got{0};
  std::thread t([&] {
    MSG m;
    PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE);  // makes the queue
    id = GetCurrentThreadId();
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
      if (m.message == WM_APP + 3) got = static_cast<int>(m.wParam);
    }
  });
  while (!id) std::this_thread::yield();
  EXPECT_TRUE(PostThreadMessageA(id, WM_APP + 3, 17, 0));
  EXPECT_TRUE(PostThreadMessageA(id, WM_QUIT, 0, 0));
  t.join();
  EXPECT_EQ(got.load(), 17);
  EXPECT_FALSE(PostThreadMessageA(id, WM_APP, 0, 0));
}

TEST_F(Messages, RegisteredMessagesAreSharedByName) {
  const UINT a = RegisterWindowMessageA("WMNW12345");
  EXPECT_GE(a, 0xC000u);
  EXPECT_LE(a, 0xFFFFu);
  EXPECT_EQ(RegisterWindowMessageW(u"wmnw12345"), a);
  EXPECT_NE(RegisterWindowMessageA("WMNW12346"), a);
  EXPECT_EQ(RegisterWindowMessageA(""), 0u);
}

TEST_F(Messages, TextMessagesConvertBetweenAnsiAndUnicodeWindows) {
  static WNDPROC base = nullptr;
  WNDCLASSW wc;
  wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); };
  wc.lpszClassName = u"VorixWide";
  ASSERT_NE(RegisterClassW(&wc), 0);
  HWND wide = CreateWindowExW(0, u"VorixWide", u"caf\u00e9", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                              nullptr);
  HWND narrow = makeWorkerWindow();
  EXPECT_TRUE(IsWindowUnicode(wide));
  EXPECT_FALSE(IsWindowUnicode(narrow));
  // UTF-8 (the ANSI code page) in, UTF-16 out, and the lengths in each
  // caller's own units.
  EXPECT_EQ(GetWindowTextLengthA(wide), 5);  // "café" is five bytes
  EXPECT_EQ(GetWindowTextLengthW(wide), 4);
  char a[16];
  EXPECT_EQ(GetWindowTextA(wide, a, sizeof a), 5);
  EXPECT_STREQ(a, "caf\xc3\xa9");
  // A short buffer never splits a character.
  EXPECT_EQ(GetWindowTextA(wide, a, 5), 3);
  EXPECT_STREQ(a, "caf");
  EXPECT_TRUE(SetWindowTextA(narrow, "\xe2\x82\xac 5"));
  WCHAR w[8];
  EXPECT_EQ(GetWindowTextW(narrow, w, 8), 3);
  EXPECT_EQ(std::u16string(w), u"\u20ac 5");
  EXPECT_EQ(InternalGetWindowText(narrow), u"\u20ac 5");
  // Subclassing a wide window with an ANSI procedure switches how it is called.
  base = reinterpret_cast<WNDPROC>(GetWindowLongW(wide, GWL_WNDPROC));
  SetWindowLongA(wide, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
                   return CallWindowProcA(base, h, m, wp, lp);
                 }));
  EXPECT_FALSE(IsWindowUnicode(wide));
  EXPECT_EQ(GetWindowTextW(wide, w, 8), 4);
  EXPECT_EQ(std::u16string(w), u"caf\u00e9");
  // The ANSI side follows the process's code page.
  rtl::SetAnsiCodePage(1252);
  EXPECT_TRUE(SetWindowTextA(narrow, "caf\xe9 \x80"));
  EXPECT_EQ(InternalGetWindowText(narrow), u"caf\u00e9 \u20ac");
  EXPECT_EQ(GetWindowTextLengthA(wide), 4);
  EXPECT_EQ(GetWindowTextA(wide, a, sizeof a), 4);
  EXPECT_STREQ(a, "caf\xe9");
  rtl::SetAnsiCodePage(65001);
  DestroyWindow(wide);
  UnregisterClassW(u"VorixWide", nullptr);
}

TEST_F(Messages, WorkerCallsForTheMainThreadRunFromItsMessageWait) {
  ASSERT_TRUE(rtl::IsMainThread());
  std::atomic<bool> ranOnMain{false};
  std::thread worker([&] {
    rtl::TThread::Synchronize(nullptr, [&] {
      ranOnMain = rtl::IsMainThread();
      PostQuitMessage(0);
    });
  });
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) DispatchMessageA(&m);
  worker.join();
  EXPECT_TRUE(ranOnMain.load());
}

HHOOK firstHook = nullptr, secondHook = nullptr;
std::vector<std::string> hookCalls;

TEST_F(Messages, GetMessageHooksSeeAndMayNullMessages) {
  HWND h = makeWorkerWindow();
  hookCalls.clear();
  firstHook = SetWindowsHookExA(WH_GETMESSAGE, [](int code, WPARAM wp, LPARAM lp) -> LRESULT {
    auto* m = reinterpret_cast<MSG*>(lp);
    const std::string what = m->message >= WM_USER ? std::to_string(m->message - WM_USER) : "null";
    hookCalls.push_back("first:" + what + (wp == PM_REMOVE ? "r" : "n"));
    return CallNextHookEx(firstHook, code, wp, lp);
  }, nullptr, GetCurrentThreadId());
  secondHook = SetWindowsHookExA(WH_GETMESSAGE, [](int code, WPARAM wp, LPARAM lp) -> LRESULT {
    auto* m = reinterpret_cast<MSG*>(lp);
    hookCalls.push_back("second:" + std::to_string(m->message - WM_USER));
    if (m->message == WM_USER + 2) m->message = WM_NULL;  // swallowed
    return CallNextHookEx(secondHook, code, wp, lp);
  }, nullptr, 0);
  ASSERT_NE(firstHook, nullptr);
  PostMessageA(h, WM_USER + 1, 0, 0);
  PostMessageA(h, WM_USER + 2, 0, 0);
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
  ASSERT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
  EXPECT_EQ(m.message, WM_USER + 1);
  ASSERT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
  EXPECT_EQ(m.message, WM_NULL);
  EXPECT_EQ(hookCalls, (std::vector<std::string>{"second:1", "first:1n", "second:1", "first:1r", "second:2",
                                                 "first:nullr"}));
  EXPECT_TRUE(UnhookWindowsHookEx(secondHook));
  EXPECT_FALSE(UnhookWindowsHookEx(secondHook));
  EXPECT_TRUE(UnhookWindowsHookEx(firstHook));
  EXPECT_EQ(SetWindowsHookExA(99, [](int, WPARAM, LPARAM) -> LRESULT { return 0; }, nullptr, 0), nullptr);
}

TEST_F(Messages, ReplyMessageAnswersTheSenderBeforeTheHandlerEnds) {
  static std::atomic<bool> replied{false}, senderSaw{false}, handlerDone{false};
  static std::atomic<BOOL> inSend{FALSE};
  replied = senderSaw = handlerDone = false;
  WNDCLASSA wc;
  wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m != WM_USER + 20) return DefWindowProcA(h, m, w, l);
    inSend = InSendMessage();
    ReplyMessage(5);
    replied = true;
    // The sender goes on while this handler still runs.
    while (!senderSaw) std::this_thread::yield();
    handlerDone = true;
    return 99;  // too late: the sender has its answer
  };
  wc.lpszClassName = "VorixReply";
  ASSERT_NE(RegisterClassA(&wc), 0);
  HWND h = CreateWindowExA(0, "VorixReply", "", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
  std::atomic<LRESULT> got{0};
  std::thread sender([&] {
    got = SendMessageA(h, WM_USER + 20, 0, 0);
    senderSaw = true;
  });
  while (!handlerDone) {
    MSG m;
    if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  }
  sender.join();
  EXPECT_EQ(got.load(), 5);
  EXPECT_TRUE(inSend.load());
  EXPECT_FALSE(InSendMessage());
  EXPECT_FALSE(ReplyMessage(1));  // nothing to answer here
  DestroyWindow(h);
}

TEST_F(Messages, BroadcastsReachEveryTopLevelWindow) {
  HWND a = wintest::MakeTopLevel(0, 0, 5, 5, WS_POPUP);
  HWND b = wintest::MakeTopLevel(0, 0, 5, 5, WS_POPUP);
  HWND child = wintest::MakeChild(a, 0, 0, 2, 2);
  Log().Clear();
  SendMessageA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, 0);
  EXPECT_EQ(Log().Msgs(a, {WM_SETTINGCHANGE}).size(), 1u);
  EXPECT_EQ(Log().Msgs(b, {WM_SETTINGCHANGE}).size(), 1u);
  EXPECT_TRUE(Log().Msgs(child, {WM_SETTINGCHANGE}).empty());
  Log().Clear();
  EXPECT_TRUE(PostMessageA(HWND_BROADCAST, WM_SYSCOLORCHANGE, 0, 0));
  PumpMessages();
  EXPECT_EQ(Log().Msgs(a, {WM_SYSCOLORCHANGE}).size(), 1u);
  EXPECT_EQ(Log().Msgs(b, {WM_SYSCOLORCHANGE}).size(), 1u);
}

}  // namespace
