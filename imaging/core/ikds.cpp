#include "imaging/core/ikds.h"

#include <algorithm>
#include <cstring>

#include "imaging/core/ikutilsBitmap.h"
#include "platform/mg/CaptureGraphBuilder.h"
#include "platform/mg/Graph.h"
#include "platform/mg/Guids.h"
#include "platform/mg/MediaType.h"
#include "platform/mg/Interfaces.h"
#include "platform/mg/SystemFilters.h"
#include "platform/mg/ffmpeg/FfRegister.h"
#include "platform/rtl/FilePaths.h"
#include "platform/rtl/StringUtils.h"
#include "platform/win/Messages.h"

namespace imaging {

// Posts the frame message for every buffer the grabber sees; the view
// fetches the frame on its own thread.
class TIKSampleGrabberCB : public mg::ISampleGrabberCB {
public:
  explicit TIKSampleGrabberCB(TIKDirectShow* owner) : owner_(owner) {}
  mg::HRESULT SampleCB(double, mg::MediaSample*) override { return mg::S_OK; }
  mg::HRESULT BufferCB(double, uint8_t*, mg::LONG) override {
    try {
      if (const win::HWND window = owner_->notifyWindow_.load())
        win::PostMessage(window, owner_->frameMessage_.load(), 0, reinterpret_cast<win::LPARAM>(owner_));
    } catch (...) {
      // The streaming thread must go on whatever the window does.
    }
    return mg::S_OK;
  }

private:
  TIKDirectShow* owner_;
};

namespace {

const mg::GUID* TimeFormatByIndex(int32_t index) {
  switch (index) {
    case ikTimeFormatNone: return &mg::TIME_FORMAT_NONE;
    case ikTimeFormatFrame: return &mg::TIME_FORMAT_FRAME;
    case ikTimeFormatSample: return &mg::TIME_FORMAT_SAMPLE;
    case ikTimeFormatField: return &mg::TIME_FORMAT_FIELD;
    case ikTimeFormatByte: return &mg::TIME_FORMAT_BYTE;
    case ikTimeFormatMediaTime: return &mg::TIME_FORMAT_MEDIA_TIME;
    default: return nullptr;
  }
}

String SubtypeName(const mg::GUID& subtype) {
  static const struct {
    const mg::GUID* guid;
    const char* name;
  } rgb[] = {
      {&mg::MEDIASUBTYPE_RGB1, "RGB1"},     {&mg::MEDIASUBTYPE_RGB4, "RGB4"},   {&mg::MEDIASUBTYPE_RGB8, "RGB8"},
      {&mg::MEDIASUBTYPE_RGB565, "RGB565"}, {&mg::MEDIASUBTYPE_RGB555, "RGB555"}, {&mg::MEDIASUBTYPE_RGB24, "RGB24"},
      {&mg::MEDIASUBTYPE_RGB32, "RGB32"},   {&mg::MEDIASUBTYPE_ARGB32, "ARGB32"},
  };
  for (const auto& e : rgb)
    if (*e.guid == subtype) return e.name;
  // The other known subtypes are four-character codes.
  static const char* const fourCCs[] = {"CLPL", "YUYV", "IYUV", "YVU9", "Y411", "Y41P", "YUY2", "YVYU", "UYVY",
                                        "Y211", "YV12", "CLJR", "IF09", "CPLA", "MJPG", "TVMJ", "WAKE", "CFCC",
                                        "IJPG", "Plum", "DVCS", "DVSD", "MDVF", "AYUV", "AI44", "IA44"};
  for (const char* name : fourCCs)
    if (mg::FourCCGuid(mg::MAKEFOURCC(name[0], name[1], name[2], name[3])) == subtype) return name;
  return String();
}

}  // namespace

TIKDirectShow::TIKDirectShow() = default;

TIKDirectShow::~TIKDirectShow() { Disconnect(); }

void TIKDirectShow::Connect() {
  Disconnect();
  mg::ff::RegisterFfmpegFilters();
  graph_ = mg::FilterGraph::Create();
  builder_ = mg::CaptureGraphBuilder::Create();
  builder_->SetFiltergraph(graph_);

  if (VideoCaptureFilter) graph_->AddFilter(VideoCaptureFilter, "VideoCapture");
  if (AudioCaptureFilter) graph_->AddFilter(AudioCaptureFilter, "AudioCapture");
  if (!FileInput.empty()) {
    if (mg::FAILED(graph_->AddSourceFilter(FileInput, "FileFilter", &fileSource_))) fileSource_.reset();
  }
  if (VideoCodecFilter) graph_->AddFilter(VideoCodecFilter, "VideoCodec");
  if (AudioCodecFilter) graph_->AddFilter(AudioCodecFilter, "AudioCodec");

  std::shared_ptr<mg::BaseFilter> renderer;
  const String ext = rtl::LowerCase(rtl::ExtractFileExt(FileOutput));
  if (ext == ".avi")
    builder_->SetOutputFileName(&mg::MEDIASUBTYPE_Avi, FileOutput, &renderer, nullptr);
  else if (ext == ".asf")
    builder_->SetOutputFileName(&mg::MEDIASUBTYPE_Asf, FileOutput, &renderer, nullptr);
  writer_ = renderer;

  std::shared_ptr<mg::BaseFilter> intermediate = VideoCodecFilter;
  if (!intermediate) {
    colorConverter_ = std::make_shared<mg::ColorSpaceConverter>();
    graph_->AddFilter(colorConverter_, "ColorConverter");
    intermediate = colorConverter_;
  }
  if (Grab && !VideoCodecFilter) {
    grabber_ = std::make_shared<mg::SampleGrabber>();
    graph_->AddFilter(grabber_, "SampleGrabber");
    mg::AM_MEDIA_TYPE wanted;
    wanted.majortype = mg::MEDIATYPE_Video;
    wanted.subtype = mg::MEDIASUBTYPE_RGB24;
    grabber_->SetMediaType(&wanted);
    grabber_->SetBufferSamples(1);
    if (notifyWindow_.load()) {
      callback_ = std::make_shared<TIKSampleGrabberCB>(this);
      grabber_->SetCallback(callback_, 1);
    }
    intermediate = grabber_;
  }
  if (!renderer) {
    nullRenderer_ = std::make_shared<mg::NullRenderer>();
    graph_->AddFilter(nullRenderer_, "NullRenderer");
    renderer = nullRenderer_;
  }

  if (VideoCaptureFilter)
    builder_->RenderStream(&mg::PIN_CATEGORY_CAPTURE, &mg::MEDIATYPE_Video, VideoCaptureFilter, intermediate, renderer);
  if (AudioCaptureFilter)
    builder_->RenderStream(&mg::PIN_CATEGORY_CAPTURE, &mg::MEDIATYPE_Audio, AudioCaptureFilter, AudioCodecFilter,
                           renderer);
  if (fileSource_) {
    builder_->RenderStream(nullptr, nullptr, fileSource_, intermediate, renderer);
    builder_->RenderStream(nullptr, &mg::MEDIATYPE_Video, fileSource_, intermediate, renderer);
    if (writer_ && AudioCodecFilter)
      builder_->RenderStream(nullptr, &mg::MEDIATYPE_Audio, fileSource_, AudioCodecFilter, renderer);
    if (RenderAudio) builder_->RenderStream(nullptr, &mg::MEDIATYPE_Audio, fileSource_, nullptr, nullptr);
  }

  control_ = mg::QueryInterface<mg::IMediaControl>(graph_);
  seeking_ = mg::QueryInterface<mg::IMediaSeeking>(graph_);
  events_ = mg::QueryInterface<mg::IMediaEventEx>(graph_);
  if (events_ && notifyWindow_.load())
    events_->SetNotifyWindow(notifyWindow_.load(), static_cast<mg::LONG>(eventMessage_),
                             reinterpret_cast<intptr_t>(this));
  FindSourceControls();
  RebuildVideoFormats();
  RebuildCrossbarInputs();
}

void TIKDirectShow::FindSourceControls() {
  const std::shared_ptr<mg::BaseFilter> source = fileSource_ ? fileSource_ : VideoCaptureFilter;
  if (source) {
    builder_->FindInterface(&mg::PIN_CATEGORY_CAPTURE, &mg::MEDIATYPE_Video, source, &streamConfig_);
    // The crossbar and the tuner sit upstream of the capture filter.
    const auto upstream = [this, &source](auto has, std::shared_ptr<mg::BaseFilter>& filter) {
      std::shared_ptr<mg::Object> found;
      builder_->FindObject(&mg::LOOK_UPSTREAM_ONLY, nullptr, source, has, &found);
      filter = std::dynamic_pointer_cast<mg::BaseFilter>(found);
      return found;
    };
    crossbar_ = mg::QueryInterface<mg::IAMCrossbar>(upstream(
        [](const std::shared_ptr<mg::Object>& o) { return mg::QueryInterface<mg::IAMCrossbar>(o) != nullptr; },
        crossbarFilter_));
    tvTuner_ = mg::QueryInterface<mg::IAMTVTuner>(upstream(
        [](const std::shared_ptr<mg::Object>& o) { return mg::QueryInterface<mg::IAMTVTuner>(o) != nullptr; },
        tvTunerFilter_));
  }
  frameStep_ = mg::QueryInterface<mg::IVideoFrameStep>(graph_);
}

void TIKDirectShow::RebuildVideoFormats() {
  VideoFormats.clear();
  if (!streamConfig_) return;
  static const struct {
    mg::LONG bit;
    const char* name;
  } standards[] = {
      {mg::AnalogVideo_None, "None"},        {mg::AnalogVideo_NTSC_M, "NTSC_M"},
      {mg::AnalogVideo_NTSC_M_J, "NTSC_M_J"}, {mg::AnalogVideo_NTSC_433, "NTSC_433"},
      {mg::AnalogVideo_PAL_B, "PAL_B"},       {mg::AnalogVideo_PAL_D, "PAL_D"},
      {mg::AnalogVideo_PAL_H, "PAL_H"},       {mg::AnalogVideo_PAL_I, "PAL_I"},
      {mg::AnalogVideo_PAL_M, "PAL_M"},       {mg::AnalogVideo_PAL_N, "PAL_N"},
      {mg::AnalogVideo_PAL_60, "PAL_60"},     {mg::AnalogVideo_SECAM_B, "SECAM_B"},
      {mg::AnalogVideo_SECAM_D, "SECAM_D"},   {mg::AnalogVideo_SECAM_G, "SECAM_G"},
      {mg::AnalogVideo_SECAM_H, "SECAM_H"},   {mg::AnalogVideo_SECAM_K, "SECAM_K"},
      {mg::AnalogVideo_SECAM_K1, "SECAM_K1"}, {mg::AnalogVideo_SECAM_L, "SECAM_L"},
      {mg::AnalogVideo_SECAM_L1, "SECAM_L1"}, {mg::AnalogVideo_PAL_N_COMBO, "PAL_N_COMBO"},
  };
  int count = 0, size = 0;
  if (mg::FAILED(streamConfig_->GetNumberOfCapabilities(&count, &size)) ||
      size != static_cast<int>(sizeof(mg::VIDEO_STREAM_CONFIG_CAPS)))
    return;
  for (int i = 0; i < count; ++i) {
    mg::AM_MEDIA_TYPE type;
    mg::VIDEO_STREAM_CONFIG_CAPS caps;
    if (mg::FAILED(streamConfig_->GetStreamCaps(i, &type, reinterpret_cast<uint8_t*>(&caps)))) continue;
    TIKVideoFormat format;
    format.Subtype = SubtypeName(type.subtype);
    if (const auto* info = type.FormatAs<mg::VIDEOINFOHEADER>(); info && type.formattype == mg::FORMAT_VideoInfo)
      format.BitRate = static_cast<int32_t>(info->dwBitRate);
    String names;
    for (const auto& s : standards)
      if (s.bit != 0 && (static_cast<mg::LONG>(caps.VideoStandard) & s.bit) != 0) names += String(s.name) + " ";
    format.VideoStandards = rtl::Trim(names);
    format.MinWidth = caps.MinOutputSize.cx;
    format.MinHeight = caps.MinOutputSize.cy;
    format.MaxWidth = caps.MaxOutputSize.cx;
    format.MaxHeight = caps.MaxOutputSize.cy;
    format.GranularityX = caps.OutputGranularityX;
    format.GranularityY = caps.OutputGranularityY;
    VideoFormats.push_back(std::move(format));
  }
}

void TIKDirectShow::RebuildCrossbarInputs() {
  CrossbarInputs.Clear();
  if (!crossbarFilter_) return;
  for (const auto& pin : crossbarFilter_->Pins())
    if (pin->Direction() == mg::PINDIR_INPUT) CrossbarInputs.Add(pin->Name());
}

void TIKDirectShow::Disconnect() {
  if (control_) {
    mg::FILTER_STATE state = mg::State_Stopped;
    if (mg::SUCCEEDED(control_->GetState(100, &state)) && state != mg::State_Stopped) control_->Stop();
  }
  frameStep_.reset();
  tvTuner_.reset();
  tvTunerFilter_.reset();
  crossbarFilter_.reset();
  crossbar_.reset();
  streamConfig_.reset();
  events_.reset();
  seeking_.reset();
  control_.reset();
  nullRenderer_.reset();
  grabber_.reset();
  colorConverter_.reset();
  fileSource_.reset();
  writer_.reset();
  builder_.reset();
  graph_.reset();
  callback_.reset();
}

void TIKDirectShow::Pause() {
  if (control_) control_->Pause();
}

bool TIKDirectShow::IsActive() {
  if (!control_) return false;
  mg::FILTER_STATE state = mg::State_Stopped;
  if (mg::FAILED(control_->GetState(100, &state))) return false;
  return state == mg::State_Paused || state == mg::State_Running;
}

void TIKDirectShow::SetTimeFormat(int32_t index) {
  const mg::GUID* format = TimeFormatByIndex(index);
  if (format && seeking_) seeking_->SetTimeFormat(format);
}

int64_t TIKDirectShow::Duration() {
  int64_t duration = 0;
  if (!seeking_ || mg::FAILED(seeking_->GetDuration(&duration))) return 0;
  return duration;
}

int64_t TIKDirectShow::AvgTimePerFrame() {
  if (!grabber_) return 0;
  mg::AM_MEDIA_TYPE type;
  if (mg::FAILED(grabber_->GetConnectedMediaType(&type)) || type.formattype != mg::FORMAT_VideoInfo) return 0;
  const auto* info = type.FormatAs<mg::VIDEOINFOHEADER>();
  return info ? info->AvgTimePerFrame : 0;
}

void TIKDirectShow::GetVideoSize(int32_t& width, int32_t& height, String& subtypeName) {
  if (!grabber_) return;
  mg::AM_MEDIA_TYPE type;
  if (mg::FAILED(grabber_->GetConnectedMediaType(&type)) || type.formattype != mg::FORMAT_VideoInfo) return;
  if (const auto* info = type.FormatAs<mg::VIDEOINFOHEADER>()) {
    width = info->bmiHeader.biWidth;
    height = std::abs(info->bmiHeader.biHeight);
    subtypeName = SubtypeName(type.subtype);
  }
}

void TIKDirectShow::Seek(int64_t position) {
  if (!seeking_) return;
  int64_t current = position;
  seeking_->SetPositions(&current, mg::AM_SEEKING_AbsolutePositioning, nullptr, mg::AM_SEEKING_NoPositioning);
  // A paused file source delivers the frame while the position is set, so
  // the graph has settled once the call returns; the state is asked only
  // to keep to the graph's rules.
  if (control_) {
    mg::FILTER_STATE state;
    control_->GetState(mg::INFINITE_TIMEOUT, &state);
  }
}

bool TIKDirectShow::GetFrame(TIKBitmap* bitmap) {
  if (!grabber_ || !bitmap) return false;
  mg::AM_MEDIA_TYPE type;
  if (mg::FAILED(grabber_->GetConnectedMediaType(&type)) || type.formattype != mg::FORMAT_VideoInfo) return false;
  const auto* info = type.FormatAs<mg::VIDEOINFOHEADER>();
  if (!info) return false;
  const int32_t width = info->bmiHeader.biWidth;
  const int32_t height = std::abs(info->bmiHeader.biHeight);
  if (width <= 0 || height <= 0) return false;

  mg::LONG size = 0;
  if (mg::FAILED(grabber_->GetCurrentBuffer(&size, nullptr)) || size <= 0) return false;
  std::vector<uint8_t> block(static_cast<size_t>(size));
  if (mg::FAILED(grabber_->GetCurrentBuffer(&size, block.data()))) return false;
  block.resize(static_cast<size_t>(std::max<mg::LONG>(size, 0)));

  if (bitmap->Location() == ikFile) bitmap->SetLocation(ikMemory);
  if (bitmap->PixelFormat() != ikRGB24 || bitmap->Width() != width || bitmap->Height() != height)
    bitmap->Allocate(width, height, ikRGB24);
  // The grabber's rows are bottom-up DIB rows padded to four bytes. Only
  // as many rows as the buffer holds are copied: a short or oversized
  // buffer never reads or writes past either block.
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  const size_t sourceStride = (rowBytes + 3) & ~size_t{3};
  const size_t copyBytes = std::min(rowBytes, static_cast<size_t>(bitmap->RowLength()));
  for (int32_t y = 0; y < height; ++y) {
    const size_t offset = static_cast<size_t>(height - 1 - y) * sourceStride;
    if (offset + copyBytes > block.size()) break;
    std::memcpy(bitmap->ScanLine(y), block.data() + offset, copyBytes);
  }
  return true;
}

void TIKDirectShow::SetNotifyWindow(win::HWND window, uint32_t frameMessage, uint32_t eventMessage) {
  notifyWindow_ = window;
  frameMessage_ = frameMessage;
  eventMessage_ = eventMessage;
  if (graph_ && events_)
    events_->SetNotifyWindow(window, static_cast<mg::LONG>(eventMessage), reinterpret_cast<intptr_t>(this));
}

}  // namespace imaging
