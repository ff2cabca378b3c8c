#include "platform/mg/ffmpeg/FfDvSplitter.h"

#include <algorithm>
#include <cstring>

#include "platform/mg/ffmpeg/FfCodecs.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace mg::ff {

namespace {

// Reads one DIF frame from memory for the demuxer.
struct MemoryReader {
  const uint8_t* data;
  size_t size, pos = 0;
  static int Read(void* opaque, uint8_t* buf, int len) {
    auto* r = static_cast<MemoryReader*>(opaque);
    const size_t n = std::min(static_cast<size_t>(len), r->size - r->pos);
    if (n == 0) return AVERROR_EOF;
    std::memcpy(buf, r->data + r->pos, n);
    r->pos += n;
    return static_cast<int>(n);
  }
};

bool IsDvSubtype(const GUID& s) {
  return s == MEDIASUBTYPE_dvsd || s == MEDIASUBTYPE_DVSD || s == MEDIASUBTYPE_dv25 || s == MEDIASUBTYPE_dvsl;
}

}  // namespace

FfDvSplitter::FfDvSplitter() : BaseFilter(CLSID_DVSplitter) {
  InitLibrary();
  AddPin(std::make_shared<Pin>(this, "Input", PINDIR_INPUT));
  AddPin(std::make_shared<Pin>(this, "DVVidOut0", PINDIR_OUTPUT));
  AddPin(std::make_shared<Pin>(this, "AudOut00", PINDIR_OUTPUT));
}

FfDvSplitter::~FfDvSplitter() = default;

HRESULT FfDvSplitter::DiscardAlternateVideoFrames(int discard) {
  discard_.store(discard != 0);
  return S_OK;
}

// The 50/60 flag of the video AUX source pack: set for 625-line PAL.
bool FfDvSplitter::Pal() const {
  const AM_MEDIA_TYPE& mt = Input()->CurrentType();
  if (const auto* info = mt.FormatAs<DVINFO>(); info && mt.formattype == FORMAT_DvInfo)
    return (info->dwDVVAuxSrc & 0x00200000u) != 0;
  return mt.lSampleSize == 144000;
}

// The sampling frequency of the audio AUX source pack.
int FfDvSplitter::AudioRate() const {
  const AM_MEDIA_TYPE& mt = Input()->CurrentType();
  if (const auto* info = mt.FormatAs<DVINFO>(); info && mt.formattype == FORMAT_DvInfo) {
    switch ((info->dwDVAAuxSrc >> 27) & 7) {
      case 1: return 44100;
      case 2: return 32000;
      default: return 48000;
    }
  }
  return 48000;
}

HRESULT FfDvSplitter::CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const {
  if (pin.Direction() == PINDIR_INPUT)
    return (mt.majortype == MEDIATYPE_Interleaved || mt.majortype == MEDIATYPE_Stream) && IsDvSubtype(mt.subtype)
               ? S_OK
               : S_FALSE;
  for (auto& t : GetMediaTypes(pin))
    if (t.majortype == mt.majortype && t.subtype == mt.subtype) return S_OK;
  return S_FALSE;
}

std::vector<AM_MEDIA_TYPE> FfDvSplitter::GetMediaTypes(const Pin& pin) const {
  if (pin.Direction() != PINDIR_OUTPUT || !Input()->IsConnected()) return {};
  const bool pal = Pal();
  if (&pin == VideoOutput().get()) {
    auto info = std::make_shared<StreamCodecInfo>();
    info->codecId = VideoCodecForSubtype(MEDIASUBTYPE_dvsd);
    info->codecTag = MAKEFOURCC('d', 'v', 's', 'd');
    info->width = 720;
    info->height = pal ? 576 : 480;
    info->fpsNum = pal ? 25 : 30000;
    info->fpsDen = pal ? 1 : 1001;
    return {MakeCompressedVideoType(info, pal ? 400'000 : 333'667)};
  }
  AM_MEDIA_TYPE mt = MakePcmAudioType(static_cast<uint32_t>(AudioRate()), 2, 16);
  return {mt};
}

ALLOCATOR_PROPERTIES FfDvSplitter::DecideBufferSize(const Pin& pin) const {
  ALLOCATOR_PROPERTIES p = BaseFilter::DecideBufferSize(pin);
  p.cbBuffer = std::max<LONG>(p.cbBuffer, 144000);
  return p;
}

HRESULT FfDvSplitter::Pause() {
  if (State() == State_Stopped) {
    std::lock_guard lock(splitMutex_);
    frames_ = 0;
  }
  return BaseFilter::Pause();
}

HRESULT FfDvSplitter::OnReceive(Pin& pin, MediaSample& sample) {
  if (pin.Direction() != PINDIR_INPUT) return E_UNEXPECTED;
  std::lock_guard lock(splitMutex_);
  const int64_t index = frames_++;
  auto video = VideoOutput();
  auto audio = AudioOutput();
  const bool sendVideo = video->IsConnected() && !(discard_.load() && index % 2 == 1);
  if (sendVideo) {
    // The DV video stream is the DIF frame itself.
    const HRESULT hr = video->Deliver(sample);
    if (hr == VFW_E_WRONG_STATE) return hr;
  }
  if (!audio->IsConnected()) return S_OK;

  MemoryReader reader{sample.GetPointer(), static_cast<size_t>(sample.GetActualDataLength())};
  constexpr int kBuffer = 32 * 1024;
  auto* buffer = static_cast<uint8_t*>(av_malloc(kBuffer));
  AVIOContext* io = avio_alloc_context(buffer, kBuffer, 0, &reader, &MemoryReader::Read, nullptr, nullptr);
  AVFormatContext* fmt = avformat_alloc_context();
  HRESULT result = S_OK;
  if (io && fmt) {
    fmt->pb = io;
    fmt->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (avformat_open_input(&fmt, nullptr, av_find_input_format("dv"), nullptr) == 0) {
      AVPacket* pkt = av_packet_alloc();
      while (pkt && av_read_frame(fmt, pkt) >= 0) {
        const AVStream* st = fmt->streams[pkt->stream_index];
        if (st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && pkt->size > 0) {
          std::shared_ptr<MediaSample> out;
          if (SUCCEEDED(audio->Allocator().GetBuffer(out))) {
            if (out->GetSize() < pkt->size) out->Resize(static_cast<size_t>(pkt->size));
            std::memcpy(out->GetPointer(), pkt->data, static_cast<size_t>(pkt->size));
            out->SetActualDataLength(pkt->size);
            out->CopyPropertiesFrom(sample);
            const HRESULT hr = audio->Deliver(*out);
            if (hr == VFW_E_WRONG_STATE) result = hr;
          }
        }
        av_packet_unref(pkt);
      }
      av_packet_free(&pkt);
      avformat_close_input(&fmt);
    } else {
      result = S_FALSE;  // not a DIF frame: the sound is lost, the video went on
    }
  }
  if (fmt) avformat_free_context(fmt);
  if (io) av_freep(&io->buffer);
  else av_free(buffer);
  avio_context_free(&io);
  return result;
}

HRESULT FfDvSplitter::OnEndOfStream(Pin&) {
  if (VideoOutput()->IsConnected()) VideoOutput()->DeliverEndOfStream();
  if (AudioOutput()->IsConnected()) AudioOutput()->DeliverEndOfStream();
  return S_OK;
}

}  // namespace mg::ff
