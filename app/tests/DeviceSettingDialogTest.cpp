// The device settings dialog over a capture control and the simulated
// devices: the per-mode loading, the tuner page with its scan, and what
// OK writes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/FormCameraControl.h"
#include "app/FormDeviceSetting.h"
#include "app/ResStr.h"
#include "capture/VcTuner.h"
#include "capture/tests/VidCapTestUtil.h"
#include "platform/forms/Forms.h"
#include "platform/rtl/Registry.h"
#include "platform/win/Input.h"

using namespace app;
using namespace forms;

namespace {

std::vector<std::string> Items(TComboBox* c) {
  std::vector<std::string> out;
  for (int i = 0; i < c->Items()->Count(); ++i) out.push_back(c->Items()->Strings(i));
  return out;
}

class DeviceSettingDialogTest : public captest::VidCapFixture {
protected:
  void SetUp() override {
    VidCapFixture::SetUp();
    win::ResetInputState();
    capture::SetGraphSchedulerFactory([] { return std::make_shared<mg::ManualScheduler>(); });
  }
  void TearDown() override {
    Application->OnIdle = nullptr;
    delete dialog;
    win::ResetInputState();
    VidCapFixture::TearDown();
  }
  // The mode's lists as the main window's start fills them: each name
  // with a line end.
  static String Names(capture::TDevices* devices, const std::string& part) {
    String out;
    for (int32_t i = 0; devices && i < devices->Count(); ++i)
      if (devices->GetName(i).find(part) != std::string::npos) out += devices->GetName(i) + "\r\n";
    return out;
  }
  TfrmDeviceSetting* Open(TMainMode mode) {
    g.Mode = mode;
    vc = vc ? vc : MakeControl();
    dialog = new TfrmDeviceSetting(form, vc, g);
    dialog->LoadFromSettings();
    return dialog;
  }
  TGlobalVars g;
  capture::TVidCap* vc = nullptr;
  TfrmDeviceSetting* dialog = nullptr;
};

TEST_F(DeviceSettingDialogTest, EachModeLoadsItsOwnDevices) {
  for (const mg::sim::DeviceOptions& o : {mg::sim::DeviceOptions{mg::sim::CameraOptions{}}, mg::sim::DeviceOptions{mg::sim::TvOptions{}},
                                         mg::sim::DeviceOptions{mg::sim::DvOptions{}}, mg::sim::DeviceOptions{mg::sim::AudioOptions{}}})
    PlugIn(o);
  capture::CreateDeviceLists();
  g.DVVideoDeviceNames = Names(capture::VideoCaptureDevices(), "Sim DV");
  g.TVVideoDeviceNames = Names(capture::VideoCaptureDevices(), "Sim TV");
  g.ODVideoDeviceNames = Names(capture::VideoCaptureDevices(), "Sim Camera");
  g.DVAudioDeviceNames = g.TVAudioDeviceNames = g.ODAudioDeviceNames = Names(capture::AudioCaptureDevices(), "Sim");
  ASSERT_FALSE(g.TVVideoDeviceNames.empty());
  ASSERT_FALSE(g.ODAudioDeviceNames.empty());
  g.DVVideoDevice = g.TVVideoDevice = g.ODVideoDevice = 0;
  g.DVAudioDevice = g.TVAudioDevice = g.ODAudioDevice = 0;
  struct Case {
    TMainMode mode;
    const char* device;
    bool tuner, frameRate, camera;
  };
  const Case cases[] = {
      {mmDV, "Sim DV", false, false, true},
      {mmTV, "Sim TV", true, true, false},
      {mmOD, "Sim Camera", false, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.device);
    Open(c.mode);
    EXPECT_EQ(dialog->tabTVTuner->TabVisible(), c.tuner);
    EXPECT_NE(dialog->cmbVideoDevice->Items()->Strings(0).find(c.device), std::string::npos);
    EXPECT_EQ(vc->VideoDevice(), vc->FindVideoDevice(dialog->cmbVideoDevice->Items()->Strings(0)));
    EXPECT_TRUE(dialog->cmbVideoDevice->Enabled());
    EXPECT_EQ(dialog->txtFrameRate->Text().empty(), !c.frameRate);
    if (c.frameRate) {
      EXPECT_EQ(dialog->txtFrameRate->Text(), rtl::FormatFloat("0.00", vc->GetFrameRate()));
      // Asked of the mode's device, not the one held before.
      EXPECT_EQ(dialog->btnCameraSetting->Enabled(), c.camera);
      EXPECT_EQ(dialog->cmbVideoInput->Enabled(), vc->IsVideoCrossbarAvailable());
    } else {
      EXPECT_TRUE(dialog->btnCameraSetting->Enabled()) << "the DV mode keeps the buttons as they are";
      EXPECT_TRUE(dialog->btnStreamSetting->Enabled());
    }
    EXPECT_EQ(dialog->cmbVideoInputSize->ItemIndex(), vc->GetVideoSize());
    EXPECT_EQ(Items(dialog->cmbAudioDevice).size(), static_cast<size_t>(capture::AudioCaptureDevices()->Count()));
    EXPECT_EQ(dialog->txtAudioInputLevel->Caption(),
              TfrmDeviceSetting::TrackBarPercent(dialog->trkAudioInputLevel));
    if (c.tuner) {
      EXPECT_EQ(dialog->txtCountryCode->Text(), rtl::IntToStr(vc->GetTVCountryCode()));
      EXPECT_EQ(dialog->txtChannel->Text(), rtl::IntToStr(vc->GetTVChannel()));
      EXPECT_EQ(dialog->txtFrequency->Text(), "0");
      EXPECT_EQ(dialog->RadioButtonCable->Checked(), vc->GetTVInputType() == 0);
    }
    // Saving in the DV mode passes no frame rate and no list the device
    // does not have.
    log.clear();
    vc->Stop();
    dialog->SaveToSettings();
    EXPECT_TRUE(log.empty()) << log.front().msg;
    delete dialog;
    dialog = nullptr;
  }
}

TEST_F(DeviceSettingDialogTest, WithoutAudioDevicesNoneShowsAndNothingAudioIsWritten) {
  PlugCameras(1);
  capture::CreateDeviceLists();
  g.ODVideoDeviceNames = Names(capture::VideoCaptureDevices(), "Sim Camera");
  g.ODVideoDevice = 0;
  g.ODAudioDevice = 3;
  vc = MakeControl();
  vc->SetAudioInputLevel(40000);
  vc->SetAudioInputBalance(-1000);
  Open(mmOD);
  EXPECT_EQ(Items(dialog->cmbAudioDevice), std::vector<std::string>{"None"});
  EXPECT_EQ(Items(dialog->cmbAudioInput), std::vector<std::string>{"None"});
  EXPECT_EQ(dialog->cmbAudioDevice->ItemIndex(), 0);
  EXPECT_FALSE(dialog->cmbAudioDevice->Enabled());
  EXPECT_FALSE(dialog->cmbAudioInput->Enabled());
  dialog->SaveToSettings();
  EXPECT_EQ(g.ODAudioDevice, 3);
  EXPECT_EQ(vc->GetAudioInputLevel(), 40000) << "the untouched track bars write nothing";
  EXPECT_EQ(vc->GetAudioInputBalance(), -1000);
  EXPECT_EQ(g.ODVideoDevice, 0);
}

TEST_F(DeviceSettingDialogTest, WithoutVideoDevicesEveryVideoListShowsNone) {
  g.ODVideoDevice = 0;
  Open(mmOD);
  for (TComboBox* c : {dialog->cmbVideoDevice, dialog->cmbVideoInput, dialog->cmbAnalogVideoStandard,
                       dialog->cmbVideoInputSize, dialog->cmbVideoSubType}) {
    EXPECT_EQ(Items(c), std::vector<std::string>{"None"}) << c->Name();
    EXPECT_EQ(c->ItemIndex(), 0);
  }
  EXPECT_FALSE(dialog->cmbVideoDevice->Enabled());
  log.clear();
  dialog->SaveToSettings();
  EXPECT_TRUE(log.empty()) << "no index of a None entry is passed on";
}

TEST_F(DeviceSettingDialogTest, TheRecordedIndexSelectsTheSecondDevice) {
  PlugIn(mg::sim::CameraOptions{}, "Cam A");
  PlugIn(mg::sim::CameraOptions{}, "Cam B");
  capture::CreateDeviceLists();
  g.ODVideoDeviceNames = Names(capture::VideoCaptureDevices(), "Cam");
  g.ODVideoDevice = 1;
  Open(mmOD);
  ASSERT_EQ(dialog->cmbVideoDevice->Items()->Count(), 2);
  EXPECT_EQ(dialog->cmbVideoDevice->ItemIndex(), 1);
  EXPECT_EQ(vc->VideoDevice(), vc->FindVideoDevice(dialog->cmbVideoDevice->Items()->Strings(1)));
  EXPECT_NE(vc->VideoDevice(), vc->FindVideoDevice(dialog->cmbVideoDevice->Items()->Strings(0)));
  // Another choice reaches the control at once and OK records it.
  dialog->cmbVideoDevice->SetItemIndex(0);
  dialog->cmbVideoDeviceChange(dialog->cmbVideoDevice);
  EXPECT_EQ(vc->VideoDevice(), vc->FindVideoDevice(dialog->cmbVideoDevice->Items()->Strings(0)));
  EXPECT_EQ(g.ODVideoDevice, 1) << "recorded only through OK";
  dialog->SaveToSettings();
  EXPECT_EQ(g.ODVideoDevice, 0);
}

TEST_F(DeviceSettingDialogTest, NumberFieldsDropCharactersFromTheEnd) {
  Open(mmTV);
  struct Case {
    TEdit* edit;
    const char* typed;
    const char* left;
  };
  const Case cases[] = {
      {dialog->txtFrameRate, "25,", "25"},   {dialog->txtFrameRate, "29.97", "29.97"},
      {dialog->txtFrameRate, "x", ""},       {dialog->txtFrameRate, "1e", "1"},
      {dialog->txtChannel, "12a", "12"},     {dialog->txtChannel, "-", ""},
      {dialog->txtFrequency, "5525000x0", "5525000"}, {dialog->txtCountryCode, "31", "31"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    c.edit->SetText(c.typed);
    EXPECT_EQ(c.edit->Text(), c.left);
    if (std::string(c.typed) != c.left) {
      EXPECT_EQ(c.edit->SelStart(), static_cast<int>(std::string(c.left).size())) << "the caret goes to the end";
    }
  }
  dialog->txtFrameRate->SetText("25,");
  dialog->txtFrameRate->SetText(dialog->txtFrameRate->Text() + "5");
  EXPECT_EQ(dialog->txtFrameRate->Text(), "255") << "a digit after the refused comma stays";
}

TEST_F(DeviceSettingDialogTest, ChannelLinesTellLockAndOverride) {
  struct Case {
    capture::TTVChannelInfo info;
    const char* line;
  };
  const Case cases[] = {
      {{5, 1, 55250000, 55250000, 55250000, 59750000}, "5: 55.25 Mhz (55250000 Hz, overridden)"},
      {{21, 1, 471250000, -1, 471250000, 475750000}, "21: 471.25 Mhz (471250000 Hz)"},
      {{7, 0, 175250000, -1, 175250000, 0}, "7..."},
      {{8, 0, 181250000, 181000000, 181000000, 0}, "8... overridden and not locked"},
  };
  for (const Case& c : cases) EXPECT_EQ(TfrmDeviceSetting::ChannelLine(c.info), c.line);
}

// A scan over the card's channels 2 to 4 fills the list while the dialog
// is open; the button keeps its stop text until pressed again.
TEST_F(DeviceSettingDialogTest, ScanListsEveryTunedChannel) {
  mg::sim::TvOptions o;
  o.minChannel = 2;
  o.maxChannel = 4;
  o.signalChannels = {3, 4};
  PlugIn(o, "Sim TV");
  capture::CreateDeviceLists();
  g.TVVideoDeviceNames = Names(capture::VideoCaptureDevices(), "Sim TV");
  g.TVVideoDevice = 0;
  vc = MakeControl();
  Open(mmTV);
  vc->SetTVCountryCode(31);
  vc->SetTVInputType(0);
  vc->SetTVFrequencyOverride(3, 61000000);
  vc->SetTVUseFrequencyOverrides(true);
  ASSERT_TRUE(vc->StartPreview());
  clock.Advance(100);
  const int before = dialog->lstChannels->Items()->Count();
  dialog->btnScanClick(dialog->btnScan);
  EXPECT_TRUE(dialog->Scanning());
  EXPECT_EQ(dialog->btnScan->Caption(), IDS_DEVICESETTING_TVTUNER_BUTTON_STOPSCAN);
  clock.Advance(capture::kChannelScanStepPeriod);
  EXPECT_EQ(dialog->lblChannelInfo->Caption(), "Channel: 2 To 4");
  for (int i = 0; i < 5; ++i) clock.Advance(capture::kChannelScanStepPeriod);
  EXPECT_EQ(dialog->lblChannelInfo->Caption(), MSG_DEVICESETTING_TVTUNER_SCANCOMPELETED);
  std::vector<std::string> lines;
  for (int i = before; i < dialog->lstChannels->Items()->Count(); ++i)
    lines.push_back(dialog->lstChannels->Items()->Strings(i));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "2...");
  EXPECT_EQ(lines[1], "3: 55.25 Mhz (55250000 Hz)") << "a scan tunes from the channel table";
  EXPECT_EQ(lines[2].rfind("4: ", 0), 0u);
  EXPECT_EQ(dialog->txtChannel->Text(), "4");
  EXPECT_TRUE(dialog->Scanning()) << "the button is not reset when the scan ends by itself";
  dialog->btnScanClick(dialog->btnScan);
  EXPECT_FALSE(dialog->Scanning());
  EXPECT_EQ(dialog->btnScan->Caption(), IDS_DEVICESETTING_TVTUNER_BUTTON_STARTSCAN);

  // A channel tuned outside a scan takes its override and says so.
  vc->SetTVChannel(3);
  clock.Advance(100);
  EXPECT_EQ(dialog->lstChannels->Items()->Strings(dialog->lstChannels->Items()->Count() - 1),
            "3: 61.00 Mhz (61000000 Hz, overridden)");
  EXPECT_EQ(dialog->txtFrequency->Text(), "61000000");

  // Saving lets go of the control's events; so does freeing the dialog.
  dialog->SaveToSettings();
  EXPECT_FALSE(vc->OnTVChannelSelected);
  EXPECT_FALSE(vc->OnTVChannelScanStarted);
  EXPECT_FALSE(vc->OnTVChannelScanCompleted);
  vc->Stop();
}

TEST_F(DeviceSettingDialogTest, FreeingTheDialogLetsGoOfTheTunerEvents) {
  Open(mmTV);
  EXPECT_TRUE(vc->OnTVChannelSelected);
  delete dialog;
  dialog = nullptr;
  EXPECT_FALSE(vc->OnTVChannelSelected);
  EXPECT_FALSE(vc->OnTVChannelScanStarted);
  EXPECT_FALSE(vc->OnTVChannelScanCompleted);

  // A control freed before the dialog is not reached by its end.
  Open(mmTV);
  delete vc;
  vc = nullptr;
  delete dialog;
  dialog = nullptr;
}

// What OK writes from the tuner page, read back from the control and the
// override key it keeps.
TEST_F(DeviceSettingDialogTest, TunerPageWritesItsFieldsAndNoEmptyOverride) {
  PlugIn(mg::sim::TvOptions{}, "Sim TV");
  capture::CreateDeviceLists();
  g.TVVideoDeviceNames = Names(capture::VideoCaptureDevices(), "Sim TV");
  g.TVVideoDevice = 0;
  struct Case {
    bool antenna;
    const char *country, *channel, *frequency;
    bool overrides;
    int32_t wantCountry, wantChannel, wantOverride;
  };
  const Case cases[] = {
      {true, "31", "5", "0", true, 31, 5, -1},
      {false, "1", "6", "83250000", false, 1, 6, 83250000},
      {false, "", "7", "", true, 1, 7, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.channel);
    Open(mmTV);
    (c.antenna ? dialog->RadioButtonAntenna : dialog->RadioButtonCable)->SetChecked(true);
    dialog->txtCountryCode->SetText(c.country);
    dialog->txtChannel->SetText(c.channel);
    dialog->txtFrequency->SetText(c.frequency);
    dialog->chkEnableFrequencyOverride->SetChecked(c.overrides);
    dialog->SaveToSettings();
    EXPECT_EQ(vc->GetTVInputType(), c.antenna ? 1 : 0);
    EXPECT_EQ(vc->GetTVCountryCode(), c.wantCountry);
    EXPECT_EQ(vc->GetTVChannel(), c.wantChannel);
    EXPECT_EQ(vc->TVUseFrequencyOverrides(), c.overrides);
    rtl::TRegistry reg;
    reg.SetRootKey(rtl::HKEY_LOCAL_MACHINE);
    const std::string key = "\\Software\\Microsoft\\TV System Services\\TVAutoTune\\TS9999" +
                            std::string(4 - std::string(c.country[0] ? c.country : "1").size(), '0') +
                            (c.country[0] ? c.country : "1") + "-" + (c.antenna ? "0" : "1");
    const bool opened = reg.OpenKeyReadOnly(key);
    const std::string name = rtl::IntToStr(c.wantChannel);
    EXPECT_EQ(opened && reg.ValueExists(name) ? reg.ReadInteger(name) : -1, c.wantOverride) << key;
    delete dialog;
    dialog = nullptr;
  }
}

// The camera button opens its dialog over this one, a new one per click,
// freed with this dialog.
TEST_F(DeviceSettingDialogTest, CameraButtonOpensTheCameraDialogOwnedByThisOne) {
  form->Show();
  Open(mmOD);
  dialog->Show();
  int shown = 0;
  Application->OnIdle = [&](TObject*, bool& done) {
    done = false;
    for (int i = 0; i < Screen->FormCount(); ++i)
      if (auto* f = dynamic_cast<TfrmCameraControl*>(Screen->Forms(i)); f && f->Visible()) {
        ++shown;
        win::InjectKeyPress(win::VK_ESCAPE);
        return;
      }
  };
  dialog->btnCameraSettingClick(dialog->btnCameraSetting);
  dialog->btnCameraSettingClick(dialog->btnCameraSetting);
  Application->OnIdle = nullptr;
  EXPECT_GE(shown, 2);
  int owned = 0;
  for (int i = 0; i < dialog->ComponentCount(); ++i)
    if (dynamic_cast<TfrmCameraControl*>(dialog->Components(i))) ++owned;
  EXPECT_EQ(owned, 2);
}

}  // namespace
