// The recording branches: the common capture-and-preview branch that
// splits the source into the file's stream and the display's, the native
// DV branch, and the audio that goes to the file beside the video.
#include "capture/VcDevices.h"
#include "capture/VcEngine.h"
#include "capture/VcFormats.h"
#include "capture/VcGraphHelpers.h"
#include "capture/VcLog.h"
#include "capture/VidCap.h"

namespace capture {

namespace {

// Parts of a branch that later code supplies (frame grabbers, extra
// filters, picture transforms) make a build fail with a clear trace
// instead of recording something other than what was asked for.
bool Unavailable(const String& What) {
  TraceLine(CF_RED, What + " not available in this build");
  return false;
}

}  // namespace

bool TVcEngine::BuildCaptureAndPreview() {
  TraceLine(CF_DEFAULT, "BEGIN build capture and preview");
  RecordingStarted = false;
  if (!MainVideoPin) {
    ReportIf(true, SEV_TRACE_ONLY, "Capture pin not assigned", e_pin_not_found);
    return false;
  }
  if (GeometryProcessing) return Unavailable("picture transforms");
  std::shared_ptr<mg::Pin> capture = MainVideoPin;
  InsertThirdPartyFilters(tpf_VideoSource, capture);
  const bool commonGrabber = (Latched.FrameGrabber == fg_BothStreams || Latched.FrameGrabber == fg_CaptureStream) &&
                             !Latched.RecordingInNativeFormat;
  if (commonGrabber) {
    if (UsesDVSource()) {
      std::shared_ptr<mg::BaseFilter> decoder;
      if (!InsertFilterInline(mg::CLSID_DVVideoCodec, UniqueFilterName("DV Codec"), capture, &mg::MEDIATYPE_Video,
                              decoder))
        return false;
      ApplyDVDecoderSettings(decoder);
    }
    if (!InsertFrameGrabber(capture, gm_RGB, nullptr, Grab.MainGrabber, EffectivePixelFormat)) return false;
  }
  std::shared_ptr<mg::Pin> preview;
  if (!InsertFilter2(mg::CLSID_SmartTee, UniqueFilterName("Smart Tee"), preview, capture, capture)) return false;

  mg::AM_MEDIA_TYPE muxType;
  bool haveMuxType = false;
  if (UsesDVSource()) {
    String subtype;
    if (GetSelectedSubtypeText(subtype) && !IsDVSubtypeName(subtype)) {
      // The file gets the decoded picture in the chosen subtype.
      std::shared_ptr<mg::BaseFilter> decoder;
      if (!InsertFilterInline(mg::CLSID_DVVideoCodec, UniqueFilterName("DV Codec rec"), capture, &mg::MEDIATYPE_Video,
                              decoder))
        return false;
      ApplyDVDecoderSettings(decoder);
      haveMuxType = FindPinMediaType(capture, &mg::FORMAT_VideoInfo, muxType);
    }
    if (preview) {
      std::shared_ptr<mg::BaseFilter> decoder;
      if (!InsertFilterInline(mg::CLSID_DVVideoCodec, UniqueFilterName("DV Codec pre"), preview, &mg::MEDIATYPE_Video,
                              decoder))
        return false;
      ApplyDVDecoderSettings(decoder);
    }
  }
  if (!mg::QueryInterface<mg::IAMStreamControl>(capture)) {
    std::shared_ptr<mg::Pin> unused;
    if (!InsertFilter2(mg::CLSID_SmartTee, UniqueFilterName("Smart Tee 2"), unused, capture, capture)) return false;
    VideoControlPin = capture;
  }
  const bool previewGrabber = Latched.FrameGrabber == fg_PreviewStream ||
                              (Latched.FrameGrabber == fg_BothStreams && Latched.RecordingInNativeFormat);
  if (preview && previewGrabber &&
      !InsertFrameGrabber(preview, gm_RGB, nullptr, Grab.MainGrabber, EffectivePixelFormat))
    return false;
  if (preview) InsertThirdPartyFilters(tpf_VideoPreview, preview);
  InsertThirdPartyFilters(tpf_VideoCapture, capture);
  if (preview && Latched.VideoRenderer != vr_None && !InsertVideoDisplay(preview)) return false;
  if (preview && Latched.VideoRenderer == vr_None) TerminateWithNullRenderer(preview, true);

  if (Latched.RecordingMethod == rm_AVI && AsfWriter) return Unavailable("network streaming while recording");
  if (VideoCompressorNeeded()) {
    TraceLine(CF_DEFAULT, "inserting video compressor");
    if (Latched.RecordingCanPause) return Unavailable("pause grabbers");
    int32_t index = Sel.VideoCompressor;
    if (!BindListEntry(FilterGraph2, VideoCompressors(), true, VideoCompressorFilter, "VIDC", index)) return false;
    std::shared_ptr<mg::Pin> input = FirstFreePin(VideoCompressorFilter, mg::PINDIR_INPUT);
    if (!input || !ConnectPins(capture, input)) {
      const TDevices* list = VideoCompressors();
      ReportIf(true, SEV_ERROR, "video compressor " + (list ? list->GetName(index) : String()) + " not suitable",
               e_video_compressor_not_suitable);
      return false;
    }
    capture = FirstFreePin(VideoCompressorFilter, mg::PINDIR_OUTPUT);
    haveMuxType = false;
    if (SampleCapture_Video == sc_AfterCompression && !InsertSampleGrabber(capture, true)) return false;
  }
  // A recording that can pause holds its stream at a lock-and-shift
  // grabber right before the file.
  if (Latched.RecordingCanPause &&
      !InsertFrameGrabber(capture, gm_LockAndShift, nullptr, Grab.VideoLockShift, fgf_Default))
    return false;
  bool connected = false;
  std::shared_ptr<mg::Pin> control;
  if (Latched.RecordingMethod == rm_AVI)
    connected = ConnectToMux(false, capture, haveMuxType ? &muxType : nullptr, control, mg::MEDIATYPE_Video, AviMux);
  else if (Latched.RecordingMethod == rm_ASF)
    connected = ConnectToMux(true, capture, nullptr, control, mg::MEDIATYPE_Video, AsfWriter);
  else
    return Unavailable("streaming without a file");
  if (!connected) return false;
  if (!VideoControlPin) VideoControlPin = control;

  bool audioToMux = false;
  bool ok = true;
  if (AudioPin) {
    if (SampleCapture_Audio == sc_Native && !InsertSampleGrabber(AudioPin, false)) return false;
    InsertThirdPartyFilters(tpf_AudioSource, AudioPin);
    std::shared_ptr<mg::BaseFilter> audioTee;
    if (Latched.AudioRecording && Latched.AudioDeviceRendering) {
      std::shared_ptr<mg::Pin> input;
      if (!AddFilterGetInput(*this, mg::CLSID_InfTee, UniqueFilterName("Audio Tee"), audioTee, input) ||
          !ConnectPins(AudioPin, input))
        return false;
      AudioPin = FirstFreePin(audioTee, mg::PINDIR_OUTPUT);
    }
    if (Latched.RecordingCanPause &&
        !InsertFrameGrabber(AudioPin, gm_LockAndShift, nullptr, Grab.AudioLockShift, fgf_Default))
      return false;
    if (Latched.AudioRecording) {
      InsertThirdPartyFilters(tpf_AudioRecording, AudioPin);
      if (AudioCompressorNeeded()) {
        TraceLine(CF_DEFAULT, "inserting audio compressor");
        int32_t index = Sel.AudioCompressor;
        if (!BindListEntry(FilterGraph2, AudioCompressors(), true, AudioCompressorFilter, "AUDC", index)) return false;
        std::shared_ptr<mg::Pin> input = FirstFreePin(AudioCompressorFilter, mg::PINDIR_INPUT);
        if (!input || !ConnectPins(AudioPin, input)) {
          const TDevices* list = AudioCompressors();
          ReportIf(true, SEV_ERROR, "audio compressor " + (list ? list->GetName(index) : String()) + " not suitable",
                   e_audio_compressor_not_suitable);
          return false;
        }
        AudioPin = FirstFreePin(AudioCompressorFilter, mg::PINDIR_OUTPUT);
        if (SampleCapture_Audio == sc_AfterCompression && !InsertSampleGrabber(AudioPin, false)) return false;
      }
      if (!UsesDVSource()) AviMasterStreamKind = 1;
      if (Latched.RecordingMethod == rm_AVI)
        ok = ConnectToMux(false, AudioPin, nullptr, AudioControlPin, mg::MEDIATYPE_Audio, AviMux);
      else if (Latched.RecordingMethod == rm_ASF)
        ok = ConnectToMux(true, AudioPin, nullptr, AudioControlPin, mg::MEDIATYPE_Audio, AsfWriter);
      audioToMux = ok;
    }
    if (ok && audioTee && Latched.AudioDeviceRendering) AudioPin = FirstFreePin(audioTee, mg::PINDIR_OUTPUT);
  }
  if (!audioToMux) AviMasterStreamKind = 2;
  if (ok) TraceLine(CF_DEFAULT, "END build capture and preview");
  return ok;
}

bool TVcEngine::BuildDVCapture() {
  TraceLine(CF_DEFAULT, "BEGIN build capture DV mode 1");
  if (Latched.RecordingCanPause) return Unavailable("pause grabbers");
  bool connected = false;
  if (SecondVideoPin) {
    const mg::AM_MEDIA_TYPE* type = nullptr;
    if (Latched.RecordingMethod == rm_AVI)
      connected = ConnectToMux(false, SecondVideoPin, type, VideoControlPin, mg::MEDIATYPE_Interleaved, AviMux);
    else if (AsfWriter)
      connected = ConnectToMux(true, SecondVideoPin, type, VideoControlPin, mg::MEDIATYPE_Interleaved, AsfWriter);
  }
  if (!connected) {
    TraceLine(CF_RED, "ERROR: video connection to file mux failed");
    return false;
  }
  AviMasterStreamKind = 2;
  TraceLine(CF_DEFAULT, "END build capture DV mode 1");
  return true;
}

bool TVcEngine::BuildRawRecording() {
  TraceLine(CF_DEFAULT, "BEGIN build raw recording");
  if (OutputPath.empty()) return false;
  // The raw writer of the component's own filters takes an MPEG card's
  // stream; such sources are refused earlier, when their pins are found.
  std::shared_ptr<mg::BaseFilter> writer;
  if (!CreateLocalFilterOrReport("RwCapFilter", writer, "CreateLocalCFrwInstance")) return false;
  return Unavailable("raw recording");
}

void TVcEngine::ApplyVideoCompressionSettings() {
  if ((State != es_Recording && State != es_Reencoding) || !FilterGraph) return;
  // Anywhere in the graph: the first filter that offers it.
  std::shared_ptr<mg::IAMVideoCompression> compression;
  for (const auto& f : FilterGraph->Filters())
    if ((compression = mg::QueryInterface<mg::IAMVideoCompression>(f))) break;
  if (!compression) return;
  mg::LONG keyFrameRate = 15, pFrames = 0, caps = 0;
  double quality = 1.0;
  compression->GetInfo(nullptr, nullptr, &keyFrameRate, &pFrames, &quality, &caps);
  const bool canQuality = caps & 1, canKeyFrame = caps & 4, canBFrame = caps & 8, canWindow = caps & 16;
  if (CanRaiseEvent(Owner->OnVideoCompressionSettings))
    Owner->OnVideoCompressionSettings(Owner, canKeyFrame, canBFrame, canQuality, canWindow, keyFrameRate, pFrames,
                                      quality);
  if (canKeyFrame && VideoCompression_KeyFrameRate != -1) compression->put_KeyFrameRate(VideoCompression_KeyFrameRate);
  if (canBFrame && VideoCompression_PFramesPerKeyFrame != -1)
    compression->put_PFramesPerKeyFrame(VideoCompression_PFramesPerKeyFrame);
  if (canQuality && VideoCompression_Quality != -1) compression->put_Quality(VideoCompression_Quality);
  if (canWindow && VideoCompression_WindowSize != -1)
    compression->put_WindowSize(static_cast<uint64_t>(VideoCompression_WindowSize));
}

}  // namespace capture
