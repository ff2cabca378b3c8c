// The build of a graph between the latch and the activation: the
// predicates every builder consults, the graph itself, the output, the
// preview branch with its display, the audio path and the finishing
// steps.
#include "capture/VcDeviceManager.h"
#include "capture/VcDevices.h"
#include "capture/VcEngine.h"
#include "capture/VcGraphHelpers.h"
#include "capture/VcLog.h"
#include "capture/VidCap.h"

namespace capture {

namespace {
TGraphSchedulerFactory schedulerFactory;
}  // namespace

void SetGraphSchedulerFactory(TGraphSchedulerFactory Factory) { schedulerFactory = std::move(Factory); }

// ---- predicates -------------------------------------------------------------------

// The pins of the running graph tell, and so does what discovery saw of the
// device before any graph exists.
bool TVcEngine::UsesDVSource() const {
  return UsesCaptureDevice() && (DVFlag || DeviceSettings.Video[vds_IsDigitalVideoIn].BoolValue);
}
bool TVcEngine::UsesMPEGSource() const { return UsesCaptureDevice() && MPEGFlag; }

bool TVcEngine::CompressesVideoOnTheFly() const {
  return Latched.CompressionMode == cm_CompressOnTheFly &&
         (Latched.CompressionType == ct_Video || Latched.CompressionType == ct_AudioVideo);
}

bool TVcEngine::RecordsNativeStream() const {
  if (State != es_Recording) return false;
  if (Latched.RecordingInNativeFormat) return true;
  return (Latched.FrameGrabber == fg_PreviewStream || Latched.FrameGrabber == fg_Disabled) &&
         !CompressesVideoOnTheFly() && (!DVFlag || ChosenVideoSubtype <= 0);
}

bool TVcEngine::RecordsNativeMPEG() const { return RecordsNativeStream() && UsesMPEGSource(); }

bool TVcEngine::NativeRecordingWithPreview() const {
  return RecordsNativeStream() && (Latched.FrameGrabber == fg_PreviewStream || Latched.VideoRenderer != vr_None);
}

bool TVcEngine::PreviewStreamNeeded() const {
  return NativeRecordingWithPreview() || Latched.VideoRenderer != vr_None || Latched.FrameGrabber != fg_Disabled;
}

bool TVcEngine::ASFWriterNeeded() const {
  return Latched.NetworkStreaming != ns_Disabled ||
         ((State == es_Recording || State == es_Reencoding) &&
          (Latched.RecordingMethod == rm_ASF || Latched.RecordingMethod == rm_Stream));
}

bool TVcEngine::VideoCompressorNeeded() const {
  const bool onTheFly = Latched.CompressionMode == cm_CompressOnTheFly && (State == es_Recording || State == es_Preview);
  return (onTheFly || State == es_Reencoding) &&
         (Latched.CompressionType == ct_Video || Latched.CompressionType == ct_AudioVideo) &&
         Latched.RecordingMethod == rm_AVI;
}

bool TVcEngine::AudioCompressorNeeded() const {
  const bool onTheFly = Latched.CompressionMode == cm_CompressOnTheFly && (State == es_Recording || State == es_Preview);
  return (onTheFly || State == es_Reencoding) &&
         (Latched.CompressionType == ct_Audio || Latched.CompressionType == ct_AudioVideo) &&
         Latched.RecordingMethod == rm_AVI;
}

// ---- the graph --------------------------------------------------------------------

bool TVcEngine::CreateFilterGraph() {
  SyncStartState = 1;
  TraceLine(CF_DEFAULT, "creating filter graph");
  if (!SettingsLatched) {
    ReportIf(true, SEV_ERROR, "current params not set", e_set_filter_graph);
    return false;
  }
  if (Display.Active && DualDisplay.Active && ColorKeyEnabled)
    ReportIf(true, SEV_ERROR, "window transparency incompatible with dual display", e_incompatible_options);
  CaptureGraphBuilder = mg::CaptureGraphBuilder::Create();
  TraceYesNo(true, CF_GREY, "instance: capture graph builder");
  FilterGraph = mg::FilterGraph::Create();
  TraceYesNo(FilterGraph != nullptr, CF_GREY, "instance: filter graph");
  if (!FilterGraph) return false;
  if (schedulerFactory) FilterGraph->SetScheduler(schedulerFactory());
  if (!Report(CaptureGraphBuilder->SetFiltergraph(FilterGraph), SEV_ERROR, "set filter graph", e_set_filter_graph))
    return false;
  FilterGraph2 = FilterGraph;
  TraceLine(CF_DEFAULT, "filter graph created");
  return true;
}

bool TVcEngine::SetUpOutput() {
  const bool needed = (State == es_Recording && !RecordsNativeMPEG()) || State == es_Reencoding ||
                      (State == es_Preview && Latched.NetworkStreaming != ns_Disabled);
  if (!needed) return true;
  if (!CaptureGraphBuilder) return false;
  const bool toFile = State == es_Recording || State == es_Reencoding;
  mg::HRESULT hr = mg::S_OK;
  if (toFile && Latched.RecordingMethod == rm_ASF) {
    hr = CaptureGraphBuilder->SetOutputFileName(&mg::MEDIASUBTYPE_Asf, OutputPath, &AsfWriter, &AsfFileSink);
    if (mg::SUCCEEDED(hr) && !ConfigureASFWriter()) return false;
  } else if (ASFWriterNeeded()) {
    // The writer only feeds its network sink; its file is a scratch one.
    TSyncManager* manager = SyncManager();
    const String scratch = manager ? manager->GetTempFile("v~a") : String();
    hr = scratch.empty() ? mg::E_FAIL
                         : CaptureGraphBuilder->SetOutputFileName(&mg::MEDIASUBTYPE_Asf, scratch, &AsfWriter, &AsfFileSink);
    if (mg::SUCCEEDED(hr) && !ConfigureASFWriter()) return false;
  }
  if (toFile && Latched.RecordingMethod == rm_AVI)
    hr = CaptureGraphBuilder->SetOutputFileName(&mg::MEDIASUBTYPE_Avi, OutputPath, &AviMux, &FileSink);
  if (!Report(hr, SEV_ERROR, "set outputfilename (mux/sink", e_set_output_file_name)) return false;
  std::shared_ptr<mg::FilterGraph> graph;
  if (!Report(CaptureGraphBuilder->GetFiltergraph(&graph), SEV_ERROR, "filter graph 1", e_set_filter_graph))
    return false;
  FilterGraph = graph;
  return true;
}

void TVcEngine::MarkGraphBuilt() { SyncStartState = Synchronized ? 2 : 3; }

bool TVcEngine::FinishGraph(bool SetNoGrabberFlag, bool CapturesAudio) {
  if (State == es_Recording && Latched.HoldRecording) PlaceHoldPoints();
  if (State != es_Reencoding) {
    // The sound card's speaker and the audio input while the graph runs.
    SaveSpeakerLevels();
    SelectAudioInput();
    // The monitor graph that plays a recording's sound comes with the
    // recording code; the levels are set all the same.
    if (State == es_Recording && Latched.AudioDeviceRendering) ApplySpeakerLevels();
    ReadDeviceFrameRate();
    ApplyVideoCompressionSettings();
  }
  if (State != es_Reencoding && CaptureGraphBuilder && VideoDeviceFilter) {
    std::shared_ptr<mg::IAMDroppedFrames> dropped;
    if (CaptureGraphBuilder->FindInterface(nullptr, nullptr, VideoDeviceFilter, &dropped) != mg::S_OK || !dropped)
      TraceLine(CF_RED, "find dropped frames interface");
    DroppedFrames = dropped;
    Periodic.DroppedFrames = dropped;
  }
  MediaControl = mg::QueryInterface<mg::IMediaControl>(FilterGraph);
  if (!MediaControl) {
    ReportIf(true, SEV_ERROR, "get control interface", e_get_interface);
    return false;
  }
  if (!MediaEvents) {
    MediaEvents = mg::QueryInterface<mg::IMediaEventEx>(FilterGraph);
    if (!MediaEvents) ReportIf(true, SEV_ERROR, "get Event ex interface", e_get_interface);
  }
  if (MediaEvents) {
    MediaEvents->SetNotifyFlags(0);
    MediaEvents->SetNotifyWindow(Owner && Owner->HandleAllocated() ? Owner->Handle() : nullptr,
                                 static_cast<mg::LONG>(GraphEventMessage()), 1);
    MediaEvents->CancelDefaultHandling(mg::EC_REPAINT);
  }
  SetUpGraphClock();
  if (State != es_Reencoding) {
    TraceGraphTree();
    if (auto window = mg::QueryInterface<mg::IVideoWindow>(FilterGraph)) window->put_AutoShow(mg::OAFALSE);
  }
  ConfigureAviMux(CapturesAudio);
  ReadGrabberMediaType();
  if (SetNoGrabberFlag) NoFrameGrabber = !Grab.NotifyGrabber && Latched.FrameGrabber == fg_Disabled;
  // Without a grabber frame progress follows the device's delivered count.
  Periodic.FrameGrabberDisabled = NoFrameGrabber;
  return true;
}

// ---- branches ---------------------------------------------------------------------
// The preview branch: the source stream to the display. The extra filters,
// the picture transforms and the frame grabbers that the full branch puts
// on the stream come with their own code.

bool TVcEngine::BuildPreview() {
  TraceLine(CF_DEFAULT, "BEGIN build preview");
  bool ok = false;
  if (!MainVideoPin) {
    ReportIf(true, SEV_TRACE_ONLY, "preview pin not assigned", e_pin_not_found);
  } else {
    std::shared_ptr<mg::Pin> pin = MainVideoPin;
    InsertThirdPartyFilters(tpf_VideoSource, pin);
    ok = InsertMainFrameGrabber(pin);
    if (ok) InsertThirdPartyFilters(tpf_VideoPreview, pin);
    ok = ok && InsertVideoDisplay(pin);
    if (ok) TraceLine(CF_DEFAULT, "END build preview");
  }
  TraceLine(CF_DEFAULT, "building preview ended");
  return ok;
}

bool TVcEngine::BuildNonNativeDVPreview() {
  TraceLine(CF_DEFAULT, "BEGIN build not native DV preview");
  if (!MainVideoPin) {
    ReportIf(true, SEV_TRACE_ONLY, "preview pin not assigned", e_pin_not_found);
    return false;
  }
  std::shared_ptr<mg::Pin> pin = MainVideoPin;
  if (Latched.FrameGrabber == fg_CaptureStream && !InsertTeeFrameGrabber(&mg::CLSID_DVVideoCodec, pin)) return false;
  const bool fullSize = DeviceSettings.Video[vds_VideoSize].IntValue == 4;
  const bool noDecoder = (Latched.FrameGrabber == fg_CaptureStream || Latched.FrameGrabber == fg_Disabled) && fullSize;
  if (!noDecoder) {
    std::shared_ptr<mg::BaseFilter> decoder;
    if (!InsertFilterInline(mg::CLSID_DVVideoCodec, UniqueFilterName("DV Codec"), pin, &mg::MEDIATYPE_Video, decoder))
      return false;
    ApplyDVDecoderSettings(decoder);
    ApplyDVSubtype();
  }
  if ((Latched.FrameGrabber == fg_BothStreams || Latched.FrameGrabber == fg_PreviewStream) &&
      !InsertFrameGrabber(pin, gm_RGB, nullptr, Grab.MainGrabber, EffectivePixelFormat))
    return false;
  InsertThirdPartyFilters(tpf_VideoPreview, pin);
  if (!InsertVideoDisplay(pin)) return false;
  TraceLine(CF_DEFAULT, "END build not native DV preview");
  return true;
}

bool TVcEngine::BuildAudioPath() {
  if (!AudioPin) return true;
  if (State == es_Preview && SampleCapture_Audio == sc_Native && !InsertSampleGrabber(AudioPin, false)) return false;
  // A recording put the source's extra filters on the stream already.
  if (State == es_Preview) InsertThirdPartyFilters(tpf_AudioSource, AudioPin);
  InsertThirdPartyFilters(tpf_AudioRender, AudioPin);
  std::shared_ptr<mg::BaseFilter> tee;
  std::shared_ptr<mg::Pin> input;
  if (!AddFilterGetInput(*this, mg::CLSID_InfTee, UniqueFilterName("ATee"), tee, input) || !ConnectPins(AudioPin, input))
    return true;
  AudioPin = FirstFreePin(tee, mg::PINDIR_OUTPUT);
  if (Latched.AudioDeviceRendering) {
    if (State == es_Recording)
      ReportIf(true, SEV_WARNING,
               "AUDIO RENDERING DURING Recording CAN INCREASE DROPPED FRAMES AND CAUSE AUDIO SYNC PROBLEMS",
               w_player_audio_should_be_disabled);
    AudioRendered = RenderAudioPin(*this, AudioPin, UniqueFilterName("Audio Renderer"));
    if (AudioRendered)
      AudioPin = FirstFreePin(tee, mg::PINDIR_OUTPUT);
    else
      TerminateWithNullRenderer(AudioPin, false);
  }
  return true;
}

}  // namespace capture
