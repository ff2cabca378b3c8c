// The engine's side of motion detection: each frame the periodic work
// takes is compared with the one before, the two motion events are raised
// from the fourth frame of a graph on, and a recording on motion pauses
// after a quiet spell and resumes with the next motion.
#include "capture/VcEngine.h"
#include "capture/VcLog.h"
#include "capture/VidCap.h"
#include "platform/rtl/Clock.h"

namespace capture {

void TVcEngine::ResetMotionForGraph() {
  MotionActive = Latched.MotionDetector_Enabled;
  if (MotionDetector) {
    MotionDetector->FrameSizeChanged = true;
    MotionDetector->LastCompareTime = -1;
  }
  PreviousFrame.FreeBitmap();
  PreviousFrame = TFrameRecord{};
}

namespace {

TGrabberBlock* LockShiftBlock(const std::shared_ptr<mg::BaseFilter>& Grabber) {
  auto control = Grabber ? mg::QueryInterface<IVcGrabberControl>(Grabber) : nullptr;
  return control ? control->Init(gm_LockAndShift) : nullptr;
}

}  // namespace

bool TVcEngine::PauseRecordingStreams() {
  if (GraphState != gs_Running) return false;
  bool paused = false;
  if (TGrabberBlock* b = LockShiftBlock(Grab.VideoLockShift); b && !b->Paused) {
    b->Paused = true;
    Grab.RecordingPaused = true;
    Grab.PauseStart = b->LatestTime;
    paused = true;
  }
  if (TGrabberBlock* b = LockShiftBlock(Grab.AudioLockShift); b && !b->Paused) {
    b->Paused = true;
    paused = true;
  }
  return paused;
}

bool TVcEngine::ResumeRecordingStreams() {
  bool resumed = false;
  TGrabberBlock* video = LockShiftBlock(Grab.VideoLockShift);
  TGrabberBlock* audio = LockShiftBlock(Grab.AudioLockShift);
  if (video && video->Paused) {
    // The time spent paused, from the last sample written to the latest
    // one seen, comes off every later sample of both streams.
    Grab.PausedDuration += video->LatestTime - Grab.PauseStart;
    Grab.PauseStart = 0;
    Grab.RecordingPaused = false;
    video->Shift = Grab.PausedDuration;
    if (audio) audio->Shift = Grab.PausedDuration;
    video->Paused = false;
    resumed = true;
  }
  if (audio && audio->Paused) {
    audio->Paused = false;
    resumed = true;
  }
  return resumed;
}

void TVcEngine::MotionStep() {
  TImplMotionDetector& d = *MotionDetector;
  TFrameRecord& current = Grab.Current;
  const int64_t frameTime = current.Data.FrameTime;
  // Too soon after the last comparison: the frame is passed over entirely
  // and does not become the previous one.
  if (d.MinCompareInterval > 0 && d.LastCompareTime != -1 && frameTime - d.LastCompareTime < d.MinCompareInterval)
    return;
  const win::DIBSECTION* previous = PreviousFrame.Bitmap ? &PreviousFrame.Data.DIBSection : nullptr;
  const bool moved = d.Detect(previous, &current.Data.DIBSection, frameTime);
  PreviousFrame.FreeBitmap();

  // The current frame becomes the previous one; the event's frame data
  // points at it, so the handler's picture stays valid until the next one.
  const int32_t frameNumber = current.Data.FrameNumber;
  PreviousFrame.TakeFrom(current);
  if (frameNumber <= 3) return;

  bool captureFrame = false;
  if (moved) {
    if (CanRaiseEvent(Owner->OnMotionDetected))
      Owner->OnMotionDetected(Owner, d.GlobalMotionRatio, PreviousFrame.Data, captureFrame);
  } else if (CanRaiseEvent(Owner->OnMotionNotDetected)) {
    Owner->OnMotionNotDetected(Owner, PreviousFrame.Data, captureFrame);
  }

  if (!Latched.RecordingOnMotion_Enabled) return;
  const uint32_t now = rtl::GetTickCount();
  if (moved && d.GlobalMotionRatio >= Latched.RecordingOnMotion_MotionThreshold) {
    NoMotionDeadline = now + static_cast<uint32_t>(Latched.RecordingOnMotion_NoMotionPauseDelayMs);
    if (Sel.PausedByNoMotion) Owner->ResumeRecording();
  } else if (!Sel.PausedByNoMotion && static_cast<int32_t>(now - NoMotionDeadline) > 0) {
    // Compared as a difference, so the deadline holds across the tick
    // count's wrap after 49.7 days.
    Sel.PausedByNoMotion = PauseRecordingStreams();
  }
}

}  // namespace capture
