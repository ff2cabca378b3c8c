#include "platform/mg/sim/SimDv.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
}

namespace mg::sim {

namespace {

int Fps(bool pal) { return pal ? 25 : 30; }

// Frames the head moves per frame period in each moving mode.
double Speed(LONG mode, double rate) {
  switch (mode) {
    case ED_MODE_PLAY:
    case ED_MODE_RECORD:
    case ED_MODE_RECORD_STROBE:
      return 1;
    case ED_MODE_FF:
      return 10;
    case ED_MODE_REW:
      return -10;
    case ED_MODE_REW_FASTEST:
      return -30;
    case ED_MODE_PLAY_FASTEST_FWD:
      return 2;
    case ED_MODE_PLAY_SLOWEST_FWD:
      return 0.5;
    case ED_MODE_PLAY_FASTEST_REV:
      return -2;
    case ED_MODE_SHUTTLE:
      return rate;
    default:
      return 0;
  }
}

int WritePacket(void* opaque, uint8_t* buf, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(opaque);
  out->insert(out->end(), buf, buf + size);
  return size;
}

// The picture in the encoder's planar layout (4:2:0 for PAL, 4:1:1 for NTSC).
void FillFrame(const RgbImage& img, AVFrame* f, bool pal) {
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) {
      uint8_t yy, u, v;
      RgbToYuv(img.At(x, y), &yy, &u, &v);
      f->data[0][y * f->linesize[0] + x] = yy;
    }
  const int sx = pal ? 2 : 4, sy = pal ? 2 : 1;
  for (int y = 0; y < img.height / sy; ++y)
    for (int x = 0; x < img.width / sx; ++x) {
      int su = 0, sv = 0;
      for (int dy = 0; dy < sy; ++dy)
        for (int dx = 0; dx < sx; ++dx) {
          uint8_t yy, u, v;
          RgbToYuv(img.At(x * sx + dx, y * sy + dy), &yy, &u, &v);
          su += u;
          sv += v;
        }
      const int n = sx * sy;
      f->data[1][y * f->linesize[1] + x] = static_cast<uint8_t>((su + n / 2) / n);
      f->data[2][y * f->linesize[2] + x] = static_cast<uint8_t>((sv + n / 2) / n);
    }
}

std::vector<uint8_t> EncodeVideo(const RgbImage& img, bool pal, AVCodecParameters* par) {
  std::vector<uint8_t> out;
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_DVVIDEO);
  if (!codec) return out;
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  ctx->width = img.width;
  ctx->height = img.height;
  ctx->pix_fmt = pal ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_YUV411P;
  ctx->time_base = pal ? AVRational{1, 25} : AVRational{1001, 30000};
  AVFrame* frame = av_frame_alloc();
  AVPacket* pkt = av_packet_alloc();
  if (avcodec_open2(ctx, codec, nullptr) == 0) {
    frame->format = ctx->pix_fmt;
    frame->width = ctx->width;
    frame->height = ctx->height;
    if (av_frame_get_buffer(frame, 0) == 0) {
      FillFrame(img, frame, pal);
      frame->pts = 0;
      if (avcodec_send_frame(ctx, frame) == 0 && avcodec_send_frame(ctx, nullptr) == 0)
        while (avcodec_receive_packet(ctx, pkt) == 0) {
          if (out.empty()) out.assign(pkt->data, pkt->data + pkt->size);
          av_packet_unref(pkt);
        }
      avcodec_parameters_from_context(par, ctx);
    }
  }
  av_packet_free(&pkt);
  av_frame_free(&frame);
  avcodec_free_context(&ctx);
  return out;
}

