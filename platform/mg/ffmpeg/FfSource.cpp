#include "platform/mg/ffmpeg/FfSource.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/mg/ffmpeg/FfCodecs.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace mg::ff {

namespace {
constexpr AVRational kHundredNs{1, static_cast<int>(UNITS)};
constexpr AVRational kMicro{1, AV_TIME_BASE};
}  // namespace

struct FfSource::Demuxer {
  AVFormatContext* fmt = nullptr;
  AVPacket* packet = nullptr;
  struct Out {
    int index = -1;
    std::shared_ptr<Pin> pin;
    bool video = false;
    AM_MEDIA_TYPE mt;
    bool discontinuity = true;
    int64_t packets = 0;
    REFERENCE_TIME last = MAX_TIME;  // time of the last packet read
  };
  std::vector<Out> outs;
  REFERENCE_TIME fileStart = 0;
  REFERENCE_TIME period = UNITS / 25;
  REFERENCE_TIME duration = 0;
  int64_t frames = 0;  // declared video frame count, 0 when unknown
  bool seekedOrBackwards = false;
  bool readAny = false;

  ~Demuxer() {
    av_packet_free(&packet);
    avformat_close_input(&fmt);
  }

  Out* Master() {
    for (auto& o : outs)
      if (o.video && o.pin->IsConnected()) return &o;
    for (auto& o : outs)
      if (o.pin->IsConnected()) return &o;
    return nullptr;
  }

  Out* Find(int index) {
    for (auto& o : outs)
      if (o.index == index) return &o;
    return nullptr;
  }

  // Media time of a packet (from the clip's start), or MAX_TIME if unknown.
  REFERENCE_TIME TimeOf(const AVPacket* p) const {
    const int64_t ts = p->pts != AV_NOPTS_VALUE ? p->pts : p->dts;
    if (ts == AV_NOPTS_VALUE) return MAX_TIME;
    return av_rescale_q(ts, fmt->streams[p->stream_index]->time_base, kHundredNs) - fileStart;
  }

  REFERENCE_TIME DurationOf(const AVPacket* p, const Out& o) const {
    if (p->duration > 0) return av_rescale_q(p->duration, fmt->streams[p->stream_index]->time_base, kHundredNs);
    return o.video ? period : 1;
  }

  HRESULT Seek(REFERENCE_TIME target) {
    const int64_t ts = av_rescale_q(target + fileStart, kHundredNs, kMicro);
    int r = avformat_seek_file(fmt, -1, INT64_MIN, ts, ts, 0);
    if (r < 0) r = av_seek_frame(fmt, -1, ts, AVSEEK_FLAG_BACKWARD);
    if (r < 0) r = av_seek_frame(fmt, -1, ts, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY);
    for (auto& o : outs) {
      o.discontinuity = true;
      o.last = MAX_TIME;
    }
    seekedOrBackwards = true;
    return r < 0 ? HResultFromAv(r) : S_OK;
  }
};

FfSource::FfSource(const CLSID& clsid) : BaseFilter(clsid) { InitLibrary(); }

FfSource::~FfSource() = default;

