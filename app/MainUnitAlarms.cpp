// The motion alarm's place in the main window: the capture component's
// motion events and the alarm timers go to the alarm object, which reaches
// back for the recording toggle, the recording-on-motion switches and the
// hint window.
#include "alarms/MotionAlarm.h"
#include "alarms/MotionDetection.h"
#include "app/AlarmWorkers.h"
#include "app/MainUnit.h"
#include "app/WorkerStatus.h"

namespace app {

using namespace forms;

namespace {

class TMainAlarmHost : public alarms::TAlarmHost {
public:
  explicit TMainAlarmHost(TfrmMain* main) : main_(main) {}
  void ToggleRecording() override { main_->ToggleRecording(); }
  bool Recording() const override { return main_->CaptureState == 1; }
  bool RecordingOnMotion_Enabled() const override { return main_->VidCap->RecordingOnMotion_Enabled(); }
  void SetRecordingOnMotion_Enabled(bool value) override { main_->Capture().SetRecordingOnMotion_Enabled(value); }
  double RecordingOnMotion_MotionThreshold() const override {
    return main_->VidCap->RecordingOnMotion_MotionThreshold();
  }
  void SetRecordingOnMotion_MotionThreshold(double value) override {
    main_->VidCap->SetRecordingOnMotion_MotionThreshold(value);
  }
  void ShowHint(const String& text) override { ShowErrorHint(main_->Handle(), text); }

private:
  TfrmMain* main_;
};

class TMainMotionDetectionHost : public alarms::TMotionDetectionHost {
public:
  explicit TMainMotionDetectionHost(TfrmMain* main) : main_(main) {}
  bool MotionDetector_Enabled() override { return main_->VidCap->MotionDetector_Enabled(); }
  void SetMotionDetector_Enabled(bool value) override { main_->Capture().SetMotionDetector_Enabled(value); }
  void MotionDetector_SetGlobalSensitivity(int32_t value) override {
    main_->Capture().MotionDetector_SetGlobalSensitivity(value);
  }
  void ChangeStorageRoot(const String& base) override { main_->ChangeStorageRoot(base); }
  void StopMailTimer() override { main_->timerSendEmail->SetEnabled(false); }
  mg::SoundPlayer* MediaPlayer2() override {
    return main_->MotionAlarm() ? &main_->MotionAlarm()->MediaPlayer2() : nullptr;
  }
  win::HWND MainWindowHandle() override { return main_->Handle(); }

private:
  TfrmMain* main_;
};

}  // namespace

void TfrmMain::BuildMotionAlarm() {
  alarmHost_ = std::make_unique<TMainAlarmHost>(this);
  alarms::TAlarmTimers timers;
  timers.AlarmDelay = timerAlarmDelay;
  timers.StopRecord = timerStopRecord;
  timers.StartRecordVideo = timerStartRecordVideo;
  timers.SavePicture = timerSavePicture;
  timers.FreeSpaceDetection = timerFreeSpaceDetection;
  timers.SendEmail = timerSendEmail;
  timers.FTPUpload = timerFTPUpload;
  motionAlarm_ = std::make_unique<alarms::TMotionAlarm>(GlobalVars(), *alarmHost_, timers, ImagMotionDetection);
  VidCap->OnMotionDetected = [this](TObject* s, double ratio, const capture::TFrameData& frame, bool& capture) {
    if (motionAlarm_) motionAlarm_->VidCapMotionDetected(s, ratio, frame, capture);
  };
  VidCap->OnMotionNotDetected = [this](TObject* s, const capture::TFrameData& frame, bool& capture) {
    if (motionAlarm_) motionAlarm_->VidCapMotionNotDetected(s, frame, capture);
  };
  btnMotinoDetectionSetting->OnClick = [this](TObject* s) { btnMotinoDetectionSettingClick(s); };
}

void TfrmMain::btnMotinoDetectionSettingClick(TObject*) {
  // Modal, so a second click cannot come while it is open; the window is
  // made for this one use and freed when it closes.
  if (motionDetectionWindow_) return;
  TMainMotionDetectionHost host(this);
  std::unique_ptr<alarms::TfrmMotionDetection> window(new alarms::TfrmMotionDetection(this, host, GlobalVars()));
  motionDetectionWindow_ = window.get();
  struct Forget {
    alarms::TfrmMotionDetection*& slot;
    ~Forget() { slot = nullptr; }
  } forget{motionDetectionWindow_};
  window->LoadFromSettings();
  window->ShowModal();
}

// The mail and upload timers start the workers' runs.
void TfrmMain::BuildAlarmWorkers() {
  alarmWorkers_ = std::make_unique<TAlarmWorkers>(this, timerSendEmail, timerFTPUpload);
  timerSendEmail->OnTimer = [this](TObject* s) { timerSendEmailTimer(s); };
  timerFTPUpload->OnTimer = [this](TObject* s) { timerFTPUploadTimer(s); };
}

void TfrmMain::timerSendEmailTimer(TObject*) {
  if (alarmWorkers_) alarmWorkers_->timerSendEmailTimer();
}

void TfrmMain::timerFTPUploadTimer(TObject*) {
  if (alarmWorkers_) alarmWorkers_->timerFTPUploadTimer();
}

}  // namespace app
