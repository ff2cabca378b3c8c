// The engine's side of the notification worker: the task queue and the
// task table, the event queue and its dispatcher, the worker's cycle and
// the notification settings.
#include "capture/VcDeviceManager.h"
#include "capture/VcEngine.h"
#include "capture/VcLog.h"
#include "capture/VcWorker.h"
#include "capture/VidCap.h"

namespace capture {

// ---------------------------------------------------------------------------
// The worker's cycle

void TTaskThread::Cycle(TVcEngine* e, bool EventFirst) {
  if (EventFirst) {
    if (!e->EventQueue.Empty()) e->RaiseNextEvent();
    if (!e->TaskQueue.Empty()) e->RunNextTask();
  } else {
    if (!e->TaskQueue.Empty()) e->RunNextTask();
    if (!e->EventQueue.Empty()) e->RaiseNextEvent();
  }
  int32_t waiting = 3;
  if (e->SyncStartState.compare_exchange_strong(waiting, 4)) e->ActivateGraph();
  if (e->GraphActive) {
    e->PeriodicWork();
    if (e->HasDVTransport()) e->PollDVTransport();
  }
}

void TTaskThread::SafeCycle(TVcEngine* e, bool EventFirst) {
  // An exception from a handler must neither end the worker thread for good
  // nor leave the cycle lock or InTimer set, which would silence the worker
  // as surely. On the GUI thread it goes where the application's
  // exceptions go; on the worker thread it can only be traced.
  try {
    Cycle(e, EventFirst);
  } catch (...) {
    if (EventFirst && forms::Application) {
      forms::Application->HandleException(Owner);
    } else {
      try {
        throw;
      } catch (const std::exception& x) {
        TraceLine(CF_RED, String("worker: ") + x.what());
      } catch (...) {
        TraceLine(CF_RED, "worker: unknown exception");
      }
    }
  }
}

void TTaskThread::Execute() {
  while (PausePoint()) {
    if (BeginThreadCycle()) {
      TVcEngine* e = Owner->Engine();
      if (!e || e->Destroying)
        Terminate();
      else
        SafeCycle(e, /*EventFirst=*/false);
      EndCycle();
    }
    SleepPeriod();
  }
}

void TTaskThread::TimerTick(forms::TObject*) {
  if (InTimer()) return;
  SetInTimer(true);
  TVcEngine* e = Owner->Engine();
  if (!e || e->Destroying) {
    if (Timer()) Timer()->SetEnabled(false);
  } else if (TryBeginTimerCycle()) {
    SafeCycle(e, /*EventFirst=*/true);
    EndCycle();
  }
  SetInTimer(false);
}

// ---------------------------------------------------------------------------
// Worker lifetime and settings

void TVcEngine::StartWorker() {
  NotificationPeriod = EffectiveNotificationPeriod(NotificationSleepTime);
  Worker = std::make_unique<TTaskThread>("task", NotificationMethod, Owner, NotificationPeriod);
  Worker->SetPriority(NotificationPriority);
  Worker->Start();
}

void TVcEngine::EndWorker() {
  // The worker ends first; only then the queues are emptied, without
  // running what they hold.
  Worker.reset();
  StepThread.reset();
  TaskQueue.TakeAll();
  EventQueue.TakeAll();
}

void TVcEngine::SetNotificationMethod(TNotificationMethod Value) {
  NotificationMethod = Value;
  if (!DesignTime() && Worker) Worker->SetMode(Value);
}

void TVcEngine::SetNotificationPriority(rtl::TThreadPriority Value) {
  NotificationPriority = Value;
  if (!DesignTime() && Worker) Worker->SetPriority(Value);
}

void TVcEngine::SetNotificationSleepTime(int32_t Value) {
  if (!IsValidNotificationSleepTime(Value)) return;
  NotificationSleepTime = Value;
  NotificationPeriod = EffectiveNotificationPeriod(Value);
  ApplyNotificationPeriod();
}

void TVcEngine::ApplyNotificationPeriod() {
  const TNotificationPeriod p = NotificationPeriodFor(State, NotificationPeriod);
  if (Worker) Worker->SetPeriod(p.Period);
  PlayerStepInterval = p.PlayerStepInterval;
}

void SetBusyCursor(TVcEngine* Engine, bool Busy) {
  const int count = StepBusyCursor(Busy, Engine->BusyCursor, Engine->NormalCursor);
  TraceLine(CF_DEFAULT, String(Busy ? "cursor + " : "cursor - ") + std::to_string(count));
  if (Busy)
    Engine->Busy = true;
  else if (count == 0)
    Engine->Busy = false;
}

// ---------------------------------------------------------------------------
// Tasks

void TVcEngine::PostTask(int32_t Code) {
  if (Code >= 5)
    RunTask(Code);
  else if (Code >= 0)
    TaskQueue.Add(Code);
}

bool TVcEngine::RunNextTask() {
  if (TaskBusy) return false;
  TaskBusy = true;
  struct Clear {
    bool& flag;
    ~Clear() { flag = false; }
  } clear{TaskBusy};
  int32_t code = 0;
  const bool took = TaskQueue.TakeFirst(code);
  if (took) RunTask(code);
  return took;
}

void TVcEngine::RunTask(int32_t Code) {
  if (Code >= 9 && Owner && !Owner->Parent() && !Owner->ParentWindow()) {
    // Graph work needs a window handle: a control that has no parent gets
    // the device manager's hidden window.
    if (forms::TWinControl* hidden = DeviceManagerForm()) Owner->SetParent(hidden);
  }
  switch (Code) {
    case TASK_DEVICE_LOST:
      if (GraphActive) EndGraphActivity();
      PreviewPending = true;
      PostEvent(qe_DeviceLost);
      break;
    case TASK_START_CHANNEL_SCAN:
      StartChannelScan();
      break;
    case TASK_STEP_CHANNEL_SCAN:
      StepChannelScan();
      break;
    case TASK_END_ACTIVITY:
      if (GraphActive) EndGraphActivity();
      break;
    case TASK_START_PREVIEW:
      if (RestartGraph(es_Preview)) PostEvent(qe_PreviewStarted);
      break;
    case TASK_START_RECORDING:
      RestartGraph(es_Recording);
      break;
    case TASK_GRAPH_NOTIFICATIONS:
      HandleGraphNotifications();
      break;
    case TASK_STOP_PLAYER:  // the clip player
      if (State == es_PlayerOpen) PausePlayerStep(true);
      break;
    case TASK_SEEK_PLAYER:
      if (State == es_PlayerOpen) SeekPlayerToFrame(TrackBarPosition);
      break;
    case TASK_PLAYER_STEP:
      if (State == es_PlayerOpen && SteppedPlayback) PlayerStep(true);
      break;
    case TASK_OPEN_PLAYER:
      OpenPlayerTask();
      break;
    default:  // 1, 2, 12 and above 13 are no tasks
      break;
  }
}

// ---------------------------------------------------------------------------
// Events

bool TVcEngine::EventHandlerAssigned(TVcQueuedEvent Event) const {
  const TVidCap* c = Owner;
  if (!c) return false;
  switch (Event) {
    case qe_RecordingStarted: return static_cast<bool>(c->OnRecordingStarted);
    case qe_PreviewStarted: return static_cast<bool>(c->OnPreviewStarted);
    case qe_DeviceLost: return static_cast<bool>(c->OnDeviceLost);
    case qe_PlayerOpened: return static_cast<bool>(c->OnPlayerOpened);
    case qe_CopyPreallocDataProgress: return static_cast<bool>(c->OnCopyPreallocDataProgress);
    case qe_ReencodingProgress: return static_cast<bool>(c->OnReencodingProgress);
    case qe_ReencodingStarted: return static_cast<bool>(c->OnReencodingStarted);
    case qe_Inactive: return static_cast<bool>(c->OnInactive);
    case qe_TVChannelSelected: return static_cast<bool>(c->OnTVChannelSelected);
    case qe_TVChannelScanStarted: return static_cast<bool>(c->OnTVChannelScanStarted);
    case qe_RecordingCompleted: return static_cast<bool>(c->OnRecordingCompleted);
    case qe_ReencodingCompleted: return static_cast<bool>(c->OnReencodingCompleted);
    case qe_CopyPreallocDataCompleted: return static_cast<bool>(c->OnCopyPreallocDataCompleted);
    case qe_VideoDeviceSelected: return static_cast<bool>(c->OnVideoDeviceSelected);
    case qe_AudioDeviceSelected: return static_cast<bool>(c->OnAudioDeviceSelected);
    case qe_CreatePreallocFileStarted: return static_cast<bool>(c->OnCreatePreallocFileStarted);
    case qe_CreatePreallocFileCompleted: return static_cast<bool>(c->OnCreatePreallocFileCompleted);
    case qe_DiskFull: return static_cast<bool>(c->OnDiskFull);
    case qe_CopyPreallocDataStarted: return static_cast<bool>(c->OnCopyPreallocDataStarted);
    case qe_NoVideoDevices: return static_cast<bool>(c->OnNoVideoDevices);
    case qe_DirectNetworkStreamingHostUrl: return static_cast<bool>(c->OnDirectNetworkStreamingHostUrl);
    case qe_Reinitializing: return static_cast<bool>(c->OnReinitializing);
  }
  return false;
}

void TVcEngine::PostEvent(TVcQueuedEvent Event) {
  if (!DeviceManagerExists()) return;  // lost, as before the first control
  const TVcEventRecord record{Event, EventHandlerAssigned(Event), this, false, String()};
  if (EventNotificationSynchrone)
    RaiseEvent(record);
  else
    EventQueue.Add(record);
}

void TVcEngine::PostRecordingEvent(TVcQueuedEvent Event, const String& FileName) {
  if (!DeviceManagerExists()) return;
  TVcEventRecord record{Event, EventHandlerAssigned(Event), this, false, String()};
  record.HasFileName = true;
  record.FileName = FileName;
  if (EventNotificationSynchrone)
    RaiseEvent(record);
  else
    EventQueue.Add(record);
}

bool TVcEngine::RaiseNextEvent() {
  TVcEventRecord record;
  if (!EventQueue.TakeFirst(record)) return false;
  RaiseEvent(record);
  return true;
}

void TVcEngine::RaiseEvent(const TVcEventRecord& Record) {
  TVidCap* c = Owner;
  if (!Record.HandlerAssigned || !c) return;
  // The full guard also wants the control's window; the device events and
  // the device-lost event only a handler and an engine that lives on.
  auto full = [&](const auto& h) { return CanRaiseEvent(h); };
  auto light = [&](const auto& h) { return CanRaiseEventLight(h); };
  switch (Record.Event) {
    case qe_RecordingStarted:
      if (full(c->OnRecordingStarted)) c->OnRecordingStarted(c, Record.HasFileName ? Record.FileName : CurrentRecordingFile);
      break;
    case qe_PreviewStarted:
      if (full(c->OnPreviewStarted)) c->OnPreviewStarted(c);
      break;
    case qe_DeviceLost:
      if (light(c->OnDeviceLost)) c->OnDeviceLost(c);
      break;
    case qe_PlayerOpened:
      if (full(c->OnPlayerOpened)) c->OnPlayerOpened(c);
      break;
    case qe_CopyPreallocDataProgress:
      if (full(c->OnCopyPreallocDataProgress)) c->OnCopyPreallocDataProgress(c, ProgressInfo);
      break;
    case qe_ReencodingProgress:
      if (full(c->OnReencodingProgress)) c->OnReencodingProgress(c, ProgressInfo);
      break;
    case qe_ReencodingStarted:
      if (full(c->OnReencodingStarted)) c->OnReencodingStarted(c, CopySourceFile, CopyDestFile);
      break;
    case qe_Inactive:
      if (full(c->OnInactive)) c->OnInactive(c);
      break;
    case qe_TVChannelSelected:
      if (full(c->OnTVChannelSelected)) c->OnTVChannelSelected(c, ChannelInfo);
      break;
    case qe_TVChannelScanStarted:
      if (full(c->OnTVChannelScanStarted)) c->OnTVChannelScanStarted(c, ScanMinChannel, ScanMaxChannel);
      break;
    case qe_RecordingCompleted:
      if (full(c->OnRecordingCompleted)) c->OnRecordingCompleted(c, Record.HasFileName ? Record.FileName : CurrentRecordingFile, RecordingSuccess);
      break;
    case qe_ReencodingCompleted:
      if (full(c->OnReencodingCompleted))
        c->OnReencodingCompleted(c, CopySourceFile, CopyDestFile, CopySuccess);
      break;
    case qe_CopyPreallocDataCompleted:
      if (full(c->OnCopyPreallocDataCompleted))
        c->OnCopyPreallocDataCompleted(c, CopySourceFile, CopyDestFile, CopySuccess);
      break;
    case qe_VideoDeviceSelected:
      if (light(c->OnVideoDeviceSelected)) c->OnVideoDeviceSelected(c);
      break;
    case qe_AudioDeviceSelected:
      if (light(c->OnAudioDeviceSelected)) c->OnAudioDeviceSelected(c);
      break;
    case qe_CreatePreallocFileStarted:
      if (full(c->OnCreatePreallocFileStarted)) c->OnCreatePreallocFileStarted(c, PreallocFileName);
      break;
    case qe_CreatePreallocFileCompleted:
      if (full(c->OnCreatePreallocFileCompleted))
        c->OnCreatePreallocFileCompleted(c, PreallocFileName, PreallocFileCreated);
      break;
    case qe_DiskFull:
      if (full(c->OnDiskFull)) c->OnDiskFull(c);
      break;
    case qe_CopyPreallocDataStarted:
      if (full(c->OnCopyPreallocDataStarted)) c->OnCopyPreallocDataStarted(c, CopySourceFile, CopyDestFile);
      break;
    case qe_NoVideoDevices:
      if (full(c->OnNoVideoDevices)) c->OnNoVideoDevices(c);
      break;
    case qe_DirectNetworkStreamingHostUrl:
      if (full(c->OnDirectNetworkStreamingHostUrl))
        c->OnDirectNetworkStreamingHostUrl(c, HostUrl, HostName, HostPort);
      break;
    case qe_Reinitializing:
      if (full(c->OnReinitializing)) c->OnReinitializing(c);
      break;
  }
}

}  // namespace capture
