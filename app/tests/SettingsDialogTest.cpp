#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/FormASFSetting.h"
#include "app/FormSetting.h"
#include "app/ResStr.h"
#include "app/tests/AppTestUtil.h"
#include "capture/VcDevices.h"
#include "capture/VidCap.h"
#include "platform/forms/FileDialogs.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/mg/ffmpeg/FfRegister.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/Exceptions.h"
#include "platform/win/Input.h"

using namespace app;
using namespace forms;

namespace {

// Answers the file dialog: with a name, or as a cancel when empty.
class FileAnswer : public TFileDialogPresenter {
public:
  bool Present(TOpenDialog& dialog) override {
    titles.push_back(dialog.DisplayTitle());
    filters.push_back(dialog.Filter());
    if (name.empty()) return false;
    const std::filesystem::path p(name);
    return dialog.Accept(p.parent_path().string(), p.filename().string(), 1);
  }
  std::string name;
  std::vector<std::string> titles, filters;
};

// The dialogs over a real capture control (no device plugged in; the
// compressor lists are the installed encoders).
class SettingsDialogTest : public apptest::AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    win::ResetInputState();
    mg::ff::RegisterFfmpegFilters();
    capture::CreateDeviceLists();
    host = new TForm(Application);
    vc = new capture::TVidCap(host);
    vc->SetParent(host);
  }
  void TearDown() override {
    Application->OnIdle = nullptr;
    while (Screen->FormCount() > 0) delete Screen->Forms(0);
    capture::FreeDeviceLists();
    win::ResetInputState();
    Application->ProcessMessages();
    AppTest::TearDown();
  }
  // Created, loaded and shown as the Settings command does, without the
  // modal loop: the dirty flags then mean the test's own changes.
  TfrmSetting* Open() {
    dialog = new TfrmSetting(host, vc, g);
    dialog->LoadFromSettings();
    dialog->Show();
    Application->ProcessMessages();
    return dialog;
  }
  void ShowPage(int page) {
    dialog->pageSetting->SetActivePageIndex(page);
    dialog->pageSettingChange(dialog->pageSetting);
  }
  static void ClickAt(TControl* c) {
    const win::POINT p = c->ClientToScreen(Point(c->Width() / 2, c->Height() / 2));
    win::InjectClick(p.x, p.y);
    Application->ProcessMessages();
  }
  std::string MakeBmp(const std::string& name, const std::string& size) {
    const std::string path = root_ + "/" + name;
    const std::string cmd = "convert -size " + size + " xc:red BMP3:" + path;
    if (std::system(cmd.c_str()) != 0) return "";
    return path;
  }

  rtl::ScopedVirtualClock clock;
  formstest::RecordingPresenter boxes;
  ScopedMessageBoxPresenter boxPresenter{&boxes};
  FileAnswer files;
  ScopedFileDialogPresenter filePresenter{&files};
  TForm* host = nullptr;
  capture::TVidCap* vc = nullptr;
  TfrmSetting* dialog = nullptr;
  TGlobalVars g;
};

TEST_F(SettingsDialogTest, OkWithoutChangesWritesNothing) {
  vc->SetVideoProcessing_Brightness(40);
  Open();
  for (int page = 0; page < 6; ++page) EXPECT_FALSE(dialog->PageDirty(page)) << "page " << page;
  EXPECT_FALSE(dialog->btnApply->Enabled());
  // Values changed behind the dialog's back show whether it writes anything.
  vc->SetBurstCount(7);
  vc->SetRecordingMethod(capture::rm_ASF);
  vc->SetTextOverlay_Left(33);
  vc->SetVideoProcessing_Hue(45);
  g.AutoShotFrameInterval = 99;
  dialog->ApplyAll();
  EXPECT_EQ(vc->BurstCount(), 7);
  EXPECT_EQ(vc->RecordingMethod(), capture::rm_ASF);
  EXPECT_EQ(vc->TextOverlay_Left(), 33);
  EXPECT_EQ(vc->VideoProcessing_Hue(), 45);
  EXPECT_EQ(vc->VideoProcessing_Brightness(), 40);
  EXPECT_EQ(g.AutoShotFrameInterval, 99);
}

