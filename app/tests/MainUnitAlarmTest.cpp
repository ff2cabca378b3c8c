// The motion alarm in the main window started as the program starts it,
// against the simulated devices: the component's motion events start and
// stop alarm recordings through the window's own recording toggle, and a
// recording the user started with Start is left alone.
#include <algorithm>

#include "alarms/MotionAlarm.h"
#include "alarms/MotionDetection.h"
#include "app/MainUnit.h"
#include "app/Program.h"
#include "app/tests/AppTestUtil.h"
#include "capture/VcDeviceManager.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/MsgDialogs.h"
#include "platform/mg/SystemFilters.h"
#include "platform/mg/ffmpeg/FfRegister.h"
#include "platform/mg/sim/SimDevices.h"
#include "platform/rtl/Clock.h"
#include "platform/win/Api.h"

namespace {

using namespace app;

// Recordings are only counted: the component's own tests record for real.
class CountingCapture : public TMainCapture {
public:
  using TMainCapture::TMainCapture;
  int starts = 0, stops = 0;
  bool StartRecording() override { return ++starts, true; }
  void StopRecording() override { ++stops; }
};

// Answers every message box and dialog with OK, counting them.
class Answers : public forms::TMessageBoxPresenter, public forms::TDialogPresenter {
public:
  int shown = 0;
  int MessageBox(win::HWND, const String&, const String&, win::UINT) override { return ++shown, forms::IDOK; }
  int ShowDialog(forms::TCustomForm*) override { return ++shown, forms::mrOk; }
};

class MainWindowAlarm : public apptest::AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    mg::ff::RegisterFfmpegFilters();
    sim_ = mg::sim::SimDeviceProvider::Instance();
    sim_->Clear();
    sim_->Reset();
    mg::SystemDeviceEnum::AddProvider(sim_);
    main_ = StartProgram(exe_, false);
    auto c = std::make_unique<CountingCapture>(main_->VidCap);
    capture_ = c.get();
    main_->SetCapture(std::move(c));
    TGlobalVars& g = GlobalVars();
    g.MinFreeSpace = 0;
    g.bRecordVideo = true;
    g.bSavePicture = false;
    g.isMotionDetector = true;
    main_->ActionOtherDeviceCapture->Execute();
  }
  void TearDown() override {
    EndProgram();
    capture::FreeSyncManager();
    win::MSG msg;
    while (win::PeekMessageA(&msg, nullptr, win::WM_QUIT, win::WM_QUIT, win::PM_REMOVE)) {
    }
    mg::SystemDeviceEnum::RemoveProvider(sim_);
    sim_->Clear();
    AppTest::TearDown();
  }
  void Motion(double ratio, uint64_t ms) {
    bool captureFrame = false;
    capture::TFrameData frame;
    if (ratio > 0)
      main_->VidCap->OnMotionDetected(main_->VidCap, ratio, frame, captureFrame);
    else
      main_->VidCap->OnMotionNotDetected(main_->VidCap, frame, captureFrame);
    clock_.Advance(ms);
  }

  rtl::ScopedVirtualClock clock_;
  Answers answers_;
  forms::ScopedDialogPresenter dialogs_{&answers_};
  forms::ScopedMessageBoxPresenter boxes_{&answers_};
  std::shared_ptr<mg::sim::SimDeviceProvider> sim_;
  TfrmMain* main_ = nullptr;
  CountingCapture* capture_ = nullptr;
};

TEST_F(MainWindowAlarm, MotionRecordsIntoTheDaysAlarmFolderUntilItIsQuiet) {
  Motion(0.5, 20);
  EXPECT_EQ(capture_->starts, 1);
  EXPECT_EQ(main_->CaptureState, 1);
  EXPECT_TRUE(GlobalVars().AlarmRecording);
  EXPECT_EQ(main_->VidCap->StoragePath(), GlobalVars().TodayAlarmVideoPath);
  EXPECT_EQ(main_->VidCap->AutoFilePrefix(), "AlarmVideoFile");
  EXPECT_TRUE(main_->MotionAlarm()->OwnsRecording());
  EXPECT_EQ(answers_.shown, 0);
  Motion(0, 5020);
  EXPECT_EQ(capture_->stops, 1);
  EXPECT_EQ(main_->CaptureState, 0);
}

TEST_F(MainWindowAlarm, ARecordingStartedWithStartGoesOnThroughMotionAndQuiet) {
  main_->btnODStart->Click();
  ASSERT_EQ(main_->CaptureState, 1);
  Motion(0.5, 20);
  Motion(0.5, 20);
  Motion(0, 10'000);
  EXPECT_EQ(capture_->starts, 1);
  EXPECT_EQ(capture_->stops, 0);
  EXPECT_EQ(main_->CaptureState, 1);
  main_->btnODStart->Click();
  EXPECT_EQ(capture_->stops, 1);
}

// The motion settings button opens the settings window loaded from the
// record, with the detector on for its meter; OK stores what it shows, the
// detector goes back off as detection is off, and the window is freed.
TEST_F(MainWindowAlarm, MotionSettingsButtonOpensTheWindowAndOkStoresIt) {
  TGlobalVars& g = GlobalVars();
  g.AlarmLine = 420;
  g.Sensitivity = 8;
  g.isMotionDetector = false;
  main_->Capture().SetMotionDetector_Enabled(false);
  std::string loadedLine;
  bool detectorWhileOpen = false;
  int step = 0;
  alarms::TfrmMotionDetection* seen = nullptr;
  forms::Application->OnIdle = [&](forms::TObject*, bool& done) {
    done = false;
    alarms::TfrmMotionDetection* w = main_->MotionDetectionWindow();
    if (!w || !w->Visible() || step++ > 0) return;
    seen = w;
    loadedLine = w->VxedtAlarmLine->Text();
    detectorWhileOpen = main_->VidCap->MotionDetector_Enabled();
    w->trkSensitivityProccess->SetValue(2);
    w->VxEditAlternationSaveTime->SetText("4.5");
    w->btnOKClick(w->btnOK);
  };
  main_->btnMotinoDetectionSetting->Click();
  forms::Application->OnIdle = nullptr;
  ASSERT_NE(seen, nullptr) << "the window did not open";
  EXPECT_EQ(loadedLine, "420");
  EXPECT_TRUE(detectorWhileOpen);
  EXPECT_EQ(g.Sensitivity, 2);
  EXPECT_DOUBLE_EQ(g.AlternationSavePicureTime, 4.5);
  EXPECT_FALSE(main_->VidCap->MotionDetector_Enabled());
  EXPECT_EQ(main_->MotionDetectionWindow(), nullptr);
  for (int i = 0; i < forms::Screen->FormCount(); ++i)
    EXPECT_EQ(dynamic_cast<alarms::TfrmMotionDetection*>(forms::Screen->Forms(i)), nullptr) << "the window is freed";
}

}  // namespace
