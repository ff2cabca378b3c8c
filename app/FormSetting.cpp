#include "app/FormSetting.h"

#include <memory>
#include <mutex>

#include "app/FormASFSetting.h"
#include "app/ResStr.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/StringUtils.h"

namespace app {

using namespace forms;
using controls::TVxSlider;

namespace {

constexpr int kPageLeft = 6, kPageTop = 6, kPageWidth = 508, kPageHeight = 352;

void SetCheckedIndex(TRadioButton* const* buttons, int count, int index) {
  if (index >= 0 && index < count) buttons[index]->SetChecked(true);
}

int CheckedIndex(TRadioButton* const* buttons, int count) {
  for (int i = 0; i < count; ++i)
    if (buttons[i]->Checked()) return i;
  return -1;
}

}  // namespace

TfrmSetting::TfrmSetting(TComponent* owner, capture::TVidCap* vidCap, TGlobalVars& g)
    : TForm(owner), vidCap_(vidCap), g_(g) {
  SetName("frmSetting");
  SetBorderStyle(bsDialog);
  SetFormStyle(fsStayOnTop);
  SetPosition(poOwnerFormCenter);
  SetClientWidth(kClientWidth);
  SetClientHeight(kClientHeight);

  TDialogBuilder b(this);
  pageSetting = b.Place(new TPageControl(this), this, "pageSetting", kPageLeft, kPageTop, kPageWidth, kPageHeight);
  pageSetting->OnChange = [this](TObject* s) { pageSettingChange(s); };
  tabCodec = b.Page(pageSetting, "tabCodec", "Codec");
  tabShotFrame = b.Page(pageSetting, "tabShotFrame", "Shot Frame");
  tabOverlay = b.Page(pageSetting, "tabOverlay", "Overlay");
  tabVideoEffect = b.Page(pageSetting, "tabVideoEffect", "Video Effect");
  TabSheet1 = b.Page(pageSetting, "TabSheet1", "TabSheet");

  pnlBottom = b.Place(new TPanel(this), this, "pnlBottom", 0, kClientHeight - 38, kClientWidth, 38);
  pnlBottom->SetBevelOuter(bvNone);
  pnlBottom->SetCaption("");
  btnOK = b.Button(pnlBottom, "btnOK", "OK", kClientWidth - 3 * 94, 6);
  btnOK->SetDefault(true);
  btnOK->SetModalResult(mrOk);
  btnCancel = b.Button(pnlBottom, "btnCancel", "Cancel", kClientWidth - 2 * 94, 6);
  btnCancel->SetCancel(true);
  btnCancel->SetModalResult(mrCancel);
  btnApply = b.Button(pnlBottom, "btnApply", "Apply", kClientWidth - 94, 6);
  btnApply->OnClick = [this](TObject* s) { btnApplyClick(s); };
  dirty_.OnChange = [this] { UpdateApplyButton(); };

  DlgOpenDialog = new TOpenDialog(this);
  DlgOpenDialog->SetName("DlgOpenDialog");

  BuildCodecPage();
  BuildShotFramePage();
  BuildOverlayPage();
  BuildVideoEffectPage();
  BuildFileNamesPage();

  OnShow = [this](TObject* s) { FormShow(s); };

  ApplyLanguageTexts();
  TabSheet1->SetTabVisible(false);
  pageSetting->SetActivePageIndex(pgCodec);
  UpdateApplyButton();
}

void TfrmSetting::MarkOnClick(TControl* control, int page) {
  control->OnClick = [this, page](TObject*) { dirty_.Set(page); };
}

void TfrmSetting::MarkOnIntegerChange(TEdit* edit, int page) {
  edit->OnChange = [this, edit, page](TObject*) {
    if (FilterIntegerEdit(edit)) dirty_.Set(page);
  };
}

// --- Layout -------------------------------------------------------------

void TfrmSetting::BuildCodecPage() {
  TDialogBuilder b(this);
  rdgCodecType = b.Group(tabCodec, "rdgCodecType", "Codec Type", 8, 6, 250, 46);
  rdgCodecType0 = b.Radio(rdgCodecType, "rdgCodecType0", "AVI/MPEG", 10, 20, 110);
  rdgCodecType1 = b.Radio(rdgCodecType, "rdgCodecType1", "ASF", 130, 20, 110);
  for (TRadioButton* r : {rdgCodecType0, rdgCodecType1}) r->OnClick = [this](TObject* s) { rdgCodecTypeClick(s); };
  btnASFSetting = b.Button(tabCodec, "btnASFSetting", "ASF Setting...", 270, 20, 120);
  btnASFSetting->OnClick = [this](TObject* s) { btnASFSettingClick(s); };

  grpAVICodec = b.Group(tabCodec, "grpAVICodec", "AVI/MPEG", 8, 58, 484, 174);
  lblVideoCodec = b.Label(grpAVICodec, "lblVideoCodec", "Video Codec", 10, 24);
  cmbVideoCodec = b.Combo(grpAVICodec, "cmbVideoCodec", 110, 20, 220);
  cmbVideoCodec->OnChange = [this](TObject* s) { cmbVideoCodecChange(s); };
  btnVideoCodecSetting = b.Button(grpAVICodec, "btnVideoCodecSetting", "Setting...", 338, 18, 86);
  btnVideoCodecSetting->OnClick = [this](TObject* s) { btnVideoCodecSettingClick(s); };
  lblAudioCodec = b.Label(grpAVICodec, "lblAudioCodec", "Audio Codec", 10, 54);
  cmbAudioCodec = b.Combo(grpAVICodec, "cmbAudioCodec", 110, 50, 220);
  cmbAudioCodec->OnChange = [this](TObject* s) { cmbAudioCodecChange(s); };
  btnAudioCodecSetting = b.Button(grpAVICodec, "btnAudioCodecSetting", "Setting...", 338, 48, 86);
  btnAudioCodecSetting->OnClick = [this](TObject* s) { btnAudioCodecSettingClick(s); };
  chkEnaleVideoCompression =
      b.Check(grpAVICodec, "chkEnaleVideoCompression", "Enable Video Compression", 10, 82, 200);
  chkEnableAudioCompression =
      b.Check(grpAVICodec, "chkEnableAudioCompression", "Enable Audio Compression", 220, 82, 200);
  MarkOnClick(chkEnaleVideoCompression, pgCodec);
  MarkOnClick(chkEnableAudioCompression, pgCodec);
  rdgCompressionMode = b.Group(grpAVICodec, "rdgCompressionMode", "Compression Mode", 10, 108, 464, 54);
  rdgCompressionMode0 = b.Radio(rdgCompressionMode, "rdgCompressionMode0", "No", 10, 24, 140);
  rdgCompressionMode1 = b.Radio(rdgCompressionMode, "rdgCompressionMode1", "On the fly", 156, 24, 150);
  rdgCompressionMode2 = b.Radio(rdgCompressionMode, "rdgCompressionMode2", "After Capture", 310, 24, 150);
  for (TRadioButton* r : {rdgCompressionMode0, rdgCompressionMode1, rdgCompressionMode2})
    MarkOnClick(r, pgCodec);

  GroupBoxAudioForma = b.Group(tabCodec, "GroupBoxAudioForma", "Audio Format", 8, 238, 484, 56);
  lblAudioformat = b.Label(GroupBoxAudioForma, "lblAudioformat", "Audio Format", 10, 26);
  cmbAudioFormat = b.Combo(GroupBoxAudioForma, "cmbAudioFormat", 110, 22, 220);
  cmbAudioFormat->OnChange = [this](TObject*) { dirty_.Set(pgCodec); };
}

void TfrmSetting::BuildShotFramePage() {
  TDialogBuilder b(this);
  grpFileNamesGenerated = b.Group(tabShotFrame, "grpFileNamesGenerated", "File Names Generated", 8, 6, 434, 52);
  lblPrefix = b.Label(grpFileNamesGenerated, "lblPrefix", "Prefix", 10, 24);
  txtPrefix = b.Edit(grpFileNamesGenerated, "txtPrefix", "File", 200, 20, 160);
  txtPrefix->OnChange = [this](TObject*) { dirty_.Set(pgShotFrame); };

  grpShotFramesCapture = b.Group(tabShotFrame, "grpShotFramesCapture", "Shot Frame Capture", 8, 62, 434, 84);
  lblNumberOfFrames = b.Label(grpShotFramesCapture, "lblNumberOfFrames", "Number of frames to capture each time", 10, 24);
  txtCaptureCount = b.Edit(grpShotFramesCapture, "txtCaptureCount", "1", 300, 20, 60);
  MarkOnIntegerChange(txtCaptureCount, pgShotFrame);
  lblAutoShotInterval = b.Label(grpShotFramesCapture, "lblAutoShotInterval", "Auto shot frame interval (seconds)", 10, 54);
  txtAutoShotInterval = b.Edit(grpShotFramesCapture, "txtAutoShotInterval", "10", 300, 50, 60);
  MarkOnIntegerChange(txtAutoShotInterval, pgShotFrame);
  lblNumberOfSkip = b.Label(grpShotFramesCapture, "lblNumberOfSkip", "Number of frames to skip on each capture", 10, 84);
  lblNumberOfSkip->SetVisible(false);
  txtSkipNumber = b.Edit(grpShotFramesCapture, "txtSkipNumber", "0", 370, 20, 50);
  txtSkipNumber->SetVisible(false);
  MarkOnIntegerChange(txtSkipNumber, pgShotFrame);

  rdgPictureType = b.Group(tabShotFrame, "rdgPictureType", "Picture Type", 8, 150, 140, 80);
  rdgPictureType0 = b.Radio(rdgPictureType, "rdgPictureType0", "BMP(Bitmap)", 10, 24, 120);
  rdgPictureType1 = b.Radio(rdgPictureType, "rdgPictureType1", "JPG(Jpeg)", 10, 50, 120);
  for (TRadioButton* r : {rdgPictureType0, rdgPictureType1})
    r->OnClick = [this](TObject* s) { rdgPictureTypeClick(s); };

  rdgBitmapFormat = b.Group(tabShotFrame, "rdgBitmapFormat", "Bitmap Format", 156, 150, 286, 80);
  // Each button is numbered after the grabber's format it selects; the
  // captions name those formats (RGB32 is format 1, RGB24 format 2).
  static constexpr const char* kFormats[6] = {"Default", "RGB32", "RGB24", "RGB565", "RGB555", "RGB8"};
  static constexpr const char* kNames[6] = {"rdgBitmapFormat0", "rdgBitmapFormat1", "rdgBitmapFormat2",
                                            "rdgBitmapFormat3", "rdgBitmapFormat4", "rdgBitmapFormat5"};
  for (int i = 0; i < 6; ++i) {
    rdgBitmapFormat_[i] = b.Radio(rdgBitmapFormat, kNames[i], kFormats[i], 10 + (i % 3) * 92, 24 + (i / 3) * 26, 86);
    MarkOnClick(rdgBitmapFormat_[i], pgShotFrame);
  }

  grpPictureSize = b.Group(tabShotFrame, "grpPictureSize", "Picture Size", 8, 236, 434, 64);
  trkPictureSize = b.Slider(grpPictureSize, "trkPictureSize", 10, 20, 290, 34, false);
  trkPictureSize->SetMaxValue(300);
  trkPictureSize->SetIncrement(1);
  trkPictureSize->SetOptions(controls::TSliderOptions{controls::soShowPoints});
  txtSize = b.Label(grpPictureSize, "txtSize", "0%", 308, 28);
  trkPictureSize->OnChange = [this](TObject*) {
    dirty_.Set(pgShotFrame);
    txtSize->SetCaption(PercentText(trkPictureSize->Value()));
  };
  btnReset = b.Button(grpPictureSize, "btnReset", "Reset", 352, 24, 72);
  btnReset->OnClick = [this](TObject* s) { btnResetClick(s); };
}

void TfrmSetting::BuildOverlayPage() {
  TDialogBuilder b(this);
  grpTextOverlay = b.Group(tabOverlay, "grpTextOverlay", "Text Overlay", 8, 6, 434, 156);
  mmoText = b.Place(new TMemo(this), grpTextOverlay, "mmoText", 10, 20, 200, 80);
  mmoText->SetScrollBars(ssBoth);
  mmoText->OnChange = [this](TObject*) { dirty_.Set(pgOverlay); };
  lblTextLeft = b.Label(grpTextOverlay, "lblTextLeft", "Left", 222, 24);
  txtTextLeft = b.Edit(grpTextOverlay, "txtTextLeft", "", 272, 20, 60);
  lblTextTop = b.Label(grpTextOverlay, "lblTextTop", "Top", 222, 50);
  txtTextTop = b.Edit(grpTextOverlay, "txtTextTop", "", 272, 46, 60);
  lblTextWidth = b.Label(grpTextOverlay, "lblTextWidth", "Width:", 222, 76);
  txtTextWidth = b.Edit(grpTextOverlay, "txtTextWidth", "", 272, 72, 60);
  for (TEdit* e : {txtTextLeft, txtTextTop, txtTextWidth}) MarkOnIntegerChange(e, pgOverlay);
  chkIsTextTransparent = b.Check(grpTextOverlay, "chkIsTextTransparent", "Transparent", 10, 112, 120);
  MarkOnClick(chkIsTextTransparent, pgOverlay);
  rdgTextAlign = b.Group(grpTextOverlay, "rdgTextAlign", "Text Align", 150, 104, 274, 44);
  static constexpr const char* kAlign[3] = {"Left", "Center", "Right"};
  static constexpr const char* kAlignNames[3] = {"rdgTextAlign0", "rdgTextAlign1", "rdgTextAlign2"};
  for (int i = 0; i < 3; ++i) {
    rdgTextAlign_[i] = b.Radio(rdgTextAlign, kAlignNames[i], kAlign[i], 10 + i * 88, 20, 84);
    MarkOnClick(rdgTextAlign_[i], pgOverlay);
  }

  grpBitmapOverlay = b.Group(tabOverlay, "grpBitmapOverlay", "Bitmap Overlay", 8, 168, 434, 140);
  pnlBitmap = b.Place(new TPanel(this), grpBitmapOverlay, "pnlBitmap", 10, 20, 100, 76);
  pnlBitmap->SetBevelOuter(bvLowered);
  pnlBitmap->SetCaption("");
  imgOverlayBitmap = b.Place(new TImage(this), pnlBitmap, "imgOverlayBitmap", 1, 1, 98, 74);
  imgOverlayBitmap->SetStretch(true);
  imgOverlayBitmap->OnClick = [this](TObject* s) { btnOverlayBrowseClick(s); };
  btnOverlayBrowse = b.Button(grpBitmapOverlay, "btnOverlayBrowse", "Browse...", 10, 104, 100);
  btnOverlayBrowse->OnClick = [this](TObject* s) { btnOverlayBrowseClick(s); };
  lblBitmapLeft = b.Label(grpBitmapOverlay, "lblBitmapLeft", "Left", 122, 24);
  txtBitmapLeft = b.Edit(grpBitmapOverlay, "txtBitmapLeft", "", 160, 20, 50);
  lblBitmapTop = b.Label(grpBitmapOverlay, "lblBitmapTop", "Top", 220, 24);
  txtBitmapTop = b.Edit(grpBitmapOverlay, "txtBitmapTop", "", 256, 20, 50);
  for (TEdit* e : {txtBitmapLeft, txtBitmapTop}) MarkOnIntegerChange(e, pgOverlay);
  chkIsBitmapTransparent = b.Check(grpBitmapOverlay, "chkIsBitmapTransparent", "Transparent", 318, 22, 106);
  MarkOnClick(chkIsBitmapTransparent, pgOverlay);
  rgpBitmapSize = b.Group(grpBitmapOverlay, "rgpBitmapSize", "Size", 122, 50, 302, 80);
  trkBitmapSize = b.Slider(rgpBitmapSize, "trkBitmapSize", 8, 20, 190, 34, false);
  trkBitmapSize->SetMaxValue(300);
  trkBitmapSize->SetIncrement(1);
  trkBitmapSize->SetOptions(controls::TSliderOptions{controls::soShowPoints});
  txtBitmapSize = b.Label(rgpBitmapSize, "txtBitmapSize", "0%", 204, 28);
  trkBitmapSize->OnChange = [this](TObject*) {
    dirty_.Set(pgOverlay);
    txtBitmapSize->SetCaption(PercentText(trkBitmapSize->Value()));
  };
  btnOverlayReset = b.Button(rgpBitmapSize, "btnOverlayReset", "Reset", 240, 24, 54);
  btnOverlayReset->OnClick = [this](TObject* s) { btnOverlayResetClick(s); };
}

void TfrmSetting::BuildVideoEffectPage() {
  TDialogBuilder b(this);
  rdgRotation = b.Group(tabVideoEffect, "rdgRotation", "Rotation", 8, 6, 210, 120);
  static constexpr const char* kRotation[8] = {"0", "90", "180", "270", "0 Mirror", "90 Mirror", "180 Mirror",
                                               "270 Mirror"};
  static constexpr const char* kRotationNames[8] = {"rdgRotation0", "rdgRotation1", "rdgRotation2", "rdgRotation3",
                                                    "rdgRotation4", "rdgRotation5", "rdgRotation6", "rdgRotation7"};
  for (int i = 0; i < 8; ++i) {
    rdgRotation_[i] = b.Radio(rdgRotation, kRotationNames[i], kRotation[i], 10 + (i / 4) * 98, 20 + (i % 4) * 24, 94);
    MarkOnClick(rdgRotation_[i], pgVideoEffect);
  }
  rdgDeinterlace = b.Group(tabVideoEffect, "rdgDeinterlace", "Deinterlace", 8, 130, 210, 96);
  static constexpr const char* kDeinterlace[3] = {"Disabled", "Half Size", "Full Size"};
  static constexpr const char* kDeinterlaceNames[3] = {"rdgDeinterlace0", "rdgDeinterlace1", "rdgDeinterlace2"};
  for (int i = 0; i < 3; ++i) {
    rdgDeinterlace_[i] = b.Radio(rdgDeinterlace, kDeinterlaceNames[i], kDeinterlace[i], 10, 20 + i * 24, 180);
    MarkOnClick(rdgDeinterlace_[i], pgVideoEffect);
  }
  chkFlipVertical = b.Check(tabVideoEffect, "chkFlipVertical", "Flip Vertical", 8, 236, 104);
  chkFlipHorizontal = b.Check(tabVideoEffect, "chkFlipHorizontal", "Flip Horizontal", 8, 262, 104);
  chkGreyColor = b.Check(tabVideoEffect, "chkGreyColor", "Grey Color", 116, 236, 104);
  chkInvertColors = b.Check(tabVideoEffect, "chkInvertColors", "Invert Color", 116, 262, 104);
  for (TCheckBox* c : {chkFlipVertical, chkFlipHorizontal, chkGreyColor, chkInvertColors})
    MarkOnClick(c, pgVideoEffect);

  grpImageAdjust = b.Group(tabVideoEffect, "grpImageAdjust", "Image Adjust", 226, 6, 266, 308);
  struct Column {
    const char* label;
    const char* slider;
    const char* percent;
    const char* caption;
    int min, max, increment;
    TLabel** lbl;
    TVxSlider** trk;
    TLabel** pct;
  };
  const Column columns[4] = {
      {"lblBright", "trkBright", "lblBrightPercent", "Bright", 0, 128, 30, &lblBright, &trkBright, &lblBrightPercent},
      {"lblContrast", "trkContrast", "lblContrastPercent", "Contrast", 0, 128, 30, &lblContrast, &trkContrast,
       &lblContrastPercent},
      {"lblSaturation", "trkSaturation", "lblSaturationPercent", "Saturation", -64, 64, 15, &lblSaturation,
       &trkSaturation, &lblSaturationPercent},
      {"lblHue", "trkHue", "lblHuePercent", "Hue", -180, 180, 30, &lblHue, &trkHue, &lblHuePercent},
  };
  for (int i = 0; i < 4; ++i) {
    const Column& c = columns[i];
    const int x = 8 + i * 64;
    *c.lbl = b.Label(grpImageAdjust, c.label, c.caption, x, 18);
    TVxSlider* s = b.Slider(grpImageAdjust, c.slider, x + 6, 36, 30, 200, true);
    // The maximum goes first: a minimum is refused unless it lies below it.
    s->SetMaxValue(c.max);
    s->SetMinValue(c.min);
    s->SetIncrement(c.increment);
    *c.trk = s;
    *c.pct = b.Label(grpImageAdjust, c.percent, "0%", x + 6, 242);
    TLabel* pct = *c.pct;
    s->OnChange = [this, s, pct](TObject*) { EffectSliderChange(s, pct); };
  }
  btnResetAll = b.Button(grpImageAdjust, "btnResetAll", "Reset All", 88, 270, 90);
  btnResetAll->OnClick = [this](TObject* s) { btnResetAllClick(s); };
}

void TfrmSetting::BuildFileNamesPage() {
  TDialogBuilder b(this);
  rdgGenerateMode = b.Group(TabSheet1, "rdgGenerateMode", "", 8, 6, 300, 70);
  rdgGenerateMode0 = b.Radio(rdgGenerateMode, "rdgGenerateMode0", "Generate Base Serial Number ", 10, 18, 280);
  rdgGenerateMode1 = b.Radio(rdgGenerateMode, "rdgGenerateMode1", "Generate Base Time", 10, 42, 280);
  MarkOnClick(rdgGenerateMode0, pgShotFrame);
  MarkOnClick(rdgGenerateMode1, pgShotFrame);
}

// --- Texts --------------------------------------------------------------

void TfrmSetting::ApplyLanguageTexts() {
  SetCaption(IDS_SETTING_TITLE);
  btnOK->SetCaption(IDS_SETTING_BUTTON_OK);
  btnApply->SetCaption(IDS_SETTING_BUTTON_APPLY);
  btnCancel->SetCaption(IDS_SETTING_BUTTON_CANCEL);
  tabCodec->SetCaption(IDS_SETTING_CODEC_CAPTION);
  tabShotFrame->SetCaption(IDS_SETTING_SHOTFRAME_CAPTION);
  tabOverlay->SetCaption(IDS_SETTING_OVERLAY_CAPTION);
  tabVideoEffect->SetCaption(IDS_SETTING_VIDEOEFFECT_CAPTION);

  lblVideoCodec->SetCaption(IDS_SETTING_CODEC_LABEL_VIDEOCODEC);
  lblAudioCodec->SetCaption(IDS_SETTING_CODEC_LABEL_AUDIOCODEC);
  lblAudioformat->SetCaption(IDS_SETTING_CODEC_LABEL_AUDIOFORMAT);
  GroupBoxAudioForma->SetCaption(IDS_SETTING_CODEC_LABEL_AUDIOFORMAT);
  btnVideoCodecSetting->SetCaption(IDS_SETTING_CODEC_BUTTON_VIDEOCODECSETTING);
  btnAudioCodecSetting->SetCaption(IDS_SETTING_CODEC_BUTTON_AUDIOCODECSETTING);
  btnASFSetting->SetCaption(IDS_SETTING_CODEC_BUTTON_ASFSETTING);
  chkEnaleVideoCompression->SetCaption(IDS_SETTING_CODEC_CHECK_ENABLEVIDEOCOMPRESSION);
  chkEnableAudioCompression->SetCaption(IDS_SETTING_CODEC_CHECK_ENABLEAUDIOCOMPRESSION);
  rdgCompressionMode->SetCaption(IDS_SETTING_CODEC_GROUP_COMPRESSIONMODE);
  rdgCompressionMode0->SetCaption(IDS_SETTING_CODEC_GROUP_COMPRESSIONMODE_0);
  rdgCompressionMode1->SetCaption(IDS_SETTING_CODEC_GROUP_COMPRESSIONMODE_1);
  rdgCompressionMode2->SetCaption(IDS_SETTING_CODEC_GROUP_COMPRESSIONMODE_2);
  rdgCodecType->SetCaption(IDS_SETTING_CODEC_GROUP_CODECTYPE);
  rdgCodecType0->SetCaption(IDS_SETTING_CODEC_GROUP_CODECTYPE_0);
  rdgCodecType1->SetCaption(IDS_SETTING_CODEC_GROUP_CODECTYPE_1);
  grpAVICodec->SetCaption(IDS_SETTING_CODEC_GROUP_AVIMPEG);

  lblPrefix->SetCaption(IDS_SETTING_SHOTFRAME_LABEL_PREFIX);
  lblNumberOfFrames->SetCaption(IDS_SETTING_SHOTFRAME_LABEL_FRAMESEACHTIME);
  lblAutoShotInterval->SetCaption(IDS_SETTING_SHOTFRAME_LABEL_AUTOSHOTINTERVAL);
  lblNumberOfSkip->SetCaption(IDS_SETTING_SHOTFRAME_LABEL_FRAMESTOSKIP);
  btnReset->SetCaption(IDS_SETTING_SHOTFRAME_BUTTON_RESET);
  grpFileNamesGenerated->SetCaption(IDS_SETTING_SHOTFRAME_GROUP_FILENAMESGENERATED);
  grpShotFramesCapture->SetCaption(IDS_SETTING_SHOTFRAME_GROUP_SHOTFRAMECAPTURE);
  rdgPictureType->SetCaption(IDS_SETTING_SHOTFRAME_GROUP_PICTURETYPE);
  rdgPictureType0->SetCaption(IDS_SETTING_SHOTFRAME_GROUP_PICTURETYPE_0);
  rdgPictureType1->SetCaption(IDS_SETTING_SHOTFRAME_GROUP_PICTURETYPE_1);
  rdgBitmapFormat->SetCaption(IDS_SETTING_SHOTFRAME_GROUP_BITMAPFORMAT);
  // The texts of keys 1 and 2 read "RGB24" and "RGB32" while buttons 1 and
  // 2 select RGB32 and RGB24: each button takes the text naming its format.
  const String* formatTexts[6] = {
      &IDS_SETTING_SHOTFRAME_GROUP_BITMAPFORMAT_0, &IDS_SETTING_SHOTFRAME_GROUP_BITMAPFORMAT_2,
      &IDS_SETTING_SHOTFRAME_GROUP_BITMAPFORMAT_1, &IDS_SETTING_SHOTFRAME_GROUP_BITMAPFORMAT_3,
      &IDS_SETTING_SHOTFRAME_GROUP_BITMAPFORMAT_4, &IDS_SETTING_SHOTFRAME_GROUP_BITMAPFORMAT_5};
  for (int i = 0; i < 6; ++i) rdgBitmapFormat_[i]->SetCaption(*formatTexts[i]);
  grpPictureSize->SetCaption(IDS_SETTING_SHOTFRAME_GROUP_PICTURESIZE);

  lblTextLeft->SetCaption(IDS_SETTING_OVERLAY_LABEL_TEXTLEFT);
  lblTextTop->SetCaption(IDS_SETTING_OVERLAY_LABEL_TEXTTOP);
  lblTextWidth->SetCaption(IDS_SETTING_OVERLAY_LABEL_WIDTH);
  lblBitmapLeft->SetCaption(IDS_SETTING_OVERLAY_LABEL_BITMAPLEFT);
  lblBitmapTop->SetCaption(IDS_SETTING_OVERLAY_LABEL_BITMAPTOP);
  btnOverlayReset->SetCaption(IDS_SETTING_OVERLAY_BUTTON_BITMAPRESET);
  btnOverlayBrowse->SetCaption(IDS_SETTING_OVERLAY_BUTTON_BROWSE);
  chkIsTextTransparent->SetCaption(IDS_SETTING_OVERLAY_CHECK_TEXTTRANSPARENT);
  chkIsBitmapTransparent->SetCaption(IDS_SETTING_OVERLAY_CHECK_BITMAPTRANSPARENT);
  grpTextOverlay->SetCaption(IDS_SETTING_OVERLAY_GROUP_TEXTOVERLAY);
  rdgTextAlign->SetCaption(IDS_SETTING_OVERLAY_GROUP_TEXTALIGN);
  rdgTextAlign_[0]->SetCaption(IDS_SETTING_OVERLAY_GROUP_TEXTALIGN_0);
  rdgTextAlign_[1]->SetCaption(IDS_SETTING_OVERLAY_GROUP_TEXTALIGN_1);
  rdgTextAlign_[2]->SetCaption(IDS_SETTING_OVERLAY_GROUP_TEXTALIGN_2);
  grpBitmapOverlay->SetCaption(IDS_SETTING_OVERLAY_GROUP_BITMAPOVERLAY);
  rgpBitmapSize->SetCaption(IDS_SETTING_OVERLAY_GROUP_BITMAPSIZE);

  lblBright->SetCaption(IDS_SETTING_VIDEOEFFECT_LABEL_BRIGHT);
  lblContrast->SetCaption(IDS_SETTING_VIDEOEFFECT_LABEL_CONTRAST);
  lblSaturation->SetCaption(IDS_SETTING_VIDEOEFFECT_LABEL_SATURATION);
  lblHue->SetCaption(IDS_SETTING_VIDEOEFFECT_LABEL_HUE);
  btnResetAll->SetCaption(IDS_SETTING_VIDEOEFFECT_BUTTON_RESETALL);
  chkFlipVertical->SetCaption(IDS_SETTING_VIDEOEFFECT_CHECK_FLIPVERTICAL);
  chkGreyColor->SetCaption(IDS_SETTING_VIDEOEFFECT_CHECK_GREYCOLOR);
  chkFlipHorizontal->SetCaption(IDS_SETTING_VIDEOEFFECT_CHECK_FLIPHORIZONTAL);
  chkInvertColors->SetCaption(IDS_SETTING_VIDEOEFFECT_CHECK_INVERTCOLOR);
  grpImageAdjust->SetCaption(IDS_SETTING_VIDEOEFFECT_GROUP_IMAGEADJUST);
  rdgRotation->SetCaption(IDS_SETTING_VIDEOEFFECT_GROUP_ROTATION);
  const String* rotationTexts[8] = {
      &IDS_SETTING_VIDEOEFFECT_GROUP_ROTATION_0, &IDS_SETTING_VIDEOEFFECT_GROUP_ROTATION_1,
      &IDS_SETTING_VIDEOEFFECT_GROUP_ROTATION_2, &IDS_SETTING_VIDEOEFFECT_GROUP_ROTATION_3,
      &IDS_SETTING_VIDEOEFFECT_GROUP_ROTATION_4, &IDS_SETTING_VIDEOEFFECT_GROUP_ROTATION_5,
      &IDS_SETTING_VIDEOEFFECT_GROUP_ROTATION_6, &IDS_SETTING_VIDEOEFFECT_GROUP_ROTATION_7};
  for (int i = 0; i < 8; ++i) rdgRotation_[i]->SetCaption(*rotationTexts[i]);
  rdgDeinterlace->SetCaption(IDS_SETTING_VIDEOEFFECT_GROUP_DEINTERLACE);
  rdgDeinterlace_[0]->SetCaption(IDS_SETTING_VIDEOEFFECT_GROUP_DEINTERLACE_0);
  rdgDeinterlace_[1]->SetCaption(IDS_SETTING_VIDEOEFFECT_GROUP_DEINTERLACE_1);
  rdgDeinterlace_[2]->SetCaption(IDS_SETTING_VIDEOEFFECT_GROUP_DEINTERLACE_2);

  for (TVxSlider* s : {trkBright, trkContrast, trkSaturation, trkHue}) s->SetShowHint(true);
  EffectSliderChange(trkBright, lblBrightPercent);
  EffectSliderChange(trkContrast, lblContrastPercent);
  EffectSliderChange(trkSaturation, lblSaturationPercent);
  EffectSliderChange(trkHue, lblHuePercent);
}

// --- Loading ------------------------------------------------------------

void TfrmSetting::LoadFromSettings() {
  loading_ = true;
  cmbVideoCodec->Items()->SetText(vidCap_->GetVideoCompressors());
  cmbVideoCodec->SetItemIndex(vidCap_->GetVideoCompressor());
  cmbAudioCodec->Items()->SetText(vidCap_->GetAudioCompressors());
  cmbAudioCodec->SetItemIndex(vidCap_->GetAudioCompressor());

  cmbAudioFormat->Items()->SetText(vidCap_->GetAudioFormats());
  if (cmbAudioFormat->Items()->Count() > 0 && rtl::SameText(cmbAudioFormat->Items()->Get(0), "default"))
    cmbAudioFormat->Items()->Put(0, IDS_SETTING_CODEC_COMBO_AUDIOFORMAT_0);
  cmbAudioFormat->SetItemIndex(vidCap_->AudioFormat());

  (vidCap_->RecordingMethod() == capture::rm_AVI ? rdgCodecType0 : rdgCodecType1)->SetChecked(true);
  switch (vidCap_->CompressionMode()) {
    case capture::cm_NoCompression: rdgCompressionMode0->SetChecked(true); break;
    case capture::cm_CompressOnTheFly: rdgCompressionMode1->SetChecked(true); break;
    default: rdgCompressionMode2->SetChecked(true); break;
  }
  const capture::TCompressionType type = vidCap_->CompressionType();
  chkEnaleVideoCompression->SetChecked(type != capture::ct_Audio);
  chkEnableAudioCompression->SetChecked(type == capture::ct_Audio || type == capture::ct_AudioVideo);
  ApplyCodecTypeRule();

  txtPrefix->SetText(vidCap_->AutoFilePrefix());
  (vidCap_->AutoFileName() == capture::fn_Sequential ? rdgGenerateMode0 : rdgGenerateMode1)->SetChecked(true);
  txtCaptureCount->SetText(rtl::IntToStr(vidCap_->BurstCount()));
  txtSkipNumber->SetText(rtl::IntToStr(vidCap_->BurstInterval()));
  txtAutoShotInterval->SetText(rtl::IntToStr(g_.AutoShotFrameInterval));
  (g_.ShotImageType ? rdgPictureType1 : rdgPictureType0)->SetChecked(true);
  // The picture type's click runs only when the check moves; the group's
  // state must follow the type in any case.
  rdgBitmapFormat->SetEnabled(!g_.ShotImageType);
  const int format = vidCap_->FrameGrabberRGBFormat();
  SetCheckedIndex(rdgBitmapFormat_, 6, format >= 0 && format <= 5 ? format : 0);
  trkPictureSize->SetValue(vidCap_->FrameCaptureZoomSize());
  txtSize->SetCaption(PercentText(trkPictureSize->Value()));

  mmoText->SetText(vidCap_->TextOverlay_String());
  txtTextLeft->SetText(rtl::IntToStr(vidCap_->TextOverlay_Left()));
  txtTextTop->SetText(rtl::IntToStr(vidCap_->TextOverlay_Top()));
  txtTextWidth->SetText(rtl::IntToStr(vidCap_->TextOverlay_Right()));
  chkIsTextTransparent->SetChecked(vidCap_->TextOverlay_Transparent());
  SetCheckedIndex(rdgTextAlign_, 3, vidCap_->TextOverlay_Align());
  LoadOverlayPreview();
  int32_t left, top, size;
  bool transparent;
  {
    std::lock_guard lock(g_.SharedLock);
    left = g_.BitmapOverlayLeft;
    top = g_.BitmapOverlayTop;
    size = g_.BitmapOverlaySize;
    transparent = g_.BitmapOverlayTransparent;
  }
  txtBitmapLeft->SetText(rtl::IntToStr(left));
  txtBitmapTop->SetText(rtl::IntToStr(top));
  trkBitmapSize->SetValue(size);
  txtBitmapSize->SetCaption(PercentText(trkBitmapSize->Value()));
  chkIsBitmapTransparent->SetChecked(transparent);

  const int rotation = vidCap_->VideoProcessing_Rotation();
  SetCheckedIndex(rdgRotation_, 8, rotation >= 0 && rotation <= 7 ? rotation : 0);
  const int deinterlace = vidCap_->VideoProcessing_Deinterlacing();
  SetCheckedIndex(rdgDeinterlace_, 3, deinterlace >= 0 && deinterlace <= 2 ? deinterlace : 0);
  chkFlipVertical->SetChecked(vidCap_->VideoProcessing_FlipVertical());
  chkFlipHorizontal->SetChecked(vidCap_->VideoProcessing_FlipHorizontal());
  chkGreyColor->SetChecked(vidCap_->VideoProcessing_GrayScale());
  chkInvertColors->SetChecked(vidCap_->VideoProcessing_InvertColors());
  const int32_t brightness = vidCap_->VideoProcessing_Brightness();
  const int32_t contrast = vidCap_->VideoProcessing_Contrast();
  trkBright->SetValue(-brightness);
  trkContrast->SetValue(-contrast);
  trkSaturation->SetValue(-vidCap_->VideoProcessing_Saturation());
  trkHue->SetValue(vidCap_->VideoProcessing_Hue());
  keptBrightness_ = brightness > 0 ? std::optional<int32_t>(brightness) : std::nullopt;
  keptContrast_ = contrast > 0 ? std::optional<int32_t>(contrast) : std::nullopt;
  // A slider that did not move still needs its label.
  EffectSliderChange(trkBright, lblBrightPercent);
  EffectSliderChange(trkContrast, lblContrastPercent);
  EffectSliderChange(trkSaturation, lblSaturationPercent);
  EffectSliderChange(trkHue, lblHuePercent);
  loading_ = false;
}

void TfrmSetting::LoadOverlayPreview() {
  std::shared_ptr<TBitmap> picture;
  {
    std::lock_guard lock(g_.SharedLock);
    picture = g_.OverlayBitmap;
  }
  if (picture)
    imgOverlayBitmap->Picture()->Assign(picture.get());
  else
    imgOverlayBitmap->Picture()->SetGraphic(nullptr);
}

// --- Handlers -----------------------------------------------------------

void TfrmSetting::FormShow(TObject*) {
  for (int page = pgCodec; page <= pgFileNames; ++page) dirty_.Clear(page);
  UpdateApplyButton();
}

void TfrmSetting::UpdateApplyButton() {
  if (btnApply) btnApply->SetEnabled(dirty_.IsSet(pageSetting ? pageSetting->ActivePageIndex() : -1));
}

void TfrmSetting::pageSettingChange(TObject*) { UpdateApplyButton(); }

void TfrmSetting::btnApplyClick(TObject*) {
  const int page = pageSetting->ActivePageIndex();
  ApplyPage(page);
  dirty_.Clear(page);
  btnApply->SetEnabled(false);
}

void TfrmSetting::ApplyCodecTypeRule() {
  const bool avi = rdgCodecType0->Checked();
  btnASFSetting->SetEnabled(!avi);
  for (TControl* c : std::initializer_list<TControl*>{cmbVideoCodec, cmbAudioCodec, btnVideoCodecSetting,
                                                       btnAudioCodecSetting, rdgCompressionMode,
                                                       chkEnaleVideoCompression, chkEnableAudioCompression})
    c->SetEnabled(avi);
}

void TfrmSetting::rdgCodecTypeClick(TObject*) {
  ApplyCodecTypeRule();
  dirty_.Set(pgCodec);
}

void TfrmSetting::rdgPictureTypeClick(TObject*) {
  const bool jpeg = rdgPictureType1->Checked();
  rdgBitmapFormat->SetEnabled(!jpeg);
  g_.ShotImageType = jpeg;
  dirty_.Set(pgShotFrame);
}

void TfrmSetting::cmbVideoCodecChange(TObject*) { vidCap_->SetVideoCompressor(cmbVideoCodec->ItemIndex()); }

void TfrmSetting::cmbAudioCodecChange(TObject*) { vidCap_->SetAudioCompressor(cmbAudioCodec->ItemIndex()); }

void TfrmSetting::btnVideoCodecSettingClick(TObject*) {
  vidCap_->ShowDialog(1);
  BringToFront();
  dirty_.Set(pgCodec);
}

void TfrmSetting::btnAudioCodecSettingClick(TObject*) {
  vidCap_->ShowDialog(2);
  BringToFront();
  dirty_.Set(pgCodec);
}

void TfrmSetting::btnASFSettingClick(TObject*) {
  try {
    std::unique_ptr<TfrmASFSetting> asf(new TfrmASFSetting(this, vidCap_));
    asf->LoadFromComponent();
    if (asf->ShowModal() == mrOk) asf->SaveToComponent();
  } catch (...) {
    // The values already written stay; the dialog itself has nothing to add.
  }
}

void TfrmSetting::btnResetClick(TObject*) {
  trkPictureSize->SetValue(100);
  dirty_.Set(pgShotFrame);
}

void TfrmSetting::btnOverlayResetClick(TObject*) {
  trkBitmapSize->SetValue(100);
  dirty_.Set(pgOverlay);
}

void TfrmSetting::btnResetAllClick(TObject*) {
  rdgRotation_[0]->SetChecked(true);
  rdgDeinterlace_[0]->SetChecked(true);
  for (TVxSlider* s : {trkBright, trkContrast, trkSaturation, trkHue}) s->SetValue(0);
  keptBrightness_.reset();
  keptContrast_.reset();
  for (TCheckBox* c : {chkGreyColor, chkInvertColors, chkFlipVertical, chkFlipHorizontal}) c->SetChecked(false);
  dirty_.Set(pgVideoEffect);
}

void TfrmSetting::EffectSliderChange(TVxSlider* slider, TLabel* percent) {
  const String text = PercentText(SliderPercent(slider));
  percent->SetCaption(text);
  slider->SetHint(text);
  if (loading_) return;
  if (slider == trkBright) keptBrightness_.reset();
  if (slider == trkContrast) keptContrast_.reset();
  dirty_.Set(pgVideoEffect);
}

int32_t TfrmSetting::EffectToWrite(TVxSlider* slider, const std::optional<int32_t>& kept) const {
  if (kept && slider->Value() == 0) return *kept;
  return -slider->Value();
}

// The picture of the bitmap overlay. The streaming thread may be drawing
// the current picture, so a new one is loaded into a bitmap of its own and
// put in place under the record's lock; the old one goes when its last
// user lets go of it.
void TfrmSetting::btnOverlayBrowseClick(TObject*) {
  DlgOpenDialog->SetFileName("");
  DlgOpenDialog->SetTitle(MSG_SETTING_OVERLAY_OPENIMAGEFILE);
  DlgOpenDialog->SetFilter("Bitmap(*.bmp)|*.bmp|");
  const bool chosen = DlgOpenDialog->Execute() && !DlgOpenDialog->FileName().empty();
  try {
    if (!chosen) {
      {
        std::lock_guard lock(g_.SharedLock);
        g_.OverlayBitmap.reset();
        g_.BitmapFileName.clear();
      }
      imgOverlayBitmap->Picture()->SetGraphic(nullptr);
      return;
    }
    const String name = DlgOpenDialog->FileName();
    imgOverlayBitmap->Picture()->LoadFromFile(name);
    dirty_.Set(pgOverlay);
    {
      std::lock_guard lock(g_.SharedLock);
      g_.BitmapFileName = name;
    }
    auto picture = std::make_shared<TBitmap>();
    picture->LoadFromFile(name);
    std::lock_guard lock(g_.SharedLock);
    g_.OverlayBitmap = std::move(picture);
  } catch (const std::exception&) {
    imgOverlayBitmap->Picture()->SetGraphic(nullptr);
  }
}

// --- Writing ------------------------------------------------------------

void TfrmSetting::ApplyPage(int PageIndex) {
  using namespace capture;
  switch (PageIndex) {
    case pgCodec: {
      vidCap_->SetAudioFormat(static_cast<TAudioFormat>(cmbAudioFormat->ItemIndex()));
      vidCap_->SetRecordingMethod(rdgCodecType0->Checked() ? rm_AVI : rm_ASF);
      vidCap_->SetCompressionMode(rdgCompressionMode0->Checked()   ? cm_NoCompression
                                  : rdgCompressionMode1->Checked() ? cm_CompressOnTheFly
                                                                   : cm_CompressAfterRecording);
      const bool video = chkEnaleVideoCompression->Checked(), audio = chkEnableAudioCompression->Checked();
      if (video || audio) vidCap_->SetCompressionType(video && audio ? ct_AudioVideo : video ? ct_Video : ct_Audio);
      vidCap_->SetVideoCompressor(cmbVideoCodec->ItemIndex());
      vidCap_->SetAudioCompressor(cmbAudioCodec->ItemIndex());
      break;
    }
    case pgShotFrame: {
      vidCap_->SetAutoFilePrefix(txtPrefix->Text());
      vidCap_->SetAutoFileName(rdgGenerateMode0->Checked() ? fn_Sequential : fn_DateTime);
      vidCap_->SetBurstCount(EditInt(txtCaptureCount, 1));
      vidCap_->SetBurstInterval(EditInt(txtSkipNumber, 1));
      // An emptied interval raises here: the rest of the page stays unwritten.
      g_.AutoShotFrameInterval = rtl::StrToInt(rtl::Trim(txtAutoShotInterval->Text()));
      g_.ShotImageType = rdgPictureType1->Checked();
      const int format = CheckedIndex(rdgBitmapFormat_, 6);
      vidCap_->SetFrameGrabberRGBFormat(static_cast<TFrameGrabberRGBFormat>(format < 0 ? 0 : format));
      vidCap_->SetFrameCaptureZoomSize(trkPictureSize->Value());
      break;
    }
    case pgOverlay: {
      const String text = mmoText->Text();
      vidCap_->SetTextOverlay_String(text);
      vidCap_->SetTextOverlay_Enabled(g_.EnableOverlay && !text.empty());
      vidCap_->SetTextOverlay_Left(EditInt(txtTextLeft, 0));
      vidCap_->SetTextOverlay_Top(EditInt(txtTextTop, 0));
      vidCap_->SetTextOverlay_Right(EditInt(txtTextWidth, 100));
      vidCap_->SetTextOverlay_Transparent(chkIsTextTransparent->Checked());
      if (const int align = CheckedIndex(rdgTextAlign_, 3); align >= 0)
        vidCap_->SetTextOverlay_Align(static_cast<TTextOverlayAlign>(align));
      std::lock_guard lock(g_.SharedLock);
      g_.BitmapOverlayLeft = EditInt(txtBitmapLeft, 0);
      g_.BitmapOverlayTop = EditInt(txtBitmapTop, 0);
      g_.BitmapOverlaySize = trkBitmapSize->Value();
      g_.BitmapOverlayTransparent = chkIsBitmapTransparent->Checked();
      break;
    }
    case pgVideoEffect: {
      const int rotation = CheckedIndex(rdgRotation_, 8);
      vidCap_->SetVideoProcessing_Rotation(static_cast<TVideoRotation>(rotation < 0 ? 0 : rotation));
      const int deinterlace = CheckedIndex(rdgDeinterlace_, 3);
      vidCap_->SetVideoProcessing_Deinterlacing(static_cast<TVideoDeinterlacing>(deinterlace < 0 ? 0 : deinterlace));
      vidCap_->SetVideoProcessing_FlipVertical(chkFlipVertical->Checked());
      vidCap_->SetVideoProcessing_FlipHorizontal(chkFlipHorizontal->Checked());
      vidCap_->SetVideoProcessing_GrayScale(chkGreyColor->Checked());
      vidCap_->SetVideoProcessing_InvertColors(chkInvertColors->Checked());
      vidCap_->SetVideoProcessing_Brightness(EffectToWrite(trkBright, keptBrightness_));
      vidCap_->SetVideoProcessing_Contrast(EffectToWrite(trkContrast, keptContrast_));
      vidCap_->SetVideoProcessing_Saturation(-trkSaturation->Value());
      vidCap_->SetVideoProcessing_Hue(trkHue->Value());
      break;
    }
    default: break;
  }
}

void TfrmSetting::ApplyAll() {
  for (int page = 0; page < dirty_.Count(); ++page)
    if (dirty_.IsSet(page)) ApplyPage(page);
}

}  // namespace app
