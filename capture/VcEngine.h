#pragma once
// The engine behind one capture control: every published value, what runs
// (the engine state) and how far its graph runs (the graph state), the
// preconditions of the start and stop operations, the reports, the latch
// of the settings a graph uses and the teardown of that graph.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "capture/VcDVTransport.h"
#include "capture/VcDisplay.h"
#include "capture/VcFrameGrab.h"
#include "capture/VcMotion.h"
#include "capture/VcPushSources.h"
#include "capture/VcPeriodic.h"
#include "capture/VcRegistry.h"
#include "capture/VcTypes.h"
#include "capture/VcWorker.h"
#include "platform/mg/CaptureGraphBuilder.h"
#include "platform/mg/Graph.h"
#include "platform/mg/Types.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/Threads.h"

namespace capture {

class TVidCap;
class TDevices;
class TCapDeviceInfo;
class TCrossbarTree;

// A renderer of one display: the filter, and whether it is in the graph;
// the window it is bound to (-1 none, 0 main, 1 dual), where its form was
// put last and the renderer's own window.
struct TDisplayAttachment {
  std::shared_ptr<mg::BaseFilter> Renderer;
  bool Shown = false;
  bool UsesVideoPort = false;
  int32_t Window = -1;
  TVideoRect Placement;
  std::shared_ptr<mg::IVideoWindow> RendererWindow;
  win::HWND RendererHandle = nullptr;
};
inline constexpr int32_t da_Main = 0;
inline constexpr int32_t da_Second = 1;
inline constexpr int32_t da_VideoPort = 2;

// The names of the device side of a graph, kept around a risky insertion
// so the graph can be put back: the list holds the filter names; the two
// fields name the filter and the pin the insertion started from.
class TSaveFilterState : public rtl::TStringList {
public:
  String PinFilterName;
  String PinName;
};

class TVcEngine : public TVcSettings {
public:
  explicit TVcEngine(TVidCap* Owner);
  ~TVcEngine();
  TVcEngine(const TVcEngine&) = delete;
  TVcEngine& operator=(const TVcEngine&) = delete;

  // ---- state -------------------------------------------------------------
  TVidCap* Owner = nullptr;
  // What runs: a TEngineState value. Written by the worker, read by the
  // streaming thread's frame callback too.
  std::atomic<int32_t> State{es_Idle};
  // How the graph runs: a TGraphState value, written only by SetGraphState.
  int32_t GraphState = gs_Stopped;
  // Set while the graph is paused or running; cleared when it stops and at
  // the start of every teardown. Atomic: the frame callbacks test it on
  // the streaming threads.
  std::atomic<bool> GraphActive{false};
  bool PausedWithVMR7 = false;
  // Set once the run-time part of the control's constructor finished;
  // reports do nothing before.
  bool Initialized = false;
  // Set by the control's destructor before anything is released; from then
  // on no event passes its guard.
  // Atomic: a worker thread reads it while the GUI thread destroys.
  std::atomic<bool> Destroying{false};
  // A preview is wanted: a later preview refresh restarts it from idle.
  bool PreviewPending = false;
  bool SettingsLatched = false;
  TLatchedSettings Latched;
  // Set by the latch: the video subtype chosen for the frame grabber (-1
  // none), whether the ASF writer takes video, and the grabber's pixel
  // format.
  int32_t ChosenVideoSubtype = -1;
  // The subtype the grabber's work needs of the device (an index into the
  // subtype list, -1 none) and the pixel format a subtype name stands for.
  int32_t ChooseMotionRGBSubtype();
  int32_t ChooseRGBSubtype(TFrameGrabberRGBFormat Format) const;
  TFrameGrabberRGBFormat PixelFormatOfSubtype(const String& Name) const;
  bool GetSelectedSubtypeText(String& Text) const;
  bool IncludeVideo = true;
  TFrameGrabberRGBFormat EffectivePixelFormat = fgf_Default;
  // Derived from the video-processing settings.
  bool ColorProcessing = false;
  bool GeometryProcessing = false;
  // The recording's sequence number, -1 when it took none.
  int32_t SequenceNumber = -1;
  bool RecordingStarted = false;
  // Atomic: the device manager's timer releases a synchronized start while
  // a worker thread may be looking.
  std::atomic<int32_t> SyncStartState{0};
  bool ChannelScanRunning = false;
  // The last tuning took its frequency from a user override.
  bool OverridesInUse = false;
  bool SteppedPlayback = false;
  bool BackwardsPlayback = false;
  // The four device-binding flags and the bound devices (-1 none).
  int32_t BoundVideoDevice = -1;
  int32_t BoundAudioDevice = -1;
  int32_t AssociatedAudioDevice = -1;

