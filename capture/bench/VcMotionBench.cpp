// Time per frame of the motion detector with the settings the alarms use
// (one cell per video pixel, one sensitivity digit for all, every pixel of
// every row compared, 24-bit frames), at 640x480 and 1920x1080, against the
// memory floor: copying both frames. Goal: at most twice the floor.
//
// The two frames differ in a moving block and in sparse noise, so that
// the scan finds changed pixels in every row as a real picture gives it.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "capture/VcMotion.h"

using namespace capture;

namespace {

struct Frame {
  int w, h, stride;
  std::vector<uint8_t> bytes;
  win::DIBSECTION ds{};
  Frame(int width, int height) : w(width), h(height), stride(((width * 24 + 31) / 32) * 4), bytes(size_t(stride) * height) {
    ds.dsBm.bmWidth = w;
    ds.dsBm.bmHeight = h;
    ds.dsBm.bmWidthBytes = stride;
    ds.dsBm.bmBitsPixel = 24;
    ds.dsBm.bmBits = bytes.data();
    ds.dsBmih.biWidth = w;
    ds.dsBmih.biHeight = h;
    ds.dsBmih.biBitCount = 24;
  }
};

void MakePair(Frame& a, Frame& b) {
  std::mt19937 rng(3);
  for (uint8_t& v : a.bytes) v = static_cast<uint8_t>(rng());
  b.bytes = a.bytes;
  for (int y = a.h / 4; y < a.h / 2; ++y)
    for (int x = a.w / 4; x < a.w / 2; ++x) b.bytes[size_t(y) * b.stride + size_t(x) * 3 + 1] ^= 0x80;
  for (size_t i = 0; i < b.bytes.size(); i += 997) b.bytes[i] ^= 0xFF;
}

void BM_Detect(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  Frame a(w, h), b(w, h);
  MakePair(a, b);
  TImplMotionDetector d;
  d.Enabled = true;
  d.SetGridSize(w, h);
  d.SetGlobalSensitivity(5);
  d.Detect(nullptr, &a.ds, 0);
  d.Detect(&a.ds, &b.ds, 1);
  int64_t t = 2;
  for (auto _ : state) {
    benchmark::DoNotOptimize(d.Detect(&a.ds, &b.ds, t++));
    benchmark::ClobberMemory();
  }
  state.SetLabel("ratio " + std::to_string(d.GlobalMotionRatio));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(a.bytes.size()) * 2);
}

// The floor: both frames copied, as the engine would have to read both.
void BM_CopyBothFrames(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  Frame a(w, h), b(w, h);
  MakePair(a, b);
  std::vector<uint8_t> ca(a.bytes.size()), cb(b.bytes.size());
  for (auto _ : state) {
    std::memcpy(ca.data(), a.bytes.data(), a.bytes.size());
    std::memcpy(cb.data(), b.bytes.data(), b.bytes.size());
    benchmark::DoNotOptimize(ca.data());
    benchmark::DoNotOptimize(cb.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(a.bytes.size()) * 2);
}

}  // namespace

BENCHMARK(BM_Detect)->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CopyBothFrames)->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
