// The capture control's published properties: values its setters ignore,
// values they store, the refreshes they ask for, and the text-overlay
// template parser.
#include <gtest/gtest.h>

#include <functional>

#include "capture/VcProperties.h"
#include "capture/VidCap.h"
#include "capture/tests/VidCapTestUtil.h"
#include "platform/win/Metrics.h"

using namespace capture;
using captest::LogEntry;

namespace {

class VidCapPropertiesTest : public captest::VidCapFixture {
protected:
  void SetUp() override {
    VidCapFixture::SetUp();
    PlugCameras(1);
    vc = MakeControl();
  }
  TVidCap* vc = nullptr;
};

struct SetterCase {
  const char* name;
  std::function<void(TVidCap&)> set;
  std::function<double(TVidCap&)> get;
  double expected;
};

#define SETS(Prop, value, expect) \
  SetterCase { #Prop " := " #value, [](TVidCap& v) { v.Set##Prop(value); }, [](TVidCap& v) { return static_cast<double>(v.Prop()); }, expect }

TEST_F(VidCapPropertiesTest, SettersIgnoreValuesOutOfTheirRangeAndStoreTheRest) {
  const SetterCase cases[] = {
      SETS(JPEGQuality, 0, 100), SETS(JPEGQuality, 101, 100), SETS(JPEGQuality, 1, 1), SETS(JPEGQuality, 100, 100),
      SETS(ASFAudioChannels, 3, -1), SETS(ASFAudioChannels, 2, 2), SETS(ASFAudioChannels, -1, -1),
      SETS(ASFAudioChannels, 0, -1),
      SETS(NotificationSleepTime, 0, -1), SETS(NotificationSleepTime, -2, -1), SETS(NotificationSleepTime, 10001, -1),
      SETS(NotificationSleepTime, 10000, 10000), SETS(NotificationSleepTime, -1, -1),
      SETS(BurstCount, -1, 3), SETS(BurstCount, 0, 0), SETS(BurstInterval, -1, 0), SETS(BurstInterval, 4, 4),
      SETS(PreviewZoomSize, 0, 100), SETS(PreviewZoomSize, 50, 50),
      SETS(VideoSource, static_cast<TVideoSource>(6), vs_VideoCaptureDevice),
      SETS(VideoSource, vs_ExternalSource, vs_ExternalSource),
      SETS(VideoRenderer, static_cast<TVideoRenderer>(5), vr_AutoSelect),
      SETS(AudioFormat, static_cast<TAudioFormat>(29), af_default),
      SETS(ASFVideoBitRate, 0, -1), SETS(ASFVideoBitRate, -2, -1), SETS(ASFVideoBitRate, 300000, 300000),
      SETS(ASFVideoWidth, 0, 320), SETS(ASFVideoWidth, -1, -1), SETS(ASFVideoHeight, -5, 240),
      SETS(ASFVideoQuality, -2, -1), SETS(ASFVideoQuality, 80, 80),
      SETS(ASFVideoMaxKeyFrameSpacing, -2, -1), SETS(ASFNetworkPort, -1, 0), SETS(ASFNetworkMaxUsers, -1, 5),
      SETS(PlayerFastSeekSpeedRatio, 0, 4), SETS(PlayerSpeedRatio, 0.0, 1.0), SETS(PlayerSpeedRatio, -1.0, 1.0),
      SETS(PlayerSpeedRatio, 0.5, 0.5),
      SETS(MotionDetector_ReduceCPULoad, 0, 1), SETS(MotionDetector_MaxDetectionsPerSecond, -0.5, 0),
      SETS(PreallocCapFileSizeInMB, 0, 100), SETS(RecordingOnMotion_NoMotionPauseDelayMs, -1, 2000),
      SETS(TextOverlay_Align, static_cast<TTextOverlayAlign>(3), tf_Left),
      SETS(PlayerDVSize, static_cast<TDVSize>(4), dvFull),
      SETS(SampleCapture_Video, static_cast<TSampleCapture>(5), sc_Disabled),
      SETS(SampleCapture_Audio, sc_AfterCompression, sc_AfterCompression),
      SETS(BurstType, static_cast<TFrameCaptureDest>(3), fc_TBitmap),
      SETS(JPEGPerformance, static_cast<forms::TJPEGPerformance>(2), forms::jpBestQuality),
      SETS(CompressionMode, static_cast<TCompressionMode>(3), cm_NoCompression),
      SETS(CompressionType, static_cast<TCompressionType>(-1), ct_Video),
      SETS(AutoFileName, static_cast<TAutoFileName>(2), fn_Sequential),
      SETS(FrameGrabber, static_cast<TFrameGrabber>(4), fg_PreviewStream),
      SETS(FrameGrabberRGBFormat, static_cast<TFrameGrabberRGBFormat>(6), fgf_Default),
      // Plain stores take anything.
      SETS(VideoCompression_KeyFrameRate, -7, -7), SETS(FrameCaptureZoomSize, 0, 0),
      SETS(ASFProfile, 12, 12), SETS(TextOverlay_Right, -3, -3),
  };
  for (const SetterCase& c : cases) {
    SCOPED_TRACE(c.name);
    TVidCap fresh(form);
    c.set(fresh);
    EXPECT_EQ(c.get(fresh), c.expected);
  }
  EXPECT_TRUE(log.empty()) << "ignored values are ignored without a word";
}

TEST_F(VidCapPropertiesTest, SettersOfLatchedSettingsAskForTheirRefresh) {
  struct Case {
    const char* code;
    std::function<void(TVidCap&)> set;
  };
  const Case cases[] = {
      {"dvrfr", [](TVidCap& v) { v.SetDVReduceFrameRate(true); }},
      {"prvpr", [](TVidCap& v) { v.SetVideoRenderer(vr_VMR9); }},
      {"scke", [](TVidCap& v) { v.SetColorKeyEnabled(true); }},
      {"dsfg", [](TVidCap& v) { v.SetFrameGrabber(fg_BothStreams); }},
      {"dsfgf", [](TVidCap& v) { v.SetFrameGrabberRGBFormat(fgf_RGB24); }},
      {"sfwo", [](TVidCap& v) { v.SetFrameCaptureWithoutOverlay(true); }},
      {"spr", [](TVidCap& v) { v.SetVideoProcessing_Rotation(rt_180_deg); }},
      {"spdi", [](TVidCap& v) { v.SetVideoProcessing_Deinterlacing(di_HalfSize); }},
      {"snstr", [](TVidCap& v) { v.SetNetworkStreaming(ns_ASFDirectNetworkStreaming); }},
      {"saf", [](TVidCap& v) { v.Engine()->BoundAudioDevice = 0; v.SetAudioFormat(af_44100_16b_2ch); }},
      {"dsar", [](TVidCap& v) { v.Engine()->BoundAudioDevice = 0; v.SetAudioDeviceRendering(true); }},
      {"dsfr", [](TVidCap& v) { v.SetFrameRate(25); }},
      {"vwn", [](TVidCap& v) { v.SetDualDisplay_Active(true); }},
      {"scf", [](TVidCap& v) {
         v.Engine()->SettingsLatched = true;
         v.Engine()->EffectivePixelFormat = fgf_RGB565;
         v.SetMotionDetector_Enabled(true);
       }},
      // No refresh: the same value, a grabber that is off, no audio
      // device, full-size deinterlacing, a motion detector on RGB32.
      {nullptr, [](TVidCap& v) { v.SetFrameGrabber(fg_PreviewStream); }},
      {nullptr, [](TVidCap& v) { v.Engine()->FrameGrabber = fg_Disabled; v.SetFrameGrabberRGBFormat(fgf_RGB24); }},
      {nullptr, [](TVidCap& v) { v.SetAudioFormat(af_44100_16b_2ch); }},
      {nullptr, [](TVidCap& v) { v.SetVideoProcessing_Deinterlacing(di_FullSize); }},
      {nullptr, [](TVidCap& v) { v.SetFrameRate(29.97); }},
      {nullptr, [](TVidCap& v) { v.Engine()->SettingsLatched = true; v.Engine()->EffectivePixelFormat = fgf_RGB32;
                                 v.SetMotionDetector_Enabled(true); }},
  };
  SetTraceOn();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code ? c.code : "no refresh");
    TVidCap* v = MakeControl();
    v->Engine()->State = es_Preview;
    const int from = TraceCount();
    c.set(*v);
    std::vector<std::string> refreshes;
    for (const std::string& l : TraceTexts(from))
      if (l.rfind("REFRESHING PREVIEW FROM ", 0) == 0) refreshes.push_back(l.substr(24));
    EXPECT_EQ(refreshes, c.code ? std::vector<std::string>{c.code} : std::vector<std::string>{});
    v->Engine()->State = es_Idle;
    delete v;
  }
}

