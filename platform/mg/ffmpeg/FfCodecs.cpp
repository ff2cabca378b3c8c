#include "platform/mg/ffmpeg/FfCodecs.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace mg::ff {

namespace {

// Names the compressor lists show for the encoders people know by a
// shorter name than the library's description.
struct FriendlyRow {
  const char* encoder;
  const char* name;
};
constexpr FriendlyRow kFriendly[] = {
    {"mjpeg", "Motion JPEG Compressor"},
    {"mpeg4", "MPEG-4 Part 2 Video Encoder"},
    {"msmpeg4v2", "MPEG-4 Video Encoder V2"},
    {"msmpeg4", "MPEG-4 Video Encoder V3"},
    {"wmv1", "Windows Media Video 7 Encoder"},
    {"wmv2", "Windows Media Video 8 Encoder"},
    {"ffv1", "FFV1 Lossless Video Encoder"},
    {"huffyuv", "Huffyuv Lossless Video Encoder"},
    {"dvvideo", "DV Video Encoder"},
    {"pcm_s16le", "PCM"},
    {"adpcm_ms", "Microsoft ADPCM"},
    {"adpcm_ima_wav", "IMA ADPCM"},
    {"mp2", "MPEG Layer-2"},
    {"wmav2", "Windows Media Audio V2"},
    {"libmp3lame", "MPEG Layer-3"},
};

// Encoders listed first, in this order; the rest follow by name.
constexpr const char* kPreferredOrder[] = {"mjpeg", "mpeg4", "msmpeg4v2", "msmpeg4", "wmv1", "wmv2",
                                           "ffv1", "huffyuv", "dvvideo", "pcm_s16le", "adpcm_ms",
                                           "adpcm_ima_wav", "mp2", "wmav2"};

// Wrappers of hardware and external encoders are left out: they fail on
// machines without the device and duplicate a built-in codec.
bool IsWrapper(const AVCodec* c) {
  const std::string n = c->name;
  for (const char* suffix : {"_vaapi", "_qsv", "_v4l2m2m", "_omx", "_nvenc", "_amf", "_videotoolbox", "_mf"})
    if (n.size() > std::strlen(suffix) && n.compare(n.size() - std::strlen(suffix), std::string::npos, suffix) == 0)
      return true;
  // SVT-AV1 never returns from freeing a context that a trial connect
  // opened, which would freeze the program when a user picks it.
  if (n == "libsvtav1") return true;
  return (c->capabilities & AV_CODEC_CAP_EXPERIMENTAL) != 0;
}

uint32_t Fnv1a(const std::string& s) {
  uint32_t h = 2166136261u;
  for (unsigned char ch : s) {
    h ^= ch;
    h *= 16777619u;
  }
  return h;
}

std::vector<EncoderEntry> BuildEncoders() {
  InitLibrary();
  const AVCodecTag* videoTags[] = {avformat_get_riff_video_tags(), nullptr};
  const AVCodecTag* audioTags[] = {avformat_get_riff_audio_tags(), nullptr};
  std::vector<EncoderEntry> list;
  void* it = nullptr;
  while (const AVCodec* c = av_codec_iterate(&it)) {
    if (!av_codec_is_encoder(c) || IsWrapper(c)) continue;
    if (c->type != AVMEDIA_TYPE_VIDEO && c->type != AVMEDIA_TYPE_AUDIO) continue;
    if (c->id == AV_CODEC_ID_RAWVIDEO) continue;  // uncompressed needs no compressor
    EncoderEntry e;
    e.encoder = c->name;
    e.video = c->type == AVMEDIA_TYPE_VIDEO;
    const uint32_t tag = av_codec_get_tag(e.video ? videoTags : audioTags, c->id);
    if (tag == 0) continue;
    if (e.video)
      e.fourcc = tag;
    else
      e.waveTag = static_cast<uint16_t>(tag);
    e.friendlyName = c->long_name ? c->long_name : c->name;
    for (const FriendlyRow& r : kFriendly)
      if (e.encoder == r.encoder) e.friendlyName = r.name;
    e.clsid = e.encoder == "dvvideo" ? CLSID_DVVideoEnc
                                      : MakeGuid(Fnv1a(e.encoder), 0x4D47, 0x4646, 0x80, 0x3A, 0x56, 0x6F, 0x72, 0x69,
                                                 0x78, e.video ? 0x56 : 0x41);
    list.push_back(std::move(e));
  }
  auto rank = [](const EncoderEntry& e) {
    const auto* end = std::end(kPreferredOrder);
    const auto* p = std::find_if(std::begin(kPreferredOrder), end, [&](const char* n) { return e.encoder == n; });
    return static_cast<int>(p - std::begin(kPreferredOrder));
  };
  std::sort(list.begin(), list.end(), [&](const EncoderEntry& a, const EncoderEntry& b) {
    if (a.video != b.video) return a.video;
    const int ra = rank(a), rb = rank(b);
    if (ra != rb) return ra < rb;
    return a.encoder < b.encoder;
  });
  return list;
}

}  // namespace

