// Decoding a 4000x3000 JPEG at full size and at 1/8, and encoding a
// 1920x1080 picture at quality 90, through the JPEG filter from and to
// memory on one thread. VORIX_JPEG_PICTURE names the JPEG to decode and
// VORIX_JPEG_ENCODE_PICTURE a binary PPM to encode (the comparison script
// hands the same files to djpeg and cjpeg); without them synthetic
// pictures of those sizes are made.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "imaging/core/bench/BenchPictures.h"
#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsStreams.h"
#include "imaging/core/jpegfilt.h"
#include "platform/rtl/Streams.h"

namespace {

using namespace imaging;
using bench::LoadPpm;
using bench::Prepare;

void Synthetic(TIKBitmap& b, int32_t w, int32_t h) {
  Prepare(b, w, h);
  for (int32_t y = 0; y < h; ++y) {
    auto* row = static_cast<uint8_t*>(b.ScanLine(y));
    for (int32_t i = 0; i < w * 3; ++i) row[i] = static_cast<uint8_t>((i / 3 + y) / 16 * 9 + (i % 3) * 40 + ((i * y) >> 12));
  }
}

std::vector<uint8_t> Encode(TIKBitmap& b) {
  TIOParamsVals params;
  params.JpegQuality = 90;
  rtl::TMemoryStream out;
  TProgressRec progress;
  WriteJpegStream(out, &b, params, progress);
  std::vector<uint8_t> bytes(static_cast<size_t>(out.Size()));
  out.SetPosition(0);
  out.Read(bytes.data(), static_cast<int64_t>(bytes.size()));
  return bytes;
}

const std::vector<uint8_t>& DecodeSource() {
  static std::vector<uint8_t> bytes;
  if (bytes.empty()) {
    if (const char* path = std::getenv("VORIX_JPEG_PICTURE")) {
      std::ifstream in(path, std::ios::binary);
      bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    if (bytes.empty()) {
      TIKBitmap b;
      Synthetic(b, 4000, 3000);
      bytes = Encode(b);
    }
  }
  return bytes;
}

TIKBitmap& EncodeSource() {
  static TIKBitmap picture;
  if (picture.IsEmpty()) {
    const char* path = std::getenv("VORIX_JPEG_ENCODE_PICTURE");
    if (!path || !LoadPpm(path, picture)) Synthetic(picture, 1920, 1080);
  }
  return picture;
}

void BM_JpegDecode(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = DecodeSource();
  const auto scale = static_cast<uint8_t>(state.range(0));
  for (auto _ : state) {
    TIKMemStream in(bytes.data(), static_cast<int64_t>(bytes.size()));
    TIKBitmap b;
    b.SetLocation(ikMemory);
    b.SetMemoryThreshold(INT64_MAX);
    TIOParamsVals params;
    params.JpegScale = scale;
    std::atomic<bool> abort{false};
    TProgressRec progress;
    progress.AbortFlag = &abort;
    ReadJpegStream(&in, nullptr, &b, true, false, true, false, false, progress, params);
    if (abort || b.IsEmpty()) state.SkipWithError("decoding failed");
    benchmark::DoNotOptimize(b.ScanLine(0));
  }
  state.counters["compressed_bytes"] = static_cast<double>(bytes.size());
}

void BM_JpegEncode(benchmark::State& state) {
  TIKBitmap& src = EncodeSource();
  for (auto _ : state) {
    const std::vector<uint8_t> bytes = Encode(src);
    benchmark::DoNotOptimize(bytes.data());
  }
}

// Arguments are JpegScale values: 1 full size, 4 one eighth.
BENCHMARK(BM_JpegDecode)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JpegEncode)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