  // ---- device lists, binding, per-device settings, device dialogs --------
  // Re-entry guards of the two bindings, and whether a binding completed.
  bool VideoDeviceBinding = false;
  bool AudioDeviceBinding = false;
  bool VideoDeviceReady = false;
  bool AudioDeviceReady = false;
  bool FirstIdleDone = false;
  // The bound device's selected size; 320 x 240 until one is known.
  int32_t VideoWidth = 320;
  int32_t VideoHeight = 240;
  // The list entry this engine holds for exclusive use; the teardown
  // clears its InUse flag and forgets it.
  TCapDeviceInfo* InUseRef = nullptr;
  TDeviceSettingsRecords DeviceSettings;
  int32_t FindDeviceIndex(const String& NamesText, const String& Name);
  bool BindDevice(const std::shared_ptr<mg::IFilterGraph2>& Graph, TDevices* List, const String& InputName,
                  bool LogIt, TCapDeviceInfo*& InUseRef, bool ExclusiveUse, std::shared_ptr<mg::BaseFilter>& Filter,
                  const String& FilterName, int32_t& Index);
  bool BindListEntry(const std::shared_ptr<mg::IFilterGraph2>& Graph, TDevices* List, bool LogIt,
                     std::shared_ptr<mg::BaseFilter>& Filter, const String& FilterName, int32_t& Index);
  bool BindByName(const mg::GUID& Category, const String& Name, std::shared_ptr<mg::BaseFilter>& Filter,
                  int32_t Mode);
  bool BindVideoDevice();
  bool BindAudioDevice();
  // Binds what is not bound yet; the audio binding's result.
  bool BindChosenDevices();
  void PrepareAtFirstIdle();
  bool DiscoverVideoDevice();
  bool DiscoverAudioDevice();
  bool GetSelectedVideoSize(int32_t Index, int32_t& Width, int32_t& Height);
  void ResetVideoDeviceSettings();
  void ResetAudioDeviceSettings();
  void ResetGlobalSettings();
  bool LoadVideoDeviceSettings();
  bool LoadAudioDeviceSettings();
  bool LoadGlobalSettings();
  void SaveVideoDeviceSettings();
  void SaveAudioDeviceSettings();
  void SaveGlobalSettings();
  bool LoadFormatCache();
  String BoundVideoDeviceKey() const;
  String BoundAudioDeviceKey() const;
  // Dialog kinds 0 to 11; false for any other kind.
  bool ShowDialog(int32_t Kind);

  // Multiplexing: the slaves of a master and the master of a slave.
  TVcEngine* Slave[4] = {nullptr, nullptr, nullptr, nullptr};
  TVcEngine* Master = nullptr;

  // The graph and what the builders hold of it; all released by the
  // teardown. FilterGraph2 is the same graph, used to add device filters.
  std::shared_ptr<mg::FilterGraph> FilterGraph;
  std::shared_ptr<mg::IFilterGraph2> FilterGraph2;
  std::shared_ptr<mg::CaptureGraphBuilder> CaptureGraphBuilder;
  std::shared_ptr<mg::IMediaControl> MediaControl;
  std::shared_ptr<mg::IMediaEventEx> MediaEvents;
  std::shared_ptr<mg::BaseFilter> VideoDeviceFilter;
  std::shared_ptr<mg::BaseFilter> AudioDeviceFilter;
  // The pins the branches start from; builders consume them and put the
  // next pin of the chain back.
  std::shared_ptr<mg::Pin> MainVideoPin;
  std::shared_ptr<mg::Pin> SecondVideoPin;
  std::shared_ptr<mg::Pin> AudioPin;
  std::shared_ptr<mg::Pin> VideoControlPin;
  std::shared_ptr<mg::Pin> AudioControlPin;
  std::shared_ptr<mg::IAMDroppedFrames> DroppedFrames;
  std::shared_ptr<mg::IAMAudioInputMixer> InputMixer;
  std::shared_ptr<mg::IOverlay> OverlayInterface;
  // What the source pins told of the device (reset by the teardown).
  bool DVFlag = false;
  bool MPEGFlag = false;
  bool WDMFlag = false;
  bool VideoPortFlag = false;
  bool DVFramePath = false;
  // Set while a device dialog builds a graph of its own.
  bool DeviceDialogMode = false;
  // The pin category of later lookups.
  mg::GUID PinCategory = mg::PIN_CATEGORY_CAPTURE;
  // No grabber delivers frames in this graph.
  bool NoFrameGrabber = false;
  // The first frame's time, -1 until set.
  // Atomic: the graph build and a recording start reset it while the
  // streaming thread counts frames.
  std::atomic<int64_t> FrameTimeBase{-1};
  bool Interlaced = false;
  int32_t VideoPortWidth = 0;
  int32_t VideoPortHeight = 0;
  // The renderers of the main display, the second display and the video
  // port.
  TDisplayAttachment Attachments[3];