std::vector<uint8_t> Mux(const std::vector<uint8_t>& video, const AVCodecParameters* vpar, bool pal,
                         int64_t position) {
  std::vector<uint8_t> out;
  AVFormatContext* oc = nullptr;
  if (avformat_alloc_output_context2(&oc, nullptr, "dv", nullptr) < 0 || !oc) return out;
  constexpr int kIoSize = 32768;
  auto* ioBuffer = static_cast<uint8_t*>(av_malloc(kIoSize));
  AVIOContext* io = avio_alloc_context(ioBuffer, kIoSize, 1, &out, nullptr, WritePacket, nullptr);
  oc->pb = io;
  oc->flags |= AVFMT_FLAG_CUSTOM_IO;

  AVStream* vs = avformat_new_stream(oc, nullptr);
  avcodec_parameters_copy(vs->codecpar, vpar);
  vs->time_base = pal ? AVRational{1, 25} : AVRational{1001, 30000};
  AVStream* as = avformat_new_stream(oc, nullptr);
  as->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
  as->codecpar->codec_id = AV_CODEC_ID_PCM_S16LE;
  as->codecpar->sample_rate = 48000;
  av_channel_layout_default(&as->codecpar->ch_layout, 2);
  as->time_base = AVRational{1, 48000};

  const DvRecordingDate d;
  char date[64];
  std::snprintf(date, sizeof date, "%04d-%02d-%02dT%02d:%02d:%02d.000000Z", d.year, d.month, d.day, d.hour, d.minute,
                d.second);
  av_dict_set(&oc->metadata, "creation_time", date, 0);
  av_dict_set(&oc->metadata, "timecode", DvTimecodeText(position, pal).c_str(), 0);

  bool ok = avformat_write_header(oc, nullptr) >= 0;
  if (ok) {
    AVPacket* pkt = av_packet_alloc();
    av_new_packet(pkt, static_cast<int>(video.size()));
    std::memcpy(pkt->data, video.data(), video.size());
    pkt->stream_index = 0;
    pkt->pts = pkt->dts = 0;
    ok = av_write_frame(oc, pkt) >= 0;
    av_packet_unref(pkt);
    // A 1 kHz tone that runs on from frame to frame along the tape.
    const int samples = pal ? 1920 : 1600;
    av_new_packet(pkt, samples * 4);
    auto* pcm = reinterpret_cast<int16_t*>(pkt->data);
    for (int k = 0; k < samples; ++k) {
      const int64_t n = position * samples + k;
      const auto v = static_cast<int16_t>(std::lround(8192 * std::sin(6.283185307179586 * static_cast<double>(n % 48) / 48.0)));
      pcm[2 * k] = pcm[2 * k + 1] = v;
    }
    pkt->stream_index = 1;
    pkt->pts = pkt->dts = 0;
    ok = ok && av_write_frame(oc, pkt) >= 0;
    av_packet_free(&pkt);
    ok = av_write_trailer(oc) >= 0 && ok;
  }
  avio_flush(io);
  av_freep(&io->buffer);
  avio_context_free(&io);
  avformat_free_context(oc);
  if (!ok) out.clear();
  return out;
}

uint32_t PackPayload(const uint8_t* pack) {
  return static_cast<uint32_t>(pack[1]) | (static_cast<uint32_t>(pack[2]) << 8) |
         (static_cast<uint32_t>(pack[3]) << 16) | (static_cast<uint32_t>(pack[4]) << 24);
}

}  // namespace

std::string DvTimecodeText(int64_t position, bool pal) {
  const int fps = Fps(pal);
  const int64_t p = std::max<int64_t>(0, position);
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d:%02d", static_cast<int>(p / (3600 * fps) % 24),
                static_cast<int>(p / (60 * fps) % 60), static_cast<int>(p / fps % 60), static_cast<int>(p % fps));
  return text;
}

uint32_t DvTimecodeBcd(int64_t position, bool pal) {
  const int fps = Fps(pal);
  const int64_t p = std::max<int64_t>(0, position);
  const int parts[4] = {static_cast<int>(p / (3600 * fps) % 24), static_cast<int>(p / (60 * fps) % 60),
                        static_cast<int>(p / fps % 60), static_cast<int>(p % fps)};
  uint32_t bcd = 0;
  for (int v : parts) bcd = (bcd << 8) | static_cast<uint32_t>((v / 10) << 4 | (v % 10));
  return bcd;
}

