// The first stage of every build: a fresh graph with the video source in
// it and the output pins the branches start from. For a capture device
// the device's kind is told from its pins: an MPEG encoder card, a DV
// camcorder or an ordinary video device.
#include "capture/VcDevices.h"
#include "capture/VcEngine.h"
#include "capture/VcGraphHelpers.h"
#include "capture/VcLog.h"
#include "capture/VidCap.h"
#include "platform/rtl/StringUtils.h"

namespace capture {

namespace {

bool ManagerReady() { return DeviceManagerExists() && VideoCaptureDevices() != nullptr; }

const mg::GUID kDVSubtypes[] = {mg::MEDIASUBTYPE_DVCS, mg::MEDIASUBTYPE_DVSD, mg::MEDIASUBTYPE_dvsd,
                                mg::MEDIASUBTYPE_dvhd, mg::MEDIASUBTYPE_dvsl, mg::MEDIASUBTYPE_dv25,
                                mg::MEDIASUBTYPE_dv50, mg::MEDIASUBTYPE_dvh1};

}  // namespace

bool TVcEngine::IsHauppaugePVR() const {
  const TDevices* list = VideoCaptureDevices();
  const String name = rtl::LowerCase(list ? list->GetName(VideoDevice) : String());
  return name.find("hauppauge") != String::npos && name.find("pvr") != String::npos;
}

bool TVcEngine::CreateBaseGraph() {
  TraceLine(CF_DEFAULT, "creating base graph");
  if (!ManagerReady()) return false;
  SyncStartState = 1;
  if (!SettingsLatched) {
    ReportIf(true, SEV_ERROR, "current params not set", e_set_filter_graph);
    return false;
  }
  switch (Latched.VideoSource) {
    case vs_VideoCaptureDevice:
      if (MultiplexedRole == mr_MultiplexedSlave) break;
      if (!CreateDeviceGraph() || !RetrieveSourcePins()) return false;
      AddAudioSource();
      if (!DeviceDialogMode && StoreDeviceSettingsInRegistry) {
        ApplyVideoQuality();
        ApplyCameraControl();
      }
      TraceLine(CF_DEFAULT, "Subtypes:");
      for (int32_t i = 0; i < Sel.VideoSubtypes.Count(); ++i) TraceLine(CF_DEFAULT, Sel.VideoSubtypes[i]);
      TraceLine(CF_DEFAULT, "analog standards:");
      TraceLine(CF_DEFAULT, "sizes");
      for (int32_t i = 0; i < Sel.VideoSizes.Count(); ++i) TraceLine(CF_DEFAULT, Sel.VideoSizes[i]);
      break;
    case vs_IPCamera:
      // No network-camera source exists: the base graph holds nothing, and
      // the branches find no video pin.
      break;
    default:
      break;
  }
  if (Latched.VideoSource == vs_VideoFromBitmaps || Latched.VideoSource == vs_ExternalSource ||
      Latched.VideoSource == vs_VideoFromImages) {
    if (!CreatePushedSourceGraph()) return false;
  } else if (Latched.VideoSource == vs_VideoFileOrURL ||
             (Latched.VideoSource == vs_VideoCaptureDevice && MultiplexedRole == mr_MultiplexedSlave)) {
    // Clips and a multiplexed master's frames come with the player's and
    // the slave's graphs; until those are in place such a source cannot be
    // built.
    TraceLine(CF_RED, "source not available in this build");
    return false;
  }
  TraceLine(CF_DEFAULT, "base graph created");
  return true;
}

bool TVcEngine::CreateDeviceGraph() {
  TraceLine(CF_DEFAULT, "creating device graph");
  if (!CreateFilterGraph() || !ManagerReady()) return false;
  int32_t index = VideoDevice;
  if (!BindDevice(FilterGraph2, VideoCaptureDevices(), String(), !DeviceDialogMode, InUseRef, true,
                  VideoDeviceFilter, String(), index))
    return false;
  const TCapDeviceInfo* info = VideoCaptureDevices()->Info(index);
  WDMFlag = info && info->IsWDM;
  VideoPortFlag = BuildVideoPortPath();
  TraceYesNo(VideoPortFlag, CF_DEFAULT, "WDM video port");
  TraceLine(CF_DEFAULT, "device graph created");
  return true;
}

bool TVcEngine::ConnectToNamedInput(std::shared_ptr<mg::Pin>& OutPin, const std::shared_ptr<mg::BaseFilter>& Filter,
                                    const String& Name) {
  std::shared_ptr<mg::Pin> input;
  if (FindPinByName(Filter, mg::PINDIR_INPUT, Name, input, false, false) != mg::S_OK) return false;
  return ConnectPins(OutPin, input);
}

bool TVcEngine::RetrieveSourcePins() {
  TraceLine(CF_DEFAULT, "retrieving source pins");
  PinCategory = mg::PIN_CATEGORY_CAPTURE;
  auto find = [&](const mg::GUID* category, const mg::GUID* type) {
    std::shared_ptr<mg::Pin> pin;
    if (CaptureGraphBuilder)
      CaptureGraphBuilder->FindPin(VideoDeviceFilter, mg::PINDIR_OUTPUT, category, type, 1, 0, &pin);
    return pin;
  };

  // The encoder card family: its own capture and 656 outputs.
  if (TraceYesNo(IsHauppaugePVR(), CF_DEFAULT, "is hauppauge pvr")) {
    FindPinByName(VideoDeviceFilter, mg::PINDIR_OUTPUT, "656", SecondVideoPin, false, false);
    FindPinByName(VideoDeviceFilter, mg::PINDIR_OUTPUT, "Capturer", MainVideoPin, false, false);
    if (MainVideoPin && SecondVideoPin) {
      MPEGFlag = true;
      DiscoverControlInterfaces(MainVideoPin);
      if (RecordsNativeStream()) {
        std::shared_ptr<mg::BaseFilter> encoder;
        const mg::GUID encoderCategory = mg::GUID::FromText("{19689BF6-C384-48FD-AD51-90E58C79F70B}");
        if (!BindByName(encoderCategory, "PVR PCI II Encoder", encoder, 1)) return false;
        std::shared_ptr<mg::Pin> input = FirstFreePin(encoder, mg::PINDIR_INPUT);
        if (!ConnectPins(SecondVideoPin, input)) return false;
        if (!FindPinByMediaType(encoder, mg::PINDIR_OUTPUT, mg::MEDIATYPE_Stream, SecondVideoPin)) return false;
      } else {
        SecondVideoPin.reset();
      }
      AudioPin = find(nullptr, &mg::MEDIATYPE_Audio);
    }
  }
  if (!MainVideoPin) {
    MainVideoPin = find(nullptr, &mg::MEDIATYPE_Stream);
    if (MainVideoPin) MPEGFlag = true;
    TraceYesNo(MainVideoPin != nullptr, CF_DEFAULT, "is mpeg stream");
  }

  if (UsesMPEGSource()) {
    TraceLine(CF_DEFAULT, "is mpeg source");
    // The MPEG card's own branches (tees, transport-stream decoders, the
    // demultiplexer and the raw writer) come with the recording code.
    TraceLine(CF_RED, "mpeg sources not available in this build");
    return false;
  }

  // DV: a DV video output when no sound is wanted, else the interleaved
  // stream through the splitter.
  std::shared_ptr<mg::Pin> dvVideo, interleaved;
  if (!Latched.AudioRecording && !Latched.AudioDeviceRendering) {
    auto pin = find(&mg::PIN_CATEGORY_CAPTURE, &mg::MEDIATYPE_Video);
    if (pin && PinHasMediaType(pin, mg::MEDIATYPE_Video, {std::begin(kDVSubtypes), std::end(kDVSubtypes)})) {
      dvVideo = pin;
      DVFlag = true;
      TraceYesNo(true, CF_DEFAULT, "is DV 1");
      DiscoverControlInterfaces(dvVideo);
    }
  }
  if (!dvVideo) {
    interleaved = find(nullptr, &mg::MEDIATYPE_Interleaved);
    if (interleaved) {
      DVFlag = true;
      TraceYesNo(true, CF_DEFAULT, "is DV 2");
      DiscoverControlInterfaces(interleaved);
    }
  }
  if (!DVFlag) {
    TraceLine(CF_DEFAULT, "normal video");
    if ((MainVideoPin = find(&mg::PIN_CATEGORY_CAPTURE, &mg::MEDIATYPE_Video)))
      TraceLine(CF_DEFAULT, "normal video cat capture");
    else if ((MainVideoPin = find(&mg::PIN_CATEGORY_PREVIEW, &mg::MEDIATYPE_Video)))
      TraceLine(CF_DEFAULT, "normal video cat preview");
    else if ((MainVideoPin = find(nullptr, &mg::MEDIATYPE_Video)))
      TraceLine(CF_DEFAULT, "normal video cat not specified");
    if (MainVideoPin) DiscoverControlInterfaces(MainVideoPin);
  } else {
    TraceLine(CF_DEFAULT, "DV settings");
    // The DV data grabber (date and time code of each frame) is part of the
    // frame path; the frame is marked as DV for it.
    DVFramePath = true;
    MainVideoPin = dvVideo ? dvVideo : interleaved;
    if (!MainVideoPin) return false;
    if (SampleCapture_Video == sc_Unsplitted && !InsertSampleGrabber(MainVideoPin, true)) return false;
    if (RecordsNativeStream()) {
      if (!InsertFilter2(mg::CLSID_SmartTee, UniqueFilterName("Capture Smart Tee"), MainVideoPin, SecondVideoPin,
                         MainVideoPin))
        return false;
    }
    if (!dvVideo) {
      std::shared_ptr<mg::BaseFilter> splitter;
      if (!InsertFilterInline(mg::CLSID_DVSplitter, UniqueFilterName("DV Splitter"), MainVideoPin,
                              &mg::MEDIATYPE_Video, splitter))
        return false;
      if (auto dv = mg::QueryInterface<mg::IDVSplitter>(splitter)) dv->DiscardAlternateVideoFrames(DVReduceFrameRate ? 1 : 0);
      if (Latched.AudioRecording || Latched.AudioDeviceRendering) {
        AudioPin = FirstFreePin(splitter, mg::PINDIR_OUTPUT);
        if (!AudioPin || !mg::PinHasMajorType(*AudioPin, mg::MEDIATYPE_Audio)) {
          AudioPin.reset();
          FindPinByMediaType(splitter, mg::PINDIR_OUTPUT, mg::MEDIATYPE_Audio, AudioPin);
        }
        if (!AudioPin) return false;
      }
    }
  }
  Sel.IsDV = DVFlag;
  if (DVFlag) DeviceSettings.Video[vds_IsDigitalVideoIn].BoolValue = true;
  if (SampleCapture_Video == sc_Native && !InsertSampleGrabber(SecondVideoPin ? SecondVideoPin : MainVideoPin, true))
    return false;
  TraceLine(CF_DEFAULT, "source pins retrieved");
  return true;
}

void TVcEngine::AddAudioSource() {
  if (AudioPin || UsesMPEGSource() || UsesDVSource() || (State != es_Preview && State != es_Recording)) return;
  const bool wanted =
      (State == es_Preview && Latched.AudioDeviceRendering) || (State == es_Recording && Latched.AudioRecording);
  if (!wanted) return;
  if (AudioDeviceCount() == 0) {
    ReportIf(true, SEV_WARNING, "no audio device found", w_find_audio_device);
    return;
  }
  std::shared_ptr<mg::Pin> own;
  if (CaptureGraphBuilder)
    CaptureGraphBuilder->FindPin(VideoDeviceFilter, mg::PINDIR_OUTPUT, nullptr, &mg::MEDIATYPE_Audio, 1, 0, &own);
  if (own) {
    AudioPin = own;
    SourceInputMixer = mg::QueryInterface<mg::IAMAudioInputMixer>(VideoDeviceFilter);
    if (!DeviceDialogMode) ApplyAudioFormat(AudioPin);
    return;
  }
  int32_t index = AudioDevice;
  TCapDeviceInfo* unused = nullptr;
  if (!BindDevice(FilterGraph2, AudioCaptureDevices(), String(), !DeviceDialogMode, unused, false,
                  AudioDeviceFilter, String(), index))
    return;
  SourceInputMixer = mg::QueryInterface<mg::IAMAudioInputMixer>(AudioDeviceFilter);
  if (CaptureGraphBuilder)
    CaptureGraphBuilder->FindPin(AudioDeviceFilter, mg::PINDIR_OUTPUT, nullptr, &mg::MEDIATYPE_Audio, 1, 0,
                                 &AudioPin);
  if (!DeviceDialogMode) ApplyAudioFormat(AudioPin);
}

}  // namespace capture
