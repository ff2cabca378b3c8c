#include "platform/mg/ffmpeg/FfAviMux.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/mg/ffmpeg/FfCodecs.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
}

namespace mg::ff {

namespace {
constexpr AVRational kHundredNs{1, static_cast<int>(UNITS)};
constexpr int kIoBufferSize = 64 * 1024;

std::string InputName(int index) {
  char name[16];
  std::snprintf(name, sizeof name, "Input %02d", index);
  return name;
}
}  // namespace

// ---- the muxer's state --------------------------------------------------------------------------

struct FfMux::Muxer {
  FfMux* owner = nullptr;
  AVFormatContext* fmt = nullptr;
  AVIOContext* io = nullptr;
  AVPacket* packet = nullptr;
  int64_t pos = 0, size = 0;
  bool headerWritten = false, finished = false, failed = false;
  bool interleave = true;
  REFERENCE_TIME base = MAX_TIME;
  struct Stream {
    Pin* pin = nullptr;
    AVStream* st = nullptr;
    int64_t lastDts = INT64_MIN;
    bool eos = false;
    bool video = false;
    REFERENCE_TIME period = 0;
  };
  std::vector<Stream> streams;

  ~Muxer() {
    if (fmt) {
      fmt->pb = nullptr;
      avformat_free_context(fmt);
    }
    if (io) av_freep(&io->buffer);
    avio_context_free(&io);
    av_packet_free(&packet);
  }

  static int Write(void* opaque, uint8_t* buf, int len) {
    auto* m = static_cast<Muxer*>(opaque);
    if (FAILED(m->owner->WriteOut(buf, static_cast<size_t>(len), m->pos))) {
      m->failed = true;
      return AVERROR(EIO);
    }
    m->pos += len;
    m->size = std::max(m->size, m->pos);
    return len;
  }

  static int64_t Seek(void* opaque, int64_t offset, int whence) {
    auto* m = static_cast<Muxer*>(opaque);
    switch (whence & ~AVSEEK_FORCE) {
      case AVSEEK_SIZE: return m->size;
      case SEEK_SET: m->pos = offset; break;
      case SEEK_CUR: m->pos += offset; break;
      case SEEK_END: m->pos = m->size + offset; break;
      default: return AVERROR(EINVAL);
    }
    return m->pos;
  }

