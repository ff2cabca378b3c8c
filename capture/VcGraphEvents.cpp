// The running graph's events: drained on the GUI thread when the graph's
// message arrives, turned into flags, and acted on by the graph-event task
// outside the window procedure.
#include "capture/VcEngine.h"
#include "capture/VcLog.h"
#include "capture/VidCap.h"
#include "platform/mg/Events.h"

namespace capture {

bool HasFreeSpace(const String& Path);

void TVcEngine::ProcessGraphEvents() {
  while (MediaEvents) {
    long code = 0;
    intptr_t p1 = 0, p2 = 0;
    if (MediaEvents->GetEvent(&code, &p1, &p2, 0) < 0) break;
    switch (code) {
      case mg::EC_COMPLETE:
        FlagComplete = true;
        PostTask(TASK_GRAPH_NOTIFICATIONS);
        break;
      case mg::EC_ERRORABORT:
        // A clip that cannot be read on (cut short, damaged) would leave the
        // player waiting for an end that never comes: it ends here, told.
        if (State == es_PlayerOpen && GraphActive) {
          ReportIf(true, SEV_WARNING, "the clip cannot be read to its end", e_failed_to_render_file);
          FlagComplete = true;
          PostTask(TASK_GRAPH_NOTIFICATIONS);
          break;
        }
        [[fallthrough]];
      case mg::EC_PAUSED:
        if ((State == es_Recording || State == es_Reencoding) && GraphActive &&
            !HasFreeSpace(Sel.FinalRecordingPath)) {
          FlagDiskFull = true;
          PostTask(TASK_GRAPH_NOTIFICATIONS);
        }
        break;
      case mg::EC_BUFFERING_DATA:
        if ((p1 & 0xFF) != 0) {
          FlagBufferingStarted = true;
        } else {
          FlagLoading = false;
          FlagBufferingEnded = true;
        }
        PostTask(TASK_GRAPH_NOTIFICATIONS);
        break;
      case mg::EC_STREAM_CONTROL_STOPPED:
        FlagStreamControlStopped = true;
        PostTask(TASK_GRAPH_NOTIFICATIONS);
        break;
      case mg::EC_DEVICE_LOST:
        if (GraphActive) {
          FlagDeviceLost = true;
          PostTask(TASK_GRAPH_NOTIFICATIONS);
        }
        break;
      case mg::EC_LOADSTATUS:
        FlagLoading = true;
        break;
      case mg::EC_VIDEO_SIZE_CHANGED:
        // The new size is read from the renderer's connection.
        if (const auto& renderer = Attachments[da_Main].Renderer)
          for (const auto& pin : renderer->Pins())
            if (pin->Direction() == mg::PINDIR_INPUT) ReadVideoSizeFromPin(pin);
        LayoutDisplays();
        break;
      default:
        break;
    }
    if (MediaEvents) MediaEvents->FreeEventParams(code, p1, p2);
  }
}

void TVcEngine::HandleGraphNotifications() {
  if (FlagDeviceLost) {
    FlagDeviceLost = false;
    PostTask(TASK_DEVICE_LOST);
  }
  if (FlagStreamControlStopped) {
    FlagStreamControlStopped = false;
    FlagComplete = true;
  }
  if (FlagDiskFull) {
    FlagDiskFull = false;
    RecordingStarted = false;
    // The file written so far stays: the teardown must not take it for a
    // recording that never started and delete it with its number.
    SequenceNumber = -1;
    StopAll();
    if (CanRaiseEvent(Owner->OnDiskFull)) Owner->OnDiskFull(Owner);
  }
  if (FlagBufferingStarted) {
    FlagBufferingStarted = false;
    if (CanRaiseEvent(Owner->OnPlayerBufferingData)) Owner->OnPlayerBufferingData(Owner, true);
  }
  if (FlagBufferingEnded) {
    FlagBufferingEnded = false;
    if (CanRaiseEvent(Owner->OnPlayerBufferingData)) Owner->OnPlayerBufferingData(Owner, false);
  }
  if (FlagComplete) {
    FlagComplete = false;
    if (State == es_Reencoding) {
      ReencodingEnded = true;
      StopAll();
    } else if (State == es_PlayerOpen) {
      // The clip ended: the next run starts it again from the beginning.
      AtEnd = true;
      PausePlayerStep(false);
      AtEnd = true;
      if (CanRaiseEvent(Owner->OnPlayerEndOfStream)) Owner->OnPlayerEndOfStream(Owner);
    } else if (Latched.VideoSource != vs_VideoCaptureDevice && !VideoFromImages_RepeatIndefinitely) {
      EndGraphActivity();
      if (CanRaiseEvent(Owner->OnPlayerEndOfStream)) Owner->OnPlayerEndOfStream(Owner);
    }
  }
}

// A flag raised by a graph that is gone must not act on the next one: a
// stale end of stream would end a fresh source, a stale device loss would
// announce a device that works.
void TVcEngine::ClearGraphNotificationFlags() {
  FlagDeviceLost = FlagDiskFull = FlagComplete = FlagStreamControlStopped = false;
  FlagBufferingStarted = FlagBufferingEnded = FlagLoading = false;
}

}  // namespace capture
