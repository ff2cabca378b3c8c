#pragma once
// The motion alarm of the other-devices mode. The capture component
// reports every compared frame as with or without motion; from those
// reports this object keeps the motion level, starts and stops recordings
// on motion, counts how long motion stays at or above the alarm line, and
// once it has stayed for the alarm delay runs the alarm actions: pictures
// into the day's folder and the two queue folders, the mail and upload
// timers, the alarm sound, the alarm program and the alarm log.
//
// Everything runs on the GUI thread: the component raises the motion events
// from its timer-driven notification, and the timers are the main window's.
#include <cstdint>
#include <functional>
#include <memory>

#include "alarms/AlarmProgram.h"
#include "app/Globals.h"
#include "capture/VcTypes.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Timers.h"
#include "platform/mg/SoundPlayer.h"

namespace mg {
class Scheduler;
}

namespace alarms {

using rtl::String;

// What the alarm needs of the main window and its capture component.
class TAlarmHost {
public:
  virtual ~TAlarmHost() = default;
  // Starts a recording when none runs, stops the running one otherwise.
  virtual void ToggleRecording() = 0;
  // Whether a recording runs now.
  virtual bool Recording() const = 0;
  virtual bool RecordingOnMotion_Enabled() const = 0;
  virtual void SetRecordingOnMotion_Enabled(bool value) = 0;
  virtual double RecordingOnMotion_MotionThreshold() const = 0;
  virtual void SetRecordingOnMotion_MotionThreshold(double value) = 0;
  // Adds a line to the hint window (the text ends with a carriage return
  // when it comes from the language texts).
  virtual void ShowHint(const String& text) = 0;
};

// The main window's timers the alarm drives (all disabled at the start).
struct TAlarmTimers {
  forms::TTimer* AlarmDelay = nullptr;
  forms::TTimer* StopRecord = nullptr;
  forms::TTimer* StartRecordVideo = nullptr;
  forms::TTimer* SavePicture = nullptr;
  forms::TTimer* FreeSpaceDetection = nullptr;
  // Started here, handled by the mail and upload workers.
  forms::TTimer* SendEmail = nullptr;
  forms::TTimer* FTPUpload = nullptr;
};

class TMotionAlarm {
public:
  // Binds the timers' handlers (all but the mail and upload timers).
  // `image` holds the frame of the latest alarm. The alarm sound's graph
  // runs on `soundScheduler` when one is given.
  TMotionAlarm(app::TGlobalVars& globals, TAlarmHost& host, const TAlarmTimers& timers, forms::TImage* image,
               std::shared_ptr<mg::Scheduler> soundScheduler = nullptr);
  ~TMotionAlarm();
  TMotionAlarm(const TMotionAlarm&) = delete;
  TMotionAlarm& operator=(const TMotionAlarm&) = delete;

  // The capture component's motion events.
  void VidCapMotionDetected(forms::TObject* Sender, double GlobalMotionRatio, const capture::TFrameData& FrameData,
                            bool& CaptureFrame);
  void VidCapMotionNotDetected(forms::TObject* Sender, const capture::TFrameData& FrameData, bool& CaptureFrame);

  void timerStopRecordTimer(forms::TObject* Sender);
  void timerStartRecordVideoTimer(forms::TObject* Sender);
  void timerSavePictureTimer(forms::TObject* Sender);
  void timerFreeSpaceDetectionTimer(forms::TObject* Sender);
  // The alarm actions, once per start of the alarm-delay timer.
  void timerAlarmDelayTimer(forms::TObject* Sender);

  // The user pressed Start or Stop: a recording started by hand is the
  // user's, and no alarm toggle ends it.
  void UserToggledRecording();

  // Tick counts (milliseconds, 32 bits) of the first and latest frame of
  // the current run of motion at or above the line; 0 when reset.
  uint32_t MotionStartTick = 0;
  uint32_t MotionLastTick = 0;

  // The alarm sound's player.
  mg::SoundPlayer& MediaPlayer2() { return *player_; }
  TProgramLauncher& ProgramLauncher() { return launcher_; }
  // Whether the recording running now was started by the alarm.
  bool OwnsRecording() const { return ownsRecording_; }

  // After the alarm's start of a recording was refused (too little free
  // space), no new start is tried for this long.
  static constexpr uint32_t kRefusedStartPauseMs = 60'000;

  // Pictures an earlier run left queued go out now rather than at the next
  // alarm, each by its own action when that action is on.
  void ResumeDelivery();

private:
  // Interval helpers: settings may hold 0 or negative values, and a timer
  // of 0 ms would never fire.
  static uint32_t SecondsToMs(double seconds);
  // A whole-seconds setting: at least one second.
  static uint32_t WholeSecondsToMs(int32_t seconds);
  static void SetIntervalIfChanged(forms::TTimer* timer, uint32_t ms);
  void ArmStopTimer();
  void WritePictures(const String& stamp, String* picturePath, String* uploadName, std::vector<String>* failures);

  app::TGlobalVars& g_;
  TAlarmHost& host_;
  TAlarmTimers timers_;
  forms::TImage* image_;
  std::unique_ptr<mg::SoundPlayer> player_;
  TProgramLauncher launcher_;
  // Set when the alarm's toggle started the recording that runs.
  bool ownsRecording_ = false;
  // The pending toggle of timerStartRecordVideo is meant to start.
  bool startPending_ = false;
  // Tick of the last refused start; 0 when none stands.
  bool refusedStart_ = false;
  uint32_t refusedTick_ = 0;
  // Tick of the last picture written under "save each picture".
  bool pictureWritten_ = false;
  uint32_t lastPictureTick_ = 0;
};

}  // namespace alarms
