// Background loads and saves: operations moved to threads of their own
// when the component works on a borrowed buffer, the thread list and its
// waits, failures on the threads, and the messages posted to an attached
// view's window. These run real threads on purpose.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "imaging/core/imgkitio.h"
#include "imaging/core/imgkitioThread.h"
#include "imaging/core/tests/IkIOTestFormat.h"
#include "imaging/core/tests/IkTestFolder.h"
#include "platform/rtl/Threads.h"
#include "platform/win/Api.h"

using namespace imaging;
using namespace imaging::testing;

namespace {

// A gate the test opens for readers that wait at it.
struct Gate {
  std::mutex mutex;
  std::condition_variable changed;
  bool open = false;
  int arrived = 0;
  void Arrive() {
    std::unique_lock lock(mutex);
    ++arrived;
    changed.notify_all();
    changed.wait(lock, [&] { return open; });
  }
  void WaitForArrivals(int n) {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return arrived >= n; });
  }
  void Open() {
    std::lock_guard lock(mutex);
    open = true;
    changed.notify_all();
  }
};

// What the readers of these tests see of their surroundings.
struct Probe {
  TImgKitIO* component = nullptr;
  Gate* gate = nullptr;
  std::atomic<int> onOwnThread{0};
  std::atomic<int> onMainThread{0};
  std::atomic<bool> finished{false};
};
Probe probe;

void GatedRead(rtl::TStream& s, TIKBitmap* b, TIOParamsVals& p, bool paramsOnly, TProgressRec& pr) {
  if (probe.component && probe.component->IsOwnIOThread()) ++probe.onOwnThread;
  if (rtl::IsMainThread()) ++probe.onMainThread;
  if (probe.gate) probe.gate->Arrive();
  XtstRead(s, b, p, paramsOnly, pr);
  probe.finished = true;
}

void ThrowingRead(rtl::TStream&, TIKBitmap*, TIOParamsVals&, bool, TProgressRec&) {
  throw rtl::EReadError("reader failed on its thread");
}

std::mutex debugMutex;
std::vector<std::string> debugLines;
void RecordDebug(const char* text) {
  std::lock_guard lock(debugMutex);
  debugLines.emplace_back(text);
}

class BackgroundIO : public TempFolderTest {
protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    probe.component = nullptr;
    probe.gate = nullptr;
    probe.onOwnThread = 0;
    probe.onMainThread = 0;
    probe.finished = false;
    TFormatRegistryRecord r;
    r.FormatId = 110;
    r.Extensions = "GTD";
    r.ReadFunction = GatedRead;
    r.WriteFunction = XtstWrite;
    RegisterFileFormat(r);
    r.FormatId = 111;
    r.Extensions = "THT";
    r.ReadFunction = ThrowingRead;
    RegisterFileFormat(r);
  }
  void TearDown() override {
    UnregisterFileFormat(110);
    UnregisterFileFormat(111);
    TempFolderTest::TearDown();
  }
  std::string Sample(const std::string& name) {
    const std::string path = folder_ + name;
    std::ofstream(path, std::ios::binary) << XtstSampleBytes();
    return path;
  }
};

}  // namespace

TEST_F(BackgroundIO, ParallelLoadsOnOneComponent) {
  constexpr int N = 4;
  TImgKitIO io(nullptr);
  TIKBitmap borrowed;
  io.AttachIKBitmap(&borrowed);
  io.AsyncMode = true;
  std::atomic<int> finishes{0};
  std::atomic<int> finishesOnMain{0};
  io.OnFinishWork = [&](forms::TObject*) {
    ++finishes;
    if (rtl::IsMainThread()) ++finishesOnMain;
  };
  Gate gate;
  probe.component = &io;
  probe.gate = &gate;

  std::vector<std::string> names;
  for (int i = 0; i < N; ++i) names.push_back(Sample("p" + std::to_string(i) + ".gtd"));
  for (const auto& name : names) io.LoadImageByFileName(name);
  // Every call returned at once; all N operations are listed while the
  // first one waits inside its reader.
  gate.WaitForArrivals(1);
  EXPECT_EQ(io.IOThreadCount(), N);
  EXPECT_FALSE(io.IsOwnIOThread());
  EXPECT_EQ(finishes, 0);
  gate.Open();
  io.WaitForIOThreads(false);

  EXPECT_EQ(io.IOThreadCount(), 0);
  EXPECT_EQ(finishes, N);
  EXPECT_EQ(finishesOnMain, 0);
  EXPECT_EQ(probe.onOwnThread, N);
  EXPECT_EQ(probe.onMainThread, 0);
  EXPECT_FALSE(io.Aborting);
  EXPECT_TRUE(IsSample(borrowed));
  EXPECT_EQ(io.Params().FileType, 110);
}