  // ---- graph building -----------------------------------------------------
  bool UsesDVSource() const;
  bool UsesMPEGSource() const;
  bool CompressesVideoOnTheFly() const;
  bool RecordsNativeStream() const;
  bool RecordsNativeMPEG() const;
  bool NativeRecordingWithPreview() const;
  bool PreviewStreamNeeded() const;
  bool ASFWriterNeeded() const;
  bool VideoCompressorNeeded() const;
  bool AudioCompressorNeeded() const;
  bool CreateFilterGraph();
  bool CreateBaseGraph();
  bool CreateDeviceGraph();
  bool RetrieveSourcePins();
  void AddAudioSource();
  bool IsHauppaugePVR() const;
  bool ConnectToNamedInput(std::shared_ptr<mg::Pin>& OutPin, const std::shared_ptr<mg::BaseFilter>& Filter,
                           const String& Name);
  bool SetUpOutput();
  bool FinishGraph(bool SetNoGrabberFlag, bool CapturesAudio);
  void MarkGraphBuilt();
  bool BuildPreview();
  bool BuildNonNativeDVPreview();
  bool BuildAudioPath();
  bool BuildVideoPortPath();
  // Filter insertion and connection.
  bool AddFilterToGraph(const std::shared_ptr<mg::BaseFilter>& Filter, const String& Label);
  bool ConnectPins(const std::shared_ptr<mg::Pin>& OutPin, const std::shared_ptr<mg::Pin>& InPin);
  bool ConnectToInput(bool ByMediaType, std::shared_ptr<mg::Pin>& Pin, const mg::GUID& MajorType,
                      const std::shared_ptr<mg::BaseFilter>& Filter);
  bool ConnectToMux(bool ByMediaType, std::shared_ptr<mg::Pin>& Pin, const mg::AM_MEDIA_TYPE* MediaType,
                    std::shared_ptr<mg::Pin>& ControlPin, const mg::GUID& MajorType,
                    const std::shared_ptr<mg::BaseFilter>& Mux);
  bool InsertFilterInline(const mg::CLSID& Class, const String& Label, std::shared_ptr<mg::Pin>& Pin,
                          const mg::GUID* OutputType, std::shared_ptr<mg::BaseFilter>& Filter);
  bool InsertFilterInline(const mg::CLSID& Class, const String& Label, std::shared_ptr<mg::Pin>& Pin,
                          const mg::GUID* OutputType);
  bool InsertFilter2(const mg::CLSID& Class, const String& Label, std::shared_ptr<mg::Pin>& Output2,
                     std::shared_ptr<mg::Pin>& Output1, std::shared_ptr<mg::Pin>& Pin);
  bool AddDisplayRenderer(const String& Label, TDisplayAttachment& Attachment, bool AllowMixingRenderer);
  bool AddDisplayRendererGetInput(const String& Label, TDisplayAttachment& Attachment, bool AllowMixingRenderer,
                                  std::shared_ptr<mg::Pin>& InputPin);
  void ReadVideoSizeFromPin(const std::shared_ptr<mg::Pin>& Pin);
  bool TerminateWithNullRenderer(std::shared_ptr<mg::Pin>& Pin, bool ReadSize);
  void InsertOverlayMixer(std::shared_ptr<mg::Pin>& Pin);
  bool InsertRendererWithRestore(std::shared_ptr<mg::Pin>& Pin);
  std::unique_ptr<TSaveFilterState> SaveFilterState(const std::shared_ptr<mg::Pin>& Pin);
  bool RestoreFilterState(const TSaveFilterState& State, std::shared_ptr<mg::Pin>& Pin);
  void TraceGraphTree();
  // The display stage: the renderer chosen for the source, the pin
  // rendered into it.
  bool InstallDisplay(std::shared_ptr<mg::Pin>& Pin, bool AllowMixingRenderer);
  bool InsertVideoDisplay(std::shared_ptr<mg::Pin>& Pin);
  void ReleaseAttachment(TDisplayAttachment& Attachment);

  // ---- video formats -------------------------------------------------------
  // Set while a one-time discovery runs: the device's values are read, not
  // applied.
  bool DiscoveryMode = false;
  // The frame rate (hundredths) and subtype entry the graph being built
  // asks of the device; taken when the settings are latched.
  int32_t ActiveFrameRate = 2997;
  int32_t ActiveSubtypeIndex = 0;
  // Hundredths, read from the device after a build.
  int32_t DeviceFrameRate = 0;
  bool RunVideoDiscovery();
  void DiscoverWdmFormats(const std::shared_ptr<mg::Pin>& Pin);
  void DiscoverVfwFormats();
  void WalkSizesFromCaps(uint32_t W, uint32_t H, uint32_t MinW, uint32_t MinH, uint32_t MaxW, uint32_t MaxH);
  void WalkSizes(uint32_t W, uint32_t H, uint32_t MinW, uint32_t MinH, uint32_t MaxW, uint32_t MaxH);
  void AddVideoSize(int32_t Width, int32_t Height);
  void AddVideoSubtype(const mg::AM_MEDIA_TYPE& MediaType);
  void AddPinSubtypes(const std::shared_ptr<mg::Pin>& Pin);
  void FinishFormatLists();
  void WriteFormatCacheEntries();
  bool GetVideoSizeAt(int32_t Index, int32_t& Width, int32_t& Height);
  bool ComputeSelectedVideoSize(int32_t Index, int32_t& Width, int32_t& Height);
  bool GetEffectiveSubtype(mg::GUID& Subtype);
  // The selected format put on the capture pin: by capabilities, by editing
  // the current format, then the frame rate alone.
  void ApplySelectedVideoFormat();
  bool ApplyVideoFormatByCaps(const std::shared_ptr<mg::Pin>& CapturePin);
  bool ApplyStreamCaps(int32_t Width, int32_t Height, const mg::GUID& Subtype);
  bool ApplyVideoFormat();
  bool ApplyFrameRate();
  bool ApplyDVSubtype();
  bool SetFrameDuration(int32_t Kind, mg::AM_MEDIA_TYPE& MediaType);
  void ReadCurrentVideoFormat();
  bool ReadFormatFrameRate(int32_t& Rate);
  void ReadDeviceFrameRate();
  // The first type the pin offers of the effective subtype (and format
  // type, when given); false when none.
  bool FindPinMediaType(const std::shared_ptr<mg::Pin>& Pin, const mg::GUID* FormatType, mg::AM_MEDIA_TYPE& Found);
  // The DV signal's line count is not read before the transport exists:
  // false, nothing known.
  bool ReadDVSignalStandard();