void InitLibrary() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

const std::vector<EncoderEntry>& Encoders() {
  static const std::vector<EncoderEntry> list = BuildEncoders();
  return list;
}

const EncoderEntry* FindEncoder(const std::string& name) {
  for (const EncoderEntry& e : Encoders())
    if (e.encoder == name) return &e;
  return nullptr;
}

const EncoderEntry* FindEncoder(const CLSID& clsid) {
  for (const EncoderEntry& e : Encoders())
    if (e.clsid == clsid) return &e;
  return nullptr;
}

bool IsUncompressedVideo(const GUID& subtype) { return BitsPerPixel(subtype) > 0; }

int VideoCodecForSubtype(const GUID& subtype) {
  if (!subtype.IsFourCC() || IsUncompressedVideo(subtype)) return 0;
  if (subtype == MEDIASUBTYPE_MPEG2_VIDEO) return AV_CODEC_ID_MPEG2VIDEO;
  const AVCodecTag* tags[] = {avformat_get_riff_video_tags(), nullptr};
  const AVCodecID id = av_codec_get_id(tags, subtype.Data1);
  if (id != AV_CODEC_ID_NONE) return id;
  // The riff table is case-sensitive; codes also arrive upper-cased.
  uint32_t lower = subtype.Data1;
  for (int i = 0; i < 4; ++i) {
    uint8_t ch = static_cast<uint8_t>(lower >> (8 * i));
    if (ch >= 'A' && ch <= 'Z') lower = (lower & ~(0xFFu << (8 * i))) | (static_cast<uint32_t>(ch + 32) << (8 * i));
  }
  return av_codec_get_id(tags, lower);
}

int AudioCodecForTag(uint16_t waveTag) {
  const AVCodecTag* tags[] = {avformat_get_riff_audio_tags(), nullptr};
  return av_codec_get_id(tags, waveTag);
}

std::shared_ptr<StreamCodecInfo> CodecInfoOf(const AM_MEDIA_TYPE& mt) {
  if (auto info = std::dynamic_pointer_cast<StreamCodecInfo>(mt.pUnk)) return info;
  auto info = std::make_shared<StreamCodecInfo>();
  if (mt.majortype == MEDIATYPE_Video || mt.majortype == MEDIATYPE_Interleaved) {
    const BITMAPINFOHEADER* bih = mt.BitmapHeader();
    info->codecId = VideoCodecForSubtype(mt.subtype);
    if (mt.majortype == MEDIATYPE_Interleaved) info->codecId = AV_CODEC_ID_DVVIDEO;
    if (bih) {
      info->width = bih->biWidth;
      info->height = bih->biHeight < 0 ? -bih->biHeight : bih->biHeight;
      info->codecTag = bih->biCompression;
      info->bitsPerCodedSample = bih->biBitCount;
      const auto* start = reinterpret_cast<const uint8_t*>(bih);
      const size_t headerEnd = static_cast<size_t>(start - mt.format.data()) + sizeof(BITMAPINFOHEADER);
      if (mt.format.size() > headerEnd) info->extradata.assign(mt.format.begin() + static_cast<long>(headerEnd), mt.format.end());
    }
    if (const auto* vih = mt.FormatAs<VIDEOINFOHEADER>(); vih && mt.formattype == FORMAT_VideoInfo &&
                                                           vih->AvgTimePerFrame > 0) {
      info->fpsNum = static_cast<int>(UNITS);
      info->fpsDen = static_cast<int>(vih->AvgTimePerFrame);
    }
    if (mt.formattype == FORMAT_DvInfo || (info->width == 0 && info->codecId == AV_CODEC_ID_DVVIDEO)) {
      info->width = 720;
      info->height = 480;
    }
  } else if (mt.majortype == MEDIATYPE_Audio) {
    if (const auto* wfx = mt.FormatAs<WAVEFORMATEX>()) {
      info->codecId = AudioCodecForTag(wfx->wFormatTag);
      if (wfx->wFormatTag == WAVE_FORMAT_PCM)
        info->codecId = wfx->wBitsPerSample == 8 ? AV_CODEC_ID_PCM_U8 : AV_CODEC_ID_PCM_S16LE;
      info->codecTag = wfx->wFormatTag;
      info->sampleRate = static_cast<int>(wfx->nSamplesPerSec);
      info->channels = wfx->nChannels;
      info->blockAlign = wfx->nBlockAlign;
      info->bitsPerCodedSample = wfx->wBitsPerSample;
      info->bitRate = static_cast<int64_t>(wfx->nAvgBytesPerSec) * 8;
      const size_t extra = std::min<size_t>(wfx->cbSize, mt.format.size() - sizeof(WAVEFORMATEX));
      info->extradata.assign(mt.format.begin() + sizeof(WAVEFORMATEX),
                             mt.format.begin() + static_cast<long>(sizeof(WAVEFORMATEX) + extra));
    }
  }
  return info;
}

