#pragma once
// What the alarm tests share: a program folder of their own, a settings
// record with its queues, the main window's alarm timers on the virtual
// clock, and a host that keeps the main window's recording toggle rules:
// the toggle stops a running recording (clearing recording on motion and
// the alarm-recording flag, switching the free-space watch off), and
// starts one otherwise unless free space is below the minimum, which it
// tells in the hint window and leaves nothing recording.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "alarms/MotionAlarm.h"
#include "app/Globals.h"
#include "app/ResStr.h"
#include "platform/forms/Graphics.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/Files.h"

namespace alarmtest {

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class HostRecorder : public alarms::TAlarmHost {
public:
  HostRecorder(app::TGlobalVars& g, forms::TTimer* freeSpace) : g_(g), freeSpace_(freeSpace) {}
  void ToggleRecording() override {
    if (recording) {
      calls.push_back("stop");
      recording = false;
      freeSpace_->SetEnabled(false);
      onMotion = false;
      g_.AlarmRecording = false;
      return;
    }
    calls.push_back("start");
    if (g_.MinFreeSpace > freeMB) {
      onMotion = false;
      g_.AlarmRecording = false;
      ShowHint(app::IDS_MOTIONDETECTION_NOSPACE);
      return;
    }
    recording = true;
    freeSpace_->SetEnabled(true);
    g_.AlarmRecording = true;
  }
  bool Recording() const override { return recording; }
  bool RecordingOnMotion_Enabled() const override { return onMotion; }
  void SetRecordingOnMotion_Enabled(bool v) override { onMotion = v; }
  double RecordingOnMotion_MotionThreshold() const override { return threshold; }
  void SetRecordingOnMotion_MotionThreshold(double v) override {
    threshold = v;
    ++thresholdWrites;
  }
  void ShowHint(const rtl::String& text) override { hints.push_back(text); }

  bool recording = false;
  bool onMotion = false;
  double threshold = 0.5;
  int thresholdWrites = 0;
  int64_t freeMB = 1'000'000;
  std::vector<std::string> calls;
  std::vector<std::string> hints;

private:
  app::TGlobalVars& g_;
  forms::TTimer* freeSpace_;
};

class AlarmTest : public ::testing::Test {
protected:
  // 5 March 2007, 09:04:07.045 on the wall clock.
  AlarmTest() : clock_(1'000'000, rtl::EncodeDateTime(2007, 3, 5, 9, 4, 7, 45)) {}

  void SetUp() override {
    char pattern[] = "/tmp/vorix-alarm-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    exe_ = root_ + "/prog/";
    savedExe_ = app::ExeFolder;
    app::ExeFolder = exe_;
    std::filesystem::create_directories(exe_);
    g_.MailQueue = std::make_unique<rtl::TStringList>();
    g_.AlarmTimes = std::make_unique<rtl::TStringList>();
    g_.UploadQueue = std::make_unique<rtl::TStringList>();
    g_.AlarmPictureSavePath = root_ + "/AlarmImags/";
    g_.AlarmVideoSavePath = root_ + "/AlarmVideos/";
    g_.TodayAlarmPicturePath = g_.AlarmPictureSavePath + "2007-3-5/";
    g_.TodayAlarmVideoPath = g_.AlarmVideoSavePath + "2007-3-5/";
    std::filesystem::create_directories(g_.TodayAlarmPicturePath);
    g_.LogPath = exe_ + "Log/";
    g_.StoragePath = root_ + "/";
    g_.isMotionDetector = true;
    for (auto* t : {&alarmDelay_, &stopRecord_, &startRecord_, &savePicture_, &freeSpace_, &sendEmail_, &upload_}) {
      *t = std::make_unique<forms::TTimer>(nullptr);
      (*t)->SetEnabled(false);
    }
    alarmDelay_->SetInterval(10);
    stopRecord_->SetInterval(2000);
    startRecord_->SetInterval(1);
    savePicture_->SetInterval(2000);
    freeSpace_->SetInterval(1000);
    sendEmail_->SetInterval(20000);
    upload_->SetInterval(2000);
    image_ = std::make_unique<forms::TImage>(nullptr);
    host_ = std::make_unique<HostRecorder>(g_, freeSpace_.get());
    frame_.SetPixelFormat(forms::pf24bit);
    frame_.SetSize(32, 24);
    frame_.Canvas()->Brush()->SetColor(forms::TColor(0x0000FF));
    frame_.Canvas()->FillRect(forms::TRect{0, 0, 32, 24});
    data_.Bitmap = &frame_;
  }

  void TearDown() override {
    alarm_.reset();
    app::ExeFolder = savedExe_;
    app::RestoreEnglishTexts();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  alarms::TMotionAlarm& Alarm() {
    if (!alarm_) {
      alarms::TAlarmTimers t;
      t.AlarmDelay = alarmDelay_.get();
      t.StopRecord = stopRecord_.get();
      t.StartRecordVideo = startRecord_.get();
      t.SavePicture = savePicture_.get();
      t.FreeSpaceDetection = freeSpace_.get();
      t.SendEmail = sendEmail_.get();
      t.FTPUpload = upload_.get();
      alarm_ = std::make_unique<alarms::TMotionAlarm>(g_, *host_, t, image_.get(), soundScheduler_);
    }
    return *alarm_;
  }

  // One compared frame: `level` on the 0..1000 scale, 0 for a frame
  // without motion. The clock then moves on by `ms`.
  void Frame(double level, uint64_t ms = 0) {
    bool capture = false;
    if (level == 0)
      Alarm().VidCapMotionNotDetected(nullptr, data_, capture);
    else
      Alarm().VidCapMotionDetected(nullptr, (level * 100 + 0.5) / 100000, data_, capture);
    if (ms) clock_.Advance(ms);
  }

  static std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  rtl::ScopedVirtualClock clock_;
  app::TGlobalVars g_;
  std::string root_, exe_, savedExe_;
  std::unique_ptr<forms::TTimer> alarmDelay_, stopRecord_, startRecord_, savePicture_, freeSpace_, sendEmail_,
      upload_;
  std::unique_ptr<forms::TImage> image_;
  std::unique_ptr<HostRecorder> host_;
  forms::TBitmap frame_;
  capture::TFrameData data_;
  std::shared_ptr<mg::Scheduler> soundScheduler_;
  std::unique_ptr<alarms::TMotionAlarm> alarm_;
};

}  // namespace alarmtest
