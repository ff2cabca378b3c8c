#pragma once
// The capture control. A panel that a form places like any other control;
// all capture work lives in its engine. The control paints a background or
// a logo, forwards its mouse and click events, routes the graph-event
// message to the engine and keeps the video windows attached when it moves
// to another parent.
#include <cstdint>
#include <memory>

#include "capture/VcEngine.h"
#include "capture/VcTypes.h"
#include "platform/forms/ExtCtrls.h"

namespace capture {

class TVidCap : public forms::TCustomPanel {
public:
  explicit TVidCap(forms::TComponent* AOwner);
  ~TVidCap() override;

  TVcEngine* Engine() const { return engine_.get(); }
  bool Constructed() const { return constructed_; }

  // ---- start and stop ----------------------------------------------------
  // True when the engine previews afterwards.
  bool StartPreview();
  // True when the engine records afterwards.
  bool StartRecording();
  // False when the engine was idle.
  bool Stop();
  void StopPreview();
  void StopRecording();
  bool IsFrameBusy() const;

  // ---- published properties -----------------------------------------------
  // Each value lives in the engine. Setters ignore values out of their range
  // without a word; those of settings a built graph uses ask for a preview
  // refresh with a short code.
  int32_t VideoDevice() const;
  void SetVideoDevice(int32_t Value);
  int32_t AudioDevice() const;
  void SetAudioDevice(int32_t Value);
  bool AssociateAudioAndVideoDevices() const;
  void SetAssociateAudioAndVideoDevices(bool Value);
  bool AutoConnectRelatedPins() const;
  void SetAutoConnectRelatedPins(bool Value);
  bool StoreDeviceSettingsInRegistry() const;
  void SetStoreDeviceSettingsInRegistry(bool Value);
  TVideoSource VideoSource() const;
  void SetVideoSource(TVideoSource Value);
  String VideoSource_FileOrURL() const;
  void SetVideoSource_FileOrURL(const String& Value);
  int64_t VideoSource_FileOrURL_StartTime() const;
  void SetVideoSource_FileOrURL_StartTime(int64_t Value);
  int64_t VideoSource_FileOrURL_StopTime() const;
  void SetVideoSource_FileOrURL_StopTime(int64_t Value);
  String VideoFromImages_SourceDirectory() const;
  void SetVideoFromImages_SourceDirectory(const String& Value);
  String VideoFromImages_TemporaryFile() const;
  void SetVideoFromImages_TemporaryFile(const String& Value);
  TFileSort VideoFromImages_BitmapsSortedBy() const;
  void SetVideoFromImages_BitmapsSortedBy(TFileSort Value);
  bool VideoFromImages_RepeatIndefinitely() const;
  void SetVideoFromImages_RepeatIndefinitely(bool Value);
  forms::TComponent* PropertyPageSaver() const;
  void SetPropertyPageSaver(forms::TComponent* Value);
  int32_t UniqueID() const;
  void SetUniqueID(int32_t Value);
  bool Synchronized() const;
  void SetSynchronized(bool Value);
  TMultiplexedRole MultiplexedRole() const;
  void SetMultiplexedRole(TMultiplexedRole Value);
  double MultiplexedSlaveFrameRate() const;
  void SetMultiplexedSlaveFrameRate(double Value);
  bool CameraControlSettings() const;
  void SetCameraControlSettings(bool Value);
  bool VideoQualitySettings() const;
  void SetVideoQualitySettings(bool Value);
  bool VideoControlSettings() const;
  void SetVideoControlSettings(bool Value);
  bool TVUseFrequencyOverrides() const;
  void SetTVUseFrequencyOverrides(bool Value);
  bool DVRgb219() const;
  void SetDVRgb219(bool Value);
  bool DVReduceFrameRate() const;
  void SetDVReduceFrameRate(bool Value);
  bool AutoStartPreview() const;
  void SetAutoStartPreview(bool Value);
  bool AutoRefreshPreview() const;
  void SetAutoRefreshPreview(bool Value);
  bool AutoStartPlayer() const;
  void SetAutoStartPlayer(bool Value);
  TVideoRenderer VideoRenderer() const;
  void SetVideoRenderer(TVideoRenderer Value);
  int32_t PreviewZoomSize() const;
  void SetPreviewZoomSize(int32_t Value);
  forms::TColor BackgroundColor() const;
  void SetBackgroundColor(forms::TColor Value);
  bool ColorKeyEnabled() const;
  void SetColorKeyEnabled(bool Value);
  bool TranslateMouseCoordinates() const;
  void SetTranslateMouseCoordinates(bool Value);
  bool LogoDisplayed() const;
  void SetLogoDisplayed(bool Value);
  TLogoLayout LogoLayout() const;
  void SetLogoLayout(TLogoLayout Value);
  forms::TCursor NormalCursor() const;
  void SetNormalCursor(forms::TCursor Value);
  forms::TCursor BusyCursor() const;
  void SetBusyCursor(forms::TCursor Value);
  TFrameGrabber FrameGrabber() const;
  void SetFrameGrabber(TFrameGrabber Value);
  TFrameGrabberRGBFormat FrameGrabberRGBFormat() const;
  void SetFrameGrabberRGBFormat(TFrameGrabberRGBFormat Value);
  bool FrameCaptureWithoutOverlay() const;
  void SetFrameCaptureWithoutOverlay(bool Value);
  int32_t FrameCaptureZoomSize() const;
  void SetFrameCaptureZoomSize(int32_t Value);
  bool BurstMode() const;
  void SetBurstMode(bool Value);
  int32_t BurstCount() const;
  void SetBurstCount(int32_t Value);
  int32_t BurstInterval() const;
  void SetBurstInterval(int32_t Value);
  TFrameCaptureDest BurstType() const;
  void SetBurstType(TFrameCaptureDest Value);
  forms::TJPEGPerformance JPEGPerformance() const;
  void SetJPEGPerformance(forms::TJPEGPerformance Value);
  bool JPEGProgressiveDisplay() const;
  void SetJPEGProgressiveDisplay(bool Value);
  int32_t JPEGQuality() const;
  void SetJPEGQuality(int32_t Value);
  TSampleCapture SampleCapture_Audio() const;
  void SetSampleCapture_Audio(TSampleCapture Value);
  TSampleCapture SampleCapture_Video() const;
  void SetSampleCapture_Video(TSampleCapture Value);
  bool SampleCaptureAsyncEvent() const;
  void SetSampleCaptureAsyncEvent(bool Value);
  bool TextOverlay_Enabled() const;
  void SetTextOverlay_Enabled(bool Value);
  String TextOverlay_String() const;
  void SetTextOverlay_String(const String& Value);
  int32_t TextOverlay_Left() const;
  void SetTextOverlay_Left(int32_t Value);
  int32_t TextOverlay_Top() const;
  void SetTextOverlay_Top(int32_t Value);
  int32_t TextOverlay_Right() const;
  void SetTextOverlay_Right(int32_t Value);
  forms::TColor TextOverlay_BkColor() const;
  void SetTextOverlay_BkColor(forms::TColor Value);
  TTextOverlayAlign TextOverlay_Align() const;
  void SetTextOverlay_Align(TTextOverlayAlign Value);
  bool TextOverlay_Transparent() const;
  void SetTextOverlay_Transparent(bool Value);
  forms::TControl* ShapeOverlay() const;
  void SetShapeOverlay(forms::TControl* Value);
  bool ShapeOverlayEnabled() const;
  void SetShapeOverlayEnabled(bool Value);
  int32_t VideoProcessing_Brightness() const;
  void SetVideoProcessing_Brightness(int32_t Value);
  int32_t VideoProcessing_Contrast() const;
  void SetVideoProcessing_Contrast(int32_t Value);
  int32_t VideoProcessing_Saturation() const;
  void SetVideoProcessing_Saturation(int32_t Value);
  int32_t VideoProcessing_Hue() const;
  void SetVideoProcessing_Hue(int32_t Value);
  bool VideoProcessing_GrayScale() const;
  void SetVideoProcessing_GrayScale(bool Value);
  bool VideoProcessing_InvertColors() const;
  void SetVideoProcessing_InvertColors(bool Value);
  bool VideoProcessing_FlipHorizontal() const;
  void SetVideoProcessing_FlipHorizontal(bool Value);
  bool VideoProcessing_FlipVertical() const;
  void SetVideoProcessing_FlipVertical(bool Value);
  TVideoRotation VideoProcessing_Rotation() const;
  void SetVideoProcessing_Rotation(TVideoRotation Value);
  TVideoDeinterlacing VideoProcessing_Deinterlacing() const;
  void SetVideoProcessing_Deinterlacing(TVideoDeinterlacing Value);
  bool MotionDetector_Enabled() const;
  void SetMotionDetector_Enabled(bool Value);
  String MotionDetector_Grid() const;
  void SetMotionDetector_Grid(const String& Value);
  bool MotionDetector_CompareRed() const;
  void SetMotionDetector_CompareRed(bool Value);
  bool MotionDetector_CompareGreen() const;
  void SetMotionDetector_CompareGreen(bool Value);
  bool MotionDetector_CompareBlue() const;
  void SetMotionDetector_CompareBlue(bool Value);
  bool MotionDetector_GreyScale() const;
  void SetMotionDetector_GreyScale(bool Value);
  bool MotionDetector_ReduceVideoNoise() const;
  void SetMotionDetector_ReduceVideoNoise(bool Value);
  int32_t MotionDetector_ReduceCPULoad() const;
  void SetMotionDetector_ReduceCPULoad(int32_t Value);
  double MotionDetector_MaxDetectionsPerSecond() const;
  void SetMotionDetector_MaxDetectionsPerSecond(double Value);
  TRecordingMethod RecordingMethod() const;
  void SetRecordingMethod(TRecordingMethod Value);
  String RecordingFileName() const;
  void SetRecordingFileName(const String& Value);
  bool RecordingInNativeFormat() const;
  void SetRecordingInNativeFormat(bool Value);
  TAutoFileName AutoFileName() const;
  void SetAutoFileName(TAutoFileName Value);
  String AutoFilePrefix() const;
  void SetAutoFilePrefix(const String& Value);
  String CaptureFileExt() const;
  void SetCaptureFileExt(const String& Value);
  String StoragePath() const;
  void SetStoragePath(const String& Value);
  bool HoldRecording() const;
  void SetHoldRecording(bool Value);
  TCompressionMode CompressionMode() const;
  void SetCompressionMode(TCompressionMode Value);
  TCompressionType CompressionType() const;
  void SetCompressionType(TCompressionType Value);
  bool AVIFormatOpenDML() const;
  void SetAVIFormatOpenDML(bool Value);
  int32_t VideoCompression_KeyFrameRate() const;
  void SetVideoCompression_KeyFrameRate(int32_t Value);
  int32_t VideoCompression_PFramesPerKeyFrame() const;
  void SetVideoCompression_PFramesPerKeyFrame(int32_t Value);
  double VideoCompression_Quality() const;
  void SetVideoCompression_Quality(double Value);
  int32_t VideoCompression_WindowSize() const;
  void SetVideoCompression_WindowSize(int32_t Value);
  bool PreallocCapFileEnabled() const;
  void SetPreallocCapFileEnabled(bool Value);
  bool PreallocCapFileCopiedAfterRecording() const;
  void SetPreallocCapFileCopiedAfterRecording(bool Value);
  String PreallocCapFileName() const;
  void SetPreallocCapFileName(const String& Value);
  int32_t PreallocCapFileSizeInMB() const;
  void SetPreallocCapFileSizeInMB(int32_t Value);
  bool RecordingOnMotion_Enabled() const;
  void SetRecordingOnMotion_Enabled(bool Value);
  double RecordingOnMotion_MotionThreshold() const;
  void SetRecordingOnMotion_MotionThreshold(double Value);
  int32_t RecordingOnMotion_NoMotionPauseDelayMs() const;
  void SetRecordingOnMotion_NoMotionPauseDelayMs(int32_t Value);
  bool AudioRecording() const;
  void SetAudioRecording(bool Value);
  TAudioFormat AudioFormat() const;
  void SetAudioFormat(TAudioFormat Value);
  bool AudioDeviceRendering() const;
  void SetAudioDeviceRendering(bool Value);
  bool MuteAudioRendering() const;
  void SetMuteAudioRendering(bool Value);
  bool SpeakerControl() const;
  void SetSpeakerControl(bool Value);
  int32_t ASFProfile() const;
  void SetASFProfile(int32_t Value);
  String ASFProfileFromCustomFile() const;
  void SetASFProfileFromCustomFile(const String& Value);
  int32_t ASFAudioBitRate() const;
  void SetASFAudioBitRate(int32_t Value);
  int32_t ASFAudioChannels() const;
  void SetASFAudioChannels(int32_t Value);
  int32_t ASFVideoBitRate() const;
  void SetASFVideoBitRate(int32_t Value);
  int32_t ASFVideoQuality() const;
  void SetASFVideoQuality(int32_t Value);
  int32_t ASFVideoMaxKeyFrameSpacing() const;
  void SetASFVideoMaxKeyFrameSpacing(int32_t Value);
  int32_t ASFVideoWidth() const;
  void SetASFVideoWidth(int32_t Value);
  int32_t ASFVideoHeight() const;
  void SetASFVideoHeight(int32_t Value);
  TASFDeinterlaceMode ASFDeinterlaceMode() const;
  void SetASFDeinterlaceMode(TASFDeinterlaceMode Value);
  bool ASFFixedFrameRate() const;
  void SetASFFixedFrameRate(bool Value);
  int32_t ASFNetworkPort() const;
  void SetASFNetworkPort(int32_t Value);
  int32_t ASFNetworkMaxUsers() const;
  void SetASFNetworkMaxUsers(int32_t Value);
  String ASFMediaServerPublishingPoint() const;
  void SetASFMediaServerPublishingPoint(const String& Value);
  TNetworkStreaming NetworkStreaming() const;
  void SetNetworkStreaming(TNetworkStreaming Value);
  String PlayerFileName() const;
  void SetPlayerFileName(const String& Value);
  bool PlayerAudioRendering() const;
  void SetPlayerAudioRendering(bool Value);
  TDVSize PlayerDVSize() const;
  void SetPlayerDVSize(TDVSize Value);
  int32_t PlayerFastSeekSpeedRatio() const;
  void SetPlayerFastSeekSpeedRatio(int32_t Value);
  String PlayerForcedCodec() const;
  void SetPlayerForcedCodec(const String& Value);
  bool PlayerRefreshPausedDisplay() const;
  void SetPlayerRefreshPausedDisplay(bool Value);
  double PlayerSpeedRatio() const;
  void SetPlayerSpeedRatio(double Value);
  forms::TTrackBar* PlayerTrackBar() const;
  void SetPlayerTrackBar(forms::TTrackBar* Value);
  String Reencoding_SourceVideoClip() const;
  void SetReencoding_SourceVideoClip(const String& Value);
  String Reencoding_NewVideoClip() const;
  void SetReencoding_NewVideoClip(const String& Value);
  int64_t Reencoding_StartTime() const;
  void SetReencoding_StartTime(int64_t Value);
  int64_t Reencoding_StopTime() const;
  void SetReencoding_StopTime(int64_t Value);
  bool Reencoding_IncludeVideoStream() const;
  void SetReencoding_IncludeVideoStream(bool Value);
  bool Reencoding_IncludeAudioStream() const;
  void SetReencoding_IncludeAudioStream(bool Value);
  TRecordingMethod Reencoding_Method() const;
  void SetReencoding_Method(TRecordingMethod Value);
  bool Reencoding_UseFrameGrabber() const;
  void SetReencoding_UseFrameGrabber(bool Value);
  bool Reencoding_UseVideoCompressor() const;
  void SetReencoding_UseVideoCompressor(bool Value);
  bool Reencoding_UseAudioCompressor() const;
  void SetReencoding_UseAudioCompressor(bool Value);
  bool Reencoding_WMVOutput() const;
  void SetReencoding_WMVOutput(bool Value);
  TNotificationMethod NotificationMethod() const;
  void SetNotificationMethod(TNotificationMethod Value);
  rtl::TThreadPriority NotificationPriority() const;
  void SetNotificationPriority(rtl::TThreadPriority Value);
  int32_t NotificationSleepTime() const;
  void SetNotificationSleepTime(int32_t Value);
  bool EventNotificationSynchrone() const;
  void SetEventNotificationSynchrone(bool Value);
  // Slave 1..4 of a multiplexed master, by index 0..3.
  int32_t MultiplexedSlaveID(int32_t Index) const;
  void SetMultiplexedSlaveID(int32_t Index, int32_t Value);
  forms::TBorderStyle BorderStyle() const;
  void SetBorderStyle(forms::TBorderStyle Value);
  String Version() const;
  void SetVersion(const String& Value);
  // The engine keeps its own font; setting copies the given one's attributes.
  forms::TFont* TextOverlay_Font() const;
  void SetTextOverlay_Font(forms::TFont* Value);
  // The video windows' options: Display_* for the main window, DualDisplay_*
  // for the dual one.
  bool Display_Active() const;
  void SetDisplay_Active(bool Value);
  bool DualDisplay_Active() const;
  void SetDualDisplay_Active(bool Value);
  bool Display_AutoSize() const;
  void SetDisplay_AutoSize(bool Value);
  bool DualDisplay_AutoSize() const;
  void SetDualDisplay_AutoSize(bool Value);
  bool Display_Embedded() const;
  void SetDisplay_Embedded(bool Value);
  bool DualDisplay_Embedded() const;
  void SetDualDisplay_Embedded(bool Value);
  bool Display_FullScreen() const;
  void SetDisplay_FullScreen(bool Value);
  bool DualDisplay_FullScreen() const;
  void SetDualDisplay_FullScreen(bool Value);
  bool Display_KeepAspectRatio() const;
  void SetDisplay_KeepAspectRatio(bool Value);
  bool DualDisplay_KeepAspectRatio() const;
  void SetDualDisplay_KeepAspectRatio(bool Value);
  bool Display_StayOnTop() const;
  void SetDisplay_StayOnTop(bool Value);
  bool DualDisplay_StayOnTop() const;
  void SetDualDisplay_StayOnTop(bool Value);
  bool Display_MouseMovesWindow() const;
  void SetDisplay_MouseMovesWindow(bool Value);
  bool DualDisplay_MouseMovesWindow() const;
  void SetDualDisplay_MouseMovesWindow(bool Value);
  bool Display_VideoPortEnabled() const;
  void SetDisplay_VideoPortEnabled(bool Value);
  bool DualDisplay_VideoPortEnabled() const;
  void SetDualDisplay_VideoPortEnabled(bool Value);
  int32_t Display_Monitor() const;
  void SetDisplay_Monitor(int32_t Value);
  int32_t DualDisplay_Monitor() const;
  void SetDualDisplay_Monitor(int32_t Value);
  int32_t Display_Width() const;
  void SetDisplay_Width(int32_t Value);
  int32_t DualDisplay_Width() const;
  void SetDualDisplay_Width(int32_t Value);
  int32_t Display_Height() const;
  void SetDisplay_Height(int32_t Value);
  int32_t DualDisplay_Height() const;
  void SetDualDisplay_Height(int32_t Value);
  int32_t Display_Left() const;
  void SetDisplay_Left(int32_t Value);
  int32_t DualDisplay_Left() const;
  void SetDualDisplay_Left(int32_t Value);
  int32_t Display_Top() const;
  void SetDisplay_Top(int32_t Value);
  int32_t DualDisplay_Top() const;
  void SetDualDisplay_Top(int32_t Value);