HRESULT FfSource::Load(const std::string& file, const AM_MEDIA_TYPE*) {
  if (file.empty()) return E_INVALIDARG;
  if (!Pins().empty()) return E_UNEXPECTED;
  auto d = std::make_unique<Demuxer>();
  int r = avformat_open_input(&d->fmt, file.c_str(), nullptr, nullptr);
  if (r < 0) return r == AVERROR_INVALIDDATA ? VFW_E_UNKNOWN_FILE_TYPE : HResultFromAv(r);
  r = avformat_find_stream_info(d->fmt, nullptr);
  if (r < 0) return VFW_E_INVALID_FILE_FORMAT;
  d->packet = av_packet_alloc();
  if (!d->packet) return E_OUTOFMEMORY;
  if (d->fmt->start_time != AV_NOPTS_VALUE) d->fileStart = av_rescale_q(d->fmt->start_time, kMicro, kHundredNs);
  if (d->fmt->duration != AV_NOPTS_VALUE && d->fmt->duration > 0)
    d->duration = av_rescale_q(d->fmt->duration, kMicro, kHundredNs);

  const bool dv = std::string(d->fmt->iformat->name) == "dv";
  int videos = 0, audios = 0;
  bool periodSet = false;
  const AVCodecTag* videoTags[] = {avformat_get_riff_video_tags(), nullptr};
  const AVCodecTag* audioTags[] = {avformat_get_riff_audio_tags(), nullptr};
  for (unsigned i = 0; i < d->fmt->nb_streams; ++i) {
    AVStream* st = d->fmt->streams[i];
    const AVCodecParameters* par = st->codecpar;
    if (par->codec_type != AVMEDIA_TYPE_VIDEO && par->codec_type != AVMEDIA_TYPE_AUDIO) continue;
    if (par->codec_id == AV_CODEC_ID_NONE) continue;
    if (st->disposition & AV_DISPOSITION_ATTACHED_PIC) continue;
    auto info = std::make_shared<StreamCodecInfo>();
    info->codecId = par->codec_id;
    info->bitRate = par->bit_rate;
    info->bitsPerCodedSample = par->bits_per_coded_sample;
    if (par->extradata && par->extradata_size > 0) info->extradata.assign(par->extradata, par->extradata + par->extradata_size);
    Demuxer::Out o;
    o.index = static_cast<int>(i);
    std::string name;
    if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
      o.video = true;
      info->width = par->width;
      info->height = par->height;
      info->pixelFormat = par->format;
      AVRational fps = st->avg_frame_rate.num > 0 ? st->avg_frame_rate : st->r_frame_rate;
      if (fps.num > 0 && fps.den > 0) {
        info->fpsNum = fps.num;
        info->fpsDen = fps.den;
      }
      REFERENCE_TIME period = fps.num > 0 ? av_rescale(UNITS, fps.den, fps.num) : UNITS / 25;
      if (!periodSet) {
        // Time 0 is the first picture, whatever the container counts from.
        if (st->start_time != AV_NOPTS_VALUE) d->fileStart = av_rescale_q(st->start_time, st->time_base, kHundredNs);
        d->period = period;
        d->frames = st->nb_frames;
        periodSet = true;
      }
      uint32_t tag = par->codec_tag;
      if (!tag || !std::isprint(static_cast<int>(tag & 0xFF))) tag = av_codec_get_tag(videoTags, par->codec_id);
      if (!tag) tag = MAKEFOURCC('F', 'F', 'V', 'D') ^ static_cast<uint32_t>(par->codec_id);
      info->codecTag = tag;
      o.mt = MakeCompressedVideoType(info, period);
      name = dv ? "DVVidOut" + std::to_string(videos) : videos ? "Video " + std::to_string(videos + 1) : "Video";
      ++videos;
    } else {
      info->sampleRate = par->sample_rate;
      info->channels = par->ch_layout.nb_channels;
      info->sampleFormat = par->format;
      info->blockAlign = par->block_align;
      info->frameSize = par->frame_size;
      uint32_t tag = av_codec_get_tag(audioTags, par->codec_id);
      if (!tag) tag = 0xFFFE;
      info->codecTag = tag;
      if (info->sampleRate <= 0 || info->channels <= 0) continue;
      o.mt = MakeAudioType(info);
      char buf[32];
      std::snprintf(buf, sizeof buf, "AudOut%02d", audios);
      name = dv ? buf : audios ? "Audio " + std::to_string(audios + 1) : "Audio";
      ++audios;
    }
    o.pin = std::make_shared<Pin>(this, name, PINDIR_OUTPUT);
    d->outs.push_back(std::move(o));
  }
  if (d->outs.empty()) return VFW_E_UNSUPPORTED_STREAM;
  if (!periodSet) d->period = UNITS / 25;
  if (d->duration <= 0 && d->frames > 0) d->duration = d->frames * d->period;
  for (auto& o : d->outs) AddPin(o.pin);
  std::lock_guard lock(demuxMutex_);
  demux_ = std::move(d);
  path_ = file;
  return S_OK;
}

