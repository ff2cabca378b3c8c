#include "platform/mg/ffmpeg/FfAsfWriter.h"

#include <algorithm>

#include "platform/mg/ffmpeg/FfAviMux.h"
#include "platform/mg/ffmpeg/FfCodecs.h"
#include "platform/mg/ffmpeg/FfCompressor.h"
#include "platform/mg/SystemFilters.h"
#include "platform/mg/WmSinks.h"

namespace mg::ff {

// ---- the inner chain --------------------------------------------------------------------------------

namespace {
// Hands the writer's input samples on to the chain's compressors.
class Relay : public BaseFilter {
public:
  Relay() : BaseFilter(GUID{}) {
    AddPin(std::make_shared<Pin>(this, "Audio", PINDIR_OUTPUT));
    AddPin(std::make_shared<Pin>(this, "Video", PINDIR_OUTPUT));
  }
  AM_MEDIA_TYPE types[2];
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override {
    const size_t i = &pin == PinAt(0).get() ? 0 : 1;
    return {types[i]};
  }
  std::shared_ptr<Pin> Out(size_t i) const { return PinAt(i); }
};

// Hands the streamable form of the file to the writer's other sinks: the
// header blocks first (the muxer marks them as preroll), then the data.
class SinkFeed : public BaseFilter {
public:
  explicit SinkFeed(std::vector<std::shared_ptr<wm::WriterSink>> sinks) : BaseFilter(GUID{}), sinks_(std::move(sinks)) {
    AddPin(std::make_shared<Pin>(this, "In", PINDIR_INPUT));
  }
  std::shared_ptr<Pin> Input() const { return PinAt(0); }
  HRESULT CheckMediaType(const Pin&, const AM_MEDIA_TYPE& mt) const override {
    return mt.majortype == MEDIATYPE_Stream ? S_OK : S_FALSE;
  }
  HRESULT OnReceive(Pin&, MediaSample& sample) override {
    const uint8_t* data = sample.GetPointer();
    const auto size = static_cast<size_t>(sample.GetActualDataLength());
    const bool header = sample.IsPreroll() == S_OK;
    for (auto& s : sinks_) header ? s->OnHeader(data, size) : s->OnDataUnit(data, size);
    return S_OK;
  }
  HRESULT Stop() override {
    if (State() != State_Stopped)
      for (auto& s : sinks_) s->OnEndWriting();
    return BaseFilter::Stop();
  }
  bool IsRenderer() const override { return true; }

private:
  std::vector<std::shared_ptr<wm::WriterSink>> sinks_;
};

}  // namespace

struct FfAsfWriter::Chain {
  std::shared_ptr<Relay> relay = std::make_shared<Relay>();
  std::shared_ptr<VideoCompressor> video;
  std::shared_ptr<AudioCompressor> audio;
  std::shared_ptr<InfTee> videoTee, audioTee;
  std::shared_ptr<FfMux> mux;
  std::shared_ptr<FfFileWriter> writer;
  std::shared_ptr<FfMux> streamMux;
  std::shared_ptr<SinkFeed> feed;
  int streams = 0, ended = 0;

