// The plain property accessors of the capture control: each reads or
// writes one value the engine keeps, with the setter's range check or
// preview refresh.
#include "capture/VcProperties.h"
#include "capture/VidCap.h"
#include "capture/VcEngine.h"

namespace capture {

namespace {

template <class T>
int32_t WindowOptionIndex(T TVideoWindowOptions::*field) {
  if constexpr (std::is_same_v<T, bool>) {
    constexpr bool TVideoWindowOptions::*order[] = {
        &TVideoWindowOptions::Active,          &TVideoWindowOptions::AutoSize,
        &TVideoWindowOptions::Embedded,        &TVideoWindowOptions::FullScreen,
        &TVideoWindowOptions::KeepAspectRatio, &TVideoWindowOptions::StayOnTop,
        &TVideoWindowOptions::MouseMovesWindow, &TVideoWindowOptions::VideoPortEnabled};
    for (int32_t i = 0; i < 8; ++i)
      if (order[i] == field) return i;
  } else {
    if (field == &TVideoWindowOptions::Monitor) return vwp_Monitor;
    if (field == &TVideoWindowOptions::Width) return vwp_Width;
    if (field == &TVideoWindowOptions::Height) return vwp_Height;
    if (field == &TVideoWindowOptions::Left) return vwp_Left;
    if (field == &TVideoWindowOptions::Top) return vwp_Top;
  }
  return -1;
}

// A change of a video window's option. Embedding, full screen and the
// video port are for one window at a time: switching one on switches it off
// on the other. The engine then binds, places and shows the windows anew (a
// window switched active without a renderer asks for the preview to be
// rebuilt so that it gets one).
template <class T>
void SetWindowOption(TVcEngine& e, TVideoWindowOptions& w, TVideoWindowOptions& other, T TVideoWindowOptions::*field,
                     T value) {
  if (w.*field == value) return;
  w.*field = value;
  const int32_t window = &w == &e.DualDisplay ? 1 : 0;
  if constexpr (std::is_same_v<T, bool>) {
    if (value && (field == &TVideoWindowOptions::Embedded || field == &TVideoWindowOptions::FullScreen ||
                  field == &TVideoWindowOptions::VideoPortEnabled))
      other.*field = false;
    // A window that changes its host ends the drag that moved it.
    if (field == &TVideoWindowOptions::Embedded || field == &TVideoWindowOptions::FullScreen)
      e.WindowRuntime[window].DragAnchor.x = -1;
  }
  e.VideoWindowChanged(window, WindowOptionIndex(field), static_cast<int32_t>(value));
}

}  // namespace

int32_t TVidCap::VideoDevice() const { return engine_->VideoDevice; }
int32_t TVidCap::AudioDevice() const { return engine_->AudioDevice; }
bool TVidCap::AssociateAudioAndVideoDevices() const { return engine_->AssociateAudioAndVideoDevices; }
void TVidCap::SetAssociateAudioAndVideoDevices(bool Value) {
  engine_->AssociateAudioAndVideoDevices = Value;
}
bool TVidCap::AutoConnectRelatedPins() const { return engine_->AutoConnectRelatedPins; }
void TVidCap::SetAutoConnectRelatedPins(bool Value) {
  engine_->AutoConnectRelatedPins = Value;
}
bool TVidCap::StoreDeviceSettingsInRegistry() const { return engine_->StoreDeviceSettingsInRegistry; }
void TVidCap::SetStoreDeviceSettingsInRegistry(bool Value) {
  engine_->StoreDeviceSettingsInRegistry = Value;
}
TVideoSource TVidCap::VideoSource() const { return engine_->VideoSource; }
void TVidCap::SetVideoSource(TVideoSource Value) {
  if (Value < 0 || Value > 5) return;
  engine_->VideoSource = Value;
}
String TVidCap::VideoSource_FileOrURL() const { return engine_->VideoSource_FileOrURL; }
void TVidCap::SetVideoSource_FileOrURL(const String& Value) {
  engine_->VideoSource_FileOrURL = Value;
}
int64_t TVidCap::VideoSource_FileOrURL_StartTime() const { return engine_->VideoSource_FileOrURL_StartTime; }
void TVidCap::SetVideoSource_FileOrURL_StartTime(int64_t Value) {
  engine_->VideoSource_FileOrURL_StartTime = Value;
}
int64_t TVidCap::VideoSource_FileOrURL_StopTime() const { return engine_->VideoSource_FileOrURL_StopTime; }
void TVidCap::SetVideoSource_FileOrURL_StopTime(int64_t Value) {
  engine_->VideoSource_FileOrURL_StopTime = Value;
}
String TVidCap::VideoFromImages_SourceDirectory() const { return engine_->VideoFromImages_SourceDirectory; }
void TVidCap::SetVideoFromImages_SourceDirectory(const String& Value) {
  engine_->VideoFromImages_SourceDirectory = Value;
}
String TVidCap::VideoFromImages_TemporaryFile() const { return engine_->VideoFromImages_TemporaryFile; }
void TVidCap::SetVideoFromImages_TemporaryFile(const String& Value) {
  engine_->VideoFromImages_TemporaryFile = Value;
}
TFileSort TVidCap::VideoFromImages_BitmapsSortedBy() const { return engine_->VideoFromImages_BitmapsSortedBy; }
void TVidCap::SetVideoFromImages_BitmapsSortedBy(TFileSort Value) {
  engine_->VideoFromImages_BitmapsSortedBy = Value;
}
bool TVidCap::VideoFromImages_RepeatIndefinitely() const { return engine_->VideoFromImages_RepeatIndefinitely; }
void TVidCap::SetVideoFromImages_RepeatIndefinitely(bool Value) {
  engine_->VideoFromImages_RepeatIndefinitely = Value;
}
forms::TComponent* TVidCap::PropertyPageSaver() const { return engine_->PropertyPageSaver; }
int32_t TVidCap::UniqueID() const { return engine_->UniqueID; }
void TVidCap::SetUniqueID(int32_t Value) {
  engine_->UniqueID = Value;
}
bool TVidCap::Synchronized() const { return engine_->Synchronized; }
void TVidCap::SetSynchronized(bool Value) {
  engine_->Synchronized = Value;
}
TMultiplexedRole TVidCap::MultiplexedRole() const { return engine_->MultiplexedRole; }
void TVidCap::SetMultiplexedRole(TMultiplexedRole Value) {
  engine_->MultiplexedRole = Value;
}
bool TVidCap::CameraControlSettings() const { return engine_->CameraControlSettings; }
void TVidCap::SetCameraControlSettings(bool Value) {
  engine_->CameraControlSettings = Value;
}
bool TVidCap::VideoQualitySettings() const { return engine_->VideoQualitySettings; }
void TVidCap::SetVideoQualitySettings(bool Value) {
  engine_->VideoQualitySettings = Value;
}
bool TVidCap::VideoControlSettings() const { return engine_->VideoControlSettings; }
void TVidCap::SetVideoControlSettings(bool Value) {
  engine_->VideoControlSettings = Value;
}
bool TVidCap::TVUseFrequencyOverrides() const { return engine_->TVUseFrequencyOverrides; }
void TVidCap::SetTVUseFrequencyOverrides(bool Value) {
  TVcEngine& e = *engine_;
  e.TVUseFrequencyOverrides = Value;
  // Retuned even during a scan: the overrides change what the channel means.
  if (Value != e.OverridesInUse && e.TVTuner)
    e.TuneChannel(e.DeviceSettings.Video[vds_TVChannel].IntValue, mg::AMTUNER_SUBCHAN_DEFAULT);
}
bool TVidCap::DVRgb219() const { return engine_->DVRgb219; }
void TVidCap::SetDVRgb219(bool Value) {
  engine_->DVRgb219 = Value;
}
bool TVidCap::DVReduceFrameRate() const { return engine_->DVReduceFrameRate; }
void TVidCap::SetDVReduceFrameRate(bool Value) {
  if (engine_->DVReduceFrameRate == Value) return;
  engine_->DVReduceFrameRate = Value;
  engine_->RequestPreviewRefresh("dvrfr");
}
bool TVidCap::AutoStartPreview() const { return engine_->AutoStartPreview; }
void TVidCap::SetAutoStartPreview(bool Value) {
  engine_->AutoStartPreview = Value;
}
bool TVidCap::AutoRefreshPreview() const { return engine_->AutoRefreshPreview; }
void TVidCap::SetAutoRefreshPreview(bool Value) {
  engine_->AutoRefreshPreview = Value;
}
bool TVidCap::AutoStartPlayer() const { return engine_->AutoStartPlayer; }
void TVidCap::SetAutoStartPlayer(bool Value) {
  engine_->AutoStartPlayer = Value;
}
TVideoRenderer TVidCap::VideoRenderer() const { return engine_->VideoRenderer; }
void TVidCap::SetVideoRenderer(TVideoRenderer Value) {
  if (Value < 0 || Value > 4 || engine_->VideoRenderer == Value) return;
  engine_->VideoRenderer = Value;
  engine_->RequestPreviewRefresh("prvpr");
}
int32_t TVidCap::PreviewZoomSize() const { return engine_->PreviewZoomSize; }
void TVidCap::SetPreviewZoomSize(int32_t Value) {
  if (Value < 1) return;
  engine_->PreviewZoomSize = Value;
}
forms::TColor TVidCap::BackgroundColor() const { return engine_->BackgroundColor; }
void TVidCap::SetBackgroundColor(forms::TColor Value) {
  engine_->BackgroundColor = Value;
}
bool TVidCap::ColorKeyEnabled() const { return engine_->ColorKeyEnabled; }
void TVidCap::SetColorKeyEnabled(bool Value) {
  if (engine_->ColorKeyEnabled == Value) return;
  engine_->ColorKeyEnabled = Value;
  engine_->RequestPreviewRefresh("scke");
}
bool TVidCap::TranslateMouseCoordinates() const { return engine_->TranslateMouseCoordinates; }
void TVidCap::SetTranslateMouseCoordinates(bool Value) {
  engine_->TranslateMouseCoordinates = Value;
}
bool TVidCap::LogoDisplayed() const { return engine_->LogoDisplayed; }
TLogoLayout TVidCap::LogoLayout() const { return engine_->LogoLayout; }
void TVidCap::SetLogoLayout(TLogoLayout Value) {
  engine_->LogoLayout = Value;
}
forms::TCursor TVidCap::NormalCursor() const { return engine_->NormalCursor; }
void TVidCap::SetNormalCursor(forms::TCursor Value) {
  engine_->NormalCursor = Value;
}
forms::TCursor TVidCap::BusyCursor() const { return engine_->BusyCursor; }
void TVidCap::SetBusyCursor(forms::TCursor Value) {
  engine_->BusyCursor = Value;
}
TFrameGrabber TVidCap::FrameGrabber() const { return engine_->FrameGrabber; }
void TVidCap::SetFrameGrabber(TFrameGrabber Value) {
  if (Value < 0 || Value > 3 || engine_->FrameGrabber == Value) return;
  engine_->FrameGrabber = Value;
  engine_->RequestPreviewRefresh("dsfg");
}
TFrameGrabberRGBFormat TVidCap::FrameGrabberRGBFormat() const { return engine_->FrameGrabberRGBFormat; }
bool TVidCap::FrameCaptureWithoutOverlay() const { return engine_->FrameCaptureWithoutOverlay; }
void TVidCap::SetFrameCaptureWithoutOverlay(bool Value) {
  if (engine_->FrameCaptureWithoutOverlay == Value) return;
  engine_->FrameCaptureWithoutOverlay = Value;
  engine_->RequestPreviewRefresh("sfwo");
}
int32_t TVidCap::FrameCaptureZoomSize() const { return engine_->FrameCaptureZoomSize; }
void TVidCap::SetFrameCaptureZoomSize(int32_t Value) {
  engine_->FrameCaptureZoomSize = Value;
}
bool TVidCap::BurstMode() const {
  // The frame callback switches a finished burst off on its own thread.
  std::lock_guard lock(engine_->Grab.BurstLock);
  return engine_->BurstMode;
}
int32_t TVidCap::BurstCount() const { return engine_->BurstCount; }
void TVidCap::SetBurstCount(int32_t Value) {
  if (Value < 0) return;
  engine_->BurstCount = Value;
}
int32_t TVidCap::BurstInterval() const { return engine_->BurstInterval; }
void TVidCap::SetBurstInterval(int32_t Value) {
  if (Value < 0) return;
  engine_->BurstInterval = Value;
}
TFrameCaptureDest TVidCap::BurstType() const { return engine_->BurstType; }
void TVidCap::SetBurstType(TFrameCaptureDest Value) {
  if (Value < 0 || Value > 2) return;
  engine_->BurstType = Value;
}
forms::TJPEGPerformance TVidCap::JPEGPerformance() const { return engine_->JPEGPerformance; }
void TVidCap::SetJPEGPerformance(forms::TJPEGPerformance Value) {
  if (Value < 0 || Value > 1) return;
  engine_->JPEGPerformance = Value;
}
bool TVidCap::JPEGProgressiveDisplay() const { return engine_->JPEGProgressiveDisplay; }
void TVidCap::SetJPEGProgressiveDisplay(bool Value) {
  engine_->JPEGProgressiveDisplay = Value;
}
int32_t TVidCap::JPEGQuality() const { return engine_->JPEGQuality; }
void TVidCap::SetJPEGQuality(int32_t Value) {
  if (Value < 1 || Value > 100) return;
  engine_->JPEGQuality = Value;
}
TSampleCapture TVidCap::SampleCapture_Audio() const { return engine_->SampleCapture_Audio; }
void TVidCap::SetSampleCapture_Audio(TSampleCapture Value) {
  if (Value < 0 || Value > 4) return;
  engine_->SampleCapture_Audio = Value;
}
TSampleCapture TVidCap::SampleCapture_Video() const { return engine_->SampleCapture_Video; }
void TVidCap::SetSampleCapture_Video(TSampleCapture Value) {
  if (Value < 0 || Value > 4) return;
  engine_->SampleCapture_Video = Value;
}
bool TVidCap::SampleCaptureAsyncEvent() const { return engine_->SampleCaptureAsyncEvent; }
void TVidCap::SetSampleCaptureAsyncEvent(bool Value) {
  engine_->SampleCaptureAsyncEvent = Value;
}
bool TVidCap::TextOverlay_Enabled() const { return engine_->TextOverlay_Enabled; }
void TVidCap::SetTextOverlay_Enabled(bool Value) {
  engine_->TextOverlay_Enabled = Value;
  UpdateOverlayActive(*engine_, static_cast<bool>(onFrameOverlayUsingDC_));
}
String TVidCap::TextOverlay_String() const { return engine_->TextOverlay_String; }
int32_t TVidCap::TextOverlay_Left() const { return engine_->TextOverlay_Left; }
void TVidCap::SetTextOverlay_Left(int32_t Value) {
  engine_->TextOverlay_Left = Value;
}
int32_t TVidCap::TextOverlay_Top() const { return engine_->TextOverlay_Top; }
void TVidCap::SetTextOverlay_Top(int32_t Value) {
  engine_->TextOverlay_Top = Value;
}
int32_t TVidCap::TextOverlay_Right() const { return engine_->TextOverlay_Right; }
void TVidCap::SetTextOverlay_Right(int32_t Value) {
  engine_->TextOverlay_Right = Value;
}
forms::TColor TVidCap::TextOverlay_BkColor() const { return engine_->TextOverlay_BkColor; }
void TVidCap::SetTextOverlay_BkColor(forms::TColor Value) {
  engine_->TextOverlay_BkColor = Value;
}
TTextOverlayAlign TVidCap::TextOverlay_Align() const { return engine_->TextOverlay_Align; }
void TVidCap::SetTextOverlay_Align(TTextOverlayAlign Value) {
  if (Value < 0 || Value > 2) return;
  engine_->TextOverlay_Align = Value;
}
bool TVidCap::TextOverlay_Transparent() const { return engine_->TextOverlay_Transparent; }
void TVidCap::SetTextOverlay_Transparent(bool Value) {
  engine_->TextOverlay_Transparent = Value;
}
forms::TControl* TVidCap::ShapeOverlay() const { return engine_->ShapeOverlay; }
bool TVidCap::ShapeOverlayEnabled() const { return engine_->ShapeOverlayEnabled; }
void TVidCap::SetShapeOverlayEnabled(bool Value) {
  engine_->ShapeOverlayEnabled = Value;
  UpdateOverlayActive(*engine_, static_cast<bool>(onFrameOverlayUsingDC_));
}
int32_t TVidCap::VideoProcessing_Brightness() const { return engine_->VideoProcessing_Brightness; }
void TVidCap::SetVideoProcessing_Brightness(int32_t Value) {
  engine_->VideoProcessing_Brightness = Value;
  engine_->UpdateProcessingFlags();
}
int32_t TVidCap::VideoProcessing_Contrast() const { return engine_->VideoProcessing_Contrast; }
void TVidCap::SetVideoProcessing_Contrast(int32_t Value) {
  engine_->VideoProcessing_Contrast = Value;
  engine_->UpdateProcessingFlags();
}
int32_t TVidCap::VideoProcessing_Saturation() const { return engine_->VideoProcessing_Saturation; }
void TVidCap::SetVideoProcessing_Saturation(int32_t Value) {
  engine_->VideoProcessing_Saturation = Value;
  engine_->UpdateProcessingFlags();
}
int32_t TVidCap::VideoProcessing_Hue() const { return engine_->VideoProcessing_Hue; }
void TVidCap::SetVideoProcessing_Hue(int32_t Value) {
  engine_->VideoProcessing_Hue = Value;
  engine_->UpdateProcessingFlags();
}
bool TVidCap::VideoProcessing_GrayScale() const { return engine_->VideoProcessing_GrayScale; }
void TVidCap::SetVideoProcessing_GrayScale(bool Value) {
  engine_->VideoProcessing_GrayScale = Value;
  engine_->UpdateProcessingFlags();
}
bool TVidCap::VideoProcessing_InvertColors() const { return engine_->VideoProcessing_InvertColors; }
void TVidCap::SetVideoProcessing_InvertColors(bool Value) {
  engine_->VideoProcessing_InvertColors = Value;
  engine_->UpdateProcessingFlags();
}
bool TVidCap::VideoProcessing_FlipHorizontal() const { return engine_->VideoProcessing_FlipHorizontal; }
void TVidCap::SetVideoProcessing_FlipHorizontal(bool Value) {
  engine_->VideoProcessing_FlipHorizontal = Value;
  engine_->UpdateProcessingFlags();
}
bool TVidCap::VideoProcessing_FlipVertical() const { return engine_->VideoProcessing_FlipVertical; }
void TVidCap::SetVideoProcessing_FlipVertical(bool Value) {
  engine_->VideoProcessing_FlipVertical = Value;
  engine_->UpdateProcessingFlags();
}
TVideoRotation TVidCap::VideoProcessing_Rotation() const { return engine_->VideoProcessing_Rotation; }
bool TVidCap::MotionDetector_Enabled() const { return engine_->MotionDetector_Enabled; }
String TVidCap::MotionDetector_Grid() const { return engine_->MotionDetector->Grid; }
bool TVidCap::MotionDetector_CompareRed() const { return engine_->MotionDetector_CompareRed; }
void TVidCap::SetMotionDetector_CompareRed(bool Value) {
  engine_->MotionDetector_CompareRed = Value;
  engine_->MotionDetector->CompareRed = Value;
}
bool TVidCap::MotionDetector_CompareGreen() const { return engine_->MotionDetector_CompareGreen; }
void TVidCap::SetMotionDetector_CompareGreen(bool Value) {
  engine_->MotionDetector_CompareGreen = Value;
  engine_->MotionDetector->CompareGreen = Value;
}
bool TVidCap::MotionDetector_CompareBlue() const { return engine_->MotionDetector_CompareBlue; }
void TVidCap::SetMotionDetector_CompareBlue(bool Value) {
  engine_->MotionDetector_CompareBlue = Value;
  engine_->MotionDetector->CompareBlue = Value;
}
bool TVidCap::MotionDetector_GreyScale() const { return engine_->MotionDetector_GreyScale; }
void TVidCap::SetMotionDetector_GreyScale(bool Value) {
  // The next comparison would mix a treated and an untreated frame.
  if (Value != engine_->MotionDetector->GreyScale) engine_->MotionDetector->SkipNextResult = true;
  engine_->MotionDetector_GreyScale = Value;
  engine_->MotionDetector->GreyScale = Value;
}
bool TVidCap::MotionDetector_ReduceVideoNoise() const { return engine_->MotionDetector_ReduceVideoNoise; }
void TVidCap::SetMotionDetector_ReduceVideoNoise(bool Value) {
  if (Value != engine_->MotionDetector->ReduceVideoNoise) engine_->MotionDetector->SkipNextResult = true;
  engine_->MotionDetector_ReduceVideoNoise = Value;
  engine_->MotionDetector->ReduceVideoNoise = Value;
}
int32_t TVidCap::MotionDetector_ReduceCPULoad() const { return engine_->MotionDetector_ReduceCPULoad; }
void TVidCap::SetMotionDetector_ReduceCPULoad(int32_t Value) {
  if (Value < 1) return;
  engine_->MotionDetector_ReduceCPULoad = Value;
  engine_->MotionDetector->ReduceCPULoad = Value;
  engine_->MotionDetector->FrameSizeChanged = true;
}
double TVidCap::MotionDetector_MaxDetectionsPerSecond() const { return engine_->MotionDetector_MaxDetectionsPerSecond; }
void TVidCap::SetMotionDetector_MaxDetectionsPerSecond(double Value) {
  if (Value < 0) return;
  engine_->MotionDetector_MaxDetectionsPerSecond = Value;
  engine_->MotionDetector->SetMaxDetectionsPerSecond(Value);
}
TRecordingMethod TVidCap::RecordingMethod() const { return engine_->RecordingMethod; }
String TVidCap::RecordingFileName() const { return engine_->RecordingFileName; }
bool TVidCap::RecordingInNativeFormat() const { return engine_->RecordingInNativeFormat; }
void TVidCap::SetRecordingInNativeFormat(bool Value) {
  engine_->RecordingInNativeFormat = Value;
}
TAutoFileName TVidCap::AutoFileName() const { return engine_->AutoFileName; }
void TVidCap::SetAutoFileName(TAutoFileName Value) {
  if (Value < 0 || Value > 1) return;
  engine_->AutoFileName = Value;
}
String TVidCap::AutoFilePrefix() const { return engine_->AutoFilePrefix; }
String TVidCap::CaptureFileExt() const { return engine_->CaptureFileExt; }
void TVidCap::SetCaptureFileExt(const String& Value) {
  engine_->CaptureFileExt = Value;
}
String TVidCap::StoragePath() const { return engine_->StoragePath; }
void TVidCap::SetStoragePath(const String& Value) {
  engine_->StoragePath = Value;
  engine_->StorageFolderChanged = true;
}
bool TVidCap::HoldRecording() const { return engine_->HoldRecording; }
void TVidCap::SetHoldRecording(bool Value) {
  engine_->HoldRecording = Value;
}
TCompressionMode TVidCap::CompressionMode() const { return engine_->CompressionMode; }
void TVidCap::SetCompressionMode(TCompressionMode Value) {
  if (Value < 0 || Value > 2) return;
  engine_->CompressionMode = Value;
}
TCompressionType TVidCap::CompressionType() const { return engine_->CompressionType; }
void TVidCap::SetCompressionType(TCompressionType Value) {
  if (Value < 0 || Value > 2) return;
  engine_->CompressionType = Value;
}
bool TVidCap::AVIFormatOpenDML() const { return engine_->AVIFormatOpenDML; }
void TVidCap::SetAVIFormatOpenDML(bool Value) {
  engine_->AVIFormatOpenDML = Value;
}
int32_t TVidCap::VideoCompression_KeyFrameRate() const { return engine_->VideoCompression_KeyFrameRate; }
void TVidCap::SetVideoCompression_KeyFrameRate(int32_t Value) {
  engine_->VideoCompression_KeyFrameRate = Value;
}
int32_t TVidCap::VideoCompression_PFramesPerKeyFrame() const { return engine_->VideoCompression_PFramesPerKeyFrame; }
void TVidCap::SetVideoCompression_PFramesPerKeyFrame(int32_t Value) {
  engine_->VideoCompression_PFramesPerKeyFrame = Value;
}
double TVidCap::VideoCompression_Quality() const { return engine_->VideoCompression_Quality; }
void TVidCap::SetVideoCompression_Quality(double Value) {
  engine_->VideoCompression_Quality = Value;
}
int32_t TVidCap::VideoCompression_WindowSize() const { return engine_->VideoCompression_WindowSize; }
void TVidCap::SetVideoCompression_WindowSize(int32_t Value) {
  engine_->VideoCompression_WindowSize = Value;
}
bool TVidCap::PreallocCapFileEnabled() const { return engine_->PreallocCapFileEnabled; }
void TVidCap::SetPreallocCapFileEnabled(bool Value) {
  engine_->PreallocCapFileEnabled = Value;
}
bool TVidCap::PreallocCapFileCopiedAfterRecording() const { return engine_->PreallocCapFileCopiedAfterRecording; }
void TVidCap::SetPreallocCapFileCopiedAfterRecording(bool Value) {
  engine_->PreallocCapFileCopiedAfterRecording = Value;
}
String TVidCap::PreallocCapFileName() const { return engine_->PreallocCapFileName; }
void TVidCap::SetPreallocCapFileName(const String& Value) {
  engine_->PreallocCapFileName = Value;
}
int32_t TVidCap::PreallocCapFileSizeInMB() const { return engine_->PreallocCapFileSizeInMB; }
void TVidCap::SetPreallocCapFileSizeInMB(int32_t Value) {
  if (Value < 1) return;
  engine_->PreallocCapFileSizeInMB = Value;
}
bool TVidCap::RecordingOnMotion_Enabled() const { return engine_->RecordingOnMotion_Enabled; }
void TVidCap::SetRecordingOnMotion_Enabled(bool Value) {
  engine_->RecordingOnMotion_Enabled = Value;
}
double TVidCap::RecordingOnMotion_MotionThreshold() const { return engine_->RecordingOnMotion_MotionThreshold; }
void TVidCap::SetRecordingOnMotion_MotionThreshold(double Value) {
  engine_->RecordingOnMotion_MotionThreshold = Value;
}
int32_t TVidCap::RecordingOnMotion_NoMotionPauseDelayMs() const { return engine_->RecordingOnMotion_NoMotionPauseDelayMs; }
void TVidCap::SetRecordingOnMotion_NoMotionPauseDelayMs(int32_t Value) {
  if (Value < 0) return;
  engine_->RecordingOnMotion_NoMotionPauseDelayMs = Value;
}
bool TVidCap::AudioRecording() const { return engine_->AudioRecording; }
void TVidCap::SetAudioRecording(bool Value) {
  engine_->AudioRecording = Value;
}
TAudioFormat TVidCap::AudioFormat() const { return engine_->AudioFormat; }
bool TVidCap::AudioDeviceRendering() const { return engine_->AudioDeviceRendering; }
bool TVidCap::MuteAudioRendering() const { return engine_->MuteAudioRendering; }
void TVidCap::SetMuteAudioRendering(bool Value) {
  engine_->MuteAudioRendering = Value;
  engine_->ApplySpeakerLevels();
}
bool TVidCap::SpeakerControl() const { return engine_->SpeakerControl; }
int32_t TVidCap::ASFProfile() const { return engine_->ASFProfile; }
void TVidCap::SetASFProfile(int32_t Value) {
  engine_->ASFProfile = Value;
}
String TVidCap::ASFProfileFromCustomFile() const { return engine_->ASFProfileFromCustomFile; }
void TVidCap::SetASFProfileFromCustomFile(const String& Value) {
  engine_->ASFProfileFromCustomFile = Value;
}
int32_t TVidCap::ASFAudioBitRate() const { return engine_->ASFAudioBitRate; }
void TVidCap::SetASFAudioBitRate(int32_t Value) {
  engine_->ASFAudioBitRate = Value;
}
int32_t TVidCap::ASFAudioChannels() const { return engine_->ASFAudioChannels; }
int32_t TVidCap::ASFVideoBitRate() const { return engine_->ASFVideoBitRate; }
int32_t TVidCap::ASFVideoQuality() const { return engine_->ASFVideoQuality; }
void TVidCap::SetASFVideoQuality(int32_t Value) {
  if (Value < -1) return;
  engine_->ASFVideoQuality = Value;
}
int32_t TVidCap::ASFVideoMaxKeyFrameSpacing() const { return engine_->ASFVideoMaxKeyFrameSpacing; }
void TVidCap::SetASFVideoMaxKeyFrameSpacing(int32_t Value) {
  if (Value < -1) return;
  engine_->ASFVideoMaxKeyFrameSpacing = Value;
}
int32_t TVidCap::ASFVideoWidth() const { return engine_->ASFVideoWidth; }
int32_t TVidCap::ASFVideoHeight() const { return engine_->ASFVideoHeight; }
TASFDeinterlaceMode TVidCap::ASFDeinterlaceMode() const { return engine_->ASFDeinterlaceMode; }
void TVidCap::SetASFDeinterlaceMode(TASFDeinterlaceMode Value) {
  engine_->ASFDeinterlaceMode = Value;
}
int32_t TVidCap::ASFNetworkPort() const { return engine_->ASFNetworkPort; }
void TVidCap::SetASFNetworkPort(int32_t Value) {
  if (Value < 0) return;
  engine_->ASFNetworkPort = Value;
}
int32_t TVidCap::ASFNetworkMaxUsers() const { return engine_->ASFNetworkMaxUsers; }
void TVidCap::SetASFNetworkMaxUsers(int32_t Value) {
  if (Value < 0) return;
  engine_->ASFNetworkMaxUsers = Value;
}
String TVidCap::ASFMediaServerPublishingPoint() const { return engine_->ASFMediaServerPublishingPoint; }
TNetworkStreaming TVidCap::NetworkStreaming() const { return engine_->NetworkStreaming; }
void TVidCap::SetNetworkStreaming(TNetworkStreaming Value) {
  if (engine_->NetworkStreaming == Value) return;
  engine_->NetworkStreaming = Value;
  engine_->RequestPreviewRefresh("snstr");
}
String TVidCap::PlayerFileName() const { return engine_->PlayerFileName; }
void TVidCap::SetPlayerFileName(const String& Value) {
  engine_->PlayerFileName = Value;
}
bool TVidCap::PlayerAudioRendering() const { return engine_->PlayerAudioRendering; }
TDVSize TVidCap::PlayerDVSize() const { return engine_->PlayerDVSize; }
void TVidCap::SetPlayerDVSize(TDVSize Value) {
  if (Value < 0 || Value > 3) return;
  engine_->PlayerDVSize = Value;
}
int32_t TVidCap::PlayerFastSeekSpeedRatio() const { return engine_->PlayerFastSeekSpeedRatio; }
void TVidCap::SetPlayerFastSeekSpeedRatio(int32_t Value) {
  if (Value < 1) return;
  engine_->PlayerFastSeekSpeedRatio = Value;
}
String TVidCap::PlayerForcedCodec() const { return engine_->PlayerForcedCodec; }
bool TVidCap::PlayerRefreshPausedDisplay() const { return engine_->PlayerRefreshPausedDisplay; }
void TVidCap::SetPlayerRefreshPausedDisplay(bool Value) {
  engine_->PlayerRefreshPausedDisplay = Value;
}
double TVidCap::PlayerSpeedRatio() const { return engine_->PlayerSpeedRatio; }
forms::TTrackBar* TVidCap::PlayerTrackBar() const { return engine_->PlayerTrackBar; }
void TVidCap::SetPlayerTrackBar(forms::TTrackBar* Value) {
  forms::TTrackBar* old = engine_->PlayerTrackBar;
  if (old == Value) return;
  // The bar may go before the control: it says so, and is forgotten then.
  if (old) {
    old->OnChange = nullptr;
    old->RemoveFreeNotification(this);
  }
  engine_->PlayerTrackBar = Value;
  if (Value) Value->FreeNotification(this);
}
String TVidCap::Reencoding_SourceVideoClip() const { return engine_->Reencoding_SourceVideoClip; }
void TVidCap::SetReencoding_SourceVideoClip(const String& Value) {
  engine_->Reencoding_SourceVideoClip = Value;
}
String TVidCap::Reencoding_NewVideoClip() const { return engine_->Reencoding_NewVideoClip; }
void TVidCap::SetReencoding_NewVideoClip(const String& Value) {
  engine_->Reencoding_NewVideoClip = Value;
}
int64_t TVidCap::Reencoding_StartTime() const { return engine_->Reencoding_StartTime; }
void TVidCap::SetReencoding_StartTime(int64_t Value) {
  engine_->Reencoding_StartTime = Value;
}
int64_t TVidCap::Reencoding_StopTime() const { return engine_->Reencoding_StopTime; }
void TVidCap::SetReencoding_StopTime(int64_t Value) {
  engine_->Reencoding_StopTime = Value;
}
bool TVidCap::Reencoding_IncludeVideoStream() const { return engine_->Reencoding_IncludeVideoStream; }
void TVidCap::SetReencoding_IncludeVideoStream(bool Value) {
  engine_->Reencoding_IncludeVideoStream = Value;
}
bool TVidCap::Reencoding_IncludeAudioStream() const { return engine_->Reencoding_IncludeAudioStream; }
void TVidCap::SetReencoding_IncludeAudioStream(bool Value) {
  engine_->Reencoding_IncludeAudioStream = Value;
}
TRecordingMethod TVidCap::Reencoding_Method() const { return engine_->Reencoding_Method; }
void TVidCap::SetReencoding_Method(TRecordingMethod Value) {
  engine_->Reencoding_Method = Value;
}
bool TVidCap::Reencoding_UseFrameGrabber() const { return engine_->Reencoding_UseFrameGrabber; }
void TVidCap::SetReencoding_UseFrameGrabber(bool Value) {
  engine_->Reencoding_UseFrameGrabber = Value;
}
bool TVidCap::Reencoding_UseVideoCompressor() const { return engine_->Reencoding_UseVideoCompressor; }
void TVidCap::SetReencoding_UseVideoCompressor(bool Value) {
  engine_->Reencoding_UseVideoCompressor = Value;
}
bool TVidCap::Reencoding_UseAudioCompressor() const { return engine_->Reencoding_UseAudioCompressor; }
void TVidCap::SetReencoding_UseAudioCompressor(bool Value) {
  engine_->Reencoding_UseAudioCompressor = Value;
}
bool TVidCap::Reencoding_WMVOutput() const { return engine_->Reencoding_WMVOutput; }
void TVidCap::SetReencoding_WMVOutput(bool Value) {
  engine_->Reencoding_WMVOutput = Value;
}
TNotificationMethod TVidCap::NotificationMethod() const { return engine_->NotificationMethod; }
void TVidCap::SetNotificationMethod(TNotificationMethod Value) {
  engine_->SetNotificationMethod(Value);
}
rtl::TThreadPriority TVidCap::NotificationPriority() const { return engine_->NotificationPriority; }
void TVidCap::SetNotificationPriority(rtl::TThreadPriority Value) {
  engine_->SetNotificationPriority(Value);
}
int32_t TVidCap::NotificationSleepTime() const { return engine_->NotificationSleepTime; }
void TVidCap::SetNotificationSleepTime(int32_t Value) {
  engine_->SetNotificationSleepTime(Value);
}
bool TVidCap::EventNotificationSynchrone() const { return engine_->EventNotificationSynchrone; }
void TVidCap::SetEventNotificationSynchrone(bool Value) {
  engine_->EventNotificationSynchrone = Value;
}

bool TVidCap::Display_Active() const { return engine_->Display.Active; }
void TVidCap::SetDisplay_Active(bool Value) { SetWindowOption(*engine_, engine_->Display, engine_->DualDisplay, &TVideoWindowOptions::Active, Value); }
bool TVidCap::DualDisplay_Active() const { return engine_->DualDisplay.Active; }
void TVidCap::SetDualDisplay_Active(bool Value) { SetWindowOption(*engine_, engine_->DualDisplay, engine_->Display, &TVideoWindowOptions::Active, Value); }
bool TVidCap::Display_AutoSize() const { return engine_->Display.AutoSize; }
void TVidCap::SetDisplay_AutoSize(bool Value) { SetWindowOption(*engine_, engine_->Display, engine_->DualDisplay, &TVideoWindowOptions::AutoSize, Value); }
bool TVidCap::DualDisplay_AutoSize() const { return engine_->DualDisplay.AutoSize; }
void TVidCap::SetDualDisplay_AutoSize(bool Value) { SetWindowOption(*engine_, engine_->DualDisplay, engine_->Display, &TVideoWindowOptions::AutoSize, Value); }
bool TVidCap::Display_Embedded() const { return engine_->Display.Embedded; }
void TVidCap::SetDisplay_Embedded(bool Value) { SetWindowOption(*engine_, engine_->Display, engine_->DualDisplay, &TVideoWindowOptions::Embedded, Value); }
bool TVidCap::DualDisplay_Embedded() const { return engine_->DualDisplay.Embedded; }
void TVidCap::SetDualDisplay_Embedded(bool Value) { SetWindowOption(*engine_, engine_->DualDisplay, engine_->Display, &TVideoWindowOptions::Embedded, Value); }
bool TVidCap::Display_FullScreen() const { return engine_->Display.FullScreen; }
void TVidCap::SetDisplay_FullScreen(bool Value) { SetWindowOption(*engine_, engine_->Display, engine_->DualDisplay, &TVideoWindowOptions::FullScreen, Value); }
bool TVidCap::DualDisplay_FullScreen() const { return engine_->DualDisplay.FullScreen; }
void TVidCap::SetDualDisplay_FullScreen(bool Value) { SetWindowOption(*engine_, engine_->DualDisplay, engine_->Display, &TVideoWindowOptions::FullScreen, Value); }
bool TVidCap::Display_KeepAspectRatio() const { return engine_->Display.KeepAspectRatio; }
void TVidCap::SetDisplay_KeepAspectRatio(bool Value) { SetWindowOption(*engine_, engine_->Display, engine_->DualDisplay, &TVideoWindowOptions::KeepAspectRatio, Value); }
bool TVidCap::DualDisplay_KeepAspectRatio() const { return engine_->DualDisplay.KeepAspectRatio; }
void TVidCap::SetDualDisplay_KeepAspectRatio(bool Value) { SetWindowOption(*engine_, engine_->DualDisplay, engine_->Display, &TVideoWindowOptions::KeepAspectRatio, Value); }
bool TVidCap::Display_StayOnTop() const { return engine_->Display.StayOnTop; }
void TVidCap::SetDisplay_StayOnTop(bool Value) { SetWindowOption(*engine_, engine_->Display, engine_->DualDisplay, &TVideoWindowOptions::StayOnTop, Value); }
bool TVidCap::DualDisplay_StayOnTop() const { return engine_->DualDisplay.StayOnTop; }
void TVidCap::SetDualDisplay_StayOnTop(bool Value) { SetWindowOption(*engine_, engine_->DualDisplay, engine_->Display, &TVideoWindowOptions::StayOnTop, Value); }
bool TVidCap::Display_MouseMovesWindow() const { return engine_->Display.MouseMovesWindow; }
void TVidCap::SetDisplay_MouseMovesWindow(bool Value) { SetWindowOption(*engine_, engine_->Display, engine_->DualDisplay, &TVideoWindowOptions::MouseMovesWindow, Value); }
bool TVidCap::DualDisplay_MouseMovesWindow() const { return engine_->DualDisplay.MouseMovesWindow; }
void TVidCap::SetDualDisplay_MouseMovesWindow(bool Value) { SetWindowOption(*engine_, engine_->DualDisplay, engine_->Display, &TVideoWindowOptions::MouseMovesWindow, Value); }
bool TVidCap::Display_VideoPortEnabled() const { return engine_->Display.VideoPortEnabled; }
void TVidCap::SetDisplay_VideoPortEnabled(bool Value) { SetWindowOption(*engine_, engine_->Display, engine_->DualDisplay, &TVideoWindowOptions::VideoPortEnabled, Value); }
bool TVidCap::DualDisplay_VideoPortEnabled() const { return engine_->DualDisplay.VideoPortEnabled; }
void TVidCap::SetDualDisplay_VideoPortEnabled(bool Value) { SetWindowOption(*engine_, engine_->DualDisplay, engine_->Display, &TVideoWindowOptions::VideoPortEnabled, Value); }
int32_t TVidCap::Display_Monitor() const { return engine_->Display.Monitor; }
void TVidCap::SetDisplay_Monitor(int32_t Value) { SetWindowOption(*engine_, engine_->Display, engine_->DualDisplay, &TVideoWindowOptions::Monitor, Value); }
int32_t TVidCap::DualDisplay_Monitor() const { return engine_->DualDisplay.Monitor; }
void TVidCap::SetDualDisplay_Monitor(int32_t Value) { SetWindowOption(*engine_, engine_->DualDisplay, engine_->Display, &TVideoWindowOptions::Monitor, Value); }
int32_t TVidCap::Display_Width() const { return engine_->Display.Width; }
void TVidCap::SetDisplay_Width(int32_t Value) { SetWindowOption(*engine_, engine_->Display, engine_->DualDisplay, &TVideoWindowOptions::Width, Value); }
int32_t TVidCap::DualDisplay_Width() const { return engine_->DualDisplay.Width; }
void TVidCap::SetDualDisplay_Width(int32_t Value) { SetWindowOption(*engine_, engine_->DualDisplay, engine_->Display, &TVideoWindowOptions::Width, Value); }
int32_t TVidCap::Display_Height() const { return engine_->Display.Height; }
void TVidCap::SetDisplay_Height(int32_t Value) { SetWindowOption(*engine_, engine_->Display, engine_->DualDisplay, &TVideoWindowOptions::Height, Value); }
int32_t TVidCap::DualDisplay_Height() const { return engine_->DualDisplay.Height; }
void TVidCap::SetDualDisplay_Height(int32_t Value) { SetWindowOption(*engine_, engine_->DualDisplay, engine_->Display, &TVideoWindowOptions::Height, Value); }
int32_t TVidCap::Display_Left() const { return engine_->Display.Left; }
void TVidCap::SetDisplay_Left(int32_t Value) { SetWindowOption(*engine_, engine_->Display, engine_->DualDisplay, &TVideoWindowOptions::Left, Value); }
int32_t TVidCap::DualDisplay_Left() const { return engine_->DualDisplay.Left; }
void TVidCap::SetDualDisplay_Left(int32_t Value) { SetWindowOption(*engine_, engine_->DualDisplay, engine_->Display, &TVideoWindowOptions::Left, Value); }
int32_t TVidCap::Display_Top() const { return engine_->Display.Top; }
void TVidCap::SetDisplay_Top(int32_t Value) { SetWindowOption(*engine_, engine_->Display, engine_->DualDisplay, &TVideoWindowOptions::Top, Value); }
int32_t TVidCap::DualDisplay_Top() const { return engine_->DualDisplay.Top; }
void TVidCap::SetDualDisplay_Top(int32_t Value) { SetWindowOption(*engine_, engine_->DualDisplay, engine_->Display, &TVideoWindowOptions::Top, Value); }

}  // namespace capture