  // ---- public methods ----------------------------------------------------
  bool ResumeRecording();
  int32_t GetVideoDeviceCount() const;
  int32_t GetAudioDeviceCount() const;
  int32_t GetVideoCompressorCount() const;
  int32_t GetAudioCompressorCount() const;
  String GetVideoDeviceName() const;
  String GetAudioDeviceName() const;
  String GetVideoCompressorName() const;
  String GetAudioCompressorName() const;
  String GetVideoCompressors() const;
  String GetAudioCompressors() const;
  int32_t FindVideoDevice(const String& Name) const;
  int32_t FindAudioDevice(const String& Name) const;
  int32_t GetVideoCompressor() const;
  void SetVideoCompressor(int32_t Index);
  int32_t GetAudioCompressor() const;
  void SetAudioCompressor(int32_t Index);
  String GetVideoInputs() const;
  int32_t GetVideoInputCount() const;
  int32_t GetVideoInput() const;
  void SetVideoInput(int32_t Index);
  String GetAudioInputs() const;
  int32_t GetAudioInput() const;
  void SetAudioInput(int32_t Index);
  int32_t GetAudioInputLevel() const;
  void SetAudioInputLevel(int32_t Value);
  int32_t GetAudioInputBalance() const;
  void SetAudioInputBalance(int32_t Value);

