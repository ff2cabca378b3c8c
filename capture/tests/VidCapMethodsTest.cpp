// The capture control's public methods: their argument checks, results and
// plain message boxes.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "capture/VcProperties.h"
#include "capture/VcRegistry.h"
#include "capture/VidCap.h"
#include "capture/tests/VidCapTestUtil.h"
#include "platform/rtl/Registry.h"

using namespace capture;
using captest::LogEntry;

namespace {

class VidCapMethodsTest : public captest::VidCapFixture {
protected:
  void SetUp() override {
    VidCapFixture::SetUp();
    PlugCameras(1);
    vc = MakeControl();
    scope = std::make_unique<forms::ScopedMessageBoxPresenter>(&presenter);
  }
  void TearDown() override {
    scope.reset();
    VidCapFixture::TearDown();
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> out;
    for (const auto& b : presenter.boxes) out.push_back(b.text);
    return out;
  }
  TVidCap* vc = nullptr;
  captest::RecordingPresenter presenter;
  std::unique_ptr<forms::ScopedMessageBoxPresenter> scope;
};

TEST_F(VidCapMethodsTest, RefusalsShowTheirBoxAndReport) {
  struct Case {
    const char* name;
    std::function<void(TVidCap&)> call;
    std::vector<std::string> boxes;
    std::vector<LogEntry> reports;
  };
  const LogEntry inputRange{e_index_out_of_range, "ERROR", "Video input index out of range"};
  const Case cases[] = {
      {"video input -1", [](TVidCap& v) { v.SetVideoInput(-1); }, {"Video input index out of range"}, {inputRange}},
      {"video input past the list", [](TVidCap& v) { v.SetVideoInput(0); }, {"Video input index out of range"},
       {inputRange}},
      {"level 65536", [](TVidCap& v) { v.SetAudioInputLevel(65536); }, {"Audio level value out of range"},
       {{e_value_out_of_range, "ERROR", "Audio level value out of range"}}},
      {"level -1", [](TVidCap& v) { v.SetAudioInputLevel(-1); }, {"Audio level value out of range"},
       {{e_value_out_of_range, "ERROR", "Audio level value out of range"}}},
      {"level 65535", [](TVidCap& v) { v.SetAudioInputLevel(65535); }, {}, {}},
      {"balance -32769", [](TVidCap& v) { v.SetAudioInputBalance(-32769); }, {"Audio Balance value out of range"},
       {{e_value_out_of_range, "ERROR", "Audio Balance value out of range"}}},
      {"balance 32768", [](TVidCap& v) { v.SetAudioInputBalance(32768); }, {"Audio Balance value out of range"},
       {{e_value_out_of_range, "ERROR", "Audio Balance value out of range"}}},
      {"balance -32768", [](TVidCap& v) { v.SetAudioInputBalance(-32768); }, {}, {}},
      {"frame rate on DV", [](TVidCap& v) { v.Engine()->DeviceSettings.Video[vds_IsDigitalVideoIn].BoolValue = true; v.SetFrameRate(25); },
       {"does not apply to DV"}, {{w_does_not_apply_to_dv, "WARNING", "does not apply to DV"}}},
      {"scan without tuner", [](TVidCap& v) { EXPECT_FALSE(v.StartTVChannelScan()); }, {"no TV tuner!"},
       {{e_no_tv_tuner, "ERROR", "no TV tuner!"}}},
      {"scan without tuner input", [](TVidCap& v) { v.Engine()->DeviceSettings.Video[vds_IsTVTunerAvail].BoolValue = true;
                                                    EXPECT_FALSE(v.StartTVChannelScan()); },
       {"TV tuner input not selected!"}, {{e_tuner_input_not_selected, "ERROR", "TV tuner input not selected!"}}},
      {"scan while recording", [](TVidCap& v) { v.Engine()->State = es_Recording;
                                                EXPECT_FALSE(v.StartTVChannelScan()); },
       {}, {{e_stop_recording_first, "ERROR", "first stop recording"}}},
      {"scan running", [](TVidCap& v) { v.Engine()->ChannelScanRunning = true; EXPECT_FALSE(v.StartTVChannelScan()); },
       {}, {}},
      {"stop scan without tuner", [](TVidCap& v) { EXPECT_FALSE(v.StopTVChannelScan()); }, {"no TV tuner!"},
       {{e_no_tv_tuner, "ERROR", "no TV tuner!"}}},
      {"stop scan that does not run", [](TVidCap& v) { v.Engine()->DeviceSettings.Video[vds_IsTVTunerAvail].BoolValue = true;
                                                       EXPECT_FALSE(v.StopTVChannelScan()); },
       {}, {}},
      // The player's "nothing open" reports go to the trace only.
      {"run player", [](TVidCap& v) { v.RunPlayer(); }, {"no clip opened"}, {}},
      {"pause player", [](TVidCap& v) { v.PausePlayer(); }, {"not playing"}, {}},
      {"stop player", [](TVidCap& v) { v.StopPlayer(); }, {}, {}},
      {"open player without a file", [](TVidCap& v) { EXPECT_FALSE(v.OpenPlayer()); }, {},
       {{e_file_name_not_specified, "ERROR", "file name not specified"}}},
      {"open player while re-encoding", [](TVidCap& v) { v.Engine()->State = es_Reencoding;
                                                         v.SetPlayerFileName("a.avi");
                                                         EXPECT_FALSE(v.OpenPlayer()); },
       {}, {{e_reencoding, "ERROR", "first stop reencoding"}}},
      {"analog standard without decoder", [](TVidCap& v) { v.SetAnalogVideoStandard(0); }, {},
       {{e_index_out_of_range, "ERROR", "analog video standard index out of range"}}},
      {"resume when idle", [](TVidCap& v) { EXPECT_FALSE(v.ResumeRecording()); }, {},
       {{e_not_recording, "ERROR", "not recording"}}},
      {"resume a recording never started", [](TVidCap& v) { v.Engine()->State = es_Recording;
                                                            EXPECT_FALSE(v.ResumeRecording()); },
       {}, {{e_recording_cannot_pause, "ERROR", "not recording"}}},
      {"resume a recording not paused", [](TVidCap& v) { v.Engine()->State = es_Recording;
                                                         v.Engine()->RecordingStarted = true;
                                                         EXPECT_FALSE(v.ResumeRecording()); },
       {}, {{e_recording_cannot_pause, "ERROR", "Recording not paused"}}},
      {"compressor past the list", [](TVidCap& v) { v.SetVideoCompressor(1000000); }, {},
       {{e_index_out_of_range, "ERROR", "index of video compressor out of range"}}},
      {"audio compressor past the list", [](TVidCap& v) { v.SetAudioCompressor(1000000); }, {},
       {{e_index_out_of_range, "ERROR", "index of audio compressor out of range"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TVidCap* v = MakeControl();
    presenter.boxes.clear();
    log.clear();
    c.call(*v);
    EXPECT_EQ(BoxTexts(), c.boxes);
    EXPECT_EQ(log, c.reports);
    for (const auto& b : presenter.boxes) {
      EXPECT_EQ(b.caption, forms::Application->Title());
      EXPECT_EQ(b.flags, forms::MB_OK);
    }
    v->Engine()->State = es_Idle;
    delete v;
  }
}

TEST_F(VidCapMethodsTest, AudioInputsFollowTheAssociatedVideoDevice) {
  TVcEngine& e = *vc->Engine();
  int selected = 0;
  vc->OnAudioDeviceSelected = [&](TObject*) { ++selected; };
  vc->SetAudioInput(-1);
  vc->SetAudioInput(2);
  vc->SetAudioInput(2);
  EXPECT_EQ(selected, 1);
  EXPECT_EQ(vc->GetAudioInput(), 2);
  vc->SetAudioInputLevel(100);
  vc->SetAudioInputBalance(-5);

  vc->SetAssociateAudioAndVideoDevices(true);
  e.BoundVideoDevice = 0;
  EXPECT_EQ(vc->GetAudioInput(), 0);
  EXPECT_EQ(vc->GetAudioInputLevel(), 50000);
  vc->SetAudioInput(1);
  vc->SetAudioInputLevel(7);
  vc->SetAudioInputBalance(9);
  EXPECT_EQ(e.DeviceSettings.Video[vds_AudioInputAssociated].IntValue, 1);
  EXPECT_EQ(vc->GetAudioInputBalance(), 9);
  EXPECT_EQ(e.DeviceSettings.Audio[ads_AudioInput].IntValue, 2);
  EXPECT_EQ(e.DeviceSettings.Audio[ads_AudioInputLevel].IntValue, 100);
  EXPECT_EQ(e.DeviceSettings.Audio[ads_AudioInputBalance].IntValue, -5);
}

TEST_F(VidCapMethodsTest, CameraAndQualityControlsStayInsideTheirTables) {
  TVcEngine& e = *vc->Engine();
  // Records of six integers: available, value, min, max, step, default;
  // only the low byte of the flag counts.
  const int32_t pan[6] = {0x101, 5, -10, 10, 1, 0};
  const int32_t notAvailable[6] = {0x100, 5, -10, 10, 1, 0};
  const int32_t gain[6] = {1, 50, 0, 100, 5, 40};
  std::memcpy(e.DeviceSettings.CameraControlTable.data() + 6 * 24, pan, 24);
  std::memcpy(e.DeviceSettings.CameraControlTable.data() + 5 * 24, notAvailable, 24);
  std::memcpy(e.DeviceSettings.VideoQualityTable.data() + 9 * 24, gain, 24);
  struct Case {
    int32_t index;
    bool available;
    int32_t value, min, max, step, def;
  };
  for (const Case& c : {Case{6, true, 5, -10, 10, 1, 0}, Case{0, false, 0, 0, 0, 0, 0}, Case{7, false, 0, 0, 0, 0, 0},
                        Case{-1, false, 0, 0, 0, 0, 0}, Case{1000000, false, 0, 0, 0, 0, 0}}) {
    SCOPED_TRACE(c.index);
    EXPECT_EQ(vc->IsCameraControlPropertyAvailable(c.index), c.available);
    EXPECT_EQ(vc->GetCameraControlValue(c.index), c.value);
    EXPECT_EQ(vc->GetCameraControlMin(c.index), c.min);
    EXPECT_EQ(vc->GetCameraControlMax(c.index), c.max);
    EXPECT_EQ(vc->GetCameraControlStep(c.index), c.step);
    EXPECT_EQ(vc->GetCameraControlDefault(c.index), c.def);
  }
  EXPECT_EQ(vc->GetVideoQualityDefault(9), 40);
  EXPECT_EQ(vc->GetVideoQualityMax(10), 0);
  EXPECT_FALSE(vc->IsVideoQualityPropertyAvailable(10));

  struct SetCase {
    int32_t index, value;
    bool ok;
  };
  for (const SetCase& c : {SetCase{6, 10, true}, SetCase{6, -10, true}, SetCase{6, 11, false},
                           SetCase{6, -11, false}, SetCase{5, 0, false}, SetCase{0, 0, false},
                           SetCase{7, 0, false}}) {
    EXPECT_EQ(vc->SetCameraControlValue(c.index, c.value), c.ok) << c.index << " " << c.value;
  }
  EXPECT_EQ(vc->GetCameraControlValue(6), -10);
  int32_t stored[6];
  std::memcpy(stored, e.DeviceSettings.CameraControlTable.data() + 6 * 24, 24);
  EXPECT_EQ(stored[1], -10) << "the value lands in the device's stored table";
  EXPECT_FALSE(vc->IsCameraControlPropertyAvailable(5));
  EXPECT_TRUE(vc->GetCameraControlAuto()) << "automatic until switched off";
  vc->SetCameraControlAuto(false);
  EXPECT_FALSE(e.DeviceSettings.Video[vds_CameraControlAuto].BoolValue);
  EXPECT_TRUE(vc->SetVideoQualityValue(9, 100));
  EXPECT_FALSE(vc->SetVideoQualityValue(10, 1));
  EXPECT_FALSE(vc->SetVideoQualityValue(9, 101));
  EXPECT_EQ(vc->GetVideoQualityValue(9), 100);
}

TEST_F(VidCapMethodsTest, ListsAndNames) {
  PlugCameras(1);  // two cameras
  EXPECT_EQ(vc->GetVideoDeviceCount(), 2);
  EXPECT_EQ(vc->GetVideoDeviceName(), "Sim Camera (WDM)");
  vc->Engine()->VideoDevice = -1;
  EXPECT_EQ(vc->GetVideoDeviceName(), "");
  vc->Engine()->VideoDevice = 2;
  EXPECT_EQ(vc->GetVideoDeviceName(), "");
  EXPECT_EQ(vc->FindVideoDevice("Sim Camera (WDM)"), 0);
  EXPECT_EQ(vc->FindVideoDevice("Nothing"), -1);
  EXPECT_EQ(vc->GetVideoCompressorName(), "") << "none selected";
  const int32_t compressors = vc->GetVideoCompressorCount();
  if (compressors > 0) {
    vc->SetVideoCompressor(compressors - 1);
    EXPECT_EQ(vc->GetVideoCompressor(), compressors - 1);
    EXPECT_FALSE(vc->GetVideoCompressorName().empty());
    EXPECT_NE(vc->GetVideoCompressors().find(vc->GetVideoCompressorName() + "\r\n"), std::string::npos);
    vc->SetVideoCompressor(compressors);
    EXPECT_EQ(vc->GetVideoCompressor(), compressors - 1) << "a refused index keeps the selection";
  }

  const std::string formats = vc->GetAudioFormats();
  std::vector<std::string> lines;
  for (size_t pos = 0; pos < formats.size();) {
    const size_t eol = formats.find("\r\n", pos);
    lines.push_back(formats.substr(pos, eol - pos));
    pos = eol + 2;
  }
  ASSERT_EQ(lines.size(), 29u);
  EXPECT_EQ(lines[0], "Default");
  EXPECT_EQ(lines[af_8000_8b_1ch], "8000 Hz, 8-bit Mono");
  EXPECT_EQ(lines[af_8000_16b_2ch], "8000 Hz, 16-bit Stereo");
  EXPECT_EQ(lines[af_44100_16b_2ch], "44100 Hz, 16-bit Stereo");
  EXPECT_EQ(lines[af_48000_8b_2ch], "48000 Hz, 8-bit Stereo");
}

TEST_F(VidCapMethodsTest, FormatListsShowTheDefaultEntryUnderTheApplicationsText) {
  TVcEngine& e = *vc->Engine();
  EXPECT_EQ(vc->GetVideoSizes(), "");
  e.Sel.VideoSubtypes.Add("device");
  e.Sel.VideoSubtypes.Add(" RGB24 ");
  e.Sel.VideoSubtypes.Add("YUY2");
  EXPECT_EQ(vc->GetVideoSubtypes(), "Default\r\nRGB24\r\nYUY2\r\n");
  SetTextLookup([](const String& key, const String& english) {
    return key == "IDS_MAIN_COMBO_PATH_1" ? String("Standard") : english;
  });
  EXPECT_EQ(vc->GetVideoSubtypes(), "Standard\r\nRGB24\r\nYUY2\r\n");
  SetTextLookup(nullptr);
  e.Initialized = false;
  EXPECT_EQ(vc->GetVideoSubtypes(), "") << "no list before the control is initialized";
  e.Initialized = true;
}

TEST_F(VidCapMethodsTest, SizeAndSubtypeSelectionsRefreshEvenWhenUnchanged) {
  SetTraceOn();
  TVcEngine& e = *vc->Engine();
  for (const char* s : {"0", "320x240", "640x480"}) e.Sel.VideoSizes.Add(s);
  for (const char* s : {"0", "RGB24"}) e.Sel.VideoSubtypes.Add(s);
  // The device is bound already: a rebuild does not load its settings anew.
  e.VideoDeviceReady = e.AudioDeviceReady = true;
  int selected = 0;
  vc->OnVideoDeviceSelected = [&](TObject*) { ++selected; };
  e.State = es_Preview;
  vc->SetVideoSize(3);
  vc->SetVideoSubtype(-1);
  EXPECT_EQ(selected, 0);
  e.State = es_Preview;
  vc->SetVideoSize(1);
  e.State = es_Preview;
  vc->SetVideoSize(1);
  e.State = es_Preview;
  vc->SetVideoSubtype(1);
  EXPECT_EQ(selected, 2);
  EXPECT_EQ(vc->GetVideoSize(), 1);
  EXPECT_EQ(vc->GetVideoSubtype(), 1);
  std::vector<std::string> refreshes;
  for (const std::string& l : TraceTexts())
    if (l.rfind("REFRESHING PREVIEW FROM ", 0) == 0) refreshes.push_back(l.substr(24));
  EXPECT_EQ(refreshes, (std::vector<std::string>{"dsvsz", "dsvsz", "dsvsty"}));
}

TEST_F(VidCapMethodsTest, FrameRateIsKeptInHundredths) {
  EXPECT_DOUBLE_EQ(vc->GetFrameRate(), 29.97);
  vc->SetFrameRate(14.996);
  EXPECT_EQ(vc->Engine()->FrameRate100, 1500);
  vc->SetFrameRate(-1);
  EXPECT_DOUBLE_EQ(vc->GetFrameRate(), 15.0);
}

TEST_F(VidCapMethodsTest, SnapshotNeedsAnActiveGrabberAndOnlyOneAtATime) {
  TVcEngine& e = *vc->Engine();
  EXPECT_FALSE(vc->CaptureFrameTo(fc_BmpFile, "a.bmp")) << "no active graph";
  e.GraphActive = true;
  e.Latched.FrameGrabber = fg_Disabled;
  EXPECT_FALSE(vc->CaptureFrameTo(fc_BmpFile, "a.bmp"));
  e.Latched.FrameGrabber = fg_BothStreams;
  EXPECT_TRUE(vc->CaptureFrameTo(fc_JpegFile, "a.jpg"));
  EXPECT_EQ(e.Sel.SnapshotDest, fc_JpegFile);
  EXPECT_EQ(e.Sel.SnapshotFileName, "a.jpg");
  EXPECT_FALSE(vc->CaptureFrameTo(fc_BmpFile, "b.bmp")) << "one is still pending";
  e.GraphActive = false;
}

TEST_F(VidCapMethodsTest, MotionGridAndSensitivity) {
  EXPECT_FALSE(vc->MotionDetector_SetGridSize(0, 3));
  EXPECT_FALSE(vc->MotionDetector_SetGridSize(3, -1));
  EXPECT_TRUE(vc->MotionDetector_SetGridSize(3, 2));
  vc->MotionDetector_SetGlobalSensitivity(7);
  EXPECT_EQ(vc->MotionDetector_Grid(), "777 777");
  vc->MotionDetector_SetGlobalSensitivity(10);
  vc->MotionDetector_SetGlobalSensitivity(-1);
  EXPECT_EQ(vc->MotionDetector_Grid(), "777 777");
}

TEST_F(VidCapMethodsTest, ExtraFilterListsClearOnlyKnownLocations) {
  TVcEngine& e = *vc->Engine();
  e.Sel.ThirdPartyFilters[tpf_AudioRender][9] = {mg::CLSID_SmartTee, true, "", nullptr};
  e.Sel.ThirdPartyFilters[tpf_VideoSource][0] = {mg::CLSID_SmartTee, true, "", nullptr};
  EXPECT_FALSE(vc->ThirdPartyFilter_ClearList(static_cast<TThirdPartyFilterList>(6)));
  EXPECT_TRUE(vc->ThirdPartyFilter_ClearList(tpf_AudioRender));
  EXPECT_FALSE(e.Sel.ThirdPartyFilters[tpf_AudioRender][9].Enabled);
  EXPECT_EQ(e.Sel.ThirdPartyFilters[tpf_AudioRender][9].Clsid, mg::GUID{});
  EXPECT_TRUE(e.Sel.ThirdPartyFilters[tpf_VideoSource][0].Enabled);
}

TEST_F(VidCapMethodsTest, DialogsTvAndTransportRefuseWithoutTheirDevice) {
  EXPECT_FALSE(vc->ShowDialog(12));
  EXPECT_FALSE(vc->ShowDialog(-1));
  vc->SetTVInputType(2);
  EXPECT_EQ(vc->GetTVInputType(), 0);
  vc->SetTVInputType(1);
  vc->SetTVChannel(31);
  vc->SetTVCountryCode(49);
  EXPECT_EQ(vc->GetTVInputType(), 1);
  EXPECT_EQ(vc->GetTVChannel(), 31);
  EXPECT_EQ(vc->GetTVCountryCode(), 49);
  EXPECT_TRUE(presenter.boxes.empty());
  EXPECT_TRUE(log.empty());

  vc->Engine()->DeviceSettings.Video[vds_IsTVTunerAvail].BoolValue = true;
  vc->Engine()->ChannelScanRunning = true;
  vc->SetTVChannel(32);
  EXPECT_EQ(log, (std::vector<LogEntry>{{e_tv_command_not_allowed_during_tv_tuning, "ERROR",
                                         "TV commands not allowed during tv auto tuning"}}));
  // A stop request needs the tuner itself, not only the device's flag.
  EXPECT_FALSE(vc->StopTVChannelScan());
  vc->SetTVInputType(-1);
  EXPECT_EQ(vc->GetTVInputType(), 1);
}

TEST_F(VidCapMethodsTest, ClearingFrequencyOverridesDeletesTheTuningSpaceKey) {
  rtl::SetRegistryFolder(rtl::HKEY_LOCAL_MACHINE, dir_.string());
  vc->SetTVCountryCode(31);
  vc->SetTVInputType(0);
  const String key = "\\Software\\Microsoft\\TV System Services\\TVAutoTune\\TS99990031-1\\";
  {
    rtl::TRegistry reg;
    reg.SetRootKey(rtl::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey(key, true));
    reg.WriteInteger("5", 77250000);
  }
  EXPECT_TRUE(vc->ClearTVFrequencyOverrides());
  EXPECT_FALSE(vc->ClearTVFrequencyOverrides());
  rtl::TRegistry reg;
  reg.SetRootKey(rtl::HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(reg.KeyExists(key));
  rtl::SetRegistryFolder(rtl::HKEY_LOCAL_MACHINE, "");
}

TEST_F(VidCapMethodsTest, HeldRecordingIsReleasedByResume) {
  TVcEngine& e = *vc->Engine();
  auto control = std::make_shared<captest::ScriptedControl>();
  e.MediaControl = control;
  e.State = es_Recording;
  e.GraphState = gs_Running;
  e.Latched.HoldRecording = true;
  EXPECT_TRUE(vc->ResumeRecording());
  EXPECT_TRUE(e.RecordingStarted);
  EXPECT_FALSE(e.Latched.HoldRecording);
  EXPECT_EQ(control->pauses, 1);
  EXPECT_EQ(e.GraphState, gs_Running);
  // A recording paused for want of motion resumes.
  e.Sel.PausedByNoMotion = true;
  EXPECT_TRUE(vc->ResumeRecording());
  EXPECT_FALSE(e.Sel.PausedByNoMotion);
  e.ClearGraph(true);
}

// The standards come from the device's supported mask, in table order; the
// current one is stored as its bit.
TEST_F(VidCapMethodsTest, AnalogStandardsFollowTheDevicesMask) {
  auto& video = vc->Engine()->DeviceSettings.Video;
  video[vds_ANTVFormats].IntValue = 0x1 | 0x10 | 0x40 | 0x1000 | 0x100000;
  video[vds_ANTVFormat].IntValue = 0x1000;
  EXPECT_EQ(vc->GetAnalogVideoStandards(), "NTSC M\r\nPAL B\r\nSECAM B\r\nPAL N COMBO");
  EXPECT_EQ(vc->GetAnalogVideoStandard(), 2);
  vc->SetAnalogVideoStandard(1);
  EXPECT_EQ(video[vds_ANTVFormat].IntValue, 0x10);
  EXPECT_EQ(vc->GetAnalogVideoStandard(), 1);
  vc->SetAnalogVideoStandard(4);
  EXPECT_EQ(video[vds_ANTVFormat].IntValue, 0x10);
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().msg, "analog video standard index out of range");
  // A device that supports none loses its current standard.
  video[vds_ANTVFormats].IntValue = 0;
  vc->SetAnalogVideoStandard(0);
  EXPECT_EQ(video[vds_ANTVFormat].IntValue, 0);
  EXPECT_EQ(vc->GetAnalogVideoStandards(), "");
  EXPECT_EQ(AnalogStandardFromName("PAL G"), 0x1);
}

TEST_F(VidCapMethodsTest, FrequencyOverridesAreWrittenOnlyForATuner) {
  const String key = "\\Software\\Microsoft\\TV System Services\\TVAutoTune\\TS" +
                     std::to_string(TVCountryTuningSpace(vc->GetTVCountryCode())) + "-" +
                     std::to_string(1 - vc->GetTVInputType()) + "\\";
  rtl::TRegistry reg;
  reg.SetRootKey(rtl::HKEY_LOCAL_MACHINE);
  if (reg.KeyExists(key)) reg.DeleteKey(key);
  vc->SetTVFrequencyOverride(5, 55250000);
  EXPECT_FALSE(reg.KeyExists(key));
  vc->Engine()->DeviceSettings.Video[vds_IsTVTunerAvail].BoolValue = true;
  vc->SetTVFrequencyOverride(5, 55250000);
  vc->SetTVFrequencyOverride(6, 61250000);
  ASSERT_TRUE(reg.OpenKeyReadOnly(key));
  EXPECT_EQ(reg.ReadInteger("5"), 55250000);
  EXPECT_EQ(reg.ReadInteger("6"), 61250000);
  reg.CloseKey();
  vc->SetTVFrequencyOverride(5, -1);
  vc->SetTVFrequencyOverride(7, -1);
  ASSERT_TRUE(reg.OpenKeyReadOnly(key));
  EXPECT_FALSE(reg.ValueExists("5"));
  EXPECT_TRUE(reg.ValueExists("6"));
  reg.CloseKey();
  // Only a tuning that used an override makes the clearing rebuild a preview.
  TVcEngine& e = *vc->Engine();
  SetTraceOn();
  e.State = es_Preview;
  e.TVUseFrequencyOverrides = true;
  EXPECT_TRUE(vc->ClearTVFrequencyOverrides());
  EXPECT_FALSE(reg.KeyExists(key));
  const auto refreshed = [] {
    return TraceLog() && TraceLog()->Lines().Text().find("REFRESHING PREVIEW FROM scf") != String::npos;
  };
  EXPECT_FALSE(refreshed());
  e.OverridesInUse = true;
  EXPECT_FALSE(vc->ClearTVFrequencyOverrides());
  EXPECT_TRUE(refreshed());
  e.State = es_Idle;
}

}  // namespace
