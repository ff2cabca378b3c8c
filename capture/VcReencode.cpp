// Re-encoding: the second job on a finished recording, which copies a
// preallocated capture file out or compresses the native recording into
// the final file, and the general job behind it that reads a clip and
// writes an AVI or ASF file, with progress and completion events.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "capture/VcDeviceManager.h"
#include "capture/VcDevices.h"
#include "capture/VcEngine.h"
#include "capture/VcFormats.h"
#include "capture/VcGraphHelpers.h"
#include "capture/VcLog.h"
#include "capture/VcRegistry.h"
#include "capture/VidCap.h"
#include "platform/mg/Devices.h"
#include "platform/mg/Interfaces.h"
#include "platform/rtl/StringUtils.h"

namespace capture {

namespace {

namespace fs = std::filesystem;

// Stands where a renderer would end a decoded stream, so that rendering
// the clip into it brings in the splitter and the decoders; it takes only
// uncompressed pictures or PCM sound.
class DecodedStreamEnd : public mg::BaseFilter {
public:
  explicit DecodedStreamEnd(const mg::GUID& Major) : BaseFilter(mg::GUID{}), major_(Major) {
    AddPin(std::make_shared<mg::Pin>(this, "In", mg::PINDIR_INPUT));
  }
  mg::HRESULT CheckMediaType(const mg::Pin&, const mg::AM_MEDIA_TYPE& mt) const override {
    if (mt.majortype != major_) return mg::S_FALSE;
    if (major_ == mg::MEDIATYPE_Audio) {
      const auto* wfx = mt.FormatAs<mg::WAVEFORMATEX>();
      return mt.subtype == mg::MEDIASUBTYPE_PCM && wfx && wfx->wFormatTag == 1 ? mg::S_OK : mg::S_FALSE;
    }
    const mg::BITMAPINFOHEADER* bih = mt.BitmapHeader();
    const bool rgb = mt.subtype == mg::MEDIASUBTYPE_RGB24 || mt.subtype == mg::MEDIASUBTYPE_RGB32;
    const bool planar = mt.subtype == mg::MEDIASUBTYPE_YUY2 || mt.subtype == mg::MEDIASUBTYPE_I420 ||
                        mt.subtype == mg::MEDIASUBTYPE_UYVY || mt.subtype == mg::MEDIASUBTYPE_YV12;
    return bih && (rgb || planar) ? mg::S_OK : mg::S_FALSE;
  }
  bool IsRenderer() const override { return true; }

private:
  mg::GUID major_;
};

// The same file under another spelling (a link, "..", "./") is the same
// file: writing one would destroy the other.
bool SameFile(const String& A, const String& B) {
  std::error_code ec;
  if (fs::exists(A, ec) && fs::exists(B, ec) && fs::equivalent(A, B, ec)) return true;
  const fs::path a = fs::weakly_canonical(fs::absolute(A, ec), ec);
  const fs::path b = fs::weakly_canonical(fs::absolute(B, ec), ec);
  return a == b;
}

// The clip's source filter. The media graph picks a source by the file's
// name; a capture file carries the component's name (".rec") and not its
// kind, which its first bytes tell: an AVI (RIFF) or an ASF header.
mg::HRESULT AddClipSource(mg::FilterGraph& Graph, const String& Path, const String& Name,
                          std::shared_ptr<mg::BaseFilter>& Filter) {
  mg::HRESULT hr = Graph.AddSourceFilter(Path, Name, &Filter);
  if (hr != mg::VFW_E_UNKNOWN_FILE_TYPE) return hr;
  unsigned char head[16] = {};
  std::ifstream in(Path, std::ios::binary);
  if (!in.read(reinterpret_cast<char*>(head), sizeof head)) return hr;
  static constexpr unsigned char kAsfHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                                   0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  const char* kind = std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "AVI ", 4) == 0 ? "clip.avi"
                     : std::memcmp(head, kAsfHeader, sizeof kAsfHeader) == 0                    ? "clip.asf"
                                                                                                : nullptr;
  mg::FilterRegistration reg;
  if (!kind || !mg::ClassFactory::FindSourceFor(kind, &reg) || !reg.create) return hr;
  std::shared_ptr<mg::BaseFilter> source = reg.create();
  auto loader = mg::QueryInterface<mg::IFileSourceFilter>(source);
  if (!loader || (hr = loader->Load(Path, nullptr)) != mg::S_OK || (hr = Graph.AddFilter(source, Name)) != mg::S_OK)
    return hr < 0 ? hr : mg::E_FAIL;
  Filter = source;
  return mg::S_OK;
}

}  // namespace