  String GetVideoSizes() const;
  int32_t GetVideoSize() const;
  void SetVideoSize(int32_t Index);
  String GetVideoSubtypes() const;
  int32_t GetVideoSubtype() const;
  void SetVideoSubtype(int32_t Index);
  int32_t GetVideoWidth() const;
  int32_t GetVideoHeight() const;
  double GetFrameRate() const;
  void SetFrameRate(double Value);
  String GetAudioFormats() const;
  String GetAnalogVideoStandards() const;
  int32_t GetAnalogVideoStandard() const;
  void SetAnalogVideoStandard(int32_t Index);
  bool IsAnalogVideoDecoderAvailable() const;

  bool IsDVDevice() const;
  bool IsVideoCrossbarAvailable() const;
  bool IsTVTunerAvailable() const;
  bool IsTVAudioAvailable() const;
  bool IsCameraControlAvailable() const;
  bool IsVideoQualityAvailable() const;

  // Camera controls 0..6 (Pan .. Focus) and video-quality controls 0..9
  // (Brightness .. Gain); an index outside the table reads 0 (or False).
  int32_t GetCameraControlValue(int32_t Index) const;
  int32_t GetCameraControlMin(int32_t Index) const;
  int32_t GetCameraControlMax(int32_t Index) const;
  int32_t GetCameraControlStep(int32_t Index) const;
  int32_t GetCameraControlDefault(int32_t Index) const;
  bool IsCameraControlPropertyAvailable(int32_t Index) const;
  bool SetCameraControlValue(int32_t Index, int32_t Value);
  bool GetCameraControlAuto() const;
  void SetCameraControlAuto(bool Value);
  int32_t GetVideoQualityValue(int32_t Index) const;
  int32_t GetVideoQualityMin(int32_t Index) const;
  int32_t GetVideoQualityMax(int32_t Index) const;
  int32_t GetVideoQualityStep(int32_t Index) const;
  int32_t GetVideoQualityDefault(int32_t Index) const;
  bool IsVideoQualityPropertyAvailable(int32_t Index) const;
  bool SetVideoQualityValue(int32_t Index, int32_t Value);
  bool GetVideoQualityAuto() const;
  void SetVideoQualityAuto(bool Value);