  // Describes the stream of one connected input to the muxer.
  bool AddStream(Pin& pin) {
    const AM_MEDIA_TYPE& mt = pin.CurrentType();
    AVStream* st = avformat_new_stream(fmt, nullptr);
    if (!st) return false;
    Stream s;
    s.pin = &pin;
    s.st = st;
    AVCodecParameters* par = st->codecpar;
    if (mt.majortype == MEDIATYPE_Video || mt.majortype == MEDIATYPE_Interleaved) {
      s.video = true;
      const BITMAPINFOHEADER* bih = mt.BitmapHeader();
      REFERENCE_TIME period = 0;
      if (auto* vih = mt.FormatAs<VIDEOINFOHEADER>(); vih && mt.formattype == FORMAT_VideoInfo)
        period = vih->AvgTimePerFrame;
      if (auto* v2 = mt.FormatAs<VIDEOINFOHEADER2>(); v2 && mt.formattype == FORMAT_VideoInfo2)
        period = v2->AvgTimePerFrame;
      auto info = CodecInfoOf(mt);
      par->codec_type = AVMEDIA_TYPE_VIDEO;
      if (IsUncompressedVideo(mt.subtype)) {
        par->codec_id = AV_CODEC_ID_RAWVIDEO;
        par->format = PixelFormatForSubtype(mt.subtype);
        par->bits_per_coded_sample = BitsPerPixel(mt.subtype);
        par->codec_tag = mt.subtype == MEDIASUBTYPE_RGB24 || mt.subtype == MEDIASUBTYPE_RGB32 ? 0 : mt.subtype.Data1;
      } else {
        par->codec_id = static_cast<AVCodecID>(info->codecId);
        par->codec_tag = mt.majortype == MEDIATYPE_Interleaved ? MAKEFOURCC('d', 'v', 's', 'd') : mt.subtype.Data1;
        par->bits_per_coded_sample = info->bitsPerCodedSample;
        if (info->pixelFormat >= 0) par->format = info->pixelFormat;
        // An ASF header states each stream's bit rate.
        if (owner->format_ == "asf") par->bit_rate = info->bitRate;
      }
      if (par->codec_id == AV_CODEC_ID_NONE) return false;
      par->width = bih ? bih->biWidth : info->width;
      par->height = bih ? std::abs(bih->biHeight) : info->height;
      if (period <= 0 && info->fpsNum > 0) period = av_rescale(UNITS, info->fpsDen, info->fpsNum);
      if (period <= 0) period = UNITS / 25;
      s.period = period;
      AVRational tb;
      av_reduce(&tb.num, &tb.den, period, UNITS, INT32_MAX);
      st->time_base = tb;
      st->avg_frame_rate = AVRational{tb.den, tb.num};
      if (!info->extradata.empty() && par->codec_id != AV_CODEC_ID_RAWVIDEO) {
        par->extradata = static_cast<uint8_t*>(av_mallocz(info->extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        std::memcpy(par->extradata, info->extradata.data(), info->extradata.size());
        par->extradata_size = static_cast<int>(info->extradata.size());
      }
    } else if (mt.majortype == MEDIATYPE_Audio) {
      auto info = CodecInfoOf(mt);
      if (info->codecId == 0 || info->sampleRate <= 0 || info->channels <= 0) return false;
      par->codec_type = AVMEDIA_TYPE_AUDIO;
      par->codec_id = static_cast<AVCodecID>(info->codecId);
      par->codec_tag = info->codecTag;
      par->sample_rate = info->sampleRate;
      av_channel_layout_default(&par->ch_layout, info->channels);
      par->block_align = info->blockAlign;
      par->bits_per_coded_sample = info->bitsPerCodedSample;
      par->bit_rate = info->bitRate;
      par->frame_size = info->frameSize;
      st->time_base = AVRational{1, info->sampleRate};
      if (!info->extradata.empty()) {
        par->extradata = static_cast<uint8_t*>(av_mallocz(info->extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        std::memcpy(par->extradata, info->extradata.data(), info->extradata.size());
        par->extradata_size = static_cast<int>(info->extradata.size());
      }
    } else {
      return false;
    }
    streams.push_back(s);
    return true;
  }
};

// ---- FfMux -------------------------------------------------------------------------------------

FfMux::FfMux(const CLSID& clsid, std::string format, bool streamed)
    : BaseFilter(clsid), format_(std::move(format)), streamed_(streamed) {
  InitLibrary();
  AddPin(std::make_shared<Pin>(this, format_ == "avi" ? "AVI Out" : "Out", PINDIR_OUTPUT));
  AddPin(std::make_shared<ControlledInputPin>(this, InputName(nextIndex_++)));
}

FfMux::~FfMux() = default;

GUID FfMux::OutputSubtype() const { return format_ == "asf" ? MEDIASUBTYPE_Asf : MEDIASUBTYPE_Avi; }

std::vector<std::shared_ptr<Pin>> FfMux::Inputs() const {
  std::vector<std::shared_ptr<Pin>> list;
  for (auto& p : Pins())
    if (p->Direction() == PINDIR_INPUT) list.push_back(p);
  return list;
}

HRESULT FfMux::SetMasterStream(LONG s) {
  if (s < -1) return E_INVALIDARG;
  std::lock_guard lock(settingsMutex_);
  master_ = s;
  return S_OK;
}
HRESULT FfMux::GetMasterStream(LONG* s) {
  if (!s) return E_POINTER;
  std::lock_guard lock(settingsMutex_);
  *s = master_;
  return S_OK;
}
HRESULT FfMux::SetOutputCompatibilityIndex(BOOL old) {
  std::lock_guard lock(settingsMutex_);
  oldIndex_ = old ? 1 : 0;
  return S_OK;
}
HRESULT FfMux::GetOutputCompatibilityIndex(BOOL* old) {
  if (!old) return E_POINTER;
  std::lock_guard lock(settingsMutex_);
  *old = oldIndex_;
  return S_OK;
}
HRESULT FfMux::put_Mode(InterleavingMode mode) {
  if (mode < INTERLEAVE_NONE || mode > INTERLEAVE_NONE_BUFFERED) return E_INVALIDARG;
  if (State() != State_Stopped) return VFW_E_NOT_STOPPED;
  std::lock_guard lock(settingsMutex_);
  mode_ = mode;
  return S_OK;
}
HRESULT FfMux::get_Mode(InterleavingMode* mode) {
  if (!mode) return E_POINTER;
  std::lock_guard lock(settingsMutex_);
  *mode = mode_;
  return S_OK;
}
HRESULT FfMux::put_Interleaving(const REFERENCE_TIME* interleave, const REFERENCE_TIME* preroll) {
  if ((interleave && *interleave <= 0) || (preroll && *preroll < 0)) return E_INVALIDARG;
  std::lock_guard lock(settingsMutex_);
  if (interleave) interleave_ = *interleave;
  if (preroll) preroll_ = *preroll;
  return S_OK;
}
HRESULT FfMux::get_Interleaving(REFERENCE_TIME* interleave, REFERENCE_TIME* preroll) {
  std::lock_guard lock(settingsMutex_);
  if (interleave) *interleave = interleave_;
  if (preroll) *preroll = preroll_;
  return S_OK;
}

HRESULT FfMux::CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const {
  if (pin.Direction() == PINDIR_OUTPUT)
    return mt.majortype == MEDIATYPE_Stream && mt.subtype == OutputSubtype() ? S_OK : S_FALSE;
  if (mt.majortype == MEDIATYPE_Video) {
    const BITMAPINFOHEADER* bih = mt.BitmapHeader();
    if (!bih || bih->biWidth <= 0 || bih->biHeight == 0) return S_FALSE;
    if (IsUncompressedVideo(mt.subtype)) return PixelFormatForSubtype(mt.subtype) >= 0 ? S_OK : S_FALSE;
    return CodecInfoOf(mt)->codecId != 0 ? S_OK : S_FALSE;
  }
  if (mt.majortype == MEDIATYPE_Interleaved)
    return mt.subtype == MEDIASUBTYPE_dvsd || mt.subtype == MEDIASUBTYPE_DVSD ? S_OK : S_FALSE;
  if (mt.majortype == MEDIATYPE_Audio) {
    auto info = CodecInfoOf(mt);
    return info->codecId != 0 && info->sampleRate > 0 && info->channels > 0 ? S_OK : S_FALSE;
  }
  return S_FALSE;
}

std::vector<AM_MEDIA_TYPE> FfMux::GetMediaTypes(const Pin& pin) const {
  if (pin.Direction() != PINDIR_OUTPUT) return {};
  AM_MEDIA_TYPE mt;
  mt.majortype = MEDIATYPE_Stream;
  mt.subtype = OutputSubtype();
  mt.formattype = FORMAT_None;
  mt.bFixedSizeSamples = false;
  mt.lSampleSize = 1;
  return {mt};
}

HRESULT FfMux::OnConnect(Pin& pin) {
  if (pin.Direction() != PINDIR_INPUT) return S_OK;
  for (auto& p : Inputs())
    if (!p->IsConnected() && p.get() != &pin) return S_OK;
  AddPin(std::make_shared<ControlledInputPin>(this, InputName(nextIndex_++)));
  return S_OK;
}

HRESULT FfMux::Pause() {
  if (State() == State_Stopped) {
    std::lock_guard lock(muxMutex_);
    muxer_.reset();
    packets_.store(0);
  }
  return BaseFilter::Pause();
}

// Opens the muxer on the first sample: by then every filter downstream is
// paused or running, whatever order the graph paused them in.
HRESULT FfMux::StartLocked() {
  if (muxer_) return muxer_->failed || muxer_->finished ? E_FAIL : S_OK;
  auto m = std::make_unique<Muxer>();
  m->owner = this;
  {
    std::lock_guard lock(settingsMutex_);
    m->interleave = mode_ != INTERLEAVE_NONE && mode_ != INTERLEAVE_NONE_BUFFERED;
  }
  muxer_ = std::move(m);
  Muxer& mx = *muxer_;
  if (!Output()->IsConnected() || avformat_alloc_output_context2(&mx.fmt, nullptr, format_.c_str(), nullptr) < 0) {
    mx.failed = true;
    return E_FAIL;
  }
  auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
  // A stream for the network is written front to back: nothing goes back
  // to complete a header a client has read already.
  const bool streamed = streamed_;
  mx.io = avio_alloc_context(buffer, kIoBufferSize, 1, &mx, nullptr, &Muxer::Write, streamed ? nullptr : &Muxer::Seek);
  mx.packet = av_packet_alloc();
  if (!mx.io || !mx.packet) {
    if (!mx.io) av_free(buffer);
    mx.failed = true;
    return E_OUTOFMEMORY;
  }
  mx.io->seekable = streamed ? 0 : AVIO_SEEKABLE_NORMAL;
  // Each write ends at a packet's end, so a reader may join between blocks.
  if (streamed) mx.fmt->flush_packets = 1;
  mx.fmt->pb = mx.io;
  mx.fmt->flags |= AVFMT_FLAG_CUSTOM_IO;
  {
    std::lock_guard lock(settingsMutex_);
    mx.fmt->max_interleave_delta = av_rescale(interleave_, 1'000'000, UNITS);
  }
  for (auto& p : Inputs())
    if (p->IsConnected() && !mx.AddStream(*p)) {
      mx.failed = true;
      return VFW_E_TYPE_NOT_ACCEPTED;
    }
  if (mx.streams.empty() || avformat_write_header(mx.fmt, nullptr) < 0) {
    mx.failed = true;
    return E_FAIL;
  }
  // The header goes out in blocks of its own, marked as preroll, so a
  // reader that joins later can be given it first.
  avio_flush(mx.io);
  mx.headerWritten = true;
  return S_OK;
}

HRESULT FfMux::WriteOut(const uint8_t* data, size_t size, int64_t offset) {
  auto out = Output();
  if (!out->IsConnected()) return VFW_E_NOT_CONNECTED;
  if (static_cast<size_t>(block_.GetSize()) < size) block_.Resize(size);
  std::memcpy(block_.GetPointer(), data, size);
  block_.SetActualDataLength(static_cast<LONG>(size));
  REFERENCE_TIME start = offset, stop = offset + static_cast<int64_t>(size);
  block_.SetTime(&start, &stop);
  block_.SetPreroll(muxer_ && !muxer_->headerWritten);
  return out->Deliver(block_);
}

HRESULT FfMux::OnReceive(Pin& pin, MediaSample& sample) {
  std::lock_guard lock(muxMutex_);
  HRESULT hr = StartLocked();
  if (FAILED(hr)) {
    if (muxer_ && muxer_->failed && !muxer_->finished) {
      muxer_->finished = true;
      NotifyEvent(EC_ERRORABORT, hr, 0);
    }
    return hr;
  }
  Muxer& mx = *muxer_;
  auto it = std::find_if(mx.streams.begin(), mx.streams.end(), [&](auto& s) { return s.pin == &pin; });
  if (it == mx.streams.end()) return S_FALSE;  // connected after the file was started
  const LONG length = sample.GetActualDataLength();
  if (length <= 0) return S_OK;
  if (sample.HasTime() && mx.base == MAX_TIME) mx.base = sample.StartTime();
  AVPacket* pkt = mx.packet;
  if (av_new_packet(pkt, length) < 0) return E_OUTOFMEMORY;
  std::memcpy(pkt->data, sample.GetPointer(), static_cast<size_t>(length));
  pkt->stream_index = it->st->index;
  // Times count from the first sample of the file, in the stream's units
  // (the muxer settles those when it writes the header).
  const REFERENCE_TIME t = sample.HasTime() ? std::max<REFERENCE_TIME>(sample.StartTime() - mx.base, 0) : 0;
  int64_t dts = sample.HasTime() ? av_rescale_q_rnd(t, kHundredNs, it->st->time_base,
                                                    static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX))
                                 : std::max<int64_t>(it->lastDts + 1, 0);
  if (dts <= it->lastDts) dts = it->lastDts + 1;
  if (it->video) {
    pkt->duration = 1;
    if (sample.IsSyncPoint() == S_OK || !pin.CurrentType().bTemporalCompression) pkt->flags |= AV_PKT_FLAG_KEY;
  } else {
    pkt->flags |= AV_PKT_FLAG_KEY;
  }
  it->lastDts = dts;
  pkt->dts = pkt->pts = dts;
  const int r = mx.interleave ? av_interleaved_write_frame(mx.fmt, pkt) : av_write_frame(mx.fmt, pkt);
  av_packet_unref(pkt);
  if (r < 0 || mx.failed) {
    mx.failed = true;
    NotifyEvent(EC_ERRORABORT, E_FAIL, 0);
    return E_FAIL;
  }
  packets_.fetch_add(1);
  return S_OK;
}

void FfMux::FinishLocked() {
  if (!muxer_) {
    // Nothing arrived: the file still gets its headers, with empty streams.
    if (Output()->IsConnected() && FAILED(StartLocked())) return;
    if (!muxer_) return;
  }
  Muxer& mx = *muxer_;
  if (mx.finished) return;
  mx.finished = true;
  if (!mx.headerWritten) return;
  if (mx.interleave) av_interleaved_write_frame(mx.fmt, nullptr);
  av_write_trailer(mx.fmt);
  avio_flush(mx.io);
}

void FfMux::Finish() {
  std::lock_guard lock(muxMutex_);
  FinishLocked();
}

HRESULT FfMux::OnEndOfStream(Pin& pin) {
  bool all = true;
  {
    std::lock_guard lock(muxMutex_);
    if (muxer_)
      for (auto& s : muxer_->streams) {
        if (s.pin == &pin) s.eos = true;
        all = all && s.eos;
      }
    else
      all = false;
    if (all) FinishLocked();
  }
  if (all && Output()->IsConnected()) return Output()->DeliverEndOfStream();
  return S_OK;
}

HRESULT FfMux::Stop() {
  Finish();
  return BaseFilter::Stop();
}

// ---- FfFileWriter ----------------------------------------------------------------------------------

FfFileWriter::FfFileWriter() : BaseFilter(CLSID_FileWriter) { AddPin(std::make_shared<Pin>(this, "in", PINDIR_INPUT)); }

FfFileWriter::~FfFileWriter() { Close(); }

HRESULT FfFileWriter::SetFileName(const std::string& name, const AM_MEDIA_TYPE*) {
  if (name.empty()) return E_INVALIDARG;
  if (State() != State_Stopped) return VFW_E_NOT_STOPPED;
  std::lock_guard lock(fileMutex_);
  path_ = name;
  return S_OK;
}

HRESULT FfFileWriter::GetCurFile(std::string* name, AM_MEDIA_TYPE* mt) {
  if (!name) return E_POINTER;
  std::lock_guard lock(fileMutex_);
  *name = path_;
  if (mt) *mt = AM_MEDIA_TYPE{};
  return path_.empty() ? E_FAIL : S_OK;
}

HRESULT FfFileWriter::CheckMediaType(const Pin&, const AM_MEDIA_TYPE& mt) const {
  return mt.majortype == MEDIATYPE_Stream ? S_OK : S_FALSE;
}

HRESULT FfFileWriter::Pause() {
  if (State() == State_Stopped) {
    std::lock_guard lock(fileMutex_);
    if (path_.empty()) return E_FAIL;
    // A file made beforehand (a preallocated capture file) is reused, not
    // shrunk, until the run ends; then it is cut to what was written.
    if (fd_ < 0) fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) return E_ACCESSDENIED;
    length_.store(0);
    auto in = PinAt(0);
    auto up = in->ConnectedTo();
    positioned_ = in->CurrentType().subtype == MEDIASUBTYPE_Avi ||
                  (up && dynamic_cast<FfMux*>(up->OwnerFilter()) != nullptr);
  }
  return BaseFilter::Pause();
}

void FfFileWriter::Close() {
  std::lock_guard lock(fileMutex_);
  if (fd_ < 0) return;
  if (::ftruncate(fd_, length_.load()) != 0) {
    // The data is written; a preallocated tail stays behind.
  }
  ::close(fd_);
  fd_ = -1;
}

HRESULT FfFileWriter::Stop() {
  if (State() != State_Stopped) {
    // The mux completes its headers through us: it must finish first.
    auto up = PinAt(0)->ConnectedTo();
    if (auto* mux = up ? dynamic_cast<FfMux*>(up->OwnerFilter()) : nullptr) mux->Finish();
  }
  BaseFilter::Stop();
  Close();
  return S_OK;
}

HRESULT FfFileWriter::OnReceive(Pin&, MediaSample& sample) {
  std::lock_guard lock(fileMutex_);
  if (fd_ < 0) return VFW_E_WRONG_STATE;
  const size_t n = static_cast<size_t>(sample.GetActualDataLength());
  int64_t offset = positioned_ && sample.HasTime() ? sample.StartTime() : length_.load();
  const uint8_t* p = sample.GetPointer();
  size_t left = n;
  while (left > 0) {
    const ssize_t w = ::pwrite(fd_, p, left, offset);
    if (w <= 0) {
      NotifyEvent(EC_ERRORABORT, E_FAIL, 0);
      return E_FAIL;
    }
    p += w;
    left -= static_cast<size_t>(w);
    offset += w;
  }
  if (offset > length_.load()) length_.store(offset);
  return S_OK;
}

}  // namespace mg::ff
