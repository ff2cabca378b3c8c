// Reducing a 6000x4000 photograph to 1224x816 with the Lanczos-3 kernel and
// with the bilinear (area) filter. The resampling routines run on the
// calling thread, so one core does the work. VORIX_RESAMPLE_PICTURE names a
// binary PPM to use (the comparison script hands the same picture to its
// peer); without it a synthetic picture of that size is made.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "imaging/core/bench/BenchPictures.h"
#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/imgkitprocResample.h"

namespace {

using namespace imaging;
using bench::LoadPpm;
using bench::Prepare;

constexpr int32_t kWidth = 6000, kHeight = 4000, kTargetWidth = 1224, kTargetHeight = 816;

TIKBitmap& Source() {
  static TIKBitmap picture;
  if (picture.IsEmpty()) {
    const char* path = std::getenv("VORIX_RESAMPLE_PICTURE");
    if (!path || !LoadPpm(path, picture)) {
      Prepare(picture, kWidth, kHeight);
      for (int32_t y = 0; y < kHeight; ++y) {
        auto* row = static_cast<uint8_t*>(picture.ScanLine(y));
        for (int32_t i = 0; i < kWidth * 3; ++i) row[i] = static_cast<uint8_t>((i * 7) ^ (y * 3) ^ (i * y >> 9));
      }
    }
  }
  return picture;
}

void Resample(benchmark::State& state, TResampleFilter filter) {
  TIKBitmap& src = Source();
  TIKBitmap dst;
  Prepare(dst, kTargetWidth, kTargetHeight);
  for (auto _ : state) {
    Resample24(&src, &dst, filter);
    benchmark::ClobberMemory();
  }
  state.counters["source_pixels"] = static_cast<double>(src.Width()) * src.Height();
}

void BM_ResampleLanczos3(benchmark::State& state) { Resample(state, rfLanczos3); }
void BM_ResampleBilinear(benchmark::State& state) { Resample(state, rfBilinear); }
BENCHMARK(BM_ResampleLanczos3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ResampleBilinear)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
