// Graph events reach a window of the window system as its registered message.
#include <gtest/gtest.h>

#include "platform/mg/tests/TestSupport.h"
#include "platform/win/Messages.h"
#include "platform/win/Styles.h"
#include "platform/win/Window.h"

using namespace mg;
using namespace mg::test;

namespace {

const char* NotifyClass() {
  static const bool once = [] {
    win::WNDCLASSA wc;
    wc.lpfnWndProc = win::DefWindowProcA;
    wc.lpszClassName = "VorixGraphNotifyTest";
    return win::RegisterClassA(&wc) != 0;
  }();
  (void)once;
  return "VorixGraphNotifyTest";
}

struct Window {
  win::HWND hwnd = win::CreateWindowExA(0, NotifyClass(), "", win::WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                        nullptr, nullptr);
  ~Window() { win::DestroyWindow(hwnd); }
};

// A source that ends its stream after `frames` frames.
std::shared_ptr<CallbackSource> EndingSource(int64_t frames, REFERENCE_TIME period) {
  return std::make_shared<CallbackSource>(MakeVideoType(MEDIASUBTYPE_RGB24, 8, 4, kPeriod), period,
                                          [frames](uint8_t*, long size, int64_t k) { return k < frames ? size : -1; });
}

}  // namespace

TEST(NotifyWindow, CompletionIsPostedAsTheRegisteredMessage) {
  Window w;
  ASSERT_TRUE(w.hwnd);
  const win::UINT msg = win::RegisterWindowMessageA("VorixGraphNotify");
  ManualGraph m;
  auto src = EndingSource(2, kPeriod);
  auto sink = std::make_shared<NullRenderer>();
  m.graph->AddFilter(src, "src");
  m.graph->AddFilter(sink, "sink");
  ASSERT_EQ(m.graph->ConnectDirect(src->Output(), sink->Input(), nullptr), S_OK);
  ASSERT_EQ(m.graph->SetNotifyWindow(w.hwnd, static_cast<LONG>(msg), 1), S_OK);
  m.graph->Run();
  win::MSG got;
  while (win::PeekMessageA(&got, w.hwnd, msg, msg, win::PM_REMOVE)) {
  }
  DrainEvents(*m.graph);
  m.scheduler->Pump(3);
  ASSERT_TRUE(win::PeekMessageA(&got, w.hwnd, msg, msg, win::PM_REMOVE));
  EXPECT_EQ(got.wParam, 0u);
  EXPECT_EQ(got.lParam, 1);
  EXPECT_FALSE(win::PeekMessageA(&got, w.hwnd, msg, msg, win::PM_REMOVE));
  long code = 0;
  intptr_t p1 = 0, p2 = 0;
  ASSERT_EQ(m.graph->GetEvent(&code, &p1, &p2, 0), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  EXPECT_EQ(m.graph->FreeEventParams(code, p1, p2), S_OK);
}

TEST(NotifyWindow, EventsFromAStreamingThreadReachTheWindowsThread) {
  Window w;
  const win::UINT msg = win::RegisterWindowMessageA("VorixGraphNotify");
  auto g = FilterGraph::Create();
  auto src = EndingSource(5, 0);
  auto sink = std::make_shared<NullRenderer>();
  g->AddFilter(src, "src");
  g->AddFilter(sink, "sink");
  ASSERT_EQ(g->ConnectDirect(src->Output(), sink->Input(), nullptr), S_OK);
  g->SetNotifyWindow(w.hwnd, static_cast<LONG>(msg), 7);
  win::MSG got;
  while (win::PeekMessageA(&got, w.hwnd, msg, msg, win::PM_REMOVE)) {
  }
  ASSERT_EQ(g->Run(), S_OK);
  // Blocks until the streaming thread's end of stream has been posted.
  ASSERT_GT(win::GetMessageA(&got, w.hwnd, msg, msg), 0);
  EXPECT_EQ(got.lParam, 7);
  long code = 0;
  intptr_t p1 = 0, p2 = 0;
  ASSERT_EQ(g->GetEvent(&code, &p1, &p2, 0), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  EXPECT_EQ(sink->Samples(), 5);
  g->Stop();
}