  // ---- device control interfaces --------------------------------------------
  std::shared_ptr<mg::IAMTVTuner> TVTuner;
  std::shared_ptr<mg::IAMAnalogVideoDecoder> AnalogDecoder;
  std::shared_ptr<mg::IAMStreamConfig> StreamConfig;
  std::shared_ptr<mg::IAMVideoProcAmp> VideoProcAmp;
  std::shared_ptr<mg::IAMCameraControl> CameraControl;
  std::shared_ptr<mg::IAMVideoControl> VideoControl;
  std::shared_ptr<mg::IAMExtTransport> ExtTransport;
  std::shared_ptr<mg::IAMTimecodeReader> TimecodeReader;
  std::shared_ptr<mg::IAMTVAudio> TVAudio;
  std::shared_ptr<mg::IAMCrossbar> VideoCrossbar;
  std::shared_ptr<mg::IAMCrossbar> AudioCrossbar;
  // The video output the interfaces were found on.
  std::shared_ptr<mg::Pin> SourcePin;
  bool DiscoverControlInterfaces(const std::shared_ptr<mg::Pin>& Pin);
  void ReadVideoQualityRanges();
  void ReadCameraControlRanges();
  void ApplyVideoQuality();
  void ApplyCameraControl();
  void ReadVideoControlCaps(const std::shared_ptr<mg::Pin>& Pin);
  void ApplyVideoControlMode();
  void ReleaseControlInterfaces();

  // ---- crossbars, TV tuner and DV transport ----------------------------------
  // Made when both crossbars exist and AutoConnectRelatedPins is on.
  std::shared_ptr<TCrossbarTree> CrossbarTree;
  String ListVideoInputs();
  int32_t GetRoutedVideoInput();
  void SelectVideoInput(int32_t Index);
  void RouteAudioForVideo();
  void ProcessCrossbars();
  void ReadBackCrossbarRouting();
  bool TuneChannel(int32_t Channel, int32_t SubChannel);
  // The public TV setters' common end: retunes, or refuses during a scan.
  void TuneCurrentChannel();
  void StartChannelScan();
  void StepChannelScan();
  void ReadTunerState();
  void ApplyTunerState();
  // Shared with the step thread as plain flags, as the scan's own rules
  // keep one writer at a time.
  bool ScanStopRequest = false;
  bool ScanStepBusy = false;
  int32_t ScanChannel = 0;
  int32_t ScanCountryCode = 0;
  int32_t ScanInputType = 0;
  std::unique_ptr<TDualThread> StepThread;
  bool SendDVCommand(int32_t Command);
  // True when a valid time code differing from the last one was read.
  bool ReadTimeCode(TFrameInfo& Info);
  bool ReadDVSignalStandard(int64_t& FrameDuration);
  // The DV decoder's output size from the size list, and its RGB range.
  void ApplyDVDecoderSettings(const std::shared_ptr<mg::BaseFilter>& Filter);
  TDVTimecode LastTimeCode;

  // ---- audio formats, audio discovery and levels ----------------------------
  std::shared_ptr<mg::IAMAudioInputMixer> SourceInputMixer;
  // The speaker levels found when the graph started; -1 when none saved.
  int32_t SavedSpeakerVolume = -1;
  int32_t SavedSpeakerBalance = -1;
  void ApplyAudioFormat(const std::shared_ptr<mg::Pin>& Pin);
  bool RunAudioDiscovery();
  int32_t CountAudioInputPins() const;
  void SelectAudioInput();
  void RunSelectAudioInput();
  String GetSelectedAudioInputName() const;
  void ApplyInputLevels();
  void ApplySpeakerLevels();
  // Reads the speaker levels into the saved pair when SpeakerControl is on.
  void SaveSpeakerLevels();
  void RestoreSpeakerLevels();

  // Shared by the frame callback and the periodic work.
  rtl::TCriticalSection FrameLock;
  // Set while frame progress is raised or a frame is being delivered.
  bool FrameBusy = false;
  // The picture Paint shows while no graph runs, when one is supplied.
  std::unique_ptr<forms::TPicture> Logo;

  // Data the queued events carry, read when they are raised.
  String CurrentRecordingFile;
  bool RecordingSuccess = false;
  TProgressInfo ProgressInfo;
  TTVChannelInfo ChannelInfo;
  int32_t ScanMinChannel = 0;
  int32_t ScanMaxChannel = 0;
  String CopySourceFile;
  String CopyDestFile;
  bool CopySuccess = false;
  String PreallocFileName;
  bool PreallocFileCreated = false;
  String HostUrl;
  String HostName;
  int32_t HostPort = 0;

  // Per-run counters, reset by ResetRunCounters.
  int32_t PausedRefreshCount = 3;
  int64_t LastFramePosition = -1;
  int64_t LastFrameTime = -1;
  int32_t PlayerStepInterval = 7;
  int32_t FrameCount = 0;
  int32_t DroppedBaseline = 0;
  TFrameInfo CurrentFrameInfo;
  uint32_t RunTick = 0;
  bool FirstFrame = true;

  // ---- reports -----------------------------------------------------------
  // True when Hr is a success code; a failure with severity 1..3 raises
  // OnLog. Before initialization every report counts as a failure.
  bool Report(mg::HRESULT Hr, int32_t Severity, const String& Msg, TLogType LogType);
  // True when a failure was reported.
  bool ReportIf(bool Failed, int32_t Severity, const String& Msg, TLogType LogType);

