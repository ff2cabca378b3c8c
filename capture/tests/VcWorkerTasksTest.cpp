// The worker of a real control: the order of a cycle in each mode, the
// task table, the event queue and its dispatcher, and the notification
// settings.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "VcWorkerTestUtil.h"
#include "platform/rtl/Exceptions.h"

using namespace capture;
using vcworkertest::ClockedFixture;
using vcworkertest::ManagerFixture;

namespace {

class VcWorkerTasks : public ClockedFixture {};

// On a timer tick the queued event comes before the queued task: the event
// handler still sees the engine as it was before the task ran. Task 0 marks
// the preview as wanted and posts OnDeviceLost, which comes a tick later.
TEST_F(VcWorkerTasks, TimerTickRaisesTheEventBeforeRunningTheTask) {
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  std::vector<std::string> seen;
  vc->OnPreviewStarted = [&](forms::TObject*) {
    seen.push_back(std::string("preview, pending ") + (e.PreviewPending ? "yes" : "no"));
  };
  vc->OnDeviceLost = [&](forms::TObject*) { seen.push_back("lost"); };

  e.PostEvent(qe_PreviewStarted);
  e.PostTask(TASK_DEVICE_LOST);
  EXPECT_TRUE(seen.empty()) << "both are queued";
  clock.Advance(14);
  EXPECT_TRUE(seen.empty());
  clock.Advance(1);
  EXPECT_EQ(seen, (std::vector<std::string>{"preview, pending no"}));
  EXPECT_TRUE(e.PreviewPending);
  clock.Advance(15);
  EXPECT_EQ(seen, (std::vector<std::string>{"preview, pending no", "lost"}));
}

// One task per cycle, in posting order.
TEST_F(VcWorkerTasks, QueuedTasksRunOnePerCycle) {
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  int lost = 0;
  vc->OnDeviceLost = [&](forms::TObject*) { ++lost; };
  for (int i = 0; i < 3; ++i) e.PostTask(TASK_DEVICE_LOST);
  EXPECT_EQ(e.TaskQueue.Count(), 3);
  for (int expected : {2, 1, 0}) {
    clock.Advance(15);
    EXPECT_EQ(e.TaskQueue.Count(), expected);
  }
  clock.Advance(45);
  EXPECT_EQ(lost, 3);
}

// Which codes are queued, which run at once, and what runs at once does.
TEST_F(VcWorkerTasks, TaskTable) {
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  for (int32_t code = 0; code <= 14; ++code) {
    SCOPED_TRACE(code);
    const int before = e.TaskQueue.Count();
    e.PostTask(code);
    EXPECT_EQ(e.TaskQueue.Count() - before, code <= 4 ? 1 : 0);
  }
  e.TaskQueue.TakeAll();
  // Task 13 tried to open a clip (there is none) and announced it.
  e.EventQueue.TakeAll();

  // Task 8 ends a running activity: the engine is idle and OnInactive waits
  // in the queue; with nothing active it does nothing.
  auto control = std::make_shared<vcworkertest::CountingControl>();
  e.MediaControl = control;
  e.State = es_Preview;
  e.GraphState = gs_Running;
  e.GraphActive = true;
  e.PostTask(TASK_END_ACTIVITY);
  EXPECT_EQ(e.State, es_Idle);
  EXPECT_FALSE(e.GraphActive);
  TVcEventRecord record;
  ASSERT_TRUE(e.EventQueue.TakeFirst(record));
  EXPECT_EQ(record.Event, qe_Inactive);
  e.PostTask(TASK_END_ACTIVITY);
  EXPECT_TRUE(e.EventQueue.Empty());

  // Task 0 ends what runs too, and asks for the preview again.
  e.State = es_Recording;
  e.GraphActive = true;
  e.PreviewPending = false;
  e.RunTask(TASK_DEVICE_LOST);
  EXPECT_EQ(e.State, es_Idle);
  EXPECT_TRUE(e.PreviewPending);
  std::vector<TVcQueuedEvent> posted;
  while (e.EventQueue.TakeFirst(record)) posted.push_back(record.Event);
  EXPECT_EQ(posted, (std::vector<TVcQueuedEvent>{qe_RecordingCompleted, qe_Inactive, qe_DeviceLost}));
}

// Graph work needs a window: a control without any parent is given the
// device manager's hidden window by the tasks from 9 on, not before.
TEST_F(VcWorkerTasks, GraphTasksGiveAParentlessControlTheHiddenWindow) {
  TVidCap* vc = MakeControl(/*onForm=*/false);
  ASSERT_EQ(vc->Parent(), nullptr);
  for (int32_t code : {5, 6, 7, 8}) vc->Engine()->PostTask(code);
  EXPECT_EQ(vc->Parent(), nullptr);
  vc->Engine()->PostTask(TASK_START_PREVIEW);
  ASSERT_NE(DeviceManagerForm(), nullptr);
  EXPECT_EQ(vc->Parent(), DeviceManagerForm());
  EXPECT_TRUE(vc->HandleAllocated());
}

// Every queued event reaches its own handler with the engine's data at the
// moment it is raised. Without a window only the three events with the
// light guard pass.
TEST_F(VcWorkerTasks, EventDispatchTableAndGuards) {
  struct Row {
    TVcQueuedEvent event;
    bool light;
    std::function<void(TVidCap*, std::vector<std::string>&)> assign;
  };
  using S = const String&;
  using O = forms::TObject*;
  const std::vector<Row> rows = {
      {qe_RecordingStarted, false, [](TVidCap* c, auto& out) { c->OnRecordingStarted = [&](O, S f) { out.push_back("RecordingStarted " + f); }; }},
      {qe_PreviewStarted, false, [](TVidCap* c, auto& out) { c->OnPreviewStarted = [&](O) { out.push_back("PreviewStarted"); }; }},
      {qe_DeviceLost, true, [](TVidCap* c, auto& out) { c->OnDeviceLost = [&](O) { out.push_back("DeviceLost"); }; }},
      {qe_PlayerOpened, false, [](TVidCap* c, auto& out) { c->OnPlayerOpened = [&](O) { out.push_back("PlayerOpened"); }; }},
      {qe_CopyPreallocDataProgress, false, [](TVidCap* c, auto& out) { c->OnCopyPreallocDataProgress = [&](O, const TProgressInfo& p) { out.push_back("CopyProgress " + std::to_string(p.Percent)); }; }},
      {qe_ReencodingProgress, false, [](TVidCap* c, auto& out) { c->OnReencodingProgress = [&](O, const TProgressInfo& p) { out.push_back("ReencodingProgress " + std::to_string(p.Percent)); }; }},
      {qe_ReencodingStarted, false, [](TVidCap* c, auto& out) { c->OnReencodingStarted = [&](O, S s, S d) { out.push_back("ReencodingStarted " + s + ">" + d); }; }},
      {qe_Inactive, false, [](TVidCap* c, auto& out) { c->OnInactive = [&](O) { out.push_back("Inactive"); }; }},
      {qe_TVChannelSelected, false, [](TVidCap* c, auto& out) { c->OnTVChannelSelected = [&](O, const TTVChannelInfo& i) { out.push_back("TVChannelSelected " + std::to_string(i.Channel)); }; }},
      {qe_TVChannelScanStarted, false, [](TVidCap* c, auto& out) { c->OnTVChannelScanStarted = [&](O, int32_t a, int32_t b) { out.push_back("TVChannelScanStarted " + std::to_string(a) + "-" + std::to_string(b)); }; }},
      {qe_RecordingCompleted, false, [](TVidCap* c, auto& out) { c->OnRecordingCompleted = [&](O, S f, bool ok) { out.push_back("RecordingCompleted " + f + (ok ? " ok" : " failed")); }; }},
      {qe_ReencodingCompleted, false, [](TVidCap* c, auto& out) { c->OnReencodingCompleted = [&](O, S s, S d, bool ok) { out.push_back("ReencodingCompleted " + s + ">" + d + (ok ? " ok" : " failed")); }; }},
      {qe_CopyPreallocDataCompleted, false, [](TVidCap* c, auto& out) { c->OnCopyPreallocDataCompleted = [&](O, S s, S d, bool ok) { out.push_back("CopyCompleted " + s + ">" + d + (ok ? " ok" : " failed")); }; }},
      {qe_VideoDeviceSelected, true, [](TVidCap* c, auto& out) { c->OnVideoDeviceSelected = [&](O) { out.push_back("VideoDeviceSelected"); }; }},
      {qe_AudioDeviceSelected, true, [](TVidCap* c, auto& out) { c->OnAudioDeviceSelected = [&](O) { out.push_back("AudioDeviceSelected"); }; }},
      {qe_CreatePreallocFileStarted, false, [](TVidCap* c, auto& out) { c->OnCreatePreallocFileStarted = [&](O, S f) { out.push_back("CreatePreallocStarted " + f); }; }},
      {qe_CreatePreallocFileCompleted, false, [](TVidCap* c, auto& out) { c->OnCreatePreallocFileCompleted = [&](O, S f, bool ok) { out.push_back("CreatePreallocCompleted " + f + (ok ? " ok" : " failed")); }; }},
      {qe_DiskFull, false, [](TVidCap* c, auto& out) { c->OnDiskFull = [&](O) { out.push_back("DiskFull"); }; }},
      {qe_CopyPreallocDataStarted, false, [](TVidCap* c, auto& out) { c->OnCopyPreallocDataStarted = [&](O, S s, S d) { out.push_back("CopyStarted " + s + ">" + d); }; }},
      {qe_NoVideoDevices, false, [](TVidCap* c, auto& out) { c->OnNoVideoDevices = [&](O) { out.push_back("NoVideoDevices"); }; }},
      {qe_DirectNetworkStreamingHostUrl, false, [](TVidCap* c, auto& out) { c->OnDirectNetworkStreamingHostUrl = [&](O, S u, S h, int32_t p) { out.push_back("HostUrl " + u + " " + h + ":" + std::to_string(p)); }; }},
      {qe_Reinitializing, false, [](TVidCap* c, auto& out) { c->OnReinitializing = [&](O) { out.push_back("Reinitializing"); }; }},
  };
  ASSERT_EQ(static_cast<int>(rows.size()), kQueuedEventCount);
  const std::vector<std::string> expected = {
      "RecordingStarted new.avi", "PreviewStarted", "DeviceLost", "PlayerOpened", "CopyProgress 42",
      "ReencodingProgress 42", "ReencodingStarted a.rec>b.avi", "Inactive", "TVChannelSelected 7",
      "TVChannelScanStarted 2-9", "RecordingCompleted new.avi ok", "ReencodingCompleted a.rec>b.avi ok",
      "CopyCompleted a.rec>b.avi ok", "VideoDeviceSelected", "AudioDeviceSelected", "CreatePreallocStarted pre.avi",
      "CreatePreallocCompleted pre.avi failed", "DiskFull", "CopyStarted a.rec>b.avi", "NoVideoDevices",
      "HostUrl http://h:8080 h:8080", "Reinitializing"};

  for (bool withWindow : {true, false}) {
    SCOPED_TRACE(withWindow ? "with a window" : "without a window");
    TVidCap* vc = MakeControl(withWindow);
    TVcEngine& e = *vc->Engine();
    std::vector<std::string> out;
    for (const Row& r : rows) r.assign(vc, out);
    e.CurrentRecordingFile = "old.avi";
    for (const Row& r : rows) e.PostEvent(r.event);
    // Read when raised, not when posted.
    e.CurrentRecordingFile = "new.avi";
    e.RecordingSuccess = true;
    e.ProgressInfo.Percent = 42;
    e.CopySourceFile = "a.rec";
    e.CopyDestFile = "b.avi";
    e.CopySuccess = true;
    e.ChannelInfo.Channel = 7;
    e.ScanMinChannel = 2;
    e.ScanMaxChannel = 9;
    e.PreallocFileName = "pre.avi";
    e.HostUrl = "http://h:8080";
    e.HostName = "h";
    e.HostPort = 8080;
    while (e.RaiseNextEvent()) {
    }
    if (withWindow) {
      EXPECT_EQ(out, expected);
    } else {
      EXPECT_EQ(out, (std::vector<std::string>{"DeviceLost", "VideoDeviceSelected", "AudioDeviceSelected"}));
    }
    delete vc;
  }
}

// A handler missing when its event is posted is never called, even when
// one is assigned before the event's turn; one removed in between is not
// called either. With EventNotificationSynchrone the event is raised inside
// PostEvent.
TEST_F(VcWorkerTasks, HandlerAssignmentAtPostingDecides) {
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  int inactive = 0, diskFull = 0;
  e.PostEvent(qe_Inactive);
  vc->OnInactive = [&](forms::TObject*) { ++inactive; };
  vc->OnDiskFull = [&](forms::TObject*) { ++diskFull; };
  e.PostEvent(qe_DiskFull);
  vc->OnDiskFull = nullptr;
  e.PostEvent(qe_Inactive);
  clock.Advance(15 * 5);
  EXPECT_EQ(inactive, 1);
  EXPECT_EQ(diskFull, 0);
  EXPECT_TRUE(e.EventQueue.Empty());

  e.EventNotificationSynchrone = true;
  e.PostEvent(qe_Inactive);
  EXPECT_EQ(inactive, 2);
  EXPECT_TRUE(e.EventQueue.Empty());
}

// A handler that throws on the GUI thread goes to the application's
// exception handling, and the worker goes on with its next cycles.
TEST_F(VcWorkerTasks, AThrowingHandlerDoesNotStopTheWorker) {
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  int calls = 0;
  vc->OnInactive = [&](forms::TObject*) {
    if (++calls == 1) throw rtl::Exception("handler failed");
  };
  std::vector<std::string> caught;
  forms::Application->OnException = [&](forms::TObject*, const std::exception& x) { caught.push_back(x.what()); };
  e.PostEvent(qe_Inactive);
  e.PostEvent(qe_Inactive);
  e.PostTask(TASK_DEVICE_LOST);
  e.PostTask(TASK_DEVICE_LOST);
  clock.Advance(15 * 6);
  forms::Application->OnException = nullptr;
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(caught, (std::vector<std::string>{"handler failed"}));
  EXPECT_TRUE(e.TaskQueue.Empty());
  EXPECT_FALSE(e.Worker->InTimer());
}

// Destroying a control with events and tasks queued runs none of them.
TEST_F(VcWorkerTasks, DestructionDropsWhatIsQueued) {
  TVidCap* vc = MakeControl();
  int raised = 0;
  vc->OnInactive = [&](forms::TObject*) { ++raised; };
  vc->OnDeviceLost = [&](forms::TObject*) { ++raised; };
  for (int i = 0; i < 3; ++i) {
    vc->Engine()->PostEvent(qe_Inactive);
    vc->Engine()->PostTask(TASK_DEVICE_LOST);
  }
  delete vc;
  clock.Advance(300);
  EXPECT_EQ(raised, 0);
}

TEST_F(VcWorkerTasks, NotificationSettingsReachTheWorker) {
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  ASSERT_NE(e.Worker, nullptr);
  EXPECT_EQ(e.Worker->Name(), "task");
  EXPECT_EQ(e.Worker->Period(), 15);
  EXPECT_FALSE(e.Worker->Stopped());
  EXPECT_EQ(e.Worker->Mode(), kDualModeTimer);

  for (int32_t ignored : {0, -2, 10001}) {
    e.SetNotificationSleepTime(ignored);
    EXPECT_EQ(e.NotificationSleepTime, -1) << ignored;
  }
  e.SetNotificationSleepTime(40);
  EXPECT_EQ(e.Worker->Period(), 40);
  EXPECT_EQ(e.PlayerStepInterval, 2);
  // The timer follows: three ticks in 120 ms, each taking one task.
  for (int i = 0; i < 4; ++i) e.PostTask(TASK_DEVICE_LOST);
  clock.Advance(120);
  EXPECT_EQ(e.TaskQueue.Count(), 1);

  // With a clip open the worker runs every 15 ms, whatever the setting.
  e.State = es_PlayerOpen;
  e.ApplyNotificationPeriod();
  EXPECT_EQ(e.Worker->Period(), 15);
  EXPECT_EQ(e.PlayerStepInterval, 7);
  e.State = es_Idle;
  e.SetNotificationSleepTime(10000);
  EXPECT_EQ(e.Worker->Period(), 10000);

  e.SetNotificationPriority(rtl::tpHigher);
  EXPECT_EQ(e.Worker->Priority(), rtl::tpHigher);
  e.SetNotificationMethod(nm_Thread);
  EXPECT_EQ(e.Worker->Mode(), kDualModeThread);
  e.SetNotificationMethod(nm_Timer);
  EXPECT_TRUE(e.Worker->WaitThreadParked(10000));
}

// Busy pairs of two controls nest in one count; each step is traced, and an
// engine's busy flag goes only when the whole nesting has ended.
TEST_F(VcWorkerTasks, BusyCursorPairsOfTwoControls) {
  SetTraceOn();
  TVidCap* a = MakeControl();
  TVidCap* b = MakeControl();
  const int from = TraceLog()->Lines().Count();
  SetBusyCursor(a->Engine(), true);
  SetBusyCursor(b->Engine(), true);
  SetBusyCursor(b->Engine(), false);
  EXPECT_EQ(forms::Screen->Cursor(), forms::crHourGlass);
  EXPECT_TRUE(a->Engine()->Busy);
  EXPECT_TRUE(b->Engine()->Busy);
  SetBusyCursor(a->Engine(), false);
  SetBusyCursor(a->Engine(), false);
  EXPECT_EQ(forms::Screen->Cursor(), forms::crDefault);
  EXPECT_FALSE(a->Engine()->Busy);
  std::vector<std::string> steps;
  for (int i = from; i < TraceLog()->Lines().Count(); ++i) {
    const std::string& line = TraceLog()->Lines()[i];
    const auto at = line.find("cursor ");
    if (at != std::string::npos) steps.push_back(line.substr(at, 10));
  }
  EXPECT_EQ(steps, (std::vector<std::string>{"cursor + 1", "cursor + 2", "cursor - 1", "cursor - 0", "cursor - 0"}));
}

// Thread mode with real threads (run under the thread sanitizer too): the
// worker thread takes the queued task before the queued event, and the
// handler runs on that thread.
class VcWorkerThreadMode : public ManagerFixture {};

TEST_F(VcWorkerThreadMode, TaskBeforeEventOnTheWorkerThread) {
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  std::atomic<bool> pendingSeen{false};
  std::atomic<uint32_t> handlerThread{0};
  rtl::TEvent raised(false, false);
  vc->OnPreviewStarted = [&](forms::TObject*) {
    pendingSeen = e.PreviewPending;
    handlerThread = rtl::GetCurrentThreadId();
    raised.SetEvent();
  };
  rtl::TEvent lost(false, false);
  vc->OnDeviceLost = [&](forms::TObject*) { lost.SetEvent(); };

  // Queued while the worker is parked, so that both wait for one cycle.
  e.PostEvent(qe_PreviewStarted);
  e.PostTask(TASK_DEVICE_LOST);
  e.SetNotificationMethod(nm_Thread);
  ASSERT_EQ(raised.WaitFor(10000), rtl::wrSignaled);
  EXPECT_TRUE(pendingSeen) << "the task ran first in the cycle";
  EXPECT_NE(handlerThread.load(), rtl::MainThreadID());
  EXPECT_EQ(handlerThread.load(), e.Worker->ThreadID());
  ASSERT_EQ(lost.WaitFor(10000), rtl::wrSignaled);

  // Posting from other threads while the worker runs.
  std::atomic<int> inactive{0};
  rtl::TEvent allRaised(false, false);
  vc->OnInactive = [&](forms::TObject*) {
    if (++inactive == 40) allRaised.SetEvent();
  };
  std::thread p1([&] {
    for (int i = 0; i < 20; ++i) e.PostEvent(qe_Inactive);
  });
  std::thread p2([&] {
    for (int i = 0; i < 20; ++i) e.PostEvent(qe_Inactive);
  });
  p1.join();
  p2.join();
  ASSERT_EQ(allRaised.WaitFor(20000), rtl::wrSignaled);

  EXPECT_EQ(inactive, 40);

  // A handler on the worker thread switches back to the timer: the thread
  // parks after its cycle, and the timer, which belongs to the GUI thread,
  // is started there. (Back on the timer before the control goes: its
  // destructor clears the handlers, which must not race with a handler the
  // thread is calling.)
  rtl::TEvent switched(false, false);
  vc->OnDiskFull = [&](forms::TObject*) {
    e.SetNotificationMethod(nm_Timer);
    switched.SetEvent();
  };
  e.PostEvent(qe_DiskFull);
  ASSERT_EQ(switched.WaitFor(10000), rtl::wrSignaled);
  ASSERT_TRUE(e.Worker->WaitThreadParked(10000));
  std::atomic<uint32_t> raisedOn{0};
  vc->OnNoVideoDevices = [&](forms::TObject*) { raisedOn = rtl::GetCurrentThreadId(); };
  e.PostEvent(qe_NoVideoDevices);
  for (int i = 0; i < 2000 && raisedOn == 0; ++i) {
    rtl::CheckSynchronize(5);
    forms::Application->ProcessMessages();
  }
  EXPECT_EQ(raisedOn.load(), rtl::MainThreadID()) << "the timer's tick raised it";
  EXPECT_EQ(e.Worker->Mode(), kDualModeTimer);
}

}  // namespace

namespace {

// A control freed while its worker thread is busy raising events: the thread
// ends before the handlers go, so no handler is read while it is cleared.
TEST_F(VcWorkerThreadMode, FreeingTheControlInThreadModeEndsTheWorkerFirst) {
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  std::atomic<int> raised{0};
  rtl::TEvent first(false, false);
  vc->OnInactive = [&](forms::TObject*) {
    if (++raised == 1) first.SetEvent();
    e.PostEvent(qe_Inactive);  // keeps the worker busy until it ends
  };
  e.SetNotificationMethod(nm_Thread);
  e.PostEvent(qe_Inactive);
  ASSERT_EQ(first.WaitFor(10000), rtl::wrSignaled);
  delete vc;
  EXPECT_GE(raised.load(), 1);
}

}  // namespace
