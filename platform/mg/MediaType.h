#pragma once
// Media types and the format blocks they carry. The blocks keep the
// platform's binary layouts byte for byte: callers read fields at fixed
// offsets (the bitmap header at 48 in a video info header, at 72 in the
// second version) and hand whole blocks to files.
#include <cstddef>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

#include "platform/mg/Guids.h"
#include "platform/win/Types.h"

namespace mg {

class Object;

struct BITMAPINFOHEADER {
  uint32_t biSize = 40;
  int32_t biWidth = 0;
  int32_t biHeight = 0;
  uint16_t biPlanes = 1;
  uint16_t biBitCount = 0;
  uint32_t biCompression = 0;  // BI_RGB or a four-character code
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;
};
inline constexpr uint32_t BI_RGB = 0;
inline constexpr uint32_t BI_BITFIELDS = 3;

struct VIDEOINFOHEADER {
  win::RECT rcSource;
  win::RECT rcTarget;
  uint32_t dwBitRate = 0;
  uint32_t dwBitErrorRate = 0;
  REFERENCE_TIME AvgTimePerFrame = 0;
  BITMAPINFOHEADER bmiHeader;
};

struct VIDEOINFOHEADER2 {
  win::RECT rcSource;
  win::RECT rcTarget;
  uint32_t dwBitRate = 0;
  uint32_t dwBitErrorRate = 0;
  REFERENCE_TIME AvgTimePerFrame = 0;
  uint32_t dwInterlaceFlags = 0;
  uint32_t dwCopyProtectFlags = 0;
  uint32_t dwPictAspectRatioX = 0;
  uint32_t dwPictAspectRatioY = 0;
  uint32_t dwControlFlags = 0;  // shares its place with dwReserved1
  uint32_t dwReserved2 = 0;
  BITMAPINFOHEADER bmiHeader;
};

struct MPEG1VIDEOINFO {
  VIDEOINFOHEADER hdr;
  uint32_t dwStartTimeCode = 0;
  uint32_t cbSequenceHeader = 0;
  uint8_t bSequenceHeader[1] = {0};
};

struct MPEG2VIDEOINFO {
  VIDEOINFOHEADER2 hdr;
  uint32_t dwStartTimeCode = 0;
  uint32_t cbSequenceHeader = 0;
  uint32_t dwProfile = 0;
  uint32_t dwLevel = 0;
  uint32_t dwFlags = 0;
  uint32_t dwSequenceHeader[1] = {0};
};

struct DVINFO {
  uint32_t dwDVAAuxSrc = 0;
  uint32_t dwDVAAuxCtl = 0;
  uint32_t dwDVAAuxSrc1 = 0;
  uint32_t dwDVAAuxCtl1 = 0;
  uint32_t dwDVVAuxSrc = 0;
  uint32_t dwDVVAuxCtl = 0;
  uint32_t dwDVReserved[2] = {0, 0};
};

struct VIDEO_STREAM_CONFIG_CAPS {
  GUID guid;
  uint32_t VideoStandard = 0;
  win::SIZE InputSize;
  win::SIZE MinCroppingSize;
  win::SIZE MaxCroppingSize;
  int32_t CropGranularityX = 0;
  int32_t CropGranularityY = 0;
  int32_t CropAlignX = 0;
  int32_t CropAlignY = 0;
  win::SIZE MinOutputSize;
  win::SIZE MaxOutputSize;
  int32_t OutputGranularityX = 0;
  int32_t OutputGranularityY = 0;
  int32_t StretchTapsX = 0;
  int32_t StretchTapsY = 0;
  int32_t ShrinkTapsX = 0;
  int32_t ShrinkTapsY = 0;
  int64_t MinFrameInterval = 0;
  int64_t MaxFrameInterval = 0;
  int32_t MinBitsPerSecond = 0;
  int32_t MaxBitsPerSecond = 0;
};

struct AUDIO_STREAM_CONFIG_CAPS {
  GUID guid;
  uint32_t MinimumChannels = 0;
  uint32_t MaximumChannels = 0;
  uint32_t ChannelsGranularity = 0;
  uint32_t MinimumBitsPerSample = 0;
  uint32_t MaximumBitsPerSample = 0;
  uint32_t BitsPerSampleGranularity = 0;
  uint32_t MinimumSampleFrequency = 0;
  uint32_t MaximumSampleFrequency = 0;
  uint32_t SampleFrequencyGranularity = 0;
};

struct TIMECODE {
  uint16_t wFrameRate = 0;
  uint16_t wFrameFract = 0;
  uint32_t dwFrames = 0;  // binary-coded decimal hh:mm:ss:ff
};
struct TIMECODE_SAMPLE {
  int64_t qwTick = 0;
  TIMECODE timecode;
  uint32_t dwUser = 0;
  uint32_t dwFlags = 0;
};

// The wave formats are byte-packed on the platform.
#pragma pack(push, 1)
struct WAVEFORMATEX {
  uint16_t wFormatTag = 0;
  uint16_t nChannels = 0;
  uint32_t nSamplesPerSec = 0;
  uint32_t nAvgBytesPerSec = 0;
  uint16_t nBlockAlign = 0;
  uint16_t wBitsPerSample = 0;
  uint16_t cbSize = 0;
};
struct MPEG1WAVEFORMAT {
  WAVEFORMATEX wfx;
  uint16_t fwHeadLayer = 0;
  uint32_t dwHeadBitrate = 0;
  uint16_t fwHeadMode = 0;
  uint16_t fwHeadModeExt = 0;
  uint16_t wHeadEmphasis = 0;
  uint16_t fwHeadFlags = 0;
  uint32_t dwPTSLow = 0;
  uint32_t dwPTSHigh = 0;
};
#pragma pack(pop)
inline constexpr uint16_t WAVE_FORMAT_PCM = 1;
inline constexpr uint16_t WAVE_FORMAT_MPEG = 0x0050;
inline constexpr uint16_t ACM_MPEG_LAYER2 = 2;

static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(sizeof(VIDEOINFOHEADER) == 88 && offsetof(VIDEOINFOHEADER, bmiHeader) == 48);
static_assert(offsetof(VIDEOINFOHEADER, AvgTimePerFrame) == 40 && offsetof(VIDEOINFOHEADER, dwBitRate) == 32);
static_assert(sizeof(VIDEOINFOHEADER2) == 112 && offsetof(VIDEOINFOHEADER2, bmiHeader) == 72);
static_assert(offsetof(VIDEOINFOHEADER2, dwInterlaceFlags) == 48);
static_assert(offsetof(MPEG1VIDEOINFO, cbSequenceHeader) == 92);
static_assert(sizeof(MPEG2VIDEOINFO) == 136 && offsetof(MPEG2VIDEOINFO, dwProfile) == 120);
static_assert(sizeof(DVINFO) == 32);
static_assert(sizeof(VIDEO_STREAM_CONFIG_CAPS) == 128);
static_assert(offsetof(VIDEO_STREAM_CONFIG_CAPS, MinOutputSize) == 60 &&
              offsetof(VIDEO_STREAM_CONFIG_CAPS, MinFrameInterval) == 104);
static_assert(sizeof(AUDIO_STREAM_CONFIG_CAPS) == 52);
static_assert(sizeof(TIMECODE_SAMPLE) == 24);
static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(sizeof(MPEG1WAVEFORMAT) == 40);

// A media type. A null major type, subtype or format type is a wildcard
// when a type is used as a filter (the sample grabber's wanted type).
struct AM_MEDIA_TYPE {
  GUID majortype;
  GUID subtype;
  bool bFixedSizeSamples = true;
  bool bTemporalCompression = false;
  uint32_t lSampleSize = 0;
  GUID formattype;
  std::shared_ptr<Object> pUnk;
  std::vector<uint8_t> format;

