#include "app/FormCaptureSetting.h"

#include "app/ResStr.h"
#include "platform/rtl/Text.h"

namespace app {

using namespace forms;
using controls::TVxSlider;

namespace {

constexpr int32_t kVolumeReset = 32768, kBalanceReset = 0;

}  // namespace

TfrmCaptureSetting::TfrmCaptureSetting(TComponent* owner, capture::TVidCap* vidCap, TGlobalVars& g)
    : TForm(owner), vidCap_(vidCap), g_(g) {
  SetName("frmCaptureSetting");
  SetBorderStyle(bsDialog);
  SetPosition(poDesigned);
  SetLeft(220);
  SetTop(120);
  SetClientWidth(kClientWidth);
  SetClientHeight(kClientHeight);

  TDialogBuilder b(this);
  pnlButton = b.Place(new TPanel(this), this, "pnlButton", 0, kClientHeight - 38, kClientWidth, 38);
  pnlButton->SetBevelOuter(bvNone);
  pnlButton->SetCaption("");
  btnOK = b.Button(pnlButton, "btnOK", "OK", kClientWidth - 2 * 94, 6);
  btnOK->SetDefault(true);
  btnOK->SetModalResult(mrOk);
  btnCancel = b.Button(pnlButton, "btnCancel", "Cancel", kClientWidth - 94, 6);
  btnCancel->SetCancel(true);
  btnCancel->SetModalResult(mrCancel);

  pageGeneral = b.Place(new TPageControl(this), this, "pageGeneral", 6, 6, kClientWidth - 12, kClientHeight - 46);
  tabGeneral = b.Page(pageGeneral, "tabGeneral", "General");
  dlgFolderBrowse = new controls::TShBrowseForFolder(this);
  dlgFolderBrowse->SetName("dlgFolderBrowse");

  const int w = kClientWidth - 36;
  grpVolume = b.Group(tabGeneral, "grpVolume", "Volume", 8, 4, w, 54);
  trkVolume = b.Slider(grpVolume, "trkVolume", 10, 16, w - 140, 32, false);
  trkVolume->SetMaxValue(65535);
  trkVolume->SetIncrement(400);
  trkVolume->SetOptions(controls::TSliderOptions{controls::soShowPoints});
  trkVolume->OnChange = [this](TObject* s) { trkVolumeChange(s); };
  lblVolume = b.Label(grpVolume, "lblVolume", "0%", w - 124, 24);
  btnVolumeReset = b.Button(grpVolume, "btnVolumeReset", "Reset", w - 80, 18, 70);
  btnVolumeReset->OnClick = [this](TObject* s) { btnVolumeResetClick(s); };

  grpBalance = b.Group(tabGeneral, "grpBalance", "Balance", 8, 62, w, 54);
  trkBalance = b.Slider(grpBalance, "trkBalance", 10, 16, w - 140, 32, false);
  trkBalance->SetMinValue(-32768);
  trkBalance->SetMaxValue(32767);
  trkBalance->SetIncrement(800);
  trkBalance->SetOptions(controls::TSliderOptions{controls::soShowPoints});
  trkBalance->OnChange = [this](TObject* s) { trkBalanceChange(s); };
  lblBalance = b.Label(grpBalance, "lblBalance", "0%", w - 124, 24);
  btnBalanceReset = b.Button(grpBalance, "btnBalanceReset", "Reset", w - 80, 18, 70);
  btnBalanceReset->OnClick = [this](TObject* s) { btnBalanceResetClick(s); };

  grpStoragePath = b.Group(tabGeneral, "grpStoragePath", "Capture Storage Path", 8, 120, w, 50);
  txtStoragePath = b.Edit(grpStoragePath, "txtStoragePath", "", 10, 22, w - 110);
  txtStoragePath->SetReadOnly(true);
  txtStoragePath->SetBorderStyle(bsNone);
  btnBrowse = b.Button(grpStoragePath, "btnBrowse", "Browse...", w - 92, 16, 82);
  btnBrowse->OnClick = [this](TObject* s) { btnBrowseClick(s); };

  const int half = (w - 6) / 2;
  GroupBoxAutoShot = b.Group(tabGeneral, "GroupBoxAutoShot", "Auto Shot", 8, 174, half, 46);
  chkEnableAutoShot = b.Check(GroupBoxAutoShot, "chkEnableAutoShot", "Enable Auto Shot Frame", 10, 20, half - 20);
  GroupBoxOverlay = b.Group(tabGeneral, "GroupBoxOverlay", "Overlay", 14 + half, 174, half, 46);
  chkEnableOverlay = b.Check(GroupBoxOverlay, "chkEnableOverlay", "Enable Overlay", 10, 20, half - 20);
  GroupBoxAudioSettings = b.Group(tabGeneral, "GroupBoxAudioSettings", "Audio Settings", 8, 224, w, 46);
  chkEnableAudioRecording =
      b.Check(GroupBoxAudioSettings, "chkEnableAudioRecording", "Enable Audio Recording", 10, 20, half - 20);
  chkEnableAudioRendering =
      b.Check(GroupBoxAudioSettings, "chkEnableAudioRendering", "Enable Audio Rendering", 10 + half, 20, half - 20);
  GroupBoxNativeFormat = b.Group(tabGeneral, "GroupBoxNativeFormat", "Native Format", 8, 274, w, 46);
  chkNativeFormat = b.Check(GroupBoxNativeFormat, "chkNativeFormat", "Record in native format", 10, 20, w - 20);

  FormCreate(this);
}

void TfrmCaptureSetting::FormCreate(TObject*) {
  GroupBoxNativeFormat->SetVisible(g_.Mode == mmDV);
  ApplyLanguageTexts();
}

void TfrmCaptureSetting::ApplyLanguageTexts() {
  SetCaption(IDS_CAPTURESETTING_TITLE);
  chkEnableAutoShot->SetCaption(IDS_CAPTURESETTING_CHECK_ENABLEAUTOSHOTFRAME);
  chkEnableOverlay->SetCaption(IDS_CAPTURESETTING_CHECK_ENABLEOVERLAY);
  chkEnableAudioRecording->SetCaption(IDS_CAPTURESETTING_CHECK_ENABLEAUDIORECORDING);
  chkEnableAudioRendering->SetCaption(IDS_CAPTURESETTING_CHECK_ENABLEAUDIORENDERING);
  chkNativeFormat->SetCaption(IDS_CAPTURESETTING_CHECK_RECORDINNATIVE);
  btnOK->SetCaption(IDS_CAPTURESETTING_BUTTON_OK);
  btnCancel->SetCaption(IDS_CAPTURESETTING_BUTTON_CANCEL);
  btnBrowse->SetCaption(IDS_CAPTURESETTING_BUTTON_BROWSE);
  btnVolumeReset->SetCaption(IDS_CAPTURESETTING_BUTTON_VOLUMERESET);
  btnBalanceReset->SetCaption(IDS_CAPTURESETTING_BUTTON_BALANCERESET);
  tabGeneral->SetCaption(IDS_CAPTURESETTING_GENERAL);
  grpStoragePath->SetCaption(IDS_CAPTURESETTING_GROUP_STORAGEPATH);
  grpVolume->SetCaption(IDS_CAPTURESETTING_GROUP_VOLUME);
  // The labels follow the sliders as they stand.
  trkVolumeChange(trkVolume);
  trkBalanceChange(trkBalance);
  grpBalance->SetCaption(IDS_CAPTURESETTING_GROUP_BALANCE);
  GroupBoxAutoShot->SetCaption(IDS_SETTINGS_AUDIO_SHOT);
  GroupBoxOverlay->SetCaption(IDS_SETTINGS_OVERLAY);
  GroupBoxAudioSettings->SetCaption(IDS_SETTINGS_AUDIO_SETTINGS);
  GroupBoxNativeFormat->SetCaption(IDS_SETTINGS_NATIVE_FORMAT);
}

// Two values reach the control already here, whatever button closes the
// dialog: the overlay follows the record's switch and audio rendering is
// muted, as the settings file's load leaves them.
void TfrmCaptureSetting::LoadFromSettings() {
  chkEnableAutoShot->SetChecked(g_.EnableAutoShotFrame);
  chkEnableOverlay->SetChecked(g_.EnableOverlay);
  vidCap_->SetTextOverlay_Enabled(g_.EnableOverlay);
  chkEnableAudioRecording->SetChecked(vidCap_->AudioRecording());
  chkEnableAudioRendering->SetChecked(vidCap_->AudioDeviceRendering());
  vidCap_->SetMuteAudioRendering(true);
  chkNativeFormat->SetChecked(vidCap_->RecordingInNativeFormat());
  trkVolume->SetValue(vidCap_->GetAudioInputLevel());
  trkBalance->SetValue(vidCap_->GetAudioInputBalance());
  txtStoragePath->SetText(g_.StoragePath);
}

void TfrmCaptureSetting::SaveToSettings() { SavePage(0); }

void TfrmCaptureSetting::SavePage(int PageIndex) {
  if (PageIndex != 0) return;
  g_.EnableAutoShotFrame = chkEnableAutoShot->Checked();
  g_.EnableOverlay = chkEnableOverlay->Checked();
  vidCap_->SetTextOverlay_Enabled(chkEnableOverlay->Checked());
  vidCap_->SetAudioRecording(chkEnableAudioRecording->Checked());
  vidCap_->SetAudioDeviceRendering(chkEnableAudioRendering->Checked());
  vidCap_->SetMuteAudioRendering(true);
  // Saved in every mode, also where its group is hidden.
  vidCap_->SetRecordingInNativeFormat(chkNativeFormat->Checked());
  vidCap_->SetAudioInputLevel(trkVolume->Value());
  vidCap_->SetAudioInputBalance(trkBalance->Value());
}

void TfrmCaptureSetting::btnVolumeResetClick(TObject*) { trkVolume->SetValue(kVolumeReset); }

void TfrmCaptureSetting::btnBalanceResetClick(TObject*) { trkBalance->SetValue(kBalanceReset); }

// The chosen folder becomes a base folder with the delimiter after it,
// also when the picker's path already ends with one (the root). A
// cancelled picker leaves the field alone.
void TfrmCaptureSetting::btnBrowseClick(TObject*) {
  dlgFolderBrowse->SetTitle(rtl::Utf8ToWide(IDS_CAPTURESETTING_BROWSEDIALOG_TITLE));
  if (!dlgFolderBrowse->Execute()) return;
  txtStoragePath->SetText(rtl::WideToUtf8(dlgFolderBrowse->Path()) + "/");
}

void TfrmCaptureSetting::trkVolumeChange(TObject*) {
  const String text = PercentText(SliderPercent(trkVolume));
  lblVolume->SetCaption(text);
  trkVolume->SetHint(text);
}

void TfrmCaptureSetting::trkBalanceChange(TObject*) {
  const String text = PercentText(SliderPercent(trkBalance));
  lblBalance->SetCaption(text);
  trkBalance->SetHint(text);
}

}  // namespace app