TEST_F(BackgroundIO, DestructionWaitsForTheRunningLoad) {
  Gate gate;
  probe.gate = &gate;
  auto io = std::make_unique<TImgKitIO>(nullptr);
  TIKBitmap borrowed;
  io->AttachIKBitmap(&borrowed);
  io->AsyncMode = true;
  io->LoadImageByFileName(Sample("slow.gtd"));
  gate.WaitForArrivals(1);
  std::thread opener([&] { gate.Open(); });
  io.reset();
  EXPECT_TRUE(probe.finished) << "the component went while its load still ran";
  opener.join();
  EXPECT_TRUE(IsSample(borrowed));
}

TEST_F(BackgroundIO, FailuresStayOnTheThread) {
  const TIKDebugOutputProc previous = IKDebugOutput.exchange(RecordDebug);
  {
    std::lock_guard lock(debugMutex);
    debugLines.clear();
  }
  TImgKitIO io(nullptr);
  TIKBitmap borrowed;
  io.AttachIKBitmap(&borrowed);
  io.AsyncMode = true;
  std::atomic<int> finishes{0};
  io.OnFinishWork = [&](forms::TObject*) { ++finishes; };
  io.LoadFromFileFormat(Sample("bad.tht"), 111);
  io.WaitForIOThreads(false);
  IKDebugOutput = previous;

  EXPECT_TRUE(io.Aborting);
  EXPECT_EQ(finishes, 1);
  EXPECT_EQ(io.IOThreadCount(), 0);
  std::lock_guard lock(debugMutex);
  EXPECT_EQ(debugLines, std::vector<std::string>{"Exception in TIKIOThread.Execute"});
}

TEST_F(BackgroundIO, WaitingWithAbortStopsTheFilters) {
  Gate gate;
  probe.gate = &gate;
  TImgKitIO io(nullptr);
  TIKBitmap borrowed;
  io.AttachIKBitmap(&borrowed);
  io.AsyncMode = true;
  io.LoadImageByFileName(Sample("a.gtd"));
  gate.WaitForArrivals(1);
  std::thread opener([&] {
    // The reader resumes only once the wait has raised the flag.
    while (!io.Aborting) std::this_thread::yield();
    gate.Open();
  });
  io.WaitForIOThreads(true);
  opener.join();
  EXPECT_TRUE(io.Aborting);
  // The reader polled the flag before its first row.
  EXPECT_TRUE(borrowed.IsEmpty() || !IsSample(borrowed));
}

namespace {

std::mutex viewMutex;
std::vector<win::UINT> viewMessages;
std::vector<win::WPARAM> viewProgress;

win::LRESULT ViewProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam) {
  if (msg >= IKMSG_UPDATE && msg <= IKMSG_FINISHWORK) {
    std::lock_guard lock(viewMutex);
    viewMessages.push_back(msg);
    if (msg == IKMSG_PROGRESS) viewProgress.push_back(wParam);
    return 0;
  }
  return win::DefWindowProcA(hwnd, msg, wParam, lParam);
}

const char* ViewClass() {
  static const bool registered = [] {
    win::WNDCLASSA wc{};
    wc.lpfnWndProc = ViewProc;
    wc.lpszClassName = "VorixImagingTestView";
    return win::RegisterClassA(&wc) != 0;
  }();
  (void)registered;
  return "VorixImagingTestView";
}

// A view stand-in: a component with a real window and its own buffer.
class FakeView : public forms::TComponent, public TIKViewLink {
public:
  FakeView() : forms::TComponent(nullptr) {
    window = win::CreateWindowExA(0, ViewClass(), "view", win::WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                  nullptr);
  }
  ~FakeView() override {
    for (auto& o : observers)
      if (o) o(1);
    win::DestroyWindow(window);
  }
  forms::TComponent* ViewComponent() override { return this; }
  forms::TBitmap* GetCurrentBitmap() override { return nullptr; }
  TIKBitmap* GetCurrentIKBitmap() override { return &buffer; }
  int32_t RegisterObserver(std::function<void(int32_t)> o) override {
    observers.push_back(std::move(o));
    return static_cast<int32_t>(observers.size()) - 1;
  }
  void RemoveObserver(int32_t h) override {
    observers[static_cast<size_t>(h)] = nullptr;
    ++removedObservers;
  }
  bool HasParentWindow() override { return true; }
  win::HWND ViewHandle() override { return window; }
  void Update() override { ++updates; }
  void ImageChanged() override {
    ++imageChanged;
    if (rtl::IsMainThread()) ++imageChangedOnMain;
  }
  void SetDPI(int32_t x, int32_t y) override {
    dpiX = x;
    dpiY = y;
  }
  void SetDPIX(int32_t x) override { dpiX = x; }
  void SetDPIY(int32_t y) override { dpiY = y; }
  int32_t DpiX() override { return dpiX; }
  int32_t DpiY() override { return dpiY; }
  forms::TColor Background() override { return background; }
  void SetBackground(forms::TColor c) override { background = c; }
  bool IsThumbnailView() override { return false; }

  win::HWND window{};
  TIKBitmap buffer;
  std::vector<std::function<void(int32_t)>> observers;
  std::atomic<int> updates{0};
  std::atomic<int> imageChanged{0};
  std::atomic<int> imageChangedOnMain{0};
  std::atomic<int> removedObservers{0};
  std::atomic<int32_t> dpiX{0};
  std::atomic<int32_t> dpiY{0};
  forms::TColor background = 0x123456;
};

