#pragma once
// The capture settings dialog behind the capture-settings buttons of the
// capture modes: audio input volume and balance, the storage root of the
// data folders, and the switches for timed snapshots, overlay, audio
// recording and rendering and (for DV) the native format. OK writes the
// record and the capture control; the opener moves the storage root.
#include "app/Globals.h"
#include "app/SettingsDialogKit.h"
#include "capture/VidCap.h"
#include "controls/uc/JAMDialogs.h"
#include "platform/forms/Forms.h"

namespace app {

class TfrmCaptureSetting : public forms::TForm {
public:
  static constexpr int kClientWidth = 440, kClientHeight = 402;

  // `vidCap` is the capture control whose properties the dialog edits, `g`
  // the settings record.
  TfrmCaptureSetting(forms::TComponent* owner, capture::TVidCap* vidCap, TGlobalVars& g);

  void LoadFromSettings();
  void SaveToSettings();
  void SavePage(int PageIndex);
  void ApplyLanguageTexts();

  void FormCreate(forms::TObject* Sender);
  void btnVolumeResetClick(forms::TObject* Sender);
  void btnBalanceResetClick(forms::TObject* Sender);
  void btnBrowseClick(forms::TObject* Sender);
  void trkVolumeChange(forms::TObject* Sender);
  void trkBalanceChange(forms::TObject* Sender);

  forms::TPageControl* pageGeneral;
  forms::TTabSheet* tabGeneral;
  forms::TPanel* pnlButton;
  forms::TButton *btnOK, *btnCancel;
  controls::TShBrowseForFolder* dlgFolderBrowse;

  forms::TGroupBox *grpVolume, *grpBalance, *grpStoragePath;
  forms::TGroupBox *GroupBoxAutoShot, *GroupBoxOverlay, *GroupBoxAudioSettings, *GroupBoxNativeFormat;
  controls::TVxSlider *trkVolume, *trkBalance;
  forms::TLabel *lblVolume, *lblBalance;
  forms::TButton *btnVolumeReset, *btnBalanceReset, *btnBrowse;
  forms::TEdit* txtStoragePath;
  forms::TCheckBox *chkEnableAutoShot, *chkEnableOverlay, *chkEnableAudioRecording, *chkEnableAudioRendering,
      *chkNativeFormat;

private:
  capture::TVidCap* vidCap_;
  TGlobalVars& g_;
};

}  // namespace app
