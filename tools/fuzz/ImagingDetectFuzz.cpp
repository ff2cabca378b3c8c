// libFuzzer driver for the recognition of picture data and the 12-byte
// stream headers. The first byte picks the work, the second the start
// position (as a share of the data), the rest is the stream:
//   even  DetectStreamFormat at the position: the position must be kept
//         and the id must be one the registry hands out; with bit 1 set,
//         DetectFileFormat on the data written to a file under one of
//         the registry's extensions;
//   odd   a stream load through the input/output component with stream
//         headers switched on (JPEG, TIFF or PCX by the byte's next bits,
//         or by detection), with a small stand-in reader behind each id,
//         so that header lengths from the data steer real positions.
// Whatever the bytes, nothing may read or write out of bounds.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsStreams.h"
#include "imaging/core/imgkitio.h"
#include "imaging/core/imgkitioRegistry.h"

using namespace imaging;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// Width and height as one byte each, then 24-bit rows; stops at the
// stated data size or the end of the stream.
void SmallReader(TIKFilterReadArgs& a) {
  uint8_t wh[2] = {};
  if (a.Stream->Read(wh, 2) != 2) {
    *a.Progress->AbortFlag = true;
    return;
  }
  a.Params->Width = wh[0];
  a.Params->Height = wh[1];
  if (a.ParamsOnly || wh[0] == 0 || wh[1] == 0) return;
  a.Bitmap->Allocate(wh[0], wh[1], ikRGB24);
  int64_t left = a.DataSize < 0 ? INT64_MAX : a.DataSize - 2;
  for (int32_t y = 0; y < wh[1] && left > 0; ++y) {
    const int64_t n = std::min<int64_t>(left, wh[0] * 3);
    if (a.Stream->Read(a.Bitmap->ScanLine(y), n) != n) {
      *a.Progress->AbortFlag = true;
      return;
    }
    left -= n;
  }
}

bool Installed() {
  for (int32_t id : {ioJPEG, ioTIFF, ioPCX, ioBMP, ioGIF}) InstallFormatFilter(id, SmallReader, nullptr);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool installed = Installed();
  (void)installed;
  if (size < 2) return 0;
  const uint8_t op = data[0];
  // An exact heap copy, so that any over-read reaches the red zone.
  const std::vector<uint8_t> bytes(data + 2, data + size);
  const int64_t length = static_cast<int64_t>(bytes.size());
  const int64_t start = length == 0 ? 0 : data[1] * length / 256;
  TIKMemStream stream(bytes.empty() ? nullptr : bytes.data(), length);
  stream.SetPosition(start);

  if ((op & 3) == 2) {
    static const char* const extensions[] = {".tif", ".nef", ".jpg", ".ico", ".cur", ".gif", ".zzz", ""};
    const std::string path =
        "/tmp/vorix-detect-fuzz-" + std::to_string(::getpid()) + extensions[(op >> 2) % 8];
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
      if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
      const int32_t id = DetectFileFormat(path, (op & 0x20) != 0);
      Check(id >= 0 && id <= ioRawPixels);
      std::remove(path.c_str());
    }
    return 0;
  }
  if ((op & 1) == 0) {
    const int32_t id = DetectStreamFormat(stream);
    Check(stream.Position() == start);
    Check(id >= 0 && id <= ioRawPixels);
    return 0;
  }
  TImgKitIO io(nullptr);
  io.SetStreamHeaders(true);
  try {
    switch ((op >> 1) % 4) {
      case 0: io.LoadFromStreamJPEG(stream); break;
      case 1: io.LoadFromStreamTIFF(stream); break;
      case 2: io.LoadFromStreamPCX(stream); break;
      default: io.LoadFromStream(stream); break;
    }
  } catch (const rtl::Exception&) {
    // A damaged size may be refused by the buffer; that is a clean failure.
  }
  return 0;
}