  // ---- preconditions and the start/stop frame ----------------------------
  bool CheckPreconditions(TEngineStates Allowed, int32_t Severity, bool DeviceCheck);
  // True when the index is refused.
  bool CheckIndex(int32_t Index, int32_t Count, const String& What);
  void StopAll();
  void RequestPreviewRefresh(const String& Code);
  bool IsAudioAssociated() const;
  bool UsesCaptureDevice() const;
  // The full guard: a handler, a window and no destruction under way.
  template <class H>
  bool CanRaiseEvent(const H& Handler) const {
    return static_cast<bool>(Handler) && !Destroying && OwnerHandleAllocated();
  }
  template <class H>
  bool CanRaiseEventLight(const H& Handler) const {
    return static_cast<bool>(Handler) && !Destroying;
  }
  // The number of video and audio capture devices in the device lists.
  int32_t VideoDeviceCount() const;
  int32_t AudioDeviceCount() const;
  // Binds the chosen devices when they are not bound yet.
  void EnsureDevicesBound();

  // ---- graph lifecycle ---------------------------------------------------
  bool SetGraphState(int32_t NewState, const String& Reason);
  void ClearGraph(bool ResetState);
  void ReadBackDeviceSettings();
  bool LatchSettings(bool AtCreation);
  void ResetRunCounters();
  void UpdateProcessingFlags();
  // Rebuilds the graph for preview (task 9) or recording (task 11) and runs
  // it; true only when the graph runs.
  // Target 1 (preview) or 2 (recording).
  bool RestartGraph(int32_t Target);
  // Builds the graph of the target on top of the latched settings; false
  // when it could not be built.
  bool BuildGraph(int32_t Target);
  // Runs the built graph; true only when it runs.
  bool ActivateGraph();
  void RecordingStartedPostProcessing();
  // Ends what runs: the teardown, the completion events and OnInactive.
  void EndGraphActivity();
  // Re-entrancy guards of RestartGraph and EndGraphActivity, and the target
  // of the graph being built (es_Idle when none).
  bool RestartRunning = false;
  bool EndingActivity = false;
  int32_t BuildingFor = es_Idle;

  // ---- worker and queues (defined with the notification worker) ----------
  // Codes 5 and above run at once in the caller's thread; 0 to 4 are queued.
  void PostTask(int32_t Code);
  void RunTask(int32_t Code);
  bool RunNextTask();
  // Posts a queued event; its data is read when it is raised.
  void PostEvent(TVcQueuedEvent Event);
  // The same with the file name fixed now rather than read when raised.
  void PostRecordingEvent(TVcQueuedEvent Event, const String& FileName);
  bool RaiseNextEvent();
  void ApplyNotificationPeriod();
  // Creates the worker "task" and starts it (the control's constructor).
  void StartWorker();
  // Ends the worker and frees what the queues still hold, unrun.
  void EndWorker();
  void RaiseEvent(const TVcEventRecord& Record);
  bool EventHandlerAssigned(TVcQueuedEvent Event) const;
  // The notification settings' setters: the worker follows at once.
  void SetNotificationMethod(TNotificationMethod Value);
  void SetNotificationPriority(rtl::TThreadPriority Value);
  // -1 or 1..10000; other values are ignored.
  void SetNotificationSleepTime(int32_t Value);
  std::unique_ptr<TTaskThread> Worker;
  TCSList<int32_t> TaskQueue;
  TCSList<TVcEventRecord> EventQueue;
  // The worker's period: 15 for NotificationSleepTime -1.
  int32_t NotificationPeriod = 15;
  // Keeps one worker from running a task inside another.
  bool TaskBusy = false;
  // Set while this engine holds the busy cursor.
  bool Busy = false;

  // ---- periodic work of an active graph -----------------------------------
  void PeriodicWork();
  bool PollDVTransport();
  bool HasDVTransport() const;
  void ReportProgress();
  void RaiseFrameProgress();
  void RaiseDVCommandCompleted();
  TPeriodicState Periodic;

  // ---- recording: output, branches, files, graph events ------------------
  // The writers of a recording: the AVI multiplexer with the file writer's
  // sink, or the ASF writer with its own.
  std::shared_ptr<mg::BaseFilter> AviMux;
  std::shared_ptr<mg::IFileSinkFilter> FileSink;
  std::shared_ptr<mg::BaseFilter> AsfWriter;
  std::shared_ptr<mg::IFileSinkFilter> AsfFileSink;
  std::shared_ptr<mg::BaseFilter> VideoCompressorFilter;
  std::shared_ptr<mg::BaseFilter> AudioCompressorFilter;
  std::shared_ptr<mg::ReferenceClock> GraphClock;
  // The file the graph's writer gets; set by PrepareRecordingFile.
  String OutputPath;
  bool StorageFolderChanged = true;
  bool CompressAfterRecordingPending = false;
  bool PreallocResult = false;
  // 1 audio reached the AVI mux, 2 none did or native DV (1 after teardown).
  int32_t AviMasterStreamKind = 1;
  bool AudioRendered = false;
  // The graph-event flags, set by the event loop and acted on by task 4.
  bool FlagDeviceLost = false;
  bool FlagDiskFull = false;
  bool FlagComplete = false;
  bool FlagStreamControlStopped = false;
  bool FlagBufferingStarted = false;
  bool FlagBufferingEnded = false;
  bool FlagLoading = false;
  String StorageFolder();
  String RecordingExtension() const;
  void MakeAutoFileName(int32_t Kind, const String& Extension, String& Path, int32_t& KeyIndex);
  bool PrepareRecordingFile(String& OutPath);
  bool PreallocateCaptureFile(const String& Path);
  // False when the renewal was refused or the new file could not be made.
  bool StartNewRecordingFile();
  void EndStoppedRecording();
  bool InsertControlTee(const String& FilterName, std::shared_ptr<mg::Pin>& ControlPin);
  void PlaceHoldPoints();
  bool SwitchStream(const std::shared_ptr<mg::Pin>& Pin, const String& Name, bool Start);
  void ConfigureAviMux(bool CapturesAudio);
  bool BuildCaptureAndPreview();
  bool BuildDVCapture();
  bool BuildRawRecording();
  void ApplyVideoCompressionSettings();
  void ProcessGraphEvents();
  void HandleGraphNotifications();
  void ClearGraphNotificationFlags();
  bool CreateLocalFilterOrReport(const String& Label, std::shared_ptr<mg::BaseFilter>& Obj, const String& ExportName);
  void SetUpGraphClock();

