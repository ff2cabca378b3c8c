#include "app/FormDeviceSetting.h"

#include <cmath>
#include <memory>

#include "app/FormCameraControl.h"
#include "app/FormVideoQuality.h"
#include "app/ResStr.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/Format.h"

namespace app {

using namespace forms;

namespace {

constexpr int kPageWidth = TfrmDeviceSetting::kClientWidth - 12;
constexpr int kPageHeight = TfrmDeviceSetting::kClientHeight - 52;

void EnableGroup(TGroupBox* group, bool enabled) {
  for (int i = 0; i < group->ControlCount(); ++i) group->Controls(i)->SetEnabled(enabled);
}

// A list from the capture control, one entry a line, with its selection.
void FillCombo(TComboBox* combo, const String& lines, int32_t selected) {
  combo->Items()->Clear();
  combo->Items()->SetText(lines);
  combo->SetItemIndex(selected);
}

void FillNone(TComboBox* combo, const String& none) {
  combo->Items()->Clear();
  combo->Items()->Add(none);
  combo->SetItemIndex(0);
}

String SelectedText(TComboBox* combo) {
  const int i = combo->ItemIndex();
  return i >= 0 && i < combo->Items()->Count() ? combo->Items()->Strings(i) : String();
}

// The number-only rule for the frame rate: a text that is not a number in
// the user's notation loses its last character, which is a change again,
// until it is a number or empty.
void FilterFloatEdit(TCustomEdit* edit) {
  FilterEdit(edit, [](const String& text) {
    double value = 0;
    return rtl::TryStrToFloat(text, value);
  });
}

}  // namespace

TfrmDeviceSetting::TfrmDeviceSetting(TComponent* owner, capture::TVidCap* vidCap, TGlobalVars& g)
    : TForm(owner), vidCap_(vidCap), g_(g) {
  SetName("frmDeviceSetting");
  SetBorderStyle(bsDialog);
  SetPosition(poOwnerFormCenter);
  SetClientWidth(kClientWidth);
  SetClientHeight(kClientHeight);

  TDialogBuilder b(this);
  pageDeviceSetting =
      b.Place(new TPageControl(this), this, "pageDeviceSetting", 6, 6, kPageWidth, kPageHeight);
  tabVideoDeviceSetting = b.Page(pageDeviceSetting, "tabVideoDeviceSetting", "General");
  tabTVTuner = b.Page(pageDeviceSetting, "tabTVTuner", "TV Tuner");
  pnlButton = b.Place(new TPanel(this), this, "pnlButton", 0, kClientHeight - 40, kClientWidth, 40);
  pnlButton->SetBevelOuter(bvNone);
  pnlButton->SetCaption("");
  btnOK = b.Button(pnlButton, "btnOK", "OK", kClientWidth - 2 * 94, 8);
  btnOK->SetDefault(true);
  btnOK->SetModalResult(mrOk);
  btnCancel = b.Button(pnlButton, "btnCancel", "Cancel", kClientWidth - 94, 8);
  btnCancel->SetCancel(true);
  btnCancel->SetModalResult(mrCancel);

  if (vidCap_) vidCap_->FreeNotification(this);
  BuildGeneralPage();
  BuildTunerPage();
  pageDeviceSetting->SetActivePageIndex(0);
  FormCreate(this);
}

TfrmDeviceSetting::~TfrmDeviceSetting() {
  DetachTunerHandlers();
  if (vidCap_) vidCap_->RemoveFreeNotification(this);
}

void TfrmDeviceSetting::Notification(TComponent* component, TOperation operation) {
  TForm::Notification(component, operation);
  if (operation == opRemove && component == vidCap_) vidCap_ = nullptr;
}

void TfrmDeviceSetting::BuildGeneralPage() {
  TDialogBuilder b(this);
  TTabSheet* p = tabVideoDeviceSetting;
  grpVideoDeviceSetting = b.Group(p, "grpVideoDeviceSetting", "", 8, 4, 264, 52);
  lblVideoDevice = b.Label(grpVideoDeviceSetting, "lblVideoDevice", "", 10, 24);
  cmbVideoDevice = b.Combo(grpVideoDeviceSetting, "cmbVideoDevice", 96, 20, 158);
  cmbVideoDevice->OnChange = [this](TObject* s) { cmbVideoDeviceChange(s); };

  GroupBoxVideoInput = b.Group(p, "GroupBoxVideoInput", "", 8, 60, 264, 132);
  lblVideoInput = b.Label(GroupBoxVideoInput, "lblVideoInput", "", 10, 24);
  cmbVideoInput = b.Combo(GroupBoxVideoInput, "cmbVideoInput", 124, 20, 130);
  lblVideoSubType = b.Label(GroupBoxVideoInput, "lblVideoSubType", "", 10, 52);
  cmbVideoSubType = b.Combo(GroupBoxVideoInput, "cmbVideoSubType", 124, 48, 130);
  lblVideoInputSize = b.Label(GroupBoxVideoInput, "lblVideoInputSize", "", 10, 80);
  cmbVideoInputSize = b.Combo(GroupBoxVideoInput, "cmbVideoInputSize", 124, 76, 130);
  lblAnalogVideoStandard = b.Label(GroupBoxVideoInput, "lblAnalogVideoStandard", "", 10, 108);
  cmbAnalogVideoStandard = b.Combo(GroupBoxVideoInput, "cmbAnalogVideoStandard", 124, 104, 130);

  GroupBoxVideoFrameRate = b.Group(p, "GroupBoxVideoFrameRate", "", 8, 196, 264, 52);
  lblFrameRate = b.Label(GroupBoxVideoFrameRate, "lblFrameRate", "", 10, 24);
  txtFrameRate = b.Edit(GroupBoxVideoFrameRate, "txtFrameRate", "", 124, 20, 80);
  txtFrameRate->OnChange = [this](TObject* s) { txtFrameRateChange(s); };

  grpAudioDeviceSetting = b.Group(p, "grpAudioDeviceSetting", "", 278, 4, 256, 80);
  lblAudioDevice = b.Label(grpAudioDeviceSetting, "lblAudioDevice", "", 10, 24);
  cmbAudioDevice = b.Combo(grpAudioDeviceSetting, "cmbAudioDevice", 96, 20, 150);
  cmbAudioDevice->OnChange = [this](TObject* s) { cmbAudioDeviceChange(s); };
  lblAudioInput = b.Label(grpAudioDeviceSetting, "lblAudioInput", "", 10, 52);
  cmbAudioInput = b.Combo(grpAudioDeviceSetting, "cmbAudioInput", 96, 48, 150);

  auto bar = [&](TGroupBox* group, const char* name, int min, int max) {
    auto* t = b.Place(new TTrackBar(this), group, name, 8, 18, 190, 36);
    t->SetRange(min, max);
    t->SetFrequency(900);
    t->SetTickMarks(tmBoth);
    return t;
  };
  GroupBoxAudiolnputLevel = b.Group(p, "GroupBoxAudiolnputLevel", "", 278, 88, 256, 62);
  trkAudioInputLevel = bar(GroupBoxAudiolnputLevel, "trkAudioInputLevel", 0, 65535);
  txtAudioInputLevel = b.Label(GroupBoxAudiolnputLevel, "txtAudioInputLevel", "0%", 206, 28);
  trkAudioInputLevel->OnChange = [this](TObject* s) { trkAudioInputLevelChange(s); };
  GroupBoxAudioInputBalance = b.Group(p, "GroupBoxAudioInputBalance", "", 278, 154, 256, 62);
  trkAudioInputBalance = bar(GroupBoxAudioInputBalance, "trkAudioInputBalance", -32768, 32767);
  txtAudioInputBalance = b.Label(GroupBoxAudioInputBalance, "txtAudioInputBalance", "0%", 206, 28);
  trkAudioInputBalance->OnChange = [this](TObject* s) { trkAudioInputBalanceChange(s); };

  GroupBoxOtherSetting = b.Group(p, "GroupBoxOtherSetting", "", 8, 256, 526, 58);
  btnDeviceSetting = b.Button(GroupBoxOtherSetting, "btnDeviceSetting", "", 10, 22, 120);
  btnDeviceSetting->OnClick = [this](TObject* s) { btnDeviceSettingClick(s); };
  btnStreamSetting = b.Button(GroupBoxOtherSetting, "btnStreamSetting", "", 138, 22, 120);
  btnStreamSetting->OnClick = [this](TObject* s) { btnStreamSettingClick(s); };
  btnCameraSetting = b.Button(GroupBoxOtherSetting, "btnCameraSetting", "", 266, 22, 120);
  btnCameraSetting->OnClick = [this](TObject* s) { btnCameraSettingClick(s); };
  btnVideoSetting = b.Button(GroupBoxOtherSetting, "btnVideoSetting", "", 394, 22, 120);
  btnVideoSetting->OnClick = [this](TObject* s) { btnVideoSettingClick(s); };
}

void TfrmDeviceSetting::BuildTunerPage() {
  TDialogBuilder b(this);
  TTabSheet* p = tabTVTuner;
  rdgInputType = b.Group(p, "rdgInputType", "", 8, 4, 256, 52);
  RadioButtonCable = b.Radio(rdgInputType, "RadioButtonCable", "", 10, 24, 110);
  RadioButtonAntenna = b.Radio(rdgInputType, "RadioButtonAntenna", "", 130, 24, 110);

  GroupBoxCountryCode = b.Group(p, "GroupBoxCountryCode", "", 8, 60, 256, 52);
  txtCountryCode = b.Edit(GroupBoxCountryCode, "txtCountryCode", "", 10, 20, 100);
  txtCountryCode->OnChange = [this](TObject* s) { txtCountryCodeChange(s); };

  grpFrequencyOverrides = b.Group(p, "grpFrequencyOverrides", "", 8, 116, 256, 150);
  lblChannel = b.Label(grpFrequencyOverrides, "lblChannel", "", 10, 26);
  txtChannel = b.Edit(grpFrequencyOverrides, "txtChannel", "", 96, 22, 150);
  txtChannel->OnChange = [this](TObject* s) { txtChannelChange(s); };
  lblFrequency = b.Label(grpFrequencyOverrides, "lblFrequency", "", 10, 54);
  txtFrequency = b.Edit(grpFrequencyOverrides, "txtFrequency", "", 96, 50, 150);
  txtFrequency->OnChange = [this](TObject* s) { txtFrequencyChange(s); };
  chkEnableFrequencyOverride = b.Check(grpFrequencyOverrides, "chkEnableFrequencyOverride", "", 10, 82, 236);
  btnApplyOverride = b.Button(grpFrequencyOverrides, "btnApplyOverride", "", 10, 110, 88);
  btnApplyOverride->OnClick = [this](TObject* s) { btnApplyOverrideClick(s); };
  btnClearOverride = b.Button(grpFrequencyOverrides, "btnClearOverride", "", 106, 110, 88);
  btnClearOverride->OnClick = [this](TObject* s) { btnClearOverrideClick(s); };

  lstChannels = b.Place(new TListBox(this), p, "lstChannels", 272, 10, 262, 256);
  btnScan = b.Button(p, "btnScan", "", 272, 274, 110);
  btnScan->OnClick = [this](TObject* s) { btnScanClick(s); };
  lblChannelInfo = b.Label(p, "lblChannelInfo", "", 8, kPageHeight - 50);
}

void TfrmDeviceSetting::FormCreate(TObject*) {
  tabTVTuner->SetTabVisible(g_.Mode == mmTV);
  ApplyLanguageTexts();
  vidCap_->OnTVChannelScanStarted = [this](TObject* s, int32_t lo, int32_t hi) { TVScanStarted(s, lo, hi); };
  vidCap_->OnTVChannelSelected = [this](TObject* s, const capture::TTVChannelInfo& i) { TVChannelSelected(s, i); };
  vidCap_->OnTVChannelScanCompleted = [this](TObject* s) { TVScanCompleted(s); };
  lblChannelInfo->SetCaption("");
}

void TfrmDeviceSetting::DetachTunerHandlers() {
  if (!vidCap_) return;
  vidCap_->OnTVChannelScanStarted = nullptr;
  vidCap_->OnTVChannelSelected = nullptr;
  vidCap_->OnTVChannelScanCompleted = nullptr;
}

void TfrmDeviceSetting::ApplyLanguageTexts() {
  SetCaption(IDS_DEVICESETTING_TITLE);
  tabVideoDeviceSetting->SetCaption(IDS_DEVICESETTING_GENERAL_CAPTION);
  tabTVTuner->SetCaption(IDS_DEVICESETTING_TVTUNER_CAPTION);
  btnOK->SetCaption(IDS_DEVICESETTING_BUTTON_OK);
  btnCancel->SetCaption(IDS_DEVICESETTING_BUTTON_CANCEL);
  lblVideoDevice->SetCaption(IDS_DEVICESETTING_GENERAL_LABEL_VIDEODEVICE);
  lblFrameRate->SetCaption(IDS_DEVICESETTING_GENERAL_LABEL_FRAMERATE);
  lblVideoInput->SetCaption(IDS_DEVICESETTING_GENERAL_LABEL_VIDEOINPUT);
  lblAnalogVideoStandard->SetCaption(IDS_DEVICESETTING_GENERAL_LABEL_ANOLOGVIDEOSTANDARD);
  lblVideoInputSize->SetCaption(IDS_DEVICESETTING_GENERAL_LABEL_VIDEOINPUTSIZE);
  lblAudioDevice->SetCaption(IDS_DEVICESETTING_GENERAL_LABEL_AUDIODEVICE);
  lblAudioInput->SetCaption(IDS_DEVICESETTING_GENERAL_LABEL_AUDIOINPUT);
  GroupBoxAudiolnputLevel->SetCaption(IDS_DEVICESETTING_GENERAL_LABEL_AUDIOINPUTLEVEL);
  GroupBoxAudioInputBalance->SetCaption(IDS_DEVICESETTING_GENERAL_LABEL_AUDIOINPUTBALANCE);
  lblVideoSubType->SetCaption(IDS_DEVICESETTING_GENERAL_LABEL_VIDEOSUBTYPE);
  btnDeviceSetting->SetCaption(IDS_DEVICESETTING_GENERAL_BUTTON_DEVICEPROPERTY);
  btnCameraSetting->SetCaption(IDS_DEVICESETTING_GENERAL_BUTTON_CAMERAPROPERTY);
  btnVideoSetting->SetCaption(IDS_DEVICESETTING_GENERAL_BUTTON_VIDEOSETTING);
  btnStreamSetting->SetCaption(IDS_DEVICESETTING_GENERAL_BUTTON_STREAMSETTING);
  grpVideoDeviceSetting->SetCaption(IDS_DEVICESETTING_GENERAL_GROUP_VIDEODEVICESETTING);
  grpAudioDeviceSetting->SetCaption(IDS_DEVICESETTING_GENERAL_GROUP_AUDIODEVICESETTING);
  GroupBoxCountryCode->SetCaption(IDS_DEVICESETTING_TVTUNER_LABEL_COUNTRYCODE);
  lblChannel->SetCaption(IDS_DEVICESETTING_TVTUNER_LABEL_CHANNEL);
  lblFrequency->SetCaption(IDS_DEVICESETTING_TVTUNER_LABEL_FREQUENCY);
  btnScan->SetCaption(Scanning_ ? IDS_DEVICESETTING_TVTUNER_BUTTON_STOPSCAN : IDS_DEVICESETTING_TVTUNER_BUTTON_STARTSCAN);
  btnApplyOverride->SetCaption(IDS_DEVICESETTING_TVTUNER_BUTTON_APPLY);
  btnClearOverride->SetCaption(IDS_DEVICESETTING_TVTUNER_BUTTON_CLEAR);
  grpFrequencyOverrides->SetCaption(IDS_DEVICESETTING_TVTUNER_GROUP_FREQUENCYOVERRIDE);
  chkEnableFrequencyOverride->SetCaption(IDS_DEVICESETTING_TVTUNER_CHECK_FREQUENCYOVERRIDE);
  rdgInputType->SetCaption(IDS_DEVICESETTING_TVTUNER_GROUP_TVINPUTTYPE);
  RadioButtonCable->SetCaption(IDS_DEVICESETTING_TVTUNER_GROUP_TVINPUTTYPE_0);
  RadioButtonAntenna->SetCaption(IDS_DEVICESETTING_TVTUNER_GROUP_TVINPUTTYPE_1);
  GroupBoxVideoInput->SetCaption(IDS_DEVICE_SETTINGS_VIDEO_INPUT_SETTINGS);
  GroupBoxVideoFrameRate->SetCaption(IDS_DEVICE_SETTINGS_VIDEO_FRAME_RATE);
  GroupBoxOtherSetting->SetCaption(IDS_DEVICE_SETTINGS_OTHER_SETTINGS);
  lblChannelInfo->SetCaption("");
}

bool TfrmDeviceSetting::ModeLists(String*& videoNames, String*& audioNames, int32_t*& videoIndex,
                                  int32_t*& audioIndex) {
  switch (g_.Mode) {
    case mmDV:
      videoNames = &g_.DVVideoDeviceNames, audioNames = &g_.DVAudioDeviceNames;
      videoIndex = &g_.DVVideoDevice, audioIndex = &g_.DVAudioDevice;
      return true;
    case mmTV:
      videoNames = &g_.TVVideoDeviceNames, audioNames = &g_.TVAudioDeviceNames;
      videoIndex = &g_.TVVideoDevice, audioIndex = &g_.TVAudioDevice;
      return true;
    case mmOD:
      videoNames = &g_.ODVideoDeviceNames, audioNames = &g_.ODAudioDeviceNames;
      videoIndex = &g_.ODVideoDevice, audioIndex = &g_.ODAudioDevice;
      return true;
    default: return false;
  }
}

// Each answer is about the device the capture control holds now.
void TfrmDeviceSetting::ApplyAvailabilityRule() {
  btnStreamSetting->SetEnabled(!vidCap_->IsDVDevice());
  btnCameraSetting->SetEnabled(vidCap_->IsCameraControlAvailable());
  btnVideoSetting->SetEnabled(vidCap_->IsVideoQualityAvailable());
  cmbAnalogVideoStandard->SetEnabled(vidCap_->IsAnalogVideoDecoderAvailable());
  cmbVideoInput->SetEnabled(vidCap_->IsVideoCrossbarAvailable());
}

void TfrmDeviceSetting::FillVideoLists() {
  FillCombo(cmbAnalogVideoStandard, vidCap_->GetAnalogVideoStandards(), vidCap_->GetAnalogVideoStandard());
  FillCombo(cmbVideoInputSize, vidCap_->GetVideoSizes(), vidCap_->GetVideoSize());
  FillCombo(cmbVideoSubType, vidCap_->GetVideoSubtypes(), vidCap_->GetVideoSubtype());
  FillCombo(cmbVideoInput, vidCap_->GetVideoInputs(), vidCap_->GetVideoInput());
}

void TfrmDeviceSetting::FillAudioControls() {
  FillCombo(cmbAudioInput, vidCap_->GetAudioInputs(), vidCap_->GetAudioInput());
  trkAudioInputLevel->SetPosition(vidCap_->GetAudioInputLevel());
  trkAudioInputBalance->SetPosition(vidCap_->GetAudioInputBalance());
  trkAudioInputLevelChange(trkAudioInputLevel);
  trkAudioInputBalanceChange(trkAudioInputBalance);
}

void TfrmDeviceSetting::LoadFromSettings() {
  for (TComboBox* c :
       {cmbVideoDevice, cmbVideoInput, cmbAnalogVideoStandard, cmbVideoInputSize, cmbAudioDevice, cmbAudioInput})
    c->Items()->Clear();
  txtFrameRate->SetText("");

  String *videoNames = nullptr, *audioNames = nullptr;
  int32_t *videoIndex = nullptr, *audioIndex = nullptr;
  if (!ModeLists(videoNames, audioNames, videoIndex, audioIndex)) return;
  const bool dv = g_.Mode == mmDV;

  if (!videoNames->empty()) {
    EnableGroup(grpVideoDeviceSetting, true);
    cmbVideoDevice->Items()->SetText(*videoNames);
    cmbVideoDevice->SetItemIndex(*videoIndex);
    vidCap_->SetVideoDevice(vidCap_->FindVideoDevice(SelectedText(cmbVideoDevice)));
    // The device's abilities and frame rate are asked once the mode's
    // device is the one the control holds.
    if (!dv) {
      ApplyAvailabilityRule();
      txtFrameRate->SetText(rtl::FormatFloat("0.00", vidCap_->GetFrameRate()));
    }
    FillCombo(cmbVideoInput, vidCap_->GetVideoInputs(), vidCap_->GetVideoInput());
    FillCombo(cmbVideoInputSize, vidCap_->GetVideoSizes(), vidCap_->GetVideoSize());
    FillCombo(cmbVideoSubType, vidCap_->GetVideoSubtypes(), vidCap_->GetVideoSubtype());
    FillCombo(cmbAnalogVideoStandard, vidCap_->GetAnalogVideoStandards(), vidCap_->GetAnalogVideoStandard());
  } else {
    EnableGroup(grpVideoDeviceSetting, false);
    FillNone(cmbVideoDevice, IDS_DEVICESETTING_GENERAL_COMBO_VIDEODEVICE_NONE);
    FillNone(cmbVideoInput, IDS_DEVICESETTING_GENERAL_COMBO_VIDEOINPUT_NONE);
    FillNone(cmbAnalogVideoStandard, IDS_DEVICESETTING_GENERAL_COMBO_ANALOGVIDEOSTANDARD_NONE);
    FillNone(cmbVideoInputSize, IDS_DEVICESETTING_GENERAL_COMBO_VIDEOINPUTSIZE_NONE);
    FillNone(cmbVideoSubType, IDS_DEVICESETTING_GENERAL_COMBO_VIDEOSUBTYPE_NONE);
  }

  if (!audioNames->empty()) {
    EnableGroup(grpAudioDeviceSetting, true);
    cmbAudioDevice->Items()->SetText(*audioNames);
    cmbAudioDevice->SetItemIndex(*audioIndex);
    vidCap_->SetAudioDevice(vidCap_->FindAudioDevice(SelectedText(cmbAudioDevice)));
    FillAudioControls();
  } else {
    EnableGroup(grpAudioDeviceSetting, false);
    FillNone(cmbAudioDevice, IDS_DEVICESETTING_GENERAL_COMBO_AUDIODEVICE_NONE);
    FillNone(cmbAudioInput, IDS_DEVICESETTING_GENERAL_COMBO_AUDIOINPUT_NONE);
  }

  if (g_.Mode == mmTV) {
    const int32_t inputType = vidCap_->GetTVInputType();
    if (inputType == 0) RadioButtonCable->SetChecked(true);
    if (inputType == 1) RadioButtonAntenna->SetChecked(true);
    txtCountryCode->SetText(rtl::IntToStr(vidCap_->GetTVCountryCode()));
    txtChannel->SetText(rtl::IntToStr(vidCap_->GetTVChannel()));
    txtFrequency->SetText("0");
    chkEnableFrequencyOverride->SetChecked(vidCap_->TVUseFrequencyOverrides());
  }
}

void TfrmDeviceSetting::SaveToSettings() {
  DetachTunerHandlers();
  SavePage(0);
  if (g_.Mode == mmTV) SavePage(1);
}

void TfrmDeviceSetting::SavePage(int PageIndex) {
  String *videoNames = nullptr, *audioNames = nullptr;
  int32_t *videoIndex = nullptr, *audioIndex = nullptr;
  if (!ModeLists(videoNames, audioNames, videoIndex, audioIndex)) return;
  if (PageIndex == 0) {
    const bool hasVideo = cmbVideoDevice->Enabled();
    const bool hasAudio = cmbAudioDevice->Enabled();
    if (hasVideo) {
      *videoIndex = cmbVideoDevice->ItemIndex();
      vidCap_->SetVideoDevice(vidCap_->FindVideoDevice(SelectedText(cmbVideoDevice)));
    }
    if (hasAudio) {
      *audioIndex = cmbAudioDevice->ItemIndex();
      vidCap_->SetAudioDevice(vidCap_->FindAudioDevice(SelectedText(cmbAudioDevice)));
    }
    // A list only counts when it belongs to a device and shows a choice:
    // the "None" entry or an empty list (a camcorder has no inputs to
    // route) would pass an index the control refuses.
    auto chosen = [](TComboBox* c, bool device) { return device && c->Enabled() && c->ItemIndex() >= 0; };
    if (chosen(cmbVideoInput, hasVideo)) vidCap_->SetVideoInput(cmbVideoInput->ItemIndex());
    if (chosen(cmbVideoSubType, hasVideo)) vidCap_->SetVideoSubtype(cmbVideoSubType->ItemIndex());
    if (chosen(cmbVideoInputSize, hasVideo)) vidCap_->SetVideoSize(cmbVideoInputSize->ItemIndex());
    if (chosen(cmbAnalogVideoStandard, hasVideo)) vidCap_->SetAnalogVideoStandard(cmbAnalogVideoStandard->ItemIndex());
    if (chosen(cmbAudioInput, hasAudio)) vidCap_->SetAudioInput(cmbAudioInput->ItemIndex());
    double frameRate = 0;
    if (rtl::TryStrToFloat(txtFrameRate->Text(), frameRate)) vidCap_->SetFrameRate(frameRate);
    // Without an audio device the track bars were never loaded; their
    // zero would silence the next device.
    if (hasAudio) {
      vidCap_->SetAudioInputLevel(trkAudioInputLevel->Position());
      vidCap_->SetAudioInputBalance(trkAudioInputBalance->Position());
    }
  } else if (PageIndex == 1) {
    if (RadioButtonCable->Checked()) vidCap_->SetTVInputType(0);
    if (RadioButtonAntenna->Checked()) vidCap_->SetTVInputType(1);
    const int32_t country = EditInt(txtCountryCode, -1);
    if (country >= 0) vidCap_->SetTVCountryCode(country);
    const int32_t channel = EditInt(txtChannel, -1);
    if (channel != -1) vidCap_->SetTVChannel(channel);
    // The field opens at 0 until a channel is tuned; an override of 0 Hz
    // would leave the channel without a picture, so only a frequency is
    // written.
    const int32_t frequency = EditInt(txtFrequency, -1);
    if (channel != -1 && frequency > 0) vidCap_->SetTVFrequencyOverride(channel, frequency);
    vidCap_->SetTVUseFrequencyOverrides(chkEnableFrequencyOverride->Checked());
  }
}

String TfrmDeviceSetting::TrackBarPercent(const TTrackBar* bar) {
  const double range = static_cast<double>(bar->Max()) - bar->Min();
  const double percent = range == 0 ? 0 : std::nearbyint(bar->Position() / range * 100);
  return rtl::IntToStr(static_cast<int32_t>(percent)) + "%";
}

String TfrmDeviceSetting::ChannelLine(const capture::TTVChannelInfo& Info) {
  const String channel = rtl::IntToStr(Info.Channel);
  const bool overridden = Info.OverrideFrequency != -1;
  if (Info.Locked)
    return channel + ": " + rtl::FormatFloat("0.00", Info.VideoFrequency / 1000000.0) + " Mhz (" +
           rtl::IntToStr(Info.VideoFrequency) + " Hz" + (overridden ? ", overridden" : "") + ")";
  return channel + (overridden ? "... overridden and not locked" : "...");
}

void TfrmDeviceSetting::TVScanStarted(TObject*, int32_t MinChannel, int32_t MaxChannel) {
  lblChannelInfo->SetCaption(FormatLanguageText(IDS_DEVICESETTING_TVTUNER_LABEL_CHANNELINFO, {MinChannel, MaxChannel}));
}

void TfrmDeviceSetting::TVChannelSelected(TObject*, const capture::TTVChannelInfo& Info) {
  lstChannels->Items()->Add(ChannelLine(Info));
  txtChannel->SetText(rtl::IntToStr(Info.Channel));
  txtFrequency->SetText(
      rtl::IntToStr(Info.OverrideFrequency != -1 ? Info.OverrideFrequency : Info.VideoFrequency));
}

void TfrmDeviceSetting::TVScanCompleted(TObject*) {
  lblChannelInfo->SetCaption(MSG_DEVICESETTING_TVTUNER_SCANCOMPELETED);
}

void TfrmDeviceSetting::cmbVideoDeviceChange(TObject*) {
  vidCap_->SetVideoDevice(vidCap_->FindVideoDevice(SelectedText(cmbVideoDevice)));
  // The device settles before its lists are asked for.
  rtl::Sleep(20);
  FillVideoLists();
}

void TfrmDeviceSetting::cmbAudioDeviceChange(TObject*) {
  vidCap_->SetAudioDevice(vidCap_->FindAudioDevice(SelectedText(cmbAudioDevice)));
  rtl::Sleep(20);
  FillAudioControls();
}

void TfrmDeviceSetting::txtFrameRateChange(TObject*) { FilterFloatEdit(txtFrameRate); }

void TfrmDeviceSetting::trkAudioInputLevelChange(TObject*) {
  txtAudioInputLevel->SetCaption(TrackBarPercent(trkAudioInputLevel));
}

void TfrmDeviceSetting::trkAudioInputBalanceChange(TObject*) {
  txtAudioInputBalance->SetCaption(TrackBarPercent(trkAudioInputBalance));
}

void TfrmDeviceSetting::btnDeviceSettingClick(TObject*) { vidCap_->ShowDialog(0); }

void TfrmDeviceSetting::btnStreamSettingClick(TObject*) { vidCap_->ShowDialog(3); }

// A new dialog per click, owned by this one and freed with it.
void TfrmDeviceSetting::btnCameraSettingClick(TObject*) {
  auto* dialog = new TfrmCameraControl(this, vidCap_);
  dialog->ShowModal();
}

void TfrmDeviceSetting::btnVideoSettingClick(TObject*) {
  auto* dialog = new TfrmVideoQuality(this, vidCap_);
  dialog->ShowModal();
}

void TfrmDeviceSetting::txtCountryCodeChange(TObject*) { FilterIntegerEdit(txtCountryCode); }

void TfrmDeviceSetting::txtChannelChange(TObject*) { FilterIntegerEdit(txtChannel); }

void TfrmDeviceSetting::txtFrequencyChange(TObject*) { FilterIntegerEdit(txtFrequency); }

void TfrmDeviceSetting::btnApplyOverrideClick(TObject*) {
  const int32_t channel = EditInt(txtChannel, -1);
  const int32_t frequency = EditInt(txtFrequency, -1);
  if (channel != -1 && frequency != -1) vidCap_->SetTVFrequencyOverride(channel, frequency);
}

void TfrmDeviceSetting::btnClearOverrideClick(TObject*) { vidCap_->ClearTVFrequencyOverrides(); }

void TfrmDeviceSetting::btnScanClick(TObject*) {
  if (Scanning_) {
    Scanning_ = false;
    btnScan->SetCaption(IDS_DEVICESETTING_TVTUNER_BUTTON_STARTSCAN);
    vidCap_->StopTVChannelScan();
  } else {
    vidCap_->StartTVChannelScan();
    Scanning_ = true;
    btnScan->SetCaption(IDS_DEVICESETTING_TVTUNER_BUTTON_STOPSCAN);
  }
}

}  // namespace app
