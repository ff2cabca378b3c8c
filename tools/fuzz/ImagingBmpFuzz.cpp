// libFuzzer driver for the BMP reader. The first byte picks the options,
// the rest is the stream:
//   bit 0  NativePixelFormat;  bit 1  no file header;  bit 2  ignore alpha
//   bit 3  parameters only;    bit 4  a data length of the stream's size
// Whatever the bytes, nothing may read or write out of bounds, nothing is
// raised, and a mask that comes back matches the image.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "imaging/core/bmpfilt.h"
#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsMask.h"
#include "imaging/core/ikutilsStreams.h"

using namespace imaging;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t op = data[0];
  const std::vector<uint8_t> bytes(data + 1, data + size);
  TIKMemStream stream(bytes.empty() ? nullptr : bytes.data(), static_cast<int64_t>(bytes.size()));
  TIOParamsVals params;
  params.NativePixelFormat = (op & 1) != 0;
  std::atomic<bool> abort{false};
  TProgressRec progress;
  progress.AbortFlag = &abort;
  TIKBitmap bitmap;
  bitmap.SetLocation(ikMemory);
  std::unique_ptr<TIKMask> mask;
  const int32_t length = (op & 0x10) ? static_cast<int32_t>(bytes.size()) : 0;
  try {
    ReadBmpImage(stream, &bitmap, length, params, progress, (op & 8) != 0, (op & 2) != 0, mask, (op & 4) != 0);
  } catch (...) {
    std::abort();
  }
  if (mask && (mask->Width() != bitmap.Width() || mask->Height() != bitmap.Height())) std::abort();
  return 0;
}
