#include "app/FormASFSetting.h"

#include "app/ResStr.h"
#include "app/SettingsDialogKit.h"
#include "platform/rtl/Format.h"

namespace app {

using namespace forms;

namespace {

// The deinterlace items stand in the order of the mode they select.
constexpr const char* kDeinterlaceItems[6] = {"Not Interlaced",
                                              "Deinterlace Normal",
                                              "Deinterlace Half Size",
                                              "Deinterlace Half Size Double Rate",
                                              "Deinterlace Inverse Telecine",
                                              "Deinterlace Vertical Half Size Double Rate"};

}  // namespace

TfrmASFSetting::TfrmASFSetting(TComponent* owner, capture::TVidCap* vidCap) : TForm(owner), vidCap_(vidCap) {
  SetName("frmASFSetting");
  SetBorderStyle(bsDialog);
  SetPosition(poOwnerFormCenter);
  SetClientWidth(kClientWidth);
  SetClientHeight(kClientHeight);

  TDialogBuilder b(this);
  pnlApply = b.Place(new TPanel(this), this, "pnlApply", 0, kClientHeight - 40, kClientWidth, 40);
  pnlApply->SetBevelOuter(bvNone);
  pnlApply->SetCaption("");
  btnOK = b.Button(pnlApply, "btnOK", "OK", kClientWidth - 2 * 96, 8);
  btnOK->SetDefault(true);
  btnOK->SetModalResult(mrOk);
  btnCancel = b.Button(pnlApply, "btnCancel", "Cancel", kClientWidth - 96, 8);
  btnCancel->SetCancel(true);
  btnCancel->SetModalResult(mrCancel);

  pnlClient = b.Place(new TPanel(this), this, "pnlClient", 0, 0, kClientWidth, kClientHeight - 40);
  pnlClient->SetBevelOuter(bvNone);
  pnlClient->SetCaption("");
  pageGeneral = b.Place(new TPageControl(this), pnlClient, "pageGeneral", 6, 6, kClientWidth - 12, kClientHeight - 52);
  tabGeneral = b.Page(pageGeneral, "tabGeneral", "General");

  grpASFSetting = b.Place(new TkGroupBox(this), tabGeneral, "grpASFSetting", 6, 4, 250, 244);
  struct Row {
    const char* label;
    const char* edit;
    TkLabel** lbl;
    TEdit** txt;
  };
  const Row rows[6] = {{"lblVideoWidth", "txtVideoWidth", &lblVideoWidth, &txtVideoWidth},
                       {"lblVideoHeight", "txtVideoHeight", &lblVideoHeight, &txtVideoHeight},
                       {"lblVideoBitRate", "txtVideoBitRate", &lblVideoBitRate, &txtVideoBitRate},
                       {"lblKeyFrame", "txtKeyFrame", &lblKeyFrame, &txtKeyFrame},
                       {"lblVideoQuality", "txtVideoQuality", &lblVideoQuality, &txtVideoQuality},
                       {"lblAudioChannels", "txtAudioChannels", &lblAudioChannels, &txtAudioChannels}};
  for (int i = 0; i < 6; ++i) {
    auto* l = b.Place(new TkLabel(this), grpASFSetting, rows[i].label, 10, 22 + i * 26, 120, 16);
    *rows[i].lbl = l;
    *rows[i].txt = b.Edit(grpASFSetting, rows[i].edit, "", 150, 18 + i * 26, 88);
  }
  lblDeinterlaceMode = b.Place(new TkLabel(this), grpASFSetting, "lblDeinterlaceMode", 10, 180, 120, 16);
  cmbDeinterlace = b.Place(new TkComboBox(this), grpASFSetting, "cmbDeinterlace", 10, 196, 228, 21);
  cmbDeinterlace->SetStyle(csDropDownList);
  for (const char* item : kDeinterlaceItems) cmbDeinterlace->Items()->Add(item);
  cmbDeinterlace->OnChange = [this](TObject*) { MarkModified(); };
  chkFixFrameRate = b.Place(new TkCheckBox(this), grpASFSetting, "chkFixFrameRate", 10, 222, 140, 17);
  lblInfo0 = b.Place(new TkLabel(this), tabGeneral, "lblInfo0", 8, 252, 250, 16);

  grpASFProfiles = b.Place(new TkGroupBox(this), tabGeneral, "grpASFProfiles", 262, 4, 234, 244);
  lstProfile = b.Place(new TkListBox(this), grpASFProfiles, "lstProfile", 10, 18, 214, 110);
  lstProfile->OnClick = [this](TObject* s) { lstProfileClick(s); };
  btnShowProfilesList = b.Place(new TkButton(this), grpASFProfiles, "btnShowProfilesList", 10, 134, 140, 25);
  btnShowProfilesList->OnClick = [this](TObject* s) { btnShowProfilesListClick(s); };
  lblProfileIndex = b.Place(new TkLabel(this), grpASFProfiles, "lblProfileIndex", 10, 166, 214, 16);
  txtProfileIndex = b.Edit(grpASFProfiles, "txtProfileIndex", "", 10, 184, 80);
  LabelTheASF = b.Place(new TkLabel(this), grpASFProfiles, "LabelTheASF", 10, 210, 214, 30);
  LabelTheASF->SetAutoSize(false);
  LabelTheASF->SetWordWrap(true);
  lblProfileIndex->SetAutoSize(false);
  lblProfileIndex->SetWordWrap(true);

  for (TEdit* e : {txtVideoWidth, txtVideoHeight, txtVideoBitRate, txtVideoQuality, txtKeyFrame, txtAudioChannels,
                   txtProfileIndex})
    e->OnChange = [this, e](TObject*) {
      FilterIntegerEdit(e);
      MarkModified();
    };

  Modified_ = false;
  UpdateOKButton();
  ApplyLanguageTexts();
}

void TfrmASFSetting::MarkModified() {
  Modified_ = true;
  UpdateOKButton();
}

void TfrmASFSetting::UpdateOKButton() { btnOK->SetEnabled(Modified_); }

void TfrmASFSetting::ApplyLanguageTexts() {
  SetCaption(IDS_ASFSETTING_TITLE);
  lblInfo0->SetCaption(IDS_ASFSETTING_LABEL_INFO);
  lblVideoWidth->SetCaption(IDS_ASFSETTING_LABEL_VIDEOWIDTH);
  lblVideoHeight->SetCaption(IDS_ASFSETTING_LABEL_VIDEOHEIGHT);
  lblVideoBitRate->SetCaption(IDS_ASFSETTING_LABEL_VIDEOBITRATE);
  lblKeyFrame->SetCaption(IDS_ASFSETTING_LABEL_KEYFRAMESPACING);
  lblVideoQuality->SetCaption(IDS_ASFSETTING_LABEL_VIDEOQUANLITY);
  lblAudioChannels->SetCaption(IDS_ASFSETTING_LABEL_AUDIOCHANNELS);
  lblDeinterlaceMode->SetCaption(IDS_ASFSETTING_LABEL_DEINTERLACE);
  lblProfileIndex->SetCaption(IDS_ASFSETTING_LABEL_INDEXOFPROFILE);
  btnOK->SetCaption(IDS_ASFSETTING_BUTTON_OK);
  btnCancel->SetCaption(IDS_ASFSETTING_BUTTON_CANCEL);
  btnShowProfilesList->SetCaption(IDS_ASFSETTING_BUTTON_SHOWPROFILELIST);
  chkFixFrameRate->SetCaption(IDS_ASFSETTING_CHECK_FIXFRAMERATE);
  grpASFSetting->SetCaption(IDS_ASFSETTING_GROUP_ASFSETTING);
  grpASFProfiles->SetCaption(IDS_ASFSETTING_GROUP_ASFPROFILE);
  LabelTheASF->SetCaption(IDS_ASFSETTINGS_THEASF);
  tabGeneral->SetCaption(IDS_CAPTURESETTING_GENERAL);
  // Item i names mode i; the texts of keys 4 and 5 follow that order.
  const String* items[6] = {&IDS_ASFSETTING_COMBO_DEINTERLACE_0, &IDS_ASFSETTING_COMBO_DEINTERLACE_1,
                            &IDS_ASFSETTING_COMBO_DEINTERLACE_2, &IDS_ASFSETTING_COMBO_DEINTERLACE_3,
                            &IDS_ASFSETTING_COMBO_DEINTERLACE_4, &IDS_ASFSETTING_COMBO_DEINTERLACE_5};
  const int selected = cmbDeinterlace->ItemIndex();
  for (int i = 0; i < 6; ++i) cmbDeinterlace->Items()->Put(i, *items[i]);
  cmbDeinterlace->SetItemIndex(selected);
}

void TfrmASFSetting::LoadFromComponent() {
  txtVideoWidth->SetText(rtl::IntToStr(vidCap_->ASFVideoWidth()));
  txtVideoHeight->SetText(rtl::IntToStr(vidCap_->ASFVideoHeight()));
  txtVideoBitRate->SetText(rtl::IntToStr(vidCap_->ASFVideoBitRate()));
  txtVideoQuality->SetText(rtl::IntToStr(vidCap_->ASFVideoQuality()));
  txtKeyFrame->SetText(rtl::IntToStr(vidCap_->ASFVideoMaxKeyFrameSpacing()));
  txtAudioChannels->SetText(rtl::IntToStr(vidCap_->ASFAudioChannels()));
  txtProfileIndex->SetText(rtl::IntToStr(vidCap_->ASFProfile()));
  chkFixFrameRate->SetChecked(vidCap_->ASFFixedFrameRate());
  cmbDeinterlace->SetItemIndex(vidCap_->ASFDeinterlaceMode());
  FillProfiles();
}

void TfrmASFSetting::SaveToComponent() {
  vidCap_->SetASFVideoWidth(EditInt(txtVideoWidth, -1));
  vidCap_->SetASFVideoHeight(EditInt(txtVideoHeight, -1));
  vidCap_->SetASFVideoBitRate(EditInt(txtVideoBitRate, -1));
  vidCap_->SetASFVideoQuality(EditInt(txtVideoQuality, -1));
  vidCap_->SetASFVideoMaxKeyFrameSpacing(EditInt(txtKeyFrame, -1));
  vidCap_->SetASFAudioChannels(EditInt(txtAudioChannels, -1));
  vidCap_->SetASFProfile(EditInt(txtProfileIndex, -1));
  vidCap_->SetASFFixedFrameRate(chkFixFrameRate->Checked());
  vidCap_->SetASFDeinterlaceMode(static_cast<capture::TASFDeinterlaceMode>(cmbDeinterlace->ItemIndex()));
}

void TfrmASFSetting::FillProfiles() {
  lstProfile->Items()->Clear();
  lstProfile->Items()->SetText(vidCap_->GetASFProfiles());
}

void TfrmASFSetting::btnShowProfilesListClick(TObject*) { FillProfiles(); }

void TfrmASFSetting::lstProfileClick(TObject*) {
  if (lstProfile->Items()->Count() < 1) return;
  vidCap_->SetASFProfile(lstProfile->GetItemIndex());
  txtProfileIndex->SetText(rtl::IntToStr(vidCap_->ASFProfile()));
}

}  // namespace app