TEST_F(VidCapPropertiesTest, RefreshWhileRecordingOnlyReportsAndTheValueWaits) {
  vc->Engine()->State = es_Recording;
  vc->SetFrameGrabber(fg_BothStreams);
  EXPECT_EQ(log, (std::vector<LogEntry>{{e_stop_recording_first, "ERROR", "first stop recording"}}));
  EXPECT_EQ(vc->Engine()->State, es_Recording);
  EXPECT_EQ(vc->FrameGrabber(), fg_BothStreams);
  EXPECT_EQ(vc->Engine()->Latched.FrameGrabber, fg_PreviewStream);
  vc->Engine()->State = es_Idle;
}

TEST_F(VidCapPropertiesTest, SettersWithRulesOfTheirOwn) {
  TVcEngine& e = *vc->Engine();
  vc->SetMultiplexedSlaveFrameRate(4.004);
  EXPECT_EQ(e.MultiplexedSlaveFrameRate100, 400);
  EXPECT_EQ(vc->MultiplexedSlaveFrameRate(), 4.0);
  vc->SetMultiplexedSlaveFrameRate(12.346);
  EXPECT_EQ(e.MultiplexedSlaveFrameRate100, 1235);
  vc->SetMultiplexedSlaveFrameRate(-1);
  EXPECT_EQ(e.MultiplexedSlaveFrameRate100, 1235);

  vc->SetMultiplexedSlaveID(3, 17);
  vc->SetMultiplexedSlaveID(4, 18);
  EXPECT_EQ(vc->MultiplexedSlaveID(3), 17);
  EXPECT_EQ(vc->MultiplexedSlaveID(4), -1);
  EXPECT_EQ(vc->MultiplexedSlaveID(-1), -1);

  vc->SetVersion("v9");
  EXPECT_EQ(vc->Version(), "v7.2 (build 7.2.4 rev n, March 14, 2005)");

  vc->SetPlayerForcedCodec("  xvid \t");
  EXPECT_EQ(vc->PlayerForcedCodec(), "xvid");

  vc->SetASFFixedFrameRate(true);
  EXPECT_EQ(e.ASFFixedFrameRate, -1);
  EXPECT_TRUE(vc->ASFFixedFrameRate());

  vc->SetVideoProcessing_Deinterlacing(di_HalfSize);
  EXPECT_EQ(vc->VideoProcessing_Deinterlacing(), di_HalfSize);
  EXPECT_TRUE(e.GeometryProcessing);
  vc->SetVideoProcessing_Deinterlacing(static_cast<TVideoDeinterlacing>(7));
  EXPECT_EQ(vc->VideoProcessing_Deinterlacing(), di_HalfSize);
  vc->SetVideoProcessing_Deinterlacing(di_FullSize);
  EXPECT_EQ(vc->VideoProcessing_Deinterlacing(), di_FullSize);
  EXPECT_FALSE(e.GeometryProcessing);

  vc->SetVideoProcessing_Hue(5);
  EXPECT_TRUE(e.ColorProcessing);
  vc->SetVideoProcessing_Hue(0);
  vc->SetVideoProcessing_FlipVertical(true);
  EXPECT_FALSE(e.ColorProcessing) << "flips are no colour processing";

  vc->SetBurstCount(5);
  vc->SetBurstInterval(2);
  e.Grab.BurstRemaining = 1;
  e.Grab.BurstCountdown = 9;
  vc->SetBurstMode(true);
  EXPECT_EQ(e.Grab.BurstRemaining, 5);
  EXPECT_EQ(e.Grab.BurstInterval, 2);
  EXPECT_EQ(e.Grab.BurstCountdown, 0);

  vc->SetRecordingFileName("take1.avi");
  EXPECT_EQ(vc->RecordingFileName(), "take1.avi");
  vc->SetRecordingFileName("RENEW");
  EXPECT_EQ(vc->RecordingFileName(), "");

  vc->SetBorderStyle(forms::bsNone);
  EXPECT_EQ(vc->BorderStyle(), forms::bsNone);
  EXPECT_EQ(e.Sel.BorderSize, 0);
  vc->SetBorderStyle(forms::bsSizeable);
  EXPECT_EQ(vc->BorderStyle(), forms::bsNone);
  vc->SetBorderStyle(forms::bsSingle);
  EXPECT_EQ(e.Sel.BorderSize, 2 * win::GetSystemMetrics(win::SM_CXEDGE));
  EXPECT_EQ(vc->forms::TCustomPanel::BorderStyle(), forms::bsSingle);
  EXPECT_TRUE(log.empty());
}