HRESULT FfSource::GetCurFile(std::string* name, AM_MEDIA_TYPE* mt) {
  if (!name) return E_POINTER;
  std::lock_guard lock(demuxMutex_);
  *name = path_;
  if (mt) *mt = AM_MEDIA_TYPE{};
  return path_.empty() ? E_FAIL : S_OK;
}

HRESULT FfSource::CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const {
  for (auto& t : GetMediaTypes(pin))
    if (t.majortype == mt.majortype && t.subtype == mt.subtype && t.formattype == mt.formattype) return S_OK;
  return S_FALSE;
}

std::vector<AM_MEDIA_TYPE> FfSource::GetMediaTypes(const Pin& pin) const {
  std::lock_guard lock(demuxMutex_);
  if (demux_)
    for (auto& o : demux_->outs)
      if (o.pin.get() == &pin) return {o.mt};
  return {};
}

ALLOCATOR_PROPERTIES FfSource::DecideBufferSize(const Pin& pin) const {
  ALLOCATOR_PROPERTIES p = BaseFilter::DecideBufferSize(pin);
  p.cbBuffer = std::max<LONG>(p.cbBuffer, 256 * 1024);
  return p;
}

REFERENCE_TIME FfSource::FramePeriod() const {
  std::lock_guard lock(demuxMutex_);
  if (!demux_) return UNITS / 25;
  const double r = std::fabs(rate_);
  return static_cast<REFERENCE_TIME>(std::llround(static_cast<double>(demux_->period) / (r > 0 ? r : 1.0)));
}

HRESULT FfSource::Pause() {
  if (State() == State_Stopped) {
    std::lock_guard lock(demuxMutex_);
    // Each run starts where the last seek went.
    needSeek_ = true;
    ended_ = false;
    current_ = segmentStart_;
    backwardsSent_ = 0;
  }
  return BaseFilter::Pause();
}

void FfSource::EndStreams(HRESULT error) {
  ended_ = true;
  for (auto& o : demux_->outs)
    if (o.pin->IsConnected()) outbox_.push_back({o.pin, nullptr});
  endError_ = error;
}

HRESULT FfSource::SeekLocked(REFERENCE_TIME target) {
  needSeek_ = false;
  return demux_->Seek(target);
}

HRESULT FfSource::PushOne(REFERENCE_TIME) {
  std::vector<Outgoing> out;
  HRESULT hr, error;
  {
    std::lock_guard lock(demuxMutex_);
    if (!demux_ || ended_) return S_FALSE;
    if (State() == State_Stopped) return S_FALSE;
    endError_ = S_OK;
    hr = rate_ < 0 ? PushBackward() : PushForward();
    out.swap(outbox_);
    error = endError_;
  }
  // Delivered without our lock: downstream runs the application's frame
  // callbacks, which may wait for a thread that is seeking us.
  for (auto& o : out) {
    if (o.sample)
      o.pin->Deliver(*o.sample);
    else
      o.pin->DeliverEndOfStream();
  }
  if (FAILED(error)) NotifyEvent(EC_ERRORABORT, error, 0);
  return hr;
}

