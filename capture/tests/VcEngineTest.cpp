#include "platform/win/Dc.h"
#include "capture/VcEngine.h"

#include <gtest/gtest.h>

#include <fstream>

#include "capture/VcDeviceManager.h"
#include "capture/tests/VidCapTestUtil.h"

using namespace capture;
using captest::LogEntry;

namespace {

class VcEngineTest : public captest::VidCapFixture {};

const LogEntry kNoDevice{e_no_video_device_selected, "ERROR", "no video device selected"};
const LogEntry kStopRecording{e_stop_recording_first, "ERROR", "first stop recording"};
const LogEntry kStopReencoding{e_reencoding, "ERROR", "first stop reencoding"};
const LogEntry kClosePlayer{e_stop_player_first, "ERROR", "first close player"};
const LogEntry kStopPreview{e_stop_preview_first, "ERROR", "first stop preview"};
const LogEntry kStartPreview{e_start_preview_first, "ERROR", "first start preview"};

struct PreconditionCase {
  const char* name;
  TEngineStates allowed;
  bool deviceCheck;
  int32_t videoDevice;
  TVideoSource source;
  // Reports expected in each engine state (idle .. re-encoding).
  std::vector<std::vector<LogEntry>> perState;
};

TEST_F(VcEngineTest, PreconditionsReportEveryFailedCheckInEachState) {
  const std::vector<PreconditionCase> cases = {
      {"start", {es_Idle, es_Preview, es_PlayerOpen}, true, 0, vs_VideoCaptureDevice,
       {{}, {}, {kStopRecording}, {}, {kStopReencoding}}},
      {"stop preview", {es_Preview}, true, 0, vs_VideoCaptureDevice,
       {{kStartPreview}, {}, {kStopRecording}, {kClosePlayer}, {kStopReencoding}}},
      {"refresh", {es_Idle, es_Preview}, true, 0, vs_VideoCaptureDevice,
       {{}, {}, {kStopRecording}, {kClosePlayer}, {kStopReencoding}}},
      {"idle only", {es_Idle}, false, 0, vs_VideoCaptureDevice,
       {{}, {kStopPreview}, {kStopRecording}, {kClosePlayer}, {kStopReencoding}}},
      // Without a device every check still runs, the device one first.
      {"stop preview, no device", {es_Preview}, true, -1, vs_VideoCaptureDevice,
       {{kNoDevice, kStartPreview}, {kNoDevice}, {kNoDevice, kStopRecording}, {kNoDevice, kClosePlayer},
        {kNoDevice, kStopReencoding}}},
      // The device check only matters for a capture source or a recording.
      {"preview of a file", {es_Idle, es_Preview}, true, -1, vs_VideoFileOrURL,
       {{}, {}, {kStopRecording}, {kClosePlayer}, {kStopReencoding}}},
      {"preview without device check", {es_Idle, es_Preview}, false, -1, vs_VideoCaptureDevice,
       {{}, {}, {kStopRecording}, {kClosePlayer}, {kStopReencoding}}},
      {"recording of a file", {es_Idle, es_Recording}, false, -1, vs_VideoFileOrURL,
       {{kNoDevice}, {kNoDevice, kStopPreview}, {kNoDevice}, {kNoDevice, kClosePlayer},
        {kNoDevice, kStopReencoding}}},
  };
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  for (const PreconditionCase& c : cases) {
    for (int32_t state = es_Idle; state <= es_Reencoding; ++state) {
      SCOPED_TRACE(std::string(c.name) + ", state " + std::to_string(state));
      e.State = state;
      e.VideoDevice = c.videoDevice;
      e.VideoSource = c.source;
      log.clear();
      const bool passed = e.CheckPreconditions(c.allowed, SEV_ERROR, c.deviceCheck);
      EXPECT_EQ(log, c.perState[state]);
      EXPECT_EQ(passed, c.perState[state].empty());
    }
  }
  e.State = es_Idle;
}

TEST_F(VcEngineTest, PreconditionSeverityReachesTheReport) {
  TVidCap* vc = MakeControl();
  vc->Engine()->State = es_Recording;
  EXPECT_FALSE(vc->Engine()->CheckPreconditions({es_Idle}, SEV_WARNING, false));
  EXPECT_EQ(log, (std::vector<LogEntry>{{e_stop_recording_first, "WARNING", "first stop recording"}}));
  vc->Engine()->State = es_Idle;
}

TEST_F(VcEngineTest, CheckIndexRefusesEmptyListsAndIndexesPastTheEnd) {
  struct Case {
    int32_t index, count;
    bool refused;
    std::vector<LogEntry> reports;
  };
  const Case cases[] = {
      {0, 0, true, {{e_no_device_available, "INFO", "no video capture device available"}}},
      {-1, 0, true, {{e_no_device_available, "INFO", "no video capture device available"}}},
      {5, 3, true, {{e_index_out_of_range, "ERROR", "index of video capture device out of range"}}},
      {3, 3, true, {{e_index_out_of_range, "ERROR", "index of video capture device out of range"}}},
      {2, 3, false, {}},
      {-1, 3, false, {}},
  };
  TVidCap* vc = MakeControl();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.index) + " of " + std::to_string(c.count));
    log.clear();
    EXPECT_EQ(vc->Engine()->CheckIndex(c.index, c.count, "video capture device"), c.refused);
    EXPECT_EQ(log, c.reports);
  }
}