std::vector<uint8_t> MakeDvFrame(bool pal, int64_t position, const std::string& caption) {
  RgbImage img(720, pal ? 576 : 480);
  DrawColourBars(img, PictureSettings{});
  const int scale = 4;
  DrawText(img, 24, 24, DvTimecodeText(position, pal), scale, Rgb(255, 255, 255), Rgb(0, 0, 0));
  if (!caption.empty()) DrawText(img, 24, 24 + 10 * scale, caption, scale, Rgb(255, 255, 255), Rgb(0, 0, 0));
  AVCodecParameters* par = avcodec_parameters_alloc();
  const std::vector<uint8_t> video = EncodeVideo(img, pal, par);
  std::vector<uint8_t> frame;
  if (!video.empty()) frame = Mux(video, par, pal, position);
  avcodec_parameters_free(&par);
  if (frame.size() != DvFrameBytes(pal)) frame.clear();
  return frame;
}

DVINFO DvInfoOf(const std::vector<uint8_t>& frame) {
  DVINFO info;
  bool aSrc = false, aCtl = false, aSrc1 = false, aCtl1 = false, vSrc = false, vCtl = false;
  const size_t blocks = frame.size() / 80;
  const size_t half = blocks / 2;
  for (size_t b = 0; b < blocks; ++b) {
    const uint8_t* blk = &frame[b * 80];
    const int sct = blk[0] >> 5;
    if (sct == 3) {  // audio: one pack at byte 3; the second half of the frame is the second channel
      const uint8_t* pack = blk + 3;
      const bool second = b >= half;
      if (pack[0] == 0x50 && !(second ? aSrc1 : aSrc)) {
        (second ? info.dwDVAAuxSrc1 : info.dwDVAAuxSrc) = PackPayload(pack);
        (second ? aSrc1 : aSrc) = true;
      } else if (pack[0] == 0x51 && !(second ? aCtl1 : aCtl)) {
        (second ? info.dwDVAAuxCtl1 : info.dwDVAAuxCtl) = PackPayload(pack);
        (second ? aCtl1 : aCtl) = true;
      }
    } else if (sct == 2) {  // video AUX: fifteen packs
      for (int k = 0; k < 15; ++k) {
        const uint8_t* pack = blk + 3 + 5 * k;
        if (pack[0] == 0x60 && !vSrc) {
          info.dwDVVAuxSrc = PackPayload(pack);
          vSrc = true;
        } else if (pack[0] == 0x61 && !vCtl) {
          info.dwDVVAuxCtl = PackPayload(pack);
          vCtl = true;
        }
      }
    }
  }
  return info;
}

const std::vector<LONG>& DvTransportModes() {
  static const std::vector<LONG> modes = {
      ED_MODE_PLAY,         ED_MODE_STOP,          ED_MODE_FREEZE,           ED_MODE_THAW,
      ED_MODE_FF,           ED_MODE_REW,           ED_MODE_RECORD,           ED_MODE_RECORD_STROBE,
      ED_MODE_RECORD_FREEZE, ED_MODE_STEP_FWD,     ED_MODE_STEP_REV,         ED_MODE_SHUTTLE,
      ED_MODE_REW_FASTEST,  ED_MODE_PLAY_FASTEST_FWD, ED_MODE_PLAY_SLOWEST_FWD, ED_MODE_PLAY_FASTEST_REV};
  return modes;
}

// ---- the camcorder ----------------------------------------------------------------------------------

SimDvCamcorder::SimDvCamcorder(std::shared_ptr<DevicePresence> presence, const DvOptions& options)
    : BaseFilter(CLSID_SimDv), presence_(std::move(presence)), options_(options) {
  options_.tapeFrames = std::max(1, options_.tapeFrames);
  pendingPolls_ = 0;
  if (!options_.interleavedOnly) {
    auto video = std::make_shared<ControlledOutputPin>(this, "DV Vid Out");
    video->SetCategory(PIN_CATEGORY_CAPTURE);
    AddPin(video);
  }
  auto av = std::make_shared<ControlledOutputPin>(this, "DV A/V Out");
  av->SetCategory(PIN_CATEGORY_CAPTURE);
  AddPin(av);
  AddPin(std::make_shared<Pin>(this, "DV A/V In", PINDIR_INPUT));
  dvInfo_ = DvInfoOf(TapeFrame(0));
}