HRESULT FfSource::PushForward() {
  Demuxer& d = *demux_;
  Demuxer::Out* master = d.Master();
  if (!master) {
    EndStreams(S_OK);
    return S_FALSE;
  }
  if (needSeek_) {
    needSeek_ = false;
    if ((segmentStart_ > 0 || d.readAny) && FAILED(d.Seek(segmentStart_))) {
      EndStreams(VFW_E_INVALID_FILE_FORMAT);
      return S_FALSE;
    }
    if (segmentStart_ == 0) {
      // From the top again: the frame count can tell a cut-off clip.
      d.seekedOrBackwards = false;
      for (auto& o : d.outs) o.packets = 0;
    }
  }
  for (;;) {
    AVPacket* p = d.packet;
    const int r = av_read_frame(d.fmt, p);
    d.readAny = true;
    if (r < 0) {
      HRESULT error = S_OK;
      if (r != AVERROR_EOF) error = HResultFromAv(r);
      // A clip cut short: fewer frames than its header promised.
      if (!d.seekedOrBackwards && master->video && d.frames > 0 && master->packets < d.frames)
        error = VFW_E_INVALID_FILE_FORMAT;
      if (d.fmt->pb && d.fmt->pb->error < 0) error = HResultFromAv(d.fmt->pb->error);
      EndStreams(error);
      return S_FALSE;
    }
    Demuxer::Out* o = d.Find(p->stream_index);
    if (!o || !o->pin->IsConnected()) {
      av_packet_unref(p);
      continue;
    }
    const REFERENCE_TIME len = d.DurationOf(p, *o);
    // Packets without a presentation time follow the one before; their
    // decoding time would be a frame early in streams that reorder.
    REFERENCE_TIME t = p->pts == AV_NOPTS_VALUE && o->last != MAX_TIME ? o->last + len : d.TimeOf(p);
    if (t == MAX_TIME) t = o == master ? current_ + d.period : current_;
    o->last = t;
    const bool key = (p->flags & AV_PKT_FLAG_KEY) != 0;
    ++o->packets;
    if (o == master && stop_ != MAX_TIME && t >= stop_) {
      av_packet_unref(p);
      EndStreams(S_OK);
      return S_FALSE;
    }
    std::shared_ptr<MediaSample> s;
    if (SUCCEEDED(o->pin->Allocator().GetBuffer(s))) {
      if (s->GetSize() < p->size) s->Resize(static_cast<size_t>(p->size));
      std::memcpy(s->GetPointer(), p->data, static_cast<size_t>(p->size));
      s->SetActualDataLength(p->size);
      REFERENCE_TIME start = static_cast<REFERENCE_TIME>(std::llround((t - segmentStart_) / rate_));
      REFERENCE_TIME end = start + std::max<REFERENCE_TIME>(static_cast<REFERENCE_TIME>(std::llround(len / rate_)), 1);
      s->SetTime(&start, &end);
      s->SetSyncPoint(key);
      s->SetPreroll(t < segmentStart_);
      s->SetDiscontinuity(o->discontinuity);
      o->discontinuity = false;
      av_packet_unref(p);
      outbox_.push_back({o->pin, std::move(s)});
    } else {
      av_packet_unref(p);
    }
    if (o == master && t >= segmentStart_) {
      current_ = t;
      return S_OK;
    }
  }
}

HRESULT FfSource::PushBackward() {
  Demuxer& d = *demux_;
  Demuxer::Out* master = d.Master();
  if (!master || !master->video) {
    EndStreams(S_OK);
    return S_FALSE;
  }
  const REFERENCE_TIME target = needSeek_ ? current_ : current_ - d.period;
  needSeek_ = false;
  if (target < 0 || target + d.period / 2 < 0) {
    EndStreams(S_OK);
    return S_FALSE;
  }
  if (FAILED(d.Seek(target))) {
    EndStreams(VFW_E_INVALID_FILE_FORMAT);
    return S_FALSE;
  }
  for (;;) {
    AVPacket* p = d.packet;
    if (av_read_frame(d.fmt, p) < 0) {
      EndStreams(S_OK);
      return S_FALSE;
    }
    if (p->stream_index != master->index) {
      av_packet_unref(p);
      continue;
    }
    REFERENCE_TIME t = d.TimeOf(p);
    const bool reached = t != MAX_TIME && t + d.period / 2 >= target;
    std::shared_ptr<MediaSample> s;
    if (SUCCEEDED(master->pin->Allocator().GetBuffer(s))) {
      if (s->GetSize() < p->size) s->Resize(static_cast<size_t>(p->size));
      std::memcpy(s->GetPointer(), p->data, static_cast<size_t>(p->size));
      s->SetActualDataLength(p->size);
      const double speed = -rate_;
      REFERENCE_TIME start = backwardsSent_ + static_cast<REFERENCE_TIME>(std::llround((t - target) / speed));
      REFERENCE_TIME end = start + static_cast<REFERENCE_TIME>(std::llround(d.period / speed));
      s->SetTime(&start, &end);
      s->SetSyncPoint((p->flags & AV_PKT_FLAG_KEY) != 0);
      s->SetPreroll(!reached);
      s->SetDiscontinuity(master->discontinuity);
      master->discontinuity = false;
      av_packet_unref(p);
      outbox_.push_back({master->pin, std::move(s)});
    } else {
      av_packet_unref(p);
    }
    if (reached) {
      current_ = t;
      backwardsSent_ += static_cast<REFERENCE_TIME>(std::llround(d.period / -rate_));
      return S_OK;
    }
  }
}

