#include "capture/VcPeriodic.h"

#include <cmath>

#include "capture/VcEngine.h"
#include "capture/VidCap.h"

namespace capture {

void TVcEngine::PeriodicWork() {
  if (Periodic.Busy) return;
  Periodic.Busy = true;
  // Cleared also when a handler throws, or no pass would run again.
  struct Clear {
    bool& flag;
    ~Clear() { flag = false; }
  } clear{Periodic.Busy};
  switch (State) {
    case es_Preview:
    case es_Recording:
      PeriodicFrameProgress();
      break;
    case es_Reencoding:
      if (++Periodic.ProgressCycles >= kProgressEvery) {
        Periodic.ProgressCycles = 0;
        ReportProgress();
      }
      break;
    case es_PlayerOpen:
      PlayerPeriodicWork();
      break;
    default:
      break;
  }
  // A paused mixing renderer does not repaint by itself.
  if (PausedWithVMR7 && GraphState == gs_Paused)
    for (TDisplayAttachment& a : Attachments) RepaintAttachment(a);
}

void TVcEngine::PeriodicFrameProgress() {
  int32_t delivered = FrameCount;
  if (const auto& counters = Periodic.DroppedFrames) {
    mg::LONG dropped = 0;
    mg::LONG notDropped = 0;
    counters->GetNumDropped(&dropped);
    counters->GetNumNotDropped(&notDropped);
    // Drops while the device settles (the first 10 frames) do not count.
    if (notDropped < 10) DroppedBaseline = dropped;
    CurrentFrameInfo.DroppedFrames = dropped - DroppedBaseline;
    delivered = notDropped;
  }
  if (Periodic.FrameGrabberDisabled) {
    // No frame reaches the grabber: progress follows the delivered count,
    // once per change, not once per pass.
    const bool timecodeChanged = ReadTimeCode(CurrentFrameInfo);
    if (timecodeChanged || delivered != Periodic.LastDelivered) {
      Periodic.LastDelivered = delivered;
      CurrentFrameInfo.FrameNumber = delivered;
      RaiseFrameProgress();
    }
  } else if (Periodic.NewFrame.exchange(false) && TakePendingFrame()) {
    RaiseFrameProgress();
  }
}

void TVcEngine::RaiseFrameProgress() {
  TVidCap* c = Owner;
  if (Destroying) return;
  FrameBusy = true;
  if (c && CanRaiseEvent(c->OnFrameProgress)) c->OnFrameProgress(c, CurrentFrameInfo);
  ProcessFrame();
  FrameBusy = false;
}

void TVcEngine::ReportProgress() {
  const auto& seeking = Periodic.ProgressSeeking;
  if (!seeking) return;
  int64_t position = 0;
  if (seeking->GetCurrentPosition(&position) != mg::S_OK) return;
  ProgressInfo.Position = position;
  // A job cut short by a stop time ends there, not at the clip's end.
  const int64_t end = ReencodingEndPosition > 0 ? ReencodingEndPosition : ProgressInfo.Duration;
  // A job of no length has no percentage.
  if (end <= 0) return;
  const auto percent =
      static_cast<int32_t>(std::nearbyint(static_cast<double>(position) / static_cast<double>(end) * 100.0));
  if (percent > 100 || percent == Periodic.LastPercent) return;
  Periodic.LastPercent = percent;
  ProgressInfo.Percent = percent;
  PostEvent(Periodic.CopyingPreallocData ? qe_CopyPreallocDataProgress : qe_ReencodingProgress);
}

bool TVcEngine::HasDVTransport() const { return Periodic.ExtTransport != nullptr; }

bool TVcEngine::PollDVTransport() {
  if (++Periodic.DVPollCount < kDVPollEvery) return false;
  Periodic.DVPollCount = 0;
  mg::LONG mode = 0;
  if (!Periodic.ExtTransport || Periodic.ExtTransport->get_Mode(&mode) != mg::S_OK) return false;
  if (mode == Periodic.LastTransportMode) return false;
  Periodic.LastTransportMode = mode;
  Periodic.TransportState = mode;
  RaiseDVCommandCompleted();
  return true;
}


}  // namespace capture