  bool StartTVChannelScan();
  bool StopTVChannelScan();
  int32_t GetTVChannel() const;
  int32_t GetTVCountryCode() const;
  int32_t GetTVInputType() const;
  void SetTVChannel(int32_t Value);
  void SetTVCountryCode(int32_t Value);
  void SetTVInputType(int32_t Value);
  bool ClearTVFrequencyOverrides();
  void SetTVFrequencyOverride(int32_t Channel, int32_t Frequency);

  bool DVCommand(int32_t Command);
  bool ShowDialog(int32_t Kind);
  String GetASFProfiles();
  bool CaptureFrameTo(TFrameCaptureDest Dest, const String& FileName);
  void MotionDetector_SetGlobalSensitivity(int32_t Value);
  bool MotionDetector_SetGridSize(int32_t Columns, int32_t Rows);
  bool ThirdPartyFilter_ClearList(TThirdPartyFilterList Location);

  bool OpenPlayer();
  void RunPlayer();
  void PausePlayer();
  void StopPlayer();
  void RunPlayerBackwards();
  void FastBackwardPlayer();
  void FastForwardPlayer();
  void SetPlayerPosition(int64_t Position);

  // ---- events ------------------------------------------------------------
  // The control's own click and mouse events hide the panel's: the panel's
  // are bound to the engine, which raises these.
  TEventNotification OnAudioDeviceSelected;
  TEventNotification OnBacktimedFramesCountReached;  // published, never raised
  TOnProgress OnBitmapsLoadingProgress;              // published, never raised
  TEventNotification OnClick;
  TOnColorKeyChange OnColorKeyChange;
  TOnSourceFileToDestFileStarted OnCopyPreallocDataStarted;
  TOnProgress OnCopyPreallocDataProgress;
  TOnSourceFileToDestFileCompleted OnCopyPreallocDataCompleted;
  TOnFileNotification OnCreatePreallocFileStarted;  // published, never raised
  TOnProgress OnCreatePreallocFileProgress;
  TOnCreatePreallocatedFileCompleted OnCreatePreallocFileCompleted;
  TEventNotification OnDblClick;
  TOnDeviceArrivalOrRemoval OnDeviceArrivalOrRemoval;
  TEventNotification OnDeviceLost;
  TOnDirectNetworkStreamingHostUrl OnDirectNetworkStreamingHostUrl;
  TEventNotification OnDiskFull;
  TOnDVCommandCompleted OnDVCommandCompleted;
  TOnFrameCaptureCompleted OnFrameCaptureCompleted;
  TOnFrameOverlayUsingDIB OnFrameOverlayUsingDIB;
  TOnFrameOverlayUsingVIDEOHDR OnFrameOverlayUsingVIDEOHDR;
  TOnFrameProgress OnFrameProgress;
  TEventNotification OnInactive;
  TOnVideoKeyPress OnKeyPress;
  TOnLog OnLog;
  TOnMotionDetected OnMotionDetected;
  TOnMotionNotDetected OnMotionNotDetected;
  TOnVideoMouseUpDown OnMouseDown;
  TOnVideoMouseMove OnMouseMove;
  TOnVideoMouseUpDown OnMouseUp;
  TEventNotification OnNoVideoDevices;
  TOnPlayerBufferingData OnPlayerBufferingData;
  TEventNotification OnPlayerEndOfStream;
  TEventNotification OnPlayerOpened;
  TEventNotification OnPreviewStarted;
  TOnRecordingCompleted OnRecordingCompleted;
  TEventNotification OnRecordingReadyToStart;
  TOnFileNotification OnRecordingStarted;
  TOnSourceFileToDestFileStarted OnReencodingStarted;
  TOnProgress OnReencodingProgress;
  TOnSourceFileToDestFileCompleted OnReencodingCompleted;
  TEventNotification OnReinitializing;
  TOnResizeVideo OnResizeVideo;
  TOnSampleCapture OnSampleCapture_Audio;
  TOnSampleCapture OnSampleCapture_Video;
  TOnThirdPartyFilterConnected OnThirdPartyFilterConnected;
  TOnTVChannelSelected OnTVChannelSelected;
  TOnTVChannelScanStarted OnTVChannelScanStarted;
  TEventNotification OnTVChannelScanCompleted;
  TOnVideoCompressionSettings OnVideoCompressionSettings;
  TEventNotification OnVideoDeviceSelected;
  TOnVideoFromBitmaps_FormatNeeded OnVideoFromBitmaps_FormatNeeded;
  TOnVideoFromBitmaps_NextFrameNeeded OnVideoFromBitmaps_NextFrameNeeded;

  // Assigning it re-evaluates whether the frame grabber draws overlays.
  const TOnFrameOverlayUsingDC& OnFrameOverlayUsingDC() const { return onFrameOverlayUsingDC_; }
  void SetOnFrameOverlayUsingDC(TOnFrameOverlayUsingDC Handler);

  void SetParent(forms::TWinControl* AParent) override;
  void WndProc(forms::TMessage& Message) override;

protected:
  void Loaded() override;
  void Notification(forms::TComponent* AComponent, forms::TOperation Operation) override;
  void Paint() override;
  void Dispatch(forms::TMessage& Message) override;

private:
  void WMEraseBkgnd(forms::TMessage& Message);

  std::unique_ptr<TVcEngine> engine_;
  bool constructed_ = false;
  TOnFrameOverlayUsingDC onFrameOverlayUsingDC_;
};

// Set, for good, when the first control is created in a form designer.
bool DesignTime();

}  // namespace capture
