// libFuzzer driver for the capture component's format-block readers: the
// first two bytes choose the media type's major and format type, the rest
// is the format block a device or a file hands over. The same bytes are
// also read as the texts of the format cache (size texts, format names,
// subtype entries). Whatever the bytes, nothing may crash or over-read.
#include <cstdint>
#include <string>
#include <vector>

#include "capture/VcFormats.h"
#include "capture/VcGraphHelpers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static const mg::GUID kMajors[] = {mg::MEDIATYPE_Video, mg::MEDIATYPE_Interleaved, mg::MEDIATYPE_Stream,
                                     mg::MEDIATYPE_Audio, mg::GUID{}};
  static const mg::GUID kFormats[] = {mg::FORMAT_VideoInfo,   mg::FORMAT_VideoInfo2, mg::FORMAT_DvInfo,
                                      mg::FORMAT_MPEGVideo,   mg::FORMAT_MPEG2Video, mg::FORMAT_MPEGStreams,
                                      mg::FORMAT_None,        mg::FORMAT_WaveFormatEx, mg::GUID{}};
  mg::AM_MEDIA_TYPE mt;
  mt.majortype = kMajors[data[0] % 5];
  mt.formattype = kFormats[data[1] % 9];
  mt.format.assign(data + 2, data + size);

  const int32_t kind = capture::GetVideoFormatKind(mt);
  uint32_t bitRate = 0;
  int64_t duration = 0;
  int32_t w = 0, h = 0;
  capture::GetVideoFrameInfo(mt, bitRate, duration, w, h);
  if (mg::BITMAPINFOHEADER* header = capture::KindBitmapHeader(mt, kind)) {
    capture::DibImageSize(header);
    capture::ParseFourCCName(std::string(data + 2, data + std::min<size_t>(size, 10)), header->biCompression,
                             header->biBitCount);
  }
  if (auto* wave = mt.FormatAs<mg::WAVEFORMATEX>())
    capture::FillWaveFormat(static_cast<capture::TAudioFormat>(data[1] % 29), *wave);

  const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
  if (capture::ParseSizeText(text, w, h)) capture::PaddedSizeText(w, h);
  capture::SubtypeEntryName(text);
  capture::IsDVSubtypeName(text);
  return 0;
}