TEST_F(SettingsDialogTest, ApplyWritesThePageOnViewAndFollowsItsFlag) {
  Open();
  ShowPage(TfrmSetting::pgShotFrame);
  dialog->txtPrefix->SetText("Snap");
  dialog->chkFlipVertical->SetChecked(true);
  EXPECT_TRUE(dialog->btnApply->Enabled());
  ShowPage(TfrmSetting::pgOverlay);
  EXPECT_FALSE(dialog->btnApply->Enabled()) << "nothing changed on this page";
  ShowPage(TfrmSetting::pgShotFrame);
  ASSERT_TRUE(dialog->btnApply->Enabled());
  dialog->btnApplyClick(dialog->btnApply);
  EXPECT_EQ(vc->AutoFilePrefix(), "Snap");
  EXPECT_FALSE(vc->VideoProcessing_FlipVertical()) << "the effects page was not on view";
  EXPECT_FALSE(dialog->PageDirty(TfrmSetting::pgShotFrame));
  EXPECT_TRUE(dialog->PageDirty(TfrmSetting::pgVideoEffect));
  EXPECT_FALSE(dialog->btnApply->Enabled());
  dialog->ApplyAll();
  EXPECT_TRUE(vc->VideoProcessing_FlipVertical()) << "OK writes the other changed page";
}

TEST_F(SettingsDialogTest, IntegerEditsDropTrailingCharactersUntilANumberRemains) {
  struct Case {
    const char* typed;
    const char* left;
    bool marks;
  };
  const Case cases[] = {{"-", "", false}, {"12a", "12", true}, {"7-x", "7", true}, {"34b", "34", true},
                        {"abc", "", false},  {"-5", "-5", true}, {"99999999999", "999999999", true},
                        {"12\xC3\xA9", "12", true}};
  Open();
  ShowPage(TfrmSetting::pgShotFrame);
  for (const Case& c : cases) {
    dialog->FormShow(dialog);
    dialog->txtCaptureCount->SetText(c.typed);
    EXPECT_EQ(dialog->txtCaptureCount->Text(), c.left) << c.typed;
    if (std::string(c.typed) != c.left) {
      EXPECT_EQ(dialog->txtCaptureCount->SelStart(), static_cast<int>(std::string(c.left).size())) << c.typed;
    }
    EXPECT_EQ(dialog->PageDirty(TfrmSetting::pgShotFrame), c.marks) << c.typed;
  }
}

TEST_F(SettingsDialogTest, CompressionBoxesMapToTheCompressionType) {
  using namespace capture;
  struct Load {
    TCompressionType type;
    bool video, audio;
  };
  for (const Load& l : {Load{ct_Video, true, false}, Load{ct_Audio, false, true}, Load{ct_AudioVideo, true, true}}) {
    vc->SetCompressionType(l.type);
    Open();
    EXPECT_EQ(dialog->chkEnaleVideoCompression->Checked(), l.video) << l.type;
    EXPECT_EQ(dialog->chkEnableAudioCompression->Checked(), l.audio) << l.type;
    delete dialog;
  }
  struct Save {
    TCompressionType before;
    bool video, audio;
    TCompressionType after;
  };
  for (const Save& s : {Save{ct_Audio, true, false, ct_Video}, Save{ct_Video, false, true, ct_Audio},
                        Save{ct_Video, true, true, ct_AudioVideo}, Save{ct_Audio, false, false, ct_Audio}}) {
    vc->SetCompressionType(s.before);
    Open();
    dialog->chkEnaleVideoCompression->SetChecked(s.video);
    dialog->chkEnableAudioCompression->SetChecked(s.audio);
    dialog->ApplyAll();
    EXPECT_EQ(vc->CompressionType(), s.after) << s.video << s.audio << " (neither box leaves the type as it was)";
    delete dialog;
  }
}