  // ---- display windows ------------------------------------------------------
  TVideoWindowRuntime WindowRuntime[2];
  // The forms hosting the three attachments' renderers, made on first need.
  std::unique_ptr<TDisplayForm> DisplayForms[3];
  std::shared_ptr<mg::IQualProp> QualityProperties;
  bool LayoutBusy = false;
  TVideoWindowOptions& WindowOptions(int32_t Index);
  // Embedded and not full screen.
  bool WindowEmbedded(int32_t Index);
  bool AutoSizeApplies(int32_t Index) const;
  bool DisplayEngineReady() const;
  void VideoWindowChanged(int32_t Window, int32_t Index, int32_t Value);
  TDisplayForm* CreateDisplayForm(int32_t AttachmentIndex);
  void AttachRendererWindow(TDisplayAttachment& Attachment);
  void ShowInForm(TDisplayAttachment& Attachment, bool Detach);
  void BindAttachments();
  void PlaceWindow(TDisplayAttachment& Attachment);
  void LayoutDisplays();
  win::HWND FindRendererHandle(TDisplayAttachment& Attachment);
  void UpdateDisplayVisibility();
  // After a graph build: the renderers' windows into their forms.
  void ShowDisplays();
  void RepaintAttachment(TDisplayAttachment& Attachment);
  void ReleaseDisplayForms();
  void VideoDisplaySize(int32_t& Width, int32_t& Height) const;
  bool DualDisplayAllowed();
  // The overlay's colour key: index and RGB (type 3), one colour.
  static constexpr mg::DWORD kColorKeyType = 3;
  win::COLORREF ColorKeyLow = win::RGB(255, 0, 255);
  win::COLORREF ColorKeyHigh = win::RGB(255, 0, 255);
  void CheckColorKey();
  // The point of a display form in video pixels; false when it lies
  // outside the video.
  bool DisplayPoint(TDisplayForm& Form, int32_t& X, int32_t& Y);
  void DisplayMouseDown(TDisplayForm& Form, forms::TMouseButton Button, forms::TShiftState Shift, int X, int Y);
  void DisplayMouseMove(TDisplayForm& Form, forms::TShiftState Shift, int X, int Y);
  void DisplayMouseUp(TDisplayForm& Form, forms::TMouseButton Button, forms::TShiftState Shift, int X, int Y);
  void DisplayKeyDown(TDisplayForm& Form, uint16_t& Key, forms::TShiftState Shift);
  void DisplayKeyPress(TDisplayForm& Form, char& Key);

  // ---- clip player -------------------------------------------------------------
  // 100-ns units; a clip without frame times counts 24 frames a second.
  static constexpr int32_t kDefaultFrameDuration = 416'666;
  int64_t ClipDuration = 0;
  int64_t ClipFrameCount = 0;
  int32_t FrameDuration = kDefaultFrameDuration;
  int64_t PlayerPosition = 0;
  bool CanStep = false;
  bool Seeking = false;
  bool SlowStepping = false;
  bool FastStepping = false;
  int32_t SlowStepInterval = 0;
  int64_t StepTarget = 0;
  int64_t StepAdvance = 0;
  uint32_t StepLastTick = 0;
  int32_t StepCycles = 0;
  bool AtEnd = false;
  bool PausedByRequest = false;
  // 0 none, 1 first frame, 2 current frame, 3 remembered (last) frame.
  int32_t RepositionRequest = 0;
  int32_t TrackBarPosition = 0;
  // A track-bar change waiting for the next pass (its frame, 0 none).
  int32_t PendingTrackBarFrame = 0;
  int32_t AudioPresent = 1;
  // The rate value the component's clock would get without audio.
  int32_t PlayerClockValue = 652;
  String AudioDecoderName = "none";
  String VideoDecoderName = "none";
  std::shared_ptr<mg::IMediaSeeking> PlayerSeeking;
  std::shared_ptr<mg::IVideoFrameStep> FrameStep;
  bool BuildPlayerGraph();
  void OpenPlayerTask();
  bool RenderClip(const String& FileName, bool KeepAudioThroughTee, std::shared_ptr<mg::Pin>& AudioOut,
                  std::shared_ptr<mg::Pin>& VideoOut);
  bool FindRenderer(const mg::GUID& MajorType, bool ReadVideoSize, std::shared_ptr<mg::BaseFilter>& Filter,
                    std::shared_ptr<mg::Pin>& InputPin);
  bool PreparePlayerSeeking();
  void SetPlaybackRate(double Rate);
  int64_t PlayerCurrentPosition();
  // The 1-based frame a position falls on.
  int32_t FrameOfPosition(int64_t Position) const;
  int64_t SeekPlayer(int64_t Position);
  void SeekPlayerToFrame(int32_t Frame);
  void SeekPlayerIfChanged(int64_t Position);
  void PausePlayerStep(bool Stop);
  void RunPlayer();
  bool StartStepping(bool Backward, bool Fast);
  void StartSlowStepping();
  void PlayerStep(bool First);
  void EndStepping();
  void PlayerTrackBarChange();
  void ReadDecoderNames();
  void PlayerPeriodicWork();
  // The teardown's part: the clip's interfaces and the stepping state.
  void ReleasePlayer();