TEST_F(VcEngineTest, TeardownTracesItsStepsInOrder) {
  SetTraceOn();
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  const std::vector<std::string> withoutGraph = {"begin clear", "stopped",      "cleared",    "saved",
                                                 "interfaces cl", "all cleared", "end clear"};
  int from = TraceCount();
  e.ClearGraph(true);
  EXPECT_EQ(TraceTexts(from), withoutGraph);

  auto control = std::make_shared<captest::ScriptedControl>();
  e.MediaControl = control;
  e.State = es_Preview;
  e.GraphState = gs_Running;
  e.GraphActive = true;
  from = TraceCount();
  e.ClearGraph(true);
  std::vector<std::string> lines = TraceTexts(from);
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], "begin clear");
  EXPECT_EQ(lines[1], "ch graph state stopped clear");
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.end()),
            std::vector<std::string>(withoutGraph.begin() + 1, withoutGraph.end()));
  EXPECT_EQ(control->stops, 1);
  EXPECT_EQ(e.State, es_Idle);
  EXPECT_EQ(e.GraphState, gs_Stopped);
  EXPECT_FALSE(e.GraphActive);
  EXPECT_EQ(e.MediaControl, nullptr);
}

TEST_F(VcEngineTest, TeardownWithoutResetKeepsTheEngineState) {
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  e.State = es_Recording;
  e.SettingsLatched = true;
  e.RecordingStarted = true;
  e.ClearGraph(false);
  EXPECT_EQ(e.State, es_Recording);
  EXPECT_TRUE(e.SettingsLatched);
  EXPECT_FALSE(e.RecordingStarted);
  e.ClearGraph(true);
  EXPECT_EQ(e.State, es_Idle);
  EXPECT_FALSE(e.SettingsLatched);
}

TEST_F(VcEngineTest, MasterTeardownStopsItsSlaveGraphs) {
  SetTraceOn();
  TVidCap* master = MakeControl();
  TVidCap* slave = MakeControl();
  auto slaveControl = std::make_shared<captest::ScriptedControl>();
  master->Engine()->MultiplexedRole = mr_MultiplexedMaster;
  master->Engine()->Slave[0] = slave->Engine();
  slave->Engine()->Master = master->Engine();
  slave->Engine()->MediaControl = slaveControl;
  const int from = TraceCount();
  master->Engine()->ClearGraph(true);
  EXPECT_EQ(slaveControl->stops, 1);
  const auto lines = TraceTexts(from);
  EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                         [](const std::string& s) { return s.ends_with("ch graph state stopped clearslaver"); }),
            lines.end());
  // Freeing the slave unlinks it from its master.
  delete slave;
  EXPECT_EQ(master->Engine()->Slave[0], nullptr);
}

