// Drawing a 1920x1080 picture into a screen-sized buffer: the 1:1 row copy
// against a plain memcpy of the same rows, scaling through the kept tables,
// blending by opacity, and the conversion of a 24-bit picture to gray.
#include <benchmark/benchmark.h>

#include <cstring>

#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsRender.h"

namespace {

using namespace imaging;

constexpr int32_t kWidth = 1920, kHeight = 1080;

void MakePicture(TIKBitmap& b, int32_t w, int32_t h) {
  b.SetLocation(ikMemory);
  b.SetMemoryThreshold(INT64_MAX);
  b.Allocate(w, h, ikRGB24);
  for (int32_t y = 0; y < h; ++y) {
    auto* row = static_cast<uint8_t*>(b.ScanLine(y));
    for (int32_t i = 0; i < b.RowLength(); ++i) row[i] = static_cast<uint8_t>(i * 7 + y);
  }
}

void BM_Memcpy(benchmark::State& state) {
  TIKBitmap src, dst;
  MakePicture(src, kWidth, kHeight);
  MakePicture(dst, kWidth, kHeight);
  for (auto _ : state) {
    for (int32_t y = 0; y < kHeight; ++y) std::memcpy(dst.ScanLine(y), src.ScanLine(y), kWidth * 3);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

void Render(benchmark::State& state, int32_t sourceWidth, int32_t sourceHeight, int32_t opacity) {
  TIKBitmap src, dst;
  MakePicture(src, sourceWidth, sourceHeight);
  MakePicture(dst, kWidth, kHeight);
  TIKRenderCache cache;
  for (auto _ : state) {
    src.RenderBitmapRect(&dst, &cache, nullptr, 0, 0, kWidth, kHeight, 0, 0, sourceWidth, sourceHeight, false, false,
                         opacity, rfNone, false, 0);
    benchmark::ClobberMemory();
  }
}
void BM_RenderOneToOne(benchmark::State& state) { Render(state, kWidth, kHeight, 255); }
void BM_RenderScaledUp(benchmark::State& state) { Render(state, 640, 360, 255); }
void BM_RenderBlended(benchmark::State& state) { Render(state, kWidth, kHeight, 128); }
BENCHMARK(BM_RenderOneToOne)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderScaledUp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderBlended)->Unit(benchmark::kMillisecond);

void BM_ConvertToGray(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    TIKBitmap b;
    MakePicture(b, kWidth, kHeight);
    state.ResumeTiming();
    b.SetPixelFormat(ikGray8);
    benchmark::DoNotOptimize(b.Bits());
  }
}
BENCHMARK(BM_ConvertToGray)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
