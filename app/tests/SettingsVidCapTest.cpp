#include <gtest/gtest.h>

#include "app/SettingsStore.h"
#include "app/tests/AppTestUtil.h"
#include "capture/VcDevices.h"
#include "capture/VidCap.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Forms.h"
#include "platform/mg/ffmpeg/FfRegister.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/IniFile.h"

using namespace app;
using apptest::AppTest;

namespace {

// Answers the component's message boxes and keeps their texts.
class Boxes : public forms::TMessageBoxPresenter {
 public:
  int MessageBox(win::HWND, const forms::String& text, const forms::String&, win::UINT) override {
    texts.push_back(text);
    return forms::IDOK;
  }
  std::vector<std::string> texts;
};

// The settings file with a real capture control (no device plugged in).
class SettingsVidCapTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    // The installed encoders give the compressor lists.
    mg::ff::RegisterFfmpegFilters();
    capture::CreateDeviceLists();
    form = new forms::TForm(nullptr);
    vc = new capture::TVidCap(form);
    vc->SetParent(form);
  }
  void TearDown() override {
    delete form;
    capture::FreeDeviceLists();
    AppTest::TearDown();
  }
  void WriteIni(const std::string& text) { apptest::WriteFile(SettingsFileName(), text); }

  rtl::ScopedVirtualClock clock;
  Boxes boxes;
  forms::ScopedMessageBoxPresenter presenter{&boxes};
  forms::TForm* form = nullptr;
  capture::TVidCap* vc = nullptr;
  TGlobalVars g;
};

TEST_F(SettingsVidCapTest, DefaultsGoToTheComponent) {
  vc->SetASFProfile(4);
  vc->SetTextOverlay_Right(7);
  vc->SetAutoFileName(capture::fn_Sequential);
  IDS_SETTING_SHOTFRAME_FILEPREFIX = "Datei";
  SetDefaultSettings(g, vc);
  EXPECT_EQ(vc->ASFProfile(), -1);
  EXPECT_EQ(vc->TextOverlay_Right(), 100);
  EXPECT_EQ(vc->AutoFileName(), capture::fn_DateTime);
  EXPECT_EQ(vc->AutoFilePrefix(), "Datei") << "the prefix is the current language's";
  EXPECT_EQ(vc->CompressionMode(), capture::cm_CompressAfterRecording);
  EXPECT_TRUE(vc->MuteAudioRendering());
  EXPECT_TRUE(boxes.texts.empty());
}

TEST_F(SettingsVidCapTest, LoadedValuesReachTheComponentAndSavedOnesComeFromIt) {
  SetDefaultSettings(g, vc);
  WriteIni(
      "[Codec]\nCodecType=1\nCompressionMode=0\nVideoCodec=99\n"
      "[Shot]\nShotFrame=Snap\nBurstCount=4\nBitmapFormat=2\nPictrueSize=301\n"
      "[Overlay]\nOverlayText=Cam#13#101\nTextAlign=2\n"
      "[Effect]\nRotation=3\nHue=-90\nGrayScale=1\n"
      "[ASF]\nProfile=6\nFixFrameRate=1\n"
      "[Capture]\nEnableOverlay=1\nEnableAudioRecording=0\nEnableAudioRendering=1\n");
  ASSERT_GT(vc->GetVideoCompressorCount(), 1);
  ASSERT_LT(vc->GetVideoCompressorCount(), 99);
  vc->SetVideoCompressor(1);
  LoadSettings(g, vc);
  EXPECT_EQ(vc->RecordingMethod(), capture::rm_ASF);
  EXPECT_EQ(vc->CompressionMode(), capture::cm_NoCompression);
  EXPECT_EQ(vc->GetVideoCompressor(), 0) << "past the end of the list: the first";
  EXPECT_EQ(vc->AutoFilePrefix(), "Snap");
  EXPECT_EQ(vc->BurstCount(), 4);
  EXPECT_EQ(vc->FrameGrabberRGBFormat(), capture::fgf_RGB24);
  EXPECT_EQ(vc->FrameCaptureZoomSize(), 100);
  EXPECT_EQ(vc->TextOverlay_String(), "Cam\r\n1");
  EXPECT_EQ(vc->TextOverlay_Align(), capture::tf_Right);
  EXPECT_TRUE(vc->TextOverlay_Enabled());
  EXPECT_EQ(static_cast<int>(vc->VideoProcessing_Rotation()), 3);
  EXPECT_EQ(vc->VideoProcessing_Hue(), -90);
  EXPECT_TRUE(vc->VideoProcessing_GrayScale());
  EXPECT_EQ(vc->ASFProfile(), 6);
  EXPECT_TRUE(vc->ASFFixedFrameRate());
  EXPECT_FALSE(vc->AudioRecording());
  EXPECT_TRUE(vc->AudioDeviceRendering());
  EXPECT_TRUE(vc->MuteAudioRendering());

  vc->SetASFVideoWidth(640);
  vc->SetVideoProcessing_Saturation(-20);
  vc->SetMuteAudioRendering(false);
  SaveSettings(g, vc);
  rtl::TMemIniFile ini(SettingsFileName());
  EXPECT_EQ(ini.ReadString("ASF", "VideoWidth", ""), "640");
  EXPECT_EQ(ini.ReadString("Effect", "Saturation", ""), "-20");
  EXPECT_EQ(ini.ReadString("Overlay", "OverlayText", ""), "Cam#13#101");
  EXPECT_EQ(ini.ReadString("Codec", "CodecType", ""), "1");
  EXPECT_TRUE(vc->MuteAudioRendering()) << "saving mutes audio rendering";
}

TEST_F(SettingsVidCapTest, MissingFileLeavesTheComponentAlone) {
  SetDefaultSettings(g, vc);
  vc->SetASFProfile(9);
  LoadSettings(g, vc);
  EXPECT_EQ(vc->ASFProfile(), 9);
  rtl::TMemIniFile ini(SettingsFileName());
  EXPECT_EQ(ini.ReadString("ASF", "Profile", ""), "9") << "the file is written from the component";
}

}  // namespace

namespace {

// Keys without a check on reading pass any value on; the component applies
// its own limits, and one value it refuses costs nothing else.
TEST_F(SettingsVidCapTest, ComponentLimitsApplyToUncheckedKeys) {
  SetDefaultSettings(g, vc);
  WriteIni(
      "[Device]\nFrameRate=25\nAudioBalance=-100\n[Shot]\nBurstCount=3\n[Capture]\nAudioInputLevel=99999\n"
      "AudioInputBalance=-100\nSensitivity=4\n");
  LoadSettings(g, vc);
  EXPECT_DOUBLE_EQ(vc->GetFrameRate(), 25);
  EXPECT_EQ(vc->GetAudioInputLevel(), 32768) << "refused, the default stays";
  EXPECT_EQ(vc->GetAudioInputBalance(), -100);
  EXPECT_EQ(vc->BurstCount(), 3);
  EXPECT_EQ(g.Sensitivity, 4);
  ASSERT_EQ(boxes.texts.size(), 1u);
  EXPECT_EQ(boxes.texts[0], "Audio level value out of range");
}

}  // namespace