TEST_F(VcEngineTest, GraphRunIsRetriedOnceAndAFailedRunIsNotCountedAsRunning) {
  struct Case {
    std::deque<mg::HRESULT> runs;
    bool ok;
    const char* trace;
  };
  const Case cases[] = {
      {{mg::S_OK}, true, nullptr},
      {{mg::E_FAIL, mg::S_OK}, true, "successfully restarted bprev"},
      {{mg::E_FAIL, mg::E_FAIL}, false, "ERROR: failed to run bprev"},
  };
  SetTraceOn();
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  for (const Case& c : cases) {
    auto control = std::make_shared<captest::ScriptedControl>();
    control->runResults = c.runs;
    e.MediaControl = control;
    e.GraphState = gs_Stopped;
    const int from = TraceCount();
    EXPECT_EQ(e.SetGraphState(gs_Running, "bprev"), c.ok);
    EXPECT_EQ(e.GraphState, c.ok ? gs_Running : gs_Stopped);
    EXPECT_EQ(e.GraphActive, c.ok);
    EXPECT_EQ(control->runs, static_cast<int>(c.runs.size()));
    const auto lines = TraceTexts(from);
    if (c.trace) {
      ASSERT_FALSE(lines.empty());
      EXPECT_TRUE(lines.back().ends_with(c.trace)) << lines.back();
    }
  }
  e.MediaControl.reset();
}

TEST_F(VcEngineTest, PauseMarksTheGraphActiveAndRemembersTheRenderer) {
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  EXPECT_FALSE(e.SetGraphState(gs_Paused, "ppg"));  // no graph: nothing happens
  EXPECT_FALSE(e.GraphActive);
  e.MediaControl = std::make_shared<captest::ScriptedControl>();
  e.Latched.VideoRenderer = vr_VMR7;
  EXPECT_TRUE(e.SetGraphState(gs_Paused, "ppg"));
  EXPECT_EQ(e.GraphState, gs_Paused);
  EXPECT_TRUE(e.GraphActive);
  EXPECT_TRUE(e.PausedWithVMR7);
  EXPECT_TRUE(e.SetGraphState(gs_Stopped, "x"));
  EXPECT_FALSE(e.GraphActive);
  e.MediaControl.reset();
}

TEST_F(VcEngineTest, ARecordingWhoseGraphDoesNotRunNeverStarts) {
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  auto control = std::make_shared<captest::ScriptedControl>();
  control->runResults = {mg::E_FAIL, mg::E_FAIL};
  e.MediaControl = control;
  e.State = es_Recording;
  EXPECT_FALSE(e.ActivateGraph());
  EXPECT_FALSE(e.RecordingStarted);
  EXPECT_NE(e.SyncStartState, 5);
  control->runResults = {};
  EXPECT_TRUE(e.ActivateGraph());
  EXPECT_TRUE(e.RecordingStarted);
  EXPECT_EQ(e.SyncStartState, 5);
  e.ClearGraph(true);
}

TEST_F(VcEngineTest, LatchRefusesRecordingOnMotionWithoutAvi) {
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  e.RecordingOnMotion_Enabled = true;
  e.RecordingMethod = rm_ASF;
  e.HoldRecording = true;
  EXPECT_FALSE(e.LatchSettings(false));
  EXPECT_EQ(log, (std::vector<LogEntry>{{e_recording_on_motion_failed, "ERROR",
                                         "recording on motion not compatible with ASF, change to RecordingMethod = "
                                         "rm_AVI"}}));
  EXPECT_FALSE(e.SettingsLatched);

  e.RecordingMethod = rm_AVI;
  EXPECT_TRUE(e.LatchSettings(false));
  EXPECT_TRUE(e.SettingsLatched);
  // Recording on motion pauses the recording itself and never holds it.
  EXPECT_TRUE(e.Latched.RecordingCanPause);
  EXPECT_FALSE(e.Latched.HoldRecording);
}

