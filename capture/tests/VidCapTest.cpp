#include "capture/VidCap.h"
#include "platform/forms/MsgDialogs.h"

#include <gtest/gtest.h>

#include "capture/tests/VidCapTestUtil.h"

using namespace capture;
using captest::LogEntry;

namespace {

class VidCapTest : public captest::VidCapFixture {};

TEST_F(VidCapTest, NewControlHasItsDefaults) {
  TVidCap* vc = MakeControl();
  EXPECT_EQ(vc->Width(), 240);
  EXPECT_EQ(vc->Height(), 320);
  EXPECT_EQ(vc->Caption(), "");
  EXPECT_EQ(vc->BevelInner(), forms::bvNone);
  EXPECT_EQ(vc->BevelOuter(), forms::bvNone);
  EXPECT_EQ(vc->BorderWidth(), 0);
  EXPECT_EQ(vc->BorderStyle(), forms::bsSingle);
  EXPECT_TRUE(vc->Constructed());
  const TVcEngine& e = *vc->Engine();
  EXPECT_TRUE(e.Initialized);
  EXPECT_FALSE(e.Destroying);
  EXPECT_EQ(e.State, es_Idle);
  EXPECT_EQ(e.GraphState, gs_Stopped);
  EXPECT_FALSE(e.GraphActive);
  EXPECT_FALSE(e.PreviewPending);
  EXPECT_EQ(e.BoundAudioDevice, -1);
  EXPECT_EQ(e.AssociatedAudioDevice, -1);
  EXPECT_GE(e.UniqueID, 0);
  // Two controls get distinct places in the device manager's list.
  EXPECT_NE(MakeControl()->Engine()->UniqueID, e.UniqueID);
  // A few published values whose defaults other code relies on.
  EXPECT_EQ(e.VideoDevice, 0);
  EXPECT_EQ(e.FrameGrabber, fg_PreviewStream);
  EXPECT_EQ(e.NotificationMethod, nm_Timer);
  EXPECT_EQ(e.NotificationSleepTime, -1);
  EXPECT_EQ(e.NotificationPeriod, 15);
  EXPECT_EQ(e.BurstCount, 3);
  EXPECT_EQ(e.AutoFilePrefix, "vg");
  EXPECT_EQ(e.StoragePath, std::filesystem::current_path().string());
  EXPECT_EQ(e.Display.Left, 10);
  EXPECT_TRUE(e.Display.Active);
  EXPECT_EQ(e.DualDisplay.Left, 400);
  EXPECT_FALSE(e.DualDisplay.Active);
  EXPECT_FALSE(e.DualDisplay.Embedded);
}

TEST_F(VidCapTest, EnumeratedTypesKeepTheirOrdinals) {
  const std::pair<int, int> cases[] = {
      {adm_DeinterlaceVerticalHalfSizeDoubleRate, 5},
      {fn_DateTime, 1},
      {cm_CompressAfterRecording, 2},
      {ct_AudioVideo, 2},
      {dvDC, 3},
      {fs_NameDesc, 3},
      {fc_JpegFile, 2},
      {fg_Disabled, 3},
      {fgf_RGB565, 3},
      {fgf_RGB8, 5},
      {lg_Repeated, 2},
      {mr_MultiplexedSlave, 2},
      {ns_ASFStreamingToPublishingPoint, 2},
      {nm_Thread, 1},
      {rm_Stream, 2},
      {sc_AfterCompression, 4},
      {tf_Right, 2},
      {tpf_AudioRecording, 5},
      {di_FullSize, 2},
      {vr_StandardRenderer, 3},
      {vr_None, 4},
      {rt_270_deg_mirror, 7},
      {vs_VideoFromBitmaps, 4},
      {vs_ExternalSource, 5},
      {af_8000_8b_1ch, 1},
      {af_8000_16b_2ch, 4},
      {af_11025_8b_1ch, 5},
      {af_44100_16b_2ch, 24},
      {af_48000_16b_2ch, 28},
      {e_no_video_device_selected, 47},
      {e_reencoding, 59},
      {e_start_preview_first, 71},
      {e_trace_log, 80},
      {i_audio_device_associated_to_video_device, 87},
      {w_cannot_connect_thirdparty_filter, 99},
      {w_divx_codec_not_installed, 118},
      {kLogTypeCount, 119},
      {qe_Reinitializing, 21},
  };
  for (const auto& [value, ordinal] : cases) EXPECT_EQ(value, ordinal);
  EXPECT_EQ(sizeof(TVideoRotation), 4u);
  EXPECT_EQ(sizeof(TLogType), 4u);
}

const LogEntry kStopRecording{e_stop_recording_first, "ERROR", "first stop recording"};
const LogEntry kStopReencoding{e_reencoding, "ERROR", "first stop reencoding"};
const LogEntry kClosePlayer{e_stop_player_first, "ERROR", "first close player"};
const LogEntry kStartPreview{e_start_preview_first, "ERROR", "first start preview"};
const LogEntry kNotRecording{e_not_recording, "ERROR", "not recording"};

// The refusals of the start and stop methods in each engine state; a state
// without a refusal runs the method.
TEST_F(VidCapTest, StartAndStopMethodsRefuseAsTheStateTableSays) {
  enum Op { StartPreview, StartRecording, StopPreview, StopRecording };
  struct Case {
    Op op;
    const char* name;
    std::vector<std::vector<LogEntry>> perState;
  };
  const Case cases[] = {
      {StartPreview, "StartPreview", {{}, {}, {kStopRecording}, {}, {kStopReencoding}}},
      {StartRecording, "StartRecording", {{}, {}, {kStopRecording}, {}, {kStopReencoding}}},
      {StopPreview, "StopPreview", {{kStartPreview}, {}, {kStopRecording}, {kClosePlayer}, {kStopReencoding}}},
      {StopRecording, "StopRecording", {{kNotRecording}, {kNotRecording}, {}, {kNotRecording}, {kNotRecording}}},
  };
  PlugCameras(1);
  for (const Case& c : cases) {
    for (int32_t state = es_Idle; state <= es_Reencoding; ++state) {
      SCOPED_TRACE(std::string(c.name) + " in state " + std::to_string(state));
      TVidCap* vc = MakeControl();
      TVcEngine& e = *vc->Engine();
      auto control = std::make_shared<captest::ScriptedControl>();
      e.MediaControl = control;
      e.State = state;
      e.GraphActive = state != es_Idle;
      log.clear();
      bool result = false;
      switch (c.op) {
        case StartPreview: result = vc->StartPreview(); break;
        case StartRecording: result = vc->StartRecording(); break;
        case StopPreview: vc->StopPreview(); break;
        case StopRecording: vc->StopRecording(); break;
      }
      const std::vector<LogEntry>& refusals = c.perState[state];
      if (!refusals.empty()) {
        EXPECT_EQ(log, refusals);
        EXPECT_FALSE(result);
        EXPECT_EQ(e.State, state) << "a refused call leaves what runs alone";
        EXPECT_EQ(control->stops, 0);
      } else {
        for (const LogEntry& l : log) {
          EXPECT_NE(l.type, e_stop_recording_first);
          EXPECT_NE(l.type, e_reencoding);
          EXPECT_NE(l.type, e_not_recording);
        }
        if (c.op == StopPreview || c.op == StopRecording) {
          EXPECT_TRUE(log.empty());
          EXPECT_EQ(e.State, es_Idle);
          EXPECT_GE(control->stops, 1);
        }
      }
      e.State = es_Idle;
      delete vc;
    }
  }
}

TEST_F(VidCapTest, StopEndsWhatRunsAndReportsWhetherAnythingRan) {
  SetTraceOn();
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  const int before = TraceCount();
  EXPECT_FALSE(vc->Stop());
  EXPECT_EQ(TraceCount(), before) << "an idle stop traces nothing";
  EXPECT_TRUE(log.empty());

  for (int32_t state = es_Preview; state <= es_Reencoding; ++state) {
    SCOPED_TRACE(state);
    auto control = std::make_shared<captest::ScriptedControl>();
    e.MediaControl = control;
    e.State = state;
    e.GraphState = gs_Running;
    e.GraphActive = true;
    e.PreviewPending = true;
    EXPECT_TRUE(vc->Stop());
    EXPECT_EQ(e.State, es_Idle);
    EXPECT_EQ(e.GraphState, gs_Stopped);
    EXPECT_FALSE(e.PreviewPending);
    EXPECT_EQ(control->stops, 1);
    // A second stop finds the engine idle.
    EXPECT_FALSE(vc->Stop());
    vc->StopRecording();
    EXPECT_EQ(control->stops, 1);
  }
  EXPECT_TRUE(std::all_of(log.begin(), log.end(), [](const LogEntry& l) { return l.type == e_not_recording; }));
}

TEST_F(VidCapTest, StartPreviewChecksTheChosenDeviceFirst) {
  struct Case {
    int cameras;
    int32_t device;
    std::vector<LogEntry> reports;
  };
  const Case cases[] = {
      {3, 5, {{e_index_out_of_range, "ERROR", "index of video capture device out of range"}}},
      {0, 0, {{e_no_device_available, "INFO", "no video capture device available"}}},
      {3, -1, {{e_no_video_device_selected, "ERROR", "no video device selected"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.cameras) + "/" + std::to_string(c.device));
    ResetComponent();
    PlugCameras(c.cameras);
    TVidCap* vc = MakeControl();
    vc->Engine()->VideoDevice = c.device;
    log.clear();
    EXPECT_FALSE(vc->StartPreview());
    EXPECT_EQ(log, c.reports);
    EXPECT_EQ(vc->Engine()->State, es_Idle);
    delete vc;
    UnplugAll();
  }
}

TEST_F(VidCapTest, AFailedPreviewStartLeavesAPendingPreviewAndIdle) {
  PlugCameras(1);
  // No graph can be built for this device.
  SetGraphBuildHook([](TVcEngine&, int32_t) { return false; });
  TVidCap* vc = MakeControl();
  EXPECT_FALSE(vc->StartPreview());
  EXPECT_EQ(vc->Engine()->State, es_Idle);
  EXPECT_TRUE(vc->Engine()->PreviewPending);
  EXPECT_EQ(log.back(), (LogEntry{e_failed_to_start_preview, "ERROR", "failed to start preview"}));
  vc->StopPreview();
  EXPECT_FALSE(vc->Engine()->PreviewPending);

  log.clear();
  EXPECT_FALSE(vc->StartRecording());
  EXPECT_EQ(log.back(), (LogEntry{e_failed_to_start_recording, "ERROR", "failed to start Recording"}));
  EXPECT_FALSE(vc->Engine()->PreviewPending);
  EXPECT_FALSE(vc->Engine()->RecordingStarted);
}

TEST_F(VidCapTest, PreviewRefreshRestartsOnlyARunningOrPendingPreview) {
  PlugCameras(1);
  SetTraceOn();
  struct Case {
    const char* name;
    int32_t state;
    bool pending, autoRefresh;
    int32_t device;
    bool refreshes;
    std::vector<LogEntry> refusals;
  };
  const Case cases[] = {
      {"idle", es_Idle, false, true, 0, false, {}},
      {"idle, pending", es_Idle, true, true, 0, true, {}},
      {"pending, refresh off", es_Idle, true, false, 0, false, {}},
      {"pending, no device", es_Idle, true, true, -1, false, {}},
      {"previewing", es_Preview, false, true, 0, true, {}},
      {"recording", es_Recording, false, true, 0, false, {kStopRecording}},
      {"player", es_PlayerOpen, false, true, 0, false, {kClosePlayer}},
      {"re-encoding", es_Reencoding, false, true, 0, false, {kStopReencoding}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TVidCap* vc = MakeControl();
    TVcEngine& e = *vc->Engine();
    e.State = c.state;
    e.PreviewPending = c.pending;
    e.AutoRefreshPreview = c.autoRefresh;
    e.VideoDevice = c.device;
    log.clear();
    const int from = TraceCount();
    e.RequestPreviewRefresh("dsfg");
    const auto lines = TraceTexts(from);
    const bool refreshed = std::find(lines.begin(), lines.end(), "REFRESHING PREVIEW FROM dsfg") != lines.end();
    EXPECT_EQ(refreshed, c.refreshes);
    if (!c.refreshes) {
      EXPECT_EQ(log, c.refusals);
      EXPECT_EQ(e.State, c.state) << "nothing is rebuilt";
    }
    e.State = es_Idle;
    delete vc;
  }
}

TEST_F(VidCapTest, DestroyingARunningControlStopsItsGraphQuietly) {
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  auto control = std::make_shared<captest::ScriptedControl>();
  e.MediaControl = control;
  e.State = es_Preview;
  e.GraphState = gs_Running;
  e.GraphActive = true;
  bool raised = false;
  vc->OnInactive = [&](TObject*) { raised = true; };
  vc->OnLog = [&](TObject*, TLogType, const String&, const String&) { raised = true; };
  delete vc;
  EXPECT_EQ(control->stops, 1);
  EXPECT_FALSE(raised);
}

TEST_F(VidCapTest, EventGuardsNeedAHandlerAWindowAndNoDestruction) {
  auto* windowless = new TVidCap(form);
  TVidCap* vc = MakeControl();
  const TEventNotification none;
  const TEventNotification some = [](TObject*) {};
  EXPECT_FALSE(vc->Engine()->CanRaiseEvent(none));
  EXPECT_TRUE(vc->Engine()->CanRaiseEvent(some));
  EXPECT_FALSE(windowless->Engine()->CanRaiseEvent(some));
  EXPECT_TRUE(windowless->Engine()->CanRaiseEventLight(some));
  vc->Engine()->Destroying = true;
  EXPECT_FALSE(vc->Engine()->CanRaiseEvent(some));
  EXPECT_FALSE(vc->Engine()->CanRaiseEventLight(some));
  vc->Engine()->Destroying = false;
}

TEST_F(VidCapTest, PanelClicksComeBackAsTheControlsEvents) {
  TVidCap* vc = MakeControl();
  std::vector<std::string> seen;
  vc->OnClick = [&](TObject* s) { seen.push_back(s == vc ? "click" : "?"); };
  vc->OnMouseDown = [&](TObject*, int32_t w, forms::TMouseButton, forms::TShiftState, int32_t x, int32_t y) {
    seen.push_back("down " + std::to_string(w) + " " + std::to_string(x) + "," + std::to_string(y));
  };
  vc->forms::TControl::OnMouseDown(vc, forms::mbLeft, {}, 5, 6);
  vc->forms::TControl::OnClick(vc);
  EXPECT_EQ(seen, (std::vector<std::string>{"down -1 5,6", "click"}));
}

}  // namespace

namespace {

// A graph builder that hands the engine a media control whose runs answer
// as scripted.
class VidCapGraphTest : public captest::VidCapFixture {
protected:
  void SetUp() override {
    VidCapFixture::SetUp();
    PlugCameras(1);
    // Binding finds the device's formats known.
    SetDiscoveryHooks({[](TVcEngine&) { return true; }, {}, {}, {}});
    SetGraphBuildHook([this](TVcEngine& e, int32_t target) {
      targets.push_back(target);
      e.MediaControl = control;
      return true;
    });
    vc = MakeControl();
    vc->OnPreviewStarted = [this](TObject*) { events.push_back("preview started"); };
    vc->OnRecordingStarted = [this](TObject*, const String&) { events.push_back("recording started"); };
    vc->OnRecordingCompleted = [this](TObject*, const String&, bool) { events.push_back("recording completed"); };
    vc->OnInactive = [this](TObject*) { events.push_back("inactive"); };
  }
  // Lets the worker's 15 ms timer run a few times.
  void Tick() {
    for (int i = 0; i < 6; ++i) {
      clock.Advance(15);
      forms::Application->ProcessMessages();
    }
  }
  std::shared_ptr<captest::ScriptedControl> control = std::make_shared<captest::ScriptedControl>();
  std::vector<int32_t> targets;
  std::vector<std::string> events;
  TVidCap* vc = nullptr;
};

TEST_F(VidCapGraphTest, PreviewRunsBeforeStartPreviewReturnsAndIsAnnouncedLater) {
  EXPECT_TRUE(vc->StartPreview());
  EXPECT_EQ(targets, std::vector<int32_t>{es_Preview});
  EXPECT_EQ(vc->Engine()->State, es_Preview);
  EXPECT_EQ(vc->Engine()->GraphState, gs_Running);
  EXPECT_TRUE(vc->Engine()->GraphActive);
  EXPECT_TRUE(events.empty()) << "the event is queued";
  Tick();
  EXPECT_EQ(events, std::vector<std::string>{"preview started"});

  events.clear();
  EXPECT_TRUE(vc->Stop());
  EXPECT_EQ(vc->Engine()->State, es_Idle);
  Tick();
  EXPECT_EQ(events, std::vector<std::string>{"inactive"});
}

TEST_F(VidCapGraphTest, APreviewWhoseGraphWillNotRunIsAFailedStart) {
  control->runResults = {mg::E_FAIL, mg::E_FAIL};
  EXPECT_FALSE(vc->StartPreview());
  TVcEngine& e = *vc->Engine();
  EXPECT_EQ(e.State, es_Idle);
  EXPECT_FALSE(e.GraphActive);
  EXPECT_EQ(e.GraphState, gs_Stopped);
  EXPECT_TRUE(e.PreviewPending);
  EXPECT_EQ(log.back(), (LogEntry{e_failed_to_start_preview, "ERROR", "failed to start preview"}));
  Tick();
  EXPECT_TRUE(events.empty()) << "nothing was started, so nothing is announced";
  EXPECT_FALSE(vc->Stop()) << "and there is nothing to stop";
}

TEST_F(VidCapGraphTest, ARecordingWhoseGraphWillNotRunIsNeverAnnounced) {
  control->runResults = {mg::E_FAIL, mg::E_FAIL};
  EXPECT_FALSE(vc->StartRecording());
  EXPECT_EQ(vc->Engine()->State, es_Idle);
  EXPECT_FALSE(vc->Engine()->RecordingStarted);
  EXPECT_EQ(log.back(), (LogEntry{e_failed_to_start_recording, "ERROR", "failed to start Recording"}));
  Tick();
  EXPECT_TRUE(events.empty());

  // The next start runs, and its recording is announced and completed.
  EXPECT_TRUE(vc->StartRecording());
  EXPECT_TRUE(vc->Engine()->RecordingStarted);
  vc->StopRecording();
  Tick();
  EXPECT_EQ(events, (std::vector<std::string>{"recording started", "recording completed", "inactive"}));
}

// A running preview survives every dialog kind: pages of the live graph
// leave it alone, the others (and unknown kinds) restart it, and a device
// dialog that needed a graph of its own brings it back.
TEST_F(VidCapGraphTest, DialogsLeaveARunningPreviewRunning) {
  struct Cancel : forms::TDialogPresenter {
    int ShowDialog(forms::TCustomForm*) override { ++shown; return forms::mrCancel; }
    int shown = 0;
  } presenter;
  forms::SetDialogPresenter(&presenter);
  ASSERT_TRUE(vc->StartPreview());
  struct Case {
    int32_t kind;
    bool rebuilt;
  };
  for (const Case c : {Case{12, true}, Case{-1, true}, Case{0, true}, Case{7, false}, Case{10, false}}) {
    SCOPED_TRACE(c.kind);
    const size_t before = targets.size();
    vc->ShowDialog(c.kind);
    EXPECT_EQ(vc->Engine()->State, es_Preview);
    EXPECT_TRUE(vc->Engine()->GraphActive);
    EXPECT_EQ(targets.size(), before + (c.rebuilt ? 1u : 0u));
  }
  EXPECT_EQ(presenter.shown, 1) << "only the device pages had something to show";
  forms::SetDialogPresenter(nullptr);
}

TEST_F(VidCapGraphTest, RefreshRebuildsARunningPreview) {
  ASSERT_TRUE(vc->StartPreview());
  vc->SetFrameGrabber(fg_BothStreams);
  EXPECT_EQ(targets, (std::vector<int32_t>{es_Preview, es_Preview}));
  EXPECT_EQ(vc->Engine()->Latched.FrameGrabber, fg_BothStreams);
  EXPECT_EQ(vc->Engine()->State, es_Preview);
  // While recording, a refresh only reports.
  ASSERT_TRUE(vc->StartRecording());
  log.clear();
  vc->SetFrameGrabber(fg_CaptureStream);
  EXPECT_EQ(targets.size(), 3u);
  EXPECT_EQ(vc->Engine()->Latched.FrameGrabber, fg_BothStreams);
  EXPECT_EQ(log, (std::vector<LogEntry>{{e_stop_recording_first, "ERROR", "first stop recording"}}));
}

}  // namespace
