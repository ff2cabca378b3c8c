#pragma once
// The ASF settings dialog: the Windows Media profile of ASF recordings and
// the values that supersede it. Every value is a property of the capture
// control; OK writes them all, Cancel none, but a profile clicked in the
// list reaches the control at once.
#include "app/SkinStandIns.h"
#include "capture/VidCap.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Forms.h"

namespace app {

class TfrmASFSetting : public forms::TForm {
public:
  static constexpr int kClientWidth = 520, kClientHeight = 330;

  TfrmASFSetting(forms::TComponent* owner, capture::TVidCap* vidCap);

  void LoadFromComponent();
  void SaveToComponent();
  void UpdateOKButton();
  void ApplyLanguageTexts();
  bool Modified() const { return Modified_; }

  void lstProfileClick(forms::TObject* Sender);
  void btnShowProfilesListClick(forms::TObject* Sender);

  forms::TPanel *pnlApply, *pnlClient;
  forms::TPageControl* pageGeneral;
  forms::TTabSheet* tabGeneral;
  forms::TButton *btnOK, *btnCancel;
  TkGroupBox *grpASFSetting, *grpASFProfiles;
  TkLabel *lblVideoWidth, *lblVideoHeight, *lblVideoBitRate, *lblKeyFrame, *lblVideoQuality, *lblAudioChannels,
      *lblDeinterlaceMode, *lblInfo0, *lblProfileIndex, *LabelTheASF;
  forms::TEdit *txtVideoWidth, *txtVideoHeight, *txtVideoBitRate, *txtVideoQuality, *txtKeyFrame, *txtAudioChannels,
      *txtProfileIndex;
  TkCheckBox* chkFixFrameRate;
  TkComboBox* cmbDeinterlace;
  TkListBox* lstProfile;
  TkButton* btnShowProfilesList;

private:
  void FillProfiles();
  void MarkModified();

  capture::TVidCap* vidCap_;
  bool Modified_ = false;
};

}  // namespace app