TEST_F(VidCapPropertiesTest, VideoWindowsShareEmbeddingFullScreenAndVideoPort) {
  vc->SetDualDisplay_Embedded(true);
  EXPECT_TRUE(vc->DualDisplay_Embedded());
  EXPECT_FALSE(vc->Display_Embedded());
  vc->SetDisplay_FullScreen(true);
  vc->SetDualDisplay_FullScreen(true);
  EXPECT_FALSE(vc->Display_FullScreen());
  EXPECT_TRUE(vc->Display_VideoPortEnabled());
  vc->SetDualDisplay_VideoPortEnabled(false);
  EXPECT_TRUE(vc->Display_VideoPortEnabled()) << "switching off leaves the other window alone";
  vc->SetDisplay_StayOnTop(true);
  vc->SetDualDisplay_StayOnTop(true);
  EXPECT_TRUE(vc->Display_StayOnTop());
  vc->SetDualDisplay_Width(640);
  EXPECT_EQ(vc->DualDisplay_Width(), 640);
  EXPECT_EQ(vc->Display_Width(), 320);
}

TEST_F(VidCapPropertiesTest, TraceSwitches) {
  vc->SetAutoFilePrefix("take");
  EXPECT_EQ(vc->AutoFilePrefix(), "take");
  EXPECT_FALSE(TraceOn());
  vc->SetAutoFilePrefix("vidcaplog");
  EXPECT_TRUE(TraceOn());
  EXPECT_EQ(vc->AutoFilePrefix(), "take") << "the switch is no prefix";

  ResetTraceForTests();
  vc->SetASFMediaServerPublishingPoint("vidcaplog");
  EXPECT_TRUE(TraceOn());
  EXPECT_EQ(vc->ASFMediaServerPublishingPoint(), "vidcaplog");
}