void TVcEngine::ReportKeptCaptureFile(const String& Path) {
  ReportIf(true, SEV_WARNING, "re-encoding did not complete, the recording is kept in " + Path, e_reencoding);
}

bool TVcEngine::StartAfterRecordingJob() {
  TReencodingSettings s;
  s.SourceVideoClip = Sel.CaptureFilePath;
  s.NewVideoClip = Sel.FinalRecordingPath;
  s.IncludeVideoStream = true;
  s.IncludeAudioStream = Latched.AudioRecording;
  s.UseFrameGrabber = false;
  s.Method = Latched.RecordingMethod;
  const TCompressionType type = Latched.CompressionType;
  bool announced = false, copy = false, started = false;
  CopySourceFile = s.SourceVideoClip;
  CopyDestFile = s.NewVideoClip;
  CompletionPosted = false;
  if (Latched.PreallocCapFileEnabled && !CompressAfterRecordingPending && Latched.PreallocCapFileCopiedAfterRecording) {
    announced = copy = true;
    PostEvent(qe_CopyPreallocDataStarted);
    started = Reencode(s, true);
  } else if (CompressAfterRecordingPending) {
    announced = true;
    PostEvent(qe_ReencodingStarted);
    s.UseVideoCompressor = type == ct_Video || type == ct_AudioVideo;
    s.UseAudioCompressor = type == ct_Audio || type == ct_AudioVideo;
    started = Reencode(s, false);
  }
  // Every start event gets its end: a job refused before it built a graph
  // has not said so yet.
  if (announced && !started && !CompletionPosted) {
    CopySourceFile = s.SourceVideoClip;
    CopyDestFile = s.NewVideoClip;
    CopySuccess = false;
    PostEvent(copy ? qe_CopyPreallocDataCompleted : qe_ReencodingCompleted);
  }
  CompressAfterRecordingPending = false;
  return started;
}

void TVcEngine::EndReencoding(bool Success) {
  ClearGraph(true);
  CompletionPosted = true;
  CopySourceFile = ReencodingSource;
  CopyDestFile = ReencodingDest;
  CopySuccess = Success;
  // Queued behind the start event, so a handler sees start before end.
  PostEvent(ReencodingIsCopy ? qe_CopyPreallocDataCompleted : qe_ReencodingCompleted);
}

