#pragma once
// The settings dialog behind the main window's Settings command: how
// recordings are encoded, how snapshots are named, typed and sized, the
// text and picture overlays, and the video effects. Each page keeps a
// dirty flag; Apply writes the page on view, OK every page changed. A few
// choices act at once whatever button closes the dialog: the picture type,
// a new overlay picture, the codec lists and their property dialogs, and
// the ASF settings.
#include <optional>

#include "app/Globals.h"
#include "app/SettingsDialogKit.h"
#include "capture/VidCap.h"
#include "platform/forms/FileDialogs.h"
#include "platform/forms/Forms.h"

namespace app {

class TfrmSetting : public forms::TForm {
public:
  static constexpr int kClientWidth = 520, kClientHeight = 400;
  enum { pgCodec, pgShotFrame, pgOverlay, pgVideoEffect, pgFileNames };

  // Owned by the main window; `vidCap` is the capture control whose
  // properties the dialog edits, `g` the settings record.
  TfrmSetting(forms::TComponent* owner, capture::TVidCap* vidCap, TGlobalVars& g);

  void LoadFromSettings();
  void ApplyPage(int PageIndex);
  void ApplyAll();
  void UpdateApplyButton();
  void ApplyLanguageTexts();

  bool PageDirty(int page) const { return dirty_.IsSet(page); }

  void FormShow(forms::TObject* Sender);
  void pageSettingChange(forms::TObject* Sender);
  void btnApplyClick(forms::TObject* Sender);
  void rdgCodecTypeClick(forms::TObject* Sender);
  void rdgPictureTypeClick(forms::TObject* Sender);
  void cmbVideoCodecChange(forms::TObject* Sender);
  void cmbAudioCodecChange(forms::TObject* Sender);
  void btnVideoCodecSettingClick(forms::TObject* Sender);
  void btnAudioCodecSettingClick(forms::TObject* Sender);
  void btnASFSettingClick(forms::TObject* Sender);
  void btnResetClick(forms::TObject* Sender);
  void btnOverlayBrowseClick(forms::TObject* Sender);
  void btnOverlayResetClick(forms::TObject* Sender);
  void btnResetAllClick(forms::TObject* Sender);

  forms::TPageControl* pageSetting;
  forms::TTabSheet *tabCodec, *tabShotFrame, *tabOverlay, *tabVideoEffect, *TabSheet1;
  forms::TPanel* pnlBottom;
  forms::TButton *btnOK, *btnCancel, *btnApply;
  forms::TOpenDialog* DlgOpenDialog;

  // Codec
  forms::TGroupBox *rdgCodecType, *grpAVICodec, *rdgCompressionMode, *GroupBoxAudioForma;
  forms::TRadioButton *rdgCodecType0, *rdgCodecType1;
  forms::TRadioButton *rdgCompressionMode0, *rdgCompressionMode1, *rdgCompressionMode2;
  forms::TCheckBox *chkEnaleVideoCompression, *chkEnableAudioCompression;
  forms::TLabel *lblVideoCodec, *lblAudioCodec, *lblAudioformat;
  forms::TComboBox *cmbVideoCodec, *cmbAudioCodec, *cmbAudioFormat;
  forms::TButton *btnVideoCodecSetting, *btnAudioCodecSetting, *btnASFSetting;

  // Shot Frame (and the hidden file-name page)
  forms::TGroupBox *grpFileNamesGenerated, *grpShotFramesCapture, *rdgPictureType, *rdgBitmapFormat, *grpPictureSize;
  forms::TGroupBox* rdgGenerateMode;
  forms::TLabel *lblPrefix, *lblNumberOfFrames, *lblNumberOfSkip, *lblAutoShotInterval, *txtSize;
  forms::TEdit *txtPrefix, *txtCaptureCount, *txtSkipNumber, *txtAutoShotInterval;
  forms::TRadioButton *rdgGenerateMode0, *rdgGenerateMode1;
  forms::TRadioButton *rdgPictureType0, *rdgPictureType1;
  forms::TRadioButton* rdgBitmapFormat_[6];
  controls::TVxSlider* trkPictureSize;
  forms::TButton* btnReset;

  // Overlay
  forms::TGroupBox *grpTextOverlay, *rdgTextAlign, *grpBitmapOverlay, *rgpBitmapSize;
  forms::TMemo* mmoText;
  forms::TLabel *lblTextLeft, *lblTextTop, *lblTextWidth, *lblBitmapLeft, *lblBitmapTop, *txtBitmapSize;
  forms::TEdit *txtTextLeft, *txtTextTop, *txtTextWidth, *txtBitmapLeft, *txtBitmapTop;
  forms::TCheckBox *chkIsTextTransparent, *chkIsBitmapTransparent;
  forms::TRadioButton* rdgTextAlign_[3];
  forms::TPanel* pnlBitmap;
  forms::TImage* imgOverlayBitmap;
  forms::TButton *btnOverlayBrowse, *btnOverlayReset;
  controls::TVxSlider* trkBitmapSize;

  // Video Effect
  forms::TGroupBox *rdgRotation, *rdgDeinterlace, *grpImageAdjust;
  forms::TRadioButton* rdgRotation_[8];
  forms::TRadioButton* rdgDeinterlace_[3];
  forms::TCheckBox *chkFlipVertical, *chkFlipHorizontal, *chkGreyColor, *chkInvertColors;
  forms::TLabel *lblBright, *lblContrast, *lblSaturation, *lblHue;
  forms::TLabel *lblBrightPercent, *lblContrastPercent, *lblSaturationPercent, *lblHuePercent;
  controls::TVxSlider *trkBright, *trkContrast, *trkSaturation, *trkHue;
  forms::TButton* btnResetAll;

private:
  void BuildCodecPage();
  void BuildShotFramePage();
  void BuildOverlayPage();
  void BuildVideoEffectPage();
  void BuildFileNamesPage();
  // Marks `page` changed whenever `control` changes.
  void MarkOnClick(forms::TControl* control, int page);
  void MarkOnIntegerChange(forms::TEdit* edit, int page);
  void ApplyCodecTypeRule();
  void LoadOverlayPreview();
  void EffectSliderChange(controls::TVxSlider* slider, forms::TLabel* percent);
  // The brightness or contrast to write: the slider can only show 0..-128,
  // so a positive value the user never moved away from stays as it was.
  int32_t EffectToWrite(controls::TVxSlider* slider, const std::optional<int32_t>& kept) const;

  capture::TVidCap* vidCap_;
  TGlobalVars& g_;
  TDirtyPages<6> dirty_;
  // A positive brightness or contrast found at load, while its slider
  // still shows the clamped 0 that load gave it.
  std::optional<int32_t> keptBrightness_, keptContrast_;
  bool loading_ = false;
};

}  // namespace app
