// The graph lifecycle: the latch of the settings a graph uses, the change
// of the graph state, the teardown, and the frame of the rebuild that the
// start operations run.
#include <cmath>
#include <cstdio>

#include "capture/VcDeviceManager.h"
#include "capture/VcDevices.h"
#include "capture/VcEngine.h"
#include "capture/VcGraphHelpers.h"
#include "capture/VcLog.h"
#include "capture/VcWorker.h"
#include "capture/VidCap.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/StringUtils.h"
#include "platform/win/Dc.h"
#include "platform/rtl/Format.h"

namespace capture {

bool TVcEngine::SetGraphState(int32_t NewState, const String& Reason) {
  if (!MediaControl) return false;
  if (NewState != gs_Stopped && TimecodeReader) ReadTimeCode(CurrentFrameInfo);
  switch (NewState) {
    case gs_Stopped: {
      GraphActive = false;
      TraceLine(CF_BLUE, "ch graph state stopped " + Reason);
      const mg::HRESULT hr = MediaControl->Stop();
      GraphState = gs_Stopped;
      return hr >= 0;
    }
    case gs_Paused: {
      TraceLine(CF_BLUE, "ch graph state paused " + Reason);
      const mg::HRESULT hr = MediaControl->Pause();
      if (State == es_PlayerOpen && Latched.PlayerAudioRendering) SetPlaybackRate(1.0);
      GraphState = gs_Paused;
      PausedWithVMR7 = Latched.VideoRenderer == vr_VMR7;
      GraphActive = true;
      return hr >= 0;
    }
    case gs_Running: {
      TraceLine(CF_BLUE, "ch graph state running " + Reason);
      if (State == es_PlayerOpen) SetPlaybackRate(PlayerSpeedRatio);
      MediaControl->Stop();
      bool ran = MediaControl->Run() >= 0;
      if (!ran) {
        MediaControl->Stop();
        ran = MediaControl->Run() >= 0;
        if (ran) {
          TraceLine(CF_BLUE, "successfully restarted " + Reason);
        } else {
          TraceLine(CF_RED, "ERROR: failed to run " + Reason);
          MediaControl->Stop();
        }
      }
      // A graph that would not run is left stopped and inactive, so that no
      // one counts it, stops it or announces it as started.
      GraphState = ran ? gs_Running : gs_Stopped;
      GraphActive = ran;
      return ran;
    }
    default:
      return false;
  }
}

void TVcEngine::ClearGraph(bool ResetState) {
  const bool deviceWasRunning =
      UsesCaptureDevice() && (State == es_Preview || State == es_Recording) && GraphState != gs_Stopped;
  GraphActive = false;
  ChannelScanRunning = false;
  ScanStopRequest = false;
  SteppedPlayback = false;
  TraceLine(CF_PURPLE, "begin clear");

  SetGraphState(gs_Stopped, "clear");
  if (MultiplexedRole == mr_MultiplexedMaster) {
    for (TVcEngine* slave : Slave)
      if (slave && !slave->Destroying) slave->SetGraphState(gs_Stopped, "clearslaver");
  }
  TraceLine(CF_BLUE, "stopped");

  if (State == es_Recording) {
    // A recording that never started gives its sequence number back, unless
    // a later recording took the next one, and leaves no empty file.
    TSyncManager* manager = SyncManager();
    if (SequenceNumber != -1 && !RecordingStarted && manager &&
        manager->GetSequenceCount(Sel.SequenceKeyIndex) == SequenceNumber) {
      manager->ReleaseSequenceNumber(Sel.SequenceKeyIndex);
      if (Sel.CaptureFilePath == Sel.FinalRecordingPath) std::remove(Sel.CaptureFilePath.c_str());
    }
    SequenceNumber = -1;
  }

  if (ResetState) {
    State = es_Idle;
    SettingsLatched = false;
  }
  RecordingStarted = false;
  TraceLine(CF_BLUE, "cleared");

  ResetRunCounters();
  if (deviceWasRunning) ReadBackDeviceSettings();
  TraceLine(CF_BLUE, "saved");

  if (FilterGraph) {
    FilterGraph->SetNotifyWindow(nullptr, 0, 0);
    for (TDisplayAttachment& a : Attachments) ReleaseAttachment(a);
    RemoveAllFilters(*this);
  }
  MainVideoPin.reset();
  SecondVideoPin.reset();
  AudioPin.reset();
  VideoControlPin.reset();
  AudioControlPin.reset();
  VideoDeviceFilter.reset();
  AudioDeviceFilter.reset();
  DroppedFrames.reset();
  InputMixer.reset();
  SourceInputMixer.reset();
  ReleaseControlInterfaces();
  OverlayInterface.reset();
  ClearFrameGrab();
  // The images file is opened by each build and closed with its graph.
  ImagesFile.reset();
  MediaEvents.reset();
  MediaControl.reset();
  ReleasePlayer();
  AviMux.reset();
  FileSink.reset();
  AsfWriter.reset();
  AsfFileSink.reset();
  ReleaseAsfSinks();
  Periodic.ProgressSeeking.reset();
  VideoCompressorFilter.reset();
  AudioCompressorFilter.reset();
  GraphClock.reset();
  AviMasterStreamKind = 1;
  AudioRendered = false;
  ClearGraphNotificationFlags();
  FilterGraph2.reset();
  FilterGraph.reset();
  CaptureGraphBuilder.reset();
  DVFlag = MPEGFlag = WDMFlag = VideoPortFlag = DVFramePath = NoFrameGrabber = false;
  // A device this graph held for its own use is free again.
  if (InUseRef) {
    InUseRef->InUse = false;
    InUseRef = nullptr;
  }
  TraceLine(CF_GREY, "interfaces cl");

  if (!Destroying && Owner) Owner->Invalidate();
  TraceLine(CF_BLUE, "all cleared");
  RestoreSpeakerLevels();

  SyncStartState = 0;
  TraceLine(CF_PURPLE, "end clear");
}

void TVcEngine::UpdateProcessingFlags() {
  ColorProcessing = VideoProcessing_Brightness != 0 || VideoProcessing_Contrast != 0 ||
                    VideoProcessing_Saturation != 0 || VideoProcessing_Hue != 0 || VideoProcessing_GrayScale ||
                    VideoProcessing_InvertColors;
  const bool quarterTurn = VideoProcessing_Rotation == rt_90_deg || VideoProcessing_Rotation == rt_270_deg ||
                           VideoProcessing_Rotation == rt_90_deg_mirror ||
                           VideoProcessing_Rotation == rt_270_deg_mirror;
  GeometryProcessing = quarterTurn || DeinterlaceHalfSize;
}

bool TVcEngine::LatchSettings(bool AtCreation) {
  if (AtCreation) {
    BoundAudioDevice = -1;
    AssociatedAudioDevice = -1;
    return true;
  }
  ClearGraph(false);
  TLatchedSettings& l = Latched;
  l.FrameCaptureWithoutOverlay = FrameCaptureWithoutOverlay;
  l.FrameGrabber = FrameGrabber;
  l.FrameGrabberRGBFormat = FrameGrabberRGBFormat;
  // An ASF or streamed recording is compressed by its writer as it is
  // made; its capture file is the final file.
  l.CompressionMode =
      CompressionMode == cm_CompressAfterRecording && RecordingMethod != rm_AVI ? cm_NoCompression : CompressionMode;
  l.CompressionType = CompressionType;
  l.BurstCount = BurstCount;
  l.BurstInterval = BurstInterval;
  l.RecordingCanPause = false;
  l.RecordingInNativeFormat = RecordingInNativeFormat;
  l.AudioDeviceRendering = AudioDeviceRendering;
  l.PlayerAudioRendering = PlayerAudioRendering;
  l.VideoSource = VideoSource;
  l.SpeakerControl = SpeakerControl;
  l.AudioRecording = AudioRecording;
  l.VideoRenderer = VideoRenderer;
  l.MotionDetector_Enabled = MotionDetector_Enabled;
  l.RecordingMethod = RecordingMethod;
  l.NetworkStreaming = NetworkStreaming;
  l.HoldRecording = HoldRecording;
  l.PreallocCapFileEnabled = PreallocCapFileEnabled;
  l.PreallocCapFileCopiedAfterRecording = PreallocCapFileCopiedAfterRecording;
  l.FrameRate100 = FrameRate100;
  l.MultiplexedSlaveFrameRate100 = MultiplexedSlaveFrameRate100;
  l.RecordingOnMotion_MotionThreshold = RecordingOnMotion_MotionThreshold;
  l.RecordingOnMotion_Enabled = RecordingOnMotion_Enabled;
  l.RecordingOnMotion_NoMotionPauseDelayMs = RecordingOnMotion_NoMotionPauseDelayMs;
  ChosenVideoSubtype = -1;
  IncludeVideo = true;

  if (l.RecordingOnMotion_Enabled) {
    if (l.RecordingMethod != rm_AVI) {
      ReportIf(true, SEV_ERROR, "recording on motion not compatible with ASF, change to RecordingMethod = rm_AVI",
               e_recording_on_motion_failed);
      return false;
    }
    l.RecordingCanPause = true;
    l.HoldRecording = false;
  }
  UpdateProcessingFlags();
  if (BuildingFor == es_Preview && l.NetworkStreaming != ns_Disabled) l.AudioRecording = l.AudioDeviceRendering;

  bool result = true;
  EffectivePixelFormat = fgf_Default;
  if (l.FrameGrabber != fg_Disabled) {
    bool slaveMotion = false;
    if (MultiplexedRole == mr_MultiplexedMaster)
      for (TVcEngine* slave : Slave) slaveMotion |= slave && slave->MotionDetector_Enabled;
    if (MultiplexedRole == mr_MultiplexedSlave) {
      if (Master && (Master->State == es_Preview || Master->State == es_Recording)) {
        EffectivePixelFormat = Master->EffectivePixelFormat;
      } else {
        ReportIf(true, SEV_ERROR, "settings changed, the master component must be restarted",
                 e_must_restart_master);
        result = false;
      }
    } else if (l.MotionDetector_Enabled || ColorProcessing || GeometryProcessing || slaveMotion) {
      ChosenVideoSubtype = ChooseMotionRGBSubtype();
    } else if (l.FrameGrabberRGBFormat != fgf_Default) {
      EffectivePixelFormat = l.FrameGrabberRGBFormat;
      ChosenVideoSubtype = ChooseRGBSubtype(EffectivePixelFormat);
    } else {
      String name;
      if (GetSelectedSubtypeText(name)) EffectivePixelFormat = PixelFormatOfSubtype(name);
    }
  }
  // The subtype the grabber needs wins over the user's choice.
  ActiveFrameRate = l.FrameRate100;
  ActiveSubtypeIndex = ChosenVideoSubtype >= 0 ? ChosenVideoSubtype : DeviceSettings.Video[vds_VideoSubtype].IntValue;
  SettingsLatched = true;
  ResetRunCounters();
  ResetMotionForGraph();
  return result;
}

namespace {

int32_t FirstListed(const rtl::TStringList& list, std::initializer_list<const char*> names) {
  for (const char* name : names)
    for (int32_t i = 0; i < list.Count(); ++i)
      if (SubtypeEntryName(list[i]) == name) return i;
  return -1;
}

}  // namespace

TFrameGrabberRGBFormat TVcEngine::PixelFormatOfSubtype(const String& Name) const {
  const String n = rtl::Trim(Name);
  if (n == "RGB32") return fgf_RGB32;
  if (n == "RGB24") return fgf_RGB24;
  if (n == "RGB565") return fgf_RGB565;
  if (n == "RGB555") return fgf_RGB555;
  return ScreenColorDepth() == 24 ? fgf_RGB24 : fgf_RGB32;
}

bool TVcEngine::GetSelectedSubtypeText(String& Text) const {
  const int32_t index = DeviceSettings.Video[vds_VideoSubtype].IntValue;
  if (index < 0 || index >= Sel.VideoSubtypes.Count()) return false;
  Text = rtl::Trim(Sel.VideoSubtypes[index]);
  return true;
}

// Processing and the motion detector work on 24- or 32-bit frames; the
// subtype asked of the device follows the display's depth so the renderer
// needs no conversion of its own.
int32_t TVcEngine::ChooseMotionRGBSubtype() {
  int32_t depth = ScreenColorDepth();
  if (Latched.FrameGrabberRGBFormat == fgf_RGB32) depth = 32;
  if (Latched.FrameGrabberRGBFormat == fgf_RGB24) depth = 24;
  const rtl::TStringList& list = Sel.VideoSubtypes;
  struct Rule {
    int32_t depth;
    const char* name;
    TFrameGrabberRGBFormat format;
  };
  for (const Rule& r : {Rule{24, "RGB24", fgf_RGB24}, Rule{32, "RGB32", fgf_RGB32}, Rule{16, "RGB565", fgf_RGB32},
                        Rule{16, "RGB555", fgf_RGB32}}) {
    if (depth != r.depth) continue;
    const int32_t index = FirstListed(list, {r.name});
    if (index >= 0) {
      EffectivePixelFormat = r.format;
      return index;
    }
  }
  EffectivePixelFormat = depth == 24 ? fgf_RGB24 : fgf_RGB32;
  return FirstListed(list, {"RGB24", "RGB32", "RGB565", "RGB555"});
}

int32_t TVcEngine::ChooseRGBSubtype(TFrameGrabberRGBFormat Format) const {
  const rtl::TStringList& list = Sel.VideoSubtypes;
  switch (Format) {
    case fgf_RGB24: return FirstListed(list, {"RGB24", "RGB32", "RGB565", "RGB555"});
    case fgf_RGB32: return FirstListed(list, {"RGB32", "RGB24", "RGB565", "RGB555"});
    case fgf_RGB565: return FirstListed(list, {"RGB565", "RGB32", "RGB24"});
    case fgf_RGB555: return FirstListed(list, {"RGB555", "RGB565", "RGB32", "RGB24"});
    case fgf_RGB8: return FirstListed(list, {"RGB8", "RGB24", "RGB32", "RGB555", "RGB565"});
    default: return -1;
  }
}

void TVcEngine::ResetRunCounters() {
  Grab.CaptureRequested = false;
  Grab.BurstCaptureRequested = false;
  PausedRefreshCount = 3;
  LastFramePosition = -1;
  LastFrameTime = -1;
  PlayerStepInterval = static_cast<int32_t>(std::nearbyint(100.0 / NotificationPeriod));
  FrameCount = 0;
  DroppedBaseline = 0;
  CurrentFrameInfo = TFrameInfo{};
  RunTick = rtl::GetTickCount();
  SteppedPlayback = false;
  BackwardsPlayback = false;
  FirstFrame = true;
  Periodic.ResetRunCounters();
}

namespace {
TGraphBuildHook graphBuildHook;
}  // namespace

void SetGraphBuildHook(TGraphBuildHook Hook) { graphBuildHook = std::move(Hook); }

bool TVcEngine::BuildGraph(int32_t Target) {
  if (graphBuildHook) return graphBuildHook(*this, Target);
  // The base graph: the source and its pins.
  SequenceNumber = -1;
  if (!CreateBaseGraph()) return false;
  // The branches.
  State = Target;
  bool branches = false;
  if (Target == es_Preview) {
    branches = Latched.NetworkStreaming == ns_Disabled || SetUpOutput();
    if (branches && PreviewStreamNeeded()) branches = UsesDVSource() ? BuildNonNativeDVPreview() : BuildPreview();
  } else if (PrepareRecordingFile(OutputPath)) {
    if (UsesMPEGSource() && RecordsNativeStream()) {
      branches = BuildRawRecording() && (!PreviewStreamNeeded() || BuildPreview());
    } else if (SetUpOutput()) {
      if (!UsesDVSource())
        branches = BuildCaptureAndPreview();
      else if (RecordsNativeStream())
        branches = BuildDVCapture() && (!PreviewStreamNeeded() || BuildNonNativeDVPreview());
      else
        branches = BuildCaptureAndPreview();
    }
  }
  if (!branches) {
    ReportIf(true, SEV_TRACE_ONLY, "build graph failed", e_failed);
    return false;
  }
  if (!BuildAudioPath() || !FinishGraph(true, Latched.AudioRecording)) return false;
  TraceGraphTree();
  TraceLine(CF_DEFAULT, "Preview BUILDOWN END");
  FrameTimeBase = -1;
  MarkGraphBuilt();
  if (MultiplexedRole == mr_MultiplexedMaster)
    for (TVcEngine* slave : Slave)
      if (slave) slave->RestartGraph(Target);
  return true;
}

bool TVcEngine::ActivateGraph() {
  TraceLine(CF_BLUE, "begin activate graph");
  bool ok = false;
  if (State == es_Preview) {
    ok = SetGraphState(gs_Running, "bprev");
  } else if (State == es_Recording) {
    if (!UsesCaptureDevice() || Latched.RecordingOnMotion_Enabled || !Latched.HoldRecording) {
      ok = SetGraphState(gs_Running, "bldcapnor");
      // A recording on motion that begins quiet pauses at the first quiet
      // frame the motion step sees.
      if (ok && Latched.RecordingOnMotion_Enabled) NoMotionDeadline = rtl::GetTickCount() - 1000;
      // Only a recording whose graph runs has started.
      if (ok) RecordingStartedPostProcessing();
    } else {
      // Held: the graph runs with both streams stopped until
      // ResumeRecording releases them.
      SwitchStream(VideoControlPin, "video", false);
      SwitchStream(AudioControlPin, "audio", false);
      ok = SetGraphState(gs_Running, "bldcapnor");
      if (ok && CanRaiseEvent(Owner->OnRecordingReadyToStart)) Owner->OnRecordingReadyToStart(Owner);
    }
  }
  TraceLine(CF_BLUE, "end activate graph");
  if (ok) SyncStartState = 5;
  return ok;
}

void TVcEngine::RecordingStartedPostProcessing() {
  TraceLine(CF_BLUE, "BEGIN recording started post processing");
  RecordingStarted = true;
  FrameTimeBase = -1;
  PostRecordingEvent(qe_RecordingStarted, Sel.FinalRecordingPath);
  TraceLine(CF_BLUE, "END recording started post processing");
}

namespace {

// Traces the device of a list the engine uses now.
void TraceCurrentDevice(int32_t Index, const TDevices* List) {
  if (!List) return;
  if (Index >= 0 && Index < List->Count())
    TraceLine(CF_DEFAULT, "current " + List->Label + ": " + List->GetName(Index));
  else
    TraceLine(CF_DEFAULT, "no " + List->Label + " available.");
}

}  // namespace

bool TVcEngine::RestartGraph(int32_t Target) {
  if (!DeviceManagerExists() || (Target != es_Preview && Target != es_Recording) || !Owner) return false;
  if (UsesCaptureDevice() && VideoDevice >= VideoDeviceCount()) return false;
  if (UsesCaptureDevice() && VideoDeviceCount() == 0) {
    ReportIf(true, SEV_ERROR, "no video capture device", e_no_video_input_device);
    return false;
  }
  // A nested restart leaves the running build alone.
  if (RestartRunning) return false;
  RestartRunning = true;
  bool result = false;
  TraceLine(CF_DEFAULT, "BEGIN RestartGraph " + rtl::IntToStr(Target));
  EndGraphActivity();
  bool go = true;
  if (UsesCaptureDevice()) {
    // Binds the chosen devices when they are not bound yet (a change of the
    // chosen device binds it at once).
    EnsureDevicesBound();
    // The graph is built for a device whose formats are known.
    if (!DeviceSettings.Video[vds_DeviceDiscovered].BoolValue) {
      TraceLine(CF_RED, "device not discovered");
      go = false;
    }
  }
  if (go) {
    if (CanRaiseEvent(Owner->OnReinitializing)) Owner->OnReinitializing(Owner);
    SetBusyCursor(this, true);
    State = Target;
    ApplyNotificationPeriod();
    if (Target != es_Preview) PreviewPending = false;
    BuildingFor = Target;
    if (LatchSettings(false)) {
      State = Target;
      if (TraceOn() && UsesCaptureDevice()) {
        TraceCurrentDevice(VideoDevice, VideoCaptureDevices());
        TraceCurrentDevice(AudioDevice, AudioCaptureDevices());
        TraceCurrentDevice(Sel.VideoCompressor, VideoCompressors());
        TraceCurrentDevice(Sel.AudioCompressor, AudioCompressors());
        TraceYesNo(Latched.AudioRecording, CF_DEFAULT, "capture audio");
        TraceYesNo(Latched.AudioDeviceRendering, CF_DEFAULT, "render audio");
        TraceYesNo(ColorKeyEnabled, CF_DEFAULT, "transparency");
        TraceYesNo(DVReduceFrameRate, CF_DEFAULT, "DV reduce frame rate");
        TraceYesNo(Latched.CompressionMode == cm_CompressOnTheFly, CF_DEFAULT, "Compress on the fly");
        TraceYesNo(Latched.CompressionMode == cm_CompressAfterRecording, CF_DEFAULT, "Compress after recording");
      }
      result = BuildGraph(Target);
      if (result) ShowDisplays();
      // A graph built without a synchronized start runs at once.
      if (result && SyncStartState <= 1) SyncStartState = 3;
    }
    BuildingFor = es_Idle;
    SetBusyCursor(this, false);
  }

  TraceLine(CF_DEFAULT, "END RestartGraph");
  // The graph is activated before the outcome is judged: a graph built but
  // not running is a failed start, not a started one.
  if (result && SyncStartState == 3) {
    SyncStartState = 4;
    result = ActivateGraph();
  }
  if (!result) {
    // Nothing of a failed build stays: no half-built graph runs and the
    // device is free for the next start.
    ClearGraph(true);
    if (Target == es_Preview) {
      PreviewPending = true;
      ReportIf(true, SEV_ERROR, "failed to start preview", e_failed_to_start_preview);
    } else {
      RecordingStarted = false;
      ReportIf(true, SEV_ERROR, "failed to start Recording", e_failed_to_start_recording);
      if (Latched.CompressionMode == cm_CompressOnTheFly)
        ReportIf(true, SEV_WARNING, "compressor possibly not suited", e_compressor_possibly_not_suited);
    }
    String subtype;
    if (Target == es_Recording && GetSelectedSubtypeText(subtype) && rtl::LowerCase(subtype) == "divx")
      ReportIf(true, SEV_WARNING, "perhaps the DIVX codec is required but not installed on this platform.",
               w_divx_codec_not_installed);
    State = es_Idle;
  }
  RestartRunning = false;
  return result;
}

void TVcEngine::EndGraphActivity() {
  if (!GraphActive || EndingActivity) return;
  EndingActivity = true;
  GraphActive = false;
  if (MultiplexedRole == mr_MultiplexedMaster && (State == es_Preview || State == es_Recording))
    for (TVcEngine* slave : Slave)
      if (slave) slave->EndGraphActivity();
  const int32_t ended = State;
  switch (ended) {
    case es_Preview:
    case es_PlayerOpen:
      ClearGraph(true);
      break;
    case es_Recording: {
      RecordingWaitsForJob = false;
      const bool started = RecordingStarted;
      const String file = Sel.FinalRecordingPath;
      // The method the recording was made with decides, not one chosen
      // while it ran: its capture file is what waits for the job.
      const bool afterJob = Latched.RecordingMethod == rm_AVI;
      const bool compress = Latched.CompressionMode == cm_CompressAfterRecording && !Sel.CaptureFilePath.empty() &&
                            Sel.CaptureFilePath != file;
      ClearGraph(true);
      RecordingSuccess = started;
      if (started && afterJob && Latched.RecordingMethod != rm_Stream) {
        CurrentRecordingFile = file;
        WaitingRecordingFile = file;
        CompressAfterRecordingPending = compress;
        RecordingWaitsForJob = StartAfterRecordingJob();
        if (!RecordingWaitsForJob && compress) {
          // The job never ran: the recording is only in its capture file.
          ReportKeptCaptureFile(Sel.CaptureFilePath);
          RecordingSuccess = false;
          PostRecordingEvent(qe_RecordingCompleted, Sel.CaptureFilePath);
          break;
        }
      }
      if (!RecordingWaitsForJob) PostRecordingEvent(qe_RecordingCompleted, file);
      break;
    }
    case es_Reencoding: {
      const bool ended = ReencodingEnded;
      ClearGraph(true);
      OutputPath = KeptRecordingFileName;
      ProgressInfo.Percent = 100;
      ProgressInfo.Position = ProgressInfo.Duration;
      if (ended) PostEvent(ReencodingIsCopy ? qe_CopyPreallocDataProgress : qe_ReencodingProgress);
      CopySourceFile = ReencodingSource;
      CopyDestFile = ReencodingDest;
      CopySuccess = ended;
      PostEvent(ReencodingIsCopy ? qe_CopyPreallocDataCompleted : qe_ReencodingCompleted);
      if (RecordingWaitsForJob) {
        RecordingWaitsForJob = false;
        RecordingSuccess = ended;
        // A job stopped before its end leaves the recording where it was.
        if (!ended) ReportKeptCaptureFile(ReencodingSource);
        PostRecordingEvent(qe_RecordingCompleted, ended ? WaitingRecordingFile : ReencodingSource);
      }
      break;
    }
    default:
      break;
  }
  if (ended != es_Idle) PostEvent(qe_Inactive);
  EndingActivity = false;
}

}  // namespace capture