std::shared_ptr<Pin> SimDvCamcorder::VideoPin() const { return options_.interleavedOnly ? nullptr : PinAt(0); }
std::shared_ptr<Pin> SimDvCamcorder::InterleavedPin() const { return PinAt(options_.interleavedOnly ? 0 : 1); }
std::shared_ptr<Pin> SimDvCamcorder::InputPin() const { return PinAt(options_.interleavedOnly ? 1 : 2); }

AM_MEDIA_TYPE SimDvCamcorder::VideoType() const {
  AM_MEDIA_TYPE mt;
  mt.majortype = MEDIATYPE_Video;
  mt.subtype = MEDIASUBTYPE_dvsd;
  mt.lSampleSize = DvFrameBytes(options_.pal);
  VIDEOINFOHEADER vih;
  vih.AvgTimePerFrame = FramePeriod();
  vih.bmiHeader.biWidth = 720;
  vih.bmiHeader.biHeight = options_.pal ? 576 : 480;
  vih.bmiHeader.biBitCount = 24;
  vih.bmiHeader.biCompression = MAKEFOURCC('d', 'v', 's', 'd');
  vih.bmiHeader.biSizeImage = mt.lSampleSize;
  vih.dwBitRate = 28'800'000;
  mt.SetFormat(FORMAT_VideoInfo, vih);
  return mt;
}

AM_MEDIA_TYPE SimDvCamcorder::InterleavedType() const {
  AM_MEDIA_TYPE mt;
  mt.majortype = MEDIATYPE_Interleaved;
  mt.subtype = MEDIASUBTYPE_dvsd;
  mt.lSampleSize = DvFrameBytes(options_.pal);
  mt.SetFormat(FORMAT_DvInfo, dvInfo_);
  return mt;
}

HRESULT SimDvCamcorder::CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const {
  if (pin.Direction() == PINDIR_INPUT)
    return (mt.majortype == MEDIATYPE_Interleaved || mt.majortype == MEDIATYPE_Video) &&
                   (mt.subtype == MEDIASUBTYPE_dvsd || mt.subtype == MEDIASUBTYPE_DVSD)
               ? S_OK
               : S_FALSE;
  const AM_MEDIA_TYPE own = &pin == VideoPin().get() ? VideoType() : InterleavedType();
  return own.majortype == mt.majortype && own.subtype == mt.subtype && own.formattype == mt.formattype ? S_OK
                                                                                                      : S_FALSE;
}

std::vector<AM_MEDIA_TYPE> SimDvCamcorder::GetMediaTypes(const Pin& pin) const {
  if (pin.Direction() == PINDIR_INPUT) return {};
  return {&pin == VideoPin().get() ? VideoType() : InterleavedType()};
}

ALLOCATOR_PROPERTIES SimDvCamcorder::DecideBufferSize(const Pin&) const {
  ALLOCATOR_PROPERTIES p;
  p.cBuffers = 4;
  p.cbBuffer = static_cast<LONG>(DvFrameBytes(options_.pal));
  return p;
}

std::vector<uint8_t> SimDvCamcorder::FrameLocked(int64_t position) {
  auto it = tape_.find(position);
  if (it == tape_.end()) it = tape_.emplace(position, MakeDvFrame(options_.pal, position, {})).first;
  return it->second;
}

std::vector<uint8_t> SimDvCamcorder::TapeFrame(int64_t position) {
  std::lock_guard lock(mutex_);
  return FrameLocked(std::clamp<int64_t>(position, 0, options_.tapeFrames - 1));
}

int64_t SimDvCamcorder::Position() const {
  std::lock_guard lock(mutex_);
  return position_;
}

void SimDvCamcorder::SetPosition(int64_t frame) {
  std::lock_guard lock(mutex_);
  position_ = std::clamp<int64_t>(frame, 0, options_.tapeFrames - 1);
}

void SimDvCamcorder::SetSettlingPolls(int polls) {
  std::lock_guard lock(mutex_);
  options_.settlingPolls = std::max(0, polls);
}