std::vector<win::UINT> PumpViewMessages() {
  win::MSG msg;
  while (win::PeekMessageA(&msg, nullptr, 0, 0, win::PM_REMOVE)) win::DispatchMessageA(&msg);
  std::lock_guard lock(viewMutex);
  return std::exchange(viewMessages, {});
}

}  // namespace

TEST_F(BackgroundIO, ViewHearsBackgroundWorkByPostedMessages) {
  FakeView view;
  TImgKitIO io(nullptr);
  io.SetAttachedImgKit(&view);
  ASSERT_EQ(io.IKBitmap(), &view.buffer);
  io.AsyncMode = true;
  std::atomic<int> directEvents{0};
  io.OnProgress = [&](forms::TObject*, int32_t) { ++directEvents; };
  io.OnFinishWork = [&](forms::TObject*) { ++directEvents; };
  PumpViewMessages();
  {
    std::lock_guard lock(viewMutex);
    viewProgress.clear();
  }

  io.LoadImageByFileName(Sample("v.gtd"));
  io.WaitForIOThreads(false);
  EXPECT_EQ(PumpViewMessages(),
            (std::vector<win::UINT>{IKMSG_PROGRESS, IKMSG_UPDATE, IKMSG_PROGRESS, IKMSG_FINISHWORK}));
  {
    std::lock_guard lock(viewMutex);
    EXPECT_EQ(viewProgress, (std::vector<win::WPARAM>{50, 100}));
  }
  EXPECT_EQ(directEvents, 0);
  EXPECT_EQ(view.updates, 0);
  EXPECT_EQ(view.imageChanged, 1);
  EXPECT_EQ(view.imageChangedOnMain, 0);
  EXPECT_TRUE(IsSample(view.buffer));
  EXPECT_EQ(view.dpiX, 300);

  // On the calling thread the view is updated directly and nothing is
  // posted.
  io.AsyncMode = false;
  io.LoadImageByFileName(Sample("w.gtd"));
  EXPECT_EQ(PumpViewMessages(), std::vector<win::UINT>{});
  EXPECT_EQ(view.updates, 1);
  EXPECT_EQ(view.imageChangedOnMain, 1);
  EXPECT_EQ(directEvents, 3);

  // The view's background is its own unless the component may change it.
  EXPECT_EQ(io.Background(), 0x123456);
  io.SetBackground(0x111111);
  EXPECT_EQ(view.background, 0x123456);
  io.ChangeBackground = true;
  io.SetBackground(0x111111);
  EXPECT_EQ(view.background, 0x111111);
}

TEST_F(BackgroundIO, DetachingAViewGivesAnOwnBuffer) {
  TImgKitIO io(nullptr);
  {
    FakeView view;
    io.SetAttachedImgKit(&view);
    EXPECT_EQ(io.IKBitmap(), &view.buffer);
  }
  // The view went: its buffer is no longer used.
  EXPECT_EQ(io.AttachedImgKit(), nullptr);
  ASSERT_NE(io.IKBitmap(), nullptr);
  io.AsyncMode = true;
  io.LoadImageByFileName(Sample("own.gtd"));
  EXPECT_EQ(io.IOThreadCount(), 0);
  EXPECT_TRUE(IsSample(*io.IKBitmap()));
}

TEST_F(BackgroundIO, StreamLoadsAndSavesMoveToo) {
  XtstRegistration xtst;
  TImgKitIO io(nullptr);
  TIKBitmap borrowed;
  FillSample(borrowed);
  io.AttachIKBitmap(&borrowed);
  io.AsyncMode = true;
  std::atomic<int> finishesOffMain{0};
  io.OnFinishWork = [&](forms::TObject*) {
    if (!rtl::IsMainThread()) ++finishesOffMain;
  };

  const std::string saved = folder_ + "saved.xts";
  io.SaveImageByFileName(saved);
  io.WaitForIOThreads(false);
  EXPECT_EQ(Xtst().writes, 1);
  EXPECT_EQ(ReadAll(saved), XtstSampleBytes());

  borrowed.FreeImage(true);
  rtl::TStringStream stream("ab" + XtstSampleBytes());
  stream.SetPosition(2);
  io.LoadFromStream(stream);
  io.WaitForIOThreads(false);
  EXPECT_EQ(Xtst().reads, 1);
  EXPECT_TRUE(IsSample(borrowed));
  EXPECT_EQ(io.Params().FileType, XtstId);
  EXPECT_EQ(finishesOffMain, 2);
  EXPECT_FALSE(io.Aborting);

  // A save that cannot happen says so at once: it has no completion event
  // to wait for.
  FilterOverride png(ioPNG, nullptr, nullptr);
  io.SaveToFilePNG(folder_ + "n.png");
  EXPECT_TRUE(io.Aborting);
  EXPECT_EQ(io.IOThreadCount(), 0);
  EXPECT_EQ(finishesOffMain, 2);
}