TEST_F(SettingsDialogTest, AsfDisablesTheAviControlsAndEnablesItsOwnButton) {
  vc->SetRecordingMethod(capture::rm_AVI);
  Open();
  std::vector<TControl*> avi = {dialog->cmbVideoCodec,        dialog->cmbAudioCodec,
                                dialog->btnVideoCodecSetting, dialog->btnAudioCodecSetting,
                                dialog->rdgCompressionMode,   dialog->chkEnaleVideoCompression,
                                dialog->chkEnableAudioCompression};
  for (TControl* c : avi) EXPECT_TRUE(c->Enabled()) << c->Name();
  EXPECT_FALSE(dialog->btnASFSetting->Enabled());
  dialog->rdgCodecType1->SetChecked(true);
  for (TControl* c : avi) EXPECT_FALSE(c->Enabled()) << c->Name();
  EXPECT_TRUE(dialog->btnASFSetting->Enabled());
  EXPECT_TRUE(dialog->PageDirty(TfrmSetting::pgCodec));
  dialog->ApplyAll();
  EXPECT_EQ(vc->RecordingMethod(), capture::rm_ASF);
}

TEST_F(SettingsDialogTest, ACodecChoiceReachesTheComponentAtOnce) {
  Open();
  ASSERT_GT(dialog->cmbVideoCodec->Items()->Count(), 2);
  const int other = vc->GetVideoCompressor() == 1 ? 2 : 1;
  dialog->cmbVideoCodec->SetItemIndex(other);
  dialog->cmbVideoCodecChange(dialog->cmbVideoCodec);
  EXPECT_EQ(vc->GetVideoCompressor(), other);
  EXPECT_FALSE(dialog->PageDirty(TfrmSetting::pgCodec)) << "the choice is not a page change";
}

TEST_F(SettingsDialogTest, EffectSlidersShowTheNegatedValueAndItsShare) {
  struct Case {
    int32_t brightness, saturation, hue;
    int32_t brightSlider;
    const char *brightLabel, *saturationLabel, *hueLabel;
  };
  const Case cases[] = {{40, 64, 180, 0, "0%", "-50%", "50%"},
                        {-64, -64, -90, 64, "50%", "50%", "-25%"},
                        {-128, 0, 0, 128, "100%", "0%", "0%"}};
  for (const Case& c : cases) {
    vc->SetVideoProcessing_Brightness(c.brightness);
    vc->SetVideoProcessing_Saturation(c.saturation);
    vc->SetVideoProcessing_Hue(c.hue);
    Open();
    EXPECT_EQ(dialog->trkBright->Value(), c.brightSlider) << c.brightness;
    EXPECT_EQ(dialog->lblBrightPercent->Caption(), c.brightLabel) << c.brightness;
    EXPECT_EQ(dialog->trkBright->Hint(), c.brightLabel) << c.brightness;
    EXPECT_EQ(dialog->lblSaturationPercent->Caption(), c.saturationLabel) << c.saturation;
    EXPECT_EQ(dialog->lblHuePercent->Caption(), c.hueLabel) << c.hue;
    delete dialog;
  }
}

// The slider cannot show a brightness above 0; a change elsewhere on the
// page must not turn such a value into 0, while moving the slider does set it.
TEST_F(SettingsDialogTest, APositiveBrightnessSurvivesUntilItsSliderMoves) {
  vc->SetVideoProcessing_Brightness(40);
  vc->SetVideoProcessing_Contrast(25);
  Open();
  dialog->chkGreyColor->SetChecked(true);
  dialog->ApplyAll();
  EXPECT_EQ(vc->VideoProcessing_Brightness(), 40);
  EXPECT_EQ(vc->VideoProcessing_Contrast(), 25);
  EXPECT_TRUE(vc->VideoProcessing_GrayScale());
  dialog->trkBright->SetValue(30);
  dialog->ApplyAll();
  EXPECT_EQ(vc->VideoProcessing_Brightness(), -30);
  EXPECT_EQ(vc->VideoProcessing_Contrast(), 25);
  dialog->btnResetAllClick(dialog->btnResetAll);
  dialog->ApplyAll();
  EXPECT_EQ(vc->VideoProcessing_Brightness(), 0);
  EXPECT_EQ(vc->VideoProcessing_Contrast(), 0) << "Reset All means 0";
  EXPECT_FALSE(vc->VideoProcessing_GrayScale());
}