HRESULT SimDvCamcorder::OnReceive(Pin& pin, MediaSample& sample) {
  if (&pin != InputPin().get()) return E_UNEXPECTED;
  std::lock_guard lock(mutex_);
  if (static_cast<uint32_t>(sample.GetActualDataLength()) == DvFrameBytes(options_.pal))
    lastInput_.assign(sample.GetPointer(), sample.GetPointer() + sample.GetActualDataLength());
  return S_OK;
}

HRESULT SimDvCamcorder::Stop() {
  const HRESULT hr = BaseFilter::Stop();
  std::lock_guard lock(mutex_);
  delivered_ = dropped_ = 0;
  return hr;
}

void SimDvCamcorder::AdvanceLocked() {
  const int64_t last = options_.tapeFrames - 1;
  if (mode_ == ED_MODE_RECORD || mode_ == ED_MODE_RECORD_STROBE) {
    // What arrives on the input is recorded; with nothing there, the
    // camcorder records its own camera.
    tape_[position_] = !lastInput_.empty() ? lastInput_ : MakeDvFrame(options_.pal, position_, "REC");
    if (mode_ == ED_MODE_RECORD_STROBE) mode_ = ED_MODE_RECORD_FREEZE;
  }
  fraction_ += Speed(mode_, rate_);
  const double whole = std::trunc(fraction_);
  fraction_ -= whole;
  int64_t next = position_ + static_cast<int64_t>(whole);
  if (next >= last || next <= 0) {
    const bool forward = Speed(mode_, rate_) > 0;
    next = std::clamp<int64_t>(next, 0, last);
    // The tape ends: the deck stops at either end of it.
    if ((forward && next == last) || (!forward && next == 0 && Speed(mode_, rate_) < 0)) {
      mode_ = reported_ = pendingMode_ = ED_MODE_STOP;
      pendingPolls_ = 0;
      fraction_ = 0;
    }
  }
  position_ = next;
}

HRESULT SimDvCamcorder::PushOne(REFERENCE_TIME t) {
  if (State() == State_Stopped) return VFW_E_WRONG_STATE;
  if (!presence_->present.load()) {
    if (!lostSent_) {
      lostSent_ = true;
      NotifyEvent(EC_DEVICE_LOST, reinterpret_cast<intptr_t>(this), 0);
    }
    return S_FALSE;
  }
  std::vector<uint8_t> frame;
  {
    std::lock_guard lock(mutex_);
    if (mode_ == ED_MODE_STOP) return S_OK;  // a stopped deck sends nothing
    const int64_t at = position_;
    AdvanceLocked();
    frame = FrameLocked(at);
  }
  if (frame.empty()) return S_OK;
  for (const auto& pin : {VideoPin(), InterleavedPin()}) {
    if (!pin || !pin->IsConnected()) continue;
    std::shared_ptr<MediaSample> sample;
    if (FAILED(pin->Allocator().GetBuffer(sample)) || static_cast<size_t>(sample->GetSize()) < frame.size()) {
      std::lock_guard lock(mutex_);
      ++dropped_;
      continue;
    }
    std::memcpy(sample->GetPointer(), frame.data(), frame.size());
    sample->SetActualDataLength(static_cast<LONG>(frame.size()));
    REFERENCE_TIME start = t, stop = t + FramePeriod();
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(true);
    const HRESULT hr = pin->Deliver(*sample);
    if (hr == VFW_E_WRONG_STATE) return hr;
    std::lock_guard lock(mutex_);
    if (FAILED(hr))
      ++dropped_;
    else
      ++delivered_;
  }
  return S_OK;
}

// ---- transport ---------------------------------------------------------------------------------------

HRESULT SimDvCamcorder::put_Mode(LONG mode) {
  const auto& modes = DvTransportModes();
  if (std::find(modes.begin(), modes.end(), mode) == modes.end()) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  LONG effective = mode;
  if (mode == ED_MODE_THAW) effective = ED_MODE_PLAY;
  if (mode == ED_MODE_STEP_FWD || mode == ED_MODE_STEP_REV) {
    position_ = std::clamp<int64_t>(position_ + (mode == ED_MODE_STEP_FWD ? 1 : -1), 0, options_.tapeFrames - 1);
    effective = ED_MODE_FREEZE;
  }
  fraction_ = 0;
  mode_ = effective;
  // get_Mode answers the commanded mode once the deck has settled.
  pendingMode_ = mode;
  pendingPolls_ = options_.settlingPolls;
  if (pendingPolls_ == 0) reported_ = mode;
  return S_OK;
}

