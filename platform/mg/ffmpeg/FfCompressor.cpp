#include "platform/mg/ffmpeg/FfCompressor.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace mg::ff {

namespace {

constexpr AVRational kHundredNs{1, static_cast<int>(UNITS)};

bool IntraOnly(const std::string& encoder) {
  const AVCodec* c = avcodec_find_encoder_by_name(encoder.c_str());
  const AVCodecDescriptor* d = c ? avcodec_descriptor_get(c->id) : nullptr;
  return d && (d->props & AV_CODEC_PROP_INTRA_ONLY);
}

bool Lossless(const std::string& encoder) {
  const AVCodec* c = avcodec_find_encoder_by_name(encoder.c_str());
  const AVCodecDescriptor* d = c ? avcodec_descriptor_get(c->id) : nullptr;
  return d && (d->props & AV_CODEC_PROP_LOSSLESS) && !(d->props & AV_CODEC_PROP_LOSSY);
}

// "name=value" lines; unknown names are skipped so that older or newer
// saved settings still load.
std::vector<std::pair<std::string, std::string>> ParseSettings(const std::vector<uint8_t>& stream) {
  std::vector<std::pair<std::string, std::string>> list;
  std::istringstream in(std::string(stream.begin(), stream.end()));
  std::string line;
  while (std::getline(in, line)) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    list.emplace_back(line.substr(0, eq), line.substr(eq + 1));
  }
  return list;
}

std::vector<uint8_t> ToBytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

void FreeCodec(AVCodecContext*& c) { avcodec_free_context(&c); }