  // ---- frame grabbers, frame records, overlays and snapshots -------------
  TFrameGrabState Grab;
  // A grabber of the mode in the slot, added to the graph; false (slot
  // empty) when it could not be made.
  bool CreateFrameGrabber(std::shared_ptr<mg::BaseFilter>& Slot, int32_t Mode, TFrameGrabberRGBFormat Format);
  bool InsertFrameGrabber(std::shared_ptr<mg::Pin>& Pin, int32_t Mode, const mg::AM_MEDIA_TYPE* MediaType,
                          std::shared_ptr<mg::BaseFilter>& Slot, TFrameGrabberRGBFormat Format);
  // The main grabber on a tee's branch ended by a null renderer; the tee's
  // next output goes on as Pin.
  bool InsertTeeFrameGrabber(const mg::CLSID* Intermediate, std::shared_ptr<mg::Pin>& Pin);
  // The main grabber where the latched FrameGrabber puts it on the stream
  // the builders pass; true when nothing was asked.
  bool InsertMainFrameGrabber(std::shared_ptr<mg::Pin>& Pin);
  void ReadGrabberMediaType();
  // Streaming-thread callbacks.
  void FrameCallback(TGrabberBlock& Block, TGrabbedFrame& Frame);
  void FrameNotifyCallback(mg::MediaSample& Sample, int64_t StartTime);
  // A multiplexed master's frames go to the slave of their channel.
  void MasterFrameCallback(TGrabberBlock& Block, TGrabbedFrame& Frame);
  void DVDateCallback(TDVDateRecord& Date);
  void UpdateFrameRecord(TFrameRecord& Record, int64_t SampleTime);
  void SplitFrameTime(TFrameRecord& Record);
  // The burst rule for one wanted frame: true when the frame is due.
  bool ApplyBurstRule();
  // The periodic work's side of the hand-over; true when a frame was taken.
  bool TakePendingFrame();
  void ProcessFrame();
  // The user's extra filters of one location, in line on the pin; a
  // filter that cannot be used is reported and left out.
  void InsertThirdPartyFilters(int32_t Location, std::shared_ptr<mg::Pin>& Pin);
  // The sample grabber of a stream on the pin (the pin goes on after it).
  bool InsertSampleGrabber(std::shared_ptr<mg::Pin>& Pin, bool Video);
  void SampleCallback(bool IsVideo, mg::MediaSample& Sample, const mg::AM_MEDIA_TYPE& Type, int64_t Start,
                      int64_t Stop);
  void BufferedSampleCallback(bool IsVideo, mg::MediaSample& Sample, const mg::AM_MEDIA_TYPE& Type, int64_t Start,
                              int64_t Stop);
  void RaiseBufferedSample(TSampleRecord& Record, bool Video);
  void ResetSampleRecord(TSampleRecord& Record);
  // Frees the records' bitmaps and forgets the grabbers (teardown).
  void ClearFrameGrab();
  void RaiseOverlays(const TFrameInfo& Info, win::HBITMAP Dib, win::DIBSECTION& Section);
  void DrawOverlays(const TFrameInfo& Info, win::HBITMAP Dib);
  // The text overlay's text for a frame; false when the template is being
  // replaced right now.
  bool BuildOverlayText(const TFrameInfo& Info, String& Text);
  bool TakeSnapshot(TFrameCaptureDest Dest, const String& FileName, bool Finish);
  String PrepareSnapshotFileName(const String& FileName, const String& Extension);

  // ASF writer configuration and its network sinks.
  std::shared_ptr<mg::Object> AsfNetworkSink;
  std::shared_ptr<mg::Object> AsfPushSink;
  bool BindWMFormatRuntime();
  bool ConfigureASFWriter();
  void ReleaseAsfSinks();

  // Re-encoding after recording.
  String ReencodingSource;
  String ReencodingDest;
  bool ReencodingIsCopy = false;
  bool ReencodingEnded = false;
  bool CompletionPosted = false;
  bool RecordingWaitsForJob = false;
  String WaitingRecordingFile;
  int64_t ReencodingEndPosition = 0;
  String KeptRecordingFileName;
  bool StartAfterRecordingJob();
  bool Reencode(const TReencodingSettings& Settings, bool IsCopy);
  bool SplitSource(const std::shared_ptr<mg::BaseFilter>& Source, std::shared_ptr<mg::Pin>& VideoPin,
                   std::shared_ptr<mg::Pin>& AudioPin);
  bool ReadReencodingDuration();
  bool ApplyReencodingTimes(const TReencodingSettings& Settings);
  void EndReencoding(bool Success);
  void ReportKeptCaptureFile(const String& Path);