TEST_F(VcEngineTest, LatchCopiesSettingsAndSetterChangesWaitForTheNextLatch) {
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  e.FrameGrabber = fg_BothStreams;
  e.BurstCount = 7;
  e.AudioRecording = true;
  ASSERT_TRUE(e.LatchSettings(false));
  e.BurstCount = 9;
  EXPECT_EQ(e.Latched.FrameGrabber, fg_BothStreams);
  EXPECT_EQ(e.Latched.BurstCount, 7);
  EXPECT_TRUE(e.Latched.AudioRecording);
  EXPECT_EQ(e.ChosenVideoSubtype, -1);
  EXPECT_TRUE(e.IncludeVideo);
}

TEST_F(VcEngineTest, LatchChoosesTheGrabberPixelFormat) {
  struct Case {
    const char* name;
    TFrameGrabber grabber;
    TFrameGrabberRGBFormat format;
    bool motion;
    int32_t brightness;
    TVideoRotation rotation;
    TFrameGrabberRGBFormat expected;
  };
  const Case cases[] = {
      {"default", fg_PreviewStream, fgf_Default, false, 0, rt_0_deg, fgf_Default},
      {"asked format", fg_PreviewStream, fgf_RGB565, false, 0, rt_0_deg, fgf_RGB565},
      {"motion needs RGB", fg_PreviewStream, fgf_RGB565, true, 0, rt_0_deg, fgf_RGB32},
      {"colour processing", fg_PreviewStream, fgf_Default, false, 10, rt_0_deg, fgf_RGB32},
      {"quarter turn", fg_PreviewStream, fgf_Default, false, 0, rt_90_deg_mirror, fgf_RGB32},
      {"half turn is no geometry", fg_PreviewStream, fgf_RGB24, false, 0, rt_180_deg, fgf_RGB24},
      {"grabber off", fg_Disabled, fgf_RGB24, true, 0, rt_0_deg, fgf_Default},
  };
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    e.FrameGrabber = c.grabber;
    e.FrameGrabberRGBFormat = c.format;
    e.MotionDetector_Enabled = c.motion;
    e.VideoProcessing_Brightness = c.brightness;
    e.VideoProcessing_Rotation = c.rotation;
    EXPECT_TRUE(e.LatchSettings(false));
    EXPECT_EQ(e.EffectivePixelFormat, c.expected);
  }
}

// The subtype asked of the device for processing follows the display's
// depth; an asked format picks by its own preference; otherwise the selected
// subtype names the format.
TEST_F(VcEngineTest, LatchChoosesTheSubtypeByTheDisplaysDepth) {
  struct Case {
    const char* name;
    int depth;
    std::vector<const char*> subtypes;
    bool motion;
    TFrameGrabberRGBFormat asked;
    int32_t selected;
    int32_t chosen;
    TFrameGrabberRGBFormat format;
  };
  const Case cases[] = {
      {"24-bit display", 24, {"YUY2", "RGB24", "RGB32"}, true, fgf_Default, 0, 1, fgf_RGB24},
      {"32-bit display", 32, {"YUY2", "RGB24", "RGB32"}, true, fgf_Default, 0, 2, fgf_RGB32},
      {"16-bit display", 16, {"YUY2", "RGB555", "RGB565"}, true, fgf_Default, 0, 2, fgf_RGB32},
      {"24-bit display without RGB24", 24, {"YUY2", "RGB32"}, true, fgf_Default, 0, 1, fgf_RGB24},
      {"asked 32 bits beats the display", 24, {"YUY2", "RGB24", "RGB32"}, true, fgf_RGB32, 0, 2, fgf_RGB32},
      {"no RGB subtype", 32, {"YUY2", "MJPG"}, true, fgf_Default, 0, -1, fgf_RGB32},
      {"asked format's preference", 24, {"YUY2", "RGB24", "RGB32"}, false, fgf_RGB565, 0, 2, fgf_RGB565},
      {"selected RGB24", 32, {"YUY2", "RGB24"}, false, fgf_Default, 1, -1, fgf_RGB24},
      {"selected YUY2 on 24 bits", 24, {"YUY2", "RGB24"}, false, fgf_Default, 0, -1, fgf_RGB24},
      {"selected YUY2 on 32 bits", 32, {"YUY2", "RGB24"}, false, fgf_Default, 0, -1, fgf_RGB32},
  };
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  e.FrameGrabber = fg_PreviewStream;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    win::SetScreenBitsPerPixel(c.depth);
    e.Sel.VideoSubtypes.Clear();
    for (const char* s : c.subtypes) e.Sel.VideoSubtypes.Add(s);
    e.DeviceSettings.Video[vds_VideoSubtype].IntValue = c.selected;
    e.MotionDetector_Enabled = c.motion;
    e.FrameGrabberRGBFormat = c.asked;
    EXPECT_TRUE(e.LatchSettings(false));
    EXPECT_EQ(e.ChosenVideoSubtype, c.chosen);
    EXPECT_EQ(e.EffectivePixelFormat, c.format);
  }
  win::SetScreenBitsPerPixel(0);
}

