// Real streaming threads; these run under the thread sanitizer too.
#include <gtest/gtest.h>

#include <condition_variable>

#include "platform/mg/tests/TestSupport.h"

using namespace mg;
using namespace mg::test;

namespace {

struct Progress {
  std::mutex m;
  std::condition_variable cv;
  int calls = 0;
  bool waitingForApp = false;
  template <class Pred>
  void WaitFor(Pred p) {
    std::unique_lock l(m);
    cv.wait(l, p);
  }
};

struct LockingCallback : ISampleGrabberCB {
  Progress& progress;
  std::mutex& appLock;
  LockingCallback(Progress& p, std::mutex& l) : progress(p), appLock(l) {}
  HRESULT SampleCB(double, MediaSample*) override {
    {
      std::lock_guard l(progress.m);
      ++progress.calls;
      progress.waitingForApp = true;
      progress.cv.notify_all();
    }
    std::lock_guard app(appLock);  // the application's own lock, as a frame handler takes it
    std::lock_guard l(progress.m);
    progress.waitingForApp = false;
    return S_OK;
  }
  HRESULT BufferCB(double, uint8_t*, LONG) override { return S_OK; }
};

struct ThreadedPipeline {
  std::shared_ptr<ThreadedScheduler> scheduler = std::make_shared<ThreadedScheduler>();
  std::shared_ptr<FilterGraph> graph = FilterGraph::Create();
  std::shared_ptr<CallbackSource> src;
  std::shared_ptr<SmartTee> tee = std::make_shared<SmartTee>();
  std::shared_ptr<SampleGrabber> grab = std::make_shared<SampleGrabber>();
  std::shared_ptr<NullRenderer> captured = std::make_shared<NullRenderer>();
  std::shared_ptr<NullRenderer> previewed = std::make_shared<NullRenderer>();

  ThreadedPipeline() {
    // Period 0: the source runs as fast as it can, so nothing waits for time.
    src = std::make_shared<CallbackSource>(MakeVideoType(MEDIASUBTYPE_RGB24, 32, 16, kPeriod), 0, IndexFill());
    graph->SetScheduler(scheduler);
    graph->AddFilter(src, "src");
    graph->AddFilter(tee, "tee");
    graph->AddFilter(grab, "grab");
    graph->AddFilter(captured, "captured");
    graph->AddFilter(previewed, "previewed");
    EXPECT_EQ(graph->ConnectDirect(src->Output(), tee->Input(), nullptr), S_OK);
    EXPECT_EQ(graph->ConnectDirect(tee->CaptureOutput(), grab->Input(), nullptr), S_OK);
    EXPECT_EQ(graph->ConnectDirect(grab->Output(), captured->Input(), nullptr), S_OK);
    EXPECT_EQ(graph->ConnectDirect(tee->PreviewOutput(), previewed->Input(), nullptr), S_OK);
  }
};

struct CountingCallback : ISampleGrabberCB {
  Progress& progress;
  REFERENCE_TIME last = -1;
  bool ordered = true;
  explicit CountingCallback(Progress& p) : progress(p) {}
  HRESULT SampleCB(double, MediaSample* s) override {
    std::lock_guard l(progress.m);
    if (s->IsDiscontinuity() == S_OK) last = -1;  // a new run starts again from 0
    if (s->StartTime() < last) ordered = false;
    last = s->StartTime();
    ++progress.calls;
    progress.cv.notify_all();
    return S_OK;
  }
  HRESULT BufferCB(double, uint8_t*, LONG) override { return S_OK; }
};

}  // namespace

TEST(Threaded, StopReturnsWhileAGrabberCallbackWaitsForTheStoppersLock) {
  Progress progress;
  std::mutex appLock;
  int callsAtStop = 0;
  {
    ThreadedPipeline p;
    p.grab->SetCallback(std::make_shared<LockingCallback>(progress, appLock), 0);
    ASSERT_EQ(p.graph->Run(), S_OK);
    progress.WaitFor([&] { return progress.calls >= 3; });
    {
      std::lock_guard app(appLock);
      // The callback clears the flag while it holds appLock, so once we hold
      // it a set flag means the streaming thread is blocked on appLock.
      progress.WaitFor([&] { return progress.waitingForApp; });
      EXPECT_EQ(p.graph->Stop(), S_OK);
      EXPECT_EQ(p.scheduler->LingeringThreads(), 1u);
      std::lock_guard l(progress.m);
      callsAtStop = progress.calls;
    }
    FILTER_STATE state;
    p.graph->GetState(0, &state);
    EXPECT_EQ(state, State_Stopped);
    // Leaving the scope joins the thread that finished its callback.
  }
  std::lock_guard l(progress.m);
  EXPECT_EQ(progress.calls, callsAtStop);
}

TEST(Threaded, RunPauseStopCyclesDeliverInOrder) {
  Progress progress;
  ThreadedPipeline p;
  auto cb = std::make_shared<CountingCallback>(progress);
  p.grab->SetCallback(cb, 0);
  for (int cycle = 0; cycle < 3; ++cycle) {
    int before = 0;
    {
      std::lock_guard l(progress.m);
      before = progress.calls;
    }
    ASSERT_EQ(p.graph->Run(), S_OK);
    progress.WaitFor([&] { return progress.calls >= before + 20; });
    ASSERT_EQ(cycle == 1 ? p.graph->Pause() : p.graph->Stop(), S_OK);
  }
  p.graph->Stop();
  std::lock_guard l(progress.m);
  EXPECT_TRUE(cb->ordered);
  EXPECT_GE(p.captured->Samples(), 60);
  // A sample may pass the grabber as the renderer stops.
  EXPECT_GE(p.grab->Samples(), p.captured->Samples());
}

namespace {
struct SignallingSource : CallbackSource {
  Progress& progress;
  bool& gone;
  SignallingSource(Progress& p, bool& g)
      : CallbackSource(MakeVideoType(MEDIASUBTYPE_RGB24, 8, 4, kPeriod), 0, IndexFill()), progress(p), gone(g) {}
  ~SignallingSource() override {
    std::lock_guard l(progress.m);
    gone = true;
    progress.cv.notify_all();
  }
};

// Stops the graph from its first callback and lets go of the last reference.
struct StoppingCallback : ISampleGrabberCB {
  std::shared_ptr<FilterGraph> graph;
  HRESULT SampleCB(double, MediaSample*) override {
    if (graph) {
      EXPECT_EQ(graph->Stop(), S_OK);
      graph.reset();
    }
    return S_OK;
  }
  HRESULT BufferCB(double, uint8_t*, LONG) override { return S_OK; }
};
}  // namespace

TEST(Threaded, ACallbackMayStopTheGraphAndReleaseIt) {
  Progress progress;
  bool sourceGone = false;
  {
    auto graph = FilterGraph::Create();
    auto src = std::make_shared<SignallingSource>(progress, sourceGone);
    auto grab = std::make_shared<SampleGrabber>();
    auto cb = std::make_shared<StoppingCallback>();
    cb->graph = graph;
    grab->SetCallback(cb, 0);
    graph->AddFilter(src, "src");
    graph->AddFilter(grab, "grab");
    ASSERT_EQ(graph->ConnectDirect(src->Output(), grab->Input(), nullptr), S_OK);
    ASSERT_EQ(graph->Run(), S_OK);
  }
  // The streaming thread tears everything down; the source goes last.
  progress.WaitFor([&] { return sourceGone; });
}
