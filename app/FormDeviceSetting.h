#pragma once
// The device settings dialog: the current capture mode's video and audio
// devices, the video input, format, size and analog standard of the chosen
// video device, the frame rate, the audio input with its level and
// balance, the device's own property dialogs and the camera-control and
// video-quality dialogs; in the TV mode also the tuner: input type, country
// code, channel, frequency overrides and a channel scan.
#include "app/Globals.h"
#include "app/SettingsDialogKit.h"
#include "capture/VidCap.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/Forms.h"

namespace app {

class TfrmDeviceSetting : public forms::TForm {
public:
  static constexpr int kClientWidth = 560, kClientHeight = 420;

  TfrmDeviceSetting(forms::TComponent* owner, capture::TVidCap* vidCap, TGlobalVars& g);
  // The tuner handlers leave the capture control with the dialog, however
  // it closed: the control may report tunings long after.
  ~TfrmDeviceSetting() override;
  // The capture control may go first when both share an owner.
  void Notification(forms::TComponent* component, forms::TOperation operation) override;

  void LoadFromSettings();
  void SaveToSettings();
  void SavePage(int PageIndex);
  void ApplyLanguageTexts();

  bool Scanning() const { return Scanning_; }

  void TVScanStarted(forms::TObject* Sender, int32_t MinChannel, int32_t MaxChannel);
  void TVChannelSelected(forms::TObject* Sender, const capture::TTVChannelInfo& Info);
  void TVScanCompleted(forms::TObject* Sender);

  void FormCreate(forms::TObject* Sender);
  void cmbVideoDeviceChange(forms::TObject* Sender);
  void cmbAudioDeviceChange(forms::TObject* Sender);
  void txtFrameRateChange(forms::TObject* Sender);
  void trkAudioInputLevelChange(forms::TObject* Sender);
  void trkAudioInputBalanceChange(forms::TObject* Sender);
  void btnDeviceSettingClick(forms::TObject* Sender);
  void btnStreamSettingClick(forms::TObject* Sender);
  void btnCameraSettingClick(forms::TObject* Sender);
  void btnVideoSettingClick(forms::TObject* Sender);
  void txtCountryCodeChange(forms::TObject* Sender);
  void txtChannelChange(forms::TObject* Sender);
  void txtFrequencyChange(forms::TObject* Sender);
  void btnApplyOverrideClick(forms::TObject* Sender);
  void btnClearOverrideClick(forms::TObject* Sender);
  void btnScanClick(forms::TObject* Sender);

  // The line a tuned channel adds to the channel list.
  static String ChannelLine(const capture::TTVChannelInfo& Info);
  // Round(position / range x 100) with halves to even, then "%".
  static String TrackBarPercent(const forms::TTrackBar* bar);

  forms::TPageControl* pageDeviceSetting;
  forms::TTabSheet *tabVideoDeviceSetting, *tabTVTuner;
  forms::TPanel* pnlButton;
  forms::TButton *btnOK, *btnCancel;

  // General
  forms::TGroupBox *grpVideoDeviceSetting, *grpAudioDeviceSetting, *GroupBoxVideoInput, *GroupBoxVideoFrameRate,
      *GroupBoxAudiolnputLevel, *GroupBoxAudioInputBalance, *GroupBoxOtherSetting;
  forms::TLabel *lblVideoDevice, *lblAudioDevice, *lblAudioInput, *lblVideoInput, *lblVideoSubType,
      *lblVideoInputSize, *lblAnalogVideoStandard, *lblFrameRate, *txtAudioInputLevel, *txtAudioInputBalance;
  forms::TComboBox *cmbVideoDevice, *cmbAudioDevice, *cmbAudioInput, *cmbVideoInput, *cmbVideoSubType,
      *cmbVideoInputSize, *cmbAnalogVideoStandard;
  forms::TEdit* txtFrameRate;
  forms::TTrackBar *trkAudioInputLevel, *trkAudioInputBalance;
  forms::TButton *btnDeviceSetting, *btnStreamSetting, *btnCameraSetting, *btnVideoSetting;

  // TV Tuner
  forms::TGroupBox *rdgInputType, *GroupBoxCountryCode, *grpFrequencyOverrides;
  forms::TRadioButton *RadioButtonCable, *RadioButtonAntenna;
  forms::TEdit *txtCountryCode, *txtChannel, *txtFrequency;
  forms::TLabel *lblChannel, *lblFrequency, *lblChannelInfo;
  forms::TCheckBox* chkEnableFrequencyOverride;
  forms::TButton *btnApplyOverride, *btnClearOverride, *btnScan;
  forms::TListBox* lstChannels;

private:
  void BuildGeneralPage();
  void BuildTunerPage();
  // The mode's device names and recorded indexes; false outside the
  // capture modes.
  bool ModeLists(String*& videoNames, String*& audioNames, int32_t*& videoIndex, int32_t*& audioIndex);
  void ApplyAvailabilityRule();
  void FillVideoLists();
  void FillAudioControls();
  void DetachTunerHandlers();

  capture::TVidCap* vidCap_;
  TGlobalVars& g_;
  bool Scanning_ = false;
};

}  // namespace app
