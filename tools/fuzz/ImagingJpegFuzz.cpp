// libFuzzer driver for the JPEG reader and its marker scans. The first
// byte picks the options, the rest is the stream:
//   bits 0-2  JpegScale (0 automatic with a wanted size of 40 x 30)
//   bit 3     NativePixelFormat (gray and CMYK kept as they are)
//   bit 4     raw YCbCr rows;  bit 5  inverted CMYK
//   bit 6     parameters only;  bit 7  the stream-length and ICC scans alone
// Whatever the bytes, nothing may read or write out of bounds, and a read
// must end (with or without the abort flag) rather than raise.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsStreams.h"
#include "imaging/core/jpegfilt.h"

using namespace imaging;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t op = data[0];
  // An exact heap copy, so that any over-read reaches the red zone.
  const std::vector<uint8_t> bytes(data + 1, data + size);
  TIKMemStream stream(bytes.empty() ? nullptr : bytes.data(), static_cast<int64_t>(bytes.size()));
  TIOParamsVals params;
  if (op & 0x80) {
    const int64_t length = JpegStreamLength(stream);
    if (length < 0 || length > static_cast<int64_t>(bytes.size()) || stream.Position() != 0) std::abort();
    ReadJpegIccProfile(stream, params);
    if (stream.Position() != 0) std::abort();
    return 0;
  }
  params.JpegScale = static_cast<uint8_t>(op & 7);
  if (params.JpegScale == 0) {
    params.Width = 40;
    params.Height = 30;
  }
  params.NativePixelFormat = (op & 8) != 0;
  std::atomic<bool> abort{false};
  TProgressRec progress;
  progress.AbortFlag = &abort;
  TIKBitmap bitmap;
  bitmap.SetLocation(ikMemory);
  try {
    ReadJpegStream(&stream, nullptr, &bitmap, true, (op & 0x20) != 0, true, (op & 0x10) != 0, (op & 0x40) != 0,
                   progress, params);
  } catch (const EIKError&) {
    // Only misuse raises, and the driver does not misuse.
    std::abort();
  }
  if (!bitmap.IsEmpty() && (bitmap.Width() != params.Width || bitmap.Height() != params.Height)) std::abort();
  return 0;
}