bool TVcEngine::Reencode(const TReencodingSettings& Settings, bool IsCopy) {
  if (DeviceListsState() != 2) return false;
  ReencodingIsCopy = IsCopy;
  ReencodingEnded = false;
  CompletionPosted = false;
  Periodic.CopyingPreallocData = IsCopy;
  const String source = rtl::Trim(Settings.SourceVideoClip);
  const String dest = rtl::Trim(Settings.NewVideoClip);
  auto fail = [&](const String& msg) { return !ReportIf(true, SEV_ERROR, msg, e_reencoding); };
  if (source.empty()) return fail("source video clip not specified");
  if (dest.empty()) return fail("new video clip not specified");
  if (SameFile(source, dest)) return fail("source and destination files must not be identical");
  if (!Settings.IncludeVideoStream && !Settings.IncludeAudioStream)
    return fail("specify either the video stream, the audio stream or both streams");
  std::error_code ec;
  if (fs::exists(dest, ec) && !fs::remove(dest, ec))
    return fail("can't delete old destination file: " + dest);

  ForceFileFolder(dest);
  ClearGraph(true);
  ReencodingSource = source;
  ReencodingDest = dest;
  CopySourceFile = source;
  CopyDestFile = dest;
  BuildingFor = es_Idle;
  LatchSettings(false);
  if (Settings.Method != rm_AVI && Settings.Method != rm_ASF) return false;
  // The job's own choices over the published ones.
  Latched.RecordingMethod = Settings.Method;
  Latched.NetworkStreaming = ns_Disabled;
  Latched.RecordingOnMotion_Enabled = false;
  Latched.RecordingCanPause = false;
  Latched.HoldRecording = Settings.StartTime != -1 || Settings.StopTime != -1;
  Latched.AudioRecording = Settings.IncludeAudioStream;
  KeptRecordingFileName = OutputPath;
  OutputPath = dest;
  State = es_Reencoding;

  bool includeVideo = Settings.IncludeVideoStream;
  bool includeAudio = Settings.IncludeAudioStream;
  auto failJob = [&](const String& msg, TLogType type) {
    if (!msg.empty()) ReportIf(true, SEV_ERROR, msg, type);
    OutputPath = KeptRecordingFileName;
    EndReencoding(false);
    return false;
  };
  if (!CreateFilterGraph() || !SetUpOutput()) return failJob("", e_reencoding);
  const std::shared_ptr<mg::BaseFilter> writer = Settings.Method == rm_ASF ? AsfWriter : AviMux;
  std::shared_ptr<mg::BaseFilter> sourceFilter;
  if (AddClipSource(*FilterGraph, source, UniqueFilterName("Source"), sourceFilter) != mg::S_OK || !sourceFilter)
    return failJob("source not found or not suitable: " + source, e_add_source_filter);

  const bool transcode = Settings.Method != rm_AVI || Settings.UseVideoCompressor || Settings.UseAudioCompressor ||
                         Settings.UseFrameGrabber;
  if (transcode) {
    std::shared_ptr<mg::Pin> video, audio;
    SplitSource(sourceFilter, video, audio);
    if (!video) includeVideo = false;
    if (!audio) includeAudio = false;
    Latched.AudioRecording = includeAudio;
    ConfigureASFWriter();
    bool videoDone = false, audioDone = false;
    if (video && includeVideo) {
      if (Settings.UseFrameGrabber) {
        if (GeometryProcessing) return failJob("picture transforms not available in this build", e_reencoding);
        if (Latched.FrameGrabber != fg_Disabled &&
            !InsertFrameGrabber(video, gm_RGB, nullptr, Grab.MainGrabber, EffectivePixelFormat))
          return failJob("can't insert the frame grabber. Disable it and try again", e_failed_to_bind_frame_grabber);
      }
      if (!Settings.UseVideoCompressor || Settings.Method != rm_AVI) {
        if (CaptureGraphBuilder->RenderStream(nullptr, &mg::MEDIATYPE_Video, video, nullptr, writer) != mg::S_OK)
          return failJob("render Video stream", e_render_video_stream);
      } else {
        int32_t index = Sel.VideoCompressor;
        TDevices* list = VideoCompressors();
        const bool bound = BindListEntry(FilterGraph2, list, true, VideoCompressorFilter, "VIDC", index);
        if (!bound || CaptureGraphBuilder->RenderStream(nullptr, &mg::MEDIATYPE_Video, video, VideoCompressorFilter,
                                                        writer) != mg::S_OK)
          return failJob("video compressor " + (list ? list->GetName(index) : String()) + " not suitable",
                         e_video_compressor_not_suitable);
        ReadFilterStateFromRegistry(VideoCompressorFilter, list->GetRegistryKey(index));
      }
      videoDone = true;
    }
    if (audio && includeAudio) {
      const bool compress = Settings.UseAudioCompressor && Settings.Method == rm_AVI;
      int32_t index = Sel.AudioCompressor;
      TDevices* list = AudioCompressors();
      auto renderThroughCompressor = [&]() {
        if (!AudioCompressorFilter && !BindListEntry(FilterGraph2, list, true, AudioCompressorFilter, "AUDC", index))
          return false;
        return CaptureGraphBuilder->RenderStream(nullptr, &mg::MEDIATYPE_Audio, audio, AudioCompressorFilter, writer) ==
               mg::S_OK;
      };
      bool ok = compress ? renderThroughCompressor()
                         : CaptureGraphBuilder->RenderStream(nullptr, &mg::MEDIATYPE_Audio, audio, nullptr, writer) ==
                               mg::S_OK;
      if (!ok && !compress) ok = renderThroughCompressor();
      if (!ok)
        return compress ? failJob("audio compressor " + (list ? list->GetName(index) : String()) + " not suitable",
                                  e_audio_compressor_not_suitable)
                        : failJob("cannot reencode audio stream", e_render_audio_stream);
      audioDone = true;
    }
    if (!videoDone && !audioDone) return failJob("incompatible settings: no audio or video stream selected!", e_reencoding);
    includeAudio = audioDone;
  } else {
    bool any = false;
    if (includeVideo)
      any |= CaptureGraphBuilder->RenderStream(nullptr, &mg::MEDIATYPE_Video, sourceFilter, nullptr, writer) == mg::S_OK;
    if (includeAudio) {
      includeAudio =
          CaptureGraphBuilder->RenderStream(nullptr, &mg::MEDIATYPE_Audio, sourceFilter, nullptr, writer) == mg::S_OK;
      any |= includeAudio;
    }
    if (!any) return failJob("incompatible settings: no audio or video stream selected!", e_reencoding);
  }

  if (!ReadReencodingDuration()) return failJob("find Media seeking", e_reencoding);
  if (!FinishGraph(false, includeAudio)) return failJob("", e_reencoding);
  SetGraphState(gs_Stopped, "recom");
  if (!ApplyReencodingTimes(Settings)) return failJob("", e_reencoding);
  // A file job has no clock to keep: it runs as fast as it can.
  FilterGraph->SetSyncSource(nullptr);
  if (!SetGraphState(gs_Running, "recom")) return failJob("", e_reencoding);
  return true;
}