TEST_F(VcEngineTest, SlaveLatchNeedsARunningMaster) {
  TVidCap* master = MakeControl();
  TVidCap* slave = MakeControl();
  TVcEngine& s = *slave->Engine();
  s.MultiplexedRole = mr_MultiplexedSlave;
  s.Master = master->Engine();
  EXPECT_FALSE(s.LatchSettings(false));
  EXPECT_EQ(log.back(), (LogEntry{e_must_restart_master, "ERROR",
                                  "settings changed, the master component must be restarted"}));
  // The latch goes on all the same.
  EXPECT_TRUE(s.SettingsLatched);
  master->Engine()->State = es_Preview;
  master->Engine()->EffectivePixelFormat = fgf_RGB24;
  EXPECT_TRUE(s.LatchSettings(false));
  EXPECT_EQ(s.EffectivePixelFormat, fgf_RGB24);
  master->Engine()->State = es_Idle;
  s.Master = nullptr;
}

TEST_F(VcEngineTest, RunCountersTakeThePeriodAndTheClock) {
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  struct Case {
    int32_t period, interval;
  };
  // 100 / period, to the nearest with halves to even.
  for (const Case& c : {Case{15, 7}, Case{8, 12}, Case{40, 2}, Case{200, 0}, Case{1, 100}}) {
    e.NotificationPeriod = c.period;
    e.FrameCount = 12;
    e.LastFrameTime = 99;
    clock.Advance(10);
    e.ResetRunCounters();
    EXPECT_EQ(e.PlayerStepInterval, c.interval) << c.period;
    EXPECT_EQ(e.FrameCount, 0);
    EXPECT_EQ(e.LastFrameTime, -1);
    EXPECT_EQ(e.PausedRefreshCount, 3);
    EXPECT_EQ(e.RunTick, rtl::GetTickCount());
    EXPECT_TRUE(e.FirstFrame);
  }
}

}  // namespace

namespace {

TEST_F(VcEngineTest, TeardownOfARecordingThatNeverStartedGivesItsNumberBack) {
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  TSyncManager* manager = SyncManager();
  ASSERT_NE(manager, nullptr);
  const int32_t key = manager->SequenceIndex("/videos/vg");
  const String file = (dir_ / "vg000007.avi").string();
  struct Case {
    const char* name;
    int32_t counter;
    bool started;
    String capture;
    int32_t counterAfter;
    bool fileKept;
  };
  const Case cases[] = {
      {"never started", 7, false, file, 6, false},
      {"a later recording took a number", 8, false, file, 8, true},
      {"started", 7, true, file, 7, true},
      {"written elsewhere first", 7, false, file + ".rec", 6, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(file) << "x";
    manager->SetSequenceCount(key, c.counter);
    e.State = es_Recording;
    e.SequenceNumber = 7;
    e.RecordingStarted = c.started;
    e.Sel.SequenceKeyIndex = key;
    e.Sel.CaptureFilePath = c.capture;
    e.Sel.FinalRecordingPath = file;
    e.ClearGraph(true);
    EXPECT_EQ(manager->GetSequenceCount(key), c.counterAfter);
    EXPECT_EQ(std::filesystem::exists(file), c.fileKept);
    EXPECT_EQ(e.SequenceNumber, -1);
  }
}

}  // namespace
