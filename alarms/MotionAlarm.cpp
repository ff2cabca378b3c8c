// The motion events, the recording on motion and the pipeline's timers.
#include "alarms/MotionAlarm.h"

#include <algorithm>
#include <cmath>

#include "app/DataFolders.h"
#include "app/ResStr.h"
#include "platform/rtl/Clock.h"

namespace alarms {

using namespace forms;

namespace {
// A frame whose level stays at or below this counts as quiet.
constexpr double kQuietLevel = 0.9;
}  // namespace

TMotionAlarm::TMotionAlarm(app::TGlobalVars& globals, TAlarmHost& host, const TAlarmTimers& timers, TImage* image,
                           std::shared_ptr<mg::Scheduler> soundScheduler)
    : g_(globals),
      host_(host),
      timers_(timers),
      image_(image),
      player_(std::make_unique<mg::SoundPlayer>(std::move(soundScheduler))) {
  timers_.AlarmDelay->OnTimer = [this](TObject* s) { timerAlarmDelayTimer(s); };
  timers_.StopRecord->OnTimer = [this](TObject* s) { timerStopRecordTimer(s); };
  timers_.StartRecordVideo->OnTimer = [this](TObject* s) { timerStartRecordVideoTimer(s); };
  timers_.SavePicture->OnTimer = [this](TObject* s) { timerSavePictureTimer(s); };
  timers_.FreeSpaceDetection->OnTimer = [this](TObject* s) { timerFreeSpaceDetectionTimer(s); };
}

TMotionAlarm::~TMotionAlarm() {
  for (TTimer* t : {timers_.AlarmDelay, timers_.StopRecord, timers_.StartRecordVideo, timers_.SavePicture,
                    timers_.FreeSpaceDetection})
    if (t) t->OnTimer = nullptr;
}

uint32_t TMotionAlarm::SecondsToMs(double seconds) {
  const double ms = std::trunc(seconds * 1000);
  if (!(ms >= 1)) return 1;  // NaN, zero and negative settings alike
  return ms >= 4294967295.0 ? UINT32_MAX : static_cast<uint32_t>(ms);
}

uint32_t TMotionAlarm::WholeSecondsToMs(int32_t seconds) {
  return static_cast<uint32_t>(std::clamp<int64_t>(seconds, 1, UINT32_MAX / 1000) * 1000);
}

void TMotionAlarm::SetIntervalIfChanged(TTimer* timer, uint32_t ms) {
  // A new interval restarts the count; a running countdown keeps its phase.
  if (timer->Interval() != ms) timer->SetInterval(ms);
}

void TMotionAlarm::ArmStopTimer() {
  SetIntervalIfChanged(timers_.StopRecord, WholeSecondsToMs(g_.NoMotionDetectionDelayStopTime));
  timers_.StopRecord->SetEnabled(true);
}

void TMotionAlarm::VidCapMotionDetected(TObject*, double GlobalMotionRatio, const capture::TFrameData& FrameData,
                                        bool&) {
  // A ratio outside 0..1 (or not a number) would make no sense of the level.
  const double ratio = GlobalMotionRatio >= 0 ? std::min(GlobalMotionRatio, 1.0) : 0.0;
  g_.MotionRatio = static_cast<double>(static_cast<int64_t>(ratio * 100000));
  if (!g_.isMotionDetector) return;
  const double level = g_.MotionRatio / 100;
  if (level <= kQuietLevel) {
    ArmStopTimer();
    return;
  }
  timers_.StopRecord->SetEnabled(false);

  const double threshold = g_.MotioningBeginRecord ? 0.001 : g_.AlarmLine / 1000.0;
  if (host_.RecordingOnMotion_MotionThreshold() != threshold) host_.SetRecordingOnMotion_MotionThreshold(threshold);

  const uint32_t now = rtl::GetTickCount();
  if (g_.bRecordVideo && !host_.RecordingOnMotion_Enabled() && (g_.MotioningBeginRecord || g_.AlarmLine <= level)) {
    // A refused start is not tried again on every frame: each try would
    // show the hint once more.
    if (refusedStart_ && now - refusedTick_ < kRefusedStartPauseMs) {
    } else if (host_.Recording()) {
      // A recording runs already: the alarm's own goes on writing on
      // motion; the user's goes on as the user started it, since the
      // toggle would end it.
      if (ownsRecording_) {
        host_.SetRecordingOnMotion_Enabled(true);
        g_.AlarmRecording = true;
      }
    } else {
      refusedStart_ = false;
      host_.SetRecordingOnMotion_Enabled(true);
      if (!timers_.StartRecordVideo->Enabled()) {
        startPending_ = true;
        timers_.StartRecordVideo->SetEnabled(true);
      }
      g_.AlarmRecording = true;
    }
  } else if (!g_.bRecordVideo && host_.RecordingOnMotion_Enabled()) {
    host_.SetRecordingOnMotion_Enabled(false);
    if (g_.AlarmRecording) {
      g_.AlarmRecording = false;
      if (ownsRecording_ && host_.Recording()) {
        startPending_ = false;
        timers_.StartRecordVideo->SetEnabled(true);
      }
    }
  }

  if (g_.AlarmLine > level) {
    timers_.SavePicture->SetEnabled(false);
    g_.SavePictureDue = false;
    g_.FirstMotion = true;
    MotionStartTick = MotionLastTick = 0;
    return;
  }

  if (g_.SaveEachPicture) {
    g_.SavePictureDue = false;
  } else {
    SetIntervalIfChanged(timers_.SavePicture, SecondsToMs(g_.AlternationSavePicureTime));
    timers_.SavePicture->SetEnabled(true);
  }

  if (g_.FirstMotion) {
    MotionStartTick = MotionLastTick = now;
    g_.FirstMotion = false;
  } else {
    MotionLastTick = now;
  }
  const double delay = std::trunc(g_.AlarmDelay * 1000);
  const uint32_t delayMs = delay > 0 ? (delay >= 4294967295.0 ? UINT32_MAX : static_cast<uint32_t>(delay)) : 0;
  // Unsigned, so a count across the wrap of the tick counter still holds.
  if (MotionLastTick - MotionStartTick < delayMs) return;

  if (image_ && FrameData.Bitmap) image_->Picture()->Assign(FrameData.Bitmap);
  timers_.AlarmDelay->SetEnabled(true);
}

void TMotionAlarm::VidCapMotionNotDetected(TObject*, const capture::TFrameData&, bool&) {
  if (!g_.isMotionDetector) return;
  g_.MotionRatio = 0;
  g_.FirstMotion = true;
  MotionStartTick = MotionLastTick = 0;
  timers_.SavePicture->SetEnabled(false);
  g_.SavePictureDue = false;
  ArmStopTimer();
  if (player_->Playing()) {
    player_->Stop();
    player_->Close();
  }
}

void TMotionAlarm::timerStopRecordTimer(TObject*) {
  if (!g_.NoMotionStopRecording || !g_.AlarmRecording) return;
  // A recording the user started goes on until the user stops it.
  if (host_.Recording() && !ownsRecording_) return;
  g_.AlarmRecording = false;
  if (!timers_.StartRecordVideo->Enabled() && host_.Recording()) {
    startPending_ = false;
    timers_.StartRecordVideo->SetEnabled(true);
  }
  timers_.StopRecord->SetEnabled(false);
}

void TMotionAlarm::timerStartRecordVideoTimer(TObject*) {
  timers_.StartRecordVideo->SetEnabled(false);
  const bool wasRecording = host_.Recording();
  const bool wantStart = startPending_;
  startPending_ = false;
  // The toggle would start a recording where a stop was meant (the user
  // stopped it in between), or stop the user's where a start was meant.
  if (wantStart == wasRecording) return;
  host_.ToggleRecording();
  const bool recording = host_.Recording();
  if (!wasRecording && recording) ownsRecording_ = true;
  if (!recording) ownsRecording_ = false;
  if (wantStart && !recording) {
    refusedStart_ = true;
    refusedTick_ = rtl::GetTickCount();
  }
}

void TMotionAlarm::timerSavePictureTimer(TObject*) {
  timers_.SavePicture->SetEnabled(false);
  g_.SavePictureDue = true;
}

void TMotionAlarm::timerFreeSpaceDetectionTimer(TObject*) {
  g_.FreeSpaceMB = app::FreeSpaceMB(g_.StoragePath);
  if (!(g_.MinFreeSpace > g_.FreeSpaceMB && g_.NoEnoughSpcaeStopRecord)) return;
  timers_.FreeSpaceDetection->SetEnabled(false);
  g_.bRecordVideo = false;
  // The toggle starts a recording when none runs; the watch only stops.
  if (host_.Recording()) {
    host_.ToggleRecording();
    ownsRecording_ = false;
  }
  host_.ShowHint(app::IDS_MOTIONDETECTION_NOSPACE);
}

void TMotionAlarm::UserToggledRecording() {
  ownsRecording_ = false;
  startPending_ = false;
  refusedStart_ = false;
}

}  // namespace alarms
