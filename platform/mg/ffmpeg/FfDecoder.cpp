#include "platform/mg/ffmpeg/FfDecoder.h"

#include <algorithm>
#include <cstring>

#include "platform/mg/ffmpeg/FfCodecs.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace mg::ff {

namespace {

constexpr AVRational kHundredNs{1, static_cast<int>(UNITS)};

// Opens a decoder for the stream `info` describes; nullptr if none can.
AVCodecContext* OpenDecoder(const StreamCodecInfo& info, bool video) {
  const AVCodec* codec = avcodec_find_decoder(static_cast<AVCodecID>(info.codecId));
  if (!codec) return nullptr;
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  if (!ctx) return nullptr;
  // A stream whose container gave no tag carries the source's private
  // marker instead; the codec must see no tag then, as it would straight
  // from the container (raw video reads its layout from the tag).
  const bool privateTag = info.codecTag == (MAKEFOURCC('F', 'F', 'V', 'D') ^ static_cast<uint32_t>(info.codecId));
  ctx->codec_tag = privateTag ? 0 : info.codecTag;
  ctx->bits_per_coded_sample = info.bitsPerCodedSample;
  ctx->bit_rate = info.bitRate;
  ctx->pkt_timebase = kHundredNs;
  if (video) {
    ctx->width = info.width;
    ctx->height = info.height;
    if (info.pixelFormat >= 0) ctx->pix_fmt = static_cast<AVPixelFormat>(info.pixelFormat);
    // Frame threads would hold pictures back; seeking and stepping want
    // each packet's picture out before the next packet goes in.
    ctx->thread_type = FF_THREAD_SLICE;
  } else {
    ctx->sample_rate = info.sampleRate;
    av_channel_layout_default(&ctx->ch_layout, info.channels);
    ctx->block_align = info.blockAlign;
    ctx->frame_size = info.frameSize;
    if (info.sampleFormat >= 0) ctx->sample_fmt = static_cast<AVSampleFormat>(info.sampleFormat);
  }
  if (!info.extradata.empty()) {
    ctx->extradata = static_cast<uint8_t*>(av_mallocz(info.extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    std::memcpy(ctx->extradata, info.extradata.data(), info.extradata.size());
    ctx->extradata_size = static_cast<int>(info.extradata.size());
  }
  if (avcodec_open2(ctx, codec, nullptr) < 0) avcodec_free_context(&ctx);
  return ctx;
}

bool Decodable(const AM_MEDIA_TYPE& mt, const GUID& major) {
  if (mt.majortype != major && !(major == MEDIATYPE_Video && mt.majortype == MEDIATYPE_Interleaved)) return false;
  // Uncompressed video is the colour converter's business, unless a
  // splitter says it is a stream to decode.
  if (major == MEDIATYPE_Video && !mt.pUnk && IsUncompressedVideo(mt.subtype)) return false;
  if (major == MEDIATYPE_Audio && !mt.pUnk && mt.subtype == MEDIASUBTYPE_PCM) return false;
  auto info = CodecInfoOf(mt);
  return info->codecId != 0 && avcodec_find_decoder(static_cast<AVCodecID>(info->codecId)) != nullptr;
}

// Times of packets sent only to reach a seek target; their pictures are
// decoded and dropped.
struct PrerollSet {
  std::set<int64_t> times;
  void Note(const MediaSample& s) {
    if (s.IsPreroll() == S_OK && s.HasTime()) times.insert(s.StartTime());
  }
  bool Take(int64_t t) { return times.erase(t) > 0; }
};

AVPacket* PacketFrom(AVPacket* pkt, MediaSample& sample) {
  const int size = sample.GetActualDataLength();
  if (av_new_packet(pkt, size) < 0) return nullptr;
  std::memcpy(pkt->data, sample.GetPointer(), static_cast<size_t>(size));
  pkt->pts = sample.HasTime() ? sample.StartTime() : AV_NOPTS_VALUE;
  pkt->dts = AV_NOPTS_VALUE;
  if (sample.IsSyncPoint() == S_OK) pkt->flags |= AV_PKT_FLAG_KEY;
  return pkt;
}

}  // namespace

// ---- video ------------------------------------------------------------------------------------------

struct FfVideoDecoder::Codec {
  AVCodecContext* ctx = nullptr;
  AVPacket* pkt = nullptr;
  AVFrame* frame = nullptr;
  SwsContext* sws = nullptr;
  GUID outSubtype;
  int outW = 0, outH = 0;
  REFERENCE_TIME period = UNITS / 25;
  PrerollSet preroll;
  // Times of the packets sent and not yet seen as pictures. Pictures come
  // out in presentation order, so each takes the earliest; the decoders'
  // own stamps slip by a frame where they hold a picture back.
  std::multiset<int64_t> pending;
  bool studioRange = false;
  bool reportedError = false;

  ~Codec() {
    sws_freeContext(sws);
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
  }
};

FfVideoDecoder::FfVideoDecoder(const CLSID& clsid, bool dvOnly) : BaseFilter(clsid), dvOnly_(dvOnly) {
  InitLibrary();
  AddPin(std::make_shared<Pin>(this, dvOnly ? "Input" : "XForm In", PINDIR_INPUT));
  AddPin(std::make_shared<Pin>(this, dvOnly ? "Output" : "XForm Out", PINDIR_OUTPUT));
}

FfVideoDecoder::~FfVideoDecoder() = default;

HRESULT FfVideoDecoder::get_IPDisplay(int* pix) {
  if (!pix) return E_POINTER;
  *pix = resolution_.load();
  return S_OK;
}

HRESULT FfVideoDecoder::put_IPDisplay(int pix) {
  if (pix < DVRESOLUTION_FULL || pix > DVRESOLUTION_DC) return E_INVALIDARG;
  resolution_.store(pix);
  return S_OK;
}

HRESULT FfVideoDecoder::SetRGB219(BOOL state) {
  rgb219_.store(state != 0);
  return S_OK;
}

void FfVideoDecoder::OutputSize(int* w, int* h) const {
  auto info = CodecInfoOf(Input()->CurrentType());
  *w = info->width;
  *h = info->height;
  if (info->codecId != AV_CODEC_ID_DVVIDEO) return;
  const int shift = resolution_.load() - DVRESOLUTION_FULL;  // 0, 1, 2, 3 -> /1, /2, /4, /8
  *w >>= shift;
  *h >>= shift;
}

HRESULT FfVideoDecoder::CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const {
  if (pin.Direction() == PINDIR_INPUT) {
    if (!Decodable(mt, MEDIATYPE_Video)) return S_FALSE;
    const bool dv = CodecInfoOf(mt)->codecId == AV_CODEC_ID_DVVIDEO;
    return !dvOnly_ || dv ? S_OK : S_FALSE;
  }
  if (!Input()->IsConnected() || mt.majortype != MEDIATYPE_Video) return S_FALSE;
  if (mt.subtype != MEDIASUBTYPE_RGB24 && mt.subtype != MEDIASUBTYPE_RGB32) return S_FALSE;
  const BITMAPINFOHEADER* bih = mt.BitmapHeader();
  int w = 0, h = 0;
  OutputSize(&w, &h);
  return bih && bih->biWidth == w && std::abs(bih->biHeight) == h ? S_OK : S_FALSE;
}

std::vector<AM_MEDIA_TYPE> FfVideoDecoder::GetMediaTypes(const Pin& pin) const {
  if (pin.Direction() != PINDIR_OUTPUT || !Input()->IsConnected()) return {};
  int w = 0, h = 0;
  OutputSize(&w, &h);
  if (w <= 0 || h <= 0) return {};
  REFERENCE_TIME period = 0;
  const AM_MEDIA_TYPE& in = Input()->CurrentType();
  if (const auto* vih = in.FormatAs<VIDEOINFOHEADER>(); vih && in.formattype == FORMAT_VideoInfo)
    period = vih->AvgTimePerFrame;
  return {MakeVideoType(MEDIASUBTYPE_RGB24, w, h, period), MakeVideoType(MEDIASUBTYPE_RGB32, w, h, period)};
}

HRESULT FfVideoDecoder::OnConnect(Pin& pin) {
  if (pin.Direction() != PINDIR_INPUT) return S_OK;
  // Refuse now rather than at Run when the codec will not open.
  AVCodecContext* ctx = OpenDecoder(*CodecInfoOf(pin.CurrentType()), true);
  if (!ctx) return VFW_E_TYPE_NOT_ACCEPTED;
  avcodec_free_context(&ctx);
  return S_OK;
}

HRESULT FfVideoDecoder::Pause() {
  if (State() == State_Stopped && Input()->IsConnected() && Output()->IsConnected()) {
    auto c = std::make_unique<Codec>();
    c->ctx = OpenDecoder(*CodecInfoOf(Input()->CurrentType()), true);
    c->pkt = av_packet_alloc();
    c->frame = av_frame_alloc();
    if (!c->ctx || !c->pkt || !c->frame) return E_FAIL;
    const AM_MEDIA_TYPE& out = Output()->CurrentType();
    c->outSubtype = out.subtype;
    c->outW = out.BitmapHeader()->biWidth;
    c->outH = out.BitmapHeader()->biHeight;
    if (const auto* vih = out.FormatAs<VIDEOINFOHEADER>(); vih && vih->AvgTimePerFrame > 0)
      c->period = vih->AvgTimePerFrame;
    c->studioRange = rgb219_.load();
    std::lock_guard lock(codecMutex_);
    codec_ = std::move(c);
  }
  return BaseFilter::Pause();
}

HRESULT FfVideoDecoder::Stop() {
  BaseFilter::Stop();
  std::lock_guard lock(codecMutex_);
  codec_.reset();
  return S_OK;
}

HRESULT FfVideoDecoder::Emit(Codec& c, std::vector<std::shared_ptr<MediaSample>>& out) {
  for (;;) {
    const int r = avcodec_receive_frame(c.ctx, c.frame);
    if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return S_OK;
    if (r < 0) return S_OK;
    int64_t t = c.frame->pts != AV_NOPTS_VALUE ? c.frame->pts : c.frame->best_effort_timestamp;
    if (!c.pending.empty()) {
      t = *c.pending.begin();
      c.pending.erase(c.pending.begin());
    }
    if (t != AV_NOPTS_VALUE && c.preroll.Take(t)) {
      av_frame_unref(c.frame);
      continue;
    }
    const auto src = static_cast<AVPixelFormat>(c.frame->format);
    const AVPixelFormat dst = c.outSubtype == MEDIASUBTYPE_RGB32 ? AV_PIX_FMT_BGRA : AV_PIX_FMT_BGR24;
    c.sws = sws_getCachedContext(c.sws, c.frame->width, c.frame->height, src, c.outW, std::abs(c.outH), dst,
                                 SWS_BILINEAR | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    std::shared_ptr<MediaSample> s;
    if (!c.sws || FAILED(Output()->Allocator().GetBuffer(s))) {
      av_frame_unref(c.frame);
      return E_FAIL;
    }
    const bool fullRange = c.frame->color_range == AVCOL_RANGE_JPEG || src == AV_PIX_FMT_YUVJ420P ||
                           src == AV_PIX_FMT_YUVJ422P || src == AV_PIX_FMT_YUVJ444P;
    const int* coeffs = sws_getCoefficients(SWS_CS_DEFAULT);
    // Studio-range RGB: read the limited-range picture as if it were full range.
    sws_setColorspaceDetails(c.sws, coeffs, fullRange || c.studioRange ? 1 : 0, coeffs, 1, 0, 1 << 16, 1 << 16);
    const uint32_t size = FrameSize(c.outSubtype, c.outW, c.outH);
    // The scaler stores whole vectors and may run past the end of the last
    // row by up to a vector's width; the slack keeps that inside the buffer.
    constexpr uint32_t kScalerSlack = 256;
    if (static_cast<uint32_t>(s->GetSize()) < size + kScalerSlack) s->Resize(size + kScalerSlack);
    uint8_t* planes[4];
    int strides[4];
    FramePlanes(c.outSubtype, s->GetPointer(), c.outW, c.outH, planes, strides);
    sws_scale(c.sws, c.frame->data, c.frame->linesize, 0, c.frame->height, planes, strides);
    s->SetActualDataLength(static_cast<LONG>(size));
    if (t != AV_NOPTS_VALUE) {
      REFERENCE_TIME start = t, stop = t + c.period;
      s->SetTime(&start, &stop);
    }
    s->SetSyncPoint(true);
    av_frame_unref(c.frame);
    decoded_.fetch_add(1);
    out.push_back(std::move(s));
  }
}

namespace {
// Hands decoded samples on. Called without the codec lock: downstream may
// run the application's frame callbacks, and Stop takes that lock.
HRESULT DeliverAll(Pin& pin, std::vector<std::shared_ptr<MediaSample>>& samples) {
  for (auto& s : samples) {
    const HRESULT hr = pin.Deliver(*s);
    if (hr == VFW_E_WRONG_STATE) return hr;
  }
  return S_OK;
}
}  // namespace

HRESULT FfVideoDecoder::OnReceive(Pin& pin, MediaSample& sample) {
  if (pin.Direction() != PINDIR_INPUT) return E_UNEXPECTED;
  std::vector<std::shared_ptr<MediaSample>> out;
  {
    std::lock_guard lock(codecMutex_);
    const HRESULT hr = Decode(sample, out);
    if (hr != S_OK) return hr;
  }
  return DeliverAll(*Output(), out);
}

HRESULT FfVideoDecoder::Decode(MediaSample& sample, std::vector<std::shared_ptr<MediaSample>>& out) {
  Codec* c = codec_.get();
  if (!c) return VFW_E_WRONG_STATE;
  if (sample.IsDiscontinuity() == S_OK) {
    avcodec_flush_buffers(c->ctx);
    c->preroll.times.clear();
    c->pending.clear();
  }
  c->preroll.Note(sample);
  if (!PacketFrom(c->pkt, sample)) return E_OUTOFMEMORY;
  const int r = avcodec_send_packet(c->ctx, c->pkt);
  av_packet_unref(c->pkt);
  if (r >= 0 && sample.HasTime()) {
    c->pending.insert(sample.StartTime());
    if (c->pending.size() > 64) c->pending.erase(c->pending.begin());
  }
  if (r < 0 && r != AVERROR(EAGAIN)) {
    // A damaged packet: the picture is lost, the stream goes on.
    errors_.fetch_add(1);
    if (!c->reportedError) {
      c->reportedError = true;
      NotifyEvent(EC_STREAM_ERROR_STILLPLAYING, VFW_E_INVALID_FILE_FORMAT, 0);
    }
    return S_FALSE;
  }
  Emit(*c, out);
  return S_OK;
}

HRESULT FfVideoDecoder::OnEndOfStream(Pin&) {
  std::vector<std::shared_ptr<MediaSample>> out;
  {
    std::lock_guard lock(codecMutex_);
    if (codec_) {
      avcodec_send_packet(codec_->ctx, nullptr);
      Emit(*codec_, out);
      avcodec_flush_buffers(codec_->ctx);
      codec_->pending.clear();
    }
  }
  DeliverAll(*Output(), out);
  return Output()->IsConnected() ? Output()->DeliverEndOfStream() : S_OK;
}

// ---- audio -------------------------------------------------------------------------------------------

struct FfAudioDecoder::Codec {
  AVCodecContext* ctx = nullptr;
  AVPacket* pkt = nullptr;
  AVFrame* frame = nullptr;
  int channels = 0, rate = 0;
  PrerollSet preroll;
  ~Codec() {
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
  }
};

FfAudioDecoder::FfAudioDecoder() : BaseFilter(CLSID_FfAudioDecoder) {
  InitLibrary();
  AddPin(std::make_shared<Pin>(this, "XForm In", PINDIR_INPUT));
  AddPin(std::make_shared<Pin>(this, "XForm Out", PINDIR_OUTPUT));
}

FfAudioDecoder::~FfAudioDecoder() = default;

HRESULT FfAudioDecoder::CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const {
  if (pin.Direction() == PINDIR_INPUT) return Decodable(mt, MEDIATYPE_Audio) ? S_OK : S_FALSE;
  if (!Input()->IsConnected() || mt.majortype != MEDIATYPE_Audio || mt.subtype != MEDIASUBTYPE_PCM) return S_FALSE;
  const auto* wfx = mt.FormatAs<WAVEFORMATEX>();
  auto info = CodecInfoOf(Input()->CurrentType());
  return wfx && wfx->wBitsPerSample == 16 && static_cast<int>(wfx->nSamplesPerSec) == info->sampleRate &&
                 wfx->nChannels == std::min(info->channels, 2)
             ? S_OK
             : S_FALSE;
}

std::vector<AM_MEDIA_TYPE> FfAudioDecoder::GetMediaTypes(const Pin& pin) const {
  if (pin.Direction() != PINDIR_OUTPUT || !Input()->IsConnected()) return {};
  auto info = CodecInfoOf(Input()->CurrentType());
  if (info->sampleRate <= 0 || info->channels <= 0) return {};
  return {MakePcmAudioType(static_cast<uint32_t>(info->sampleRate), static_cast<uint16_t>(std::min(info->channels, 2)), 16)};
}

ALLOCATOR_PROPERTIES FfAudioDecoder::DecideBufferSize(const Pin& pin) const {
  ALLOCATOR_PROPERTIES p = BaseFilter::DecideBufferSize(pin);
  p.cbBuffer = std::max<LONG>(p.cbBuffer, 256 * 1024);
  return p;
}

HRESULT FfAudioDecoder::Pause() {
  if (State() == State_Stopped && Input()->IsConnected() && Output()->IsConnected()) {
    auto c = std::make_unique<Codec>();
    auto info = CodecInfoOf(Input()->CurrentType());
    c->ctx = OpenDecoder(*info, false);
    c->pkt = av_packet_alloc();
    c->frame = av_frame_alloc();
    if (!c->ctx || !c->pkt || !c->frame) return E_FAIL;
    c->channels = std::min(info->channels, 2);
    c->rate = info->sampleRate;
    std::lock_guard lock(codecMutex_);
    codec_ = std::move(c);
  }
  return BaseFilter::Pause();
}

HRESULT FfAudioDecoder::Stop() {
  BaseFilter::Stop();
  std::lock_guard lock(codecMutex_);
  codec_.reset();
  return S_OK;
}

namespace {
// One sample of channel `ch` at index `i` as 16-bit.
int16_t SampleAt(const AVFrame* f, int ch, int i) {
  const int channels = f->ch_layout.nb_channels;
  const auto fmt = static_cast<AVSampleFormat>(f->format);
  const bool planar = av_sample_fmt_is_planar(fmt);
  const uint8_t* base = planar ? f->extended_data[ch] : f->extended_data[0];
  const int idx = planar ? i : i * channels + ch;
  auto clip = [](double v) { return static_cast<int16_t>(std::clamp(v * 32768.0, -32768.0, 32767.0)); };
  switch (av_get_packed_sample_fmt(fmt)) {
    case AV_SAMPLE_FMT_U8: return static_cast<int16_t>((base[idx] - 128) << 8);
    case AV_SAMPLE_FMT_S16: return reinterpret_cast<const int16_t*>(base)[idx];
    case AV_SAMPLE_FMT_S32: return static_cast<int16_t>(reinterpret_cast<const int32_t*>(base)[idx] >> 16);
    case AV_SAMPLE_FMT_FLT: return clip(reinterpret_cast<const float*>(base)[idx]);
    case AV_SAMPLE_FMT_DBL: return clip(reinterpret_cast<const double*>(base)[idx]);
    default: return 0;
  }
}
}  // namespace

HRESULT FfAudioDecoder::Emit(Codec& c, std::vector<std::shared_ptr<MediaSample>>& out) {
  for (;;) {
    const int r = avcodec_receive_frame(c.ctx, c.frame);
    if (r < 0) return S_OK;
    const int64_t t = c.frame->pts != AV_NOPTS_VALUE ? c.frame->pts : c.frame->best_effort_timestamp;
    if (t != AV_NOPTS_VALUE && c.preroll.Take(t)) {
      av_frame_unref(c.frame);
      continue;
    }
    const int n = c.frame->nb_samples;
    const int srcChannels = c.frame->ch_layout.nb_channels;
    std::shared_ptr<MediaSample> s;
    if (FAILED(Output()->Allocator().GetBuffer(s))) {
      av_frame_unref(c.frame);
      return E_FAIL;
    }
    const size_t bytes = static_cast<size_t>(n) * static_cast<size_t>(c.channels) * 2;
    if (static_cast<size_t>(s->GetSize()) < bytes) s->Resize(bytes);
    auto* pcm = reinterpret_cast<int16_t*>(s->GetPointer());
    for (int i = 0; i < n; ++i)
      for (int ch = 0; ch < c.channels; ++ch) pcm[i * c.channels + ch] = SampleAt(c.frame, std::min(ch, srcChannels - 1), i);
    s->SetActualDataLength(static_cast<LONG>(bytes));
    if (t != AV_NOPTS_VALUE) {
      REFERENCE_TIME start = t, stop = t + av_rescale(n, UNITS, c.rate);
      s->SetTime(&start, &stop);
    }
    s->SetSyncPoint(true);
    av_frame_unref(c.frame);
    out.push_back(std::move(s));
  }
}

HRESULT FfAudioDecoder::OnReceive(Pin& pin, MediaSample& sample) {
  if (pin.Direction() != PINDIR_INPUT) return E_UNEXPECTED;
  std::vector<std::shared_ptr<MediaSample>> out;
  {
    std::lock_guard lock(codecMutex_);
    Codec* c = codec_.get();
    if (!c) return VFW_E_WRONG_STATE;
    if (Decode(*c, sample)) Emit(*c, out);
  }
  return DeliverAll(*Output(), out);
}

bool FfAudioDecoder::Decode(Codec& cref, MediaSample& sample) {
  Codec* c = &cref;
  if (sample.IsDiscontinuity() == S_OK) {
    avcodec_flush_buffers(c->ctx);
    c->preroll.times.clear();
  }
  c->preroll.Note(sample);
  if (!PacketFrom(c->pkt, sample)) return E_OUTOFMEMORY;
  const int r = avcodec_send_packet(c->ctx, c->pkt);
  av_packet_unref(c->pkt);
  return !(r < 0 && r != AVERROR(EAGAIN));  // a damaged packet is silence
}

HRESULT FfAudioDecoder::OnEndOfStream(Pin&) {
  std::vector<std::shared_ptr<MediaSample>> out;
  {
    std::lock_guard lock(codecMutex_);
    if (codec_) {
      avcodec_send_packet(codec_->ctx, nullptr);
      Emit(*codec_, out);
    }
  }
  DeliverAll(*Output(), out);
  return Output()->IsConnected() ? Output()->DeliverEndOfStream() : S_OK;
}

}  // namespace mg::ff