// Hands encoded samples on, without the codec lock: Stop takes that lock,
// and downstream may be a grabber running the application's callback.
HRESULT DeliverAll(Pin& pin, std::vector<std::shared_ptr<MediaSample>> samples) {
  for (auto& s : samples) {
    const HRESULT hr = pin.Deliver(*s);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

}  // namespace

// ---- the video encoder state ------------------------------------------------------------------

struct VideoCompressor::Encoder {
  AVCodecContext* ctx = nullptr;
  SwsContext* sws = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  GUID inSubtype;
  int inWidth = 0, inHeight = 0;
  REFERENCE_TIME period = 0;
  int64_t lastPts = INT64_MIN;
  int64_t frameIndex = 0;
  std::shared_ptr<StreamCodecInfo> info;
  std::vector<std::shared_ptr<MediaSample>> ready;

  ~Encoder() {
    sws_freeContext(sws);
    av_frame_free(&frame);
    av_packet_free(&packet);
    FreeCodec(ctx);
  }

  // Opens the encoder for frames of `in`; false when it refuses them.
  bool Open(const EncoderEntry& entry, const AM_MEDIA_TYPE& in, const Settings& s, bool intraOnly) {
    const AVCodec* codec = avcodec_find_encoder_by_name(entry.encoder.c_str());
    const BITMAPINFOHEADER* bih = in.BitmapHeader();
    if (!codec || !bih || bih->biWidth <= 0 || bih->biHeight == 0) return false;
    inSubtype = in.subtype;
    inWidth = bih->biWidth;
    inHeight = bih->biHeight;
    const auto* vih = in.FormatAs<VIDEOINFOHEADER>();
    period = vih && in.formattype == FORMAT_VideoInfo && vih->AvgTimePerFrame > 0 ? vih->AvgTimePerFrame : UNITS / 25;
    if (in.formattype == FORMAT_VideoInfo2)
      if (auto* v2 = in.FormatAs<VIDEOINFOHEADER2>(); v2 && v2->AvgTimePerFrame > 0) period = v2->AvgTimePerFrame;

    ctx = avcodec_alloc_context3(codec);
    if (!ctx) return false;
    int w = inWidth, h = std::abs(inHeight);
    AVRational tb;
    av_reduce(&tb.num, &tb.den, period, UNITS, 65535);
    AVPixelFormat fmt = AV_PIX_FMT_NONE;
    if (codec->id == AV_CODEC_ID_DVVIDEO) {
      // DV has two frame sizes; the picture is scaled to the one its rate belongs to.
      const bool ntsc = period < 380'000;
      w = 720;
      h = ntsc ? 480 : 576;
      tb = ntsc ? AVRational{1001, 30000} : AVRational{1, 25};
      fmt = ntsc ? AV_PIX_FMT_YUV411P : AV_PIX_FMT_YUV420P;
      period = ntsc ? 333'667 : 400'000;
    }
    if (s.width > 0 && s.height > 0 && codec->id != AV_CODEC_ID_DVVIDEO) {
      w = s.width;
      h = s.height;
    }
    if (s.bitRate > 0 && s.quality < 0.0) {
      ctx->bit_rate = s.bitRate;
      ctx->rc_buffer_size = static_cast<int>(std::min<int64_t>(INT32_MAX, static_cast<int64_t>(s.bitRate) * 2));
      ctx->rc_max_rate = s.bitRate * 2;
    }
    ctx->width = w;
    ctx->height = h;
    ctx->time_base = tb;
    ctx->framerate = AVRational{tb.den, tb.num};
    ctx->sample_aspect_ratio = AVRational{1, 1};
    const AVPixelFormat src = static_cast<AVPixelFormat>(PixelFormatForSubtype(in.subtype));
    if (src == AV_PIX_FMT_NONE) return false;
    if (fmt == AV_PIX_FMT_NONE) {
      fmt = codec->pix_fmts ? avcodec_find_best_pix_fmt_of_list(codec->pix_fmts, src, 0, nullptr) : src;
      // Lossy codecs get 4:2:0 where they take it: what players expect, and half the work.
      if (codec->pix_fmts && !Lossless(entry.encoder))
        for (const AVPixelFormat* f = codec->pix_fmts; *f != AV_PIX_FMT_NONE; ++f)
          if (*f == AV_PIX_FMT_YUVJ420P || *f == AV_PIX_FMT_YUV420P) {
            fmt = *f;
            break;
          }
    }
    ctx->pix_fmt = fmt;
    ctx->max_b_frames = 0;  // AVI keeps frames in decoding order; no reordering
    if (!intraOnly) ctx->gop_size = s.keyFrameRate < 0 ? 12 : s.keyFrameRate == 0 ? 1 : s.keyFrameRate;
    if (s.quality >= 0.0) {
      const int q = 1 + static_cast<int>(std::lround((1.0 - std::clamp(s.quality, 0.0, 1.0)) * 30.0));
      ctx->flags |= AV_CODEC_FLAG_QSCALE;
      ctx->global_quality = FF_QP2LAMBDA * q;
      ctx->qmin = 1;
      ctx->qmax = 31;
    }
    if (codec->id == AV_CODEC_ID_MJPEG) ctx->color_range = AVCOL_RANGE_JPEG;
    if (codec->id == AV_CODEC_ID_FFV1 || codec->id == AV_CODEC_ID_HUFFYUV || codec->id == AV_CODEC_ID_FFVHUFF)
      ctx->thread_count = 1;
    if (avcodec_open2(ctx, codec, nullptr) < 0) return false;

    sws = sws_getContext(inWidth, std::abs(inHeight), src, w, h, fmt, SWS_BILINEAR, nullptr, nullptr, nullptr);
    frame = av_frame_alloc();
    packet = av_packet_alloc();
    if (!sws || !frame || !packet) return false;
    frame->format = fmt;
    frame->width = w;
    frame->height = h;
    if (av_frame_get_buffer(frame, 0) < 0) return false;

    info = std::make_shared<StreamCodecInfo>();
    info->codecId = codec->id;
    info->codecTag = entry.fourcc;
    info->width = w;
    info->height = h;
    info->pixelFormat = fmt;
    info->fpsNum = tb.den;
    info->fpsDen = tb.num;
    info->bitRate = ctx->bit_rate;
    info->bitsPerCodedSample = ctx->bits_per_coded_sample > 0 ? ctx->bits_per_coded_sample : 24;
    if (ctx->extradata && ctx->extradata_size > 0)
      info->extradata.assign(ctx->extradata, ctx->extradata + ctx->extradata_size);
    return true;
  }

  // Collects every packet the encoder has ready, for delivery after the
  // codec lock is released.
  HRESULT Drain(Pin& out) {
    for (;;) {
      const int r = avcodec_receive_packet(ctx, packet);
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return S_OK;
      if (r < 0) return E_FAIL;
      std::shared_ptr<MediaSample> sample;
      HRESULT hr = out.Allocator().GetBuffer(sample);
      if (FAILED(hr)) {
        av_packet_unref(packet);
        return hr;
      }
      if (sample->GetSize() < packet->size) sample->Resize(static_cast<size_t>(packet->size));
      std::memcpy(sample->GetPointer(), packet->data, static_cast<size_t>(packet->size));
      sample->SetActualDataLength(packet->size);
      REFERENCE_TIME start = av_rescale_q(packet->pts, ctx->time_base, kHundredNs);
      REFERENCE_TIME stop = start + std::max<REFERENCE_TIME>(av_rescale_q(std::max<int64_t>(packet->duration, 1),
                                                                         ctx->time_base, kHundredNs), 1);
      sample->SetTime(&start, &stop);
      sample->SetSyncPoint((packet->flags & AV_PKT_FLAG_KEY) != 0);
      av_packet_unref(packet);
      ready.push_back(std::move(sample));
    }
  }
};

// ---- VideoCompressor ------------------------------------------------------------------------------

VideoCompressor::VideoCompressor(const EncoderEntry& entry) : BaseFilter(entry.clsid), entry_(entry) {
  InitLibrary();
  AddPin(std::make_shared<Pin>(this, "Input", PINDIR_INPUT));
  AddPin(std::make_shared<Pin>(this, "Output", PINDIR_OUTPUT));
}

VideoCompressor::~VideoCompressor() = default;

HRESULT VideoCompressor::SetOutputSize(int width, int height) {
  if (width < 0 || height < 0 || (width == 0) != (height == 0)) return E_INVALIDARG;
  if (Input()->IsConnected()) return VFW_E_ALREADY_CONNECTED;
  std::lock_guard lock(settingsMutex_);
  settings_.width = width;
  settings_.height = height;
  return S_OK;
}

HRESULT VideoCompressor::SetBitRate(LONG bits) {
  if (bits < 0) return E_INVALIDARG;
  std::lock_guard lock(settingsMutex_);
  settings_.bitRate = bits;
  return S_OK;
}

LONG VideoCompressor::DefaultKeyFrameRate() const { return IntraOnly(entry_.encoder) ? 1 : 12; }

VideoCompressor::Settings VideoCompressor::Current() const {
  std::lock_guard lock(settingsMutex_);
  return settings_;
}

HRESULT VideoCompressor::put_KeyFrameRate(LONG rate) {
  std::lock_guard lock(settingsMutex_);
  settings_.keyFrameRate = rate < 0 ? -1 : rate;
  dirty_ = true;
  return S_OK;
}

HRESULT VideoCompressor::get_KeyFrameRate(LONG* rate) {
  if (!rate) return E_POINTER;
  std::lock_guard lock(settingsMutex_);
  *rate = settings_.keyFrameRate < 0 ? DefaultKeyFrameRate() : settings_.keyFrameRate;
  return S_OK;
}

HRESULT VideoCompressor::put_PFramesPerKeyFrame(LONG frames) {
  std::lock_guard lock(settingsMutex_);
  settings_.pFramesPerKey = frames < 0 ? -1 : frames;
  dirty_ = true;
  return S_OK;
}

HRESULT VideoCompressor::get_PFramesPerKeyFrame(LONG* frames) {
  if (!frames) return E_POINTER;
  std::lock_guard lock(settingsMutex_);
  *frames = settings_.pFramesPerKey < 0 ? 0 : settings_.pFramesPerKey;
  return S_OK;
}

HRESULT VideoCompressor::put_Quality(double quality) {
  if (quality > 1.0) return E_INVALIDARG;
  std::lock_guard lock(settingsMutex_);
  settings_.quality = quality < 0.0 ? -1.0 : quality;
  dirty_ = true;
  return S_OK;
}

HRESULT VideoCompressor::get_Quality(double* quality) {
  if (!quality) return E_POINTER;
  std::lock_guard lock(settingsMutex_);
  *quality = settings_.quality < 0.0 ? 0.75 : settings_.quality;
  return S_OK;
}

HRESULT VideoCompressor::put_WindowSize(uint64_t window) {
  if (window == 0) return E_INVALIDARG;
  std::lock_guard lock(settingsMutex_);
  settings_.windowSize = window;
  dirty_ = true;
  return S_OK;
}

HRESULT VideoCompressor::get_WindowSize(uint64_t* window) {
  if (!window) return E_POINTER;
  std::lock_guard lock(settingsMutex_);
  *window = settings_.windowSize;
  return S_OK;
}

HRESULT VideoCompressor::GetInfo(std::u16string* version, std::u16string* description, LONG* defKey, LONG* defP,
                                 double* defQuality, LONG* caps) {
  const bool intra = IntraOnly(entry_.encoder);
  if (version) *version = u"" LIBAVCODEC_IDENT;
  if (description) *description = std::u16string(entry_.friendlyName.begin(), entry_.friendlyName.end());
  if (defKey) *defKey = DefaultKeyFrameRate();
  if (defP) *defP = 0;
  if (defQuality) *defQuality = 0.75;
  if (caps) {
    LONG c = 0;
    if (!Lossless(entry_.encoder)) c |= CompressionCaps_CanQuality;
    if (!intra) c |= CompressionCaps_CanKeyFrame | CompressionCaps_CanWindow;
    *caps = c;
  }
  return S_OK;
}

HRESULT VideoCompressor::OverrideKeyFrame(LONG frame) {
  std::lock_guard lock(settingsMutex_);
  forceKeyFrame_ = frame;
  return S_OK;
}

HRESULT VideoCompressor::OverrideFrameSize(LONG, LONG) { return E_NOTIMPL; }

HRESULT VideoCompressor::IsDirty() {
  std::lock_guard lock(settingsMutex_);
  return dirty_ ? S_OK : S_FALSE;
}

HRESULT VideoCompressor::Save(std::vector<uint8_t>& stream, BOOL clearDirty) {
  std::lock_guard lock(settingsMutex_);
  std::ostringstream out;
  out << "encoder=" << entry_.encoder << "\n"
      << "keyframerate=" << settings_.keyFrameRate << "\n"
      << "pframes=" << settings_.pFramesPerKey << "\n"
      << "quality=" << settings_.quality << "\n"
      << "window=" << settings_.windowSize << "\n";
  stream = ToBytes(out.str());
  if (clearDirty) dirty_ = false;
  return S_OK;
}

HRESULT VideoCompressor::Load(const std::vector<uint8_t>& stream) {
  Settings s;
  bool sawEncoder = false;
  try {
    for (auto& [name, value] : ParseSettings(stream)) {
      if (name == "encoder") {
        if (value != entry_.encoder) return E_INVALIDARG;
        sawEncoder = true;
      } else if (name == "keyframerate") {
        s.keyFrameRate = std::stoi(value);
      } else if (name == "pframes") {
        s.pFramesPerKey = std::stoi(value);
      } else if (name == "quality") {
        s.quality = std::min(std::stod(value), 1.0);
      } else if (name == "window") {
        s.windowSize = std::max<uint64_t>(std::stoull(value), 1);
      }
    }
  } catch (const std::exception&) {
    return E_INVALIDARG;
  }
  if (!sawEncoder) return E_INVALIDARG;
  std::lock_guard lock(settingsMutex_);
  settings_ = s;
  dirty_ = false;
  return S_OK;
}

HRESULT VideoCompressor::GetSizeMax(uint64_t* size) {
  if (!size) return E_POINTER;
  *size = 256;
  return S_OK;
}

HRESULT VideoCompressor::GetPages(std::vector<PropertyPage>* pages) {
  if (!pages) return E_POINTER;
  PropertyPage page;
  page.title = entry_.friendlyName;
  LONG caps = 0;
  GetInfo(nullptr, nullptr, nullptr, nullptr, nullptr, &caps);
  if (caps & CompressionCaps_CanQuality) {
    PropertyDescriptor q;
    q.name = "Quality";
    q.min = 0;
    q.max = 100;
    q.def = 75;
    q.get = [this] {
      double v = 0;
      get_Quality(&v);
      return static_cast<int>(std::lround(v * 100));
    };
    q.set = [this](int v) { put_Quality(std::clamp(v, 0, 100) / 100.0); };
    page.properties.push_back(std::move(q));
  }
  if (caps & CompressionCaps_CanKeyFrame) {
    PropertyDescriptor k;
    k.name = "Key frame every";
    k.min = 0;
    k.max = 1000;
    k.def = DefaultKeyFrameRate();
    k.get = [this] {
      LONG v = 0;
      get_KeyFrameRate(&v);
      return static_cast<int>(v);
    };
    k.set = [this](int v) { put_KeyFrameRate(v); };
    page.properties.push_back(std::move(k));
    PropertyDescriptor w;
    w.name = "Data rate window (frames)";
    w.min = 1;
    w.max = 1000;
    w.def = 1;
    w.get = [this] {
      uint64_t v = 1;
      get_WindowSize(&v);
      return static_cast<int>(v);
    };
    w.set = [this](int v) { put_WindowSize(static_cast<uint64_t>(std::max(v, 1))); };
    page.properties.push_back(std::move(w));
  }
  pages->push_back(std::move(page));
  return S_OK;
}

HRESULT VideoCompressor::CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const {
  if (pin.Direction() == PINDIR_OUTPUT)
    return outputType_.majortype == MEDIATYPE_Video && mt.majortype == MEDIATYPE_Video &&
                   mt.subtype == outputType_.subtype
               ? S_OK
               : S_FALSE;
  if (mt.majortype != MEDIATYPE_Video || PixelFormatForSubtype(mt.subtype) < 0) return S_FALSE;
  const BITMAPINFOHEADER* bih = mt.BitmapHeader();
  if (!bih || bih->biWidth <= 0 || bih->biHeight == 0) return S_FALSE;
  // Only a size the encoder can open is accepted (some want even sizes).
  Encoder probe;
  return probe.Open(entry_, mt, Current(), IntraOnly(entry_.encoder)) ? S_OK : S_FALSE;
}

std::vector<AM_MEDIA_TYPE> VideoCompressor::GetMediaTypes(const Pin& pin) const {
  if (pin.Direction() != PINDIR_OUTPUT || outputType_.majortype != MEDIATYPE_Video) return {};
  return {outputType_};
}

HRESULT VideoCompressor::OnConnect(Pin& pin) {
  if (pin.Direction() != PINDIR_INPUT) return S_OK;
  Encoder probe;
  if (!probe.Open(entry_, pin.CurrentType(), Current(), IntraOnly(entry_.encoder))) return VFW_E_TYPE_NOT_ACCEPTED;
  outputType_ = MakeCompressedVideoType(probe.info, probe.period);
  return S_OK;
}

void VideoCompressor::OnDisconnect(Pin& pin) {
  if (pin.Direction() == PINDIR_INPUT) outputType_ = AM_MEDIA_TYPE{};
}

ALLOCATOR_PROPERTIES VideoCompressor::DecideBufferSize(const Pin& pin) const {
  ALLOCATOR_PROPERTIES p = BaseFilter::DecideBufferSize(pin);
  if (const BITMAPINFOHEADER* bih = pin.CurrentType().BitmapHeader())
    p.cbBuffer = std::max<LONG>(p.cbBuffer, bih->biWidth * std::abs(bih->biHeight) * 4 + 4096);
  return p;
}

HRESULT VideoCompressor::Pause() {
  if (State() == State_Stopped && Input()->IsConnected()) {
    // A fresh encoder per run, with the settings of now.
    auto enc = std::make_unique<Encoder>();
    if (!enc->Open(entry_, Input()->CurrentType(), Current(), IntraOnly(entry_.encoder))) return E_FAIL;
    std::lock_guard lock(codecMutex_);
    encoder_ = std::move(enc);
    forceKeyFrame_ = -1;
  }
  return BaseFilter::Pause();
}

HRESULT VideoCompressor::Stop() {
  BaseFilter::Stop();
  std::lock_guard lock(codecMutex_);
  encoder_.reset();
  return S_OK;
}

HRESULT VideoCompressor::OnReceive(Pin& pin, MediaSample& sample) {
  if (pin.Direction() != PINDIR_INPUT) return E_UNEXPECTED;
  std::unique_lock lock(codecMutex_);
  Encoder* e = encoder_.get();
  if (!e) return VFW_E_WRONG_STATE;
  uint8_t* planes[4];
  int strides[4];
  const uint32_t need = FrameSize(e->inSubtype, e->inWidth, e->inHeight);
  if (static_cast<uint32_t>(sample.GetActualDataLength()) < need) return VFW_E_BUFFER_OVERFLOW;
  if (!FramePlanes(e->inSubtype, sample.GetPointer(), e->inWidth, e->inHeight, planes, strides)) return E_FAIL;
  if (av_frame_make_writable(e->frame) < 0) return E_OUTOFMEMORY;
  sws_scale(e->sws, planes, strides, 0, std::abs(e->inHeight), e->frame->data, e->frame->linesize);
  int64_t pts = sample.HasTime() ? av_rescale_q(sample.StartTime(), kHundredNs, e->ctx->time_base) : e->lastPts + 1;
  if (pts <= e->lastPts) pts = e->lastPts + 1;
  e->lastPts = pts;
  e->frame->pts = pts;
  e->frame->quality = e->ctx->global_quality;
  {
    std::lock_guard s(settingsMutex_);
    const bool force = forceKeyFrame_ >= 0 && forceKeyFrame_ == e->frameIndex;
    e->frame->pict_type = force ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
  }
  ++e->frameIndex;
  if (avcodec_send_frame(e->ctx, e->frame) < 0) {
    NotifyEvent(EC_ERRORABORT, E_FAIL, 0);
    return E_FAIL;
  }
  const HRESULT hr = e->Drain(*Output());
  auto ready = std::move(e->ready);
  e->ready.clear();
  lock.unlock();
  return FAILED(hr) ? hr : DeliverAll(*Output(), std::move(ready));
}

HRESULT VideoCompressor::OnEndOfStream(Pin&) {
  std::vector<std::shared_ptr<MediaSample>> ready;
  {
    std::lock_guard lock(codecMutex_);
    if (encoder_ && avcodec_send_frame(encoder_->ctx, nullptr) >= 0) encoder_->Drain(*Output());
    if (encoder_) ready = std::move(encoder_->ready);
  }
  DeliverAll(*Output(), std::move(ready));
  return Output()->IsConnected() ? Output()->DeliverEndOfStream() : S_OK;
}

// ---- the audio encoder state --------------------------------------------------------------------

struct AudioCompressor::Encoder {
  AVCodecContext* ctx = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  int channels = 0, rate = 0, inBits = 16;
  int inChannels = 0;              // of the input; `channels` are encoded
  std::vector<int16_t> pending;  // interleaved, as the input has them
  bool haveBase = false;
  REFERENCE_TIME base = 0;
  int64_t samplesSent = 0;
  std::shared_ptr<StreamCodecInfo> info;
  std::vector<std::shared_ptr<MediaSample>> ready;

  ~Encoder() {
    av_frame_free(&frame);
    av_packet_free(&packet);
    FreeCodec(ctx);
  }

  static AVSampleFormat Pick(const AVCodec* c) {
    if (!c->sample_fmts) return AV_SAMPLE_FMT_S16;
    for (AVSampleFormat want : {AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_S16P, AV_SAMPLE_FMT_FLTP, AV_SAMPLE_FMT_FLT})
      for (const AVSampleFormat* f = c->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
        if (*f == want) return want;
    return AV_SAMPLE_FMT_NONE;
  }

  bool Open(const EncoderEntry& entry, const AM_MEDIA_TYPE& in, LONG bitRate, int outChannels = 0) {
    const AVCodec* codec = avcodec_find_encoder_by_name(entry.encoder.c_str());
    const auto* wfx = in.FormatAs<WAVEFORMATEX>();
    if (!codec || !wfx || wfx->wFormatTag != WAVE_FORMAT_PCM) return false;
    if (wfx->wBitsPerSample != 16 && wfx->wBitsPerSample != 8) return false;
    if (wfx->nChannels < 1 || wfx->nChannels > 2 || wfx->nSamplesPerSec == 0) return false;
    inChannels = wfx->nChannels;
    channels = outChannels == 1 || outChannels == 2 ? outChannels : inChannels;
    rate = static_cast<int>(wfx->nSamplesPerSec);
    inBits = wfx->wBitsPerSample;
    const AVSampleFormat fmt = Pick(codec);
    if (fmt == AV_SAMPLE_FMT_NONE) return false;
    if (codec->supported_samplerates) {
      bool ok = false;
      for (const int* r = codec->supported_samplerates; *r; ++r) ok = ok || *r == rate;
      if (!ok) return false;
    }
    ctx = avcodec_alloc_context3(codec);
    if (!ctx) return false;
    ctx->sample_fmt = fmt;
    ctx->sample_rate = rate;
    av_channel_layout_default(&ctx->ch_layout, channels);
    ctx->time_base = AVRational{1, rate};
    if (bitRate > 0) ctx->bit_rate = bitRate;
    else if (codec->id == AV_CODEC_ID_MP2) ctx->bit_rate = 64000 * channels;
    else if (codec->id == AV_CODEC_ID_WMAV2 || codec->id == AV_CODEC_ID_WMAV1) ctx->bit_rate = 64000;
    if (avcodec_open2(ctx, codec, nullptr) < 0) return false;
    frame = av_frame_alloc();
    packet = av_packet_alloc();
    if (!frame || !packet) return false;
    info = std::make_shared<StreamCodecInfo>();
    info->codecId = codec->id;
    info->codecTag = entry.waveTag;
    info->sampleRate = rate;
    info->channels = channels;
    info->sampleFormat = fmt;
    info->blockAlign = ctx->block_align > 0 ? ctx->block_align : channels * 2;
    info->frameSize = ctx->frame_size;
    info->bitsPerCodedSample = ctx->bits_per_coded_sample > 0 ? ctx->bits_per_coded_sample
                               : codec->id == AV_CODEC_ID_PCM_S16LE ? 16
                                                                     : 0;
    info->bitRate = ctx->bit_rate;
    if (info->bitRate <= 0 && ctx->frame_size > 0 && ctx->block_align > 0)
      info->bitRate = static_cast<int64_t>(ctx->block_align) * 8 * rate / ctx->frame_size;
    if (info->bitRate <= 0) info->bitRate = static_cast<int64_t>(rate) * channels * 16;
    if (ctx->extradata && ctx->extradata_size > 0)
      info->extradata.assign(ctx->extradata, ctx->extradata + ctx->extradata_size);
    return true;
  }

  // Encodes `count` samples per channel from the front of `pending`.
  HRESULT EncodeChunk(int count, Pin& out) {
    frame->nb_samples = count;
    frame->format = ctx->sample_fmt;
    av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout);
    frame->sample_rate = rate;
    if (av_frame_get_buffer(frame, 0) < 0) return E_OUTOFMEMORY;
    const int16_t* src = pending.data();
    const int have = static_cast<int>(pending.size()) / inChannels;
    for (int i = 0; i < count; ++i)
      for (int c = 0; c < channels; ++c) {
        // Stereo mixed down takes both sides; mono goes to both.
        int16_t v = 0;
        if (i < have)
          v = inChannels == channels ? src[i * inChannels + c]
              : inChannels == 2      ? static_cast<int16_t>((src[i * 2] + src[i * 2 + 1]) / 2)
                                     : src[i];
        switch (ctx->sample_fmt) {
          case AV_SAMPLE_FMT_S16: reinterpret_cast<int16_t*>(frame->data[0])[i * channels + c] = v; break;
          case AV_SAMPLE_FMT_S16P: reinterpret_cast<int16_t*>(frame->data[c])[i] = v; break;
          case AV_SAMPLE_FMT_FLT: reinterpret_cast<float*>(frame->data[0])[i * channels + c] = v / 32768.0f; break;
          default: reinterpret_cast<float*>(frame->data[c])[i] = v / 32768.0f; break;
        }
      }
    frame->pts = samplesSent;
    samplesSent += count;
    const size_t used = std::min(pending.size(), static_cast<size_t>(count) * static_cast<size_t>(inChannels));
    pending.erase(pending.begin(), pending.begin() + static_cast<long>(used));
    const int r = avcodec_send_frame(ctx, frame);
    av_frame_unref(frame);
    if (r < 0) return E_FAIL;
    return Drain(out);
  }

  HRESULT Drain(Pin& out) {
    for (;;) {
      const int r = avcodec_receive_packet(ctx, packet);
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return S_OK;
      if (r < 0) return E_FAIL;
      std::shared_ptr<MediaSample> sample;
      HRESULT hr = out.Allocator().GetBuffer(sample);
      if (FAILED(hr)) {
        av_packet_unref(packet);
        return hr;
      }
      if (sample->GetSize() < packet->size) sample->Resize(static_cast<size_t>(packet->size));
      std::memcpy(sample->GetPointer(), packet->data, static_cast<size_t>(packet->size));
      sample->SetActualDataLength(packet->size);
      REFERENCE_TIME start = base + av_rescale(std::max<int64_t>(packet->pts, 0), UNITS, rate);
      REFERENCE_TIME stop = start + av_rescale(std::max<int64_t>(packet->duration, 1), UNITS, rate);
      sample->SetTime(&start, &stop);
      sample->SetSyncPoint(true);
      av_packet_unref(packet);
      ready.push_back(std::move(sample));
    }
  }

  HRESULT Push(const uint8_t* data, size_t bytes, Pin& out) {
    if (inBits == 16) {
      const size_t n = bytes / 2;
      const size_t old = pending.size();
      pending.resize(old + n);
      std::memcpy(pending.data() + old, data, n * 2);
    } else {
      for (size_t i = 0; i < bytes; ++i) pending.push_back(static_cast<int16_t>((data[i] - 128) << 8));
    }
    const int frameSize = ctx->frame_size > 0 ? ctx->frame_size : static_cast<int>(pending.size()) / inChannels;
    while (frameSize > 0 && static_cast<int>(pending.size()) / inChannels >= frameSize) {
      const HRESULT hr = EncodeChunk(frameSize, out);
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  }

  HRESULT Flush(Pin& out) {
    const int left = static_cast<int>(pending.size()) / inChannels;
    if (left > 0) {
      const bool small = (ctx->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) || ctx->frame_size == 0;
      EncodeChunk(small ? left : ctx->frame_size, out);
    }
    if (avcodec_send_frame(ctx, nullptr) >= 0) return Drain(out);
    return S_OK;
  }
};

// ---- AudioCompressor ---------------------------------------------------------------------------

AudioCompressor::AudioCompressor(const EncoderEntry& entry) : BaseFilter(entry.clsid), entry_(entry) {
  InitLibrary();
  AddPin(std::make_shared<Pin>(this, "Input", PINDIR_INPUT));
  AddPin(std::make_shared<Pin>(this, "Output", PINDIR_OUTPUT));
}

AudioCompressor::~AudioCompressor() = default;

HRESULT AudioCompressor::SetBitRate(LONG bits) {
  if (bits < 0) return E_INVALIDARG;
  std::lock_guard lock(settingsMutex_);
  bitRate_ = bits;
  dirty_ = true;
  return S_OK;
}

LONG AudioCompressor::BitRate() const {
  std::lock_guard lock(settingsMutex_);
  return bitRate_;
}

HRESULT AudioCompressor::SetOutputChannels(int channels) {
  if (channels < 0 || channels > 2) return E_INVALIDARG;
  std::lock_guard lock(settingsMutex_);
  outChannels_ = channels;
  return S_OK;
}

int AudioCompressor::OutputChannels() const {
  std::lock_guard lock(settingsMutex_);
  return outChannels_;
}

HRESULT AudioCompressor::IsDirty() {
  std::lock_guard lock(settingsMutex_);
  return dirty_ ? S_OK : S_FALSE;
}

HRESULT AudioCompressor::Save(std::vector<uint8_t>& stream, BOOL clearDirty) {
  std::lock_guard lock(settingsMutex_);
  stream = ToBytes("encoder=" + entry_.encoder + "\nbitrate=" + std::to_string(bitRate_) + "\n");
  if (clearDirty) dirty_ = false;
  return S_OK;
}

HRESULT AudioCompressor::Load(const std::vector<uint8_t>& stream) {
  LONG rate = 0;
  bool sawEncoder = false;
  try {
    for (auto& [name, value] : ParseSettings(stream)) {
      if (name == "encoder") {
        if (value != entry_.encoder) return E_INVALIDARG;
        sawEncoder = true;
      } else if (name == "bitrate") {
        rate = std::max(0, std::stoi(value));
      }
    }
  } catch (const std::exception&) {
    return E_INVALIDARG;
  }
  if (!sawEncoder) return E_INVALIDARG;
  std::lock_guard lock(settingsMutex_);
  bitRate_ = rate;
  dirty_ = false;
  return S_OK;
}

HRESULT AudioCompressor::GetSizeMax(uint64_t* size) {
  if (!size) return E_POINTER;
  *size = 128;
  return S_OK;
}

HRESULT AudioCompressor::GetPages(std::vector<PropertyPage>* pages) {
  if (!pages) return E_POINTER;
  PropertyPage page;
  page.title = entry_.friendlyName;
  PropertyDescriptor b;
  b.name = "Bit rate (kbit/s, 0 default)";
  b.min = 0;
  b.max = 640;
  b.get = [this] { return static_cast<int>(BitRate() / 1000); };
  b.set = [this](int v) { SetBitRate(std::clamp(v, 0, 640) * 1000); };
  page.properties.push_back(std::move(b));
  pages->push_back(std::move(page));
  return S_OK;
}

HRESULT AudioCompressor::CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const {
  if (pin.Direction() == PINDIR_OUTPUT)
    return outputType_.majortype == MEDIATYPE_Audio && mt.majortype == MEDIATYPE_Audio &&
                   mt.subtype == outputType_.subtype
               ? S_OK
               : S_FALSE;
  if (mt.majortype != MEDIATYPE_Audio || mt.formattype != FORMAT_WaveFormatEx) return S_FALSE;
  Encoder probe;
  return probe.Open(entry_, mt, BitRate(), OutputChannels()) ? S_OK : S_FALSE;
}

std::vector<AM_MEDIA_TYPE> AudioCompressor::GetMediaTypes(const Pin& pin) const {
  if (pin.Direction() != PINDIR_OUTPUT || outputType_.majortype != MEDIATYPE_Audio) return {};
  return {outputType_};
}

HRESULT AudioCompressor::OnConnect(Pin& pin) {
  if (pin.Direction() != PINDIR_INPUT) return S_OK;
  Encoder probe;
  if (!probe.Open(entry_, pin.CurrentType(), BitRate(), OutputChannels())) return VFW_E_TYPE_NOT_ACCEPTED;
  outputType_ = MakeAudioType(probe.info);
  return S_OK;
}

void AudioCompressor::OnDisconnect(Pin& pin) {
  if (pin.Direction() == PINDIR_INPUT) outputType_ = AM_MEDIA_TYPE{};
}

ALLOCATOR_PROPERTIES AudioCompressor::DecideBufferSize(const Pin& pin) const {
  ALLOCATOR_PROPERTIES p = BaseFilter::DecideBufferSize(pin);
  p.cbBuffer = std::max<LONG>(p.cbBuffer, 256 * 1024);
  return p;
}

HRESULT AudioCompressor::Pause() {
  if (State() == State_Stopped && Input()->IsConnected()) {
    auto enc = std::make_unique<Encoder>();
    if (!enc->Open(entry_, Input()->CurrentType(), BitRate(), OutputChannels())) return E_FAIL;
    std::lock_guard lock(codecMutex_);
    encoder_ = std::move(enc);
  }
  return BaseFilter::Pause();
}

HRESULT AudioCompressor::Stop() {
  BaseFilter::Stop();
  std::lock_guard lock(codecMutex_);
  encoder_.reset();
  return S_OK;
}

HRESULT AudioCompressor::OnReceive(Pin& pin, MediaSample& sample) {
  if (pin.Direction() != PINDIR_INPUT) return E_UNEXPECTED;
  std::vector<std::shared_ptr<MediaSample>> ready;
  HRESULT hr;
  {
    std::lock_guard lock(codecMutex_);
    Encoder* e = encoder_.get();
    if (!e) return VFW_E_WRONG_STATE;
    if (!e->haveBase && sample.HasTime()) {
      e->base = sample.StartTime();
      e->haveBase = true;
    }
    hr = e->Push(sample.GetPointer(), static_cast<size_t>(sample.GetActualDataLength()), *Output());
    ready = std::move(e->ready);
    e->ready.clear();
  }
  return FAILED(hr) ? hr : DeliverAll(*Output(), std::move(ready));
}

HRESULT AudioCompressor::OnEndOfStream(Pin&) {
  std::vector<std::shared_ptr<MediaSample>> ready;
  {
    std::lock_guard lock(codecMutex_);
    if (encoder_) {
      encoder_->Flush(*Output());
      ready = std::move(encoder_->ready);
    }
  }
  DeliverAll(*Output(), std::move(ready));
  return Output()->IsConnected() ? Output()->DeliverEndOfStream() : S_OK;
}

// ---- factory and categories -----------------------------------------------------------------------

std::shared_ptr<BaseFilter> CreateCompressor(const CLSID& clsid) {
  const EncoderEntry* e = FindEncoder(clsid);
  if (!e) return nullptr;
  if (e->video) return std::make_shared<VideoCompressor>(*e);
  return std::make_shared<AudioCompressor>(*e);
}

std::vector<std::shared_ptr<Moniker>> CompressorProvider::Enumerate(const GUID& category) {
  std::vector<std::shared_ptr<Moniker>> list;
  const bool video = category == CLSID_VideoCompressorCategory;
  if (!video && category != CLSID_AudioCompressorCategory) return list;
  for (const EncoderEntry& e : Encoders()) {
    if (e.video != video) continue;
    const CLSID clsid = e.clsid;
    auto m = std::make_shared<Moniker>("@device:cm:" + category.ToString() + "\\" + e.encoder,
                                       [clsid] { return CreateCompressor(clsid); });
    m->Properties().Write("FriendlyName", e.friendlyName);
    m->Properties().Write("CLSID", clsid.ToString());
    if (video)
      m->Properties().Write("FccHandler", static_cast<int32_t>(e.fourcc));
    else
      m->Properties().Write("WaveFormatTag", static_cast<int32_t>(e.waveTag));
    list.push_back(std::move(m));
  }
  return list;
}

}  // namespace mg::ff