TEST_F(SettingsDialogTest, JpegDisablesTheBitmapFormatsAndActsAtOnce) {
  g.ShotImageType = false;
  Open();
  EXPECT_TRUE(dialog->rdgBitmapFormat->Enabled());
  dialog->rdgPictureType1->SetChecked(true);
  EXPECT_FALSE(dialog->rdgBitmapFormat->Enabled());
  EXPECT_TRUE(g.ShotImageType) << "written before any button closes the dialog";
  dialog->rdgPictureType0->SetChecked(true);
  EXPECT_TRUE(dialog->rdgBitmapFormat->Enabled());
  EXPECT_FALSE(g.ShotImageType);
}

TEST_F(SettingsDialogTest, BitmapFormatButtonsAreNamedAfterTheFormatTheySelect) {
  using namespace capture;
  const std::pair<TFrameGrabberRGBFormat, const char*> cases[] = {
      {fgf_Default, "Default"}, {fgf_RGB32, "RGB32"}, {fgf_RGB24, "RGB24"}, {fgf_RGB555, "RGB555"}};
  for (const auto& c : cases) {
    vc->SetFrameGrabberRGBFormat(c.first);
    Open();
    dialog->rdgPictureType0->SetChecked(true);
    TRadioButton* checked = nullptr;
    for (TRadioButton* r : dialog->rdgBitmapFormat_)
      if (r->Checked()) checked = r;
    ASSERT_NE(checked, nullptr);
    EXPECT_EQ(checked->Caption(), c.second);
    vc->SetFrameGrabberRGBFormat(fgf_RGB8);
    dialog->txtPrefix->SetText(c.second);  // any change marks the page
    dialog->ApplyAll();
    EXPECT_EQ(vc->FrameGrabberRGBFormat(), c.first);
    delete dialog;
  }
}

TEST_F(SettingsDialogTest, BrowsingLoadsAPictureAndCancellingDropsIt) {
  const std::string bmp = MakeBmp("o.bmp", "101x51");
  if (bmp.empty()) GTEST_SKIP() << "ImageMagick convert is missing";
  Open();
  files.name = bmp;
  dialog->btnOverlayBrowseClick(dialog->btnOverlayBrowse);
  ASSERT_TRUE(g.OverlayBitmap);
  EXPECT_EQ(g.OverlayBitmap->Width(), 101);
  EXPECT_EQ(g.OverlayBitmap->Height(), 51);
  EXPECT_EQ(g.BitmapFileName, bmp);
  EXPECT_EQ(dialog->imgOverlayBitmap->Picture()->Width(), 101);
  EXPECT_TRUE(dialog->PageDirty(TfrmSetting::pgOverlay));
  EXPECT_EQ(files.titles.back(), MSG_SETTING_OVERLAY_OPENIMAGEFILE);
  EXPECT_EQ(files.filters.back(), "Bitmap(*.bmp)|*.bmp|");

  // A frame being drawn keeps the picture it took; the next one is new.
  const std::shared_ptr<TBitmap> drawing = g.OverlayBitmap;
  const std::string second = MakeBmp("p.bmp", "20x10");
  files.name = second;
  dialog->btnOverlayBrowseClick(dialog->btnOverlayBrowse);
  EXPECT_EQ(drawing->Width(), 101) << "the picture in use is never reloaded in place";
  EXPECT_EQ(g.OverlayBitmap->Width(), 20);

  files.name.clear();
  dialog->btnOverlayBrowseClick(dialog->btnOverlayBrowse);
  EXPECT_FALSE(g.OverlayBitmap);
  EXPECT_TRUE(g.BitmapFileName.empty());
  EXPECT_TRUE(dialog->imgOverlayBitmap->Picture()->Graphic() == nullptr);
}