  // ---- motion detection and pushed video sources ---------------------------
  // The detector lives as long as the engine; the published properties
  // reach it at once.
  std::unique_ptr<TImplMotionDetector> MotionDetector;
  // The latched MotionDetector_Enabled of the graph in force; switching
  // the detector changes it at once. Atomic: the frame callback reads it
  // on the streaming thread.
  std::atomic<bool> MotionActive{false};
  // Tick count after which a quiet recording pauses, and whether the
  // motion step paused it.
  uint32_t NoMotionDeadline = 0;
  // The frame the next one is compared with; its bitmap is the engine's.
  TFrameRecord PreviousFrame;
  // A graph starts the detector afresh: geometry from its first frame.
  void ResetMotionForGraph();
  // After a frame's snapshots: compare, raise the motion events and pause
  // or resume a recording on motion.
  void MotionStep();
  // Pause and resume the recording streams at their lock-and-shift
  // grabbers; false when none was paused (resumed).
  bool PauseRecordingStreams();
  bool ResumeRecordingStreams();
  TRecordingFromBitmap RecordingFromBitmap;
  // The images file of a video-from-images graph (opened by the build,
  // closed by the teardown) and its kept 4-byte header.
  std::unique_ptr<TImagesFile> ImagesFile;
  // Frames handed to the push source without a frame grabber; -1 until
  // the first.
  std::atomic<int32_t> DeliveredFrames{-1};
  // The push source's callbacks, by source: a failed result means no data.
  bool BitmapMediaType(mg::AM_MEDIA_TYPE& MediaType, bool& Flag);
  bool NextBitmapFrame(uint8_t* Buffer, int32_t Length, bool& EndOfStream);
  bool ImagesFileFormat(std::vector<uint8_t>& Format);
  bool NextImagesFileFrame(uint8_t* Buffer, int32_t Length, bool& EndOfStream);
  bool SlaveMediaType(mg::AM_MEDIA_TYPE& MediaType, bool& Flag);
  bool NextSlaveFrame(uint8_t* Buffer, int32_t Length);
  bool ExternalMediaType(mg::AM_MEDIA_TYPE& MediaType, bool& Flag);
  bool NextExternalFrame(uint8_t* Buffer, int32_t Length, bool& EndOfStream);
  // The push source with these callbacks, added to the graph as "PushSrc";
  // its output becomes Pin. The base graph of each pushed source.
  bool AddPushSource(std::shared_ptr<mg::Pin>& Pin, TPushSourceContext Context);
  bool CreatePushedSourceGraph();

private:
  bool OwnerHandleAllocated() const;
  void PeriodicFrameProgress();
};

// Task codes.
inline constexpr int32_t TASK_DEVICE_LOST = 0;
inline constexpr int32_t TASK_STOP_PLAYER = 3;
inline constexpr int32_t TASK_GRAPH_NOTIFICATIONS = 4;
inline constexpr int32_t TASK_SEEK_PLAYER = 5;
inline constexpr int32_t TASK_START_CHANNEL_SCAN = 6;
inline constexpr int32_t TASK_STEP_CHANNEL_SCAN = 7;
inline constexpr int32_t TASK_END_ACTIVITY = 8;
inline constexpr int32_t TASK_START_PREVIEW = 9;
inline constexpr int32_t TASK_PLAYER_STEP = 10;
inline constexpr int32_t TASK_START_RECORDING = 11;
inline constexpr int32_t TASK_OPEN_PLAYER = 13;

// The builder of the graphs behind RestartGraph: it builds the graph of the
// target (1 preview, 2 recording) on top of the latched settings, leaves it
// in the engine (MediaControl and the rest) and answers whether it could.
// Without one installed no graph can be built.
using TGraphBuildHook = std::function<bool(TVcEngine& Engine, int32_t Target)>;
void SetGraphBuildHook(TGraphBuildHook Hook);
// Where the graphs the engines build get their scheduler: the media
// graph's threaded one unless a test installs the manual one.
using TGraphSchedulerFactory = std::function<std::shared_ptr<mg::Scheduler>()>;
void SetGraphSchedulerFactory(TGraphSchedulerFactory Factory);

// The input and output pins of a filter.
void CountPins(const std::shared_ptr<mg::BaseFilter>& Filter, int32_t& Inputs, int32_t& Outputs);

// ---- the process-wide device manager (defined with it) --------------------
// Creates the manager when none exists, appends the engine to its list and
// answers the engine's index there.
int32_t AttachEngineToDeviceManager(TVcEngine* Engine);
void DetachEngineFromDeviceManager(TVcEngine* Engine);
bool DeviceManagerExists();
// Whether the media runtime behind the ASF writer is there; a build or a
// test can take it away to see the component without it.
void SetWMFormatRuntimePresent(bool Present);
// The manager's hidden form, a parent of last resort; null without one.
forms::TWinControl* DeviceManagerForm();
// The registered message that carries the graph's events to the control.
win::UINT GraphEventMessage();
// 2 once the device lists are built.
int32_t DeviceListsState();

}  // namespace capture