class TPropertyPageSaverStub : public forms::TComponent {
public:
  using forms::TComponent::TComponent;
  String ClassName() const override { return "TPropertyPageSaverStub"; }
};

TEST_F(VidCapPropertiesTest, PropertyPageSaverTakesOnlyTheSaverAndForgetsItWhenFreed) {
  auto* other = new forms::TComponent(form);
  vc->SetPropertyPageSaver(other);
  EXPECT_EQ(vc->PropertyPageSaver(), nullptr);
  auto* saver = new TPropertyPageSaverStub(nullptr);
  vc->SetPropertyPageSaver(saver);
  EXPECT_EQ(vc->PropertyPageSaver(), saver);
  delete saver;
  EXPECT_EQ(vc->PropertyPageSaver(), nullptr);
}

TEST_F(VidCapPropertiesTest, OverlaysAreDrawnWhenAnyOverlayIsOn) {
  TVcEngine& e = *vc->Engine();
  EXPECT_FALSE(e.Sel.OverlayActive);
  vc->SetTextOverlay_Enabled(true);
  EXPECT_TRUE(e.Sel.OverlayActive);
  vc->SetTextOverlay_Enabled(false);
  EXPECT_FALSE(e.Sel.OverlayActive);
  vc->SetOnFrameOverlayUsingDC([](TObject*, const TFrameInfo&, win::HDC) {});
  EXPECT_TRUE(e.Sel.OverlayActive);
  vc->SetOnFrameOverlayUsingDC(nullptr);
  vc->SetShapeOverlayEnabled(true);
  EXPECT_TRUE(e.Sel.OverlayActive);

  auto* shape = new forms::TPanel(form);
  shape->SetParent(form);
  vc->SetShapeOverlay(shape);
  EXPECT_FALSE(shape->Visible());
  EXPECT_EQ(vc->ShapeOverlay(), shape);

  forms::TFont font;
  font.SetName("DejaVu Serif");
  font.SetSize(31);
  vc->SetTextOverlay_Font(&font);
  EXPECT_NE(vc->TextOverlay_Font(), &font);
  EXPECT_EQ(vc->TextOverlay_Font()->Size(), 31);
  EXPECT_EQ(vc->TextOverlay_Font()->Name(), "DejaVu Serif");
}

