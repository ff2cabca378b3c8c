// The control interfaces of a video capture device, found each time its
// source pins are retrieved: tuner, decoder, stream configuration, picture
// and camera controls, video control, transport, time code, TV audio and
// crossbars. Outside a discovery the device's stored settings go back on
// it in the same pass. The picture and camera tables live here too.
#include <cstring>

#include "capture/VcCrossbar.h"
#include "capture/VcDevices.h"
#include "capture/VcEngine.h"
#include "capture/VcGraphHelpers.h"
#include "capture/VcLog.h"
#include "platform/rtl/StringUtils.h"

namespace capture {

namespace {

TSetting& V(TVcEngine& e, TVideoDeviceSetting s) { return e.DeviceSettings.Video[s]; }

// Proc amp and camera control share their method names; one routine reads
// and one applies either table.
template <class I, size_t N>
void ReadRanges(I* control, std::array<uint8_t, N>& table, int32_t count) {
  if (!control) return;
  for (int32_t i = 0; i < count; ++i) {
    TDeviceControl c = ControlRecord(table, i);
    mg::LONG min = 0, max = 0, step = 0, def = 0, flags = 0;
    const bool available = control->GetRange(i, &min, &max, &step, &def, &flags) == mg::S_OK;
    c.Available = available ? 1 : 0;
    if (available) {
      c.Min = min;
      c.Max = max;
      c.Step = step;
      c.Default = def;
      mg::LONG value = 0;
      if (control->Get(i, &value, &flags) == mg::S_OK) c.Value = value;
    }
    PutControlRecord(table, i, c);
  }
}

template <class I, size_t N>
void ApplyTable(I* control, const std::array<uint8_t, N>& table, int32_t count, bool automatic) {
  if (!control) return;
  for (int32_t i = 0; i < count; ++i) {
    const TDeviceControl c = ControlRecord(table, i);
    // Unavailable controls get the call as well; the device refuses it.
    if (automatic)
      control->Set(i, c.Default, mg::VideoProcAmp_Flags_Auto);
    else
      control->Set(i, c.Value, mg::VideoProcAmp_Flags_Manual);
  }
}

template <class I>
std::shared_ptr<I> Find(TVcEngine& e, const mg::GUID* category, const std::shared_ptr<mg::BaseFilter>& filter) {
  std::shared_ptr<I> found;
  if (e.CaptureGraphBuilder && filter) e.CaptureGraphBuilder->FindInterface(category, nullptr, filter, &found);
  return found;
}

}  // namespace

bool TVcEngine::DiscoverControlInterfaces(const std::shared_ptr<mg::Pin>& Pin) {
  if (!UsesCaptureDevice() || Latched.VideoSource != vs_VideoCaptureDevice || !VideoDeviceFilter) {
    TraceLine(CF_RED, "failed to retrieve common interfaces");
    return false;
  }
  const std::shared_ptr<mg::BaseFilter>& device = VideoDeviceFilter;

  // Rendering the pin makes a capture card's driver bring its crossbars
  // and tuner in front of the device; what it put behind the pin goes.
  if (!V(*this, vds_IsMpegStream).BoolValue && Pin && CaptureGraphBuilder &&
      CaptureGraphBuilder->RenderStream(nullptr, nullptr, Pin, nullptr, nullptr) == mg::S_OK) {
    RemoveDownstream(FilterGraph, Pin, true);
    if (FilterGraph && Pin->IsConnected()) FilterGraph->Disconnect(Pin);
  }

  TVTuner = Find<mg::IAMTVTuner>(*this, &mg::LOOK_UPSTREAM_ONLY, device);
  V(*this, vds_IsTVTunerAvail).BoolValue = TraceYesNo(TVTuner != nullptr, CF_DEFAULT, "tv tuner available");

  AnalogDecoder = Find<mg::IAMAnalogVideoDecoder>(*this, nullptr, device);
  if (!AnalogDecoder) AnalogDecoder = Find<mg::IAMAnalogVideoDecoder>(*this, &mg::LOOK_UPSTREAM_ONLY, device);
  V(*this, vds_IsAnalogVideoDecoderAvail).BoolValue =
      TraceYesNo(AnalogDecoder != nullptr, CF_DEFAULT, "AnalogVideoDecoderAvail available");
  if (AnalogDecoder) {
    mg::LONG locking = 0;
    V(*this, vds_IsVCRHorizontalLockingAvail).BoolValue =
        AnalogDecoder->get_VCRHorizontalLocking(&locking) == mg::S_OK;
    if (!DiscoveryMode) {
      AnalogDecoder->put_TVFormat(V(*this, vds_ANTVFormat).IntValue);
      AnalogDecoder->put_VCRHorizontalLocking(V(*this, vds_ANVVCRHorzLocking).IntValue);
      AnalogDecoder->put_OutputEnable(V(*this, vds_ANVOutputEnable).IntValue);
    }
  } else {
    V(*this, vds_IsVCRHorizontalLockingAvail).BoolValue = false;
  }

  StreamConfig = mg::QueryInterface<mg::IAMStreamConfig>(Pin);
  if (!StreamConfig) TraceLine(CF_RED, "find stream config");
  SourcePin = Pin;
  ApplySelectedVideoFormat();

  VideoProcAmp = Find<mg::IAMVideoProcAmp>(*this, nullptr, device);
  V(*this, vds_IsVideoQualityAvail).BoolValue = TraceYesNo(VideoProcAmp != nullptr, CF_DEFAULT, "find video quality");
  CameraControl = Find<mg::IAMCameraControl>(*this, nullptr, device);
  V(*this, vds_IsCameraControlAvail).BoolValue =
      TraceYesNo(CameraControl != nullptr, CF_DEFAULT, "find camera control");
  VideoControl = Find<mg::IAMVideoControl>(*this, nullptr, device);
  V(*this, vds_IsVideoControlAvail).BoolValue = TraceYesNo(VideoControl != nullptr, CF_DEFAULT, "find video control");
  ExtTransport = Find<mg::IAMExtTransport>(*this, nullptr, device);
  V(*this, vds_ExtTransportAvail).BoolValue = TraceYesNo(ExtTransport != nullptr, CF_DEFAULT, "find ext transport");
  Periodic.ExtTransport = ExtTransport;
  TimecodeReader = Find<mg::IAMTimecodeReader>(*this, nullptr, device);
  V(*this, vds_TimeCodeReaderAvail).BoolValue =
      TraceYesNo(TimecodeReader != nullptr, CF_DEFAULT, "time code available");
  TVAudio = Find<mg::IAMTVAudio>(*this, nullptr, device);
  V(*this, vds_IsTVAudioAvail).BoolValue = TraceYesNo(TVAudio != nullptr, CF_DEFAULT, "tv audio available");

  VideoCrossbar = Find<mg::IAMCrossbar>(*this, nullptr, device);
  if (!VideoCrossbar) VideoCrossbar = Find<mg::IAMCrossbar>(*this, &mg::LOOK_UPSTREAM_ONLY, device);
  V(*this, vds_IsVideoCrossbarAvail).BoolValue =
      TraceYesNo(VideoCrossbar != nullptr, CF_DEFAULT, "video crossbar available");
  if (VideoCrossbar) {
    auto crossbarFilter = std::dynamic_pointer_cast<mg::BaseFilter>(VideoCrossbar);
    AudioCrossbar = Find<mg::IAMCrossbar>(*this, &mg::LOOK_UPSTREAM_ONLY, crossbarFilter);
    V(*this, vds_IsAudioCrossbarAvail).BoolValue =
        TraceYesNo(AudioCrossbar != nullptr, CF_DEFAULT, "audio crossbar on video available");
    const String inputs = ListVideoInputs();
    V(*this, vds_VideoInputs).StrValue = inputs;
    if (DiscoveryMode) V(*this, vds_VideoInput).IntValue = GetRoutedVideoInput();
    TraceLine(CF_DEFAULT, "video crossbar inputs");
    TraceLine(CF_DEFAULT, inputs);
    if (AudioCrossbar && AutoConnectRelatedPins) {
      TraceLine(CF_DEFAULT, "routing crossbar");
      std::shared_ptr<mg::Pin> analogIn;
      CaptureGraphBuilder->FindPin(device, mg::PINDIR_INPUT, nullptr, &mg::MEDIATYPE_AnalogVideo, 0, 0,
                                   &analogIn);
      TraceLine(CF_DEFAULT, "auto routing audio crossbar");
      CrossbarTree = std::make_shared<TCrossbarTree>(analogIn);
    }
  }

  ProcessCrossbars();
  ReadVideoControlCaps(Pin);
  ApplyVideoControlMode();
  if (!DiscoveryMode) SelectVideoInput(V(*this, vds_VideoInput).IntValue);
  if (TVTuner) {
    if (DiscoveryMode) {
      ReadTunerState();
      mg::LONG standard = 0;
      if (TVTuner->get_TVFormat(&standard) == mg::S_OK) V(*this, vds_ANTVFormat).IntValue = standard;
    } else {
      ApplyTunerState();
    }
  }
  return true;
}

void TVcEngine::ReleaseControlInterfaces() {
  TVTuner.reset();
  AnalogDecoder.reset();
  StreamConfig.reset();
  VideoProcAmp.reset();
  CameraControl.reset();
  VideoControl.reset();
  ExtTransport.reset();
  Periodic.ExtTransport.reset();
  TimecodeReader.reset();
  TVAudio.reset();
  VideoCrossbar.reset();
  AudioCrossbar.reset();
  CrossbarTree.reset();
  SourcePin.reset();
}

void TVcEngine::ReadVideoQualityRanges() {
  ReadRanges(VideoProcAmp.get(), DeviceSettings.VideoQualityTable, kVideoQualityCount);
}

void TVcEngine::ReadCameraControlRanges() {
  ReadRanges(CameraControl.get(), DeviceSettings.CameraControlTable, kCameraControlCount);
}

void TVcEngine::ApplyVideoQuality() {
  if (!VideoQualitySettings) return;
  ApplyTable(VideoProcAmp.get(), DeviceSettings.VideoQualityTable, kVideoQualityCount,
             V(*this, vds_VideoQualityAuto).BoolValue);
}

void TVcEngine::ApplyCameraControl() {
  if (!CameraControlSettings) return;
  ApplyTable(CameraControl.get(), DeviceSettings.CameraControlTable, kCameraControlCount,
             V(*this, vds_CameraControlAuto).BoolValue);
}

void TVcEngine::ReadVideoControlCaps(const std::shared_ptr<mg::Pin>& Pin) {
  mg::LONG caps = 0;
  if (VideoControl && Pin && VideoControl->GetCaps(Pin.get(), &caps) == mg::S_OK)
    V(*this, vds_VideoControlCaps).IntValue = caps;
}

void TVcEngine::ApplyVideoControlMode() {
  if (V(*this, vds_IsVideoControlAvail).BoolValue && V(*this, vds_VideoControlCaps).IntValue != 0 && SourcePin &&
      VideoControl)
    VideoControl->SetMode(SourcePin.get(), V(*this, vds_VideoControlMode).IntValue);
}

void TVcEngine::ReadBackDeviceSettings() {
  if (AnalogDecoder) {
    mg::LONG v = 0;
    if (AnalogDecoder->get_TVFormat(&v) == mg::S_OK) V(*this, vds_ANTVFormat).IntValue = v;
    if (AnalogDecoder->get_VCRHorizontalLocking(&v) == mg::S_OK) V(*this, vds_ANVVCRHorzLocking).IntValue = v;
    if (AnalogDecoder->get_OutputEnable(&v) == mg::S_OK) V(*this, vds_ANVOutputEnable).IntValue = v;
  }
  ReadBackCrossbarRouting();
  ReadTunerState();
  ReadVideoQualityRanges();
  ReadCameraControlRanges();
}

}  // namespace capture