HRESULT SimDvCamcorder::get_Mode(LONG* mode) {
  if (!mode) return E_POINTER;
  std::lock_guard lock(mutex_);
  if (pendingPolls_ > 0)
    --pendingPolls_;
  else
    reported_ = pendingMode_;
  *mode = reported_;
  return S_OK;
}

HRESULT SimDvCamcorder::put_Rate(double rate) {
  std::lock_guard lock(mutex_);
  rate_ = rate;
  return S_OK;
}

HRESULT SimDvCamcorder::get_Rate(double* rate) {
  if (!rate) return E_POINTER;
  std::lock_guard lock(mutex_);
  *rate = rate_;
  return S_OK;
}

HRESULT SimDvCamcorder::GetTransportBasicParameters(LONG param, LONG* value, std::string* data) {
  if (data) data->clear();
  if (param != ED_TRANSBASIC_INPUT_SIGNAL) return E_NOTIMPL;
  if (!value) return E_POINTER;
  *value = options_.pal ? ED_TRANSBASIC_SIGNAL_625_50_SD : ED_TRANSBASIC_SIGNAL_525_60_SD;
  return S_OK;
}

HRESULT SimDvCamcorder::SetTransportBasicParameters(LONG, LONG, const std::string&) { return E_NOTIMPL; }
HRESULT SimDvCamcorder::GetCapability(LONG, LONG*, double*) { return E_NOTIMPL; }
HRESULT SimDvCamcorder::put_MediaState(LONG) { return E_NOTIMPL; }
HRESULT SimDvCamcorder::get_MediaState(LONG*) { return E_NOTIMPL; }
HRESULT SimDvCamcorder::put_LocalControl(LONG) { return E_NOTIMPL; }
HRESULT SimDvCamcorder::get_LocalControl(LONG*) { return E_NOTIMPL; }
HRESULT SimDvCamcorder::GetStatus(LONG, LONG*) { return E_NOTIMPL; }

// ---- time code ---------------------------------------------------------------------------------------

HRESULT SimDvCamcorder::GetTCRMode(LONG, LONG*) { return E_NOTIMPL; }
HRESULT SimDvCamcorder::SetTCRMode(LONG, LONG) { return E_NOTIMPL; }
HRESULT SimDvCamcorder::put_VITCLine(LONG) { return E_NOTIMPL; }
HRESULT SimDvCamcorder::get_VITCLine(LONG*) { return E_NOTIMPL; }

HRESULT SimDvCamcorder::GetTimecode(TIMECODE_SAMPLE* s) {
  if (!s) return E_POINTER;
  std::lock_guard lock(mutex_);
  s->qwTick = position_;
  s->timecode.wFrameRate = options_.pal ? ED_FORMAT_SMPTE_25_SIM : ED_FORMAT_SMPTE_30_SIM;
  s->timecode.wFrameFract = 0;
  s->timecode.dwFrames = DvTimecodeBcd(position_, options_.pal);
  return S_OK;
}

// ---- statistics --------------------------------------------------------------------------------------

HRESULT SimDvCamcorder::GetNumDropped(LONG* n) {
  if (!n) return E_POINTER;
  std::lock_guard lock(mutex_);
  *n = static_cast<LONG>(dropped_);
  return S_OK;
}

HRESULT SimDvCamcorder::GetNumNotDropped(LONG* n) {
  if (!n) return E_POINTER;
  std::lock_guard lock(mutex_);
  *n = static_cast<LONG>(delivered_);
  return S_OK;
}

HRESULT SimDvCamcorder::GetDroppedInfo(LONG, LONG*, LONG* copied) {
  if (copied) *copied = 0;
  return E_NOTIMPL;
}

HRESULT SimDvCamcorder::GetAverageFrameSize(LONG* size) {
  if (!size) return E_POINTER;
  *size = static_cast<LONG>(DvFrameBytes(options_.pal));
  return S_OK;
}

}  // namespace mg::sim
