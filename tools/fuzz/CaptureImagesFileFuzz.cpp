// libFuzzer driver for the set-of-bitmaps reader of the video-from-images
// source: the bytes are the file. The first record's header gives the
// frame size the push source would ask for, as it does in a graph; every
// record is then read as a frame, round the file twice. Whatever the
// lengths and pixel offsets say, nothing may crash or over-read.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "capture/VcPushSources.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // fmemopen wants a writable buffer even to read.
  std::vector<uint8_t> bytes(data, data + size);
  capture::TImagesFile file;
  if (!file.Attach(fmemopen(bytes.data(), bytes.size(), "rb"))) return 0;
  std::vector<uint8_t> format;
  int32_t length = 64;
  if (file.Format(format)) {
    mg::AM_MEDIA_TYPE type;
    // Frames bigger than the input cannot be whole records of it.
    if (capture::VideoTypeOfBitmapHeader(format.data(), format.size(), 400'000, type) && type.lSampleSize <= size)
      length = static_cast<int32_t>(type.lSampleSize);
  }
  std::vector<uint8_t> frame(static_cast<size_t>(length));
  int ends = 0;
  for (int i = 0; i < 64 && ends < 2; ++i) {
    const auto read = file.NextFrame(frame.data(), length);
    if (read == capture::TImagesFile::rd_Bad) break;
    if (read == capture::TImagesFile::rd_End) ++ends;
  }
  return 0;
}