// ---- seeking ----------------------------------------------------------------------------------

HRESULT FfSource::GetCapabilities(DWORD* caps) {
  if (!caps) return E_POINTER;
  *caps = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards | AM_SEEKING_CanSeekBackwards |
          AM_SEEKING_CanGetCurrentPos | AM_SEEKING_CanGetStopPos | AM_SEEKING_CanGetDuration |
          AM_SEEKING_CanPlayBackwards;
  return S_OK;
}

HRESULT FfSource::CheckCapabilities(DWORD* caps) {
  if (!caps) return E_POINTER;
  DWORD have = 0;
  GetCapabilities(&have);
  const DWORD asked = *caps;
  *caps &= have;
  return *caps == asked ? S_OK : *caps ? S_FALSE : E_FAIL;
}

HRESULT FfSource::IsFormatSupported(const GUID* format) {
  if (!format) return E_POINTER;
  if (*format == TIME_FORMAT_MEDIA_TIME) return S_OK;
  if (*format == TIME_FORMAT_FRAME) {
    std::lock_guard lock(demuxMutex_);
    if (demux_)
      for (auto& o : demux_->outs)
        if (o.video) return S_OK;
  }
  return S_FALSE;
}

HRESULT FfSource::QueryPreferredFormat(GUID* format) {
  if (!format) return E_POINTER;
  *format = TIME_FORMAT_MEDIA_TIME;
  return S_OK;
}

HRESULT FfSource::GetTimeFormat(GUID* format) {
  if (!format) return E_POINTER;
  std::lock_guard lock(demuxMutex_);
  *format = timeFormat_;
  return S_OK;
}

HRESULT FfSource::IsUsingTimeFormat(const GUID* format) {
  if (!format) return E_POINTER;
  std::lock_guard lock(demuxMutex_);
  return *format == timeFormat_ ? S_OK : S_FALSE;
}

HRESULT FfSource::SetTimeFormat(const GUID* format) {
  if (!format) return E_POINTER;
  if (IsFormatSupported(format) != S_OK) return E_INVALIDARG;
  std::lock_guard lock(demuxMutex_);
  timeFormat_ = *format;
  return S_OK;
}

HRESULT FfSource::ToMediaTime(int64_t value, const GUID& format, REFERENCE_TIME* out) const {
  if (format == TIME_FORMAT_MEDIA_TIME) {
    *out = value;
    return S_OK;
  }
  if (format == TIME_FORMAT_FRAME && demux_) {
    *out = value * demux_->period;
    return S_OK;
  }
  return E_INVALIDARG;
}

HRESULT FfSource::FromMediaTime(REFERENCE_TIME t, const GUID& format, int64_t* out) const {
  if (format == TIME_FORMAT_MEDIA_TIME) {
    *out = t;
    return S_OK;
  }
  if (format == TIME_FORMAT_FRAME && demux_ && demux_->period > 0) {
    // A frame's time may be a tick early after rounding; count it as that frame.
    *out = (t + demux_->period / 2) / demux_->period;
    return S_OK;
  }
  return E_INVALIDARG;
}

HRESULT FfSource::GetDuration(int64_t* duration) {
  if (!duration) return E_POINTER;
  std::lock_guard lock(demuxMutex_);
  if (!demux_) return E_UNEXPECTED;
  if (timeFormat_ == TIME_FORMAT_FRAME && demux_->frames > 0) {
    *duration = demux_->frames;
    return S_OK;
  }
  if (timeFormat_ == TIME_FORMAT_FRAME) {
    *duration = demux_->period > 0 ? (demux_->duration + demux_->period / 2) / demux_->period : 0;
    return S_OK;
  }
  return FromMediaTime(demux_->duration, timeFormat_, duration);
}

HRESULT FfSource::GetStopPosition(int64_t* stop) {
  if (!stop) return E_POINTER;
  {
    std::lock_guard lock(demuxMutex_);
    if (stop_ != MAX_TIME) return FromMediaTime(stop_, timeFormat_, stop);
  }
  return GetDuration(stop);
}