  uint32_t cbFormat() const { return static_cast<uint32_t>(format.size()); }
  uint8_t* pbFormat() { return format.empty() ? nullptr : format.data(); }
  const uint8_t* pbFormat() const { return format.empty() ? nullptr : format.data(); }

  // The format block viewed as T, or nullptr when it is shorter than T.
  template <class T>
  T* FormatAs() {
    static_assert(std::is_trivially_copyable_v<T>);
    return format.size() >= sizeof(T) ? reinterpret_cast<T*>(format.data()) : nullptr;
  }
  template <class T>
  const T* FormatAs() const {
    return format.size() >= sizeof(T) ? reinterpret_cast<const T*>(format.data()) : nullptr;
  }
  // Replaces the format block by a copy of `block` and sets the format type.
  template <class T>
  void SetFormat(const GUID& type, const T& block) {
    static_assert(std::is_trivially_copyable_v<T>);
    formattype = type;
    format.resize(sizeof(T));
    std::memcpy(format.data(), &block, sizeof(T));
  }

  // The bitmap header of a video format of either version, else nullptr.
  BITMAPINFOHEADER* BitmapHeader();
  const BITMAPINFOHEADER* BitmapHeader() const;
  // Same major type, subtype, format type and format bytes.
  bool Equals(const AM_MEDIA_TYPE& other) const;
  // True when `this` (with wildcards) accepts `other`.
  bool Matches(const AM_MEDIA_TYPE& other) const;
  // Every field set (no wildcard), so a connection can use it as it is.
  bool IsComplete() const;
};
using MediaType = AM_MEDIA_TYPE;

// The platform's release functions; the block frees itself here.
inline void FreeMediaType(AM_MEDIA_TYPE& mt) {
  mt.format.clear();
  mt.pUnk.reset();
}
inline void DeleteMediaType(AM_MEDIA_TYPE* mt) {
  if (mt) FreeMediaType(*mt);
}

// Bits per pixel of an uncompressed video subtype; 0 when unknown.
int BitsPerPixel(const GUID& subtype);
// Bytes of one frame: RGB rows padded to 4 bytes, planar YUV tight.
uint32_t FrameSize(const GUID& subtype, int width, int height);
// A complete video type with a VIDEOINFOHEADER for uncompressed video.
AM_MEDIA_TYPE MakeVideoType(const GUID& subtype, int width, int height, REFERENCE_TIME avgTimePerFrame);
// The type a capture device offers for a capability: MakeVideoType, or for
// MJPG variable-size samples with room for the largest frame a camera sends
// (worse than raw RGB it never is).
AM_MEDIA_TYPE MakeCaptureVideoType(const GUID& subtype, int width, int height, REFERENCE_TIME interval);
// A complete PCM audio type.
AM_MEDIA_TYPE MakePcmAudioType(uint32_t samplesPerSec, uint16_t channels, uint16_t bitsPerSample);

}  // namespace mg