TEST_F(VidCapPropertiesTest, OverlayFontStartsAsTheControlsFontInItsOwnColour) {
  EXPECT_EQ(vc->TextOverlay_Font()->Color(), 0xFFFF00);
  EXPECT_EQ(vc->TextOverlay_Font()->Name(), vc->Font()->Name());
  EXPECT_EQ(vc->TextOverlay_Font()->Size(), vc->Font()->Size());
}

TEST_F(VidCapPropertiesTest, RecordingMethodChangedWhileRecordingShowsABox) {
  captest::RecordingPresenter boxes;
  forms::ScopedMessageBoxPresenter scope(&boxes);
  vc->SetRecordingMethod(rm_ASF);
  EXPECT_TRUE(boxes.boxes.empty());
  vc->Engine()->State = es_Recording;
  vc->SetRecordingMethod(rm_ASF);
  EXPECT_TRUE(boxes.boxes.empty()) << "an unchanged value does nothing";
  vc->SetRecordingMethod(rm_AVI);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Recording needs to be restarted");
  EXPECT_EQ(boxes.boxes[0].caption, forms::Application->Title());
  EXPECT_EQ(log, (std::vector<LogEntry>{{e_graph_must_be_restarted, "WARNING", "Recording needs to be restarted"}}));
  EXPECT_EQ(vc->RecordingMethod(), rm_AVI);
  vc->Engine()->State = es_Idle;
}

TEST_F(VidCapPropertiesTest, PlayerAudioRenderingWarnsAboutSlowClips) {
  vc->SetPlayerSpeedRatio(0.5);
  vc->SetPlayerAudioRendering(false);
  EXPECT_TRUE(log.empty());
  vc->SetPlayerAudioRendering(true);
  EXPECT_EQ(log, (std::vector<LogEntry>{{w_player_audio_should_be_disabled, "WARNING",
                                         "disable PlayerAudioRendering if the clip freezes when speed ratio < 1"}}));
  log.clear();
  vc->Engine()->State = es_Reencoding;
  vc->SetPlayerAudioRendering(false);
  EXPECT_EQ(log, (std::vector<LogEntry>{{e_reencoding, "WARNING", "first stop reencoding"}}));
  vc->Engine()->State = es_Idle;
}

TEST_F(VidCapPropertiesTest, PlayerSpeedRatioRestartsARunningGraph) {
  auto control = std::make_shared<captest::ScriptedControl>();
  vc->Engine()->MediaControl = control;
  vc->SetPlayerSpeedRatio(2.0);
  EXPECT_EQ(control->pauses, 0);
  vc->Engine()->GraphState = gs_Running;
  vc->SetPlayerSpeedRatio(0.5);
  EXPECT_EQ(control->pauses, 1);
  EXPECT_EQ(control->runs, 1);
  EXPECT_EQ(vc->Engine()->GraphState, gs_Running);
  vc->Engine()->ClearGraph(true);
}

TEST_F(VidCapPropertiesTest, SpeakerControlChangeReportsWhatRuns) {
  vc->Engine()->State = es_Preview;
  vc->SetSpeakerControl(true);
  vc->SetSpeakerControl(true);
  EXPECT_EQ(log, (std::vector<LogEntry>{{e_stop_preview_first, "WARNING", "first stop preview"}}));
  EXPECT_TRUE(vc->SpeakerControl());
  vc->Engine()->State = es_Idle;
}

TEST_F(VidCapPropertiesTest, DeviceSelectionChecksTheListAndBindsWhenIdle) {
  PlugCameras(2);  // three in all
  TVcEngine& e = *vc->Engine();
  vc->SetVideoDevice(5);
  EXPECT_EQ(vc->VideoDevice(), 5) << "the value is stored before it is checked";
  EXPECT_EQ(log, (std::vector<LogEntry>{{e_index_out_of_range, "ERROR",
                                         "index of video capture device out of range"}}));
  log.clear();
  vc->SetVideoDevice(2);
  EXPECT_EQ(e.BoundVideoDevice, 2);
  vc->SetVideoDevice(-1);
  EXPECT_EQ(e.BoundVideoDevice, 2) << "-1 only stores";
  for (const LogEntry& l : log) EXPECT_EQ(l.severity, "INFO") << l;
}