HRESULT FfSource::GetCurrentPosition(int64_t* cur) {
  if (!cur) return E_POINTER;
  std::lock_guard lock(demuxMutex_);
  if (!demux_) return E_UNEXPECTED;
  return FromMediaTime(current_, timeFormat_, cur);
}

HRESULT FfSource::ConvertTimeFormat(int64_t* target, const GUID* targetFormat, int64_t source,
                                    const GUID* sourceFormat) {
  if (!target) return E_POINTER;
  std::lock_guard lock(demuxMutex_);
  REFERENCE_TIME t = 0;
  HRESULT hr = ToMediaTime(source, sourceFormat ? *sourceFormat : timeFormat_, &t);
  if (FAILED(hr)) return hr;
  return FromMediaTime(t, targetFormat ? *targetFormat : timeFormat_, target);
}

HRESULT FfSource::SetPositions(int64_t* cur, DWORD curFlags, int64_t* stop, DWORD stopFlags) {
  bool pushNow = false;
  {
    std::lock_guard lock(demuxMutex_);
    if (!demux_) return E_UNEXPECTED;
    const DWORD curMode = curFlags & AM_SEEKING_PositioningBitsMask;
    const DWORD stopMode = stopFlags & AM_SEEKING_PositioningBitsMask;
    if (curMode != AM_SEEKING_NoPositioning) {
      if (!cur) return E_POINTER;
      REFERENCE_TIME t = 0;
      if (FAILED(ToMediaTime(*cur, timeFormat_, &t))) return E_INVALIDARG;
      if (curMode == AM_SEEKING_RelativePositioning) t += current_;
      t = std::clamp<REFERENCE_TIME>(t, 0, std::max<REFERENCE_TIME>(demux_->duration, 0));
      segmentStart_ = t;
      current_ = t;
      backwardsSent_ = 0;
      ended_ = false;
      needSeek_ = true;
      if (rate_ > 0 && FAILED(SeekLocked(t))) return E_FAIL;
      if (curFlags & AM_SEEKING_ReturnTime) FromMediaTime(t, TIME_FORMAT_MEDIA_TIME, cur);
      // A paused graph shows the frame at the new position, as a still.
      pushNow = State() == State_Paused;
    }
    if (stopMode != AM_SEEKING_NoPositioning) {
      if (!stop) return E_POINTER;
      REFERENCE_TIME t = 0;
      if (FAILED(ToMediaTime(*stop, timeFormat_, &t))) return E_INVALIDARG;
      if (stopMode == AM_SEEKING_RelativePositioning) t += current_;
      stop_ = t;
    }
  }
  if (pushNow) PushOne(0);
  return S_OK;
}

HRESULT FfSource::GetPositions(int64_t* cur, int64_t* stop) {
  HRESULT hr = S_OK;
  if (cur) hr = GetCurrentPosition(cur);
  if (stop && SUCCEEDED(hr)) hr = GetStopPosition(stop);
  return hr;
}

HRESULT FfSource::GetAvailable(int64_t* earliest, int64_t* latest) {
  if (earliest) *earliest = 0;
  if (latest) return GetDuration(latest);
  return S_OK;
}

HRESULT FfSource::SetRate(double rate) {
  if (rate == 0.0 || !std::isfinite(rate)) return E_INVALIDARG;
  std::lock_guard lock(demuxMutex_);
  if ((rate < 0) != (rate_ < 0)) {
    // Changing direction restarts the segment from the frame last shown.
    segmentStart_ = current_;
    backwardsSent_ = 0;
    needSeek_ = rate > 0;
    if (rate < 0) needSeek_ = false;
  }
  rate_ = rate;
  return S_OK;
}

HRESULT FfSource::GetRate(double* rate) {
  if (!rate) return E_POINTER;
  std::lock_guard lock(demuxMutex_);
  *rate = rate_;
  return S_OK;
}

HRESULT FfSource::GetPreroll(int64_t* preroll) {
  if (!preroll) return E_POINTER;
  *preroll = 0;
  return S_OK;
}

}  // namespace mg::ff