  // Downstream first, so nothing reaches a filter that is still stopped.
  std::vector<BaseFilter*> Order() const {
    std::vector<BaseFilter*> list;
    for (BaseFilter* f : {static_cast<BaseFilter*>(writer.get()), static_cast<BaseFilter*>(mux.get()),
                          static_cast<BaseFilter*>(feed.get()), static_cast<BaseFilter*>(streamMux.get()),
                          static_cast<BaseFilter*>(videoTee.get()), static_cast<BaseFilter*>(audioTee.get()),
                          static_cast<BaseFilter*>(video.get()), static_cast<BaseFilter*>(audio.get()),
                          static_cast<BaseFilter*>(relay.get())})
      if (f) list.push_back(f);
    return list;
  }
};

FfAsfWriter::FfAsfWriter() : BaseFilter(CLSID_WMAsfWriter) {
  InitLibrary();
  AddPin(std::make_shared<ControlledInputPin>(this, "Audio Input 01"));
  AddPin(std::make_shared<ControlledInputPin>(this, "Video Input 01"));
  sinks_.push_back(std::make_shared<wm::FileSink>());
}

FfAsfWriter::~FfAsfWriter() = default;

HRESULT FfAsfWriter::SetFileName(const std::string& name, const AM_MEDIA_TYPE*) {
  if (name.empty()) return E_INVALIDARG;
  if (State() != State_Stopped) return VFW_E_NOT_STOPPED;
  std::lock_guard lock(configMutex_);
  path_ = name;
  return S_OK;
}

HRESULT FfAsfWriter::GetCurFile(std::string* name, AM_MEDIA_TYPE* mt) {
  if (!name) return E_POINTER;
  std::lock_guard lock(configMutex_);
  *name = path_;
  if (mt) *mt = AM_MEDIA_TYPE{};
  return path_.empty() ? E_FAIL : S_OK;
}

HRESULT FfAsfWriter::ConfigureFilterUsingProfileId(DWORD) { return E_NOTIMPL; }
HRESULT FfAsfWriter::GetCurrentProfileId(DWORD*) { return E_NOTIMPL; }
HRESULT FfAsfWriter::ConfigureFilterUsingProfileGuid(const GUID&) { return E_NOTIMPL; }
HRESULT FfAsfWriter::GetCurrentProfileGuid(GUID*) { return E_NOTIMPL; }

HRESULT FfAsfWriter::ConfigureFilterUsingProfile(const WMProfile& wm) {
  if (State() != State_Stopped) return VFW_E_NOT_STOPPED;
  AsfProfile p;
  if (!wm::ProfileFromXml(wm.text, p)) return E_INVALIDARG;
  auto usable = [](const std::string& enc, bool video) {
    const EncoderEntry* e = FindEncoder(enc);
    return e && e->video == video;
  };
  if ((p.hasVideo && !usable(p.videoCodec, true)) || (p.hasAudio && !usable(p.audioCodec, false)))
    return E_INVALIDARG;
  if (!wm.name.empty()) p.name = wm.name;
  std::lock_guard lock(configMutex_);
  profile_ = p;
  return S_OK;
}

HRESULT FfAsfWriter::GetCurrentProfile(WMProfile* wm) {
  if (!wm) return E_POINTER;
  std::lock_guard lock(configMutex_);
  wm->name = profile_.name;
  wm->text = wm::ProfileToXml(profile_);
  return S_OK;
}

HRESULT FfAsfWriter::SetIndexMode(BOOL index) {
  std::lock_guard lock(configMutex_);
  indexMode_ = index ? 1 : 0;
  return S_OK;
}

HRESULT FfAsfWriter::GetIndexMode(BOOL* index) {
  if (!index) return E_POINTER;
  std::lock_guard lock(configMutex_);
  *index = indexMode_;
  return S_OK;
}

HRESULT FfAsfWriter::QueryService(const GUID&, std::shared_ptr<Object>* service) {
  if (!service) return E_POINTER;
  *service = shared_from_this();
  return S_OK;
}

HRESULT FfAsfWriter::GetSinkCount(DWORD* count) {
  if (!count) return E_POINTER;
  std::lock_guard lock(configMutex_);
  *count = static_cast<DWORD>(sinks_.size());
  return S_OK;
}

HRESULT FfAsfWriter::GetSink(DWORD index, std::shared_ptr<Object>* sink) {
  if (!sink) return E_POINTER;
  std::lock_guard lock(configMutex_);
  if (index >= sinks_.size()) return E_INVALIDARG;
  *sink = sinks_[index];
  return S_OK;
}

HRESULT FfAsfWriter::AddSink(const std::shared_ptr<Object>& sink) {
  if (!sink) return E_POINTER;
  std::lock_guard lock(configMutex_);
  sinks_.push_back(sink);
  return S_OK;
}

HRESULT FfAsfWriter::RemoveSink(const std::shared_ptr<Object>& sink) {
  std::lock_guard lock(configMutex_);
  const auto n = std::erase(sinks_, sink);
  return n ? S_OK : E_INVALIDARG;
}

HRESULT FfAsfWriter::SetLiveSource(BOOL live) {
  std::lock_guard lock(configMutex_);
  live_ = live ? 1 : 0;
  return S_OK;
}

HRESULT FfAsfWriter::IsRealTime(BOOL* realTime) {
  if (!realTime) return E_POINTER;
  std::lock_guard lock(configMutex_);
  *realTime = live_;
  return S_OK;
}

HRESULT FfAsfWriter::SetInputSetting(DWORD input, const std::string& name, WMT_ATTR_DATATYPE type,
                                     const uint8_t* value, uint16_t length) {
  if (!value && length) return E_POINTER;
  if (input > 1) return E_INVALIDARG;
  std::lock_guard lock(configMutex_);
  std::erase_if(settings_, [&](const Setting& s) { return s.input == input && s.name == name; });
  settings_.push_back({input, name, type, std::vector<uint8_t>(value, value + length)});
  return S_OK;
}

HRESULT FfAsfWriter::GetInputSetting(DWORD input, const std::string& name, WMT_ATTR_DATATYPE* type, uint8_t* value,
                                     uint16_t* length) {
  if (!type || !length) return E_POINTER;
  std::lock_guard lock(configMutex_);
  for (const Setting& s : settings_)
    if (s.input == input && s.name == name) {
      *type = s.type;
      if (value && *length < s.value.size()) return E_INVALIDARG;
      if (value) std::copy(s.value.begin(), s.value.end(), value);
      *length = static_cast<uint16_t>(s.value.size());
      return S_OK;
    }
  return E_INVALIDARG;
}

HRESULT FfAsfWriter::CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const {
  AsfProfile p;
  {
    std::lock_guard lock(const_cast<std::mutex&>(configMutex_));
    p = profile_;
  }
  // A profile without a stream of this kind takes no input for it.
  if (&pin == VideoInput().get()) {
    const EncoderEntry* e = p.hasVideo ? FindEncoder(p.videoCodec) : nullptr;
    if (!e) return S_FALSE;
    VideoCompressor probe(*e);
    return probe.CheckMediaType(*probe.Input(), mt);
  }
  const EncoderEntry* e = p.hasAudio ? FindEncoder(p.audioCodec) : nullptr;
  if (!e) return S_FALSE;
  AudioCompressor probe(*e);
  return probe.CheckMediaType(*probe.Input(), mt);
}

std::vector<AM_MEDIA_TYPE> FfAsfWriter::GetMediaTypes(const Pin& pin) const {
  AM_MEDIA_TYPE mt;
  mt.majortype = &pin == VideoInput().get() ? MEDIATYPE_Video : MEDIATYPE_Audio;
  return {mt};
}

HRESULT FfAsfWriter::OnConnect(Pin&) { return S_OK; }

void FfAsfWriter::OnDisconnect(Pin&) {}

HRESULT FfAsfWriter::BuildChain() {
  AsfProfile p;
  std::string path;
  bool toFile = false;
  std::vector<std::shared_ptr<wm::WriterSink>> others;
  {
    std::lock_guard lock(configMutex_);
    p = profile_;
    path = path_;
    for (auto& s : sinks_) {
      auto sink = std::dynamic_pointer_cast<wm::WriterSink>(s);
      if (sink && sink->IsFileSink())
        toFile = true;
      else if (sink)
        others.push_back(sink);
    }
  }
  if (toFile && path.empty()) return E_FAIL;
  auto c = std::make_unique<Chain>();
  HRESULT hr = S_OK;
  if (toFile) {
    c->mux = std::make_shared<FfMux>(CLSID_WMAsfWriter, "asf");
    c->writer = std::make_shared<FfFileWriter>();
    c->writer->SetFileName(path, nullptr);
    if (FAILED(hr = c->mux->Output()->Connect(c->writer->Pins()[0], nullptr))) return hr;
  }
  if (!others.empty()) {
    c->streamMux = std::make_shared<FfMux>(CLSID_WMAsfWriter, "asf", true);
    c->feed = std::make_shared<SinkFeed>(others);
    if (FAILED(hr = c->streamMux->Output()->Connect(c->feed->Input(), nullptr))) return hr;
  }
  auto freeMuxInput = [](const std::shared_ptr<FfMux>& mux) {
    for (auto& in : mux->Inputs())
      if (!in->IsConnected()) return in;
    return std::shared_ptr<Pin>();
  };
  // A compressor's output goes to each muxer there is, through a tee when
  // there are two.
  auto toMuxers = [&](const std::shared_ptr<Pin>& out, std::shared_ptr<InfTee>& tee) -> HRESULT {
    if (c->mux && c->streamMux) {
      tee = std::make_shared<InfTee>();
      HRESULT r = out->Connect(tee->Input(), nullptr);
      if (SUCCEEDED(r)) r = tee->FreeOutput()->Connect(freeMuxInput(c->mux), nullptr);
      if (SUCCEEDED(r)) r = tee->FreeOutput()->Connect(freeMuxInput(c->streamMux), nullptr);
      return r;
    }
    if (c->mux) return out->Connect(freeMuxInput(c->mux), nullptr);
    if (c->streamMux) return out->Connect(freeMuxInput(c->streamMux), nullptr);
    return S_OK;
  };
  const bool writes = c->mux || c->streamMux;
  if (VideoInput()->IsConnected()) {
    ++c->streams;
    if (writes) {
      c->video = std::make_shared<VideoCompressor>(*FindEncoder(p.videoCodec));
      c->video->SetOutputSize(p.width, p.height);
      c->video->SetBitRate(p.videoBitRate);
      if (p.maxKeyFrameSpacing > 0 && p.fps > 0)
        c->video->put_KeyFrameRate(static_cast<LONG>(std::max<int64_t>(1, p.maxKeyFrameSpacing * p.fps / UNITS)));
      c->relay->types[1] = VideoInput()->CurrentType();
      if (FAILED(hr = c->relay->Out(1)->Connect(c->video->Input(), nullptr)) ||
          FAILED(hr = toMuxers(c->video->Output(), c->videoTee)))
        return hr;
    }
  }
  if (AudioInput()->IsConnected()) {
    ++c->streams;
    if (writes) {
      c->audio = std::make_shared<AudioCompressor>(*FindEncoder(p.audioCodec));
      c->audio->SetBitRate(p.audioBitRate);
      c->audio->SetOutputChannels(p.channels);
      c->relay->types[0] = AudioInput()->CurrentType();
      if (FAILED(hr = c->relay->Out(0)->Connect(c->audio->Input(), nullptr)) ||
          FAILED(hr = toMuxers(c->audio->Output(), c->audioTee)))
        return hr;
    }
  }
  if (c->streams == 0) return VFW_E_NOT_CONNECTED;
  chain_ = std::move(c);
  return S_OK;
}

HRESULT FfAsfWriter::Pause() {
  if (State() == State_Stopped) {
    HRESULT hr = BuildChain();
    if (FAILED(hr)) return hr;
    for (BaseFilter* f : chain_->Order())
      if (FAILED(hr = f->Pause())) return hr;
  }
  return BaseFilter::Pause();
}

HRESULT FfAsfWriter::Run(REFERENCE_TIME start) {
  if (State() == State_Stopped) {
    const HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  if (chain_)
    for (BaseFilter* f : chain_->Order()) f->Run(start);
  return BaseFilter::Run(start);
}

HRESULT FfAsfWriter::Stop() {
  BaseFilter::Stop();
  if (chain_) {
    // Upstream first now: the compressors flush into the muxer, the muxer
    // completes the file through the writer, then the writer closes it.
    auto order = chain_->Order();
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
      if (*it == chain_->mux.get()) chain_->mux->Finish();
      if (*it == chain_->streamMux.get()) chain_->streamMux->Finish();
      (*it)->Stop();
    }
    chain_.reset();
  }
  return S_OK;
}

HRESULT FfAsfWriter::OnReceive(Pin& pin, MediaSample& sample) {
  if (!chain_) return VFW_E_WRONG_STATE;
  auto out = chain_->relay->Out(&pin == VideoInput().get() ? 1 : 0);
  return out->IsConnected() ? out->Deliver(sample) : S_OK;
}

HRESULT FfAsfWriter::OnEndOfStream(Pin& pin) {
  if (!chain_) return S_OK;
  auto out = chain_->relay->Out(&pin == VideoInput().get() ? 1 : 0);
  if (out->IsConnected()) out->DeliverEndOfStream();
  if (++chain_->ended == chain_->streams) return BaseFilter::OnEndOfStream(pin);
  return S_OK;
}

}  // namespace mg::ff
