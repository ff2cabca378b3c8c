#pragma once
// What the FFmpeg-backed filters share: the codec catalogue (which encoders
// and decoders exist, under which four-character code or wave tag a file
// knows them), the codec description that travels with a compressed media
// type, and the mapping of library errors to HRESULTs. No FFmpeg type
// appears here; codec and format ids are plain integers.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/mg/MediaType.h"
#include "platform/mg/Object.h"

namespace mg::ff {

// Class ids of the filters that have no published one.
inline constexpr CLSID CLSID_FfFileSource = MakeGuid(0x6A1F3C10, 0x4D47, 0x4646, 0x80, 0x3A, 0x56, 0x6F, 0x72, 0x69, 0x78, 0x01);
inline constexpr CLSID CLSID_FfVideoDecoder = MakeGuid(0x6A1F3C11, 0x4D47, 0x4646, 0x80, 0x3A, 0x56, 0x6F, 0x72, 0x69, 0x78, 0x02);
inline constexpr CLSID CLSID_FfAudioDecoder = MakeGuid(0x6A1F3C12, 0x4D47, 0x4646, 0x80, 0x3A, 0x56, 0x6F, 0x72, 0x69, 0x78, 0x03);

// A compressed stream's description, as the decoder needs it to open the
// codec. It rides in the media type's pUnk so that a splitter's output
// carries everything its container said (extradata included).
class StreamCodecInfo : public Object {
public:
  int codecId = 0;  // the library's codec id
  uint32_t codecTag = 0;
  std::vector<uint8_t> extradata;
  // Video
  int width = 0, height = 0;
  int pixelFormat = -1;
  int fpsNum = 0, fpsDen = 0;
  // Audio
  int sampleRate = 0, channels = 0;
  int sampleFormat = -1;
  int blockAlign = 0, frameSize = 0;
  int bitsPerCodedSample = 0;
  int64_t bitRate = 0;
};

// The codec description of a type, from its pUnk when a splitter or an
// encoder attached one, otherwise rebuilt from the subtype and format block.
std::shared_ptr<StreamCodecInfo> CodecInfoOf(const AM_MEDIA_TYPE& mt);

// The library's codec id for a video subtype (four-character code) or an
// audio wave tag; 0 when none decodes it.
int VideoCodecForSubtype(const GUID& subtype);
int AudioCodecForTag(uint16_t waveTag);

// True for subtypes of uncompressed video the graph converts itself.
bool IsUncompressedVideo(const GUID& subtype);

// One encoder usable in AVI files.
struct EncoderEntry {
  std::string encoder;       // the library's encoder name ("mjpeg")
  std::string friendlyName;  // shown in the compressor lists
  CLSID clsid;               // the compressor filter's class id
  bool video = true;
  uint32_t fourcc = 0;   // video: the AVI handler code
  uint16_t waveTag = 0;  // audio: the wave format tag
};

// The encoders of the installed library that the AVI container can hold,
// video first, in a stable order.
const std::vector<EncoderEntry>& Encoders();
const EncoderEntry* FindEncoder(const std::string& encoderName);
const EncoderEntry* FindEncoder(const CLSID& clsid);

// A media type for a compressed video stream: VIDEOINFOHEADER with the
// four-character code, the extradata after the bitmap header, and `info`
// in pUnk.
AM_MEDIA_TYPE MakeCompressedVideoType(const std::shared_ptr<StreamCodecInfo>& info, REFERENCE_TIME avgTimePerFrame);
// A media type for an audio stream: WAVEFORMATEX (extradata after it).
AM_MEDIA_TYPE MakeAudioType(const std::shared_ptr<StreamCodecInfo>& info);

// The library's pixel format of an uncompressed video subtype; -1 if none.
int PixelFormatForSubtype(const GUID& subtype);
// Plane pointers and line sizes of one frame of `subtype` in `data`. RGB
// bitmaps with a positive height are stored bottom-up: the first plane
// pointer then starts at the last row and the line size is negative, so
// the library reads the picture top-down.
bool FramePlanes(const GUID& subtype, uint8_t* data, int width, int height, uint8_t* planes[4], int strides[4]);

// The HRESULT for a negative library result (file missing, bad data, ...).
HRESULT HResultFromAv(int err);

// Quiets the library's log (it would print every damaged packet).
void InitLibrary();

}  // namespace mg::ff