AM_MEDIA_TYPE MakeCompressedVideoType(const std::shared_ptr<StreamCodecInfo>& info, REFERENCE_TIME avgTimePerFrame) {
  AM_MEDIA_TYPE mt;
  mt.majortype = MEDIATYPE_Video;
  mt.subtype = FourCCGuid(info->codecTag);
  mt.bFixedSizeSamples = false;
  mt.bTemporalCompression = true;
  mt.lSampleSize = 0;
  VIDEOINFOHEADER vih;
  vih.rcSource = win::RECT{0, 0, info->width, info->height};
  vih.rcTarget = vih.rcSource;
  vih.AvgTimePerFrame = avgTimePerFrame;
  vih.dwBitRate = static_cast<uint32_t>(std::clamp<int64_t>(info->bitRate, 0, UINT32_MAX));
  vih.bmiHeader.biSize = static_cast<uint32_t>(sizeof(BITMAPINFOHEADER) + info->extradata.size());
  vih.bmiHeader.biWidth = info->width;
  vih.bmiHeader.biHeight = info->height;
  vih.bmiHeader.biBitCount = static_cast<uint16_t>(info->bitsPerCodedSample > 0 ? info->bitsPerCodedSample : 24);
  vih.bmiHeader.biCompression = info->codecTag;
  vih.bmiHeader.biSizeImage = static_cast<uint32_t>(info->width) * static_cast<uint32_t>(info->height) * 3;
  mt.SetFormat(FORMAT_VideoInfo, vih);
  mt.format.insert(mt.format.end(), info->extradata.begin(), info->extradata.end());
  if (info->codecId == AV_CODEC_ID_DVVIDEO) {
    mt.bFixedSizeSamples = true;
    mt.bTemporalCompression = false;
    mt.lSampleSize = info->height == 576 ? 144000 : 120000;
  }
  mt.pUnk = info;
  return mt;
}

AM_MEDIA_TYPE MakeAudioType(const std::shared_ptr<StreamCodecInfo>& info) {
  AM_MEDIA_TYPE mt;
  mt.majortype = MEDIATYPE_Audio;
  WAVEFORMATEX wfx;
  wfx.wFormatTag = static_cast<uint16_t>(info->codecTag);
  wfx.nChannels = static_cast<uint16_t>(info->channels);
  wfx.nSamplesPerSec = static_cast<uint32_t>(info->sampleRate);
  wfx.wBitsPerSample = static_cast<uint16_t>(info->bitsPerCodedSample);
  wfx.nBlockAlign = static_cast<uint16_t>(info->blockAlign);
  if (wfx.wFormatTag == WAVE_FORMAT_PCM) {
    wfx.nBlockAlign = static_cast<uint16_t>(wfx.nChannels * wfx.wBitsPerSample / 8);
    wfx.nAvgBytesPerSec = wfx.nSamplesPerSec * wfx.nBlockAlign;
  } else {
    wfx.nAvgBytesPerSec = static_cast<uint32_t>(std::clamp<int64_t>(info->bitRate / 8, 0, UINT32_MAX));
  }
  wfx.cbSize = static_cast<uint16_t>(info->extradata.size());
  mt.subtype = FourCCGuid(wfx.wFormatTag);
  mt.SetFormat(FORMAT_WaveFormatEx, wfx);
  mt.format.insert(mt.format.end(), info->extradata.begin(), info->extradata.end());
  mt.bFixedSizeSamples = wfx.wFormatTag == WAVE_FORMAT_PCM;
  mt.lSampleSize = wfx.nBlockAlign;
  mt.pUnk = info;
  return mt;
}

