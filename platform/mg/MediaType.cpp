#include "platform/mg/MediaType.h"

namespace mg {

BITMAPINFOHEADER* AM_MEDIA_TYPE::BitmapHeader() {
  return const_cast<BITMAPINFOHEADER*>(static_cast<const AM_MEDIA_TYPE*>(this)->BitmapHeader());
}

const BITMAPINFOHEADER* AM_MEDIA_TYPE::BitmapHeader() const {
  if (formattype == FORMAT_VideoInfo || formattype == FORMAT_MPEGVideo) {
    if (auto* v = FormatAs<VIDEOINFOHEADER>()) return &v->bmiHeader;
  } else if (formattype == FORMAT_VideoInfo2 || formattype == FORMAT_MPEG2Video) {
    if (auto* v = FormatAs<VIDEOINFOHEADER2>()) return &v->bmiHeader;
  }
  return nullptr;
}

bool AM_MEDIA_TYPE::Equals(const AM_MEDIA_TYPE& o) const {
  return majortype == o.majortype && subtype == o.subtype && formattype == o.formattype && format == o.format;
}

bool AM_MEDIA_TYPE::Matches(const AM_MEDIA_TYPE& o) const {
  if (!majortype.IsNull() && majortype != o.majortype) return false;
  if (!subtype.IsNull() && subtype != o.subtype) return false;
  if (!formattype.IsNull() && formattype != o.formattype) return false;
  if (!format.empty() && format != o.format) return false;
  return true;
}

bool AM_MEDIA_TYPE::IsComplete() const {
  return !majortype.IsNull() && !subtype.IsNull() && !formattype.IsNull();
}

int BitsPerPixel(const GUID& s) {
  struct Row {
    GUID subtype;
    int bits;
  };
  static constexpr Row kRows[] = {
      {MEDIASUBTYPE_RGB1, 1},   {MEDIASUBTYPE_RGB4, 4},   {MEDIASUBTYPE_RGB8, 8},   {MEDIASUBTYPE_RGB565, 16},
      {MEDIASUBTYPE_RGB555, 16}, {MEDIASUBTYPE_RGB24, 24}, {MEDIASUBTYPE_RGB32, 32}, {MEDIASUBTYPE_ARGB32, 32},
      {MEDIASUBTYPE_YUY2, 16},  {MEDIASUBTYPE_UYVY, 16},  {MEDIASUBTYPE_YVYU, 16},  {MEDIASUBTYPE_Y422, 16},
      {MEDIASUBTYPE_I420, 12},  {MEDIASUBTYPE_IYUV, 12},  {MEDIASUBTYPE_YV12, 12},  {MEDIASUBTYPE_NV12, 12},
      {MEDIASUBTYPE_YVU9, 9},   {MEDIASUBTYPE_YUV9, 9},
  };
  for (const Row& r : kRows)
    if (r.subtype == s) return r.bits;
  return 0;
}

namespace {
bool IsRgb(const GUID& s) {
  return s == MEDIASUBTYPE_RGB1 || s == MEDIASUBTYPE_RGB4 || s == MEDIASUBTYPE_RGB8 || s == MEDIASUBTYPE_RGB565 ||
         s == MEDIASUBTYPE_RGB555 || s == MEDIASUBTYPE_RGB24 || s == MEDIASUBTYPE_RGB32 || s == MEDIASUBTYPE_ARGB32;
}
}  // namespace

uint32_t FrameSize(const GUID& subtype, int width, int height) {
  const int bits = BitsPerPixel(subtype);
  if (bits == 0 || width <= 0 || height == 0) return 0;
  const uint64_t h = static_cast<uint64_t>(height < 0 ? -static_cast<int64_t>(height) : height);
  if (IsRgb(subtype) || bits == 16) {
    uint64_t stride = (static_cast<uint64_t>(width) * static_cast<uint64_t>(bits) + 31) / 32 * 4;
    if (!IsRgb(subtype)) stride = static_cast<uint64_t>(width) * 2;
    return static_cast<uint32_t>(stride * h);
  }
  return static_cast<uint32_t>(static_cast<uint64_t>(width) * h * static_cast<uint64_t>(bits) / 8);
}

AM_MEDIA_TYPE MakeVideoType(const GUID& subtype, int width, int height, REFERENCE_TIME avgTimePerFrame) {
  AM_MEDIA_TYPE mt;
  mt.majortype = MEDIATYPE_Video;
  mt.subtype = subtype;
  mt.bFixedSizeSamples = true;
  mt.bTemporalCompression = false;
  mt.lSampleSize = FrameSize(subtype, width, height);
  VIDEOINFOHEADER vih;
  vih.AvgTimePerFrame = avgTimePerFrame;
  vih.bmiHeader.biWidth = width;
  vih.bmiHeader.biHeight = height;
  vih.bmiHeader.biBitCount = static_cast<uint16_t>(BitsPerPixel(subtype));
  vih.bmiHeader.biCompression = IsRgb(subtype) ? BI_RGB : subtype.Data1;
  vih.bmiHeader.biSizeImage = mt.lSampleSize;
  if (avgTimePerFrame > 0)
    vih.dwBitRate = static_cast<uint32_t>(static_cast<uint64_t>(mt.lSampleSize) * 8u * UNITS /
                                          static_cast<uint64_t>(avgTimePerFrame));
  mt.SetFormat(FORMAT_VideoInfo, vih);
  return mt;
}

AM_MEDIA_TYPE MakeCaptureVideoType(const GUID& subtype, int width, int height, REFERENCE_TIME interval) {
  if (subtype != MEDIASUBTYPE_MJPG) return MakeVideoType(subtype, width, height, interval);
  AM_MEDIA_TYPE mt;
  mt.majortype = MEDIATYPE_Video;
  mt.subtype = subtype;
  mt.bFixedSizeSamples = false;
  mt.bTemporalCompression = false;
  mt.lSampleSize = 0;
  VIDEOINFOHEADER vih;
  vih.AvgTimePerFrame = interval;
  vih.bmiHeader.biWidth = width;
  vih.bmiHeader.biHeight = height;
  vih.bmiHeader.biBitCount = 24;
  vih.bmiHeader.biCompression = MAKEFOURCC('M', 'J', 'P', 'G');
  vih.bmiHeader.biSizeImage = static_cast<uint32_t>(width * height * 3);
  mt.SetFormat(FORMAT_VideoInfo, vih);
  return mt;
}

AM_MEDIA_TYPE MakePcmAudioType(uint32_t samplesPerSec, uint16_t channels, uint16_t bitsPerSample) {
  AM_MEDIA_TYPE mt;
  mt.majortype = MEDIATYPE_Audio;
  mt.subtype = MEDIASUBTYPE_PCM;
  WAVEFORMATEX wf;
  wf.wFormatTag = WAVE_FORMAT_PCM;
  wf.nChannels = channels;
  wf.nSamplesPerSec = samplesPerSec;
  wf.wBitsPerSample = bitsPerSample;
  wf.nBlockAlign = static_cast<uint16_t>(channels * bitsPerSample / 8);
  wf.nAvgBytesPerSec = samplesPerSec * wf.nBlockAlign;
  mt.lSampleSize = wf.nBlockAlign;
  mt.SetFormat(FORMAT_WaveFormatEx, wf);
  return mt;
}

}  // namespace mg