TEST_F(SettingsDialogTest, AFileThatIsNoPictureLeavesThePreviewEmpty) {
  const std::string bad = root_ + "/bad.bmp";
  apptest::WriteFile(bad, "not a picture");
  Open();
  files.name = bad;
  dialog->btnOverlayBrowseClick(dialog->btnOverlayBrowse);
  EXPECT_TRUE(dialog->imgOverlayBitmap->Picture()->Graphic() == nullptr);
  EXPECT_FALSE(g.OverlayBitmap);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(SettingsDialogTest, AnEmptiedIntervalStopsOkBeforeTheLaterPages) {
  Open();
  dialog->txtPrefix->SetText("Snap");
  dialog->txtCaptureCount->SetText("5");
  dialog->txtAutoShotInterval->SetText("");
  dialog->trkPictureSize->SetValue(150);
  dialog->mmoText->SetText("Cam 1");
  dialog->chkInvertColors->SetChecked(true);
  g.AutoShotFrameInterval = 30;
  EXPECT_THROW(dialog->ApplyAll(), rtl::EConvertError);
  EXPECT_EQ(vc->AutoFilePrefix(), "Snap");
  EXPECT_EQ(vc->BurstCount(), 5);
  EXPECT_EQ(g.AutoShotFrameInterval, 30);
  EXPECT_NE(vc->FrameCaptureZoomSize(), 150) << "the page stops at the interval";
  EXPECT_NE(vc->TextOverlay_String(), "Cam 1");
  EXPECT_FALSE(vc->VideoProcessing_InvertColors());
}

TEST_F(SettingsDialogTest, AnEmptiedIntervalThroughApplyShowsTheConversionError) {
  Open();
  ShowPage(TfrmSetting::pgShotFrame);
  dialog->txtAutoShotInterval->SetText("");
  dialog->txtPrefix->SetText("Snap");
  ClickAt(dialog->btnApply);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_NE(boxes.boxes[0].text.find("is not a valid integer value"), std::string::npos) << boxes.boxes[0].text;
  EXPECT_EQ(vc->AutoFilePrefix(), "Snap");
  EXPECT_TRUE(dialog->PageDirty(TfrmSetting::pgShotFrame)) << "the page was not written to its end";
}

TEST_F(SettingsDialogTest, OverlayPageWritesTextAndPlacement) {
  g.EnableOverlay = true;
  Open();
  dialog->mmoText->SetText("Cam 1");
  dialog->txtTextLeft->SetText("");
  dialog->txtTextWidth->SetText("");
  dialog->txtBitmapLeft->SetText("12");
  dialog->btnOverlayResetClick(dialog->btnOverlayReset);
  dialog->rdgTextAlign_[2]->SetChecked(true);
  dialog->ApplyAll();
  EXPECT_EQ(vc->TextOverlay_String(), "Cam 1");
  EXPECT_TRUE(vc->TextOverlay_Enabled());
  EXPECT_EQ(vc->TextOverlay_Left(), 0);
  EXPECT_EQ(vc->TextOverlay_Right(), 100);
  EXPECT_EQ(vc->TextOverlay_Align(), capture::tf_Right);
  EXPECT_EQ(g.BitmapOverlayLeft, 12);
  EXPECT_EQ(g.BitmapOverlaySize, 100);
  EXPECT_EQ(dialog->txtBitmapSize->Caption(), "100%");
  dialog->mmoText->SetText("");
  dialog->ApplyAll();
  EXPECT_FALSE(vc->TextOverlay_Enabled()) << "no text, no text overlay";
}

// --- The ASF dialog -----------------------------------------------------

class AsfDialogTest : public SettingsDialogTest {
protected:
  TfrmASFSetting* OpenAsf() {
    asf = new TfrmASFSetting(host, vc);
    asf->LoadFromComponent();
    return asf;
  }
  TfrmASFSetting* asf = nullptr;
};

TEST_F(AsfDialogTest, EditsTakeWholeNumbersAndEmptyMeansDefault) {
  vc->SetASFVideoWidth(320);
  vc->SetASFVideoBitRate(500000);
  asf = new TfrmASFSetting(host, vc);
  EXPECT_FALSE(asf->btnOK->Enabled());
  asf->LoadFromComponent();
  EXPECT_TRUE(asf->btnOK->Enabled()) << "showing the values counts as a change";
  EXPECT_EQ(asf->txtVideoWidth->Text(), "320");
  asf->txtVideoWidth->SetText("");
  asf->txtVideoBitRate->SetText("7");
  asf->txtVideoBitRate->SetText("7a");
  EXPECT_EQ(asf->txtVideoBitRate->Text(), "7");
  asf->SaveToComponent();
  EXPECT_EQ(vc->ASFVideoWidth(), -1);
  EXPECT_EQ(vc->ASFVideoBitRate(), 7);
}

TEST_F(AsfDialogTest, AClickedProfileReachesTheComponentAtOnce) {
  vc->SetASFProfile(-1);
  OpenAsf();
  const int count = asf->lstProfile->Items()->Count();
  ASSERT_GE(count, 3) << "the profile catalogue";
  asf->lstProfile->Items()->Clear();
  asf->lstProfileClick(asf->lstProfile);
  EXPECT_EQ(vc->ASFProfile(), -1) << "an empty list does nothing";
  asf->btnShowProfilesListClick(asf->btnShowProfilesList);
  EXPECT_EQ(asf->lstProfile->Items()->Count(), count);
  asf->lstProfile->SetItemIndex(2);
  asf->lstProfileClick(asf->lstProfile);
  EXPECT_EQ(vc->ASFProfile(), 2);
  EXPECT_EQ(asf->txtProfileIndex->Text(), "2");
}

TEST_F(AsfDialogTest, CancelKeepsTheClickedProfileAndDropsTheEdits) {
  vc->SetRecordingMethod(capture::rm_ASF);
  vc->SetASFVideoWidth(320);
  vc->SetASFProfile(-1);
  Open();
  int step = 0;
  Application->OnIdle = [&](TObject*, bool& done) {
    done = false;
    TfrmASFSetting* shown = nullptr;
    for (int i = 0; i < Screen->FormCount(); ++i)
      if (auto* f = dynamic_cast<TfrmASFSetting*>(Screen->Forms(i)); f && f->Visible()) shown = f;
    if (!shown) return;
    switch (step++) {
      case 0:
        shown->txtVideoWidth->SetText("640");
        shown->lstProfile->SetItemIndex(1);
        shown->lstProfileClick(shown->lstProfile);
        break;
      case 1: win::InjectKeyPress(win::VK_ESCAPE); break;
      default: break;
    }
  };
  dialog->btnASFSettingClick(dialog->btnASFSetting);
  EXPECT_GE(step, 2);
  EXPECT_EQ(vc->ASFProfile(), 1);
  EXPECT_EQ(vc->ASFVideoWidth(), 320);
  EXPECT_FALSE(dialog->PageDirty(TfrmSetting::pgCodec)) << "the ASF values are not a page change";
}

TEST_F(AsfDialogTest, DeinterlaceItemsFollowTheModesAndKeepTheirSelection) {
  vc->SetASFDeinterlaceMode(capture::adm_DeinterlaceInverseTelecine);
  OpenAsf();
  EXPECT_EQ(asf->cmbDeinterlace->ItemIndex(), 4);
  EXPECT_EQ(asf->cmbDeinterlace->Items()->Get(4), "Deinterlace Inverse Telecine");
  EXPECT_EQ(asf->cmbDeinterlace->Items()->Get(5), "Deinterlace Vertical Half Size Double Rate");
  IDS_ASFSETTING_COMBO_DEINTERLACE_4 = "Inverse Telecine";
  asf->ApplyLanguageTexts();
  EXPECT_EQ(asf->cmbDeinterlace->ItemIndex(), 4);
  EXPECT_EQ(asf->cmbDeinterlace->Items()->Get(4), "Inverse Telecine");
  asf->cmbDeinterlace->SetItemIndex(5);
  asf->SaveToComponent();
  EXPECT_EQ(vc->ASFDeinterlaceMode(), capture::adm_DeinterlaceVerticalHalfSizeDoubleRate);
}

}  // namespace