bool TVcEngine::SplitSource(const std::shared_ptr<mg::BaseFilter>& Source, std::shared_ptr<mg::Pin>& VideoPin,
                            std::shared_ptr<mg::Pin>& AudioPinOut) {
  VideoPin.reset();
  AudioPinOut.reset();
  auto videoEnd = std::make_shared<DecodedStreamEnd>(mg::MEDIATYPE_Video);
  auto audioEnd = std::make_shared<DecodedStreamEnd>(mg::MEDIATYPE_Audio);
  FilterGraph->AddFilter(videoEnd, "DummyVideo");
  FilterGraph->AddFilter(audioEnd, "DummyAudio");
  auto take = [&](const std::shared_ptr<DecodedStreamEnd>& end, const mg::GUID& type, std::shared_ptr<mg::Pin>& out) {
    if (CaptureGraphBuilder->RenderStream(nullptr, &type, Source, nullptr, end) != mg::S_OK) return;
    const std::shared_ptr<mg::Pin> in = end->Pins()[0];
    out = in->ConnectedTo();
    if (!out) return;
    out->Disconnect();
    in->Disconnect();
  };
  take(videoEnd, mg::MEDIATYPE_Video, VideoPin);
  take(audioEnd, mg::MEDIATYPE_Audio, AudioPinOut);
  FilterGraph->RemoveFilter(videoEnd);
  FilterGraph->RemoveFilter(audioEnd);
  return VideoPin || AudioPinOut;
}

bool TVcEngine::ReadReencodingDuration() {
  auto seeking = mg::QueryInterface<mg::IMediaSeeking>(FilterGraph);
  if (!seeking) return false;
  seeking->SetTimeFormat(&mg::TIME_FORMAT_MEDIA_TIME);
  int64_t duration = 0;
  if (seeking->GetDuration(&duration) < 0) return false;
  ProgressInfo = TProgressInfo{};
  ProgressInfo.Duration = duration;
  Periodic.ProgressSeeking = seeking;
  return true;
}

bool TVcEngine::ApplyReencodingTimes(const TReencodingSettings& Settings) {
  const int64_t duration = ProgressInfo.Duration;
  ReencodingEndPosition = duration;
  if (Settings.StartTime == -1 && Settings.StopTime == -1) return true;
  const int64_t start = Settings.StartTime == -1 ? 0 : Settings.StartTime;
  const int64_t stop = Settings.StopTime == -1 ? INT64_MAX : Settings.StopTime;
  auto fail = [&](const String& msg) { return !ReportIf(true, SEV_ERROR, msg, e_reencoding); };
  if (start < 0 || stop < 0) return fail("start time and stop time must have positive values");
  if (stop < start) return fail("stop time must be higher than start time");
  if (start > duration) return fail("start time exceeds duration (" + std::to_string(duration) + ")");
  if (Settings.StopTime != -1 && stop > duration)
    ReportIf(true, SEV_WARNING, "stop time exceeds duration  (" + std::to_string(duration) + ")", e_reencoding);
  if (stop < ReencodingEndPosition) ReencodingEndPosition = stop;
  const std::shared_ptr<mg::BaseFilter> writer = Latched.RecordingMethod == rm_ASF ? AsfWriter : AviMux;
  if (!writer) return true;
  const mg::REFERENCE_TIME startAt = start, stopAt = stop;
  for (const mg::GUID& type : {mg::MEDIATYPE_Video, mg::MEDIATYPE_Audio}) {
    for (const auto& pin : writer->Pins()) {
      if (pin->Direction() != mg::PINDIR_INPUT || !pin->IsConnected() || pin->CurrentType().majortype != type) continue;
      if (auto control = mg::QueryInterface<mg::IAMStreamControl>(pin)) {
        control->StartAt(&startAt, 0);
        if (stopAt != INT64_MAX) control->StopAt(&stopAt, 0, 0);
      }
    }
  }
  return true;
}

}  // namespace capture