struct OverlayCase {
  const char* text;
  std::vector<std::pair<int32_t, std::string>> segments;
};

TEST_F(VidCapPropertiesTest, TextOverlayTemplateParser) {
  const OverlayCase cases[] = {
      {"a%time_code%b", {{0, "a"}, {1, ""}, {0, "b"}}},
      {"%time_code%", {{0, ""}, {1, ""}}},
      {"50%", {{0, "50"}}},
      {"%word%", {{0, ""}, {0, "%word%"}}},
      {"%frame_count%%time_100ns%%time_sec%%time_full%",
       {{0, ""}, {2, ""}, {0, ""}, {3, ""}, {0, ""}, {4, ""}, {0, ""}, {5, ""}}},
      {"t: %sys_time[dd/mm/yy hh:nn:ss]%", {{0, "t: "}, {6, "dd/mm/yy hh:nn:ss"}}},
      {"%dv_time[hh:nn]%", {{0, ""}, {7, "hh:nn"}}},
      {"%custom0%%custom9%%custom10%%custom%",
       {{0, ""}, {8, ""}, {0, ""}, {17, ""}, {0, ""}, {0, "%custom10%"}, {0, ""}, {0, "%custom%"}}},
      // An open token at the end is dropped.
      {"x%time_code", {{0, "x"}}},
      {"", {}},
  };
  for (const OverlayCase& c : cases) {
    SCOPED_TRACE(c.text);
    vc->SetTextOverlay_String(c.text);
    EXPECT_EQ(vc->TextOverlay_String(), c.text);
    std::vector<std::pair<int32_t, std::string>> got;
    for (const TOverlaySegment& s : CurrentOverlaySegments(*vc->Engine())) got.emplace_back(s.Kind, s.Text);
    EXPECT_EQ(got, c.segments);
  }
}

TEST_F(VidCapPropertiesTest, TextOverlayTemplateStopsAtFortyItemsPlusTrailingText) {
  std::string text;
  for (int i = 0; i < 30; ++i) text += "x%time_sec%";
  vc->SetTextOverlay_String(text);
  EXPECT_EQ(CurrentOverlaySegments(*vc->Engine()).size(), 40u);
  vc->SetTextOverlay_String(std::string(38, '%') + "tail");
  const auto segments = CurrentOverlaySegments(*vc->Engine());
  ASSERT_EQ(segments.size(), 39u);
  EXPECT_EQ(segments.back().Text, "tail");
  // An odd count leaves a token open, and it is dropped.
  vc->SetTextOverlay_String(std::string(39, '%') + "open");
  EXPECT_EQ(CurrentOverlaySegments(*vc->Engine()).size(), 39u);
  // 40 percent signs fill the template; what follows is not read.
  vc->SetTextOverlay_String(std::string(40, '%') + "lost");
  EXPECT_EQ(CurrentOverlaySegments(*vc->Engine()).size(), 40u);
  vc->SetTextOverlay_String(std::string(40, 'a') + std::string(40, '%') + "end");
  EXPECT_EQ(CurrentOverlaySegments(*vc->Engine()).size(), 40u);
}

TEST_F(VidCapPropertiesTest, TextOverlaySetterWaitsForAReader) {
  TVcEngine& e = *vc->Engine();
  EXPECT_EQ(CurrentOverlaySegments(e).size(), 0u) << "the sample template is stored, not parsed";
  vc->SetTextOverlay_String("a%time_code%");
  const int32_t current = e.Sel.CurrentOverlay;
  e.Sel.Overlay[1 - current].Reading = true;
  vc->SetTextOverlay_String("other");
  EXPECT_EQ(vc->TextOverlay_String(), "a%time_code%");
  EXPECT_EQ(e.Sel.CurrentOverlay, current);
  e.Sel.Overlay[1 - current].Reading = false;
  vc->SetTextOverlay_String(kSampleTextOverlay);
  const auto segments = CurrentOverlaySegments(e);
  ASSERT_EQ(segments.size(), 14u);
  EXPECT_EQ(segments[1].Kind, 6);
  EXPECT_EQ(segments[1].Text, "dd/mm/yy hh:nn:ss");
  EXPECT_EQ(segments.back().Kind, 3);
}

}  // namespace