int PixelFormatForSubtype(const GUID& s) {
  if (s == MEDIASUBTYPE_RGB24) return AV_PIX_FMT_BGR24;
  if (s == MEDIASUBTYPE_RGB32 || s == MEDIASUBTYPE_ARGB32) return AV_PIX_FMT_BGRA;
  if (s == MEDIASUBTYPE_RGB565) return AV_PIX_FMT_RGB565LE;
  if (s == MEDIASUBTYPE_RGB555) return AV_PIX_FMT_RGB555LE;
  if (s == MEDIASUBTYPE_YUY2) return AV_PIX_FMT_YUYV422;
  if (s == MEDIASUBTYPE_UYVY) return AV_PIX_FMT_UYVY422;
  if (s == MEDIASUBTYPE_YVYU) return AV_PIX_FMT_YVYU422;
  if (s == MEDIASUBTYPE_I420 || s == MEDIASUBTYPE_IYUV || s == MEDIASUBTYPE_YV12) return AV_PIX_FMT_YUV420P;
  if (s == MEDIASUBTYPE_NV12) return AV_PIX_FMT_NV12;
  return -1;
}

bool FramePlanes(const GUID& s, uint8_t* data, int width, int height, uint8_t* planes[4], int strides[4]) {
  for (int i = 0; i < 4; ++i) {
    planes[i] = nullptr;
    strides[i] = 0;
  }
  const int h = height < 0 ? -height : height;
  const bool rgb = s == MEDIASUBTYPE_RGB24 || s == MEDIASUBTYPE_RGB32 || s == MEDIASUBTYPE_ARGB32 ||
                   s == MEDIASUBTYPE_RGB565 || s == MEDIASUBTYPE_RGB555;
  if (rgb) {
    const int stride = (width * BitsPerPixel(s) + 31) / 32 * 4;
    if (height > 0) {
      planes[0] = data + static_cast<ptrdiff_t>(stride) * (h - 1);
      strides[0] = -stride;
    } else {
      planes[0] = data;
      strides[0] = stride;
    }
    return true;
  }
  if (s == MEDIASUBTYPE_YUY2 || s == MEDIASUBTYPE_UYVY || s == MEDIASUBTYPE_YVYU) {
    planes[0] = data;
    strides[0] = width * 2;
    return true;
  }
  const size_t luma = static_cast<size_t>(width) * static_cast<size_t>(h);
  const size_t chroma = static_cast<size_t>(width / 2) * static_cast<size_t>(h / 2);
  if (s == MEDIASUBTYPE_I420 || s == MEDIASUBTYPE_IYUV || s == MEDIASUBTYPE_YV12) {
    const bool swap = s == MEDIASUBTYPE_YV12;
    planes[0] = data;
    planes[swap ? 2 : 1] = data + luma;
    planes[swap ? 1 : 2] = data + luma + chroma;
    strides[0] = width;
    strides[1] = strides[2] = width / 2;
    return true;
  }
  if (s == MEDIASUBTYPE_NV12) {
    planes[0] = data;
    planes[1] = data + luma;
    strides[0] = strides[1] = width;
    return true;
  }
  return false;
}

HRESULT HResultFromAv(int err) {
  if (err >= 0) return S_OK;
  if (err == AVERROR(ENOENT)) return HRESULT_FILE_NOT_FOUND;
  if (err == AVERROR(EACCES)) return E_ACCESSDENIED;
  if (err == AVERROR(ENOMEM)) return E_OUTOFMEMORY;
  if (err == AVERROR_INVALIDDATA || err == AVERROR_EOF) return VFW_E_INVALID_FILE_FORMAT;
  if (err == AVERROR_DECODER_NOT_FOUND || err == AVERROR_DEMUXER_NOT_FOUND) return VFW_E_UNSUPPORTED_STREAM;
  return E_FAIL;
}

}  // namespace mg::ff
